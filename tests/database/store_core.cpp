#include "store_core.h"

#include <QFileInfo>
#include <gtest/gtest.h>

#include <limits>

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
}

}  // namespace varnel::test
