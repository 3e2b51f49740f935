#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "framework/decoder_1x.h"
#include "support/bytes.h"

namespace {

// The conversions are protected: a derived frame opens them to the tests.
class Conversions : public COrbDecodeMsgCDMAQualcommFrame {
 public:
  Conversions() : COrbDecodeMsgCDMAQualcommFrame(nullptr) {}
  using COrbDecodeMsgCDMAQualcommFrame::AGC_VAL2dBm;
  using COrbDecodeMsgCDMAQualcommFrame::AGCTxPwr_dBm;
  using COrbDecodeMsgCDMAQualcommFrame::AnaPowLevIdx2dBm;
  using COrbDecodeMsgCDMAQualcommFrame::ComputeEnergyRanking;
  using COrbDecodeMsgCDMAQualcommFrame::DetectBurstError;
  using COrbDecodeMsgCDMAQualcommFrame::DispEcIo_dB;
  using COrbDecodeMsgCDMAQualcommFrame::DispEnabledChannelMask;
  using COrbDecodeMsgCDMAQualcommFrame::DispPN;
  using COrbDecodeMsgCDMAQualcommFrame::DispSupportedChannelMask;
  using COrbDecodeMsgCDMAQualcommFrame::DispTDMode;
  using COrbDecodeMsgCDMAQualcommFrame::DispTDPower;
  using COrbDecodeMsgCDMAQualcommFrame::EstMsTxPwr_dBm;
  using COrbDecodeMsgCDMAQualcommFrame::GetAcqLabels;
  using COrbDecodeMsgCDMAQualcommFrame::GetFCHTransmissionRatesAllowed;
  using COrbDecodeMsgCDMAQualcommFrame::GetIMSIDigit;
  using COrbDecodeMsgCDMAQualcommFrame::GetIMSInumber;
  using COrbDecodeMsgCDMAQualcommFrame::IndexNthBestPilot;
  using COrbDecodeMsgCDMAQualcommFrame::MaxTxPwr_dBm;
  using COrbDecodeMsgCDMAQualcommFrame::NumUniquePilots;
  using COrbDecodeMsgCDMAQualcommFrame::PeakEnergy2EcIo;
  using COrbDecodeMsgCDMAQualcommFrame::PilotRSSI2dB;
  using COrbDecodeMsgCDMAQualcommFrame::PilotRSSI2dB_IS2000Version;
  using COrbDecodeMsgCDMAQualcommFrame::PilotRSSI2dBwithGpf;
  using COrbDecodeMsgCDMAQualcommFrame::POWER_CTL_VAL2dB;
  using COrbDecodeMsgCDMAQualcommFrame::ProcessTX_PWR_LIMIT;
  using COrbDecodeMsgCDMAQualcommFrame::SCHRate2Text;
  using COrbDecodeMsgCDMAQualcommFrame::VocRate2Text;
};

class ConversionsTest : public ::testing::Test {
 protected:
  Conversions f;
};

// Expected values below that are compared exactly were computed independently in
// binary64; they tell the factor 1/3 and the constant 0.08333 from near misses.
TEST_F(ConversionsTest, PowersInDbAndDbm) {
  EXPECT_EQ(f.AGC_VAL2dBm(std::int8_t{95}, 0), -31.581333333333333);  // v / 3.0 gives ...33
  EXPECT_EQ(f.AGC_VAL2dBm(std::int8_t{25}, 2), -57.914666666666676);  // v / 3.0 gives ...67
  EXPECT_DOUBLE_EQ(f.AGC_VAL2dBm(std::int8_t{-3}, 1), -64.248);
  EXPECT_EQ(f.AGC_VAL2dBm(std::int16_t{-32767}), -10985.581333333332);
  EXPECT_DOUBLE_EQ(f.AGCTxPwr_dBm(255, 0), 32.7466);  // not 32.75, as 1/12 would give
  EXPECT_DOUBLE_EQ(f.AGCTxPwr_dBm(0, 2), -55.25);
  EXPECT_DOUBLE_EQ(f.POWER_CTL_VAL2dB(-128), 64.0);
  EXPECT_DOUBLE_EQ(f.POWER_CTL_VAL2dB(127), -63.5);
  EXPECT_EQ(f.ProcessTX_PWR_LIMIT(-1), 0xFF00);
  EXPECT_DOUBLE_EQ(f.EstMsTxPwr_dBm(-80.0, 10.0, 0, 23.0), 14.0);
  EXPECT_DOUBLE_EQ(f.EstMsTxPwr_dBm(-80.0, 10.0, 1, 15.0), 15.0);  // capped at the maximum
}

TEST_F(ConversionsTest, MaxAndAnalogPowerByStationClass) {
  // Negative classes count as 0 and only the low two bits of a class count.
  EXPECT_DOUBLE_EQ(f.MaxTxPwr_dBm(-128, 1), 36.02);
  EXPECT_DOUBLE_EQ(f.MaxTxPwr_dBm(5, 1), 32.04);
  EXPECT_DOUBLE_EQ(f.MaxTxPwr_dBm(3, 3), 999.0);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(0, 4), 36.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(0, 3), 28.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(1, 2), 28.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(1, 3), 32.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(8, 0), 0.0f);
}

