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
                               std::function<void(const std::string&)> failed,
                               std::function<Place()> place)
    : sink_(sink),
      lineBytes_(std::move(lineBytes)),
      failed_(std::move(failed)),
      place_(std::move(place)) {}

void ContactTracker::JobStarted(JobKind kind, bool /*modem*/) {
  if (kind == kJobModemContents || kind == kJobNextCall || kind == kJobDirectContents) {
    // A new wait or contents reading: whatever came before is over -- once the files of
    // its readout, still being written, have come.
    if (open_) LineEnded();
    pendingStart_ = SysClock::now();
    pendingBytes_ = lineBytes_();
  } else if (kind == kJobReadRecords && !open_) {
    pendingStart_ = SysClock::now();
    pendingBytes_ = lineBytes_();
  }
}

void ContactTracker::Open() {
  s_ = State{};
  s_.start = pendingStart_.value_or(SysClock::now());
  s_.bytesAtStart = pendingStart_ ? pendingBytes_ : lineBytes_();
  pendingStart_.reset();
  s_.c.Number = ++contacts_;
  s_.c.Time =
      std::chrono::duration_cast<std::chrono::seconds>(s_.start.time_since_epoch()).count();
  if (place_) {
    Place p = place_();
    s_.c.Collector = std::move(p.Collector);
    s_.c.Port = p.Port;
    s_.c.DataFolder = std::move(p.DataFolder);
  }
  open_ = true;
  sink_.ContactOpened(s_.c);
}

void ContactTracker::LineEnded() {
  s_.lineEnded = true;
  open_ = false;
  if (s_.filesPending) {
    // Its files are still being written: it ends when they come, and the next may begin.
    const std::uint64_t number = s_.c.Number;
    awaiting_.emplace(number, std::move(s_));
  } else {
    Finish(s_);
  }
}

void ContactTracker::WorkerStatus(int code, std::int64_t value, const TDevice& d) {
  switch (code) {
    case wsModemConnected:
      if (open_) LineEnded();  // whatever the last call still did, its line is gone now
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
      s_.c.DeviceId = Dotted(d.Identity[0], d.Identity[1]);
      s_.c.Firmware = Dotted(d.Identity[2], d.Identity[3]);
      break;
    case wsSerialNumber:
      s_.c.SerialNumber = d.SerialNumber;
      break;
    case wsDeviceError:
      if (value >= 0 && value <= 2) s_.c.ErrorBits |= 1 << value;
      break;
    case wsDeviceState:
      if (value >= 0 && value <= 3) s_.c.StateBits |= 1 << value;
      if (value == 4) s_.c.Battery = d.BatteryCapacity;
      break;
    case wsMemorySize:
      s_.c.LastPage = d.LastPage;
      s_.c.ReservedPages = d.ReservedPages;
      break;
    case wsDeviceTime:
      s_.c.ClockOffset = static_cast<std::int64_t>(static_cast<std::uint32_t>(value)) -
                       static_cast<std::int64_t>(DeviceTimeNow());
      break;
    case wsTimeSynchronized:
      s_.c.ClockSet = true;
      break;
    case wsDeviceChanged:
      s_.sawChanged = true;
      break;
    case wsNoCommunication:
      s_.sawNoCommunication = true;
      break;
    default:
      break;
  }
}

