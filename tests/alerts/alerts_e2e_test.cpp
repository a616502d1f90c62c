// Alerts from the collector as a process: told once when a condition begins, once when it
// ends, never once per call, and remembered across a restart.
#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QThread>
#include <gtest/gtest.h>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <map>
#include <memory>

#include "alerts/alert_book.h"
#include "alerts/alert_service.h"
#include "common/locations.h"
#include "common/registry_store.h"
#include "database/contact_store.h"
#include "files/idc_reader.h"
#include "lang/lang.h"
#include "common/settings.h"
#include "e2e_checks.h"
#include "logic_fixture.h"
#include "tests/support/child_process.h"
#include "tests/support/json_reader.h"

namespace varnel {
namespace {

using namespace test;

// The journal's end of its native socket: the entries the collector sent, each as its fields.
class JournalEnd {
 public:
  explicit JournalEnd(const std::string& path) : fd_(socket(AF_UNIX, SOCK_DGRAM, 0)) {
    sockaddr_un at{};
    at.sun_family = AF_UNIX;
    std::strncpy(at.sun_path, path.c_str(), sizeof at.sun_path - 1);
    bound_ = bind(fd_, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;
  }
  ~JournalEnd() { close(fd_); }
  bool Bound() const { return bound_; }
  std::vector<std::map<std::string, std::string>> Entries() {
    std::vector<std::map<std::string, std::string>> entries;
    char buffer[65536];
    for (ssize_t n; (n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT)) > 0;) {
      std::map<std::string, std::string> fields;
      const std::string d(buffer, static_cast<std::size_t>(n));
      for (std::size_t at = 0; at < d.size();) {
        const std::size_t end = d.find('\n', at), eq = d.find('=', at);
        if (eq < end) {
          fields[d.substr(at, eq - at)] = d.substr(eq + 1, end - eq - 1);
          at = end + 1;
          continue;
        }
        std::uint64_t size = 0;  // NAME, newline, 64-bit little-endian length, value
        for (int i = 7; i >= 0; --i) size = size << 8 | static_cast<unsigned char>(d[end + 1 + i]);
        fields[d.substr(at, end - at)] = d.substr(end + 9, size);
        at = end + 9 + size + 1;
      }
      entries.push_back(fields);
    }
    return entries;
  }

