#include "link/serial_comm_win32.h"

#include <windows.h>

namespace varnel {

std::vector<std::string> SerialCommPortNames(const wchar_t* subKey, bool localMachine) {
  std::vector<std::string> names;
  HKEY key = nullptr;
  if (RegOpenKeyExW(localMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, subKey, 0,
                    KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return names;
  }
  DWORD valueCount = 0, maxNameChars = 0, maxDataBytes = 0;
  if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valueCount,
                       &maxNameChars, &maxDataBytes, nullptr, nullptr) == ERROR_SUCCESS) {
    std::wstring name(maxNameChars + 1, L'\0');
    std::wstring data(maxDataBytes / sizeof(wchar_t) + 1, L'\0');
    for (DWORD i = 0; i < valueCount; ++i) {
      DWORD nameChars = static_cast<DWORD>(name.size());
      DWORD dataBytes = static_cast<DWORD>(data.size() * sizeof(wchar_t));
      DWORD type = 0;
      if (RegEnumValueW(key, i, name.data(), &nameChars, nullptr, &type,
                        reinterpret_cast<BYTE*>(data.data()), &dataBytes) != ERROR_SUCCESS ||
          type != REG_SZ) {
        continue;
      }
      std::wstring port(data.data(), dataBytes / sizeof(wchar_t));
      while (!port.empty() && port.back() == L'\0') port.pop_back();
      // Port names are ASCII ("COM12"); anything else is not a port this program opens.
      std::string ascii;
      bool plain = !port.empty();
      for (wchar_t c : port) {
        if (c <= 0 || c > 0x7E) plain = false;
        ascii += static_cast<char>(c);
      }
      if (plain) names.push_back(ascii);
    }
  }
  RegCloseKey(key);
  return names;
}

}  // namespace varnel
