// Both dispatchers: routing, titles, categories and the message-code writes.
#include "framework/dispatch.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "framework/dispatch_tables.h"
#include "framework/pending.h"
#include "framework/text.h"
#include "support/decoder_case.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;
using cdmadiag::test::RecordingState;

namespace {
constexpr const char* kMsgType = "ATTR_ID_QUALCOMM_MDM_MSG_TYPE";
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
    DecoderCase c;
    c.title_wanted = c.details_wanted = false;
    EXPECT_EQ(c.run_1x(code, {}).title, "");
    EXPECT_EQ(c.msg.category, 767);
    c.details_wanted = true;
    EXPECT_EQ(c.run_1x(code, {}).title, cdmadiag::formatf("MessageCode: %04x : Reserved Message", code));
    EXPECT_EQ(c.st.sink.writes[0].name, kMsgType);
    EXPECT_EQ(c.st.sink.writes[0].op, WriteOp::kSetDWord);
    EXPECT_EQ(c.st.sink.writes[0].value, code);
  }
  // Codes in no row, and the mini messages.
  const std::pair<std::uint32_t, int> others[] = {{0x1161, 0}, {0x2020, 0}, {0x0FFF, 0}, {99999, 766}, {100000, 766}};
  for (const auto& [code, category] : others) {
    DecoderCase c;
    EXPECT_EQ(c.run_1x(code, {}).category, category) << code;
    EXPECT_EQ(c.msg.title, "");
  }
}

TEST(Dispatch1x, TitleRowsNeedTitleWanted) {
  DecoderCase c;
  c.title_wanted = false;
  EXPECT_EQ(c.run_1x(0x1000, {}).title, "");
  EXPECT_EQ(c.msg.details, "");
  c.title_wanted = true;
  EXPECT_EQ(c.run_1x(0x1000, {}).title, "Temporal Analyzer");
  EXPECT_EQ(c.run_1x(0x1205, {}).title, "Reserved");
  EXPECT_EQ(c.msg.category, 0);
  c.details_wanted = false;
  EXPECT_EQ(c.run_1x(0x10C1, {}).title, "RDCH Frame Information");  // shares its decoder with 0x10C0
}

TEST(Dispatch1x, AbsentCodeWithLogOnlyWritesOnlyTheCode) {
  DecoderCase c;
  EXPECT_EQ(c.run_1x(0xB0C0, Bytes{0x1C, 1, 0}).title, "");
  EXPECT_EQ(c.msg.category, 0);
  ASSERT_EQ(c.st.sink.writes.size(), 1u);
  EXPECT_EQ(c.st.sink.writes[0].op, WriteOp::kSetDWord);
}

TEST(Dispatch1x, CommandResponseIsShiftedInPlaceAndWritesTheCodeTwice) {
  const Bytes b{0x1C, 0xAA, 0xBB};
  COrbDecodeMsgCDMAQualcommFrame f(b.data(), b.size(), nullptr);
  RecordingState st;
  COrbExpandedMessage msg;
  f.ExpandQualcommMessage(&st.ds, msg, nullptr, false);
  EXPECT_EQ(msg.title, "Diag Version Response");
  EXPECT_EQ(f.GetLen(), 3u);
  EXPECT_EQ(f.GetBuf()[0], 0xAA);
  EXPECT_EQ(f.GetBuf()[1], 0xBB);
  EXPECT_EQ(f.payload().size(), 2u);
  const auto writes = st.sink.of(kMsgType);
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].op, WriteOp::kSetDWord);
  EXPECT_EQ(writes[0].value, 0);
  EXPECT_EQ(writes[1].op, WriteOp::kSetLong);
  EXPECT_EQ(writes[1].value, 0x1C);
}

TEST(Dispatch1x, UnknownCommandsAndEmptyResponsesGetCategory167AndNoSecondWrite) {
  for (const Bytes& b : {Bytes{0x7D, 0, 0, 0}, Bytes{0xFF}, Bytes{0x01}, Bytes{0x7B}, Bytes{}}) {
    DecoderCase c;
    EXPECT_EQ(c.run_1x(0x12, b, false).title, "MessageCode: 0012");
    EXPECT_EQ(c.msg.category, 167);
    EXPECT_EQ(c.st.sink.of(kMsgType).size(), 1u);
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
      DecoderCase c;
      EXPECT_EQ(c.run(0, Bytes().u8(row.cmd).zeros(n), true).title, title);
      EXPECT_EQ(c.st.sink.of(kMsgType).back().value, row.cmd);
    }
  }
}

