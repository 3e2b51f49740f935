// EV-DO reverse link: packet summary, traffic rate counts, reverse power control,
// reverse activity bits buffer and info, connected-state transmit statistics.
#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <string>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

// Rate limit 4, current rate 3, busy bit, random 123456, transition 2500/10000, PA max 1, RRIs, 2 pad bytes.
Bytes summary(std::uint8_t busy = 1, std::uint8_t predicted = 5, std::uint8_t rri = 4) {
  return Bytes{}.u8(4).u8(3).u8(busy).u32(123456).u32(2500).u8(1).u8(predicted).u8(rri).u8(2);
}
Bytes rate_count(const std::array<std::uint32_t, 5>& c) {
  Bytes b;
  for (auto v : c) b.u32(v);
  return b;
}
// One power control record: powers in dB (x256), RPC history, gains, MaxTxPwrRRI | lock period << 4.
struct Record {
  double rx, total, adjust;
  int rpc;
  double pilot_db;
  int drc, ack, data, pilot;
  std::uint8_t rri_lock;
};
Bytes power_ctrl(std::initializer_list<Record> recs) {
  Bytes b;
  b.u8(static_cast<std::uint32_t>(recs.size()));
  for (const Record& r : recs) {
    b.i16(static_cast<int>(r.rx * 256)).i16(static_cast<int>(r.total * 256)).i16(static_cast<int>(r.adjust * 256));
    b.i16(r.rpc).i16(static_cast<int>(r.pilot_db * 256)).i16(r.drc).i16(r.ack).i16(r.data).i16(r.pilot).u8(r.rri_lock);
  }
  return b;
}
const Bytes kPowerCtrl = power_ctrl({{-80, 10, -2.5, 5, 5.25, 100, 0, 1000, 100, 0x13},     // ACK off
                                     {-82, 12, -1.5, -3, 7.25, -50, 200, 10, 100, 0x25}});  // DRC gain negative
// Records of six u16 RAB words, bit s = slot s.
Bytes rab_buffer(std::size_t records, std::array<std::uint16_t, 6> first, std::array<std::uint16_t, 6> rest) {
  Bytes b;
  for (std::size_t k = 0; k < records; ++k)
    for (auto w : k == 0 ? first : rest) b.u16(w);
  return b;
}
const Bytes kRabInfo = Bytes{}.u8(2).u8(8).u8(3).u16(168).u8(16).u8(0).u16(252);  // bit length, offset, PN
const Bytes kTxStats = Bytes{}.u8(1).u32(1).u32(2).u32(3).u32(0x80000000u).u32(5).u32(6).u32(7).u32(8);

// The drive pins the writes; the rate names past both ends of their table show as undefined.
TEST(EvdoReverse, PacketSummaryByteForByteAndRateNamesPastTheirEnds) {
  DecoderCase c;
  c.run(0x1060, summary());
  EXPECT_EQ(c.msg.details,
            "\nReverse Rate Limit: 4\nCurrent Rate: 3\nCombined Busy Bit: 1 (rev activity bits from sectors of the AT "
            "active set is 1)\nRandom Variable: 123456\n\nTransition Probability (logged): 2500\tTransition "
            "Probability (actual): 0.25\nPA Max: 1\nPredicted Reverse Rate Index: 5 (153.6 kbps)\nReverse Rate Index "
            "used for transmitting: 4 (76.8 kbps)\nNum Pad bytes: 2");
  EXPECT_NE(c.run(0x1060, summary(0)).details.find("(rev activity bits from sectors of the AT active set is 0)"),
            std::string::npos);
  EXPECT_NE(c.run(0x1060, summary(1, 0, 6)).details.find("Rate Index: 0 (Undefined)\nReverse Rate Index used for "
                                                         "transmitting: 6 (Undefined)\n"),
            std::string::npos);
}

// Each report's instantaneous throughput covers the packets since the previous one.
TEST(EvdoReverse, ThroughputOverThePacketsSinceThePreviousReport) {
  const struct {
    std::array<std::uint32_t, 5> counts;
    const char* inst;
    const char* cum;
  } reports[] = {
      {{10, 0, 0, 0, 10}, "81.60", "81.60"},    // nothing before: the cumulative figure
      {{10, 0, 0, 0, 30}, "153.60", "117.60"},  // 20 more packets, all at 153.6 kbps
      {{10, 0, 0, 0, 30}, "0.00", "117.60"},    // unchanged
      {{50, 0, 0, 0, 0}, "9.60", "9.60"},       // more packets but fewer bits: restarted
      {{1, 0, 0, 0, 0}, "9.60", "9.60"},        // fewer packets: restarted
      {{0, 0, 0, 0, 0}, "0.00", "0.00"},        // no packets at all
  };
  DecoderCase c;
  for (const auto& r : reports) {
    c.run(0x1062, rate_count(r.counts));
    EXPECT_NE(c.msg.details.find(formatf("Rate153600: %u\n\t\nAvg Throughput Instantaneous: %s kbps\nAvg Throughput "
                                         "Cumulative: %s kbps\n",
                                         r.counts[4], r.inst, r.cum)),
              std::string::npos)
        << c.msg.details;
  }
  EXPECT_EQ(c.writes({"EVDO_REVTRATECT_TOTAL"}),
            "EVDO_REVTRATECT_TOTAL_BITS_TX UInt64[0] 0\nEVDO_REVTRATECT_TOTAL_PKT_COUNT UInt64[0] 0\n");
  c.run(0x1062, rate_count({1, 2, 4, 8, 16}));  // 9600 x (1 + 4 + 16 + 64 + 256) bits over 31 packets
  EXPECT_EQ(c.writes({"EVDO_REVTRATECT_TOTAL", "EVDO_REVTRATECT_AVG_TPUT_CUM"}),
            "EVDO_REVTRATECT_TOTAL_BITS_TX UInt64[0] 3273600\nEVDO_REVTRATECT_TOTAL_PKT_COUNT UInt64[0] 31\n"
            "EVDO_REVTRATECT_AVG_TPUT_CUM Double[0] 105.6\n");
}

