#pragma once
#include <filesystem>
#include <utility>

namespace varnel {

// The full path of one data file written from the device. A path, not a text: the window
// logic and the file worker must read the same bytes as the same name on every platform.
class TFName {
 public:
  explicit TFName(std::filesystem::path name) : Name(std::move(name)) {}
  std::filesystem::path Name;
};

}  // namespace varnel
