#pragma once
#include <array>
#include <string_view>

// The pressure units in which offsets may be entered; the logger takes offsets in bar.
// The unit names are shown as they stand in every language.
namespace varnel {

inline constexpr int kPressureUnitCount = 12;

// The unit names in list order; a unit's index is its position here.
const std::array<std::string_view, kPressureUnitCount>& PressureUnitNames();

// Units per bar of the unit at `index` (stored as a byte in the options); an index outside
// the list gives 1, so the value is taken as bar.
float UnitFactor(int index);

// The index of a unit name (exact spelling), or -1 for a name not in the list.
int PressureUnitIndex(std::string_view name);

// An offset entered in the unit at `index`, converted to bar.
float OffsetToBar(float value, int index);

}  // namespace varnel