TEST(Dispatch1x, FailureActionsFollowTitleWanted) {
  DecoderCase c;
  c.title_wanted = false;
  EXPECT_EQ(c.run(0, Bytes{0x1C, 1}, true).title, "");  // 0x1C wants exactly two bytes
  c.details_wanted = false;
  EXPECT_EQ(c.run(0, Bytes{0x63, 1}, true).title, "MessageCode: 0000");  // 0x63 titles its failure whatever is wanted
  c.title_wanted = c.details_wanted = true;
  // 0x40 with five bytes: no decoder, no title, still the second write
  EXPECT_EQ(c.run(0, Bytes{0x40, 1, 2, 3, 4, 5}, true).title, "");
  EXPECT_EQ(c.st.sink.of(kMsgType).back().value, 0x40);
}

TEST(DispatchEvdo, ReservedIgnoredAndUnknownCodes) {
  for (const std::uint32_t code : {0x1092u, 0x1093u, 0x1295u, 0x100Bu}) {
    DecoderCase c;
    const bool reserved = code == 0x1092;
    EXPECT_EQ(c.run_evdo(code, {}).title, reserved ? "MessageCode: 1092 : Reserved Message" : "");
    EXPECT_EQ(c.msg.category, reserved ? 767 : 0);
    ASSERT_EQ(c.st.sink.writes.size(), 1u);
    EXPECT_EQ(c.st.sink.writes[0].value, code);
  }
}

TEST(DispatchEvdo, GuardsKeepDecoderFailuresInside) {
  for (const std::uint32_t code : {0x1183u, 0x1186u, 0x1279u}) {
    DecoderCase c;
    EXPECT_NO_THROW(c.run_evdo(code, Bytes{1}));
  }
  // The debug display fails on a one-byte packet after titling it: the title stays,
  // the failure text goes to the diagnostic sink and nowhere else.
  DecoderCase c;
  EXPECT_EQ(c.run_evdo(0x1183, Bytes{1}).title, "1xEV Debug Display");
  EXPECT_EQ(c.msg.details.find("Qualcomm Standard"), std::string::npos);
  EXPECT_EQ(c.failures, std::vector<std::string>{"Message Buffer does not conforms to Qualcomm Standard."});
}

// What a guard keeps of each kind of exception: a malformed packet's own text, a
// fault's text behind the prefix that names it, and the stage's text for an exception
// that carries none.
TEST(DispatchEvdo, GuardTellsMalformedPacketsFromFaults) {
  struct Case {
    const char* name;
    void (*decode)();
    const char* kept;
  };
  const Case cases[] = {
      {"malformed", [] { throw cdmadiag::MalformedPacket("short"); }, "short"},
      {"read past the payload", [] { (void)cdmadiag::PayloadReader().u8(0); },
       "read of 1 bytes at offset 0 past a payload of 0 bytes"},
      {"bug", [] { throw std::logic_error("broken invariant"); }, "Decoder fault: broken invariant"},
      {"other invalid argument", [] { throw std::invalid_argument("stoi"); }, "Decoder fault: stoi"},
      {"not an exception", [] { throw 7; }, "Decoder fault: Cannot Decode Message"},
  };
  for (const Case& k : cases) {
    COrbExpandedMessage msg;
    msg.title = "kept";
    EXPECT_NO_THROW(cdmadiag::guarded(msg, 0x1192, "Cannot Decode Message", k.decode)) << k.name;
    EXPECT_EQ(msg.diagnostic, k.kept) << k.name;
    EXPECT_EQ(msg.title, "kept") << k.name;
  }
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
  EXPECT_EQ(pending, cdmadiag::pending_count());
}

