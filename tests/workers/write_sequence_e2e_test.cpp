// The device write sequence end to end: what the logger receives for each one-shot option,
// in which order, and what a failing command does. No record is selected, so each job
// goes straight from the configuration read to the writes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <tuple>

#include "e2e_support.h"
#include "files/cfx_reader.h"
#include "files/cfx_writer.h"
#include "link/byte_order.h"
#include "workers/device_write_sequence.h"
#include "workers/worker_messages.h"

namespace varnel::testing {
namespace {

constexpr int kFunctionReadValue = 73;

struct Received {
  std::vector<std::pair<int, std::vector<int>>> config;  // entry, data
  std::vector<std::pair<int, float>> floats;
  std::vector<std::pair<int, float>> offsets;
  std::vector<std::tuple<int, int, std::vector<unsigned char>>> pageWrites;
  std::vector<std::uint32_t> clockSets;
  std::vector<int> controls;
};

Received ReceivedBy(SimSandbox& sim) {
  sim.Stop();  // the truth file is complete at exit
  const Json rx = sim.Truth()["received"];
  Received r;
  for (const Json& c : rx["config"].AsArray()) {
    std::vector<int> data;
    for (const Json& b : c["data"].AsArray()) data.push_back(static_cast<int>(b.AsInt()));
    r.config.emplace_back(static_cast<int>(c["entry"].AsInt()), data);
  }
  for (const Json& f : rx["floats"].AsArray()) {
    r.floats.emplace_back(static_cast<int>(f["index"].AsInt()), static_cast<float>(f["value"].AsNumber()));
  }
  for (const Json& f : rx["offsets"].AsArray()) {
    r.offsets.emplace_back(static_cast<int>(f["index"].AsInt()), static_cast<float>(f["value"].AsNumber()));
  }
  for (const Json& p : rx["pageWrites"].AsArray()) {
    r.pageWrites.emplace_back(static_cast<int>(p["page"].AsInt()), static_cast<int>(p["offset"].AsInt()),
                              HexToBytes(p["data"].AsString()));
  }
  for (const Json& c : rx["clockSets"].AsArray()) r.clockSets.push_back(static_cast<std::uint32_t>(c.AsInt()));
  for (const Json& c : rx["controls"].AsArray()) r.controls.push_back(static_cast<int>(c.AsInt()));
  return r;
}

std::vector<int> Entries(const Received& r) {
  std::vector<int> e;
  for (const auto& c : r.config) e.push_back(c.first);
  return e;
}

// The mean of the three readings of a channel that precede the n-th write (from 0) that
// used them: the replies of the BusReadValue frames, in order.
std::vector<float> MeansOfReadings(const std::vector<TruthFrame>& frames, int channel) {
  std::vector<float> means;
  float sum = 0;
  int n = 0;
  for (const auto& f : frames) {
    if (f.Function != kFunctionReadValue || f.Data.empty() || f.Data[0] != channel) continue;
    sum += GetF32BE(f.Reply.data() + 2);
    if (++n == 3) {
      means.push_back(sum / 3);
      sum = 0;
      n = 0;
    }
  }
  return means;
}

// Runs one job with the options `load` sets (on top of writing nothing else).
class WriteSequence : public ::testing::Test {
 protected:
  void Run(std::vector<std::string> simArgs, std::function<void(TDevice&)> load) {
    sim_ = std::make_unique<SimSandbox>(simArgs);
    ASSERT_TRUE(sim_->Ok()) << sim_->Error();
    auto setup = HostFor(*sim_, 250);
    setup.selection = TestHost::Selection::None;
    setup.loadOptions = [load](TDevice& d) {
      d.SynchTime = false;
      load(d);
    };
    host_ = std::make_unique<TestHost>(setup);
    ASSERT_TRUE(host_->Start());
    ASSERT_TRUE(host_->RunUntil([&] { return host_->Results().size() >= 2; }, seconds(60)))
        << Transcript(*host_);
    host_->Drain();
  }

  // The events of the write sequence, in order.
  std::vector<int> SequenceEvents() const {
    std::vector<int> out;
    for (int e : host_->Events()) {
      if (e == wsOffsetCorrected || e == wsConfigWritten || e == wsNewId || e == wsNewComment ||
          e == wsTimeSynchronized || e == wsDeviceRestarted || e == wsOptionsReset) {
        out.push_back(e);
      }
    }
    return out;
  }

