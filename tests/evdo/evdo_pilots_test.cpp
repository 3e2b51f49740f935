// EV-DO pilot reports: pilot sets, searcher, finger, active-set pilot and handoff state.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kPilotSets = 0x107A, kPilotSets2 = 0x108B, kSearcher1 = 0x105D, kSearcher2 = 0x1089,
                        kSearcherType2 = 0x127C, kFinger1 = 0x1064, kFinger2 = 0x108A, kActiveSetPilot = 0x105F,
                        kHandoff = 0x105E;

// Linear 1/512 figures: 512 is 0 dB, 1024 +3.01, 256 -3.01, 128 -6.02, 64 -9.03.
using Entry = std::vector<std::uint16_t>;  // the five words of a pilot-set entry

// Pilot sets header (PNInc 4, windows 8/9/10, channel 283 in band class 1, byte 5 = 4), then the entries.
Bytes pilot_sets(const std::vector<Entry>& a, const std::vector<Entry>& c = {}, const std::vector<Entry>& n = {}) {
  Bytes b;
  b.u8(4).u8(static_cast<std::uint32_t>(a.size())).u8(8).u16(283 | 1 << 11).u8(4);
  b.u8(static_cast<std::uint32_t>(c.size())).u8(9).u8(static_cast<std::uint32_t>(n.size())).u16(10);
  for (const auto* set : {&a, &c, &n})
    for (const Entry& e : *set)
      for (const std::uint16_t w : e) b.u16(w);
  return b;
}

// Finger record: PN, RTC offset, C/I, flags (bit 0 locked, 1 antenna, 2 diversity, 3-6 index), cells, antenna C/I.
Bytes& finger(Bytes& b, std::uint16_t pn, std::uint16_t ci, std::uint16_t ant0 = 512, std::uint16_t ant1 = 512) {
  return b.u16(pn).u32(0xFFFC0000u | 1234).u16(ci).u8(0x0D).u8(2 | 3 << 3).u16(ant0).u16(ant1);
}
Bytes fingers2(const std::vector<std::vector<std::uint16_t>>& records, std::uint16_t mstr_pn = 100) {
  Bytes b;
  b.u8(4).u32(70000).u16(3).u16(mstr_pn).u8(static_cast<std::uint32_t>(records.size()));
  for (const auto& f : records) finger(b, f[0], f[1], f.size() > 2 ? f[2] : 512, f.size() > 3 ? f[3] : 512);
  return b;
}

// Searcher type 2 record: pilot word, window centre 40, earliest 39, six phases, six C/I, COM fields.
Bytes& type2_pilot(Bytes& b, std::uint16_t pn, unsigned set, std::uint16_t first_ci, std::uint16_t second_ci = 0) {
  b.u16(pn | 2u << 10 | set << 12).u16(40).u16(39).i16(40).i16(-3).zeros(8);
  return b.u16(first_ci).u16(second_ci).zeros(8).u8(0x03).i8(-6).i16(-2);
}
Bytes type2(bool equalizer, std::uint32_t pilots) {
  return Bytes{}.u8(1).u8(4).u8(0).u16(60).u16(283 | 1 << 11).u32(0xFFFC0000u | 9000).u8(pilots).u8(equalizer).u8(2);
}

// Handoff state: modem state, count, then PN, DRC cover, MAC, RPC cell, strength (-0.5 dB) per pilot.
Bytes handoff(const std::vector<std::uint8_t>& cells) {
  Bytes b;
  b.u8(4).u8(static_cast<std::uint32_t>(cells.size()));
  for (std::size_t i = 0; i < cells.size(); ++i) b.u16(100 + 4 * i).u8(i + 1).u8(64 + i).u8(cells[i]).u8(5 + i);
  return b;
}

