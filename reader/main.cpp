// vtq-read: reads a logger wired directly to a serial port once and writes its .idc files.
#include <atomic>
#include <csignal>
#include <iostream>
#include <string>
#include <vector>

#include "reader/readout_host.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

}  // namespace

int main(int argc, char** argv) {
  using namespace varnel::reader;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  const auto options = ParseReaderOptions(args, error);
  if (!options) {
    std::cerr << "vtq-read: " << error << "\n" << kReaderUsage;
    return 2;
  }
  if (options->help) {
    std::cout << kReaderUsage;
    return 0;
  }
  std::signal(SIGINT, OnSignal);
  std::signal(SIGTERM, OnSignal);
  ReadoutHost host(*options, std::cout);
  return host.Run([] { return g_stop.load(); });
}
