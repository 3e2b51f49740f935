// Scanner top-N pilots (0x20AB, 0x21AB) and the searcher path log (0x100C).
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/attributes.h"
#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kTopN = 0x20AB;
constexpr std::uint32_t kTopNV2 = 0x21AB;
constexpr std::uint32_t kPathLog = 0x100C;

struct Block {
  int pn, status;
  float ecio;
  std::uint32_t slot = 7;
};

// Header: comm 1, device 2, status 0, loop 3, scan 4, band 1, protocol 2, channel 283,
// style 0, 64 taps, window 20, threshold -20 dB, Io -85.5 dBm; blocks with
// TOffset 5, Aggr = Ec/Io + 1, Eps -30, Ess -31, Epc -32, spread 3, SigInt 8.25.
Bytes scanner(const std::vector<Block>& blocks, std::uint32_t data_mode = 0, std::int64_t count = -1) {
  Bytes b = Bytes{}.i32(1).i32(2).i32(0).i32(3).i32(4).i32(1).i32(2).u32(data_mode).u32(283).i32(0);
  b.i32(64).i32(20).i32(-20).f32(-85.5f).u32(count < 0 ? static_cast<std::uint32_t>(blocks.size())
                                                       : static_cast<std::uint32_t>(count));
  for (const Block& k : blocks) {
    b.i16(k.pn).i16(k.status).f32(k.ecio).i16(5).f32(k.ecio + 1).f32(-30).f32(-31).f32(-32);
    b.u16(k.slot).zeros(2).u8(3).zeros(1).f32(8.25f).zeros(4);
  }
  return b;
}

// Strongest (PN 40) invalid, PN 12 and PN 100 tied, PN 512 ranked but not listed,
// PN 300 fifth, PN 400 exactly at threshold A (-15 dB), which it must exceed; a negative
// PN and a NaN never rank.
const std::vector<Block> kSeven = {{12, 0, -3.5f},   {40, 1, -1.0f},  {512, 0, -6.0f},
                                   {100, 0, -3.5f},  {200, 0, -9.0f}, {300, 0, -12.0f},
                                   {400, 0, -15.0f}, {-3, 0, -2.0f},  {7, 0, NAN}};
constexpr const char* kHeaderLines =
    "Comm: 1, Device Id: 2, Status: OK, Loop Count: 3, Scan Num: 4\n"
    "Band: 1900 MHz PCS, Protocol: CDMA2000 1x, Data Mode: 0x%02x, Channel: 283, Channel Style: Standard\n"
    "Correlation Taps: 64, Chip Window Size: 20, PN Threshold: -20 dB, Io: -85.50 dBm, Num Data Blocks: %d\n";

// Pregain x4, 256 chips, one pass: raw energy e reads 10 log10(e) - 42.651 dB.
// Records: PN 100 active, PN 200 neighbour (tied with PN 100), PN 300 unheard.
Bytes path_log(std::uint8_t count = 3) {
  Bytes b = Bytes{}.u8(1).u8(64).u8(0).u16(0x8000 | 100).at(14).u8(count).at(23);
  const auto record = [&b](std::uint16_t word, std::vector<std::uint16_t> e) {
    b.u16(word).zeros(2).u16(0x0100).u16(0x0108).u16(0x0110).u16(0x0118);
    for (const std::uint16_t v : e) b.u16(v);
    b.zeros(2).u8(150).zeros(1);
  };
  record(0x8000 | 100, {1000, 10000, 0, 100});
  record(0x2000 | 200, {10000, 0, 0, 0});
  record(300, {0, 0, 0, 0});
  return b;
}