TEST(EvdoReverse, PowerControlGainRatiosAndAverages) {
  DecoderCase c;
  c.decimals = 2;
  c.run(0x1063, kPowerCtrl);
  EXPECT_EQ(
      c.msg.details,
      "NumRecords: 2\n\t\nNum\tRxAGC(dB)\tTxTotal(dB)\tTxAdjust(dB)\tRPCHist.\tTxPilot(dB)\tDRCChan(dB)\tACKChan(dB)"
      "\tDataChan(dB)\tPilotGain\tMaxTxPwrRRI\tDRCLockPer\n"
      "1\t-80.00\t\t10.00\t\t-2.50\t\t   5\t\t5.25\t\t0.00\t\tOff\t\t20.00\t\t 100\t\t       3\t\tHold is every 16 "
      "slots\n"
      "2\t-82.00\t\t12.00\t\t-1.50\t\t  -3\t\t7.25\t\tn/a\t\t6.02\t\t-20.00\t\t 100\t\t       5\t\tReserved\n"
      "\nAvg RxAGC: -81.00 dB\nAvg TxTotalLimited: 11.00 dB\nAvg TxAdjust: -2.00 dB\nAvg TxPilot: 6.25 dB\n"
      "Avg DRCChannelGain: 0.00 dB\nAvg AckChannelGain: 6.02 dB\nAvg DataChannelGain: 0.00 dB\n");
  EXPECT_EQ(
      c.writes({"EVDO_REVERSEPOWERCTRL_NUM", "EVDO_REVERSEPOWERCTRL_DRC_CHAN_TO", "EVDO_REVERSEPOWERCTRL_ACK_CHAN_TO",
                "EVDO_REVERSEPOWERCTRL_AVG_ACK"}),
      "EVDO_REVERSEPOWERCTRL_NUM_RECORDS Byte[0] 2\nEVDO_REVERSEPOWERCTRL_DRC_CHAN_TO_PILOT_FOR_FRAME Double[0] 0\n"
      "EVDO_REVERSEPOWERCTRL_ACK_CHAN_TO_PILOT_FOR_FRAME NoValue[0]\n"
      "EVDO_REVERSEPOWERCTRL_DRC_CHAN_TO_PILOT_FOR_FRAME NoValue[1]\n"
      "EVDO_REVERSEPOWERCTRL_ACK_CHAN_TO_PILOT_FOR_FRAME Double[1] 6.02\n"
      "EVDO_REVERSEPOWERCTRL_AVG_ACK_CHAN_GAIN Double[0] 6.02\n");

  // No usable DRC gain in any record (off, or a pilot gain of 0): no average, none written.
  c.run(0x1063, power_ctrl({{-80, 10, 0, 0, 5, 0, 10, 10, 10, 0}, {-80, 10, 0, 0, 5, 10, 10, 10, 0, 0}}));
  EXPECT_NE(c.msg.details.find("\t\tOff\t\t0.00\t\t0.00\t\t"), std::string::npos);
  EXPECT_NE(c.msg.details.find("\t\tn/a\t\tn/a\t\tn/a\t\t"), std::string::npos);
  EXPECT_NE(c.msg.details.find("Avg DRCChannelGain: n/a\nAvg AckChannelGain: 0.00 dB\n"), std::string::npos);
  EXPECT_EQ(c.writes({"EVDO_REVERSEPOWERCTRL_AVG_DRC"}), "");

  // No records: no average at all.
  c.run(0x1063, power_ctrl({}));
  EXPECT_TRUE(c.msg.details.ends_with(
      "DRCLockPer\n\nAvg RxAGC: n/a\nAvg TxTotalLimited: n/a\nAvg TxAdjust: n/a\nAvg TxPilot: n/a\n"
      "Avg DRCChannelGain: n/a\nAvg AckChannelGain: n/a\nAvg DataChannelGain: n/a\n"));
  EXPECT_EQ(c.writes(), "EVDO_REVERSEPOWERCTRL_NUM_RECORDS Byte[0] 0\n");
}

