// The read/write worker: the job's order, identification, configuration and state, the end
// of the job and the wait for the hang-up. Record reading and trimming are in
// read_write_records.cpp, the write sequence in device_write_sequence.cpp.
#include "workers/read_write_thread.h"

#include <array>
#include <chrono>
#include <string>

#include "link/bus.h"
#include "link/byte_order.h"
#include "link/link_state.h"
#include "link/modem_texts.h"
#include "workers/config_entries.h"
#include "workers/device_write_sequence.h"
#include "workers/identify.h"
#include "workers/modem_line.h"
#include "workers/page_io.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {
// Progress steps of a full job besides the pages.
constexpr std::int64_t kStepsFixed = 4;
constexpr std::int64_t kStepsConfigRead = 32;
constexpr std::int64_t kStepsOffset = 2;
constexpr std::int64_t kStepsConfigWrite = 19;
constexpr std::int64_t kStepsClock = 1;

// The modem's report of the end of the call.
constexpr int kHangUpLimitMs = 65000;
constexpr int kBeforeHangUpWaitMs = 200;
constexpr int kAfterReportMs = 200;
constexpr std::size_t kHeardTextLimit = 2 * kModemAnswerBytes;
}  // namespace

TReadWriteThread::TReadWriteThread(PostTarget& window, JobKind kind, TDevice& device)
    : posts_(window), Kind(kind), Device(device) {}

void TReadWriteThread::Execute() {
  if (Kind != kJobHangUp) RunFullJob();
  if (!ModemMode()) return;
  // A modem that has gone reports no end of call: the host must close the port and wait
  // for the device to return.
  if (PortVanished()) {
    posts_.Done(wdPortLost);
    return;
  }
  if (!WaitForHangUp() && !CancelFlag() && PortVanished()) posts_.Done(wdPortLost);
}

bool TReadWriteThread::Step(std::int16_t busResult) {
  if (busResult != 0) return false;
  posts_.Advance();
  return true;
}

void TReadWriteThread::RunFullJob() {
  result_ = wdNothingRead;
  lastHandled_ = -1;
  total_ = ProgressTotal();
  posts_.Range(total_);
  std::uint16_t next = 0;
  // Nothing is written to a logger that is not the one whose table was read: the serial
  // number is confirmed once more before the trimming (the write pointer must be this
  // logger's too) and the write sequence.
  if (Identify() && CheckSameLogger() && (Device.ConfigKnown || ReadConfiguration()) &&
      QueryState() && ReadRecords() && ReadNextWritePage(next) && ConfirmSameLogger()) {
    TrimOverwrittenPages(next);
    RunDeviceWriteSequence(Device, posts_, result_);
  }
  EndFullJob();
}

std::int64_t TReadWriteThread::ProgressTotal() const {
  std::int64_t total = kStepsFixed;
  for (int i = 0; i < Device.RecCount(); ++i) {
    if (Device.Rec(i)->Selected) total += Device.Rec(i)->Span;
  }
  if (!Device.ConfigKnown) total += kStepsConfigRead;
  if (Device.OffsetCorr) total += kStepsOffset;
  if (Device.ConfigFileOk) total += kStepsConfigWrite;
  if (Device.NewID) total += static_cast<std::int64_t>(Device.Cfx.NewIdText.size()) / 2;
  if (Device.ConfigFileOk) total += static_cast<std::int64_t>(Device.Cfx.NewCommentText.size()) / 2;
  if (Device.SynchTime) total += kStepsClock;
  return total;
}

bool TReadWriteThread::Identify() {
  if (!IdentifyLogger(Device.Address, Device.Identity)) {
    // A call that ended under the identification, or a modem that went, is no silent
    // logger: the end of the job says what happened.
    if (!LineDropped() && !PortVanished()) posts_.Status(wsNoCommunication);
    return false;
  }
  posts_.Advance();
  return true;
}

bool TReadWriteThread::CheckSameLogger() {
  std::uint32_t serial = 0;
  if (!Step(BusReadSerial(Device.Address, serial))) return false;
  if (serial != Device.SerialNumber) {
    posts_.Status(wsDeviceChanged);
    return false;
  }
  return true;
}

// Without a progress step: a quick check, not a readout step, so the bar's total leaves it
// out.
bool TReadWriteThread::ConfirmSameLogger() {
  std::uint32_t serial = 0;
  const std::int16_t r = BusReadSerial(Device.Address, serial);
  if (r == kBusOk && serial == Device.SerialNumber) return true;
  // A stop or the end of the call is no sign of another logger; anything else is: a
  // logger that cannot tell its serial number gets no writes either.
  if (r != kBusCancelled && r != kBusLineDropped) posts_.Status(wsDeviceChanged);
  return false;
}

