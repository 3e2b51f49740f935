// IS-95 pilot finger (0x100B) and pilot searcher (0x100F) reports.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "cdma1x/pilot_routines.h"
#include "framework/attributes.h"
#include "framework/failure_texts.h"
#include "host/cell_refs.h"
#include "support/decoder_case.h"

namespace {

using cdmadiag::AttrWriter;
using cdmadiag::test::Bytes;

constexpr std::uint32_t kFingerCode = 0x100B, kSearcherCode = 0x100F;

struct Finger {
  std::uint16_t pn, position;  // position in 1/8 chip
  std::uint8_t rssi;           // 0: not locked
};

Bytes finger_packet(const Finger& a, const Finger& b, const Finger& c) {
  Bytes p;
  p.u16(a.pn).u16(b.pn).u16(c.pn).u16(a.position).u16(b.position).u16(c.position);
  return p.u8(a.rssi).u8(b.rssi).u8(c.rssi);
}

// Pregain 4, 64 chips, two integrations: offset -33.620 dB, so the -15 dB delay threshold is raw 72.78.
Bytes searcher_packet(std::uint16_t set_word, const std::vector<std::uint16_t>& energies, std::uint16_t end = 200,
                      std::uint16_t centre = 200, int announced = -1) {
  Bytes p = Bytes{}.u8(1).u8(16).u8(1).u16(set_word).u16(end).u16(centre).u16(0xBEEF);
  p.u16(announced < 0 ? static_cast<std::uint32_t>(energies.size()) : static_cast<std::uint32_t>(announced));
  for (const auto e : energies) p.u16(e);
  return p;
}

class PilotReport : public ::testing::Test {
 protected:
  PilotReport() {
    // PN 100 radiates from two sites; map positions are longitude/latitude.
    cells.add({100, 40.0, -75.0, "11-1", "North"});
    cells.add({100, 40.2, -75.3, "12-3", "River"});
    cells.add({300, 40.0, -75.0, "30-2", "Hilltop"});
    dc.decimals = 3;
  }
  // The next packet; c keeps only its writes.
  void decode(bool finger, const Bytes& b, IDekCellRefs_Search* search = nullptr) {
    dc.cells = search;
    dc.run(finger ? kFingerCode : kSearcherCode, b);
  }
  std::string writes(std::initializer_list<const char*> prefixes = {""}) const { return dc.writes(prefixes); }

