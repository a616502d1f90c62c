#include "tests/support/sim_process.h"

#include <stdlib.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace varnel::testsupport {

std::string SimProgram() { return VTQ_SIM_PATH; }

TempDir::TempDir(const std::string& prefix) {
  std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
  if (::mkdtemp(pattern.data())) path_ = pattern;
}

TempDir::~TempDir() {
  if (path_.empty() || std::getenv("VARNEL_KEEP_TEST_FILES") != nullptr) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

bool SimProcess::Start(const std::vector<std::string>& args, const std::string& portsFolder,
                       int timeoutMs) {
  if (!process_.Start(program_, args, {{"VARNEL_PORTS", portsFolder}})) return false;
  return process_.WaitForOutput("vtq-sim: ready", timeoutMs);
}

SimSandbox::SimSandbox(std::vector<std::string> args, int port, int startLimitMs)
    : port_(port), dir_("varnel-workers"), folder_(dir_.path()) {
  if (folder_.empty()) {
    error_ = "cannot make a temporary folder";
    return;
  }
  std::filesystem::create_directories(folder_ / "ports");
  std::filesystem::create_directories(DataFolder());
  const std::string ports = (folder_ / "ports").string();
  ::setenv("VARNEL_PORTS", ports.c_str(), 1);

  std::vector<std::string> argv = {"--port", std::to_string(port),
                                   "--truth", (folder_ / "truth.json").string(),
                                   "--frames", (folder_ / "frames.jsonl").string(),
                                   "--memory-dump", (folder_ / "memory.bin").string()};
  argv.insert(argv.end(), args.begin(), args.end());
  // The program's own configuration: a line without a modem is a two-wire line that
  // echoes every byte (the collector sets echo = not modem).
  if (std::find(args.begin(), args.end(), "--modem") == args.end()) argv.push_back("--echo");
  if (!sim_.Start(argv, ports, startLimitMs)) {
    error_ = sim_.Error().empty() ? "vtq-sim did not get ready:\n" + sim_.Output()
                                  : "cannot start " + SimProgram() + ": " + sim_.Error();
  }
}

SimSandbox::~SimSandbox() { Stop(); }

void SimSandbox::Stop() { sim_.Stop(SIGTERM, 20000); }

Json SimSandbox::Truth() const { return Json::Parse(ReadWholeFile(folder_ / "truth.json")); }

std::vector<Json> ReadFrameLog(const std::filesystem::path& file) {
  std::vector<Json> frames;
  std::istringstream in(ReadWholeFile(file));
  for (std::string line; std::getline(in, line);) {
    if (!line.empty()) frames.push_back(Json::Parse(line));
  }
  return frames;
}

std::vector<Json> SimSandbox::Frames() const { return ReadFrameLog(folder_ / "frames.jsonl"); }

std::vector<unsigned char> SimSandbox::MemoryAtStart() const {
  const std::string bytes = ReadWholeFile(folder_ / "memory.bin");
  return {bytes.begin(), bytes.end()};
}

}  // namespace varnel::testsupport
