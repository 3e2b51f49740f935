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
  using COrbDecodeMsgCDMAQualcommFrame::DispOnOff;
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
TEST_F(ConversionsTest, ReceiveAgcUsesTheDoubleNearestOneThird) {
  EXPECT_EQ(f.AGC_VAL2dBm(std::int8_t{95}, 0), -31.581333333333333);  // v / 3.0 gives ...33
  EXPECT_EQ(f.AGC_VAL2dBm(std::int8_t{25}, 2), -57.914666666666676);  // v / 3.0 gives ...67
  EXPECT_DOUBLE_EQ(f.AGC_VAL2dBm(std::int8_t{0}, 1), -63.248);
  EXPECT_DOUBLE_EQ(f.AGC_VAL2dBm(std::int8_t{-3}, 2), -67.248);
  EXPECT_NEAR(f.AGC_VAL2dBm(std::int8_t{-128}, 0), -105.914666666667, 1e-9);
  EXPECT_NEAR(f.AGC_VAL2dBm(std::int8_t{127}, 2), -23.914666666667, 1e-9);
  EXPECT_EQ(f.AGC_VAL2dBm(std::int16_t{-32767}), -10985.581333333332);
  EXPECT_DOUBLE_EQ(f.AGC_VAL2dBm(std::int16_t{300}), 36.752);
}

TEST_F(ConversionsTest, TransmitAgcKeepsItsRoundedStep) {
  EXPECT_DOUBLE_EQ(f.AGCTxPwr_dBm(255, 0), 32.7466);  // not 32.75, as 1/12 would give
  EXPECT_DOUBLE_EQ(f.AGCTxPwr_dBm(255, 2), 29.7466);
  EXPECT_DOUBLE_EQ(f.AGCTxPwr_dBm(0, 1), -52.25);
  EXPECT_DOUBLE_EQ(f.AGCTxPwr_dBm(0, 2), -55.25);
}

TEST_F(ConversionsTest, PowerControlAndLimits) {
  EXPECT_DOUBLE_EQ(f.POWER_CTL_VAL2dB(-128), 64.0);
  EXPECT_DOUBLE_EQ(f.POWER_CTL_VAL2dB(127), -63.5);
  EXPECT_DOUBLE_EQ(f.POWER_CTL_VAL2dB(0), 0.0);
  EXPECT_EQ(f.ProcessTX_PWR_LIMIT(-1), 0xFF00);
  EXPECT_EQ(f.ProcessTX_PWR_LIMIT(-128), 0x8000);
  EXPECT_EQ(f.ProcessTX_PWR_LIMIT(1), 0x0100);
  EXPECT_EQ(f.ProcessTX_PWR_LIMIT(0), 0);
}

TEST_F(ConversionsTest, MaxTransmitPowerByClassAndBand) {
  struct Case {
    std::int8_t power_class;
    int band;
    double dbm;
  };
  const Case cases[] = {
      {0, 1, 36.02},    {1, 1, 32.04}, {2, 1, 27.78}, {3, 1, 0.0},   {-5, 1, 36.02},
      {-128, 1, 36.02}, {7, 1, 0.0},   {5, 1, 32.04}, {0, 2, 31.0},  {1, 2, 27.0},
      {2, 2, 23.0},     {3, 2, 19.0},  {-1, 2, 31.0}, {0, 0, 999.0}, {3, 3, 999.0},
  };
  for (const Case& c : cases) {
    EXPECT_DOUBLE_EQ(f.MaxTxPwr_dBm(c.power_class, c.band), c.dbm) << int{c.power_class} << " band " << c.band;
  }
}

TEST_F(ConversionsTest, EstimatedTransmitPowerIsCappedAtTheMaximum) {
  EXPECT_DOUBLE_EQ(f.EstMsTxPwr_dBm(-80.0, 10.0, 1, 23.0), 17.0);
  EXPECT_DOUBLE_EQ(f.EstMsTxPwr_dBm(-80.0, 10.0, 0, 23.0), 14.0);
  EXPECT_DOUBLE_EQ(f.EstMsTxPwr_dBm(-80.0, 10.0, 1, 17.0), 17.0);  // equal: kept
  EXPECT_DOUBLE_EQ(f.EstMsTxPwr_dBm(-80.0, 10.0, 1, 15.0), 15.0);
}

