// General temporal analyzer (0x1019), with supplemental channels (0x101A), and the
// shared power trailer.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "cdma1x/power_trailer.h"
#include "framework/attributes.h"
#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kTa = 0x1019;
constexpr std::uint32_t kTaSup = 0x101A;
constexpr std::size_t kRecord = 61;

struct Trailer {
  int rx_agc, agc_power, tx_gain_adjust, tx_limit, state;
};

// Pregain x4, 64 chips, two integrations: energies read 10 log10(e) - 33.620 dB, so
// the -15 dB delay threshold is raw 72.8. Active pilot PN 100; window position, centre
// and band class as given; energies 50, 400, 1600, 100; fingers on PN 100, 100, 200,
// 300 (sectors 1, 1, 2, 3) with raw strengths 200, 100, 50, 25 and the last rssi_4.
Bytes record(std::uint32_t position, std::uint16_t centre, std::uint8_t band, std::uint8_t rssi_4 = 25) {
  Bytes b = Bytes{}.u8(1).u8(16).u8(1).u16(0x8000 | 100).u32(position).u16(centre).u8(band);
  b.at(21).u16(50).u16(400).u16(1600).u16(100);
  b.u16(100).u16(100).u16(200).u16(300).u8(1).u8(1).u8(2).u8(3).u8(200).u8(100).u8(50).u8(rssi_4);
  return b.u32(8000).u32(8016).u32(9000).u32(10000);
}
Bytes with_trailer(Bytes b, const Trailer& t) {
  return b.i8(t.rx_agc)
      .u8(static_cast<std::uint32_t>(t.agc_power))
      .i8(t.tx_gain_adjust)
      .i8(t.tx_limit)
      .u8(static_cast<std::uint32_t>(t.state));
}
const Trailer kTraffic{-60, 120, -10, 23, 8};  // RX -20 dB over the band's base, GA +5 dB

class TemporalAnalyzer : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(TemporalAnalyzer, HandBuiltPacketEveryLineAndWrite) {
  EXPECT_EQ(c.run(kTa, with_trailer(record(1000, 980, 1), kTraffic)).details,
            "PREGAIN: 4, INTEGRATION: 64, NON_COHERENT: 2, PILOT_OFFSET: 32868, WINDOW_POSITION: 1000, "
            "WINDOW_CENTRE: 980, BAND_CLASS: 1, \n"
            "  Finger #1 PN: 100, Position (1/8 chip): 8000, Sector: 1, Ec/Io: -1.6 dB, "
            "(likely CellID Unknown on Unknown),\n"
            "  Finger #2 PN: 100, Position (1/8 chip): 8016, Sector: 1, Ec/Io: -4.6 dB, "
            "(likely CellID Unknown on Unknown),\n"
            "  Finger #3 PN: 200, Position (1/8 chip): 9000, Sector: 2, Ec/Io: -7.6 dB, "
            "(likely CellID Unknown on Unknown),\n"
            "  Finger #4 PN: 300, Position (1/8 chip): 10000, Sector: 3, Ec/Io: -10.6 dB, "
            "(likely CellID Unknown on Unknown),\n"
            "\nMsRxPwr: -86.25, MsTxPwr: 15.25, MsAgcPwr: -15.25, TX_GAIN_ADJ: 5.00, TX_PWR_LIMIT: 23, "
            "SRCH_STATE: Operation on the traffic channel\n");
  // Entry 0 (raw 50) is under the threshold; the window ends 20/8 chips past its centre.
  // PN 100's two fingers combine to 10 log10(10^-0.159 + 10^-0.46) = +0.17 dB; the four
  // together exceed 0 dB, which is written as 0. PCS: RX = -60/3 - 66.248, TX = 5 - (RX + 76).
  // The drive pins every write; these are the ones this packet's edges decide.
  EXPECT_EQ(c.writes({"CDMA_SRCHR", "PN_ECIO_SET", "COMB", "CDMA_MOBILE"}),
            "CDMA_SRCHR_DLY_CHIP Double[1] 1.5\nCDMA_SRCHR_DLY_CHIP Double[2] 2\n"
            "CDMA_SRCHR_DLY_CHIP Double[3] 2.5\nPN_ECIO_SET Double[100] -1.578899436\nPN_ECIO_SET_STATUS Long[100] 6\n"
            "PN_ECIO_SET Double[100] 0.1712125472\nPN_ECIO_SET_STATUS Long[100] 7\n"
            "PN_ECIO_SET Double[200] -7.610299957\nPN_ECIO_SET_STATUS Long[200] 7\n"
            "PN_ECIO_SET Double[300] -10.62059991\nPN_ECIO_SET_STATUS Long[300] 7\nCOMB_PILOT_EcIo Double[0] 0\n"
            "CDMA_MOBILE_RX_POWER Double[0] -86.248\nCDMA_MOBILE_TX_POWER Double[0] 15.248\n"
            "CDMA_MOBILE_AGC_POWER Double[0] -15.2516\n");
}

