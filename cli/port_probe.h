#pragma once
#include <string>

#include "link/port_owner.h"

namespace varnel::cli {

// Why COM `port` could not be opened, in one line for the operator: in use by another
// program (an exclusive or locked line), named with its process id where the system tells,
// or the system's reason. Asked only after the open failed; the look leaves a line in use
// untouched.
std::string PortOpenProblem(int port);

// "<port> is in use by another program (varnel, pid 812); ...", the holder left out when
// it is not known.
inline std::string InUseProblem(const std::string& port, const PortOwner& holder) {
  const std::string who = DescribePortOwner(holder);
  return port + " is in use by another program" + (who.empty() ? "" : " (" + who + ")") +
         "; a second collector never shares a port";
}

}  // namespace varnel::cli
