// Rev A reverse link MAC (0x127D-0x1289).
#include <gtest/gtest.h>

#include <string>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

// RL gains record: subframe, flags, eight u16 gains, five s16 powers.
Bytes& gains_record(Bytes& b, unsigned subframe, unsigned flags, std::initializer_list<unsigned> gains,
                    std::initializer_list<int> powers) {
  b.u8(subframe).u16(flags);
  for (unsigned g : gains) b.u16(g);
  for (int p : powers) b.i16(p);
  return b;
}

// Record 0: throttle, min power, RPC Down, PA on, LoLat, subpacket 2, 1536 bits.
// Record 1: RPC 3, HiCap, packet size 13, pilot gain HS1 0, aux gain 7.
Bytes rl_gains() {
  Bytes b{1, 2};
  gains_record(b, 3, 0x16E6, {100, 200, 100, 50, 100, 1000, 100, 0}, {-5120, 896, -2624, 384, 10});
  return gains_record(b, 4, 0x030D, {10, 0, 0, 9, 9, 9, 9, 7}, {-5632, 1152, -3008, 128, -4});
}

const char* const kGainsRecord0 =
    "**Sub frame No** 3\nTxThrottle : true\nTxMaxPower : false\tTxMinPower : true\nRPC : Down\tPA Enabled : true\n"
    "Transmission Mode : LoLat\tPacket Size 1536 bits\nSubpacket Number : 2\nPilot Gain HalfSlot0 : 100\n"
    "Ack Gain HalfSlot0 : 200\nPilot Gain HalfSlot1 : 100\nRRI Gain HalfSlot1 : 50\nDSC Gain Halfslot1 : 100\n"
    "DRC Gain Halfslot1 : 1000\nData Gain HalfSlot1 : 100\nAux Gain HalfSlot1 : 0\nTx OpenLoop(dB) : -20\n"
    "Tx Total(dB) : 3.5\nTx Pilot(dB) : -10.25\nTx Adjust(dB) : 1.5\nPaHeadroom (dB) : 2.5\n"
    "Ack/Pilot DRC/Pilot RRI/Pilot DSC/Pilot Data/Pilot Aux/Data\n6.02\t20.00\t-6.02\t0.00\t3.01\tn/a\n";

TEST(RevAReverseMac, RlGainsTextRatiosAndAverages) {
  DecoderCase c;
  c.decimals = 2;
  c.run(0x127D, rl_gains());
  const std::string& d = c.msg.details;
  EXPECT_TRUE(d.starts_with("Version : 1\nNo of Frames : 2\n**Sub"));
  EXPECT_EQ(d.find(kGainsRecord0), 29u);
  // Record 1: RPC 3, size 13, a zero pilot gain: every ratio absent.
  EXPECT_NE(d.find("RPC : n/a\tPA Enabled : false\nTransmission Mode : HiCap\tPacket Size n/a\nSubpacket Number : 0\n"),
            std::string::npos);
  EXPECT_NE(d.find("Aux/Data\nn/a\tn/a\tn/a\tn/a\tn/a\tn/a\nAvg Tx OpenLoop(dB) : -21.00\nTx Total(dB)  : 4.00\n"
                   "Tx Pilot(dB)  : -11.00\nTx Adjust(dB) : 1.00\n"),
            std::string::npos);
  EXPECT_EQ(c.writes({"RLGains_Ack2", "RLGains_DRC2", "RLGains_RRI2", "RLGains_DSC2", "RLGains_Aux2",
                      "RLGains_TransmissionMode", "RLGains_TxOpenLoopAvg", "RL_Version"}),
            "RL_Version Byte[0] 1\nRLGains_TransmissionMode Byte[0] 1\nRLGains_Ack2Pilot Double[0] 6.02\n"
            "RLGains_DRC2Pilot Double[0] 20\nRLGains_RRI2Pilot Double[0] -6.02\nRLGains_DSC2Pilot Double[0] 0\n"
            "RLGains_TransmissionMode Byte[1] 0\nRLGains_TxOpenLoopAvg Double[0] -21\n");
}

