#include "cli/port_probe.h"

#include <windows.h>

#include <string>

namespace varnel::cli {

namespace {

std::string SystemMessage(DWORD code) {
  char* text = nullptr;
  const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                     FORMAT_MESSAGE_IGNORE_INSERTS,
                                 nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = n > 0 && text ? std::string(text, n) : "error " + std::to_string(code);
  if (text) LocalFree(text);
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == '.' || message.back() == ' ')) {
    message.pop_back();
  }
  return message;
}

}  // namespace

std::string PortOpenProblem(int port) {
  const std::string com = "COM" + std::to_string(port);
  const std::string device = "\\\\.\\" + com;
  if (const auto holder = FindPortHolder(port)) return InUseProblem(com, *holder);
  // A serial port opens for one program only: a second open fails with "access denied".
  HANDLE h = CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                         OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    if (error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION) {
      return InUseProblem(com, PortOwner{});
    }
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) {
      return com + " has no device";
    }
    return com + " could not be opened: " + SystemMessage(error);
  }
  CloseHandle(h);
  return com + " could not be set up as a serial line";
}

}  // namespace varnel::cli
