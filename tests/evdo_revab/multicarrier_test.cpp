// Multicarrier (Rev B) packets (0x1294-0x12B3).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr const char* kCorrupted = "Corrupted message";
constexpr std::uint16_t kEmptyPn = 0xFFFF;

// Channel/band word: bits 0-10 channel, 11-15 band class.
constexpr std::uint32_t chan(unsigned channel, unsigned band) { return channel | band << 11; }

class Multicarrier : public ::testing::Test {
 protected:
  // Power: version 1, LNA 2, PA on, HSTR 1234, -10 dBm total; carrier 0 limited and on,
  // carrier 1 not limited and on, powers in 1/256 dB.
  static Bytes power() {
    Bytes b;
    b.u8(1).u8(2).u8(1).u16(1234).i16(-2560).u8(2);
    b.u8(0x10).u16(chan(283, 1)).u8(0x03).i16(-5120).i16(384).i16(-7744).i16(768).i16(-21888).i16(-22080);
    return b.u8(1).u16(chan(384, 1)).u8(0x02).i16(-4864).i16(128).i16(-7424).i16(1024).i16(-21632).i16(-21760);
  }

  // Air-link carrier block of 132 bytes: drc(j) and raw SINR per DRC slot, ASPs as (raw SINR, PN).
  template <class Drc>
  static void als_block(Bytes& b, unsigned demod, Drc drc, std::initializer_list<std::pair<unsigned, unsigned>> asps) {
    const std::size_t at = b.size();
    b.u8(demod).u16(chan(500, 0));
    for (unsigned j = 0; j < 16; ++j) {
      const auto [index, sinr] = drc(j);
      b.u8(index).u32(sinr);
    }
    unsigned i = 0;
    for (const auto& [sinr, pn] : asps) {
      b.at(at + 83 + 7 * i).u16(sinr).u16(pn).i16(16384).u8(i + 1);  // RPC 0.5, cell map i + 1
      ++i;
    }
    for (; i < 6; ++i) b.at(at + 83 + 7 * i).u16(0).u16(kEmptyPn);
    b.at(at + 125).u8(0x52).at(at + 130).u16(9);
  }
  // Demod 0: DRC 8 at 3.01 dB in slots 0-7, DRC 16 in slot 8, DRC 3 with no SINR after;
  // pilots 100 (0 dB) and 200 (6.02 dB), then an empty entry that hides PN 300 from the ranking.
  // Demod `second`: DRC 5 at 9.03 dB everywhere, one pilot with no SINR.
  static Bytes air_link(unsigned second = 1) {
    Bytes b{1, 2, 7, 3};
    als_block(b, 0,
              [](unsigned j) {
                return j < 8 ? std::pair{8u, 1024u} : j == 8 ? std::pair{16u, 1024u} : std::pair{3u, 0u};
              },
              {{512, 100}, {2048, 200}, {0, kEmptyPn}, {512, 300}});
    als_block(b, second, [](unsigned) { return std::pair{5u, 4096u}; }, {{0, 7}});
    return b;
  }

  // DRC/ARQ/DSC: demod 2 (slot 0 every field set, slot 1 cover disabled), then demod 3.
  static Bytes drc_arq() {
    Bytes b{1, 2, 16};
    b.u8(2).u16(chan(283, 1)).u16(120);
    b.u32(2 | 5 << 4 | 1 << 7 | 1 << 10 | 1 << 12 | 1 << 13 | 1 << 14 | 9 << 16 | 1 << 24 | 2u << 28).u32(7);
    b.at(3 + 69).u16(0b0110).u8(4);
    return b.u8(3).at(3 + 72 + 71).u8(0);
  }

  // RL gains: one subframe at -10 dBm (max 23 dBm); demod 0 sends 1024 bits, demod 1 is off.
  static Bytes rl_gains() {
    Bytes b{1, 1, 2, 3, 1, 2};
    b.i16(-2560).i16(92);
    b.u8(0).u16(chan(283, 0)).u8(3).u16(5 | 2 << 4 | 1 << 6 | 1 << 7);
    for (unsigned g = 1; g <= 9; ++g) b.u16(g);
    b.i16(-5120).i16(768).i16(-7744).i16(384);
    return b.u8(1).u16(chan(384, 0)).u8(3).u16(0).zeros(26);
  }

