#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// Every text the operator sees is looked up by a text id in the language in effect. The
// table is numbered by entry = language base + id, one block of texts per language base.
namespace varnel {

inline constexpr std::int16_t kEnglishBase = 0;
inline constexpr std::int16_t kDutchBase = 1000;
inline constexpr std::int16_t kGermanBase = 2000;
inline constexpr int kLanguageCount = 3;
// Entries of one language lie between its base and the next base.
inline constexpr int kLanguageStride = 1000;
// No looked-up text is longer than this many characters.
inline constexpr std::size_t kMaxTextLength = 254;

// The base of position `index` of the language list (English, Dutch, German). A position
// outside the list (nothing chosen) gives English, so the program never starts with blank
// captions because of the choice made in the dialog.
std::int16_t LanguageBaseOfIndex(int index);
// The list position of a base, or -1 for a base that has no block of its own.
int LanguageIndexOfBase(int base);

// The language in effect. It is set once at start, before any window sets its texts; a
// base without a block is kept as it is and makes every text empty.
void SetLanguageBase(std::int16_t base);
std::int16_t LanguageBase();

// The text of `id` in the language in effect, as UTF-8; empty when the id has no text.
std::string LoadText(int id);
// The same for an explicit language base.
std::string LoadText(int id, int base);

// The first maxChars characters (not bytes) of a UTF-8 text; never splits a character.
std::string ClipText(std::string_view text, std::size_t maxChars = kMaxTextLength);

}  // namespace varnel