TEST_F(ConversionsTest, PilotStrengthsAndTheirFloor) {
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dB(1), -30.61);
  EXPECT_EQ(f.PilotRSSI2dB(0), 0.0);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dB_IS2000Version(100), -4.6);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dBwithGpf(7373, 0.05), 7373 / 73728.0 - 0.05);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dBwithGpf(1000, 1.0), 1e-05);
  EXPECT_DOUBLE_EQ(f.PeakEnergy2EcIo(100, 0.001, 0.05), 0.05);
  EXPECT_DOUBLE_EQ(f.PeakEnergy2EcIo(0, 0.001, 0.0), 1e-05);
}

TEST_F(ConversionsTest, PilotOrderingAndCounting) {
  const std::array<std::uint16_t, 5> energies = {5, 9, 9, 1, 7};
  std::array<int, 5> rank = {-1, -1, -1, -1, -1};
  f.ComputeEnergyRanking(0, energies.data(), rank.data());
  EXPECT_EQ(rank[0], -1);
  f.ComputeEnergyRanking(5, energies.data(), rank.data());
  EXPECT_EQ(rank, (std::array<int, 5>{1, 2, 4, 0, 3}));  // ties in swap order

  const std::array<std::uint8_t, 3> values = {3, 7, 7};
  EXPECT_EQ(f.IndexNthBestPilot(0, values.data()), 1);
  EXPECT_EQ(f.IndexNthBestPilot(2, values.data()), 0);
  EXPECT_EQ(f.IndexNthBestPilot(3, values.data()), -1);  // no fourth place to read
  EXPECT_EQ(f.IndexNthBestPilot(-1, values.data()), -1);

  // A silent entry neither counts nor hides a live one with the same PN.
  const std::array<std::uint16_t, 11> strengths = {0, 1, 5, 3, 1, 1, 1, 1, 1, 1, 1};
  const std::array<std::uint16_t, 11> pns = {10, 10, 10, 30, 4, 5, 6, 7, 8, 9, 11};
  EXPECT_EQ(f.NumUniquePilots(strengths.data(), pns.data(), 4), 2);
  EXPECT_EQ(f.NumUniquePilots(strengths.data(), pns.data(), 10), 8);
  EXPECT_EQ(f.NumUniquePilots(strengths.data(), pns.data(), 11), 0);  // more than a report holds

  std::uint16_t run = 4, bursts = 2;
  f.DetectBurstError(run, bursts, 5);
  EXPECT_EQ(run * 10 + bursts, 42);
  run = 5;
  f.DetectBurstError(run, bursts, 5);
  EXPECT_EQ(run * 10 + bursts, 3);
}

