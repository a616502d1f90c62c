#pragma once
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "sim/logger.h"

namespace varnel::sim {

// One JSON line per request frame received, written and flushed as it happens so a test can
// follow the order of the commands on the wire:
// {"t": seconds since start, "call": n, "address": a, "function": f, "data": hex,
//  "reply": hex, "note": why the reply is missing or altered}. With several loggers behind
// the modem "call" is the logger's own call number, and "serial" follows it.
class FrameLog {
 public:
  FrameLog() = default;
  ~FrameLog();
  FrameLog(const FrameLog&) = delete;
  FrameLog& operator=(const FrameLog&) = delete;

  // Returns "" or why the file cannot be created.
  std::string Open(const std::string& path);
  void Write(std::int64_t nowMs, int call, const std::vector<std::uint8_t>& frame,
             const Logger::Answer& answer, std::optional<std::uint32_t> serial = std::nullopt);

 private:
  std::FILE* file_ = nullptr;
};

}  // namespace varnel::sim
