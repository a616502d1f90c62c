// The workers' messages: what the memo, the status bar and the log show for each, and which
// job follows which result.
#include <QString>
#include <utility>

#include "app/contact_tracker.h"
#include "app/main_logic.h"
#include "app/registered_devices.h"
#include "app/worker_event_pump.h"
#include "common/locale_text.h"
#include "common/settings.h"
#include "files/code_page_text.h"
#include "files/durable_file.h"
#include "files/idc_names.h"
#include "files/native_path.h"
#include "lang/text_ids.h"
#include "varnel_version.h"
#include "workers/job_kind.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {

// Texts that the logger keeps as 8-bit code-page bytes, up to a byte 255.
std::string DeviceText(const std::string& bytes, std::size_t maxLength = std::string::npos) {
  std::string cut = bytes.substr(0, std::min(maxLength, bytes.size()));
  const std::size_t end = cut.find('\xFF');
  if (end != std::string::npos) cut.resize(end);
  return CodePageToUtf8(cut);
}

// The file-name part of a path written with either separator.
std::string FileNamePart(const std::string& path) {
  const std::size_t at = path.find_last_of("/\\");
  return at == std::string::npos ? path : path.substr(at + 1);
}

}  // namespace

void MainLogic::Memo(const std::string& line, MemoTone tone) {
  if (tone == MemoTone::Plain) {
    view_.AppendMemo(line);
  } else {
    view_.AppendMarkedMemo(line, tone);
  }
}

void MainLogic::AddToLogFile(const std::string& text) { log_.AddToLogFile(text); }

void MainLogic::MemoAndLog(const std::string& line, MemoTone tone) {
  Memo(line, tone);
  AddToLogFile(line);
}

void MainLogic::ShowTimeLine() { Memo(Text(kTextTime) + ": \t\t" + NowText().toStdString()); }

