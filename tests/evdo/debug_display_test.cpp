// 1xEV Debug Display (0x1183): text only; runs inside the dispatcher's guard, so a
// short packet throws.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "evdo/evdo_test_support.h"
#include "framework/failure_texts.h"
#include "host/format_groups.h"
#include "support/recording_sink.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kCode = 0x1183;
const EvdoMember kDecode = &COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodeDebugDisplay;

struct Record {
  std::uint8_t sleep = 1;
  std::uint8_t slot_cycle = (9 << 3) | 2;  // Rel A index 9, Rel 0 index 2
  std::uint8_t diversity = 1;
  std::uint8_t at_state = 5;
  std::uint8_t session = 4;
  std::array<std::uint16_t, 4> streams{0, 1, 0x0BAD, 0xFFFF};

  Bytes bytes() const {
    Bytes b;
    b.u16((1 << 11) | 1013);                                                        // band class 1, channel 1013
    b.u8(static_cast<std::uint8_t>(-85)).u8(static_cast<std::uint8_t>(-90)).u8(5);  // Rx AGC0, Rx AGC1, Tx AGC
    b.u16(168);                                                                     // serving PN
    b.u16(168).u16(0xFFFF).u16(252).u16(0xFFFF).u16(0xFFFF).u16(0xFFFF);            // active set, 2 pilots
    b.u8(sleep).u8(slot_cycle);
    b.u8(3);  // searcher state
    b.u8(diversity).u8(at_state).u8(session);
    b.u32(0x5A12ABCD);  // colour code 0x5A, UATI 0x12ABCD
    for (auto s : streams) b.u16(s);
    return b;
  }
};

// The searcher state is spelled by the host's format group.
std::string searcher_state(std::uint8_t v) {
  const COrbFormatGroupManager* g = GetFormatGroupManager();
  std::string out;
  g->fgFormatValue(out, g->fgGetFormatGroupCode("Searcher Task State"), v, 0, 0);
  return out;
}

class EvdoDebugDisplay : public ::testing::Test {
 protected:
  COrbExpandedMessage decode(const Bytes& b) { return run(kDecode, kCode, b, &st.ds); }
  RecordingState st;
  EvdoRun run;
};

TEST_F(EvdoDebugDisplay, HandBuiltRecordByteForByte) {
  const Bytes b = Record{}.bytes();
  ASSERT_EQ(b.size(), 37u);
  const COrbExpandedMessage msg = decode(b);
  EXPECT_EQ(msg.title, "1xEV Debug Display");
  EXPECT_EQ(msg.details,
            "Channel no.: 1013, Band Class: 1, Rx AGC0: -85 dBm, Rx AGC1: -90 dBm, Tx AGC: 5 dBm, Serving PN: 168\n"
            "ActSet PNs: { 168 252 }\n"
            "Sleep Mode: 5.12 s sleep (CCC)\n"
            "Slot Cycle SCI Rel 0: 20.48 s\n"
            "Slot Cycle SCI Rel A: 26.67 ms\n"
            "Searcher state: " +
                searcher_state(3) +
                "\n"
                "Rx Diversity: Dual\n"
                "AT protocol state: Connected\n"
                "Session state: Open\n"
                "UATI: 0x12ABCD, Color Code: 0x5A\n"
                "Stream Config 0: Default signaling application\n"
                "Stream Config 1: Default packet application for AN\n"
                "Stream Config 2: No information\n"
                "Stream Config 3: Stream not used\n");
  EXPECT_TRUE(st.sink.writes.empty());
}

struct NameCase {
  Record record;
  const char* line;
};
class EvdoDebugDisplayNames : public EvdoDebugDisplay, public ::testing::WithParamInterface<NameCase> {};

TEST_P(EvdoDebugDisplayNames, ShowsTheNameOrItsFallback) {
  const COrbExpandedMessage msg = decode(GetParam().record.bytes());
  EXPECT_NE(msg.details.find(GetParam().line), std::string::npos) << msg.details;
}