// The data gain as received steps up with the packet size (more code channels): one
// record at each side of every step, data gain = pilot gain = 100, auxiliary pilot
// gain 200, PA headroom -6 quarter dB (signed).
TEST(RevAReverseMac, RlGainsDataGainStepsWithPacketSize) {
  const struct {
    unsigned size;
    const char* data_to_pilot;  // dB
    const char* aux_to_data;
  } steps[] = {{5, "0", "6.02"},      {6, "3.01", "3.01"},   {9, "3.01", "3.01"},
               {10, "7.78", "-1.76"}, {11, "7.78", "-1.76"}, {12, "5.46", "0.56"}};
  Bytes b{1, static_cast<std::uint8_t>(std::size(steps))};
  for (const auto& s : steps) gains_record(b, 0, s.size, {100, 100, 100, 100, 100, 100, 100, 200}, {0, 0, 0, 0, -6});
  DecoderCase c;
  c.decimals = 2;
  c.run(0x127D, b);
  std::string expected;
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    expected += formatf("RLGains_Data2Pilot Double[%zu] %s\nRLGains_Aux2Data Double[%zu] %s\n", i,
                        steps[i].data_to_pilot, i, steps[i].aux_to_data);
  }
  EXPECT_EQ(c.writes({"RLGains_Data2", "RLGains_Aux2"}), expected);
  EXPECT_EQ(c.of("ATTR_ID_RLGains_PaHeadroom").at(0).value, -1.5);
}

TEST(RevAReverseMac, RlGainsCountLimitsAndEmptyPacket) {
  DecoderCase c;
  Bytes nine = rl_gains();
  nine.at(1).u8(9);
  c.run(0x127D, nine);
  EXPECT_EQ(c.failures, std::vector<std::string>{"1xEV-DO RevARLGains : No of subframes should not exceed 8."});
  EXPECT_EQ(c.writes(), "");

  Bytes empty{1, 0};
  empty.zeros(29);
  c.run(0x127D, empty);
  EXPECT_EQ(c.msg.details,
            "Version : 1\nNo of Frames : 0\nAvg Tx OpenLoop(dB) : 0.00\nTx Total(dB)  : 0.00\n"
            "Tx Pilot(dB)  : 0.00\nTx Adjust(dB) : 0.00\n");
  EXPECT_EQ(c.writes(), "RL_Version Byte[0] 1\nRLGains_NumFrames Byte[0] 0\n");
}

// ARQ status: three records covering the label tables' ends.
Bytes arq_status() {
  Bytes b{2, 3};
  b.u8(1).u8(7).u8(0x40 | 0x20 | 2).u16(0x0200 | 0x0100 | 0x80 | 0x10 | 12);  // Ack, Nak, Accptd, aux, il 2
  b.u8(2).u8(8).u8(0x80 | 4).u16(0x0100 | 0);                                 // Nak, Ack, SW err, size 0
  return b.u8(3).u8(9).u8(0xC0 | 5).u16(0x40 | 0x30 | 1);                     // n/a, n/a
}

TEST(RevAReverseMac, ArqStatusRowsAndLabels) {
  DecoderCase c;
  c.run(0x1285, arq_status());
  EXPECT_EQ(
      c.msg.details,
      "Frm\tPkt\tH-\tP-\tPkt\tAuxPi\tInter-\tSPn\tTx\tPkt\nNo.\tId\tARQ\tARQ\tStatus\tEnbld\tlace\t \tMode\tSize\n"
      "1\t7\tAck\tNak\tAccptd\tYes\t2\t1\tLoLat\t12288 bits\n"
      "2\t8\tNak\tAck\tSW err\tNo\t0\tn/a\tn/a\t0 bits\n"
      "3\t9\tn/a\tAck\tn/a\tNo\t1\t3\tHiCap\t128 bits\n");
  EXPECT_EQ(c.writes({"RLGains_TransmissionMode", "RLGains_SubpacketNumber"}),
            "RLGains_TransmissionMode Byte[0] 1\nRLGains_SubpacketNumber Byte[0] 1\nRLGains_SubpacketNumber Byte[1] 0\n"
            "RLGains_TransmissionMode Byte[2] 0\nRLGains_SubpacketNumber Byte[2] 3\n");
}

// Packet status: 10 packets claimed, 8 records present.
Bytes pkt_status() {
  Bytes b{1, 10};
  b.u8(5).u16(300).u16(0x0400 | 0x0200 | 0x0100 | 0x80 | 0x30 | 1).u8(4).u8(8).u8(0).u8(1).i8(-4).i8(2).i8(0).i8(-1);
  b.u8(6).u16(0).u16(0).zeros(8);                                   // size index 0
  for (int i = 2; i < 8; ++i) b.u8(i + 5).u16(0).u16(15).zeros(8);  // size index 15: past the list
  return b;
}

