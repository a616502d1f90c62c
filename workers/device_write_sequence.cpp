#include "workers/device_write_sequence.h"

#include <algorithm>
#include <chrono>
#include <cstddef>

#include "link/bus.h"
#include "link/byte_order.h"
#include "link/link_state.h"
#include "workers/config_entries.h"
#include "workers/worker_messages.h"

namespace varnel {

namespace {

constexpr std::uint8_t kOffsetP1 = 0;
constexpr std::uint8_t kOffsetP2 = 2;
constexpr std::uint8_t kChannelP1 = 1;
constexpr std::uint8_t kChannelP2 = 2;
constexpr int kReadingsAveraged = 3;
constexpr std::size_t kIdentityLimit = 64;
constexpr std::uint8_t kTextEnd = 0xFF;
constexpr int kAfterRestartMs = 200;

std::uint8_t Hi(std::uint16_t v) { return static_cast<std::uint8_t>(v >> 8); }
std::uint8_t Lo(std::uint16_t v) { return static_cast<std::uint8_t>(v & 0xFF); }

class Sequence {
 public:
  Sequence(TDevice& device, WorkerPosts& posts, int& result)
      : d_(device), posts_(posts), result_(result), a_(device.Address) {}

  bool Run() {
    const std::uint8_t prepare[5] = {kControlPrepare, 0, 0, 0, 0};
    if (!Step(BusWriteConfig(a_, kEntryControl, prepare))) return false;
    if (d_.OffsetCorr && !CorrectOffsets()) return false;
    if (d_.WriteConfig && d_.ConfigFileOk && !WriteConfiguration()) return false;
    if (d_.WriteConfig && d_.WriteText) {
      if (d_.NewID) WriteIdentityText();
      if (d_.NewComment) WriteComment();
    }
    if (d_.SynchTime && !SetClock()) return false;
    return Restart();
  }

 private:
  bool Step(std::int16_t busResult) {
    if (busResult != 0) return false;
    posts_.Advance();
    return true;
  }

  // The mean of three readings of a channel (no progress for the readings).
  bool Average(std::uint8_t channel, float& mean) {
    float sum = 0;
    for (int i = 0; i < kReadingsAveraged; ++i) {
      float value = 0;
      std::uint8_t status = 0;
      if (BusReadValue(a_, channel, value, status) != 0) return false;
      sum += value;
    }
    mean = sum / kReadingsAveraged;
    return true;
  }

  // The offset register takes the value that makes the current reading read as the target.
  bool CorrectOffsets() {
    float mean = 0;
    if (d_.P1OffsetBar != 0 && (d_.ChannelMask & kChannelMaskP1)) {
      if (!Average(kChannelP1, mean)) return false;
      if (!Step(BusWriteOffset(a_, kOffsetP1, mean + d_.P1OffsetBar))) return false;
    }
    if (d_.P2OffsetBar != 0 && (d_.ChannelMask & kChannelMaskP2)) {
      if (!Average(kChannelP2, mean)) return false;
      if (!Step(BusWriteOffset(a_, kOffsetP2, mean + d_.P2OffsetBar))) return false;
    }
    posts_.Status(wsOffsetCorrected);
    return true;
  }

  bool WriteConfiguration() {
    if (d_.WLConfig) {
      // A water-level configuration zeroes on the level measured now, or on 0.
      if (d_.Cfx.ZeroByMeasure) {
        const std::uint8_t channel = (d_.Cfx.ZeroChannelSel & 1) ? 0 : 1;
        float mean = 0;
        if (!Average(channel, mean)) return false;
        posts_.Advance();
        d_.Cfx.NewFloats100[6] = mean;
      } else {
        d_.Cfx.NewFloats100[6] = 0;
      }
    }
    for (std::size_t i = 0; i < d_.Cfx.NewFloats100.size(); ++i) {
      const auto index = static_cast<std::uint8_t>(kFloatFirst100 + i);
      if (!Step(BusWriteFloat(a_, index, d_.Cfx.NewFloats100[i]))) return false;
    }
    std::uint8_t e[5] = {};
    if (d_.WideCfg9) {
      PutU32BE(d_.Cfx.NewCfg9, e);
      e[4] = 0;
      if (!Step(BusWriteConfig(a_, kEntryCfg9, e))) return false;
    } else {
      const auto low = static_cast<std::uint16_t>(d_.Cfx.NewCfg9 & 0xFFFF);
      const std::uint8_t e5[5] = {Hi(low), Lo(low), 0, 0, 0};
      if (!Step(BusWriteConfig(a_, kEntryCfg5, e5))) return false;
    }
    const std::uint8_t e6[5] = {Hi(d_.Cfx.NewCfg6A), Lo(d_.Cfx.NewCfg6A), Hi(d_.Cfx.NewCfg6B),
                                Lo(d_.Cfx.NewCfg6B), d_.Cfx.NewCfg6C};
    if (!Step(BusWriteConfig(a_, kEntryCfg6, e6))) return false;
    const std::uint8_t e7[5] = {Hi(d_.Cfx.NewCfg7A), Lo(d_.Cfx.NewCfg7A), d_.Cfx.NewCfg7B, 0, 0};
    if (!Step(BusWriteConfig(a_, kEntryCfg7, e7))) return false;
    if (!Step(BusWriteFloat(a_, kFloat96, d_.Cfx.NewFloat96))) return false;
    if (!Step(BusWriteFloat(a_, kFloat97, d_.Cfx.NewFloat97))) return false;
    const std::uint8_t e1[5] = {static_cast<std::uint8_t>(d_.Cfx.NewCfg1 == 1 ? 1 : 0), 0, 0, 0, 0};
    if (!Step(BusWriteConfig(a_, kEntryState, e1))) return false;
    const std::uint8_t e8[5] = {Hi(d_.Cfx.NewCfg8), Lo(d_.Cfx.NewCfg8), 0, 0, 0};
    if (!Step(BusWriteConfig(a_, kEntryCfg8, e8))) return false;
    // Entry 4 of 0 in the file means: keep the logger's own clock value.
    std::uint8_t e4[5] = {};
    if (d_.Cfx.NewCfg4 == 0) {
      if (!Step(BusReadConfig(a_, kEntryClock, e4))) return false;
    } else {
      PutU32BE(d_.Cfx.NewCfg4, e4);
    }
    e4[4] = 0;
    if (!Step(BusWriteConfig(a_, kEntryCfg4, e4))) return false;
    posts_.Status(wsConfigWritten);
    return true;
  }