class EvdoPilots : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(EvdoPilots, PilotSetsVer2TextAndWrites) {
  // Active: PN 100 (ASP 1, RPC 2, DRC 3, MAC 70, drop timer expired, centre 40); PN 600 is no pilot and unmeasured.
  // Candidate: PN 200 in channel 283 band 1, drop timer expired. Neighbour: PN 300 unmeasured, offset 5, age 7.
  const auto& msg = c.run(kPilotSets2, pilot_sets({{100, 1024, 801, 326, 40}, {600, 0, 0, 583, 41}},
                                                  {{200, 256, 2331, 256, 50}}, {{300, 0, 2331, 60, 1797}}));
  // The drive pins the layout; here the rows of the pilot with no PN and of the unmeasured one.
  for (const char* row : {"\n100\t3.01\t1\t2\t3\t70\t1\t0\t40\n-\t-\t0\t0\t0\t71\t0\t1\t41\n->\n",
                          "\n200\t-3.01\t283\t1\t1\t0\t50\n->\n", "\n300\t-\t283\t1\t60\t5\t7\t"}) {
    EXPECT_NE(msg.details.find(row), std::string::npos) << row;
  }
  // No per-PN writes for PN 600; its rank and the unmeasured neighbour's are cleared.
  EXPECT_EQ(c.writes({"EVDO_PILOTSETSVER2_LARGEST", "EVDO_PILOTSETSVER2_ASET", "EVDO_PILOTSETSVER2_ACTIVE",
                      "EVDO_PILOTSETSVER2_BEST", "EVDO_PILOTSETSVER2_PN_FOR", "EVDO_PILOTSETSVER2_NBOR"}),
            "EVDO_PILOTSETSVER2_ASET_WINDOW Byte[0] 8\nEVDO_PILOTSETSVER2_LARGEST_ASET_COUNT Byte[0] 2\n"
            "EVDO_PILOTSETSVER2_LARGEST_CSET_COUNT Byte[0] 1\nEVDO_PILOTSETSVER2_LARGEST_NSET_COUNT Byte[0] 1\n"
            "EVDO_PILOTSETSVER2_ASET_DRC_COVER_INDEX_FOR_PN Byte[100] 3\n"
            "EVDO_PILOTSETSVER2_ASET_RPC_CELL_IDX_FOR_PN Byte[100] 2\n"
            "EVDO_PILOTSETSVER2_ASET_ASP_IDX_FOR_PN Byte[100] 1\n"
            "EVDO_PILOTSETSVER2_ASET_DROP_TIME_ACTIVE_FOR_PN Byte[100] 0\n"
            "EVDO_PILOTSETSVER2_ASET_DROP_TIME_EXPIRED_FOR_PN Byte[100] 1\n"
            "EVDO_PILOTSETSVER2_ASET_MAC_IDX_FOR_PN UShort[100] 70\n"
            "EVDO_PILOTSETSVER2_ASET_WIN_CENTERX2_FOR_PN UShort[100] 40\n"
            "EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN Double[100] 3.010299957\n"
            "EVDO_PILOTSETSVER2_BEST_ECIO_ACTIVE Double[0] 3.010299921\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE Long[0] 100\n"
            "EVDO_PILOTSETSVER2_BEST_ECIO_ACTIVE NoValue[1]\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE NoValue[1]\n"
            "EVDO_PILOTSETSVER2_BEST_ECIO_CANDIDATE Double[0] -3.010299921\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_CANDIDATE Long[0] 200\n"
            "EVDO_PILOTSETSVER2_NBOR_PLTS_ECIO_FOR_PN NoValue[300]\nEVDO_PILOTSETSVER2_BEST_ECIO_NBOR NoValue[0]\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_NBOR NoValue[0]\n");
}

