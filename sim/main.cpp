// vtq-sim: the stand-in for a VTQ logger and the modems between it and the collector.
#include <csignal>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "sim/json_text.h"
#include "sim/logger.h"
#include "sim/port_link.h"
#include "sim/serial_endpoint.h"
#include "sim/sim_options.h"
#include "sim/simulator.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;

void OnSignal(int) { g_stop = 1; }

void InstallSignals() {
  struct sigaction sa;
  std::memset(&sa, 0, sizeof sa);
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace varnel::sim;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParsedOptions parsed = ParseSimOptions(args);
  if (!parsed.error.empty()) {
    std::cerr << "vtq-sim: " << parsed.error << "\n";
    return 2;
  }
  const SimOptions& options = parsed.options;
  if (options.help) {
    std::cout << SimHelpText();
    return 0;
  }
  InstallSignals();

  Logger logger(options.logger);
  if (!logger.error().empty()) {
    std::cerr << "vtq-sim: " << logger.error() << "\n";
    return 2;
  }
  if (!options.memoryDumpPath.empty()) {
    const auto& bytes = logger.device().memory.bytes();
    if (std::string e = WriteFileAtomically(options.memoryDumpPath, std::string(bytes.begin(), bytes.end()));
        !e.empty()) {
      std::cerr << "vtq-sim: " << e << "\n";
      return 1;
    }
  }

  SerialEndpoint line;
  const std::string openError = options.device.empty() ? line.OpenPty() : line.OpenDevice(options.device);
  if (!openError.empty()) {
    std::cerr << "vtq-sim: " << openError << "\n";
    return 1;
  }
  PortLink link;
  if (options.device.empty()) {
    if (std::string e = link.Publish(options.port, line.peerPath(), options.forceLink); !e.empty()) {
      std::cerr << "vtq-sim: " << e << "\n";
      return 1;
    }
  }

  Simulator sim(options, logger, line, std::cout);
  if (std::string e = sim.WriteTruth(); !e.empty()) {
    std::cerr << "vtq-sim: " << e << "\n";
    return 1;
  }
  if (options.device.empty()) {
    std::cout << "vtq-sim: COM" << options.port << " is " << line.peerPath() << " (link " << link.path() << ")\n";
  } else {
    std::cout << "vtq-sim: on " << line.peerPath() << "\n";
  }
  std::cout << "vtq-sim: " << (options.modem ? "modem, the logger calls in" : "logger wired to the port")
            << ", address " << options.address << ", serial " << options.logger.registers.serial << ", "
            << logger.book().records().size() << " records\n"
            << "vtq-sim: ready" << std::endl;

  const int status = sim.Run(g_stop);
  link.Remove();
  std::cout << "vtq-sim: stopped" << std::endl;
  return status;
}
