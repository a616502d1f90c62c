// A fleet's day: loggers spread over a window call the modems, varnel-collect serves each
// modem, and the figures say whether every logger was collected once, how much of the wall
// time the collector added to what the line and the fleet's own pauses take, and what each
// collector costs in processor and memory.
//
//   (a) --loggers N (60) loggers call one modem within --window S (3600) seconds, at full line
//       speed: one vtq-sim --fleet and one varnel-collect.
//   (b) --fleet-loggers N (500) loggers on --modems M (8) modems, each modem a vtq-sim --fleet
//       with serial numbers of its own and a collector on its port, all writing into one
//       PostgreSQL server the benchmark starts. Meanwhile the server is restarted, one modem
//       is unplugged and plugged in again, and one collector is killed and started again.
//
// The line's figures come from the simulators' truth files. Line time is the sum over the
// answered calls of connect to end (the collector's reading is in it). The prescribed pauses
// are what the fleet's rules leave between calls however fast the collector: before each
// call, from the end of the last one until the line was free again (its quiet time) and the
// logger had dialled, then its rings. A dial that found the line busy while no call held it
// (the collector had just typed to the modem) counts as one that should have got through.
// The schedule's span, from its start to the end of the last call, against line time plus
// those pauses is what the collector added between calls.
//
// Usage: fleet_day_bench [--only a|b] [--loggers N] [--fleet-loggers N] [--modems M]
//                        [--window S] [--retry-pause S] [--idle S] [--keep]
#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/fleet-day/collected_check.h"
#include "bench/fleet-day/fleet_schedule.h"
#include "bench/fleet-day/modem_relay.h"
#include "bench/fleet-day/proc_figures.h"
#include "tests/database/pg_server.h"
#include "tests/support/sim_process.h"

namespace {

using namespace varnel;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct Options {
  std::string only;  // "a", "b", or empty: both
  int loggers = 60, fleetLoggers = 500, modems = 8;
  double window = 3600, retryPause = 30, idle = 10;
  bool keep = false;
};

double Since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

void Sleep(double s) { std::this_thread::sleep_for(std::chrono::milliseconds(static_cast<int>(s * 1000))); }

int CountLines(const std::string& text, const std::string& start, const std::string& holding) {
  int n = 0;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string_view line(text.data() + at, end - at);
    if (line.rfind(start, 0) == 0 && line.find(holding) != std::string_view::npos) ++n;
    at = end + 1;
  }
  return n;
}

// One modem: its simulated fleet, its collector and their folders, laid out as a service
// instance's (configuration, per-user data, data files of its own).
struct Modem {
  int port = 1;
  int loggers = 0;
  std::uint32_t serialBase = 0;
  fs::path folder;
  std::unique_ptr<testsupport::SimProcess> sim;
  std::unique_ptr<bench::ModemRelay> relay;
  std::unique_ptr<testsupport::ChildProcess> collect;
  std::string earlierOutput;  // of the collector instances that were killed
  double earlierCpu = 0;
  long long hwmKb = 0;
  bench::ProcSample last;
  double idleShare = -1;
  int doneSeen = 0;

  int CallsEnded() const { return CountLines(sim->Output(), "vtq-sim: call ", " ended, serial"); }
  int LoggersDone() const {
    return CallsEnded() + CountLines(sim->Output(), "vtq-sim: serial ", "gives up");
  }
  int CallsDone() const {
    return CountLines(earlierOutput, "# call ", " done") +
           CountLines(collect->Output(), "# call ", " done");
  }
  fs::path Data() const { return folder / "data"; }
  fs::path Truth() const { return folder / "truth.json"; }
  void Sample() {
    const bench::ProcSample s = bench::SampleProcess(collect->Pid());
    if (!s.ok) return;
    last = s;
    hwmKb = std::max(hwmKb, s.hwmKb);
  }
};

