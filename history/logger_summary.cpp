#include "history/logger_summary.h"

#include <algorithm>
#include <cmath>
#include <map>

#include "lang/text_ids.h"

namespace varnel {

namespace {

constexpr double kDay = 86400.0;
constexpr std::size_t kTrendContacts = 5;
constexpr std::size_t kIntervalContacts = 10;

double Days(std::int64_t from, std::int64_t to) { return static_cast<double>(to - from) / kDay; }

// Least-squares slope per day of (time, value) points; none when they span too little.
std::optional<double> SlopePerDay(const std::vector<std::pair<std::int64_t, double>>& points) {
  if (points.size() < 2 || Days(points.front().first, points.back().first) < kMinTrendSpanDays) {
    return std::nullopt;
  }
  const double t0 = static_cast<double>(points.front().first);
  double st = 0, sv = 0, stt = 0, stv = 0;
  for (const auto& [t, v] : points) {
    const double d = (static_cast<double>(t) - t0) / kDay;
    st += d;
    sv += v;
    stt += d * d;
    stv += d * v;
  }
  const double n = static_cast<double>(points.size());
  const double denom = n * stt - st * st;
  if (denom <= 0) return std::nullopt;
  return (n * stv - st * sv) / denom;
}

// The summary of one logger from its newest contacts `rows` (oldest first). `truncated`:
// older contacts exist that `rows` leaves out; then a figure that would have to look past
// the first row sets *tooShort and the caller fetches more rows.
LoggerSummary Summarize(const std::vector<const ContactFigures*>& rows, bool truncated,
                        std::int64_t now, const HistoryThresholds& limits, bool* tooShort) {
  LoggerSummary s;
  const ContactFigures& last = *rows.back();
  s.SerialNumber = last.SerialNumber;
  s.Contacts = static_cast<int>(rows.size());
  s.LastContact = last.Time;
  s.DaysSince = std::max(0.0, Days(last.Time, now));
  s.LastResult = last.Result;
  // The latest clock reading was taken before that call set the clock: what it found is
  // history, not how far the clock is off now.
  bool clockSetSince = false;
  for (auto it = rows.rbegin(); it != rows.rend(); ++it) {
    if (s.IdentityText.empty() && !(*it)->IdentityText.empty()) s.IdentityText = (*it)->IdentityText;
    if (!s.Battery && (*it)->Battery) s.Battery = (*it)->Battery;
    if (!s.ClockOffset && (*it)->ClockOffset) {
      s.ClockOffset = (*it)->ClockOffset;
      clockSetSince = (*it)->ClockSet;
    }
    if (!s.RingUse && (*it)->RingUse) s.RingUse = (*it)->RingUse;
  }
  bool needMore = s.IdentityText.empty() || !s.Battery || !s.ClockOffset || !s.RingUse;

  // Battery trend over the latest contacts that reported it.
  std::vector<std::pair<std::int64_t, double>> battery;
  for (auto it = rows.rbegin(); it != rows.rend() && battery.size() < kTrendContacts; ++it) {
    if ((*it)->Battery) battery.insert(battery.begin(), {(*it)->Time, *(*it)->Battery});
  }
  s.BatteryPerDay = SlopePerDay(battery);
  needMore = needMore || battery.size() < kTrendContacts;

  // Clock drift: from the latest clock reading back to the one before it that lies far
  // enough away; a clock set in that earlier call counts from zero.
  std::vector<const ContactFigures*> clocks;
  for (const ContactFigures* c : rows) {
    if (c->ClockOffset) clocks.push_back(c);
  }
  bool driftFound = false;
  if (clocks.size() >= 2) {
    const ContactFigures& b = *clocks.back();
    for (auto it = clocks.rbegin() + 1; it != clocks.rend(); ++it) {
      const double days = Days((*it)->Time, b.Time);
      if (days < kMinTrendSpanDays) continue;
      const double base = (*it)->ClockSet ? 0.0 : static_cast<double>(*(*it)->ClockOffset);
      s.DriftPerDay = (static_cast<double>(*b.ClockOffset) - base) / days;
      driftFound = true;
      break;
    }
  }
  needMore = needMore || !driftFound;

  // The usual interval: the median gap between visits.
  std::vector<double> gaps;
  for (std::size_t i = rows.size() - 1; i > 0 && gaps.size() < kIntervalContacts; --i) {
    const double gap = Days(rows[i - 1]->Time, rows[i]->Time);
    if (gap >= kMinVisitGapDays) gaps.push_back(gap);
  }
  needMore = needMore || gaps.size() < kIntervalContacts;
  if (!gaps.empty()) {
    std::sort(gaps.begin(), gaps.end());
    const std::size_t m = gaps.size() / 2;
    s.UsualInterval = gaps.size() % 2 ? gaps[m] : (gaps[m - 1] + gaps[m]) / 2.0;
  }

  std::size_t partialRun = 0;
  for (auto it = rows.rbegin(); it != rows.rend() && (*it)->Result == ContactResult::Partial; ++it) {
    ++partialRun;
  }
  needMore = needMore || partialRun == rows.size();
  if (truncated && needMore) *tooShort = true;

  auto& w = s.Warnings;
  if (s.Battery && *s.Battery < limits.BatteryLowPercent) w.push_back(HistoryWarning::BatteryLow);
  if (s.BatteryPerDay && *s.BatteryPerDay < -limits.BatteryFallPerDay) {
    w.push_back(HistoryWarning::BatteryFalling);
  }
  if (s.ClockOffset && !clockSetSince &&
      std::abs(static_cast<double>(*s.ClockOffset)) > limits.ClockOffsetSeconds) {
    w.push_back(HistoryWarning::ClockOff);
  }
  if (s.DriftPerDay && std::abs(*s.DriftPerDay) > limits.ClockDriftPerDay) {
    w.push_back(HistoryWarning::ClockDrift);
  }
  if (s.RingUse && *s.RingUse * 100.0 > limits.RingUsePercent) {
    w.push_back(HistoryWarning::RingNearlyFull);
  }
  if (s.UsualInterval && s.DaysSince > limits.OverdueFactor * *s.UsualInterval) {
    w.push_back(HistoryWarning::Overdue);
  }
  if (limits.PartialRepeat > 0 && partialRun >= static_cast<std::size_t>(limits.PartialRepeat)) {
    w.push_back(HistoryWarning::RepeatedPartial);
  }
  return s;
}

}  // namespace

const char* HistoryWarningName(HistoryWarning w) {
  switch (w) {
    case HistoryWarning::BatteryLow: return "battery low";
    case HistoryWarning::BatteryFalling: return "battery falling fast";
    case HistoryWarning::ClockOff: return "clock off";
    case HistoryWarning::ClockDrift: return "clock drifts";
    case HistoryWarning::RingNearlyFull: return "ring nearly full";
    case HistoryWarning::Overdue: return "contact overdue";
    case HistoryWarning::RepeatedPartial: return "repeated partial readouts";
  }
  return "";
}

// The warnings' texts follow each other in the string table in the order of HistoryWarning.
int HistoryWarningTextId(HistoryWarning w) {
  return kTextWarningBatteryLow + static_cast<int>(w);
}

int ContactResultTextId(ContactResult r) {
  switch (r) {
    case ContactResult::FilesNotWritten: return kTextResultFilesNotWritten;
    case ContactResult::Stopped: return kTextResultStopped;
    case ContactResult::FallbackFolder: return kTextResultFallbackFolder;
    // Complete ... no communication follow each other in the string table in the order of
    // ContactResult, from complete on.
    default: return kTextResultComplete + static_cast<int>(r);
  }
}

std::optional<LoggerSummary> SummarizeLatest(const std::vector<ContactFigures>& newest,
                                             int total, std::int64_t now,
                                             const HistoryThresholds& limits) {
  if (newest.empty()) return std::nullopt;
  std::vector<const ContactFigures*> rows;
  rows.reserve(newest.size());
  for (const ContactFigures& c : newest) rows.push_back(&c);
  std::stable_sort(rows.begin(), rows.end(),
                   [](const ContactFigures* a, const ContactFigures* b) { return a->Time < b->Time; });
  const bool truncated = static_cast<int>(rows.size()) < total;
  bool tooShort = false;
  LoggerSummary s = Summarize(rows, truncated, now, limits, &tooShort);
  if (tooShort) return std::nullopt;
  s.Contacts = std::max(total, s.Contacts);
  return s;
}

std::vector<LoggerSummary> SummarizeHistory(const std::vector<ContactFigures>& contacts,
                                            std::int64_t now, const HistoryThresholds& limits) {
  std::map<std::uint32_t, std::vector<const ContactFigures*>> bySerial;
  for (const ContactFigures& c : contacts) bySerial[c.SerialNumber].push_back(&c);
  std::vector<LoggerSummary> out;
  for (auto& [serial, rows] : bySerial) {
    std::stable_sort(rows.begin(), rows.end(),
                     [](const ContactFigures* a, const ContactFigures* b) { return a->Time < b->Time; });
    bool unused = false;
    out.push_back(Summarize(rows, false, now, limits, &unused));
  }
  return out;
}

}  // namespace varnel
