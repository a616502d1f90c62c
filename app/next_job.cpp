// Which job follows which: the end of each worker's job, the restart countdown after a
// call, the modem set-up that failed and the modem port that went and came back.
#include <chrono>

#include "app/contact_tracker.h"
#include "app/main_logic.h"
#include "app/status_text.h"
#include "app/worker_event_pump.h"
#include "lang/text_ids.h"
#include "workers/job_kind.h"
#include "workers/worker_messages.h"

namespace varnel {

void MainLogic::WMWorkerDone(int code) {
  if (tracker_) tracker_->WorkerDone(code, *FDevice, env_.Link->ModemMode());
  Observe().WorkerDone(code);
  SetGauge(ProgressMax, 0);
  if (ChBShowTime && SpBStartModemDown) ShowTimeLine();
  const bool modem = env_.Link->ModemMode();
  if (!modem) SetButtonsAtRest();

  switch (code) {
    // The operator's Stop says "Cancelled !" itself; the ends below come while Start is down,
    // when nobody cancelled anything, and say what happened instead.
    case wdContentsFailed:
      if (SpBStartModemDown) {
        MemoAndLog(Text(kTextCallEndedUnread), MemoTone::Warning);
        CallEnded(Text(kTextCallEndedUnread), loggerOnLine_);
        FDevice->ClearRecs();
        StartJob(kJobHangUp);
      }
      break;
    case wdContentsRead:
      BuildRecordListFromDevice();
      EditFilename = DeviceText(FDevice->IdentityText);
      view_.SetFileNameText(EditFilename);
      Memo(Text(kTextDone));
      view_.SetEnabled(Control::btnReadRec, true);
      FDevice->ConfigKnown = false;
      if (modem) {
        FKeepPortOpen = true;
        view_.SetEnabled(Control::btnReadRec, false);
        TickRecordsByReadRule();
        btnReadClick(Sender::btnReadRec);
      }
      break;
    case wdRecordsRead:
      FDevice->ConfigKnown = true;
      Memo(std::string());
      MemoAndLog(Text(kTextCreatingFiles));
      StartFileThread();
      Memo(std::string());
      break;
    case wdNoRecord:
      lbRecords.clear();
      view_.ShowRecords(lbRecords);
      MemoAndLog(Text(kTextNoRecordInDevice), MemoTone::Warning);
      CallEnded(Text(kTextNoRecordInDevice), loggerOnLine_);
      // The logger is still on the line: wait for its hang-up as after a failed reading,
      // so that an empty logger does not end the unattended loop.
      if (SpBStartModemDown && modem) {
        FDevice->ClearRecs();
        StartJob(kJobHangUp);
      }
      break;
    case wdRecordsPartly:
      // The files of the pages read are written all the same; their end says they are partial.
      FDevice->ConfigKnown = true;
      MemoAndLog(Text(kTextCreatingFiles));
      StartFileThread(true);
      Memo(std::string());
      break;
    case wdAwaitHangUp:
      if (SpBStartModemDown) {
        FRestartCountdown = 80;
        RestartTimer->Start(10000);
        if (!lastCallOfRun_) {
          MemoAndLog(Text(kTextRestartIn) + " " + std::to_string(FRestartCountdown) + " " +
                     Text(kTextSeconds));
        }
      }
      break;
    case wdHungUp:
      RestartTimer->Stop();
      ResumeWaitingForCall();
      break;
    case wdNothingRead:
      if (SpBStartModemDown) {
        MemoAndLog(Text(kTextCallEndedUnread), MemoTone::Warning);
        CallEnded(Text(kTextCallEndedUnread), loggerOnLine_);
      }
      break;
    case wdInitFailed:
      // The modem's answer (or its silence) was shown; the retry line says what follows.
      if (SpBStartModemDown) {
        FDevice->ClearRecs();
        SetupFailed();
      }
      break;
    case wdPortLost:
      PortLost();
      break;
    case wdNoCall:
      if (SpBStartModemDown) {
        MemoAndLog(Text(kTextWaitBrokenOff), MemoTone::Warning);
        FDevice->ClearRecs();
        StartJob(kJobNextCall);
      }
      break;
    default:
      break;
  }
}

void MainLogic::StartJob(JobKind kind) {
  if (closing_) return;  // the program ends: only the workers that run may finish
  if (kind == kJobModemContents || kind == kJobNextCall || kind == kJobDirectContents) {
    // Every contents reading starts from the defaults, so the options of the logger that
    // called last are never carried out on the next one, and the serial-number handshake
    // waits for the new logger's options.
    ResetReadOptions();
    // The state of the logger that called last is no longer news.
    ClearDeviceState();
    if (kind == kJobModemContents) SayActivity(Text(kTextSettingUpModem));
    if (kind == kJobDirectContents) SayActivity(Text(kTextReadingLogger));
  }
  env_.Link->ReapFinished();
  if (tracker_) tracker_->JobStarted(kind, env_.Link->ModemMode());
  Observe().JobStarted(static_cast<int>(kind));
  env_.Link->StartJob(*pump_, kind, *FDevice);
}

void MainLogic::ResumeWaitingForCall() {
  // The file worker of the call that ended keeps its own copy of the records, so the next
  // call is awaited at once: a logger that calls again is answered, not left to a modem
  // that nobody listens to.
  FDevice->ClearRecs();
  StartJob(kJobNextCall);
}

namespace {
// How often a port that has gone is looked for. Each look is one attempt to open the
// device, which fails at once while it is missing.
constexpr int kPortWatchMs = 2000;

std::int64_t SecondsNow() {
  return std::chrono::duration_cast<std::chrono::seconds>(
             std::chrono::system_clock::now().time_since_epoch())
      .count();
}
}  // namespace

void MainLogic::PortLost() {
  RestartTimer->Stop();
  SetupRetryTimer->Stop();
  // The dead port is let go at once, so that the device can come back under its name.
  env_.Link->StopLink();
  FKeepPortOpen = false;
  if (!SpBStartModemDown) return;
  if (!modemGoneSince_) modemGoneSince_ = SecondsNow();
  MemoAndLog(Text(kTextModemGone) + " COM" + std::to_string(FPort), MemoTone::Error);
  const std::string waiting = Text(kTextWaitingForModem) + " (COM" + std::to_string(FPort) + ")";
  SayActivity(waiting);
  // The state of the logger that was on the line is no longer true; the status bar says what
  // the program waits for until the set-up of the returned modem clears it.
  StatusPanel0 = waiting;
  view_.SetStatusPanel(0, StatusPanel0);
  // Nothing runs until the modem is back; the bar says so instead of moving.
  ActivityTimer->Stop();
  ResetActivity();
  view_.SetCaption(Control::ActivityBar, Text(kTextWaitingForModem));
  PortWatchTimer->Start(kPortWatchMs);
}

void MainLogic::LookForPort() {
  if (!SpBStartModemDown) {
    PortWatchTimer->Stop();
    return;
  }
  if (!env_.Link->PortPresent(FPort) || !env_.Link->LinkOpen(FPort, FAnswerTimeout)) return;
  PortWatchTimer->Stop();
  modemGoneSince_.reset();
  MemoAndLog(Text(kTextModemBack) + " COM" + std::to_string(FPort));
  view_.SetCaption(Control::ActivityBar, Text(kTextProgramActive));
  ActivityTimer->Start(100);
  FDevice->ClearRecs();
  StartJob(kJobModemContents);
}

void MainLogic::SetupFailed() {
  // An unattended PC tries again on its own, after a pause: a modem that does not answer
  // now is switched off or busy, and asking it again at once only fills the log.
  if (!setupFailingSince_) setupFailingSince_ = SecondsNow();
  MemoAndLog(Text(kTextSetupRetry) + " " + std::to_string(FSetupRetrySeconds) + " " +
             Text(kTextSeconds),
             MemoTone::Warning);
  SetupRetryTimer->Start(FSetupRetrySeconds * 1000);
}

void MainLogic::RetrySetup() {
  SetupRetryTimer->Stop();
  if (!SpBStartModemDown) return;
  FDevice->ClearRecs();
  StartJob(kJobModemContents);
}

void MainLogic::RestartTimerTick() {
  FRestartCountdown = static_cast<std::int16_t>(FRestartCountdown - 10);
  if (FRestartCountdown > 0) {
    if (!lastCallOfRun_) {
      MemoAndLog(Text(kTextRestartIn) + " " + std::to_string(FRestartCountdown) + " " +
                 Text(kTextSeconds));
    }
    return;
  }
  RestartTimer->Stop();
  ResumeWaitingForCall();
}

}  // namespace varnel
