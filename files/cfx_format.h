#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace varnel {

// Layout of a .cfx configuration file (little-endian): a 14-byte head -- the 9-character
// writer mark and the 5-character version text -- then the comment and the identity text,
// each a signed 16-bit length and up to that many bytes (0xFF ends a text early), the bus
// address, a spare byte, and the configuration values.

inline constexpr std::size_t kCfxMarkSize = 9;
inline constexpr std::size_t kCfxVersionSize = 5;
inline constexpr std::size_t kCfxHeadSize = kCfxMarkSize + kCfxVersionSize;
inline constexpr std::string_view kCfxMarkWl = "WRITER_WL";
inline constexpr std::string_view kCfxMarkSt = "WRITER_ST";
// The kind result of the reader.
inline constexpr int kCfxKindSt = 0;
inline constexpr int kCfxKindWl = 1;

// A file is accepted only above this version; from kCfxWideCfg9Version on it ends with
// the full 32-bit entry 9.
inline constexpr double kCfxMinVersion = 2.0;
inline constexpr double kCfxWideCfg9Version = 2.17;

inline constexpr std::size_t kCfxIdTextMax = 64;
inline constexpr std::uint8_t kCfxTextEnd = 0xFF;

// The longest file the layout allows: both texts at the largest signed length, every field,
// and the final entry. Nothing beyond it is ever read.
inline constexpr std::size_t kCfxMaxFileSize =
    kCfxHeadSize + 2 + 32767 + 2 + 32767 + 2 + 4 + 2 + 2 + 2 + 1 + 4 + 4 + 2 + 2 + 2 + 1 + 1 +
    28 + 4;

// The value of the version text, converted as a decimal number after leading and trailing
// blanks; "." or "," is the decimal point. A text that is not wholly such a number gives 0,
// which every check refuses.
double CfxVersionValue(std::string_view versionText);

// The kind of a writer mark, compared without regard to the case of its letters:
// kCfxKindWl, kCfxKindSt, or -1 for any other text.
int CfxMarkKind(std::string_view mark);

}  // namespace varnel
