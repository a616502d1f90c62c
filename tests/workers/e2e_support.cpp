#include "e2e_support.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "files/idc_reader.h"
#include "link/byte_order.h"
#include "workers/worker_messages.h"

namespace varnel::testing {

void ExpectFileHoldsRecord(const std::filesystem::path& file, const TruthRecord& record) {
  SCOPED_TRACE("file " + file.string());
  const IdcFile idc = ReadIdcFile(file);
  EXPECT_EQ(idc.StartTime, record.StartTime);
  ASSERT_EQ(idc.Measurements.size(), record.Entries.size());
  for (std::size_t i = 0; i < record.Entries.size(); ++i) {
    const TruthEntry& want = record.Entries[i];
    const IdcEntry& got = idc.Measurements[i];
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(got.DateTime, DeviceTimeToDateTime(want.Time));
    EXPECT_EQ(got.Kind, want.Kind);
    if (want.Value) {
      EXPECT_EQ(got.Value, *want.Value);
    }
    EXPECT_EQ(got.Extra, want.Extra);
  }
}

TestHost::Setup HostFor(const SimSandbox& sim, std::uint8_t address) {
  TestHost::Setup s;
  s.port = sim.Port();
  s.address = address;
  s.dataFolder = sim.DataFolder();
  return s;
}

bool ReadoutOver(const TestHost& host) {
  if (host.FilesDone().empty()) return false;
  return !host.Config().modem || host.SawResult(wdHungUp);
}

}  // namespace varnel::testing

namespace varnel::testing {

void ExpectFileHoldsNewestPartOfRecord(const std::filesystem::path& file, const TruthRecord& record) {
  SCOPED_TRACE("file " + file.string());
  const IdcFile idc = ReadIdcFile(file);
  ASSERT_LE(idc.Measurements.size(), record.Entries.size());
  const std::size_t skip = record.Entries.size() - idc.Measurements.size();
  bool valueSeen = false;
  for (std::size_t i = 0; i < idc.Measurements.size(); ++i) {
    const TruthEntry& want = record.Entries[skip + i];
    const IdcEntry& got = idc.Measurements[i];
    SCOPED_TRACE("entry " + std::to_string(i));
    EXPECT_EQ(got.DateTime, DeviceTimeToDateTime(want.Time));
    EXPECT_EQ(got.Kind, want.Kind);
    EXPECT_EQ(got.Extra, want.Extra);
    valueSeen = valueSeen || want.Kind < kIdcKindEvent;
    if (want.Value && valueSeen) {
      EXPECT_EQ(got.Value, *want.Value);
    }
  }
}

void FrameCursor::Expect(int function, std::vector<unsigned char> dataPrefix) {
  ASSERT_LT(next_, frames_.size()) << "the frames end before function " << function;
  const TruthFrame& f = frames_[next_];
  EXPECT_EQ(f.Function, function) << "frame " << next_;
  if (f.Function == function) {
    ASSERT_GE(f.Data.size(), dataPrefix.size()) << "frame " << next_;
    EXPECT_TRUE(std::equal(dataPrefix.begin(), dataPrefix.end(), f.Data.begin()))
        << "frame " << next_ << " of function " << function;
  }
  ++next_;
}

int FrameCursor::SkipWhile(const std::function<bool(const TruthFrame&)>& match) {
  int n = 0;
  while (next_ < frames_.size() && match(frames_[next_])) {
    ++next_;
    ++n;
  }
  return n;
}

}  // namespace varnel::testing

namespace varnel::testing {
std::string Transcript(const TestHost& host) {
  std::string s;
  if (host.Messages().empty()) return s;
  const auto t0 = host.Messages().front().At;
  for (const auto& m : host.Messages()) {
    if (m.Message == WM_WORKER_PROGRESS) continue;
    const auto ms = std::chrono::duration_cast<milliseconds>(m.At - t0).count();
    const char* name = m.Message == WM_WORKER_DONE     ? "done"
                       : m.Message == WM_WORKER_STATUS ? "status"
                       : m.Message == WM_FILES_DONE    ? "files done"
                                                       : "?";
    s += std::to_string(ms) + " ms " + name + " " + std::to_string(m.W) + " " +
         std::to_string(m.L);
    if (!m.Text.empty()) {
      std::string t;
      for (char c : m.Text) t += (c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c));
      s += " \"" + t + "\"";
    }
    s += "\n";
  }
  return s;
}
}  // namespace varnel::testing