TEST_F(EvdoPilots, PilotSetsVer1ShowsOnlyValidPilots) {
  const auto& msg = c.run(kPilotSets, pilot_sets({{100, 1024, 0x21, 70, 0}, {0xFFFF, 512, 0, 0, 0}},
                                                 {{200, 0, 283, 0, 0}}, {{300, 128, 284, 60, 5}}));
  EXPECT_EQ(msg.details,
            "PNInc: 4\nASETCount: 2\nASETWindow: 8\nFrequency: 2331\nBandClass: 4\nCSETCount: 1\nCSETWindow: 9\n"
            "NSETCount: 1\nRSETWindow: 10\n \t\n"
            "PilotSet\t\tPN\tPilotStr(dB)\tRPCIdx\t\tASPIdx\t\tMACIdx\t\tCandiFreq\tNeighFreq\tWinSize\t"
            "\tWinOffset\nActive\t\t100\t3.01\t\t2\t\t1\t\t70\t\tN/A\t\tN/A\t\tN/A\t\tN/A\n"
            "Candidate\t200\tN/A\t\tN/A\t\tN/A\t\tN/A\t\t283\t\tN/A\t\tN/A\t\tN/A\n"
            "Neighbor\t300\t-6.02\t\tN/A\t\tN/A\t\tN/A\t\tN/A\t\t284\t\t60\t\t5\n");
  EXPECT_EQ(c.writes({"EVDO_PILOTSETS_FREQ", "EVDO_PILOTSETS_BAND", "EVDO_PILOTSETS_ASET_", "EVDO_PILOTSETS_NSET",
                      "EVDO_PILOTSETS_CAND"}),
            "EVDO_PILOTSETS_ASET_WINDOW Byte[0] 8\nEVDO_PILOTSETS_FREQ UShort[0] 2331\n"
            "EVDO_PILOTSETS_BAND_CLASS Byte[0] 4\nEVDO_PILOTSETS_ASET_RPC_CELL_IDX_FOR_PN Byte[100] 2\n"
            "EVDO_PILOTSETS_ASET_ASP_IDX_FOR_PN Byte[100] 1\nEVDO_PILOTSETS_ASET_MAC_IDX_FOR_PN UShort[100] 70\n"
            "EVDO_PILOTSETS_CANDIDATE_PILOTS_ECIO_FOR_PN NoValue[200]\n"
            "EVDO_PILOTSETS_NSET_FREQ_NUM_FOR_PN UShort[300] 284\n"
            "EVDO_PILOTSETS_NSET_WINDOW_SIZE_FOR_PN UShort[300] 60\n"
            "EVDO_PILOTSETS_NSET_WINDOW_OFFSET_FOR_PN UShort[300] 5\n");
}

// A smaller set after a larger one clears the ranks the larger one filled; an unmeasured
// pilot ranks last and is cleared too.
TEST_F(EvdoPilots, LargestSetCountIsRaisedAndClearsLeftoverRanks) {
  c.run(kPilotSets2, pilot_sets({{4, 512, 0, 0, 0}, {8, 1024, 0, 0, 0}, {12, 256, 0, 0, 0}, {16, 128, 0, 0, 0}}));
  EXPECT_EQ(c.writes({"EVDO_PILOTSETSVER2_LARGEST_ASET", "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE"}),
            "EVDO_PILOTSETSVER2_LARGEST_ASET_COUNT Byte[0] 4\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE Long[0] 8\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE Long[1] 4\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE Long[2] 12\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE Long[3] 16\n");
  c.run(kPilotSets2, pilot_sets({{20, 0, 0, 0, 0}, {24, 64, 0, 0, 0}}));
  EXPECT_EQ(c.writes({"EVDO_PILOTSETSVER2_LARGEST_ASET", "EVDO_PILOTSETSVER2_BEST_ECIO_ACTIVE",
                      "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE"}),
            "EVDO_PILOTSETSVER2_LARGEST_ASET_COUNT Byte[0] 4\n"
            "EVDO_PILOTSETSVER2_BEST_ECIO_ACTIVE Double[0] -9.030900002\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE Long[0] 24\n"
            "EVDO_PILOTSETSVER2_BEST_ECIO_ACTIVE NoValue[1]\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE NoValue[1]\n"
            "EVDO_PILOTSETSVER2_BEST_ECIO_ACTIVE NoValue[2]\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE NoValue[2]\n"
            "EVDO_PILOTSETSVER2_BEST_ECIO_ACTIVE NoValue[3]\n"
            "EVDO_PILOTSETSVER2_PN_FOR_BEST_ECIO_ACTIVE NoValue[3]\n");
  c.run(kPilotSets, pilot_sets({{20, 512, 0, 0, 0}}));  // version 1 keeps its own largest counts
  EXPECT_EQ(c.writes({"EVDO_PILOTSETS_LARGEST_ASET"}), "EVDO_PILOTSETS_LARGEST_ASET_COUNT Byte[0] 1\n");
}

