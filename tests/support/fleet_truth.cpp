#include "tests/support/fleet_truth.h"

#include <algorithm>
#include <map>

namespace varnel::testsupport {

FleetTruth ReadFleetTruth(const Json& truth) {
  if (!truth.Has("fleet")) throw std::runtime_error("not the truth file of a fleet (no \"fleet\")");
  FleetTruth t;
  t.startMs = truth["startMs"].AsInt();
  for (const Json& j : truth["loggers"].AsArray()) {
    FleetLogger l;
    l.serial = static_cast<std::uint32_t>(j["serialNumber"].AsInt());
    l.identityText = j["identityText"].AsString();
    l.seed = static_cast<std::uint64_t>(j["seed"].AsNumber());
    l.firstCallMs = j["firstCallMs"].AsInt();
    const Json& c = j["counts"];
    l.attempted = static_cast<int>(c["attempted"].AsInt());
    l.answered = static_cast<int>(c["answered"].AsInt());
    l.busy = static_cast<int>(c["busy"].AsInt());
    l.retried = static_cast<int>(c["retried"].AsInt());
    l.givenUp = static_cast<int>(c["givenUp"].AsInt());
    for (const Json& k : j["calls"].AsArray()) {
      l.calls.push_back({static_cast<int>(k["call"].AsInt()),
                         static_cast<int>(k["modemCall"].AsInt()), k["connectedMs"].AsInt(),
                         k["endedMs"].AsInt(), k["records"]});
    }
    t.loggers.push_back(std::move(l));
  }
  return t;
}

const FleetLogger* FleetTruth::Find(std::uint32_t serial) const {
  const auto it = std::find_if(loggers.begin(), loggers.end(),
                               [serial](const FleetLogger& l) { return l.serial == serial; });
  return it == loggers.end() ? nullptr : &*it;
}

std::vector<std::uint32_t> FleetTruth::AnsweredOrder() const {
  std::map<int, std::uint32_t> byCall;
  for (const FleetLogger& l : loggers) {
    for (const FleetCall& c : l.calls) byCall[c.modemCall] = l.serial;
  }
  std::vector<std::uint32_t> order;
  for (const auto& [call, serial] : byCall) order.push_back(serial);
  return order;
}

}  // namespace varnel::testsupport
