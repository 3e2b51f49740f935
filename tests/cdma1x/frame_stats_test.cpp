// Frame counters, outcome flags and the error tally shared by the frame type, power
// control and Markov reports; the radio configuration and channel set mask texts.
#include "cdma1x/frame_stats.h"

#include <gtest/gtest.h>

#include <string>

#include "cdma1x/radio_config.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

struct Frame : COrbDecodeMsgCDMAQualcommFrame {
  using COrbDecodeMsgCDMAQualcommFrame::COrbDecodeMsgCDMAQualcommFrame;
  using COrbDecodeMsgCDMAQualcommFrame::SetBadFrameFlags;
  using COrbDecodeMsgCDMAQualcommFrame::SetFrameAttributes;
  using COrbDecodeMsgCDMAQualcommFrame::UpdateFrameErrorsArray;
};

class FrameStats : public ::testing::Test {
 protected:
  DecoderCase c;
  Frame f{nullptr, 0, c.accessor};

  std::string flags(std::uint8_t t, std::uint8_t d) {
    bool bit = true;
    bool frame = true;
    f.SetBadFrameFlags(t, d, bit, frame);
    return std::string(bit ? "B" : "-") + (frame ? "F" : "-");
  }
};

TEST_F(FrameStats, OutcomeFlagsFollowTheSentRate) {
  struct Case {
    std::uint8_t t, d;
    const char* want;
  };
  for (const Case& k :
       {Case{0, 8, "B-"}, Case{0, 6, "-F"}, Case{0, 0, "--"}, Case{1, 10, "-F"}, Case{2, 0, "-F"}, Case{4, 10, "-F"},
        Case{5, 5, "--"}, Case{6, 5, "-F"}, Case{9, 11, "B-"}, Case{9, 8, "-F"}, Case{10, 2, "--"}, Case{11, 2, "-F"},
        Case{13, 11, "-F"}, Case{13, 11 - 2, "B-"}, Case{15, 8, "B-"}, Case{12, 0, "--"}, Case{14, 9, "--"}}) {
    EXPECT_EQ(flags(k.t, k.d), k.want) << "t=" << int{k.t} << " d=" << int{k.d};
  }
}

TEST_F(FrameStats, TallyCountsABurstEverywhere) {
  FrameErrorTally tally{};
  f.UpdateFrameErrorsArray(tally, true, false, false);
  f.UpdateFrameErrorsArray(tally, false, false, false);
  f.UpdateFrameErrorsArray(tally, false, true, true);
  f.UpdateFrameErrorsArray(tally, false, false, true);
  EXPECT_EQ(tally, (FrameErrorTally{3, 2, 3, 1}));
}

TEST_F(FrameStats, CountersAreWrittenPerDirectionAndFerSkipsEmptyChannels) {
  FrameCounters n;
  for (std::size_t rate : {kSchErasure, kSchFullRate, kSchFullRate, std::size_t{9}}) {
    FrameCounters::CountSch(n.sch0, static_cast<unsigned>(rate), n.invalid);
  }
  n.CountFch(kFchPayloadOnly, 0);
  n.CountFch(kFchPayloadOnly, 4);
  n.CountFch(3, 0);
  n.scch[6][kSchNotActive] = 5;
  EXPECT_EQ(n.invalid, 2);
  EXPECT_NEAR(SchFerPercent(n.sch0), 33.33, 0.005);
  EXPECT_EQ(SchFerPercent(n.sch1), 0.0);
  EXPECT_EQ(FchFerPercent(n), 50.0);

  f.SetFrameAttributes(&c.st.ds, n.fch, n.sch0, n.sch1, n.dcch_rate, n.scch, false);
  EXPECT_EQ(c.st.sink.writes.size(), 15u + 8u + 1u);  // reverse: no F-SCCH
  EXPECT_EQ(c.writes({"CDMA_1X_REV_SCH0_FullRate", "CDMA_1X_REV_FCH_Payload"}),
            "CDMA_1X_REV_FCH_Payload Long[0] 1\nCDMA_1X_REV_FCH_Payload Long[1] 0\n"
            "CDMA_1X_REV_FCH_Payload Long[2] 0\nCDMA_1X_REV_FCH_Payload Long[3] 0\n"
            "CDMA_1X_REV_FCH_Payload Long[4] 1\nCDMA_1X_REV_SCH0_FullRate Long[0] 2\n");
  c.st.sink.writes.clear();
  f.SetFrameAttributes(&c.st.ds, n.fch, n.sch0, n.sch1, n.dcch_rate, n.scch, true);
  EXPECT_EQ(c.st.sink.writes.size(), 15u + 8u + 1u + 7u * 4u);
  EXPECT_EQ(c.of("ATTR_ID_CDMA_1X_FOR_SCCH_Inactive").back().index, 7u);
  EXPECT_EQ(c.of("ATTR_ID_CDMA_1X_FOR_SCCH_Inactive").back().value, 5.0);
}

TEST_F(FrameStats, ConfigurationAndMaskTexts) {
  std::string d;
  AppendRadioConfigs(d, Link::kReverse, RadioConfigsOfNibbles(0x31, 0x00), "");
  AppendChannelSetMask(d, Link::kForward, {.fch = true, .supplemental_codes = 2}, "");
  EXPECT_EQ(d,
            "\nReverse Radio Configurations: \nReverse FCH radio configuration: 1\n"
            "Reverse SCH0 radio configuration: 3\nReverse SCH1 radio configuration: Not In Use\n"
            "Reverse DCCH radio configuration: Not In Use\n"
            "\nForward Dedicated Channel Set Mask Information: \nNum Active Supplemental Code Channels: 2\n"
            "Forward Fund. Chan(FCH) : active\nForward Supp. Chan0(SCH0) : not active\n"
            "Forward Supp. Chan1(SCH1) : not active\nForward Ded. Control Chan(DCCH) : not active\n");
}

}  // namespace
}  // namespace cdmadiag::test
