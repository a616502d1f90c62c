// varnel-collect as a process, against the simulator on a pseudo-terminal.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QRegularExpression>
#include <QThread>
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <memory>
#include <sstream>
#include <unistd.h>

#include "common/registry_store.h"
#include "common/settings.h"
#include "database/contact_store.h"
#include "e2e_checks.h"
#include "logic_fixture.h"
#include "tests/support/child_process.h"

namespace varnel {
namespace {

using namespace test;

// The processor time a process has used so far (user and system), in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // The fields after the program's name in parentheses: state is field 3, utime 14, stime 15.
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  unsigned long long ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) ticks += std::stoull(field);
  }
  return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

class Collect : public TempStore {
 protected:
  void SetUp() override {
    TempStore::SetUp();
    ports_ = Root() + "/ports";
    data_ = Root() + "/data files";  // a blank in the folder name
    QDir().mkpath(ports_);
    truth_ = Root() + "/truth.json";
  }
  // The collector runs as a plain fork/exec child: a process class that spawns its own
  // helper threads in the child is not something the thread checker can follow.
  // `blockDelayMs`: each block of a data file waits this long, as on a disk that hangs.
  void StartCollect(const QStringList& args, int blockDelayMs = 0) {
    std::vector<std::string> argv;
    for (const QString& a : args) argv.push_back(a.toStdString());
    collect_ = std::make_unique<testsupport::ChildProcess>();
    ASSERT_TRUE(collect_->Start(ProgramIn(VARNEL_COLLECT_PATH, ProgramFolder()).toStdString(), argv,
                                {{"XDG_CONFIG_HOME", (Root() + "/config").toStdString()},
                                 {"XDG_DATA_HOME", (Root() + "/data").toStdString()},
                                 {"VARNEL_PORTS", ports_.toStdString()},
                                 {"VARNEL_TEST_FILE_BLOCK_DELAY_MS", std::to_string(blockDelayMs)}}))
        << collect_->Error();
  }
  // Waits for the end; the exit code, or -1 when it did not end in time.
  int Finish(int timeoutMs) {
    const int code = collect_->Wait(timeoutMs);
    if (code == -1) collect_->Stop(SIGKILL, 2000);
    return code;
  }
  QString Output() const {
    return collect_ ? QString::fromStdString(collect_->Output()) : QString();
  }
  // The fault lines of the run's output and program log, less those the test provokes.
  std::string Faults(const std::vector<std::string>& allowed = {}) const {
    return FaultLines(Output().toStdString(), allowed) +
           LogFaultLines(ProgramFolder() + "/varnel-collect.LOG", allowed);
  }
  QStringList DataFiles() const {
    return QDir(data_ + "/40123").entryList({"*.IDC", "*.idc"}, QDir::Files, QDir::Name);
  }

  QString ports_, data_, truth_;
  SimProcess sim;
  std::unique_ptr<testsupport::ChildProcess> collect_;
};

TEST_F(Collect, OneCallInModemModeEndsWithExitZeroAndFilesAsTheLoggerHeldThem) {
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "3", "--truth", truth_.toStdString()},
                        ports_.toStdString()));
  StartCollect({"--calls", "1", "--data", data_});
  const int code = Finish(90000);
  sim.Stop();
  const QString out = Output();
  ASSERT_EQ(code, 0) << out.toStdString();
  for (const char* line : {"Waiting for call from VTQ-Datacollector...", "SN 40123", "Done !",
                           "Reading Record 1", "VTQ restarted", "Backup file(s) created !",
                           "Modem disconnected", "# call 1 done",
                           "Run ended: 1 call(s) answered, 1 file(s) written, 0 failed"}) {
    EXPECT_TRUE(out.contains(line)) << line;
  }
  // Nothing was cancelled, and no restart follows the last call.
  EXPECT_FALSE(out.contains("Cancelled !"));
  EXPECT_FALSE(out.contains("Restart connection to modem"));
  const QStringList files = DataFiles();
  ASSERT_EQ(files.size(), 2) << files.join(", ").toStdString();  // the file and its backup
  const QString file = files[0].contains("_BAK") ? files[1] : files[0];
  const QJsonObject dump = DumpIdc(data_ + "/40123/" + file);
  const QJsonObject truth = ReadTruth(truth_);
  EXPECT_EQ(dump.value("SerialNumber").toInteger(), 40123);
  EXPECT_EQ(dump.value("IdentityText").toString(), truth.value("identityText").toString());
  // The current record is the newest, the first of the truth's list.
  const QJsonObject newest = truth.value("records").toArray().first().toObject();
  EXPECT_EQ(dump.value("StartTime").toInteger(), newest.value("startTime").toInteger());
  EXPECT_EQ(CompareWithTruth(dump, newest), "");
  // The settings were stored at the end.
  EXPECT_TRUE(QFile::exists(Root() + "/config/Halvark Drovantek/Corvane.ini"));
  EXPECT_EQ(Faults(), "");
}

