#include "cli/console_view.h"

#include "workers/worker_messages.h"

namespace varnel::cli {

void ConsoleView::AppendMemo(const std::string& line) {
  std::fputs(line.c_str(), out_);
  std::fputc('\n', out_);
  std::fflush(out_);
}

void ConsoleView::State(const std::string& text) {
  std::fprintf(out_, "# %s\n", text.c_str());
  std::fflush(out_);
}

void ConsoleView::SetStatusPanel(int panel, const std::string& text) {
  // Panel 1 is the clock; only the device state is news.
  if (panel != 0 || text == lastPanel_) return;
  lastPanel_ = text;
  if (text.empty()) return;  // no logger on the line: nothing to tell
  State("status: " + text);
}

void ConsoleView::SetStartDown(bool down) { State(down ? "Start pressed" : "Start released"); }

void ConsoleView::ShowRecords(const std::vector<RecordEntry>& entries) {
  if (entries.empty()) return;
  State("record list:");
  for (const RecordEntry& e : entries) {
    std::fprintf(out_, "#   [%c] %s\n", e.Ticked ? 'x' : ' ', e.Text.c_str());
  }
  std::fflush(out_);
}

void ConsoleView::SetFileNameText(const std::string& text) { State("device identity: " + text); }

void ConsoleView::ShowWarning(const std::string& text) { State("warning: " + text); }

std::string ConsoleView::JobText(int kind, bool direct) {
  switch (kind) {
    case 0:
      return direct ? "job 0: read the record table"
                    : "job 0: set up the modem, wait for a call, read the record table";
    case 1: return "job 1: read the ticked records";
    case 2: return "job 2: wait for the next call";
    case 4: return "job 4: read the record table";
    case 9: return "job 9: wait for the modem to hang up";
    default: return "job " + std::to_string(kind);
  }
}

std::string ConsoleView::ResultText(int code) {
  switch (code) {
    case wdContentsFailed: return "the record table was not read to its end";
    case wdContentsRead: return "record table read";
    case wdRecordsRead: return "the ticked records were read, the logger restarted";
    case wdNoRecord: return "the logger holds no record";
    case wdRecordsPartly: return "the reading broke off after some pages";
    case wdAwaitHangUp: return "waiting for the modem to hang up";
    case wdHungUp: return "the modem reported the end of the call";
    case wdNothingRead: return "ended before any page was read";
    case wdInitFailed: return "the modem set-up did not come through";
    case wdNoCall: return "the wait for a call ended without a connection";
    case wdPortLost: return "the port's device has gone";
    default: return "unknown result";
  }
}

void ConsoleView::JobStarted(int kind) {
  State(JobText(kind, Direct));
  if (OnJobStarted) OnJobStarted(kind);
}

void ConsoleView::FileWorkerStarted() { State("writing the data files"); }

void ConsoleView::FilesDone(int flag) {
  State(std::string("data files done (") + ((flag & 0xFF) == 1 ? "complete" : "incomplete") + ")");
  if (OnFilesDone) OnFilesDone(flag);
}

void ConsoleView::WorkerDone(int code) {
  State("job ended: " + ResultText(code) + " (result " + std::to_string(code) + ")");
  if (OnWorkerDone) OnWorkerDone(code);
}

void ConsoleView::WorkerStatus(int code, std::int64_t value) {
  if (OnWorkerStatus) OnWorkerStatus(code, value);
}

void ConsoleView::PortOpenFailed(int port) {
  State("COM" + std::to_string(port) + " could not be opened");
  if (OnPortOpenFailed) OnPortOpenFailed(port);
}

}  // namespace varnel::cli