  cdmadiag::test::DecoderCase dc;
  COrbExpandedMessage& msg = dc.msg;
  CellSiteTable cells;
};

constexpr bool kFinger = true;
constexpr bool kSearcher = false;

TEST_F(PilotReport, FingerHandBuiltPacketEveryLineAndWrite) {
  const Bytes p{
      0x64, 0x00, 0x64, 0x00, 0xDC, 0x00,  // PN 100, 100, 220 (not in the cell list)
      0xE8, 0x03, 0xF8, 0x03, 0xD0, 0x07,  // positions 1000, 1016, 2000
      0xC8, 0x64, 0x32,                    // raw 200, 100, 50: -7.60, -10.61, -13.62 dB
  };
  AttrWriter(&dc.st.ds).Double(ATTR_ID_LOCATION_X, -75.29);  // near River
  AttrWriter(&dc.st.ds).Double(ATTR_ID_LOCATION_Y, 40.19);
  decode(kFinger, p, &cells);
  EXPECT_EQ(msg.details,
            "  Finger #1 PN: 100, Position (1/8 chip): 1000, Ec/Io: -7.6 dB, (likely CellID 12-3 on River),\n"
            "  Finger #2 PN: 100, Position (1/8 chip): 1016, Ec/Io: -10.6 dB, (likely CellID 12-3 on River),\n"
            "  Finger #3 PN: 220, Position (1/8 chip): 2000, Ec/Io: -13.6 dB, (likely CellID Unknown on Unknown),\n"
            "  Number of pilots: 3\n");
  // One pilot's fingers combine linearly: 10 log10(200 + 100) - 30.61; all three: 10 log10(350) - 30.61.
  // The drive pins every write; the per-pilot combining is this packet's own.
  EXPECT_EQ(writes({"PN_ECIO", "COMB", "NUM_"}),
            "PN_ECIO_SET Double[100] -5.839\nPN_ECIO_SET_STATUS Long[100] 7\n"
            "PN_ECIO_SET Double[220] -13.620\nPN_ECIO_SET_STATUS Long[220] 7\nCOMB_PILOT_EcIo Double[0] -5.169\n"
            "NUM_LOCKED_PILOTS Byte[0] 3\nNUM_UNIQUE_PILOTS Byte[0] 2\n");
}

using FingerReport = PilotReport;

TEST_F(FingerReport, CombinedStrengthRoundsOnlyTheSingleFloatTotal) {
  // Each linear energy joins the float total as a double; rounding each to float first gives -22.15901933.
  decode(kFinger, finger_packet({10, 0, 1}, {20, 0, 1}, {30, 0, 5}));
  ASSERT_EQ(dc.of("ATTR_ID_COMB_PILOT_EcIo").size(), 1u);
  EXPECT_NEAR(dc.of("ATTR_ID_COMB_PILOT_EcIo").at(0).value, -22.159019662548, 1e-9);
}

TEST_F(PilotReport, FingerSummaryRanksByStrengthAndClearsWhatIsMissing) {
  dc.title_wanted = dc.details_wanted = false;  // nothing formatted for nobody, the writes all the same
  const auto summary = [this](const Finger& a, const Finger& b, const Finger& c) {
    decode(kFinger, finger_packet(a, b, c));
    EXPECT_EQ(msg.title + msg.details, "");
    return writes({"PILOT_PN", "COMB", "NUM_", "TOP_N_PN", "1ST_PILOT_PN", "2ND_PILOT_PN", "3RD_PILOT_PN"});
  };
  // Finger 1 unlocked, finger 3 strongest; PN 600 is out of range: ranked, its PN cleared at index 0.
  EXPECT_EQ(
      summary({7, 0, 0}, {600, 0, 100}, {80, 0, 200}),
      "PILOT_PN UShort[0] 7\nPILOT_PN NoValue[0]\nPILOT_PN UShort[2] 80\nCOMB_PILOT_EcIo Double[0] -5.839\n"
      "NUM_LOCKED_PILOTS Byte[0] 2\nNUM_UNIQUE_PILOTS Byte[0] 2\nTOP_N_PN_OFFSET UShort[0] 80\n"
      "TOP_N_PN_OFFSET NoValue[0]\n1ST_PILOT_PN UShort[0] 80\n2ND_PILOT_PN NoValue[0]\n3RD_PILOT_PN NoValue[0]\n");
  EXPECT_EQ(summary({100, 10, 0}, {200, 20, 0}, {300, 30, 0}),
            "PILOT_PN UShort[0] 100\nPILOT_PN UShort[1] 200\nPILOT_PN UShort[2] 300\nCOMB_PILOT_EcIo NoValue[0]\n"
            "NUM_LOCKED_PILOTS Byte[0] 0\nNUM_UNIQUE_PILOTS Byte[0] 0\n1ST_PILOT_PN NoValue[0]\n"
            "2ND_PILOT_PN NoValue[0]\n3RD_PILOT_PN NoValue[0]\n");
}

TEST_F(PilotReport, FingerReadOnlyShowsTheLockedCountAlreadyStored) {
  AttrWriter(&dc.st.ds).Byte(ATTR_ID_NUM_LOCKED_PILOTS, 2);
  dc.read_only = true;
  decode(kFinger, finger_packet({100, 0, 100}, {0, 5, 0}, {0, 0, 0}));
  EXPECT_EQ(writes(),
            "CULL_FINGER_MESSAGE DWord[0] 4171\nPN_ECIO_SET Double[100] -10.610\nPN_ECIO_SET_STATUS Long[100] 7\n");
  EXPECT_EQ(msg.details,
            "  Finger #1 PN: 100, Position (1/8 chip): 0, Ec/Io: -10.6 dB, (likely CellID Unknown on Unknown),\n"
            "  Finger #2 PN: N/A, Position (1/8 chip): 5, Ec/Io: Not locked,\n"
            "  Finger #3 PN: N/A, Position (1/8 chip): 0, Ec/Io: Not locked,\n"
            "  Number of pilots: 2\n");
}

TEST(PilotReports, EveryShorterPacketIsSafe) {
  cdmadiag::test::sweep_truncations(kFingerCode, finger_packet({100, 1, 100}, {200, 2, 50}, {300, 3, 20}),
                                    [](const cdmadiag::test::DecoderCase& c, std::size_t) {
                                      EXPECT_EQ(c.msg.details, cdmadiag::kNotQualcommStandard);
                                      EXPECT_EQ(c.writes(), "CULL_FINGER_MESSAGE DWord[0] 4171\n");
                                    });
  cdmadiag::test::sweep_truncations(
      kSearcherCode, searcher_packet(0x8009, {100, 9000, 4000, 200}),
      [](const cdmadiag::test::DecoderCase& c, std::size_t len) {
        if (len < 13) {
          EXPECT_EQ(c.msg.details, cdmadiag::kNotQualcommStandard);
          EXPECT_EQ(c.writes(), "CULL_SEARCHER_MESSAGE DWord[0] 4171\n");
        } else {
          EXPECT_EQ(c.msg.details.find(cdmadiag::kNotQualcommStandard), std::string::npos);
          EXPECT_EQ(c.of("ATTR_ID_CDMA_SRCHR_DLY_CHIP").size(), std::min<std::size_t>((len - 13) / 2, 4));
        }
      });
}

TEST_F(PilotReport, SearcherHandBuiltPacketEveryLineAndWrite) {
  const Bytes p{
      0x01, 0x10, 0x01,                    // pregain 4, 64 chips, two integrations
      0x2C, 0xA5,                          // Active, Neighbor; NotRefPilot; PN 300
      0xC8, 0x00, 0xF3, 0x00,              // window end 200, centre 243: end - centre = -43
      0xEF, 0xBE, 0x06, 0x00,              // not read; N = 6
      0x64, 0x00, 0xA0, 0x0F, 0xA0, 0x0F,  // 100 (-13.62 dB: above the delay threshold), 4000, 4000 (tied)
      0x28, 0x23, 0x3C, 0x00, 0x00, 0x00,  // 9000 (the largest, 5.92 dB), 60 (-15.84 dB: below), 0
  };
  decode(kSearcher, p, &cells);
  // size = -43 / 4 = -10 (toward zero), shown as 16 bits; position = 200 + 4 x 3 + 80.
  EXPECT_EQ(msg.details,
            "  Active Pilot PN: 300, (also in set(s): Neighbor),  NotRefPilot: 1, (likely CellID 30-2 on Hilltop),\n"
            "  Max Energy: Ec/Io 5.9 dB, Position (1/8 chips) 292, Position Index 1,\n"
            "  Search Window: End Position (1/8 chips) 200, Size (chips) 65526\n");
  // delay(k) = (-43 + 4 (k - 5)) / 8 chips. The exchange sort puts the later of the tied entries (e2)
  // second, so the peaks are e3, e2, e1.
  EXPECT_EQ(writes({"CDMA_SRCHR", "SRCH_MAX2_ACT", "SRCH_MAX3_ACT"}),
            "CDMA_SRCHR_DLY_CHIP Double[0] -7.875\nCDMA_SRCHR_DLY_CHIP Double[1] -7.375\n"
            "CDMA_SRCHR_DLY_CHIP Double[2] -6.875\nCDMA_SRCHR_DLY_CHIP Double[3] -6.375\n"
            "SRCH_MAX2_ACT_EcIo Double[0] 2.401\nSRCH_MAX2_ACT_DELAY Double[0] -6.875\n"
            "SRCH_MAX3_ACT_EcIo Double[0] 2.401\nSRCH_MAX3_ACT_DELAY Double[0] -7.375\n");
}

TEST_F(PilotReport, SearcherArithmeticAtItsEdges) {
  // No coherent length leaves the bare offset; an unknown pregain code is a factor of 1.
  EXPECT_DOUBLE_EQ(cdmadiag::SearcherEnergyOffset(3, 0, 200), 17.555);
  EXPECT_NEAR(cdmadiag::SearcherEnergyOffset(9, 1, 3), -0.506799740, 1e-9);
  // Delays need more than the -15 dB energy.
  decode(kSearcher, searcher_packet(0, {72, 73, 0, 65535}, 100, 120));  // delay threshold at raw 72.78
  // delay(k) = (-20 + 4 (k - 3)) / 8
  EXPECT_EQ(writes({"CDMA_SRCHR"}), "CDMA_SRCHR_DLY_CHIP Double[1] -3.500\nCDMA_SRCHR_DLY_CHIP Double[3] -2.500\n");
  // Threshold A exactly at the Ec/Io of 4000 as the decoder holds it (single precision): not above.
  dc.threshold_a = static_cast<float>(10.0 * std::log10(4000.0) + cdmadiag::SearcherEnergyOffset(1, 16, 1));
  decode(kSearcher, searcher_packet(0x8000 | 12, {9000, 4000, 100}));
  EXPECT_EQ(writes({"SRCH_MAX1_ACT_EcIo", "SRCH_MAX2_ACT_EcIo"}),
            "SRCH_MAX1_ACT_EcIo Double[0] 5.922\nSRCH_MAX2_ACT_EcIo NoValue[0]\n");
}

TEST_F(PilotReport, SearcherSetMembershipWritesEvenWhenReadOnly) {
  struct Case {
    std::uint16_t sets;
    const char* line;
    const char* flags;
    int peak_sets;
  };
  const Case cases[] = {
      {0x0000, " Pilot PN: 5,  NotRefPilot: 0,\n", "", 0},
      {0x1800, "  Remaining Pilot PN: 5, (also in set(s): Precandidate),  NotRefPilot: 0,\n",
       "CDMA_UPDATE_REMSETDLY_FLAG Long[0] 1\n", 1},
      {0xF800,
       "  Active Pilot PN: 5, (also in set(s): Candidate, Neighbor, Remaining, Precandidate),  NotRefPilot: 0,\n",
       "CDMA_UPDATE_ACTSETDLY_FLAG Long[0] 1\nCDMA_UPDATE_ACTCANDSETDLY_FLAG Long[0] 1\n"
       "CDMA_UPDATE_CANDSETDLY_FLAG Long[0] 1\nCDMA_UPDATE_ACTCANDSETDLY_FLAG Long[0] 1\n"
       "CDMA_UPDATE_NBORSETDLY_FLAG Long[0] 1\nCDMA_UPDATE_REMSETDLY_FLAG Long[0] 1\n",
       4},
  };
  dc.read_only = true;  // stops only the delays
  msg.cellIdWanted = false;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sets);
    decode(kSearcher, searcher_packet(c.sets | 5, {9000}));
    EXPECT_EQ(msg.details.substr(0, msg.details.find('\n') + 1), c.line);
    EXPECT_EQ(writes({"CDMA_UPDATE_"}), c.flags);
    const std::string peaks = writes({"SRCH_"});
    EXPECT_EQ(std::count(peaks.begin(), peaks.end(), '\n'), 7 * c.peak_sets);
    EXPECT_EQ(writes({"CDMA_SRCHR", "MAX_SEARCHER"}), "MAX_SEARCHER_ENERGY Double[0] 5.922\n");
  }
}

