#pragma once
#include <cstdint>
#include <filesystem>
#include <span>

#include "device/cfx_content.h"

namespace varnel {

// Reads a .cfx configuration file into `content`.
//
// Returns false, with `content` unchanged, when the file cannot be opened, is shorter than
// its 14-byte head, has a writer mark other than WRITER_WL / WRITER_ST (any case), or a
// version of 2.0 or below. `kind` is set (kCfxKindWl or kCfxKindSt) as soon as the mark is
// one of the two, even when the version is then refused.
//
// headerOnly: stops after the comment, the identity text, the bus address and the spare
// byte (all stored). Otherwise reads every field, derives ZeroByMeasure, and from version
// 2.17 on the final 32-bit NewCfg9. Returns true.
//
// When the file ends (or cannot be read) after the head, throws FileFormatError (a
// FileError) naming the offset; the fields read up to there stay in `content`.
bool ReadConfigFile(CfxContent& content, const std::filesystem::path& fileName, bool headerOnly,
                    int& kind);

// The same for the bytes of a file held in memory.
bool ReadConfigData(CfxContent& content, std::span<const std::uint8_t> data, bool headerOnly,
                    int& kind);

// ZeroByMeasure as derived from float 101 (NewFloats100[1]): with its bytes b0 ... b3,
// most significant first, b0 = 0 and b1 = 1 or 2 give (b2 = 1); any other float leaves
// `current` as it is.
bool DeriveZeroByMeasure(float float101, bool current);

}  // namespace varnel
