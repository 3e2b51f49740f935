// Markov statistics response: the validity test, the matrix text, and the frame
// error arithmetic with the totals read back from the previous response.
#include <gtest/gtest.h>

#include <array>

#include "support/decoder_case.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

constexpr auto kDecode = &F::DecodeMarkovStatisticsResponse;

// counts[row][category]: rows expected full, 1/2, 1/4, 1/8.
using Matrix = std::array<std::array<std::uint16_t, 10>, 4>;

Bytes markov(std::uint8_t mode, std::uint16_t rate, std::uint16_t rx_state, std::uint32_t total,
             std::uint32_t phone_bad, const Matrix& counts) {
  Bytes b;
  b.u8(mode).u16(rate).u16(rx_state).u32(total).u32(phone_bad);
  for (const auto& row : counts) {
    for (std::uint16_t v : row) b.u16(v);
  }
  return b.u32(17).u16(1).u16(2).u16(3).u16(4);  // bit errors 17
}

// 90 good full-rate frames, 2 taken for 1/2 and 3 erased; 4 good half-rate frames
// and one taken for full rate: 6 bad of 100. Scaled by k.
Matrix some_errors(std::uint16_t k = 1) {
  Matrix m{};
  m[0][0] = 90 * k;
  m[0][5] = 2 * k;
  m[0][9] = 3 * k;
  m[1][5] = 4 * k;
  m[1][0] = 1 * k;
  return m;
}

std::string summary(const std::string& text) { return text.substr(text.find("Total frames:")); }

}  // namespace

TEST(MarkovResponse, MatrixAndSummaryByteForByte) {
  DecoderCase d;
  d.call(kDecode, markov(3, 4, 4, 100, 0, some_errors()));
  EXPECT_EQ(d.msg.title, "Markov Statistics Response");
  EXPECT_EQ(d.msg.details,
            "Mode: Markov\nRate: Rate 1\nRx state: Traffic Channel State\n\t\t\t\t\t         Expected "
            "Values\n\t\t\t\t=====================================\nReceived Values\t\t\tFull\t1/2\t1/4\t1/8\n"
            "Full prim.\t\t\t90\t1\t0\t0\n"
            "Full d&&b prim 1/2 sig.\t\t0\t0\t0\t0\n"
            "Full d&&b prim 1/4 sig.\t\t0\t0\t0\t0\n"
            "Full d&&b prim 1/8 sig.\t\t0\t0\t0\t0\n"
            "Full b&&b sig.\t\t\t0\t0\t0\t0\n"
            "1/2 prim.\t\t\t2\t4\t0\t0\n"
            "1/4 prim. \t\t\t0\t0\t0\t0\n"
            "1/8 prim. \t\t\t0\t0\t0\t0\n"
            "Full bit errs.\t\t\t0\t0\t0\t0\n"
            "Erasure\t\t\t\t3\t0\t0\t0\n"
            "Total frames: 100, Bad frames: 6, Bit errors: 17, FER(Instantaneous): 6.0000, FER(Cumulative): 6.0000\n");
  EXPECT_EQ(d.writes(),
            "FORWARD_FER Double[0] 6\nMarkov_Last_Bad_Frames DWord[0] 6\nMarkov_Last_Total_Frames DWord[0] 100\n");
}

// The correct column differs per expected rate: 0, 5, 6, 7.
TEST(MarkovResponse, BadFramesAreTheEntriesOutsideEachRowsCorrectColumn) {
  Matrix m{};
  m[0][0] = m[1][5] = m[2][6] = m[3][7] = 10;
  m[2][7] = 1;
  m[3][6] = 2;
  DecoderCase d;
  d.call(kDecode, markov(7, 0, 4, 43, 0, m));
  EXPECT_EQ(summary(d.msg.details),
            "Total frames: 43, Bad frames: 3, Bit errors: 17, FER(Instantaneous): 6.9767, FER(Cumulative): 6.9767\n");
}

// The instantaneous rate counts only the frames since the previous response; counters
// that went backwards were restarted and are taken whole.
TEST(MarkovResponse, InstantaneousRateUsesThePreviousTotals) {
  const struct {
    std::uint32_t total;
    std::uint16_t scale;
    const char* rates;
  } sequence[] = {{100, 1, "6.0000, FER(Cumulative): 6.0000"},
                  {250, 2, "4.0000, FER(Cumulative): 4.8000"},  // 6 bad of the 150 since
                  {100, 1, "6.0000, FER(Cumulative): 6.0000"},
                  {100, 1, "(no frames transmitted), FER(Cumulative): 6.0000"}};
  DecoderCase d;
  for (const auto& p : sequence) {
    d.call(kDecode, markov(3, 4, 4, p.total, 0, some_errors(p.scale)));
    EXPECT_NE(summary(d.msg.details).find(std::string("FER(Instantaneous): ") + p.rates + "\n"), std::string::npos)
        << d.number;
  }
  EXPECT_EQ(d.of("ATTR_ID_FORWARD_FER").back().op, WriteOp::kSetNoValue);
}

