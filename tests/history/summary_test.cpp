// The per-logger line and its warnings, on a history made by hand.
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "history/history_settings.h"
#include "history/logger_summary.h"

namespace varnel {
namespace {

constexpr std::int64_t kNow = 1'800'000'000;
constexpr std::int64_t kDay = 86400;

ContactFigures Contact(std::uint32_t serial, double daysAgo, int battery, std::int64_t clock,
                       double ringUse, ContactResult result, bool clockSet = false) {
  ContactFigures c;
  c.SerialNumber = serial;
  c.Time = kNow - static_cast<std::int64_t>(daysAgo * kDay);
  c.IdentityText = "Well " + std::to_string(serial);
  c.Battery = battery;
  c.ClockOffset = clock;
  c.ClockSet = clockSet;
  c.RingUse = ringUse;
  c.Result = result;
  return c;
}

std::vector<HistoryWarning> Sorted(std::vector<HistoryWarning> w) {
  std::sort(w.begin(), w.end());
  return w;
}

TEST(LoggerSummary, WarningsFollowTheFiguresOfEachLogger) {
  std::vector<ContactFigures> h;
  // Logger 1, daily: battery losing 2 % a day, clock gaining 10 s a day and never set, ring
  // at 95 %, the last two readouts partial.
  for (int d = 5; d >= 1; --d) {
    h.push_back(Contact(1, d, 50 + 2 * d, 10 * (6 - d), 0.95,
                        d <= 2 ? ContactResult::Partial : ContactResult::Complete));
  }
  // Logger 2, daily until five days ago: battery low but steady, the clock set at every call
  // and 1 s off the next day, an early partial readout followed by complete ones.
  for (int d = 10; d >= 5; --d) {
    h.push_back(Contact(2, d, 15, 1, 0.3, d == 9 ? ContactResult::Partial : ContactResult::Complete,
                        true));
  }
  // Logger 3: two calls five minutes apart, clock ten minutes off: no trend, no interval.
  h.push_back(Contact(3, 0.01, 80, 600, 0.1, ContactResult::Complete));
  h.push_back(Contact(3, 0.01 - 300.0 / kDay, 79, 600, 0.1, ContactResult::Complete));
  // Logger 4: ten minutes off, and set in that very call.
  h.push_back(Contact(4, 0.01, 80, 600, 0.1, ContactResult::Complete, true));
  std::reverse(h.begin(), h.end());  // any order in, by serial and time out

  const auto loggers = SummarizeHistory(h, kNow, HistoryThresholds{});
  ASSERT_EQ(loggers.size(), 4u);
  EXPECT_TRUE(loggers[3].Warnings.empty());

  const LoggerSummary& a = loggers[0];
  EXPECT_EQ(a.SerialNumber, 1u);
  EXPECT_EQ(a.Contacts, 5);
  EXPECT_EQ(a.IdentityText, "Well 1");
  EXPECT_NEAR(a.DaysSince, 1.0, 1e-6);
  EXPECT_EQ(a.Battery, 52);
  ASSERT_TRUE(a.BatteryPerDay && a.DriftPerDay && a.UsualInterval);
  EXPECT_NEAR(*a.BatteryPerDay, -2.0, 1e-6);
  EXPECT_NEAR(*a.DriftPerDay, 10.0, 1e-6);
  EXPECT_NEAR(*a.UsualInterval, 1.0, 1e-6);
  EXPECT_EQ(a.LastResult, ContactResult::Partial);
  EXPECT_EQ(Sorted(a.Warnings),
            (std::vector<HistoryWarning>{HistoryWarning::BatteryFalling, HistoryWarning::ClockDrift,
                                         HistoryWarning::RingNearlyFull,
                                         HistoryWarning::RepeatedPartial}));

  const LoggerSummary& b = loggers[1];
  ASSERT_TRUE(b.DriftPerDay);
  EXPECT_NEAR(*b.DriftPerDay, 1.0, 1e-6);  // counted from the clock set the day before
  EXPECT_NEAR(*b.BatteryPerDay, 0.0, 1e-6);
  EXPECT_EQ(Sorted(b.Warnings),
            (std::vector<HistoryWarning>{HistoryWarning::BatteryLow, HistoryWarning::Overdue}));

  const LoggerSummary& c = loggers[2];
  EXPECT_FALSE(c.BatteryPerDay);
  EXPECT_FALSE(c.DriftPerDay);
  EXPECT_FALSE(c.UsualInterval);
  EXPECT_EQ(c.Warnings, std::vector<HistoryWarning>{HistoryWarning::ClockOff});

  // Thresholds from the settings move the lines.
  HistoryThresholds loose;
  loose.BatteryLowPercent = 10;
  loose.OverdueFactor = 10;
  loose.ClockOffsetSeconds = 900;
  loose.PartialRepeat = 3;
  const auto relaxed = SummarizeHistory(h, kNow, loose);
  EXPECT_TRUE(relaxed[1].Warnings.empty());
  EXPECT_TRUE(relaxed[2].Warnings.empty());
  EXPECT_EQ(Sorted(relaxed[0].Warnings),
            (std::vector<HistoryWarning>{HistoryWarning::BatteryFalling, HistoryWarning::ClockDrift,
                                         HistoryWarning::RingNearlyFull}));
}

TEST(HistoryThresholdsSetting, AnEndlessRepeatCountIsHeldToTheLargestInt) {
  QTemporaryDir home;
  const QByteArray old = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
  {
    QSettings s(QSettings::NativeFormat, QSettings::UserScope, "Varnel", "History");
    ASSERT_TRUE(s.fileName().startsWith(home.path())) << s.fileName().toStdString();
    s.setValue("Thresholds/PartialRepeat", "inf");
  }
  const int repeat = ReadHistoryThresholds().PartialRepeat;
  if (old.isEmpty()) {
    qunsetenv("XDG_CONFIG_HOME");
  } else {
    qputenv("XDG_CONFIG_HOME", old);
  }
  EXPECT_EQ(repeat, std::numeric_limits<int>::max());
}

}  // namespace
}  // namespace varnel