std::string CollectProgram(const fs::path& folder) {
  // A hard link of its own: the collector keeps its log beside the name it was started by.
  const fs::path own = folder / "varnel-collect";
  std::error_code ec;
  fs::create_hard_link(VARNEL_COLLECT_PATH, own, ec);
  if (ec) fs::copy_file(VARNEL_COLLECT_PATH, own, ec);
  return ec ? std::string(VARNEL_COLLECT_PATH) : own.string();
}

bool StartCollector(Modem& m, const std::string& dbUrl, double timeout, std::string* why) {
  std::vector<std::string> args = {"--port", std::to_string(m.port), "--data", m.Data().string(),
                                   "--timeout", std::to_string(static_cast<int>(timeout))};
  if (!dbUrl.empty()) args.insert(args.end(), {"--database", dbUrl});
  m.collect = std::make_unique<testsupport::ChildProcess>();
  if (!m.collect->Start(CollectProgram(m.folder), args,
                        {{"XDG_CONFIG_HOME", (m.folder / "config").string()},
                         {"XDG_DATA_HOME", (m.folder / "datahome").string()},
                         {"VARNEL_PORTS", (m.folder / "ports").string()}})) {
    *why = "cannot start varnel-collect: " + m.collect->Error();
    return false;
  }
  return true;
}

bool StartModem(Modem& m, const Options& o, bool relayed, std::string* why) {
  for (const char* sub : {"ports", "simports", "data", "datahome", "config/Halvark Drovantek"}) {
    fs::create_directories(m.folder / sub);
  }
  std::ofstream(m.folder / "config/Halvark Drovantek/Corvane.ini") << "[General]\nShow-Time=0\n";
  // Small memories keep the truth file of a big fleet small; the collector reads a
  // logger's newest record, a few pages.
  const std::vector<std::string> args = {
      "--modem", "--port", std::to_string(m.port), "--fleet", std::to_string(m.loggers),
      "--serial", std::to_string(m.serialBase), "--fleet-window", std::to_string(o.window),
      "--retry-pause", std::to_string(o.retryPause), "--ring", "1", "--ring-pause", "1",
      "--last-page", "207", "--records", "3", "--record-pages", "10", "--linger", "86400",
      "--truth", m.Truth().string()};
  m.sim = std::make_unique<testsupport::SimProcess>();
  const fs::path simPorts = m.folder / (relayed ? "simports" : "ports");
  if (!m.sim->Start(args, simPorts.string(), 30000)) {
    *why = "vtq-sim did not get ready: " + m.sim->Error() + m.sim->Output();
    return false;
  }
  if (relayed) {
    m.relay = std::make_unique<bench::ModemRelay>();
    const std::string com = "com" + std::to_string(m.port);
    if (!m.relay->Start((simPorts / com).string(), (m.folder / "ports" / com).string(), why)) {
      return false;
    }
  }
  return true;
}

struct Faults {
  bool enabled = false;
  bench::ProcSample killedAt;
  std::vector<std::string> log;
  int stage = 0;  // 0 none yet, 1 database restarted, 2 modem unplugged, 3 back, 4 killed
  int armedAt = -1;
  Clock::time_point unpluggedAt;
};

