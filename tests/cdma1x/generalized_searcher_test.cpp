// Searcher4 - 1X (0x1174, 0x1177, 0x1178) and the next-generation searcher reports
// (0x119A-0x11A2) with their subpacket walk.
#include <gtest/gtest.h>

#include <string>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kSearcher4 = 0x1174;
constexpr std::uint32_t kTng1xSearcher = 0x119B;
constexpr std::uint32_t kTngFingerStatus = 0x119A;

// HDR shoulders, two peaks a task, queue HPQ1, tasks as given. Task 1: pilot 5 on both
// antennas, burst 1, QOF 3, Walsh bit set, K 2, truncation 2, L 4: scale 1/144, so raw
// 1476 is 10 dB and raw 36 is at the floor. Task 2: truncation 0 (counts as 8), K 1,
// L 64: raw 450 is 20 dB. Task 3: K 0 gives the floor whatever the energy.
Bytes searcher4(std::uint8_t tasks = 3) {
  Bytes b = Bytes{}.u8(0x22).u8(3).u8(tasks).u8(0xAB).u8(90).u8(0);
  b.u16(5 << 7 | 2 << 5 | 1 << 3 | 3 << 1 | 1).u8(2).u8(0xEE).u16(0x4004).u16(1234).u16(64);
  b.u16(0x0100).u16(16).u16(1476).u16(0).u16(32).u16(36);
  b.u16(6 << 7).u8(1).u8(0).u16(64).u16(0).u16(0).u16(0).u16(0).u16(450).u16(0).u16(0).u16(0);
  return b.u16(7 << 7).u8(0).u8(0).u16(0x2004).u16(0).u16(0).u16(0).u16(0).u16(1000).u16(0).u16(0).u16(0);
}

// A subpacket: id, version 0, size, body.
Bytes& subpacket(Bytes& b, std::uint8_t id, const Bytes& body, int size = -1) {
  b.u8(id).u8(0).u16(size < 0 ? body.size() + 4 : static_cast<std::uint32_t>(size));
  for (const std::uint8_t x : body.vec()) b.u8(x);
  return b;
}
const Bytes kStatus = Bytes{}.u8(3).u8(0).u16(3);
// RX0 on band 1 channel 25, AGC -60 (-83.25 dBm); RX1 off; TX -10.5 dBm, gain -2 dB, limit 17.67 dBm.
const Bytes kRf = Bytes{}.u8(1).u8(0xFF).u16(25).u16(0).i8(-60).i8(0).i16(-105).u8(4).u8(210);
// Three peaks, TD pilot, K 2, pregain 4, L 4 (scale 16/9, 1/L 0.25), PN 100 in Active and
// Candidate; raw 9 is 11.97 dB, raw 1 is 1.84 dB, raw 0 at the floor.
Bytes searcher1() {
  Bytes b = Bytes{}.u8(3).u8(1).u8(2).u8(4).u16(4).u16(100).u8(0x03).zeros(3).u16(500).u16(64);
  return b.u16(10).u16(9).u16(20).u16(1).u16(30).u16(0);
}
// Two fingers; finger 0 on PN 100 locked on RX0 as the reference (raw 7373 is -10 dB),
// finger 1 on PN 200 enabled but not locked.
Bytes finger_info() {
  Bytes b = Bytes{}.u16(0).u8(2).u8(2).u32(1);
  b.u16(100).u8(3).u8(0x1F).u16(7373).u16(7373).u16(0).i32(800).u8(2).u8(1);
  return b.u16(200).u8(4).u8(0x01).u16(0).u16(0).u16(0).i32(0).u8(0).u8(0);
}

Bytes tng(std::uint8_t count) { return Bytes{}.u8(2).u8(count).u16(0); }

Bytes walk() {
  Bytes b = tng(7);
  subpacket(b, 1, kStatus);
  subpacket(b, 2, kRf);
  subpacket(b, 15, Bytes{}.u16(0xFFFF));  // no heading: skipped by its size
  subpacket(b, 0, Bytes{});
  subpacket(b, 6, searcher1());
  subpacket(b, 8, Bytes{}.u8(0xAA).u8(0xBB));
  return subpacket(b, 4, finger_info());
}

const std::string kWalkStart =
    "\nVersion: 2, Number Sub-packets: 7"
    "\n\n<Searcher Status Subpacket>\nSearcher state: 3 (3), Forward RC: 0x03";

