#include "app/contact_tracker.h"

#include <algorithm>

#include "files/code_page_text.h"
#include "files/native_path.h"
#include "workers/device_write_sequence.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {

using SysClock = std::chrono::system_clock;

std::string Dotted(std::uint8_t a, std::uint8_t b) {
  return std::to_string(a) + "." + std::to_string(b);
}

// The share of the ring that the listed records fill.
std::optional<double> RingUse(const TDevice& d) {
  if (d.LastRingPage == 0) return std::nullopt;
  long pages = 0;
  for (int i = 0; i < d.RecCount(); ++i) pages += std::max<int>(d.Rec(i)->Span, 0) + 1;
  return std::min(1.0, static_cast<double>(pages) / (d.LastRingPage + 1.0));
}

}  // namespace

ContactTracker::ContactTracker(ContactService& sink, std::function<std::uint64_t()> lineBytes,
                               std::function<void(const std::string&)> failed)
    : sink_(sink), lineBytes_(std::move(lineBytes)), failed_(std::move(failed)) {}

void ContactTracker::JobStarted(JobKind kind, bool /*modem*/) {
  if (kind == kJobModemContents || kind == kJobNextCall || kind == kJobDirectContents) {
    // A new wait or contents reading: whatever came before is over -- once the files of
    // its readout, still being written, have come.
    if (open_) {
      lineEnded_ = true;
      FinishIfDone();
    }
    pendingStart_ = SysClock::now();
    pendingBytes_ = lineBytes_();
  } else if (kind == kJobReadRecords && !open_) {
    pendingStart_ = SysClock::now();
    pendingBytes_ = lineBytes_();
  }
}

void ContactTracker::Open() {
  c_ = ContactFigures{};
  start_ = pendingStart_.value_or(SysClock::now());
  bytesAtStart_ = pendingStart_ ? pendingBytes_ : lineBytes_();
  pendingStart_.reset();
  ++contacts_;
  lineEnded_ = filesPending_ = stopping_ = readingEnded_ = false;
  sawPartial_ = sawRead_ = sawNoRecord_ = sawChanged_ = sawNoCommunication_ = false;
  stoppedWhileReading_ = filesFailed_ = false;
  filesInFallback_ = false;
  open_ = true;
}

void ContactTracker::WorkerStatus(int code, std::int64_t value, const TDevice& d) {
  switch (code) {
    case wsModemConnected:
      if (open_) Finish();
      pendingStart_ = SysClock::now();
      pendingBytes_ = lineBytes_();
      Open();
      return;
    case wsDeviceDetected:
    case wsSerialNumber:
    case wsDeviceError:
    case wsDeviceState:
    case wsDeviceChanged:
    case wsNoCommunication:
    case wsMemorySize:
    case wsDeviceTime:
      if (!open_) Open();
      break;
    default:
      if (!open_) return;
  }
  switch (code) {
    case wsDeviceDetected:
      c_.DeviceId = Dotted(d.Identity[0], d.Identity[1]);
      c_.Firmware = Dotted(d.Identity[2], d.Identity[3]);
      break;
    case wsSerialNumber:
      c_.SerialNumber = d.SerialNumber;
      break;
    case wsDeviceError:
      if (value >= 0 && value <= 2) c_.ErrorBits |= 1 << value;
      break;
    case wsDeviceState:
      if (value >= 0 && value <= 3) c_.StateBits |= 1 << value;
      if (value == 4) c_.Battery = d.BatteryCapacity;
      break;
    case wsMemorySize:
      c_.LastPage = d.LastPage;
      c_.ReservedPages = d.ReservedPages;
      break;
    case wsDeviceTime:
      c_.ClockOffset = static_cast<std::int64_t>(static_cast<std::uint32_t>(value)) -
                       static_cast<std::int64_t>(DeviceTimeNow());
      break;
    case wsTimeSynchronized:
      c_.ClockSet = true;
      break;
    case wsDeviceChanged:
      sawChanged_ = true;
      break;
    case wsNoCommunication:
      sawNoCommunication_ = true;
      break;
    default:
      break;
  }
}