// What the faults of (b) do, in order, as the day's calls end: the database restarts
// after a quarter, a modem is unplugged (right after one of its calls ended) after half, a
// collector is killed (right after a call's files were done) after three quarters.
void Fault(Faults& f, std::vector<Modem>& modems, test::PgServer* server, int ended,
           int expected, Clock::time_point t0, const std::string& dbUrl, double timeout) {
  char at[32];
  std::snprintf(at, sizeof at, "%7.1f s: ", Since(t0));
  Modem& unplug = modems[0];
  Modem& kill = modems[modems.size() > 1 ? 1 : 0];
  if (f.stage == 0 && ended * 4 >= expected) {
    const bool down = server->Stop();
    Sleep(5);
    const bool up = server->Resume();
    f.log.push_back(at + std::string("database stopped at once and started again 5 s later") +
                    (down && up ? "" : " (FAILED)"));
    f.stage = 1;
  } else if (f.stage == 1 && ended * 2 >= expected) {
    if (f.armedAt < 0) f.armedAt = unplug.CallsEnded();
    if (unplug.CallsEnded() > f.armedAt) {
      unplug.relay->Unplug();
      f.unpluggedAt = Clock::now();
      f.log.push_back(at + std::string("COM") + std::to_string(unplug.port) +
                      " unplugged after one of its calls ended");
      f.stage = 2;
      f.armedAt = -1;
    }
  } else if (f.stage == 2 && Since(f.unpluggedAt) >= 20) {
    unplug.relay->Plug();
    f.log.push_back(at + std::string("COM") + std::to_string(unplug.port) + " plugged in again");
    f.stage = 3;
  } else if (f.stage == 3 && ended * 4 >= expected * 3) {
    if (f.armedAt < 0) f.armedAt = kill.CallsDone();
    if (kill.CallsDone() > f.armedAt) {
      kill.Sample();
      f.killedAt = kill.last;
      kill.collect->Stop(SIGKILL, 5000);
      kill.earlierOutput += kill.collect->Output();
      kill.earlierCpu += f.killedAt.cpuS;
      Sleep(2);
      std::string why;
      const bool again = StartCollector(kill, dbUrl, timeout, &why);
      f.log.push_back(at + std::string("collector of COM") + std::to_string(kill.port) +
                      " killed (SIGKILL) after a call's files were done, started again 2 s "
                      "later" + (again ? "" : " (FAILED: " + why + ")"));
      f.stage = 4;
    }
  }
}

struct DbFigures {
  bool ok = false;
  std::string error;
  long long rows = 0, duplicates = 0, missing = 0, foreign = 0, records = 0, contacts = 0;
};

DbFigures CheckDatabase(const QString& host, const bench::FileFigures& files) {
  DbFigures d;
  const QString name = QStringLiteral("fleet-check");
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(host);
    db.setUserName(QStringLiteral("varnel"));
    db.setDatabaseName(QStringLiteral("fleet"));
    if (!db.open()) {
      d.error = db.lastError().text().toStdString();
    } else {
      QSqlQuery q(db);
      d.ok = q.exec(QStringLiteral(
          "SELECT serial, COUNT(*), COUNT(DISTINCT (record_start, time, kind, seq)) "
          "FROM measurements GROUP BY serial"));
      std::map<std::uint32_t, long long> distinct;
      while (d.ok && q.next()) {
        const auto serial = static_cast<std::uint32_t>(q.value(0).toLongLong());
        d.rows += q.value(1).toLongLong();
        d.duplicates += q.value(1).toLongLong() - q.value(2).toLongLong();
        distinct[serial] = q.value(2).toLongLong();
        if (!files.entriesBySerial.count(serial)) d.foreign += q.value(2).toLongLong();
      }
      for (const auto& [serial, want] : files.entriesBySerial) {
        d.missing += std::max(0LL, want - distinct[serial]);
      }
      if (d.ok && q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM records), "
                                        "(SELECT COUNT(*) FROM contacts)")) && q.next()) {
        d.records = q.value(0).toLongLong();
        d.contacts = q.value(1).toLongLong();
      }
      if (!d.ok) d.error = q.lastError().text().toStdString();
    }
    db.close();
  }
  QSqlDatabase::removeDatabase(name);
  return d;
}

const char* Verdict(bool ok) { return ok ? "met" : "NOT MET"; }

