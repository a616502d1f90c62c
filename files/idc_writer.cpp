#include "files/idc_writer.h"

#include <algorithm>
#include <cerrno>
#include <string>
#include <system_error>

#include "files/file_error.h"
#include "files/idc_checksum.h"
#include "files/le_append.h"

namespace varnel {

TDataFile::~TDataFile() {
  try {
    Close();
  } catch (...) {
    // Close() does not throw; nothing may escape a destructor.
  }
}

void TDataFile::Create(const std::filesystem::path& name) {
  Close();
  name_ = name;
  crc_ = 0xFFFF;
  written_ = 0;
  inBlock_ = false;
  block_.clear();
  if (name.empty()) throw FileError("cannot create a data file without a name");
  // Unbuffered: each block reaches the operating system in the one write of EndBlock(),
  // so a failing write is seen at once and nothing is left in a buffer to fail later.
  out_.rdbuf()->pubsetbuf(nullptr, 0);
  errno = 0;
  out_.open(name, std::ios::binary | std::ios::out | std::ios::trunc);
  if (!out_.is_open()) {
    const std::string cause = LastSystemErrorText();
    out_.clear();
    throw FileError("cannot create data file \"" + name.string() + "\": " + cause);
  }
}

void TDataFile::RequireBlock(const char* operation) const {
  if (!out_.is_open()) {
    throw FileError(std::string(operation) + ": no data file is open");
  }
  if (!inBlock_) {
    throw FileError(std::string(operation) + ": no block has been begun in \"" +
                    name_.string() + "\"");
  }
}

void TDataFile::BeginBlock(std::uint16_t id) {
  if (!out_.is_open()) throw FileError("BeginBlock: no data file is open");
  blockId_ = id;
  inBlock_ = true;
  block_.assign(kIdcBlockHeaderSize, 0);
}

void TDataFile::Reserve(std::size_t n) {
  RequireBlock("Reserve");
  block_.reserve(block_.size() + n);
}

void TDataFile::PutU8(std::uint8_t v) {
  RequireBlock("PutU8");
  AppendU8(block_, v);
}

void TDataFile::PutU16(std::uint16_t v) {
  RequireBlock("PutU16");
  AppendU16LE(block_, v);
}

void TDataFile::PutU32(std::uint32_t v) {
  RequireBlock("PutU32");
  AppendU32LE(block_, v);
}

void TDataFile::PutI32(std::int32_t v) {
  RequireBlock("PutI32");
  AppendU32LE(block_, static_cast<std::uint32_t>(v));
}

void TDataFile::PutF32(float v) {
  RequireBlock("PutF32");
  AppendF32LE(block_, v);
}

void TDataFile::PutF64(double v) {
  RequireBlock("PutF64");
  AppendF64LE(block_, v);
}

void TDataFile::PutString(std::string_view s) {
  RequireBlock("PutString");
  if (s.size() > 0xFFFF) {
    throw FileError("PutString: a text of " + std::to_string(s.size()) +
                    " bytes does not fit its 16-bit length");
  }
  AppendU16LE(block_, static_cast<std::uint16_t>(s.size()));
  block_.insert(block_.end(), s.begin(), s.end());
}

void TDataFile::PutBytes(const void* data, std::size_t n) {
  RequireBlock("PutBytes");
  const auto* p = static_cast<const std::uint8_t*>(data);
  block_.insert(block_.end(), p, p + n);
}

void TDataFile::PutRecord24(const IdcEntry& entry) {
  RequireBlock("PutRecord24");
  AppendF64LE(block_, entry.DateTime);
  AppendU8(block_, entry.Kind);
  block_.insert(block_.end(), 3, 0);
  AppendF32LE(block_, entry.Value);
  AppendU32LE(block_, entry.Extra);
  block_.insert(block_.end(), 4, 0);
}

void TDataFile::PutRecord60(const IdcChannel& channel) {
  RequireBlock("PutRecord60");
  const std::size_t start = block_.size();
  AppendU8(block_, channel.Number);
  const std::size_t unitLength = std::min(channel.Unit.size(), kIdcUnitFieldSize - 1);
  AppendU8(block_, static_cast<std::uint8_t>(unitLength));
  block_.insert(block_.end(), channel.Unit.begin(), channel.Unit.begin() + unitLength);
  block_.resize(start + 1 + kIdcUnitFieldSize, 0);
  AppendF32LE(block_, channel.Factor);
  AppendF32LE(block_, channel.Offset);
  AppendU8(block_, channel.Flag);
  block_.resize(start + kIdcChannelEntrySize, 0);
}

void TDataFile::EndBlock() {
  RequireBlock("EndBlock");
  const std::uint64_t length = block_.size() - kIdcBlockHeaderSize;
  if (length > 0xFFFFFFFFu) {
    throw FileError("EndBlock: block " + std::to_string(blockId_) + " is too long");
  }
  const auto len32 = static_cast<std::uint32_t>(length);
  const std::uint16_t high = static_cast<std::uint16_t>(len32 >> 16);
  const std::uint16_t low = static_cast<std::uint16_t>(len32 & 0xFFFF);
  block_[0] = static_cast<std::uint8_t>(blockId_);
  block_[1] = static_cast<std::uint8_t>(blockId_ >> 8);
  block_[2] = static_cast<std::uint8_t>(high);
  block_[3] = static_cast<std::uint8_t>(high >> 8);
  block_[4] = static_cast<std::uint8_t>(low);
  block_[5] = static_cast<std::uint8_t>(low >> 8);
  inBlock_ = false;
  WriteOrFail(block_.data(), block_.size(), "block");
  crc_ = IdcChecksum(block_.data(), block_.size(), crc_);
  written_ += block_.size();
  block_.clear();
}

void TDataFile::Finish() {
  if (!out_.is_open()) throw FileError("Finish: no data file is open");
  if (inBlock_) {
    throw FileError("Finish: block " + std::to_string(blockId_) + " of \"" + name_.string() +
                    "\" was not ended");
  }
  const std::uint8_t sum[2] = {static_cast<std::uint8_t>(crc_),
                               static_cast<std::uint8_t>(crc_ >> 8)};
  WriteOrFail(sum, sizeof sum, "check sum");
  errno = 0;
  out_.close();
  if (out_.fail()) {
    const std::string cause = LastSystemErrorText();
    out_.clear();
    DiscardTail();
    throw FileError("cannot close data file \"" + name_.string() + "\": " + cause);
  }
  written_ += sizeof sum;
}

void TDataFile::Close() {
  inBlock_ = false;
  block_.clear();
  if (out_.is_open()) out_.close();
  out_.clear();
}

void TDataFile::WriteOrFail(const std::uint8_t* data, std::size_t n, const char* what) {
  errno = 0;
  out_.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
  if (out_.fail()) {
    const std::string cause = LastSystemErrorText();
    out_.clear();
    out_.close();
    out_.clear();
    DiscardTail();
    throw FileError("cannot write " + std::string(what) + " to data file \"" + name_.string() +
                    "\": " + cause);
  }
}

void TDataFile::DiscardTail() {
  // Whatever part of the failed write reached the disk is cut off, so the file ends after
  // its last complete block. Only ever shrink: a file shorter than expected stays as is.
  std::error_code ec;
  const auto size = std::filesystem::file_size(name_, ec);
  if (!ec && size > written_) std::filesystem::resize_file(name_, written_, ec);
}

}  // namespace varnel