TEST(RevAReverseMac, PacketStatusShowsEightOfTen) {
  DecoderCase c;
  c.title_wanted = false;
  c.run(0x1286, pkt_status());
  const std::string& d = c.msg.details;
  EXPECT_TRUE(d.starts_with("Version: 1, Number of RL packets: 10\nPkt\t"));
  EXPECT_NE(d.find("\n5\t300\t128\t4\t2\tLoLat\ttrue\ttrue\t1.00\t2.00\t0.00\t0.25\t-1.00\t0.50\t0.00\t-0.25\n"
                   "6\t0\t128\t1\t0\tHiCap\tfalse\tfalse\t"),
            std::string::npos);
  EXPECT_NE(d.find("\n12\t0\t0\t1\t0\tHiCap"), std::string::npos);
  EXPECT_EQ(std::ranges::count(d, '\n'), 4 + 8);
  EXPECT_EQ(c.writes(), "");
}

Bytes pcp_stats() {
  Bytes b{3, 17, 1, 0, 1};
  b.u16(1500).u8(2);
  b.u8(1).u8(4).u8(2).u8(0).u16(600).u8(3).zeros(60);
  return b.u8(0).u8(5).u8(1).u8(1).u16(70).u8(1);
}

TEST(RevAReverseMac, PcpStatsQueues) {
  DecoderCase c;
  c.run(0x1289, pcp_stats());
  EXPECT_EQ(c.msg.details,
            "Version : 3\nLog record number : 17\nPrevious packet canceled : true\nPacket overflowed false\n"
            "Format a packet : true\nMax packet size : 1500\nQ    MAC    Stream Substream Pending Num\n"
            "Type FlowID ID     ID\t      Size    Pkts\n1\t4\t2\t0\t600\t3\n0\t5\t1\t1\t70\t1\n");
  EXPECT_EQ(c.writes({"RLT2P", "RevAPCPPktStats_Pending"}),
            "RLT2P_MacFlowID Byte[0] 4\nRevAPCPPktStats_PendingSize UShort[0] 600\n"
            "RLT2P_MacFlowID Byte[1] 5\nRevAPCPPktStats_PendingSize UShort[1] 70\n");
}

// T2P resource: T2P 0 (shown 0.00), one flow with QRAB -1.
Bytes t2p_resource() {
  Bytes b{1};
  b.u32(0).u8(9).u8(4).u8(3).u16(480).u8(1).u32(1u << 19).i16(-16384).u8(1);
  return b.u16(256).u32(10240).u32(2048).i8(-1).u8(2).i32(-5).u32(1024).u8(8).u32(102400).u32(3072);
}

TEST(RevAReverseMac, T2pResourceFlow) {
  DecoderCase c;
  c.run(0x127F, t2p_resource());
  EXPECT_EQ(c.msg.details,
            "Version : 1\nT2P(dB) : 0.00\nPacket id : 9\nSubframe count : 4\nPacket size : 512 bits\n"
            "Sum payload(bytes) : 480\nNormal HDR : true\nPilot Strength(dB)  0.50\n, FRAB : -16384 (-0.50)\n"
            "Number of flows : 1\n**Flow#** : 1\nFlow allotment(bytes) : 256\nT2P outflow(dB) : 10.00\n"
            "Bucket level : 2.00\nQRAB : -1\nMAC flow id : 2\nT2P inflow delta : -5\nT2P inflow(dB) : 0.00\n"
            "T2P hold time: 8\nBucket saturation level(dB) : 20.00\nBucket factor(KB) : 3.00\n");
  EXPECT_EQ(c.writes({"RLT2P_TxT2P", "RLT2P_QRAB"}), "RLT2P_TxT2P Double[0] 0\nRLT2P_QRAB Int[0] -1\n");
}

// Packet information, version 1: the longer header only when the length matches it.
Bytes packet_info(unsigned version, bool long_header) {
  Bytes b{static_cast<std::uint8_t>(version), 2};
  b.u16(0x0801 | 0x0004);
  if (long_header) b.u16(0);
  b.u8(0x10 | 7).u16(41).u16(64).u8(1);
  return b.u32(3000).u32(512).u32(700).u16(640).u16(600).u8(3).u8(1).u8(0).u16(0);
}