// Runs (a) or (b) and prints its figures; false when it could not be run at all.
bool RunDay(const std::string& day, const Options& o, const fs::path& root) {
  const bool fleet = day == "b";
  const int modemCount = fleet ? o.modems : 1;
  const int total = fleet ? o.fleetLoggers : o.loggers;
  std::printf("\n== (%s) %d loggers on %d modem(s), first calls within %.0f s, full line "
              "speed%s ==\n", day.c_str(), total, modemCount, o.window,
              fleet ? ", into one PostgreSQL server, with faults" : "");
  std::fflush(stdout);
  std::unique_ptr<test::PgServer> server;
  std::string dbUrl, why;
  if (fleet) {
    server = std::make_unique<test::PgServer>();
    if (!server->Start(&why)) {
      std::fprintf(stderr, "fleet_day_bench: PostgreSQL: %s\n", why.c_str());
      return false;
    }
    dbUrl = server->NewDatabase("fleet", &why).toStdString();
    if (dbUrl.empty()) {
      std::fprintf(stderr, "fleet_day_bench: cannot make the database: %s\n", why.c_str());
      return false;
    }
  }
  const double timeout = o.window + 7200;
  std::vector<Modem> modems(static_cast<std::size_t>(modemCount));
  for (int i = 0; i < modemCount; ++i) {
    Modem& m = modems[static_cast<std::size_t>(i)];
    m.port = i + 1;
    m.loggers = total / modemCount + (i < total % modemCount ? 1 : 0);
    m.serialBase = fleet ? 41000 + 1000 * static_cast<std::uint32_t>(i) : 40123;
    m.folder = root / (day + "-com" + std::to_string(m.port));
    if (!StartModem(m, o, fleet && i == 0, &why) || !StartCollector(m, dbUrl, timeout, &why)) {
      std::fprintf(stderr, "fleet_day_bench: COM%d: %s\n", m.port, why.c_str());
      return false;
    }
  }
  const Clock::time_point t0 = Clock::now();
  Faults faults;
  faults.enabled = fleet;
  Clock::time_point lastDone = t0, allEnded{};
  int doneBefore = 0;
  double lastReport = 0;
  for (;;) {
    int ended = 0, loggersDone = 0, done = 0;
    for (Modem& m : modems) {
      m.Sample();
      ended += m.CallsEnded();
      loggersDone += m.LoggersDone();
      done += m.CallsDone();
    }
    if (done != doneBefore) lastDone = Clock::now();
    doneBefore = done;
    if (Since(t0) - lastReport >= 60) {
      lastReport = Since(t0);
      std::printf("  %6.0f s: %d of %d loggers through, %d calls ended, %d calls done by the "
                  "collectors\n", lastReport, loggersDone, total, ended, done);
      std::fflush(stdout);
    }
    if (faults.enabled) Fault(faults, modems, server.get(), ended, total, t0, dbUrl, timeout);
    if (loggersDone >= total) {
      if (allEnded == Clock::time_point{}) allEnded = Clock::now();
      // The files of the last calls; a call the collector lost never gets done, and a fault
      // waiting for a call that no longer comes is left out.
      if ((done >= ended && (!faults.enabled || faults.stage >= 4)) || Since(allEnded) > 120) {
        break;
      }
    }
    if (Since(t0) > timeout) {
      std::printf("  gave up waiting after %.0f s\n", Since(t0));
      break;
    }
    Sleep(0.2);
  }
  const double wall = std::chrono::duration<double>(lastDone - t0).count();

  // The collectors wait for calls that no longer come: their processor share now.
  std::vector<double> before;
  for (Modem& m : modems) before.push_back(bench::SampleProcess(m.collect->Pid()).cpuS);
  Sleep(o.idle);
  for (std::size_t i = 0; i < modems.size(); ++i) {
    modems[i].Sample();
    modems[i].idleShare = (modems[i].last.cpuS - before[i]) / o.idle * 100.0;
  }
  for (Modem& m : modems) m.collect->Stop(SIGTERM, 30000);
  for (Modem& m : modems) {
    m.relay.reset();
    m.sim->Stop(SIGTERM, 20000);
    // For a look afterwards (--keep): what the collectors and the simulator said.
    std::ofstream(m.folder / "collect-output.txt") << m.earlierOutput << m.collect->Output();
    std::ofstream(m.folder / "sim-output.txt") << m.sim->Output();
  }

  std::vector<testsupport::FleetTruth> truths;
  bench::FleetRules rules;
  rules.retryPauseS = o.retryPause;
  rules.rings = 1;
  bench::LineFigures line;
  std::vector<bench::LineFigures> perModem;
  for (Modem& m : modems) {
    try {
      truths.push_back(testsupport::ReadFleetTruth(
          testsupport::Json::Parse(testsupport::ReadWholeFile(m.Truth()))));
    } catch (const std::exception& e) {
      std::fprintf(stderr, "fleet_day_bench: truth file of COM%d: %s\n", m.port, e.what());
      return false;
    }
    perModem.push_back(bench::ReadLine(truths.back(), rules));
    const auto& p = perModem.back();
    line.loggers += p.loggers;
    line.collectedOnLine += p.collectedOnLine;
    line.attempted += p.attempted;
    line.answered += p.answered;
    line.busy += p.busy;
    line.retried += p.retried;
    line.givenUp += p.givenUp;
    line.busyWithoutCall += p.busyWithoutCall;
    line.lineS += p.lineS;
    line.pausesS += p.pausesS;
    line.longestCallS = std::max(line.longestCallS, p.longestCallS);
  }
  std::vector<fs::path> folders;
  for (Modem& m : modems) folders.push_back(m.Data());
  const bench::FileFigures files = bench::CheckFiles(truths, folders);

  std::printf("\nper collector:\n  %-5s %7s %8s %6s %9s %10s %13s %16s %s\n", "port", "loggers",
              "answered", "files", "cpu s", "VmHWM MB", "waiting cpu %", "span/(line+pause)",
              "line s / pauses s / span s");
  bool memoryOk = true, idleOk = true;
  double worstRatio = 0;
  for (std::size_t i = 0; i < modems.size(); ++i) {
    const Modem& m = modems[i];
    const auto& p = perModem[i];
    int fileCount = 0;
    for (const auto& [serial, n] : files.filesBySerial) {
      if (serial >= m.serialBase && serial < m.serialBase + static_cast<std::uint32_t>(m.loggers)) {
        fileCount += n;
      }
    }
    const double ratio = p.spanS / (p.lineS + p.pausesS);
    worstRatio = std::max(worstRatio, ratio);
    memoryOk = memoryOk && m.hwmKb < 30 * 1024;
    idleOk = idleOk && m.idleShare < 1.0;
    std::printf("  COM%-2d %7d %8d %6d %9.2f %10.1f %13.3f %16.3f %.0f / %.0f / %.0f%s\n", m.port,
                p.loggers, p.answered, fileCount, m.earlierCpu + m.last.cpuS, m.hwmKb / 1024.0,
                m.idleShare, ratio, p.lineS, p.pausesS, p.spanS,
                m.earlierOutput.empty() ? "" : " (two collector runs: killed and started again)");
  }
  for (const std::string& f : faults.log) std::printf("fault %s\n", f.c_str());

  std::printf("\ncalls (truth): %d made, %d answered, %d dials found the line busy (%d of them "
              "while no call held it), %d retried, %d given up\n", line.attempted, line.answered,
              line.busy, line.busyWithoutCall, line.retried, line.givenUp);
  std::printf("line time (connect to end, all modems): %.1f s, %.2f s a call on average, "
              "longest %.1f s; prescribed pauses %.1f s\n", line.lineS,
              line.answered ? line.lineS / line.answered : 0.0, line.longestCallS, line.pausesS);
  std::printf("loggers collected: %d of %d (a file of the newest record, entry for entry)   "
              "goal: all  %s\n", static_cast<int>(files.filesBySerial.size()), line.loggers,
              Verdict(static_cast<int>(files.filesBySerial.size()) == line.loggers));
  const int missingCalls = files.callsExpected - files.callsWithFile;
  std::printf("data files: %d found; %d of %d answered calls have their file, %d missing, %d "
              "doubled, %d matching no call; entries %lld of %lld   goal: none missing or "
              "doubled  %s\n", files.files, files.callsWithFile, files.callsExpected,
              missingCalls, files.duplicateFiles, files.strayFiles, files.entriesInMatchedFiles,
              files.entriesExpected,
              Verdict(missingCalls == 0 && files.duplicateFiles == 0 && files.strayFiles == 0));
  for (const std::string& n : files.notes) std::printf("  %s\n", n.c_str());
  if (fleet) {
    const DbFigures db = CheckDatabase(server->SocketFolder(), files);
    if (!db.ok) {
      std::printf("database: cannot be checked: %s\n", db.error.c_str());
    } else {
      std::printf("database: %lld measurement rows against %lld entries in the truth: %lld "
                  "missing, %lld doubled, %lld of no logger of the fleet; %lld record rows, "
                  "%lld contact rows   goal: none missing or doubled  %s\n", db.rows,
                  files.entriesExpected, db.missing, db.duplicates, db.foreign, db.records,
                  db.contacts, Verdict(db.missing == 0 && db.duplicates == 0));
    }
  }
  std::printf("wall time, collectors' start to the last call's files: %.1f s\n", wall);
  std::printf("schedule span / (line time + prescribed pauses), worst modem: %.3f   goal: "
              "<= 1.1%s  %s\n", worstRatio, fleet ? " (set for a)" : "",
              Verdict(worstRatio <= 1.1));
  std::printf("peak memory per collector: goal < 30 MB  %s; processor while waiting: goal < 1 %% "
              "of a core  %s\n", Verdict(memoryOk), Verdict(idleOk));
  std::fflush(stdout);
  return true;
}

