#pragma once
#include "history/logger_summary.h"

// The warning thresholds live in the per-user settings of their own (on Windows the key
// HKCU\Software\Varnel\History, on Linux $XDG_CONFIG_HOME/Varnel/History.conf), group
// [Thresholds], apart from the collector's settings, which keep their layout unchanged. A
// missing or unreadable value keeps its default.
namespace varnel {

HistoryThresholds ReadHistoryThresholds();

}  // namespace varnel
