#include "files/idc_reader.h"

#include <cstdio>

#include "files/byte_cursor.h"
#include "files/file_error.h"
#include "files/file_read.h"
#include "files/idc_checksum.h"

namespace varnel {
namespace {

std::string Hex16(std::uint16_t v) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "0x%04X", v);
  return buf;
}

std::string BlockName(std::uint16_t id) { return "block " + std::to_string(id); }

// Every block must be used up exactly by its fields: a length that disagrees with them
// means the file was damaged or written by something else.
void ExpectEnd(const ByteCursor& c, const IdcBlockInfo& b) {
  if (!c.AtEnd()) {
    throw FileFormatError(c.Offset(), BlockName(b.Id) + " has " + std::to_string(c.Remaining()) +
                                          " bytes beyond its fields");
  }
}

void ReadWriterTag(ByteCursor c, const IdcBlockInfo& b, IdcFile& f) {
  const std::uint16_t n = c.U16("the writer tag length");
  f.WriterTag = c.Text(n, "the writer tag");
  ExpectEnd(c, b);
}

void ReadIdentity(ByteCursor c, const IdcBlockInfo& b, IdcFile& f) {
  f.Identity = c.U32("the logger identity");
  f.SerialNumber = c.U32("the serial number");
  f.WaterFlag = c.U8("the water flag");
  const std::uint16_t idLength = c.U16("the identity text length");
  f.IdentityText = c.Text(idLength, "the identity text");
  const std::uint16_t commentLength = c.U16("the comment length");
  f.CommentText = c.Text(commentLength, "the comment");
  ExpectEnd(c, b);
}

void ReadChannels(ByteCursor c, const IdcBlockInfo& b, IdcFile& f) {
  f.ChannelMask = c.U16("the channel mask");
  const std::uint64_t countOffset = c.Offset();
  const std::uint16_t count = c.U16("the channel count");
  if (count != IdcChannelCount(f.ChannelMask)) {
    throw FileFormatError(countOffset, "channel count " + std::to_string(count) +
                                           " does not match the channel mask " +
                                           Hex16(f.ChannelMask));
  }
  f.Channels.clear();
  f.Channels.reserve(count);
  unsigned bit = 0;
  for (unsigned i = 0; i < count; ++i) {
    while (!(f.ChannelMask & (1u << bit))) ++bit;  // count matches the mask: a bit is found
    const std::uint64_t entryOffset = c.Offset();
    ByteCursor e(c.Bytes(kIdcChannelEntrySize, "a channel entry"), entryOffset);
    IdcChannel ch;
    ch.Number = e.U8("the channel number");
    if (ch.Number != bit) {
      throw FileFormatError(entryOffset, "channel entry " + std::to_string(i) + " is for channel " +
                                             std::to_string(ch.Number) + ", the mask says " +
                                             std::to_string(bit));
    }
    const std::uint64_t unitOffset = e.Offset();
    const std::uint8_t unitLength = e.U8("the unit length");
    if (unitLength > kIdcUnitFieldSize - 1) {
      throw FileFormatError(unitOffset, "unit of channel " + std::to_string(bit) + " claims " +
                                            std::to_string(unitLength) + " characters (at most 6)");
    }
    ch.Unit = e.Text(unitLength, "the unit");
    e.Skip(kIdcUnitFieldSize - 1 - unitLength, "the unit");
    ch.Factor = e.F32("the channel factor");
    ch.Offset = e.F32("the channel offset");
    ch.Flag = e.U8("the channel flag");
    f.Channels.push_back(std::move(ch));
    ++bit;
  }
  ExpectEnd(c, b);
}

