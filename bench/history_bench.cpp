// The contact history at fleet size and the window on big inputs.
//
// 1. Makes a synthetic history of L loggers x D daily contacts (50 x 365 and 500 x 3650 by
//    default) and prints, for the per-logger summary, the time and the peak memory (max RSS
//    of a process of its own, so each figure stands alone) of reading every contact and
//    summarising in memory ("all rows") and of the database's count and newest rows per
//    logger ("sql"), first with the file's pages dropped from the system's cache ("cold"),
//    then with them in it ("warm").
// 2. A scripted session in a window (offscreen): the log viewer on a 30 MB log, the Loggers
//    view on the biggest history, the Data plot of a 114,688-entry file; for each, the time
//    until it shows everything and the longest stall of the window's event loop, then the
//    same work done on the window's thread as it was before, for comparison.
//
// Usage: history_bench [FOLDER] [LOGGERSxDAYS ...]
//   FOLDER  where the synthetic files are made and kept for the next run (default: a folder
//           in the temp folder); the 500 x 3650 history takes a while to make.
#include <QApplication>
#include <QChartView>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTableWidget>
#include <QVariant>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

#include "common/program_log.h"
#include "database/contact_store.h"
#include "dialogs/form_log_file.h"
#include "files/idc_blocks.h"
#include "files/idc_reader.h"
#include "history/data_view.h"
#include "history/history_settings.h"
#include "history/history_summary.h"
#include "history/loggers_view.h"
#include "history/stall_meter.h"
#include "link/byte_order.h"
#include "plots/idc_chart.h"