TEST(MarkovResponse, NoRateWithoutFramesOrOutsideACall) {
  DecoderCase none;
  none.call(kDecode, markov(3, 4, 4, 0, 0, Matrix{}));
  EXPECT_EQ(summary(none.msg.details),
            "Total frames: 0, Bad frames: 0, Bit errors: 17, FER(Instantaneous): (no frames transmitted), "
            "FER(Cumulative): (no frames transmitted)\n");
  EXPECT_EQ(none.of("ATTR_ID_FORWARD_FER").at(0).op, WriteOp::kSetNoValue);
  DecoderCase idle;
  idle.call(kDecode, markov(10, 4, 2, 100, 0, some_errors()));
  EXPECT_EQ(summary(idle.msg.details),
            "Total frames: 100, Bad frames: 6, Bit errors: 17, FER(Instantaneous): (phone not in call), "
            "FER(Cumulative): (phone not in call)\n");
  EXPECT_EQ(idle.of("ATTR_ID_FORWARD_FER").at(0).op, WriteOp::kSetNoValue);
}

TEST(MarkovResponse, NoModeKeepsTheNonMarkovCounters) {
  DecoderCase d;
  d.call(kDecode, markov(0, 0, 0, 50, 5, Matrix{}));
  EXPECT_EQ(d.msg.details, "Mode: No mode (phone not in a call)\nRate: Rate Variable\nRx state: Entering CDMA State\n");
  EXPECT_EQ(d.writes(),
            "Bad_Frames_For_NonMarkov_FER DWord[0] 5\nTotal_Frames_For_Non_Markov_FER DWord[0] 50\n"
            "FER_NON_MARKOV Double[0] 10\n");
  d.call(kDecode, markov(0, 0, 0, 150, 25, Matrix{}));
  EXPECT_DOUBLE_EQ(d.of("ATTR_ID_FER_NON_MARKOV").back().value, 20.0);  // 20 bad of the 100 since
}

TEST(MarkovResponse, InvalidHeadersGiveOnlyTheTitle) {
  for (const auto& [mode, rate, rx_state] : {std::tuple{12, 4, 4}, {0x35, 4, 4}, {3, 5, 4}, {3, 4, 6}}) {
    DecoderCase d;
    d.call(kDecode, markov(mode, rate, rx_state, 100, 0, some_errors()));
    EXPECT_EQ(d.msg.title + "|" + d.msg.details, "Markov Statistics Response|") << mode << rate << rx_state;
    EXPECT_EQ(d.writes(), "");
  }
  DecoderCase d;  // modes 0x36 and 0x37 pass but have no name
  d.call(kDecode, markov(0x36, 1, 1, 100, 0, some_errors()));
  EXPECT_EQ(d.msg.details, "Mode: Invalid ValueRate: Rate 1/8\nRx state: Sync Channel State\n");
}

TEST(MarkovResponse, TruncatedPayloadsNeverReadPastTheEnd) {
  cdmadiag::test::sweep_truncations(kDecode, markov(3, 4, 4, 100, 0, some_errors()),
                                    [](const DecoderCase& d, std::size_t) { EXPECT_EQ(d.writes(), ""); });
}

// Every frame bad is still a rate, 100 %; one bad frame more than the total is none.
TEST(MarkovResponse, BadFramesEqualToTotalGiveOneHundredPercent) {
  Matrix m{};
  m[0][9] = 40;  // 40 full-rate frames, all erased
  DecoderCase all;
  all.call(kDecode, markov(3, 4, 4, 40, 0, m));
  EXPECT_EQ(summary(all.msg.details),
            "Total frames: 40, Bad frames: 40, Bit errors: 17, FER(Instantaneous): 100.0000, FER(Cumulative): "
            "100.0000\n");
  EXPECT_EQ(all.of("ATTR_ID_FORWARD_FER").at(0).value, 100.0);
  DecoderCase over;
  over.call(kDecode, markov(3, 4, 4, 39, 0, m));
  EXPECT_EQ(summary(over.msg.details),
            "Total frames: 39, Bad frames: 40, Bit errors: 17, FER(Instantaneous): (no frames transmitted), "
            "FER(Cumulative): (no frames transmitted)\n");
  EXPECT_EQ(over.of("ATTR_ID_FORWARD_FER").at(0).op, WriteOp::kSetNoValue);
}
