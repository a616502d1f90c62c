#include "link/byte_order.h"
#include "test_host.h"

#include <gtest/gtest.h>

#include <ctime>

#include "varnel_version.h"
#include "workers/worker_messages.h"

namespace varnel::testing {

namespace {
using Clock = std::chrono::steady_clock;
constexpr int kShutdownLimitMs = 10000;
}  // namespace

void DeviceYearMonth(std::uint32_t deviceSeconds, int& year, int& month) {
  std::int64_t z = deviceSeconds / 86400 + DaysFromCivil(2000, 1, 1) + 719468;
  const std::int64_t era = z / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

TestHost::TestHost(Setup setup) : setup_(std::move(setup)) {}

TestHost::~TestHost() { Shutdown(); }

void TestHost::Shutdown() {
  running_ = false;
  StopLink();
  if (!WaitForWorker(kShutdownLimitMs)) ADD_FAILURE() << "a worker did not end after the stop";
  fileThread_.reset();
}

bool TestHost::Start() {
  running_ = true;
  device_.Address = setup_.address;
  device_.ReplyTimeout = setup_.address > 250 ? 2000 : 500;
  device_.PortNumber = static_cast<std::uint8_t>(setup_.port);
  device_.ModemCmd = setup_.modemCmd;
  device_.ModemCmdActive = setup_.modemCmdActive;
  SetLinkModem(setup_.modem);
  SetLinkEcho(!setup_.modem);  // as the window program sets it
  if (!LinkOpen(static_cast<std::int16_t>(setup_.port),
                static_cast<std::int16_t>(device_.ReplyTimeout))) {
    running_ = false;
    return false;
  }
  Begin(setup_.firstJob);
  return true;
}

bool TestHost::Resume(JobKind kind) {
  running_ = true;
  if (!LinkOpen(static_cast<std::int16_t>(setup_.port),
                static_cast<std::int16_t>(device_.ReplyTimeout))) {
    running_ = false;
    return false;
  }
  Begin(kind);
  return true;
}

void TestHost::Begin(JobKind kind) {
  if (WorkerOf(kind) == JobWorker::Contents) {
    // A fresh contents reading: no records, the default options, no answer to the
    // serial-number handshake yet.
    device_.ClearRecs();
    device_.OptionsReady = false;
    device_.KnownDevice = false;
    device_.ReadActualRec = true;
    device_.SynchTime = true;
    device_.OffsetCorr = false;
    device_.P1OffsetBar = device_.P2OffsetBar = 0;
    device_.WriteConfig = device_.ConfigFileOk = device_.WLConfig = false;
    device_.WriteText = device_.NewID = device_.NewComment = false;
  }
  StartJob(*this, kind, device_);
}

bool TestHost::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
  const auto until = Clock::now() + limit;
  for (;;) {
    if (done()) return true;
    std::optional<WorkerMessage> m =
        queue_.Take(std::min(until, Clock::now() + std::chrono::milliseconds(20)));
    if (!m) {
      if (Clock::now() >= until) return done();
      continue;
    }
    messages_.push_back({m->message, m->wParam, m->lParam, std::move(m->text), m->posted});
    Handle(messages_.back());
  }
}

void TestHost::Drain(std::chrono::milliseconds quiet) {
  std::size_t seen = messages_.size();
  for (;;) {
    RunUntil([] { return false; }, quiet);
    if (messages_.size() == seen) return;
    seen = messages_.size();
  }
}

std::chrono::milliseconds TestHost::StopAndWait() {
  running_ = false;
  const auto t0 = Clock::now();
  StopLink();
  WaitForWorker(kShutdownLimitMs);
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t0);
}

void TestHost::Handle(const HostMessage& m) {
  if (m.Message == WM_WORKER_STATUS) {
    OnStatus(static_cast<int>(m.W));
  } else if (m.Message == WM_WORKER_DONE) {
    OnDone(static_cast<int>(m.W));
  } else if (m.Message == WM_FILES_DONE) {
    files_ = fileThread_ ? fileThread_->Report()->Files() : std::vector<std::filesystem::path>{};
    filesPending_ = false;
    if (nextCallPending_) {
      nextCallPending_ = false;
      if (running_) Begin(kJobNextCall);
    }
  }
}

