// Both dispatchers: routing, titles, categories and the message-code writes.
#include "framework/dispatch.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "framework/diagnostics.h"
#include "framework/dispatch_tables.h"
#include "framework/pending.h"
#include "framework/text.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::RecordingState;

namespace {

constexpr const char* kMsgType = "ATTR_ID_QUALCOMM_MDM_MSG_TYPE";

struct Expansion {
  RecordingState st;
  COrbExpandedMessage msg;
};

// Expands one 1x packet with the given flags; the state records every write.
void expand_1x(Expansion& e, std::uint32_t code, const Bytes& bytes, bool log_only, bool title = true,
               bool details = true) {
  COrbDecodeMsgCDMAQualcommFrame f(bytes.data(), bytes.size(), nullptr);
  f.SetMessageCode(code);
  e.msg.titleWanted = title;
  e.msg.detailsWanted = details;
  f.ExpandQualcommMessage(&e.st.ds, e.msg, nullptr, log_only);
}

void expand_evdo(Expansion& e, std::uint32_t code, const Bytes& bytes, bool title = true, bool details = true) {
  COrbDecodeMsgCDMA1xEVDOQualcommFrame f(bytes.data(), bytes.size(), nullptr, nullptr);
  f.SetMessageCode(code);
  e.msg.titleWanted = title;
  e.msg.detailsWanted = details;
  f.ExpandEVDOQualcommMessage(&e.st.ds, e.msg, nullptr);
}

}  // namespace

TEST(Dispatch1x, NullDataStateDoesNothing) {
  COrbDecodeMsgCDMAQualcommFrame f(nullptr);
  f.SetMessageCode(0x1000);
  COrbExpandedMessage msg;
  f.ExpandQualcommMessage(nullptr, msg, nullptr, false);
  EXPECT_EQ(msg.title, "");
  EXPECT_EQ(msg.category, 0);
}

TEST(Dispatch1x, ReservedRangesAtTheirEndsGetCategory767WhateverIsWanted) {
  for (const std::uint32_t code : {0x1018u, 0x1021u, 0x1024u, 0x10E4u, 0x1153u, 0x115Fu, 0x1160u}) {
    SCOPED_TRACE(code);
    Expansion e;
    expand_1x(e, code, {}, true, false, false);
    EXPECT_EQ(e.msg.title, "");
    EXPECT_EQ(e.msg.category, 767);
    expand_1x(e, code, {}, true, false, true);
    EXPECT_EQ(e.msg.title, cdmadiag::formatf("MessageCode: %04x : Reserved Message", code));
    EXPECT_EQ(e.st.sink.writes[0].name, kMsgType);
    EXPECT_EQ(e.st.sink.writes[0].op, WriteOp::kSetDWord);
    EXPECT_EQ(e.st.sink.writes[0].value, code);
  }
  // Codes in no row, and the mini messages.
  const std::pair<std::uint32_t, int> others[] = {{0x1161, 0}, {0x2020, 0}, {0x0FFF, 0}, {99999, 766}, {100000, 766}};
  for (const auto& [code, category] : others) {
    Expansion e;
    expand_1x(e, code, {}, true);
    EXPECT_EQ(e.msg.category, category) << code;
    EXPECT_EQ(e.msg.title, "");
  }
}

TEST(Dispatch1x, TitleRowsNeedTitleWanted) {
  Expansion e;
  expand_1x(e, 0x1000, {}, true, false, true);
  EXPECT_EQ(e.msg.title, "");
  EXPECT_EQ(e.msg.details, "");
  expand_1x(e, 0x1000, {}, true);
  EXPECT_EQ(e.msg.title, "Temporal Analyzer");
  expand_1x(e, 0x1205, {}, true);
  EXPECT_EQ(e.msg.title, "Reserved");
  EXPECT_EQ(e.msg.category, 0);
  expand_1x(e, 0x10C1, {}, true, true, false);  // shares its decoder with 0x10C0
  EXPECT_EQ(e.msg.title, "RDCH Frame Information");
}

TEST(Dispatch1x, AbsentCodeWithLogOnlyWritesOnlyTheCode) {
  Expansion e;
  expand_1x(e, 0xB0C0, Bytes{0x1C, 1, 0}, true);
  EXPECT_EQ(e.msg.title, "");
  EXPECT_EQ(e.msg.category, 0);
  ASSERT_EQ(e.st.sink.writes.size(), 1u);
  EXPECT_EQ(e.st.sink.writes[0].op, WriteOp::kSetDWord);
}