TEST_F(PilotReport, SearcherWithoutEnergyShowsNotAvailable) {
  decode(kSearcher, searcher_packet(0, {0, 0, 0}, 64, 32));
  EXPECT_EQ(msg.details.substr(msg.details.find('\n') + 1),
            "  Max Energy: Ec/Io N/A, Position (1/8 chips) 0, Position Index 0,\n"
            "  Search Window: End Position (1/8 chips) 64, Size (chips) 8\n");
  EXPECT_EQ(writes({"MAX_SEARCHER", "PN_ECIO"}), "MAX_SEARCHER_ENERGY NoValue[0]\n");
}

TEST_F(PilotReport, SearcherFewerThanThreeEntriesClearTheMissingPeaks) {
  dc.title_wanted = dc.details_wanted = false;
  decode(kSearcher, searcher_packet(0x8000, {9000, 8000, 7000, 6000}));  // nothing of it may leak into the next
  EXPECT_EQ(msg.title + msg.details, "");
  decode(kSearcher, searcher_packet(0x8000, {9000}));
  EXPECT_EQ(writes({"SRCH_MAX"}),
            "SRCH_MAX1_ACT_EcIo Double[0] 5.922\nSRCH_MAX1_ACT_DELAY Double[0] 0\nSRCH_MAX2_ACT_EcIo NoValue[0]\n"
            "SRCH_MAX2_ACT_DELAY NoValue[0]\nSRCH_MAX3_ACT_EcIo NoValue[0]\nSRCH_MAX3_ACT_DELAY NoValue[0]\n");
}

