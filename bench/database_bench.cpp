// database_bench: how fast the entries of one big record go into each engine. A record of
// 2000 pages (14 entries a page, ~28 k entries) as a collector's file worker hands it over:
// first into an empty database, then once more under another file name (a record read
// again: every row is there already), then a record twice as long (half of it new).
// PostgreSQL: the server of --database URL, else a scratch server of its own in a
// temporary folder (as the tests start one; needs the Debian package postgresql).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>
#include <string>

#include "database/database_url.h"
#include "database/measurement_store.h"
#include "files/idc_format.h"
#include "files/idc_reader.h"
#include "link/byte_order.h"
#include "tests/database/pg_server.h"

namespace {

using namespace varnel;

IdcFile Record(int pages) {
  IdcFile f;
  f.SerialNumber = 40123;
  f.ChannelMask = 0x0007;
  f.StartTime = 762000000;
  std::uint32_t t = f.StartTime;
  float v = 1.0f;
  for (int p = 0; p < pages; ++p) {
    for (int i = 0; i < 14; ++i) {
      if (i == 13 && p % 16 == 0) {
        f.Measurements.push_back({DeviceTimeToDateTime(t), kIdcKindTimeMarker, v, 60});
        t += 60;
      } else {
        t += 10;
        v += 0.001f;
        f.Measurements.push_back({DeviceTimeToDateTime(t), static_cast<std::uint8_t>(i % 3), v, 0});
      }
    }
  }
  return f;
}

bool Run(const char* engine, const QString& url) {
  std::string why;
  const auto target = ParseDatabaseUrl(url, &why);
  if (!target) {
    std::fprintf(stderr, "%s: %s\n", engine, why.c_str());
    return false;
  }
  MeasurementStore store(*target);
  if (std::string e = store.Open(); !e.empty()) {
    std::fprintf(stderr, "%s: %s\n", engine, e.c_str());
    return false;
  }
  const IdcFile record = Record(2000);
  const IdcFile longer = Record(4000);
  struct Step {
    const char* what;
    const IdcFile* file;
    const char* name;
  } steps[] = {{"2000 pages, all new", &record, "a.IDC"},
               {"the same again, other file", &record, "b.IDC"},
               {"4000 pages, half new", &longer, "c.IDC"}};
  for (const Step& s : steps) {
    FileExport result;
    QElapsedTimer timer;
    timer.start();
    if (std::string e = store.AddFile(*s.file, s.name, &result); !e.empty()) {
      std::fprintf(stderr, "%s: %s\n", engine, e.c_str());
      return false;
    }
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    std::printf("%-10s  %-28s  %6lld entries  %6lld new rows  %7.3f s  %9.0f entries/s\n",
                engine, s.what, static_cast<long long>(result.Entries),
                static_cast<long long>(result.Added), seconds,
                static_cast<double>(result.Entries) / seconds);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QString postgres;
  const QStringList args = app.arguments();
  for (int i = 1; i + 1 < args.size(); ++i) {
    if (args[i] == QLatin1String("--database")) postgres = args[i + 1];
  }
  QTemporaryDir dir;
  bool ok = Run("SQLite", QStringLiteral("sqlite://") + dir.path() + QStringLiteral("/bench.sqlite"));
  varnel::test::PgServer server;
  if (postgres.isEmpty()) {
    std::string why;
    if (!server.Start(&why)) {
      std::fprintf(stderr, "PostgreSQL: no scratch server: %s\n", why.c_str());
      return 1;
    }
    postgres = server.NewDatabase("bench", &why);
    if (postgres.isEmpty()) {
      std::fprintf(stderr, "PostgreSQL: %s\n", why.c_str());
      return 1;
    }
  }
  ok = Run("PostgreSQL", postgres) && ok;
  return ok ? 0 : 1;
}
