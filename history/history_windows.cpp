#include "history/history_windows.h"

#include "common/locations.h"
#include "database/contact_store.h"
#include "dialogs/window_placement.h"
#include "history/data_view.h"
#include "history/loggers_view.h"

namespace varnel {

namespace {

template <typename W>
W* AsWindow(W* w, QWidget* anchor) {
  w->setWindowFlag(Qt::Window);
  w->setAttribute(Qt::WA_DeleteOnClose);
  // On the screen of the window it was opened from, whole; the size the view asked for
  // where the screen has room for it.
  PlaceOnScreenOf(w, anchor, w->size());
  CloseOnEscape(w);
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
  return AsWindow(view, parent);
}

DataView* ShowDataWindow(QWidget* parent, const QString& dataFolder, std::uint32_t serial) {
  auto* view = new DataView(dataFolder, parent);
  view->LoadNewestInBackground(serial);
  return AsWindow(view, parent);
}

}  // namespace varnel