TEST(RevAReverseMac, PacketInfoHeaderLengthAndFlows) {
  DecoderCase c;
  for (const bool long_header : {false, true}) {
    c.run(0x1280, packet_info(1, long_header));
    EXPECT_EQ(c.msg.details,
              "Version : 1\nSub frame count : 2\nCandidate PS Set : [ 128 512 12288 ]\nTx Mode : LOLAT\n"
              "Packet Size : 2048 bits\nMaximum Tx T2P : 10.00 dB\nSmallest unit of data allotted to a flow : 64\n"
              "Number of Flows : 1\nInit\tPoT2P\tQ\tSugg\tActl\tMAC\tNon-empty\tEligible\n"
              "Queue\tOut-\tOut-\tFlow\tFlow\tFlow\tFlow\t\tFlow\nSize\tflow\tflow\tAlloc\tAlloc\tID\tSet\t\tSet\n"
              "3000\t0.50\t700\t640\t600\t3\t1\t\t0\n");
  }
  // 11 bytes of version 1 have no byte 11 to test the longer header with.
  Bytes eleven{1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0};
  c.run(0x1280, eleven);
  EXPECT_EQ(c.failures, std::vector<std::string>{});
  EXPECT_NE(c.msg.details.find("Number of Flows : 0\n"), std::string::npos);
}

Bytes rl_metrics(std::uint32_t seq, std::uint32_t sent, std::uint32_t naks) {
  Bytes b{0};
  b.u32(seq);
  b.at(5).u32(sent / 2).at(5 + 4 * 4).u32(naks).u32(sent);             // interlace 0, HiCap 128 bits: SP0 ACKs
  b.at(5 + ((12 + 2) * 6 + 1) * 4).u32(sent / 2).at(1745 - 4).u32(7);  // LoLat 512 bits SP1 ACKs; last unexpected
  return b;
}

TEST(RevAReverseMac, RlMetricsInstantaneousFiguresNeedTheEarlierPacket) {
  DecoderCase c;
  c.run(0x127E, rl_metrics(10, 100, 10));
  std::string d = c.msg.details;
  EXPECT_NE(d.find("PER Cumulative : 10.0000\nPER Instantaneous : n/a\n"), std::string::npos);
  // 50 x 128 + 50 x 512 bits over (50 x 1 + 50 x 2 + 4 x 10) x 6.667 ms.
  EXPECT_NE(d.find("Average RL Transmitted Throughput(kbps) : 25.26\nAverage RL Overall Throughput(kbps) : 3.20\n"
                   "RL Instantaneous Throughput(kbps) :  n/a\n"),
            std::string::npos);
  EXPECT_NE(d.find("\nHiCap:\tAcks SP0: 50, Acks SP1: 0, Acks SP2: 0, Acks SP3: 0, P-ARQ Nacks: 10, Total Pkts: 100"
                   "\nLoLat:\tAcks SP0: 0, Acks SP1: 50,"),
            std::string::npos);
  EXPECT_NE(d.find("HiCap\t128\t50\t0\t0\t0\t10\t100\n"), std::string::npos);
  EXPECT_NE(d.find("Unexpected PARQ naks : 7\n"), std::string::npos);
  c.run(0x127E, rl_metrics(20, 200, 30));
  d = c.msg.details;
  EXPECT_NE(d.find("PER Instantaneous : 20.0000\n"), std::string::npos);
  EXPECT_NE(d.find("RL Instantaneous Throughput(kbps) :  3.20\n"), std::string::npos);
  EXPECT_EQ(c.writes({"RLMetrics_HiCap_SumPkts", "RLMetrics_HiCap_TotalPkts"}),
            "RLMetrics_HiCap_SumPkts Double[0] 300\nRLMetrics_HiCap_TotalPkts Double[0] 200\n");
}

// RAB update: one subframe record.
Bytes rab_update() {
  Bytes b{0, 1};
  b.u8(2).u8(1).i16(16384).u8(1).u8(0);
  for (int a = 0; a < 6; ++a) b.u8(2 * a).i8(-64).u8(a % 2).u8(1);
  return b;
}

