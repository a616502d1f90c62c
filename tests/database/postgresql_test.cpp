// The database beside the files on a real PostgreSQL server of the test's own (one for the
// whole program): the store's key on this engine, and varnel-collect against the simulator
// writing into it -- call after call, with the server gone for a while, three at once.
#include <QDir>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <map>
#include <cstdlib>
#include <memory>

#include "e2e_checks.h"
#include "files/idc_reader.h"
#include "lang/lang.h"
#include "lang/text_ids.h"
#include "logic_fixture.h"
#include "pg_server.h"
#include "store_checks.h"
#include "store_core.h"
#include "database/contact_store.h"
#include "database/database_sink.h"
#include "database/sql_connection.h"
#include "files/idc_blocks.h"
#include "files/idc_format.h"
#include "database/database_url.h"
#include "database/measurement_store.h"
#include "database/outbox.h"
#include "tests/support/child_process.h"
#include "tests/support/sim_process.h"

namespace varnel {
namespace {

using namespace test;

// The server, or the reason the test cannot run. Without PostgreSQL installed the tests
// fail (CI installs it), unless VARNEL_NO_POSTGRESQL is set.
PgServer* Server(std::string* why, bool* skip) {
  bool missing = false;
  PgServer* s = SharedPgServer(why, &missing);
  *skip = !s && missing && std::getenv("VARNEL_NO_POSTGRESQL");
  return s;
}

#define REQUIRE_SERVER(server)                           \
  std::string why_;                                      \
  bool skip_ = false;                                    \
  PgServer* server = Server(&why_, &skip_);              \
  if (skip_) { GTEST_SKIP() << why_; }                   \
  ASSERT_NE(server, nullptr) << why_;                    \
  if (!server->Running()) { ASSERT_TRUE(server->Resume()); }

TEST(PostgreSQL, StoreKeepsEveryEntryOnce) {
  REQUIRE_SERVER(server);
  const QString url = server->NewDatabase("t_store", &why_);
  ASSERT_FALSE(url.isEmpty()) << why_;
  CheckEveryEntryOnce(url);
}

TEST(PostgreSQL, TablesOfTheLastVersionAreTakenOver) {
  REQUIRE_SERVER(server);
  const QString url = server->NewDatabase("t_migrate", &why_);
  ASSERT_FALSE(url.isEmpty()) << why_;
  QTemporaryDir dir;
  CheckTablesOfTheLastVersionAreTakenOver(url, dir.path());
}

// A table that somebody keeps locked: the sink's write runs into the lock time-out, says
// "not answering" once, keeps what it could not write, and sends it once the lock is gone.
TEST(PostgreSQL, ALockedTableIsSaidOnceAsNotAnsweringAndItsRowsFollowWhenItIsFree) {
  REQUIRE_SERVER(server);
  const QString url = server->NewDatabase("t_locked", &why_);
  ASSERT_FALSE(url.isEmpty()) << why_;
  const DatabaseTarget target = *ParseDatabaseUrl(url, nullptr);
  ASSERT_EQ(MeasurementStore(target).Open(), "");
  ASSERT_EQ(OpenSqlConnection("locker", target), "");
  QSqlDatabase locker = QSqlDatabase::database("locker");
  ASSERT_TRUE(QSqlQuery(locker).exec("BEGIN"));
  ASSERT_TRUE(QSqlQuery(locker).exec("LOCK TABLE measurements IN ACCESS EXCLUSIVE MODE"));

  QTemporaryDir dir;
  std::vector<std::pair<DatabaseEvent, std::string>> events;
  DatabaseSink sink(nullptr, [&url] { return url; },
                    [&](DatabaseEvent e, const std::string& d) { events.push_back({e, d}); },
                    dir.path());
  const IdcFile file = SampleRecordFile(40);
  const QString path = dir.path() + "/a.IDC";
  IdcLoggerInfo logger;
  logger.SerialNumber = file.SerialNumber;
  logger.ChannelMask = file.ChannelMask;
  WriteIdcFile(path.toStdString(), kIdcVersionText, logger, {file.StartTime, 0}, file.Measurements);
  ContactFigures contact;
  contact.Time = 1733000000;
  contact.SerialNumber = file.SerialNumber;
  contact.Result = ContactResult::Complete;
  contact.Files = {path.toStdString()};
  sink.ContactEnded(contact);
  ASSERT_TRUE(sink.WaitIdle(60000));
  QCoreApplication::processEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].first, DatabaseEvent::NotAnswering) << events[0].second;
  EXPECT_NE(events[0].second.find("55P03"), std::string::npos) << events[0].second;

