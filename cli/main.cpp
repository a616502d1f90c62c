// varnel-collect: the collector without a window, for unattended and headless runs.
#include <QCoreApplication>
#include <QDateTime>
#include <cstdio>
#include <string>
#include <vector>

#include "alerts/alert_channels.h"
#include "app/main_logic.h"
#include "app/program_parts.h"
#include "common/locations.h"
#include "common/settings.h"
#include "common/program_log.h"
#include "cli/collect_options.h"
#include "cli/collector.h"
#include "cli/console_view.h"
#include "cli/run_state.h"
#include "cli/system_service.h"
#include "common/thread_end_safety.h"
#include "lang/lang.h"
#include "lang/text_ids.h"

namespace {
int Collect(int argc, char** argv, const varnel::cli::CollectOptions& options,
            varnel::cli::ServiceAction service);

// A test alert through every channel of the settings, each waited for: what an operator
// runs after setting up [Notify], to see the mail arrive before a logger needs it.
int NotifyTest(int argc, char** argv) {
  using namespace varnel;
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Varnel"));
  const int base = ReadStoredSettings().Language;
  const auto text = [base](int id) { return LoadText(id, base); };
  bool failed = false;
  for (const ChannelOutcome& said : SendTestAlert(ReadAlertSettings(), text)) {
    std::printf("%s\n", said.Line.c_str());
    failed = failed || said.Failed;
  }
  return failed ? cli::kExitNotRunning : cli::kExitDone;
}
}  // namespace

int main(int argc, char** argv) {
  varnel::PrepareForEndingThreads();
  using namespace varnel;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string serviceError;
  const cli::ServiceAction service = cli::TakeServiceAction(args, serviceError);
  cli::CollectOptions options = cli::ParseCollectOptions(args);
  if (options.help && service == cli::ServiceAction::None) {
    std::fputs(cli::CollectHelpText().c_str(), stdout);
#ifdef _WIN32
    std::fputs(cli::ServiceHelpText().c_str(), stdout);
#endif
    return cli::kExitDone;
  }
  if (options.error.empty()) options.error = serviceError;
  if (options.error.empty()) options.error = cli::CheckServiceOptions(service, options);
  if (!options.error.empty()) {
    std::fprintf(stderr, "varnel-collect: %s (see --help)\n", options.error.c_str());
    return cli::kExitUsage;
  }

  if (options.status) {
    bool running = false;
    const auto lines = cli::ReadRunStates(UserDataFolder(), options.port, running);
    for (const std::string& line : lines) std::printf("%s\n", line.c_str());
    if (lines.empty()) {
      std::printf("%s: no collector has run %s for this user (state files in %s)\n",
                  options.port > 0 ? ("COM" + std::to_string(options.port)).c_str() : "varnel-collect",
                  options.port > 0 ? "on this port" : "yet", qPrintable(UserDataFolder()));
    }
    return running ? cli::kExitDone : cli::kExitNotRunning;
  }

  if (options.notifyTest) return NotifyTest(argc, argv);

  if (service == cli::ServiceAction::Install) return cli::InstallService(options);
  if (service == cli::ServiceAction::Remove) return cli::RemoveService(options);
  const auto collect = [&] { return Collect(argc, argv, options, service); };
  if (service == cli::ServiceAction::Run) return cli::RunAsService(options, collect);
  return collect();
}

namespace {

int Collect(int argc, char** argv, const varnel::cli::CollectOptions& options,
            varnel::cli::ServiceAction service) {
  using namespace varnel;
  QCoreApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Varnel"));

  ProgramParts parts(QString::fromStdString(options.database));
  std::FILE* out = service == cli::ServiceAction::Run ? cli::OpenServiceOutput(options.port) : stdout;
  cli::ConsoleView view(out);
  view.Direct = options.direct;
  LogicEnvironment env = parts.Environment();
  if (options.debug) env.Arguments << QStringLiteral("DEBUG");
  if (service == cli::ServiceAction::Run) env.LogFilePath = cli::ServiceLogPath(options.port);
  env.Observer = &view;
  MainLogic logic(view, env);
  parts.Attach(logic);
  cli::Collector collector(logic, view, options);
  collector.WatchSignals();
  if (!collector.Begin()) return collector.ExitCode();
  const int code = app.exec();
  parts.Finish();
  return code;
}

}  // namespace
