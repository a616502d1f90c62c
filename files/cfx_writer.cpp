#include "files/cfx_writer.h"

#include <cerrno>
#include <fstream>
#include <stdexcept>

#include "files/cfx_format.h"
#include "files/file_error.h"
#include "files/le_append.h"

namespace varnel {
namespace {

void AppendText(std::vector<std::uint8_t>& out, const std::string& text, const char* name) {
  if (text.size() > 32767) {
    throw std::invalid_argument(std::string(name) + " of " + std::to_string(text.size()) +
                                " bytes does not fit a configuration file");
  }
  AppendU16LE(out, static_cast<std::uint16_t>(text.size()));
  out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

std::vector<std::uint8_t> BuildConfigData(const CfxContent& c, const CfxHead& head) {
  if (head.Mark.size() != kCfxMarkSize) {
    throw std::invalid_argument("the writer mark must have 9 characters");
  }
  if (head.Version.size() != kCfxVersionSize) {
    throw std::invalid_argument("the version text must have 5 characters");
  }
  std::vector<std::uint8_t> out;
  out.insert(out.end(), head.Mark.begin(), head.Mark.end());
  out.insert(out.end(), head.Version.begin(), head.Version.end());
  AppendText(out, c.NewCommentText, "a comment");
  AppendText(out, c.NewIdText, "an identity text");
  AppendU8(out, c.Address);
  AppendU8(out, c.CfxSpare);
  AppendU32LE(out, c.NewCfg4);
  AppendU16LE(out, c.ZeroChannelSel);
  AppendU16LE(out, c.NewCfg8);
  AppendU16LE(out, c.NewCfg7A);
  AppendU8(out, c.NewCfg7B);
  AppendF32LE(out, c.NewFloat96);
  AppendF32LE(out, c.NewFloat97);
  AppendU16LE(out, static_cast<std::uint16_t>(c.NewCfg9 & 0xFFFF));
  AppendU16LE(out, c.NewCfg6A);
  AppendU16LE(out, c.NewCfg6B);
  AppendU8(out, c.NewCfg6C);
  AppendU8(out, c.NewCfg1);
  for (float f : c.NewFloats100) AppendF32LE(out, f);
  if (CfxVersionValue(head.Version) >= kCfxWideCfg9Version) AppendU32LE(out, c.NewCfg9);
  return out;
}

void WriteConfigFile(const std::filesystem::path& fileName, const CfxContent& content,
                     const CfxHead& head) {
  const std::vector<std::uint8_t> data = BuildConfigData(content, head);
  errno = 0;
  std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
  if (!out.is_open()) {
    throw FileError("cannot create configuration file \"" + fileName.string() +
                    "\": " + LastSystemErrorText());
  }
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  out.close();
  if (out.fail()) {
    throw FileError("cannot write configuration file \"" + fileName.string() +
                    "\": " + LastSystemErrorText());
  }
}

}  // namespace varnel
