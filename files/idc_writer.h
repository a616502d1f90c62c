#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string_view>
#include <vector>

#include "files/idc_format.h"

namespace varnel {

// Writes one .idc data file block by block. Each block is built in memory and written
// with its 6-byte header in one write when it is complete; the running check sum covers
// every header and content byte, and Finish() appends it. Calling order for one file:
// Create; for each block BeginBlock, puts, EndBlock; Finish.
//
// Failures throw FileError. A file is never left claiming to be complete when it is not:
// when a write fails the file is cut back to its last complete block and closed, and a
// file that is closed before Finish() (a stop between blocks) simply ends after its last
// complete block without a check sum -- which every reader recognises as unfinished.
class TDataFile {
 public:
  TDataFile() = default;
  ~TDataFile();
  TDataFile(const TDataFile&) = delete;
  TDataFile& operator=(const TDataFile&) = delete;

  // Creates the file, replacing an existing one; check sum 0xFFFF, empty block buffer.
  void Create(const std::filesystem::path& name);

  void BeginBlock(std::uint16_t id);
  // Makes room for n more content bytes in the block being built, so that a large block
  // is assembled without copying it on the way.
  void Reserve(std::size_t n);
  void PutU8(std::uint8_t v);
  void PutU16(std::uint16_t v);
  void PutU32(std::uint32_t v);
  void PutI32(std::int32_t v);
  void PutF32(float v);
  void PutF64(double v);
  // A u16 length, then the bytes of the text (no terminator). At most 65535 bytes.
  void PutString(std::string_view s);
  // n raw bytes (the comment of the logger, taken from its memory stream).
  void PutBytes(const void* data, std::size_t n);
  // A 24-byte measurement entry; the bytes that carry no meaning are written as zeros.
  void PutRecord24(const IdcEntry& entry);
  // A 60-byte channel entry; the bytes that carry no meaning are written as zeros.
  void PutRecord60(const IdcChannel& channel);
  // Writes the header and the block to the file and feeds both to the check sum.
  void EndBlock();
  // Writes the check sum, then flushes and closes the file.
  void Finish();
  // Closes the file; an unfinished file keeps its complete blocks and has no check sum.
  void Close();

  bool IsOpen() const { return out_.is_open(); }
  bool InBlock() const { return inBlock_; }
  const std::filesystem::path& Name() const { return name_; }
  std::uint16_t Checksum() const { return crc_; }
  std::uint64_t BytesWritten() const { return written_; }
  // Content bytes put into the block being built so far.
  std::size_t BlockSize() const { return block_.size() - kIdcBlockHeaderSize; }

 private:
  void RequireBlock(const char* operation) const;
  // Writes n bytes; on failure cuts the file back to `written_`, closes it and throws.
  void WriteOrFail(const std::uint8_t* data, std::size_t n, const char* what);
  void DiscardTail();

  std::ofstream out_;
  std::filesystem::path name_;
  std::vector<std::uint8_t> block_;  // 6 header bytes (filled by EndBlock), then content
  std::uint16_t blockId_ = 0;
  bool inBlock_ = false;
  std::uint16_t crc_ = 0xFFFF;
  std::uint64_t written_ = 0;  // bytes of complete blocks on disk
};

}  // namespace varnel