  std::unique_ptr<SimSandbox> sim_;
  std::unique_ptr<TestHost> host_;
};

TEST_F(WriteSequence, ClockAloneIsSetBetweenTheControlCommandAndTheRestart) {
  std::uint32_t before = 0;
  Run({}, [&](TDevice& d) {
    d.SynchTime = true;
    before = DeviceTimeNow();
  });
  EXPECT_EQ(host_->Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  EXPECT_EQ(SequenceEvents(), (std::vector<int>{wsTimeSynchronized, wsDeviceRestarted}));
  const Received r = ReceivedBy(*sim_);
  EXPECT_EQ(Entries(r), (std::vector<int>{0, 3, 0}));
  EXPECT_EQ(r.controls, (std::vector<int>{2, 5}));
  ASSERT_EQ(r.clockSets.size(), 1u);
  EXPECT_EQ(r.clockSets[0], host_->Device().ClockToSet);
  EXPECT_GE(r.clockSets[0], before);
  EXPECT_LE(r.clockSets[0], before + 30);
}

TEST_F(WriteSequence, OffsetsMoveEachChannelTheLoggerHasToItsTarget) {
  Run({}, [](TDevice& d) {
    d.OffsetCorr = true;
    d.P1OffsetBar = 0.25f;
    d.P2OffsetBar = -0.5f;
    d.Registered = true;
  });
  EXPECT_EQ(host_->Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  EXPECT_EQ(SequenceEvents(), (std::vector<int>{wsOffsetCorrected, wsDeviceRestarted, wsOptionsReset}));
  const auto frames = TruthFrames(sim_->Frames());
  const auto p1 = MeansOfReadings(frames, 1);
  const auto p2 = MeansOfReadings(frames, 2);
  ASSERT_EQ(p1.size(), 1u);
  ASSERT_EQ(p2.size(), 1u);
  const Received r = ReceivedBy(*sim_);
  ASSERT_EQ(r.offsets.size(), 2u);
  EXPECT_EQ(r.offsets[0].first, 0);
  EXPECT_EQ(r.offsets[0].second, p1[0] + 0.25f);
  EXPECT_EQ(r.offsets[1].first, 2);
  EXPECT_EQ(r.offsets[1].second, p2[0] - 0.5f);
  EXPECT_EQ(r.controls, (std::vector<int>{2, 5}));
}

TEST_F(WriteSequence, OffsetOfAChannelTheLoggerLacksIsNotWrittenButStillReported) {
  Run({"--channels", "0x0003"}, [](TDevice& d) {
    d.OffsetCorr = true;
    d.P1OffsetBar = 0;  // no target for P1: nothing to correct there either
    d.P2OffsetBar = 1.5f;
  });
  EXPECT_EQ(SequenceEvents(), (std::vector<int>{wsOffsetCorrected, wsDeviceRestarted}));
  const Received r = ReceivedBy(*sim_);
  EXPECT_TRUE(r.offsets.empty());
  EXPECT_EQ(r.controls, (std::vector<int>{2, 5}));
}

CfxContent Configuration() {
  CfxContent c;
  c.Address = 250;
  c.NewCfg1 = 1;
  c.NewCfg9 = 0x12345678;
  c.NewCfg6A = 0x0102;
  c.NewCfg6B = 0x0304;
  c.NewCfg6C = 0x05;
  c.NewCfg7A = 0x0607;
  c.NewCfg7B = 0x08;
  c.NewCfg8 = 0x090A;
  c.NewFloat96 = 1.5f;
  c.NewFloat97 = -2.25f;
  c.NewFloats100 = {1, 2, 3, 4, 5, 6, 7};
  c.ZeroChannelSel = 1;
  return c;
}

// Loads a configuration file into the device image as the host does for a registered
// device whose options ask for it.
void LoadConfiguration(TDevice& d, const std::filesystem::path& file, const CfxContent& written,
                       const CfxHead& head) {
  WriteConfigFile(file, written, head);
  CfxContent c;
  int kind = -1;
  ASSERT_TRUE(ReadConfigFile(c, file, false, kind));
  d.WriteConfig = true;
  d.ConfigFileOk = true;
  d.WLConfig = kind == 1;
  d.Cfx = c;
  d.Address = c.Address;
}

float Bits(std::uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}

TEST_F(WriteSequence, WaterLevelConfigurationZeroedByMeasurementWithTheLoggersClockAnd64CharacterId) {
  CfxContent c = Configuration();
  c.NewFloats100[1] = Bits(0x00010100);  // asks for the zero to be measured
  c.NewCfg4 = 0;                          // keep the logger's own clock value in entry 4
  const std::string id(64, 'W');
  Run({}, [&](TDevice& d) {
    LoadConfiguration(d, sim_->Folder() / "wl.cfx", c, {"WRITER_WL", " 2.17"});
    d.WriteText = true;
    d.NewID = true;
    d.Cfx.NewIdText = id;
    d.NewComment = true;
    d.Cfx.NewCommentText.clear();  // an empty comment is still written: its terminator
  });
  ASSERT_TRUE(host_->Device().Cfx.ZeroByMeasure);
  EXPECT_EQ(host_->Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  EXPECT_EQ(SequenceEvents(),
            (std::vector<int>{wsConfigWritten, wsNewId, wsNewComment, wsDeviceRestarted}));

  const auto frames = TruthFrames(sim_->Frames());
  const auto zero = MeansOfReadings(frames, 0);  // bit 0 of ZeroChannelSel: channel 0
  ASSERT_EQ(zero.size(), 1u);
  // The clock the logger reported right before entry 4 was written.
  std::vector<unsigned char> clock;
  for (const auto& f : frames) {
    if (f.Function == 92 && f.Data == std::vector<unsigned char>{3}) clock.assign(f.Reply.begin() + 2, f.Reply.begin() + 6);
  }
  const Received r = ReceivedBy(*sim_);

  std::vector<std::pair<int, float>> floats;
  for (int i = 0; i < 6; ++i) floats.emplace_back(100 + i, c.NewFloats100[static_cast<std::size_t>(i)]);
  floats.emplace_back(106, zero[0]);
  floats.emplace_back(96, 1.5f);
  floats.emplace_back(97, -2.25f);
  ASSERT_EQ(r.floats.size(), floats.size());
  for (std::size_t i = 0; i < floats.size(); ++i) {
    EXPECT_EQ(r.floats[i].first, floats[i].first);
    if (i == 1) {
      EXPECT_EQ(std::memcmp(&r.floats[i].second, &floats[i].second, 4), 0);  // a denormal
    } else {
      EXPECT_EQ(r.floats[i].second, floats[i].second);
    }
  }
  using V = std::vector<int>;
  const std::vector<std::pair<int, V>> config = {
      {0, V{2, 0, 0, 0, 0}},          {9, V{0x12, 0x34, 0x56, 0x78, 0}},
      {6, V{1, 2, 3, 4, 5}},          {7, V{6, 7, 8, 0, 0}},
      {1, V{1, 0, 0, 0, 0}},          {8, V{9, 10, 0, 0, 0}},
      {4, V{clock[0], clock[1], clock[2], clock[3], 0}}, {0, V{5, 0, 0, 0, 0}}};
  EXPECT_EQ(r.config, config);

  const int idPage = static_cast<int>(host_->Device().IdPage);
  const int commentPage = static_cast<int>(host_->Device().CommentPage);
  ASSERT_EQ(r.pageWrites.size(), 33u);  // 32 chunks of the identity, no terminator; 1 of the comment
  for (int i = 0; i < 32; ++i) {
    EXPECT_EQ(r.pageWrites[static_cast<std::size_t>(i)],
              std::make_tuple(idPage, 2 * i, std::vector<unsigned char>{'W', 'W'}));
  }
  EXPECT_EQ(r.pageWrites[32], std::make_tuple(commentPage, 0, std::vector<unsigned char>{0xFF, 0xFF}));
}

TEST_F(WriteSequence, OlderFirmwareGetsEntry5AndTheFilesClockShortIdAndCutComment) {
  CfxContent c = Configuration();
  c.NewCfg4 = 0xA1B2C3D4;
  // Three pages above the ring: the identity page and two comment pages of 64 bytes.
  const std::string comment(2 * 64 + 9, 'c');
  Run({"--firmware", "3.5", "--reserved-pages", "3"}, [&](TDevice& d) {
    LoadConfiguration(d, sim_->Folder() / "wl.cfx", c, {"WRITER_WL", " 2.17"});
    d.WriteText = true;
    d.NewID = true;
    d.Cfx.NewIdText = "Tank5";
    d.NewComment = true;
    d.Cfx.NewCommentText = comment;
  });
  ASSERT_FALSE(host_->Device().Cfx.ZeroByMeasure);
  EXPECT_EQ(SequenceEvents(),
            (std::vector<int>{wsConfigWritten, wsNewId, wsNewComment, wsDeviceRestarted}));
  const auto frames = TruthFrames(sim_->Frames());
  EXPECT_TRUE(MeansOfReadings(frames, 0).empty());
  EXPECT_TRUE(MeansOfReadings(frames, 1).empty());
  const Received r = ReceivedBy(*sim_);

  ASSERT_EQ(r.floats.size(), 9u);
  EXPECT_EQ(r.floats[6], std::make_pair(106, 0.0f));  // no zero measurement: 0
  using V = std::vector<int>;
  ASSERT_GE(r.config.size(), 3u);
  EXPECT_EQ(r.config[1], std::make_pair(5, V{0x56, 0x78, 0, 0, 0}));  // the low 16 bits
  const auto entry4 = std::find_if(r.config.begin(), r.config.end(), [](const auto& e) { return e.first == 4; });
  ASSERT_NE(entry4, r.config.end());
  EXPECT_EQ(entry4->second, (V{0xA1, 0xB2, 0xC3, 0xD4, 0}));

  const int idPage = static_cast<int>(host_->Device().IdPage);
  const int commentPage = static_cast<int>(host_->Device().CommentPage);
  ASSERT_EQ(r.pageWrites.size(), 3u + 64u);
  EXPECT_EQ(r.pageWrites[0], std::make_tuple(idPage, 0, std::vector<unsigned char>{'T', 'a'}));
  EXPECT_EQ(r.pageWrites[1], std::make_tuple(idPage, 2, std::vector<unsigned char>{'n', 'k'}));
  EXPECT_EQ(r.pageWrites[2], std::make_tuple(idPage, 4, std::vector<unsigned char>{'5', 0xFF}));
  for (int i = 0; i < 64; ++i) {
    const auto& w = r.pageWrites[static_cast<std::size_t>(3 + i)];
    EXPECT_EQ(std::get<0>(w), commentPage + i / 32);
    EXPECT_EQ(std::get<1>(w), (2 * i) % 64);
    EXPECT_EQ(std::get<2>(w), (std::vector<unsigned char>{'c', 'c'}));  // cut: no terminator
  }
}

TEST_F(WriteSequence, FailingChunkEndsOnlyItsTextWhileAFailingCommandEndsTheJob) {
  // Every page write is refused: both texts give up at their first chunk, the rest goes on.
  Run({"--error-reply", "0x24:2"}, [](TDevice& d) {
    d.WriteConfig = true;
    d.WriteText = true;
    d.NewID = true;
    d.Cfx.NewIdText = "Tank5";
    d.NewComment = true;
    d.SynchTime = true;
  });
  EXPECT_EQ(host_->Results(), (std::vector<int>{wdContentsRead, wdRecordsRead}));
  EXPECT_EQ(SequenceEvents(),
            (std::vector<int>{wsNewId, wsNewComment, wsTimeSynchronized, wsDeviceRestarted}));
  const Received r = ReceivedBy(*sim_);
  EXPECT_TRUE(r.pageWrites.empty());
  EXPECT_EQ(r.controls, (std::vector<int>{2, 5}));
}

TEST_F(WriteSequence, RefusedConfigurationWriteLeavesTheLoggerUnrestarted) {
  Run({"--error-reply", "0x1F:3"}, [&](TDevice& d) {
    LoadConfiguration(d, sim_->Folder() / "st.cfx", Configuration(), {});
    d.SynchTime = true;
  });
  EXPECT_EQ(host_->Results(), (std::vector<int>{wdContentsRead, wdNothingRead}));
  EXPECT_TRUE(SequenceEvents().empty());
  const Received r = ReceivedBy(*sim_);
  EXPECT_EQ(r.controls, std::vector<int>{2});
  EXPECT_TRUE(r.clockSets.empty());
}

}  // namespace
}  // namespace varnel::testing
