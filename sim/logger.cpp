#include "sim/logger.h"

#include "link/crc16.h"

namespace varnel::sim {

namespace {

// The settings the host only copies (configuration entries 4..9, floats 80..111) and the
// live channel levels get values from the seed, so that a copy that went wrong shows.
void SeedRegisters(LoggerRegisters& r, std::uint64_t seed) {
  Prng rng(Mix64(seed, 0x5245474Bull));
  r.cfg4 = static_cast<std::uint32_t>(rng.Next());
  r.cfg9 = static_cast<std::uint32_t>(rng.Next() & 0x00FFFFFF);
  r.cfg6a = static_cast<std::uint16_t>(rng.Below(65536));
  r.cfg6b = static_cast<std::uint16_t>(rng.Below(65536));
  r.cfg6c = static_cast<std::uint8_t>(rng.Below(256));
  r.cfg7a = static_cast<std::uint16_t>(rng.Below(65536));
  r.cfg7b = static_cast<std::uint8_t>(rng.Below(256));
  r.cfg8 = static_cast<std::uint16_t>(rng.Below(65536));
  // Multiples of 1/64 in -16..16: exact in a float and easy to read in a frame log.
  for (float& f : r.floats) f = static_cast<float>(static_cast<int>(rng.Below(2049)) - 1024) / 64.0f;
  for (std::size_t ch = 0; ch < r.channelLevel.size(); ++ch) {
    r.channelLevel[ch] = ch == 0 ? static_cast<float>(6.0 + rng.Unit() * 8.0)      // temperature
                                 : static_cast<float>(0.9 + rng.Unit() * 1.5);     // bar
  }
  r.valueSeed = seed;
}

}  // namespace

Logger::Logger(const LoggerSetup& setup)
    : setup_(setup),
      device_(setup.layout),
      book_(setup.layout.RingPages()),
      writer_(device_.memory, book_, setup.seed, setup.registers.channelMask),
      faultRng_(Mix64(setup.seed, 0x4641554C54ull)) {
  device_.address = setup.address;
  device_.regs = setup.registers;
  SeedRegisters(device_.regs, setup.seed);
  error_ = FillMemory(device_.memory, writer_, setup.seed, setup.fill);
  const MemoryLayout& layout = setup.layout;
  device_.memory.WriteText(layout.IdPage(), layout.IdPage(), setup.identityText.substr(0, kPageSize));
  device_.memory.WriteText(layout.CommentPage(), layout.lastPage, setup.commentText);
  const std::uint32_t clock =
      setup.clock ? *setup.clock : (writer_.HasRecord() ? writer_.time() + 300 : setup.fill.firstStart);
  device_.regs.SetClock(clock, 0);
}

void Logger::CallEnded() {
  ++call_;
  pageReadsThisCall_ = 0;
  silent_ = false;
  hungUp_ = false;
  if (setup_.faults.nextSerial) device_.regs.serial = *setup_.faults.nextSerial;
  // Between calls the logger goes on with its newest run, whatever the restart said; the
  // pages depend on the seed and the number of calls only, not on what the calls asked.
  const bool recording = setup_.pagesBetweenCalls > 0 || setup_.entriesBetweenCalls > 0;
  if (recording && (device_.regs.state & kStateActive)) {
    for (int i = 0; i < setup_.pagesBetweenCalls; ++i) {
      writer_.WritePage(false, setup_.fill.firstStart);
      ++pagesRecorded_;
    }
    if (setup_.entriesBetweenCalls > 0) {
      pagesRecorded_ += static_cast<std::uint64_t>(
          writer_.AddEntries(setup_.entriesBetweenCalls, setup_.fill.firstStart));
    }
    newRecordDue_ = false;
  }
}

void Logger::Record(std::int64_t nowMs) {
  if (setup_.recordEvery <= 0 || !(device_.regs.state & kStateActive)) return;
  if (framesForUs_ % static_cast<std::uint64_t>(setup_.recordEvery) != 0) return;
  if (newRecordDue_ || !writer_.HasRecord()) {
    writer_.StartRecord(device_.regs.Clock(nowMs));
    newRecordDue_ = false;
  }
  writer_.WritePage();
  ++pagesRecorded_;
}

Logger::Answer Logger::Handle(const std::vector<std::uint8_t>& frame, std::int64_t nowMs) {
  Answer a;
  if (frame.size() < 4) {
    a.note = "too short";
    return a;
  }
  if (!CheckCrc16BE(frame.data(), frame.size() - 2)) {
    a.note = "bad CRC";
    return a;
  }
  const std::uint8_t address = frame[0];
  const std::uint8_t function = frame[1];
  if (address != device_.address && address != 0) {
    a.note = "other address";
    return a;
  }
  a.forUs = true;
  ++framesForUs_;
  const LoggerFaults& f = setup_.faults;
  const bool pageRead = function == kReadPageBytes || function == kReadPageBlock;

  if (pageRead && f.stopAfterPageReads >= 0 && pageReadsThisCall_ >= f.stopAfterPageReads)
    silent_ = true;
  if (silent_ || hungUp_) {
    a.note = silent_ ? "silent" : "line dropped";
    Record(nowMs);
    return a;
  }
  if (function == kReadIdentity && identityIgnored_ < f.ignoreIdentity) {
    ++identityIgnored_;
    a.note = "identity ignored";
    Record(nowMs);
    return a;
  }

  const int nth = ++requestsByFunction_[function];
  const std::span<const std::uint8_t> content(frame.data(), frame.size() - 2);
  bool forcedError = false;
  for (const auto& e : f.errorReplies) {
    if (e.function == function && nth > e.skip) {
      a.reply = MakeErrorReply(device_.address, function, e.code);
      a.note = "error reply";
      forcedError = true;
      break;
    }
  }
  if (!forcedError) {
    CommandOutcome out = ExecuteCommand(device_, content, nowMs);
    a.reply = std::move(out.reply);
    a.restarted = out.restarted;
    if (out.restarted) newRecordDue_ = true;
    if (out.pageRead) ++pageReadsThisCall_;
  }
  if (address == 0) {
    a.reply.clear();  // a request to all loggers is carried out but never answered
    a.note = "to all";
  }
  if (!a.reply.empty() && pageRead && f.hangupAfterPageReads >= 0 && call_ == 1 &&
      pageReadsThisCall_ > f.hangupAfterPageReads) {
    a.hangUpAfter = a.reply.size() / 2;
    a.note = "line dropped";
    hungUp_ = true;
  }
  if (!a.reply.empty() && f.corruptFraction > 0.0 && faultRng_.Unit() < f.corruptFraction) {
    const std::size_t at = faultRng_.Below(static_cast<std::uint32_t>(a.reply.size()));
    a.reply[at] ^= static_cast<std::uint8_t>(1u << faultRng_.Below(8));
    a.note = "corrupted";
  }
  Record(nowMs);
  return a;
}

}  // namespace varnel::sim
