// EV-DO signalling events: session (UATI) attempts (0x106B, 0x1088), access attempts
// (0x106C, 0x1292), connection attempts and releases (0x106E, 0x1071), page messages
// (0x106F), the protocol state summary (0x107E), sector information (0x1080), the
// received ATI list (0x1087) and the system arbitration marker (0x1081).
//
// These are what a failed-call analysis looks for first, so every result and reason
// is shown with its number and its name, and the host counts attempts, failures and
// states from the attributes.
#include <array>
#include <cassert>
#include <cstdint>
#include <span>
#include <string>

#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using E = COrbDecodeMsgCDMA1xEVDOQualcommFrame;
using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::bits;
using cdmadiag::Cursor;
using cdmadiag::name_or;

constexpr const char* kReserved = "Reserved";

// ---------------------------------------------------------------------------------
// Session attempt (0x106B) and session attempt version 2 (0x1088).
//
// Payload (version 1: 26 bytes; version 2: 39 bytes):
//  +off  type     name            unit
//   +0   u8       TransactionId
//   +1   u8       Result          0 = UATIAssignment received
//   +2   u32      RATI
//   +6   u16      Duration
//   +8   u32      SuccessCount
//  +12   u32      FailureCount
//  +16   u32      AttemptsCount
//  +20   u16      PN
//  +22   u8       UATIColorCode
//  +23   u24      UATI024         version 1: low 24 bits of the UATI
//  +23   16 x u8  UATI            version 2: the full UATI, in packet order
[[maybe_unused]] constexpr std::size_t kSaUati = 23;
constexpr std::size_t kSaUatiFullSize = 16;
constexpr std::uint8_t kUatiAssigned = 0;

struct SessionAttempt {
  unsigned transaction_id, result, duration, pn, color_code;
  std::uint32_t rati, success, failure, attempts;
};

// The fields both versions share, up to the UATI.
SessionAttempt read_session_attempt(Cursor& c) {
  SessionAttempt s{};
  s.transaction_id = c.u8();
  s.result = c.u8();
  s.rati = c.u32le();
  s.duration = c.u16le();
  s.success = c.u32le();
  s.failure = c.u32le();
  s.attempts = c.u32le();
  s.pn = c.u16le();
  s.color_code = c.u8();
  assert(!c.ok() || c.offset() == kSaUati);
  return s;
}

const char* session_result_name(unsigned result) {
  return result == kUatiAssigned ? "Received UATIAssignment message" : "Did not receive UATIAssignment message";
}

// The attributes both versions share, by version.
struct SessionAttrs {
  const std::uint32_t *transaction_id, *result, *rati, *duration, *success, *failure, *attempts, *pn, *color_code;
};
const SessionAttrs kSessionAttrs1{
    &ATTR_ID_EVDO_SESSIONATTEMPT_TRANSACTION_ID, &ATTR_ID_EVDO_SESSIONATTEMPT_RESULT,
    &ATTR_ID_EVDO_SESSIONATTEMPT_RATI,           &ATTR_ID_EVDO_SESSIONATTEMPT_DURATION,
    &ATTR_ID_EVDO_SESSIONATTEMPT_SUCCESS_COUNT,  &ATTR_ID_EVDO_SESSIONATTEMPT_FAILURE_COUNT,
    &ATTR_ID_EVDO_SESSIONATTEMPT_ATTEMPTS_COUNT, &ATTR_ID_EVDO_SESSIONATTEMPT_PN,
    &ATTR_ID_EVDO_SESSIONATTEMPT_UATI_COLOR_CODE};
const SessionAttrs kSessionAttrs2{
    &ATTR_ID_EVDO_SESSIONATTEMPTVER2_TRANSACTION_ID, &ATTR_ID_EVDO_SESSIONATTEMPTVER2_RESULT,
    &ATTR_ID_EVDO_SESSIONATTEMPTVER2_RATI,           &ATTR_ID_EVDO_SESSIONATTEMPTVER2_DURATION,
    &ATTR_ID_EVDO_SESSIONATTEMPTVER2_SUCCESS_COUNT,  &ATTR_ID_EVDO_SESSIONATTEMPTVER2_FAILURE_COUNT,
    &ATTR_ID_EVDO_SESSIONATTEMPTVER2_ATTEMPTS_COUNT, &ATTR_ID_EVDO_SESSIONATTEMPTVER2_PN,
    &ATTR_ID_EVDO_SESSIONATTEMPTVER2_UATI_COLOR_CODE};