bool TReadWriteThread::ReadConfiguration() {
  ReadComment();
  const std::uint8_t a = Device.Address;
  std::uint8_t d[5] = {};
  if (Device.WideCfg9) {
    if (!Step(BusReadConfig(a, kEntryCfg9, d))) return false;
    Device.Cfg9 = GetU32BE(d);
  } else {
    if (!Step(BusReadConfig(a, kEntryCfg5, d))) return false;
    Device.Cfg9 = GetU16BE(d);
  }
  if (!Step(BusReadConfig(a, kEntryCfg6, d))) return false;
  Device.Cfg6A = GetU16BE(d);
  Device.Cfg6B = GetU16BE(d + 2);
  Device.Cfg6C = d[4];
  if (!Step(BusReadConfig(a, kEntryCfg7, d))) return false;
  Device.Cfg7A = GetU16BE(d);
  Device.Cfg7B = d[2];
  if (!Step(BusReadFloat(a, kFloat96, Device.Float96))) return false;
  if (!Step(BusReadFloat(a, kFloat97, Device.Float97))) return false;
  if (!Step(BusReadConfig(a, kEntryState, d))) return false;
  Device.Cfg1Bit = (d[1] & 1) != 0;
  if (!Step(BusReadConfig(a, kEntryCfg4, d))) return false;
  Device.Cfg4 = GetU32BE(d);
  for (std::size_t i = 0; i < Device.Floats100.size(); ++i) {
    const auto index = static_cast<std::uint8_t>(kFloatFirst100 + i);
    if (!Step(BusReadFloat(a, index, Device.Floats100[i]))) return false;
  }
  if (BusReadConfig(a, kEntryCfg8, d) != 0) return false;  // no progress for this one
  Device.Cfg8 = GetU16BE(d);
  Device.ChannelMask = GetU16BE(d + 2);
  for (int k = 0; k < kChannelMaskPairs; ++k) {
    if ((Device.ChannelMask & (kChannelMaskFirstPair << k)) == 0) continue;
    const auto index = static_cast<std::uint8_t>(kFloatFirst80 + 2 * k);
    auto& pair = Device.Floats80;
    if (!Step(BusReadFloat(a, index, pair[static_cast<std::size_t>(2 * k)]))) return false;
    if (!Step(BusReadFloat(a, static_cast<std::uint8_t>(index + 1),
                           pair[static_cast<std::size_t>(2 * k + 1)]))) {
      return false;
    }
  }
  Device.ConfigKnown = true;
  return true;
}

// The comment lies on the pages after the identity page, up to the last page of memory,
// and ends at the first 0xFF. A failed page read leaves no comment but does not end the
// job.
void TReadWriteThread::ReadComment() {
  Device.CommentText.Clear();
  if (!HasCommentPages(Device.ReservedPages)) return;
  std::array<std::uint8_t, kPageSize> page{};
  for (int p = Device.CommentPage; p <= Device.LastPage; ++p) {
    if (ReadWholePage(Device.Address, static_cast<std::uint16_t>(p), page.data()) != 0) {
      Device.CommentText.Clear();
      return;
    }
    for (std::uint8_t b : page) {
      if (b == 0xFF) return;
      if (b >= 32 || b == 13 || b == 10) Device.CommentText.WriteByte(b);
    }
  }
}

bool TReadWriteThread::QueryState() {
  std::uint8_t d[5] = {};
  return Step(BusReadConfig(Device.Address, kEntryState, d)) &&
         Step(BusReadConfig(Device.Address, kEntryState, d));
}

bool TReadWriteThread::ReadNextWritePage(std::uint16_t& next) {
  std::uint8_t d[5] = {};
  if (!Step(BusReadConfig(Device.Address, kEntryState, d))) return false;
  const std::uint16_t written = GetU16BE(d + 3);
  next = written == Device.LastRingPage ? 0 : static_cast<std::uint16_t>(written + 1);
  return true;
}

void TReadWriteThread::EndFullJob() {
  if (TRec* rec = Device.Rec(lastHandled_)) {
    if (result_ == wdRecordsPartly) {
      rec->PrevSpan = rec->Span;
      rec->Span = PagesDone;
      rec->Partial = true;
    } else {
      rec->Partial = false;
    }
  }
  posts_.Done(result_);
  posts_.Advance(total_);
}

// The modem reports the end of the call with a text of its own ("DISCONNECTED") or with
// the common "NO CARRIER"; the wait reads what the modem says until one of them comes, a
// stop, a line error or 65 s. A modem that says neither still cannot connect the next
// logger without the last call having ended: a connection heard here ends the wait as
// well, and that call is handed on to the next wait instead of being thrown away. True when
// the end of the call was seen.
bool TReadWriteThread::WaitForHangUp() {
  posts_.Done(wdAwaitHangUp);
  // The frame layer already found the modem's report inside a reply: the call is over.
  if (LineDropped()) {
    ReportHungUp();
    return true;
  }
  // After a stop the port is closed and nothing can arrive: end at once instead of
  // sleeping through the whole wait.
  if (!SleepUnlessCancelled(kBeforeHangUpWaitMs)) return false;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangUpLimitMs);
  std::string heard;
  for (;;) {
    if (CancelFlag()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    ModemClearLineError();
    // Each pass starts from a fresh, unsignalled event, as the wait for a call does.
    CreatePortEvent();
    const IoResult event = ModemWaitEvent(kMaskReceive, static_cast<int>(left.count()));
    if (!event.Completed() || event.count == 0) return false;  // a stop, or the time is up
    if ((event.count & kEvRxChar) == 0) continue;              // a line error: go on waiting
    // The rest of the modem's line follows within moments.
    if (!SleepUnlessCancelled(kAfterReportMs)) return false;
    heard += ModemReadText(kModemAnswerBytes);
    if (heard.size() > kHeardTextLimit) heard.erase(0, heard.size() - kHeardTextLimit);
    if (TakeHangUpReport(heard)) return true;
  }
}

bool TReadWriteThread::TakeHangUpReport(const std::string& text) {
  const bool ended = BytesContainCallEnded(reinterpret_cast<const std::uint8_t*>(text.data()),
                                           text.size());
  const bool nextCall = LiveCallAnnounced(text);
  if (!ended && !nextCall) return false;
  // The next call can follow the end of this one at once; its announcement is the next
  // wait's.
  if (nextCall) NoteCallAnnounced();
  ReportHungUp();
  return true;
}

void TReadWriteThread::ReportHungUp() {
  posts_.Status(wsModemDisconnected);
  posts_.Done(wdHungUp);
}

}  // namespace varnel
