// The device time the clock synchronisation writes.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "workers/device_write_sequence.h"

namespace varnel {
namespace {

std::tm Local(int year, int month, int day, int h, int m, int s) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = h;
  t.tm_min = m;
  t.tm_sec = s;
  return t;
}

TEST(ClockValue, CountsLocalSecondsSince2000RoundedToTheNearestSecond) {
  EXPECT_EQ(DeviceTimeOfLocal(Local(2000, 1, 1, 0, 0, 1), 0), 1u);
  EXPECT_EQ(DeviceTimeOfLocal(Local(2000, 1, 1, 0, 0, 0), 499), 0u);
  EXPECT_EQ(DeviceTimeOfLocal(Local(2000, 1, 1, 0, 0, 0), 500), 1u);
  EXPECT_EQ(DeviceTimeOfLocal(Local(2000, 1, 2, 0, 0, 0), 0), 86400u);
  // 2000 is a leap year: 366 days to 2001-01-01.
  EXPECT_EQ(DeviceTimeOfLocal(Local(2001, 1, 1, 0, 0, 0), 0), 366u * 86400u);
  // 8832 days from 2000-01-01 to 2024-03-07.
  EXPECT_EQ(DeviceTimeOfLocal(Local(2024, 3, 7, 14, 5, 9), 0), 8832u * 86400u + 14 * 3600 + 5 * 60 + 9);
}

TEST(ClockValue, BeforeTheEpochIsZero) {
  EXPECT_EQ(DeviceTimeOfLocal(Local(1999, 12, 31, 23, 59, 59), 0), 0u);
}

TEST(ClockValue, NowFollowsTheLocalClock) {
  const std::time_t t = std::time(nullptr);
  std::tm local{};
  localtime_r(&t, &local);
  const std::uint32_t expected = DeviceTimeOfLocal(local, 0);
  const std::uint32_t now = DeviceTimeNow();
  EXPECT_GE(now, expected);
  EXPECT_LE(now, expected + 2);
}

}  // namespace
}  // namespace varnel