void ContactTracker::WorkerDone(int code, const TDevice& d, bool modem) {
  if (!open_) return;
  switch (code) {
    case wdContentsRead:
      c_.RecordsListed = d.RecCount();
      c_.IdentityText = CodePageToUtf8(d.IdentityText);
      c_.RingUse = RingUse(d);
      break;
    case wdNoRecord:
      sawNoRecord_ = true;
      c_.RecordsListed = 0;
      c_.IdentityText = CodePageToUtf8(d.IdentityText);
      c_.RingUse = 0.0;
      break;
    case wdRecordsRead:
    case wdRecordsPartly: {
      (code == wdRecordsRead ? sawRead_ : sawPartial_) = true;
      int records = 0, pages = 0;
      for (int i = 0; i < d.RecCount(); ++i) {
        const int n = d.Rec(i)->PageCount();
        if (n > 0) ++records;
        pages += n;
      }
      c_.RecordsRead = records;
      c_.PagesRead = pages;
      filesPending_ = true;  // the logic starts the file worker on these two
      break;
    }
    case wdHungUp:
    case wdPortLost:
      lineEnded_ = true;
      break;
    default:
      break;
  }
  if (code == wdContentsFailed || code == wdNoRecord || code == wdRecordsRead ||
      code == wdRecordsPartly || code == wdNothingRead || code == wdHungUp) {
    readingEnded_ = true;
  }
  // Without a modem nothing follows a failed or empty reading; after a stop nothing but
  // the worker's own end.
  const bool endsDirect = !modem && (code == wdContentsFailed || code == wdNoRecord ||
                                     code == wdNothingRead);
  if (endsDirect || (stopping_ && code != wdRecordsRead && code != wdRecordsPartly)) {
    lineEnded_ = true;
  }
  FinishIfDone();
}

void ContactTracker::FilesDone(std::int64_t flag, const TDevice& d, bool modem) {
  if (!open_) return;
  filesPending_ = false;
  // The files made before a failure stay on disk and are listed all the same.
  for (int i = 0; i < d.FileCount(); ++i) c_.Files.push_back(PathToUtf8(d.FileName(i)->Name));
  if (c_.PagesRead > 0 && ((flag & 0xFF) != kFilesComplete || d.FileCount() == 0)) {
    filesFailed_ = true;
  }
  if (!modem || stopping_) lineEnded_ = true;
  FinishIfDone();
}

void ContactTracker::FilesInFallbackFolder() {
  if (open_) filesInFallback_ = true;
}

void ContactTracker::RunStopped(bool workerRunning) {
  if (!open_) return;
  stopping_ = true;
  if (!readingEnded_) stoppedWhileReading_ = true;
  if (!workerRunning) lineEnded_ = true;
  FinishIfDone();
}

void ContactTracker::Flush() {
  if (!open_) return;
  // The program ends: a reading still going on is cut off, and files not yet reported
  // were not finished.
  if (!readingEnded_) stoppedWhileReading_ = true;
  if (filesPending_ && c_.PagesRead > 0) filesFailed_ = true;
  Finish();
}

void ContactTracker::FinishIfDone() {
  if (open_ && lineEnded_ && !filesPending_) Finish();
}

void ContactTracker::Finish() {
  open_ = false;
  const auto now = SysClock::now();
  c_.Time = std::chrono::duration_cast<std::chrono::seconds>(start_.time_since_epoch()).count();
  c_.Duration = std::chrono::duration<double>(now - start_).count();
  c_.LineBytes = lineBytes_() - bytesAtStart_;
  if (sawChanged_) {
    c_.Result = ContactResult::DeviceChanged;
  } else if (stoppedWhileReading_) {
    c_.Result = ContactResult::Stopped;
  } else if (sawNoCommunication_ && !sawRead_ && !sawPartial_) {
    c_.Result = ContactResult::NoCommunication;
  } else if (filesFailed_) {
    c_.Result = ContactResult::FilesNotWritten;
  } else if (sawPartial_) {
    c_.Result = ContactResult::Partial;
  } else if (sawRead_ || sawNoRecord_) {
    c_.Result = filesInFallback_ ? ContactResult::FallbackFolder : ContactResult::Complete;
  } else {
    c_.Result = ContactResult::Dropped;
  }
  const std::string error = sink_.ContactEnded(c_);
  if (!error.empty() && failed_) failed_(error);
}

}  // namespace varnel