TEST_F(ConversionsTest, AnalogPowerLevels) {
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(0, 0), 36.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(0, 4), 36.0f);  // only the class's low two bits count
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(0, 1), 32.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(0, 2), 28.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(0, 3), 28.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(1, 2), 28.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(1, 3), 32.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(2, 0), 28.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(7, 0), 8.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(8, 0), 0.0f);
  EXPECT_FLOAT_EQ(f.AnaPowLevIdx2dBm(255, 0), 0.0f);
}

TEST_F(ConversionsTest, PilotStrengths) {
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dB(1), -30.61);
  EXPECT_EQ(f.PilotRSSI2dB(0), 0.0);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dB(65535), 17.554733037652497);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dB_IS2000Version(1), -24.6);
  EXPECT_EQ(f.PilotRSSI2dB_IS2000Version(0), 0.0);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dB_IS2000Version(100), -4.6);
}

TEST_F(ConversionsTest, LinearPilotStrengthsHaveAFloor) {
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dBwithGpf(1, 0.0), 1.3563368055555555e-05);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dBwithGpf(7373, 0.05), 7373 / 73728.0 - 0.05);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dBwithGpf(0, 0.0), 1e-05);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dBwithGpf(0, -2e-05), 2e-05);
  EXPECT_DOUBLE_EQ(f.PilotRSSI2dBwithGpf(1000, 1.0), 1e-05);
  EXPECT_DOUBLE_EQ(f.PeakEnergy2EcIo(100, 0.001, 0.05), 0.05);
  EXPECT_DOUBLE_EQ(f.PeakEnergy2EcIo(0, 0.001, 0.0), 1e-05);
  EXPECT_DOUBLE_EQ(f.PeakEnergy2EcIo(2, 1e-05, 0.0), 2e-05);
  EXPECT_DOUBLE_EQ(f.PeakEnergy2EcIo(65535, 1.0, 70000.0), 1e-05);
}

TEST_F(ConversionsTest, EnergyRankingIsDescendingWithTiesInSwapOrder) {
  const std::array<std::uint16_t, 5> energies = {5, 9, 9, 1, 7};
  std::array<int, 5> rank{};
  f.ComputeEnergyRanking(5, energies.data(), rank.data());
  EXPECT_EQ(rank, (std::array<int, 5>{1, 2, 4, 0, 3}));

  std::array<int, 5> untouched = {-1, -1, -1, -1, -1};
  f.ComputeEnergyRanking(0, energies.data(), untouched.data());
  EXPECT_EQ(untouched[0], -1);
}

TEST_F(ConversionsTest, NthBestPilot) {
  const std::array<std::uint8_t, 3> values = {3, 7, 7};
  EXPECT_EQ(f.IndexNthBestPilot(0, values.data()), 1);
  EXPECT_EQ(f.IndexNthBestPilot(1, values.data()), 2);
  EXPECT_EQ(f.IndexNthBestPilot(2, values.data()), 0);
  EXPECT_EQ(f.IndexNthBestPilot(3, values.data()), -1);  // no fourth place to read
  EXPECT_EQ(f.IndexNthBestPilot(-1, values.data()), -1);
}

TEST_F(ConversionsTest, UniquePilotsCountOnlyLivePilots) {
  const std::array<std::uint16_t, 4> strengths = {1, 0, 5, 3};
  const std::array<std::uint16_t, 4> pns = {10, 20, 10, 30};
  EXPECT_EQ(f.NumUniquePilots(strengths.data(), pns.data(), 4), 2);

  // A silent entry does not hide a live one with the same PN.
  const std::array<std::uint16_t, 2> s2 = {0, 4};
  const std::array<std::uint16_t, 2> p2 = {10, 10};
  EXPECT_EQ(f.NumUniquePilots(s2.data(), p2.data(), 2), 1);

  std::array<std::uint16_t, 11> s11{};
  std::array<std::uint16_t, 11> p11{};
  for (std::uint16_t i = 0; i < 11; ++i) {
    s11[i] = 1;
    p11[i] = i;
  }
  EXPECT_EQ(f.NumUniquePilots(s11.data(), p11.data(), 10), 10);
  EXPECT_EQ(f.NumUniquePilots(s11.data(), p11.data(), 11), 0);
  EXPECT_EQ(f.NumUniquePilots(s11.data(), p11.data(), 0), 0);
}

