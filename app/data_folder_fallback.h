#pragma once
#include <QString>

namespace varnel {

// Where a call's files go when the data folder cannot take them, so that nothing read from
// a logger is lost: "fallback-data" in the per-user data folder, with the usual folder per
// serial number below it.
QString FallbackDataFolder();

}  // namespace varnel
