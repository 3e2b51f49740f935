// 1xEV forward link statistics (0x1084, 0x107F, 0x1067, 0x1066, 0x1061, 0x108C, 0x1284).
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <utility>
#include <vector>

#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kSummary = 0x1084, kRateStat = 0x107F, kSlotCount = 0x1067, kArq = 0x1066, kDrc = 0x1061,
                        kDrc2 = 0x108C, kHeaders = 0x1284;

// Counter order: CC38400, CC76800, then TC38400 ... TC2457600 (index 13).
struct Counts {
  std::array<std::uint32_t, 14> good{}, bad{};
};
Counts counts(std::uint32_t cc_good, std::uint32_t cc_bad, std::uint32_t tc_good, std::uint32_t tc_bad) {
  Counts c;
  c.good[0] = cc_good, c.bad[0] = cc_bad;    // CC38400: 1024 bits
  c.good[13] = tc_good, c.bad[13] = tc_bad;  // TC2457600: 4096 bits, 1 slot
  return c;
}
// Adds a bad TC38400 (16 slots) pair and ten good TC1228800(L) (4096 bits, 2 slots).
Counts busy() {
  Counts c = counts(3, 1, 100, 5);
  c.bad[2] = 2;
  c.good[11] = 10;
  return c;
}

Bytes& counters(Bytes& b, const Counts& c) {
  for (std::size_t i = 0; i < 14; ++i) b.u32(c.good[i]).u32(c.bad[i]);
  return b;
}

// Buckets by position among the summary's 68 (traffic rates, then CC38400 at 44, CC76800 at 60).
Bytes summary(const Counts& c, std::uint32_t seq, std::vector<std::pair<std::size_t, std::uint32_t>> buckets = {}) {
  Bytes b;
  counters(b, c);
  for (const auto& [k, v] : buckets) b.at(112 + 4 * k).u32(v);
  return b.at(384).u32(seq);
}

// 2026-05-12 15:20:00 UTC in 1.25 ms units since 1980-01-06.
constexpr std::uint64_t kResetTicks = 800ull * (1778599200 - 315964800);

// Rate statistics reset at kResetTicks, behind their own log header stamped `ticks` when header is set.
Bytes rate_stat(const Counts& c, std::uint64_t ticks, bool header = true) {
  Bytes b;
  if (header) b.u16(12 + 120).u16(kRateStat).u16(0x1234).u48(ticks);
  return counters(b, c).u16(0xFFFF).u48(kResetTicks);  // the stamp's sub-count is ignored
}

const std::string kDashes136 = std::string(136, '-') + "\n";
const std::string kRateTable = std::string("Rate\t\t\tGood CRC\tBad CRC\tTotal\t\tPER (%)\n") + kDashes136 +
                               "CC38400\t\t     3\t\t     1\t\t4\t\t25.00\n"
                               "CC76800\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "\t\n"
                               "TC38400\t\t     0\t\t     2\t\t2\t\t100.00\n"
                               "TC76800\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "TC153600\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "TC307200(S)\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "TC307200(L)\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "TC614400(S)\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "TC614400(L)\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "TC921600\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "TC1228800(S)\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "TC1228800(L)\t\t    10\t\t     0\t\t10\t\t0.00\n"
                               "TC1843200\t\t     0\t\t     0\t\t0\t\t0.00\n"
                               "TC2457600\t\t   100\t\t     5\t\t105\t\t4.76\n" +
                               kDashes136 +
                               "Total\t\t\t   113\t\t     8\t\t121\n"
                               "\t\n";

// "Op value" of the last packet's write of ATTR_ID_<name> at index; "" when there is none.
std::string written(const DecoderCase& c, const std::string& name, std::uint32_t index = 0) {
  for (const auto& w : c.st.sink.of("ATTR_ID_" + name)) {
    if (w.index == index) return formatf("%s %.10g", write_op_name(w.op) + 3, w.value);
  }
  return "";
}

std::string summary_instants(const DecoderCase& c) {
  std::string out;
  for (const char* n :
       {"CCH_PER_INST", "TCH_PER_INST", "CCH_AVGTPUT_CUM", "TCH_AVGTPUT_CUM", "CCH_AVGTPUT_INST", "TCH_AVGTPUT_INST"}) {
    const auto w = c.st.sink.of(std::string("ATTR_ID_EVDO_FWDSTATSUMMARY_") + n);
    out += w.size() != 1 ? "?" : w[0].op == WriteOp::kSetNoValue ? "-" : formatf("%.6g", w[0].value);
    out += " ";
  }
  return out;
}