 private:
  int fd_;
  bool bound_ = false;
};

// The collector's own trouble, at the checks of a running collector: told once it has lasted
// its time (10 minutes for the modem, an hour for the database), not again at later checks,
// and its end told by a collector started afresh.
TEST(CollectorAlerts, ToldOnceTheyLastedTheirTimeAndEndedAcrossARestart) {
  TempHome home;
  const std::string socket = (home.Root() + "/journal.sock").toStdString();
  JournalEnd journal(socket);
  ASSERT_TRUE(journal.Bound());
  qputenv("VARNEL_JOURNAL_SOCKET", QByteArray::fromStdString(socket));
  AlertSettings settings;  // the system's log only: it is told at once
  const QString book = home.Root() + "/alerts.json";
  const auto text = [](int id) { return LoadText(id, kEnglishBase); };
  const auto told = [&journal] {
    std::vector<std::string> lines;
    for (auto e : journal.Entries()) {
      lines.push_back(e["VARNEL_ALERT_EVENT"] + " " + e["VARNEL_ALERT_KEY"]);
    }
    return lines;
  };
  const std::int64_t t = 1'800'000'000;
  CollectorHealth health;
  health.ModemGoneSince = t;
  health.DatabaseDownSince = t;
  {
    AlertChannels channels(settings, text, [](const std::string&) {});
    AlertService alerts(channels, book, nullptr, {}, text);
    alerts.Check(t + kModemAlertSeconds - 1, health);
    EXPECT_EQ(told(), std::vector<std::string>{});
    alerts.Check(t + kModemAlertSeconds, health);
    alerts.Check(t + kModemAlertSeconds + 60, health);
    EXPECT_EQ(told(), std::vector<std::string>{"raised collector/modem gone"});
    health.ModemGoneSince.reset();
    alerts.Check(t + kDatabaseAlertSeconds, health);
    EXPECT_EQ(told(), (std::vector<std::string>{"cleared collector/modem gone",
                                                "raised collector/database"}));
  }
  AlertChannels channels(settings, text, [](const std::string&) {});
  AlertService alerts(channels, book, nullptr, {}, text);
  alerts.Check(t + kDatabaseAlertSeconds + 60, health);
  EXPECT_EQ(told(), std::vector<std::string>{});  // still open, known from the book
  health.DatabaseDownSince.reset();
  alerts.Check(t + kDatabaseAlertSeconds + 120, health);
  EXPECT_EQ(told(), std::vector<std::string>{"cleared collector/database"});
  qunsetenv("VARNEL_JOURNAL_SOCKET");
}

class Alerts : public TempStore {
 protected:
  void SetUp() override {
    TempStore::SetUp();
    ports_ = Root() + "/ports";
    QDir().mkpath(ports_);
    told_ = Root() + "/told.txt";
    // The operator's own command: one line per alert, from its arguments and environment.
    const QString hook = Root() + "/tell.sh";
    QFile script(hook);
    ASSERT_TRUE(script.open(QIODevice::WriteOnly));
    script.write(("#!/bin/sh\necho \"$1 $2 $VARNEL_ALERT_SERIAL\" >>'" + told_ + "'\n").toUtf8());
    script.close();
    script.setPermissions(script.permissions() | QFileDevice::ExeOwner);
    // A real mail server on this machine, no login (an empty netrc of its own).
    mails_ = Root() + "/mails";
    QDir().mkpath(mails_);
    ASSERT_TRUE(smtp_.Start("/usr/bin/python3",
                            {SMTP_SERVER_SCRIPT, "--dir", mails_.toStdString(), "--mode", "plain"}));
    ASSERT_TRUE(smtp_.WaitForOutput("ready", 20000)) << smtp_.Output();
    const std::string said = smtp_.Output();
    port_ = std::atoi(said.c_str() + said.find("port ") + 5);
    const int port = port_;
    QFile(Root() + "/netrc").open(QIODevice::WriteOnly);
    RegistryKey notify(QString::fromLatin1(kSettingsKey) + "Notify");
    notify.WriteString("Command", hook);
    notify.WriteFlag("SystemLog", false);
    notify.WriteString("Mail", QString("smtp://127.0.0.1:%1").arg(port));
    notify.WriteString("To", "ops@example.org, duty@example.org");
    notify.WriteString("MailNetrc", Root() + "/netrc");
    notify.Sync();
  }
  void TearDown() override {
    smtp_.Stop(SIGTERM, 5000);
    TempStore::TearDown();
  }
  // The mails the server took, as it decoded them (subject, then body), oldest first.
  std::vector<std::pair<std::string, std::string>> Mails(std::size_t expected) const {
    std::vector<std::pair<std::string, std::string>> mails;
    for (int i = 0; i < 100; ++i) {
      mails.clear();
      for (int n = 1; QFile::exists(QString("%1/%2.json").arg(mails_).arg(n)); ++n) {
        const testsupport::Json m = testsupport::Json::Parse(
            testsupport::ReadWholeFile(QString("%1/%2.json").arg(mails_).arg(n).toStdString()));
        mails.emplace_back(m["subject"].AsString(), m["body"].AsString());
      }
      if (mails.size() >= expected) break;
      QThread::msleep(100);
    }
    return mails;
  }
  // `calls` calls of logger 40123 with these simulator options, of which the collector
  // counts `counted` (a call dropped before its readout is not one); the collector's output.
  std::string RunCalls(const std::vector<std::string>& options, int calls, int counted = 0) {
    SimProcess sim;
    std::vector<std::string> args = {"--port", "1", "--modem", "--records", "1", "--calls",
                                     std::to_string(calls), "--call-after", "0.3",
                                     "--hangup-after", "0.3"};
    args.insert(args.end(), options.begin(), options.end());
    EXPECT_TRUE(sim.Start(args, ports_.toStdString()));
    testsupport::ChildProcess collect;
    EXPECT_TRUE(collect.Start(ProgramIn(VARNEL_COLLECT_PATH, ProgramFolder()).toStdString(),
                              {"--port", "1", "--calls", std::to_string(counted ? counted : calls),
                               "--data", (Root() + "/files").toStdString()},
                              {{"XDG_CONFIG_HOME", (Root() + "/config").toStdString()},
                               {"XDG_DATA_HOME", (Root() + "/data").toStdString()},
                               {"VARNEL_JOURNAL_SOCKET", Journal()},
                               {"VARNEL_PORTS", ports_.toStdString()}}))
        << collect.Error();
    const int code = collect.Wait(120000);
    if (code == -1) collect.Stop(SIGKILL, 2000);
    EXPECT_EQ(code, 0) << collect.Output();
    return collect.Output();
  }
  // varnel-collect --notify-test with this test's settings: its exit status and output.
  std::pair<int, std::string> NotifyTest() const {
    testsupport::ChildProcess test;
    EXPECT_TRUE(test.Start(ProgramIn(VARNEL_COLLECT_PATH, ProgramFolder()).toStdString(),
                           {"--notify-test"},
                           {{"XDG_CONFIG_HOME", (Root() + "/config").toStdString()},
                            {"XDG_DATA_HOME", (Root() + "/data").toStdString()}}));
    const int status = test.Wait(60000);
    return {status, test.Output()};
  }
  // What the command was told so far (it runs on its own: given a moment to write).
  std::vector<std::string> Told(std::size_t expected) const {
    std::vector<std::string> lines;
    for (int i = 0; i < 50; ++i) {
      lines.clear();
      QFile f(told_);
      if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& l : f.readAll().split('\n')) {
          if (!l.isEmpty()) lines.push_back(l.toStdString());
        }
      }
      if (lines.size() >= expected) break;
      QThread::msleep(100);
    }
    return lines;
  }