// The counters, then PN and colour code when a UATI was assigned (no value otherwise).
void write_session_attempt(const AttrWriter& w, const SessionAttrs& a, const SessionAttempt& s) {
  w.Byte(*a.transaction_id, static_cast<std::uint8_t>(s.transaction_id));
  w.Byte(*a.result, static_cast<std::uint8_t>(s.result));
  w.ULong(*a.rati, s.rati);
  w.UShort(*a.duration, static_cast<std::uint16_t>(s.duration));
  w.ULong(*a.success, s.success);
  w.ULong(*a.failure, s.failure);
  w.ULong(*a.attempts, s.attempts);
  if (s.result == kUatiAssigned) {
    w.UShort(*a.pn, static_cast<std::uint16_t>(s.pn));
    w.Byte(*a.color_code, static_cast<std::uint8_t>(s.color_code));
  } else {
    w.NoValue(*a.pn);
    w.NoValue(*a.color_code);
  }
}

void append_session_attempt(std::string& out, const SessionAttempt& s) {
  appendf(out,
          "TransactionId: %u\nResult: %s\nRATI: %u\nDuration: %u\nSuccessCount: %u\nFailureCount: %u\n"
          "AttemptsCount: %u\n",
          s.transaction_id, session_result_name(s.result), s.rati, s.duration, s.success, s.failure, s.attempts);
}

// ---------------------------------------------------------------------------------
// Access attempt (0x106C), 25 bytes:
//  +off  type  name                 unit
//   +0   u8    TransactionId
//   +1   u8    ProbeNumStep
//   +2   u8    MaxProbeSequence
//   +3   u8    ProbeSequenceCount
//   +4   u8    Result
//   +5   u16   Duration             slots
//   +7   u32   SuccessCount
//  +11   u32   FailureCount
//  +15   u16   AttemptsCount
//  +17   u16   PN
//  +19   u32   SectorID
//  +23   u8    ColorCode
//  +24   u8    ProbeCount
//
// Enhanced access attempt (0x1292), 34 bytes, 35 when ProbeSequenceCount is not 0:
//  +off  type  name                 unit
//   +0   u8    Version
//   +1   u8    MaxPNRandomDelay
//   +2   u8    EnhAccessParamsIncluded  0 = No
//   +3   u8    ProbePowerAdjust
//   +4   2     (not decoded)
//   +6   u8    AccessOffset
//   +7   u8    MaxSectorAccessRate
//   +8   u8    PayloadSize
//   +9   u8    TransactionId
//  +10   u8    ProbeNumStep
//  +11   u8    MaxProbeSequence
//  +12   u8    ProbeSequenceCount
//  +13   u8    Result
//  +14   u16   Duration             slots
//  +16   u32   SuccessCount
//  +20   u32   FailureCount
//  +24   u16   AttemptsCount
//  +26   2     (not decoded)
//  +28   u16   PN
//  +30   u24   SectorID
//  +33   u8    ColorCode
//  +34   u8    ProbeCount           present only after a probe sequence
[[maybe_unused]] constexpr std::size_t kAaSize = 25;
[[maybe_unused]] constexpr std::size_t kEaFixedSize = 34;

constexpr std::array<ValueName, 4> kAccessResultNames{{
    {0, "ACAck not received"},
    {1, "ACAck received"},
    {2, "TCA message received"},
    {3, "Probe interrupted"},
}};
constexpr std::uint8_t kAccessFailed = 0;
constexpr std::uint8_t kAccessProbeInterrupted = 3;

struct AccessAttempt {
  unsigned transaction_id, probe_num_step, max_probe_sequence, probe_sequence_count, result, duration, attempts, pn,
      color_code, probe_count;
  std::uint32_t success, failure, sector_id;
};