class Scanner : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(Scanner, SecondLayoutRanksTheFourStrongestValidPilots) {
  const auto& msg = c.run(kTopNV2, scanner(kSeven));
  EXPECT_EQ(msg.category, 0xA7);
  EXPECT_EQ(msg.details, formatf(kHeaderLines, 0, 9) +
                             "Nbr.\tData\tPDelay\tSpread\tEcIo\tIo\tIo\tIo\tRatio\t\n"
                             "PN\tEcIo\tTOffset\tDelay\tAggr\tEps\tEss\tEpc\tSigInt\tStatus\n"
                             "\t(dB)\t(chips)\t(chips)\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\t\n"
                             "12\t-3.50\t5\t3\t-2.50\t-30.00\t-31.00\t-32.00\t8.25\tValid\n"
                             "40\t-1.00\t5\t3\t0.00\t-30.00\t-31.00\t-32.00\t8.25\tBelow Threshold\n"
                             "100\t-3.50\t5\t3\t-2.50\t-30.00\t-31.00\t-32.00\t8.25\tValid\n"
                             "200\t-9.00\t5\t3\t-8.00\t-30.00\t-31.00\t-32.00\t8.25\tValid\n"
                             "300\t-12.00\t5\t3\t-11.00\t-30.00\t-31.00\t-32.00\t8.25\tValid\n"
                             "400\t-15.00\t5\t3\t-14.00\t-30.00\t-31.00\t-32.00\t8.25\tValid\n"
                             "-3\t-2.00\t5\t3\t-1.00\t-30.00\t-31.00\t-32.00\t8.25\tValid\n"
                             "7\tnan\t5\t3\tnan\t-30.00\t-31.00\t-32.00\t8.25\tValid\n");
  // Valid and above threshold A, in block order: the tie (12, 100) keeps it, 512 ranks unlisted.
  EXPECT_EQ(c.writes({"PN_SCANNER", "I0", "CDMA_PNSCAN_ECIO_BY", "TOP_N_PN"}),
            "PN_SCANNER_CHANNEL_NUMBER DWord[0] 283\nI0_ALL_PILOTS Double[0] -85.5\n"
            "CDMA_PNSCAN_ECIO_BY_PN Double[12] -3.5\nCDMA_PNSCAN_ECIO_BY_PN Double[512] -6\n"
            "CDMA_PNSCAN_ECIO_BY_PN Double[100] -3.5\nCDMA_PNSCAN_ECIO_BY_PN Double[200] -9\n"
            "CDMA_PNSCAN_ECIO_BY_PN Double[300] -12\nTOP_N_PN_OFFSET Short[0] 12\nTOP_N_PN_OFFSET Short[1] 100\n"
            "TOP_N_PN_OFFSET Short[2] 512\nTOP_N_PN_OFFSET Short[3] 200\n");
}

TEST_F(Scanner, FirstLayoutShowsTimeSlotsAndTheSpreadOnlyWhenCarried) {
  const std::vector<Block> two = {{12, 0, -3.5f, 17}, {512, 0, -6.0f, 18}, {100, 2, -40.0f, 3}};
  const auto& msg = c.run(kTopN, scanner(two));
  EXPECT_EQ(msg.details,
            formatf(kHeaderLines, 0, 3) +
                "Num\tEcIo\tTOffset\tAggr\tEps\tEss\tEpc\tSig\tStatus\n\t\tOR\t\t\t\tPCH\tInt\t\n"
                "ber\tData\tPDelay\tEcIo\tIo\tIo\tIo\tRatio\t\n\t(dB)\t(chips)\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\t\n"
                "12\t-3.50\t5\t-2.50\t-30.00\t-31.00\t-32.00\t8.25\tValid\n"
                "100\t-40.00\t5\t-39.00\t-30.00\t-31.00\t-32.00\t8.25\tNot Measured\n"
                "TSN       \tTSN       \t\n017: -3.50\t003: -40.00\t\n");
  EXPECT_TRUE(c.of("ATTR_ID_DELAY_SPREAD_PN").empty());
  const auto& spread = c.run(kTopN, scanner(two, 0x01));
  EXPECT_NE(spread.details.find("\t(dB)\t(chips)\t(chips)\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\t\n12\t-3.50\t5\t3\t"),
            std::string::npos);
  EXPECT_EQ(c.of("ATTR_ID_DELAY_SPREAD_PN").size(), 2u);
}

