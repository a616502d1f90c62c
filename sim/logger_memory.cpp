#include "sim/logger_memory.h"

#include <algorithm>
#include <cstring>

namespace varnel::sim {

std::string CheckLayout(const MemoryLayout& layout) {
  if (layout.reservedPages == 1)
    return "give 0 reserved pages (no texts) or at least 2 (the identity page and a comment page)";
  if (layout.reservedPages > layout.lastPage)
    return "the reserved pages do not fit below the last page";
  if (layout.LastRingPage() < 3) return "the record ring needs at least 4 pages";
  if (layout.LastRingPage() > kMaxLinkPage)
    return "the record ring may end at page 8191 at most (13-bit page links)";
  return "";
}

LoggerMemory::LoggerMemory(const MemoryLayout& layout)
    : layout_(layout),
      bytes_(std::size_t{layout.Pages()} * kPageSize, 0xFF),
      writePointer_(layout.LastRingPage()) {}

std::uint16_t LoggerMemory::NextRingPage() const {
  return writePointer_ >= layout_.LastRingPage() ? 0 : static_cast<std::uint16_t>(writePointer_ + 1);
}

std::uint16_t LoggerMemory::AppendRingPage(const PageBytes& page) {
  const std::uint16_t target = NextRingPage();
  std::memcpy(Page(target), page.data(), kPageSize);
  writePointer_ = target;
  ++ringPagesWritten_;
  return target;
}

std::string LoggerMemory::ReadText(std::uint16_t first, std::uint16_t last) const {
  std::string text;
  if (first > last || last > layout_.lastPage) return text;
  const std::uint8_t* p = Page(first);
  const std::size_t n = (std::size_t{last} - first + 1) * kPageSize;
  for (std::size_t i = 0; i < n && p[i] != 0xFF; ++i) text.push_back(static_cast<char>(p[i]));
  return text;
}

void LoggerMemory::WriteText(std::uint16_t first, std::uint16_t last, const std::string& text) {
  if (first > last || last > layout_.lastPage) return;
  std::uint8_t* p = Page(first);
  const std::size_t n = (std::size_t{last} - first + 1) * kPageSize;
  std::fill(p, p + n, 0xFF);
  std::memcpy(p, text.data(), std::min(n, text.size()));
}

}  // namespace varnel::sim
