#pragma once
#include <string>
#include <vector>

namespace varnel {

// Starts `program` with `arguments` as a process of its own that this program does not wait
// for and does not keep as a child: it runs in its own session, in the current folder with
// the current environment, and inherits no open file of this program, not even its standard
// streams (the module's input, output and error are the null device). The program is a path;
// a name without a folder is looked up on PATH. True when the program was started (exec succeeded).
bool StartDetachedProcess(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace varnel
