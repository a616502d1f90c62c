#include "reader/readout_host.h"

#include <chrono>
#include <ctime>
#include <ostream>
#include <system_error>

#include "files/data_folder_state.h"
#include "workers/link_facade.h"
#include "workers/worker_messages.h"
#include "varnel_version.h"

namespace varnel::reader {

namespace {

constexpr std::uint8_t kDirectAddress = 250;
constexpr std::int16_t kDirectReplyTimeoutMs = 500;
constexpr int kStopLimitMs = 10000;

const char* FolderProblem(FolderState state) {
  switch (state) {
    case FolderState::Missing: return "does not exist";
    case FolderState::NotAFolder: return "is not a folder";
    case FolderState::NotWritable: return "cannot be written to";
    case FolderState::Usable: break;
  }
  return "";
}

}  // namespace

ReadoutHost::ReadoutHost(ReaderOptions options, std::ostream& out)
    : options_(std::move(options)), out_(out) {}

ReadoutHost::~ReadoutHost() { Shutdown(); }

void ReadoutHost::Shutdown() {
  StopLink();
  WaitForWorker(kStopLimitMs);
  fileThread_.reset();
}

int ReadoutHost::Run(const std::function<bool()>& stopRequested) {
  // What a contents reading of a logger without registered options starts from.
  std::time_t now = std::time(nullptr);
  const std::tm* local = std::localtime(&now);
  device_.ClearRecs();
  device_.Address = kDirectAddress;
  device_.ReplyTimeout = kDirectReplyTimeoutMs;
  device_.PortNumber = static_cast<std::uint8_t>(options_.port);
  device_.OptionsReady = false;
  device_.KnownDevice = false;
  device_.ReadActualRec = !options_.allRecords;
  device_.ReadFromMonth = static_cast<std::uint8_t>(local ? local->tm_mon : 0);
  device_.ReadFromYear = static_cast<std::uint16_t>(local ? local->tm_year + 1900 : 2000);
  device_.SynchTime = !options_.keepClock;

  // The files are what the readout is for: a folder that cannot take them is found out
  // before the logger is read, its clock set and it is restarted.
  const std::filesystem::path folder(options_.dataDir);
  std::error_code ec;
  if (std::filesystem::create_directories(folder, ec)) {
    out_ << "data folder " << folder.string() << " created\n";
  }
  if (const FolderState state = DataFolderState(folder); state != FolderState::Usable) {
    out_ << "data folder " << folder.string() << " " << FolderProblem(state);
    if (ec) out_ << " (" << ec.message() << ")";
    out_ << ": the logger was not touched\n";
    return kReadNoFile;
  }

  // A direct line: no modem, and the line echoes what the PC sends.
  SetLinkModem(false);
  SetLinkEcho(true);
  if (!LinkOpen(static_cast<std::int16_t>(options_.port), kDirectReplyTimeoutMs)) {
    out_ << "COM" << options_.port << " could not be opened\n";
    return kReadPortFailed;
  }
  out_ << "reading the logger on COM" << options_.port << "\n";
  StartJob(queue_, kJobModemContents, device_);

  while (!finished_) {
    if (!stopped_ && stopRequested && stopRequested()) {
      stopped_ = true;
      out_ << "stopping\n";
      StopLink();
    }
    if (const auto message = queue_.Take(std::chrono::milliseconds(50))) Handle(*message);
  }
  Shutdown();
  return status_;
}

void ReadoutHost::Handle(const WorkerMessage& m) {
  if (m.message == WM_WORKER_STATUS) {
    switch (static_cast<int>(m.wParam)) {
      case wsSerialNumber:
        // The event carries no value: the worker wrote the number into the image first.
        out_ << "serial number " << device_.SerialNumber << "\n";
        // No registered options: the defaults set before the job hold.
        device_.OptionsReady = true;
        break;
      case wsNoCommunication:
        out_ << "no answer from the logger\n";
        break;
      case wsDeviceChanged:
        out_ << "another logger answered: stopped\n";
        break;
      case wsReadingRecord:
        out_ << "reading record " << m.lParam + 1 << "\n";
        break;
      case wsTimeSynchronized:
        out_ << "logger clock set to the PC clock\n";
        break;
      case wsDeviceRestarted:
        out_ << "logger restarted\n";
        break;
      default:
        break;
    }
  } else if (m.message == WM_WORKER_DONE) {
    OnDone(static_cast<int>(m.wParam));
  } else if (m.message == WM_FILES_DONE) {
    for (const auto& name : fileThread_->Report()->Files()) {
      files_.push_back(name);
      out_ << "file " << name.string() << "\n";
    }
    if (files_.empty()) out_ << "no file written\n";
    Finish(files_.empty() ? kReadNoFile : kReadDone);
  }
}

void ReadoutHost::OnDone(int code) {
  switch (code) {
    case wdContentsRead: {
      if (stopped_) return Finish(kReadNoFile);
      const int n = device_.RecCount();
      out_ << n << " record(s) in the logger\n";
      for (int i = 0; i < n; ++i) device_.Rec(i)->Selected = (i == 0) || options_.allRecords;
      StartJob(queue_, kJobReadRecords, device_);
      break;
    }
    case wdRecordsRead:
    case wdRecordsPartly:
      if (code == wdRecordsPartly) out_ << "the records were read only in part\n";
      fileThread_ = std::make_unique<TFileThread>(queue_, 0, device_, kFileVersionText,
                                                  std::filesystem::path(options_.dataDir));
      break;
    case wdNoRecord:
      out_ << "the logger holds no record\n";
      Finish(kReadNoFile);
      break;
    default:
      out_ << "the readout ended without data (result " << code << ")\n";
      Finish(kReadNoFile);
      break;
  }
}

void ReadoutHost::Finish(int status) {
  status_ = status;
  finished_ = true;
}

}  // namespace varnel::reader
