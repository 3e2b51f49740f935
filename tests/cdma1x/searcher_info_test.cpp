// Searcher and finger information (0x102D, Ver2 0x10C4) and enhanced finger
// information (0x1179).
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <tuple>
#include <vector>

#include "framework/attributes.h"
#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kInfo = 0x102D;
constexpr std::uint32_t kVer2 = 0x10C4;
constexpr std::uint32_t kEnhanced = 0x1179;

struct Finger {
  std::uint16_t pn;
  std::uint8_t sector;
  std::uint16_t rssi;  // one byte in the first two layouts
  std::int32_t position = 0;
};

// Pregain x4, 64 chips, two integrations: an energy reads 10 log10(e) - 33.620 dB, so
// the -15 dB delay threshold is raw 72.8. Active and Candidate pilot PN 100; the window
// (1/8 chip) ends at `position`, 40 wide; entries 4 apart with energies 50, 400, 1600, 100.
const std::vector<std::uint16_t> kEnergies = {50, 400, 1600, 100};
const std::vector<Finger> kFingers = {{100, 1, 200, 8000}, {200, 2, 50, -9000}, {300, 3, 0, 10000}};

Bytes info(std::uint32_t position = 1000, std::size_t f = kFingers.size(), std::size_t n = kEnergies.size()) {
  Bytes b = Bytes{}.u8(1).u8(1).u8(1).u8(16).u8(1).u16(0xC000 | 100).u32(position).u16(40);
  b.i8(-60).u8(120).i8(-10).i8(23).u8(8);  // RX, AGC power, gain adjust +5 dB, limit, traffic state
  b.u8(0x32).u8(0x00).u8(0x21).u8(static_cast<std::uint32_t>(n)).u8(static_cast<std::uint32_t>(f));
  for (std::size_t k = 0; k < kEnergies.size(); ++k) b.u16(position - 4 * (3 - k)).u16(kEnergies[k]);
  for (const Finger& x : kFingers) b.u16(x.pn).u8(x.sector).u8(x.rssi).i32(x.position).zeros(2);
  return b;
}

// The same content in the second layout; diversity bytes unless div_flag is 0xFF.
Bytes ver2(std::int32_t position, std::uint8_t div_flag = 0, std::size_t f = kFingers.size()) {
  Bytes b = Bytes{}.u8(1).u8(1).u8(16).u8(1).u16(0xC000 | 100).u16(40).i32(position);
  b.i8(-60).u8(120).i8(-10).u8(200).u8(8).u8(div_flag).u8(4).u8(static_cast<std::uint32_t>(f));
  if (div_flag != 0xFF) b.u8(2).u8(1);
  for (std::size_t k = 0; k < kEnergies.size(); ++k) b.i16(position - 4 * (3 - static_cast<int>(k))).u16(kEnergies[k]);
  std::uint8_t channel = 10;
  for (const Finger& x : kFingers) b.u8(channel++).u8(0).u16(x.pn).u8(x.sector).u8(x.rssi).zeros(2).i32(x.position);
  return b;
}

// Traffic state, channel 384, FCH RC 3 only active, two antennas unless one_antenna.
Bytes enhanced(std::uint8_t band, const std::vector<Finger>& fingers, std::uint8_t antenna = 2, std::size_t count = 0) {
  Bytes b = Bytes{}.u8(8).u16(384).u8(band).u8(antenna).u8(1).u8(90).u8(96).u8(0x03).u8(0x00).u32(0x11);
  b.i16(100).i16(-2).i16(3).i16(-400).u8(0).u8(static_cast<std::uint32_t>(count ? count : fingers.size()));
  std::uint32_t position = 5000;
  for (const Finger& x : fingers) {
    b.u16(x.pn).u8(x.sector).u16(x.rssi).u16(x.rssi / 2).u16(x.rssi / 3).u32(position).u32(0x1F);
    position += 16;
  }
  return b;
}

