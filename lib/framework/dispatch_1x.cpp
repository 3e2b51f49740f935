// The 1x dispatcher: routes 1x, scanner and MediaFLO log codes and DIAG command
// responses to their decoders.
#include <algorithm>
#include <array>
#include <cstring>

#include "framework/attributes.h"
#include "framework/dispatch_tables.h"
#include "framework/text.h"

namespace cdmadiag {

namespace {

using F = COrbDecodeMsgCDMAQualcommFrame;
using Kind = LogKind;

constexpr const char* kReservedWordTitle = "Reserved";
constexpr const char* kReservedFormat = "MessageCode: %04x : Reserved Message";
constexpr const char* kUnknownCommandFormat = "MessageCode: %04x";
constexpr int kReservedCategory = 767;
constexpr int kUnknownCommandCategory = 167;
constexpr int kMiniMessageCategory = 766;

// The dispatcher's own rows: codes without a decoder.
constexpr LogRow titled(std::uint32_t code, const char* title) {
  return {.lo = code, .hi = code, .kind = Kind::kTitle, .title = title};
}
constexpr LogRow reserved(std::uint32_t lo, std::uint32_t hi) { return {.lo = lo, .hi = hi, .kind = Kind::kReserved}; }
constexpr LogRow reserved_word(std::uint32_t lo, std::uint32_t hi) {
  return {.lo = lo, .hi = hi, .kind = Kind::kReservedWord, .title = kReservedWordTitle};
}

constexpr LogRow kAllLogRows[] = {
    titled(0x1000, "Temporal Analyzer"),
    titled(0x1001, "ACG Power Control"),
    titled(0x1002, "Forward Link Frame Type"),
    titled(0x1010, "Handset Status"),
    titled(0x1011, "Vocoder Error Mask"),
    titled(0x1015, "Test Mobile Command"),
    titled(0x1017, "Band Change"),
    reserved(0x1018, 0x1018),
    reserved(0x101B, 0x101B),
    titled(0x101C, "Analog Forward Channel"),
    titled(0x101D, "Analog Reverse Channel"),
    titled(0x101E, "Analog Handoff"),
    titled(0x101F, "FM Slot Statistics"),
    titled(0x1020, "FOCC Word Sync Count"),
    reserved(0x1021, 0x1024),
    reserved(0x1027, 0x1028),
    reserved(0x1033, 0x1035),
    reserved(0x1038, 0x1038),
    reserved(0x103A, 0x103B),
    titled(0x103D, "Full Test Data Service Option Counters"),
    reserved(0x108D, 0x108F),
    titled(0x1090, "Forward Dedicated Control Channel"),
    titled(0x1091, "Reverse Dedicated Control Channel"),
    reserved(0x1092, 0x1092),
    reserved(0x1094, 0x1095),
    titled(0x1096, "GPS Visit Parameters"),
    titled(0x1097, "GPS Measurements"),
    titled(0x1098, "Removable User Identity Module Debug"),
    titled(0x1099, "Simple TSDO Counter for DCCH"),
    titled(0x109A, "Full TSDO Counter for DCCH"),
    reserved(0x109B, 0x109B),
    titled(0x109E, "Security PKX MM Statistics"),
    titled(0x109F, "Security PKX MM Operation"),
    titled(0x10A0, "Security Encoding Statistics"),
    titled(0x10A4, "Security Encoding Operation Ciphertext"),
    titled(0x10A5, "Security Encoding Operation Message Authentication Code"),
    titled(0x10A6, "Security Hasing Statistics"),
    titled(0x10A7, "Security Hashing Operation Input"),
    titled(0x10A8, "Security Hasing Operating Hash"),
    titled(0x10A9, "Security Secure Sockets Layer Session"),
    titled(0x10AA, "Security Secure Sockets Layer Session Server Certification"),
    titled(0x10AB, "Security Secure Sockets Layer Session Cipherdata"),
    titled(0x10AC, "Security Secure Sockets Layer Session Statistics"),
    titled(0x10AD, "Security Secure Sockets Layer Transmitted Statistics"),
    titled(0x10AE, "Security Secure Sockets Layer Received Statistics"),
    titled(0x10AF, "Security Secure Sockets Layer Handshake Protocol Hello Request"),
    titled(0x10B0, "Security Secure Sockets Layer Handshake Protocol Client Hello"),
    titled(0x10B1, "Security Secure Sockets Layer Handshake Protocol Server Hello"),
    titled(0x10B2, "Security Secure Sockets Layer Handshake Protocol Server DH Key Exchange"),
    titled(0x10B3, "Security Secure Sockets Layer Handshake Protocol Server RSA Key Exchange"),
    titled(0x10B4, "Security Secure Sockets Layer Handshake Protocol Server Hello Done"),
    titled(0x10B5, "Security Secure Sockets Layer Handshake Protocol Client DH Key Exchange"),
    titled(0x10B6, "Security Secure Sockets Layer Handshake Protocol Client RSA Exchange"),
    titled(0x10B7, "Security Secure Sockets Layer Handshake Protocol Client Finished"),
    titled(0x10B8, "Security Secure Sockets Layer Handshake Protocol Server Finished"),
    titled(0x10B9, "Security Secure Sockets Layer Cipherspec Protocol Change"),
    titled(0x10BA, "Security Secure Sockets Layer Alert Protocol Alert"),
    reserved(0x10BB, 0x10BB),
    reserved(0x10BD, 0x10BF),
    titled(0x10C8, "Triage"),
    reserved(0x10C9, 0x10CF),
    titled(0x10D0, "System Arbitration Module"),
    titled(0x10D2, "System Determination Last Main Action"),
    titled(0x10D3, "System Determination Last Hybrig Action"),
    reserved(0x10D4, 0x10DA),
    titled(0x10DB, "Position Engine Full"),
    titled(0x10DC, "Position Engine Partial"),
    reserved(0x10DD, 0x10E1),
    titled(0x10E2, "MPEG4 YUV Frame"),
    titled(0x10E3, "MPEG4 Clip Statistics"),
    reserved(0x10E4, 0x1153),
    titled(0x1155, "Memory Debug"),
    titled(0x1156, "System Level Task Profiling"),
    titled(0x1157, "Per Task Profiling"),
    reserved(0x1158, 0x115D),
    titled(0x115E, "Position Engine Partial Version 2"),
    reserved(0x115F, 0x1160),
    reserved_word(0x11ED, 0x11ED),
    reserved_word(0x11FE, 0x11FE),
    reserved_word(0x1204, 0x1205),
    reserved_word(0x125E, 0x125E),
// The families' rows.
#define CDMADIAG_1X(c, d, t, p) {.lo = c, .hi = c, .kind = Kind::kDecoder, .title = t, .decoder = &F::d, .policy = p},
#define CDMADIAG_1X_ALSO(lo_, hi_, d, t, p) \
  {.lo = lo_, .hi = hi_, .kind = Kind::kDecoder, .title = t, .decoder = &F::d, .policy = p},
#define CDMADIAG_1X_MINI(c, d, p) {.lo = c, .hi = c, .kind = Kind::kMini, .decoder = &F::d, .policy = p},
#define CDMADIAG_1X_GENTA(c, t, p) {.lo = c, .hi = c, .kind = Kind::kGenTA, .title = t, .policy = p},
#define CDMADIAG_1X_PENDING(c, d, t) \
  {.lo = c, .hi = c, .kind = Kind::kDecoder, .title = t, .decoder = &F::d, .pending = true},
#include "framework/code_lists.h"
};
constexpr auto kLogRows = sorted_rows(kAllLogRows, &LogRow::lo);
static_assert(std::ranges::all_of(kLogRows, [](const LogRow& r) { return r.lo <= r.hi; }));
static_assert(std::ranges::adjacent_find(kLogRows, [](const LogRow& a, const LogRow& b) { return a.hi >= b.lo; }) ==
                  kLogRows.end(),
              "two log rows share a code");

constexpr CommandRow kAllCommandRows[] = {
#define CDMADIAG_COMMAND(c, lo, hi, f, d, t, p) \
  {.cmd = c, .min_len = lo, .max_len = hi, .on_failure = f, .title = t, .decoder = &F::d, .policy = p},
#define CDMADIAG_COMMAND_PENDING(c, lo, hi, f, d, t) \
  {.cmd = c, .min_len = lo, .max_len = hi, .on_failure = f, .title = t, .decoder = &F::d, .pending = true},
#include "framework/code_lists.h"
};
constexpr auto kCommandRows = sorted_rows(kAllCommandRows, &CommandRow::cmd);
static_assert(strictly_ascending(std::span<const CommandRow>(kCommandRows), [](const CommandRow& r) { return r.cmd; }),
              "two command rows share a command");
static_assert(std::ranges::all_of(kCommandRows, [](const CommandRow& r) { return r.cmd <= kLastCommand; }));
// No guard stands between these decoders and the host: none may throw its failures.
static_assert(std::ranges::none_of(kLogRows, [](const LogRow& r) { return r.policy.on_short == OnShort::kThrow; }) &&
                  std::ranges::none_of(kCommandRows,
                                       [](const CommandRow& r) { return r.policy.on_short == OnShort::kThrow; }),
              "a 1x row throws its failures");

// Members no log code routes to: their titles and policies only.
struct UnroutedRow {
  Decoder1x decoder;
  DecoderRow row;
};
#define CDMADIAG_1X_UNROUTED(d, t, p) constexpr Policy kUnrouted##d = p;
#include "framework/code_lists.h"
constexpr UnroutedRow kUnrouted[] = {
#define CDMADIAG_1X_UNROUTED(d, t, p) {&F::d, {t, &kUnrouted##d}},
#include "framework/code_lists.h"
};

void show_title(COrbExpandedMessage& msg, const char* title) {
  if (title != nullptr) msg.title = title;
}

constexpr Policy kNoPolicy{};

DecoderRow row_of(const char* title, const Policy& policy) { return {title, &policy}; }

}  // namespace

std::span<const LogRow> log_rows() { return kLogRows; }
std::span<const CommandRow> command_rows() { return kCommandRows; }

const LogRow* find_log_row(std::uint32_t code) {
  const auto it = std::ranges::upper_bound(kLogRows, code, {}, &LogRow::lo);
  if (it == std::begin(kLogRows)) return nullptr;
  const LogRow& row = *(it - 1);
  return code <= row.hi ? &row : nullptr;
}

const CommandRow* find_command_row(std::uint8_t cmd) {
  const auto it = std::ranges::lower_bound(kCommandRows, cmd, {}, &CommandRow::cmd);
  return it != std::end(kCommandRows) && it->cmd == cmd ? &*it : nullptr;
}

DecoderRow decoder_row(Decoder1x d, std::uint32_t code) {
  if (const LogRow* row = find_log_row(code); row != nullptr && row->decoder == d)
    return row_of(row->title, row->policy);
  for (const LogRow& row : kLogRows) {
    if (row.decoder == d) return row_of(row.title, row.policy);
  }
  for (const CommandRow& row : kCommandRows) {
    if (row.decoder == d) return row_of(row.title, row.policy);
  }
  for (const UnroutedRow& u : kUnrouted) {
    if (u.decoder == d) return u.row;
  }
  return row_of(nullptr, kNoPolicy);
}

}  // namespace cdmadiag