  ASSERT_TRUE(QSqlQuery(locker).exec("ROLLBACK"));
  locker = QSqlDatabase();
  CloseSqlConnection("locker");
  sink.CollectingStarted();
  ASSERT_TRUE(sink.WaitIdle(60000));
  QCoreApplication::processEvents();
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].first, DatabaseEvent::CaughtUp);
  EXPECT_EQ(CompareWithFile(url, file), "");
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM contacts").toInt(), 1);
}

class CollectIntoDatabase : public TempStore {
 protected:
  void SetUp() override {
    TempStore::SetUp();
    ports_ = Root() + "/ports";
    data_ = Root() + "/data files";
    QDir().mkpath(ports_);
  }
  void TearDown() override {
    for (auto& c : collectors_) {
      if (c->Running()) c->Stop(SIGKILL, 2000);
    }
    TempStore::TearDown();
  }
  testsupport::ChildProcess& StartCollect(const QStringList& args) {
    std::vector<std::string> argv;
    for (const QString& a : args) argv.push_back(a.toStdString());
    collectors_.push_back(std::make_unique<testsupport::ChildProcess>());
    auto& c = *collectors_.back();
    testsupport::ChildProcess::Environment env = {
        {"XDG_CONFIG_HOME", (Root() + "/config").toStdString()},
        {"XDG_DATA_HOME", (Root() + "/data").toStdString()},
        {"VARNEL_PORTS", ports_.toStdString()}};
    env.insert(env.end(), env_.begin(), env_.end());
    EXPECT_TRUE(c.Start(ProgramIn(VARNEL_COLLECT_PATH, ProgramFolder()).toStdString(), argv, env))
        << c.Error();
    return c;
  }
  // The data files of a logger (without their backups), oldest first, decoded.
  std::vector<IdcFile> Files(int serial) const {
    std::vector<IdcFile> files;
    const QDir dir(data_ + "/" + QString::number(serial));
    for (const QString& name : dir.entryList({"*.IDC"}, QDir::Files, QDir::Name)) {
      if (!name.contains("_BAK")) files.push_back(ReadIdcFile(dir.filePath(name).toStdString()));
    }
    return files;
  }
  static int Count(const std::string& text, const std::string& what) {
    int n = 0;
    for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  // Outboxes of the collectors' user (XDG_DATA_HOME below Root()).
  int Waiting(const QString& url) const {
    return Outbox(Outbox::PathFor(*ParseDatabaseUrl(url, nullptr), Root() + "/data/varnel"))
        .Waiting();
  }
  // The tables as a collector makes them, before any collector ran.
  static std::string MakeTables(const QString& url) {
    const DatabaseTarget target = *ParseDatabaseUrl(url, nullptr);
    std::string error = MeasurementStore(target).Open();
    if (error.empty()) error = ContactStore(target, true).Open(false);
    return error;
  }

  QString ports_, data_;
  std::vector<std::unique_ptr<testsupport::ChildProcess>> collectors_;
  std::map<std::string, std::string> env_;
};

TEST_F(CollectIntoDatabase, CallsPutEveryEntryOfTheirFilesInOnceAndTheContactsBeside) {
  REQUIRE_SERVER(server);
  const QString url = server->NewDatabase("t_calls", &why_);
  ASSERT_FALSE(url.isEmpty()) << why_;
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "3", "--calls", "2",
                         "--call-after", "0.3", "--hangup-after", "0.3"},
                        ports_.toStdString()));
  auto& collect = StartCollect({"--calls", "2", "--data", data_, "--database", url});
  ASSERT_EQ(collect.Wait(120000), 0) << collect.Output();
  // Two calls read the same memory: two files, one set of rows equal to either.
  const std::vector<IdcFile> files = Files(40123);
  ASSERT_EQ(files.size(), 2u);
  ASSERT_GT(files[0].Measurements.size(), 100u);
  EXPECT_EQ(files[0].Measurements, files[1].Measurements);
  EXPECT_EQ(CompareWithFile(url, files[0]), "");
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM records").toInt(), 2);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM contacts WHERE serial = 40123 AND "
                       "result = 'complete'").toInt(), 2);
  // Each says where it was taken, and its file as the data folder holds it.
  const auto where = Rows(url, "SELECT collector, port, file_names FROM contacts", &why_);
  ASSERT_EQ(where.size(), 2u) << why_;
  for (const auto& row : where) {
    EXPECT_EQ(row[0].toString(), QSysInfo::machineHostName());
    EXPECT_EQ(row[1].toInt(), 1);
    EXPECT_TRUE(QFileInfo::exists(data_ + "/" + row[2].toString())) << row[2].toString().toStdString();
  }
  EXPECT_EQ(Count(collect.Output(), LoadText(kTextDatabaseUnreachable, kEnglishBase)), 0) << collect.Output();
  EXPECT_EQ(FaultLines(collect.Output()), "");
}

