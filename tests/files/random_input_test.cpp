// Both readers against thousands of randomly damaged files: every input either reads or
// gives a FileFormatError; nothing else escapes, nothing crashes (run it under the
// address sanitizer build to see out-of-bounds reads too).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <random>
#include <sstream>

#include "files/cfx_reader.h"
#include "files/cfx_writer.h"
#include "files/file_error.h"
#include "files/idc_blocks.h"
#include "files/idc_reader.h"
#include "files/idc_text.h"
#include "files_test_util.h"

namespace varnel {
namespace {

class Mutator {
 public:
  explicit Mutator(std::uint32_t seed) : rng_(seed) {}

  std::size_t Below(std::size_t n) { return n ? std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_) : 0; }

  std::vector<std::uint8_t> Mutate(std::vector<std::uint8_t> d) {
    const int steps = 1 + static_cast<int>(Below(4));
    for (int s = 0; s < steps; ++s) {
      switch (Below(7)) {
        case 0:  // flip bits of a byte
          if (!d.empty()) d[Below(d.size())] ^= static_cast<std::uint8_t>(1 + Below(255));
          break;
        case 1:  // a telling value: 0, 0xFF, 0x80, 0x7F
          if (!d.empty()) d[Below(d.size())] = std::array<std::uint8_t, 4>{0, 0xFF, 0x80, 0x7F}[Below(4)];
          break;
        case 2:  // cut the end
          d.resize(Below(d.size() + 1));
          break;
        case 3: {  // remove a run
          if (d.empty()) break;
          const std::size_t at = Below(d.size());
          const std::size_t n = std::min(d.size() - at, 1 + Below(16));
          d.erase(d.begin() + static_cast<long>(at), d.begin() + static_cast<long>(at + n));
          break;
        }
        case 4: {  // insert random bytes
          const std::size_t at = Below(d.size() + 1);
          const std::size_t n = 1 + Below(16);
          std::vector<std::uint8_t> ins(n);
          for (auto& b : ins) b = static_cast<std::uint8_t>(rng_());
          d.insert(d.begin() + static_cast<long>(at), ins.begin(), ins.end());
          break;
        }
        case 5: {  // a 16-bit word set to a boundary value (lengths, counts)
          if (d.size() < 2) break;
          const std::size_t at = Below(d.size() - 1);
          const std::uint16_t v = std::array<std::uint16_t, 5>{0, 1, 0x7FFF, 0x8000, 0xFFFF}[Below(5)];
          d[at] = static_cast<std::uint8_t>(v);
          d[at + 1] = static_cast<std::uint8_t>(v >> 8);
          break;
        }
        default: {  // duplicate a run
          if (d.empty()) break;
          const std::size_t at = Below(d.size());
          const std::size_t n = std::min(d.size() - at, 1 + Below(64));
          std::vector<std::uint8_t> run(d.begin() + static_cast<long>(at), d.begin() + static_cast<long>(at + n));
          d.insert(d.begin() + static_cast<long>(Below(d.size() + 1)), run.begin(), run.end());
          break;
        }
      }
    }
    return d;
  }

 private:
  std::mt19937 rng_;
};

TEST(RandomInput, DamagedDataFiles) {
  test::TempDir dir;
  WriteIdcFile(dir / "base.IDC", kIdcVersionText, test::SampleLogger(), test::SampleRecord(),
               test::SampleEntries());
  const auto base = test::ReadBytes(dir / "base.IDC");
  Mutator m(20240307);
  int accepted = 0;
  int refused = 0;
  for (int i = 0; i < 4000; ++i) {
    auto d = m.Mutate(base);
    // Half the cases get a correct check sum, so that the block decoders see the damage
    // rather than the check sum catching it first.
    if (i % 2 == 0 && d.size() >= 2) test::FixChecksum(d);
    try {
      const IdcFile f = ParseIdc(d);
      ++accepted;
      // Whatever was accepted is self-consistent and prints.
      EXPECT_EQ(f.Size, d.size());
      EXPECT_EQ(f.Channels.size(), IdcChannelCount(f.ChannelMask));
      std::ostringstream out;
      WriteIdcJson(out, f);
      WriteIdcCsv(out, f);
    } catch (const FileFormatError& e) {
      ++refused;
      EXPECT_LE(e.Offset(), d.size());
    }
  }
  EXPECT_GT(accepted, 0);
  EXPECT_GT(refused, 0);
}

TEST(RandomInput, DamagedConfigurationFiles) {
  CfxContent in;
  in.NewCommentText = "Comment";
  in.NewIdText = "Identity";
  in.NewFloats100[1] = test::FloatFromBytes(0, 1, 1, 0);
  const std::vector<std::vector<std::uint8_t>> bases = {
      BuildConfigData(in, {"WRITER_WL", " 2.17"}), BuildConfigData(in, {"WRITER_ST", " 2.16"})};
  Mutator m(17);
  int accepted = 0;
  int refused = 0;
  int failed = 0;
  for (int i = 0; i < 4000; ++i) {
    const auto d = m.Mutate(bases[static_cast<std::size_t>(i) % 2]);
    CfxContent c;
    int kind = -1;
    try {
      if (ReadConfigData(c, d, i % 3 == 0, kind)) {
        ++accepted;
        EXPECT_TRUE(kind == 0 || kind == 1);
        EXPECT_LE(c.NewIdText.size(), 64u);
      } else {
        ++refused;
      }
    } catch (const FileFormatError& e) {
      ++failed;
      EXPECT_LE(e.Offset(), d.size());
    }
  }
  EXPECT_GT(accepted, 0);
  EXPECT_GT(refused, 0);
  EXPECT_GT(failed, 0);
}

}  // namespace
}  // namespace varnel
