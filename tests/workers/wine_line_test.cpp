// Whole readouts through Windows COM ports. scripts/test --win starts the vtq-sim instances
// natively, maps their pseudo-terminals as COM ports in Wine's registry and names their
// folders in VARNEL_LINE_SIMS: COM3 a logger wired directly (address 250, echoing line),
// COM4 a modem with a logger behind it that calls once.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "e2e_support.h"
#include "files/idc_reader.h"
#include "workers/worker_messages.h"

namespace varnel::testing {
namespace {

namespace fs = std::filesystem;

constexpr int kDirectPort = 3;
constexpr int kModemPort = 4;

std::string SimFolder(int port) {
  const char* base = std::getenv("VARNEL_LINE_SIMS");
  return base ? std::string(base) + "\\com" + std::to_string(port) : std::string();
}

Json TruthOf(int port) {
  std::ifstream in(SimFolder(port) + "\\truth.json");
  std::stringstream text;
  text << in.rdbuf();
  return Json::Parse(text.str());
}

fs::path FreshFolder(const std::string& name) {
  const fs::path dir = fs::temp_directory_path() / name;
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

// Runs a console program and returns its exit status and what it printed.
int RunProgram(const std::string& commandLine, std::string& output) {
  // cmd.exe strips one pair of quotes around the whole line.
  FILE* pipe = _popen(("\"" + commandLine + "\"").c_str(), "r");
  if (!pipe) return -1;
  char buf[512];
  while (std::fgets(buf, sizeof buf, pipe)) output += buf;
  return _pclose(pipe);
}

// Each truth record must have a file among `files` with its start time and its entries.
void ExpectFilesHoldTruth(const std::vector<fs::path>& files,
                          const std::vector<TruthRecord>& truth) {
  ASSERT_EQ(files.size(), truth.size());
  for (const TruthRecord& record : truth) {
    const auto match = std::find_if(files.begin(), files.end(), [&](const fs::path& f) {
      return ReadIdcFile(f).StartTime == record.StartTime;
    });
    ASSERT_NE(match, files.end()) << "no file for the record at page " << record.FirstPage;
    ExpectFileHoldsRecord(*match, record);
  }
}

TEST(WineDirect, VtqReadWritesEveryRecordAsTheLoggerHoldsIt) {
  const char* reader = std::getenv("VARNEL_VTQ_READ");
  if (SimFolder(kDirectPort).empty() || !reader) GTEST_SKIP() << "run by scripts/test --win";
  const fs::path data = FreshFolder("varnel-wine-direct");
  const auto truth = TruthRecords(TruthOf(kDirectPort));
  ASSERT_GE(truth.size(), 2u);

  std::string output;
  const int status = RunProgram("\"" + std::string(reader) + "\" COM" +
                                    std::to_string(kDirectPort) + " --data \"" +
                                    data.string() + "\" --all --keep-clock",
                                output);
  ASSERT_EQ(status, 0) << output;
  std::vector<fs::path> files;
  std::istringstream lines(output);
  for (std::string line; std::getline(lines, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("file ", 0) == 0) files.push_back(line.substr(5));
  }
  const std::string serialFolder =
      (data / std::to_string(TruthOf(kDirectPort)["serialNumber"].AsInt())).string();
  for (const auto& f : files) EXPECT_EQ(f.parent_path().string(), serialFolder);
  ExpectFilesHoldTruth(files, truth);
}

// The modem dialogue, the call, the readout and the hang-up wait through Wine's serial
// driver on a pseudo-terminal.
TEST(WineModem, CallIsReadAndItsHangUpSeen) {
  if (SimFolder(kModemPort).empty()) GTEST_SKIP() << "run by scripts/test --win";
  const auto truth = TruthRecords(TruthOf(kModemPort));
  TestHost::Setup setup;
  setup.port = kModemPort;
  setup.address = 251;
  setup.modem = true;
  setup.selection = TestHost::Selection::All;
  setup.dataFolder = FreshFolder("varnel-wine-modem");
  TestHost host(setup);
  ASSERT_TRUE(host.Start());
  ASSERT_TRUE(host.RunUntil([&] { return ReadoutOver(host); }, seconds(90))) << Transcript(host);
  EXPECT_EQ(host.Results(),
            (std::vector<int>{wdContentsRead, wdRecordsRead, wdAwaitHangUp, wdHungUp}));
  ExpectFilesHoldTruth(host.Files(), truth);
}

}  // namespace
}  // namespace varnel::testing
