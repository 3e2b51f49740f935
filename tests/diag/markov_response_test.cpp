// Markov statistics response: the validity test, the matrix text, and the frame
// error arithmetic with the totals read back from the previous response.
#include <gtest/gtest.h>

#include <array>

#include "diag/diag_fixture.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::Decoded;
using cdmadiag::test::prefix;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// counts[row][category]: rows expected full, 1/2, 1/4, 1/8.
using Matrix = std::array<std::array<std::uint16_t, 10>, 4>;

Bytes markov(std::uint8_t mode, std::uint16_t rate, std::uint16_t rx_state, std::uint32_t total,
             std::uint32_t phone_bad, const Matrix& counts, std::uint32_t bit_errors = 17) {
  Bytes b;
  b.u8(mode).u16(rate).u16(rx_state).u32(total).u32(phone_bad);
  for (const auto& row : counts) {
    for (std::uint16_t v : row) b.u16(v);
  }
  b.u32(bit_errors).u16(1).u16(2).u16(3).u16(4);
  return b;
}

// 90 good full-rate frames, 2 taken for 1/2 and 3 erased; 4 good half-rate frames
// and one taken for full rate: 6 bad of 100.
Matrix some_errors() {
  Matrix m{};
  m[0][0] = 90;
  m[0][5] = 2;
  m[0][9] = 3;
  m[1][5] = 4;
  m[1][0] = 1;
  return m;
}

Matrix scaled(const Matrix& m, std::uint16_t k) {
  Matrix out = m;
  for (auto& row : out) {
    for (auto& v : row) v = static_cast<std::uint16_t>(v * k);
  }
  return out;
}

constexpr const char* kMarkovHead =
    "Mode: Markov\nRate: Rate 1\nRx state: Traffic Channel State\n\t\t\t\t\t         Expected "
    "Values\n\t\t\t\t=====================================\nReceived Values\t\t\tFull\t1/2\t1/4\t1/8\n";

std::string summary(const std::string& text) { return text.substr(text.find("Total frames:")); }

}  // namespace

TEST(MarkovResponse, MatrixAndSummaryByteForByte) {
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse, markov(3, 4, 4, 100, 0, some_errors()));
  EXPECT_EQ(d.msg.title, "Markov Statistics Response");
  EXPECT_EQ(d.msg.details, std::string(kMarkovHead) +
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
                               "Total frames: 100, Bad frames: 6, Bit errors: 17, FER(Instantaneous): 6.0000, "
                               "FER(Cumulative): 6.0000\n");
  const auto fer = d.of("ATTR_ID_FORWARD_FER");
  ASSERT_EQ(fer.size(), 1u);
  EXPECT_EQ(fer[0].op, WriteOp::kSetDouble);
  EXPECT_DOUBLE_EQ(fer[0].value, 6.0);
  EXPECT_EQ(d.of("ATTR_ID_Markov_Last_Bad_Frames").at(0).value, 6);
  EXPECT_EQ(d.of("ATTR_ID_Markov_Last_Total_Frames").at(0).value, 100);
}

// The correct column differs per expected rate: 0, 5, 6, 7.
TEST(MarkovResponse, BadFramesAreTheEntriesOutsideEachRowsCorrectColumn) {
  Matrix m{};
  m[0][0] = 10;
  m[1][5] = 10;
  m[2][6] = 10;
  m[3][7] = 10;
  m[2][7] = 1;
  m[3][6] = 2;
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse, markov(7, 0, 4, 43, 0, m));
  EXPECT_EQ(summary(d.msg.details),
            "Total frames: 43, Bad frames: 3, Bit errors: 17, FER(Instantaneous): 6.9767, FER(Cumulative): 6.9767\n");
}

// The second response's rate counts only the frames since the first.
TEST(MarkovResponse, InstantaneousRateUsesThePreviousTotals) {
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse, markov(3, 4, 4, 100, 0, some_errors()), 1);
  d.msg = COrbExpandedMessage{};
  d.run(&F::DecodeMarkovStatisticsResponse, markov(3, 4, 4, 250, 0, scaled(some_errors(), 2)), 2);
  // 12 bad of 250 in all; 6 bad of the 150 since the first response.
  EXPECT_EQ(summary(d.msg.details),
            "Total frames: 250, Bad frames: 12, Bit errors: 17, FER(Instantaneous): 4.0000, "
            "FER(Cumulative): 4.8000\n");
  EXPECT_DOUBLE_EQ(d.of("ATTR_ID_FORWARD_FER").back().value, 4.0);
}

TEST(MarkovResponse, CountersThatRestartedAreTakenWhole) {
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse, markov(3, 4, 4, 250, 0, scaled(some_errors(), 2)), 1);
  d.msg = COrbExpandedMessage{};
  d.run(&F::DecodeMarkovStatisticsResponse, markov(3, 4, 4, 100, 0, some_errors()), 2);
  EXPECT_DOUBLE_EQ(d.of("ATTR_ID_FORWARD_FER").back().value, 6.0);
}

