// The per-logger lines read from a history file through the database, and one logger's
// contacts printed page by page, against the same figures worked out from every contact.
#include <gtest/gtest.h>

#include <random>

#include "database/contact_store.h"
#include "history/history_report.h"
#include "history/history_summary.h"
#include "tests/support/sim_process.h"

namespace varnel {
// Named: the test program is compiled as one unit, where other files have helpers of the
// same names.
namespace stored_summary_test {

constexpr std::int64_t kNow = 1'800'000'000;

// Loggers whose figures reach back differently far: daily with every figure; a battery
// reported at every 15th call only; calls ten minutes apart; nothing but partial readouts;
// never an identity text nor a clock; and unidentified calls (serial 0). Some calls share
// their second, so the order among equal times counts too.
std::vector<ContactFigures> MixedHistory() {
  std::mt19937 random(7);
  std::vector<ContactFigures> out;
  for (std::uint32_t kind = 0; kind < 6; ++kind) {
    const std::uint32_t serial = kind == 5 ? 0 : 40000 + kind;
    for (int n = 0; n < 40; ++n) {
      ContactFigures c;
      c.SerialNumber = serial;
      const std::int64_t step = kind == 2 ? 600 : 86400;
      c.Time = kNow - (40 - n) * step + (n % 7 == 3 ? 0 : static_cast<int>(random() % 900));
      if (n % 7 == 4) c.Time = out.back().Time;  // the same second as the call before
      c.IdentityText = kind == 4 ? "" : "Well " + std::to_string(kind) + (n > 30 ? "b" : "");
      if (kind != 1 || n % 15 == 0) c.Battery = 90 - n / 2 - static_cast<int>(random() % 3);
      if (kind != 4 && kind != 5) {
        c.ClockOffset = static_cast<int>(random() % 300) - 150;
        c.ClockSet = random() % 3 == 0;
        c.RingUse = (random() % 100) / 100.0;
      }
      c.Result = kind == 3 ? ContactResult::Partial
                 : kind == 5 ? ContactResult::NoCommunication
                 : random() % 5 == 0 ? ContactResult::Partial : ContactResult::Complete;
      c.Files = {"/data/" + std::to_string(serial) + "/file" + std::to_string(n) + ".IDC"};
      out.push_back(c);
    }
  }
  return out;
}

TEST(StoredHistory, SummaryAndPagedContactsMatchThoseOfEveryContact) {
  testsupport::TempDir dir("varnel-history");
  ContactStore store(QString::fromStdString(dir / "history.sqlite"));
  const std::vector<ContactFigures> all = MixedHistory();
  for (const ContactFigures& c : all) ASSERT_EQ(store.Add(c), "");

  std::string error;
  const auto fromSql = SummarizeStoredHistory(store, std::nullopt, kNow, HistoryThresholds{}, &error);
  ASSERT_EQ(error, "");
  const auto fromAll = SummarizeHistory(store.Contacts(), kNow, HistoryThresholds{});
  ASSERT_EQ(fromSql.size(), 6u);
  EXPECT_EQ(LoggersReport(fromSql, ReportFormat::Json), LoggersReport(fromAll, ReportFormat::Json));

  for (const std::uint32_t serial : {40001u, 40002u, 0u}) {
    const auto line = SummarizeStoredHistory(store, serial, kNow, HistoryThresholds{}, &error);
    ASSERT_EQ(line.size(), 1u);
    const std::vector<ContactFigures> contacts = store.Contacts(serial);
    for (ReportFormat format : {ReportFormat::Table, ReportFormat::Csv, ReportFormat::Json}) {
      std::string paged;
      const bool ok = WriteContactsReport(
          [&](const ContactPageVisitor& visit) {
            ContactPosition at;
            for (;;) {
              const auto page = store.ContactsPage(serial, &at, 3, &error);
              if (page.empty()) return error.empty();
              visit(page);
            }
          },
          line.front(), format, [&](const std::string& piece) { paged += piece; });
      EXPECT_TRUE(ok) << error;
      EXPECT_EQ(paged, ContactsReport(contacts, fromAll[serial ? serial - 40000 + 1 : 0], format))
          << serial << " in format " << static_cast<int>(format);
    }
  }
}

}  // namespace stored_summary_test
}  // namespace varnel
