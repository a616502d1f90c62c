#pragma once
// A modem that can be unplugged while its simulator plays on: the collector's port is a
// pseudo-terminal of this process, published as COM n, and every byte is passed on to and
// from the simulator's own port. Unplugged, the collector's side goes as a USB adapter's
// does (its device closes, the link names nothing), while the simulator's modem keeps
// being typed to, so that the loggers that call meanwhile find the line busy and dial
// again, as they would on a line nobody answers, instead of connecting to nobody.
#include <atomic>
#include <string>
#include <thread>

namespace varnel::bench {

class ModemRelay {
 public:
  ModemRelay() = default;
  ~ModemRelay();
  ModemRelay(const ModemRelay&) = delete;
  ModemRelay& operator=(const ModemRelay&) = delete;

  // Opens the simulator's port (`simLink`) and publishes a line of its own as `link`;
  // false with *why when that failed.
  bool Start(const std::string& simLink, const std::string& link, std::string* why);
  void Unplug() { plugged_ = false; }
  void Plug() { plugged_ = true; }

 private:
  void Run();
  bool OpenLine();
  void CloseLine();

  std::string link_;
  int sim_ = -1;
  int master_ = -1, heldSlave_ = -1;
  std::atomic<bool> plugged_{true}, stop_{false};
  std::thread thread_;
};

}  // namespace varnel::bench