TEST(MarkovResponse, NoFramesGivesNoRate) {
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse, markov(3, 4, 4, 0, 0, Matrix{}));
  EXPECT_EQ(summary(d.msg.details),
            "Total frames: 0, Bad frames: 0, Bit errors: 17, FER(Instantaneous): (no frames "
            "transmitted), FER(Cumulative): (no frames transmitted)\n");
  const auto fer = d.of("ATTR_ID_FORWARD_FER");
  ASSERT_EQ(fer.size(), 1u);
  EXPECT_EQ(fer[0].op, WriteOp::kSetNoValue);
}

TEST(MarkovResponse, NoFramesSinceThePreviousResponse) {
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse, markov(3, 4, 4, 100, 0, some_errors()), 1);
  d.msg = COrbExpandedMessage{};
  d.run(&F::DecodeMarkovStatisticsResponse, markov(3, 4, 4, 100, 0, some_errors()), 2);
  EXPECT_EQ(summary(d.msg.details),
            "Total frames: 100, Bad frames: 6, Bit errors: 17, FER(Instantaneous): (no frames "
            "transmitted), FER(Cumulative): 6.0000\n");
  EXPECT_EQ(d.of("ATTR_ID_FORWARD_FER").back().op, WriteOp::kSetNoValue);
}

TEST(MarkovResponse, OutsideTheTrafficChannelThePhoneIsNotInACall) {
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse, markov(10, 4, 2, 100, 0, some_errors()));
  EXPECT_EQ(summary(d.msg.details),
            "Total frames: 100, Bad frames: 6, Bit errors: 17, FER(Instantaneous): (phone not "
            "in call), FER(Cumulative): (phone not in call)\n");
  EXPECT_EQ(d.of("ATTR_ID_FORWARD_FER").at(0).op, WriteOp::kSetNoValue);
}

TEST(MarkovResponse, NoModeKeepsTheNonMarkovCounters) {
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse, markov(0, 0, 0, 50, 5, Matrix{}), 1);
  EXPECT_EQ(d.msg.details, "Mode: No mode (phone not in a call)\nRate: Rate Variable\nRx state: Entering CDMA State\n");
  EXPECT_EQ(d.of("ATTR_ID_Bad_Frames_For_NonMarkov_FER").at(0).op, WriteOp::kSetDWord);
  EXPECT_EQ(d.of("ATTR_ID_Bad_Frames_For_NonMarkov_FER").at(0).value, 5);
  EXPECT_EQ(d.of("ATTR_ID_Total_Frames_For_Non_Markov_FER").at(0).value, 50);
  EXPECT_DOUBLE_EQ(d.of("ATTR_ID_FER_NON_MARKOV").at(0).value, 10.0);
  EXPECT_TRUE(d.of("ATTR_ID_FORWARD_FER").empty());

  d.msg = COrbExpandedMessage{};
  d.run(&F::DecodeMarkovStatisticsResponse, markov(0, 0, 0, 150, 25, Matrix{}), 2);
  EXPECT_DOUBLE_EQ(d.of("ATTR_ID_FER_NON_MARKOV").back().value, 20.0);  // 20 bad of the 100 since
}

struct Rejected {
  std::uint8_t mode;
  std::uint16_t rate, rx_state;
};

class MarkovRejected : public testing::TestWithParam<Rejected> {};

TEST_P(MarkovRejected, OnlyTheTitle) {
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse,
        markov(GetParam().mode, GetParam().rate, GetParam().rx_state, 100, 0, some_errors()));
  EXPECT_EQ(d.msg.title, "Markov Statistics Response");
  EXPECT_EQ(d.msg.details, "");
  EXPECT_TRUE(d.st.sink.writes.empty());
}

INSTANTIATE_TEST_SUITE_P(Diag, MarkovRejected,
                         testing::Values(Rejected{12, 4, 4}, Rejected{0x35, 4, 4}, Rejected{3, 5, 4},
                                         Rejected{3, 4, 6}));

TEST(MarkovResponse, ModesOutsideTheListAreShownAsInvalid) {
  Decoded d;
  d.run(&F::DecodeMarkovStatisticsResponse, markov(0x36, 1, 1, 100, 0, some_errors()));
  EXPECT_EQ(d.msg.details, "Mode: Invalid ValueRate: Rate 1/8\nRx state: Sync Channel State\n");
}

TEST(MarkovResponse, TruncatedPayloadsNeverReadPastTheEnd) {
  const Bytes full = markov(3, 4, 4, 100, 0, some_errors());
  for (std::size_t n = 0; n < full.size(); ++n) {
    Decoded d;
    ASSERT_NO_THROW(d.run(&F::DecodeMarkovStatisticsResponse, prefix(full, n))) << n;
    EXPECT_TRUE(d.st.sink.writes.empty()) << n;
  }
}