TEST(Dispatch1x, CommandResponseIsShiftedInPlaceAndWritesTheCodeTwice) {
  const Bytes b{0x1C, 0xAA, 0xBB};
  COrbDecodeMsgCDMAQualcommFrame f(b.data(), b.size(), nullptr);
  Expansion e;
  f.ExpandQualcommMessage(&e.st.ds, e.msg, nullptr, false);
  EXPECT_EQ(e.msg.title, "Diag Version Response");
  EXPECT_EQ(f.GetLen(), 3u);
  EXPECT_EQ(f.GetBuf()[0], 0xAA);
  EXPECT_EQ(f.GetBuf()[1], 0xBB);
  EXPECT_EQ(f.payload().size(), 2u);
  const auto writes = e.st.sink.of(kMsgType);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].op, WriteOp::kSetDWord);
  EXPECT_EQ(writes[0].value, 0);
  EXPECT_EQ(writes[1].op, WriteOp::kSetLong);
  EXPECT_EQ(writes[1].value, 0x1C);
}

TEST(Dispatch1x, UnknownCommandsAndEmptyResponsesGetCategory167AndNoSecondWrite) {
  for (const Bytes& b : {Bytes{0x7D, 0, 0, 0}, Bytes{0xFF}, Bytes{0x01}, Bytes{0x7B}, Bytes{}}) {
    Expansion e;
    expand_1x(e, 0x12, b, false);
    EXPECT_EQ(e.msg.title, "MessageCode: 0012");
    EXPECT_EQ(e.msg.category, 167);
    EXPECT_EQ(e.st.sink.of(kMsgType).size(), 1u);
  }
}

// Every row of the command table at the ends of its length test: a passing length
// reaches the decoder (which titles the message), a failing one takes the row's action.
TEST(Dispatch1x, CommandLengthTestsAtTheirBoundaries) {
  for (const cdmadiag::CommandRow& row : cdmadiag::command_rows()) {
    const std::string failed = row.on_failure == cdmadiag::OnFailure::kNothing ? "" : "MessageCode: 0000";
    std::vector<std::pair<std::uint32_t, std::string>> cases = {{row.min_len, row.title}};
    if (row.min_len > 0) cases.emplace_back(row.min_len - 1, failed);
    if (row.max_len != cdmadiag::kAnyLength)
      cases.insert(cases.end(), {{row.max_len, row.title}, {row.max_len + 1, failed}});
    for (const auto& [n, title] : cases) {
      SCOPED_TRACE(testing::Message() << "cmd 0x" << std::hex << int(row.cmd) << std::dec << " n " << n);
      Expansion e;
      expand_1x(e, 0, Bytes().u8(row.cmd).zeros(n), false);
      EXPECT_EQ(e.msg.title, title);
      EXPECT_EQ(e.st.sink.of(kMsgType).back().value, row.cmd);
    }
  }
}

TEST(Dispatch1x, FailureActionsFollowTitleWanted) {
  Expansion plain;  // 0x1C wants exactly two bytes
  expand_1x(plain, 0, Bytes{0x1C, 1}, false, false, true);
  EXPECT_EQ(plain.msg.title, "");
  Expansion always;  // 0x63 titles its failure whatever is wanted
  expand_1x(always, 0, Bytes{0x63, 1}, false, false, false);
  EXPECT_EQ(always.msg.title, "MessageCode: 0000");
  Expansion pilots;  // 0x40 with five bytes: no decoder, no title, still the second write
  expand_1x(pilots, 0, Bytes{0x40, 1, 2, 3, 4, 5}, false);
  EXPECT_EQ(pilots.msg.title, "");
  EXPECT_EQ(pilots.st.sink.of(kMsgType).back().value, 0x40);
}

TEST(DispatchEvdo, ReservedIgnoredAndUnknownCodes) {
  for (const std::uint32_t code : {0x1092u, 0x1093u, 0x1295u, 0x100Bu}) {
    Expansion e;
    e.msg.title = "host's";
    expand_evdo(e, code, {});
    const bool reserved = code == 0x1092;
    EXPECT_EQ(e.msg.title, reserved ? "MessageCode: 1092 : Reserved Message" : "host's");
    EXPECT_EQ(e.msg.category, reserved ? 767 : 0);
    ASSERT_EQ(e.st.sink.writes.size(), 1u);
    EXPECT_EQ(e.st.sink.writes[0].value, code);
  }
}