bool ParseNumber(const char* text, double min, double* out) {
  char* end = nullptr;
  const double v = std::strtod(text, &end);
  if (!end || *end || end == text || !(v >= min)) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool hasValue = i + 1 < argc;
    double v = 0;
    auto number = [&](double min) {
      if (!hasValue || !ParseNumber(argv[++i], min, &v)) {
        std::fprintf(stderr, "fleet_day_bench: %s takes a number >= %g\n", a.c_str(), min);
        std::exit(2);
      }
      return v;
    };
    if (a == "--only" && hasValue) {
      o.only = argv[++i];
      if (o.only != "a" && o.only != "b") {
        std::fprintf(stderr, "fleet_day_bench: --only takes a or b\n");
        return 2;
      }
    } else if (a == "--loggers") {
      o.loggers = static_cast<int>(number(1));
    } else if (a == "--fleet-loggers") {
      o.fleetLoggers = static_cast<int>(number(1));
    } else if (a == "--modems") {
      o.modems = static_cast<int>(number(1));
      if (o.modems > 9) {
        std::fprintf(stderr, "fleet_day_bench: at most 9 modems (COM1 to COM9)\n");
        return 2;
      }
    } else if (a == "--window") {
      o.window = number(0);
    } else if (a == "--retry-pause") {
      o.retryPause = number(1);
    } else if (a == "--idle") {
      o.idle = number(1);
    } else if (a == "--keep") {
      o.keep = true;
    } else {
      std::fprintf(stderr, "fleet_day_bench: unknown option %s\nusage: fleet_day_bench [--only "
                   "a|b] [--loggers N] [--fleet-loggers N] [--modems M] [--window S] "
                   "[--retry-pause S] [--idle S] [--keep]\n", a.c_str());
      return 2;
    }
  }
  if (o.fleetLoggers < o.modems) {
    std::fprintf(stderr, "fleet_day_bench: --fleet-loggers must be at least --modems\n");
    return 2;
  }
  if (o.keep) ::setenv("VARNEL_KEEP_TEST_FILES", "1", 1);
  const testsupport::TempDir dir("varnel-fleet-day");
  if (dir.path().empty()) {
    std::fprintf(stderr, "fleet_day_bench: cannot make a temporary folder\n");
    return 1;
  }
  if (o.keep) std::printf("work folder: %s\n", dir.path().c_str());
  bool ok = true;
  if (o.only != "b") ok = RunDay("a", o, dir.path()) && ok;
  if (o.only != "a") ok = RunDay("b", o, dir.path()) && ok;
  return ok ? 0 : 1;
}
