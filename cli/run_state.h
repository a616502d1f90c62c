#pragma once
#include <QString>
#include <string>
#include <vector>

// The state of a running collector in a small file that monitoring reads with
// `varnel-collect --status`: what the collector does now and since when, and how the last
// call ended. One file per port in the per-user data folder, rewritten whole (write and
// rename) at every change, so a reader never sees half a file.
namespace varnel::cli {

// The file of the collector on COM `port` in `folder`.
QString RunStateFile(const QString& folder, int port);

class RunState {
 public:
  // Nothing is written before Publish(): a collector that could not open its port must not
  // overwrite the state of the one that holds it.
  void Publish(const QString& path);

  void Set(const std::string& state);
  void SetLastCall(const std::string& result);
  // The run ended in order: the state is "stopped".
  void Stopped();

 private:
  void Write();
  QString path_;
  std::string state_ = "idle";
  QString since_;
  std::string lastCall_;
  QString lastCallTime_;
  bool stopped_ = false;
};

// One line per state file (`port` 0: every file in `folder`, in port order), e.g.
//   COM1: waiting for a call since 2026-12-09 03:41:07; last call: done, 1 file at ... (pid 812)
// `running` is set to whether every collector shown is still running (false when there is
// no file).
std::vector<std::string> ReadRunStates(const QString& folder, int port, bool& running);

}  // namespace varnel::cli
