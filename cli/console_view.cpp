#include "cli/console_view.h"

#include <QString>
#include <algorithm>

#include "lang/lang.h"
#include "lang/text_ids.h"
#include "workers/job_kind.h"
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

namespace {

// Widths in characters, not bytes: headings and dates may hold umlauts.
int Width(const std::string& text) { return static_cast<int>(QString::fromStdString(text).size()); }

std::string Pad(const std::string& text, int width, bool right) {
  const QString t = QString::fromStdString(text);
  return (right ? t.rightJustified(width) : t.leftJustified(width)).toStdString();
}

}  // namespace

void ConsoleView::ShowRecords(const std::vector<RecordEntry>& entries) {
  if (entries.empty()) return;
  State("record list:");
  // The window's column headings, with the columns lined up under them: the dates of a
  // list differ in length, so each column is as wide as its widest entry.
  const std::string number = LoadText(kTextRecordNumber), start = LoadText(kTextRecordStart),
                    share = LoadText(kTextRecordShare);
  int wNumber = Width(number), wStart = Width(start), wShare = Width(share);
  for (const RecordEntry& e : entries) {
    wNumber = std::max(wNumber, Width(e.Number));
    wStart = std::max(wStart, Width(e.Start));
    wShare = std::max(wShare, Width(e.Share));
  }
  const bool columns = !entries.front().Number.empty();
  if (columns) {
    std::fprintf(out_, "#       %s    %s    %s\n", Pad(number, wNumber, true).c_str(),
                 Pad(start, wStart, false).c_str(), Pad(share, wShare, true).c_str());
  }
  for (const RecordEntry& e : entries) {
    const std::string text = columns ? Pad(e.Number, wNumber, true) + "    " +
                                           Pad(e.Start, wStart, false) + "    " +
                                           Pad(e.Share, wShare, true)
                                     : e.Text;
    std::fprintf(out_, "#   [%c] %s\n", e.Ticked ? 'x' : ' ', text.c_str());
  }
  std::fflush(out_);
}

void ConsoleView::SetFileNameText(const std::string& text) { State("device identity: " + text); }

void ConsoleView::ShowWarning(const std::string& text) { State("warning: " + text); }

std::string ConsoleView::JobText(int kind, bool direct) {
  switch (kind) {
    case kJobModemContents:
      return direct ? "job 0: read the record table"
                    : "job 0: set up the modem, wait for a call, read the record table";
    case kJobReadRecords: return "job 1: read the ticked records";
    case kJobNextCall: return "job 2: wait for the next call";
    case kJobDirectContents: return "job 4: read the record table";
    case kJobHangUp: return "job 9: wait for the modem to hang up";
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
  const bool complete = (flag & 0xFF) == kFilesComplete;
  State(std::string("data files done (") + (complete ? "complete" : "incomplete") + ")");
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