  std::string Journal() const { return (Root() + "/journal.sock").toStdString(); }

  QString ports_, told_, mails_;
  testsupport::ChildProcess smtp_;
  int port_ = 0;
};

TEST_F(Alerts, ALowBatteryIsToldOnceAndItsEndOnceAcrossARestart) {
  RegistryKey(QString::fromLatin1(kSettingsKey) + "Notify").WriteFlag("SystemLog", true);
  JournalEnd journal(Journal());
  ASSERT_TRUE(journal.Bound()) << std::strerror(errno);
  // Two calls at 10 %: one alert.
  std::string out = RunCalls({"--battery", "10"}, 2);
  EXPECT_EQ(FaultLines(out), "");
  EXPECT_EQ(Told(1), (std::vector<std::string>{"raised 40123/battery low 40123"}));
  auto mails = Mails(1);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].first, "Varnel alert: 40123 Pump station 4: battery low") << mails[0].second;
  EXPECT_NE(mails[0].second.find("battery 10 %"), std::string::npos) << mails[0].second;
  const auto open = ReadOpenAlerts(Root() + "/data/varnel/alerts.json");
  ASSERT_EQ(open.count("40123/battery low"), 1u);
  EXPECT_EQ(open.at("40123/battery low").Details, "battery 10 %");
  // The battery changed; a collector started afresh knows the alert and says it is over.
  out = RunCalls({"--battery", "87"}, 1);
  EXPECT_EQ(FaultLines(out), "");
  EXPECT_EQ(Told(2), (std::vector<std::string>{"raised 40123/battery low 40123",
                                               "cleared 40123/battery low 40123"}));
  EXPECT_TRUE(ReadOpenAlerts(Root() + "/data/varnel/alerts.json").empty());
  mails = Mails(2);
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[1].first, "Varnel, cleared: 40123 Pump station 4: battery low");
  // The journal had the same two, at warning and notice, with fields a rule can match.
  const auto entries = journal.Entries();
  ASSERT_EQ(entries.size(), 2u);
  for (int i = 0; i < 2; ++i) {
    auto e = entries[i];
    EXPECT_EQ(e["MESSAGE"], mails[i].first);
    EXPECT_EQ(e["VARNEL_BODY"], mails[i].second);  // many lines: the protocol's long form
    EXPECT_EQ(e["PRIORITY"], i == 0 ? "4" : "5");
    EXPECT_EQ(e["VARNEL_ALERT_EVENT"], i == 0 ? "raised" : "cleared");
    EXPECT_EQ(e["VARNEL_ALERT_KEY"], "40123/battery low");
    EXPECT_EQ(e["VARNEL_ALERT_SERIAL"], "40123");
    EXPECT_EQ(e["VARNEL_ALERT_DETAILS"], "battery 10 %");
    EXPECT_EQ(e["SYSLOG_IDENTIFIER"], "varnel");
  }
}

