// Power control and AGC reports: Sparse AGC (0x1016), the AGC mini message (100000),
// fast forward power control (0x102B) and statistics (0x10C2), reverse power control
// (0x102C) and statistics (0x10C3).
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "framework/attributes.h"
#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kSparse = 0x1016, kMini = 100000, kFwd = 0x102B, kRev = 0x102C, kFwdStats = 0x10C2,
                        kRevStats = 0x10C3;
using Held = std::vector<std::pair<std::uint32_t, std::int32_t>>;

// Even samples: RX raw -60, gain adjust raw -10 (+5 dB), TX AGC 120; odd: -30, -4, 90.
Bytes sparse(std::int8_t limit) {
  Bytes b = Bytes{0, 0}.i8(limit);
  for (int i = 0; i < 100; ++i) b.at(3 + i).i8(i % 2 ? -30 : -60).at(103 + i).i8(i % 2 ? -4 : -10);
  for (int i = 0; i < 100; ++i) b.at(203 + i).u8(i % 2 ? 90 : 120);
  return b;
}
// SO 33 (high bits set), FPC mode 2, F_DCCH; record 1: FCH+SCH0, one supplemental code,
// one 5-byte frame with a delta setpoint; record 2: SCH0 alone, 3 bytes, no delta.
Bytes fwd_packet() {
  Bytes b = Bytes{3}.u16(0xF021).u8(2).u8(1).u8(0).u8(2);
  b.u8(0x13).u16(1).u8(5).u16(0xFFFF).u8(56).u8(60).u8(4);
  return b.u8(0x02).u16(1).u8(3).u16(0x0001).u8(44);
}
// PCS, FCH RC 3, 1/2 gating; record 1: FCH+SCH0, two frames (the SCH0 gain of the first
// is out of range, the second frame's TX exceeds the 31 dBm limit); record 2 has no frames.
Bytes rev_packet() {
  Bytes b = Bytes{2, 1, 0x03, 0x00, 1, 1, 2}.u8(0x03).u16(2).u8(9);
  b.u16(0x0000).i8(-60).u8(150).i8(-20).i16(24).i16(8000).u16(0xFFFF).i8(-90).u8(200).i8(-40).i16(0).i16(-8);
  return b.u8(0x01).u16(0).u8(7);
}
// Three frames with FCH and SCH0: FCH full, erased, dim-and-burst half; SCH0 full, erased, full.
Bytes fwd_stats_packet() {
  Bytes b = Bytes{0x50, 0x32}.u16(33).u8(7).u8(0x13).u8(0).u8(3).u8(0x13).u8(3);
  b.u16(0xFFFF).u8(56).u8(0x04).u8(60).u8(0).u16(0).u8(56).u8(0x00).u8(60).u8(2);
  return b.u16(0x0F0F).u8(56).u8(0x13).u8(60).u8(0);
}
// Cellular; frame 1: FCH (dim and burst, full, +3 dB), SCH0 (0 dB), DCCH (gain out of
// range); frame 2 promises two entries and holds one SCH1 entry and a half.
Bytes rev_stats_packet() {
  Bytes b = Bytes{1, 0}.u16(33).u8(7).u8(2).u8(2).u8(0).u16(0x00FF).i8(-60).u8(120).i8(-10).u8(2).u8(230).u8(3);
  b.u8(0x34).u8(4).i16(24).u8(0x31).u8(3).i16(0).u8(0x33).u8(7).i16(-800);
  return b.u16(0).i8(0).u8(0).i8(0).u8(5).u8(0).u8(2).u8(0x42).u8(1).i16(8).u8(0x42).u8(1);
}
const Bytes kFwdPacket = fwd_packet(), kRevPacket = rev_packet(), kFwdStatsPacket = fwd_stats_packet(),
            kRevStatsPacket = rev_stats_packet();

class PowerControl : public ::testing::Test {
 protected:
  void SetUp() override { c.decimals = 3; }
  // Values an earlier packet left in the data state.
  void hold(DecoderCase& d, const Held& held) {
    for (const auto& [id, v] : held) d.st.ds.SetLong(id, v, 0, kNoBound, 0);
  }
  DecoderCase c;
};

