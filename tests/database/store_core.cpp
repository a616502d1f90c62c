#include "store_core.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "database/contact_store.h"
#include "database/database_url.h"
#include "database/measurement_store.h"
#include "files/idc_blocks.h"
#include "files/idc_format.h"
#include "store_checks.h"

namespace varnel::test {

IdcFile SampleRecordFile(int count, std::uint32_t serial) {
  IdcFile f;
  f.SerialNumber = serial;
  f.IdentityText = "Well 4";
  f.ChannelMask = 0x0003;
  f.Channels = {{0, "bar"}, {1, "bar"}};
  f.StartTime = 100000;
  const double start = FileDays(2024, 3, 7, 14, 0, 0);
  for (int i = 0; i < count; ++i) {
    const double t = start + i / 1440.0;
    f.Measurements.push_back({t, 0, 1.0f + static_cast<float>(i) * 0.001f, 0});
    f.Measurements.push_back({t, 1, 2.5f - static_cast<float>(i) * 0.01f, 0});
    if (i == 2) {
      f.Measurements.push_back({t, 15, 0.0f, 0x000102});
      f.Measurements.push_back({t, 15, 0.0f, 0xFFFFFF});
    }
    if (i == 3) f.Measurements.back().Value = std::numeric_limits<float>::quiet_NaN();
  }
  return f;
}

void CheckEveryEntryOnce(const QString& url) {
  std::string why;
  const auto target = ParseDatabaseUrl(url, &why);
  ASSERT_TRUE(target) << why;
  MeasurementStore store(*target);

  const IdcFile first = SampleRecordFile(10);
  FileExport done;
  ASSERT_EQ(store.AddFile(first, "Well 4_07,03,2024_14,10,00_00.IDC", &done), "");
  EXPECT_EQ(done.Entries, 22);
  EXPECT_EQ(done.Added, 22);
  EXPECT_EQ(CompareWithFile(url, first), "");
  EXPECT_EQ(TimeOf(Value(url, "SELECT record_start FROM records")), "2000-01-02 03:46:40");
  EXPECT_EQ(Value(url, "SELECT units FROM records").toString(), "0=bar,1=bar");

  // The same file again, and the same record read again into a file of another name.
  ASSERT_EQ(store.AddFile(first, "Well 4_07,03,2024_14,10,00_00.IDC", &done), "");
  EXPECT_TRUE(done.AlreadyThere);
  ASSERT_EQ(store.AddFile(first, "Well 4_07,03,2024_15,00,00_00.IDC", &done), "");
  EXPECT_EQ(done.Added, 0);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM measurements").toInt(), 22);

  // The next readout of the same record holds the old entries and five minutes more.
  const IdcFile longer = SampleRecordFile(15);
  ASSERT_EQ(store.AddFile(longer, "Well 4_07,03,2024_14,15,00_00.IDC", &done), "");
  EXPECT_EQ(done.Added, 10);
  EXPECT_EQ(CompareWithFile(url, longer), "");

  // Another logger with the same times keeps rows of its own.
  ASSERT_EQ(store.AddFile(SampleRecordFile(15, 40124), "Other.IDC", &done), "");
  EXPECT_EQ(done.Added, 32);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM measurements").toInt(), 64);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM records").toInt(), 4);

  // Two pieces of one record, the second beginning between the two events of one minute:
  // its event follows the first one instead of being taken for it.
  const IdcFile whole = SampleRecordFile(15, 40125);
  const auto split = std::find_if(whole.Measurements.begin(), whole.Measurements.end(),
                                  [](const IdcEntry& e) { return e.Kind == 15; }) + 1;
  IdcFile head = whole, tail = whole;
  head.Measurements.assign(whole.Measurements.begin(), split);
  tail.Measurements.assign(split, whole.Measurements.end());
  ASSERT_EQ(store.AddFile(head, "Piece 1.IDC", &done), "");
  ASSERT_EQ(store.AddFile(tail, "Piece 2.IDC", &done), "");
  EXPECT_EQ(done.Added, static_cast<std::int64_t>(tail.Measurements.size()));
  // The whole record read again, and a copy that lost its start (a ring that wrapped).
  ASSERT_EQ(store.AddFile(whole, "Whole.IDC", &done), "");
  EXPECT_EQ(done.Added, 0);
  ASSERT_EQ(store.AddFile(tail, "Wrapped.IDC", &done), "");
  EXPECT_EQ(done.Added, 0);
  EXPECT_EQ(CompareWithFile(url, whole), "");
}

