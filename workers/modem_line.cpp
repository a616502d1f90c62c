#include "workers/modem_line.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "link/link_state.h"

namespace varnel {

IoResult ModemWrite(std::string_view text, int waitLimitMs) {
  const auto port = AcquirePort();
  if (!port) return {IoStatus::Failed, 0};
  const auto event = GetPortEvent();
  return port->Write(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(),
                     event.get(), waitLimitMs);
}

IoResult ModemWaitEvent(std::uint32_t mask, int waitLimitMs) {
  const auto port = AcquirePort();
  if (!port) return {IoStatus::Completed, 0};
  const auto event = GetPortEvent();
  return port->WaitEvent(mask, event.get(), waitLimitMs);
}

std::string ModemReadText(std::size_t maxBytes) {
  const auto port = AcquirePort();
  if (!port) return {};
  const auto event = GetPortEvent();
  std::vector<std::uint8_t> buffer(maxBytes);
  const IoResult r = port->Read(buffer.data(), buffer.size(), event.get(), kNoWaitLimit);
  const std::size_t n = r.Completed() ? std::min<std::size_t>(r.count, maxBytes) : 0;
  return PrintableText(buffer.data(), n);
}

void ModemClearAndPurge() {
  if (const auto port = AcquirePort()) {
    port->ClearLineError();
    port->Purge();
  }
}

void ModemClearLineError() {
  if (const auto port = AcquirePort()) port->ClearLineError();
}

std::string PrintableText(const std::uint8_t* bytes, std::size_t n) {
  std::string text;
  bool lineEnd = false;
  for (std::size_t i = 0; i < n; ++i) {
    if (bytes[i] == '\r' || bytes[i] == '\n') {
      lineEnd = !text.empty();
    } else if (bytes[i] >= 0x20 && bytes[i] <= 0x7E) {
      if (lineEnd) text.push_back('\n');
      lineEnd = false;
      text.push_back(static_cast<char>(bytes[i]));
    }
  }
  return text;
}

std::string UpperCase(std::string_view text) {
  std::string upper(text);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return upper;
}

bool ContainsUpper(std::string_view text, std::string_view upperNeedle) {
  return UpperCase(text).find(upperNeedle) != std::string::npos;
}

}  // namespace varnel