// The fields both layouts share, from the transaction ID to the colour code; the
// enhanced one has two bytes before the PN and a 24-bit sector ID.
AccessAttempt read_access_attempt(Cursor& c, bool enhanced) {
  AccessAttempt a{};
  a.transaction_id = c.u8();
  a.probe_num_step = c.u8();
  a.max_probe_sequence = c.u8();
  a.probe_sequence_count = c.u8();
  a.result = c.u8();
  a.duration = c.u16le();
  a.success = c.u32le();
  a.failure = c.u32le();
  a.attempts = c.u16le();
  if (enhanced) c.skip(2);
  a.pn = c.u16le();
  a.sector_id = enhanced ? c.u24le() : c.u32le();
  a.color_code = c.u8();
  return a;
}

void write_access_attempt(const AttrWriter& w, const AccessAttempt& a) {
  w.Byte(ATTR_ID_EVDO_ACCESSATTEMPT_TRANSACTION_ID, static_cast<std::uint8_t>(a.transaction_id));
  w.Byte(ATTR_ID_EVDO_ACCESSATTEMPT_PROBE_NUM_STEP, static_cast<std::uint8_t>(a.probe_num_step));
  w.Byte(ATTR_ID_EVDO_ACCESSATTEMPT_MAX_PROBE_SEQUENCE, static_cast<std::uint8_t>(a.max_probe_sequence));
  w.Byte(ATTR_ID_EVDO_ACCESSATTEMPT_PROBE_SEQUENCE_COUNT, static_cast<std::uint8_t>(a.probe_sequence_count));
  w.Byte(ATTR_ID_EVDO_ACCESSATTEMPT_RESULT, static_cast<std::uint8_t>(a.result));
  w.UShort(ATTR_ID_EVDO_ACCESSATTEMPT_DURATION, static_cast<std::uint16_t>(a.duration));
  w.ULong(ATTR_ID_EVDO_ACCESSATTEMPT_SUCCESS_COUNT, a.success);
  w.ULong(ATTR_ID_EVDO_ACCESSATTEMPT_FAILURE_COUNT, a.failure);
  w.ULong(ATTR_ID_EVDO_ACCESSATTEMPT_ATTEMPTS_COUNT, a.attempts);
  w.UShort(ATTR_ID_EVDO_ACCESSATTEMPT_PN, static_cast<std::uint16_t>(a.pn));
  w.ULong(ATTR_ID_EVDO_ACCESSATTEMPT_SECTOR_ID, a.sector_id);
  w.Byte(ATTR_ID_EVDO_ACCESSATTEMPT_COLOR_CODE, static_cast<std::uint8_t>(a.color_code));
  w.Byte(ATTR_ID_EVDO_ACCESSATTEMPT_PROBE_COUNT, static_cast<std::uint8_t>(a.probe_count));
  if (a.result == kAccessFailed) w.Long(ATTR_ID_EVDO_ACCESSATTEMPT_FAILED, 1);
  if (a.result == kAccessProbeInterrupted) w.Long(ATTR_ID_PROBE_INTERRUPTED, 1);
}

void append_access_attempt(std::string& out, const AccessAttempt& a, bool with_probe_count) {
  appendf(out, "Transaction ID: %u\nProbe num step: %u\nMax probe sequence: %u\n\nProbe sequence count: %u\n",
          a.transaction_id, a.probe_num_step, a.max_probe_sequence, a.probe_sequence_count);
  appendf(out, "Result: %u (%s)\nDuration(in slots): %u\nSuccess count: %u\nFailure count: %u\nAttempts count: %u\n",
          a.result, name_or(kAccessResultNames, a.result, kReserved), a.duration, a.success, a.failure, a.attempts);
  appendf(out, "PN: %u\n", a.pn);
  appendf(out, "Sector ID: %u\nColor code: %u\n", a.sector_id, a.color_code);
  if (with_probe_count) appendf(out, "Probe Count: %u\n", a.probe_count);
}

// ---------------------------------------------------------------------------------
// Connection attempt (0x106E), 24 bytes:
//  +off  type  name              unit
//   +0   u8    TransactionId
//   +1   u8    MessageSequence
//   +2   u8    bits 0-3 Result, bits 4-7 ReceptionStatus
//   +3   u16   Duration
//   +5   u32   SuccessCount
//   +9   u32   FailureCount
//  +13   u32   AttemptsCount
//  +17   u16   PN
//  +19   u24   SectorID
//  +22   u8    ColorCode
//  +23   u8    NumHO
[[maybe_unused]] constexpr std::size_t kCaSize = 24;

