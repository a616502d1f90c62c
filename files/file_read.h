#pragma once
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace varnel {

// The bytes of a file, read up to a limit, and what went wrong. Never throws for a file
// that cannot be opened or read: the readers decide what that means for them.
struct FileBytes {
  std::vector<std::uint8_t> Data;  // the bytes read, at most the limit
  bool Opened = false;
  bool ReadFailed = false;  // an error of the system while reading (Data holds what came before)
  bool Larger = false;      // the file holds more than the limit
  std::string Error;        // the cause, when not opened or a read failed
};

FileBytes ReadFileBytes(const std::filesystem::path& name, std::uint64_t limit);

}  // namespace varnel