TEST_F(CollectIntoDatabase, AServerThatGoesAwayCostsNoFileAndItsRowsFollowWhenItIsBack) {
  REQUIRE_SERVER(server);
  const QString url = server->NewDatabase("t_away", &why_);
  ASSERT_FALSE(url.isEmpty()) << why_;
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "2", "--calls", "3",
                         "--pages-between-calls", "3", "--call-after", "0.3"},
                        ports_.toStdString()));
  auto& collect = StartCollect({"--calls", "3", "--data", data_, "--database", url});
  // The server stops during the first call and is back for the third.
  ASSERT_TRUE(collect.WaitForOutput("SN 40123", 60000)) << collect.Output();
  ASSERT_TRUE(server->Stop());
  const bool secondDone = collect.WaitForOutput("# call 2 done", 90000);
  ASSERT_TRUE(server->Resume());
  ASSERT_TRUE(secondDone) << collect.Output();
  ASSERT_EQ(collect.Wait(90000), 0) << collect.Output();

  const std::string out = collect.Output();
  // Said once, not at every call.
  EXPECT_EQ(Count(out, LoadText(kTextDatabaseUnreachable, kEnglishBase)), 1) << out;
  EXPECT_EQ(Count(out, LoadText(kTextDatabaseCaughtUp, kEnglishBase)), 1) << out;
  QFile log(ProgramFolder() + "/varnel-collect.LOG");
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(Count(log.readAll().toStdString(), LoadText(kTextDatabaseUnreachable, kEnglishBase)), 1);
  const std::vector<IdcFile> files = Files(40123);
  ASSERT_EQ(files.size(), 3u);
  // The logger recorded between calls: the last file holds every entry of the earlier.
  EXPECT_GT(files[2].Measurements.size(), files[0].Measurements.size());
  EXPECT_EQ(CompareWithFile(url, files[2]), "");
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM records").toInt(), 3);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM contacts").toInt(), 3);
  EXPECT_EQ(Waiting(url), 0);
}

TEST_F(CollectIntoDatabase, ThreeCollectorsWriteIntoOneDatabaseAtOnce) {
  REQUIRE_SERVER(server);
  const QString url = server->NewDatabase("t_three", &why_);
  ASSERT_FALSE(url.isEmpty()) << why_;
  SimProcess sims[3];
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(sims[i].Start({"--port", std::to_string(i + 1), "--modem", "--records", "2",
                               "--calls", "1", "--serial", std::to_string(40001 + i),
                               "--call-after", "0.3", "--hangup-after", "0.3"},
                              ports_.toStdString()));
  }
  // Each on its own port (and program folder, for its log); the tables are made by
  // whichever comes first.
  std::vector<testsupport::ChildProcess*> running;
  for (int i = 0; i < 3; ++i) {
    running.push_back(&StartCollect({"--port", QString::number(i + 1), "--calls", "1", "--data",
                                     data_, "--database", url}));
  }
  for (auto* c : running) ASSERT_EQ(c->Wait(120000), 0) << c->Output();
  for (int i = 0; i < 3; ++i) {
    const std::vector<IdcFile> files = Files(40001 + i);
    ASSERT_EQ(files.size(), 1u) << i;
    EXPECT_EQ(CompareWithFile(url, files[0]), "") << i;
  }
  EXPECT_EQ(Value(url, "SELECT COUNT(DISTINCT serial) FROM contacts").toInt(), 3);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM records").toInt(), 3);

  // The fleet's history: every logger, whichever collector took its call.
  testsupport::ChildProcess history;
  ASSERT_TRUE(history.Start(VARNEL_HISTORY_PATH, {"--csv", "--database", url.toStdString()},
                            {{"XDG_CONFIG_HOME", (Root() + "/config").toStdString()}}));
  ASSERT_EQ(history.Wait(30000), 0) << history.Output();
  for (const char* serial : {"\n40001,", "\n40002,", "\n40003,"}) {
    EXPECT_NE(history.Output().find(serial), std::string::npos) << serial << history.Output();
  }
}

