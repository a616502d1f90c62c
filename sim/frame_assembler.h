#pragma once
#include <cstdint>
#include <vector>

namespace varnel::sim {

// Cuts the byte stream from the host into request frames. The logger knows the length of
// every request it understands from the function code; a request it does not know ends
// when the line has been quiet for a gap. A lone 0xFF between frames is the wake byte
// that is sent ahead of a modem call and is dropped. An incomplete frame is dropped after
// the gap, as the line then carries nothing more of it.
class FrameAssembler {
 public:
  static constexpr std::int64_t kGapMs = 20;
  static constexpr std::size_t kMaxFrame = 300;

  struct Frame {
    std::vector<std::uint8_t> bytes;
    bool complete = true;  // false: cut off by the gap (unknown length or incomplete)
  };

  void Feed(const std::uint8_t* data, std::size_t n, std::int64_t nowMs, std::vector<Frame>& out);
  // Closes what has been waiting longer than the gap.
  void Tick(std::int64_t nowMs, std::vector<Frame>& out);
  // When Tick next has something to do, or -1.
  std::int64_t NextDeadline() const { return buffer_.empty() ? -1 : lastByteMs_ + kGapMs; }
  std::size_t pending() const { return buffer_.size(); }
  std::uint64_t wakeBytes() const { return wakeBytes_; }

 private:
  void Drain(std::vector<Frame>& out);

  std::vector<std::uint8_t> buffer_;
  std::int64_t lastByteMs_ = 0;
  std::uint64_t wakeBytes_ = 0;
};

}  // namespace varnel::sim