TEST(EvdoReverse, ActivityBitsAveragedPerSlotWithTruncation) {
  DecoderCase c;
  // ASP 1 set in slot 0 of one record out of two (0), ASP 2 set in every slot of both (1).
  c.run(0x106D, rab_buffer(2, {0x0001, 0xFFFF, 0, 0, 0, 0}, {0x0000, 0xFFFF, 0, 0, 0, 0}));
  std::string rows;
  for (int s = 0; s < 16; ++s)
    rows += formatf("RAB_Slot[%d]:\t       0\t\t       1\t\t       0\t\t       0\t\t       0\t\t       0\n", s);
  EXPECT_EQ(c.msg.details, "\t\tASPIndex 1\tASPIndex 2\tASPIndex 3\tASPIndex 4\tASPIndex 5\tASPIndex 6\n\t\t" +
                               std::string(154, '-') + "\n" + rows);
  std::string asp2;
  for (int s = 0; s < 16; ++s) asp2 += formatf("EVDO_REVACTIVITYBITSBUF_RAB_ASPIDX2_FOR_SLOT Byte[%d] 1\n", s);
  EXPECT_EQ(c.writes({"EVDO_REVACTIVITYBITSBUF_RAB_ASPIDX2"}), asp2);
  // 300 records with slot 5 of ASP 3 always set: counted in 8 bits this would read 44 of 300.
  c.run(0x106D, rab_buffer(300, {0, 0, 0x20, 0, 0, 0}, {0, 0, 0x20, 0, 0, 0}));
  EXPECT_NE(c.writes({"EVDO_REVACTIVITYBITSBUF_RAB_ASPIDX3"}).find("_FOR_SLOT Byte[5] 1\n"), std::string::npos);
}

TEST(EvdoReverse, ActivityBitsInfoAndTransmitStatisticsByteForByte) {
  DecoderCase c;
  const std::string head = "PN\tRABOffset\tRABBitLength\n" + std::string(66, '-') + "\n";
  EXPECT_EQ(c.run(0x1072, kRabInfo).details, head + "168\t       3\t\t       8\n252\t       0\t\t      16\n");
  EXPECT_EQ(c.writes(),
            "EVDO_REVACTIVITYBITSINFO_RAB_OFFSET_FOR_PN Byte[168] 3\nEVDO_REVACTIVITYBITSINFO_RAB_BIT_LENGTH_FOR_PN "
            "Byte[168] 8\nEVDO_REVACTIVITYBITSINFO_RAB_OFFSET_FOR_PN Byte[252] 0\n"
            "EVDO_REVACTIVITYBITSINFO_RAB_BIT_LENGTH_FOR_PN Byte[252] 16\n");
  EXPECT_EQ(c.run(0x1072, Bytes{0}).details, head);

  // A counter past 2^31 stays positive.
  EXPECT_EQ(c.run(0x1188, kTxStats).details,
            "Version: 1\n-\nTotal number of 1st attempt successful transmissions since last reset: 1\n"
            "Total number of 2nd attempt successful transmissions since last reset: 2\n"
            "Total number of 3rd attempt successful transmissions since last reset: 3\n"
            "Total number of transmit failures since last reset: 2147483648\n-\n"
            "Total number of 1st attempt successful transmissions since last call: 5\n"
            "Total number of 2nd attempt successful transmissions since last call: 6\n"
            "Total number of 3rd attempt successful transmissions since last call: 7\n"
            "Total number of transmit failures since last call: 8\n");
  EXPECT_EQ(c.writes(), "");
}

// Nothing is thrown, not even by 0x1188 behind the stage 2 guard: the failure shows.
TEST(EvdoReverse, EveryTruncationReportsAndStops) {
  const auto only = [](const char* text) {
    return [text](const DecoderCase& c, std::size_t) {
      EXPECT_EQ(c.msg.details, text);
      EXPECT_TRUE(c.failures.empty());
    };
  };
  const struct {
    std::uint32_t code;
    Bytes full;
    std::function<void(const DecoderCase&, std::size_t)> check;
  } packets[] = {
      {0x1060, summary(), only(kNotQualcommStandard)},
      {0x1062, rate_count({1, 2, 3, 4, 5}), only(kNotQualcommStandard)},
      {0x1063, kPowerCtrl, only(kCorruptedContent)},
      {0x1188, kTxStats, only(kNotQualcommStandard)},
      {0x106D, rab_buffer(2, {1, 2, 3, 4, 5, 6}, {6, 5, 4, 3, 2, 1}),
       [](const DecoderCase& c, std::size_t n) { EXPECT_EQ(c.msg.details.starts_with(kCorruptedMessage), n != 12); }},
      {0x1072, kRabInfo,
       [](const DecoderCase& c, std::size_t n) {
         EXPECT_TRUE(c.msg.details.ends_with(kNotQualcommStandard));
         EXPECT_EQ(c.writes().size() > 0, n >= 5);  // the first record is whole
       }},
  };
  for (const auto& p : packets) sweep_truncations(p.code, p.full, p.check);
}

}  // namespace
}  // namespace cdmadiag::test