// RX -60/3 dB and +5 dB gain adjust over the band's base: cellular, PCS, unknown.
TEST_F(PowerControl, AgcMiniMessageGoesThroughTheDispatcherAndFindsItsBandByRfModeAndMins) {
  const std::vector<std::pair<Held, const char*>> cases = {
      {{}, "RX_POWER Double[0] -83.248\nCDMA_MOBILE_TX_POWER Double[0] 15.248\n"},  // missing MINs are equal
      {{{ATTR_ID_MIN1_LS, 5}}, "RX_POWER Double[0] -86.248\nCDMA_MOBILE_TX_POWER Double[0] 15.248\n"},
      {{{ATTR_ID_RF_MODE, 5}, {ATTR_ID_Band_Class, 1}},
       "RX_POWER Double[0] -83.248\nCDMA_MOBILE_TX_POWER Double[0] 12.248\n"},
  };
  for (const auto& [held, writes] : cases) {
    DecoderCase d;
    hold(d, held);
    const auto& msg = d.run(kMini, Bytes{0xC4, 0xF6, 120});
    EXPECT_EQ(msg.title + msg.details, "");
    EXPECT_EQ(msg.category, 766);
    EXPECT_EQ(d.writes({"CDMA_MOBILE_RX", "CDMA_MOBILE_TX"}), std::string("CDMA_MOBILE_") + writes);
  }
}

TEST_F(PowerControl, SparseAgcAveragesOrRefusesByItsBandOrder) {
  const auto& msg = c.run(kSparse, sparse(-1));
  EXPECT_EQ(msg.title, "Sparse AGC Report; TX_PWR_LIMIT: 4294967295");
  EXPECT_EQ(msg.details,
            "\nRx Power = -78.25 dBm\nADJ = 3.50 dB\nAGC Power = -17.25 dBm\nTX Turnaround Power = 8.75 dBm\n");
  EXPECT_EQ(c.writes(),
            "CDMA_MOBILE_RX_POWER Double[0] -78.248\nCDMA_PWR_CTRL_VAL Double[0] 3.500\n"
            "CDMA_MOBILE_TX_POWER Double[0] 8.748\nCDMA_MOBILE_AGC_POWER Double[0] -17.251\n");
  const std::string pcs = "\nRx Power = -81.25 dBm\n", refused = "Insufficient info to translate parameters\n";
  const std::vector<std::pair<Held, std::string>> cases = {
      {{{ATTR_ID_SCM, 3}}, refused},                           // cellular class 3 allows 0.0 dBm
      {{{ATTR_ID_Band_Class, 1}, {ATTR_ID_RF_MODE, 1}}, pcs},  // the band class comes first
      {{{ATTR_ID_RF_MODE, 0}, {ATTR_ID_MIN1_LS, 5}, {ATTR_ID_MIN2_LS, 6}}, pcs},
      {{{ATTR_ID_RF_MODE, 5}}, refused},
  };
  for (const auto& [held, text] : cases) {
    DecoderCase d;
    hold(d, held);
    EXPECT_TRUE(d.run(kSparse, sparse(23)).details.starts_with(text)) << d.msg.details;
    EXPECT_EQ(d.writes().empty(), text == refused);
  }
  c.flag = true;  // the per-sample lines follow the means
  const std::string& text = c.run(kSparse, sparse(23)).details;
  EXPECT_NE(text.find("TX Turnaround Power = 8.75 dBm\n0:Rx/Tx/Adj = \t-83.25\t\t-12.25\t\t5.00\n1:Rx/Tx/Adj = "
                      "\t-73.25\t\t-22.25\t\t2.00\n2:"),
            std::string::npos);
  EXPECT_TRUE(text.ends_with("\n99:Rx/Tx/Adj = \t-73.25\t\t-22.25\t\t2.00\n"));
}