TEST_F(EvdoPilots, SearcherType2TextRankingAndEcIo) {
  Bytes b = type2(true, 3);
  type2_pilot(b, 100, 4, 1024, 64);
  type2_pilot(b, 200, 3, 0);  // first peak without C/I: no Ec/Io, not ranked
  type2_pilot(b, 300, 4, 1024);
  const auto& msg = c.run(kSearcherType2, b);
  // The drive pins the layout; here a peak without C/I, and the equalizer's line.
  EXPECT_NE(msg.details.find("NumPilots: 3, Equalizer status: On, Best ASP index: 2\n"), std::string::npos);
  EXPECT_TRUE(msg.details.ends_with(
      "100\tAnt0+1\tAS\t160\t156\t160\t3.01\t-12\t-9.03\t0\tOff\t0\tOff\t0\tOff\t0\tOff\t0x03\t-3.00\t-2\n\n"
      "200\tAnt0+1\tCS\t160\t156\t160\tOff\t-12\tOff\t0\tOff\t0\tOff\t0\tOff\t0\tOff\t0x03\t-3.00\t-2\n\n"
      "300\tAnt0+1\tAS\t160\t156\t160\t3.01\t-12\tOff\t0\tOff\t0\tOff\t0\tOff\t0\tOff\t0x03\t-3.00\t-2\n"));
  EXPECT_EQ(c.writes({"EVDO_FREQ", "EVDO_SEARCHERDATA_BEST", "EVDO_PILOTSETS"}),
            "EVDO_FREQ UShort[0] 283\nEVDO_SEARCHERDATA_BEST_ASP Byte[0] 2\n"
            "EVDO_PILOTSETS_ACTIVE_PILOTS_ECIO_FOR_PN Double[100] 3.010299957\n"
            "EVDO_PILOTSETS_ACTIVE_PILOTS_ECIO_FOR_PN Double[300] 3.010299957\n"
            "EVDO_PILOTSETS_NUM_ASET_PILOTS Long[0] 2\nEVDO_PILOTSETS_BEST_ECIO_ACTIVE Double[0] 3.010299957\n"
            "EVDO_PILOTSETS_PN_FOR_BEST_ECIO_ACTIVE UShort[0] 100\n"
            "EVDO_PILOTSETS_BEST_ECIO_ACTIVE Double[1] 3.010299957\n"
            "EVDO_PILOTSETS_PN_FOR_BEST_ECIO_ACTIVE UShort[1] 300\nEVDO_PILOTSETS_NUM_CANDSET_PILOTS Long[0] 1\n"
            "EVDO_PILOTSETS_NUM_NBORSET_PILOTS Long[0] 0\n");
}

// The lists hold 32 pilots a set: with 40 active pilots the strongest 32 are ranked; all are shown.
TEST_F(EvdoPilots, SearcherType2RanksTheStrongest32OfASet) {
  Bytes b = type2(false, 40);
  for (std::uint16_t k = 0; k < 40; ++k) type2_pilot(b, 4 * k, 4, 100 + k);
  const auto& msg = c.run(kSearcherType2, b);
  EXPECT_NE(msg.details.find("\n156\tAnt0+1\tAS\t160\t156\t160\t-5.66\t-12\tOff\t"), std::string::npos);
  const auto best = c.st.sink.of("ATTR_ID_EVDO_PILOTSETS_PN_FOR_BEST_ECIO_ACTIVE");
  ASSERT_EQ(best.size(), 32u);
  EXPECT_EQ(best.front().value, 156);
  EXPECT_EQ(best.back().value, 32);
  EXPECT_EQ(c.writes({"EVDO_PILOTSETS_NUM_ASET"}), "EVDO_PILOTSETS_NUM_ASET_PILOTS Long[0] 40\n");
}