TEST_F(CollectIntoDatabase, AServerWithAFullDiskForFourCallsEndsWithAllFiveCallsInIt) {
  REQUIRE_SERVER(server);
  const QString url = server->NewDatabase("t_full", &why_);
  ASSERT_FALSE(url.isEmpty()) << why_;
  ASSERT_EQ(MakeTables(url), "");
  // The server's own answer to a full disk, for every write until the test says otherwise.
  std::string error;
  for (const char* sql :
       {"CREATE TABLE fault (on_ BOOLEAN)", "INSERT INTO fault VALUES (true)",
        "CREATE FUNCTION full_disk() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
        "IF (SELECT on_ FROM fault) THEN RAISE EXCEPTION 'could not extend file: No space left "
        "on device' USING ERRCODE = 'disk_full'; END IF; RETURN NULL; END $$",
        "CREATE TRIGGER full_m BEFORE INSERT ON measurements EXECUTE FUNCTION full_disk()",
        "CREATE TRIGGER full_c BEFORE INSERT ON contacts EXECUTE FUNCTION full_disk()"}) {
    Rows(url, sql, &error);
    ASSERT_EQ(error, "") << sql;
  }
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "1", "--calls", "5",
                         "--pages-between-calls", "1", "--call-after", "0.3",
                         "--hangup-after", "0.3"},
                        ports_.toStdString()));
  auto& collect = StartCollect({"--calls", "5", "--data", data_, "--database", url});
  ASSERT_TRUE(collect.WaitForOutput("# call 4 done", 150000)) << collect.Output();
  EXPECT_GE(Waiting(url), 8);  // four files, four contacts (and the fifth call's, if it began)
  Rows(url, "UPDATE fault SET on_ = false", &error);
  ASSERT_EQ(error, "");
  ASSERT_EQ(collect.Wait(90000), 0) << collect.Output();

  // The logger recorded between calls: the last file holds every entry of the earlier.
  const std::vector<IdcFile> files = Files(40123);
  ASSERT_EQ(files.size(), 5u);
  EXPECT_EQ(CompareWithFile(url, files.back()), "");
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM records").toInt(), 5);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM contacts WHERE result = 'complete'").toInt(), 5);
  EXPECT_EQ(Waiting(url), 0);
  const std::string out = collect.Output();
  EXPECT_EQ(Count(out, LoadText(kTextDatabaseUnreachable, kEnglishBase)), 1) << out;
  EXPECT_NE(out.find("SQLSTATE 53100"), std::string::npos) << out;
  EXPECT_EQ(Count(out, LoadText(kTextDatabaseSetAside, kEnglishBase)), 0) << out;
}

TEST_F(CollectIntoDatabase, ACollectorKilledBeforeTheHangUpLosesNeitherItsFileNorItsContact) {
  REQUIRE_SERVER(server);
  const QString url = server->NewDatabase("t_killed", &why_);
  ASSERT_FALSE(url.isEmpty()) << why_;
  SimProcess sim;
  // The logger holds the line long after its file is written.
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "1", "--calls", "2",
                         "--pages-between-calls", "1", "--call-after", "0.3",
                         "--hangup-after", "8"},
                        ports_.toStdString()));
  auto& first = StartCollect({"--calls", "1", "--data", data_, "--database", url});
  // The database is away while the file is written, so only the outbox has it.
  ASSERT_TRUE(first.WaitForOutput("SN 40123", 60000)) << first.Output();
  ASSERT_TRUE(server->Stop());
  ASSERT_TRUE(first.WaitForOutput(" " + LoadText(kTextCreated, kEnglishBase), 60000))
      << first.Output();
  EXPECT_EQ(first.Stop(SIGKILL, 2000), 128 + SIGKILL);
  ASSERT_TRUE(server->Resume());

  auto& second = StartCollect({"--calls", "1", "--data", data_, "--database", url});
  ASSERT_EQ(second.Wait(120000), 0) << second.Output();
  const std::vector<IdcFile> files = Files(40123);
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(CompareWithFile(url, files.back()), "");
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM records").toInt(), 2);
  // The killed collector's contact, as it was left, and the second one in full.
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM contacts WHERE result = 'stopped'").toInt(), 1);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM contacts WHERE result = 'complete'").toInt(), 1);
  EXPECT_EQ(Waiting(url), 0);
}

TEST_F(CollectIntoDatabase, FilesWrittenAfterTheNextCallBeganReachTheDatabaseWithTheirContact) {
  REQUIRE_SERVER(server);
  const QString url = server->NewDatabase("t_slow", &why_);
  ASSERT_FALSE(url.isEmpty()) << why_;
  SimProcess sim;
  ASSERT_TRUE(sim.Start({"--port", "1", "--modem", "--records", "1", "--calls", "3",
                         "--pages-between-calls", "1", "--call-after", "0.3",
                         "--hangup-after", "0.3", "--linger", "60"},
                        ports_.toStdString()));
  // Each block of a data file takes longer than the pause between two calls.
  env_["VARNEL_TEST_FILE_BLOCK_DELAY_MS"] = "1500";
  auto& collect = StartCollect({"--calls", "3", "--data", data_, "--database", url});
  ASSERT_EQ(collect.Wait(150000), 0) << collect.Output();
  const std::vector<IdcFile> files = Files(40123);
  ASSERT_EQ(files.size(), 3u);
  EXPECT_EQ(CompareWithFile(url, files.back()), "");
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM records").toInt(), 3);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM contacts").toInt(), 3);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM contacts WHERE files = ''").toInt(), 0);
  EXPECT_EQ(FaultLines(collect.Output()), "");
}

}  // namespace
}  // namespace varnel
