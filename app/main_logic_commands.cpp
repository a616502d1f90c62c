// The operator's start/stop command, the record selection, the per-device options and the
// restart countdown.
#include <QDate>

#include "app/contact_tracker.h"
#include "app/main_logic.h"
#include "app/registered_devices.h"
#include "app/worker_event_pump.h"
#include "common/locale_text.h"
#include "lang/text_ids.h"
#include "workers/job_kind.h"

namespace varnel {

void MainLogic::PressStart() {
  if (SpBStartModemDown || closing_) return;
  SpBStartModemDown = true;
  view_.SetStartDown(true);
  btnReadClick(Sender::SpBStartModem);
  // What an earlier call or run could not hand on (a database that was away) may follow
  // now, behind the modem's set-up.
  if (SpBStartModemDown) services_.CollectingStarted();
}

void MainLogic::ReleaseStart() {
  if (!SpBStartModemDown) return;
  SpBStartModemDown = false;
  view_.SetStartDown(false);
  btnReadClick(Sender::SpBStartModem);
  // A worker that has just ended may still have its last messages queued.
  if (tracker_) tracker_->RunStopped(env_.Link->Busy() || pump_->Pending() > 0);
}

void MainLogic::EndRun(const std::string& summary) {
  runSummary_ = summary;
  ReleaseStart();
  runSummary_.clear();
}

void MainLogic::SetButtonsAtRest() {
  view_.SetEnabled(Control::btnStart, true);
  view_.SetEnabled(Control::btnCancel, false);
  view_.SetEnabled(Control::btnClose, true);
}

void MainLogic::SetGauge(int maximum, int position) {
  ProgressMax = maximum;
  ProgressPosition = position;
  view_.SetGauge(ProgressMax, ProgressPosition);
}

void MainLogic::btnReadClick(Sender sender) {
  view_.FocusMemo();
  if (!SpBStartModemDown) {
    // The operator released Start: everything stops.
    pmuCloseEnabled = true;
    view_.SetEnabled(Control::pmuClose, true);
    view_.SetCaption(Control::SpBStartModem, Text(kTextStart));
    view_.SetEnabled(Control::btnStart, true);
    view_.SetEnabled(Control::btnClose, true);
    env_.Link->StopLink();
    FKeepPortOpen = false;
    ActivityTimer->Stop();
    view_.SetCaption(Control::ActivityBar, std::string());
    ResetActivity();
    ClearDeviceState();
    SayActivity(Text(kTextStopped));
    MemoAndLog(runSummary_.empty() ? Text(kTextCancelled) : runSummary_);
    lastCallOfRun_ = false;
    RestartTimer->Stop();
    SetupRetryTimer->Stop();
    PortWatchTimer->Stop();
    modemGoneSince_.reset();
    setupFailingSince_.reset();
    SetGauge(ProgressMax, 0);
    return;
  }

  pmuCloseEnabled = false;
  view_.SetEnabled(Control::pmuClose, false);
  view_.SetCaption(Control::SpBStartModem, Text(kTextStop));
  view_.SetCaption(Control::ActivityBar, Text(kTextProgramActive));
  if (!ActivityTimer->IsActive()) ActivityTimer->Start(100);

  view_.SetEnabled(Control::btnStart, false);
  view_.SetEnabled(Control::btnCancel, true);
  view_.SetEnabled(Control::btnClose, false);
  SetGauge(ProgressMax, 0);

  JobKind kind = kJobModemContents;
  if (sender == Sender::SpBStartModem || sender == Sender::btnStart) {
    view_.SetEnabled(Control::btnReadRec, false);
    lbRecords.clear();
    view_.ShowRecords(lbRecords);
    FDevice->ClearRecs();
    ResetReadOptions();
    CheckDataFolderAtStart();
    kind = kJobModemContents;
    if (FDebugMode) {
      kind = kJobDirectContents;
      Modem1Checked = true;
      Modem1Click();
      env_.Link->SetLinkModem(true);
    }
    FKeepPortOpen = false;
  } else {
    view_.SetEnabled(Control::btnReadRec, false);
    view_.SetEnabled(Control::btnStart, false);
    bool any = false;
    for (std::size_t i = 0; i < lbRecords.size(); ++i) {
      if (TRec* rec = FDevice->Rec(static_cast<int>(i))) rec->Selected = lbRecords[i].Ticked;
      any = any || lbRecords[i].Ticked;
    }
    if (!any) {
      MemoAndLog(Text(kTextNoRecordSelected), MemoTone::Warning);
      SetButtonsAtRest();
      view_.SetEnabled(Control::btnReadRec, true);
      return;
    }
    Memo(Text(kTextReadingSelected));
    Memo(std::string());
    kind = kJobReadRecords;
  }

  // Taken only now: in debug mode the switch above has just moved the address field, and
  // the job must ask at the address the field shows, as the readout chained to it will.
  FDevice->Address = static_cast<std::uint8_t>(spAddrValue);
  FAnswerTimeout = FDevice->Address > 250 ? 2000 : 500;
  FDevice->ReplyTimeout = static_cast<std::uint16_t>(FAnswerTimeout);
  FDevice->PortNumber = FPort;

  if (FKeepPortOpen || env_.Link->LinkOpen(FPort, FAnswerTimeout)) {
    StartJob(kind);
    return;
  }
  Memo(Text(kTextPortError) + std::to_string(FPort) + " " + Text(kTextNotAvailable),
       MemoTone::Error);
  SetButtonsAtRest();
  Observe().PortOpenFailed(FPort);
  SpBStartModemDown = false;
  view_.SetStartDown(false);
  btnReadClick(Sender::SpBStartModem);
}

void MainLogic::btnCancelClick() {
  SetButtonsAtRest();
  env_.Link->StopLink();
}

void MainLogic::SetRecordTicked(int index, bool ticked) {
  if (index < 0 || index >= static_cast<int>(lbRecords.size())) return;
  RecordEntry& entry = lbRecords[static_cast<std::size_t>(index)];
  if (entry.Ticked == ticked) return;
  entry.Ticked = ticked;
  view_.SetRecordTicked(index, ticked);
}

void MainLogic::TickRecordsByReadRule() {
  TickByReadRule(*FDevice, lbRecords);
  view_.ShowRecords(lbRecords);
}

// ---------------------------------------------------------------- per-device options

void MainLogic::ResetReadOptions() {
  varnel::ResetReadOptions(*FDevice, QDate::currentDate());
  // A device read earlier in this run must not make the next one count as registered.
  FDevice->Registered = false;
}

bool MainLogic::LoadDeviceOptions(const QString& serial, DeviceOptionNotes* notes) {
  return varnel::LoadDeviceOptions(serial, *FDevice, notes);
}

bool MainLogic::ResetDeviceOptions(const QString& serial) {
  return varnel::ResetDeviceOptions(serial, QDate::currentDate(), NowText());
}

}  // namespace varnel