  // RL metrics for one carrier: interlace 0 HiCap 128 bits: ACKs 10, 2, 0, 0, one NAK, 13 sent;
  // unexpected NAKs 3 and 4.
  static Bytes rl_metrics(unsigned carrier, std::uint32_t seq = 99) {
    Bytes b;
    b.u8(1).u32(seq).u8(2).u8(carrier).u16(chan(283, 1));
    b.at(9).u32(10).u32(2).u32(0).u32(0).u32(1).u32(13);
    b.at(9 + 576).u32(3).at(9 + 580 + 576).u32(4);
    return b.at(1748).u8(0);
  }

  static Bytes flh() {
    Bytes b{1, 2};
    b.u8(0x11).u16(chan(50, 2)).u8(1).u16(4660).u8(3).u8(8).u8(5).u8(2).u16(4 | 1 << 6 | 1 << 8 | 3 << 9);
    return b.u8(2).u16(chan(75, 0)).u8(0);
  }

  // Two combos; the second flow sets only bit 6, which both stream and substream show.
  static Bytes pcp() {
    Bytes b{1, 2, 3, 4, 2};
    b.u8(7).u8(1).u8(0).u8(1).u8(0).u8(2);
    b.u8(3).u16(100).u32(1 | 5 << 1 | 1 << 7).u16(200).u32(0);
    b.u8(4).u16(0).u32(1 << 6).u16(0).u32(0);
    return b.u8(8).u8(0);
  }

  static Bytes rx_processing() {
    Bytes b{1, 0x94};
    b.u32(1).u32(2).u32(3).u32(4).u8(6).u8(9 | 1 << 6).u16(10).u32(11);
    return b.u16(12).u32(13);
  }

  // Packet stream (64 and up), no segment sequencing; records of 4 and 0 frame bytes.
  static Bytes rx_pkts() {
    Bytes b{67};
    b.u16(22 | 10 << 5 | 1 << 10).u8(0).u8(0).u8(2);
    b.u16(4).u16(500).u8(1).u8(2).u32(0xDEADBEEF);
    return b.u16(0).u16(501).u8(3).u8(4);
  }

  static Bytes su_fwd(std::uint32_t seq) { return Bytes{1}.u32(seq).u8(1).u8(0).u16(283).u8(0xAA).u8(0xBB).u8(0xCC); }
};

TEST_F(Multicarrier, PowerTextAndPerCarrierWrites) {
  DecoderCase c;
  c.read_only = true;  // these writes are made without asking
  c.run(0x129C, power());
  EXPECT_EQ(c.msg.details,
            "Ver.: 1, LNAState: 2, TxEnabled: PA On, HSTR: 1234, TotalTxPower: -10.00\nCarriers:\n\tChan\tBand\tRatchet"
            "\t\t\t\tTx  Power  (dBm)\tRx\tRx\nID\tNum\tClass\tMode\t\tEnable\tOpen\tClose\tPilot\tTotal\tAGC0\tAGC1\n"
            "0\t283\t1\tis limited\tOn\t-20.00\t1.50\t-30.25\t3.00\t-85.50\t-86.25\n"
            "1\t384\t1\tnot limited\tOn\t-19.00\t0.50\t-29.00\t4.00\t-84.50\t-85.00");
  EXPECT_EQ(c.writes({"EVDO_POWER_TXOPENLOOP", "EVDO_POWER_RXAGC1"}),
            "EVDO_POWER_TXOPENLOOP_POWER_MC Double[0] -20\nEVDO_POWER_RXAGC1_MC Double[0] -86.25\n"
            "EVDO_POWER_TXOPENLOOP_POWER_MC Double[1] -19\nEVDO_POWER_RXAGC1_MC Double[1] -85\n"
            "EVDO_POWER_TXOPENLOOP_POWER Double[0] -19.5\nEVDO_POWER_RXAGC1 Double[0] -85.625\n");
  c.run(0x129C, Bytes{0, 2, 1});  // version 0: nothing decoded
  EXPECT_EQ(c.msg.details + c.writes(), "");
}

