#include "sim/frame_assembler.h"

#include "sim/command_handler.h"

namespace varnel::sim {

void FrameAssembler::Drain(std::vector<Frame>& out) {
  for (;;) {
    while (!buffer_.empty() && buffer_.front() == 0xFF) {
      buffer_.erase(buffer_.begin());
      ++wakeBytes_;
    }
    const int length = RequestFrameLength(buffer_.data(), buffer_.size());
    if (length <= 0 || buffer_.size() < static_cast<std::size_t>(length)) {
      if (buffer_.size() >= kMaxFrame) {
        out.push_back({buffer_, false});
        buffer_.clear();
      }
      return;
    }
    out.push_back({std::vector<std::uint8_t>(buffer_.begin(), buffer_.begin() + length), true});
    buffer_.erase(buffer_.begin(), buffer_.begin() + length);
  }
}

void FrameAssembler::Feed(const std::uint8_t* data, std::size_t n, std::int64_t nowMs,
                          std::vector<Frame>& out) {
  if (n == 0) return;
  // Bytes after a long silence start a new frame; what was left over is given up.
  Tick(nowMs, out);
  buffer_.insert(buffer_.end(), data, data + n);
  lastByteMs_ = nowMs;
  Drain(out);
}

void FrameAssembler::Tick(std::int64_t nowMs, std::vector<Frame>& out) {
  if (buffer_.empty() || nowMs - lastByteMs_ < kGapMs) return;
  out.push_back({buffer_, false});
  buffer_.clear();
}

}  // namespace varnel::sim
