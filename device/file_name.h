#pragma once
#include <string>
#include <utility>

namespace varnel {

// The full path of one data file written from the device.
class TFName {
 public:
  explicit TFName(std::string name) : Name(std::move(name)) {}
  std::string Name;
};

}  // namespace varnel