TEST_F(ConversionsTest, BurstErrorCountsARunAtTheLimit) {
  std::uint16_t run = 4, bursts = 2;
  f.DetectBurstError(run, bursts, 5);
  EXPECT_EQ(run, 4);
  EXPECT_EQ(bursts, 2);
  run = 5;
  f.DetectBurstError(run, bursts, 5);
  EXPECT_EQ(run, 0);
  EXPECT_EQ(bursts, 3);
}

TEST_F(ConversionsTest, ImsiDigitsRestoreCodedZeros) {
  struct Case {
    std::uint16_t code;
    int digits;
    std::uint16_t value;
  };
  const Case cases[] = {
      {0, 3, 111}, {209, 3, 310}, {999, 3, 0}, {890, 3, 901}, {444, 3, 555},
      {0, 2, 11},  {99, 2, 0},    {5, 1, 5},   {0, 1, 0},     {10, 1, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(f.GetIMSIDigit(c.code, c.digits), c.value) << c.code << "/" << c.digits;
}

TEST_F(ConversionsTest, ImsiNumberFromAHandBuiltBlock) {
  // S1 "555 1 234": 555 -> 444, thousands digit 1, 234 -> 123, packed 10|4|10 bits.
  // S1 "000 0 000": every digit coded as 10: 999, 10, 999. The top byte of each word
  // is not part of S1 and is set to catch a 32-bit read.
  const std::uint32_t s1_a = (444u << 14) | (1u << 10) | 123u;
  const std::uint32_t s1_b = (999u << 14) | (10u << 10) | 999u;
  const auto block = cdmadiag::test::Bytes()
                         .u24(s1_a)
                         .u8(0xFF)
                         .u24(s1_b)
                         .u8(0xFF)
                         .u16(0xFC00 | 209)  // S2 "310"; bits 10-15 ignored
                         .u16(890);          // S2 "901"
  ASSERT_EQ(block.size(), 12u);
  std::array<std::uint32_t, 2> s1{};
  std::array<std::uint16_t, 2> s2{};
  EXPECT_EQ(f.GetIMSInumber(block.data(), s1.data(), s2.data()), 1);
  EXPECT_EQ(s1[0], 5551234u);
  EXPECT_EQ(s1[1], 0u);
  EXPECT_EQ(s2[0], 310);
  EXPECT_EQ(s2[1], 901);
  EXPECT_EQ(f.GetIMSInumber(nullptr, s1.data(), s2.data()), 0);
  EXPECT_EQ(f.GetIMSInumber(block.data(), nullptr, s2.data()), 0);
}

TEST_F(ConversionsTest, PnAndEcIoTexts) {
  EXPECT_EQ(f.DispPN(0), "0");
  EXPECT_EQ(f.DispPN(511), "511");
  EXPECT_EQ(f.DispPN(512), " - ");
  EXPECT_EQ(f.DispPN(-1), " - ");
  EXPECT_EQ(f.DispEcIo_dB(1e-05), "-.-");
  EXPECT_EQ(f.DispEcIo_dB(0.0), "-.-");
  EXPECT_EQ(f.DispEcIo_dB(0.1), "-10.00");
  EXPECT_EQ(f.DispEcIo_dB(1.0), "0.00");
  EXPECT_EQ(f.DispEcIo_dB(1.0000001e-05), "-50.00");
  // Each call hands back its own copy of the shared work text.
  const std::string first = f.DispPN(7);
  const std::string second = f.DispEcIo_dB(0.5);
  EXPECT_EQ(first, "7");
  EXPECT_EQ(second, "-3.01");
}

TEST_F(ConversionsTest, CodeTextsAtTheirEdges) {
  EXPECT_STREQ(f.DispOnOff(0), "n");
  EXPECT_STREQ(f.DispOnOff(255), "y");
  EXPECT_STREQ(f.DispTDMode(3), "STS");
  EXPECT_STREQ(f.DispTDMode(4), " - ");
  EXPECT_STREQ(f.DispTDPower(0), "-9");
  EXPECT_STREQ(f.DispTDPower(3), "0");
  EXPECT_STREQ(f.DispTDPower(4), "-.-");
  EXPECT_STREQ(f.SCHRate2Text(4), "16x");
  EXPECT_STREQ(f.SCHRate2Text(5), "");
  EXPECT_STREQ(f.SCHRate2Text(-1), "");
  EXPECT_STREQ(f.VocRate2Text(0), "Vocoder rate was blanked");
  EXPECT_STREQ(f.VocRate2Text(14), "Frame erasuer");
  EXPECT_STREQ(f.VocRate2Text(15), "Invalid vocoder data");
  EXPECT_STREQ(f.VocRate2Text(5), "unknown");
  EXPECT_STREQ(f.VocRate2Text(-1), "unknown");
  EXPECT_STREQ(f.GetFCHTransmissionRatesAllowed(0), "no rates allowed");
  EXPECT_STREQ(f.GetFCHTransmissionRatesAllowed(11), "full, 1/2 & 1/8 rates allowed");
  EXPECT_STREQ(f.GetFCHTransmissionRatesAllowed(15), "all rates allowed");
  EXPECT_STREQ(f.GetFCHTransmissionRatesAllowed(16), "unknown");
}

TEST_F(ConversionsTest, ChannelMasksNameOneBitEach) {
  EXPECT_STREQ(f.DispSupportedChannelMask(0x8), "QPCH");
  EXPECT_STREQ(f.DispSupportedChannelMask(0x400), "QPCH");
  EXPECT_STREQ(f.DispSupportedChannelMask(0x3), " - ");
  EXPECT_STREQ(f.DispSupportedChannelMask(0), " - ");
  EXPECT_STREQ(f.DispSupportedChannelMask(0x1), "PCH");
  EXPECT_STREQ(f.DispSupportedChannelMask(0x10000), "CACH");
  EXPECT_STREQ(f.DispSupportedChannelMask(0x20000), " - ");
  EXPECT_STREQ(f.DispEnabledChannelMask(0x2), "PBCCH");
  EXPECT_STREQ(f.DispEnabledChannelMask(0x400), "QPCH");
  EXPECT_STREQ(f.DispEnabledChannelMask(0x400000), "CACH");
  EXPECT_STREQ(f.DispEnabledChannelMask(0x800000), " - ");
  EXPECT_STREQ(f.DispEnabledChannelMask(0xFFFFFFFF), " - ");
}

TEST_F(ConversionsTest, AcquisitionLabels) {
  const char* l1 = nullptr;
  const char* l2 = nullptr;
  const char* l3 = nullptr;
  EXPECT_TRUE(f.GetAcqLabels(1, &l1, &l2, &l3));
  EXPECT_STREQ(l1, "Attempt Type");
  EXPECT_STREQ(l3, "Freq Bin");
  for (std::uint8_t step : {65, 82, 98}) {
    EXPECT_TRUE(f.GetAcqLabels(step, &l1, &l2, &l3));
    EXPECT_STREQ(l1, "Verify RSSI Check");
    EXPECT_STREQ(l2, "High Resolution RSSI");
    EXPECT_STREQ(l3, "n/a");
  }
  EXPECT_TRUE(f.GetAcqLabels(128, &l1, &l2, &l3));
  EXPECT_STREQ(l3, "Num Failures Since Last Success");
  for (std::uint8_t step : {0, 3, 113, 129, 255}) {
    EXPECT_FALSE(f.GetAcqLabels(step, &l1, &l2, &l3)) << int{step};
    EXPECT_STREQ(l1, "Reserved");
    EXPECT_STREQ(l2, "Reserved");
    EXPECT_STREQ(l3, "Reserved");
  }
}

}  // namespace