void ReadMeasurements(ByteCursor c, const IdcBlockInfo& b, IdcFile& f) {
  const std::uint64_t countOffset = c.Offset();
  const std::int32_t count = c.I32("the measurement count");
  if (count < 0) {
    throw FileFormatError(countOffset, "negative measurement count " + std::to_string(count));
  }
  if (static_cast<std::uint64_t>(count) * kIdcMeasurementSize != c.Remaining()) {
    throw FileFormatError(countOffset, "measurement count " + std::to_string(count) +
                                           " does not match the block length " +
                                           std::to_string(b.Length));
  }
  f.Measurements.clear();
  f.Measurements.resize(static_cast<std::size_t>(count));
  for (IdcEntry& m : f.Measurements) {
    const std::uint64_t entryOffset = c.Offset();
    m.DateTime = c.F64("a measurement date-time");
    m.Kind = c.U8("a measurement kind");
    c.Skip(3, "a measurement entry");
    m.Value = c.F32("a measurement value");
    m.Extra = c.U32("a measurement extra value");
    c.Skip(4, "a measurement entry");
    if (m.Kind > kIdcKindLast) {
      throw FileFormatError(entryOffset + 8, "unknown measurement kind " + std::to_string(m.Kind));
    }
  }
}

void ReadFloats(ByteCursor c, const IdcBlockInfo& b, IdcFile& f) {
  for (float& v : f.Floats100) v = c.F32("the floats 100 ... 111");
  f.FloatsChannelMask = c.U16("the channel mask of the float block");
  f.Floats80.clear();
  for (unsigned k = 0; k < kIdcFloatPairs; ++k) {
    if (f.FloatsChannelMask & (kIdcFirstPairBit << k)) {
      IdcFloatPair p;
      p.Index = static_cast<std::uint8_t>(2 * k);
      p.First = c.F32("a float pair");
      p.Second = c.F32("a float pair");
      f.Floats80.push_back(p);
    }
  }
  ExpectEnd(c, b);
}

void ReadRecordValues(ByteCursor c, const IdcBlockInfo& b, IdcFile& f) {
  if (b.Length != kIdcRecordValuesSize && b.Length != kIdcRecordValuesWideSize) {
    throw FileFormatError(b.Offset, BlockName(b.Id) + " is " + std::to_string(b.Length) +
                                        " bytes long, not 29 or 31");
  }
  f.WideCfg9 = b.Length == kIdcRecordValuesWideSize;
  f.StartTime = c.U32("the record start time");
  f.Time2 = c.U32("the second record time");
  const std::uint32_t cfg87 = c.U32("entries 8 and 7");
  f.Cfg8 = static_cast<std::uint16_t>(cfg87 >> 16);
  f.Cfg7A = static_cast<std::uint16_t>(cfg87 & 0xFFFF);
  f.Float96 = c.F32("float 96");
  f.Float97 = c.F32("float 97");
  if (f.WideCfg9) {
    f.Cfg9 = c.U32("entry 9");
    f.Cfg6A = c.U16("entry 6");
  } else {
    const std::uint32_t cfg5 = c.U32("entry 5");
    f.Cfg9 = cfg5 >> 16;
    f.Cfg6A = static_cast<std::uint16_t>(cfg5 & 0xFFFF);
  }
  const std::uint16_t cfg76 = c.U16("the bytes of entries 7 and 6");
  f.Cfg7B = static_cast<std::uint8_t>(cfg76 >> 8);
  f.Cfg6C = static_cast<std::uint8_t>(cfg76 & 0xFF);
  f.Cfg6B = c.U16("the word of entry 6");
  f.Cfg1Bit = c.U8("the state bit");
  ExpectEnd(c, b);
}

void ReadBattery(ByteCursor c, const IdcBlockInfo& b, IdcFile& f) {
  f.BatteryCapacity = c.U8("the battery capacity");
  for (std::uint32_t& w : f.Reserved) w = c.U32("the reserved words");
  ExpectEnd(c, b);
}

}  // namespace

