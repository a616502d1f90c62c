// The whole chain with the simulator on a pseudo-terminal: modem set-up, call, contents,
// registered options, records, write sequence, files, backups, file list, modules, hang-up
// or countdown, next call.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>
#include <functional>

#include "app/facade_link.h"
#include "common/locale_text.h"
#include "common/registry_store.h"
#include "common/settings.h"
#include "database/contact_store.h"
#include "e2e_checks.h"
#include "logic_fixture.h"
#include "workers/file_thread.h"

namespace varnel {
namespace {

using Lines = std::vector<std::string>;
using namespace test;

// Expected items appear in `lines` in this order (others may come between).
::testing::AssertionResult InOrder(const Lines& lines, const Lines& expected) {
  std::size_t at = 0;
  for (const std::string& want : expected) {
    while (at < lines.size() && lines[at] != want) ++at;
    if (at == lines.size()) {
      return ::testing::AssertionFailure() << "missing or out of order: \"" << want << "\"";
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

class Chain : public test::TempStore {
 protected:
  void SetUp() override {
    TempStore::SetUp();
    ports_ = Root() + "/ports";
    data_ = Root() + "/data-files";
    QDir().mkpath(ports_);
    QDir().mkpath(data_);
    qputenv("VARNEL_PORTS", ports_.toLocal8Bit());
    RegistryKey(kCommonKey).WriteString("Internal-Path", data_);
    RegistryKey(kSettingsKey).WriteFlag("Show-Time", false);
  }
  void TearDown() override {
    SetFileBlockDelayForTests(std::chrono::milliseconds(0));
    logic.reset();  // waits for the workers
    sim.Stop();
    qunsetenv("VARNEL_PORTS");
    TempStore::TearDown();
  }
  void Make(ContactService* history = nullptr) {
    LogicEnvironment env;
    env.ProgramPath = ProgramPath();
    env.Link = &link;
    env.Observer = &view;
    env.Timers = &timers;
    // A test may watch the contacts itself; the others keep a real history file.
    env.Services = {history != nullptr ? history : &this->history};
    logic = std::make_unique<MainLogic>(view, env);
    logic->FormCreate();
  }
  // The fault lines of the memo and the program log, less those the test provokes.
  std::string Faults(const std::vector<std::string>& allowed = {}) const {
    return FaultLines(view.memo, allowed) + LogFaultLines(LogPath(), allowed);
  }
  // Handles events until `done` holds; false after timeoutMs.
  bool RunUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
      if (t.elapsed() > timeoutMs) return false;
      QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
      QThread::msleep(5);
    }
    return true;
  }
  test::ManualTimer& RestartTimer() { return *timers.made.at(1); }
  int Count(int kind) const {
    return static_cast<int>(std::count(view.jobs.begin(), view.jobs.end(), kind));
  }
  QString Module(const QString& name) {
    const QString path = Root() + "/" + name + ".sh";
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(("#!/bin/sh\necho \"" + name + " $*\" >> '" + Root() + "/modules.txt'\n").toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
  }
  // Registers a module started once per new file, and chooses it.
  void ChoosePerFileModule() {
    RegistryKey m(QString(kModulesKey) + "\\PerFile");
    m.WriteString("Path", Module("per-file"));
    m.WriteString("Description", "Per file");
    m.WriteFlag("OnlyOneFile", true);
    RegistryKey(kExecutableKey).WriteString("Exec0", "Per file");
  }
  int MemoCount(const std::string& line) const {
    return static_cast<int>(std::count(view.memo.begin(), view.memo.end(), line));
  }
  // The names of the "File ... created" lines, in memo order.
  QStringList CreatedFiles() const {
    QStringList names;
    for (const std::string& l : view.memo) {
      if (l.rfind("File ", 0) == 0 && l.size() > 13 && l.compare(l.size() - 8, 8, " created") == 0) {
        names << QString::fromStdString(l.substr(5, l.size() - 13));
      }
    }
    return names;
  }
  // Every file in the folder, hidden ones too, sorted.
  static QStringList FolderFiles(const QDir& folder) {
    return Sorted(folder.entryList(QDir::Files | QDir::Hidden));
  }
  static QStringList Sorted(QStringList names) {
    names.sort();
    return names;
  }
  static QString BackupOf(QString name) { return name.replace(".IDC", "_BAK.idc"); }
  QStringList ModuleRuns(int atLeast) {
    QFile f(Root() + "/modules.txt");
    for (int i = 0; i < 300; ++i) {
      if (f.open(QIODevice::ReadOnly)) {
        const QStringList lines =
            QString::fromUtf8(f.readAll()).split('\n', Qt::SkipEmptyParts);
        f.close();
        if (lines.size() >= atLeast) return lines;
      }
      QThread::msleep(10);
    }
    return {};
  }

  QString ports_, data_;
  test::SimProcess sim;
  FacadeLink link;
  test::RecordingView view;
  test::ManualTimerFactory timers;
  ContactStore history{Root() + "/history.sqlite"};
  std::unique_ptr<MainLogic> logic;
};

TEST_F(Chain, TwoCallsInModemModeWithARegisteredLogger) {
  // Modules: one started per file, one with the file list.
  const QString perFile = Module("per-file"), withList = Module("with-list");
  {
    RegistryKey a(QString(kModulesKey) + "\\PerFile");
    a.WriteString("Path", perFile);
    a.WriteString("Description", "Per file");
    a.WriteFlag("OnlyOneFile", true);
    RegistryKey b(QString(kModulesKey) + "\\WithList");
    b.WriteString("Path", withList);
    b.WriteString("Description", "With list");
    RegistryKey exec(kExecutableKey);
    exec.WriteString("Exec0", "Per file");
    exec.WriteString("Exec1", "With list");
  }
  // The logger is registered: every record from January 2024, an offset for P1, a new id.
  {
    RegistryKey dev(QString(kRegisteredDevicesKey) + "\\40123");
    dev.WriteString("Description", "Pump station");
    dev.WriteFlag("ReadActualRec", false);
    dev.WriteInt("ReadFromMonth", 0);
    dev.WriteInt("ReadFromYear", 2024);
    dev.WriteFlag("SynchTime", true);
    dev.WriteFlag("OffsetCorr", true);
    dev.WriteInt("PUnit", 1);
    dev.WriteString("CustomUnit", "mbar");
    dev.WriteString("P1Val", FixedText(25.0, 7, 6));
    dev.WriteString("P2Val", FixedText(0.0, 7, 6));
    dev.WriteFlag("WriteConfig", true);
    dev.WriteString("ConfigFile", "");
    dev.WriteFlag("WriteText", true);
    dev.WriteFlag("NewID", true);
    dev.WriteString("ID", "Renamed well");
  }
  const QString truthPath = Root() + "/truth.json";
  ASSERT_TRUE(sim.Start(
      {"--port", "1", "--modem", "--records", "3", "--truth", truthPath.toStdString()},
      ports_.toStdString()))
      << sim.Output();
  const QJsonObject truthBefore = ReadTruth(truthPath);

  Make();
  ASSERT_EQ(view.available, (Lines{"Per file", "With list"}));
  logic->PressStart();
  // Two calls: each ends with its files and a new wait for a call (job 2).
  ASSERT_TRUE(RunUntil([&] { return view.filesDone.size() >= 2 && Count(2) >= 2; }, 90000))
      << sim.Output();
  logic->ReleaseStart();
  ASSERT_TRUE(logic->WaitUntilIdle(10000));

  const std::string p1 = FixedText(25.0, 7, 3).toStdString();
  EXPECT_TRUE(InOrder(view.memo, {
      "Write to modem: AT", "Write to modem: ATV1", "Write to modem: ATE0",
      "Write to modem: AT&D0", "Read from modem: OK", "Write to modem: ATS0=2",
      "Waiting for call from VTQ-Datacollector...", "Modem connected to device",
      "Device detected:", "ID 5.1 - Version  3.12", "SN 40123", "Found registred device",
      "VTQ - Battery-Capacity: 87%", "Memory: 1 MBit", "Done !",
      "Readout selected records...", "", "Reading Record 3", "Reading Record 2",
      "Reading Record 1", "Offset corrected - P1: " + p1 + "mbar", "New ID: Renamed well",
      "VTQ-Time synchronized with PC-Time", "VTQ restarted",
      "Logger Configuration set to default values", "", "Create file(s)...",
      "Restart connection to modem in 80 seconds", "Modem disconnected",
      // the second call: the options were reset, so only the current record
      "Waiting for call from VTQ-Datacollector...", "Modem connected to device", "SN 40123",
      "Found registred device", "Done !", "Reading Record 1", "VTQ restarted",
      "Create file(s)...", "Modem disconnected", "Cancelled !"}));
  EXPECT_EQ(std::count(view.memo.begin(), view.memo.end(), "Backup file(s) created !"), 2);
  EXPECT_EQ(std::count(view.memo.begin(), view.memo.end(), "Reading Record 2"), 1);

  // The jobs: 0, then per call 1 and 2.
  EXPECT_EQ(view.jobs, (std::vector<int>{0, 1, 2, 1, 2}));

  // The simulator received the options: the offset, the identity text, the clock.
  const QJsonObject truth = ReadTruth(truthPath);
  EXPECT_EQ(truth.value("identityText").toString(), "Renamed well");
  EXPECT_FALSE(truth.value("received").toObject().value("offsets").toArray().isEmpty());
  EXPECT_GE(truth.value("received").toObject().value("clockSets").toArray().size(), 2);

  // The registered entry was reset after the first call.
  RegistryKey dev(QString(kRegisteredDevicesKey) + "\\40123");
  EXPECT_TRUE(dev.ReadFlag("ReadActualRec", false));
  EXPECT_EQ(dev.ReadString("Description", "?"), "Pump station");
  EXPECT_FALSE(dev.ReadFlag("NewID", true));
  EXPECT_EQ(dev.ReadInt("ReadFromMonth", -1), QDate::currentDate().month() - 1);
  EXPECT_EQ(dev.ReadString("CustomUnit"), "mbar");
  const QString lastContact = dev.ReadString("LastContact");
  EXPECT_TRUE(lastContact.startsWith(QLocale::system().toString(QDate::currentDate(),
                                                                QLocale::ShortFormat)))
      << lastContact.toStdString();

  // The record list of the first call, and its four log lines.
  const QJsonArray records = truthBefore.value("records").toArray();
  ASSERT_EQ(records.size(), 3);
  const auto log = LogLines();
  const auto heading = std::find_if(log.begin(), log.end(), [](const std::string& l) {
    return AfterStamp(l) == "VTQ Record contents:";
  });
  ASSERT_NE(heading, log.end());
  ASSERT_GE(log.end() - heading, 4);
  for (int i = 0; i < 3; ++i) {
    const qint64 start = records[i].toObject().value("startTime").toInteger();
    const QString number = QString("%1").arg(i + 1, 5) + "    " +
                           DeviceTimeText(static_cast<std::uint32_t>(start));
    EXPECT_EQ(*(heading + 1 + i), "\t\t\t" + number.toStdString());
  }

  // Files of both calls with their backups; the file list holds the second call's files.
  const QDir folder(data_ + "/40123");
  const QStringList idc = folder.entryList({"*.IDC", "*.idc"}, QDir::Files, QDir::Name);
  const QStringList baks = idc.filter("_BAK");
  EXPECT_EQ(idc.size() - baks.size(), 4) << idc.join(", ").toStdString();
  EXPECT_EQ(baks.size(), 4);
  for (const QString& f : idc) {
    if (f.contains("_BAK")) continue;
    const QString bak = f.left(f.lastIndexOf('.')) + "_BAK.idc";
    EXPECT_TRUE(baks.contains(bak)) << bak.toStdString();
  }
  RegistryKey list(QString(kCommonKeySlash) + "Files");
  QStringList values = list.ValueNames();
  ASSERT_EQ(values, QStringList{"File0"});
  const QString lastFile = list.ReadString("File0");
  EXPECT_TRUE(QFileInfo(lastFile).fileName().startsWith("Renamed well")) << lastFile.toStdString();

  // Every file decodes to the simulator's truth of its record.
  for (const QString& f : idc) {
    if (f.contains("_BAK")) continue;
    const QJsonObject dump = DumpIdc(folder.filePath(f));
    const QJsonObject rec = TruthRecordStartingAt(truth, dump.value("StartTime").toInteger());
    EXPECT_EQ(CompareWithTruth(dump, rec), "") << f.toStdString();
  }

  // Modules: per file three times, then the list; then once per file and the list again.
  const QStringList runs = ModuleRuns(6);
  ASSERT_EQ(runs.size(), 6) << runs.join(" | ").toStdString();
  for (int i : {0, 1, 2, 4}) EXPECT_TRUE(runs[i].startsWith("per-file " + data_ + "/40123/"));
  EXPECT_EQ(runs[3], "with-list Files");
  EXPECT_EQ(runs[5], "with-list Files");
  EXPECT_EQ(runs[4], "per-file " + lastFile);
  // The entry ticks "Write Configuration" only to write the texts: the first call says no
  // file was chosen, which is no fault.
  EXPECT_EQ(std::count(view.memo.begin(), view.memo.end(), "No configuration file chosen"), 1);
  EXPECT_EQ(Faults(), "");
}

TEST_F(Chain, WithoutAHangUpReportTheNextCallEndsTheCountdownAndIsServed) {
  // The simulator ends the call with a text the collector does not take for a hang-up; the
  // logger calls again 3 s later, while the restart countdown runs.
  ASSERT_TRUE(sim.Start({"--port", "2", "--modem", "--records", "1", "--record-pages", "4",
                         "--hangup-text", "Line lost"},
                        ports_.toStdString()));
  RegistryKey(kSettingsKey).WriteInt("Port", 2);  // within the four ports of the menu
  Make();
  logic->PressStart();
  ASSERT_TRUE(RunUntil([&] { return !view.filesDone.empty() && RestartTimer().active; }, 60000));
  // The next call's connection ends the wait for the hang-up and the countdown, unfired.
  ASSERT_TRUE(RunUntil([&] { return Count(1) >= 2; }, 30000)) << sim.Output();
  EXPECT_EQ(Count(2), 1);
  EXPECT_FALSE(RestartTimer().active);
  logic->ReleaseStart();
  ASSERT_TRUE(logic->WaitUntilIdle(10000));
  EXPECT_TRUE(InOrder(view.memo, {"Restart connection to modem in 80 seconds",
                                  "Modem disconnected",
                                  "Waiting for call from VTQ-Datacollector...",
                                  "Modem connected to device", "Done !", "Cancelled !"}));
  EXPECT_EQ(std::count(view.memo.begin(), view.memo.end(),
                       "Restart connection to modem in 70 seconds"), 0);
  EXPECT_EQ(Faults(), "");
}

TEST_F(Chain, AnIdentityTextOutsideAsciiAndALargeSerialNameFilesBackupsAndModuleInput) {
  const QString perFile = Module("per-file");
  {
    RegistryKey m(QString(kModulesKey) + "\\PerFile");
    m.WriteString("Path", perFile);
    m.WriteString("Description", "Per file");
    m.WriteFlag("OnlyOneFile", true);
    RegistryKey(kExecutableKey).WriteString("Exec0", "Per file");
  }
  // The logger holds its identity text as 8-bit code-page bytes: "Brücke 7" in Latin-1.
  ASSERT_TRUE(sim.Start({"--port", "3", "--modem", "--records", "1", "--record-pages", "4",
                         "--id-text", "Br\xFC" "cke 7", "--serial", "3000000000"},
                        ports_.toStdString()))
      << sim.Output();
  RegistryKey(kSettingsKey).WriteInt("Port", 3);
  Make();
  logic->PressStart();
  ASSERT_TRUE(RunUntil([&] { return !view.filesDone.empty(); }, 60000)) << sim.Output();
  logic->ReleaseStart();
  ASSERT_TRUE(logic->WaitUntilIdle(10000));

  const QString text = QString::fromUtf8("Br\xC3\xBC" "cke 7");
  EXPECT_EQ(view.fileName, text.toStdString());
  const QDir folder(data_ + "/3000000000");
  const QStringList idc = folder.entryList({"*.IDC"}, QDir::Files | QDir::CaseSensitive);
  ASSERT_EQ(idc.size(), 1) << folder.entryList(QDir::Files).join(", ").toStdString();
  EXPECT_TRUE(idc[0].startsWith(text + "_")) << idc[0].toStdString();
  const QString file = folder.filePath(idc[0]);
  EXPECT_TRUE(QFile::exists(file.left(file.size() - 4) + "_BAK.idc"));
  const std::string created = "File " + idc[0].toStdString() + " created";
  EXPECT_TRUE(InOrder(view.memo, {"SN 3000000000", created, "Backup file(s) created !"}));
  const auto logged = LogLines();
  EXPECT_NE(std::find_if(logged.begin(), logged.end(),
                         [&](const std::string& l) { return AfterStamp(l) == created; }),
            logged.end());

  EXPECT_EQ(RegistryKey(QString(kCommonKeySlash) + "Files").ReadString("File0"), file);
  EXPECT_EQ(ModuleRuns(1), QStringList{"per-file " + file});
  // The data file keeps the logger's own bytes.
  const QJsonObject dump = DumpIdc(file);
  EXPECT_EQ(dump.value("IdentityText").toString(), text);
  EXPECT_EQ(dump.value("SerialNumber").toInteger(), 3000000000LL);
  EXPECT_EQ(Faults(), "");
}

TEST_F(Chain, ADataFolderGoneSinceTheStartSendsTheFilesToTheFallbackFolderAndSaysWhy) {
  struct Rows : ContactService {
    std::vector<ContactFigures> rows;
    int starts = 0;
    std::string ContactEnded(const ContactFigures& c) override {
      rows.push_back(c);
      return {};
    }
    void CollectingStarted() override { ++starts; }
  } history;
  ASSERT_TRUE(sim.Start({"--port", "4", "--modem", "--records", "1", "--record-pages", "4"},
                        ports_.toStdString()))
      << sim.Output();
  RegistryKey(kSettingsKey).WriteInt("Port", 4);
  Make(&history);
  ASSERT_TRUE(QDir(data_).removeRecursively());  // the network drive went away
  logic->PressStart();
  ASSERT_TRUE(RunUntil([&] { return !view.filesDone.empty(); }, 60000)) << sim.Output();
  logic->ReleaseStart();
  ASSERT_TRUE(logic->WaitUntilIdle(10000));
  logic.reset();

  const QString fallback = Root() + "/data/varnel/fallback-data";
  const std::string why = "Data folder cannot be used: " + data_.toStdString() +
                          " (it does not exist) - files are written to " + fallback.toStdString();
  EXPECT_TRUE(InOrder(view.memo, {why, "Waiting for call from VTQ-Datacollector...",
                                  "Create file(s)...", why, "Backup file(s) created !"}));
  EXPECT_EQ(std::count(view.memo.begin(), view.memo.end(), "No File created !"), 0);
  const auto logged = LogLines();
  EXPECT_EQ(std::count_if(logged.begin(), logged.end(),
                          [&](const std::string& l) { return AfterStamp(l) == why; }),
            2);

  const QDir folder(fallback + "/40123");
  const QStringList idc = folder.entryList({"*.IDC"}, QDir::Files | QDir::CaseSensitive);
  ASSERT_EQ(idc.size(), 1) << folder.entryList(QDir::Files).join(", ").toStdString();
  const QString file = folder.filePath(idc[0]);
  EXPECT_TRUE(QFile::exists(file.left(file.size() - 4) + "_BAK.idc"));
  EXPECT_EQ(RegistryKey(QString(kCommonKeySlash) + "Files").ReadString("File0"), file);
  EXPECT_FALSE(QFileInfo::exists(data_));  // not made up behind the operator's back
  ASSERT_FALSE(history.rows.empty());
  EXPECT_EQ(history.rows.front().Result, ContactResult::FallbackFolder);
  EXPECT_EQ(history.rows.front().Files, std::vector<std::string>{file.toStdString()});
  EXPECT_EQ(history.starts, 1);  // what an earlier run left for the database may follow
  EXPECT_EQ(Faults({why}), "");
}

TEST_F(Chain, ALateFileWorkerKeepsItsOwnFilesWhileTheNextCallIsAnswered) {
  ChoosePerFileModule();
  // The logger calls again 1.5 s after the first call ends and gives up 4 s into a call in
  // which nobody talks to it.
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "1", "--record-pages", "3",
                         "--calls", "2", "--call-after", "1.5", "--hangup-after", "0.1",
                         "--idle-hangup", "4"},
                        ports_.toStdString()))
      << sim.Output();
  Make();
  // The first call's data files go to a folder that answers slowly: about ten seconds.
  SetFileBlockDelayForTests(std::chrono::milliseconds(1500));
  logic->PressStart();
  ASSERT_TRUE(RunUntil([&] { return MemoCount("Create file(s)...") == 1; }, 60000)) << sim.Output();
  SetFileBlockDelayForTests(std::chrono::milliseconds(0));
  ASSERT_TRUE(RunUntil([&] { return view.filesDone.size() == 2; }, 90000)) << sim.Output();
  logic->ReleaseStart();
  ASSERT_TRUE(logic->WaitUntilIdle(10000));

