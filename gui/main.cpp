// varnel: the operator's program. The main window first; the dialogs are created after it,
// in this order, and all live until the program ends.
#include <QApplication>
#include <cstdio>

#include <QAction>
#include <QMenu>

#include "alerts/alert_channels.h"
#include "app/program_parts.h"
#include "common/thread_end_safety.h"
#include "dialogs/dialog_set.h"
#include "gui/desktop_check.h"
#include "gui/main_window.h"
#include "gui/qt_translations.h"
#include "gui/stop_signals.h"
#include "gui/ui_font.h"
#include "database/database_url.h"
#include "history/history_windows.h"
#include "lang/lang.h"
#include "lang/text_ids.h"

int main(int argc, char** argv) {
  varnel::PrepareForEndingThreads();
  using namespace varnel;
  if (const std::string problem = MissingDesktopProblem(argc, argv); !problem.empty()) {
    std::fprintf(stderr, "%s\n", problem.c_str());
    return 1;
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Varnel"));
#ifdef Q_OS_WIN
  // Where the system's dialog font is missing (Wine), a sans-serif one instead of Qt's
  // first-known family.
  QApplication::setFont(UsableUiFont(QApplication::font()));
#endif

  ProgramParts parts;
  LogicEnvironment env = parts.Environment();
  env.Arguments = QApplication::arguments().mid(1);
  TfrmMain frmMain(env);
  MainLogic& logic = frmMain.Logic();
  parts.Attach(logic);
  // The language is known once the settings are read; Qt's standard dialogs follow it.
  InstallQtTranslation(logic.Language());

  DialogSet dialogs(&frmMain, logic);
  const auto wire = [&frmMain](Control item, auto show) {
    QAction* action = frmMain.Action(item);
    QObject::connect(action, &QAction::triggered, &frmMain, show);
    action->setEnabled(true);
  };
  dialogs.OnTestAlert = [](const AlertSettings& settings) {
    const int base = LanguageBase();
    std::vector<std::string> lines;
    for (const ChannelOutcome& said :
         SendTestAlert(settings, [base](int id) { return LoadText(id, base); })) {
      lines.push_back(said.Line);
    }
    return lines;
  };
  dialogs.OnAlertSettings = [&parts](const AlertSettings& settings) { parts.Alerts().Reset(settings); };
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
  parts.Finish();
  return code;
}