constexpr std::array<ValueName, 13> kConnectionResultNames{{
    {0, "ConnectionDenyReceived with DenyReason=General"},
    {1, "ConnectionDenyReceived with DenyReason=Network Busy"},
    {2, "ConnectionDenyReceived with DenyReason=Authentication or billing failure"},
    {3, "Max. access probes"},
    {4, "System lost (supervision failures)"},
    {5, "Not preferred (SD told OVHD to switch systems -QC redirect, Access network ID)"},
    {6, "Redirect (ALMP received a redirect message)"},
    {7, "Connection setup timeout"},
    {8, "PowerDownReceived"},
    {9, "OfflineReceived"},
    {10, "NAMChangeReceived"},
    {11, "E - Reserved"},
    {15, "Success"},
}};
constexpr std::array<ValueName, 3> kReceptionStatusNames{{
    {0, "Not received either TCA or RTCACK message"},
    {1, "Received TCA message but not received RTCACK message"},
    {2, "Received both TCA and RTCACK message"},
}};

// Connection release (0x1071), 1 byte: u8 Reason.
constexpr std::array<ValueName, 10> kReleaseReasonNames{{
    {0, "AN Connection Close"},
    {1, "AT Connection Close"},
    {2, "System lost (supervision failures, TCA message rejected)"},
    {3, "Not preferred (SD told OVHD to switch sytems -QC redirect, Access network ID)"},
    {4, "Redirect (ALMP received a redirect message)"},
    {5, "Power Down Received"},
    {6, "Offline Received"},
    {7, "NAM Change Received"},
    {8, "Page Message Received"},
    {9, "Unspecified (ALMP rude close)"},
}};

// Page message (0x106F), 8 bytes:
//  +off  type  name           unit
//   +0   u16   HSTR           half slots
//   +2   u32   AttemptsCount
//   +6   u16   PN

// ---------------------------------------------------------------------------------
// State information (0x107E), nine u8 states in the order of kStates.
constexpr std::array<ValueName, 6> kAtStateNames{{
    {0, "Inactive (AT switched to 1x or is in Deep Sleep)"},
    {1, "Acquisition"},
    {2, "Sync"},
    {3, "Idle"},
    {4, "Access"},
    {5, "Connected"},
}};
constexpr std::array<ValueName, 5> kSessionStateNames{{
    {0, "Closed"},
    {1, "AMP setup"},
    {2, "AT-initiated negotiation"},
    {3, "AN-initiated negotiation"},
    {4, "Open"},
}};
constexpr std::array<ValueName, 4> kAlmpStateNames{
    {{0, "Inactive"}, {1, "Initialization"}, {2, "Idle"}, {3, "Connected"}}};
constexpr std::array<ValueName, 4> kInitStateNames{
    {{0, "Inactive"}, {1, "Network determination"}, {2, "Pilot acquisition"}, {3, "Sync"}}};
constexpr std::array<ValueName, 4> kIdleStateNames{
    {{0, "Inactive"}, {1, "Monitor"}, {2, "Sleep"}, {3, "Connection setup"}}};
constexpr std::array<ValueName, 2> kConnectedStateNames{{{0, "Inactive"}, {1, "Open"}}};
constexpr std::array<ValueName, 4> kRouteUpdateStateNames{
    {{0, "Inactive"}, {1, "Idle"}, {2, "Connection setup"}, {3, "Connected"}}};
constexpr std::array<ValueName, 6> kOverheadStateNames{{
    {0, "Inactive"},
    {1, "Process all messages"},
    {2, "Sleep"},
    {3, "Frequency change in progress"},
    {4, "Access handoff in progress"},
    {5, "Wait for Link"},
}};
constexpr std::array<ValueName, 2> kHybridModeNames{{{0, "Off"}, {1, "On"}}};

