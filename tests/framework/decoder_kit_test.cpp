// The decoder kit's failure policies and title placement, as a code's row states them.
#include "framework/decoder_kit.h"

#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>

namespace cdmadiag {
namespace {

constexpr const char* kTitle = "1xEV-DO Example";
const std::array<std::uint8_t, 4> kBytes{};
const PayloadReader kFour(kBytes);

struct Outcome {
  std::string title, details, thrown;
};

// One decode under policy p of a four-byte payload that needs `need` bytes.
Outcome decode(const Policy& p, std::size_t need, bool title_wanted = true, bool details_wanted = true) {
  COrbExpandedMessage msg;
  msg.titleWanted = title_wanted;
  msg.detailsWanted = details_wanted;
  std::string thrown;
  try {
    const Decoding job(msg, kTitle, p);
    if (job.require(kFour, need)) msg.details += "decoded";
  } catch (const MalformedPacket& e) {
    thrown = e.what();
  }
  return {msg.title, msg.details, thrown};
}

TEST(DecoderKit, EachPolicyFailsItsOwnWay) {
  struct Case {
    const char* name;
    Policy policy;
    Outcome whole, short_;
  };
  const Case cases[] = {
      {"report", report(), {kTitle, "decoded", ""}, {kTitle, kNotQualcommStandard, ""}},
      {"report with its text", report(kCorruptedContent), {kTitle, "decoded", ""}, {kTitle, kCorruptedContent, ""}},
      {"quiet", quiet(), {kTitle, "decoded", ""}, {kTitle, "", ""}},
      {"throw", throws(), {kTitle, "decoded", ""}, {kTitle, "", kNotQualcommStandard}},
      {"throw, title after the check",
       throws().title_after_check(),
       {kTitle, "decoded", ""},
       {"", "", kNotQualcommStandard}},
      {"throw, text after the title",
       throws().title_after_check().failure_title_prefixed(),
       {kTitle, "decoded", ""},
       {"", "", std::string(kTitle) + " : " + kNotQualcommStandard}},
      {"report, title after the check",
       report().title_after_check(),
       {kTitle, "decoded", ""},
       {"", kNotQualcommStandard, ""}},
      {"dispatcher's title", report().title_by_dispatcher(), {"", "decoded", ""}, {"", kNotQualcommStandard, ""}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& [need, want] : {std::pair{4u, c.whole}, std::pair{5u, c.short_}}) {
      const Outcome got = decode(c.policy, need);
      EXPECT_EQ(got.title, want.title) << need;
      EXPECT_EQ(got.details, want.details) << need;
      EXPECT_EQ(got.thrown, want.thrown) << need;
    }
  }
}

TEST(DecoderKit, TitleFollowsWhatTheMessageWants) {
  EXPECT_EQ(decode(report(), 4, false, true).title, "");
  EXPECT_EQ(decode(report().title_for_details(), 4, false, true).title, kTitle);
  EXPECT_EQ(decode(throws().title_after_check().title_for_details(), 4, false, true).title, kTitle);
  EXPECT_EQ(decode(report().title_for_details(), 4, false, false).title, "");
  // A report without details wanted shows nothing, and still stops.
  EXPECT_EQ(decode(report(), 5, true, false).details, "");
}

// A title that follows the check is not set when anything else leaves the decode by an
// exception: a fault is never shown as a decoded packet.
TEST(DecoderKit, TitleAfterTheCheckNeedsADecodeThatEnds) {
  COrbExpandedMessage msg;
  EXPECT_THROW(
      {
        const Decoding job(msg, kTitle, throws().title_after_check());
        if (job.require(kFour, 2)) throw std::logic_error("a bug");
      },
      std::logic_error);
  EXPECT_EQ(msg.title, "");
}

TEST(DecoderKit, CountRulesFailWithTheirOwnText) {
  COrbExpandedMessage msg;
  const Decoding job(msg, kTitle, report());
  EXPECT_FALSE(job.fail("No of subframes should not exceed 8."));
  EXPECT_FALSE(job.require_at(kFour, 3, 2));
  EXPECT_TRUE(job.require_at(kFour, 2, 2));
  EXPECT_EQ(msg.details, std::string("No of subframes should not exceed 8.") + kNotQualcommStandard);
}

// Input errors are malformed packets, and only they: the guards tell them from faults.
TEST(DecoderKit, TruncationIsAMalformedPacketAndAnInvalidArgument) {
  EXPECT_THROW(kFour.u32le(1), MalformedPacket);
  EXPECT_THROW(kFour.u32le(1), std::invalid_argument);
}

}  // namespace
}  // namespace cdmadiag
