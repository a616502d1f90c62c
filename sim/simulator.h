#pragma once
#include <csignal>
#include <cstdint>
#include <memory>
#include <ostream>
#include <string>

#include "sim/frame_assembler.h"
#include "sim/fleet.h"
#include "sim/frame_log.h"
#include "sim/line_pacer.h"
#include "sim/logger.h"
#include "sim/modem.h"
#include "sim/serial_endpoint.h"
#include "sim/sim_options.h"

namespace varnel::sim {

// Runs the line: bytes from the host go to the modem (command mode) or, during a call or
// without a modem, through the frame assembler to the logger; replies and modem texts go
// back paced. Single-threaded; time is milliseconds since Run began. With a fleet, the
// fleet decides which logger calls when, and the logger on the line changes with each call.
class Simulator {
 public:
  Simulator(const SimOptions& options, Logger& logger, SerialEndpoint& line, std::ostream& out);
  Simulator(const SimOptions& options, Fleet& fleet, SerialEndpoint& line, std::ostream& out);

  // Returns the exit status: 0 after a stop or the last call, 1 when the line failed.
  int Run(const volatile std::sig_atomic_t& stop);
  // Writes the truth file now (no-op without --truth). Returns "" or why it failed.
  std::string WriteTruth();

 private:
  std::int64_t NowMs() const;
  void FromHost(const std::uint8_t* data, std::size_t n);
  void HandleModemOutput(Modem::Output& out);
  void HandleFrames(std::vector<FrameAssembler::Frame>& frames);
  void Send(const std::uint8_t* data, std::size_t n);
  void Send(const std::string& text);
  void CallEnded();
  void DialFleet();

  const SimOptions& options_;
  Logger* logger_;          // the logger on the line
  Fleet* fleet_ = nullptr;
  SerialEndpoint& line_;
  std::ostream& out_;
  std::unique_ptr<Modem> modem_;
  FrameAssembler assembler_;
  FrameLog frameLog_;
  LinePacer pacer_;    // what the logger and the modem send
  LinePacer inPacer_;  // what the host sends
  std::int64_t startNs_ = 0;
  const volatile std::sig_atomic_t* stop_ = nullptr;
  int callsEnded_ = 0;
  std::int64_t lingerFromMs_ = -1;
  bool lineFailed_ = false;
};

}  // namespace varnel::sim