class GeneralizedSearcher : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(GeneralizedSearcher, Searcher4TasksPeaksAndFloors) {
  const auto& msg = c.run(0x1177, searcher4());
  EXPECT_EQ(msg.details,
            "Technology: HDR (shoulders), Queue: HPQ1, Freq. offset (in 37.5Hz): 0xAB, RX0 AGC: -33.25, "
            "RX1 AGC: -63.25\n"
            "Pilot Index: 5, Antenna: Dual Antenna, HDR Burst Len.: 1, QOF Index: 3, Walsh Index: 1, Non_Coh_Len: 2, "
            "Coh_Trunc: 2, Cohenrent_Len: 4, PN position: 1234, Window Size: 64\n"
            "Peak 0 Position: 4097.000, Energy: 1476 (10.00dBm)\nPeak 1 Position: 2.000, Energy: 36 (-50.00dBm)\n"
            "Pilot Index: 6, Antenna: Antenna 0, HDR Burst Len.: 0, QOF Index: 0, Walsh Index: 0, Non_Coh_Len: 1, "
            "Coh_Trunc: 0, Cohenrent_Len: 64, PN position: 0, Window Size: 0\n"
            "Peak 0 Position: 0.000, Energy: 450 (20.00dBm)\nPeak 1 Position: 0.000, Energy: 0 (-50.00dBm)\n"
            "Pilot Index: 7, Antenna: Antenna 0, HDR Burst Len.: 0, QOF Index: 0, Walsh Index: 0, Non_Coh_Len: 0, "
            "Coh_Trunc: 1, Cohenrent_Len: 4, PN position: 0, Window Size: 0\n"
            "Peak 0 Position: 0.000, Energy: 1000 (-50.00dBm)\nPeak 1 Position: 0.000, Energy: 0 (-50.00dBm)\n");
  // Every code of the family culls as 0x1174, and nothing else is written.
  EXPECT_EQ(c.writes(), "CULL_SEARCHER_MESSAGE DWord[0] 4468\n");

  // A task count past the packet shows the tasks that are there.
  const std::string whole = msg.details;
  EXPECT_EQ(c.run(kSearcher4, searcher4(200)).details, whole);
}

TEST_F(GeneralizedSearcher, WalkShowsEverySubpacketAndWrites) {
  c.decimals = 2;
  const auto& msg = c.run(kTng1xSearcher, walk());
  EXPECT_EQ(msg.details,
            kWalkStart +
                "\n\n<RF Subpacket>\nRX0 - Band Class: 1.8 to 2.0 GHz PCS, CDMA Channel: 25, AGC: -83.25dBm"
                "\nTx Power: -10.5dBm, Tx Power Limit: 17.67dBm, Tx Gain Adj: -2.0dB"
                "\n\n<Unknown Subpacket>"
                "\n\n<Searcher1 Subpacket>\nPilot PN: 100, Pregain: 4, Set Membership Mask: 3, Pilot record type: "
                "Transmit diversity pilot\nNon_Coh_Len: 2, Cohenrent_Len: 4, Window position: 500, Window Size: 64"
                "\nPeak position: 5.0, Peak energy: 9 (11.97dBm)\nPeak position: 10.0, Peak energy: 1 (1.84dBm)"
                "\nPeak position: 15.0, Peak energy: 0 (-50.00dBm)"
                "\n\n<Sleep Stats Subpacket>\nData (2 bytes): AA BB"
                "\n\n<Finger Info Subpacket>\nPilot Filter Gain: 0.00000, Antenna Config: 2, Num Fingers: 2"
                "\n=>\nPilot\tEcIo\tRx0\tRx1  \tPos\tEnbl\tStatus\tRef\tAsg\tLck\tLck0\tLck1\tTD\tTD"
                "\n100\t-10.00\t-10.00\t-.-\t800\ty\t0x1F\ty\ty\ty\ty\tn\tOTD\t-6"
                "\n200\t-.-\t-.-\t-.-\t0\ty\t0x01\tn\tn\tn\tn\tn\tNone\t-9");
  // The drive pins the RF subpacket's writes; the Candidate set's peaks are the Active set's again.
  EXPECT_EQ(c.writes({"CULL", "SRCH_MAX1_ACT", "SRCH_MAX2_ACT", "SRCH_MAX3_ACT", "SRCH_ACT", "SRCH_CAN", "For_FCH",
                      "PILOT_", "PN_", "COMB", "NUM_", "TOP_N"}),
            "CULL_SEARCHER_MESSAGE DWord[0] 4507\n"
            // Searcher1: Active then Candidate; the third peak is at the floor, under threshold A.
            "SRCH_MAX1_ACT_EcIo Double[0] 11.97\nSRCH_MAX1_ACT_DELAY Double[0] 5\nSRCH_ACT_PN UShort[0] 100\n"
            "SRCH_MAX2_ACT_EcIo Double[0] 1.84\nSRCH_MAX2_ACT_DELAY Double[0] 10\n"
            "SRCH_MAX3_ACT_EcIo NoValue[0]\nSRCH_MAX3_ACT_DELAY NoValue[0]\nSRCH_CAN_PN UShort[0] 100\n"
            "For_FCH_Is_Active Long[0] 1\nPILOT_PN UShort[0] 100\nPILOT_EcIo Double[0] -10.00\n"
            "PILOT_LOW16BITS UShort[0] 3\nPN_REFERENCE UShort[0] 100\n"
            "COMB_PILOT_EcIo_ANT Double[0] -10.00\nCOMB_PILOT_EcIo_ANT NoValue[1]\nCOMB_PILOT_EcIo Double[0] -10.00\n"
            "NUM_LOCKED_PILOTS Byte[0] 1\nNUM_UNIQUE_PILOTS Byte[0] 1\nTOP_N Double[0] -10.00\n"
            "TOP_N_PN_OFFSET UShort[0] 100\nPN_ECIO_SET Double[100] -10.00\nPN_ECIO_SET_STATUS Long[100] 7\n");

  // Read-only: the cull flag alone.
  c.read_only = true;
  c.run(kTng1xSearcher, walk());
  EXPECT_EQ(c.writes(), "CULL_SEARCHER_MESSAGE DWord[0] 4507\n");
}

