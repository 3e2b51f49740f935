#pragma once
// The dispatchers' code tables, shared by the dispatchers and the code listing.
#include <algorithm>
#include <cstdint>
#include <limits>
#include <span>

#include "framework/pending.h"

namespace cdmadiag {

// ---- 1x log codes ----

enum class LogKind : std::uint8_t {
  kDecoder,           // the decoder sets its own title
  kTitle,             // title only
  kReserved,          // "MessageCode: %04x : Reserved Message", category 767
  kReservedWord,      // "Reserved"
  kTitleThenDecoder,  // the dispatcher sets the title, then the decoder runs
  kGenTA,             // DecodeGenTAInfo, the long form
  kMini,              // category 766, then the decoder (attributes only)
};

struct LogRow {
  std::uint32_t lo;
  std::uint32_t hi;
  LogKind kind;
  const char* title;
  Decoder1x decoder;
};

// ---- DIAG command responses ----

enum class OnFailure : std::uint8_t { kTitle, kTitleAlways, kNothing };

struct CommandRow {
  std::uint8_t cmd;
  std::uint32_t min_len;  // bytes after the command code
  std::uint32_t max_len;
  OnFailure on_failure;
  const char* title;
  Decoder1x decoder;
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
  std::uint32_t code;
  EvdoKind kind;
  const char* title;
  DecoderEvdo member;
  DecoderFree free;
};

std::span<const LogRow> log_rows();
std::span<const CommandRow> command_rows();
std::span<const EvdoRow> evdo_stage1_rows();
std::span<const EvdoRow> evdo_stage2_rows();
std::span<const EvdoRow> evdo_stage3_rows();

const LogRow* find_log_row(std::uint32_t code);
// Title of the row that routes code, nullptr when none has one.
const char* log_title(std::uint32_t code);
// Title of the row of code when it routes to d, else of d's first row (log rows,
// then command rows); nullptr when d has no row.
const char* row_title(Decoder1x d, std::uint32_t code);
const char* row_title(DecoderEvdo d, std::uint32_t code);
const char* row_title(DecoderFree d);
const CommandRow* find_command_row(std::uint8_t cmd);
const EvdoRow* find_evdo_row(std::span<const EvdoRow> stage, std::uint32_t code);

template <typename Row, typename Key>
constexpr bool strictly_ascending(std::span<const Row> rows, Key key) {
  return std::ranges::adjacent_find(rows, [&](const Row& a, const Row& b) { return key(a) >= key(b); }) == rows.end();
}

}  // namespace cdmadiag
