#pragma once
// Helpers shared by the tests of the data and configuration files.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "files/idc_format.h"

namespace varnel::test {

// The writer tag of this program's data files: the writer's name and the version text.
inline std::string WriterTag() {
  return std::string(kIdcWriterName) + std::string(kIdcVersionText);
}

// A fresh folder below the system's temporary folder, removed again at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& p);
void WriteBytes(const std::filesystem::path& p, const std::vector<std::uint8_t>& bytes);

// Little-endian fields of a byte buffer, read independently of the code under test.
std::uint16_t U16At(const std::vector<std::uint8_t>& b, std::size_t at);
std::uint32_t U32At(const std::vector<std::uint8_t>& b, std::size_t at);
float F32At(const std::vector<std::uint8_t>& b, std::size_t at);
double F64At(const std::vector<std::uint8_t>& b, std::size_t at);

// Recomputes the trailing check sum of a data file after a test changed its bytes, with
// the bus CRC of link/ (a different implementation from the file writer's).
void FixChecksum(std::vector<std::uint8_t>& file);

// A block of a data file located by walking the headers from the start.
struct RawBlock {
  std::uint16_t Id = 0;
  std::size_t HeaderOffset = 0;
  std::uint32_t Length = 0;
  std::vector<std::uint8_t> Content;
};
std::vector<RawBlock> WalkBlocks(const std::vector<std::uint8_t>& file);
RawBlock FindBlock(const std::vector<std::uint8_t>& file, std::uint16_t id);

// A logger with a value in every field, and a record with entries of every kind.
IdcLoggerInfo SampleLogger();
IdcRecordInfo SampleRecord();
std::vector<IdcEntry> SampleEntries();

// The float whose bits are these, most significant byte first.
float FloatFromBytes(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2, std::uint8_t b3);

}  // namespace varnel::test