void ContactTracker::WorkerDone(int code, const TDevice& d, bool modem) {
  if (!open_) return;
  switch (code) {
    case wdContentsRead:
      s_.c.RecordsListed = d.RecCount();
      s_.c.IdentityText = CodePageToUtf8(d.IdentityText);
      s_.c.RingUse = RingUse(d);
      break;
    case wdNoRecord:
      s_.sawNoRecord = true;
      s_.c.RecordsListed = 0;
      s_.c.IdentityText = CodePageToUtf8(d.IdentityText);
      s_.c.RingUse = 0.0;
      break;
    case wdRecordsRead:
    case wdRecordsPartly: {
      (code == wdRecordsRead ? s_.sawRead : s_.sawPartial) = true;
      int records = 0, pages = 0;
      for (int i = 0; i < d.RecCount(); ++i) {
        const int n = d.Rec(i)->PageCount();
        if (n > 0) ++records;
        pages += n;
      }
      s_.c.RecordsRead = records;
      s_.c.PagesRead = pages;
      s_.filesPending = true;  // the logic starts the file worker on these two
      break;
    }
    case wdHungUp:
    case wdPortLost:
      s_.lineEnded = true;
      break;
    default:
      break;
  }
  if (code == wdContentsFailed || code == wdNoRecord || code == wdRecordsRead ||
      code == wdRecordsPartly || code == wdNothingRead || code == wdHungUp) {
    s_.readingEnded = true;
  }
  // Without a modem nothing follows a failed or empty reading; after a stop nothing but
  // the worker's own end.
  const bool endsDirect = !modem && (code == wdContentsFailed || code == wdNoRecord ||
                                     code == wdNothingRead);
  if (endsDirect || (s_.stopping && code != wdRecordsRead && code != wdRecordsPartly)) {
    s_.lineEnded = true;
  }
  FinishIfDone();
}

void ContactTracker::TakeFiles(State& s, std::int64_t flag, const TDevice& d) {
  s.filesPending = false;
  // The files made before a failure stay on disk and are listed all the same.
  for (int i = 0; i < d.FileCount(); ++i) s.c.Files.push_back(PathToUtf8(d.FileName(i)->Name));
  if (s.c.PagesRead > 0 && ((flag & 0xFF) != kFilesComplete || d.FileCount() == 0)) {
    s.filesFailed = true;
  }
}

void ContactTracker::FilesDone(std::uint64_t contact, std::int64_t flag, const TDevice& d,
                               bool modem) {
  if (const auto it = awaiting_.find(contact); it != awaiting_.end()) {
    TakeFiles(it->second, flag, d);
    Finish(it->second);
    awaiting_.erase(it);
    return;
  }
  if (!open_ || s_.c.Number != contact) return;
  TakeFiles(s_, flag, d);
  if (!modem || s_.stopping) s_.lineEnded = true;
  FinishIfDone();
}

void ContactTracker::FilesInFallbackFolder() {
  if (open_) s_.filesInFallback = true;
}

void ContactTracker::RunStopped(bool workerRunning) {
  if (!open_) return;
  s_.stopping = true;
  if (!s_.readingEnded) s_.stoppedWhileReading = true;
  if (!workerRunning) s_.lineEnded = true;
  FinishIfDone();
}

void ContactTracker::Flush() {
  // The program ends: a reading still going on is cut off, and files not yet reported
  // were not finished.
  for (auto& [number, s] : awaiting_) {
    if (s.c.PagesRead > 0) s.filesFailed = true;
    Finish(s);
  }
  awaiting_.clear();
  if (!open_) return;
  if (!s_.readingEnded) s_.stoppedWhileReading = true;
  if (s_.filesPending && s_.c.PagesRead > 0) s_.filesFailed = true;
  open_ = false;
  Finish(s_);
}

void ContactTracker::FinishIfDone() {
  if (open_ && s_.lineEnded) LineEnded();
}

void ContactTracker::Finish(State& s) {
  ContactFigures& c = s.c;
  const auto now = SysClock::now();
  c.Time = std::chrono::duration_cast<std::chrono::seconds>(s.start.time_since_epoch()).count();
  c.Duration = std::chrono::duration<double>(now - s.start).count();
  c.LineBytes = lineBytes_() - s.bytesAtStart;
  if (s.sawChanged) {
    c.Result = ContactResult::DeviceChanged;
  } else if (s.stoppedWhileReading) {
    c.Result = ContactResult::Stopped;
  } else if (s.sawNoCommunication && !s.sawRead && !s.sawPartial) {
    c.Result = ContactResult::NoCommunication;
  } else if (s.filesFailed) {
    c.Result = ContactResult::FilesNotWritten;
  } else if (s.sawPartial) {
    c.Result = ContactResult::Partial;
  } else if (s.sawRead || s.sawNoRecord) {
    c.Result = s.filesInFallback ? ContactResult::FallbackFolder : ContactResult::Complete;
  } else {
    c.Result = ContactResult::Dropped;
  }
  const std::string error = sink_.ContactEnded(c);
  if (!error.empty() && failed_) failed_(error);
}

}  // namespace varnel
