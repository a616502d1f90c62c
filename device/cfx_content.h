#pragma once
#include <array>
#include <cstdint>
#include <string>

namespace varnel {

// What a .cfx configuration file puts into the device image (`TDevice::Cfx`): its
// configuration-file block, the new texts, the bus address and the derived ZeroByMeasure
// flag. The reader leaves untouched what the file does not set (the high half of NewCfg9
// before version 2.17, ZeroByMeasure for most floats), so it reads into a copy of the
// image's content, which replaces the image's only when the whole file was accepted.
struct CfxContent {
  std::uint8_t Address = 0;
  std::uint8_t CfxSpare = 0;
  std::uint8_t NewCfg1 = 0;
  std::uint32_t NewCfg4 = 0;  // 0: take the logger's own clock when writing
  std::uint32_t NewCfg9 = 0;
  std::uint16_t NewCfg6A = 0;
  std::uint16_t NewCfg6B = 0;
  std::uint8_t NewCfg6C = 0;
  std::uint8_t NewCfg7B = 0;
  std::uint16_t NewCfg7A = 0;
  float NewFloat96 = 0.0f;
  float NewFloat97 = 0.0f;
  std::array<float, 7> NewFloats100{};
  std::uint16_t NewCfg8 = 0;
  std::uint16_t ZeroChannelSel = 0;
  std::string NewIdText;       // at most 64 characters after reading
  std::string NewCommentText;  // the comment bytes
  bool ZeroByMeasure = false;

  friend bool operator==(const CfxContent&, const CfxContent&) = default;
};

}  // namespace varnel