TEST(DispatchEvdo, GuardsKeepDecoderFailuresInside) {
  std::vector<std::string> texts;
  cdmadiag::set_diagnostic_sink(
      [](void* ctx, std::uint32_t, const char* text) { static_cast<std::vector<std::string>*>(ctx)->push_back(text); },
      &texts);
  for (const std::uint32_t code : {0x1183u, 0x1186u, 0x1279u}) {
    Expansion e;
    EXPECT_NO_THROW(expand_evdo(e, code, Bytes{1}));
  }
  cdmadiag::set_diagnostic_sink(nullptr, nullptr);
  // The debug display fails on a one-byte packet after titling it: the title stays,
  // the failure text goes to the sink and nowhere else.
  Expansion e;
  expand_evdo(e, 0x1183, Bytes{1});
  EXPECT_EQ(e.msg.title, "1xEV Debug Display");
  EXPECT_EQ(e.msg.details.find("Qualcomm Standard"), std::string::npos);
  ASSERT_FALSE(texts.empty());
  EXPECT_EQ(texts.front(), "Message Buffer does not conforms to Qualcomm Standard.");
}

TEST(DispatchEvdo, RoutingRule) {
  using cdmadiag::evdo_routes;
  for (const std::uint32_t code : {0x105Du, 0x1069u, 0x108Cu, 0x1186u, 0x118Au, 0x117Fu, 0x132Du, 0x1294u, 0x12B3u})
    EXPECT_TRUE(evdo_routes(code)) << std::hex << code;
  for (const std::uint32_t code : {0x1075u, 0x1090u, 0x1093u, 0x1295u, 0x100Bu, 0x1185u, 0x0u})
    EXPECT_FALSE(evdo_routes(code)) << std::hex << code;
}

TEST(Codes, ListingCoversBothDispatchersAndCountsPlaceholders) {
  const auto codes = cdmadiag::known_codes();
  std::size_t evdo = 0, commands = 0, pending = 0;
  for (const auto& c : codes) {
    evdo += c.cls == cdmadiag::CodeClass::kEvdo;
    commands += c.cls == cdmadiag::CodeClass::kDiagCommand;
    pending += c.pending;
    EXPECT_TRUE(!c.pending || c.has_decoder);
  }
  EXPECT_EQ(commands, 21u);
  EXPECT_EQ(evdo, 39u + 5u + 4u + 34u + 15u);
  EXPECT_GT(pending, 0u);
}

// Shrinks as decoders land; it reaches zero when every decoder is written.
// A ceiling, not a count: families landing on parallel branches each lower the count
// without touching this line; it only has to never grow.
TEST(Codes, PlaceholdersNeverGrow) { EXPECT_LE(cdmadiag::pending_count(), 145u); }

// Titles live in the dispatch rows only: every written decoder shows its row's title
// (followed by its figures where the title carries some), on an empty packet (the
// failure path) and on a packet of zeros.
TEST(Codes, WrittenDecodersCarryTheirRowTitle) {
  using namespace cdmadiag;
  const Bytes zeros = Bytes{}.zeros(512);
  for (const LogRow& row : log_rows()) {
    if (row.title == nullptr || row.decoder == nullptr || is_pending(row.decoder)) continue;
    for (const Bytes& b : {Bytes{}, zeros}) {
      Expansion e;
      expand_1x(e, row.lo, b, true);
      EXPECT_TRUE(e.msg.title.starts_with(row.title)) << formatf("0x%04X, %u bytes: ", row.lo, b.size()) << e.msg.title;
    }
  }
  for (const CommandRow& row : command_rows()) {
    if (is_pending(row.decoder)) continue;
    Expansion e;
    expand_1x(e, 0, Bytes{row.cmd}.zeros(row.min_len), false);
    EXPECT_EQ(e.msg.title, row.title) << formatf("command 0x%02X", row.cmd);
  }
  for (const auto stage : {evdo_stage1_rows(), evdo_stage2_rows(), evdo_stage3_rows()}) {
    for (const EvdoRow& row : stage) {
      const bool written = (row.member != nullptr && !is_pending(row.member)) ||
                           (row.free != nullptr && !is_pending(row.free));
      if (!written) continue;
      for (const Bytes& b : {Bytes{}, zeros}) {
        Expansion e;
        expand_evdo(e, row.code, b);
        EXPECT_TRUE(e.msg.title.starts_with(row.title))
            << formatf("0x%04X, %u bytes: ", row.code, b.size()) << e.msg.title;
      }
    }
  }
}