void TestHost::OnStatus(int event) {
  switch (event) {
    case wsSerialNumber:
      if (!setup_.answerOptions) break;
      // Whatever the loading of the options does, the worker waits for this flag.
      try {
        if (setup_.loadOptions) setup_.loadOptions(device_);
      } catch (...) {
        ADD_FAILURE() << "loading the options failed";
      }
      device_.OptionsReady = true;
      break;
    case wsDeviceChanged:
      device_.ConfigKnown = false;
      break;
    default:
      break;
  }
}

void TestHost::OnDone(int code) {
  switch (code) {
    case wdContentsFailed:
      if (running_) Begin(kJobHangUp);
      break;
    case wdContentsRead:
      device_.ConfigKnown = false;
      if (running_ && setup_.readAfterContents) {
        SelectRecords();
        Begin(kJobReadRecords);
      }
      break;
    case wdRecordsRead:
    case wdRecordsPartly:
      device_.ConfigKnown = true;
      pagesRead_.clear();
      for (int i = 0; i < device_.RecCount(); ++i) {
        std::vector<TPage> pages;
        for (int p = 0; p < device_.Rec(i)->PageCount(); ++p) pages.push_back(*device_.Rec(i)->Page(p));
        pagesRead_.push_back(std::move(pages));
      }
      if (setup_.writeFiles) StartFileWorker();
      break;
    case wdHungUp:
      ++hangUps_;
      // The host keeps one file worker at a time: the next call waits until the files of
      // this one are written.
      if (running_ && hangUps_ < setup_.calls) {
        if (filesPending_) {
          nextCallPending_ = true;
        } else {
          Begin(kJobNextCall);
        }
      }
      break;
    case wdInitFailed:
      if (running_) Begin(kJobModemContents);
      break;
    case wdNoCall:
      if (running_) Begin(kJobNextCall);
      break;
    default:
      break;
  }
}

void TestHost::SelectRecords() {
  const int n = device_.RecCount();
  for (int i = 0; i < n; ++i) device_.Rec(i)->Selected = false;
  switch (setup_.selection) {
    case Selection::None:
      break;
    case Selection::All:
      for (int i = 0; i < n; ++i) device_.Rec(i)->Selected = true;
      break;
    case Selection::Listed:
      for (int i : setup_.selected) {
        if (TRec* r = device_.Rec(i)) r->Selected = true;
      }
      break;
    case Selection::ByOptions:
      if (n > 0) device_.Rec(0)->Selected = true;
      if (!device_.ReadActualRec && n >= 2) {
        for (int i = 1; i < n; ++i) {
          int year = 0, month = 0;
          DeviceYearMonth(device_.Rec(i)->StartTime, year, month);
          device_.Rec(i)->Selected = year > device_.ReadFromYear ||
                                     (year == device_.ReadFromYear && month >= device_.ReadFromMonth);
        }
      }
      break;
  }
}

void TestHost::StartFileWorker() {
  fileThread_.reset();
  filesPending_ = true;
  fileThread_ = std::make_unique<TFileThread>(*this, 0, device_, kFileVersionText, setup_.dataFolder);
}

std::vector<int> TestHost::Results() const {
  std::vector<int> r;
  for (const auto& m : messages_) {
    if (m.Message == WM_WORKER_DONE) r.push_back(static_cast<int>(m.W));
  }
  return r;
}

std::vector<int> TestHost::Events() const {
  std::vector<int> r;
  for (const auto& m : messages_) {
    if (m.Message == WM_WORKER_STATUS) r.push_back(static_cast<int>(m.W));
  }
  return r;
}

std::vector<std::int64_t> TestHost::EventValues(int event) const {
  std::vector<std::int64_t> r;
  for (const auto& m : messages_) {
    if (m.Message == WM_WORKER_STATUS && m.W == event) r.push_back(m.L);
  }
  return r;
}

std::vector<std::string> TestHost::EventTexts(int event) const {
  std::vector<std::string> r;
  for (const auto& m : messages_) {
    if (m.Message == WM_WORKER_STATUS && m.W == event) r.push_back(m.Text);
  }
  return r;
}

bool TestHost::SawResult(int code) const { return CountResult(code) > 0; }

int TestHost::CountResult(int code) const {
  int n = 0;
  for (int r : Results()) n += r == code;
  return n;
}

bool TestHost::SawEvent(int event) const {
  for (int e : Events()) {
    if (e == event) return true;
  }
  return false;
}

std::vector<int> TestHost::FilesDone() const {
  std::vector<int> r;
  for (const auto& m : messages_) {
    if (m.Message == WM_FILES_DONE) r.push_back(static_cast<int>(m.W));
  }
  return r;
}

}  // namespace varnel::testing
