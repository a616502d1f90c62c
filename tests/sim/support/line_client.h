#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace varnel::simtest {

// The host's end of the line for the tests: opens the COM link raw and talks frames or
// modem text over it.
class LineClient {
 public:
  explicit LineClient(const std::string& path);
  ~LineClient();
  LineClient(const LineClient&) = delete;
  LineClient& operator=(const LineClient&) = delete;

  bool ok() const { return fd_ >= 0; }
  void Write(const std::vector<std::uint8_t>& bytes);
  void WriteText(const std::string& text);
  // Reads until n bytes have come, the line has been quiet for gapMs after some bytes, or
  // timeoutMs has passed.
  std::vector<std::uint8_t> Read(std::size_t n, int timeoutMs, int gapMs = 150);
  // Reads until the text holds `needle` or timeoutMs has passed; returns all read.
  std::string ReadUntil(const std::string& needle, int timeoutMs);
  // Throws away whatever is waiting.
  void Drain();

  // Sends content + CRC and reads a reply of expectedLength bytes (fewer when an error
  // reply or nothing comes).
  std::vector<std::uint8_t> Exchange(const std::vector<std::uint8_t>& content, std::size_t expectedLength,
                                     int timeoutMs = 1000);

 private:
  int fd_ = -1;
};

// content + its CRC, high byte first.
std::vector<std::uint8_t> WithCrc(std::vector<std::uint8_t> content);
bool CrcOk(const std::vector<std::uint8_t>& frame);

}  // namespace varnel::simtest
