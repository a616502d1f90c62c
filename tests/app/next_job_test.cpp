// The end of each worker job: what is shown and logged, and which job follows which result.
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "worker_done_fixture.h"

namespace varnel {
namespace {

using test::SecondsOf;
using test::WorkerDone;
using Lines = std::vector<std::string>;

TEST_F(WorkerDone, ContentsReadListsTheRecordsTicksByTheRuleAndReadsThem) {
  TDevice& d = *logic->FDevice;
  AddRecords({SecondsOf(2006, 1, 5), SecondsOf(2004, 6, 1), SecondsOf(2005, 1, 1)});
  d.IdentityText = "Well\xE4";
  d.ReadActualRec = false;
  d.ReadFromMonth = 1;
  d.ReadFromYear = 2005;
  d.ConfigKnown = true;
  view.memo.clear();
  logic->WMWorkerDone(wdContentsRead);

  ASSERT_EQ(view.records.size(), 3u);
  EXPECT_TRUE(view.records[0].Ticked);
  EXPECT_FALSE(view.records[1].Ticked);
  EXPECT_TRUE(view.records[2].Ticked);
  EXPECT_EQ(view.fileName, "Well\xC3\xA4");
  EXPECT_FALSE(d.ConfigKnown);
  EXPECT_TRUE(logic->KeepPortOpen());
  EXPECT_TRUE(d.Rec(0)->Selected);
  EXPECT_FALSE(d.Rec(1)->Selected);
  EXPECT_TRUE(d.Rec(2)->Selected);
  EXPECT_EQ(view.memo, (Lines{"Done !", "Readout selected records...", ""}));
  EXPECT_EQ(Kinds(), std::vector<std::uint32_t>{1});
  EXPECT_TRUE(link.opens.size() == 1u);  // only the Start's open: the port stays open

  // The record table of three records is four lines in the log.
  const auto log = LogLines();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(AfterStamp(log[0]), "VTQ Record contents:");
  EXPECT_NE(log[0].find('\t'), 0u);
  for (int i = 1; i <= 3; ++i) {
    EXPECT_EQ(log[static_cast<std::size_t>(i)].rfind("\t\t\t", 0), 0u);
    EXPECT_EQ(log[static_cast<std::size_t>(i)].substr(3, 5), "    " + std::to_string(i));
  }
  EXPECT_EQ(log[2], "\t\t\t    2    " + DeviceTimeText(SecondsOf(2004, 6, 1)).toStdString());
}

TEST_F(WorkerDone, ContentsReadWithoutModemModeOnlyListsAndWaitsForTheOperator) {
  AddRecords({SecondsOf(2020, 1, 1)});
  link.modem = false;
  logic->WMWorkerDone(wdContentsRead);
  EXPECT_TRUE(Kinds().empty());
  EXPECT_FALSE(view.records[0].Ticked);
  EXPECT_TRUE(view.enabled["btnReadRec"]);
  EXPECT_TRUE(view.enabled["btnStart"]);
  EXPECT_FALSE(view.enabled["btnCancel"]);
  EXPECT_TRUE(view.enabled["btnClose"]);
}

// Nobody cancelled the ends below: they say what happened, and "Cancelled !" is the Stop's.
TEST_F(WorkerDone, ContentsFailedSaysSoAndWaitsForTheHangUp) {
  AddRecords({1});
  logic->WMWorkerDone(wdContentsFailed);
  EXPECT_EQ(view.memo, Lines{"Call ended, nothing read"});
  EXPECT_EQ(LoggedTexts(), Lines{"Call ended, nothing read"});
  EXPECT_EQ(logic->FDevice->RecCount(), 0);
  EXPECT_EQ(Kinds(), std::vector<std::uint32_t>{9});
}

TEST_F(WorkerDone, NoRecordClearsTheListAndWaitsForTheHangUp) {
  view.records.resize(1);
  logic->WMWorkerDone(wdNoRecord);
  EXPECT_TRUE(view.records.empty());
  EXPECT_EQ(view.memo, Lines{"No Record in Device !"});
  EXPECT_EQ(LoggedTexts(), Lines{"No Record in Device !"});
  EXPECT_EQ(Kinds(), std::vector<std::uint32_t>{9});
}

TEST_F(WorkerDone, RecordsReadStartTheFileWorkerOnTheDataFolder) {
  logic->FDevice->AddFile("old");
  logic->WMWorkerDone(wdRecordsRead);
  EXPECT_TRUE(logic->FDevice->ConfigKnown);
  EXPECT_EQ(logic->FDevice->FileCount(), 0);
  EXPECT_EQ(view.memo, (Lines{"", "Create file(s)...", ""}));
  EXPECT_EQ(LoggedTexts(), Lines{"Create file(s)..."});
  ASSERT_EQ(link.fileThreads.size(), 1u);
  EXPECT_EQ(link.fileThreads[0].mode, 0);
  EXPECT_EQ(link.fileThreads[0].version, kFileVersionText);
  EXPECT_EQ(link.fileThreads[0].folder, logic->DataFolder());
}

TEST_F(WorkerDone, RecordsPartlyStillWritesTheFiles) {
  logic->WMWorkerDone(wdRecordsPartly);
  EXPECT_EQ(view.memo, (Lines{"Create file(s)...", ""}));
  EXPECT_EQ(LoggedTexts(), (Lines{"Create file(s)..."}));
  EXPECT_EQ(link.fileThreads.size(), 1u);
  EXPECT_TRUE(logic->FDevice->ConfigKnown);
}

TEST_F(WorkerDone, AwaitHangUpCountsDownFrom80AndThenWaitsForTheNextCall) {
  AddRecords({1});
  logic->WMWorkerDone(wdAwaitHangUp);
  EXPECT_TRUE(RestartTimer().active);
  EXPECT_EQ(RestartTimer().period, 10000);
  for (int i = 0; i < 7; ++i) ASSERT_TRUE(RestartTimer().Fire());
  EXPECT_TRUE(Kinds().empty());
  ASSERT_TRUE(RestartTimer().Fire());
  EXPECT_FALSE(RestartTimer().active);
  EXPECT_EQ(Kinds(), std::vector<std::uint32_t>{2});
  EXPECT_EQ(logic->FDevice->RecCount(), 0);
  Lines expected;
  for (int s = 80; s > 0; s -= 10) {
    expected.push_back("Restart connection to modem in " + std::to_string(s) + " seconds");
  }
  EXPECT_EQ(view.memo, expected);
  EXPECT_EQ(LoggedTexts(), expected);
  EXPECT_FALSE(link.jobs[0].optionsReady);  // the next call's options are looked up afresh
}

TEST_F(WorkerDone, HangUpStopsTheCountdownAndWaitsForTheNextCall) {
  logic->WMWorkerDone(wdAwaitHangUp);
  RestartTimer().Fire();
  logic->WMWorkerDone(wdHungUp);
  EXPECT_FALSE(RestartTimer().active);
  EXPECT_EQ(Kinds(), std::vector<std::uint32_t>{2});
}

TEST_F(WorkerDone, HangUpWaitsForTheNextCallAtOnceAndALateFileWorkerReportsOnlyItsOwnFiles) {
  ChooseModules({{"All", false}});
  // The first call's file worker is still writing when its logger hangs up.
  AddRecords({1});
  const QStringList first = MakeFiles(1, 1);
  const std::int64_t firstRun = link.fileThreads.back().report->Run;
  logic->WMWorkerDone(wdAwaitHangUp);
  logic->WMWorkerDone(wdHungUp);
  EXPECT_EQ(Kinds(), std::vector<std::uint32_t>{2});  // the next call is not held back
  EXPECT_EQ(logic->FDevice->RecCount(), 0);

  // The next call is read and its files are written first.
  AddRecords({2});
  const QStringList second = MakeFiles(2, 2);
  FilesDone(1);
  RegistryKey list(QString(kCommonKeySlash) + "Files");
  EXPECT_EQ(view.memo, (Lines{"File W_2.idc created", "File W_3.idc created",
                              "Backup file(s) created !"}));
  EXPECT_EQ(list.ValueNames(), (QStringList{"File0", "File1"}));
  EXPECT_EQ(list.ReadString("File1"), QDir::toNativeSeparators(second[1]));

  // The first worker ends late: its done message speaks of its own file alone.
  view.memo.clear();
  logic->WMFilesDone(1, firstRun);
  EXPECT_EQ(view.memo, (Lines{"File W_1.idc created", "Backup file(s) created !"}));
  EXPECT_EQ(list.ValueNames(), QStringList{"File0"});
  EXPECT_EQ(list.ReadString("File0"), QDir::toNativeSeparators(first[0]));
  EXPECT_TRUE(QFile::exists(Root() + "/data/4711/W_1_BAK.idc"));
  ASSERT_EQ(launcher.starts.size(), 2u);  // the module once per done message
  EXPECT_EQ(Kinds(), std::vector<std::uint32_t>{2});
}

TEST_F(WorkerDone, HangUpWaitsForTheNextCallEvenAfterStartWasReleased) {
  logic->ReleaseStart();
  link.jobs.clear();
  logic->WMWorkerDone(wdHungUp);
  EXPECT_EQ(Kinds(), std::vector<std::uint32_t>{2});
}

TEST_F(WorkerDone, NothingReadOnlySaysSo) {
  logic->WMWorkerDone(wdNothingRead);
  EXPECT_EQ(view.memo, Lines{"Call ended, nothing read"});
  EXPECT_TRUE(Kinds().empty());
}

// A modem set-up that did not come through is tried again on its own after a pause, with
// a line each time; a release of Start in the pause ends the retries.
TEST_F(WorkerDone, InitFailedSetsTheModemUpAgainAfterThePauseAndNoCallWaitsAgain) {
  auto& retry = static_cast<test::ManualTimer&>(*logic->SetupRetryTimer);
  for (int attempt = 0; attempt < 2; ++attempt) {
    logic->WMWorkerDone(wdInitFailed);
    EXPECT_TRUE(Kinds().size() == static_cast<std::size_t>(attempt));  // nothing at once
    EXPECT_EQ(retry.period, 60000);
    ASSERT_TRUE(retry.Fire());
    EXPECT_FALSE(retry.active);
  }
  EXPECT_EQ(view.memo, (Lines{"Modem set-up failed, next try in 60 seconds",
                              "Modem set-up failed, next try in 60 seconds"}));
  EXPECT_EQ(LoggedTexts(), view.memo);
  logic->WMWorkerDone(wdNoCall);
  EXPECT_EQ(view.memo.back(), "Waiting for a call broke off, waiting again");
  EXPECT_EQ(Kinds(), (std::vector<std::uint32_t>{0, 0, 2}));

  logic->WMWorkerDone(wdInitFailed);
  logic->ReleaseStart();
  EXPECT_FALSE(retry.Fire());
  EXPECT_EQ(Kinds().size(), 3u);
}

// The state of the logger that was on the line is no longer true once the modem is gone:
// the status bar says what the program waits for, until the modem is set up again.
TEST_F(WorkerDone, AGoneModemReplacesTheLoggerStateInTheStatusBar) {
  logic->WMWorkerStatus(wsDeviceState, 0);
  EXPECT_EQ(view.panels[0], "State: Record stopped");
  link.portPresent = false;
  logic->WMWorkerDone(wdPortLost);
  EXPECT_EQ(view.panels[0], "Waiting for the modem (COM1)");
  link.portPresent = true;
  ASSERT_TRUE(static_cast<test::ManualTimer&>(*logic->PortWatchTimer).Fire());
  EXPECT_EQ(view.panels[0], "");
  EXPECT_EQ(Kinds().back(), 0u);
}

TEST_F(WorkerDone, TheSetUpPauseIsTakenFromTheSettingsWithinItsBounds) {
  for (const auto& [stored, seconds] : std::vector<std::pair<QString, int>>{
           {"7", 7}, {"0", 5}, {"-40", 5}, {"86400000", 3600}, {"soon", 60}}) {
    RegistryKey(kSettingsKey).WriteString(kSetupRetryValue, stored);
    logic.reset();
    CreateRunning();
    logic->WMWorkerDone(wdInitFailed);
    EXPECT_EQ(static_cast<test::ManualTimer&>(*logic->SetupRetryTimer).period, seconds * 1000)
        << stored.toStdString();
  }
}

TEST_F(WorkerDone, WithStartUpOnlyTheCommonStepsRun) {
  logic->ReleaseStart();
  link.jobs.clear();
  view.memo.clear();
  QFile::resize(LogPath(), 0);
  for (int code : std::initializer_list<int>{wdContentsFailed, wdAwaitHangUp, wdNothingRead, wdInitFailed, wdNoCall, 3, 99}) {
    logic->WMWorkerDone(code);
  }
  EXPECT_TRUE(view.memo.empty());
  EXPECT_TRUE(LogLines().empty());
  EXPECT_TRUE(Kinds().empty());
  EXPECT_FALSE(RestartTimer().active);
}

TEST_F(WorkerDone, EveryEndResetsTheGaugeAndShowsTheTimeWhileRunning) {
  logic->SetShowTime(true);
  logic->WMWorkerProgress(kProgressRange, 500);
  logic->WMWorkerProgress(kProgressAdvance, 20);
  EXPECT_EQ(view.gaugePos, 20);
  logic->WMWorkerDone(99);
  EXPECT_EQ(view.gaugePos, 0);
  ASSERT_EQ(view.memo.size(), 1u);
  EXPECT_EQ(view.memo[0].rfind("Time: \t\t", 0), 0u);
}

}  // namespace
}  // namespace varnel