TEST_F(PowerControl, FastForwardPowerControlRecordsAndSetpoints) {
  const std::string mask =
      "\nForward Dedicated Channel Set Mask Information: \nNum Active Supplemental Code Channels: ";
  const std::string off = "Forward Supp. Chan1(SCH1) : not active\nForward Ded. Control Chan(DCCH) : not active\n";
  const std::string rest = ", FPC_SCH1_CURR_SETPT: not active\nFPC_DCCH_CURR_SETPT: not active";
  const std::string dh = "\nDecision History for Power Control Group :\nEb/Nt < threshold setpoint: ";
  const auto& msg = c.run(kFwd, kFwdPacket);
  EXPECT_EQ(msg.details,
            "Frame Offset: 3, Service Option: 33, Fpc Mode: 2, Primary subchannel indicator: F_DCCH setpoint, \n"
            "Number of subrecords: 2\t\t\t\t--------------- Record 1 ---------------" +
                mask + "1\nForward Fund. Chan(FCH) : active\nForward Supp. Chan0(SCH0) : active\n" + off +
                "\nFrame Count: 1, Length(in bytes) per frame: 5\nSub-record[0]" + dh +
                "0.00 % \nEb/Nt > threshold setpoint: 100.00 %\nFPC_FCH_CURR_SETPT: 7.00, FPC_SCH0_CURR_SETPT: 7.50, "
                "FPC_DELTA_SCH_SETPT: 4" +
                rest + "\t\t\t\t--------------- Record 2 ---------------" + mask +
                "0\nForward Fund. Chan(FCH) : not active\nForward Supp. Chan0(SCH0) : active\n" + off +
                "\nFrame Count: 1, Length(in bytes) per frame: 3\nSub-record[0]" + dh +
                "93.75 % \nEb/Nt > threshold setpoint: 6.25 %\nFPC_FCH_CURR_SETPT: not active, FPC_SCH0_CURR_SETPT: "
                "5.50, FPC_DELTA_SCH_SETPT: N/A" +
                rest);
  EXPECT_EQ(c.writes(),
            "CDMA_ServiceOption Long[0] 33\nFor_FCH_Is_Active Long[0] 1\nSet_Point_FCH Double[0] 7\n"
            "Set_Point_SCH0 Double[0] 7.500\nFor_FCH_Is_Active Long[0] 0\nSet_Point_SCH0 Double[0] 5.500\n");
}

// The drive pins the layout and every write; here the out-of-range gain, the limit and the empty record.
TEST_F(PowerControl, ReversePowerControlMeansLimitsAndSkipsEmptyRecords) {
  const auto& msg = c.run(kRev, kRevPacket);
  EXPECT_NE(msg.details.find("\nR-FCH transmit power: -0.03 dBm, R-SCH0 transmit power: -2.03 dBm, R-SCH1 transmit "
                             "power: N/A, R-DCCH transmit power: N/A\n"),
            std::string::npos);
  EXPECT_TRUE(msg.details.ends_with("\nFrame Count: 0, Length(in bytes) per frame: 7"));
  // The second frame's TX of 40.25 dBm is held to the 31 dBm of PCS class 0.
  EXPECT_EQ(c.writes({"Rev_Tx_Pwr_FCH", "Rev_Tx_Pwr_SCH0", "CDMA_MOBILE_TX"}),
            "Rev_Tx_Pwr_FCH Double[0] -7.016\nRev_Tx_Pwr_SCH0 Double[0] -10.016\nRev_Tx_Pwr_FCH Double[0] 6.951\n"
            "Rev_Tx_Pwr_SCH0 Double[0] 5.951\nCDMA_MOBILE_TX_POWER Double[0] 25.624\n");
}

TEST_F(PowerControl, ForwardStatisticsCountFramesIntoErrorRates) {
  const auto& msg = c.run(kFwdStats, kFwdStatsPacket);
  EXPECT_TRUE(
      msg.details.starts_with("Frame offset: 5, Service option: 33, Fpc Mode: 2, Primary subchannel "
                              "indicator: F_FCH setpoint, \nFPC Subchannel gain: 7\nForward Radio"));
  EXPECT_NE(msg.details.find("\nForward FCH radio configuration: 3\nForward SCH0 radio configuration: 1\n"),
            std::string::npos);
  EXPECT_TRUE(msg.details.ends_with(
      "\nFPC_FCH_CURR_SETPT: 7.00, F-FCH Frame rate: 1/2 rate frame, F-FCH Frame type: Dim and burst frame, "
      "FPC_SCH0_CURR_SETPT: 7.50, SCH0 Frame rate: Full rate frame\nForward FER values: \nForwardFER_FCH: 50.00\n"
      "ForwardFER_SCH0: 33.33\nForwardFER_SCH1: 0.00"))
      << msg.details;
  EXPECT_EQ(c.writes({"For_SCH0", "CDMA_1X_FOR_SCH0_E", "CDMA_1X_FOR_FCH_Payload Long[0]", "ForwardFER"}),
            "For_SCH0_Is_Active Long[0] 1\nCDMA_1X_FOR_SCH0_Erasure Long[0] 1\nForwardFER_FCH Double[0] 50\n"
            "ForwardFER_SCH0 Double[0] 33.333\nForwardFER_SCH1 Double[0] 0\n");
}

