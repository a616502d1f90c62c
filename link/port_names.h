#pragma once
#include <string>

namespace varnel {

// Where the "COM"n names of the operator's port menu point on a POSIX system: a folder of
// symbolic links com1 ... com9 (the convention Wine uses for its dosdevices). The folder is
// $VARNEL_PORTS when set, else the ports folder in the per-user configuration folder
// ($XDG_CONFIG_HOME/varnel/ports, or ~/.config/varnel/ports).
std::string PortsFolder();

// The path of the link for COM n in the ports folder ("<folder>/com<n>").
std::string PortLinkPath(int portNumber);

// The device that COM n opens: the link when it exists, otherwise the default device
// /dev/ttyS<n-1> (COM1 is /dev/ttyS0). COM0 has no default and gives "", and so does a
// port whose link this process has seen before and that is gone now.
std::string ResolveComPort(int portNumber);

}  // namespace varnel
