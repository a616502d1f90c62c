// The logger's answers to each bus command: reply lengths, CRC, the effect of writes, and
// the error replies for what the logger does not have.
#include <gtest/gtest.h>

#include "link/byte_order.h"
#include "link/crc16.h"
#include "sim/command_handler.h"
#include "sim/record_writer.h"

namespace varnel::sim {
namespace {

class CommandHandler : public ::testing::Test {
 protected:
  CommandHandler() : device(MemoryLayout{255, 4}) {
    device.address = 250;
    device.regs.SetClock(700000000, 0);
    device.regs.channelLevel[1] = 1.25f;
  }

  CommandOutcome Run(std::vector<std::uint8_t> content, std::int64_t nowMs = 0) {
    content.insert(content.begin(), device.address);
    return ExecuteCommand(device, content, nowMs);
  }
  // Reply data after address and function, with the frame checked on the way.
  std::vector<std::uint8_t> Data(std::vector<std::uint8_t> content, std::size_t replyLength,
                                 std::int64_t nowMs = 0) {
    const std::uint8_t fn = content[0];
    const CommandOutcome out = Run(std::move(content), nowMs);
    EXPECT_EQ(out.reply.size(), replyLength + 2) << "function " << int(fn);
    if (out.reply.size() < 4) return {};
    EXPECT_TRUE(CheckCrc16BE(out.reply.data(), out.reply.size() - 2));
    EXPECT_EQ(out.reply[0], device.address);
    EXPECT_EQ(out.reply[1], fn) << "not an error reply";
    return {out.reply.begin() + 2, out.reply.end() - 2};
  }
  // The error code of an error reply, or -1 when the reply is not one.
  int ErrorCode(std::vector<std::uint8_t> content) {
    const std::uint8_t fn = content[0];
    const CommandOutcome out = Run(std::move(content));
    if (out.reply.size() != 5 || out.reply[1] != (fn | 0x80) || !CheckCrc16BE(out.reply.data(), 3)) return -1;
    return out.reply[2];
  }
  std::array<std::uint8_t, 5> Entry(std::uint8_t index, std::int64_t nowMs = 0) {
    const auto d = Data({kReadConfig, index}, 7, nowMs);
    std::array<std::uint8_t, 5> e{};
    std::copy_n(d.begin(), std::min<std::size_t>(5, d.size()), e.begin());
    return e;
  }
  static std::vector<std::uint8_t> F32(float v) {
    std::vector<std::uint8_t> b(4);
    PutF32BE(v, b.data());
    return b;
  }

