#pragma once
#include <cstdint>

namespace varnel {

// Function codes of the logger's bus commands, shared by the program and the logger
// stand-in so that both sides speak the same numbers.
enum BusFunction : std::uint8_t {
  kReadFloat = 0x1E,
  kWriteFloat = 0x1F,
  kWritePageBytes = 0x24,
  kReadIdentity = 0x30,
  kReadPageBytes = 0x43,
  kReadPageBlock = 0x44,
  kReadSerial = 0x45,
  kReadValue = 0x49,
  kReadConfig = 0x5C,
  kWriteConfig = 0x5D,
  kWriteOffset = 0x5F,
};

}  // namespace varnel