TEST_F(ConversionsTest, ImsiDigitsRestoreCodedZeros) {
  const std::array<std::array<int, 3>, 8> cases = {
      {{0, 3, 111}, {209, 3, 310}, {999, 3, 0}, {890, 3, 901}, {0, 2, 11}, {99, 2, 0}, {5, 1, 5}, {10, 1, 0}}};
  for (const auto& [code, digits, value] : cases) {
    EXPECT_EQ(f.GetIMSIDigit(static_cast<std::uint16_t>(code), digits), value) << code << "/" << digits;
  }
  // S1 "555 1 234": 555 -> 444, thousands digit 1, 234 -> 123, packed 10|4|10 bits.
  // S1 "000 0 000": every digit coded as 10: 999, 10, 999. The top byte of each word
  // is not part of S1 and is set to catch a 32-bit read.
  const auto block = cdmadiag::test::Bytes()
                         .u24((444u << 14) | (1u << 10) | 123u)
                         .u8(0xFF)
                         .u24((999u << 14) | (10u << 10) | 999u)
                         .u8(0xFF)
                         .u16(0xFC00 | 209)  // S2 "310"; bits 10-15 ignored
                         .u16(890);          // S2 "901"
  std::array<std::uint32_t, 2> s1{};
  std::array<std::uint16_t, 2> s2{};
  EXPECT_EQ(f.GetIMSInumber(block.data(), s1.data(), s2.data()), 1);
  EXPECT_EQ(s1, (std::array<std::uint32_t, 2>{5551234u, 0u}));
  EXPECT_EQ(s2, (std::array<std::uint16_t, 2>{310, 901}));
  EXPECT_EQ(f.GetIMSInumber(nullptr, s1.data(), s2.data()), 0);
  EXPECT_EQ(f.GetIMSInumber(block.data(), nullptr, s2.data()), 0);
}

TEST_F(ConversionsTest, PnAndEcIoTexts) {
  EXPECT_EQ(f.DispPN(511), "511");
  EXPECT_EQ(f.DispPN(512), " - ");
  EXPECT_EQ(f.DispPN(-1), " - ");
  EXPECT_EQ(f.DispEcIo_dB(1e-05), "-.-");
  EXPECT_EQ(f.DispEcIo_dB(1.0000001e-05), "-50.00");
  // Each call hands back its own copy of the shared work text.
  const std::string first = f.DispPN(7);
  const std::string second = f.DispEcIo_dB(0.5);
  EXPECT_EQ(first, "7");
  EXPECT_EQ(second, "-3.01");
}

TEST_F(ConversionsTest, CodeTextsFallBackAtTheirEdges) {
  EXPECT_STREQ(f.DispTDMode(4), " - ");
  EXPECT_STREQ(f.DispTDPower(4), "-.-");
  EXPECT_STREQ(f.SCHRate2Text(5), "");
  EXPECT_STREQ(f.VocRate2Text(14), "Frame erasuer");
  EXPECT_STREQ(f.VocRate2Text(-1), "unknown");
  EXPECT_STREQ(f.GetFCHTransmissionRatesAllowed(16), "unknown");
  EXPECT_STREQ(f.DispSupportedChannelMask(0x400), "QPCH");  // the quick paging channel has two bits
  EXPECT_STREQ(f.DispSupportedChannelMask(0x3), " - ");     // one bit each, not a mask
  EXPECT_STREQ(f.DispEnabledChannelMask(0x800000), " - ");
  const char* l[3] = {};
  for (const std::uint8_t step : {65, 82, 98}) {
    EXPECT_TRUE(f.GetAcqLabels(step, &l[0], &l[1], &l[2]));
    EXPECT_STREQ(l[2], "n/a");
  }
  EXPECT_FALSE(f.GetAcqLabels(129, &l[0], &l[1], &l[2]));
  EXPECT_STREQ(l[0], "Reserved");
  EXPECT_STREQ(l[2], "Reserved");
}

}  // namespace