  // Two bytes per command at offsets 0, 2, 4 ... of the identity page; a text shorter than
  // the page ends with 0xFF. A failing chunk ends only this write.
  void WriteIdentityText() {
    // Writing past the end of memory could only fail, or wrap round into the ring.
    if (!HasIdPage(d_.ReservedPages)) {
      posts_.Status(wsTextNotWritten, kNotWrittenIdentity);
      return;
    }
    std::string& text = d_.Cfx.NewIdText;
    if (text.size() < kIdentityLimit) text.push_back(static_cast<char>(kTextEnd));
    const std::size_t length = std::min(text.size(), kIdentityLimit);
    for (std::size_t i = 0; i < length; i += 2) {
      const std::uint8_t chunk[2] = {
          static_cast<std::uint8_t>(text[i]),
          i + 1 < length ? static_cast<std::uint8_t>(text[i + 1]) : kTextEnd};
      const auto offset = static_cast<std::uint8_t>(i % kPageSize);
      if (!Step(BusWritePageBytes(a_, d_.IdPage, offset, 2, chunk))) break;
    }
    posts_.Status(wsNewId);
  }

  // The comment runs on over the pages from CommentPage to LastPage; what does not fit is
  // cut off (without terminator).
  void WriteComment() {
    if (!HasCommentPages(d_.ReservedPages)) {
      posts_.Status(wsTextNotWritten, kNotWrittenComment);
      return;
    }
    std::string text = d_.Cfx.NewCommentText;
    text.push_back(static_cast<char>(kTextEnd));
    const std::size_t size = text.size();
    for (std::size_t i = 0; i < size; i += 2) {
      const std::size_t page = d_.CommentPage + i / kPageSize;
      if (page > d_.LastPage) break;
      const std::uint8_t chunk[2] = {
          static_cast<std::uint8_t>(text[i]),
          i + 1 < size ? static_cast<std::uint8_t>(text[i + 1]) : kTextEnd};
      const auto offset = static_cast<std::uint8_t>(i % kPageSize);
      if (!Step(BusWritePageBytes(a_, static_cast<std::uint16_t>(page), offset, 2, chunk))) {
        break;
      }
    }
    posts_.Status(wsNewComment);
  }

  bool SetClock() {
    d_.ClockToSet = DeviceTimeNow();
    std::uint8_t e3[5] = {};
    PutU32BE(d_.ClockToSet, e3);
    if (!Step(BusWriteConfig(a_, kEntryClock, e3))) return false;
    posts_.Status(wsTimeSynchronized);
    return true;
  }

  bool Restart() {
    const std::uint8_t restart[5] = {kControlRestart, 0, 0, 0, 0};
    if (!Step(BusWriteConfig(a_, kEntryControl, restart))) return false;
    posts_.Status(wsDeviceRestarted);
    result_ = wdRecordsRead;
    SleepUnlessCancelled(kAfterRestartMs);
    if (d_.Registered) posts_.Status(wsOptionsReset);
    return true;
  }

  TDevice& d_;
  WorkerPosts& posts_;
  int& result_;
  const std::uint8_t a_;
};

}  // namespace

bool RunDeviceWriteSequence(TDevice& device, WorkerPosts& posts, int& result) {
  return Sequence(device, posts, result).Run();
}

std::uint32_t DeviceTimeOfLocal(const std::tm& local, int milliseconds) {
  const std::int64_t days = DaysFromCivil(local.tm_year + 1900, static_cast<unsigned>(local.tm_mon + 1),
                                          static_cast<unsigned>(local.tm_mday)) -
                            DaysFromCivil(2000, 1, 1);
  const std::int64_t ms =
      ((days * 24 + local.tm_hour) * 60 + local.tm_min) * 60000 +
      static_cast<std::int64_t>(local.tm_sec) * 1000 + milliseconds;
  if (ms <= 0) return 0;
  const std::int64_t seconds = (ms + 500) / 1000;
  return seconds > 0xFFFFFFFFLL ? 0xFFFFFFFFu : static_cast<std::uint32_t>(seconds);
}

std::uint32_t DeviceTimeNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const std::time_t t = system_clock::to_time_t(now);
  const auto ms = duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &t);
#else
  localtime_r(&t, &local);
#endif
  // to_time_t may round to the nearest second; the milliseconds then belong to the second
  // before it.
  int milliseconds = static_cast<int>(ms < 0 ? ms + 1000 : ms);
  if (system_clock::from_time_t(t) > now) milliseconds -= 1000;
  return DeviceTimeOfLocal(local, milliseconds);
}

}  // namespace varnel
