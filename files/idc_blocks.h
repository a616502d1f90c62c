#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <span>
#include <string_view>

#include "files/idc_format.h"
#include "files/idc_writer.h"

namespace varnel {

// The seven blocks of a data file. Each Put...Block begins its block in `file` and puts
// its content; the caller ends it with EndBlock(), so that the file worker can gather a
// block on one thread, end it on another and check for a stop request in between.

// Block 0: the writer tag, "Reader_ST" and the five-character version text.
void PutWriterTagBlock(TDataFile& file, std::string_view versionText);
// Block 1: identity, serial number, water flag, identity text and comment.
void PutIdentityBlock(TDataFile& file, const IdcLoggerInfo& logger);
// Block 3: the channel mask, the channel count and one entry per channel.
void PutChannelBlock(TDataFile& file, std::uint16_t channelMask);
// Block 2: the count and the measurement entries. `progress`, when given, is called after
// the entries whose index (from 0) is a multiple of ten have been put.
void PutMeasurementBlock(TDataFile& file, std::span<const IdcEntry> entries,
                         const std::function<void(std::size_t index)>& progress = {});
// Block 4: Floats100, the channel mask and the pairs of Floats80 that the mask selects.
void PutFloatBlock(TDataFile& file, const IdcLoggerInfo& logger);
// Block 5: the record's times and the configuration values (29 bytes, 31 with WideCfg9).
void PutRecordValuesBlock(TDataFile& file, const IdcLoggerInfo& logger,
                          const IdcRecordInfo& record);
// Block 8: the battery capacity and ten reserved words.
void PutBatteryBlock(TDataFile& file, std::uint8_t batteryCapacity);

// Writes a whole file: create, the seven blocks in file order, check sum, close.
// Throws FileError on any failure (see TDataFile for what is left on disk then).
void WriteIdcFile(const std::filesystem::path& name, std::string_view versionText,
                  const IdcLoggerInfo& logger, const IdcRecordInfo& record,
                  std::span<const IdcEntry> entries);

}  // namespace varnel
