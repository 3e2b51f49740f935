// Markov statistics (0x100E) and the Markov mini message (message type 99999).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kStats = 0x100E;
constexpr std::uint32_t kMini = 99999;

// Entries of (category byte: expected << 4 | received, bit errors) after the count.
Bytes stats(std::uint8_t count, const std::vector<std::pair<std::uint8_t, std::uint8_t>>& entries) {
  Bytes b;
  b.u8(count);
  for (const auto& [categories, bits] : entries) b.u8(categories).u8(bits);
  return b;
}

// Full: good, received at 1/2 (a frame error), 3 bit errors; half: good, erased (a bit
// error); a dim-and-burst signalling frame received as sent.
Bytes sample() { return stats(6, {{0x00, 0}, {0x05, 0}, {0x00, 3}, {0x55, 0}, {0x59, 0}, {0x11, 0}}); }

TEST(Markov, MiniMessageSplitsTheCategoryByte) {
  DecoderCase c;
  c.run(kMini, Bytes{0x41, 0x03});
  EXPECT_EQ(c.msg.title, "");
  EXPECT_EQ(c.writes(), "MARKOV_Expected_MUX Byte[0] 4\nMARKOV_Actual_MUX Byte[0] 1\nMARKOV_BIT_ERRS Byte[0] 3\n");
  c.run(kMini, Bytes{0x41});
  EXPECT_EQ(c.writes(), "");
}

TEST(Markov, StatisticsTextAndRates) {
  DecoderCase c;
  c.decimals = 2;
  c.run(kStats, sample());
  const std::string zero = "0\t0\t0\t0\t0\t0\n";
  EXPECT_EQ(c.msg.details,
            "\n  Frame 1 (5): Expected Full prim., got 1/2 prim.\n  Frame 2 (0): For Full prim., got 3 bit errors"
            "\n  Frame 4 (59): Expected 1/2 prim., got Erasure\n"
            "Received Values\t\t\tTotal\tFull\t1/2\t1/4\t1/8\tSIGS\n"
            "Full prim.\t\t\t2\t2\t0\t0\t0\t0\nFull d&&b prim 1/2 sig.\t\t1\t0\t0\t0\t0\t1\n"
            "Full d&&b prim 1/4 sig.\t\t" +
                zero + "Full d&&b prim 1/8 sig.\t\t" + zero + "Full b&&b sig.\t\t\t" + zero +
                "1/2 prim.\t\t\t2\t1\t1\t0\t0\t0\n1/4 prim. \t\t\t" + zero + "1/8 prim. \t\t\t" + zero +
                "Full d&&b prim 1/2 2nd\t\t" + zero + "Full d&&b prim 1/4 2nd\t\t" + zero +
                "Full d&&b prim 1/8 2nd\t\t" + zero + "Full b&&b 2nd\t\t\t" + zero + "Bit Errs.\t\t\t\t" + zero +
                "\nErasures: 1,\tNo frame: 0\n\n  Summary:\tframes\t\tFER (%)\tBER (%)\n"
                "  Full rate:\t3\t\t66.7\n  Half rate:\t2\t\t50.0\n  Quarter rate:\t0\t\t-\n  Eighth rate:\t0\t\t-\n"
                "  All rates:\t6\t\t16.7\t\t250.0\n");
  // Quarter and eighth rate expected no frames: no rates written for them. The bit error
  // rate is 300 / 1.2 in doubles, a hair above 250.
  EXPECT_EQ(c.writes({"MUX", "CDMA_XFER_GOOD_F", "For_", "ForwardFER", "CDMA_BER", "FER_"}),
            "MUX_MODE Byte[0] 100\nCDMA_XFER_GOOD_FULL_RATE Byte[0] 1\nFor_MarkovFER_FullRate Double[0] 66.67\n"
            "ForwardFER_FullRate_NonMarkov Double[0] 33.33\nFor_MarkovFER_HalfRate Double[0] 50\n"
            "ForwardFER_HalfRate_NonMarkov Double[0] 0\nCDMA_BER Double[0] 250.00\nFER_NON_MARKOV Double[0] 16.67\n");

  // Read-only: the mode comes back from the previous packet, nothing is written.
  const std::string written = c.msg.details;
  c.read_only = true;
  c.run(kStats, sample());
  EXPECT_EQ(c.msg.details, written);
  EXPECT_EQ(c.writes(), "");
  DecoderCase fresh;
  fresh.read_only = true;
  fresh.run(kStats, sample());
  EXPECT_EQ(fresh.msg.details, "  Unsupported RF Mode\n");
}

// The mode scan, and the frames received as no frame: categories 14 and 15 both.
TEST(Markov, ModeScanPassesOverCategoriesOneEightAndFourteen) {
  const struct {
    Bytes packet;
    const char* mode;
    bool sigs;
    const char* no_frames;
  } cases[] = {
      {stats(3, {{0x11, 0}, {0x88, 0}, {0x55, 0}}), "MUX_MODE Byte[0] 100\n", true, "0"},   // 5 decides
      {stats(3, {{0x11, 0}, {0xEE, 0}, {0x88, 0}}), "MUX_MODE Byte[0] 101\n", false, "1"},  // all passed: the last, 8
      {stats(2, {{0xF0, 0}, {0x0F, 0}}), "MUX_MODE Byte[0] 1\n", true, "1"},
      {stats(1, {{0x22, 0}}), "MUX_MODE Byte[0] 101\n", false, "0"},
      // The count claims five entries; the third, cut short, decides the mode but is not counted.
      {stats(5, {{0x11, 0}, {0x11, 0}}).u8(0x70), "MUX_MODE Byte[0] 100\n", true, "0"},
  };
  for (const auto& t : cases) {
    DecoderCase c;
    c.run(kStats, t.packet);
    EXPECT_EQ(c.writes({"MUX_MODE"}), t.mode);
    EXPECT_EQ(c.msg.details.find("\t1/8\tSIGS\n") != std::string::npos, t.sigs) << c.msg.details;
    EXPECT_NE(c.msg.details.find(std::string("\tNo frame: ") + t.no_frames + "\n"), std::string::npos) << c.msg.details;
  }
  DecoderCase c;
  c.run(kStats, stats(5, {{0x11, 0}, {0x11, 0}}).u8(0x70));
  EXPECT_TRUE(c.msg.details.ends_with("  All rates:\t2\t\t0.0\t\t0.0\n")) << c.msg.details;
  c.run(kStats, Bytes{0x00, 0x00, 0x00});
  EXPECT_EQ(c.msg.details, "");
  EXPECT_EQ(c.writes(), "");
}

TEST(Markov, EveryTruncationStopsCleanly) {
  sweep_truncations(kStats, sample(), [](const COrbExpandedMessage& msg, std::size_t n) {
    if (n == 0) {
      EXPECT_EQ(msg.details, kNotQualcommStandard);
    } else {
      const std::string frames = "  All rates:\t" + std::to_string((n - 1) / 2);
      EXPECT_NE(msg.details.find(n < 3 ? "  All rates:\t0\t-\n" : frames), std::string::npos) << msg.details;
    }
  });
}

}  // namespace
}  // namespace cdmadiag::test