// DRC slot words: bits 0-2 cover, 8-11 DRC index, bit 12 ACK, bit 13 ACK channel enabled.
constexpr std::uint16_t slot_word(unsigned cover, unsigned drc, bool ack, bool enabled) {
  return static_cast<std::uint16_t>(cover | drc << 8 | (ack ? 1u << 12 : 0) | (enabled ? 1u << 13 : 0));
}
const std::array<std::uint16_t, 16> kSlotWords{slot_word(0, 0, false, false), slot_word(3, 12, true, true),
                                               slot_word(7, 15, false, true), slot_word(1, 9, true, false)};
std::string drc_table() {
  std::string t = "Slot\tCover\tDRCRate\tACKChanEna\tACK/NACK\n" + std::string(99, '-') +
                  "\n0\t   0\t         0\t\tDisabled\t-----\n"
                  "1\t   3\t  2457600\t Enabled\tAck\n"
                  "2\t   7\tDRC Channel is Off\t Enabled\tNack\n"
                  "3\t   1\t1228800(S)\tDisabled\t-----\n";
  for (int s = 4; s < 16; ++s) t += formatf("%d\t   0\t         0\t\tDisabled\t-----\n", s);
  return t;
}

// One 54-byte instance of the version 2 packet: slot words, SlotCnt, DRC lock 0b000101, valid 0b100011,
// DRCLockUpdateSlot 9, and the ASPs of slots 0 (FL 1, RL 2) and 1 (FL 5, RL 3).
void drc2_instance(Bytes& b, const std::array<std::uint16_t, 16>& words, std::uint8_t slot_count) {
  for (const std::uint16_t w : words) b.u16(w);
  b.u8(slot_count).u16(0x05).u16(0x23).u8(9).u8(1 | 2 << 3).u8(5 | 3 << 3).zeros(14);
}
Bytes drc2(const std::array<std::uint16_t, 16>& first, const std::array<std::uint16_t, 16>& second) {
  Bytes b;
  drc2_instance(b, first, 7);
  drc2_instance(b, second, 9);
  return b;
}

// ARQ records: (rate 12, 1 slot, CRC passed, HSTR 300 with bits 9-14 set), (rate 5, 2 slots, failed, 511),
// (rate 3, 0 slots, passed, 7).
const Bytes kArqPacket{3, 0x1C, 0x2C, 0xFF, 0x25, 0xFF, 0x01, 0x03, 0x07, 0x80};

Bytes headers(std::uint8_t count, std::size_t present) {
  Bytes b{1, count};
  b.u16(1000).u8(32).u8(12).u8(1).u8(5).u8(0);    // 1024 bits, unicast
  b.u16(65535).u8(255).u8(3).u8(4).u8(63).u8(7);  // 8160 bits, type 7 undefined
  for (std::size_t i = 2; i < present; ++i) b.u16(0).u8(0).u8(0).u8(0).u8(0).u8(10);
  return b;
}