  // The second call was answered while the first one's files were still being written.
  EXPECT_EQ(MemoCount("Reading Record 1"), 2);
  EXPECT_EQ(MemoCount("No communication! Please check connection and port-nr."), 0);
  // Each end listed its own call's file, and no file twice.
  const QStringList created = CreatedFiles();
  ASSERT_EQ(created.size(), 2) << created.join(", ").toStdString();
  EXPECT_NE(created[0], created[1]);
  const QDir folder(data_ + "/40123");
  EXPECT_EQ(FolderFiles(folder), Sorted({created[0], created[1], BackupOf(created[0]),
                                         BackupOf(created[1])}));
  for (const QString& f : created) EXPECT_FALSE(DumpIdc(folder.filePath(f)).isEmpty()) << f.toStdString();
  // The file list and the module: each file once, with its own end.
  RegistryKey list(QString(kCommonKeySlash) + "Files");
  EXPECT_EQ(list.ValueNames(), QStringList{"File0"});
  EXPECT_EQ(list.ReadString("File0"), folder.filePath(created[1]));
  EXPECT_EQ(ModuleRuns(2), (QStringList{"per-file " + folder.filePath(created[0]),
                                        "per-file " + folder.filePath(created[1])}));
}

TEST_F(Chain, ClosingRightAfterStartIsReleasedFinishesTheFilesFirst) {
  ChoosePerFileModule();
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "1", "--record-pages", "3"},
                        ports_.toStdString()))
      << sim.Output();
  Make();
  // The data file takes about two seconds to write.
  SetFileBlockDelayForTests(std::chrono::milliseconds(300));
  logic->PressStart();
  ASSERT_TRUE(RunUntil([&] { return MemoCount("Create file(s)...") == 1; }, 60000)) << sim.Output();
  logic->ReleaseStart();
  QElapsedTimer t;
  t.start();
  ASSERT_TRUE(logic->FormClose());
  std::printf("[ figures  ] close with a file being written: %lld ms\n",
              static_cast<long long>(t.elapsed()));
  EXPECT_LT(t.elapsed(), 20000);

  // The file is whole and has its backup, its place in the file list and its module run.
  const QStringList created = CreatedFiles();
  ASSERT_EQ(created.size(), 1) << ::testing::PrintToString(view.memo);
  const QDir folder(data_ + "/40123");
  const QString file = folder.filePath(created[0]);
  EXPECT_EQ(FolderFiles(folder), Sorted({created[0], BackupOf(created[0])}));
  EXPECT_FALSE(DumpIdc(file).isEmpty());
  EXPECT_EQ(MemoCount("Backup file(s) created !"), 1);
  EXPECT_EQ(RegistryKey(QString(kCommonKeySlash) + "Files").ReadString("File0"), file);
  EXPECT_EQ(ModuleRuns(1), QStringList{"per-file " + file});
}

