// idc-dump run as a process, the way operators and scripts run it.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <sys/wait.h>

#include "files/idc_blocks.h"
#include "files_test_util.h"
#include "link/byte_order.h"

namespace varnel {
namespace {

using test::TempDir;

struct RunResult {
  int Status = -1;
  std::string Output;  // standard output
  std::string Errors;  // standard error
};

RunResult RunDump(const std::string& args, const TempDir& dir) {
  const std::string errFile = (dir / "stderr.txt").string();
  const std::string cmd = std::string("\"") + IDC_DUMP_PATH + "\" " + args + " 2>\"" + errFile + "\"";
  RunResult r;
  FILE* p = popen(cmd.c_str(), "r");
  if (!p) return r;
  char buf[4096];
  std::size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) r.Output.append(buf, n);
  const int st = pclose(p);
  r.Status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
  const auto err = test::ReadBytes(errFile);
  r.Errors.assign(err.begin(), err.end());
  return r;
}

std::string Quote(const std::filesystem::path& p) { return "\"" + p.string() + "\""; }

std::filesystem::path WriteSample(const TempDir& dir) {
  const auto path = dir / "Well 4_07,03,2024_14,05,09_00.IDC";
  const std::vector<IdcEntry> entries = {
      {DeviceTimeToDateTime(762000000), 1, 1013.25f, 0},
      {DeviceTimeToDateTime(762000060), 16, 1013.25f, 60},
      {DeviceTimeToDateTime(762000060), 15, 3.0f, 3}};
  WriteIdcFile(path, kIdcVersionText, test::SampleLogger(), test::SampleRecord(), entries);
  return path;
}

TEST(IdcDump, CsvOfAWrittenFile) {
  TempDir dir;
  const RunResult r = RunDump("--csv " + Quote(WriteSample(dir)), dir);
  EXPECT_EQ(r.Status, 0) << r.Errors;
  // 762000000 s after 2000-01-01 is 2024-02-23 10:40:00.
  EXPECT_EQ(r.Output,
            "datetime,kind,value,extra\n"
            "2024-02-23T10:40:00,1,1013.25,0\n"
            "2024-02-23T10:41:00,16,1013.25,60\n"
            "2024-02-23T10:41:00,15,3,3\n");
  EXPECT_EQ(r.Errors, "");
}

TEST(IdcDump, JsonIsTheDefaultAndValid) {
  TempDir dir;
  const auto file = WriteSample(dir);
  const RunResult r = RunDump(Quote(file), dir);
  ASSERT_EQ(r.Status, 0) << r.Errors;
  EXPECT_NE(r.Output.find("\"SerialNumber\": 123456"), std::string::npos);
  EXPECT_EQ(RunDump("--json " + Quote(file), dir).Output, r.Output);
#ifdef PYTHON3_PATH
  // A real JSON parser agrees: the output parses, and the values are where they belong.
  const auto jsonFile = dir / "out.json";
  test::WriteBytes(jsonFile, std::vector<std::uint8_t>(r.Output.begin(), r.Output.end()));
  const std::string check =
      std::string("\"") + PYTHON3_PATH + "\" -c \"import json,sys; d=json.load(open(sys.argv[1], "
      "encoding='utf-8')); m=d['Measurements']; "
      "assert len(m)==3 and m[0]['Value']==1013.25 and m[1]['Extra']==60; "
      "assert d['Channels'][2]['Unit']==u'\\u00b0C' and d['Cfg9']==0xAABBCCDD\" " +
      Quote(jsonFile);
  EXPECT_EQ(std::system(check.c_str()), 0);
#endif
}

TEST(IdcDump, CorruptFileFailsWithOffset) {
  TempDir dir;
  const auto file = WriteSample(dir);
  auto bytes = test::ReadBytes(file);
  bytes[30] ^= 0xFF;
  test::WriteBytes(file, bytes);
  const RunResult r = RunDump("--csv " + Quote(file), dir);
  EXPECT_EQ(r.Status, 1);
  EXPECT_EQ(r.Output, "");
  EXPECT_NE(r.Errors.find("idc-dump: "), std::string::npos);
  EXPECT_NE(r.Errors.find("at offset " + std::to_string(bytes.size() - 2)), std::string::npos)
      << r.Errors;
  EXPECT_NE(r.Errors.find("check sum"), std::string::npos) << r.Errors;

  bytes.resize(bytes.size() - 2);
  test::WriteBytes(file, bytes);
  const RunResult cut = RunDump(Quote(file), dir);
  EXPECT_EQ(cut.Status, 1);
  EXPECT_NE(cut.Errors.find("not finished"), std::string::npos) << cut.Errors;
}

TEST(IdcDump, MissingFileAndBadCommandLine) {
  TempDir dir;
  const RunResult missing = RunDump(Quote(dir / "none.IDC"), dir);
  EXPECT_EQ(missing.Status, 1);
  EXPECT_NE(missing.Errors.find("none.IDC"), std::string::npos);
  EXPECT_EQ(RunDump("", dir).Status, 2);
  EXPECT_EQ(RunDump("--xml x", dir).Status, 2);
  EXPECT_EQ(RunDump("a b", dir).Status, 2);
  const RunResult help = RunDump("--help", dir);
  EXPECT_EQ(help.Status, 0);
  EXPECT_NE(help.Output.find("usage: idc-dump"), std::string::npos);
}

}  // namespace
}  // namespace varnel