IdcFile ParseIdc(std::span<const std::uint8_t> bytes) {
  IdcFile f;
  f.Size = bytes.size();
  if (bytes.size() < kIdcBlockHeaderSize + kIdcChecksumSize) {
    throw FileFormatError(0, "file of " + std::to_string(bytes.size()) +
                                 " bytes is too short to be a data file");
  }

  // The block chain first, so that a truncated or unfinished file is called what it is
  // rather than reported as a wrong check sum.
  std::uint64_t pos = 0;
  const std::uint64_t size = bytes.size();
  for (;;) {
    const std::uint64_t remaining = size - pos;
    if (remaining == kIdcChecksumSize) break;
    if (remaining == 0) {
      throw FileFormatError(pos, "file ends after its last block without a check sum "
                                 "(it was not finished)");
    }
    if (remaining < kIdcBlockHeaderSize + kIdcChecksumSize) {
      throw FileFormatError(pos, "file ends inside a block header or its check sum (" +
                                     std::to_string(remaining) + " bytes left)");
    }
    ByteCursor header(bytes.subspan(pos, kIdcBlockHeaderSize), pos);
    IdcBlockInfo b;
    b.Id = header.U16("a block id");
    const std::uint32_t high = header.U16("a block length");
    const std::uint32_t low = header.U16("a block length");
    b.Length = (high << 16) | low;
    b.Offset = pos;
    const std::uint64_t room = remaining - kIdcBlockHeaderSize;
    if (b.Length > room) {
      throw FileFormatError(pos, BlockName(b.Id) + " claims " + std::to_string(b.Length) +
                                     " bytes but only " + std::to_string(room) +
                                     " follow (the file is truncated)");
    }
    f.Blocks.push_back(b);
    pos += kIdcBlockHeaderSize + b.Length;
  }

  const std::uint64_t sumOffset = size - kIdcChecksumSize;
  f.Checksum = static_cast<std::uint16_t>(bytes[sumOffset] | (bytes[sumOffset + 1] << 8));
  const std::uint16_t computed = IdcChecksum(bytes.data(), sumOffset);
  if (computed != f.Checksum) {
    throw FileFormatError(sumOffset, "check sum " + Hex16(f.Checksum) +
                                         " does not match the content (computed " +
                                         Hex16(computed) + ")");
  }

  std::array<bool, 9> seen{};
  for (const IdcBlockInfo& b : f.Blocks) {
    if (b.Id >= seen.size() || b.Id == 6 || b.Id == 7) continue;  // not ours: skip it
    if (seen[b.Id]) throw FileFormatError(b.Offset, BlockName(b.Id) + " appears twice");
    seen[b.Id] = true;
    ByteCursor c(bytes.subspan(b.Offset + kIdcBlockHeaderSize, b.Length),
                 b.Offset + kIdcBlockHeaderSize);
    switch (b.Id) {
      case kIdcBlockWriterTag: ReadWriterTag(c, b, f); break;
      case kIdcBlockIdentity: ReadIdentity(c, b, f); break;
      case kIdcBlockMeasurements: ReadMeasurements(c, b, f); break;
      case kIdcBlockChannels: ReadChannels(c, b, f); break;
      case kIdcBlockFloats: ReadFloats(c, b, f); break;
      case kIdcBlockRecordValues: ReadRecordValues(c, b, f); break;
      case kIdcBlockBattery: ReadBattery(c, b, f); break;
      default: break;
    }
  }
  for (std::uint16_t id : kIdcBlockOrder) {
    if (!seen[id]) throw FileFormatError(sumOffset, BlockName(id) + " is missing");
  }
  return f;
}

IdcFile ReadIdcFile(const std::filesystem::path& name) {
  const FileBytes file = ReadFileBytes(name, kIdcMaxFileSize);
  if (!file.Opened || file.ReadFailed) {
    throw FileError("cannot read \"" + name.string() + "\": " + file.Error);
  }
  if (file.Larger) {
    throw FileError("\"" + name.string() + "\" is larger than " +
                    std::to_string(kIdcMaxFileSize) + " bytes: not a data file");
  }
  try {
    return ParseIdc(file.Data);
  } catch (const FileFormatError& e) {
    throw e.InFile(name.string());
  }
}

}  // namespace varnel
