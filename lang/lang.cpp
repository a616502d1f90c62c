#include "lang/lang.h"

#include <algorithm>
#include <atomic>
#include <span>

#include "lang/text_block.h"

namespace varnel {
namespace {

std::atomic<std::int16_t> gLanguageBase{kEnglishBase};

std::span<const TextEntry> BlockOfIndex(int index) {
  switch (index) {
    case 0: return EnglishTexts();
    case 1: return DutchTexts();
    case 2: return GermanTexts();
    default: return {};
  }
}

std::string_view FindText(std::span<const TextEntry> block, int id) {
  const auto it = std::lower_bound(block.begin(), block.end(), id,
                                   [](const TextEntry& e, int key) { return e.Id < key; });
  if (it == block.end() || it->Id != id) return {};
  return it->Text;
}

bool IsContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

}  // namespace

std::int16_t LanguageBaseOfIndex(int index) {
  if (index < 0 || index >= kLanguageCount) return kEnglishBase;
  return static_cast<std::int16_t>(index * kLanguageStride);
}

int LanguageIndexOfBase(int base) {
  if (base < 0 || base % kLanguageStride != 0) return -1;
  const int index = base / kLanguageStride;
  return index < kLanguageCount ? index : -1;
}

void SetLanguageBase(std::int16_t base) { gLanguageBase.store(base); }

std::int16_t LanguageBase() { return gLanguageBase.load(); }

std::string LoadText(int id) { return LoadText(id, gLanguageBase.load()); }

std::string LoadText(int id, int base) {
  // Ids are confined to one block's range, so an id can never reach into the next block.
  if (id < 0 || id >= kLanguageStride) return {};
  const long entry = static_cast<long>(base) + id;
  if (entry < 0) return {};
  const int index = static_cast<int>(entry / kLanguageStride);
  const auto text = FindText(BlockOfIndex(index), static_cast<int>(entry % kLanguageStride));
  return ClipText(text);
}

std::string ClipText(std::string_view text, std::size_t maxChars) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsContinuationByte(text[i])) continue;
    if (chars == maxChars) return std::string(text.substr(0, i));
    ++chars;
  }
  return std::string(text);
}

}  // namespace varnel
