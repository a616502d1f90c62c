// varnel: the operator's program. The main window first; the dialogs are created after it,
// in this order, and all live until the program ends.
#include <QApplication>
#include <cstdio>

#include <QAction>
#include <QMenu>

#include "app/facade_link.h"
#include "common/locations.h"
#include "database/contact_store.h"
#include "database/database_sink.h"
#include "database/database_url.h"
#include "dialogs/dialog_set.h"
#include "gui/desktop_check.h"
#include "gui/main_window.h"
#include "gui/stop_signals.h"
#include "history/history_windows.h"
#include "lang/text_ids.h"

int main(int argc, char** argv) {
  using namespace varnel;
  if (const std::string problem = MissingDesktopProblem(argc, argv); !problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnel"));

  FacadeLink link;
  LogicEnvironment env;
  env.Arguments = QApplication::arguments().mid(1);
  env.Link = &link;
  // Every contact goes into the history; a history that cannot be written is logged and the
  // readout goes on.
  ContactStore history(DefaultHistoryPath());
  // With a database set, the entries of the new files follow, off the window's thread.
  MainLogic* logicRef = nullptr;
  DatabaseSink database(&history, [] { return ReadDatabaseUrlSetting(); },
                        [&logicRef](DatabaseEvent event, const std::string& detail) {
                          if (logicRef) logicRef->DatabaseNotice(static_cast<int>(event), detail);
                        });
  env.History = &database;
  TfrmMain frmMain(env);
  MainLogic& logic = frmMain.Logic();
  logicRef = &logic;

  DialogSet dialogs(&frmMain, logic);
  const auto wire = [&frmMain](Control item, auto show) {
    QAction* action = frmMain.Action(item);
    QObject::connect(action, &QAction::triggered, &frmMain, show);
    action->setEnabled(true);
  };
  wire(Control::muConfig, [&dialogs] { dialogs.ShowConfigForm(); });
  wire(Control::muLoggerConfig, [&dialogs] { dialogs.ShowLoggerConfig(); });
  wire(Control::muShowLogfile, [&dialogs] { dialogs.ShowLogFile(); });
  frmMain.SetWarningBox([&dialogs](QWidget*, const QString&, const QString& text) {
    dialogs.ShowWarning(text);
  });

  // The contact history and the data plot, after a separator below the option dialogs.
  QMenu* options = frmMain.OptionsMenu();
  options->addSeparator();
  const auto dataFolder = [&logic] { return QString::fromStdString(logic.DataFolder()); };
  options->addAction(QString::fromStdString(logic.Text(kTextMenuLoggers)), &frmMain,
                     [&frmMain, dataFolder] {
                       // With a database the fleet's contacts, else this PC's history.
                       ShowLoggersWindow(&frmMain, dataFolder(), ReadDatabaseUrlSetting());
                     })
      ->setObjectName(QStringLiteral("muLoggers"));
  options->addAction(QString::fromStdString(logic.Text(kTextMenuDataPlot)), &frmMain,
                     [&frmMain, dataFolder] { ShowDataWindow(&frmMain, dataFolder()); })
      ->setObjectName(QStringLiteral("muDataPlot"));

  // The process is told to stop: release Start, let the workers finish, write the settings,
  // leave. (The end of the session reaches the window itself as a request to quit; a
  // request to save data -- a checkpoint, or a logout that may still be cancelled -- ends
  // nothing.)
  WatchStopSignals(&frmMain, [&frmMain] { frmMain.EndSession(); });

  frmMain.OnClosed = [] { QMetaObject::invokeMethod(qApp, &QCoreApplication::quit, Qt::QueuedConnection); };

  frmMain.show();
  const int code = app.exec();
  // The rows of the last call go in before the program ends; what the database said about
  // them still reaches the log.
  if (!database.Stop(15000)) {
    logicRef->DatabaseNotice(static_cast<int>(DatabaseEvent::StillWriting), std::string());
  }
  QCoreApplication::sendPostedEvents();
  return code;
}