// A Searcher1 with K 0 or L 0 cannot be scaled: its peaks show the floor and are cleared.
TEST_F(GeneralizedSearcher, Searcher1WithoutLengthsShowsFloorAndClears) {
  for (const std::size_t field : {2u, 4u}) {
    Bytes body = searcher1();
    body.at(field).u8(0);
    Bytes b = tng(1);
    c.run(kTng1xSearcher, subpacket(b, 6, body));
    EXPECT_EQ(c.msg.details.find("inf"), std::string::npos);
    EXPECT_NE(c.msg.details.find("Peak energy: 9 (-50.00dBm)"), std::string::npos);
    EXPECT_EQ(c.writes({"SRCH_MAX1_ACT"}), "SRCH_MAX1_ACT_EcIo NoValue[0]\nSRCH_MAX1_ACT_DELAY NoValue[0]\n");
  }
}

// Sizes the walk cannot follow stop it; what came before stays and the stop is said.
TEST_F(GeneralizedSearcher, WalkStopsOnUnusableSizes) {
  for (const int size : {0, 2, 3, 200}) {
    SCOPED_TRACE(size);
    Bytes b = tng(3);
    subpacket(b, 1, kStatus);
    subpacket(b, 2, kRf, size);
    subpacket(b, 1, kStatus);
    c.run(kTngFingerStatus, b);
    EXPECT_EQ(c.msg.details,
              "\nVersion: 2, Number Sub-packets: 3\n\n<Searcher Status Subpacket>\nSearcher state: 3 (3), "
              "Forward RC: 0x03\n" +
                  std::string(kNotQualcommStandard));
    EXPECT_EQ(c.writes(), "CULL_FINGER_MESSAGE DWord[0] 4506\n");
  }
}

// One task on PN 9 in the Active set, truncation 2, K 2, L 4, peaks as in searcher4().
Bytes searcher4_subpacket() {
  Bytes b = tng(1);
  Bytes body = Bytes{}.u8(0x42).u8(1).u8(1).u8(5).i16(-3);
  body.u16(9 << 7).u8(2).u8(1).u16(0x4004).u16(576).u16(10).u16(20);
  body.u16(0x0100).u16(16).u16(1476).u16(0).u16(32).u16(36);
  return subpacket(b, 7, body);
}

TEST_F(GeneralizedSearcher, Searcher4SubpacketTextAndStrongestPeaks) {
  c.run(kTng1xSearcher, searcher4_subpacket());
  EXPECT_EQ(c.msg.details,
            "\nVersion: 2, Number Sub-packets: 1\n\n<Searcher4 Subpacket>\nTechnology: HDR (accumulated), "
            "Queue: LPQ0, Freq. offset (in 4.6875Hz): -3, Priority: 5\nTask 0:\nPilot PN: 9, Antenna: Antenna 0, "
            "1xEVDO Burst Len.: 0, QOF Index: 0, Walsh Index: 0, Set Mask: 1\nNon_Coh_Len: 2, Coh_Trunc: 2, "
            "Cohenrent_Len: 4, Pilot Phase: 576, Window Start: 10, Window Size: 20"
            "\nPeak 0 - Position: 4097.000, Energy: 1476 (10.00dBm)\nPeak 1 - Position: 2.000, Energy: 36 (-50.00dBm)");
  EXPECT_EQ(c.writes({"SRCH_"}),
            "SRCH_MAX1_ACT_EcIo Double[0] 10\nSRCH_MAX1_ACT_DELAY Double[0] 4097\nSRCH_ACT_PN UShort[0] 9\n"
            "SRCH_MAX2_ACT_EcIo NoValue[0]\nSRCH_MAX2_ACT_DELAY NoValue[0]\n"
            "SRCH_MAX3_ACT_EcIo NoValue[0]\nSRCH_MAX3_ACT_DELAY NoValue[0]\n");
}

TEST_F(GeneralizedSearcher, EveryCutKeepsTheFailureBehaviour) {
  sweep_truncations(kSearcher4, searcher4(), [](const COrbExpandedMessage& msg, std::size_t n) {
    EXPECT_EQ(msg.details == kNotQualcommStandard, n < 6);
  });
  for (const Bytes& full : {walk(), searcher4_subpacket()}) {
    sweep_truncations(kTng1xSearcher, full, [](const COrbExpandedMessage& msg, std::size_t) {
      EXPECT_TRUE(msg.details.ends_with(kNotQualcommStandard));
    });
  }
}

}  // namespace
}  // namespace cdmadiag::test
