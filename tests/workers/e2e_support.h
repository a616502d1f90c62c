#pragma once
#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "sim_truth.h"
#include "test_host.h"
#include "tests/support/sim_process.h"

namespace varnel::testing {

using testsupport::SimSandbox;

using std::chrono::milliseconds;
using std::chrono::seconds;

// Compares a written .idc file with a record of the truth file: its start time and every
// measurement entry (time, kind, value where the logger had one, extra value).
void ExpectFileHoldsRecord(const std::filesystem::path& file, const TruthRecord& record);

// A host set up for the simulator: its port, data folder and the given address.
TestHost::Setup HostFor(const SimSandbox& sim, std::uint8_t address);

// True once the host has seen WM_FILES_DONE (and, in modem mode, the hang-up report).
bool ReadoutOver(const TestHost& host);

}  // namespace varnel::testing

namespace varnel::testing {

// The stop of a job must end its worker within this time.
inline constexpr std::chrono::milliseconds kStopLimit{200};

// A file of a record that was read only in part (its newest pages): its entries must be
// the last entries of the truth record. Values of events and markers that come before the
// file's first measurement are not compared: they carry a value from a page not read.
void ExpectFileHoldsNewestPartOfRecord(const std::filesystem::path& file, const TruthRecord& record);

// Walks the frame log in order.
class FrameCursor {
 public:
  explicit FrameCursor(std::vector<TruthFrame> frames) : frames_(std::move(frames)) {}
  // The next frame must be `function` and its data must begin with `dataPrefix`.
  void Expect(int function, std::vector<unsigned char> dataPrefix = {});
  // Skips the frames for which `match` holds; returns how many.
  int SkipWhile(const std::function<bool(const TruthFrame&)>& match);
  bool AtEnd() const { return next_ >= frames_.size(); }
  const TruthFrame* Peek() const { return AtEnd() ? nullptr : &frames_[next_]; }
  std::size_t Position() const { return next_; }

 private:
  std::vector<TruthFrame> frames_;
  std::size_t next_ = 0;
};

}  // namespace varnel::testing

namespace varnel::testing {
// The messages the host received, one a line with their time, for failure messages.
std::string Transcript(const TestHost& host);
}  // namespace varnel::testing
