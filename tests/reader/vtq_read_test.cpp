// vtq-read as a field engineer runs it: a logger wired to COM1, one run, one .idc file per
// record read, each holding what the logger recorded.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "e2e_support.h"
#include "files/idc_reader.h"
#include "reader/reader_options.h"

namespace varnel::testing {
namespace {

namespace fs = std::filesystem;
using testsupport::ChildProcess;

std::vector<std::string> IdcFilesIn(const fs::path& dir) {
  std::vector<std::string> files;
  if (!fs::exists(dir)) return files;
  for (const auto& e : fs::directory_iterator(dir)) files.push_back(e.path().string());
  return files;
}

TEST(VtqRead, ReadsTheCurrentRecordOrAllAndLeavesTheClockWhenAsked) {
  SimSandbox sim({"--echo", "--records", "3", "--record-pages", "12"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();
  const Json truthJson = sim.Truth();
  const auto truth = TruthRecords(truthJson);
  ASSERT_EQ(truth.size(), 3u);
  const fs::path serialDir = sim.DataFolder() / std::to_string(truthJson["serialNumber"].AsInt());

  // Default: the current record only, the logger's clock set to the PC clock.
  ChildProcess once;
  ASSERT_TRUE(once.Start(VTQ_READ_PATH, {"COM1", "--data", sim.DataFolder().string()}));
  ASSERT_EQ(once.Wait(60000), 0) << once.Output();
  EXPECT_NE(once.Output().find("logger clock set"), std::string::npos) << once.Output();
  auto files = IdcFilesIn(serialDir);
  ASSERT_EQ(files.size(), 1u) << once.Output();
  ExpectFileHoldsRecord(files[0], truth[0]);

  fs::remove_all(serialDir);
  ChildProcess all;
  ASSERT_TRUE(all.Start(VTQ_READ_PATH, {"1", "--data", sim.DataFolder().string(), "--all",
                                        "--keep-clock"}));
  ASSERT_EQ(all.Wait(60000), 0) << all.Output();
  EXPECT_EQ(all.Output().find("logger clock set"), std::string::npos) << all.Output();
  files = IdcFilesIn(serialDir);
  ASSERT_EQ(files.size(), truth.size()) << all.Output();
  for (const TruthRecord& record : truth) {
    const auto match = std::find_if(files.begin(), files.end(), [&](const std::string& f) {
      return ReadIdcFile(f).StartTime == record.StartTime;
    });
    ASSERT_NE(match, files.end());
    ExpectFileHoldsRecord(*match, record);
  }
}

TEST(VtqRead, AMissingDataFolderIsMadeAndOneThatCannotBeIsRefusedBeforeTheLoggerIsTouched) {
  SimSandbox sim({"--echo", "--records", "1", "--record-pages", "4", "--serial", "3000000000"});
  ASSERT_TRUE(sim.Ok()) << sim.Error();

  // A plain file where the folder should be: nothing can be written, so nothing is asked.
  const fs::path plain = sim.Folder() / "plain";
  { std::ofstream(plain) << "x"; }
  ChildProcess refused;
  ASSERT_TRUE(refused.Start(VTQ_READ_PATH, {"COM1", "--data", plain.string()}));
  EXPECT_EQ(refused.Wait(20000), 5) << refused.Output();
  EXPECT_NE(refused.Output().find("is not a folder"), std::string::npos) << refused.Output();
  EXPECT_TRUE(sim.Frames().empty());

  const fs::path fresh = sim.Folder() / "fresh";
  ChildProcess run;
  ASSERT_TRUE(run.Start(VTQ_READ_PATH, {"COM1", "--data", fresh.string()}));
  ASSERT_EQ(run.Wait(60000), 0) << run.Output();
  EXPECT_NE(run.Output().find("serial number 3000000000\n"), std::string::npos) << run.Output();
  EXPECT_EQ(IdcFilesIn(fresh / "3000000000").size(), 1u) << run.Output();
}

TEST(VtqRead, CommandLineAndMissingPortGiveTheirExitStatus) {
  std::string error;
  EXPECT_FALSE(reader::ParseReaderOptions({}, error));
  EXPECT_FALSE(reader::ParseReaderOptions({"COM12"}, error));
  EXPECT_FALSE(reader::ParseReaderOptions({"COM1", "--data"}, error));
  const auto o = reader::ParseReaderOptions({"com7", "--data", "d", "--all"}, error);
  ASSERT_TRUE(o);
  EXPECT_EQ(o->port, 7);
  EXPECT_EQ(o->dataDir, "d");

  testsupport::TempDir ports;
  ChildProcess bad;
  ASSERT_TRUE(bad.Start(VTQ_READ_PATH, {"--all"}));
  EXPECT_EQ(bad.Wait(10000), 2);
  ChildProcess absent;  // COM0 has no link in an empty ports folder and no default device
  ASSERT_TRUE(absent.Start(VTQ_READ_PATH, {"COM0"}, {{"VARNEL_PORTS", ports.path()}}));
  EXPECT_EQ(absent.Wait(10000), 3) << absent.Output();
}

}  // namespace
}  // namespace varnel::testing
