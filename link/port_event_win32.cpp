// The stop event on Windows: an unnamed, auto-reset, initially clear event object.
#include <windows.h>

#include "link/port_event.h"

namespace varnel {

PortEvent::PortEvent() : handle_(::CreateEventA(nullptr, FALSE, FALSE, nullptr)) {}

PortEvent::~PortEvent() {
  if (handle_) ::CloseHandle(static_cast<HANDLE>(handle_));
}

bool PortEvent::Valid() const { return handle_ != nullptr; }

void PortEvent::Signal() {
  if (handle_) ::SetEvent(static_cast<HANDLE>(handle_));
}

bool PortEvent::Wait(int timeoutMs) {
  if (!handle_) return false;
  const DWORD limit = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
  return ::WaitForSingleObject(static_cast<HANDLE>(handle_), limit) == WAIT_OBJECT_0;
}

bool PortEvent::TryConsume() { return Wait(0); }

}  // namespace varnel