class EvdoForward : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(EvdoForward, SummaryTextWithHistogramsAndServedThroughput) {
  const auto& msg = c.run(kSummary, summary(busy(), 10, {{40, 4}, {41, 6}, {43, 100}, {59, 3}}));
  // Served: (4 x 1 + 6 x 2 + 100 x 1 good, 2 x 16 + 5 x 1 bad) slots x 1.67 = 255 ms; 450560 bits / 255 ms.
  // The whole text of a drive's summaries is pinned by the golden run; here the figures of this packet.
  const std::string& d = msg.details;
  EXPECT_TRUE(d.starts_with(kRateTable + "\nCounter for 38.4k rate packets decoded in 1..16 slots\n"));
  for (const char* line : {"slots\n[1]: 4\t[2]: 6\t\n", "in 1 slot\n[0]: 100\n", "[15]: 0\t[16]: 3\t\n"}) {
    EXPECT_NE(d.find(line), std::string::npos) << line;
  }
  EXPECT_TRUE(d.ends_with("\t\nSequenceNumber: 10\n\t\n"
                          "CC AvgPER Cumulative: 25.00%,  TC AvgPER Cumulative: 5.98%\n"
                          "CC AvgThroughput Cumulative: 0.31 kbps,  TC AvgThroughput Cumulative: 45.06 kbps\n"
                          "Throughput when served: 1766.00 kbps\n"));
  EXPECT_EQ(written(c, "EVDO_FWDSTATSUMMARY_CC_RATE_38400_FOR_SLOT", 15), "ULong 3");
  EXPECT_EQ(c.writes({"EVDO_FWDSTATSUMMARY_RATE_1228800L", "EVDO_FWDSTATSUMMARY_TCH_TOTAL", "EVDO_FWDRATESTATS"}),
            "EVDO_FWDSTATSUMMARY_RATE_1228800L_FOR_SLOT ULong[0] 4\n"
            "EVDO_FWDSTATSUMMARY_RATE_1228800L_FOR_SLOT ULong[1] 6\n"
            "EVDO_FWDSTATSUMMARY_TCH_TOTAL_BAD_PKTS UInt64[0] 7\n"
            "EVDO_FWDSTATSUMMARY_TCH_TOTAL_PKT_COUNT UInt64[0] 117\n"
            "EVDO_FWDSTATSUMMARY_TCH_TOTAL_GOOD_BITS_TX UInt64[0] 450560\n"
            "EVDO_FWDRATESTATS_TCH_TPUT_WEN_SERVED Double[0] 1766\n");
}

// PER and throughput since the previous summary, packet after packet: CCH/TCH instantaneous PER, cumulative
// throughput, instantaneous throughput ("-" = no value).
TEST_F(EvdoForward, SummaryRatesFollowThePreviousReport) {
  const struct {
    Counts n;
    std::uint32_t seq;
    const char* figures;
  } steps[] = {
      {counts(3, 1, 100, 5), 10, "- - 0.3072 40.96 - - "},                          // first report: nothing to compare
      {counts(5, 1, 300, 15), 12, "0 4.7619 0.426667 102.4 1.024 409.6 "},          // 10 bad of 210, 200 packets in 2
      {counts(5, 1, 300, 15), 13, "0 0 0.393846 94.5231 0 0 "},                     // nothing new
      {counts(5, 1, 300, 15), 13, "0 0 0.393846 94.5231 0 0 "},                     // sequence stood still
      {counts(1, 0, 50, 10), 1, "0 16.6667 1.024 204.8 0 0 "},                      // restart: cumulative PER
      {counts(1, 0, 400, 5), 2, "0 1.23457 0.512 819.2 0 1433.6 "},                 // bad went down: cumulative PER
      {counts(1, 0, 400, 5), 0, "0 0 - - 0 0 "},                                    // sequence 0: no cumulative rate
      {counts(1, 0, 0xFFFFFFF0, 5), 3, "0 0 0.341333 5.86406e+09 0 5.86406e+09 "},  // 64-bit differences
      {counts(1, 0, 0x10, 5), 4, "0 23.8095 0.256 16.384 0 0 "},                    // the counter wrapped
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    c.run(kSummary, summary(steps[i].n, steps[i].seq));
    EXPECT_EQ(summary_instants(c), steps[i].figures) << "step " << i;
  }
  EXPECT_NE(c.msg.details.find("TC AvgPER Instantaneous: 23.81%\n\t\nCC AvgThroughput Cumulative: 0.26 kbps,  TC "
                               "AvgThroughput Cumulative: 16.38 kbps\nCC AvgThroughput Instantaneous: 0.00 kbps,  TC "
                               "AvgThroughput Instantaneous: 0.00 kbps\n\t\n"),
            std::string::npos);
  c.run(kSummary, summary(counts(1, 0, 0x10, 5), 0));
  EXPECT_NE(c.msg.details.find("\nCC AvgThroughput Cumulative: n/a,  TC AvgThroughput Cumulative: n/a\n"),
            std::string::npos);
}

