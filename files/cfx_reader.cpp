#include "files/cfx_reader.h"

#include <string_view>
#include <vector>

#include "files/byte_cursor.h"
#include "files/cfx_format.h"
#include "files/file_error.h"
#include "files/file_read.h"
#include "files/le_append.h"

namespace varnel {
namespace {

// A text field: signed length (negative counts as 0), then up to that many bytes; 0xFF
// ends the text early and the rest of the declared length is not skipped -- the next
// field follows the 0xFF. `limit` caps how many characters are kept.
void ReadText(ByteCursor& c, std::string& text, std::size_t limit, const char* lengthName,
              const char* bytesName) {
  const std::int16_t declared = c.I16(lengthName);
  text.clear();
  const int n = declared < 0 ? 0 : declared;
  for (int i = 0; i < n; ++i) {
    const std::uint8_t b = c.U8(bytesName);
    if (b == kCfxTextEnd) break;
    if (text.size() < limit) text.push_back(static_cast<char>(b));
  }
}

}  // namespace

bool DeriveZeroByMeasure(float float101, bool current) {
  const std::uint32_t bits = FloatBits(float101);
  const std::uint8_t b0 = static_cast<std::uint8_t>(bits >> 24);
  const std::uint8_t b1 = static_cast<std::uint8_t>(bits >> 16);
  const std::uint8_t b2 = static_cast<std::uint8_t>(bits >> 8);
  if (b0 == 0 && (b1 == 1 || b1 == 2)) return b2 == 1;
  return current;
}

bool ReadConfigData(CfxContent& content, std::span<const std::uint8_t> data, bool headerOnly,
                    int& kind) {
  if (data.size() < kCfxHeadSize) return false;
  const std::string_view head(reinterpret_cast<const char*>(data.data()), kCfxHeadSize);
  const int markKind = CfxMarkKind(head.substr(0, kCfxMarkSize));
  if (markKind < 0) return false;
  kind = markKind;
  const double version = CfxVersionValue(head.substr(kCfxMarkSize, kCfxVersionSize));
  if (!(version > kCfxMinVersion)) return false;

  ByteCursor c(data.subspan(kCfxHeadSize), kCfxHeadSize);
  ReadText(c, content.NewCommentText, std::string::npos, "the comment length", "the comment");
  ReadText(c, content.NewIdText, kCfxIdTextMax, "the identity text length",
           "the identity text");
  content.Address = c.U8("the bus address");
  content.CfxSpare = c.U8("the spare byte");
  if (headerOnly) return true;

  content.NewCfg4 = static_cast<std::uint32_t>(c.I32("entry 4"));
  content.ZeroChannelSel = c.U16("the zero channel selection");
  content.NewCfg8 = c.U16("entry 8");
  content.NewCfg7A = c.U16("entry 7");
  content.NewCfg7B = c.U8("entry 7");
  content.NewFloat96 = c.F32("float 96");
  content.NewFloat97 = c.F32("float 97");
  const std::uint16_t cfg9Low = c.U16("entry 9");
  content.NewCfg9 = (content.NewCfg9 & 0xFFFF0000u) | cfg9Low;
  content.NewCfg6A = c.U16("entry 6");
  content.NewCfg6B = c.U16("entry 6");
  content.NewCfg6C = c.U8("entry 6");
  content.NewCfg1 = c.U8("entry 1");
  for (float& f : content.NewFloats100) f = c.F32("the floats 100 ... 106");
  content.ZeroByMeasure = DeriveZeroByMeasure(content.NewFloats100[1], content.ZeroByMeasure);
  if (version >= kCfxWideCfg9Version) {
    content.NewCfg9 = static_cast<std::uint32_t>(c.I32("the 32-bit entry 9"));
  }
  return true;
}

bool ReadConfigFile(CfxContent& content, const std::filesystem::path& fileName, bool headerOnly,
                    int& kind) {
  // The layout bounds the file; whatever lies beyond can never be read, so a wrong file
  // of any size costs no more than this.
  const FileBytes file = ReadFileBytes(fileName, kCfxMaxFileSize);
  if (!file.Opened) return false;
  if (file.ReadFailed) {
    if (file.Data.size() < kCfxHeadSize) return false;
    // What came before the failure is used as far as it goes; only when a field lies
    // beyond it is the failure the caller's business.
    try {
      return ReadConfigData(content, file.Data, headerOnly, kind);
    } catch (const FileFormatError&) {
      throw FileError("cannot read \"" + fileName.string() + "\": " + file.Error);
    }
  }
  try {
    return ReadConfigData(content, file.Data, headerOnly, kind);
  } catch (const FileFormatError& e) {
    throw e.InFile(fileName.string());
  }
}

}  // namespace varnel
