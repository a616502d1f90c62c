// The programs as an operator gets them: `cmake --install` to a temporary prefix, then run
// from there with a PATH of that prefix and the system only.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"

namespace varnel {
namespace {

namespace fs = std::filesystem;
using testsupport::ChildProcess;

std::string ReadText(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

class Installed : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new testsupport::TempDir("varnel-install");
    ChildProcess install;
    ASSERT_TRUE(install.Start(VARNEL_CMAKE, {"--install", VARNEL_BUILD_DIR, "--prefix", Prefix()}));
    const int code = install.Wait(120000);
    installLog_ = install.Output();
    installed_ = code == 0;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(installed_) << installLog_;
    home_ = fs::path(dir_->path()) / ::testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(home_ / "ports");
  }

  static std::string Prefix() { return dir_->path() + "/prefix"; }
  static std::string Bin(const std::string& program) { return Prefix() + "/bin/" + program; }

  // The environment of an operator's shell: the prefix and the system on PATH, a home of
  // the test's own.
  ChildProcess::Environment Env() const {
    return {{"PATH", Prefix() + "/bin:/usr/bin:/bin"},
            {"LD_LIBRARY_PATH", ""},
            {"HOME", home_.string()},
            {"XDG_CONFIG_HOME", (home_ / "config").string()},
            {"XDG_DATA_HOME", (home_ / "data").string()},
            {"VARNEL_PORTS", (home_ / "ports").string()}};
  }
  void StartSim(ChildProcess& sim) {
    ASSERT_TRUE(sim.Start(Bin("vtq-sim"), {"--port", "1", "--modem", "--records", "2"}, Env()));
    ASSERT_TRUE(sim.WaitForOutput("vtq-sim: ready", 10000)) << sim.Output();
  }
  // `varnel-collect --status --port 1`: its exit status and its line.
  std::pair<int, std::string> Status() const {
    ChildProcess status;
    if (!status.Start(Bin("varnel-collect"), {"--status", "--port", "1"}, Env())) return {-1, ""};
    const int code = status.Wait(10000);
    return {code, status.Output()};
  }

