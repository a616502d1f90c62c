#pragma once
#include <string>

namespace varnel {

// Empty when the window program can show its window here; otherwise the one line that says
// why not and what to use instead. Decided before Qt is started, because Qt's own platform
// plugin aborts the process with a message that does not help an operator at a server.
std::string MissingDesktopProblem(int argc, char** argv);

}  // namespace varnel
