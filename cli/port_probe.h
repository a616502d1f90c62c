#pragma once
#include <string>

namespace varnel::cli {

// Why COM `port` could not be opened, in one line for the operator: in use by another
// program (an exclusive or locked line), or the system's reason. Asked only after the open
// failed; the look leaves a line in use untouched.
std::string PortOpenProblem(int port);

}  // namespace varnel::cli