  static inline testsupport::TempDir* dir_ = nullptr;
  static inline bool installed_ = false;
  static inline std::string installLog_;
  fs::path home_;
};

// What the collector does now: the words between "COM1: " and " since".
std::string StateOf(const std::string& line) {
  const auto from = line.find("COM1: ");
  const auto to = line.find(" since");
  if (from == std::string::npos || to == std::string::npos || to < from) return line;
  return line.substr(from + 6, to - from - 6);
}

TEST_F(Installed, OneCallThroughTheInstalledProgramsWithEachStateShownInTurn) {
  for (const char* file : {"bin/varnel-collect", "bin/vtq-sim", "bin/idc-dump", "bin/idc2csv",
                           "share/man/man1/varnel-collect.1", "share/varnel/installed",
                           "lib/systemd/system/varnel-collect@.service"}) {
    EXPECT_TRUE(fs::exists(Prefix() + "/" + file)) << file;
  }
  ChildProcess sim;
  StartSim(sim);
  ChildProcess collect;
  const fs::path files = home_ / "files";
  ASSERT_TRUE(collect.Start(Bin("varnel-collect"),
                            {"--once", "--port", "1", "--data", files.string(), "--timeout", "150"},
                            Env()));
  std::vector<std::string> states;
  bool runningShown = false;
  while (collect.Running()) {
    const auto [code, line] = Status();
    if (code == 0) {
      runningShown = true;
      const std::string state = StateOf(line);
      if (states.empty() || states.back() != state) states.push_back(state);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_EQ(collect.Wait(1000), 0) << collect.Output();
  sim.Stop(SIGTERM, 10000);
  ASSERT_TRUE(runningShown);

  std::string seen;
  for (const auto& s : states) seen += "\n  " + s;
  const std::vector<std::string> expected = {"setting up the modem", "waiting for a call",
                                             "reading logger 40123",
                                             "waiting for logger 40123 to hang up"};
  auto at = states.begin();
  for (const std::string& want : expected) {
    at = std::find(at, states.end(), want);
    ASSERT_NE(at, states.end()) << "missing, or out of turn: " << want << "\nseen:" << seen;
  }
  const auto [endCode, endLine] = Status();
  EXPECT_EQ(endCode, 1) << endLine;
  EXPECT_NE(endLine.find("not running (stopped at"), std::string::npos) << endLine;
  EXPECT_NE(endLine.find("last call: done, 1 file at"), std::string::npos) << endLine;

  // The file of the current record and its backup; the installed idc-dump reads it.
  std::vector<fs::path> idc;
  for (const auto& e : fs::directory_iterator(files / "40123")) idc.push_back(e.path());
  ASSERT_EQ(idc.size(), 2u) << collect.Output();
  ChildProcess dump;
  ASSERT_TRUE(dump.Start(Bin("idc-dump"), {idc[0].string()}, Env()));
  EXPECT_EQ(dump.Wait(10000), 0) << dump.Output();
  EXPECT_NE(dump.Output().find("40123"), std::string::npos);

  // An installed program keeps its log in the per-user data folder, even where it could
  // write beside itself.
  EXPECT_NE(ReadText(home_ / "data/varnel/varnel-collect.LOG")
                .find("Run ended: 1 call(s) answered, 1 file(s) written, 0 failed"),
            std::string::npos);
  for (const auto& e : fs::directory_iterator(Prefix() + "/bin")) {
    EXPECT_NE(e.path().extension(), ".LOG") << e.path();
  }
}

TEST_F(Installed, SecondCollectorOnAPortInUseNamesTheFirstExitsThreeAndLeavesItAlone) {
  ChildProcess sim;
  StartSim(sim);
  ChildProcess first;
  ASSERT_TRUE(first.Start(Bin("varnel-collect"), {"--port", "1", "--data", (home_ / "a").string()}, Env()));
  // Holding the port, it publishes its state.
  bool published = false;
  for (int i = 0; i < 200 && !published && first.Running(); ++i) {
    published = Status().first == 0;
    if (!published) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ASSERT_TRUE(published) << first.Output();

  ChildProcess second;
  ASSERT_TRUE(second.Start(Bin("varnel-collect"), {"--port", "1", "--once", "--data", (home_ / "b").string()},
                           Env()));
  EXPECT_EQ(second.Wait(30000), 3) << second.Output();
  // It names the holder, so that the operator knows which process to end.
  const std::string holder = "is in use by another program (varnel-collect, pid " +
                             std::to_string(first.Pid()) + ")";
  EXPECT_NE(second.Output().find(holder), std::string::npos) << second.Output();

  // The first still runs and still owns the state of COM1.
  const auto [code, line] = Status();
  EXPECT_EQ(code, 0) << line;
  EXPECT_TRUE(first.Running());
  EXPECT_EQ(first.Stop(SIGTERM, 20000), 0) << first.Output();
}

TEST_F(Installed, ServiceUnitPassesSystemdVerify) {
  const fs::path unit = Prefix() + "/lib/systemd/system/varnel-collect@.service";
  const std::string text = ReadText(unit);
  EXPECT_NE(text.find("ExecStart=" + Bin("varnel-collect") + " --port %i"), std::string::npos) << text;
  const fs::path analyze = "/usr/bin/systemd-analyze";
  if (!fs::exists(analyze)) GTEST_SKIP() << "systemd-analyze is not installed: unit not verified";
  // An instance of the template, as systemctl would start it.
  const fs::path instance = home_ / "varnel-collect@3.service";
  fs::copy_file(unit, instance);
  ChildProcess verify;
  ASSERT_TRUE(verify.Start(analyze.string(), {"verify", "--man=no", instance.string()},
                           {{"SYSTEMD_LOG_COLOR", "0"}}));
  const int code = verify.Wait(60000);
  EXPECT_EQ(code, 0) << verify.Output();
  EXPECT_EQ(verify.Output(), "");
}

#ifdef VARNEL_HAS_WINDOW
TEST_F(Installed, WindowProgramHasItsDesktopEntryAndStarts) {
  const std::string entry = ReadText(Prefix() + "/share/applications/varnel.desktop");
  EXPECT_NE(entry.find("Exec=varnel"), std::string::npos);
  EXPECT_TRUE(fs::exists(Prefix() + "/share/icons/hicolor/scalable/apps/varnel.svg"));
  ChildProcess window;
  auto env = Env();
  env.emplace_back("QT_QPA_PLATFORM", "offscreen");
  ASSERT_TRUE(window.Start(Bin("varnel"), {}, env));
  std::this_thread::sleep_for(std::chrono::seconds(3));
  EXPECT_TRUE(window.Running()) << window.Output();
  window.Stop(SIGTERM, 5000);

  // Without any display the program says so in one line and points to the console collector.
  ChildProcess headless;
  auto bare = Env();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) bare.emplace_back(name, "");
  ASSERT_TRUE(headless.Start(Bin("varnel"), {}, bare));
  EXPECT_EQ(headless.Wait(10000), 1);
  EXPECT_NE(headless.Output().find("varnel-collect"), std::string::npos) << headless.Output();
}
#endif

}  // namespace
}  // namespace varnel
