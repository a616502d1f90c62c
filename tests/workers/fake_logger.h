#pragma once
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "tests/support/published_pty.h"

namespace varnel::testing {

using PageBytes = std::array<std::uint8_t, 64>;

// A logger with a memory laid out by hand, on a pseudo-terminal published as COM 3, for the
// cases of the record scan that a generated memory does not give (damaged links). It serves
// identity, serial number, configuration entries 1, 2, 3 and 8, and page block reads; a
// page past the end of memory is refused with device error 2.
class FakeLogger {
 public:
  struct Memory {
    std::uint16_t lastPage = 0;
    std::uint8_t reservedPages = 0;
    std::uint16_t writePointer = 0;
    std::vector<PageBytes> pages;  // lastPage + 1 of them
  };

  explicit FakeLogger(Memory memory, std::uint8_t address = 250);
  ~FakeLogger();
  FakeLogger(const FakeLogger&) = delete;
  FakeLogger& operator=(const FakeLogger&) = delete;

  static constexpr int kPort = 3;
  bool Ok() const { return pty_.Ok(); }
  // The page numbers of the block reads received, in order.
  std::vector<int> PagesAsked() const;

  static PageBytes Erased();
  // A ring page of the record whose first page is `link`; a first page has the start flag.
  static PageBytes RecordPage(int page, int link, std::uint32_t time);

 private:
  void Serve();
  std::vector<std::uint8_t> Answer(const std::vector<std::uint8_t>& request);

  Memory memory_;
  std::uint8_t address_;
  testsupport::PublishedPty pty_{kPort, "varnel-fake"};
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::vector<int> pagesAsked_;
  std::thread thread_;
};

}  // namespace varnel::testing
