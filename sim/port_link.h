#pragma once
#include <string>

namespace varnel::sim {

// The link com<n> in the ports folder that makes a device the collector's COM port n.
// An existing link is never silently taken over: a dangling one (left by a simulator that
// was killed) is replaced, a live one only with `force`, and then restored on removal.
class PortLink {
 public:
  PortLink() = default;
  ~PortLink() { Remove(); }
  PortLink(const PortLink&) = delete;
  PortLink& operator=(const PortLink&) = delete;

  // Returns "" or why the link cannot be made.
  std::string Publish(int portNumber, const std::string& target, bool force);
  // Removes the link if it still points at our target, and puts back a link it replaced.
  void Remove();
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string target_;
  std::string previous_;
};

}  // namespace varnel::sim
