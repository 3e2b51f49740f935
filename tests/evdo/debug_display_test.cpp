// 1xEV Debug Display (0x1183): text only; runs inside the dispatcher's guard, so a
// short packet throws.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "host/format_groups.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kCode = 0x1183;

struct Record {
  std::uint8_t sleep = 1, slot_cycle = (9 << 3) | 2;  // Rel A index 9, Rel 0 index 2
  std::uint8_t diversity = 1, at_state = 5, session = 4;
  std::array<std::uint16_t, 4> streams{0, 1, 0x0BAD, 0xFFFF};

  Bytes bytes() const {
    Bytes b;
    b.u16((1 << 11) | 1013);                                                       // band class 1, channel 1013
    b.i8(-85).i8(-90).u8(5);                                                       // Rx AGC0, Rx AGC1, Tx AGC
    b.u16(168).u16(168).u16(0xFFFF).u16(252).u16(0xFFFF).u16(0xFFFF).u16(0xFFFF);  // serving PN, active set
    b.u8(sleep).u8(slot_cycle).u8(3).u8(diversity).u8(at_state).u8(session);       // searcher state 3
    b.u32(0x5A12ABCD);                                                             // colour code 0x5A, UATI 0x12ABCD
    for (auto s : streams) b.u16(s);
    return b;
  }
};

TEST(EvdoDebugDisplay, HandBuiltRecordByteForByte) {
  DecoderCase c;
  const COrbExpandedMessage& msg = c.run(kCode, Record{}.bytes());
  // The searcher state is spelled by the host's format group.
  const COrbFormatGroupManager* g = GetFormatGroupManager();
  std::string searcher;
  g->fgFormatValue(searcher, g->fgGetFormatGroupCode("Searcher Task State"), 3, 0, 0);
  EXPECT_EQ(msg.details,
            "Channel no.: 1013, Band Class: 1, Rx AGC0: -85 dBm, Rx AGC1: -90 dBm, Tx AGC: 5 dBm, Serving PN: 168\n"
            "ActSet PNs: { 168 252 }\nSleep Mode: 5.12 s sleep (CCC)\nSlot Cycle SCI Rel 0: 20.48 s\n"
            "Slot Cycle SCI Rel A: 26.67 ms\nSearcher state: " +
                searcher +
                "\nRx Diversity: Dual\nAT protocol state: Connected\nSession state: Open\n"
                "UATI: 0x12ABCD, Color Code: 0x5A\nStream Config 0: Default signaling application\n"
                "Stream Config 1: Default packet application for AN\nStream Config 2: No information\n"
                "Stream Config 3: Stream not used\n");
  EXPECT_EQ(c.writes(), "");
  c.details_wanted = false;
  EXPECT_EQ(c.run(kCode, Record{}.bytes()).title, "1xEV Debug Display");
  EXPECT_EQ(c.msg.details, "");
}

TEST(EvdoDebugDisplay, NamesFallBackAtTheEndsOfTheirTables) {
  const struct {
    void (*edit)(Record&);
    const char* line;
  } cases[] = {
      {[](Record& r) { r.sleep = 5; }, "Sleep Mode: Unknown\n"},
      {[](Record& r) { r.slot_cycle = 4; }, "Slot Cycle SCI Rel 0: n/a\n"},
      {[](Record& r) { r.slot_cycle = 7; }, "Slot Cycle SCI Rel 0: Unknown\n"},
      {[](Record& r) { r.slot_cycle = 15 << 3; }, "Slot Cycle SCI Rel A: 1706.67 ms\n"},
      {[](Record& r) { r.slot_cycle = 16 << 3; }, "Slot Cycle SCI Rel A: 0.00 ms\n"},
      {[](Record& r) { r.at_state = 6; }, "AT protocol state: Reserved\n"},
      {[](Record& r) { r.session = 5; }, "Session state: Reserved\n"},
      {[](Record& r) { r.streams[0] = 7; }, "Stream Config 0: n/a\n"},
  };
  DecoderCase run;
  for (const auto& c : cases) {
    Record r;
    c.edit(r);
    EXPECT_NE(run.run(kCode, r.bytes()).details.find(c.line), std::string::npos) << c.line;
  }
}

// The failure text goes to the guard, not to the details.
TEST(EvdoDebugDisplay, EveryTruncationThrowsForTheGuard) {
  sweep_truncations(kCode, Record{}.bytes(), [](const DecoderCase& c, std::size_t) {
    EXPECT_EQ(c.msg.details, "");
    EXPECT_EQ(c.failures, std::vector<std::string>{kNotQualcommStandard});
  });
}

// Release A indexes 6 and 7 are where the period wraps: 2^6 slots, then 2^0 again.
TEST(EvdoDebugDisplay, ReleaseASlotCycleWrapsAfterIndexSix) {
  for (const auto& [index, line] :
       {std::pair{6, "Slot Cycle SCI Rel A: 426.67 ms\n"}, std::pair{7, "Slot Cycle SCI Rel A: 6.67 ms\n"}}) {
    Record r;
    r.slot_cycle = static_cast<std::uint8_t>(index << 3);
    DecoderCase c;
    EXPECT_NE(c.run(kCode, r.bytes()).details.find(line), std::string::npos) << index;
  }
}

}  // namespace
}  // namespace cdmadiag::test
