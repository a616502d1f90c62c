#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "device/cfx_content.h"

namespace varnel {

// The head of a configuration file: the 9-character writer mark and the 5-character
// version text, written as given (so that files with a lower-case mark or an old version
// can be made too).
struct CfxHead {
  std::string Mark = "WRITER_ST";
  std::string Version = " 2.17";
};

// The bytes of a configuration file holding `content`: the head, the comment and the
// identity text (each with its length; the texts are written as they are, so a 0xFF inside
// one ends it for the reader), the address, the spare byte, the configuration values, and
// -- when the version is 2.17 or above -- the full 32-bit NewCfg9. ZeroByMeasure is not
// stored: the reader derives it from NewFloats100[1]. Throws std::invalid_argument when the
// mark is not 9 or the version not 5 characters long, or a text is longer than 32767 bytes.
std::vector<std::uint8_t> BuildConfigData(const CfxContent& content, const CfxHead& head = {});

// Writes those bytes to a file, replacing it. Throws FileError when that fails.
void WriteConfigFile(const std::filesystem::path& fileName, const CfxContent& content,
                     const CfxHead& head = {});

}  // namespace varnel
