#include "files_test_util.h"

#include <atomic>
#include <cstring>
#include <fstream>
#include <stdexcept>

#include "link/byte_order.h"
#include "link/crc16.h"

#ifdef _WIN32
#include <process.h>
#define VARNEL_GETPID _getpid
#else
#include <unistd.h>
#define VARNEL_GETPID getpid
#endif

namespace varnel::test {

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  path_ = std::filesystem::temp_directory_path() /
          ("varnel-files-" + std::to_string(VARNEL_GETPID()) + "-" + std::to_string(++counter));
  std::filesystem::remove_all(path_);
  std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw std::runtime_error("cannot open " + p.string());
  return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {});
}

void WriteBytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes) {
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + p.string());
}

std::uint16_t U16At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return static_cast<std::uint16_t>(b.at(at) | (b.at(at + 1) << 8));
}

std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  return std::uint32_t{U16At(b, at)} | (std::uint32_t{U16At(b, at + 2)} << 16);
}

float F32At(const std::vector<std::uint8_t>& b, std::size_t at) {
  const std::uint32_t bits = U32At(b, at);
  float f;
  std::memcpy(&f, &bits, 4);
  return f;
}

double F64At(const std::vector<std::uint8_t>& b, std::size_t at) {
  const std::uint64_t bits = std::uint64_t{U32At(b, at)} | (std::uint64_t{U32At(b, at + 4)} << 32);
  double d;
  std::memcpy(&d, &bits, 8);
  return d;
}

void FixChecksum(std::vector<std::uint8_t>& file) {
  const std::size_t n = file.size() - 2;
  const std::uint16_t crc = Crc16(file.data(), n);
  file[n] = static_cast<std::uint8_t>(crc & 0xFF);
  file[n + 1] = static_cast<std::uint8_t>(crc >> 8);
}

std::vector<RawBlock> WalkBlocks(const std::vector<std::uint8_t>& file) {
  std::vector<RawBlock> blocks;
  std::size_t pos = 0;
  while (pos + 6 <= file.size()) {
    RawBlock b;
    b.Id = U16At(file, pos);
    b.HeaderOffset = pos;
    b.Length = (std::uint32_t{U16At(file, pos + 2)} << 16) | U16At(file, pos + 4);
    if (pos + 6 + b.Length > file.size()) break;
    b.Content.assign(file.begin() + static_cast<std::ptrdiff_t>(pos + 6),
                     file.begin() + static_cast<std::ptrdiff_t>(pos + 6 + b.Length));
    pos += 6 + b.Length;
    blocks.push_back(std::move(b));
  }
  return blocks;
}

RawBlock FindBlock(const std::vector<std::uint8_t>& file, std::uint16_t id) {
  for (RawBlock& b : WalkBlocks(file)) {
    if (b.Id == id) return b;
  }
  throw std::runtime_error("block " + std::to_string(id) + " not found");
}

float FloatFromBytes(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3) {
  const std::uint8_t b[4] = {b0, b1, b2, b3};
  return GetF32BE(b);
}

IdcLoggerInfo SampleLogger() {
  IdcLoggerInfo l;
  l.Identity = {0x01, 0x02, 0x03, 0x0A, 0x05, 0x06};
  l.SerialNumber = 123456;
  l.IdentityText = "Well 4";
  l.CommentText = "Line 1\r\nLine 2";
  l.ChannelMask = 0x0016;  // channels 1, 2, 4
  for (std::size_t i = 0; i < l.Floats100.size(); ++i) l.Floats100[i] = 100.5f + static_cast<float>(i);
  for (std::size_t i = 0; i < l.Floats80.size(); ++i) l.Floats80[i] = -80.25f - static_cast<float>(i);
  l.Cfg8 = 0x0102;
  l.Cfg7A = 0x0304;
  l.Cfg7B = 0x56;
  l.Float96 = 1.0f;
  l.Float97 = -2.0f;
  l.WideCfg9 = true;
  l.Cfg9 = 0xAABBCCDD;
  l.Cfg6A = 0x1234;
  l.Cfg6B = 0x9ABC;
  l.Cfg6C = 0x78;
  l.Cfg1Bit = true;
  l.BatteryCapacity = 87;
  return l;
}

IdcRecordInfo SampleRecord() { return {0x11223344u, 0}; }

std::vector<IdcEntry> SampleEntries() {
  std::vector<IdcEntry> entries;
  std::uint32_t t = 762000000;
  for (std::uint8_t kind = 0; kind <= kIdcKindLast; ++kind) {
    IdcEntry e;
    e.DateTime = DeviceTimeToDateTime(t);
    e.Kind = kind;
    e.Value = kind < kIdcKindEvent ? -1.5f * kind + 0.125f : 3.0f;
    e.Extra = kind < kIdcKindEvent ? 0 : 0xFFFFFFu - kind;
    entries.push_back(e);
    t += 10;
  }
  return entries;
}

}  // namespace varnel::test
