#include "history/history_windows.h"

#include "history/data_view.h"
#include "history/history_store.h"
#include "history/loggers_view.h"

namespace varnel {

namespace {

template <typename W>
W* AsWindow(W* w) {
  w->setWindowFlag(Qt::Window);
  w->setAttribute(Qt::WA_DeleteOnClose);
  w->show();
  w->raise();
  return w;
}

}  // namespace

LoggersView* ShowLoggersWindow(QWidget* parent, const QString& dataFolder,
                               const QString& historyPath) {
  auto* view = new LoggersView(historyPath.isEmpty() ? DefaultHistoryPath() : historyPath, parent);
  view->OnOpenData = [view, dataFolder](std::uint32_t serial) {
    ShowDataWindow(view, dataFolder, serial);
  };
  return AsWindow(view);
}

DataView* ShowDataWindow(QWidget* parent, const QString& dataFolder, std::uint32_t serial) {
  auto* view = new DataView(dataFolder, parent);
  view->LoadNewestInBackground(serial);
  return AsWindow(view);
}

}  // namespace varnel