struct StateRow {
  const char* label;
  std::span<const ValueName> names;
  const std::uint32_t* attr;
};
const std::array<StateRow, 9> kStates{{
    {"AT state", kAtStateNames, &ATTR_ID_EVDO_STATEINFO_AT_STATE},
    {"Session state", kSessionStateNames, &ATTR_ID_EVDO_STATEINFO_SESSION_STATE},
    {"ALMP state", kAlmpStateNames, &ATTR_ID_EVDO_STATEINFO_ALMP_STATE},
    {"Init state", kInitStateNames, &ATTR_ID_EVDO_STATEINFO_INIT_STATE},
    {"Idle state", kIdleStateNames, &ATTR_ID_EVDO_STATEINFO_IDLE_STATE},
    {"Connected state", kConnectedStateNames, &ATTR_ID_EVDO_STATEINFO_CONNECTED_STATE},
    {"Route update state", kRouteUpdateStateNames, &ATTR_ID_EVDO_STATEINFO_ROUTE_UPDATE_STATE},
    {"Overhead message state", kOverheadStateNames, &ATTR_ID_EVDO_STATEINFO_OVHD_MSG_STATE},
    {"HDR hybrid mode", kHybridModeNames, &ATTR_ID_EVDO_STATEINFO_HDR_HYBRID_MODE},
}};

// Sector info (0x1080), 20 bytes:
//  +off  type     name        unit
//   +0   16 x u8  SectorID    (not shown)
//  +16   u8       SubnetMask  bits
//  +17   u8       ColorCode
//  +18   u16      PNOffset
constexpr std::size_t kSiSectorIdSize = 16;

// Rx ATI list (0x1087): u8 NumRecords, then NumRecords x u32 UATI from +1.
constexpr std::size_t kAtiRecordSize = 4;

}  // namespace

void E::DecodeSessionAttempt(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeSessionAttempt);
  Cursor c(payload());
  const SessionAttempt s = read_session_attempt(c);
  const std::uint32_t uati024 = c.u24le();
  if (!job.check(c)) return;

  if (const AttrWriter w(ds); w.on()) {
    write_session_attempt(w, kSessionAttrs1, s);
    if (s.result == kUatiAssigned) {
      w.ULong(ATTR_ID_EVDO_SESSIONATTEMPT_UATI024, uati024);
    } else {
      w.NoValue(ATTR_ID_EVDO_SESSIONATTEMPT_UATI024);
    }
  }

  if (!msg.detailsWanted) return;
  append_session_attempt(msg.details, s);
  if (s.result == kUatiAssigned) {
    appendf(msg.details, "PN: %u\nUATIColorCode: %u\nUATI024: %u", s.pn, s.color_code, uati024);
  }
}

void E::DecodeSessionAttempt2(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeSessionAttempt2);
  Cursor c(payload());
  const SessionAttempt s = read_session_attempt(c);
  std::array<std::uint8_t, kSaUatiFullSize> uati_bytes{};
  for (std::uint8_t& b : uati_bytes) b = c.u8();
  if (!job.check(c)) return;
  std::string uati;  // 32 hex digits, bytes in packet order
  if (s.result == kUatiAssigned) {
    for (const std::uint8_t b : uati_bytes) appendf(uati, "%02x", unsigned{b});
  }

  if (const AttrWriter w(ds); w.on()) {
    write_session_attempt(w, kSessionAttrs2, s);
    if (s.result == kUatiAssigned) {
      w.String(ATTR_ID_EVDO_SESSIONATTEMPTVER2_UATI_FULL, uati.c_str());
      w.Long(ATTR_ID_EVDO_UATI, 1);
    }
  }

  if (!msg.detailsWanted) return;
  append_session_attempt(msg.details, s);
  if (s.result == kUatiAssigned) {
    appendf(msg.details, "PN: %u\nUATIColorCode: %u", s.pn, s.color_code);
    msg.details += "\nFull UATI: 0x" + uati;
  }
}

void E::DecodeAccessAttempt(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeAccessAttempt);
  Cursor c(payload());
  AccessAttempt a = read_access_attempt(c, false);
  a.probe_count = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kAaSize);

  write_access_attempt(AttrWriter(ds), a);
  if (!msg.detailsWanted) return;
  append_access_attempt(msg.details, a, true);
}