void CheckTablesOfTheLastVersionAreTakenOver(const QString& url, const QString& folder) {
  std::string why;
  const auto target = ParseDatabaseUrl(url, &why);
  ASSERT_TRUE(target) << why;
  const bool sqlite = target->Engine == DatabaseEngine::SQLite;
  // The tables as the version before made them, with a file of it in them.
  const QString integer = sqlite ? "INTEGER" : "BIGINT", time = sqlite ? "TEXT" : "TIMESTAMP",
                real = sqlite ? "REAL" : "DOUBLE PRECISION", kind = sqlite ? "INTEGER" : "SMALLINT";
  for (const QString& sql :
       {"CREATE TABLE records (serial " + integer + " NOT NULL, record_start " + time +
            " NOT NULL, identity_text TEXT NOT NULL, channel_mask INTEGER NOT NULL, units TEXT "
            "NOT NULL, file_name TEXT NOT NULL, entries INTEGER NOT NULL, "
            "PRIMARY KEY (serial, file_name))",
        "CREATE TABLE measurements (serial " + integer + " NOT NULL, record_start " + time +
            " NOT NULL, time " + time + " NOT NULL, kind " + kind + " NOT NULL, seq INTEGER "
            "NOT NULL, value " + real + ", extra " + integer + " NOT NULL, "
            "PRIMARY KEY (serial, record_start, time, kind, seq))",
        QString("INSERT INTO records VALUES (40999, '2000-01-02 03:46:40', 'Old', 1, '0=bar', "
                "'old.IDC', 1)"),
        QString("INSERT INTO measurements VALUES (40999, '2000-01-02 03:46:40', "
                "'2024-03-07 14:00:00', 0, 0, 1.5, 0)")}) {
    Rows(url, sql, &why);
    ASSERT_EQ(why, "") << sql.toStdString();
  }

  // A collector of this version writes into them: the old rows stay, the new ones carry what
  // is new, and the view places the logger's times in time.
  const IdcFile file = SampleRecordFile(10);
  const QString path = folder + "/Well 4_07,03,2024_14,10,00_00.IDC";
  IdcLoggerInfo logger;
  logger.SerialNumber = file.SerialNumber;
  logger.IdentityText = file.IdentityText;
  logger.ChannelMask = file.ChannelMask;
  WriteIdcFile(path.toStdString(), kIdcVersionText, logger, {file.StartTime, 0}, file.Measurements);
  MeasurementStore store(*target);
  FileExport done;
  ASSERT_EQ(store.AddFile(path, &done), "");
  EXPECT_EQ(CompareWithFile(url, file), "");
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM measurements WHERE serial = 40999").toInt(), 1);
  EXPECT_TRUE(Value(url, "SELECT utc_offset FROM records WHERE serial = 40999").isNull());
  const int offset = QFileInfo(path).lastModified().offsetFromUtc();
  EXPECT_EQ(Value(url, "SELECT utc_offset FROM records WHERE serial = 40123").toInt(), offset);
  EXPECT_EQ(Value(url, "SELECT COUNT(*) FROM record_units WHERE serial = 40123 AND unit = 'bar'")
                .toInt(),
            2);
  const QString apart =
      sqlite ? "SELECT MIN(CAST(ROUND((julianday(time) - julianday(time_utc)) * 86400) AS INTEGER)), "
               "MAX(CAST(ROUND((julianday(time) - julianday(time_utc)) * 86400) AS INTEGER)) "
               "FROM measurements_utc WHERE serial = 40123"
             : "SELECT MIN(EXTRACT(EPOCH FROM (time AT TIME ZONE 'UTC') - time_utc))::INTEGER, "
               "MAX(EXTRACT(EPOCH FROM (time AT TIME ZONE 'UTC') - time_utc))::INTEGER "
               "FROM measurements_utc WHERE serial = 40123";
  const auto rows = Rows(url, apart, &why);
  ASSERT_EQ(why, "");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0].toInt(), offset);
  EXPECT_EQ(rows[0][1].toInt(), offset);
  EXPECT_TRUE(Value(url, "SELECT time_utc FROM measurements_utc WHERE serial = 40999").isNull());
  const QString index = sqlite ? "SELECT COUNT(*) FROM sqlite_master WHERE name = 'measurements_span'"
                               : "SELECT COUNT(*) FROM pg_index i JOIN pg_class c ON c.oid = "
                                 "i.indexrelid WHERE c.relname = 'measurements_span' AND "
                                 "i.indisvalid";
  EXPECT_EQ(Value(url, index).toInt(), 1);

  // Its contacts table gains where each call was taken; the old row stays as it was.
  const QString old = QString(
      "CREATE TABLE contacts (id %1 PRIMARY KEY, contact_time %2 NOT NULL, serial %2 NOT NULL, "
      "identity_text TEXT NOT NULL, device_id TEXT NOT NULL, firmware TEXT NOT NULL, battery "
      "INTEGER, clock_offset %2, clock_set INTEGER NOT NULL, last_page INTEGER, reserved_pages "
      "INTEGER, ring_use %3, state_bits INTEGER NOT NULL, error_bits INTEGER NOT NULL, "
      "records_listed INTEGER NOT NULL, records_read INTEGER NOT NULL, pages_read INTEGER NOT "
      "NULL, line_bytes %2 NOT NULL, duration %3 NOT NULL, result TEXT NOT NULL, files TEXT NOT "
      "NULL)").arg(sqlite ? "INTEGER" : "BIGSERIAL", integer, real);
  for (const QString& sql :
       {old, QString("INSERT INTO contacts (contact_time, serial, identity_text, device_id, "
                     "firmware, clock_set, state_bits, error_bits, records_listed, records_read, "
                     "pages_read, line_bytes, duration, result, files) VALUES (1700000000, 40999, "
                     "'Old', '1.2', '3.4', 0, 0, 0, 1, 1, 3, 900, 12.5, 'complete', 'old.IDC')")}) {
    Rows(url, sql, &why);
    ASSERT_EQ(why, "") << sql.toStdString();
  }
  ContactFigures call;
  call.Time = 1700000500;
  call.SerialNumber = 40123;
  call.Result = ContactResult::FallbackFolder;
  call.DataFolder = folder.toStdString();
  call.Files = {call.DataFolder + "/40123/Well 4.IDC", "/var/tmp/fallback/Well 4.IDC"};
  call.Collector = "station-pc";
  call.Port = 3;
  auto contacts = ContactStoreFor(url, &why);
  ASSERT_TRUE(contacts) << why;
  ASSERT_EQ(contacts->Add(call), "");
  const auto taken = Rows(url, "SELECT serial, collector, port, file_names FROM contacts "
                               "ORDER BY id", &why);
  ASSERT_EQ(why, "");
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_TRUE(taken[0][1].isNull() && taken[0][2].isNull() && taken[0][3].isNull());
  EXPECT_EQ(taken[1][1].toString(), "station-pc");
  EXPECT_EQ(taken[1][2].toInt(), 3);
  EXPECT_EQ(taken[1][3].toString(), "40123/Well 4.IDC\n/var/tmp/fallback/Well 4.IDC");
}

}  // namespace varnel::test