using namespace cdmadiag;

Decoding COrbDecodeMsgCDMAQualcommFrame::Begin(COrbExpandedMessage& msg, Member self) const {
  const std::uint32_t code = GetMessageCode();
  const DecoderRow row = self == routed_ && code == routed_code_ ? routed_row_ : decoder_row(self, code);
  return Decoding(msg, row.title, *row.policy);
}

void COrbDecodeMsgCDMAQualcommFrame::CallRouted(Member decoder, const char* title, const Policy& policy,
                                                IOrbDataState* ds, COrbExpandedMessage& msg,
                                                IDekCellRefs_Search* cells) {
  routed_ = decoder;
  routed_code_ = GetMessageCode();
  routed_row_ = {title, &policy};
  (this->*decoder)(ds, msg, cells);
}

void COrbDecodeMsgCDMAQualcommFrame::ExpandQualcommMessage(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                           IDekCellRefs_Search* cells, bool logOnly) {
  if (ds == nullptr) return;
  const std::uint32_t code = GetMessageCode();
  ds->SetDWord(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, code, 0, IOrbDataState::kNoBound, 0);

  if (const LogRow* row = find_log_row(code)) {
    switch (row->kind) {
      case LogKind::kDecoder:
        if ((row->pending || row->policy.title_at == TitleAt::kDispatcher) && msg.titleWanted) {
          show_title(msg, row->title);
        }
        CallRouted(row->decoder, row->title, row->policy, ds, msg, cells);
        return;
      case LogKind::kTitle:
      case LogKind::kReservedWord:
        if (msg.titleWanted) show_title(msg, row->title);
        return;
      case LogKind::kReserved:
        if (msg.detailsWanted || msg.titleWanted) msg.title = formatf(kReservedFormat, code);
        msg.category = kReservedCategory;
        return;
      case LogKind::kGenTA: {
        std::uint32_t scratch = 0;
        DecodeGenTAInfo(ds, msg, scratch, cells, false);
        return;
      }
      case LogKind::kMini:
        msg.category = kMiniMessageCategory;
        CallRouted(row->decoder, row->title, row->policy, ds, msg, cells);
        return;
    }
    return;
  }
  if (logOnly) return;

  // A DIAG command response, keyed by its first byte. An empty packet has no command
  // byte to read; it is reported like an unknown command instead of being read.
  const std::uint32_t len = GetLen();
  const CommandRow* row = nullptr;
  std::uint8_t cmd = 0;
  if (len > 0) {
    cmd = GetBuf()[0];
    // The decoders see the bytes after the command code from offset 0; the buffer stays
    // shifted and GetLen() keeps its count.
    std::memmove(GetBuf(), GetBuf() + 1, len - 1);
    response_shifted_ = true;
    if (cmd <= kLastCommand) row = find_command_row(cmd);
  }
  if (row == nullptr) {
    if (msg.detailsWanted || msg.titleWanted) msg.title = formatf(kUnknownCommandFormat, code);
    msg.category = kUnknownCommandCategory;
    return;
  }
  const std::uint32_t n = len - 1;
  if (n >= row->min_len && n <= row->max_len) {
    if (row->pending && msg.titleWanted) show_title(msg, row->title);
    CallRouted(row->decoder, row->title, row->policy, ds, msg, cells);
  } else {
    switch (row->on_failure) {
      case OnFailure::kTitle:
        if (msg.titleWanted) msg.title = formatf(kUnknownCommandFormat, code);
        break;
      case OnFailure::kTitleAlways: msg.title = formatf(kUnknownCommandFormat, code); break;
      case OnFailure::kNothing: break;
    }
  }
  ds->SetLong(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, cmd, 0, IOrbDataState::kNoBound, 0);
}
