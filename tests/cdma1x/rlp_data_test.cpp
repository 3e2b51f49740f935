// RLP frames, RLP statistics and the title-only data-service packets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

using cdmadiag::kNotQualcommStandard;
using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

constexpr std::uint32_t kRx = 0x1025, kTx = 0x1026, kStats = 0x1031, kTdso = 0x1032;
constexpr std::uint64_t kBase = 800ull * 1'000'000'000;  // ticks of the reset: 2011-09-14 01:46:40 UTC

// Service 33, three frames: FCH 9600 bps and SCH 153600 bps starting new frame
// times, then a DCCH frame at the same time with an unknown PDU.
// clang-format off
const Bytes kFrames = Bytes{33, 3}
    .u8(0x00).u16(96 | 1 << 14).u16(172).u8(0b000101'10)
    .u8(0x12).u16(1536 | 1 << 14).u16(3048).u8(0xFF)
    .u8(0x31).u16(96).u16(172).u8(0);
// clang-format on

class RlpData : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(RlpData, FramesShowEveryRecordAndAverageTheNewFrameTimes) {
  EXPECT_EQ(c.run(kRx, kFrames).title, "RLP Rx Frames");
  EXPECT_EQ(c.msg.details,
            "\nService Id of this data SO: 33\nNumber of RLP frames in this log packet: 3"
            "\nFrame[1]:\n\tPhysical Channel: 0 (FCH)\n\tMUX PDU: 0 (MUX_PDU1)\n\tPhysical Channel Rate: 9600 bps"
            "\n\tTime delta: 1 (next frame time from previous RLP 3 frame)"
            "\n\tFrame Length: 172 (bits in the physical layer)\n\tPayload values: [0] 2, [1] 5, "
            "\nFrame[2]:\n\tPhysical Channel: 2 (SCH)\n\tMUX PDU: 1 (MUX_PDU2)\n\tPhysical Channel Rate: 153600 bps"
            "\n\tTime delta: 1 (next frame time from previous RLP 3 frame)"
            "\n\tFrame Length: 3048 (bits in the physical layer)\n\tPayload values: [0] 3, [1] 63, "
            "\nFrame[3]:\n\tPhysical Channel: 1 (DCCH)\n\tMUX PDU: unknown\n\tPhysical Channel Rate: 9600 bps"
            "\n\tTime delta: 0 (same frame time as previous RLP 3 frame)"
            "\n\tFrame Length: 172 (bits in the physical layer)\n\tPayload values: [0] 0, [1] 0, ");
  EXPECT_EQ(c.writes(), "PL_Rx_Throughput_Instantaneous Double[0] 81.6\n");
  c.run(kTx, kFrames);
  EXPECT_EQ(c.writes(), "PL_Tx_Throughput_Instantaneous Double[0] 81.6\n");
  // Only the third frame, which starts no new frame time: nothing to average.
  c.run(kTx, Bytes{33, 1}.u8(0x31).u16(96).u16(172).u8(0));
  EXPECT_EQ(c.writes(), "");
}

TEST_F(RlpData, TruncationsReadOnlyWholeFieldsAndRecords) {
  for (const auto& [code, full, fixed] : std::vector<std::tuple<std::uint32_t, Bytes, std::size_t>>{
           {kRx, kFrames, 2}, {kTx, kFrames, 2}}) {
    cdmadiag::test::sweep_truncations(code, full, [fixed](const COrbExpandedMessage& msg, std::size_t n) {
      EXPECT_EQ(msg.details == kNotQualcommStandard, n < fixed);
    });
  }
}

}  // namespace
