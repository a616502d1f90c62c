#pragma once
#include <QObject>
#include <QString>
#include <deque>
#include <string>

#include "app/main_logic.h"
#include "cli/collect_options.h"
#include "cli/console_view.h"
#include "cli/run_state.h"

// One unattended run of the window logic from the console: start, count the calls (or chain
// the direct readout), stop in order on a signal, and the exit status.
namespace varnel::cli {

class Collector : public QObject {
 public:
  Collector(MainLogic& logic, ConsoleView& view, CollectOptions options);
  ~Collector() override;

  // Creates the window logic, applies the options and presses Start. Returns false when
  // the run already ended (the port could not be opened); ExitCode() says why.
  bool Begin();
  // Releases Start (at the planned end of the run, `planned`, with a summary of what it did
  // instead of the cancel line), lets the workers end within the close's bounded time (the files of
  // pages read so far are written), stores the settings and leaves the event loop with
  // `exitCode`.
  void Finish(int exitCode, bool planned = true);
  int ExitCode() const { return exitCode_; }
  int CallsDone() const { return callsDone_; }

  // SIGINT and SIGTERM (Ctrl-C, a closed console, log-off on Windows) end the run as
  // Finish(0) does, from the event loop.
  bool WatchSignals();

 private:
  void OnJobStarted(int kind);
  void OnFilesDone(int flag);
  void OnWorkerDone(int code);
  void OnWorkerStatus(int code);
  void OnPortOpenFailed(int port);
  // Counts the calls at the front that have their files and their end.
  void CountCalls();
  // The call on the line now gave up its line.
  void CallLineEnded();
  void CallFailed();
  // What the run did, for its planned end.
  std::string Summary() const;
  std::string Logger() const;

  MainLogic& logic_;
  ConsoleView& view_;
  CollectOptions options_;
  int exitCode_ = kExitDone;
  bool finishing_ = false;
  int callsDone_ = 0;
  // The calls whose records were read, oldest first, until each has both its files and its
  // end: the files of one call may come after the next call began.
  struct CallInHand {
    bool filesComing = false;  // its records were read: a file worker was started
    bool files = false;        // that worker ended
    bool ended = false;        // the line was given up for the next call
    bool partial = false;      // the reading broke off in a record
    std::string result;
  };
  std::deque<CallInHand> calls_;
  bool callFailed_ = false;
  // Over the whole run: calls the modem answered, data files written, readouts that failed
  // (record table not read, nothing or not everything read, files not all written).
  int callsAnswered_ = 0;
  int filesWritten_ = 0;
  int partialFiles_ = 0;  // of those, files of a record whose reading broke off
  int failures_ = 0;
  RunState state_;
};

}  // namespace varnel::cli
