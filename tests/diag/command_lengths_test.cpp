// The command table's length tests, through the 1x dispatcher: each response at
// the lengths on both sides of its bounds.
#include <gtest/gtest.h>

#include "diag/diag_fixture.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::RecordingState;

namespace {

enum class Failure { kTitle, kTitleAlways, kNothing };

struct LengthCase {
  std::uint8_t cmd;
  std::uint32_t n;  // bytes after the command code
  bool passes;
  Failure on_failure;
  const char* title;
};

constexpr const char* kFallback = "MessageCode: 0000";

// clang-format off
const LengthCase kLengths[] = {
    {0x00, 54, true, Failure::kTitle, "Version Number Response"},
    {0x00, 53, false, Failure::kTitle, nullptr},
    {0x00, 55, false, Failure::kTitle, nullptr},
    {0x0C, 47, true, Failure::kTitle, "Status Response"},
    {0x0C, 300, true, Failure::kTitle, "Status Response"},
    {0x0C, 46, false, Failure::kTitle, nullptr},
    {0x0F, 0, true, Failure::kTitle, "Logging Mask Response"},
    {0x0F, 1, false, Failure::kTitle, nullptr},
    {0x13, 1, true, Failure::kTitle, "Bad Command"},
    {0x13, 0, false, Failure::kTitle, nullptr},
    {0x19, 1, true, Failure::kTitle, "Temporal Analyzer Graph Response"},
    {0x19, 13, true, Failure::kTitle, "Temporal Analyzer Graph Response"},
    {0x19, 0, false, Failure::kTitle, nullptr},
    {0x19, 14, false, Failure::kTitle, nullptr},
    {0x1A, 105, true, Failure::kNothing, "Markov Statistics Response"},
    {0x1A, 104, false, Failure::kNothing, nullptr},
    {0x1C, 2, true, Failure::kTitle, "Diag Version Response"},
    {0x1C, 1, false, Failure::kTitle, nullptr},
    {0x1C, 3, false, Failure::kTitle, nullptr},
    {0x1D, 8, true, Failure::kTitle, "Time Stamp Response"},
    {0x1D, 7, false, Failure::kTitle, nullptr},
    {0x1D, 9, false, Failure::kTitle, nullptr},
    {0x1E, 0, true, Failure::kTitle, "Temporal Analyzer Parameters Response"},
    {0x1E, 1, false, Failure::kTitle, nullptr},
    {0x26, 132, true, Failure::kTitle, "Nonvolatile Item Read Response"},
    {0x26, 131, false, Failure::kTitle, nullptr},
    {0x26, 133, false, Failure::kTitle, nullptr},
    {0x30, 2, true, Failure::kTitle, "DIP Switch Set Response"},
    {0x30, 3, false, Failure::kTitle, nullptr},
    {0x3F, 3, true, Failure::kTitle, "Phone State Response"},
    {0x3F, 2, false, Failure::kTitle, nullptr},
    {0x40, 6, true, Failure::kNothing, "Pilot Sets Response"},
    {0x40, 5, false, Failure::kNothing, nullptr},
    {0x43, 0, true, Failure::kNothing, "Parameter Retrieval 2 Request/Response"},
    {0x43, 40, true, Failure::kNothing, "Parameter Retrieval 2 Request/Response"},
    {0x60, 2, true, Failure::kTitle, "Event Report"},
    {0x60, 1, false, Failure::kTitle, nullptr},
    {0x62, 5, true, Failure::kTitle, "Extensible Parameter Retrieval Request/Response"},
    {0x62, 4, false, Failure::kTitle, nullptr},
    {0x63, 35, true, Failure::kTitleAlways, "Status Snapshot Response"},
    {0x63, 34, false, Failure::kTitleAlways, nullptr},
    {0x63, 36, false, Failure::kTitleAlways, nullptr},
    {0x70, 128, true, Failure::kTitle, "IS2000 Status Response Message"},
    {0x70, 127, false, Failure::kTitle, nullptr},
    {0x73, 11, true, Failure::kTitleAlways, "Logging Configuration Response"},
    {0x73, 10, false, Failure::kTitleAlways, nullptr},
    {0x78, 3, true, Failure::kTitle, "Log On Demand Response"},
    {0x78, 4, false, Failure::kTitle, nullptr},
    {0x7C, 13, true, Failure::kTitle, "Extended Build ID Response"},
    {0x7C, 12, false, Failure::kTitle, nullptr},
};
// clang-format on

class CommandLengths : public testing::TestWithParam<LengthCase> {};

struct Outcome {
  RecordingState st;
  COrbExpandedMessage msg;
};

void expand(Outcome& o, const LengthCase& c, bool title_wanted) {
  Bytes b;
  b.u8(c.cmd);
  for (std::uint32_t i = 0; i < c.n; ++i) b.u8(0x30 + i % 7);  // arbitrary, never a terminator
  COrbDecodeMsgCDMAQualcommFrame f(b.data(), b.size(), nullptr);
  f.SetMessageCode(0);
  f.SetMessageNumber(1);
  o.msg.titleWanted = title_wanted;
  f.ExpandQualcommMessage(&o.st.ds, o.msg, nullptr, false);
}

}  // namespace

TEST_P(CommandLengths, DecoderRunsOnlyWithinTheBounds) {
  const LengthCase& c = GetParam();
  Outcome o;
  expand(o, c, true);
  if (c.passes) {
    EXPECT_EQ(o.msg.title, c.title);
    EXPECT_FALSE(o.msg.notDecoded);
  } else {
    EXPECT_EQ(o.msg.title, c.on_failure == Failure::kNothing ? "" : kFallback);
    EXPECT_EQ(o.msg.details, "");
  }
  const auto types = o.st.sink.of("ATTR_ID_QUALCOMM_MDM_MSG_TYPE");
  ASSERT_EQ(types.size(), 2u);
  EXPECT_EQ(types[1].op, WriteOp::kSetLong);
  EXPECT_EQ(types[1].value, c.cmd);
}

TEST_P(CommandLengths, TitleAlwaysIgnoresTheTitleFlag) {
  const LengthCase& c = GetParam();
  Outcome o;
  expand(o, c, false);
  const bool forced = !c.passes && c.on_failure == Failure::kTitleAlways;
  EXPECT_EQ(o.msg.title, forced ? kFallback : "");
}

INSTANTIATE_TEST_SUITE_P(Diag, CommandLengths, testing::ValuesIn(kLengths),
                         [](const testing::TestParamInfo<LengthCase>& i) {
                           return "Cmd" + std::to_string(i.param.cmd) + "N" + std::to_string(i.param.n);
                         });
