// Rev A forward link statistics: single-user (0x1192), multi-user (0x1193), per-user (0x1283).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kSu = 0x1192;
constexpr std::uint32_t kMu = 0x1193;
constexpr std::uint32_t kMup = 0x1283;

using Counters = std::vector<std::pair<std::size_t, std::uint32_t>>;

// u32 counters at 4k, every other one 0.
Bytes counters(std::size_t n, const Counters& set) {
  Bytes b = Bytes{}.zeros(4 * n);
  for (const auto& [k, v] : set) b.at(4 * k).u32(v);
  return b;
}
Bytes su(const Counters& set) { return counters(322, set); }
Bytes mu(const Counters& set) { return counters(40, set); }

// Per-user packet: version, sequence number, then 8 sizes x (8 user counters, byte count).
Bytes mup(std::uint32_t seq, std::uint32_t bytes128, std::uint32_t bytes5120) {
  Bytes b = Bytes{}.u8(1).u32(seq).zeros(288);
  b.at(5);
  for (std::uint32_t u = 1; u <= 8; ++u) b.u32(u);
  b.u32(bytes128);
  return b.at(5 + 7 * 36).u32(3).at(5 + 7 * 36 + 32).u32(bytes5120);
}

// Sequence number 100; DRC 0 [128]: 2 good (both in 1 slot), 1 bad; DRC 6 [128]: 10 good in 1 slot, 2 bad;
// short CC [128]: 4 good in 1 slot, 1 bad.
const Counters kSuCounters{{0, 100}, {1, 2},    {5, 1},   {30, 10}, {34, 2},
                           {57, 2},  {253, 10}, {278, 4}, {281, 1}, {286, 4}};

// The drive's packets pin the whole text and every write; here the figures of this packet.
TEST(RevAForward, SingleUserTotalsAndRates) {
  DecoderCase c;
  c.run(kSu, su(kSuCounters));
  // Bits 1536 over 30 slots (2 + 10 in one slot, 1 bad x 16, 2 bad x 1); CC 512 bits over 8 slots.
  EXPECT_TRUE(c.msg.details.ends_with("\t\nTC PER Cumulative: 20.00%,  CC PER Cumulative: 20.00%\n"
                                      "\t\nTC Throughput Cumulative: 0.02,  CC Throughput Cumulative: 0.01\n"
                                      "\t\nTC Throughput When Served: 30.66  CC Throughput When Served: 38.32\n"));
  c.decimals = 4;
  EXPECT_EQ(c.writes({"RevASUFwdStats_TC_Total", "RevASUFwdStats_CC_Total", "RevASUFwdStats_TC_Rx_Throughput_W"}),
            "RevASUFwdStats_TC_TotalGoodPackets UInt64[0] 12\nRevASUFwdStats_TC_TotalBadPackets UInt64[0] 3\n"
            "RevASUFwdStats_TC_TotalPackets UInt64[0] 15\nRevASUFwdStats_CC_TotalPackets UInt64[0] 5\n"
            "RevASUFwdStats_CC_TotalBadPackets UInt64[0] 1\nRevASUFwdStats_CC_TotalGoodPackets UInt64[0] 4\n"
            "RevASUFwdStats_TC_Total_Good_Bits_Rx UInt64[0] 1536\nRevASUFwdStats_CC_Total_Good_Bits_Rx UInt64[0] 512\n"
            "RevASUFwdStats_TC_Rx_Throughput_When_Served Double[0] 30.6587\n");
}

