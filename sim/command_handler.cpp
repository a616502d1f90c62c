#include "sim/command_handler.h"

#include <algorithm>
#include <cstring>

#include "link/byte_order.h"
#include "link/crc16.h"
#include "sim/prng.h"

namespace varnel::sim {

int RequestFrameLength(const std::uint8_t* head, std::size_t have) {
  if (have < 2) return 0;
  switch (head[1]) {
    case kReadIdentity:
    case kReadSerial:
      return 4;
    case kReadConfig:
    case kReadFloat:
    case kReadValue:
      return 5;
    case kReadPageBlock:
      return 7;
    case kReadPageBytes:
      return 8;
    case kWriteFloat:
    case kWriteOffset:
      return 9;
    case kWriteConfig:
      return 10;
    case kWritePageBytes:
      // page (2), offset, count, then count data bytes and the CRC
      return have < 6 ? 0 : 8 + head[5];
    default:
      return -1;
  }
}

std::vector<std::uint8_t> MakeFrame(std::uint8_t address, std::uint8_t function,
                                    std::span<const std::uint8_t> data) {
  std::vector<std::uint8_t> f;
  f.reserve(data.size() + 4);
  f.push_back(address);
  f.push_back(function);
  f.insert(f.end(), data.begin(), data.end());
  f.resize(f.size() + 2);
  PutCrc16BE(f.data(), f.size() - 2);
  return f;
}

std::vector<std::uint8_t> MakeErrorReply(std::uint8_t address, std::uint8_t function,
                                         std::uint8_t code) {
  const std::uint8_t data[1] = {code};
  return MakeFrame(address, static_cast<std::uint8_t>(function | 0x80), data);
}

float ChannelReading(const LoggerRegisters& regs, std::uint8_t channel, std::uint64_t n) {
  const std::uint64_t h = Mix64(regs.valueSeed, channel, n);
  const double noise = (static_cast<double>(h >> 11) / 9007199254740992.0 - 0.5) * 0.002;
  return regs.channelLevel[channel] + static_cast<float>(noise);
}

bool ReadConfigEntry(const LoggerDevice& d, std::uint8_t index, std::int64_t nowMs,
                     std::uint8_t out[5]) {
  const LoggerRegisters& r = d.regs;
  std::memset(out, 0, 5);
  switch (index) {
    case 0:
      out[0] = r.control;
      return true;
    case 1: {
      const std::uint16_t w = r.brokenLayout == LoggerRegisters::BrokenLayout::Pointer
                                  ? d.memory.layout().lastPage
                                  : d.memory.writePointer();
      out[1] = static_cast<std::uint8_t>((r.state & ~(kStateMemoryFull | kStateConfigBit)) |
                                         (d.memory.RingFull() ? kStateMemoryFull : 0) |
                                         (r.configBit ? kStateConfigBit : 0));
      out[2] = r.errors;
      PutU16BE(w, out + 3);
      return true;
    }
    case 2:
      PutU16BE(0, out);
      PutU16BE(d.memory.layout().lastPage, out + 2);
      out[4] = r.brokenLayout == LoggerRegisters::BrokenLayout::Reserved
                   ? static_cast<std::uint8_t>(std::min<unsigned>(d.memory.layout().lastPage + 1u, 255u))
                   : d.memory.layout().reservedPages;
      return true;
    case 3:
      PutU32BE(r.Clock(nowMs), out);
      return true;
    case 4:
      PutU32BE(r.cfg4, out);
      return true;
    case 5:
      PutU16BE(static_cast<std::uint16_t>(r.cfg9 & 0xFFFF), out);
      return true;
    case 6:
      PutU16BE(r.cfg6a, out);
      PutU16BE(r.cfg6b, out + 2);
      out[4] = r.cfg6c;
      return true;
    case 7:
      PutU16BE(r.cfg7a, out);
      out[2] = r.cfg7b;
      return true;
    case 8:
      PutU16BE(r.cfg8, out);
      PutU16BE(r.channelMask, out + 2);
      out[4] = r.battery;
      return true;
    case 9:
      PutU32BE(r.cfg9, out);
      return true;
    default:
      return false;
  }
}

namespace {

// Stores a configuration write; returns 0 or an error code. Parts of an entry that are the
// logger's own (write pointer, layout, channel mask, battery) are not taken from the host.
std::uint8_t WriteConfigEntry(LoggerDevice& d, std::uint8_t index, const std::uint8_t* v,
                              std::int64_t nowMs, CommandOutcome& out) {
  LoggerRegisters& r = d.regs;
  switch (index) {
    case 0:
      if (v[0] == kControlPrepare) {
        r.state = static_cast<std::uint8_t>((r.state & ~kStateActive) | kStatePrepared);
        out.prepared = true;
      } else if (v[0] == kControlRestart) {
        r.state = static_cast<std::uint8_t>((r.state & ~kStatePrepared) | kStateActive);
        out.restarted = true;
      } else {
        return kErrIllegalValue;
      }
      r.control = v[0];
      d.received.controls.push_back(v[0]);
      return 0;
    case 1:
      r.configBit = (v[0] & 1) != 0;
      return 0;
    case 3:
      r.SetClock(GetU32BE(v), nowMs);
      d.received.clockSets.push_back(GetU32BE(v));
      return 0;
    case 4:
      r.cfg4 = GetU32BE(v);
      return 0;
    case 5:
      r.cfg9 = GetU16BE(v);
      return 0;
    case 6:
      r.cfg6a = GetU16BE(v);
      r.cfg6b = GetU16BE(v + 2);
      r.cfg6c = v[4];
      return 0;
    case 7:
      r.cfg7a = GetU16BE(v);
      r.cfg7b = v[2];
      return 0;
    case 8:
      r.cfg8 = GetU16BE(v);
      return 0;
    case 9:
      r.cfg9 = GetU32BE(v);
      return 0;
    default:
      return kErrIllegalAddress;  // entry 2 (the layout) and unknown entries
  }
}

bool FloatIndexValid(std::uint8_t index) { return index >= kFirstFloat && index <= kLastFloat; }

}  // namespace

CommandOutcome ExecuteCommand(LoggerDevice& d, std::span<const std::uint8_t> c, std::int64_t nowMs) {
  CommandOutcome out;
  const std::uint8_t fn = c.size() >= 2 ? c[1] : 0;
  const std::uint8_t addr = d.address;
  auto reply = [&](std::span<const std::uint8_t> data) { out.reply = MakeFrame(addr, fn, data); };
  auto fail = [&](std::uint8_t code) { out.reply = MakeErrorReply(addr, fn, code); };

  const int expected = RequestFrameLength(c.data(), c.size());
  if (expected < 0) {
    fail(kErrIllegalFunction);
    return out;
  }
  if (c.size() + 2 != static_cast<std::size_t>(expected)) {
    fail(kErrIllegalValue);
    return out;
  }
  const std::uint8_t* data = c.data() + 2;
  const MemoryLayout& layout = d.memory.layout();

  switch (fn) {
    case kReadIdentity:
      reply(d.regs.identity);
      break;
    case kReadSerial: {
      std::uint8_t b[4];
      PutU32BE(d.regs.serial, b);
      reply(b);
      break;
    }
    case kReadConfig: {
      std::uint8_t b[5];
      if (!ReadConfigEntry(d, data[0], nowMs, b)) {
        fail(kErrIllegalAddress);
      } else {
        reply(b);
      }
      break;
    }
    case kWriteConfig: {
      const std::uint8_t code = WriteConfigEntry(d, data[0], data + 1, nowMs, out);
      if (code != 0) {
        fail(code);
        break;
      }
      ReceivedLog::ConfigWrite w{data[0], {}};
      std::memcpy(w.data.data(), data + 1, 5);
      d.received.config.push_back(w);
      const std::uint8_t b[1] = {data[0]};
      reply(b);
      break;
    }
    case kReadFloat: {
      if (!FloatIndexValid(data[0])) {
        fail(kErrIllegalAddress);
        break;
      }
      std::uint8_t b[4];
      PutF32BE(d.regs.floats[data[0] - kFirstFloat], b);
      reply(b);
      break;
    }
    case kWriteFloat: {
      if (!FloatIndexValid(data[0])) {
        fail(kErrIllegalAddress);
        break;
      }
      const float v = GetF32BE(data + 1);
      d.regs.floats[data[0] - kFirstFloat] = v;
      d.received.floats.push_back({data[0], v});
      const std::uint8_t b[1] = {data[0]};
      reply(b);
      break;
    }
    case kReadValue: {
      if (data[0] > kMaxChannel) {
        fail(kErrIllegalAddress);
        break;
      }
      std::uint8_t b[5];
      PutF32BE(ChannelReading(d.regs, data[0], d.regs.valueReads++), b);
      b[4] = (d.regs.channelMask & (1u << data[0])) ? 0 : 1;  // 1: no sensor on the channel
      reply(b);
      break;
    }
    case kWriteOffset: {
      if (data[0] >= kOffsetSlots) {
        fail(kErrIllegalAddress);
        break;
      }
      const float v = GetF32BE(data + 1);
      d.regs.offsets[data[0]] = v;
      d.received.offsets.push_back({data[0], v});
      const std::uint8_t b[1] = {data[0]};
      reply(b);
      break;
    }
    case kReadPageBytes: {
      const std::uint16_t page = GetU16BE(data);
      const std::uint8_t offset = data[2], count = data[3];
      if (page > layout.lastPage) {
        fail(kErrIllegalAddress);
      } else if (count == 0 || std::size_t{offset} + count > kPageSize) {
        fail(kErrIllegalValue);
      } else {
        reply(std::span<const std::uint8_t>(d.memory.Page(page) + offset, count));
        out.pageRead = true;
      }
      break;
    }
    case kReadPageBlock: {
      const std::uint16_t page = GetU16BE(data);
      const std::uint8_t count = data[2];
      if (count > kMaxBlockPages) {
        fail(kErrIllegalValue);
      } else if (std::uint32_t{page} + (count == 0 ? 0 : count - 1) > layout.lastPage) {
        fail(kErrIllegalAddress);
      } else {
        const std::size_t n = count == 0 ? 8 : std::size_t{count} * kPageSize;
        reply(std::span<const std::uint8_t>(d.memory.Page(page), n));
        out.pageRead = true;
      }
      break;
    }
    case kWritePageBytes: {
      const std::uint16_t page = GetU16BE(data);
      const std::uint8_t offset = data[2], count = data[3];
      // Only the identity and comment pages take text; the record ring is the logger's.
      if (page < layout.IdPage() || page > layout.lastPage) {
        fail(kErrIllegalAddress);
      } else if (count == 0 || std::size_t{offset} + count > kPageSize) {
        fail(kErrIllegalValue);
      } else {
        std::memcpy(d.memory.Page(page) + offset, data + 4, count);
        d.received.pages.push_back({page, offset, std::vector<std::uint8_t>(data + 4, data + 4 + count)});
        const std::uint8_t b[1] = {count};
        reply(b);
      }
      break;
    }
  }
  return out;
}

}  // namespace varnel::sim