// A call the line dropped halfway: one alert, told again only when a later call went well.
TEST_F(Alerts, ADroppedCallIsToldOnceAndItsEndOnce) {
  EXPECT_EQ(FaultLines(RunCalls({}, 1)), "");  // the logger as the history knows it
  const std::string out = RunCalls({"--hangup-after-pages", "2"}, 3, 2);
  EXPECT_EQ(FaultLines(out), "");  // a dropped call is no fault of the collector's
  // Only the call's own alert (the logger's clock, never set by the dropped call, has its own).
  const auto only = [](auto all, const std::string& needle, auto text) {
    decltype(all) mine;
    for (const auto& one : all) {
      if (text(one).find(needle) != std::string::npos) mine.push_back(one);
    }
    return mine;
  };
  EXPECT_EQ(only(Told(4), "/call ", [](const std::string& l) { return l; }),
            (std::vector<std::string>{"raised 40123/call 40123", "cleared 40123/call 40123"}));
  const auto mails = only(Mails(4), ": dropped", [](const auto& m) { return m.first; });
  ASSERT_EQ(mails.size(), 2u) << out;
  // Dropped before the logger told its identity: named as the history knows it.
  EXPECT_EQ(mails[0].first, "Varnel alert: 40123 Pump station 4: dropped");
  EXPECT_EQ(mails[1].first, "Varnel, cleared: 40123 Pump station 4: dropped");
}

// A collector that keeps running, with no call coming: the logger that used to call every
// day and stopped five days ago is reported overdue, and the day's digest (hour 0: due at
// once) names it; a restart the same day sends no second digest.
TEST_F(Alerts, ARunningCollectorReportsASilentLoggerAndSendsTheDigestOnce) {
  {
    ContactStore history(DefaultHistoryPath());
    ASSERT_EQ(history.Open(), "");
    const std::int64_t day = 86400, now = QDateTime::currentSecsSinceEpoch();
    for (int d = 9; d >= 5; --d) {
      ContactFigures c;
      c.Time = now - d * day;
      c.SerialNumber = 40999;
      c.IdentityText = "Weir 2";
      c.Battery = 80;
      c.Result = ContactResult::Complete;
      ASSERT_EQ(history.Add(c), "");
    }
  }
  RegistryKey(QString::fromLatin1(kSettingsKey) + "Notify").WriteInt("DigestHour", 0);
  // Runs until `mails` mails are there, then `seconds` more.
  const auto runQuietly = [&](std::size_t mails, int seconds) {
    SimProcess sim;  // a modem whose logger does not call within the test
    EXPECT_TRUE(sim.Start({"--port", "1", "--modem", "--call-after", "3600"}, ports_.toStdString()));
    testsupport::ChildProcess collect;
    EXPECT_TRUE(collect.Start(ProgramIn(VARNEL_COLLECT_PATH, ProgramFolder()).toStdString(),
                              {"--port", "1", "--data", (Root() + "/files").toStdString()},
                              {{"XDG_CONFIG_HOME", (Root() + "/config").toStdString()},
                               {"XDG_DATA_HOME", (Root() + "/data").toStdString()},
                               {"VARNEL_PORTS", ports_.toStdString()},
                               {"VARNEL_TEST_ALERT_CHECK_MS", "300"}}));
    Mails(mails);
    QThread::msleep(static_cast<unsigned long>(seconds) * 1000);
    EXPECT_EQ(collect.Stop(SIGTERM, 30000), 0) << collect.Output();
    return collect.Output();
  };
  std::string out = runQuietly(2, 1);
  EXPECT_EQ(FaultLines(out), "");
  auto mails = Mails(2);
  ASSERT_EQ(mails.size(), 2u);
  EXPECT_EQ(mails[0].first, "Varnel alert: 40999 Weir 2: contact overdue") << mails[0].second;
  EXPECT_NE(mails[0].second.find("usually every 1.0 days"), std::string::npos) << mails[0].second;
  EXPECT_EQ(mails[1].first.rfind("Varnel digest: ", 0), 0u) << mails[1].first;
  const std::string& digest = mails[1].second;
  EXPECT_NE(digest.find("Open alerts (1):\n  40999 Weir 2: contact overdue"), std::string::npos)
      << digest;
  EXPECT_NE(digest.find("Loggers not heard from for a day or more (1):\n  40999 Weir 2: Since"),
            std::string::npos) << digest;
  EXPECT_EQ(Told(1), (std::vector<std::string>{"raised 40999/contact overdue 40999"}));

  out = runQuietly(0, 3);
  EXPECT_EQ(FaultLines(out), "");
  EXPECT_EQ(Mails(0).size(), 2u);
}

