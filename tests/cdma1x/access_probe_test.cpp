// Access probe (0x1013): nine one-byte fields.
#include <gtest/gtest.h>

#include <string>

#include "support/decoder_case.h"

namespace {

using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;

constexpr std::uint32_t kCode = 0x1013;

// SEQ_NUM 3, PROBE_NUM 1, RX_AGC 0xF0, TX_ADJ 0x10, PSIST 7, access channel 2, PN delay 32, backoffs 4 and 5.
const Bytes kProbe{3, 1, 0xF0, 0x10, 7, 2, 32, 4, 5};
const std::string kText =
    "SEQ_NUM: 3\nPROBE_NUM: 1\nRX_AGC: 240\nTX_ADJ: 16\nPSIST: 7\nAccess channel number: 2\n"
    "PN randomization delay (chips): 32\nSequence backoff (slots): 4\nProbe backoff (slots): 5\n";
const std::string kWrites = "CDMA_SEQ_NUM ULong[0] 3\nCDMA_PROBE_NUM ULong[0] 1\n";

TEST(AccessProbe, HandBuiltProbeTextAndWrites) {
  DecoderCase c;
  c.run(kCode, Bytes(kProbe).u8(0x99));  // bytes after the ninth are ignored
  EXPECT_EQ(c.msg.details, kText);
  EXPECT_EQ(c.writes(), kWrites);
  DecoderCase quiet;
  quiet.title_wanted = quiet.details_wanted = false;
  quiet.run(kCode, kProbe);
  EXPECT_EQ(quiet.msg.title + quiet.msg.details, "");
  EXPECT_EQ(quiet.writes(), kWrites);
}

// A short probe shows the fields it holds and names the first missing one.
TEST(AccessProbe, TruncationSweep) {
  cdmadiag::test::sweep_truncations(kCode, kProbe, [](const DecoderCase& c, std::size_t len) {
    std::size_t line = 0;
    for (std::size_t i = 0; i < len; ++i) line = kText.find('\n', line) + 1;
    EXPECT_EQ(c.msg.details, kText.substr(0, kText.find(':', line)) + ": (truncated)\n");
    EXPECT_EQ(c.writes(), kWrites.substr(0, len == 0 ? 0 : len == 1 ? kWrites.find('\n') + 1 : kWrites.size()));
  });
}

}  // namespace
