#pragma once
// The dispatchers' code tables, shared by the dispatchers, the decoder kit and the
// code listing. A decoder's rows come from its family's code list; see
// framework/code_lists.h.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <limits>
#include <span>
#include <string>

#include "framework/decoder_policy.h"
#include "framework/diagnostics.h"
#include "framework/payload_reader.h"
#include "framework/pending.h"

namespace cdmadiag {

// ---- 1x log codes ----

enum class LogKind : std::uint8_t {
  kDecoder,       // the decoder sets its own title (or the dispatcher, by its policy)
  kTitle,         // title only
  kReserved,      // "MessageCode: %04x : Reserved Message", category 767
  kReservedWord,  // "Reserved"
  kGenTA,         // DecodeGenTAInfo, the long form
  kMini,          // category 766, then the decoder (attributes only)
};

struct LogRow {
  std::uint32_t lo = 0;
  std::uint32_t hi = 0;
  LogKind kind = LogKind::kTitle;
  const char* title = nullptr;
  Decoder1x decoder = nullptr;
  Policy policy{};
  bool pending = false;  // routes to the placeholder of a decoder not written yet
};

// ---- DIAG command responses ----

enum class OnFailure : std::uint8_t { kTitle, kTitleAlways, kNothing };

struct CommandRow {
  std::uint8_t cmd = 0;
  std::uint32_t min_len = 0;  // bytes after the command code
  std::uint32_t max_len = 0;
  OnFailure on_failure = OnFailure::kNothing;
  const char* title = nullptr;
  Decoder1x decoder = nullptr;
  Policy policy{};
  bool pending = false;
};

inline constexpr std::uint32_t kAnyLength = std::numeric_limits<std::uint32_t>::max();
inline constexpr std::uint8_t kLastCommand = 0x7C;

// ---- EV-DO log codes ----

enum class EvdoKind : std::uint8_t {
  kMember,    // member decoder
  kFree,      // free decoder
  kGuarded,   // free decoder inside the stage 1 guard
  kReserved,  // "MessageCode: %04x : Reserved Message", category 767
  kIgnore,    // a 1x code: return at once
};

struct EvdoRow {
  std::uint32_t code = 0;
  std::uint8_t stage = 1;  // 1 Release 0, 2 Revision A (inside one guard), 3 Revision B
  EvdoKind kind = EvdoKind::kIgnore;
  const char* title = nullptr;
  DecoderEvdo member = nullptr;
  DecoderFree free = nullptr;
  Policy policy{};
  bool pending = false;
};

std::span<const LogRow> log_rows();
std::span<const CommandRow> command_rows();
std::span<const EvdoRow> evdo_stage1_rows();
std::span<const EvdoRow> evdo_stage2_rows();
std::span<const EvdoRow> evdo_stage3_rows();

const LogRow* find_log_row(std::uint32_t code);
const CommandRow* find_command_row(std::uint8_t cmd);
const EvdoRow* find_evdo_row(std::span<const EvdoRow> stage, std::uint32_t code);
// The row of code when it routes to d, else d's first row (log rows, then command
// rows, then the members no code routes to); a row without title or policy when d
// has none.
DecoderRow decoder_row(Decoder1x d, std::uint32_t code);
DecoderRow decoder_row(DecoderEvdo d, std::uint32_t code);
DecoderRow decoder_row(DecoderFree d);
// The policy of the row that routes code through its dispatcher (EV-DO where that
// dispatcher routes it, else 1x); nullptr for a code without a decoder.
const Policy* code_policy(std::uint32_t code);

// Runs one decoder inside an EV-DO guard. A malformed packet's text is the packet's
// diagnostic as it stands; any other exception is a decoder fault, reported as
// "Decoder fault: " and its own text (or, when it carries none, the stage's text), so
// that a bug is never read as a short packet.
inline constexpr const char* kDecoderFault = "Decoder fault: ";
template <class Decode>
void guarded(COrbExpandedMessage& msg, std::uint32_t code, const char* anonymous, Decode decode) {
  try {
    decode();
  } catch (const MalformedPacket& e) {
    report_decoder_failure(msg, code, e.what());
  } catch (const std::exception& e) {
    report_decoder_failure(msg, code, (std::string(kDecoderFault) + e.what()).c_str());
  } catch (...) {
    report_decoder_failure(msg, code, (std::string(kDecoderFault) + anonymous).c_str());
  }
}

template <typename Row, typename Key>
constexpr bool strictly_ascending(std::span<const Row> rows, Key key) {
  return std::ranges::adjacent_find(rows, [&](const Row& a, const Row& b) { return key(a) >= key(b); }) == rows.end();
}

// The rows in key order: the code lists are grouped by family, the lookups bisect.
template <typename Row, std::size_t N, typename Key>
constexpr std::array<Row, N> sorted_rows(const Row (&rows)[N], Key key) {
  std::array<Row, N> out{};
  std::ranges::copy(rows, out.begin());
  std::ranges::sort(out, {}, key);
  return out;
}

}  // namespace cdmadiag
