#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

// Who holds a COM port. One program per line: a second opener is refused, and it can tell the
// operator which program has the line, so that the first one can be found and ended (two
// collectors on one modem would answer the same call and write into one log).
namespace varnel {

struct PortOwner {
  std::int64_t pid = 0;  // 0: not known
  std::string program;   // the holder's program name; empty when not known
};

// The holder of COM portNumber when another open of the port has it now (another program, or
// another open in this one); nullopt when nobody is seen holding it (free, no device, or a
// failure of another kind). The holder may be unknown (an empty PortOwner): a program not of
// ours, or one of another user whose record cannot be read. The look takes nothing.
//   POSIX: the lock table of the system (/proc/locks) names the process whose lock the
//          opener met; without it the device is asked, and the holder stays unknown.
//   Windows: the port's claim (PortClaim below) and its record.
std::optional<PortOwner> FindPortHolder(int portNumber);

// "varnel-collect, pid 812", "pid 812", or "" for an unknown holder.
std::string DescribePortOwner(const PortOwner& owner);

#ifdef _WIN32
// Held while the port is open, from before the device is opened until Close(): a named mutex
// that a second opener of ours meets (Wine lets a second program open a port that Windows
// would refuse), and a small record with this process's id and program name. The mutex is in
// the Global namespace, since a port belongs to the machine: a collector running as a service
// (session 0) and a window on the desktop must refuse each other. The record goes to Global
// too where the process may create it there (a service may; a desktop user may not), else to
// the session's Local namespace: a service's record is then not readable from the desktop,
// and the window says only that another program holds the port.
class PortClaim {
 public:
  // Null when another program (or another open in this one) holds the claim.
  static std::unique_ptr<PortClaim> Take(int portNumber);
  ~PortClaim();
  PortClaim(const PortClaim&) = delete;
  PortClaim& operator=(const PortClaim&) = delete;

  // Lets the claim go at once (the port is free for the next opener); more than once is fine.
  void Release();

 private:
  PortClaim(void* mutex, void* record, void* view)
      : mutex_(mutex), record_(record), view_(view) {}
  void* mutex_;
  void* record_;
  void* view_;
};
#endif

}  // namespace varnel