// Every routed code has its decoder written; a new row comes with its decoder.
TEST(Codes, NoPlaceholderLeft) { EXPECT_EQ(cdmadiag::pending_count(), 0u); }

// Titles live in the dispatch rows only: every written decoder shows its row's title
// (followed by its figures where the title carries some), on an empty packet (the
// failure path) and on a packet of zeros; none where the row checks the length before
// the title and the packet failed it.
TEST(Codes, WrittenDecodersCarryTheirRowTitle) {
  using namespace cdmadiag;
  const Bytes zeros = Bytes{}.zeros(512);
  for (const LogRow& row : log_rows()) {
    if (row.title == nullptr || row.decoder == nullptr || row.pending) continue;
    for (const Bytes& b : {Bytes{}, zeros}) {
      DecoderCase c;
      EXPECT_TRUE(c.run_1x(row.lo, b).title.starts_with(row.title))
          << formatf("0x%04X, %u bytes: ", row.lo, b.size()) << c.msg.title;
    }
  }
  for (const CommandRow& row : command_rows()) {
    if (row.pending) continue;
    DecoderCase c;
    EXPECT_EQ(c.run(0, Bytes{row.cmd}.zeros(row.min_len), true).title, row.title) << formatf("command 0x%02X", row.cmd);
  }
  for (const auto stage : {evdo_stage1_rows(), evdo_stage2_rows(), evdo_stage3_rows()}) {
    for (const EvdoRow& row : stage) {
      if ((row.member == nullptr && row.free == nullptr) || row.pending) continue;
      for (const Bytes& b : {Bytes{}, zeros}) {
        DecoderCase c;
        const std::string title = c.run_evdo(row.code, b).title;
        // A row that checks the length first has no title exactly when the guard kept a failure.
        if (row.policy.title_at == TitleAt::kAfterCheck && !c.failures.empty()) {
          EXPECT_EQ(title, "") << formatf("0x%04X, %u bytes", row.code, b.size());
        } else {
          EXPECT_TRUE(title.starts_with(row.title)) << formatf("0x%04X, %u bytes: ", row.code, b.size()) << title;
        }
      }
    }
  }
}

// A read-only run writes nothing but the message code, on any packet, except the few
// decoders whose writes are made without asking (culling and set-membership flags, slot
// grids, per-carrier powers); this stands for a read-only check in each decoder's test.
TEST(Codes, ReadOnlyWritesOnlyWhatIsWrittenWithoutAsking) {
  using namespace cdmadiag;
  const std::vector<std::uint32_t> without_asking = {
      0x100B, 0x100D, 0x100F, 0x1014, 0x101A, 0x102D, 0x102F, 0x10C4, 0x1174, 0x1177,
      0x1179, 0x119A, 0x119B, 0x119C, 0x119D, 0x11A2, 0x1FEE, 0x1FF1, 0x1FFE, 0x129C};
  std::vector<std::uint32_t> codes;
  for (const LogRow& row : log_rows())
    if (row.title != nullptr && row.decoder != nullptr && !row.pending) codes.push_back(row.lo);
  for (const auto stage : {evdo_stage1_rows(), evdo_stage2_rows(), evdo_stage3_rows()})
    for (const EvdoRow& row : stage)
      if ((row.member != nullptr || row.free != nullptr) && !row.pending) codes.push_back(row.code);
  std::vector<std::uint32_t> writing;
  std::size_t writable = 0;  // codes these packets make write at all: the sweep's reach
  for (const std::uint32_t code : codes) {
    bool wrote = false, would = false;
    for (const std::uint8_t fill : {0x00, 0x01, 0x40}) {
      Bytes b;
      for (int i = 0; i < 512; ++i) b.u8(fill);
      for (const bool read_only : {true, false}) {
        DecoderCase c;
        c.read_only = read_only;
        c.run(code, b);
        (read_only ? wrote : would) |= !c.writes().empty();
      }
    }
    if (wrote) writing.push_back(code);
    writable += would;
  }
  EXPECT_GE(writable, 100u) << writable << " of " << codes.size();
  std::string listed;
  for (const std::uint32_t code : writing) listed += formatf("0x%04X, ", code);
  EXPECT_EQ(writing, without_asking) << listed;
}