Record with(void (*edit)(Record&)) {
  Record r;
  edit(r);
  return r;
}

INSTANTIATE_TEST_SUITE_P(
    Values, EvdoDebugDisplayNames,
    ::testing::Values(
        NameCase{with([](Record& r) { r.sleep = 5; }), "Sleep Mode: Unknown\n"},
        NameCase{with([](Record& r) { r.sleep = 4; }), "Sleep Mode: Release A enhanced idle protocol sleep\n"},
        NameCase{with([](Record& r) { r.slot_cycle = 4; }), "Slot Cycle SCI Rel 0: n/a\n"},
        NameCase{with([](Record& r) { r.slot_cycle = 7; }), "Slot Cycle SCI Rel 0: Unknown\n"},
        NameCase{with([](Record& r) { r.slot_cycle = 0; }), "Slot Cycle SCI Rel A: 6.67 ms\n"},
        NameCase{with([](Record& r) { r.slot_cycle = 6 << 3; }), "Slot Cycle SCI Rel A: 426.67 ms\n"},
        NameCase{with([](Record& r) { r.slot_cycle = 7 << 3; }), "Slot Cycle SCI Rel A: 6.67 ms\n"},
        NameCase{with([](Record& r) { r.slot_cycle = 15 << 3; }), "Slot Cycle SCI Rel A: 1706.67 ms\n"},
        NameCase{with([](Record& r) { r.slot_cycle = 16 << 3; }), "Slot Cycle SCI Rel A: 0.00 ms\n"},
        NameCase{with([](Record& r) { r.slot_cycle = 31 << 3; }), "Slot Cycle SCI Rel A: 0.00 ms\n"},
        NameCase{with([](Record& r) { r.diversity = 0; }), "Rx Diversity: Single (Rx0 only)\n"},
        NameCase{with([](Record& r) { r.diversity = 2; }), "Rx Diversity: Dual\n"},
        NameCase{with([](Record& r) { r.at_state = 0; }),
                 "AT protocol state: Inactive (AT switched to 1x or is in Deep Sleep)\n"},
        NameCase{with([](Record& r) { r.at_state = 6; }), "AT protocol state: Reserved\n"},
        NameCase{with([](Record& r) { r.session = 5; }), "Session state: Reserved\n"},
        NameCase{with([](Record& r) { r.session = 2; }), "Session state: AT-initiated negotiation\n"},
        NameCase{with([](Record& r) { r.streams[3] = 3; }), "Stream Config 3: Default test application\n"},
        NameCase{with([](Record& r) { r.streams[0] = 7; }), "Stream Config 0: n/a\n"}));

TEST_F(EvdoDebugDisplay, NoDetailsWantedBuildsNoText) {
  const Bytes b = Record{}.bytes();
  COrbExpandedMessage msg;
  msg.detailsWanted = false;
  run(kDecode, kCode, b.data(), b.size(), &st.ds, msg);
  EXPECT_EQ(msg.title, "1xEV Debug Display");
  EXPECT_TRUE(msg.details.empty());
}

// Every shorter record throws the failure text for the guard; no text is left.
TEST_F(EvdoDebugDisplay, EveryTruncationThrowsForTheGuard) {
  const Bytes full = Record{}.bytes();
  for (std::uint32_t len = 0; len < full.size(); ++len) {
    SCOPED_TRACE(len);
    const std::vector<std::uint8_t> cut(full.vec().begin(), full.vec().begin() + len);
    COrbExpandedMessage msg;
    try {
      run(kDecode, kCode, cut.data(), len, &st.ds, msg);
      ADD_FAILURE() << "no exception";
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), kNotQualcommStandard);
    }
    EXPECT_EQ(msg.title, "1xEV Debug Display");
    EXPECT_TRUE(msg.details.empty());
  }
}

}  // namespace
}  // namespace cdmadiag::test