TEST_F(EvdoForward, RateStatisticsRunOnTheirOwnTimeStamps) {
  const std::string header_time = "CDMA System Time: 2026-05-12 15:20:1";
  const struct {
    Bytes packet;
    std::string tail;  // from the time lines on
  } steps[] = {
      {rate_stat(busy(), kResetTicks + 8000),  // 10 s after the reset
       header_time + "0.000\nStatistics Reset Time: 2026-05-12 15:20:00.000\n\t\n"
                     "CC AvgPER Cumulative: 25.00%\nTC AvgPER Cumulative: 5.98%\n"
                     "CC AvgThroughput Cumulative: 0.31 kbps\nTC AvgThroughput Cumulative: 45.06 kbps\n"},
      {rate_stat(
           [] {
             Counts n = busy();
             n.good[13] += 100;
             return n;
           }(),
           kResetTicks + 9600),  // 2 s later
       header_time + "2.000\nStatistics Reset Time: 2026-05-12 15:20:00.000\n\t\n"
                     "CC AvgPER Cumulative: 25.00%\nTC AvgPER Cumulative: 3.23%\n"
                     "CC AvgPER Instantaneous: 0.00%\nTC AvgPER Instantaneous: 0.00%\n\t\n"
                     "CC AvgThroughput Cumulative: 0.26 kbps\nTC AvgThroughput Cumulative: 71.68 kbps\n"
                     "CC AvgThroughput Instantaneous: 0.00 kbps\nTC AvgThroughput Instantaneous: 204.80 kbps\n\t\n"},
      {rate_stat(busy(), 0, false),  // no log header and no stream start: time 0, before the reset
       "CDMA System Time: 1970-01-01 00:00:00.000\nStatistics Reset Time: 2026-05-12 15:20:00.000\n\t\n"
       "CC AvgPER Cumulative: 25.00%\nTC AvgPER Cumulative: 5.98%\n"
       "CC AvgPER Instantaneous: 0.00%\nTC AvgPER Instantaneous: 5.98%\n\t\n"
       "CC AvgThroughput Cumulative: n/a\nTC AvgThroughput Cumulative: n/a\n"
       "CC AvgThroughput Instantaneous: n/a\nTC AvgThroughput Instantaneous: n/a\n\t\n"},
  };
  for (std::size_t i = 0; i < std::size(steps); ++i) {
    const auto& msg = c.run(kRateStat, steps[i].packet);
    const std::size_t cut = msg.details.find("CDMA System Time");
    ASSERT_NE(cut, std::string::npos) << "step " << i;
    if (i == 0) {
      EXPECT_EQ(msg.details.substr(0, cut), kRateTable);
    }
    EXPECT_EQ(msg.details.substr(cut), steps[i].tail) << "step " << i;
  }
  EXPECT_EQ(c.writes({"EVDO_FWDRATESTATS_TCH_AVGTPUT", "EVDO_FWDRATESTATS_RESET", "EVDO_FWDRATESTATS_LAST"}),
            "EVDO_FWDRATESTATS_TCH_AVGTPUT_CUM NoValue[0]\nEVDO_FWDRATESTATS_TCH_AVGTPUT_INST NoValue[0]\n"
            "EVDO_FWDRATESTATS_RESET_TIME_IN_SECONDS Double[0] 1778599200\n"
            "EVDO_FWDRATESTATS_LAST_MSG_TIME_IN_SECONDS Double[0] 0\n");
}

TEST_F(EvdoForward, SlotCountHistogramsRunOnAfterTheFirstHeading) {
  Bytes b;
  b.zeros(176).at(0).u32(5).at(4 * 34).u32(7).at(4 * 43).u32(9);  // TC38400 in 1 slot, TC614400(S), TC2457600
  EXPECT_EQ(
      c.run(kSlotCount, b).details,
      "\nCounter for 38.4k rate packets decoded in 1..16 slots\n"
      "[1]: 5\t[2]: 0\t[3]: 0\t[4]: 0\t[5]: 0\t[6]: 0\t[7]: 0\t[8]: 0\t[9]: 0\t[10]: 0\t[11]: 0\t[12]: 0\t[13]: 0\t"
      "[14]: 0\t[15]: 0\t[16]: 0\tCounter for 76.8k packets decoded in 1..8 slots\n"
      "[1]: 0\t[2]: 0\t[3]: 0\t[4]: 0\t[5]: 0\t[6]: 0\t[7]: 0\t[8]: 0\t"
      "Counter for 153.6k packets decoded in 1..4 slots\n[1]: 0\t[2]: 0\t[3]: 0\t[4]: 0\t"
      "Counter for 302.2(short) packets decoded in 1..2 slots\n[1]: 0\t[2]: 0\t"
      "Counter for 302.2(long) packets decoded in 1..4 slots\n[1]: 0\t[2]: 0\t[3]: 0\t[4]: 0\t"
      "Counter for 614.4(short) packets decoded in 1 slots\n[0]: 7"
      "Counter for 614.4(long) packets decoded in 1..2 slots\n[1]: 0\t[2]: 0\t"
      "Counter for 921.6 packets decoded in 1..2 slots\n[1]: 0\t[2]: 0\t"
      "Counter for 1228.8(short) packets decoded in 1 slot\n[0]: 0"
      "Counter for 1228.8(long) packets decoded in 1..2 slots\n[1]: 0\t[2]: 0\t"
      "Counter for 1843.2k packets decoded in 1 slot\n[0]: 0"
      "Counter for 2457.6k packets decoded in 1 slot\n[0]: 9");
  EXPECT_EQ(c.writes({"EVDO_FWDTRAFRATESLOTCNT_RATE_614400S", "EVDO_FWDTRAFRATESLOTCNT_RATE_2457600"}),
            "EVDO_FWDTRAFRATESLOTCNT_RATE_614400S_FOR_SLOT ULong[0] 7\n"
            "EVDO_FWDTRAFRATESLOTCNT_RATE_2457600_FOR_SLOT ULong[0] 9\n");
}