TEST_F(Chain, MoreThanAHundredRecordsInOneReadoutAllBecomeFiles) {
  {
    RegistryKey dev(QString(kRegisteredDevicesKey) + "\\40123");
    dev.WriteFlag("ReadActualRec", false);
    dev.WriteInt("ReadFromMonth", 0);
    dev.WriteInt("ReadFromYear", 2000);
  }
  // One-page records: more than a hundred files are written within a second or two.
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "110", "--record-pages", "1"},
                        ports_.toStdString()))
      << sim.Output();
  Make();
  logic->PressStart();
  ASSERT_TRUE(RunUntil([&] { return !view.filesDone.empty(); }, 150000)) << sim.Output();
  logic->ReleaseStart();
  ASSERT_TRUE(logic->WaitUntilIdle(10000));

  EXPECT_EQ(MemoCount("Reading Record 110"), 1);
  EXPECT_EQ(MemoCount("No File created !"), 0);
  const QDir folder(data_ + "/40123");
  const QStringList idc = folder.entryList({"*.IDC"}, QDir::Files | QDir::CaseSensitive);
  EXPECT_EQ(idc.size(), 110);
  EXPECT_EQ(folder.entryList({"*_BAK.idc"}, QDir::Files | QDir::CaseSensitive).size(), 110);
  EXPECT_EQ(MemoCount("Backup file(s) created !"), 1);
  EXPECT_EQ(RegistryKey(QString(kCommonKeySlash) + "Files").ValueNames().size(), 110);
  for (const QString& f : idc) {
    EXPECT_TRUE(QRegularExpression("^Pump station 4_\\d\\d,\\d\\d,\\d{4}_\\d\\d,\\d\\d,\\d\\d_\\d\\d\\.IDC$")
                    .match(f)
                    .hasMatch())
        << f.toStdString();
  }
}

TEST_F(Chain, APortThatCannotBeOpenedLeavesTheProgramAtRest) {
  // COM7 leads nowhere.
  QFile::link(Root() + "/no-such-device", ports_ + "/com7");
  RegistryKey(kSettingsKey).WriteInt("Port", 7);
  RegistryKey(kSettingsKey).WriteInt("Amount-Ports", 9);
  Make();
  logic->PressStart();
  EXPECT_FALSE(logic->StartDown());
  EXPECT_EQ(view.memo, (Lines{"ERROR: Comport Nr.7 not available !", "Cancelled !"}));
  EXPECT_TRUE(view.jobs.empty());
  EXPECT_FALSE(link.Busy());
  EXPECT_EQ(Faults({"ERROR: Comport Nr.7 not available !"}), "");
}

}  // namespace
}  // namespace varnel
