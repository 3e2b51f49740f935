// The promised length bounds of each command response, pinned here independently of
// the command table (the dispatcher test walks the table's own bounds).
#include <gtest/gtest.h>

#include "support/decoder_case.h"

namespace {

constexpr std::uint32_t kAny = ~0u;

struct Bounds {
  std::uint8_t cmd;
  std::uint32_t min, max;  // bytes after the command code
};

// clang-format off
constexpr Bounds kBounds[] = {
    {0x00, 54, 54}, {0x0C, 47, kAny}, {0x0F, 0, 0}, {0x13, 1, kAny}, {0x19, 1, 13}, {0x1A, 105, kAny},
    {0x1C, 2, 2}, {0x1D, 8, 8}, {0x1E, 0, 0}, {0x26, 132, 132}, {0x30, 2, 2}, {0x3F, 3, 3}, {0x40, 6, kAny},
    {0x43, 0, kAny}, {0x60, 2, kAny}, {0x62, 5, kAny}, {0x63, 35, 35}, {0x70, 128, kAny}, {0x73, 11, kAny},
    {0x78, 3, 3}, {0x7C, 13, kAny},
};
// clang-format on

// The title the dispatcher gives n bytes after cmd.
std::string title(std::uint8_t cmd, std::uint32_t n) {
  return cdmadiag::test::DecoderCase().run(0, cdmadiag::test::Bytes{cmd}.zeros(n), true).title;
}

}  // namespace

TEST(CommandLengths, DecoderRunsOnlyWithinTheBounds) {
  for (const Bounds& c : kBounds) {
    SCOPED_TRACE(testing::Message() << "cmd 0x" << std::hex << int(c.cmd));
    const std::string passing = title(c.cmd, c.min);
    EXPECT_NE(passing, "");
    EXPECT_NE(passing, "MessageCode: 0000");
    EXPECT_EQ(title(c.cmd, c.max == kAny ? c.min + 200 : c.max), passing);
    if (c.min > 0) {
      EXPECT_NE(title(c.cmd, c.min - 1), passing);
    }
    if (c.max != kAny) {
      EXPECT_NE(title(c.cmd, c.max + 1), passing);
    }
  }
}