// A TC histogram counter lands in the row of its format's nominal rate, at its slot position.
TEST(RevAForward, HistogramCountersLandInTheirRateRow) {
  struct Case {
    std::size_t k;
    const char* write;  // of the one non-zero cell
    int width;
  };
  for (const Case& t : {Case{57, "TC4800_Slots Long[0] 7", 16}, Case{72, "TC4800_Slots Long[15] 7", 16},
                        Case{121, "TC4800_Slots Long[0] 7", 16}, Case{184, "TC38400_Slots Long[15] 7", 16},
                        Case{216, "TC76800_Slots Long[7] 7", 8}, Case{252, "TC307200_Slots Long[3] 7", 4},
                        Case{256, "TC614400_Slots Long[0] 7", 2}, Case{271, "TC1228800_Slots Long[1] 7", 2},
                        Case{273, "TC1843200_Slots Long[0] 7", 1}, Case{276, "TC1536000_Slots Long[1] 7", 2},
                        Case{277, "TC3072000_Slots Long[0] 7", 1}}) {
    SCOPED_TRACE(t.k);
    DecoderCase c;
    c.run(kSu, su({{0, 1}, {t.k, 7}}));
    const std::string grid = c.writes({"RevA_SUFwdStats_"});
    EXPECT_NE(grid.find(std::string("RevA_SUFwdStats_") + t.write + "\n"), std::string::npos) << grid;
    EXPECT_EQ(std::ranges::count(grid, '\n'), t.width);
  }
}

// A first packet (nothing to compare with), the same again (no time between them), a later one, then a reset.
TEST(RevAForward, SingleUserInstantaneousValuesOverFourPackets) {
  struct Step {
    Counters counters;
    const char* writes;
    const char* per_line;
    const char* throughput_line;
  };
  const std::vector<Step> steps{
      {kSuCounters,
       "RevASUFwdStats_TC_PacketErrorRateInstantaneous NoValue[0]\n"
       "RevASUFwdStats_CC_PacketErrorRateInstantaneous NoValue[0]\n"
       "RevASUFwdStats_TC_Rx_Throughput_Instantaneous NoValue[0]\n"
       "RevASUFwdStats_CC_Rx_Throughput_Instantaneous NoValue[0]\n",
       nullptr, nullptr},
      {kSuCounters,
       "RevASUFwdStats_TC_PacketErrorRateInstantaneous Double[0] 0\n"
       "RevASUFwdStats_CC_PacketErrorRateInstantaneous Double[0] 0\n"
       "RevASUFwdStats_TC_Rx_Throughput_Instantaneous NoValue[0]\n"
       "RevASUFwdStats_CC_Rx_Throughput_Instantaneous NoValue[0]\n",
       "TC PER Instantaneous: 0.00%,  CC PER Instantaneous: 0.00%", nullptr},
      // 12 more good TC packets, 1536 more bits over 10 sequence steps; CC unchanged.
      {{{0, 110}, {1, 4}, {5, 1}, {30, 20}, {34, 2}, {57, 4}, {253, 20}, {278, 4}, {281, 1}, {286, 4}},
       "RevASUFwdStats_TC_PacketErrorRateInstantaneous Double[0] 0\n"
       "RevASUFwdStats_CC_PacketErrorRateInstantaneous Double[0] 0\n"
       "RevASUFwdStats_TC_Rx_Throughput_Instantaneous Double[0] 0.1536\n"
       "RevASUFwdStats_CC_Rx_Throughput_Instantaneous Double[0] 0\n",
       "\t\nTC PER Instantaneous: 0.00%,  CC PER Instantaneous: 0.00%\n",
       "\t\nTC Throughput Instantaneous: 0.15,  CC Throughput Instantaneous: 0.00\n"},
      {{{0, 5}, {1, 1}},
       "RevASUFwdStats_TC_PacketErrorRateInstantaneous NoValue[0]\n"
       "RevASUFwdStats_CC_PacketErrorRateInstantaneous NoValue[0]\n"
       "RevASUFwdStats_TC_Rx_Throughput_Instantaneous NoValue[0]\n"
       "RevASUFwdStats_CC_Rx_Throughput_Instantaneous NoValue[0]\n",
       nullptr,
       nullptr},
  };
  DecoderCase c;
  for (const Step& s : steps) {
    c.run(kSu, su(s.counters));
    EXPECT_EQ(c.writes({"RevASUFwdStats_TC_PacketErrorRateI", "RevASUFwdStats_CC_PacketErrorRateI",
                        "RevASUFwdStats_TC_Rx_Throughput_I", "RevASUFwdStats_CC_Rx_Throughput_I"}),
              s.writes);
    EXPECT_EQ(c.msg.details.find("PER Instantaneous") != std::string::npos, s.per_line != nullptr);
    if (s.per_line) {
      EXPECT_NE(c.msg.details.find(s.per_line), std::string::npos);
    }
    EXPECT_EQ(c.msg.details.find("Throughput Instantaneous") != std::string::npos, s.throughput_line != nullptr);
    if (s.throughput_line) {
      EXPECT_NE(c.msg.details.find(s.throughput_line), std::string::npos);
    }
  }
}