// What an operator runs after setting up the alerts (and what the configuration dialog's
// button does): one test alert through each channel, each waited for and reported.
TEST_F(Alerts, NotifyTestSendsThroughEveryChannelAndSaysWhatEachDid) {
  const auto [status, said] = NotifyTest();
  EXPECT_EQ(status, 0) << said;
  EXPECT_EQ(said, "system log: off ([Notify] SystemLog=0)\ncommand: exit 0\n"
                  "mail: sent to ops@example.org, duty@example.org\n");
  EXPECT_EQ(Told(1), (std::vector<std::string>{"raised collector/test 0"}));
  const auto mails = Mails(1);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_NE(mails[0].first.find("Test alert"), std::string::npos) << mails[0].first;

  // In Dutch, with a command that fails: said in the operator's language, and the exit
  // status still tells the failure.
  RegistryKey(QString::fromLatin1(kSettingsKey)).WriteInt("Language", LanguageBaseOfIndex(1));
  RegistryKey(QString::fromLatin1(kSettingsKey) + "Notify").WriteString("Command", "false");
  const auto [dutchStatus, dutch] = NotifyTest();
  EXPECT_NE(dutchStatus, 0) << dutch;
  EXPECT_EQ(dutch, "systeemlogboek: uit ([Notify] SystemLog=0)\n"
                   "mislukt: opdracht: false: exit 1\n"
                   "e-mail: verstuurd aan ops@example.org, duty@example.org\n");
}

// A pressure limit: the call's file holds P1 readings below it, and the one alert names the
// first of them and the lowest, as the file has them.
TEST_F(Alerts, PressureOutsideItsLimitIsToldWithTheFirstAndTheExtremeReading) {
  {
    RegistryKey limits(QString::fromLatin1(kSettingsKey) + "Notify\\Limits\\40123");
    limits.WriteString("P1Low", "1000000");
    limits.WriteString("P2High", "not a number");  // no limit
  }
  const std::string out = RunCalls({}, 1);
  EXPECT_EQ(FaultLines(out), "");
  EXPECT_EQ(Told(1), (std::vector<std::string>{"raised 40123/P1 low 40123"}));
  const auto mails = Mails(1);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].first, "Varnel alert: 40123 Pump station 4: P1: pressure below its lower limit");

  // The lowest P1 reading of the file, as its channel entry scales it.
  QString file;
  for (QDirIterator it(Root() + "/files", {"*.idc"}, QDir::Files, QDirIterator::Subdirectories);
       it.hasNext();) {
    const QString f = it.next();
    if (!f.contains("_BAK")) file = f;
  }
  ASSERT_FALSE(file.isEmpty()) << out;
  const IdcFile idc = ReadIdcFile(file.toStdString());
  double lowest = 1e300;
  for (const IdcEntry& e : idc.Measurements) {
    if (e.Kind == 0) lowest = std::min(lowest, e.Value * double(idc.Channels[0].Factor) + idc.Channels[0].Offset);
  }
  char figure[32];
  std::snprintf(figure, sizeof figure, "%g", lowest);
  EXPECT_NE(mails[0].second.find(", lowest " + std::string(figure) + " bar at "), std::string::npos)
      << mails[0].second;
  EXPECT_NE(mails[0].second.find("(limit 1e+06 bar)"), std::string::npos) << mails[0].second;
}

// The mail server is down: the calls go on as ever (the command is told at once), the mail
// waits, is kept when the collector ends, and goes out at its next start once the server is
// back.
TEST_F(Alerts, ADeadMailServerCostsNoCallAndItsMailGoesOutWhenItIsBack) {
  smtp_.Stop(SIGTERM, 5000);
  const std::string out = RunCalls({"--battery", "10"}, 2);
  EXPECT_EQ(FaultLines(out, {"Alert not sent (mail, attempt 1): smtp://127.0.0.1:"}), "");
  EXPECT_NE(out.find("connection refused; again in 30 s"), std::string::npos) << out;
  EXPECT_EQ(Told(1), (std::vector<std::string>{"raised 40123/battery low 40123"}));
  EXPECT_TRUE(QFile::exists(Root() + "/data/varnel/alerts-mail.json"));

  testsupport::ChildProcess server;
  ASSERT_TRUE(server.Start("/usr/bin/python3", {SMTP_SERVER_SCRIPT, "--dir", mails_.toStdString(),
                                                "--mode", "plain", "--port",
                                                std::to_string(port_)}));
  ASSERT_TRUE(server.WaitForOutput("ready", 20000)) << server.Output();
  EXPECT_EQ(FaultLines(RunCalls({"--battery", "10"}, 1)), "");
  const auto mails = Mails(1);
  ASSERT_EQ(mails.size(), 1u);
  EXPECT_EQ(mails[0].first, "Varnel alert: 40123 Pump station 4: battery low");
  EXPECT_FALSE(QFile::exists(Root() + "/data/varnel/alerts-mail.json"));
  server.Stop(SIGTERM, 5000);
}

}  // namespace
}  // namespace varnel
