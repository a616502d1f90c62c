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

// A text added beside the program's table, in the three languages. Looked up only for ids
// that the language block does not hold; ordered by id.
struct AddedText {
  std::uint16_t Id;
  std::string_view English;
  std::string_view Dutch;
  std::string_view German;
};

std::span<const AddedText> AddedTexts();

}  // namespace varnel
