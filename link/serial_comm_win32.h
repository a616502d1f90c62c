#pragma once
#ifdef _WIN32
#include <string>
#include <vector>

namespace varnel {

// The serial ports that Windows lists in the registry key subKey of HKEY_LOCAL_MACHINE
// (HKEY_CURRENT_USER when localMachine is false): one string value per port, named after
// its kernel device ("\Device\Serial0"), holding the port name ("COM1"). The values are
// enumerated with the registry API, since their names hold backslashes that a settings
// library would take for sub-keys. Empty when the key is missing.
std::vector<std::string> SerialCommPortNames(
    const wchar_t* subKey = L"HARDWARE\\DEVICEMAP\\SERIALCOMM", bool localMachine = true);

}  // namespace varnel
#endif
