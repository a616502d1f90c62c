#include "sim/frame_log.h"

#include <cerrno>
#include <cstring>

#include "sim/json_text.h"

namespace varnel::sim {

FrameLog::~FrameLog() {
  if (file_) std::fclose(file_);
}

std::string FrameLog::Open(const std::string& path) {
  file_ = std::fopen(path.c_str(), "w");
  if (!file_) return "cannot create " + path + ": " + std::strerror(errno);
  return "";
}

void FrameLog::Write(std::int64_t nowMs, int call, const std::vector<std::uint8_t>& frame,
                     const Logger::Answer& answer, std::optional<std::uint32_t> serial) {
  if (!file_) return;
  const std::size_t content = frame.size() >= 2 ? frame.size() - 2 : 0;
  const std::uint8_t* f = frame.data();
  std::string line = "{\"t\": " + std::to_string(nowMs / 1000) + "." +
                     std::string(nowMs % 1000 < 100 ? (nowMs % 1000 < 10 ? "00" : "0") : "") +
                     std::to_string(nowMs % 1000) + ", \"call\": " + std::to_string(call);
  if (serial) line += ", \"serial\": " + std::to_string(*serial);
  line += ", \"address\": " + (content >= 1 ? std::to_string(f[0]) : std::string("null"));
  line += ", \"function\": " + (content >= 2 ? std::to_string(f[1]) : std::string("null"));
  line += ", \"data\": \"" +
          HexBytes(std::span<const std::uint8_t>(frame).subspan(content >= 2 ? 2 : 0,
                                                                content >= 2 ? content - 2 : 0)) +
          "\"";
  line += ", \"reply\": \"" + HexBytes(answer.reply) + "\"";
  line += ", \"note\": " + JsonString(answer.note) + "}\n";
  std::fputs(line.c_str(), file_);
  std::fflush(file_);
}

}  // namespace varnel::sim