// Called inside the dispatcher's guard: a short packet throws and its text is dropped.
void E::DecodeEnhancedAccessAttempt(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeEnhancedAccessAttempt);
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const std::uint8_t max_pn_random_delay = c.u8();
  const std::uint8_t params_included = c.u8();
  const std::uint8_t probe_power_adjust = c.u8();
  c.skip(2);
  const std::uint8_t access_offset = c.u8();
  const std::uint8_t max_sector_access_rate = c.u8();
  const std::uint8_t payload_size = c.u8();
  AccessAttempt a = read_access_attempt(c, true);
  if (!job.check(c)) return;
  assert(c.offset() == kEaFixedSize);
  // The probe count byte follows only a probe sequence; without one the count is 0.
  const bool has_probe_count = a.probe_sequence_count != 0;
  if (has_probe_count) {
    a.probe_count = c.u8();
    if (!job.check(c)) return;
  }

  write_access_attempt(AttrWriter(ds), a);
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nVer.: %d, Max PN Random. delay: %d, Enh. Access Parames. Include: %s, Probe power adjust: %d",
          int{version}, int{max_pn_random_delay}, params_included != 0 ? "Yes" : "No", int{probe_power_adjust});
  appendf(out, "\nAccess offset: %d, Max sector access rate: %d, Payload size: %d", int{access_offset},
          int{max_sector_access_rate}, int{payload_size});
  out += "\n";
  append_access_attempt(out, a, has_probe_count);
}

void E::DecodeConnectionAttempt(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeConnectionAttempt);
  Cursor c(payload());
  const unsigned transaction_id = c.u8();
  const unsigned sequence = c.u8();
  const std::uint8_t result_status = c.u8();
  const unsigned duration = c.u16le();
  const std::uint32_t success = c.u32le();
  const std::uint32_t failure = c.u32le();
  const std::uint32_t attempts = c.u32le();
  const unsigned pn = c.u16le();
  const std::uint32_t sector_id = c.u24le();
  const unsigned color_code = c.u8();
  const unsigned handoffs = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kCaSize);
  const auto result = static_cast<unsigned>(bits(result_status, 0, 4));
  const auto reception = static_cast<unsigned>(bits(result_status, 4, 4));

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_EVDO_CONNECTIONATTEMPT_TRANSACTION_ID, static_cast<std::uint8_t>(transaction_id));
    w.Byte(ATTR_ID_EVDO_CONNECTIONATTEMPT_MSG_SEQUENCE, static_cast<std::uint8_t>(sequence));
    w.Byte(ATTR_ID_EVDO_CONNECTIONATTEMPT_RESULT, static_cast<std::uint8_t>(result));
    w.Byte(ATTR_ID_EVDO_CONNECTIONATTEMPT_RECEPTION_STATUS, static_cast<std::uint8_t>(reception));
    w.UShort(ATTR_ID_EVDO_CONNECTIONATTEMPT_DURATION, static_cast<std::uint16_t>(duration));
    w.ULong(ATTR_ID_EVDO_CONNECTIONATTEMPT_SUCCESS_COUNT, success);
    w.ULong(ATTR_ID_EVDO_CONNECTIONATTEMPT_FAILURE_COUNT, failure);
    w.ULong(ATTR_ID_EVDO_CONNECTIONATTEMPT_ATTEMPTS_COUNT, attempts);
    w.UShort(ATTR_ID_EVDO_CONNECTIONATTEMPT_PN, static_cast<std::uint16_t>(pn));
    w.ULong(ATTR_ID_EVDO_CONNECTIONATTEMPT_SECTOR_ID, sector_id);
    w.Byte(ATTR_ID_EVDO_CONNECTIONATTEMPT_COLOR_CODE, static_cast<std::uint8_t>(color_code));
    w.Byte(ATTR_ID_EVDO_CONNECTIONATTEMPT_NUM_HO, static_cast<std::uint8_t>(handoffs));
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "TransactionId: %u\n", transaction_id);
  appendf(out, "MessageSequence: %u\n", sequence);
  appendf(out,
          "ConnectionAttemptResult: %u (%s)\nReceptionStatus: %u (%s), Duration: %u\nSuccessCount: %u\n"
          "FailureCount: %u\nAttemptsCount: %u\nPN: %u\nSectorID: %u\nColorCode: %u\nNumHO: %u\n",
          result, name_or(kConnectionResultNames, result, kReserved), reception,
          name_or(kReceptionStatusNames, reception, kReserved), duration, success, failure, attempts, pn, sector_id,
          color_code, handoffs);
}

