#include "cli/collector.h"

#include <QCoreApplication>
#include <QDir>
#include <QTimer>

#include <algorithm>

#include "cli/port_probe.h"
#include "cli/stop_requests.h"
#include "common/locations.h"
#include "lang/text_ids.h"
#include "workers/job_kind.h"
#include "workers/worker_messages.h"

namespace varnel::cli {

Collector::Collector(MainLogic& logic, ConsoleView& view, CollectOptions options)
    : logic_(logic), view_(view), options_(std::move(options)) {
  view_.OnJobStarted = [this](int kind) { OnJobStarted(kind); };
  view_.OnFilesDone = [this](int flag) { OnFilesDone(flag); };
  view_.OnWorkerDone = [this](int code) { OnWorkerDone(code); };
  view_.OnPortOpenFailed = [this](int port) { OnPortOpenFailed(port); };
  view_.OnWorkerStatus = [this](int code, std::int64_t) { OnWorkerStatus(code); };
}

Collector::~Collector() {
  view_.OnJobStarted = nullptr;
  view_.OnFilesDone = nullptr;
  view_.OnWorkerDone = nullptr;
  view_.OnPortOpenFailed = nullptr;
  view_.OnWorkerStatus = nullptr;
}

bool Collector::WatchSignals() {
  return WatchStopRequests(this, [this] {
    view_.Note("signal: stopping");
    Finish(kExitDone, false);
  });
}

bool Collector::Begin() {
  logic_.FormCreate();
  // The overrides hold for this run; the stored settings keep their own values.
  RunOverrides overrides;
  overrides.Port = options_.port;
  if (!options_.dataDir.empty()) {
    QDir().mkpath(QString::fromStdString(options_.dataDir));
    overrides.DataFolder =
        QDir(QString::fromStdString(options_.dataDir)).absolutePath().toStdString();
  }
  logic_.ApplyRunOverrides(overrides);
  if (options_.direct && logic_.ModemChecked()) logic_.Modem1Click();
  // Named as the operator writes them: with the platform's separators.
  view_.Note("data folder: " +
             QDir::toNativeSeparators(QString::fromStdString(logic_.DataFolder())).toStdString());
  view_.Note("log file: " + QDir::toNativeSeparators(logic_.Log().Path()).toStdString());

  if (options_.timeoutSeconds > 0) {
    QTimer::singleShot(options_.timeoutSeconds * 1000, this, [this] {
      view_.Note("timeout: stopping");
      Finish(kExitTimedOut, false);
    });
  }
  logic_.PressStart();
  if (!logic_.StartDown()) {
    Finish(exitCode_ == kExitDone ? kExitPortFailed : exitCode_, false);
    return false;
  }
  // The port is ours: from now on the state file is this run's.
  state_.Publish(RunStateFile(UserDataFolder(), logic_.Port()));
  return true;
}

void Collector::OnPortOpenFailed(int port) {
  exitCode_ = kExitPortFailed;
  const std::string problem = PortOpenProblem(port);
  view_.Note(problem);
  std::fprintf(stderr, "varnel-collect: %s\n", problem.c_str());
}

std::string Collector::Logger() const {
  return "logger " + std::to_string(logic_.FDevice->SerialNumber);
}

void Collector::OnWorkerStatus(int code) {
  if (code == wsModemConnected && !finishing_) {
    ++callsAnswered_;
    callFailed_ = false;
  }
  if (code == wsWaitingForCall) state_.Set("waiting for a call");
  if (code == wsSerialNumber) state_.Set("reading " + Logger());
}

void Collector::OnJobStarted(int kind) {
  if (kind == kJobModemContents && options_.direct) {  // the readout on the line
    callFailed_ = false;
  }
  if (kind == kJobModemContents) {
    state_.Set(options_.direct ? "reading the record table" : "setting up the modem");
  }
  if (kind == kJobNextCall) state_.Set("waiting for a call");
  if (kind == kJobHangUp) state_.Set("waiting for the hang-up");
  if (kind == kJobReadRecords) {
    // A call before it that started no file worker will never have files: it does not count.
    if (!calls_.empty() && !calls_.back().filesComing) calls_.pop_back();
    calls_.push_back({});
    // The call that completes the count ends the run: its hang-up is awaited without
    // announcing a restart.
    logic_.SetLastCallOfRun(options_.calls > 0 &&
                            callsDone_ + static_cast<int>(calls_.size()) >= options_.calls);
  } else if (kind == kJobNextCall) {
    CallLineEnded();
  }
}

void Collector::OnFilesDone(int flag) {
  // File workers end in the order they were started: this is the oldest call still waiting.
  const auto call = std::find_if(calls_.begin(), calls_.end(),
                                 [](const CallInHand& c) { return c.filesComing && !c.files; });
  const bool partial = call != calls_.end() && call->partial;
  if (!finishing_) {
    filesWritten_ += logic_.FDevice->FileCount();
    if (partial && logic_.FDevice->FileCount() > 0) ++partialFiles_;
    if ((flag & 0xFF) != kFilesComplete) CallFailed();
  }
  if (options_.direct) {
    const bool wrote = (flag & 0xFF) == kFilesComplete && logic_.FDevice->FileCount() > 0;
    QTimer::singleShot(0, this, [this, wrote] { Finish(wrote ? kExitDone : kExitNoData); });
    return;
  }
  if (call != calls_.end()) {
    const int files = logic_.FDevice->FileCount();
    call->result = std::string(partial                            ? "partial, "
                               : (flag & 0xFF) == kFilesComplete ? "done, "
                                                                 : "incomplete, ") +
                   std::to_string(files) + (files == 1 ? " file" : " files");
    call->files = true;
    CountCalls();
  }
}

void Collector::CallLineEnded() {
  if (calls_.empty()) return;
  calls_.back().ended = true;
  CountCalls();
}

void Collector::CountCalls() {
  while (!calls_.empty() && calls_.front().ended &&
         (calls_.front().files || !calls_.front().filesComing)) {
    const CallInHand call = calls_.front();
    calls_.pop_front();
    if (!call.files) continue;  // nothing was read: not a call of the count
    ++callsDone_;
    state_.SetLastCall(call.result);
    view_.Note("call " + std::to_string(callsDone_) + " done");
    if (options_.calls > 0 && callsDone_ >= options_.calls) {
      QTimer::singleShot(0, this, [this] { Finish(kExitDone); });
      return;
    }
  }
}

void Collector::CallFailed() {
  if (callFailed_) return;
  callFailed_ = true;
  ++failures_;
}

std::string Collector::Summary() const {
  // e.g. "Run complete: 2 call(s) answered, 2 file(s) written, 0 failed"; a direct line
  // has no calls.
  std::string line = logic_.Text(kTextRunEnded) + " ";
  if (!options_.direct) {
    line += std::to_string(callsAnswered_) + " " + logic_.Text(kTextCallsAnswered) + ", ";
  }
  line += std::to_string(filesWritten_) + " " + logic_.Text(kTextRunFilesWritten) + ", ";
  if (partialFiles_ > 0) {
    line += std::to_string(partialFiles_) + " " + logic_.Text(kTextPartial) + ", ";
  }
  return line + std::to_string(failures_) + " " + logic_.Text(kTextRunFailed);
}

void Collector::OnWorkerDone(int code) {
  if (!finishing_) {
    // A job that the stop itself ended says nothing about the call.
    if (code == wdAwaitHangUp) state_.Set("waiting for " + Logger() + " to hang up");
    if (code == wdPortLost) {
      state_.Set("waiting for the modem's port to return");
      // A modem that goes takes the call with it: no hang-up will be reported, and the
      // call that wrote its files is done all the same.
      CallLineEnded();
    }
    if (code == wdContentsFailed) state_.SetLastCall("failed: the record table was not read");
    if (code == wdNothingRead) state_.SetLastCall("failed: no page was read");
    if (code == wdNoRecord) state_.SetLastCall("no record in the logger");
    if (code == wdRecordsPartly && !calls_.empty()) calls_.back().partial = true;
    if ((code == wdRecordsRead || code == wdRecordsPartly) && !calls_.empty()) {
      calls_.back().filesComing = true;
    }
    if (code == wdContentsFailed || code == wdNothingRead || code == wdRecordsPartly) {
      CallFailed();
    }
    // A call without files does not count: the run goes on, and so does its countdown.
    if (code == wdNothingRead) logic_.SetLastCallOfRun(false);
  }
  if (!options_.direct || finishing_) return;
  // The window stops after the record table when there is no modem; the console goes on
  // with the records the stored options select.
  if (code == wdContentsRead) {
    QTimer::singleShot(0, this, [this] {
      if (finishing_ || !logic_.StartDown()) return;
      logic_.TickRecordsByReadRule();
      logic_.btnReadClick(Sender::btnReadRec);
    });
  } else if (code != wdRecordsRead && code != wdRecordsPartly) {
    // Nothing (more) to read on a direct line.
    QTimer::singleShot(0, this, [this] { Finish(kExitNoData); });
  }
}

void Collector::Finish(int exitCode, bool planned) {
  if (finishing_) return;
  finishing_ = true;
  exitCode_ = exitCode;
  if (planned) {
    logic_.EndRun(Summary());
  } else {
    logic_.ReleaseStart();
  }
  state_.Set("idle");
  // The worker ends on the stop and the close waits for the workers a bounded time: pages
  // read so far still become files.
  logic_.FormClose();
  state_.Stopped();
  QCoreApplication::exit(exitCode_);
}

}  // namespace varnel::cli