TEST_F(EvdoPilots, SearcherVersions1And2Text) {
  Bytes v1 = Bytes{}.u8(3).u8(1).u16(60).u16(283).u8(1).u8(1);
  v1.u16(100 | 1u << 10 | 4u << 12).u16(10).u16(1024).u16(11).u16(0).u16(0).u16(0).u16(0).u16(0);
  EXPECT_EQ(c.run(kSearcher1, v1).details,
            "SrchState: 3\nSrchSubstate: 1\nSrchSize: 60\nFreq: 283\nBand: 1\n"
            "PN\tAntSet\t\tPilotSet\t\tP1(x8)\t\tE1(dB)\t\tP2(x8)\t\tE2(dB)\t\tP3(x8)\t\tE3(dB)\t\tP4(x8)\t"
            "\tE4(dB)\n100\tAnt1\t\tActive set\t40\t\t3.01\t\t44\t\tOff\t\t0\t\tOff\t\t0\t\tOff\t\t");
  EXPECT_EQ(c.writes({"EVDO_SEARCHERDATA_PILOT", "EVDO_SEARCHERDATA_ANT"}),
            "EVDO_SEARCHERDATA_PILOT_PN UShort[0] 100\nEVDO_SEARCHERDATA_PILOT_SET_FOR_PN Byte[100] 4\n"
            "EVDO_SEARCHERDATA_ANT_SEL_FOR_PN Byte[100] 1\n");
  Bytes v2 = Bytes{}.u8(3).u8(1).u16(60).u16(283 | 1 << 11).u32(0xFFFC0000u | 9000).u8(1);
  v2.u16(100 | 2u << 10 | 2u << 12).u16(40).u16(39).i16(-5).u16(1024).i16(7).u16(0).zeros(8);
  EXPECT_EQ(c.run(kSearcher2, v2).details,
            "SrchState: 3 (3)\nSrchSubstate: 1\nSrchSize: 60\nFreq: 283\nBandClass: 1\nMSTR (x8): 9000\n"
            "NumPilots: 1\n\t\nPilotPN: 100\nAntSel: 2 (Ant0+Ant1)\nPilotSet: 2 (Neighbor set)\nWinCenter(x2): 40\n"
            "EarliestPeakPos: 39\nPeak1PNPhase: -5\nPeak1C2I: 3.01\nPeak2PNPhase: 7\nPeak2C2I: Off\n"
            "Peak3PNPhase: 0\nPeak3C2I: Off\nPeak4PNPhase: 0\nPeak4C2I: Off\n");
  EXPECT_EQ(c.writes({"EVDO_SEARCHERDATAVER2_MSTR", "EVDO_SEARCHERDATAVER2_WIN", "EVDO_SEARCHERDATAVER2_EARLIEST",
                      "EVDO_FREQ"}),
            "EVDO_FREQ UShort[0] 283\nEVDO_SEARCHERDATAVER2_MSTR ULong[0] 9000\n"
            "EVDO_SEARCHERDATAVER2_WIN_CENTER_FOR_PN UShort[100] 40\n"
            "EVDO_SEARCHERDATAVER2_EARLIEST_PEAK_POS_FOR_PN UShort[100] 39\n");
}

TEST_F(EvdoPilots, FingersKeepTheLargerCtoIPerPnAndSkipInvalidPns) {
  // PN 100 twice (0 dB, then +3.01 dB), PN 512 is no pilot, PN 200 ties PN 100 at +3.01 dB, then PN 100 unmeasured.
  const auto& msg = c.run(kFinger2, fingers2({{100, 512}, {100, 1024}, {512, 2048}, {200, 1024, 0}, {100, 0}}));
  EXPECT_TRUE(
      msg.details.starts_with("SrchState: 4\nMSTR(chip): 70000\nMSTRError(chip): 3\nMSTRPilotPN: 100 \nPN: 100,"));
  EXPECT_NE(msg.details.find("C/I(dB): 3.01,  RPCIdx: 2,  ASPIdx: 3,  Ant0 C/I(dB): Off,  Ant1"), std::string::npos);
  EXPECT_EQ(c.writes({"EVDO_FINGERDATAVER2_PILOT_PN", "EVDO_FINGERDATAVER2_CTOI", "EVDO_FINGERDATA_CTOI",
                      "EVDO_FINGERDATAVER2_NUM_LOCKED", "EVDO_FINGERDATAVER2_BEST", "EVDO_FINGERDATAVER2_PN_FOR"}),
            "EVDO_FINGERDATAVER2_PILOT_PN UShort[0] 100\nEVDO_FINGERDATAVER2_CTOI_FOR_PN Double[100] 0\n"
            "EVDO_FINGERDATA_CTOI Double[0] 0\nEVDO_FINGERDATAVER2_PILOT_PN UShort[1] 100\n"
            "EVDO_FINGERDATAVER2_CTOI_FOR_PN Double[100] 3.010299957\nEVDO_FINGERDATA_CTOI Double[1] 3.010299957\n"
            "EVDO_FINGERDATAVER2_PILOT_PN UShort[2] 200\nEVDO_FINGERDATAVER2_CTOI_FOR_PN Double[200] 3.010299957\n"
            "EVDO_FINGERDATAVER2_PILOT_PN UShort[3] 100\nEVDO_FINGERDATAVER2_CTOI_FOR_PN NoValue[100]\n"
            "EVDO_FINGERDATAVER2_NUM_LOCKED_FINGERS Long[0] 4\n"
            "EVDO_FINGERDATAVER2_BEST_CTOI Double[0] 3.010299921\n"
            "EVDO_FINGERDATAVER2_PN_FOR_BEST_CTOI Long[0] 100\n"
            "EVDO_FINGERDATAVER2_BEST_CTOI Double[1] 3.010299921\n"
            "EVDO_FINGERDATAVER2_PN_FOR_BEST_CTOI Long[1] 200\nEVDO_FINGERDATAVER2_BEST_CTOI Double[2] 0\n"
            "EVDO_FINGERDATAVER2_PN_FOR_BEST_CTOI Long[2] 100\n");
  Bytes v1 = Bytes{}.u32(70000).u16(3).u16(0xFFFF).u8(1);
  finger(v1, 100, 256);
  EXPECT_EQ(c.run(kFinger1, v1).details,
            "MSTR(chip): 70000\nMSTRError(chip): 3\nMSTRPilotPN: Invalid\n"
            "PN: 100,  Index: 1,  Locked: 1 (Locked),  RTCOffset(x8): 1234,  Ant: 0 (Ant0),  Diversity: 1"
            " (Enabled),  C/I(dB): -3.01,  RPCIdx: 2,  ASPIdx: 3,  Ant0 C/I(dB): 0.00,  Ant1 C/I(dB): 0.00\n");
  EXPECT_EQ(c.writes({"EVDO_FINGERDATA_MSTR", "EVDO_FINGERDATA_CTOI_FOR_PN"}),
            "EVDO_FINGERDATA_MSTR ULong[0] 70000\nEVDO_FINGERDATA_MSTR_ERROR UShort[0] 3\n"
            "EVDO_FINGERDATA_MSTR_PILOT_PN NoValue[0]\nEVDO_FINGERDATA_CTOI_FOR_PN Double[100] -3.010299957\n");
}

