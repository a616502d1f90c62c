// The start/stop toggle and the hidden read button: ports, addresses, jobs and the way back
// to rest.
#include <QFile>
#include <gtest/gtest.h>

#include "logic_fixture.h"
#include "workers/worker_messages.h"

namespace varnel {
namespace {

using Lines = std::vector<std::string>;

class StartCommand : public test::LogicTest {
 protected:
  void SetUp() override {
    LogicTest::SetUp();
    Create();
    logic->SetShowTime(false);
    QFile::resize(LogPath(), 0);
  }
};

TEST_F(StartCommand, StartOpensThePortWithTheModemTimeoutAndWaitsForACall) {
  logic->COMClick(2);
  logic->FDevice->OptionsReady = true;
  logic->PressStart();
  ASSERT_EQ(link.opens.size(), 1u);
  EXPECT_EQ(link.opens[0].port, 3);
  EXPECT_EQ(link.opens[0].timeout, 2000);  // address 251
  ASSERT_EQ(link.jobs.size(), 1u);
  EXPECT_EQ(link.jobs[0].kind, 0u);
  EXPECT_EQ(link.jobs[0].address, 251);
  EXPECT_EQ(link.jobs[0].replyTimeout, 2000);
  EXPECT_FALSE(link.jobs[0].optionsReady);
  EXPECT_EQ(logic->FDevice->PortNumber, 3);
  EXPECT_EQ(view.captions["SpBStartModem"], "Stop");
  EXPECT_EQ(view.captions["ActivityBar"], "Program active");
  EXPECT_FALSE(view.enabled["btnStart"]);
  EXPECT_TRUE(view.enabled["btnCancel"]);
  EXPECT_FALSE(view.enabled["btnClose"]);
  EXPECT_FALSE(view.enabled["pmuClose"]);
  EXPECT_TRUE(view.startDown);
}

TEST_F(StartCommand, Address250GivesTheShortTimeout) {
  logic->Modem1Click();  // direct line: address 250
  logic->PressStart();
  ASSERT_EQ(link.opens.size(), 1u);
  EXPECT_EQ(link.opens[0].timeout, 500);
  EXPECT_EQ(link.jobs[0].address, 250);
  EXPECT_FALSE(link.modem);
}

TEST_F(StartCommand, APortThatCannotBeOpenedReportsAndReturnsToRest) {
  link.openSucceeds = false;
  logic->COMClick(3);
  logic->PressStart();
  EXPECT_EQ(view.memo, (Lines{"ERROR: Comport Nr.4 not available !", "Cancelled !"}));
  EXPECT_EQ(LoggedTexts(), Lines{"Cancelled !"});
  EXPECT_FALSE(logic->StartDown());
  EXPECT_FALSE(view.startDown);
  EXPECT_TRUE(link.jobs.empty());
  EXPECT_EQ(view.failedPorts, std::vector<int>{4});
  EXPECT_TRUE(view.enabled["btnStart"]);
  EXPECT_TRUE(view.enabled["btnClose"]);
  EXPECT_EQ(view.captions["SpBStartModem"], "Start");
}

TEST_F(StartCommand, ReleasingStartStopsTheLinkAndResetsTheActivity) {
  logic->PressStart();
  for (int i = 0; i < 13; ++i) logic->ActivityTimerTick();
  EXPECT_NE(logic->Activity().Value, 0);
  view.memo.clear();
  logic->ReleaseStart();
  EXPECT_EQ(link.stops, 1);
  EXPECT_EQ(view.memo, Lines{"Cancelled !"});
  EXPECT_EQ(LoggedTexts(), Lines{"Cancelled !"});
  EXPECT_EQ(logic->Activity().Value, 0);
  EXPECT_TRUE(logic->Activity().Rising);
  EXPECT_FALSE(logic->Activity().Reverse);
  EXPECT_FALSE(logic->KeepPortOpen());
  EXPECT_EQ(view.captions["ActivityBar"], "");
  EXPECT_EQ(view.captions["SpBStartModem"], "Start");
  EXPECT_TRUE(view.enabled["pmuClose"]);
  EXPECT_FALSE(RestartTimer().active);
}

TEST_F(StartCommand, TheActivityBarSwingsAndReversesOnlyWhileRunning) {
  logic->ActivityTimerTick();
  EXPECT_EQ(logic->Activity().Value, 0);  // Start up: nothing moves
  logic->PressStart();
  std::vector<int> values;
  for (int i = 0; i < 23; ++i) {
    logic->ActivityTimerTick();
    values.push_back(logic->Activity().Value);
  }
  EXPECT_EQ(values[9], 10);
  EXPECT_EQ(values[10], 9);  // turned at the maximum
  EXPECT_TRUE(logic->Activity().RightToLeft);
  EXPECT_EQ(values[19], 0);
  EXPECT_EQ(values[20], 1);  // rising again, reversed
  EXPECT_TRUE(logic->Activity().Reverse);
}

TEST_F(StartCommand, DebugStartReadsContentsAndRecordsAtTheAddressTheFieldShows) {
  logic.reset();
  Create({"DEBUG"});
  logic->PressStart();
  ASSERT_EQ(link.jobs.size(), 1u);
  EXPECT_EQ(link.jobs[0].kind, 4u);
  EXPECT_TRUE(link.modem);
  EXPECT_TRUE(link.echo);
  EXPECT_EQ(view.addrValue, 250);
  EXPECT_FALSE(logic->ModemChecked());
  EXPECT_EQ(link.jobs[0].address, 250);
  EXPECT_EQ(link.jobs[0].replyTimeout, 500);
  // The readout chained to the contents asks at the same address.
  TDevice& d = *logic->FDevice;
  d.LastRingPage = 10;
  d.AddRec(std::make_unique<TRec>());
  logic->WMWorkerDone(wdContentsRead);
  ASSERT_EQ(link.jobs.size(), 2u);
  EXPECT_EQ(link.jobs[1].kind, 1u);
  EXPECT_EQ(link.jobs[1].address, 250);
}

TEST_F(StartCommand, ReadingWithNoRecordTickedStartsNothing) {
  logic->Modem1Click();
  logic->PressStart();
  TDevice& d = *logic->FDevice;
  d.LastRingPage = 10;
  d.AddRec(std::make_unique<TRec>());
  logic->WMWorkerDone(wdContentsRead);
  link.jobs.clear();
  view.memo.clear();
  QFile::resize(LogPath(), 0);
  logic->btnReadClick(Sender::btnReadRec);
  EXPECT_EQ(view.memo, Lines{"No record(s) selected !"});
  EXPECT_EQ(LoggedTexts(), Lines{"No record(s) selected !"});
  EXPECT_TRUE(link.jobs.empty());
  EXPECT_TRUE(logic->StartDown());
  EXPECT_TRUE(view.enabled["btnReadRec"]);

  logic->SetRecordTicked(0, true);
  view.memo.clear();
  logic->btnReadClick(Sender::btnReadRec);
  EXPECT_EQ(view.memo, (Lines{"Readout selected records...", ""}));
  ASSERT_EQ(link.jobs.size(), 1u);
  EXPECT_EQ(link.jobs[0].kind, 1u);
  EXPECT_TRUE(d.Rec(0)->Selected);
  EXPECT_EQ(link.opens.size(), 2u);  // not kept open outside modem mode
}

TEST_F(StartCommand, AContentsReadingNeverInheritsTheLastLoggersOptions) {
  logic->PressStart();
  TDevice& d = *logic->FDevice;
  d.WriteConfig = d.ConfigFileOk = d.NewID = true;
  d.Registered = true;
  d.KnownDevice = true;
  d.OptionsReady = true;
  logic->WMWorkerDone(wdHungUp);  // the next call
  EXPECT_FALSE(d.WriteConfig || d.ConfigFileOk || d.NewID || d.Registered || d.KnownDevice);
  EXPECT_FALSE(link.jobs.back().optionsReady);
}

TEST_F(StartCommand, CancelButtonStopsTheLinkAndRestoresTheButtons) {
  logic->PressStart();
  logic->btnCancelClick();
  EXPECT_EQ(link.stops, 1);
  EXPECT_TRUE(view.enabled["btnStart"]);
  EXPECT_FALSE(view.enabled["btnCancel"]);
  EXPECT_TRUE(logic->StartDown());
}

TEST_F(StartCommand, ProgressSetsTheRangeAndAdvances) {
  logic->WMWorkerProgress(kProgressRange, 10000);
  EXPECT_EQ(view.gaugeMax, 10000);
  EXPECT_EQ(view.gaugePos, 0);
  logic->WMWorkerProgress(kProgressAdvance, 1);
  logic->WMWorkerProgress(kProgressAdvance, 50);
  EXPECT_EQ(view.gaugePos, 51);
  logic->WMWorkerProgress(5, 3);
  EXPECT_EQ(view.gaugePos, 51);
}

TEST_F(StartCommand, TheClockPanelShowsTheTime) {
  logic->ClockTimerTick();
  EXPECT_FALSE(view.panels[1].empty());
}

}  // namespace
}  // namespace varnel