TEST_F(TemporalAnalyzer, WindowBelowItsCentreGivesNegativeDelays) {
  c.run(kTa, record(100, 200, 1));
  EXPECT_EQ(c.writes({"CDMA_SRCHR", "SRCH_MAX1_ACT_DELAY"}),
            "CDMA_SRCHR_DLY_CHIP Double[1] -13.5\nCDMA_SRCHR_DLY_CHIP Double[2] -13\nCDMA_SRCHR_DLY_CHIP Double[3] "
            "-12.5\nSRCH_MAX1_ACT_DELAY Double[0] -13\n");
}

TEST_F(TemporalAnalyzer, ShortPacketsAreCulledWithWhatTheyHold) {
  c.run(kTa, record(1000, 980, 1).prefix(kRecord - 1));
  EXPECT_EQ(c.writes(), "CULL_GENERAL_TA_MESSAGE DWord[0] 4171\n");
  const auto& msg = c.run(kTa, record(1000, 980, 1, 0));
  EXPECT_TRUE(msg.details.ends_with("  Finger #4 PN: N/A, Position (1/8 chip): 3, Ec/Io: Not locked,\n"));
  EXPECT_EQ(c.writes({"CDMA_MOBILE", "CDMA_PWR", "CDMA_Search", "CULL", "4TH", "NUM_LOCKED"}),
            "NUM_LOCKED_PILOTS Byte[0] 3\n4TH_PILOT_EcIo NoValue[0]\n4TH_PILOT_PN NoValue[0]\n"
            "CULL_GENERAL_TA_MESSAGE DWord[0] 4171\n");
  c.read_only = true;  // what is written without asking
  c.run(kTa, with_trailer(record(1000, 980, 1), kTraffic));
  EXPECT_EQ(c.writes({"CDMA_UPDATE_ACTSET", "SRCH_ACT_PN", "PN_ECIO_SET_STATUS", "MAX_SEARCHER", "CDMA_Search", "CULL",
                      "CDMA_MOBILE", "PILOT_PN", "TOP_N"}),
            "CDMA_UPDATE_ACTSETDLY_FLAG Long[0] 1\nSRCH_ACT_PN UShort[0] 100\nPN_ECIO_SET_STATUS Long[100] 6\n"
            "MAX_SEARCHER_ENERGY Double[0] -1.578899436\nPN_ECIO_SET_STATUS Long[100] 7\n"
            "PN_ECIO_SET_STATUS Long[200] 7\nPN_ECIO_SET_STATUS Long[300] 7\nCDMA_Search_State UShort[0] 8\n"
            "CULL_GENERAL_TA_MESSAGE DWord[0] 4171\n");
}

// Receive AGC -128 (-42.67 dB over the base), gain adjust +10 dB: an unlimited TX of
// 42.91 dBm on PCS, 39.91 dBm elsewhere (the +76 dB turnaround), 42.91 on cellular.
TEST_F(TemporalAnalyzer, BandAndPowerClassSetTheOffsetsAndTheTransmitLimit) {
  struct Case {
    std::uint8_t band;
    std::optional<std::int64_t> scm;
    const char* powers;
  };
  const std::vector<Case> cases = {
      {1, std::nullopt, "MsRxPwr: -108.91, MsTxPwr: 31.00,"},  // class 0 limit on PCS
      {1, 0x83 - 256, "MsRxPwr: -108.91, MsTxPwr: 31.00,"},    // a negative mark is class 0
      {1, 0x83, "MsRxPwr: -108.91, MsTxPwr: 19.00,"},          // class 3
      {0, 0x83, "MsRxPwr: -105.91, MsTxPwr: 0.00,"},           // cellular class 3 allows 0.0 dBm
      {0, 1, "MsRxPwr: -105.91, MsTxPwr: 32.04,"},
      {5, 1, "MsRxPwr: -105.91, MsTxPwr: 39.91,"},  // unknown band: never limited
  };
  for (const Case& k : cases) {
    DecoderCase d;
    if (k.scm) d.st.ds.SetLong(ATTR_ID_SCM, static_cast<std::int32_t>(*k.scm), 0, IOrbDataState::kNoBound, 0);
    const std::string text = d.run(kTa, with_trailer(record(1000, 980, k.band), {-128, 0, -20, -1, 10})).details;
    EXPECT_NE(text.find(std::string("\n") + k.powers), std::string::npos) << text;
    EXPECT_TRUE(text.ends_with("TX_PWR_LIMIT: 4294967295, SRCH_STATE: Unknown search state\n")) << text;
  }
}

