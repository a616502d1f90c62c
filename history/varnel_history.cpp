// varnel-history: prints the contact history that the collector keeps, one line per logger
// with its warnings, or every contact of one logger. Exits with 0, 1 when the history
// cannot be read, 2 on a wrong command line.
#include <QCoreApplication>
#include <QDateTime>
#include <charconv>
#include <cstdio>
#include <memory>
#include <string>

#include "alerts/alert_book.h"
#include "common/locations.h"
#include "common/thread_end_safety.h"
#include "database/contact_store.h"
#include "history/history_report.h"
#include "history/history_settings.h"
#include "history/history_summary.h"
#include "history/logger_summary.h"

namespace {

constexpr const char* kUsage =
    "usage: varnel-history [--csv | --json] [--file HISTORY | --database URL] [SERIAL]\n"
    "  without SERIAL  one line per logger: last contact, days since, battery and its trend\n"
    "                  (%/day), clock offset (s) and drift (s/day), ring use (%), last\n"
    "                  result, warnings\n"
    "                  and the alerts open at this PC's collector\n"
    "  SERIAL          every contact of that logger, then its line\n"
    "  --csv, --json   machine-readable output instead of the aligned table\n"
    "  --file HISTORY  another history file (default: history.sqlite in the per-user data\n"
    "                  folder)\n"
    "  --database URL  the contacts in a database that collectors write into (the whole\n"
    "                  fleet): postgresql://user@host:port/db or sqlite:///path\n";

// Contacts read and printed at a time when one logger's contacts are listed.
constexpr int kPageRows = 500;

}  // namespace

int main(int argc, char** argv) {
  varnel::PrepareForEndingThreads();
  using namespace varnel;
  QCoreApplication app(argc, argv);
  ReportFormat format = ReportFormat::Table;
  std::optional<std::uint32_t> serial;
  QString file;
  QString database;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--csv") {
      format = ReportFormat::Csv;
    } else if (a == "--json") {
      format = ReportFormat::Json;
    } else if (a == "--file" && i + 1 < argc) {
      file = QString::fromLocal8Bit(argv[++i]);
    } else if (a == "--database" && i + 1 < argc) {
      database = QString::fromLocal8Bit(argv[++i]);
    } else if (a == "-h" || a == "--help") {
      std::fputs(kUsage, stdout);
      return 0;
    } else {
      std::uint32_t v = 0;
      const auto r = std::from_chars(a.data(), a.data() + a.size(), v);
      if (serial || r.ec != std::errc() || r.ptr != a.data() + a.size()) {
        std::fprintf(stderr, "varnel-history: unexpected argument %s\n%s", a.c_str(), kUsage);
        return 2;
      }
      serial = v;
    }
  }

  if (!database.isEmpty() && !file.isEmpty()) {
    std::fprintf(stderr, "varnel-history: --file and --database exclude each other\n%s", kUsage);
    return 2;
  }
  std::string error;
  const std::unique_ptr<ContactStore> opened =
      database.isEmpty() ? std::make_unique<ContactStore>(file.isEmpty() ? DefaultHistoryPath() : file)
                         : ContactStoreFor(database, &error);
  if (!opened) {
    std::fprintf(stderr, "varnel-history: %s\n", error.c_str());
    return 2;
  }
  ContactStore& store = *opened;
  error = store.Open(true);
  std::vector<LoggerSummary> loggers;
  if (error.empty()) {
    loggers = SummarizeStoredHistory(store, serial, QDateTime::currentSecsSinceEpoch(),
                                     ReadHistoryThresholds(), &error);
  }
  if (!error.empty()) {
    std::fprintf(stderr, "varnel-history: %s\n", error.c_str());
    return 1;
  }
  // The alerts this PC's collector has open ("battery low", "call"), from its alert book.
  LoggerAlerts alerts;
  for (const auto& [logger, open] : OpenAlertsByLogger(DefaultAlertBookPath())) {
    for (const Alert& a : open) alerts[logger].push_back(a.Key.substr(a.Key.find('/') + 1));
  }
  if (!serial) {
    std::fputs(LoggersReport(loggers, format, alerts).c_str(), stdout);
    return 0;
  }
  if (loggers.empty()) {
    std::fprintf(stderr, "varnel-history: no contact with logger %u\n", *serial);
    return 1;
  }
  // The logger's contacts a page at a time, printed as they come.
  const auto walk = [&](const ContactPageVisitor& visit) {
    ContactPosition at;
    for (;;) {
      const std::vector<ContactFigures> page = store.ContactsPage(*serial, &at, kPageRows, &error);
      if (!error.empty()) return false;
      if (page.empty()) return true;
      visit(page);
    }
  };
  const bool ok = WriteContactsReport(walk, loggers.front(), format,
                                      [](const std::string& piece) { std::fputs(piece.c_str(), stdout); },
                                      alerts);
  if (!ok) {
    std::fprintf(stderr, "varnel-history: %s\n", error.c_str());
    return 1;
  }
  return 0;
}
