// 1xEV Power (0x1069).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "evdo/evdo_test_support.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kCode = 0x1069;
const EvdoMember kDecode = &COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodePower;
constexpr std::uint16_t kAgc1Minus86_25 = static_cast<std::uint16_t>(-22080);
constexpr std::uint16_t kAgc1Absent = 0xC033;

// Two 13-byte frames: flags, then open-loop, closed-loop adjust, pilot, total, Rx AGC0, Rx AGC1 in 1/256 dB(m).
Bytes packet(std::uint16_t agc1_frame1, std::uint16_t agc1_frame2) {
  Bytes b;
  // Frame 1: ATType 1, RatchetMode 1 (bit 4), PAState 1 (bit 5); -20 dBm, +1.5 dB, -30.25 dBm, 3 dB, -85.5 dBm.
  b.u8(0x31).u16(static_cast<std::uint16_t>(-5120)).u16(384).u16(static_cast<std::uint16_t>(-7744)).u16(768);
  b.u16(static_cast<std::uint16_t>(-21888)).u16(agc1_frame1);
  // Frame 2: ATType 3 (no name), both bits clear; -19 dBm, 0.5 dB, -29 dBm, 4 dB, -84.5 dBm.
  b.u8(0x03).u16(static_cast<std::uint16_t>(-4864)).u16(128).u16(static_cast<std::uint16_t>(-7424)).u16(1024);
  return b.u16(static_cast<std::uint16_t>(-21632)).u16(agc1_frame2);
}

const std::string kFrames[2] = {
    "**** Information for frame #1 of 2****\nATType: 1 (MSM4500)\nRatchetMode: 1 (Tx power is limited)\nPAState: 1 "
    "(On)\nTxOpenLoopPower: -20.00 dBm\nTxClosedLoopPowerAdjust: 1.50 dB\nTxPilotPower: -30.25 dBm\nTxTotalPower: "
    "3.00 dB\nRxAGC0: -85.50 dBm\nRxAGC1: ",
    "**** Information for frame #2 of 2****\nATType: 3 (Unknown)\nRatchetMode: 0 (Tx power not limited)\nPAState: 0 "
    "(Off)\nTxOpenLoopPower: -19.00 dBm\nTxClosedLoopPowerAdjust: 0.50 dB\nTxPilotPower: -29.00 dBm\nTxTotalPower: "
    "4.00 dB\nRxAGC0: -84.50 dBm\nRxAGC1: "};

TEST(EvdoPower, HandBuiltPacketTextAndWrites) {
  RecordingState st;
  EvdoRun run;
  const COrbExpandedMessage msg = run(kDecode, kCode, packet(kAgc1Minus86_25, kAgc1Absent), &st.ds);
  EXPECT_EQ(msg.title, "1xEV Power");
  // One frame at the marker still counts as a reading.
  EXPECT_EQ(msg.details, kFrames[0] + "-86.25 dB\n\t\n" + kFrames[1] + "-63.80 dB\n\t\n");
  std::vector<Write> expected;
  const double marked = -16333 / 256.0;
  const double values[2][9] = {{1, 1, 1, -20.0, 1.5, -30.25, 3.0, -85.5, -86.25},
                               {3, 0, 0, -19, 0.5, -29, 4, -84.5, marked}};
  const char* names[9] = {
      "ATTYPE",        "RATCHET_MODE", "PA_STATE", "TXOPENLOOP_POWER", "TXCLOSEDLOOP_ADJUST", "TXPILOT_POWER",
      "TXTOTAL_POWER", "RXAGC0",       "RXAGC1"};
  for (int f = 0; f < 2; ++f) {
    for (int i = 0; i < 9; ++i) {
      expected.emplace_back(std::string("ATTR_ID_EVDO_POWER_") + names[i] + (f == 0 ? "_PN1" : "_PN2"),
                            i < 3 ? WriteOp::kSetByte : WriteOp::kSetDouble, 0, values[f][i]);
    }
  }
  for (int i = 3; i < 9; ++i) {  // averages of the two frames
    expected.emplace_back(std::string("ATTR_ID_EVDO_POWER_") + names[i], WriteOp::kSetDouble, 0,
                          (values[0][i] + values[1][i]) * 0.5);
  }
  EXPECT_EQ(writes(st.sink), expected);
}

TEST(EvdoPower, RxAgc1AbsentInBothFramesIsNotAvailable) {
  RecordingState st;
  const COrbExpandedMessage msg = EvdoRun()(kDecode, kCode, packet(kAgc1Absent, kAgc1Absent), &st.ds);
  EXPECT_EQ(msg.details, kFrames[0] + "n/a\n\t\n" + kFrames[1] + "n/a\n\t\n");
  EXPECT_EQ(st.sink.writes.size(), 21u);
  for (const char* name :
       {"ATTR_ID_EVDO_POWER_RXAGC1_PN1", "ATTR_ID_EVDO_POWER_RXAGC1_PN2", "ATTR_ID_EVDO_POWER_RXAGC1"})
    EXPECT_TRUE(st.sink.of(name).empty()) << name;
}

TEST(EvdoPower, ReadOnlyWritesNothingAndUnwantedTextIsNotBuilt) {
  RecordingState st;
  st.ds.set_read_only(true);
  EvdoRun run;
  EXPECT_EQ(run(kDecode, kCode, packet(kAgc1Minus86_25, kAgc1Absent), &st.ds).details.substr(0, kFrames[0].size()),
            kFrames[0]);
  EXPECT_TRUE(st.sink.writes.empty());
  RecordingState writable;
  const Bytes b = packet(kAgc1Minus86_25, kAgc1Minus86_25);
  COrbExpandedMessage msg;
  msg.titleWanted = msg.detailsWanted = false;
  run(kDecode, kCode, b.data(), b.size(), &writable.ds, msg);
  EXPECT_EQ(msg.title + msg.details, "");
  EXPECT_EQ(writable.sink.writes.size(), 24u);
}

TEST(EvdoPower, EveryTruncationReportsAndStops) {
  sweep_truncations(kCode, packet(kAgc1Minus86_25, kAgc1Minus86_25), [](const COrbExpandedMessage& msg, std::size_t) {
    EXPECT_EQ(msg.details, kNotQualcommStandard);
  });
}

}  // namespace
}  // namespace cdmadiag::test
