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

// Every u32 counter holds its own offset; the NAK count says 5, two entries follow.
Bytes stats(std::uint64_t reset, std::uint32_t rx, std::uint32_t tx, std::vector<std::uint32_t> naks = {7, 9},
            std::uint8_t nak_count = 5) {
  Bytes b{33};
  b.at(3).u48(reset);
  for (std::size_t off : {9, 13, 21, 26, 30, 34, 38, 42, 46, 50, 58, 62, 66, 70, 74, 78}) b.at(off).u32(off);
  b.at(17).u16(17).u8(19).u8(20).at(25).u8(2);
  b.at(54).u32(rx).at(82).u32(tx).at(86).u8(nak_count);
  for (std::uint32_t n : naks) b.u32(n);
  return b;
}

// The same record behind its own log header stamped at seconds after the reset.
Bytes logged(double seconds, const Bytes& record) {
  Bytes b =
      Bytes{}.u16(12 + record.size()).u16(kStats).u16(0x55).u48(kBase + static_cast<std::uint64_t>(seconds * 800));
  for (std::uint8_t x : record.vec()) b.u8(x);
  return b;
}

class RlpData : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(RlpData, FramesShowEveryRecordAndAverageTheNewFrameTimes) {
  c.run(kRx, kFrames);
  EXPECT_EQ(
      c.msg.details,
      "\nService Id of this data SO: 33\nNumber of RLP frames in this log packet: 3\nFrame[1]:\n\tPhysical "
      "Channel: 0 (FCH)\n\tMUX PDU: 0 (MUX_PDU1)\n\tPhysical Channel Rate: 9600 bps\n\tTime delta: 1 (next frame "
      "time from previous RLP 3 frame)\n\tFrame Length: 172 (bits in the physical layer)\n\tPayload values: [0] 2, "
      "[1] 5, \nFrame[2]:\n\tPhysical Channel: 2 (SCH)\n\tMUX PDU: 1 (MUX_PDU2)\n\tPhysical Channel Rate: 153600 "
      "bps\n\tTime delta: 1 (next frame time from previous RLP 3 frame)\n\tFrame Length: 3048 (bits in the "
      "physical layer)\n\tPayload values: [0] 3, [1] 63, \nFrame[3]:\n\tPhysical Channel: 1 (DCCH)\n\tMUX PDU: "
      "unknown\n\tPhysical Channel Rate: 9600 bps\n\tTime delta: 0 (same frame time as previous RLP 3 frame)\n\t"
      "Frame Length: 172 (bits in the physical layer)\n\tPayload values: [0] 0, [1] 0, ");
  EXPECT_EQ(c.writes(), "PL_Rx_Throughput_Instantaneous Double[0] 81.6\n");
  c.run(kTx, kFrames);
  EXPECT_EQ(c.writes(), "PL_Tx_Throughput_Instantaneous Double[0] 81.6\n");
  // Only the third frame, which starts no new frame time: nothing to average.
  c.run(kTx, Bytes{33, 1}.u8(0x31).u16(96).u16(172).u8(0));
  EXPECT_EQ(c.writes(), "");
}

TEST_F(RlpData, StatisticsTextAndDerivedWrites) {
  c.decimals = 3;
  c.run(kStats, logged(10, stats(kBase, 5000, 1000)));
  EXPECT_EQ(c.msg.details,
            "\nStatistics reset time: 2011-09-14 01:46:40.000\n"
            "\nService ID: 33,\nRetransmitted frames not found: 13"
            "\nLargest block of consecutive erasures: 17, \nResets: 19, \nNAK Aborts: 20, "
            "\nLast round trip time measurement: 21, \nBlock of Bytes Used: 2 (Specified RTT), \n\t"
            "\nRX Data: \nNAKs Received: 9, \nRetransmitted frames received: 26, \nIdle frames received : 30, "
            "\nFill frames received : 34, \nBlank frames received: 38\nNull frames Received: 42, "
            "\nNew data frames received: 46, \nFundamental data frames received: 50\nRLP erasures received: 58, "
            "\nMultiplexer erasures received: 62,\nTOTAL BYTES RECEIVED: 5000,\n\n\t"
            "\nTX Data: \nRetransmitted frames transmitted: 66, \nIdle frames transmitted: 70, "
            "\nNew data frames transmitted: 74, \nFundamental data frames Transmitted: 78,"
            "\nNumber of NAKs Transmitted entries: 5,  (actual 2 entries)\n\tTX_NAKS[1]: 7, \n\tTX_NAKS[2]: 9, "
            "\nTOTAL BYTES TRANSMITTED: 1000");
  // The counters' writes follow the text (the drive pins their order); these are the figures derived.
  EXPECT_EQ(c.writes({"Naks_Tx", "RLP_Rx_Throughput_C", "RLP_Tx_Throughput_C", "Last_RLP", "RLP_Last"}),
            "Naks_Tx ULong[0] 16\nRLP_Rx_Throughput_Cumulative Double[0] 4\nRLP_Tx_Throughput_Cumulative Double[0] "
            "0.800\nLast_RLP_Msg_Time Double[0] 1315964810\nRLP_Last_Rx_Total_Bytes DWord[0] 5000\n"
            "RLP_Last_Tx_Total_Bytes DWord[0] 1000\n");
}

