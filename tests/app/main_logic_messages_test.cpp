// What the window shows and logs for each status event of the workers.
#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>
#include <ctime>
#include <gtest/gtest.h>
#include <thread>

#include "common/locale_text.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "lang/lang.h"
#include "lang/text_ids.h"
#include "logic_fixture.h"
#include "workers/worker_messages.h"

namespace varnel {
namespace {

class WorkerStatus : public test::LogicTest {
 protected:
  void SetUp() override {
    LogicTest::SetUp();
    Create();
    logic->SetShowTime(false);
    StartRunning();
    QFile::resize(LogPath(), 0);
  }
  // Memo lines and logged texts of one event.
  void Event(int code, std::int64_t value = 0, const std::string& text = {}) {
    view.memo.clear();
    QFile::resize(LogPath(), 0);
    logic->WMWorkerStatus(code, value, text);
  }
  std::vector<std::string> Memo() const { return view.memo; }
  using Lines = std::vector<std::string>;
};

TEST_F(WorkerStatus, DeviceDetectedShowsIdAndVersionAndLogsTheHeadingFirst) {
  logic->FDevice->Identity = {3, 12, 2, 17, 0, 0};
  Event(wsDeviceDetected);
  EXPECT_EQ(Memo(), (Lines{"Device detected:", "ID 3.12 - Version  2.17"}));
  const auto log = LogLines();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(AfterStamp(log[0]), "Device detected:");
  EXPECT_EQ(log[1], "");  // the heading's own CR LF
  EXPECT_EQ(AfterStamp(log[2]), "ID 3.12 - Version  2.17");
}

TEST_F(WorkerStatus, SerialNumberLoadsTheRegisteredOptionsAndReleasesTheWorker) {
  RegistryKey(QString(kRegisteredDevicesKey) + "\\4711").WriteFlag("ReadActualRec", false);
  logic->FDevice->SerialNumber = 4711;
  logic->FDevice->OptionsReady = false;
  Event(wsSerialNumber);
  EXPECT_EQ(Memo(), (Lines{"SN 4711", "Found registred device"}));
  EXPECT_EQ(LoggedTexts(), Lines{"SN 4711"});
  EXPECT_TRUE(logic->FDevice->KnownDevice);
  EXPECT_TRUE(logic->FDevice->Registered);
  EXPECT_FALSE(logic->FDevice->ReadActualRec);
  EXPECT_TRUE(logic->FDevice->OptionsReady);
}

TEST_F(WorkerStatus, SerialNumberSaysWhatTheStoredOptionsCannotHaveDone) {
  {
    RegistryKey dev(QString(kRegisteredDevicesKey) + "\\4711");
    dev.WriteInt("ReadFromMonth", 12);
    dev.WriteFlag("WriteConfig", true);
    dev.WriteString("ConfigFile", Root() + "/missing.cfx");
  }
  logic->FDevice->SerialNumber = 4711;
  Event(wsSerialNumber);
  const Lines said = {"Stored value out of range, not used: ReadFromMonth=12",
                      "Configuration file not accepted, configuration not written: " +
                          (Root() + "/missing.cfx").toStdString()};
  EXPECT_EQ(Memo(), (Lines{"SN 4711", "Found registred device", said[0], said[1]}));
  EXPECT_EQ(LoggedTexts(), (Lines{"SN 4711", said[0], said[1]}));
  EXPECT_TRUE(logic->FDevice->OptionsReady);

  // The box ticked without a file only to write a new identity: said, and no failure.
  {
    RegistryKey dev(QString(kRegisteredDevicesKey) + "\\4712");
    for (const char* flag : {"WriteConfig", "WriteText", "NewID"}) dev.WriteFlag(flag, true);
    dev.WriteString("ID", "Well 12");
  }
  logic->FDevice->SerialNumber = 4712;
  Event(wsSerialNumber);
  EXPECT_EQ(Memo(), (Lines{"SN 4712", "Found registred device", "No configuration file chosen"}));
  EXPECT_TRUE(logic->FDevice->NewID);
}

TEST_F(WorkerStatus, SerialsFrom2To31OnAreOneUnsignedNumberInMemoAndLookup) {
  logic->FDevice->SerialNumber = 0xFFFFFFFEu;
  logic->FDevice->OptionsReady = false;
  Event(wsSerialNumber);
  EXPECT_EQ(Memo(), Lines{"SN 4294967294"});
  EXPECT_FALSE(logic->FDevice->KnownDevice);
  EXPECT_TRUE(logic->FDevice->OptionsReady);

  RegistryKey(QString(kRegisteredDevicesKey) + "\\3000000000").WriteFlag("ReadActualRec", false);
  logic->FDevice->SerialNumber = 3000000000u;
  Event(wsSerialNumber);
  EXPECT_EQ(Memo(), (Lines{"SN 3000000000", "Found registred device"}));
  EXPECT_EQ(LoggedTexts(), Lines{"SN 3000000000"});
}

TEST_F(WorkerStatus, DeviceErrorsByValue) {
  Event(wsDeviceError, 0);
  EXPECT_EQ(Memo(), Lines{"REC-ERROR: Please make power-on reset !"});
  Event(wsDeviceError, 1);
  EXPECT_EQ(Memo(), Lines{"BAT-ERROR: Please replace battery !"});
  Event(wsDeviceError, 2);
  EXPECT_EQ(Memo(), Lines{"ACK-ERROR: Please make power-on reset !"});
  Event(wsDeviceError, 3);
  EXPECT_EQ(Memo(), Lines{""});
  EXPECT_EQ(LoggedTexts(), Lines{""});
}

TEST_F(WorkerStatus, DeviceStateGoesToTheStatusBarAndMemoryFullIsAppendedEachTime) {
  Event(wsDeviceState, 2);
  EXPECT_TRUE(Memo().empty());
  EXPECT_EQ(view.panels[0], "State: Record active");
  EXPECT_EQ(LoggedTexts(), Lines{"State: Record active"});
  Event(wsDeviceState, 3);
  Event(wsDeviceState, 3);
  EXPECT_TRUE(Memo().empty());
  EXPECT_EQ(view.panels[0], "State: Record active - Memory full! - Memory full!");
  EXPECT_EQ(LoggedTexts(), Lines{"Memory full!"});
  Event(wsDeviceState, 0);
  EXPECT_EQ(view.panels[0], "State: Record stopped");
  Event(wsDeviceState, 1);
  EXPECT_EQ(view.panels[0], LoadText(kTextStatePrepared));
}

TEST_F(WorkerStatus, BatteryCapacityAndUnknownStateValues) {
  logic->FDevice->BatteryCapacity = 87;
  Event(wsDeviceState, 4);
  EXPECT_EQ(Memo(), Lines{"VTQ - Battery-Capacity: 87%"});
  Event(wsDeviceState, 9);
  EXPECT_TRUE(Memo().empty());
  EXPECT_EQ(LoggedTexts(), Lines{""});
}

TEST_F(WorkerStatus, RecordEventsCountFromOne) {
  Event(wsReadingRecord, 0);
  EXPECT_EQ(Memo(), Lines{"Reading Record 1"});
  Event(wsRecordAlreadyRead, 4);
  EXPECT_EQ(Memo(), Lines{"Record 5 already read"});
}

TEST_F(WorkerStatus, DeviceChangedClearsTheKnownConfiguration) {
  logic->FDevice->ConfigKnown = true;
  Event(wsDeviceChanged);
  EXPECT_EQ(Memo(), Lines{"Device has changed, please read configuration first!"});
  EXPECT_FALSE(logic->FDevice->ConfigKnown);
}

TEST_F(WorkerStatus, MemorySizeDividesBy2047) {
  logic->FDevice->LastPage = 4094;
  Event(wsMemorySize);
  EXPECT_EQ(Memo(), Lines{"Memory: 2 MBit"});
  logic->FDevice->LastPage = 4093;
  Event(wsMemorySize);
  EXPECT_EQ(Memo(), Lines{"Memory: 1 MBit"});
}

TEST_F(WorkerStatus, DeviceTimeHasNoZoneWhilePcTimeKeepsTheLongFormat) {
  // A summer time read in winter: the zone of today is not the logger's, and a logger
  // clock has none anyway.
  const QByteArray oldTz = qgetenv("TZ");
  qputenv("TZ", "Europe/Berlin");
  tzset();
  const std::uint32_t t = static_cast<std::uint32_t>(QDate(2000, 1, 1).daysTo(QDate(2024, 7, 15))) *
                              86400u + 13 * 3600 + 4 * 60 + 5;
  Event(wsDeviceTime, t);
  const QString zone = QDateTime::currentDateTime().timeZoneAbbreviation();
  if (oldTz.isNull()) qunsetenv("TZ"); else qputenv("TZ", oldTz);
  tzset();

  ASSERT_EQ(Memo().size(), 2u);
  EXPECT_EQ(Memo()[0].rfind("PC-Time: \t\t", 0), 0u);
  const std::string longTime = QLocale::system().timeFormat(QLocale::LongFormat).toStdString();
  if (longTime.find('t') != std::string::npos) {
    EXPECT_TRUE(QString::fromStdString(Memo()[0]).endsWith(zone)) << Memo()[0];
  }
  const std::string vtq = Memo()[1];
  EXPECT_EQ(vtq.rfind("VTQ-Time: \t", 0), 0u) << vtq;
  EXPECT_NE(vtq.find("04:05"), std::string::npos) << vtq;
  for (const QString& z : {zone, QStringLiteral("CET"), QStringLiteral("CEST")}) {
    EXPECT_FALSE(QString::fromStdString(vtq).contains(z)) << vtq;
  }
  EXPECT_EQ(LoggedTexts(), Lines{vtq});
}

TEST_F(WorkerStatus, ModemDialogueTextsTravelWithTheMessage) {
  logic->FDevice->ModemText = "overwritten by the worker";
  Event(wsModemWrite, 0, "ATE0\r\n");
  EXPECT_EQ(Memo(), Lines{"Write to modem: ATE0"});
  Event(wsModemRead, 0, "OK  ");
  EXPECT_EQ(Memo(), Lines{"Read from modem: OK  "});
  Event(wsModemRead, 0, "AT\nOK");  // the echo and the answer, as the modem's lines
  EXPECT_EQ(Memo(), (Lines{"Read from modem: AT", "Read from modem: OK"}));
  EXPECT_EQ(LoggedTexts(), Memo());
  Event(wsModemWrite, 0, "A");
  EXPECT_EQ(Memo(), Lines{"Write to modem: "});
}

TEST_F(WorkerStatus, FixedTexts) {
  const std::vector<std::pair<int, std::string>> cases = {
      {wsNoCommunication, "No communication! Please check connection and port-nr."},
      {wsModemConnected, "Modem connected to device"},
      {wsModemDisconnected, "Modem disconnected"},
      {wsDeviceRestarted, "VTQ restarted"},
      {wsWaitingForCall, "Waiting for call from VTQ-Datacollector..."},
      {wsModemTimeout, "Timeout-error: no response from modem !"},
      {wsModemCommandMode, "Modem in command mode !"},
      {wsTimeSynchronized, "VTQ-Time synchronized with PC-Time"},
  };
  for (const auto& [code, text] : cases) {
    Event(code);
    EXPECT_EQ(Memo(), Lines{text}) << code;
    EXPECT_EQ(LoggedTexts(), Lines{text}) << code;
  }
  Event(wsReadContents);
  EXPECT_EQ(Memo(), (Lines{"Read contents...", ""}));
  EXPECT_EQ(LoggedTexts(), Lines{"Read contents..."});
}

TEST_F(WorkerStatus, OffsetCorrectedNamesTheChannelsTheDeviceHas) {
  TDevice& d = *logic->FDevice;
  d.P1OffsetBar = 0.025f;
  d.P1Val = 25.0f;
  d.P2OffsetBar = -0.0051f;
  d.P2Val = -5.1f;
  d.CustomUnit = "mbar";
  d.ChannelMask = kChannelMaskP1 | kChannelMaskP2;
  Event(wsOffsetCorrected);
  const std::string p1 = FixedText(25.0f, 7, 3).toStdString();
  const std::string p2 = FixedText(-5.1f, 7, 3).toStdString();
  EXPECT_EQ(Memo(), Lines{"Offset corrected - P1: " + p1 + "mbar; P2: " + p2 + "mbar"});
  d.ChannelMask = kChannelMaskP2;
  d.P2OffsetBar = 0;
  Event(wsOffsetCorrected);
  EXPECT_EQ(Memo(), Lines{"Offset corrected"});
}

TEST_F(WorkerStatus, WrittenTextsAreShownUpToTheirEndMark) {
  TDevice& d = *logic->FDevice;
  d.ConfigFile = "C:\\cfg\\station.cfx";
  Event(wsConfigWritten);
  EXPECT_EQ(Memo(), Lines{"New Configuration written from file station.cfx"});
  d.ConfigFile = "/etc/varnel/deep.cfx";
  Event(wsConfigWritten);
  EXPECT_EQ(Memo(), Lines{"New Configuration written from file deep.cfx"});
  d.Cfx.NewIdText = std::string("Well\xE4") + "\xFF" + "junk";
  Event(wsNewId);
  EXPECT_EQ(Memo(), Lines{"New ID: Well\xC3\xA4"});
  d.Cfx.NewCommentText = "two\r\nlines\xFFrest";
  Event(wsNewComment);
  EXPECT_EQ(Memo(), Lines{"New Comment: two\r\nlines"});
}

TEST_F(WorkerStatus, OptionsResetWritesTheRegisteredKey) {
  RegistryKey(QString(kRegisteredDevicesKey) + "\\99").WriteFlag("ReadActualRec", false);
  logic->FDevice->SerialNumber = 99;
  Event(wsOptionsReset);
  EXPECT_EQ(Memo(), Lines{"Logger Configuration set to default values"});
  RegistryKey key(QString(kRegisteredDevicesKey) + "\\99");
  EXPECT_TRUE(key.ReadFlag("ReadActualRec", false));
  EXPECT_FALSE(key.ReadString("LastContact").isEmpty());
}

TEST_F(WorkerStatus, AnUnknownCodeLogsAStampedEmptyLine) {
  Event(77);
  EXPECT_TRUE(Memo().empty());
  const auto log = LogLines();
  ASSERT_EQ(log.size(), 1u);
  EXPECT_EQ(AfterStamp(log[0]), "");
  EXPECT_NE(log[0].find('\t'), std::string::npos);
}

TEST_F(WorkerStatus, ShowTimeAddsATimeLineExceptForStateAndDeviceTime) {
  logic->SetShowTime(true);
  Event(wsModemConnected);
  ASSERT_EQ(Memo().size(), 2u);
  EXPECT_EQ(Memo()[0].rfind("Time: \t\t", 0), 0u);
  EXPECT_EQ(LoggedTexts(), Lines{"Modem connected to device"});  // the time line is not logged
  Event(wsDeviceState, 4);
  EXPECT_EQ(Memo().size(), 1u);
  Event(wsDeviceTime, 0);
  EXPECT_EQ(Memo().size(), 2u);
  EXPECT_EQ(Memo()[0].rfind("PC-Time", 0), 0u);
}

TEST_F(WorkerStatus, EventsWhileStartIsUpAreDroppedEntirely) {
  logic->ReleaseStart();
  view.memo.clear();
  view.panels.clear();
  QFile::resize(LogPath(), 0);
  logic->FDevice->OptionsReady = false;
  for (int code = 0; code <= 25; ++code) logic->WMWorkerStatus(code, 3);
  EXPECT_TRUE(view.memo.empty());
  EXPECT_TRUE(view.panels.empty());
  EXPECT_TRUE(LogLines().empty());
  EXPECT_FALSE(logic->FDevice->OptionsReady);
}

TEST_F(WorkerStatus, ALogDeletedDuringTheRunStaysDeletedAndTheMemoGoesOn) {
  ASSERT_TRUE(QFile::remove(LogPath()));
  view.memo.clear();
  logic->WMWorkerStatus(wsModemConnected, 0);
  logic->WMWorkerDone(wdNothingRead);
  EXPECT_EQ(view.memo, (Lines{"Modem connected to device", "Call ended, nothing read"}));
  EXPECT_FALSE(QFile::exists(LogPath()));
}

TEST_F(WorkerStatus, MessagesPostedFromAnotherThreadArriveInOrder) {
  std::thread worker([this] {
    PostTarget& w = logic->Window();
    w.Post(WM_WORKER_PROGRESS, kProgressRange, 40);
    w.Post(WM_WORKER_STATUS, wsModemWrite, 0, "AT\r\n");
    w.Post(WM_WORKER_STATUS, wsReadingRecord, 1);
    w.Post(WM_WORKER_PROGRESS, kProgressAdvance, 3);
    w.Post(WM_WORKER_PROGRESS, 7, 100);  // ignored
  });
  worker.join();
  view.memo.clear();
  ASSERT_TRUE(logic->WaitUntilIdle(2000));
  EXPECT_EQ(view.memo, (Lines{"Write to modem: AT", "Reading Record 2"}));
  EXPECT_EQ(view.gaugeMax, 40);
  EXPECT_EQ(view.gaugePos, 3);
}

}  // namespace
}  // namespace varnel