void MainLogic::HandleMessage(unsigned message, std::int64_t wParam, std::int64_t lParam,
                              const std::string& text) {
  switch (message) {
    case WM_WORKER_DONE:
      WMWorkerDone(static_cast<int>(wParam));
      break;
    case WM_WORKER_PROGRESS:
      WMWorkerProgress(wParam, lParam);
      break;
    case WM_WORKER_STATUS:
      WMWorkerStatus(static_cast<int>(wParam), lParam, text);
      break;
    case WM_FILES_DONE:
      WMFilesDone(wParam, lParam);
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- progress

void MainLogic::WMWorkerProgress(std::int64_t wParam, std::int64_t lParam) {
  if (wParam == kProgressRange) {
    SetGauge(static_cast<int>(lParam), 0);
  } else if (wParam == kProgressAdvance) {
    SetGauge(ProgressMax, static_cast<int>(ProgressPosition + lParam));
  }
}

// ---------------------------------------------------------------- status events

void MainLogic::WMWorkerStatus(int code, std::int64_t value, const std::string& text) {
  if (tracker_) tracker_->WorkerStatus(code, value, *FDevice);
  if (!SpBStartModemDown) return;  // nothing shown, nothing logged
  Observe().WorkerStatus(code, value);
  if (ChBShowTime && code != wsDeviceTime && code != wsDeviceState) ShowTimeLine();
  const std::string line = StatusLine(code, value, text);
  AddToLogFile(line);
  for (const std::string& note : std::exchange(optionNotes_, {})) {
    MemoAndLog(note, MemoTone::Warning);
  }
}

std::string MainLogic::StatusLine(int code, std::int64_t value, const std::string& text) {
  TDevice& d = *FDevice;
  std::string L;
  switch (code) {
    case wsDeviceDetected:
      Memo(Text(kTextDeviceDetected));
      AddToLogFile(Text(kTextDeviceDetected) + "\r\n");
      L = Text(kTextDeviceId) + " " + std::to_string(d.Identity[0]) + "." +
          std::to_string(d.Identity[1]) + " - " + Text(kTextDeviceVersion) + "  " +
          std::to_string(d.Identity[2]) + "." +
          std::to_string(d.Identity[3]);
      Memo(L);
      break;
    case wsSerialNumber: {
      // Unsigned, as the registered-device key and the data folder name it.
      L = Text(kTextSerialNumber) + " " + std::to_string(d.SerialNumber);
      Memo(L);
      LoggerOnLine(d.SerialNumber);
      // The contents worker waits for OptionsReady: it is set whatever happens here.
      struct ReadyOnExit {
        TDevice& device;
        ~ReadyOnExit() { device.OptionsReady = true; }
      } ready{d};
      DeviceOptionNotes notes;
      if (LoadDeviceOptions(QString::number(d.SerialNumber), &notes)) {
        d.KnownDevice = true;
        Memo(Text(kTextRegisteredDevice));
      }
      for (const std::string& refused : notes.Refused) {
        optionNotes_.push_back(Text(kTextValueRefused) + " " + refused);
      }
      // Whatever else the options ask for is carried out; this is not.
      if (notes.ConfigNotWritten) {
        optionNotes_.push_back(Text(kTextConfigNotWritten) + " " + *notes.ConfigNotWritten);
      }
      LoadPageCache();
      break;
    }
    case wsDeviceError:
      // The three errors follow each other in the string table, from the record error on.
      if (value >= 0 && value <= 2) L = Text(kTextRecordError + static_cast<int>(value));
      Memo(L, MemoTone::Error);
      break;
    case wsDeviceState:
      if (value >= 0 && value <= 2) {
        // Stopped, prepared and active follow each other in the string table.
        StatusPanel0 = Text(kTextStateStopped + static_cast<int>(value));
        view_.SetStatusPanel(0, StatusPanel0);
        L = StatusPanel0;
      } else if (value == 3) {
        StatusPanel0 += " - " + Text(kTextMemoryFull);
        view_.SetStatusPanel(0, StatusPanel0);
        L = Text(kTextMemoryFull);
      } else if (value == 4) {
        L = "VTQ - " + Text(kTextBatteryCapacity) + ": " + std::to_string(d.BatteryCapacity) +
            "%";
        Memo(L);
      }
      break;
    case wsReadingRecord:
      L = Text(kTextReadingRecord) + " " + std::to_string(value + 1);
      Memo(L);
      break;
    case wsDeviceChanged:
      L = Text(kTextDeviceChanged);
      Memo(L, MemoTone::Warning);
      d.ConfigKnown = false;
      break;
    case wsNoCommunication:
      L = Text(kTextNoCommunication);
      Memo(L, MemoTone::Error);
      break;
    case wsRecordAlreadyRead:
      L = Text(kTextRecord) + " " + std::to_string(value + 1) + " " + Text(kTextAlreadyRead);
      Memo(L);
      break;
    case wsMemorySize:
      // 2047, not 2048: LastPage is the number of the last page, not a count (a 1-MBit logger
      // ends at page 2047, which 2048 would show as 0 MBit).
      L = Text(kTextMemory) + ": " + std::to_string(d.LastPage / 2047) + " MBit";
      Memo(L);
      break;
    case wsDeviceTime:
      Memo(Text(kTextPcTime) + ": \t\t" + NowText().toStdString());
      L = Text(kTextDeviceTime) + ": \t" +
          DeviceTimeText(static_cast<std::uint32_t>(value)).toStdString();
      Memo(L);
      break;
    case wsModemConnected:
      L = Text(kTextModemConnected);
      Memo(L);
      break;
    case wsModemDisconnected:
      L = Text(kTextModemDisconnected);
      Memo(L);
      break;
    case wsDeviceRestarted:
      L = Text(kTextDeviceRestarted);
      Memo(L);
      break;
    case wsModemWrite:
      // The command was sent with CR LF; it is shown without.
      L = Text(kTextModemWrite) + ": " + text.substr(0, text.size() >= 2 ? text.size() - 2 : 0);
      Memo(L);
      break;
    case wsModemRead:
      L = Text(kTextModemRead) + ": " + text;
      Memo(L);
      break;
    case wsWaitingForCall:
      L = Text(kTextWaitingForCall);
      Memo(L);
      WaitingForCall();
      break;
    case wsModemTimeout:
      L = Text(kTextModemTimeout);
      Memo(L, MemoTone::Error);
      break;
    case wsReadContents:
      L = Text(kTextReadingContents);
      Memo(L);
      Memo(std::string());
      break;
    case wsModemCommandMode:
      L = Text(kTextCommandMode);
      Memo(L);
      break;
    case wsOffsetCorrected:
      L = Text(kTextOffsetCorrected);
      if (d.P1OffsetBar != 0 && (d.ChannelMask & kChannelMaskP1)) {
        L += " - " + Text(kTextP1) + ": " + FixedText(d.P1Val, 7, 3).toStdString() + d.CustomUnit;
      }
      if (d.P2OffsetBar != 0 && (d.ChannelMask & kChannelMaskP2)) {
        L += "; " + Text(kTextP2) + ": " + FixedText(d.P2Val, 7, 3).toStdString() + d.CustomUnit;
      }
      Memo(L);
      break;
    case wsConfigWritten:
      L = Text(kTextConfigWritten) + " " + FileNamePart(d.ConfigFile);
      Memo(L);
      break;
    case wsNewId:
      L = Text(kTextNewId) + ": " + DeviceText(d.Cfx.NewIdText, 64);
      Memo(L);
      break;
    case wsNewComment:
      L = Text(kTextNewComment) + ": " + DeviceText(d.Cfx.NewCommentText);
      Memo(L);
      break;
    case wsTimeSynchronized:
      L = Text(kTextClockSynchronized);
      Memo(L);
      break;
    case wsPagesFromCache:
      L = Text(kTextPagesFromCache) + " " + std::to_string(value >> 32) + ", " +
          Text(kTextPagesRead) + " " + std::to_string(value & 0xFFFFFFFF);
      Memo(L);
      break;
    case wsPageCacheUnused:
      L = Text(kTextPageCacheUnused);
      Memo(L);
      break;
    case wsOptionsReset:
      ResetDeviceOptions(QString::number(d.SerialNumber));
      L = Text(kTextOptionsReset);
      Memo(L);
      break;
    case wsModemCommandSkipped:
      // For the log only, not the memo.
      L = Text(kTextCommandsSkipped) + ": " + std::to_string(value);
      break;
    case wsMemoryLayoutInvalid:
      L = Text(kTextMemoryLayoutInvalid) + " (LastPage " + std::to_string(d.LastPage) +
          ", ReservedPages " + std::to_string(d.ReservedPages) + ", W " + std::to_string(value) +
          ")";
      Memo(L, MemoTone::Error);
      break;
    case wsNoTextPages:
    case wsTextNotWritten: {
      const int id = code == wsNoTextPages          ? kTextNoTextPages
                     : value == kNotWrittenComment ? kTextCommentNotWritten
                                                   : kTextIdNotWritten;
      L = Text(id) + " (LastPage " + std::to_string(d.LastPage) + ", ReservedPages " +
          std::to_string(d.ReservedPages) + ")";
      Memo(L, MemoTone::Warning);
      break;
    }
    default:
      break;
  }
  return L;
}

// ---------------------------------------------------------------- end of a job

void MainLogic::BuildRecordListFromDevice() {
  RecordListText list = BuildRecordList(*FDevice, Text(kTextRecordListTitle));
  lbRecords = std::move(list.Entries);
  view_.ShowRecords(lbRecords);
  AddToLogFile(list.LogText);
}

void MainLogic::StartFileThread() {
  // The worker takes its own copy of the records now and lists its files in its own
  // report, so its end -- however late -- speaks only of this call.
  FDevice->ClearFiles();
  FileRun run;
  run.Report = std::make_shared<FilesReport>(++lastRun_);
  if (FDevice->ReadOnlyNewPages) run.Cache = PageCacheOf(*FDevice);
  if (tracker_) run.Contact = tracker_->Contact();
  run.Logger = loggerOnLine_;
  const auto report = run.Report;
  fileRuns_.emplace(report->Run, std::move(run));
  Observe().FileWorkerStarted();
  env_.Link->StartFileThread(*pump_, 0, *FDevice, kFileVersionText, FolderForFiles(), report);
}

void MainLogic::WMWorkerDone(int code) {
  if (tracker_) tracker_->WorkerDone(code, *FDevice, env_.Link->ModemMode());
  Observe().WorkerDone(code);
  SetGauge(ProgressMax, 0);
  if (ChBShowTime && SpBStartModemDown) ShowTimeLine();
  const bool modem = env_.Link->ModemMode();
  if (!modem) SetButtonsAtRest();

  switch (code) {
    case wdContentsFailed:
      if (SpBStartModemDown) {
        MemoAndLog(Text(kTextCancelled), MemoTone::Warning);
        CallEnded(Text(kTextCancelled), loggerOnLine_);
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
      MemoAndLog(Text(kTextCancelled), MemoTone::Warning);
      FDevice->ConfigKnown = true;
      MemoAndLog(Text(kTextCreatingFiles));
      StartFileThread();
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
        MemoAndLog(Text(kTextCancelled), MemoTone::Warning);
        CallEnded(Text(kTextCancelled), loggerOnLine_);
      }
      break;
    case wdInitFailed:
      if (SpBStartModemDown) {
        MemoAndLog(Text(kTextCancelled), MemoTone::Warning);
        FDevice->ClearRecs();
        SetupFailed();
      }
      break;
    case wdPortLost:
      PortLost();
      break;
    case wdNoCall:
      if (SpBStartModemDown) {
        MemoAndLog(Text(kTextCancelled), MemoTone::Warning);
        FDevice->ClearRecs();
        StartJob(kJobNextCall);
      }
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- files written

bool MainLogic::CopyBackups() {
  bool all = true;
  for (int i = 0; i < FDevice->FileCount(); ++i) {
    const std::filesystem::path& name = FDevice->FileName(i)->Name;
    const std::filesystem::path backupName = BackupFileName(name);
    // An earlier copy is replaced only by a complete one.
    std::string error;
    if (!CopyReplacing(name, backupName, error)) {
      all = false;
      MemoAndLog(Text(kTextBackupFailed) + " " + PathToUtf8(backupName.filename()),
                 MemoTone::Error);
    }
  }
  return all;
}

void MainLogic::WMFilesDone(std::int64_t flag, std::int64_t run) {
  FileRun done;
  if (const auto it = fileRuns_.find(run); it != fileRuns_.end()) {
    done = std::move(it->second);
    fileRuns_.erase(it);
  }
  // The device image's list shows this worker's files, for whatever reads it from here on.
  FDevice->ClearFiles();
  if (done.Report) {
    for (auto& name : done.Report->Files()) FDevice->AddFile(std::move(name));
  }
  // The files go to their own contact; one that a later call has closed gets no others.
  if (tracker_ && tracker_->ContactOpen() && tracker_->Contact() == done.Contact) {
    tracker_->FilesDone(flag, *FDevice, env_.Link->ModemMode());
  }
  if (!env_.Link->ModemMode()) {
    SetButtonsAtRest();
    if (!FKeepPortOpen) env_.Link->LinkClose();
  }
  const int low = static_cast<int>(flag & 0xFF);
  const int count = FDevice->FileCount();
  if (IsFilesDoneResult(low)) {
    CallEnded(count == 0 ? Text(kTextNoFileCreated)
                         : std::to_string(count) + " " + Text(kTextFilesWritten),
              done.Logger);
  }
  if (IsFilesDoneResult(low) && count == 0) {
    MemoAndLog(Text(kTextNoFileCreated), MemoTone::Warning);
  } else if (IsFilesDoneResult(low)) {
    for (int i = 0; i < count; ++i) {
      const std::string line =
          Text(kTextFile) + " " + PathToUtf8(FDevice->FileName(i)->Name.filename()) + " " +
          Text(kTextCreated);
      Memo(line);
      AddToLogFile(i == count - 1 ? line + "\r\n" : line);
    }
    // A worker that stopped or failed after some files: those files are complete and are
    // treated as any others; the line says that not every record got its file.
    if (low == kFilesIncomplete) {
      const std::string why = done.Report ? done.Report->Error() : std::string();
      MemoAndLog(Text(kTextFilesIncomplete) + (why.empty() ? std::string() : ": " + why),
                 MemoTone::Error);
    }
    // A copy that failed is named; "created" is said only when every copy was made.
    if (FCreateBackup && CopyBackups()) MemoAndLog(Text(kTextBackupsCreated));
    if (done.Cache) SavePageCache(*done.Cache);
    WriteFileList();
    RunModules();
    view_.SetEnabled(Control::btnReadRec, true);
  }
  Observe().FilesDone(static_cast<int>(flag));
}

void MainLogic::WriteFileList() {
  FFileListKey = kFileListName;
  varnel::WriteFileList(*FDevice);
}

void MainLogic::RunModules() {
  varnel::RunModules(FExecModules, *FDevice, QString::fromStdString(FFileListKey), *env_.Launcher,
                     env_.Pause);
}

}  // namespace varnel
