// The workers' messages: what the memo, the status bar and the log show for each, and which
// job follows which result.
#include <QString>
#include <utility>

#include "app/contact_tracker.h"
#include "app/main_logic.h"
#include "app/status_text.h"
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
  const StatusText said = DescribeStatus(
      {code, value, text}, *FDevice,
      {[this](int id) { return Text(id); }, NowText().toStdString(), StatusPanel0});
  if (said.StatusPanel) {
    StatusPanel0 = *said.StatusPanel;
    view_.SetStatusPanel(0, StatusPanel0);
  }
  for (const MemoLine& line : said.Memo) Memo(line.Text, line.Tone);
  ActOnStatus(code);
  for (const std::string& line : said.Log) AddToLogFile(line);
  for (const auto& [note, tone] : std::exchange(optionNotes_, {})) MemoAndLog(note, tone);
}

void MainLogic::ActOnStatus(int code) {
  TDevice& d = *FDevice;
  switch (code) {
    case wsSerialNumber: {
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
        optionNotes_.emplace_back(Text(kTextValueRefused) + " " + refused, MemoTone::Warning);
      }
      // Whatever else the options ask for is carried out; this is not.
      if (notes.ConfigNotWritten) {
        optionNotes_.emplace_back(Text(kTextConfigNotWritten) + " " + *notes.ConfigNotWritten,
                                  MemoTone::Warning);
      }
      // Ticked only to reach "Write new text": the texts go, and nothing failed.
      if (notes.NoConfigFile) optionNotes_.emplace_back(Text(kTextNoConfigFile), MemoTone::Plain);
      LoadPageCache();
      break;
    }
    case wsDeviceChanged:
      d.ConfigKnown = false;
      break;
    case wsWaitingForCall:
      WaitingForCall();
      break;
    case wsOptionsReset:
      ResetDeviceOptions(QString::number(d.SerialNumber));
      break;
    default:
      break;
  }
}

// ---------------------------------------------------------------- end of a job

void MainLogic::BuildRecordListFromDevice() {
  RecordListText list = BuildRecordList(*FDevice, Text(kTextRecordListTitle));
  lbRecords = std::move(list.Entries);
  view_.ShowRecords(lbRecords);
  AddToLogFile(list.LogText);
}

}  // namespace varnel