TEST_F(EvdoPilots, ActiveSetPilotText) {
  const Bytes b = Bytes{}.u8(2).u16(100).u8(1).u8(2).u16(1024).u16(200).u8(3).u8(4).u16(0);
  EXPECT_EQ(c.run(kActiveSetPilot, b).details,
            "Number of active pilots: 2\n \t\n\t\tPredicted\tServing\n"
            "\t\t----------------------------------------\nPN:\t\t   100\t\t   200\n"
            "DRCCoverIdx:\t     1\t\t     3\nRPCIdx:\t\t     2\t\t     4\nSINR:\t\t    3.01\t\t Invalid\n");
  EXPECT_EQ(c.writes(),
            "EVDO_ACTIVESETPILOT_NUM_ACTIVE_PILOTS Byte[0] 2\nEVDO_ACTIVESETPILOT_PREDICTED_PN UShort[0] 100\n"
            "EVDO_ACTIVESETPILOT_PREDICTED_DRC_COVER_INDEX Byte[0] 1\n"
            "EVDO_ACTIVESETPILOT_PREDICTED_RPC_INDEX Byte[0] 2\n"
            "EVDO_ACTIVESETPILOT_PREDICTED_PN_SINR Double[0] 3.010299957\n"
            "EVDO_ACTIVESETPILOT_SERVING_PN UShort[0] 200\nEVDO_ACTIVESETPILOT_SERVING_DRC_COVER_INDEX Byte[0] 3\n"
            "EVDO_ACTIVESETPILOT_SERVING_RPC_INDEX Byte[0] 4\nEVDO_ACTIVESETPILOT_SERVING_PN_SINR NoValue[0]\n");
  Bytes none = b;
  none.at(7).u16(0xFFFF);
  EXPECT_EQ(c.run(kActiveSetPilot, none).details,
            "Number of active pilots: 2\n \t\n\t\tPredicted\tServing\n"
            "\t\t----------------------------------------\nInvalid predicted or serving PN\n");
}

