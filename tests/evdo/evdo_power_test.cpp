// 1xEV Power (0x1069).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kCode = 0x1069;
constexpr std::uint16_t kAgc1Minus86_25 = static_cast<std::uint16_t>(-22080);
constexpr std::uint16_t kAgc1Absent = 0xC033;

// Two 13-byte frames: flags, then open-loop, closed-loop adjust, pilot, total, Rx AGC0, Rx AGC1 in 1/256 dB(m).
Bytes packet(std::uint16_t agc1_frame1, std::uint16_t agc1_frame2) {
  Bytes b;
  // Frame 1: ATType 1, RatchetMode 1 (bit 4), PAState 1 (bit 5); -20 dBm, +1.5 dB, -30.25 dBm, 3 dB, -85.5 dBm.
  b.u8(0x31).i16(-5120).i16(384).i16(-7744).i16(768).i16(-21888).u16(agc1_frame1);
  // Frame 2: ATType 3 (no name), both bits clear; -19 dBm, 0.5 dB, -29 dBm, 4 dB, -84.5 dBm.
  return b.u8(0x03).i16(-4864).i16(128).i16(-7424).i16(1024).i16(-21632).u16(agc1_frame2);
}

const std::string kFrames[2] = {
    "**** Information for frame #1 of 2****\nATType: 1 (MSM4500)\nRatchetMode: 1 (Tx power is limited)\nPAState: 1 "
    "(On)\nTxOpenLoopPower: -20.00 dBm\nTxClosedLoopPowerAdjust: 1.50 dB\nTxPilotPower: -30.25 dBm\nTxTotalPower: "
    "3.00 dB\nRxAGC0: -85.50 dBm\nRxAGC1: ",
    "**** Information for frame #2 of 2****\nATType: 3 (Unknown)\nRatchetMode: 0 (Tx power not limited)\nPAState: 0 "
    "(Off)\nTxOpenLoopPower: -19.00 dBm\nTxClosedLoopPowerAdjust: 0.50 dB\nTxPilotPower: -29.00 dBm\nTxTotalPower: "
    "4.00 dB\nRxAGC0: -84.50 dBm\nRxAGC1: "};

// packet(kAgc1Minus86_25, kAgc1Absent): frame 2's marker still reads as -16333 / 256, then the averages.
const std::string kWrites =
    "EVDO_POWER_ATTYPE_PN1 Byte[0] 1\nEVDO_POWER_RATCHET_MODE_PN1 Byte[0] 1\nEVDO_POWER_PA_STATE_PN1 Byte[0] 1\n"
    "EVDO_POWER_TXOPENLOOP_POWER_PN1 Double[0] -20\nEVDO_POWER_TXCLOSEDLOOP_ADJUST_PN1 Double[0] 1.5\n"
    "EVDO_POWER_TXPILOT_POWER_PN1 Double[0] -30.25\nEVDO_POWER_TXTOTAL_POWER_PN1 Double[0] 3\n"
    "EVDO_POWER_RXAGC0_PN1 Double[0] -85.5\nEVDO_POWER_RXAGC1_PN1 Double[0] -86.25\n"
    "EVDO_POWER_ATTYPE_PN2 Byte[0] 3\nEVDO_POWER_RATCHET_MODE_PN2 Byte[0] 0\nEVDO_POWER_PA_STATE_PN2 Byte[0] 0\n"
    "EVDO_POWER_TXOPENLOOP_POWER_PN2 Double[0] -19\nEVDO_POWER_TXCLOSEDLOOP_ADJUST_PN2 Double[0] 0.5\n"
    "EVDO_POWER_TXPILOT_POWER_PN2 Double[0] -29\nEVDO_POWER_TXTOTAL_POWER_PN2 Double[0] 4\n"
    "EVDO_POWER_RXAGC0_PN2 Double[0] -84.5\nEVDO_POWER_RXAGC1_PN2 Double[0] -63.80078125\n"
    "EVDO_POWER_TXOPENLOOP_POWER Double[0] -19.5\nEVDO_POWER_TXCLOSEDLOOP_ADJUST Double[0] 1\n"
    "EVDO_POWER_TXPILOT_POWER Double[0] -29.625\nEVDO_POWER_TXTOTAL_POWER Double[0] 3.5\n"
    "EVDO_POWER_RXAGC0 Double[0] -85\nEVDO_POWER_RXAGC1 Double[0] -75.02539062\n";

TEST(EvdoPower, HandBuiltPacketTextAndWrites) {
  DecoderCase c;
  c.run(kCode, packet(kAgc1Minus86_25, kAgc1Absent));
  EXPECT_EQ(c.msg.title, "1xEV Power");
  // One frame at the marker still counts as a reading.
  EXPECT_EQ(c.msg.details, kFrames[0] + "-86.25 dB\n\t\n" + kFrames[1] + "-63.80 dB\n\t\n");
  EXPECT_EQ(c.writes(), kWrites);
}

TEST(EvdoPower, RxAgc1AbsentInBothFramesIsNotAvailable) {
  DecoderCase c;
  c.run(kCode, packet(kAgc1Absent, kAgc1Absent));
  EXPECT_EQ(c.msg.details, kFrames[0] + "n/a\n\t\n" + kFrames[1] + "n/a\n\t\n");
  const std::string w = c.writes();
  EXPECT_EQ(std::ranges::count(w, '\n'), 21);
  EXPECT_EQ(c.writes({"EVDO_POWER_RXAGC1"}), "");
}

TEST(EvdoPower, ReadOnlyWritesNothingAndUnwantedTextIsNotBuilt) {
  DecoderCase c;
  c.read_only = true;
  EXPECT_EQ(c.run(kCode, packet(kAgc1Minus86_25, kAgc1Absent)).details.substr(0, kFrames[0].size()), kFrames[0]);
  EXPECT_EQ(c.writes(), "");
  DecoderCase quiet;
  quiet.title_wanted = quiet.details_wanted = false;
  quiet.run(kCode, packet(kAgc1Minus86_25, kAgc1Absent));
  EXPECT_EQ(quiet.msg.title + quiet.msg.details, "");
  EXPECT_EQ(quiet.writes(), kWrites);
}

TEST(EvdoPower, EveryTruncationReportsAndStops) {
  sweep_truncations(kCode, packet(kAgc1Minus86_25, kAgc1Minus86_25),
                    [](const COrbExpandedMessage& msg, std::size_t) { EXPECT_EQ(msg.details, kNotQualcommStandard); });
}

}  // namespace
}  // namespace cdmadiag::test
