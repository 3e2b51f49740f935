// 1xEV Power (0x1069).
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "evdo/evdo_test_support.h"
#include "framework/failure_texts.h"
#include "support/recording_sink.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kCode = 0x1069;
const EvdoMember kDecode = &COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodePower;

// One 13-byte frame; powers in 1/256 dB(m).
Bytes& frame(Bytes& b, std::uint8_t flags, int open, int closed, int pilot, int total, int agc0, std::uint32_t agc1) {
  return b.u8(flags)
      .u16(static_cast<std::uint16_t>(open))
      .u16(static_cast<std::uint16_t>(closed))
      .u16(static_cast<std::uint16_t>(pilot))
      .u16(static_cast<std::uint16_t>(total))
      .u16(static_cast<std::uint16_t>(agc0))
      .u16(agc1);
}

Bytes packet(std::uint32_t agc1_frame1, std::uint32_t agc1_frame2) {
  Bytes b;
  // Frame 1: ATType 1, RatchetMode 1 (bit 4), PAState 1 (bit 5); -20 dBm, +1.5 dB,
  // -30.25 dBm, 3 dB, -85.5 dBm.
  frame(b, 0x31, -5120, 384, -7744, 768, -21888, agc1_frame1);
  // Frame 2: ATType 3 (no name), both bits clear; -19 dBm, 0.5 dB, -29 dBm, 4 dB, -84.5 dBm.
  frame(b, 0x03, -4864, 128, -7424, 1024, -21632, agc1_frame2);
  return b;
}
constexpr std::uint32_t kAgc1Minus86_25 = static_cast<std::uint16_t>(-22080);
constexpr std::uint32_t kAgc1Absent = 0xC033;

using Write = std::tuple<std::string, WriteOp, std::uint32_t, double>;

std::vector<Write> writes(const RecordingSink& sink) {
  std::vector<Write> out;
  for (const auto& w : sink.writes) out.emplace_back(w.name, w.op, w.index, w.value);
  return out;
}

class EvdoPower : public ::testing::Test {
 protected:
  RecordingState st;
  EvdoRun run;
};

TEST_F(EvdoPower, HandBuiltPacketTextAndWrites) {
  const COrbExpandedMessage msg = run(kDecode, kCode, packet(kAgc1Minus86_25, kAgc1Absent), &st.ds);
  EXPECT_EQ(msg.title, "1xEV Power");
  EXPECT_EQ(msg.details,
            "**** Information for frame #1 of 2****\n"
            "ATType: 1 (MSM4500)\nRatchetMode: 1 (Tx power is limited)\nPAState: 1 (On)\n"
            "TxOpenLoopPower: -20.00 dBm\nTxClosedLoopPowerAdjust: 1.50 dB\nTxPilotPower: -30.25 dBm\n"
            "TxTotalPower: 3.00 dB\nRxAGC0: -85.50 dBm\n"
            "RxAGC1: -86.25 dB\n"
            "\t\n"
            "**** Information for frame #2 of 2****\n"
            "ATType: 3 (Unknown)\nRatchetMode: 0 (Tx power not limited)\nPAState: 0 (Off)\n"
            "TxOpenLoopPower: -19.00 dBm\nTxClosedLoopPowerAdjust: 0.50 dB\nTxPilotPower: -29.00 dBm\n"
            "TxTotalPower: 4.00 dB\nRxAGC0: -84.50 dBm\n"
            // One frame at the marker still counts as a reading.
            "RxAGC1: -63.80 dB\n"
            "\t\n");
  const double marked = -16333 / 256.0;
  const std::vector<Write> expected = {
      {"ATTR_ID_EVDO_POWER_ATTYPE_PN1", WriteOp::kSetByte, 0, 1},
      {"ATTR_ID_EVDO_POWER_RATCHET_MODE_PN1", WriteOp::kSetByte, 0, 1},
      {"ATTR_ID_EVDO_POWER_PA_STATE_PN1", WriteOp::kSetByte, 0, 1},
      {"ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER_PN1", WriteOp::kSetDouble, 0, -20.0},
      {"ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST_PN1", WriteOp::kSetDouble, 0, 1.5},
      {"ATTR_ID_EVDO_POWER_TXPILOT_POWER_PN1", WriteOp::kSetDouble, 0, -30.25},
      {"ATTR_ID_EVDO_POWER_TXTOTAL_POWER_PN1", WriteOp::kSetDouble, 0, 3.0},
      {"ATTR_ID_EVDO_POWER_RXAGC0_PN1", WriteOp::kSetDouble, 0, -85.5},
      {"ATTR_ID_EVDO_POWER_RXAGC1_PN1", WriteOp::kSetDouble, 0, -86.25},
      {"ATTR_ID_EVDO_POWER_ATTYPE_PN2", WriteOp::kSetByte, 0, 3},
      {"ATTR_ID_EVDO_POWER_RATCHET_MODE_PN2", WriteOp::kSetByte, 0, 0},
      {"ATTR_ID_EVDO_POWER_PA_STATE_PN2", WriteOp::kSetByte, 0, 0},
      {"ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER_PN2", WriteOp::kSetDouble, 0, -19.0},
      {"ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST_PN2", WriteOp::kSetDouble, 0, 0.5},
      {"ATTR_ID_EVDO_POWER_TXPILOT_POWER_PN2", WriteOp::kSetDouble, 0, -29.0},
      {"ATTR_ID_EVDO_POWER_TXTOTAL_POWER_PN2", WriteOp::kSetDouble, 0, 4.0},
      {"ATTR_ID_EVDO_POWER_RXAGC0_PN2", WriteOp::kSetDouble, 0, -84.5},
      {"ATTR_ID_EVDO_POWER_RXAGC1_PN2", WriteOp::kSetDouble, 0, marked},
      {"ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER", WriteOp::kSetDouble, 0, -19.5},
      {"ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST", WriteOp::kSetDouble, 0, 1.0},
      {"ATTR_ID_EVDO_POWER_TXPILOT_POWER", WriteOp::kSetDouble, 0, -29.625},
      {"ATTR_ID_EVDO_POWER_TXTOTAL_POWER", WriteOp::kSetDouble, 0, 3.5},
      {"ATTR_ID_EVDO_POWER_RXAGC0", WriteOp::kSetDouble, 0, -85.0},
      {"ATTR_ID_EVDO_POWER_RXAGC1", WriteOp::kSetDouble, 0, (-86.25 + marked) * 0.5},
  };
  EXPECT_EQ(writes(st.sink), expected);
}

