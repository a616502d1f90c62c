// varnel: the operator's program. The main window first; the dialogs are created after it,
// in this order, and all live until the program ends.
#include <QApplication>
#include <QSessionManager>

#include "app/facade_link.h"
#include "gui/main_window.h"
#include "gui/stop_signals.h"

int main(int argc, char** argv) {
  using namespace varnel;
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnel"));

  FacadeLink link;
  LogicEnvironment env;
  env.Arguments = QApplication::arguments().mid(1);
  env.Link = &link;
  TfrmMain frmMain(env);

  // The session ends or the process is told to stop: release Start, let the workers finish,
  // write the settings, leave.
  QObject::connect(&app, &QGuiApplication::commitDataRequest, &frmMain,
                   [&frmMain](QSessionManager&) { frmMain.EndSession(); });
  WatchStopSignals(&frmMain, [&frmMain] { frmMain.EndSession(); });

  frmMain.OnClosed = [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); };

  frmMain.show();
  return app.exec();
}
