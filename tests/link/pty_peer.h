#pragma once
// The far end of a pseudo-terminal, standing in for a logger (or a modem) in the link
// tests: a thread reads each request from the master side and answers it by script.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace varnel::testing {

using Bytes = std::vector<std::uint8_t>;

// One part of an answer: wait delayMs, then send bytes.
struct Piece {
  int delayMs = 0;
  Bytes bytes;
};
using Answer = std::vector<Piece>;
using Script = std::function<Answer(const Bytes& request)>;

class PtyPeer {
public:
  PtyPeer();
  ~PtyPeer();
  PtyPeer(const PtyPeer&) = delete;
  PtyPeer& operator=(const PtyPeer&) = delete;

  bool Ok() const { return master_ >= 0 && slaveHold_ >= 0; }
  const std::string& SlavePath() const { return slavePath_; }
  // A descriptor of the slave side held open by the peer (so the line never hangs up
  // between two opens); for looking at the line settings.
  int SlaveFd() const { return slaveHold_; }

  // Replaces the script; requests arriving without one are logged only. An answer still in
  // progress is dropped: once this returns, nothing more of it is sent. Scripts run on the
  // peer's thread and may outlive the scope that set them: capture by value.
  void SetScript(Script script);
  // While paused the peer reads nothing, so the line fills up.
  void PauseReading(bool paused);
  // Sends bytes from the far end now.
  void Send(const Bytes& bytes);

  std::vector<Bytes> Requests() const;
  std::size_t RequestCount() const;
  Bytes Received() const;  // every byte received, in order
  void ClearLog();
  // Waits until at least count requests were received (false on time-out).
  bool WaitForRequests(std::size_t count, int timeoutMs) const;

private:
  void Run();
  void WriteAll(const Bytes& bytes);

  int master_ = -1;
  int slaveHold_ = -1;
  std::string slavePath_;
  std::atomic<bool> stop_{false};
  std::atomic<bool> paused_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  Script script_;
  std::mutex answerMutex_;  // held while a piece of an answer is sent
  std::atomic<unsigned> generation_{0};
  std::vector<Bytes> requests_;
  std::thread thread_;
};

// Builders for reply frames (CRC high byte first).
Bytes WithCrc(Bytes content);
Bytes ErrorReply(std::uint8_t addr, std::uint8_t function, std::uint8_t code);
// An answer of one piece sent at once.
Answer Now(const Bytes& bytes);

}  // namespace varnel::testing
