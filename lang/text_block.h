#pragma once
#include <cstdint>
#include <span>
#include <string_view>

namespace varnel {

// One text of a language block. The blocks are compiled into the program, hold UTF-8 and
// are ordered by id, with the same ids in every block.
struct TextEntry {
  std::uint16_t Id;
  std::string_view Text;
};

std::span<const TextEntry> EnglishTexts();
std::span<const TextEntry> DutchTexts();
std::span<const TextEntry> GermanTexts();

}  // namespace varnel