TEST_F(Collect, DirectReadsTheLoggerOnTheLineAndEndsWithExitZero) {
  // Every record from January 2024 on, as a registered logger asks.
  {
    RegistryKey dev(QString(kRegisteredDevicesKey) + "\\40123");
    dev.WriteFlag("ReadActualRec", false);
    dev.WriteInt("ReadFromMonth", 0);
    dev.WriteInt("ReadFromYear", 2024);
  }
  ASSERT_TRUE(sim.Start({"--port", "1", "--echo", "--records", "3", "--truth", truth_.toStdString()},
                        ports_.toStdString()));
  StartCollect({"--direct", "--data", data_});
  const int code = Finish(60000);
  sim.Stop();
  const QString out = Output();
  ASSERT_EQ(code, 0) << out.toStdString();
  EXPECT_TRUE(out.contains("Found registred device"));
  const QStringList files = DataFiles();
  const QStringList originals = QStringList(files).filter(QRegularExpression("^((?!_BAK).)*$"));
  ASSERT_EQ(originals.size(), 3) << files.join(", ").toStdString();
  EXPECT_EQ(files.size(), 6);
  const QJsonObject truth = ReadTruth(truth_);
  for (const QString& f : originals) {
    const QJsonObject dump = DumpIdc(data_ + "/40123/" + f);
    EXPECT_EQ(CompareWithTruth(dump, TruthRecordStartingAt(truth, dump.value("StartTime").toInteger())),
              "")
        << f.toStdString();
  }
  EXPECT_EQ(Faults(), "");
}

TEST_F(Collect, SigtermDuringAReadoutEndsAtOnceWithThePagesReadSoFarInAFile) {
  // A long record on a line paced at 9600 baud: the readout takes many seconds.
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "1", "--record-pages", "300",
                         "--baud", "9600", "--truth", truth_.toStdString()},
                        ports_.toStdString()));
  StartCollect({"--data", data_});
  ASSERT_TRUE(collect_->WaitForOutput("Reading Record 1", 60000)) << Output().toStdString();
  // Let a few blocks of pages arrive.
  QThread::msleep(7500);
  ASSERT_TRUE(collect_->Running());
  QElapsedTimer stop;
  stop.start();
  const int code = collect_->Stop(SIGTERM, 15000);
  const qint64 ms = stop.elapsed();
  sim.Stop();
  std::printf("[ figures  ] SIGTERM to exit: %lld ms\n", static_cast<long long>(ms));
  const QString out = Output();
  ASSERT_EQ(code, 0) << out.toStdString();
  EXPECT_LT(ms, 1500);  // within a second, with room for a loaded machine
  EXPECT_TRUE(out.contains("Cancelled !"));
  EXPECT_TRUE(out.contains("Create file(s)..."));
  const QStringList originals = DataFiles().filter(QRegularExpression("^((?!_BAK).)*$"));
  ASSERT_EQ(originals.size(), 1) << out.toStdString();
  const QJsonObject dump = DumpIdc(data_ + "/40123/" + originals[0]);
  ASSERT_FALSE(dump.isEmpty());
  const QJsonArray got = dump.value("Measurements").toArray();
  const QJsonArray all = ReadTruth(truth_).value("records").toArray().first().toObject()
                             .value("entries").toArray();
  ASSERT_GT(got.size(), 0);
  ASSERT_LT(got.size(), all.size());
  // The pages read are the newest: their entries are the end of the record.
  const qsizetype offset = all.size() - got.size();
  for (qsizetype i = 0; i < got.size(); ++i) {
    const QJsonObject g = got[i].toObject();
    const QJsonObject w = all[offset + i].toObject();
    ASSERT_EQ(g.value("DateTime").toString(), DeviceIso(w.value("t").toInteger())) << i;
    ASSERT_EQ(g.value("Kind").toInt(), w.value("kind").toInt()) << i;
    ASSERT_EQ(g.value("Extra").toInteger(), w.value("extra").toInteger()) << i;
  }
  EXPECT_EQ(Faults(), "");
  // The history tells a stopped readout from a dropped line.
  ContactStore history(Root() + "/data/varnel/history.sqlite");
  std::string error;
  const auto rows = history.Contacts(std::nullopt, &error);
  ASSERT_EQ(rows.size(), 1u) << error;
  EXPECT_EQ(rows[0].Result, ContactResult::Stopped);
  EXPECT_GT(rows[0].PagesRead, 0);
  EXPECT_EQ(rows[0].Files.size(), 1u);
}