void E::DecodeConnectionRelease(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeConnectionRelease);
  Cursor c(payload());
  const unsigned reason = c.u8();
  if (!job.check(c)) return;
  AttrWriter(ds).Byte(ATTR_ID_EVDO_CONNECTIONRELEASE_REASON, static_cast<std::uint8_t>(reason));
  if (!msg.detailsWanted) return;
  appendf(msg.details, "Reason: %u (%s)", reason, name_or(kReleaseReasonNames, reason, kReserved));
}

void E::DecodePageMessage(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodePageMessage);
  Cursor c(payload());
  const std::uint16_t hstr = c.u16le();
  const std::uint32_t attempts = c.u32le();
  const std::uint16_t pn = c.u16le();
  if (!job.check(c)) return;

  if (const AttrWriter w(ds); w.on()) {
    w.UShort(ATTR_ID_EVDO_PAGEMSG_HSTR, hstr);
    w.ULong(ATTR_ID_EVDO_PAGEMSG_ATTEMPTS_COUNT, attempts);
    w.UShort(ATTR_ID_EVDO_PAGEMSG_PN, pn);
  }
  if (!msg.detailsWanted) return;
  appendf(msg.details, "HSTR: %u\nAttemptsCount: %u\nPN: %u\n", unsigned{hstr}, attempts, unsigned{pn});
}

void E::DecodeStateInformation(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeStateInformation);
  Cursor c(payload());
  std::array<std::uint8_t, kStates.size()> states{};
  for (std::uint8_t& v : states) v = c.u8();
  if (!job.check(c)) return;

  if (const AttrWriter w(ds); w.on()) {
    for (std::size_t i = 0; i < kStates.size(); ++i) w.Byte(*kStates[i].attr, states[i]);
  }
  if (!msg.detailsWanted) return;
  for (std::size_t i = 0; i < kStates.size(); ++i) {
    const unsigned v = states[i];
    appendf(msg.details, "%s: %u (%s)\n", kStates[i].label, v, name_or(kStates[i].names, v, kReserved));
  }
}

void E::DecodeSectorInfo(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeSectorInfo);
  Cursor c(payload());
  c.skip(kSiSectorIdSize);
  const std::uint8_t subnet_mask = c.u8();
  const std::uint8_t color_code = c.u8();
  const std::uint16_t pn_offset = c.u16le();
  if (!job.check(c)) return;

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_EVDO_SECTOR_SUBNET_MASK, subnet_mask);
    w.Byte(ATTR_ID_EVDO_SECTOR_COLOR_CODE, color_code);
    w.UShort(ATTR_ID_EVDO_SECTOR_PN_OFFSET, pn_offset);
  }
  if (!msg.detailsWanted) return;
  appendf(msg.details, "Subnet mask: %u\nColor code: %u\nPN offset: %u\n", unsigned{subnet_mask}, unsigned{color_code},
          unsigned{pn_offset});
}

// Records are numbered from 0, as the element indices elsewhere. A count that claims
// more records than the payload holds is shown as sent; only whole records follow.
void E::DecodeRxATIList(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeRxATIList);
  Cursor c(payload());
  const unsigned count = c.u8();
  if (!job.check(c)) return;
  if (!msg.detailsWanted) return;
  appendf(msg.details, "Num_records: %u\n", count);
  msg.details += "\t\n";
  const std::size_t n = c.whole_records(kAtiRecordSize, count);
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint32_t uati = c.u32le();
    appendf(msg.details, "UATI_value[%d]: %u\n", static_cast<int>(i), uati);
  }
}

// The packet carries nothing this decoder shows; its arrival is the event.
void E::DecodeSystemArbitration(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &E::DecodeSystemArbitration);
}
