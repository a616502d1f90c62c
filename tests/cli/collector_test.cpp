// The console run without a line: the console view's lines, the call count, the direct
// readout chain and the way the run ends.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <cstdio>
#include <gtest/gtest.h>

#include "cli/collector.h"
#include "cli/console_view.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "logic_fixture.h"
#include "workers/worker_messages.h"

namespace varnel::cli {
namespace {

// Everything a console view printed.
class Captured {
 public:
  Captured() : file_(std::tmpfile()) {}
  ~Captured() { std::fclose(file_); }
  std::FILE* File() { return file_; }
  std::string Text() {
    std::fflush(file_);
    std::rewind(file_);
    std::string s;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) s.append(buf, n);
    return s;
  }

 private:
  std::FILE* file_;
};

TEST(ConsoleView, MemoLinesAsTheyStandAndStateChangesMarked) {
  Captured out;
  ConsoleView view(out.File());
  view.AppendMemo("M\xC3\xA4rz\tx");
  view.SetStatusPanel(0, "State: Record active");
  view.SetStatusPanel(0, "State: Record active");  // unchanged: not repeated
  view.SetStatusPanel(1, "12:00:00");              // the clock: not news
  // Columns under the window's headings, as wide as their widest entry, counted in
  // characters (the month name holds an umlaut).
  view.ShowRecords({{"    1    2 M\xC3\xA4r 2024 18:11:40   1.7    ", true, "1",
                     "2 M\xC3\xA4r 2024 18:11:40", "1.7"},
                    {"   12    24 Jan 2024 10:30:41 100.0    ", false, "12",
                     "24 Jan 2024 10:30:41", "100.0"}});
  view.JobStarted(2);
  view.FilesDone(1);
  view.WorkerDone(wdHungUp);
  view.Direct = true;
  view.JobStarted(0);  // no modem on a direct line
  EXPECT_EQ(out.Text(),
            "M\xC3\xA4rz\tx\n"
            "# status: State: Record active\n"
            "# record list:\n"
            "#       Number    Start                   Percent of Memory\n"
            "#   [x]      1    2 M\xC3\xA4r 2024 18:11:40                   1.7\n"
            "#   [ ]     12    24 Jan 2024 10:30:41                100.0\n"
            "# job 2: wait for the next call\n"
            "# data files done (complete)\n"
            "# job ended: the modem reported the end of the call (result 7)\n"
            "# job 0: read the record table\n");
}

class CollectorRun : public test::TempStore {
 protected:
  void Make(CollectOptions options) {
    LogicEnvironment env;
    env.ProgramPath = ProgramPath();
    env.Link = &link;
    env.Observer = &view;
    env.Timers = &timers;
    env.Launcher = &launcher;
    env.Pause = [](int) {};
    logic = std::make_unique<MainLogic>(view, env);
    collector = std::make_unique<Collector>(*logic, view, options);
  }
  void Records(int n) {
    TDevice& d = *logic->FDevice;
    d.LastRingPage = 100;
    for (int i = 0; i < n; ++i) d.AddRec(std::make_unique<TRec>());
  }
  // One call as the workers report it, from the contents to the hang-up.
  void Call() {
    logic->WMWorkerStatus(wsModemConnected, 0);
    Records(2);
    logic->WMWorkerDone(wdContentsRead);
    logic->WMWorkerDone(wdRecordsRead);
    logic->WMWorkerDone(wdAwaitHangUp);
    WorkerWrote(Root() + "/f.idc");
    logic->WMWorkerDone(wdHungUp);
    QCoreApplication::processEvents();
  }
  // The last file worker started wrote `file` and ends.
  void WorkerWrote(const QString& file) {
    QFile(file).open(QIODevice::WriteOnly);
    const auto& report = link.fileThreads.back().report;
    report->AddFile(file.toStdString());
    logic->WMFilesDone(1, report->Run);
  }
  std::vector<std::uint32_t> Kinds() const {
    std::vector<std::uint32_t> k;
    for (const auto& j : link.jobs) k.push_back(j.kind);
    return k;
  }