TEST_F(Collect, SigtermWhileTheDataFolderHangsEndsInTimeWithoutAHalfFile) {
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "1", "--record-pages", "3"},
                        ports_.toStdString()));
  StartCollect({"--data", data_}, 60000);
  ASSERT_TRUE(collect_->WaitForOutput("Create file(s)...", 60000)) << Output().toStdString();
  QElapsedTimer stop;
  stop.start();
  const int code = collect_->Stop(SIGTERM, 30000);
  const qint64 ms = stop.elapsed();
  sim.Stop();
  std::printf("[ figures  ] SIGTERM to exit with a hung data folder: %lld ms\n",
              static_cast<long long>(ms));
  const QString out = Output();
  ASSERT_EQ(code, 0) << out.toStdString();
  EXPECT_LT(ms, 20000);  // a service manager stops the program after 60 s
  EXPECT_TRUE(out.contains("Data files still being written at close")) << out.toStdString();
  // The file never finished: neither it nor its temporary file is left.
  EXPECT_EQ(QDir(data_ + "/40123").entryList(QDir::Files | QDir::Hidden), QStringList{});
}

// The modem goes (its stand-in killed) while the collector waits for a call: within
// seconds the collector says so and lets the port go, waits without using the processor,
// and sets the modem up again once it is back on its port; the call is then read.
TEST_F(Collect, AModemThatGoesIsNoticedAwaitedIdlyAndSetUpAgainWhenItReturns) {
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--call-after", "600"}, ports_.toStdString()));
  StartCollect({"--calls", "1", "--data", data_});
  ASSERT_TRUE(collect_->WaitForOutput("Waiting for call from VTQ-Datacollector...", 30000))
      << Output().toStdString();
  sim.Stop(SIGKILL);
  // As with an adapter unplugged, the port's link now names a device that does not exist
  // (left to itself it would name a pseudo-terminal that another test may get next).
  QFile::remove(ports_ + "/com1");
  QFile::link(Root() + "/unplugged", ports_ + "/com1");
  ASSERT_TRUE(collect_->WaitForOutput(
      "Modem gone (unplugged or switched off?), waiting for it to return on COM1", 5000))
      << Output().toStdString();
  const double before = CpuSeconds(collect_->Pid());
  QThread::msleep(3000);
  const double used = CpuSeconds(collect_->Pid()) - before;
  std::printf("[ figures  ] processor time while the modem was gone: %.2f s in 3 s\n", used);
  EXPECT_LT(used, 0.3);  // a wait on the dead line used to spin

  SimProcess back;
  ASSERT_TRUE(back.Start({"--port", "1", "--modem", "--calls", "1", "--records", "2"},
                         ports_.toStdString()))
      << back.Output();
  const int code = Finish(60000);
  const QString out = Output();
  ASSERT_EQ(code, 0) << out.toStdString();
  EXPECT_TRUE(out.contains("Modem back, setting it up again on COM1"));
  EXPECT_EQ(DataFiles().size(), 2);  // the call's file and its backup
  EXPECT_EQ(Faults({"Modem gone (unplugged or switched off?)"}), "");
}