TEST_F(PilotReport, SearcherDecodesOnlyTheEntriesPresentUpToAWindow) {
  decode(kSearcher, searcher_packet(0, {100, 9000}, 200, 200, 60000));
  // Positions still count back from the announced end of the window.
  EXPECT_EQ(writes({"CDMA_SEARCHER", "CDMA_SRCHR"}),
            "CDMA_SEARCHER_NUM_ENTRIES UShort[0] 60000\nCDMA_SRCHR_DLY_CHIP Double[0] -29999.500\n"
            "CDMA_SRCHR_DLY_CHIP Double[1] -29999\n");
  EXPECT_NE(msg.details.find("Max Energy: Ec/Io 5.9 dB"), std::string::npos);

  std::vector<std::uint16_t> energies(5000, 1000);
  energies[4500] = 60000;  // past what is decoded
  energies[17] = 2000;
  decode(kSearcher, searcher_packet(0, energies));
  const auto delays = dc.of("ATTR_ID_CDMA_SRCHR_DLY_CHIP");
  ASSERT_EQ(delays.size(), cdmadiag::kSearcherMaxEntries);
  EXPECT_EQ(delays.back().index, cdmadiag::kSearcherMaxEntries - 1);
  EXPECT_NE(msg.details.find("Position Index 8,"), std::string::npos);  // entry 17 is the largest
}

TEST(ExchangeSort, LeadingThreeMatchTheFullSortTiesIncluded) {
  std::uint32_t seed = 12345;
  const auto next = [&seed](std::uint32_t m) { return ((seed = seed * 1103515245u + 12345u) >> 16) % m; };
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint16_t> e(next(13));
    for (auto& v : e) v = static_cast<std::uint16_t>(next(4));  // few distinct values: mostly ties
    std::vector<int> full(e.size()), leading(e.size());
    cdmadiag::ExchangeSortDescending(e, full);
    cdmadiag::ExchangeSortDescending(e, leading, 3);
    const auto top = static_cast<std::ptrdiff_t>(std::min<std::size_t>(e.size(), 3));
    EXPECT_TRUE(std::equal(full.begin(), full.begin() + top, leading.begin())) << round;
  }
}

}  // namespace