// Nothing counted and sequence number 0: no division by zero anywhere, no grid row.
TEST(RevAForward, SingleUserZeroTotals) {
  DecoderCase c;
  c.run(kSu, su({}));
  EXPECT_EQ(c.writes({"RevA_SUFwdStats_"}), "");
  EXPECT_EQ(c.writes({"RevASUFwdStats_TC_Rx_Throughput_C", "RevASUFwdStats_TC_Rx_Throughput_W",
                      "RevASUFwdStats_TC_PacketErrorRateC"}),
            "RevASUFwdStats_TC_PacketErrorRateCumulative Double[0] 0\n"
            "RevASUFwdStats_TC_Rx_Throughput_Cumulative NoValue[0]\n"
            "RevASUFwdStats_TC_Rx_Throughput_When_Served Double[0] 0\n");
  EXPECT_TRUE(
      c.msg.details.ends_with("\t\nTC PER Cumulative: 0.00%,  CC PER Cumulative: 0.00%\n"
                              "\t\nTC Throughput When Served: 0.00  CC Throughput When Served: 0.00\n"));
}

TEST(RevAForward, ReadOnlyStillWritesTheSlotGridOnly) {
  DecoderCase c;
  c.read_only = true;
  c.title_wanted = c.details_wanted = false;
  c.run(kSu, su({{0, 1}, {256, 3}}));
  EXPECT_EQ(c.writes(), "RevA_SUFwdStats_TC614400_Slots Long[0] 3\nRevA_SUFwdStats_TC614400_Slots Long[1] 0\n");
  EXPECT_EQ(c.msg.title + c.msg.details, "");
}

// Sequence number 50; DRC 3 [128]: 10 good in 1 slot, 2 bad; DRC 5 [2048]: 5 good, 3 in 1 slot and 2 in 2.
const Counters kMuCounters{{0, 50}, {1, 10}, {5, 2}, {6, 5}, {14, 10}, {30, 3}, {31, 2}};

TEST(RevAForward, MultiUserRatesAndOneSecondThroughput) {
  DecoderCase c;
  c.run(kMu, mu(kMuCounters));
  // 11520 good bits, 2 bad of 17; 25 slots (2 bad x 4, 10 + 3 in one slot, 2 in two).
  EXPECT_NE(c.msg.details.find("Counter for DRC 5 [2048, 4, 128]  packets decoded in 1..4 slots\nSlot1: 3 Slot2: 2 "
                               "Slot3: 0 Slot4: 0 \n"),
            std::string::npos);
  EXPECT_TRUE(c.msg.details.ends_with("Packet error rate 0.12\nThroughput when served 275.93\n"
                                      "Instantaneous throughput 230.00\nInstantaneous throughput (1sec) n/a\n"));
  c.decimals = 4;
  EXPECT_TRUE(c.writes().ends_with(
      "RevAMUFwdStats_TC13_5120bits ULong[1] 0\nRevAMUFwdStats_Multi_User_PER Double[0] 0.1176\n"
      "RevAMUFwdStats_Multi_User_Throughput_when_served Double[0] 275.9281\n"
      "RevAMUFwdStats_Multi_User_Instantaneous_throughput Double[0] 230\nMulti_User_TotalAtData UInt64[0] 11520\n"));

  // 10 more [128] packets, 1280 bits over 10 steps; then a reset writes no one-second value.
  c.run(kMu, mu({{0, 60}, {1, 20}, {5, 2}, {6, 5}}));
  EXPECT_EQ(c.writes({"RevAMUFwdStats_Multi_User_Instantaneous_throughput_1"}),
            "RevAMUFwdStats_Multi_User_Instantaneous_throughput_1_sec Double[0] 128\n");
  EXPECT_TRUE(c.msg.details.ends_with("Instantaneous throughput (1sec) 128.00\n"));
  c.run(kMu, mu({{0, 2}, {1, 1}}));
  EXPECT_EQ(c.writes({"RevAMUFwdStats_Multi_User_Instantaneous_throughput_1"}), "");
}

