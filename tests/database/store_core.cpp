#include "store_core.h"

#include <gtest/gtest.h>

#include <limits>

#include "database/database_url.h"
#include "database/measurement_store.h"
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

}  // namespace varnel::test