  LoggerDevice device;
};

TEST_F(CommandHandler, EveryFunctionAnswersWithItsReplyLength) {
  // Reply lengths L count address and function; the CRC adds two.
  EXPECT_EQ(Data({kReadIdentity}, 8), (std::vector<std::uint8_t>{5, 1, 3, 12, 16, 0}));
  EXPECT_EQ(GetU32BE(Data({kReadSerial}, 6).data()), 40123u);
  Data({kReadConfig, 6}, 7);
  Data({kWriteConfig, 6, 1, 2, 3, 4, 5}, 3);
  Data({kReadFloat, 96}, 6);
  auto wf = F32(2.5f);
  wf.insert(wf.begin(), {kWriteFloat, 97});
  Data(wf, 3);
  Data({kReadValue, 1}, 7);
  auto wo = F32(0.1f);
  wo.insert(wo.begin(), {kWriteOffset, 2});
  Data(wo, 3);
  Data({kReadPageBytes, 0, 3, 10, 6}, 8);
  Data({kReadPageBytes, 0, 3, 60, 4}, 6);
  Data({kReadPageBlock, 0, 3, 0}, 10);
  Data({kReadPageBlock, 0, 3, 1}, 66);
  Data({kReadPageBlock, 0, 0, 50}, 64 * 50 + 2);
  Data({kWritePageBytes, 0, 252, 0, 2, 'A', 'B'}, 3);
}

TEST_F(CommandHandler, RequestLengthsFromTheFunctionCode) {
  const std::uint8_t head[6] = {250, kWritePageBytes, 0, 1, 0, 7};
  EXPECT_EQ(RequestFrameLength(head, 6), 15);
  EXPECT_EQ(RequestFrameLength(head, 5), 0) << "the count byte decides";
  const std::pair<std::uint8_t, int> fixed[] = {{kReadIdentity, 4}, {kReadSerial, 4}, {kReadConfig, 5},
                                                {kWriteConfig, 10}, {kReadFloat, 5},  {kWriteFloat, 9},
                                                {kReadValue, 5},    {kWriteOffset, 9}, {kReadPageBytes, 8},
                                                {kReadPageBlock, 7}};
  for (auto [fn, len] : fixed) {
    const std::uint8_t h[2] = {250, fn};
    EXPECT_EQ(RequestFrameLength(h, 2), len) << int(fn);
  }
  const std::uint8_t unknown[2] = {250, 0x77};
  EXPECT_EQ(RequestFrameLength(unknown, 2), -1);
}

TEST_F(CommandHandler, PageBytesAndBlocksReturnMemory) {
  for (int i = 0; i < 64; ++i) device.memory.Page(7)[i] = static_cast<std::uint8_t>(i * 3);
  for (int i = 0; i < 64; ++i) device.memory.Page(8)[i] = static_cast<std::uint8_t>(200 - i);
  EXPECT_EQ(Data({kReadPageBytes, 0, 7, 6, 6}, 8), (std::vector<std::uint8_t>{18, 21, 24, 27, 30, 33}));
  const auto header = Data({kReadPageBlock, 0, 7, 0}, 10);
  EXPECT_EQ(header, std::vector<std::uint8_t>(device.memory.Page(7), device.memory.Page(7) + 8));
  const auto two = Data({kReadPageBlock, 0, 7, 2}, 130);
  EXPECT_EQ(two, std::vector<std::uint8_t>(device.memory.Page(7), device.memory.Page(7) + 128));
  EXPECT_TRUE(Run({kReadPageBlock, 0, 7, 1}).pageRead);
  EXPECT_FALSE(Run({kReadSerial}).pageRead);
}

TEST_F(CommandHandler, ErrorRepliesForWhatTheLoggerDoesNotHave) {
  EXPECT_EQ(ErrorCode({0x77}), kErrIllegalFunction);
  EXPECT_EQ(ErrorCode({kReadConfig, 10}), kErrIllegalAddress);
  EXPECT_EQ(ErrorCode({kWriteConfig, 2, 0, 0, 0, 0, 0}), kErrIllegalAddress) << "the layout is fixed";
  EXPECT_EQ(ErrorCode({kWriteConfig, 0, 7, 0, 0, 0, 0}), kErrIllegalValue) << "unknown control value";
  EXPECT_EQ(ErrorCode({kReadFloat, 79}), kErrIllegalAddress);
  EXPECT_EQ(ErrorCode({kReadFloat, 112}), kErrIllegalAddress);
  EXPECT_EQ(ErrorCode({kReadValue, 15}), kErrIllegalAddress);
  EXPECT_EQ(ErrorCode({kWriteOffset, 16, 0, 0, 0, 0}), kErrIllegalAddress);
  EXPECT_EQ(ErrorCode({kReadPageBytes, 1, 0, 0, 6}), kErrIllegalAddress) << "page 256 is past the end";
  EXPECT_EQ(ErrorCode({kReadPageBytes, 0, 1, 60, 6}), kErrIllegalValue) << "runs over the page end";
  EXPECT_EQ(ErrorCode({kReadPageBytes, 0, 1, 0, 0}), kErrIllegalValue);
  EXPECT_EQ(ErrorCode({kReadPageBlock, 0, 250, 7}), kErrIllegalAddress) << "pages 250..256";
  EXPECT_EQ(ErrorCode({kReadPageBlock, 0, 0, 157}), kErrIllegalValue);
  EXPECT_EQ(ErrorCode({kWritePageBytes, 0, 10, 0, 1, 'x'}), kErrIllegalAddress) << "the ring is not writable";
  EXPECT_EQ(ErrorCode({kWritePageBytes, 0, 252, 63, 2, 'x', 'y'}), kErrIllegalValue);
  EXPECT_EQ(ErrorCode({kReadSerial, 99}), kErrIllegalValue) << "wrong request length";
  EXPECT_EQ(Run({kReadPageBlock, 0, 255, 1}).reply[1], kReadPageBlock) << "the last page itself reads";
}

TEST_F(CommandHandler, StateEntryCarriesBitsAndWritePointer) {
  device.regs.state = kStateRecordError;
  device.regs.errors = kErrorBattery | kErrorAcknowledge;
  device.memory.SetWritePointer(0x0123);
  auto e = Entry(1);
  EXPECT_EQ(e[1], kStateRecordError);
  EXPECT_EQ(e[2], kErrorBattery | kErrorAcknowledge);
  EXPECT_EQ(e[3] * 256 + e[4], 0x0123);

  Data({kWriteConfig, 1, 1, 0, 0, 0, 0}, 3);
  EXPECT_EQ(Entry(1)[1] & kStateConfigBit, kStateConfigBit) << "written d0 reads back as d1 bit 0";
  EXPECT_EQ(Entry(1)[3] * 256 + Entry(1)[4], 0x0123) << "a write must not move the write pointer";

  RecordBook book(device.memory.layout().RingPages());
  RecordWriter writer(device.memory, book, 1, 7);
  EXPECT_EQ(FillMemory(device.memory, writer, 1, {.records = 3, .wrapped = true}), "");
  EXPECT_EQ(Entry(1)[1] & kStateMemoryFull, kStateMemoryFull);
  EXPECT_EQ(Entry(1)[3] * 256 + Entry(1)[4], device.memory.writePointer());
}

TEST_F(CommandHandler, ControlEntryPreparesAndRestarts) {
  CommandOutcome prep = Run({kWriteConfig, 0, kControlPrepare, 0, 0, 0, 0});
  EXPECT_TRUE(prep.prepared);
  EXPECT_FALSE(prep.restarted);
  EXPECT_EQ(Entry(1)[1] & (kStatePrepared | kStateActive), kStatePrepared);
  CommandOutcome restart = Run({kWriteConfig, 0, kControlRestart, 0, 0, 0, 0});
  EXPECT_TRUE(restart.restarted);
  EXPECT_EQ(Entry(1)[1] & (kStatePrepared | kStateActive), kStateActive);
  EXPECT_EQ(device.received.controls, (std::vector<std::uint8_t>{2, 5}));
}

TEST_F(CommandHandler, LayoutClockAndChannels) {
  EXPECT_EQ(Entry(2), (std::array<std::uint8_t, 5>{0, 0, 0, 255, 4}));
  EXPECT_EQ(GetU32BE(Entry(3, 0).data()), 700000000u);
  EXPECT_EQ(GetU32BE(Entry(3, 61500).data()), 700000061u) << "the clock runs";
  Data({kWriteConfig, 3, 0x2A, 0, 0, 1, 0}, 3, 100000);
  EXPECT_EQ(GetU32BE(Entry(3, 102000).data()), 0x2A000003u);
  EXPECT_EQ(device.received.clockSets, (std::vector<std::uint32_t>{0x2A000001u}));
  device.regs.battery = 64;
  device.regs.cfg8 = 0x0102;
  EXPECT_EQ(Entry(8), (std::array<std::uint8_t, 5>{1, 2, 0, 7, 64}));
  // The host writes zeros over the channel mask and battery of entry 8; they are the logger's.
  Data({kWriteConfig, 8, 9, 8, 0, 0, 0}, 3);
  EXPECT_EQ(Entry(8), (std::array<std::uint8_t, 5>{9, 8, 0, 7, 64}));
}

TEST_F(CommandHandler, ConfigurationWritesReadBack) {
  Data({kWriteConfig, 9, 0x11, 0x22, 0x33, 0x44, 0}, 3);
  EXPECT_EQ(Entry(9), (std::array<std::uint8_t, 5>{0x11, 0x22, 0x33, 0x44, 0}));
  EXPECT_EQ(Entry(5), (std::array<std::uint8_t, 5>{0x33, 0x44, 0, 0, 0})) << "entry 5 is the narrow entry 9";
  Data({kWriteConfig, 5, 0x01, 0x02, 0, 0, 0}, 3);
  EXPECT_EQ(Entry(9), (std::array<std::uint8_t, 5>{0, 0, 1, 2, 0}));
  Data({kWriteConfig, 6, 1, 2, 3, 4, 5}, 3);
  EXPECT_EQ(Entry(6), (std::array<std::uint8_t, 5>{1, 2, 3, 4, 5}));
  Data({kWriteConfig, 7, 6, 7, 8, 0, 0}, 3);
  EXPECT_EQ(Entry(7), (std::array<std::uint8_t, 5>{6, 7, 8, 0, 0}));
  Data({kWriteConfig, 4, 0xDE, 0xAD, 0xBE, 0xEF, 0}, 3);
  EXPECT_EQ(Entry(4), (std::array<std::uint8_t, 5>{0xDE, 0xAD, 0xBE, 0xEF, 0}));
  ASSERT_EQ(device.received.config.size(), 5u);
  EXPECT_EQ(device.received.config[0].entry, 9);
  EXPECT_EQ(device.received.config[2].data, (std::array<std::uint8_t, 5>{1, 2, 3, 4, 5}));
}

TEST_F(CommandHandler, FloatsOffsetsValuesAndPageWrites) {
  auto wf = F32(-3.75f);
  wf.insert(wf.begin(), {kWriteFloat, 106});
  Data(wf, 3);
  EXPECT_EQ(GetF32BE(Data({kReadFloat, 106}, 6).data()), -3.75f);
  ASSERT_EQ(device.received.floats.size(), 1u);
  EXPECT_EQ(device.received.floats[0].index, 106);

  auto wo = F32(1.5f);
  wo.insert(wo.begin(), {kWriteOffset, 0});
  Data(wo, 3);
  EXPECT_EQ(device.regs.offsets[0], 1.5f);
  ASSERT_EQ(device.received.offsets.size(), 1u);

  // Channel readings scatter a little around the level, the same for the same request count.
  const auto v1 = Data({kReadValue, 1}, 7);
  const auto v2 = Data({kReadValue, 1}, 7);
  EXPECT_NEAR(GetF32BE(v1.data()), 1.25f, 0.002f);
  EXPECT_NE(GetF32BE(v1.data()), GetF32BE(v2.data()));
  EXPECT_EQ(v1[4], 0) << "channel 1 is in the mask";
  EXPECT_EQ(Data({kReadValue, 9}, 7)[4], 1) << "no sensor on channel 9";

  const std::uint16_t id = device.memory.layout().IdPage();
  Data({kWritePageBytes, 0, static_cast<std::uint8_t>(id), 0, 2, 'O', 'K'}, 3);
  Data({kWritePageBytes, 0, static_cast<std::uint8_t>(id), 2, 2, 0xFF, 0xFF}, 3);
  EXPECT_EQ(device.memory.ReadText(id, id), "OK");
  ASSERT_EQ(device.received.pages.size(), 2u);
  EXPECT_EQ(device.received.pages[1].offset, 2);
}

}  // namespace
}  // namespace varnel::sim
