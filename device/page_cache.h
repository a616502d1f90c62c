#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "device/page.h"

// The pages of a logger's records as the last contact read them, kept between contacts so
// that a later readout needs to fetch only the pages written since. One file per serial
// number in the per-user data folder. A cache that is missing, damaged or does not fit the
// logger is simply not used: the record is then read in full.
namespace varnel {

class TDevice;

// One record as a completed readout left it (its pages after the trimming).
struct CachedRecord {
  std::uint16_t FirstPage = 0;
  std::uint32_t StartTime = 0;
  std::uint16_t LastPage = 0;  // the newest page read: the write pointer the record had then
  std::uint16_t Origin = 0;    // the write pointer of the record table of that contact
  std::vector<TPage> Pages;    // newest first, as the record holds them; Pages[0] is LastPage
};

struct PageCache {
  std::uint32_t SerialNumber = 0;
  // The memory layout of the logger then; another layout makes the whole cache unusable.
  std::uint16_t FirstPage = 0;
  std::uint16_t LastPage = 0;
  std::uint8_t ReservedPages = 0;
  std::vector<CachedRecord> Records;

  bool SameLogger(const TDevice& device) const;
  // The record of that identity, or nullptr.
  const CachedRecord* Find(std::uint16_t firstPage, std::uint32_t startTime) const;
};

// The records of the device image that were read to their end and kept pages.
PageCache PageCacheOf(const TDevice& device);

// <folder>/<serial>.pages
std::filesystem::path PageCacheFile(const std::filesystem::path& folder, std::uint32_t serial);

enum class CacheRead { Loaded, Missing, Damaged };
// Reads the cache file; `cache` is filled only when the result is Loaded.
CacheRead ReadPageCache(const std::filesystem::path& file, PageCache& cache);

// Writes the cache to a temporary file beside `file`, pushes it to the disk and moves it
// over `file`, so a reader finds the old cache or the new one, never a mixture. False with
// the reason in `error` when it could not be written (the old file is then left as it was).
bool WritePageCache(const std::filesystem::path& file, const PageCache& cache, std::string& error);

}  // namespace varnel