namespace {

using namespace varnel;

constexpr std::int64_t kDay = 86400;

double MaxRssMiB() {
#ifndef _WIN32
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return u.ru_maxrss / 1024.0;
#else
  return 0;
#endif
}

QString HistoryFile(const QString& folder, int loggers, int days) {
  return QStringLiteral("%1/history-%2x%3.sqlite").arg(folder).arg(loggers).arg(days);
}

// Daily calls over the last `days` days: batteries running down, clocks drifting and now and
// then set, rings filling, a partial readout in every twenty, one data file per call.
bool MakeHistory(const QString& path, int loggers, int days) {
  if (QFileInfo::exists(path)) return true;
  const QString building = path + QStringLiteral(".new");
  QFile::remove(building);
  {
    ContactStore store(building);
    if (const std::string e = store.Open(false); !e.empty()) {
      std::fprintf(stderr, "%s\n", e.c_str());
      return false;
    }
  }
  bool ok = true;
  {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("make"));
    db.setDatabaseName(building);
    ok = db.open();
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA synchronous=OFF"));
    ok = ok && db.transaction();
    q.prepare(QStringLiteral(
        "INSERT INTO contacts (contact_time, serial, identity_text, device_id, firmware, "
        "battery, clock_offset, clock_set, last_page, reserved_pages, ring_use, state_bits, "
        "error_bits, records_listed, records_read, pages_read, line_bytes, duration, result, "
        "files) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    std::mt19937 random(1);
    const std::int64_t start = QDateTime::currentSecsSinceEpoch() - std::int64_t{days} * kDay;
    for (int day = 0; day < days && ok; ++day) {
      for (int l = 0; l < loggers && ok; ++l) {
        const int serial = 40000 + l;
        const bool set = day % 30 == 0;
        const QVariantList values = {
            QVariant::fromValue<qint64>(start + day * kDay + l * 37 + static_cast<int>(random() % 600)),
            serial,
            QStringLiteral("Pump station %1").arg(l),
            QStringLiteral("18.2"),
            QStringLiteral("3.12"),
            100 - (day * 90 / days) - static_cast<int>(random() % 2),
            (day % 30) * (1 + l % 4),
            set ? 1 : 0,
            2047,
            0,
            ((day * 7 + l) % 1000) / 1000.0,
            0,
            0,
            3,
            1,
            40 + static_cast<int>(random() % 20),
            5200,
            38.5,
            random() % 20 == 0 ? QStringLiteral("partial") : QStringLiteral("complete"),
            QStringLiteral("/home/collector/data/%1/Pump station %2_%3.IDC").arg(serial).arg(l).arg(day),
        };
        for (int i = 0; i < values.size(); ++i) q.bindValue(i, values[i]);
        ok = q.exec();
      }
    }
    if (!ok) std::fprintf(stderr, "cannot make %s: %s\n", qPrintable(path), qPrintable(q.lastError().text()));
    ok = ok && db.commit();
    q.finish();
    db.close();
  }
  QSqlDatabase::removeDatabase(QStringLiteral("make"));
  return ok && QFile::rename(building, path);
}

// Drops the history file's pages from the system's cache, so the next reading comes from
// the disk as after a reboot (only this file's pages: nothing else on the machine is touched).
bool DropFromCache(const QString& path) {
#ifndef _WIN32
  bool ok = true;
  for (const QString& f : {path, path + QStringLiteral("-wal"), path + QStringLiteral("-shm")}) {
    const int fd = ::open(QFile::encodeName(f).constData(), O_RDONLY);
    if (fd < 0) continue;
    ok = ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) == 0 && ok;
    ::close(fd);
  }
  return ok;
#else
  return false;
#endif
}

// One way of summarising, in this process: prints "seconds MiB loggers".
int MeasureSummary(const QString& way, const QString& path) {
  QElapsedTimer t;
  t.start();
  ContactStore store(path);
  std::string error = store.Open(true);
  std::vector<LoggerSummary> lines;
  const std::int64_t now = QDateTime::currentSecsSinceEpoch();
  if (error.empty() && way == QLatin1String("all")) {
    lines = SummarizeHistory(store.Contacts(std::nullopt, &error), now, HistoryThresholds{});
  } else if (error.empty()) {
    lines = SummarizeStoredHistory(store, std::nullopt, now, HistoryThresholds{}, &error);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }
  std::printf("%.3f %.1f %zu\n", t.nsecsElapsed() / 1e9, MaxRssMiB(), lines.size());
  return 0;
}

void SummaryFigures(const QString& self, const QString& folder, int loggers, int days) {
  const QString path = HistoryFile(folder, loggers, days);
  QElapsedTimer made;
  made.start();
  if (!MakeHistory(path, loggers, days)) return;
  std::printf("history %d loggers x %d days: %lld contacts, %.0f MB%s\n", loggers, days,
              static_cast<long long>(loggers) * days, QFileInfo(path).size() / 1e6,
              made.elapsed() > 1000 ? qPrintable(QStringLiteral(" (made in %1 s)").arg(made.elapsed() / 1000.0, 0, 'f', 1)) : "");
  for (const bool cold : {true, false}) {
    for (const char* way : {"all", "sql"}) {
      if (cold && !DropFromCache(path)) continue;
      QProcess p;
      p.start(self, {QStringLiteral("--summary"), QLatin1String(way), path});
      p.waitForFinished(600000);
      const QStringList f = QString::fromLatin1(p.readAllStandardOutput()).split(QLatin1Char(' '));
      const std::string label = std::string(way[0] == 'a' ? "all rows" : "sql") + (cold ? ", cold" : ", warm");
      if (p.exitCode() != 0 || f.size() < 3) {
        std::printf("  %-15s failed: %s\n", label.c_str(), p.readAllStandardError().constData());
        continue;
      }
      std::printf("  %-15s %7.3f s  max RSS %7.1f MiB  %d lines\n", label.c_str(), f[0].toDouble(),
                  f[1].toDouble(), f[2].trimmed().toInt());
    }
  }
}

// A 30 MB program log of plausible entries.
QString MakeLog(const QString& folder) {
  const QString path = folder + QStringLiteral("/Varnel.LOG");
  if (QFileInfo(path).size() >= 30'000'000) return path;
  QFile f(path);
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return {};
  QByteArray chunk;
  for (int n = 0; f.size() + chunk.size() < 30'000'000; ++n) {
    chunk += QStringLiteral("%1 %2\tLogger %3: record %4 read, %5 pages, file written\r\n")
                 .arg(QStringLiteral("09.12.2026"), QTime(0, 0).addSecs(n % 86400).toString(QStringLiteral("HH:mm:ss")))
                 .arg(40000 + n % 500).arg(n % 9).arg(40 + n % 20).toLatin1();
    if (chunk.size() > 1 << 20) {
      f.write(chunk);
      chunk.clear();
    }
  }
  f.write(chunk);
  return path;
}

// A data file of 8192 full pages: 114,688 entries of three channels and time markers.
QString MakeIdc(const QString& folder) {
  const QString path = folder + QStringLiteral("/123456/Bench_8192.IDC");
  if (QFileInfo::exists(path)) return path;
  QDir().mkpath(QFileInfo(path).absolutePath());
  IdcLoggerInfo logger;
  logger.SerialNumber = 123456;
  logger.IdentityText = "Bench";
  logger.ChannelMask = 0x0007;
  logger.WideCfg9 = true;
  std::vector<IdcEntry> entries;
  std::uint32_t t = 762000000;
  float v = 1.0f;
  for (int p = 0; p < 8192; ++p) {
    for (int i = 0; i < 14; ++i) {
      if (i == 13 && p % 16 == 0) {
        entries.push_back({DeviceTimeToDateTime(t), kIdcKindTimeMarker, v, 60});
        t += 60;
      } else {
        t += 10;
        v += 0.001f;
        entries.push_back({DeviceTimeToDateTime(t), static_cast<std::uint8_t>(i % 3), v, 0});
      }
    }
  }
  WriteIdcFile(std::filesystem::path(path.toStdString()), kIdcVersionText, logger, {762000000, 0}, entries);
  return path;
}

// Turns the event loop until `done` or the time is up; false when it ran out.
template <typename F>
bool Until(F done, int ms = 120000) {
  QElapsedTimer t;
  t.start();
  while (!done()) {
    if (t.elapsed() > ms) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  }
  return true;
}

void Row(const char* what, qint64 ms, double stall) {
  std::printf("  %-34s %7lld ms   longest stall %7.1f ms\n", what, static_cast<long long>(ms), stall);
}

// The offscreen platform's complaint about every window it shows says nothing here.
void QuietOffscreen(QtMsgType type, const QMessageLogContext&, const QString& text) {
  if (text.contains(QLatin1String("propagateSizeHints"))) return;
  std::fprintf(stderr, "%s%s\n", type == QtWarningMsg ? "warning: " : "", qPrintable(text));
}

int Session(const QString& folder, const QString& history) {
  qInstallMessageHandler(QuietOffscreen);
  const QString log = MakeLog(folder), idc = MakeIdc(folder);
  StallMeter meter;
  QElapsedTimer t;
  std::printf("window session (offscreen), the event loop's longest stall (goal < 100 ms):\n");

  {
    ProgramLog programLog(log);
    TFormLogFile viewer(programLog);
    meter.Start();
    t.start();
    viewer.show();
    Until([&] { return !viewer.Loading(); });
    Row(qPrintable(QStringLiteral("log viewer, %1 MB log").arg(QFileInfo(log).size() / 1e6, 0, 'f', 0)),
        t.elapsed(), meter.LongestMs());
    viewer.close();
  }
  {
    meter.Start();
    t.start();
    LoggersView view(history);
    view.show();
    Until([&] { return !view.Loading(); });
    QCoreApplication::processEvents();
    Row(qPrintable(QStringLiteral("Loggers view, %1 loggers").arg(view.Table()->rowCount())),
        t.elapsed(), meter.LongestMs());
  }
  {
    DataView view(folder);
    view.show();
    QCoreApplication::processEvents();
    meter.Start();
    t.start();
    view.LoadNewestInBackground(123456);
    Until([&] { return !view.Loading(); });
    QCoreApplication::processEvents();  // and drawn
    Row(qPrintable(QStringLiteral("Data plot, %1 values").arg(view.Chart().Points)), t.elapsed(),
        meter.LongestMs());
    if (qEnvironmentVariableIsSet("VARNEL_BENCH_DETAIL")) {
      QElapsedTimer d;
      d.start();
      const IdcPlotData data = PreparePlot(ReadIdcFile(view.LoadedPath().toStdString()));
      std::printf("    prepare %lld ms\n", static_cast<long long>(d.restart()));
      IdcChart c = BuildIdcChart(data);
      std::printf("    build %lld ms\n", static_cast<long long>(d.restart()));
      view.ChartView()->repaint();
      std::printf("    repaint %lld ms\n", static_cast<long long>(d.restart()));
      view.LoadFile(view.LoadedPath());
      std::printf("    sync load %lld ms\n", static_cast<long long>(d.restart()));
      QCoreApplication::processEvents();
      std::printf("    events after %lld ms\n", static_cast<long long>(d.restart()));
      delete c.Chart;
    }
  }
  meter.Stop();

  std::printf("the same on the window's thread, as before:\n");
  {
    QPlainTextEdit box;
    box.show();
    t.start();
    box.setPlainText(ProgramLog(log).ReadAll());
    box.moveCursor(QTextCursor::End);
    QCoreApplication::processEvents();
    Row("whole log into the box", t.elapsed(), static_cast<double>(t.elapsed()));
  }
  {
    t.start();
    ContactStore store(history);
    std::string error;
    const auto lines = SummarizeHistory(store.Contacts(std::nullopt, &error),
                                        QDateTime::currentSecsSinceEpoch(), HistoryThresholds{});
    Row("history read whole and summarised", t.elapsed(), static_cast<double>(t.elapsed()));
  }
  {
    DataView view(folder);
    view.show();
    QCoreApplication::processEvents();
    t.start();
    view.LoadNewest(123456);
    QCoreApplication::processEvents();
    Row("folder searched, file read, plotted", t.elapsed(), static_cast<double>(t.elapsed()));
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == "--summary") {
    QCoreApplication app(argc, argv);
    return MeasureSummary(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
  }
  if (argc == 4 && std::string(argv[1]) == "--window") {
    // The arguments are taken before the application sees them: it takes some for itself.
    const QString folder = QString::fromLocal8Bit(argv[2]), history = QString::fromLocal8Bit(argv[3]);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return Session(folder, history);
  }
  QCoreApplication app(argc, argv);
  QString folder = QDir::tempPath() + QStringLiteral("/varnel-history-bench");
  std::vector<std::pair<int, int>> sizes;
  for (int i = 1; i < argc; ++i) {
    int l = 0, d = 0;
    if (std::sscanf(argv[i], "%dx%d", &l, &d) == 2 && l > 0 && d > 0) {
      sizes.push_back({l, d});
    } else {
      folder = QString::fromLocal8Bit(argv[i]);
    }
  }
  if (sizes.empty()) sizes = {{50, 365}, {500, 3650}};
  QDir().mkpath(folder);
  std::printf("files in %s\n", qPrintable(folder));
  for (const auto& [loggers, days] : sizes) SummaryFigures(app.applicationFilePath(), folder, loggers, days);

  const auto& [loggers, days] = sizes.back();
  std::fflush(stdout);
  QProcess session;
  session.setProcessChannelMode(QProcess::ForwardedChannels);
  session.start(app.applicationFilePath(),
                {QStringLiteral("--window"), folder, HistoryFile(folder, loggers, days)});
  session.waitForFinished(-1);
  return session.exitCode();
}