// The line drops while the record table is read, in the middle of a reply, so that the
// modem's report of the end of the call comes cut in two. The collector must take the
// call as ended at once and answer the logger's next call, not sit out the countdown.
TEST_F(Collect, ACallThatDropsDuringTheContentsCostsNotTheNextCall) {
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--calls", "2", "--hangup-after-pages", "10"},
                        ports_.toStdString()));
  StartCollect({"--calls", "1", "--data", data_, "--timeout", "70"});
  const int code = Finish(90000);
  sim.Stop();
  ASSERT_EQ(code, 0) << Output().toStdString();  // 4: the second call went unanswered
  EXPECT_EQ(DataFiles().size(), 2);
  EXPECT_EQ(Faults(), "");
}

// A modem that ends each call with "NO CARRIER", and loggers that call again 3 s after
// it: each call is the end of the last one and the start of the next, and none may wait
// out the restart countdown or be thrown away by it.
TEST_F(Collect, BackToBackCallsThroughANoCarrierModemAreAllServedAtOnce) {
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--calls", "3", "--hangup-text", "NO CARRIER",
                         "--call-after", "3", "--records", "2"},
                        ports_.toStdString()));
  StartCollect({"--calls", "3", "--data", data_});
  const int code = Finish(120000);
  sim.Stop();
  const QString out = Output();
  ASSERT_EQ(code, 0) << out.toStdString();
  EXPECT_TRUE(out.contains("Run ended: 3 call(s) answered, 3 file(s) written, 0 failed"));
  EXPECT_EQ(out.count("Modem disconnected"), 3);
  EXPECT_FALSE(out.contains("Restart connection to modem in 70 seconds"));
  EXPECT_EQ(Faults(), "");
}

// A fleet's morning in small: six loggers on one modem that says "NO CARRIER" and rings
// twice, their first calls packed so closely that some find the line busy during the call
// before theirs and call again. Every logger is collected, each file as its logger held it.
TEST_F(Collect, SixLoggersBackToBackThroughANoCarrierModemAreAllCollected) {
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--fleet", "6", "--fleet-window", "20",
                         "--retry-pause", "3", "--retries", "30", "--hangup-text", "NO CARRIER",
                         "--ring", "2", "--call-after", "1", "--records", "2", "--truth",
                         truth_.toStdString()},
                        ports_.toStdString()));
  StartCollect({"--calls", "6", "--data", data_});
  const int code = Finish(240000);
  sim.Stop();
  const QString out = Output();
  ASSERT_EQ(code, 0) << out.toStdString() << sim.Output();
  EXPECT_TRUE(out.contains("Run ended: 6 call(s) answered, 6 file(s) written, 0 failed"));
  const QJsonArray loggers = ReadTruth(truth_).value("loggers").toArray();
  ASSERT_EQ(loggers.size(), 6);
  int busy = 0;
  for (const QJsonValue& value : loggers) {
    const QJsonObject logger = value.toObject();
    const QString serial = QString::number(logger.value("serialNumber").toInteger());
    const QJsonObject counts = logger.value("counts").toObject();
    busy += counts.value("busy").toInt();
    ASSERT_EQ(counts.value("answered").toInt(), 1) << serial.toStdString();
    const QStringList files =
        QDir(data_ + "/" + serial).entryList({"*.IDC"}, QDir::Files, QDir::Name);
    ASSERT_EQ(files.size(), 2) << serial.toStdString();  // the file and its backup
    const QString file = files[0].contains("_BAK") ? files[1] : files[0];
    const QJsonObject newest = logger.value("calls").toArray().first().toObject()
                                   .value("records").toArray().first().toObject();
    EXPECT_EQ(CompareWithTruth(DumpIdc(data_ + "/" + serial + "/" + file), newest), "")
        << serial.toStdString();
  }
  EXPECT_GE(busy, 2);
  EXPECT_FALSE(out.contains("Restart connection to modem in 70 seconds"));
  EXPECT_EQ(Faults(), "");
}