TEST_F(Multicarrier, AirLinkRanksPerCarrierAndSkipsDrcPastTheTable) {
  DecoderCase c;
  c.decimals = 2;
  c.run(0x1296, air_link());
  EXPECT_EQ(
      c.writes(),
      "EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C1 Double[0] 6.02\nEVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1 Long[0] 200\n"
      "EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C1 Double[1] 0\nEVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1 Long[1] 100\n"
      "EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C2 Double[0] -27.09\nEVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C2 Long[0] 7\n"
      "EVDO_AIRLINKSUMMARY_AVG_SINR_FOR_DRC_INDEX Double[5] 9.03\nEVDO_AIRLINKSUMMARY_DRC_INDEX_COUNT Byte[5] 16\n"
      "EVDO_AIRLINKSUMMARY_AVG_SINR_FOR_DRC_INDEX Double[8] 3.01\nEVDO_AIRLINKSUMMARY_DRC_INDEX_COUNT Byte[8] 8\n"
      "EVDO_DRC Long[0] 5\nEVDO_DRC_MC Long[0] 8\nEVDO_DRC_MC Long[1] 5\n");
  const std::string& d = c.msg.details;
  EXPECT_NE(d.find("\n\t 8\t\t16\t3.01\n\t 9\t\t3(153600)\t-27.09\n"), std::string::npos);

  // A demod id above 2 has no attribute set: its carrier counts nowhere.
  c.run(0x1296, air_link(3));
  EXPECT_EQ(c.writes({"EVDO_DRC"}), "EVDO_DRC Long[0] 8\nEVDO_DRC_MC Long[0] 8\n");

  // A carrier's mean DRC rounds to the nearest index: 1.5 (eight 1s, eight 2s) up to 2,
  // 2.4375 (nine 2s, seven 3s) down to 2.
  Bytes halves{1, 2, 7, 3};
  als_block(halves, 0, [](unsigned j) { return std::pair{j < 8 ? 1u : 2u, 1024u}; }, {});
  als_block(halves, 1, [](unsigned j) { return std::pair{j < 9 ? 2u : 3u, 1024u}; }, {});
  c.run(0x1296, halves);
  EXPECT_EQ(c.writes({"EVDO_DRC_MC"}), "EVDO_DRC_MC Long[0] 2\nEVDO_DRC_MC Long[1] 2\n");
}

TEST_F(Multicarrier, DrcArqDscWritesTheDemodsSetOnly) {
  DecoderCase c;
  c.run(0x1298, drc_arq());
  const std::string w = c.writes();
  EXPECT_TRUE(
      w.starts_with("MC_ARQ_CarrierCnt Byte[0] 2\nMC_ARQ_SlotCnt Byte[0] 16\nMC_ARQ_ACKEna_C3 Long[0] 1\n"
                    "MC_ARQ_ACK_NACK_C3 Long[0] 1\nMC_ARQ_DRC_Cover_C3 ULong[0] 2\nMC_ARQ_DSCValue_C3 ULong[0] 5\n"
                    "MC_ARQ_ACKEna_C3 Long[1] 0\n"));
  EXPECT_EQ(std::ranges::count(w, '\n'), 2 + 16 * 4);  // demod 3 writes nothing
  EXPECT_NE(c.msg.details.find(
                "\tASP\n\t0\t2\t\t5\tYes\t1\t0\tNack\t1\t1\t9\t1\t2\n\t1\tDisabled\t0\tNo\t0\t0\tInv\t0\t0\t0\t0\t0\n"
                "\t2\t0\t\t0\tNo"),
            std::string::npos);
}

