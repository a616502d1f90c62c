// vtq-sim: the stand-in for a VTQ logger and the modems between it and the collector.
#include <csignal>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "sim/fleet.h"
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

// Writes the memory image of `logger` to `path`; "" or why it failed.
std::string DumpMemory(const varnel::sim::Logger& logger, const std::string& path) {
  const auto& bytes = logger.device().memory.bytes();
  return varnel::sim::WriteFileAtomically(path, std::string(bytes.begin(), bytes.end()));
}

// The image of one logger of a fleet: "memory.bin" becomes "memory-40123.bin".
std::string FleetDumpPath(const std::string& path, std::uint32_t serial) {
  std::filesystem::path p(path);
  p.replace_filename(p.stem().string() + "-" + std::to_string(serial) + p.extension().string());
  return p.string();
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

  // One logger, or a fleet of them behind the modem.
  std::unique_ptr<Logger> single;
  std::unique_ptr<Fleet> fleet;
  if (options.fleet.loggers > 0) {
    fleet = std::make_unique<Fleet>(options.fleet, options.logger);
  } else {
    single = std::make_unique<Logger>(options.logger);
  }
  if (const std::string& e = fleet ? fleet->error() : single->error(); !e.empty()) {
    std::cerr << "vtq-sim: " << e << "\n";
    return 2;
  }
  if (!options.memoryDumpPath.empty()) {
    std::string e;
    if (fleet) {
      for (const Fleet::Member& m : fleet->members()) {
        if (e.empty()) e = DumpMemory(*m.logger, FleetDumpPath(options.memoryDumpPath, m.serial));
      }
    } else {
      e = DumpMemory(*single, options.memoryDumpPath);
    }
    if (!e.empty()) {
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

  Simulator sim = fleet ? Simulator(options, *fleet, line, std::cout)
                        : Simulator(options, *single, line, std::cout);
  if (std::string e = sim.WriteTruth(); !e.empty()) {
    std::cerr << "vtq-sim: " << e << "\n";
    return 1;
  }
  if (options.device.empty()) {
    std::cout << "vtq-sim: COM" << options.port << " is " << line.peerPath() << " (link " << link.path() << ")\n";
  } else {
    std::cout << "vtq-sim: on " << line.peerPath() << "\n";
  }
  if (fleet) {
    const auto& members = fleet->members();
    std::cout << "vtq-sim: modem, " << members.size() << " loggers call in, address "
              << options.address << ", serials " << members.front().serial << " to "
              << members.back().serial << "\n";
  } else {
    std::cout << "vtq-sim: "
              << (options.modem ? "modem, the logger calls in" : "logger wired to the port")
              << ", address " << options.address << ", serial " << options.logger.registers.serial
              << ", " << single->book().records().size() << " records\n";
  }
  std::cout << "vtq-sim: ready" << std::endl;

  const int status = sim.Run(g_stop);
  link.Remove();
  std::cout << "vtq-sim: stopped" << std::endl;
  return status;
}