// Cumulative then instantaneous, receive then transmit, of the second of two packets
// t0 and t1 seconds after the reset ("-" where nothing is written).
TEST_F(RlpData, ThroughputFromThePreviousPacket) {
  struct Case {
    double t0, t1;
    std::uint32_t rx0, tx0, rx1, tx1;
    const char* expected;
  };
  for (const Case& k : std::vector<Case>{{10, 11, 5000, 1000, 6000, 1500, "4.364 1.091 8.000 4.000"},
                                         {10, 10, 5000, 1000, 6000, 1500, "4.800 1.200 - -"},           // same time
                                         {10, 20, 5000, 1000, 1000, 500, "0.400 0.200 0.400 0.200"},    // both dropped
                                         {10, 20, 5000, 1000, 4000, 2000, "1.600 0.800 -0.800 0.800"},  // one dropped
                                         {500, 1000, 0, 0, 3'000'000'000u, 0, "24000.000 0.000 48000.000 0.000"},
                                         {0, 0, 0, 0, 10, 10, "- - - -"}}) {  // at the reset time
    DecoderCase d;
    d.run(kStats, logged(k.t0, stats(kBase, k.rx0, k.tx0)));
    d.run(kStats, logged(k.t1, stats(kBase, k.rx1, k.tx1)));
    std::string got;
    for (const char* name : {"Rx_Throughput_Cumulative", "Tx_Throughput_Cumulative", "Rx_Throughput_Instantaneous",
                             "Tx_Throughput_Instantaneous"}) {
      const auto w = d.of(std::string("ATTR_ID_RLP_") + name);
      got += (got.empty() ? "" : " ") + (w.empty() ? std::string("-") : cdmadiag::formatf("%.3f", w.back().value));
    }
    EXPECT_EQ(got, k.expected) << k.t0 << " " << k.t1;
  }
}

// A stored log header and the same header leading the bytes read alike.
TEST_F(RlpData, EmbeddedHeaderDecodesAsAStoredOne) {
  DecoderCase held;
  for (const Bytes& p : {logged(10, stats(kBase, 5000, 1000)), logged(12, stats(kBase, 9000, 1200))}) {
    c.run(kStats, p);
    F f(p.data() + 12, p.size() - 12, held.accessor);
    f.SetMDMHeaderBytes(p.data());
    f.SetMessageCode(kStats);
    f.SetMessageNumber(++held.number);
    held.st.sink.writes.clear();
    held.st.ds.begin_message(held.number);
    held.msg.reset();
    held.msg.titleWanted = held.msg.detailsWanted = true;
    f.ExpandQualcommMessage(&held.st.ds, held.msg, nullptr, true);
    EXPECT_EQ(c.msg.details, held.msg.details);
    EXPECT_EQ(c.writes(), held.writes());
  }
  EXPECT_NE(held.writes().find("RLP_Rx_Throughput_Instantaneous Double[0] 16\n"), std::string::npos);
}

TEST_F(RlpData, TruncationsReadOnlyWholeFieldsAndRecords) {
  for (const auto& [code, full, fixed] : std::vector<std::tuple<std::uint32_t, Bytes, std::size_t>>{
           {kRx, kFrames, 2}, {kTx, kFrames, 2}, {kStats, stats(kBase, 1, 1), 87}}) {
    cdmadiag::test::sweep_truncations(code, full, [fixed = fixed](const COrbExpandedMessage& msg, std::size_t n) {
      EXPECT_EQ(msg.details == kNotQualcommStandard, n < fixed);
    });
  }
}

TEST_F(RlpData, TitleOnlyMembersTitleForDetailsToo) {
  c.title_wanted = false;
  EXPECT_EQ(c.run(kTdso, Bytes{1, 2, 3}).title + c.msg.details + c.writes(), "Simple TDSO Counters");
  // The members no log code reaches title themselves, from details alone too.
  EXPECT_EQ(c.call(&F::DecodeGPSMultipeakInfo, Bytes{}).title, "GPS Multipeak Information");
  c.details_wanted = false;
  EXPECT_EQ(c.call(&F::DecodeSearchGPSPostProcessing, Bytes{}).title, "");
}

}  // namespace