TEST_F(Multicarrier, RlMetricsTotalsAtTheCarrierIndex) {
  DecoderCase c;
  c.run(0x129F, rl_metrics(1));
  // Transmit time 4 x 1 NAK + 1 x 10 + 2 x 2 ACKs subframes of 6.667 ms; 12 ACKs of 128 bits.
  EXPECT_EQ(
      c.writes(),
      "MCRLMetrics_Carrier_id Long[0] 1\nMCRLMetrics_Carrier_Count Byte[0] 2\nMCRLMetrics_Carrier UShort[0] 2331\n"
      "RLMetrics_SeqNum ULong[1] 99\nRLMetrics_TotalPkts Long[1] 13\nRLMetrics_TotalNaks Long[1] 1\n"
      "RLMetrics_TotalAckBits Long[1] 1536\nMCRLMetrics_PER_Cumulative Double[1] 7.692307692\n"
      "MCRLMetrics_AverageRLOverallThroughput Double[1] 0.01536\n"
      "MCRLMetrics_AverageRLTransmittedThroughput Double[1] 12.79936003\n");
  const std::string& d = c.msg.details;
  EXPECT_NE(d.find("\n\t128\t\t10\t\t2\t\t0\t\t0\t\t1\t\t13\nInterlace 0 TxMode LoLat - No packet sent\n\t--"),
            std::string::npos);
  EXPECT_TRUE(d.ends_with("\n0\t\t3\n1\t\t4\n2\t\t0\n" + std::string(70, '-') + "\nTotal:\t7"));

  // Packets sent without an ACK or NAK: no transmit time, so no transmitted throughput.
  Bytes silent = rl_metrics(2);
  silent.at(9).u32(0).u32(0).u32(0).u32(0).u32(0).u32(5);
  c.run(0x129F, silent);
  EXPECT_EQ(c.writes({"MCRLMetrics_PER", "MCRLMetrics_Average"}),
            "MCRLMetrics_PER_Cumulative Double[2] 0\nMCRLMetrics_AverageRLOverallThroughput Double[2] 0\n");
  c.run(0x129F, rl_metrics(15));
  EXPECT_EQ(c.msg.details, "Ver.: 1, Log Seq. Number: 99, Number of carriers: 2, Carrier: n/a");
}

TEST_F(Multicarrier, TextOnlyMembersByteForByte) {
  const std::string gains_head =
      "\n#Sub\tPkt\t\tTrans\tCarrier\tRPC\tPilot\tPilot\tAck\tRRI\tDSC\tDRC\tData\tAux\tTx\tTx\tTx\tTx\nframe\tSize\tSP"
      "\tMode\tOn\tBit\t0\t1\t\t\t\t\t\t\tOpen\tTotal\tPilot\tAdjust";
  const std::string flh_head =
      "\nTime\tPkt\tDRC\tSN\tLink\tSlots\tCRC\tCRC\tPkt\nRef\tLen\tValue\t\tID\tDecode\t\tSize\tType";
  const std::string pcp_head =
      "\n\tCarrier\tPrev subframe\tFmt\tNum\tMac\t\t\tRexmit\t\t\t\t\tNewxmit\n\tID\tCanceled\tB\tFlows\tFlow\tsize\t"
      "stream\tsubstream\troute\tsize\tstream\tsubstream\troute";
  const struct {
    std::uint32_t code;
    Bytes packet;
    std::string text;
  } cases[] = {
      // The total transmit power reads signed: -10 dBm, not 246.
      {0x129D, rl_gains(),
       "Ver.: 1, SubframeCount: 1, Number of carriers: "
       "2\n#Sub\tPA\tBack\tTx\tTx\nframe\tOn\toff\tTotal\tMax\n3\t1\t2\t-"
       "10.00\t23.00\t\nCarrier #1: 0-283-0 (DemodID-ChanNum-BandClass)" +
           gains_head +
           "\n3\t1024\t2\t1\t1\t3\t1\t2\t3\t4\t5\t6\t7\t8\t-20.00\t3.00\t-30.25\t1.50\nCarrier #2: 1-384-0 "
           "(DemodID-ChanNum-BandClass)" +
           gains_head + "\n3\t<" + std::string(82, '-') + " Carrier disabled " + std::string(94, '-') + ">"},
      {0x1294, flh(),
       "Version: 1, Number of carriers: 2\nCarrier #1 : 1-50-2 (DemodID-ChanNum-BandClass) - 1 records" + flh_head +
           "\n4660\t3\t8\t5\t2\t4\tPass\t24\t3\nCarrier #2 : 2-75-0 (DemodID-ChanNum-BandClass) - 0 records" +
           flh_head},
      {0x12B3, pcp(),
       "\nVersion: 1, Record Number: 2, Sub-Frame Count: 3, Prev Combo ID: 4, Num Combos: 2\nCombos[0]\n\tCombo ID: 7, "
       "Num Carriers: 1" +
           pcp_head +
           "\n\t0\tTrue\t\tFalse\t2\t3\t100\t2\t5\t\tB\t200\t0\t0\t\tA\n\t\t\t\t\t\t4\t0\t1\t32\t\tA\t0\t0\t0\t\tA\n"
           "Combos[1]\n\tCombo ID: 8, Num Carriers: 0"},
      {0x12A9, rx_processing(),
       "Version: 1\nEvent: Packet reception on Forward Link, Link flow: 5, Route: B\nV(n) - before: 1, after: 2\nV(r) "
       "- "
       "before: 3, after: 4\nLink Id = 6, Scheduler Group Id = 9, QN Seq Included = True, Number Data Units  = 10, SAR "
       "Seq Number = 11\nQN Seq Number = 12, SAR Seq Short Num = 13"},
      {0x12A7, rx_pkts(),
       "Link flow: 3, Route: A, Packet stream: Packet-based, Segment Sequencing: Octet-based\nSAR Seq Length = 22 "
       "bits, "
       "SAR Seq Length Short = 10 bits, Buffer allocated: Yes, Partial Frame Length = 0 bytes\nTime\tFrame\tLink\tGrp\t"
       "Strm\tQN\tQN\tSAR\tFDU\tLDU\tPayload\nRef\tLength\tID\tID\tID\tIncl\tSN\tSN\n500\t4\t2\t1\n501\t0\t4\t3"},
      // Sequence 0: the sequence number alone is written, nothing divided by it.
      {0x12A2, su_fwd(0),
       "Ver.: 1, Log Seq. Number: 0, Number of carriers: 1, Carrier #0 (ChanNum 283, Band Class 0): \nPayload: 3 "
       "bytes\nData: aa bb cc \r\n"},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(formatf("0x%04X", k.code));
    DecoderCase c;
    c.run(k.code, k.packet);
    EXPECT_EQ(c.msg.details, k.text);
    EXPECT_EQ(c.writes(), k.code == 0x12A2 ? "RevASUFwdStats_SequenceNumber ULong[0] 0\n" : "");
  }
}

