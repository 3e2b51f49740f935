// Temporal analyzer graph response: powers by the band earlier packets wrote, the
// vocoder rate, and the non-Markov frame error rate between responses.
#include <gtest/gtest.h>

#include "framework/attributes.h"
#include "support/decoder_case.h"

using cdmadiag::AttrWriter;
using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

constexpr auto kDecode = &F::DecodeTempAnalyzerGraphResponse;

// Rx AGC -30 (1/3 dB), Tx gain adjust +10 (-0.5 dB), vocoder rate 4, 2 bad of 40 frames.
Bytes graph(std::uint32_t bad = 2, std::uint32_t total = 40) {
  return Bytes{}.u8(static_cast<std::uint8_t>(-30)).u8(10).u8(4).u32(bad).u32(total).u16(0);
}

}  // namespace

TEST(TaGraphResponse, PcsBandFromTheDataState) {
  DecoderCase d;
  AttrWriter(&d.st.ds).Byte(ATTR_ID_Band_Class, 1);
  d.call(kDecode, graph());
  EXPECT_EQ(d.msg.title, "Temporal Analyzer Graph Response");
  // Rx = -30/3 - 66.248; Tx = -5 - (Rx + 76), under the 31 dBm limit of class 0.
  EXPECT_EQ(d.msg.details, "Rx/Tx/Tx_Adj = \t-76.25\t\t-4.75\t\t-5.00\nCurrent Vocoder Tx rate: Rate 1 data\n");
  EXPECT_NEAR(d.of("ATTR_ID_CDMA_MOBILE_RX_POWER").at(0).value, -76.248, 1e-9);
  EXPECT_NEAR(d.of("ATTR_ID_CDMA_MOBILE_TX_POWER").at(0).value, -4.752, 1e-9);
  EXPECT_DOUBLE_EQ(d.of("ATTR_ID_FER_NON_MARKOV").at(0).value, 5.0);
}

TEST(TaGraphResponse, CellularFromTheRfModeAndMinPair) {
  DecoderCase d;
  // RF mode 0 with equal MIN entries counts as cellular (band class 0).
  const AttrWriter seed(&d.st.ds);
  seed.UShort(ATTR_ID_RF_MODE, 0);
  seed.ULong(ATTR_ID_MIN1_LS, 5551234);
  seed.ULong(ATTR_ID_MIN2_LS, 5551234);
  d.call(kDecode, graph());
  EXPECT_NEAR(d.of("ATTR_ID_CDMA_MOBILE_RX_POWER").back().value, -73.248, 1e-9);  // -10 - 63.248
  EXPECT_NEAR(d.of("ATTR_ID_CDMA_MOBILE_TX_POWER").back().value, -4.752, 1e-9);   // -5 - (Rx + 73)
}

// The power class is the mark's low two bits: 0xEA is class 2 (27.78 dBm on the
// cellular band), not a negative class taken as class 0 (36.02 dBm).
TEST(TaGraphResponse, PowerClassIsTheLowBitsOfTheStationClassMark) {
  DecoderCase d;
  const AttrWriter seed(&d.st.ds);
  seed.UShort(ATTR_ID_Band_Class, 0);
  seed.Byte(ATTR_ID_SCM, 0xEA);
  // Rx = -90/3 - 63.248 = -93.248; Tx = 10 - (Rx + 73) = 30.248, above the class 2 limit.
  d.call(kDecode, Bytes{}.u8(static_cast<std::uint8_t>(-90)).u8(static_cast<std::uint8_t>(-20)).u8(4));
  EXPECT_NEAR(d.of("ATTR_ID_CDMA_MOBILE_TX_POWER").back().value, 27.78, 1e-9);
}

TEST(TaGraphResponse, UnknownBandIsNeverLimited) {
  DecoderCase d;
  d.call(kDecode, Bytes{}.u8(static_cast<std::uint8_t>(-128)).u8(0x80).u8(14));
  // Rx = -128/3 - 63.248; Tx = 64 - (Rx + 76) = 93.91, above any class limit, but band 3 has none.
  EXPECT_EQ(d.msg.details, "Rx/Tx/Tx_Adj = \t-105.91\t\t93.91\t\t64.00\nCurrent Vocoder Tx rate: Frame erasuer\n");
  EXPECT_TRUE(d.of("ATTR_ID_FER_NON_MARKOV").empty());
}

TEST(TaGraphResponse, RateCountsOnlyTheFramesSinceThePreviousResponse) {
  DecoderCase d;
  d.call(kDecode, graph(2, 40));
  d.call(kDecode, graph(12, 90));
  EXPECT_DOUBLE_EQ(d.of("ATTR_ID_FER_NON_MARKOV").back().value, 20.0);
  d.call(kDecode, graph(12, 90));
  EXPECT_EQ(d.of("ATTR_ID_FER_NON_MARKOV").back().op, WriteOp::kSetNoValue);
}

// Through the log code, which has no length bounds.
TEST(TaGraphResponse, ShortPayloadsShowWhatTheyHold) {
  cdmadiag::test::sweep_truncations(0xA0A2, graph(), [](const DecoderCase& d, std::size_t n) {
    EXPECT_EQ(d.of("ATTR_ID_CDMA_MOBILE_RX_POWER").size(), n >= 1 ? 1u : 0u);
    EXPECT_EQ(d.of("ATTR_ID_CDMA_MOBILE_TX_POWER").size(), n >= 2 ? 1u : 0u);
    EXPECT_EQ(d.of("ATTR_ID_FER_NON_MARKOV").size(), n >= 11 ? 1u : 0u);
  });
}