class SearcherInfo : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(SearcherInfo, HandBuiltPacketEveryLineAndWrite) {
  const auto& msg = c.run(kInfo, info());
  EXPECT_EQ(
      msg.details,
      "PILOT_TYPE_INFO: 1, BAND_CLASS: 1 (1.8 to 2.0 GHz PCS), PREGAIN: 4, INTEGRATION: 64 per chip, "
      "NON_COHERENT: 2\n"
      "PILOT_OFFSET: 49252 (PN 100), WINDOW_POSITION: 1000 (125.000 chips), WINDOW_SIZE: 40 (5.000 chips), \n"
      "MsRxPwr: -86.25 dBm, MsTxPwr: 15.25 dBm, MsAgcPwr: -15.25 dBm, TX_GAIN_ADJ: 5.00 dB, TX_PWR_LIMIT: 23, "
      "\nSRCH_STATE: Operation on the traffic channel\n"
      "\nForward Radio Configurations: \n-------------------------------------------------------------\n"
      "Forward FCH radio configuration: 2\nForward SCH0 radio configuration: 3\n"
      "Forward SCH1 radio configuration: Not In Use\nForward DCCH radio configuration: Not In Use\n"
      "\nForward Dedicated Channel Set Mask Information: \n"
      "-------------------------------------------------------\n"
      "Num Active Supplemental Code Channels: 2\nForward Fund. Chan(FCH) : active\n"
      "Forward Supp. Chan0(SCH0) : not active\nForward Supp. Chan1(SCH1) : not active\n"
      "Forward Ded. Control Chan(DCCH) : not active\n"
      "  Finger #1 PN: 100, Position (1/8 chip): 8000, Sector: 1, Ec/Io: -1.6 dB, "
      "(likely CellID Unknown on Unknown),\n"
      "  Finger #2 PN: 200, Position (1/8 chip): 4294958296, Sector: 2, Ec/Io: -7.6 dB, "
      "(likely CellID Unknown on Unknown),\n"
      "  Finger #3 PN: N/A, Position (1/8 chip): 10000, Ec/Io: Not locked,\n"
      "  Number of pilots: 2\n"
      "  Active Pilot PN: 100, (also in set(s): Candidate),  NotRefPilot: 0, (likely CellID Unknown on Unknown),\n"
      "  Max Energy: Ec/Io -1.6 dB, Position (1/8 chip) 996, Position Index 2,\n"
      "  Search Window: End Position (1/8 chip) 1000, Size (1/8 chip) 40\n");
  // Finger 3 is unlocked and writes nothing of its own; 1ST to 4TH follow the ranking.
  EXPECT_EQ(c.writes({"Band", "CDMA_SEARCHER", "PN_ECIO_SET_STATUS", "PILOT_", "4TH", "CULL"}),
            "Band_Class UShort[0] 1\nCDMA_SEARCHER_NUM_ENTRIES UShort[0] 4\nPN_ECIO_SET_STATUS Long[100] 6\n"
            "PILOT_PN UShort[0] 100\nPILOT_LOW16BITS UShort[0] 1\nPILOT_EcIo UShort[0] 200\nPILOT_PN UShort[1] 200\n"
            "PILOT_LOW16BITS UShort[1] 2\nPILOT_EcIo UShort[1] 50\nPN_ECIO_SET_STATUS Long[100] 7\n"
            "PN_ECIO_SET_STATUS Long[200] 7\n4TH_PILOT_EcIo NoValue[0]\n4TH_PILOT_PN NoValue[0]\n"
            "CULL_FINGER_SEARCHER_MESSAGE DWord[0] 4171\n");
}

TEST_F(SearcherInfo, Ver2ShowsSignedPositionsAndWritesFingerChannels) {
  c.st.ds.SetUShort(ATTR_ID_PN_INC, 3, 0, kNoBound, 0);  // PN 100 files under 99, PN 200 under 201
  const auto& msg = c.run(kVer2, ver2(-8));
  EXPECT_EQ(
      msg.details,
      "BAND_CLASS: 1 (1.8 to 2.0 GHz PCS), PREGAIN: 4, INTEGRATION: 64 per chip, NON_COHERENT: 2, Transmit "
      "Diversity Power Level: -3 dB, Transmit Diversity Mode: STS\n"
      "PILOT_OFFSET: 49252 (PN 100), WINDOW_POSITION: -8 (-1.000 chips), WINDOW_SIZE: 40 (5.000 chips), \n"
      "MsRxPwr: -86.25 dBm, MsTxPwr: 15.25 dBm, MsAgcPwr: -15.25 dBm, TX_GAIN_ADJ: 5.00 dB, TX_PWR_LIMIT: 14.34 "
      "dBm, \nSRCH_STATE: Operation on the traffic channel\n"
      "  Finger #1 PN: 100, Position: 8000 (1000.000 chips), Sector: 1, Ec/Io: -1.6 dB, "
      "(likely CellID Unknown on Unknown),\n"
      "  Finger #2 PN: 200, Position: -9000 (-1125.000 chips), Sector: 2, Ec/Io: -7.6 dB, "
      "(likely CellID Unknown on Unknown),\n"
      "  Finger #3 PN: N/A, Position: 10000 (1250.000 chips), Ec/Io: Not locked,\n"
      "  Number of pilots: 2\n"
      "  Active Pilot PN: 100, (also in set(s): Candidate),  NotRefPilot: 0, (likely CellID Unknown on Unknown),\n"
      "  Max Energy: Ec/Io -1.6 dB, Position (1/8 chip) 65524, Position Index 2,\n"
      "  Search Window: End Position (1/8 chip) -8, Size (1/8 chip) 40\n");
  EXPECT_EQ(c.writes({"PILOT_EcIo", "CDMA_FINGER", "PN_ECIO_SET_STATUS", "1ST"}),
            "PN_ECIO_SET_STATUS Long[99] 6\nPILOT_EcIo Double[0] -1.589700043\nCDMA_FINGER_CHAN UShort[0] 10\n"
            "PILOT_EcIo Double[1] -7.610299957\nCDMA_FINGER_CHAN UShort[1] 11\nPN_ECIO_SET_STATUS Long[99] 7\n"
            "PN_ECIO_SET_STATUS Long[201] 7\n");
}