// Each source of a band order, and the packet's own band class as the last resort.
TEST_F(TemporalAnalyzer, BandDeterminationFallsBackInOrder) {
  using enum BandSource;
  const std::vector<BandSource> ta(kPilotReportBandOrder.begin(), kPilotReportBandOrder.end());
  const std::vector<BandSource> mini = {kRfModeOrMinPair};
  struct Case {
    const char* what;
    std::vector<std::pair<std::uint32_t, std::int64_t>> earlier, current;
    const std::vector<BandSource>& order;
    std::optional<std::int64_t> packet;
    int index;
  };
  const std::uint32_t band = ATTR_ID_Band_Class, rf = ATTR_ID_RF_MODE, min1 = ATTR_ID_MIN1_LS, min2 = ATTR_ID_MIN2_LS;
  const std::vector<Case> cases = {
      {"packet only", {}, {}, ta, 1, 2},
      {"nothing at all", {}, {}, ta, std::nullopt, 3},
      {"this packet's band class", {{band, 1}}, {{band, 0}}, ta, 1, 1},
      {"an earlier band class", {{band, 1}, {rf, 1}}, {}, ta, 0, 2},
      {"RF mode PCS", {{rf, 2}}, {}, ta, 0, 2},
      {"open mode, MINs equal", {{rf, 3}, {min1, 5}, {min2, 5}}, {}, ta, 1, 1},
      {"open mode, MINs differ", {{rf, 0}, {min1, 5}, {min2, 6}}, {}, ta, 0, 2},
      {"open mode, one MIN", {{rf, 0}, {min1, 5}}, {}, ta, 1, 2},
      {"RF mode 5", {{rf, 5}}, {}, ta, 0, 1},
      {"mini: nothing (two missing MINs are equal)", {}, {}, mini, std::nullopt, 1},
      {"mini: one MIN", {{min1, 5}}, {}, mini, std::nullopt, 2},
      {"mini: RF mode 5", {{rf, 5}}, {}, mini, 1, 3},
      {"mini: band class unread", {{band, 1}, {rf, 1}}, {}, mini, std::nullopt, 1},
  };
  for (const Case& k : cases) {
    RecordingState st;
    for (const auto& [attr, v] : k.earlier) st.ds.SetLong(attr, static_cast<std::int32_t>(v), 0, kNoBound, 0);
    st.ds.begin_message(2);
    for (const auto& [attr, v] : k.current) st.ds.SetLong(attr, static_cast<std::int32_t>(v), 0, kNoBound, 0);
    EXPECT_EQ(DetermineBandIndex(&st.ds, k.order, k.packet), k.index) << k.what;
  }
}

TEST_F(TemporalAnalyzer, SupplementalChannelsListAllEightWalshCodes) {
  const Bytes full =
      with_trailer(record(1000, 980, 1), kTraffic).u8(2).u16(1).u16(2).u16(3).u16(4).u16(5).u16(6).u16(7).u16(65535);
  const auto& msg = c.run(kTaSup, full);
  EXPECT_TRUE(msg.details.ends_with(
      "SRCH_STATE: Operation on the traffic channel\n\nNumber of Supplemental Channels currently active: 2 Sup. "
      "Chan. #1, Walsh Code: 1 Sup. Chan. #2, Walsh Code: 2 Sup. Chan. #3, Walsh Code: 3 Sup. Chan. #4, Walsh "
      "Code: 4 Sup. Chan. #5, Walsh Code: 5 Sup. Chan. #6, Walsh Code: 6 Sup. Chan. #7, Walsh Code: 7 Sup. Chan. "
      "#8, Walsh Code: 65535"))
      << msg.details;
  DecoderCase alone;  // the channel list writes nothing
  alone.run(kTa, full);
  EXPECT_EQ(c.writes(), alone.writes());
}

TEST_F(TemporalAnalyzer, EveryShorterPacketIsSafe) {
  const Bytes ta = with_trailer(record(1000, 980, 1), kTraffic);
  const Bytes sup = Bytes(ta).u8(2).zeros(16);
  for (const auto& [code, full] : {std::pair{kTa, ta}, std::pair{kTaSup, sup}}) {
    sweep_truncations(code, full, [&, code = code](const COrbExpandedMessage& msg, std::size_t n) {
      if (n < kRecord) {
        EXPECT_EQ(msg.details, kNotQualcommStandard);
      } else {
        // 0x101A without its count byte (right after the record, or after the trailer) says so.
        const bool count_missing = code == kTaSup && (n == kRecord || n == kRecord + 5);
        EXPECT_EQ(msg.details.ends_with(kNotQualcommStandard), count_missing);
      }
    });
  }
}

}  // namespace
}  // namespace cdmadiag::test
