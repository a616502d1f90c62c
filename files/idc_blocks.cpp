#include "files/idc_blocks.h"

#include <algorithm>
#include <string>

#include "files/file_error.h"

namespace varnel {

void PutWriterTagBlock(TDataFile& file, std::string_view versionText) {
  file.BeginBlock(kIdcBlockWriterTag);
  std::string tag(kIdcWriterName);
  tag += versionText;
  file.PutString(tag);
}

void PutIdentityBlock(TDataFile& file, const IdcLoggerInfo& logger) {
  file.BeginBlock(kIdcBlockIdentity);
  const auto& d = logger.Identity;
  file.PutU32((std::uint32_t{d[0]} << 24) | (std::uint32_t{d[1]} << 16) |
              (std::uint32_t{d[2]} << 8) | std::uint32_t{d[3]});
  file.PutU32(logger.SerialNumber);
  file.PutU8(IdcIsWaterMark(logger.Floats100[0]) ? 1 : 0);
  file.PutString(logger.IdentityText);
  // The length field holds 16 bits; a comment never comes near that (it fills at most
  // the reserved pages of the logger), but the count and the bytes must agree whatever
  // happens, or the rest of the file could not be read.
  const std::size_t n = std::min<std::size_t>(logger.CommentText.size(), 0xFFFF);
  file.PutU16(static_cast<std::uint16_t>(n));
  file.PutBytes(logger.CommentText.data(), n);
}

void PutChannelBlock(TDataFile& file, std::uint16_t channelMask) {
  file.BeginBlock(kIdcBlockChannels);
  file.PutU16(channelMask);
  file.PutU16(static_cast<std::uint16_t>(IdcChannelCount(channelMask)));
  for (unsigned k = 0; k < kIdcChannelLimit; ++k) {
    if (channelMask & (1u << k)) file.PutRecord60(IdcChannelFor(k));
  }
}

void PutMeasurementBlock(TDataFile& file, std::span<const IdcEntry> entries,
                         const std::function<void(std::size_t index)>& progress) {
  if (entries.size() > 0x7FFFFFFF) throw FileError("too many measurement entries for a file");
  file.BeginBlock(kIdcBlockMeasurements);
  file.Reserve(4 + entries.size() * kIdcMeasurementSize);
  file.PutI32(static_cast<std::int32_t>(entries.size()));
  for (std::size_t i = 0; i < entries.size(); ++i) {
    file.PutRecord24(entries[i]);
    if (progress && i % 10 == 0) progress(i);
  }
}

void PutFloatBlock(TDataFile& file, const IdcLoggerInfo& logger) {
  file.BeginBlock(kIdcBlockFloats);
  for (float f : logger.Floats100) file.PutF32(f);
  file.PutU16(logger.ChannelMask);
  for (unsigned k = 0; k < kIdcFloatPairs; ++k) {
    if (logger.ChannelMask & (kIdcFirstPairBit << k)) {
      file.PutF32(logger.Floats80[2 * k]);
      file.PutF32(logger.Floats80[2 * k + 1]);
    }
  }
}

void PutRecordValuesBlock(TDataFile& file, const IdcLoggerInfo& logger,
                          const IdcRecordInfo& record) {
  file.BeginBlock(kIdcBlockRecordValues);
  file.PutU32(record.StartTime);
  file.PutU32(record.Time2);
  file.PutU32((std::uint32_t{logger.Cfg8} << 16) + logger.Cfg7A);
  file.PutF32(logger.Float96);
  file.PutF32(logger.Float97);
  if (logger.WideCfg9) {
    file.PutU32(logger.Cfg9);
    file.PutU16(logger.Cfg6A);
  } else {
    // Entry 5 holds only 16 bits; the high half of Cfg9 drops out of the product.
    file.PutU32((logger.Cfg9 << 16) + logger.Cfg6A);
  }
  file.PutU16(static_cast<std::uint16_t>((logger.Cfg7B << 8) + logger.Cfg6C));
  file.PutU16(logger.Cfg6B);
  file.PutU8(logger.Cfg1Bit ? 1 : 0);
}

void PutBatteryBlock(TDataFile& file, std::uint8_t batteryCapacity) {
  file.BeginBlock(kIdcBlockBattery);
  file.PutU8(batteryCapacity);
  for (std::size_t i = 0; i < kIdcReservedWords; ++i) file.PutU32(0);
}

void WriteIdcFile(const std::filesystem::path& name, std::string_view versionText,
                  const IdcLoggerInfo& logger, const IdcRecordInfo& record,
                  std::span<const IdcEntry> entries) {
  TDataFile file;
  file.Create(name);
  PutWriterTagBlock(file, versionText);
  file.EndBlock();
  PutIdentityBlock(file, logger);
  file.EndBlock();
  PutChannelBlock(file, logger.ChannelMask);
  file.EndBlock();
  PutMeasurementBlock(file, entries);
  file.EndBlock();
  PutFloatBlock(file, logger);
  file.EndBlock();
  PutRecordValuesBlock(file, logger, record);
  file.EndBlock();
  PutBatteryBlock(file, logger.BatteryCapacity);
  file.EndBlock();
  file.Finish();
}

}  // namespace varnel
