// Pressure units of the offset correction.
#include <gtest/gtest.h>

#include <string_view>

#include "device/pressure_units.h"

namespace varnel {
namespace {

struct Unit {
  std::string_view name;
  float perBar;
};

// Names exactly as listed, factors as 32-bit floats.
constexpr Unit kUnits[] = {
    {"bar", 1.0f},           {"mbar", 1000.0f},        {"mWs", 10.1972f},
    {"mmWs", 10197.162f},    {"foot H2O", 33.45522f},  {"inch H2O", 401.46292f},
    {"PSI", 14.5038f},       {"Pa", 100000.0f},        {"kPa", 100.0f},
    {"MPa", 0.1f},           {"mmHg/Torr", 750.062f},  {"atm", 0.986923f},
};

TEST(PressureUnits, EveryUnitHasItsNameAndFactorInListOrder) {
  ASSERT_EQ(PressureUnitNames().size(), std::size(kUnits));
  for (int i = 0; i < kPressureUnitCount; ++i) {
    EXPECT_EQ(PressureUnitNames()[static_cast<std::size_t>(i)], kUnits[i].name) << i;
    EXPECT_EQ(UnitFactor(i), kUnits[i].perBar) << kUnits[i].name;
    EXPECT_EQ(PressureUnitIndex(kUnits[i].name), i);
  }
}

TEST(PressureUnits, IndicesOutsideTheListMeanBar) {
  for (int i : {12, 13, 255, -1, 1000}) EXPECT_EQ(UnitFactor(i), 1.0f) << i;
  EXPECT_FLOAT_EQ(OffsetToBar(0.25f, 12), 0.25f);
  EXPECT_FLOAT_EQ(OffsetToBar(0.25f, 255), 0.25f);
}

TEST(PressureUnits, UnknownNamesHaveNoIndex) {
  // Names are matched exactly: case and blanks count.
  for (std::string_view name : {"", "BAR", "psi", "foot  H2O", "mmHg", "Torr", "hPa"}) {
    EXPECT_EQ(PressureUnitIndex(name), -1) << name;
  }
}

TEST(PressureUnits, OffsetsConvertToBar) {
  EXPECT_FLOAT_EQ(OffsetToBar(500.0f, PressureUnitIndex("mbar")), 0.5f);
  EXPECT_FLOAT_EQ(OffsetToBar(10.0f, PressureUnitIndex("kPa")), 0.1f);
  EXPECT_NEAR(OffsetToBar(1.0f, PressureUnitIndex("atm")), 1.01325f, 1e-5f);
  EXPECT_NEAR(OffsetToBar(14.5038f, PressureUnitIndex("PSI")), 1.0f, 1e-6f);
  EXPECT_FLOAT_EQ(OffsetToBar(-2.0f, PressureUnitIndex("bar")), -2.0f);
}

}  // namespace
}  // namespace varnel
