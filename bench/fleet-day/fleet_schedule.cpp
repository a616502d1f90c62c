#include "bench/fleet-day/fleet_schedule.h"

#include <algorithm>
#include <vector>

namespace varnel::bench {

namespace {

struct Held {
  long long dialMs, connectedMs, endedMs;
};

// The simulator's ticks come a little late; a dial this close to a call still counts as
// one the call made busy.
constexpr long long kToleranceMs = 150;

}  // namespace

LineFigures ReadLine(const testsupport::FleetTruth& truth, const FleetRules& rules) {
  LineFigures f;
  const long long ringMs = static_cast<long long>(rules.rings * rules.ringPauseS * 1000);
  const long long quietMs = static_cast<long long>(rules.callAfterS * 1000);
  const long long retryMs = static_cast<long long>(rules.retryPauseS * 1000);
  std::vector<Held> calls;
  // First the moments the line was held by calls, then each call's fair dial against them.
  std::vector<std::pair<long long, long long>> heldSpans;
  for (const auto& l : truth.loggers) {
    for (const auto& c : l.calls) {
      if (c.endedMs >= 0) heldSpans.push_back({c.connectedMs - ringMs, c.endedMs + quietMs});
    }
  }
  const auto heldByCall = [&heldSpans](long long at) {
    return std::any_of(heldSpans.begin(), heldSpans.end(), [at](const auto& s) {
      return at >= s.first - kToleranceMs && at <= s.second + kToleranceMs;
    });
  };
  for (const auto& l : truth.loggers) {
    ++f.loggers;
    f.attempted += l.attempted;
    f.answered += l.answered;
    f.busy += l.busy;
    f.retried += l.retried;
    f.givenUp += l.givenUp;
    if (!l.calls.empty()) ++f.collectedOnLine;
    for (std::size_t i = 0; i < l.calls.size(); ++i) {
      const auto& c = l.calls[i];
      if (c.endedMs < 0) {
        f.complete = false;
        continue;
      }
      // The dial that got through: the first dial plus a retry pause per busy line. A later
      // call's dial is not in the file: it is taken as the moment its ringing began.
      // A dial that found the line busy only because the collector had just typed to the
      // modem should have got through: the pause is reckoned from the first such dial.
      long long dial = c.connectedMs - ringMs;
      if (i == 0) {
        dial = truth.startMs + l.firstCallMs + l.retried * retryMs;
        for (int k = 0; k < l.retried; ++k) {
          const long long at = truth.startMs + l.firstCallMs + k * retryMs;
          if (!heldByCall(at)) {
            dial = at;
            break;
          }
        }
      }
      calls.push_back({dial, c.connectedMs, c.endedMs});
    }
  }
  std::sort(calls.begin(), calls.end(),
            [](const Held& a, const Held& b) { return a.connectedMs < b.connectedMs; });
  long long free = truth.startMs, lastEnd = truth.startMs;
  for (const Held& c : calls) {
    const double held = (c.endedMs - c.connectedMs) / 1000.0;
    f.lineS += held;
    f.longestCallS = std::max(f.longestCallS, held);
    // The earliest this call could have connected: the line free and the logger dialled,
    // then its rings. Never more than the gap that really was.
    const long long earliest = std::max(free, c.dialMs) + ringMs;
    f.pausesS += std::min(earliest, c.connectedMs) > lastEnd
                     ? (std::min(earliest, c.connectedMs) - lastEnd) / 1000.0
                     : 0.0;
    free = c.endedMs + quietMs;
    lastEnd = c.endedMs;
  }
  f.spanS = (lastEnd - truth.startMs) / 1000.0;

  for (const auto& l : truth.loggers) {
    for (int i = 0; i < l.busy; ++i) {
      if (!heldByCall(truth.startMs + l.firstCallMs + i * retryMs)) ++f.busyWithoutCall;
    }
  }
  return f;
}

}  // namespace varnel::bench