TEST_F(EvdoPower, RxAgc1AbsentInBothFramesIsNotAvailable) {
  const COrbExpandedMessage msg = run(kDecode, kCode, packet(kAgc1Absent, kAgc1Absent), &st.ds);
  EXPECT_EQ(msg.details.find("RxAGC1: -"), std::string::npos);
  EXPECT_NE(msg.details.find("RxAGC0: -85.50 dBm\nRxAGC1: n/a\n\t\n**** Information for frame #2"), std::string::npos);
  EXPECT_NE(msg.details.find("RxAGC0: -84.50 dBm\nRxAGC1: n/a\n\t\n"), std::string::npos);
  EXPECT_TRUE(st.sink.of("ATTR_ID_EVDO_POWER_RXAGC1_PN1").empty());
  EXPECT_TRUE(st.sink.of("ATTR_ID_EVDO_POWER_RXAGC1_PN2").empty());
  EXPECT_TRUE(st.sink.of("ATTR_ID_EVDO_POWER_RXAGC1").empty());
  EXPECT_EQ(st.sink.writes.size(), 21u);
}

TEST_F(EvdoPower, ReadOnlyWritesNothingButShowsEverything) {
  st.ds.set_read_only(true);
  const COrbExpandedMessage msg = run(kDecode, kCode, packet(kAgc1Minus86_25, kAgc1Absent), &st.ds);
  EXPECT_TRUE(st.sink.writes.empty());
  EXPECT_NE(msg.details.find("RxAGC1: -63.80 dB\n"), std::string::npos);
}

TEST_F(EvdoPower, NothingFormattedWhenNothingWanted) {
  const Bytes b = packet(kAgc1Minus86_25, kAgc1Minus86_25);
  COrbExpandedMessage msg;
  msg.titleWanted = false;
  msg.detailsWanted = false;
  run(kDecode, kCode, b.data(), b.size(), &st.ds, msg);
  EXPECT_TRUE(msg.title.empty());
  EXPECT_TRUE(msg.details.empty());
  EXPECT_EQ(st.sink.writes.size(), 24u);
}

// Every shorter packet: the failure text after the title, no write, no read past the end.
TEST_F(EvdoPower, EveryTruncationReportsAndStops) {
  const Bytes full = packet(kAgc1Minus86_25, kAgc1Minus86_25);
  for (std::uint32_t len = 0; len < full.size(); ++len) {
    SCOPED_TRACE(len);
    const std::vector<std::uint8_t> cut(full.vec().begin(), full.vec().begin() + len);
    COrbExpandedMessage msg;
    run(kDecode, kCode, cut.data(), len, &st.ds, msg);
    EXPECT_EQ(msg.title, "1xEV Power");
    EXPECT_EQ(msg.details, kNotQualcommStandard);
  }
  EXPECT_TRUE(st.sink.writes.empty());
}

}  // namespace
}  // namespace cdmadiag::test
