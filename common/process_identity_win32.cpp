#include "common/process_identity.h"

#include <windows.h>

namespace varnel {

qint64 CurrentProcessId() { return static_cast<qint64>(GetCurrentProcessId()); }

bool ProcessAlive(qint64 pid) {
  if (pid <= 0) return false;
  HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
  if (!process) return GetLastError() == ERROR_ACCESS_DENIED;  // another user's process
  const bool running = WaitForSingleObject(process, 0) == WAIT_TIMEOUT;
  CloseHandle(process);
  return running;
}

// Windows keeps no boot identifier that a plain user can read; process numbers are checked
// against running processes only.
QString BootId() { return {}; }

}  // namespace varnel