// Delays count from the whole window centre, half a window before its end, wherever
// the window lies (the centre's low 16 bits alone would be 8192 chips off).
TEST_F(SearcherInfo, DelaysCountFromTheWholeWindowCentre) {
  for (const auto& [code, b] : {std::pair{kInfo, info(1000)}, std::pair{kInfo, info(102400)},
                                std::pair{kVer2, ver2(-8)}, std::pair{kVer2, ver2(-80000, 0xFF)}}) {
    c.run(code, b);
    EXPECT_EQ(c.writes({"CDMA_SRCHR", "SRCH_MAX1_ACT_DELAY"}),
              "CDMA_SRCHR_DLY_CHIP Double[1] 1.5\nCDMA_SRCHR_DLY_CHIP Double[2] 2\nCDMA_SRCHR_DLY_CHIP Double[3] "
              "2.5\nSRCH_MAX1_ACT_DELAY Double[0] 2\n");
  }
}

TEST_F(SearcherInfo, EnhancedFingerTextAndWrites) {
  const auto& msg = c.run(kEnhanced, enhanced(1, {{100, 1, 4000}, {0xFFFF, 0xFF, 3000}, {300, 3, 0}}));
  EXPECT_EQ(msg.details,
            "Search state: 8\nChannel number: 384\nBand class: 1.8 to 2.0 GHz PCS\nAntenna configuration: DIV\n"
            "Diversity combining algorithm: SPW\nRX0_AGC: -33.25, RX1_AGC: -31.25\n"
            "Forward channels radio configurations:\n - FCH: 3, SCH0: Not In Use, SCH1: Not In Use, DCCH: Not In Use"
            "\nDedicated forward channel set mask\n - FCH: active, SCH0: not active, SCH1: not active, DCCH: not "
            "active\nNum Active Supplemental Code Channels: 1"
            "\nCorrelation coefficients\n - UL_REAL: 100, UR_REAL: -2, UR_IMG: 3, LR_REAL: -400"
            "\nPilot\tSector\tRSSI\tRX0\tRX1\tPosition\t\tStatus\nPN\t\t\tRSSI\tRSSI\t(1/8chip)\tmask"
            "\n100\t1\t4000\t2000\t1333\t5000\t\t0x1F\nn/a\tn/a\t3000\t1500\t1000\t5016\t\t0x1F");
  // PCS: linear = RSSI / 73728 - 1/448. The finger without a pilot still has its Ec/Io,
  // but files no per-PN strength.
  EXPECT_EQ(c.writes(),
            "CULL_FINGER_MESSAGE DWord[0] 4473\nFor_FCH_Is_Active Int[0] 1\nPILOT_PN UShort[0] 100\n"
            "PILOT_LOW16BITS Byte[0] 1\nPILOT_EcIo Double[0] -12.83818554\nPILOT_PN NoValue[0]\n"
            "PILOT_LOW16BITS NoValue[0]\nPILOT_EcIo Double[1] -14.15013742\nPN_ECIO_SET Double[100] -12.83818554\n"
            "PN_ECIO_SET_STATUS Long[100] 7\nCOMB_PILOT_EcIo Double[0] -10.43450807\nNUM_LOCKED_PILOTS Byte[0] 2\n"
            "NUM_UNIQUE_PILOTS Byte[0] 2\nTOP_N Double[0] -12.83818554\nTOP_N_PN_OFFSET UShort[0] 100\n"
            "TOP_N Double[1] -14.15013742\nTOP_N_PN_OFFSET NoValue[0]\n");
  // One antenna, no finger in use; a band class without an RSSI scale gives no Ec/Io.
  const std::string one = c.run(kEnhanced, enhanced(5, {{100, 1, 0}}, 0)).details;
  EXPECT_TRUE(one.ends_with("\nPilot\tSector\tRSSI\tPosition\t\tStatus\nPN\t\t\t(1/8chip)\tmask\nn/a")) << one;
  EXPECT_TRUE(c.run(kEnhanced, enhanced(5, {{100, 1, 4000}}, 0)).details.ends_with("\n100\t1\t4000\t5000\t\t0x1F"));
  EXPECT_EQ(c.writes({"PILOT_EcIo", "PN_ECIO", "TOP_N", "COMB"}), "COMB_PILOT_EcIo NoValue[0]\n");
  c.run(kEnhanced, enhanced(0, {{100, 1, 77}}, 0));  // cellular: 77/73728 - 1/960 is below 1e-5
  EXPECT_EQ(c.writes({"PILOT_EcIo", "PN_ECIO", "TOP_N"}), "");
}