  Captured out;
  ConsoleView view{out.File()};
  test::RecordingLink link;
  test::ManualTimerFactory timers;
  test::RecordingLauncher launcher;
  std::unique_ptr<MainLogic> logic;
  std::unique_ptr<Collector> collector;
};

TEST_F(CollectorRun, StopsAfterTheGivenNumberOfCalls) {
  CollectOptions o;
  o.calls = 2;
  Make(o);
  link.modem = true;
  ASSERT_TRUE(collector->Begin());
  Call();
  EXPECT_EQ(collector->CallsDone(), 1);
  EXPECT_TRUE(logic->StartDown());
  Call();
  EXPECT_EQ(collector->CallsDone(), 2);
  EXPECT_FALSE(logic->StartDown());
  EXPECT_EQ(collector->ExitCode(), kExitDone);
  EXPECT_EQ(Kinds(), (std::vector<std::uint32_t>{0, 1, 2, 1, 2}));
  const std::string text = out.Text();
  EXPECT_NE(text.find("# call 2 done"), std::string::npos);
  // The planned end says what the run did; only the first call's hang-up announced a
  // restart, since the second call ends the run.
  EXPECT_NE(text.find("Run ended: 2 call(s) answered, 2 file(s) written, 0 failed"),
            std::string::npos);
  EXPECT_EQ(text.find("Cancelled !"), std::string::npos);
  const std::string restart = "Restart connection to modem in 80 seconds";
  ASSERT_NE(text.find(restart), std::string::npos);
  EXPECT_EQ(text.find(restart, text.find(restart) + 1), std::string::npos);
}

// The modem went just after the call, before its report of the hang-up: the call that
// wrote its files is counted all the same.
TEST_F(CollectorRun, ACallWhoseModemWentBeforeTheHangUpIsCounted) {
  CollectOptions o;
  o.calls = 1;
  Make(o);
  link.modem = true;
  ASSERT_TRUE(collector->Begin());
  logic->WMWorkerStatus(wsModemConnected, 0);
  Records(2);
  logic->WMWorkerDone(wdContentsRead);
  logic->WMWorkerDone(wdRecordsRead);
  logic->WMWorkerDone(wdAwaitHangUp);
  WorkerWrote(Root() + "/f.idc");
  logic->WMWorkerDone(wdPortLost);
  QCoreApplication::processEvents();
  EXPECT_EQ(collector->CallsDone(), 1);
  EXPECT_EQ(collector->ExitCode(), kExitDone);
}

TEST_F(CollectorRun, ACallWithoutFilesIsNotCounted) {
  CollectOptions o;
  o.calls = 1;
  Make(o);
  link.modem = true;
  ASSERT_TRUE(collector->Begin());
  Records(1);
  logic->WMWorkerDone(wdContentsRead);
  logic->WMWorkerDone(wdNothingRead);
  logic->WMWorkerDone(wdAwaitHangUp);
  logic->WMWorkerDone(wdHungUp);
  QCoreApplication::processEvents();
  EXPECT_EQ(collector->CallsDone(), 0);
  EXPECT_TRUE(logic->StartDown());
}

TEST_F(CollectorRun, PortAndDataFolderHoldForTheRunOnly) {
  QDir().mkpath(Root() + "/stored");
  RegistryKey(kCommonKey).WriteString("Internal-Path", Root() + "/stored");
  CollectOptions o;
  o.port = 3;
  o.dataDir = (Root() + "/run").toStdString();
  Make(o);
  ASSERT_TRUE(collector->Begin());
  ASSERT_EQ(link.opens.size(), 1u);
  EXPECT_EQ(link.opens[0].port, 3);
  EXPECT_EQ(logic->DataFolder(), o.dataDir);
  EXPECT_TRUE(QFileInfo(Root() + "/run").isDir());
  collector->Finish(kExitDone);
  EXPECT_EQ(RegistryKey(kSettingsKey).ReadInt("Port", -1), 1);
  EXPECT_EQ(RegistryKey(kCommonKey).ReadString("Internal-Path"), Root() + "/stored");
}

TEST_F(CollectorRun, DirectReadsTheRecordsTheOptionsSelectAndEndsAfterTheFiles) {
  CollectOptions o;
  o.direct = true;
  Make(o);
  ASSERT_TRUE(collector->Begin());
  EXPECT_FALSE(link.modem);
  EXPECT_TRUE(link.echo);
  ASSERT_EQ(link.jobs.size(), 1u);
  EXPECT_EQ(link.jobs[0].address, 250);
  Records(3);
  logic->WMWorkerDone(wdContentsRead);
  QCoreApplication::processEvents();  // the console chains the readout
  ASSERT_EQ(Kinds(), (std::vector<std::uint32_t>{0, 1}));
  EXPECT_TRUE(logic->FDevice->Rec(0)->Selected);
  EXPECT_FALSE(logic->FDevice->Rec(1)->Selected);  // only the current record by default
  logic->WMWorkerDone(wdRecordsRead);
  WorkerWrote(Root() + "/f.idc");
  QCoreApplication::processEvents();
  EXPECT_FALSE(logic->StartDown());
  EXPECT_EQ(collector->ExitCode(), kExitDone);
}

TEST_F(CollectorRun, DirectWithoutRecordsEndsWithNoData) {
  CollectOptions o;
  o.direct = true;
  Make(o);
  ASSERT_TRUE(collector->Begin());
  logic->WMWorkerDone(wdNoRecord);
  QCoreApplication::processEvents();
  EXPECT_FALSE(logic->StartDown());
  EXPECT_EQ(collector->ExitCode(), kExitNoData);
}

TEST_F(CollectorRun, APortThatCannotBeOpenedEndsTheRunAtOnce) {
  Make({});
  link.openSucceeds = false;
  EXPECT_FALSE(collector->Begin());
  EXPECT_EQ(collector->ExitCode(), kExitPortFailed);
  EXPECT_NE(out.Text().find("ERROR: Comport Nr.1 not available !"), std::string::npos);
}

}  // namespace
}  // namespace varnel::cli