TEST(RevAForward, MultiUserNothingCountedIsNotAvailable) {
  DecoderCase c;
  c.run(kMu, mu({}));
  EXPECT_EQ(c.writes({"RevAMUFwdStats_Multi", "Multi"}), "Multi_User_TotalAtData UInt64[0] 0\n");
  EXPECT_TRUE(
      c.msg.details.ends_with("Packet Error Rate n/a\nThroughput when served n/a\n"
                              "Instantaneous throughput n/a\nInstantaneous throughput (1sec) n/a\n"));
}

TEST(RevAForward, PerUserRatesAndOneSecondThroughput) {
  DecoderCase c;
  c.run(kMup, mup(10, 100, 50));
  // 150 bytes, 1200 bits over sequence number 10; the first packet has nothing to compare with: 0.
  EXPECT_NE(c.msg.details.find("Seq No : 10\n128bits_Good[1..8] 1  2  3  4  5  6  7  8  \nbytes_for_user_128 100\n"),
            std::string::npos);
  EXPECT_TRUE(c.msg.details.ends_with(
      "5120bits_Good[1..8] 3  0  0  0  0  0  0  0  \nInstantaneous throughput 120.00\n"
      "Instantaneous throughput (1sec) 0.00\n"));
  EXPECT_TRUE(c.writes().ends_with(
      "MUP_bytes_for_user_5120 ULong[0] 50\nMUP_InstantaneousRealThoughputMUP Double[0] 120\n"
      "MUP_InstantaneousRealThoughputMUP_1Sec Double[0] 0\nMUP_TotalAtData UInt64[0] 1200\n"));

  struct Step {
    std::uint32_t seq, bytes128;
    const char* one_second;  // write
    bool shown;
  };
  // 800 more bits over 10 steps; the same sequence number again; then counters reset.
  for (const Step& s :
       {Step{20, 200, "Double[0] 80", true}, Step{20, 200, "Double[0] 0", true}, Step{5, 10, "NoValue[0]", false}}) {
    c.run(kMup, mup(s.seq, s.bytes128, 50));
    EXPECT_EQ(c.writes({"MUP_InstantaneousRealThoughputMUP_1"}),
              std::string("MUP_InstantaneousRealThoughputMUP_1Sec ") + s.one_second + "\n");
    EXPECT_EQ(c.msg.details.find("(1sec)") != std::string::npos, s.shown);
  }
  // Sequence number 65536: its low half is 0, the whole still divides.
  c.run(kMup, mup(65536, 65536 - 50, 50));
  EXPECT_TRUE(
      c.writes({"MUP_InstantaneousRealThoughputMUP"}).starts_with("MUP_InstantaneousRealThoughputMUP Double[0] 8\n"));
}

// Short packets throw inside the guard before the title or anything else is set.
TEST(RevAForward, EveryTruncationFailsBeforeTheTitle) {
  for (const auto& [code, full] :
       {std::pair{kSu, su(kSuCounters)}, std::pair{kMu, mu(kMuCounters)}, std::pair{kMup, mup(10, 100, 50)}}) {
    sweep_truncations(code, full, [](const DecoderCase& c, std::size_t) {
      EXPECT_EQ(c.failures, std::vector<std::string>{kNotQualcommStandard});
      EXPECT_EQ(c.msg.title + c.msg.details + c.writes(), "");
    });
  }
}

}  // namespace
}  // namespace cdmadiag::test
