// 1xEV Power (0x1069).
#include <gtest/gtest.h>

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

// The whole text and the writes of a drive's packets are pinned by the golden run; here
// the receive chain 1 marker, which the drive never carries in one frame only.
TEST(EvdoPower, RxAgc1MarkerInOneFrameStillCountsAndInBothIsNotAvailable) {
  DecoderCase c;
  c.run(kCode, packet(kAgc1Minus86_25, kAgc1Absent));
  EXPECT_EQ(c.msg.details, kFrames[0] + "-86.25 dB\n\t\n" + kFrames[1] + "-63.80 dB\n\t\n");
  EXPECT_EQ(c.writes({"EVDO_POWER_RXAGC1"}),
            "EVDO_POWER_RXAGC1_PN1 Double[0] -86.25\nEVDO_POWER_RXAGC1_PN2 Double[0] -63.80078125\n"
            "EVDO_POWER_RXAGC1 Double[0] -75.02539062\n");
  const std::string all = c.writes();
  c.title_wanted = c.details_wanted = false;  // writes do not depend on the text
  c.run(kCode, packet(kAgc1Minus86_25, kAgc1Absent));
  EXPECT_EQ(c.msg.title + c.msg.details, "");
  EXPECT_EQ(c.writes(), all);

  c.title_wanted = c.details_wanted = true;
  c.run(kCode, packet(kAgc1Absent, kAgc1Absent));
  EXPECT_EQ(c.msg.details, kFrames[0] + "n/a\n\t\n" + kFrames[1] + "n/a\n\t\n");
  EXPECT_EQ(c.writes({"EVDO_POWER_RXAGC1"}), "");
}

TEST(EvdoPower, EveryTruncationReportsAndStops) {
  sweep_truncations(kCode, packet(kAgc1Minus86_25, kAgc1Minus86_25),
                    [](const COrbExpandedMessage& msg, std::size_t) { EXPECT_EQ(msg.details, kNotQualcommStandard); });
}

}  // namespace
}  // namespace cdmadiag::test