TEST(RevAReverseMac, RabUpdateRecord) {
  DecoderCase c;
  c.run(0x1281, rab_update());
  EXPECT_EQ(c.msg.details,
            "Version : 0\nSub frame count : 1\n**Sub frame # ** : 2\nServ ASP : 1\n"
            "Pilot Strengths Per ASP : 0\t-1\t-2\t-3\t-4\t-5\nFrab : 0.5\n"
            "Frab Per ASP : -0.5\t-0.5\t-0.5\t-0.5\t-0.5\t-0.5\nQRAB Per ASP(0=Unloaded,1=Loaded) : 0\t1\t0\t1\t0\t1\n"
            "DRC Lock Per ASP(0=Out of lock,1=In lock) : 1\t1\t1\t1\t1\t1\nQRAB based on Pilot Strength : 1\n"
            "H QRAB : Unloaded\n");
  EXPECT_TRUE(c.writes({"RAB_PilotStrength_SF1"})
                  .starts_with("RAB_PilotStrength_SF1 Double[0] 0\nRAB_PilotStrength_SF1 Double[1] -1\n"));
}

// DRC/ARQ/DSC buffer: roll 1 slot 0 ACKed at DRC 9, slot 1 NACKed at DRC 9; roll 2 slot 0 at DRC 3.
Bytes drc_buffer() {
  Bytes b{1, 5};
  b.u8(0x02 | 0x04 | 0x40).u8(9).u8(2).u8(1).u8(0x21);
  b.u8(0x02 | 0x08 | 0x10 | 0x80).u8(9).u8(0).u8(0).u8(0);
  b.at(2 + 80).u8(16).u8(1).u8(1).at(2 + 93).u8(12);
  b.at(2 + 94).u8(0x01).u8(3);
  return b.at(2 + 2 * 94 - 1).u8(0);
}

TEST(RevAReverseMac, DrcArqDscBufferRowsAndRates) {
  DecoderCase c;
  c.run(0x1282, drc_buffer());
  const std::string& d = c.msg.details;
  EXPECT_TRUE(d.starts_with(
      "Version : 1\nPNRoll : 5\nSlot\tForced\tACK\tACK\tDRC\tMUPAck DSC\tDRC\nNo\tACK\tEna\tNACK\tValue\tNack\t"
      "Value\tCover\n0\tno\tyes\tack\t9\tn/a\t2\t1\n1\tno\tyes\tnack\t9\tack\t0\t0\n2\tno"));
  EXPECT_NE(d.find("Slot count : 16\nASPIndex\tDRCLock\tValid\n0\t1\tyes\n1\t0\tno\n"), std::string::npos);
  EXPECT_NE(d.find("DRC lock update slot : 12\nSlot\tRL_ASP\tFL_ASP\n0\t    1\t\t    2\n"), std::string::npos);
  EXPECT_NE(d.find("Channel slots :\nSlot\tDRC\tDSC\n0\tyes\tno\n1\tno\tyes\n"), std::string::npos);
  const std::string w = c.writes({"EVDO_AT", "EVDO_ACK", "EVDO_NACK", "EVDO_DRC"});
  EXPECT_TRUE(
      w.starts_with("EVDO_AT_SlotUsage Double[0] 6.25\nEVDO_ACK_RATE Double[0] 50\nEVDO_NACK_RATE Double[0] 50\n"
                    "EVDO_DRC Long[0] 0\nEVDO_DRC_Distribution ULong[0] 29\n"));
  EXPECT_NE(w.find("EVDO_DRC_Distribution ULong[9] 2\n"), std::string::npos);
}

// Every packet cut anywhere short of its end fails inside the guard with the
// title-prefixed text, and nothing is written; only the packet status, which has no
// length rule of its own, keeps its title.
TEST(RevAReverseMac, EveryTruncationThrowsBeforeWriting) {
  struct Full {
    std::uint32_t code;
    Bytes bytes;
  };
  const Full fulls[] = {{0x127D, rl_gains()},          {0x1285, arq_status()},   {0x1286, pkt_status()},
                        {0x1289, pcp_stats()},         {0x127F, t2p_resource()}, {0x1280, packet_info(0, false)},
                        {0x127E, rl_metrics(1, 2, 1)}, {0x1281, rab_update()},   {0x1282, drc_buffer()}};
  for (const Full& f : fulls) {
    DecoderCase whole;
    whole.run(f.code, f.bytes);
    ASSERT_EQ(whole.failures, std::vector<std::string>{});
    const std::string text = whole.msg.title + " : " + kNotQualcommStandard;
    const bool titled = f.code == 0x1286;
    sweep_truncations(f.code, f.bytes, [&](const DecoderCase& c, std::size_t) {
      EXPECT_EQ(c.failures, std::vector<std::string>{text});
      EXPECT_EQ(c.writes(), "");
      EXPECT_EQ(c.msg.title.empty(), !titled);
    });
  }
}

}  // namespace
}  // namespace cdmadiag::test