TEST_F(EvdoPilots, HandoffStateFromPilotsAndDistinctCells) {
  EXPECT_EQ(c.run(kHandoff, handoff({0, 1, 1})).details,
            "ModemState: 4 (Connected)\nNumPilotsInActiveSet: 3\n \t\n"
            "PN\tDRCCoverIndex\tMACIndex\tRPCIndex\tPilotStrength (dB)\n"
            "------------------------------------------------------------------------------------------------------"
            "----------------------------------------------------------\n"
            "100\t           1\t\t\t      64\t\t      0\t\t -2.50\n"
            "104\t           2\t\t\t      65\t\t      1\t\t -3.00\n"
            "108\t           3\t\t\t      66\t\t      1\t\t -3.50\n");
  EXPECT_EQ(c.writes({"EVDO_HOSTATE_PILOT"}),
            "EVDO_HOSTATE_PILOT_PN UShort[0] 100\nEVDO_HOSTATE_PILOT_STRENGTH_FOR_PN Double[100] -2.5\n"
            "EVDO_HOSTATE_PILOT_PN UShort[1] 104\nEVDO_HOSTATE_PILOT_STRENGTH_FOR_PN Double[104] -3\n"
            "EVDO_HOSTATE_PILOT_PN UShort[2] 108\nEVDO_HOSTATE_PILOT_STRENGTH_FOR_PN Double[108] -3.5\n");
  const struct {
    std::vector<std::uint8_t> cells;
    const char* state;
  } cases[] = {{{}, ""},
               {{0}, "1"},
               {{0, 0}, "2"},
               {{0, 1}, "3"},
               {{0, 0, 0}, "2"},
               {{2, 0, 2}, "5"},
               {{0, 1, 2}, "4"},
               {{0, 0, 0, 0}, "7"},
               {{0, 0, 0, 0, 0, 0}, "9"},
               {{0, 0, 0, 0, 0, 0, 0}, ""}};
  for (const auto& k : cases) {
    c.run(kHandoff, handoff(k.cells));
    const std::string expected = *k.state ? std::string("EVDO_HOSTATE_HANDOFF_STATE Long[0] ") + k.state + "\n" : "";
    EXPECT_EQ(c.writes({"EVDO_HOSTATE_HANDOFF"}), expected) << k.cells.size();
  }
}

// Every decoder: each cut inside the fixed part fails (reported, or thrown inside the
// dispatcher's guard for the type 2 searcher); a record count the payload does not back
// decodes the records present.
TEST_F(EvdoPilots, TruncationsAndLyingCounts) {
  Bytes t2 = type2(true, 2);
  type2_pilot(type2_pilot(t2, 100, 4, 1024), 200, 2, 512);
  Bytes v1 = Bytes{}.u8(3).u8(1).u16(60).u16(283).u8(1).u8(2).zeros(36);
  Bytes v2 = Bytes{}.u8(3).u8(1).u16(60).u16(283).u32(9000).u8(2).zeros(44);
  Bytes f1 = Bytes{}.u32(70000).u16(3).u16(100).u8(2);
  finger(finger(f1, 100, 512), 200, 256);
  const struct {
    std::uint32_t code;
    Bytes full;
    std::size_t fixed, count_at;
    const char* per_record;  // an attribute written once per record
  } cases[] = {
      {kPilotSets2, pilot_sets({{4, 512, 0, 0, 0}, {8, 256, 0, 0, 0}}), 11, 1, "EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO"},
      {kPilotSets, pilot_sets({}, {}, {{4, 512, 0, 0, 0}, {8, 256, 0, 0, 0}}), 11, 8, "EVDO_PILOTSETS_NBOR"},
      {kSearcher1, v1, 8, 7, "EVDO_SEARCHERDATA_PILOT_PN"},
      {kSearcher2, v2, 11, 10, "EVDO_SEARCHERDATAVER2_PILOT_PN"},
      {kSearcherType2, t2, 14, 11, "EVDO_SEARCHERDATAVER2_PILOT_PN"},
      {kFinger1, f1, 9, 8, "EVDO_FINGERDATA_PILOT_PN"},
      {kFinger2, fingers2({{100, 512}, {200, 256}}), 10, 9, "EVDO_FINGERDATAVER2_PILOT_PN"},
      {kActiveSetPilot, Bytes{}.u8(2).u16(100).u8(1).u8(2).u16(1024).u16(200).u8(3).u8(4).u16(0), 13, 0, nullptr},
      {kHandoff, handoff({0, 1}), 2, 1, "EVDO_HOSTATE_PILOT_PN"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(formatf("code 0x%04X", k.code));
    const std::string failure = k.code == kSearcherType2 ? "" : kNotQualcommStandard;
    sweep_truncations(k.code, k.full, [&](const COrbExpandedMessage& msg, std::size_t n) {
      if (n < k.fixed) {
        EXPECT_EQ(msg.details, failure);
      } else {
        EXPECT_EQ(msg.details.find(kNotQualcommStandard), std::string::npos);
      }
    });
    if (k.per_record == nullptr) continue;
    Bytes lying = k.full;
    lying.at(k.count_at).u8(200);
    c.run(k.code, k.full);
    const std::string honest = c.writes({k.per_record});
    c.run(k.code, lying);
    EXPECT_EQ(c.writes({k.per_record}), honest);
  }
}

}  // namespace
}  // namespace cdmadiag::test