TEST_F(PowerControl, ReverseStatisticsTakeOnlyWholeChannelEntries) {
  const auto& msg = c.run(kRevStats, kRevStatsPacket);
  const std::string rc = "\nReverse channel radio configuraiton: ";
  EXPECT_TRUE(msg.details.starts_with(
      "\n\t\t\t\t--------------- Frame Record 1 ---------------\nFrame Offset: 1\n Band Class: 800 MHz cellular band\n "
      "Service Option: 33\n Gated Transmission Rate: No gating\n Step Size: 2\n Frame Cnt: 2\n\nReverse Dedicated "
      "Channel Set Mask Information: \nReverse Fund. Chan(FCH) : active\nReverse Supp. Chan0(SCH0) : active\nReverse "
      "Supp. Chan1(SCH1) : not active\nReverse Ded. Control Chan(DCCH) : active\n" +
      rc + "3, Channel type: FCH, Frame Type: Dim and Burst frame, Frame Rate: Full rate frame" + rc +
      "3, Channel type: SCH0, Frame Rate: SCCH not active (SCCH only)\n" + rc +
      "3, Channel type: DCCH, MUX PDU category: 7\n\nDecision History for Power Control Group - Increase in transmit "
      "power: 50.00 %, Decrease in transmit power: 50.00 %, Upper limit on TX power (dBm): 23.67\nMax Power "
      "Protection in effect : (2) Yes\n Receive power: -83.25,"))
      << msg.details;
  EXPECT_NE(msg.details.find(", R-DCCH transmit power: -18.27 dBm, DCCH Mux PDU category: 7\n"), std::string::npos);
  // Frame 2's second entry is cut: its first entry alone counts, then the text says so.
  EXPECT_TRUE(msg.details.ends_with(
      rc +
      "4, Channel type: SCH1, Frame Rate: Blank(DTX) frame\n\nDecision History for Power Control Group - Increase "
      "in transmit power: 100.00 %, Decrease in transmit power: 0.00 %, Upper limit on TX power (dBm): -52.33\n"
      "Max Power Protection in effect : (5) \n Receive power: -63.25, Transmit power measured from CDMA AGC: "
      "-52.25, Transmit Gain Adjustment: -0.00,\nPICH Power: -55.79,\n Transmit powers for each active channel: "
      "\nR-FCH transmit power: Not applicable, R-SCH0 transmit power: Not applicable, R-SCH1 transmit power: "
      "-54.79 dBm, R-DCCH transmit power: Not applicable" +
      kCorruptedContent))
      << msg.details;
  EXPECT_EQ(
      c.writes({"Rev_Tx", "CDMA_1X_REV_SCH1_Blank", "CDMA_1X_REV_DCCH"}),
      "Rev_Tx_Pwr_FCH Double[0] -15.267\nRev_Tx_Pwr_SCH0 Double[0] -18.267\nRev_Tx_Pwr_DCCH Double[0] -18.267\n"
      "Rev_Tx_Pwr_SCH1 Double[0] -54.789\nCDMA_1X_REV_SCH1_BlankFrame Long[0] 1\nCDMA_1X_REV_DCCH_Rate Long[0] 7\n");
}

// Below its fixed part every report shows the failure text; past it, a packet cut
// inside a record, frame or channel entry says it is corrupted, one cut between whole
// records of the forward report does not.
TEST_F(PowerControl, EveryShorterPacketIsSafe) {
  struct Case {
    std::uint32_t code;
    Bytes full;
    std::size_t fixed;
    std::set<std::size_t> whole;
  };
  const std::vector<Case> cases = {{kMini, Bytes{1, 2, 3}, 3, {}},
                                   {kFwd, kFwdPacket, 7, {7, 16}},
                                   {kRev, kRevPacket, 7, {}},
                                   {kFwdStats, kFwdStatsPacket, 10, {}},
                                   {kRevStats, kRevStatsPacket, 8, {}}};
  for (const Case& k : cases) {
    sweep_truncations(k.code, k.full, [&](const COrbExpandedMessage& msg, std::size_t n) {
      if (n < k.fixed) {
        EXPECT_EQ(msg.details, kNotQualcommStandard);
      } else {
        EXPECT_NE(msg.details.ends_with(kCorruptedContent), k.whole.contains(n)) << msg.details;
      }
    });
  }
  const Bytes full = sparse(-1);
  for (std::size_t n = 0; n < full.size(); ++n) {
    DecoderCase d;
    const auto& msg = d.run(kSparse, full.prefix(n));
    EXPECT_EQ(msg.title, n < 3 ? "Sparse AGC Report" : "Sparse AGC Report; TX_PWR_LIMIT: 4294967295") << n;
    EXPECT_EQ(msg.details, kNotQualcommStandard) << n;
    EXPECT_EQ(d.writes(), "") << n;
  }
}

}  // namespace
}  // namespace cdmadiag::test