TEST_F(EvdoForward, ArqEffectiveRatesAndTheirAverage) {
  EXPECT_EQ(c.run(kArq, kArqPacket).details,
            "NumPackets: 3\n\t\n"
            "\n\tDecPktSlots: 1\n\tDecPktRate: 12 (2457600 bps)\n\tCRCCheck: 1 (Passed)\n\tHSTR: 300\n\t"
            "EffectiveReceiveRate: 2457.60 kbps\n\t\n"
            "\n\tDecPktSlots: 2\n\tDecPktRate: 5 (307200(L) bps)\n\tCRCCheck: 0 (Failed)\n\tHSTR: 511\n\t"
            "EffectiveReceiveRate: 614.40 kbps\n\t\n"
            "\n\tDecPktSlots: 0\n\tDecPktRate: 3 (153600 bps)\n\tCRCCheck: 1 (Passed)\n\tHSTR: 7\n\t"
            "EffectiveReceiveRate: n/a\n\t\n"
            "Average EffectiveReceiveRate: 1024.00 kbps\n\t\n");  // the packet of 0 slots counts in the divisor
  EXPECT_EQ(c.writes({"EVDO_ARQEFFRXRATE_HSTR", "EVDO_ARQEFFRXRATE_EFF", "EVDO_ARQEFFRXRATEAVG"}),
            "EVDO_ARQEFFRXRATE_HSTR_FOR_PKT UShort[0] 300\nEVDO_ARQEFFRXRATE_EFFRXRATE_FOR_PKT Double[0] 2457.6\n"
            "EVDO_ARQEFFRXRATE_HSTR_FOR_PKT UShort[1] 511\nEVDO_ARQEFFRXRATE_EFFRXRATE_FOR_PKT Double[1] 614.4\n"
            "EVDO_ARQEFFRXRATE_HSTR_FOR_PKT UShort[2] 7\nEVDO_ARQEFFRXRATEAVG Double[0] 1024\n");
  EXPECT_EQ(c.run(kArq, Bytes{0}).details, "NumPackets: 0\n\t\nAverage EffectiveReceiveRate: n/a\n\t\n");
  EXPECT_EQ(c.writes(), "EVDO_ARQEFFRXRATE_NUMPKTS Byte[0] 0\n");
}