// A count that does not match the packet keeps the header only, whatever the count:
// 536870914 blocks would wrap to the packet's own 140 bytes in 32 bits.
TEST_F(Scanner, LyingBlockCountsShowTheHeaderAndWriteOnlyChannelAndIo) {
  const std::vector<Block> two = {{12, 0, -3.5f}, {100, 0, -4.0f}};
  for (const std::int64_t count : {0LL, 1LL, 3LL, 536870914LL, 0xFFFFFFFFLL}) {
    for (const std::uint32_t code : {kTopN, kTopNV2}) {
      const auto& msg = c.run(code, scanner(two, 0, count));
      EXPECT_EQ(msg.details, formatf(kHeaderLines, 0, static_cast<int>(count))) << count;
      EXPECT_EQ(c.writes(), "PN_SCANNER_CHANNEL_NUMBER DWord[0] 283\nI0_ALL_PILOTS Double[0] -85.5\n") << count;
    }
  }
}

TEST_F(Scanner, PathLogListsEveryRecordAndRanksTheHeardPilots) {
  const auto& msg = c.run(kPathLog, path_log());
  EXPECT_EQ(msg.details,
            "Pilot Scanner Dense-Pack Data\n\nActive Pilot PN:\t100\nIntegration Time:\t256 chips\nSearch Count:\t3\n\n"
            "PN \tS\t E1  \t E2 \t  E3  \t E4  \t P1 \t P2 \t P3 \t P4 \t  Rx  \n"
            "100\tA\t-12.7\t -2.7\t  n/a\t-22.7\t0100\t0108\t0110\t0118\t-101.2\t\n"
            "200\tN\t -2.7\t  n/a\t  n/a\t  n/a\t0100\t0108\t0110\t0118\t-101.2\t\n"
            "300\t-\t  n/a\t  n/a\t  n/a\t  n/a\t0100\t0108\t0110\t0118\t   n/a\t\n"
            "Average Rx:\t-101.2");
  c.decimals = 3;
  EXPECT_EQ(c.writes(),
            "PN_ECIO_SET Double[100] -2.651\nPN_ECIO_SET Double[200] -2.651\n"
            "CDMA_PNSCAN_ECIO_SORTEDBY_ECIO Double[0] -2.651\nCDMA_PNSCAN_PN_SORTEDBY_ECIO UShort[0] 100\n"
            "CDMA_PNSCAN_ECIO_SORTEDBY_ECIO Double[1] -2.651\nCDMA_PNSCAN_PN_SORTEDBY_ECIO UShort[1] 200\n"
            "I0_ALL_PILOTS Double[0] -97.975\n");
  // An RF mode other than cellular or PCS leaves the receive power unknown.
  c.st.ds.SetLong(ATTR_ID_RF_MODE, 5, 0, kNoBound, 0);
  EXPECT_TRUE(c.run(kPathLog, path_log()).details.ends_with("0118\t   n/a\t\nAverage Rx:\tn/a"));
  EXPECT_TRUE(c.of("ATTR_ID_I0_ALL_PILOTS").empty());
}

TEST_F(Scanner, EveryShorterPacketIsSafe) {
  for (const auto& [code, mode] : {std::pair{kTopN, 1u}, std::pair{kTopNV2, 0u}}) {
    const std::string header = formatf(kHeaderLines, mode, 9);
    sweep_truncations(code, scanner(kSeven, mode), [&header](const COrbExpandedMessage& msg, std::size_t n) {
      EXPECT_EQ(msg.details, n < 60 ? std::string(kNotQualcommStandard) : header);
    });
  }
  sweep_truncations(kPathLog, path_log(), [](const COrbExpandedMessage& msg, std::size_t) {
    EXPECT_EQ(msg.details, "Error: Not enough data in message!");
  });
  // Exactly the records the count asks for are enough; a count of none needs the header only.
  EXPECT_TRUE(c.run(kPathLog, path_log(2)).details.ends_with("Average Rx:\t-101.2"));
  EXPECT_TRUE(c.run(kPathLog, path_log(0).prefix(23)).details.ends_with("Average Rx:\tn/a"));
}

}  // namespace
}  // namespace cdmadiag::test
