#include "device/pressure_units.h"

namespace varnel {
namespace {

constexpr std::array<std::string_view, kPressureUnitCount> kNames = {
    "bar", "mbar", "mWs",  "mmWs", "foot H2O",  "inch H2O",
    "PSI", "Pa",   "kPa",  "MPa",  "mmHg/Torr", "atm",
};

constexpr std::array<float, kPressureUnitCount> kUnitsPerBar = {
    1.0f,    1000.0f,   10.1972f, 10197.162f, 33.45522f, 401.46292f,
    14.5038f, 100000.0f, 100.0f,   0.1f,       750.062f,  0.986923f,
};

}  // namespace

const std::array<std::string_view, kPressureUnitCount>& PressureUnitNames() { return kNames; }

float UnitFactor(int index) {
  if (index < 0 || index >= kPressureUnitCount) return 1.0f;
  return kUnitsPerBar[static_cast<std::size_t>(index)];
}

int PressureUnitIndex(std::string_view name) {
  for (int i = 0; i < kPressureUnitCount; ++i)
    if (kNames[static_cast<std::size_t>(i)] == name) return i;
  return -1;
}

float OffsetToBar(float value, int index) { return value / UnitFactor(index); }

}  // namespace varnel
