// Equalizer data (0x1279) and C/I buffers (0x127A).
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kData = 0x1279, kC2I = 0x127A;

// Antenna 1, diversity on, index 3, L-step 2, tap length 16; 2 passes, 1 used, L-step2 5, L-step3 6.
constexpr std::uint16_t kWord0 = 1 | 1 << 1 | 3 << 2 | 2 << 6 | 16 << 10;
constexpr std::uint16_t kWord1 = 2 | 1 << 2 | 5 << 4 | 6 << 8;

// Header with `count` and the status on, then `records` records: the first as above
// with C/I 10 dB, the second all zero (C/I 0), the rest zero with C/I 0 dB.
Bytes equalizer(unsigned count, unsigned records) {
  Bytes b;
  b.u8(1).u8(2).u32(1000).u16(5).u8(1).u32(2000).u8(0x10 | count).u16(300).u8(0xF2);
  for (unsigned n = 0; n < records; ++n) {
    if (n == 0) {
      b.u16(kWord0).u16(kWord1).u32(5120);
    } else {
      b.u16(0).u16(0).u32(n == 1 ? 0 : 512);
    }
  }
  return b;
}

const std::string kHeader =
    "Version: 1\nHDRSRCH state: 2\nMSTR: 1000 (chipx8)\nMSTR error: 5 (chipx8)\nDemod device: Eqlz\n"
    "COM: 2000 (chipx8)\nEqlz count: 2\nEqlz Status: On\nServing PN: 300\nBest ASP: 2\n"
    "Ant\tDiv\tEqlz\tL-\tTap\tNum\tPass\tL-\tL-\tC/I\n\t\tIdx\tStep\tLen\tPass\tUsed\tStep2\tStep3\t(dB)\n";

// Entry i of buffer n: equalizer with best id i % 4 on even entries, rake on odd.
Bytes c2i() {
  Bytes b;
  b.u8(7);
  for (std::uint32_t n = 0; n < 2; ++n) {
    for (std::uint32_t i = 0; i < 16; ++i) b.u16(i % 2 == 0 ? 0x8000 | (i % 4) : 0x0003);
    for (std::uint32_t i = 0; i < 16; ++i) b.u16(1000 * n + i);
    for (std::uint32_t i = 0; i < 16; ++i) b.u16(2000 * n + 500 + i);
    b.u8(10 + n);
  }
  return b;
}

TEST(EvdoEqualizer, DataTextWithBitFieldsAndAZeroCI) {
  DecoderCase c;
  c.run(kData, equalizer(2, 2));
  EXPECT_EQ(c.msg.details, kHeader + "1\tOn\t3\t2\t16\t2\t1\t5\t6\t10.00\n0\tOff\t0\t0\t0\t0\t0\t0\t0\tn/a\n");
  EXPECT_EQ(c.writes(), "");
}

TEST(EvdoEqualizer, CountAboveFourShowsFourAndNeedsOnlyThose) {
  DecoderCase c;
  c.run(kData, equalizer(6, 4));
  EXPECT_TRUE(c.failures.empty());
  EXPECT_NE(c.msg.details.find("Eqlz count: 6\n"), std::string::npos);
  EXPECT_TRUE(c.msg.details.ends_with("\tn/a\n0\tOff\t0\t0\t0\t0\t0\t0\t0\t0.00\n0\tOff\t0\t0\t0\t0\t0\t0\t0\t0.00\n"));
  // A count claiming records the payload lacks is refused, not read past.
  c.run(kData, equalizer(3, 2));
  EXPECT_EQ(c.msg.details, "");
  EXPECT_EQ(c.failures, std::vector<std::string>{kNotQualcommStandard});
  // No records: no headings.
  c.run(kData, equalizer(0, 0));
  EXPECT_TRUE(c.msg.details.ends_with("Eqlz count: 0\nEqlz Status: On\nServing PN: 300\nBest ASP: 2\n"));
}

TEST(EvdoEqualizer, C2IBuffersShowBestIdOnlyForTheEqualizer) {
  DecoderCase c;
  c.run(kC2I, c2i());
  const std::string& s = c.msg.details;
  EXPECT_TRUE(
      s.starts_with("Version: 7\nDemod\tBest\tEqlz-\tRake-\nUsed\tEqId\tBuff\tBuff\n"
                    "Eqlz\t0\t0\t500\nRake\t-\t1\t501\nEqlz\t2\t2\t502\n"));
  EXPECT_NE(s.find("Rake\t-\t15\t515\nSlot Count: 10\nDemod\tBest\tEqlz-\tRake-\nUsed\tEqId\tBuff\tBuff\n"
                   "Eqlz\t0\t1000\t2500\n"),
            std::string::npos);
  EXPECT_TRUE(s.ends_with("Rake\t-\t1015\t2515\nSlot Count: 11\n"));
  EXPECT_EQ(c.writes(), "");
}

TEST(EvdoEqualizer, Truncations) {
  sweep_truncations(kC2I, c2i(), [](const COrbExpandedMessage& msg, std::size_t) {
    EXPECT_EQ(msg.details, "Cannot decode: Message length too short!");
  });
  sweep_truncations(kData, equalizer(4, 4), [](const DecoderCase& c, std::size_t) {
    EXPECT_EQ(c.msg.details, "");
    EXPECT_EQ(c.failures, std::vector<std::string>{kNotQualcommStandard});
  });
}

}  // namespace
}  // namespace cdmadiag::test