TEST_F(EvdoForward, DrcChannelSlotTables) {
  Bytes v1;
  for (const std::uint16_t w : kSlotWords) v1.u16(w);
  EXPECT_EQ(c.run(kDrc, v1).details, drc_table());
  EXPECT_EQ(written(c, "EVDO_DRCCHANNELARQBUF_ACK_CHAN_ENABLED_FOR_SLOT", 2), "Byte 1");
  EXPECT_EQ(written(c, "EVDO_DRCCHANNELARQBUF_ACK_NACK_FOR_SLOT", 3), "Byte 1");
  EXPECT_EQ(written(c, "EVDO_DRCCHANNELARQBUF_DRC_VALUE_FOR_SLOT", 2), "Byte 15");
  EXPECT_EQ(written(c, "EVDO_DRCCHANNELARQBUF_DRC_COVER_FOR_SLOT", 2), "Byte 7");

  const std::string rest = "\t\nASPIndex\tDRCLock\tValid\n" + std::string(66, '-') +
                           "\n0\t\t    1\t\tYes\n1\t\t    0\t\tYes\n2\t\t    1\t\tNo\n3\t\t    0\t\tNo\n"
                           "4\t\t    0\t\tNo\n5\t\t    0\t\tYes\nDRCLockUpdateSlot: 9\n\t\nSlot\tRL_ASP\tFL_ASP\n" +
                           std::string(58, '-') + "\n0\t    2\t\t    1\n1\t    3\t\t    5\n";
  std::string asps;
  for (int s = 2; s < 16; ++s) asps += formatf("%d\t    0\t\t    0\n", s);
  EXPECT_EQ(c.run(kDrc2, drc2(kSlotWords, kSlotWords)).details,
            drc_table() + "SlotCnt: 7\n" + rest + asps + drc_table() + "SlotCnt: 9\n" + rest + asps);
  const std::string v2 = "EVDO_DRCCHANNELARQBUFVER2_";
  EXPECT_EQ(written(c, v2 + "BEST_ASP_RL_FOR_SLOT", 1) + ", " + written(c, v2 + "BEST_ASP_FL_FOR_SLOT", 1),
            "Byte 3, Byte 5");
  EXPECT_EQ(
      written(c, v2 + "DRC_LOCK_FOR_ASPIDX", 2) + ", " + written(c, v2 + "DRC_LOCK_VALID_FOR_ASPIDX_INSTANCE2", 5),
      "Byte 1, Byte 1");
  EXPECT_EQ(written(c, v2 + "SLOT_COUNT") + ", " + written(c, v2 + "SLOT_COUNT_INSTANCE2"), "Byte 7, Byte 9");
  EXPECT_EQ(written(c, "EVDO_DRC"), "Long 0");  // 26 of the 32 slots ask for nothing
}

TEST_F(EvdoForward, DrcElectionOverBothInstances) {
  std::array<std::uint16_t, 16> threes{}, nines{};
  threes.fill(slot_word(0, 3, false, false));
  nines.fill(slot_word(0, 9, false, false));
  c.run(kDrc2, drc2(threes, nines));
  EXPECT_EQ(written(c, "EVDO_DRC"), "Long 9");  // a tie goes to the higher index
  nines[15] = threes[0];
  c.run(kDrc2, drc2(threes, nines));
  EXPECT_EQ(written(c, "EVDO_DRC"), "Long 3");
  c.read_only = true;
  c.run(kDrc2, drc2(threes, nines));
  EXPECT_EQ(c.writes(), "");
}

TEST_F(EvdoForward, PacketHeadersShowAtMost32) {
  EXPECT_EQ(c.run(kHeaders, headers(2, 2)).details,
            "Version: 1, Number of packet headers: 2\nHdr\tHSTR\tData\tDRC\tSlots\tMAC\tPkt\n"
            "No.\t\tBits\tValue\tUsed\tIndex\tType\n1\t1000\t1024\t12\t1\t5\tUnicast data\n"
            "2\t65535\t8160\t3\t4\t63\tUndefined\n");
  const std::string& many = c.run(kHeaders, headers(40, 40)).details;
  EXPECT_EQ(std::count(many.begin(), many.end(), '\n'), 3 + 32);
  EXPECT_NE(many.find("\n32\t0\t0\t0\t0\t0\tBroadcast\n"), std::string::npos);
}

TEST_F(EvdoForward, EveryTruncationFailsWhole) {
  Bytes v1;
  for (const std::uint16_t w : kSlotWords) v1.u16(w);
  const std::pair<std::uint32_t, Bytes> packets[] = {
      {kSummary, summary(busy(), 10)},
      {kRateStat, rate_stat(busy(), 0, false)},
      {kSlotCount, Bytes{}.zeros(176)},
      {kArq, kArqPacket},
      {kDrc, v1},
      {kDrc2, drc2(kSlotWords, kSlotWords)},
      {kHeaders, headers(3, 3)},
  };
  for (const auto& [code, full] : packets) {
    // The packet headers run under the dispatcher's guard: the thrown failure leaves no text.
    const std::string failure = code == kHeaders ? "" : kNotQualcommStandard;
    sweep_truncations(code, full,
                      [&](const COrbExpandedMessage& msg, std::size_t) { EXPECT_EQ(msg.details, failure); });
  }
}

}  // namespace
}  // namespace cdmadiag::test