// Per-PN strengths (Ver2, enhanced report) go to the PN rounded to the pilot
// increment read back from the data state; none or 0 leaves it as it is.
TEST_F(SearcherInfo, PnRoundsToTheIncrement) {
  struct Case {
    std::optional<int> increment;
    std::uint16_t pn;
    const char* index;
  };
  const std::vector<Case> cases = {
      {std::nullopt, 101, "[101]"},
      {1, 101, "[101]"},
      {4, 101, "[100]"},
      {4, 102, "[104]"},
      {4, 103, "[104]"},
      {0, 103, "[103]"},
      {4, 510, "[0]"},
  };
  for (const Case& k : cases) {
    DecoderCase e;
    if (k.increment) e.st.ds.SetUShort(ATTR_ID_PN_INC, static_cast<std::uint16_t>(*k.increment), 0, kNoBound, 0);
    e.run(kEnhanced, enhanced(1, {{k.pn, 1, 4000}}));
    EXPECT_EQ(e.writes({"PN_ECIO_SET_STATUS"}), std::string("PN_ECIO_SET_STATUS Long") + k.index + " 7\n") << k.pn;
  }
}

TEST_F(SearcherInfo, MoreThanTenFingersEndsAfterTheHeader) {
  for (const auto& [code, b] : {std::pair{kInfo, info(1000, 11)}, std::pair{kVer2, ver2(1000, 0, 11)}}) {
    const auto& msg = c.run(code, b);
    EXPECT_EQ(msg.details, "");
    EXPECT_EQ(c.writes(),
              "Band_Class UShort[0] 1\nCDMA_MOBILE_RX_POWER Double[0] -86.248\nCDMA_PWR_CTRL_VAL Double[0] 5\n"
              "CDMA_MOBILE_TX_POWER Double[0] 15.248\nCDMA_MOBILE_AGC_POWER Double[0] -15.2516\n");
  }
}

// Counts beyond the packet: only whole entries and fingers are read.
TEST_F(SearcherInfo, CountsLargerThanThePacketReadWhatIsThere) {
  const Bytes many_entries = info(1000, 3, 255);  // the fingers are read as entries 4 to 8
  c.run(kInfo, many_entries);
  EXPECT_EQ(c.writes({"CDMA_SEARCHER_NUM", "PILOT_PN", "CULL"}),
            "CDMA_SEARCHER_NUM_ENTRIES UShort[0] 255\nCULL_FINGER_SEARCHER_MESSAGE DWord[0] 4171\n");
  EXPECT_TRUE(c.msg.details.ends_with("  Search Window: End Position (1/8 chip) 1000, Size (1/8 chip) 40\n"));
  c.run(kInfo, info().prefix(info().size() - 1));  // the last finger cut short
  EXPECT_EQ(c.msg.details.find("Finger #3"), std::string::npos);
  EXPECT_NE(c.msg.details.find("Finger #2"), std::string::npos);
  c.run(kEnhanced, enhanced(1, {{100, 1, 4000}}, 2, 200));
  EXPECT_EQ(c.writes({"NUM_LOCKED"}), "NUM_LOCKED_PILOTS Byte[0] 1\n");
}

TEST_F(SearcherInfo, EveryShorterPacketIsSafe) {
  const std::vector<std::tuple<std::uint32_t, Bytes, std::size_t>> cases = {
      {kInfo, info(), 23},
      {kVer2, ver2(1000), 22},
      {kVer2, ver2(1000, 0xFF), 20},
      {kEnhanced, enhanced(1, {{100, 1, 4000}, {200, 2, 3000}}), 24}};
  for (const auto& [code, full, fixed] : cases) {
    sweep_truncations(code, full, [fixed = fixed](const COrbExpandedMessage& msg, std::size_t n) {
      EXPECT_EQ(msg.details == kNotQualcommStandard, n < fixed) << msg.details;
    });
  }
}

}  // namespace
}  // namespace cdmadiag::test
