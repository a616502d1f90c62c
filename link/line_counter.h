#pragma once
#include <cstdint>
#include <memory>

#include "link/serial_port.h"

namespace varnel {

// Bytes that crossed the line (sent and received) since the program started, over every
// port opened by PortOpen. The contact history takes the difference over one call.
std::uint64_t LineBytes();

// Wraps an open port so that every byte it writes or reads is counted in LineBytes().
// Null stays null.
std::shared_ptr<SerialPort> CountLineBytes(std::shared_ptr<SerialPort> port);

}  // namespace varnel