TEST_F(Multicarrier, UndecodedMembersShowABoundedHexLine) {
  Bytes big;
  for (unsigned i = 0; i < 100; ++i) big.u8(i);
  for (const std::uint32_t code : {0x12A1u, 0x12A5u, 0x12A6u, 0x12A8u}) {
    DecoderCase c;
    c.run(code, big);
    EXPECT_TRUE(c.msg.details.starts_with("Payload: 100 bytes\nData: 00 01 02 "));
    EXPECT_TRUE(c.msg.details.ends_with(" 3e 3f \r\n"));
    EXPECT_EQ(c.writes(), "");
  }
}

// Stage 3 has no guard: every cut reports the failure text, writes nothing and never throws.
TEST_F(Multicarrier, EveryTruncationReportsAndStops) {
  constexpr std::size_t kWhole = SIZE_MAX;
  const struct {
    std::uint32_t code;
    Bytes packet;
    std::size_t fails_below;  // shorter cuts fail; past 9 bytes 0x12A2 is hex, the undecoded members never fail
  } cases[] = {
      {0x1294, flh(), kWhole},      {0x1296, air_link(), kWhole},
      {0x1298, drc_arq(), kWhole},  {0x129C, power(), kWhole},
      {0x129D, rl_gains(), kWhole}, {0x129F, rl_metrics(1), kWhole},
      {0x12A7, rx_pkts(), kWhole},  {0x12A9, rx_processing(), kWhole},
      {0x12B3, pcp(), kWhole},      {0x12A2, su_fwd(5), 9},
      {0x12A1, power(), 0},         {0x12A5, power(), 0},
      {0x12A6, power(), 0},         {0x12A8, power(), 0},
  };
  for (const auto& k : cases) {
    const std::size_t fails_below = std::min<std::size_t>(k.fails_below, k.packet.size());
    sweep_truncations(k.code, k.packet, [&](const DecoderCase& c, std::size_t n) {
      if (n >= fails_below) return;
      EXPECT_TRUE(c.msg.details.ends_with(kCorrupted)) << c.msg.details;
      EXPECT_EQ(c.writes(), "");
    });
  }
}

}  // namespace
}  // namespace cdmadiag::test
