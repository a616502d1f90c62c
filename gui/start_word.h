#pragma once
#include <QStringList>

namespace varnel {

// True when the command line asks to press Start once the window is up: "--start", or the
// word START anywhere in the joined, upper-cased parameters (as the word DEBUG works).
bool StartRequested(const QStringList& arguments);

}  // namespace varnel
