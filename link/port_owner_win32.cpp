// The claim on a port on Windows: see PortClaim in port_owner.h. The mutex counts by its
// existence, not by ownership: it lives exactly as long as a handle to it is open, so it goes
// with the port's Close() whatever thread makes it, and with the process if that is killed.
#include <windows.h>

#include <cstring>
#include <string>

#include "link/port_owner.h"

namespace varnel {

namespace {

// The record of the holder, as the named shared memory holds it.
struct OwnerRecord {
  char tag[8];  // kTag once the rest is written
  std::uint32_t pid;
  char program[116];  // UTF-8, NUL-terminated
};
constexpr char kTag[8] = "VarnelP";

std::string MutexName(int port) { return "Global\\Varnel-COM" + std::to_string(port); }
std::string RecordName(const char* space, int port) {
  return std::string(space) + "\\Varnel-COM" + std::to_string(port) + "-owner";
}

// This program's file name without its folder ("varnel-collect.exe").
std::string ProgramName() {
  wchar_t path[MAX_PATH];
  const DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return {};
  const wchar_t* name = path;
  for (const wchar_t* p = path; *p; ++p) {
    if (*p == L'\\' || *p == L'/') name = p + 1;
  }
  char utf8[3 * MAX_PATH];
  const int k = ::WideCharToMultiByte(CP_UTF8, 0, name, -1, utf8, sizeof utf8, nullptr, nullptr);
  return k > 0 ? std::string(utf8) : std::string();
}

// The record in the Global namespace where this process may create it there, else in Local.
HANDLE CreateRecord(int port) {
  for (const char* space : {"Global", "Local"}) {
    const HANDLE h = ::CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                          sizeof(OwnerRecord), RecordName(space, port).c_str());
    if (h) return h;
  }
  return nullptr;
}

std::optional<PortOwner> ReadRecord(int port) {
  for (const char* space : {"Global", "Local"}) {
    const HANDLE h = ::OpenFileMappingA(FILE_MAP_READ, FALSE, RecordName(space, port).c_str());
    if (!h) continue;
    std::optional<PortOwner> owner;
    if (const void* view = ::MapViewOfFile(h, FILE_MAP_READ, 0, 0, sizeof(OwnerRecord))) {
      OwnerRecord r;
      std::memcpy(&r, view, sizeof r);
      ::UnmapViewOfFile(view);
      if (std::memcmp(r.tag, kTag, sizeof kTag) == 0) {
        r.program[sizeof r.program - 1] = '\0';
        owner = PortOwner{static_cast<std::int64_t>(r.pid), r.program};
      }
    }
    ::CloseHandle(h);
    if (owner) return owner;
  }
  return std::nullopt;
}

}  // namespace

std::unique_ptr<PortClaim> PortClaim::Take(int portNumber) {
  const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, MutexName(portNumber).c_str());
  if (!mutex) {
    // "Access denied": it exists, made by another user's program (a service) with its
    // rights. Any other failure leaves the device's own exclusive open to refuse.
    if (::GetLastError() == ERROR_ACCESS_DENIED) return nullptr;
    return std::unique_ptr<PortClaim>(new PortClaim(nullptr, nullptr, nullptr));
  }
  if (::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::CloseHandle(mutex);
    return nullptr;
  }
  // Without a record the port still opens; the second opener then names nobody.
  const HANDLE record = CreateRecord(portNumber);
  void* view = record ? ::MapViewOfFile(record, FILE_MAP_WRITE, 0, 0, sizeof(OwnerRecord))
                      : nullptr;
  if (view) {
    OwnerRecord r{};
    r.pid = ::GetCurrentProcessId();
    const std::string program = ProgramName();
    std::strncpy(r.program, program.c_str(), sizeof r.program - 1);
    std::memcpy(view, &r, sizeof r);
    // The tag last: a reader never takes a half-written record for a whole one.
    MemoryBarrier();
    std::memcpy(static_cast<OwnerRecord*>(view)->tag, kTag, sizeof kTag);
  }
  return std::unique_ptr<PortClaim>(new PortClaim(mutex, record, view));
}

PortClaim::~PortClaim() { Release(); }

void PortClaim::Release() {
  if (view_) ::UnmapViewOfFile(view_);
  if (record_) ::CloseHandle(static_cast<HANDLE>(record_));
  if (mutex_) ::CloseHandle(static_cast<HANDLE>(mutex_));
  view_ = record_ = mutex_ = nullptr;
}

std::optional<PortOwner> FindPortHolder(int portNumber) {
  const HANDLE mutex = ::OpenMutexA(SYNCHRONIZE, FALSE, MutexName(portNumber).c_str());
  const DWORD error = mutex ? ERROR_SUCCESS : ::GetLastError();
  if (mutex) ::CloseHandle(mutex);
  if (mutex || error == ERROR_ACCESS_DENIED) return ReadRecord(portNumber).value_or(PortOwner{});
  // No claim of ours: a program of another maker may still hold the device exclusively.
  const std::string device = "\\\\.\\COM" + std::to_string(portNumber);
  const HANDLE h = ::CreateFileA(device.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    ::CloseHandle(h);
    return std::nullopt;
  }
  const DWORD open = ::GetLastError();
  if (open == ERROR_ACCESS_DENIED || open == ERROR_SHARING_VIOLATION) return PortOwner{};
  return std::nullopt;
}

}  // namespace varnel