// The modem answered a logger on its own before the collector started: the set-up's "AT"
// goes into the call and no answer comes. The logger on the line is served, and the log
// says why the set-up did not go on.
TEST_F(Collect, AModemStillInACallAtItsSetUpHasItsLoggerServed) {
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--no-setup-wait", "--call-after", "0.5",
                         "--calls", "1", "--records", "1"},
                        ports_.toStdString()));
  QThread::msleep(1500);  // the call is on before anybody listens
  StartCollect({"--calls", "1", "--data", data_});
  const int code = Finish(90000);
  sim.Stop();
  const QString out = Output();
  ASSERT_EQ(code, 0) << out.toStdString();
  EXPECT_TRUE(out.contains("Modem was still in a call at its set-up; serving the logger on the line"));
  EXPECT_FALSE(out.contains("Timeout-error"));
  EXPECT_EQ(DataFiles().size(), 2);
  EXPECT_EQ(Faults(), "");
}

// A logger whose ring fills its whole memory (no page reserved above it) is read all the
// same: its identity text and comment count as empty, and the new texts its options ask
// for are refused with a line each, not written past the end of its memory.
TEST_F(Collect, ALoggerWithoutTextPagesIsReadAndItsNewTextsAreRefused) {
  {
    RegistryKey dev(QString(kRegisteredDevicesKey) + "\\40123");
    dev.WriteFlag("WriteConfig", true);
    dev.WriteFlag("WriteText", true);
    dev.WriteFlag("NewID", true);
    dev.WriteString("ID", "Renamed well");
    dev.WriteFlag("NewComment", true);
    dev.WriteString("Comment", "Checked");
  }
  ASSERT_TRUE(sim.Start({"--port", "1", "--echo", "--reserved-pages", "0", "--records", "3",
                         "--truth", truth_.toStdString()},
                        ports_.toStdString()));
  StartCollect({"--direct", "--data", data_});
  const int code = Finish(60000);
  sim.Stop();
  const QString out = Output();
  ASSERT_EQ(code, 0) << out.toStdString();
  for (const char* line :
       {"No pages reserved for identity text and comment; both taken as empty "
        "(LastPage 2047, ReservedPages 0)",
        "New ID not written: the device has no page for it (LastPage 2047, ReservedPages 0)",
        "New Comment not written: the device has no page for it (LastPage 2047, ReservedPages 0)"}) {
    EXPECT_TRUE(out.contains(line)) << line;
  }
  const QJsonObject truth = ReadTruth(truth_);
  EXPECT_TRUE(truth.value("received").toObject().value("pageWrites").toArray().isEmpty());
  const QStringList originals = DataFiles().filter(QRegularExpression("^((?!_BAK).)*$"));
  ASSERT_EQ(originals.size(), 1) << out.toStdString();
  const QJsonObject dump = DumpIdc(data_ + "/40123/" + originals[0]);
  EXPECT_EQ(dump.value("IdentityText").toString(), "");
  const QJsonObject newest = truth.value("records").toArray().first().toObject();
  EXPECT_EQ(CompareWithTruth(dump, newest), "");
  // The texts go with the configuration box ticked, here without a configuration file.
  EXPECT_EQ(Faults({"No pages reserved", "New ID not written", "New Comment not written",
                    "Configuration file not accepted"}),
            "");
}

TEST_F(Collect, APortThatCannotBeOpenedEndsWithExitThree) {
  QFile::link(Root() + "/no-such-device", ports_ + "/com7");
  StartCollect({"--port", "7", "--data", data_});
  const int code = Finish(20000);
  EXPECT_EQ(code, 3) << Output().toStdString();
  EXPECT_TRUE(Output().contains("ERROR: Comport Nr.7 not available !"));
  EXPECT_TRUE(Output().contains("Cancelled !"));
  EXPECT_EQ(Faults({"ERROR: Comport Nr.7 not available !", "varnel-collect: COM7 "}), "");
}

TEST_F(Collect, ABadCommandLineEndsWithExitTwo) {
  StartCollect({"--port", "x"});
  EXPECT_EQ(Finish(10000), 2);
  StartCollect({"--help"});
  EXPECT_EQ(Finish(10000), 0);
}

}  // namespace
}  // namespace varnel
