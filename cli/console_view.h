#pragma once
#include <cstdio>
#include <functional>
#include <string>

#include "app/main_view.h"

// The window as lines of text: every memo line as it stands, and the state changes of the
// run (it observes them too) as lines starting with "# ".
namespace varnel::cli {

class ConsoleView : public MainView, public RunObserver {
 public:
  explicit ConsoleView(std::FILE* out = stdout) : out_(out) {}

  void AppendMemo(const std::string& line) override;
  void SetStatusPanel(int panel, const std::string& text) override;
  void SetStartDown(bool down) override;
  void ShowRecords(const std::vector<RecordEntry>& entries) override;
  void SetFileNameText(const std::string& text) override;
  void ShowWarning(const std::string& text) override;
  void JobStarted(int kind) override;
  void FileWorkerStarted() override;
  void FilesDone(int flag) override;
  void WorkerDone(int code) override;
  void PortOpenFailed(int port) override;
  void WorkerStatus(int code, std::int64_t value) override;

  // Told of the state changes, for the run's own bookkeeping.
  std::function<void(int kind)> OnJobStarted;
  std::function<void(int flag)> OnFilesDone;
  std::function<void(int code)> OnWorkerDone;
  std::function<void(int port)> OnPortOpenFailed;
  std::function<void(int code, std::int64_t value)> OnWorkerStatus;

  // A state line of the run itself ("# " + text).
  void Note(const std::string& text) { State(text); }

  // A run over a direct line: job 0 reads the record table at once, with no modem.
  bool Direct = false;

  // The text of a job number, for the state lines.
  static std::string JobText(int kind, bool direct);
  // What a job's result code means, for the state lines.
  static std::string ResultText(int code);

 private:
  void State(const std::string& text);
  std::FILE* out_;
  std::string lastPanel_;
};

}  // namespace varnel::cli
