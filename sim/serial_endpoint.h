#pragma once
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <string>

#include "sim/line_pacer.h"

namespace varnel::sim {

// The simulator's end of the line: the master side of a pseudo-terminal whose slave the
// collector opens as its COM port, or a real serial device. Plain POSIX calls; this is the
// equipment's side, not the program's port layer.
class SerialEndpoint {
 public:
  SerialEndpoint() = default;
  ~SerialEndpoint();
  SerialEndpoint(const SerialEndpoint&) = delete;
  SerialEndpoint& operator=(const SerialEndpoint&) = delete;

  // Returns "" or why it failed.
  std::string OpenPty();
  std::string OpenDevice(const std::string& path);

  int fd() const { return fd_; }
  // The device the collector opens: the pty slave, or the serial device itself.
  const std::string& peerPath() const { return peerPath_; }

  // Reads what has arrived without waiting: > 0 bytes, 0 for nothing, -1 on a line failure.
  long Read(std::uint8_t* buffer, std::size_t size);

  enum class SendResult { kSent, kStopped, kStalled, kFailed };
  // Sends bytes at the pace of `pacer`. Gives up when *stop becomes non-zero, or when the
  // peer has not taken a byte for a second (the rest is dropped, as on a line nobody reads).
  SendResult Send(const std::uint8_t* data, std::size_t n, LinePacer& pacer,
                  const volatile std::sig_atomic_t* stop);

 private:
  SendResult WriteAll(const std::uint8_t* data, std::size_t n, const volatile std::sig_atomic_t* stop);
  void Close();

  int fd_ = -1;
  int slaveFd_ = -1;  // held open so the pty keeps its settings while the collector reopens it
  std::string peerPath_;
};

}  // namespace varnel::sim
