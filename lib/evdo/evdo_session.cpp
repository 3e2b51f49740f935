// EV-DO signalling events: session (UATI) attempts (0x106B, 0x1088), access attempts
// (0x106C, 0x1292), connection attempts and releases (0x106E, 0x1071), page messages
// (0x106F), the protocol state summary (0x107E), sector information (0x1080), the
// received ATI list (0x1087) and the system arbitration marker (0x1081).
//
// These are what a failed-call analysis looks for first, so every result and reason
// is shown with its number and its name, and the host counts attempts, failures and
// states from the attributes.
#include <array>
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
using cdmadiag::name_or;
using cdmadiag::PayloadReader;

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
constexpr std::size_t kSaTransactionId = 0;
constexpr std::size_t kSaResult = 1;
constexpr std::size_t kSaRati = 2;
constexpr std::size_t kSaDuration = 6;
constexpr std::size_t kSaSuccess = 8;
constexpr std::size_t kSaFailure = 12;
constexpr std::size_t kSaAttempts = 16;
constexpr std::size_t kSaPn = 20;
constexpr std::size_t kSaColorCode = 22;
constexpr std::size_t kSaUati = 23;
constexpr std::size_t kSaUatiFullSize = 16;
constexpr std::size_t kSaSize = kSaUati + 3;
constexpr std::size_t kSa2Size = kSaUati + kSaUatiFullSize;
constexpr std::uint8_t kUatiAssigned = 0;

struct SessionAttempt {
  unsigned transaction_id, result, duration, pn, color_code;
  std::uint32_t rati, success, failure, attempts;
};

SessionAttempt read_session_attempt(const PayloadReader& r) {
  return SessionAttempt{r.u8(kSaTransactionId), r.u8(kSaResult),     r.u16le(kSaDuration),
                        r.u16le(kSaPn),         r.u8(kSaColorCode),  r.u32le(kSaRati),
                        r.u32le(kSaSuccess),    r.u32le(kSaFailure), r.u32le(kSaAttempts)};
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
// Where the access attempt fields lie in either layout.
struct AccessLayout {
  std::size_t transaction_id, probe_num_step, max_probe_sequence, probe_sequence_count, result, duration, success,
      failure, attempts, pn, sector_id, color_code, probe_count;
  bool sector_id_24_bits;
};
constexpr AccessLayout kAaLayout{0, 1, 2, 3, 4, 5, 7, 11, 15, 17, 19, 23, 24, false};
constexpr AccessLayout kEaLayout{9, 10, 11, 12, 13, 14, 16, 20, 24, 28, 30, 33, 34, true};
constexpr std::size_t kAaSize = kAaLayout.probe_count + 1;
constexpr std::size_t kEaFixedSize = kEaLayout.probe_count;
constexpr std::size_t kEaVersion = 0;
constexpr std::size_t kEaMaxPnRandomDelay = 1;
constexpr std::size_t kEaParamsIncluded = 2;
constexpr std::size_t kEaProbePowerAdjust = 3;
constexpr std::size_t kEaAccessOffset = 6;
constexpr std::size_t kEaMaxSectorAccessRate = 7;
constexpr std::size_t kEaPayloadSize = 8;

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

// The caller has checked the layout's length, and the probe count's byte when with_probe_count.
AccessAttempt read_access_attempt(const PayloadReader& r, const AccessLayout& l, bool with_probe_count) {
  return AccessAttempt{r.u8(l.transaction_id),
                       r.u8(l.probe_num_step),
                       r.u8(l.max_probe_sequence),
                       r.u8(l.probe_sequence_count),
                       r.u8(l.result),
                       r.u16le(l.duration),
                       r.u16le(l.attempts),
                       r.u16le(l.pn),
                       r.u8(l.color_code),
                       with_probe_count ? r.u8(l.probe_count) : 0u,
                       r.u32le(l.success),
                       r.u32le(l.failure),
                       l.sector_id_24_bits ? r.u24le(l.sector_id) : r.u32le(l.sector_id)};
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
constexpr std::size_t kCaTransactionId = 0;
constexpr std::size_t kCaSequence = 1;
constexpr std::size_t kCaResultStatus = 2;
constexpr std::size_t kCaDuration = 3;
constexpr std::size_t kCaSuccess = 5;
constexpr std::size_t kCaFailure = 9;
constexpr std::size_t kCaAttempts = 13;
constexpr std::size_t kCaPn = 17;
constexpr std::size_t kCaSectorId = 19;
constexpr std::size_t kCaColorCode = 22;
constexpr std::size_t kCaNumHo = 23;
constexpr std::size_t kCaSize = 24;

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
constexpr std::size_t kPmHstr = 0;
constexpr std::size_t kPmAttempts = 2;
constexpr std::size_t kPmPn = 6;
constexpr std::size_t kPmSize = 8;

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
constexpr std::size_t kSiSubnetMask = 16;
constexpr std::size_t kSiColorCode = 17;
constexpr std::size_t kSiPnOffset = 18;
constexpr std::size_t kSiSize = 20;

// Rx ATI list (0x1087): u8 NumRecords, then NumRecords x u32 UATI from +1.
constexpr std::size_t kAtiFirst = 1;
constexpr std::size_t kAtiRecordSize = 4;

}  // namespace

void E::DecodeSessionAttempt(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeSessionAttempt);
  const PayloadReader r = payload();
  if (!job.require(r, kSaSize)) return;
  const SessionAttempt s = read_session_attempt(r);
  const std::uint32_t uati024 = r.u24le(kSaUati);

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
  const PayloadReader r = payload();
  if (!job.require(r, kSa2Size)) return;
  const SessionAttempt s = read_session_attempt(r);
  std::string uati;  // 32 hex digits, bytes in packet order
  if (s.result == kUatiAssigned) {
    for (std::size_t i = 0; i < kSaUatiFullSize; ++i) appendf(uati, "%02x", r.u8(kSaUati + i));
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
  const PayloadReader r = payload();
  if (!job.require(r, kAaSize)) return;
  const AccessAttempt a = read_access_attempt(r, kAaLayout, true);

  write_access_attempt(AttrWriter(ds), a);
  if (!msg.detailsWanted) return;
  append_access_attempt(msg.details, a, true);
}

// Called inside the dispatcher's guard: a short packet throws and its text is dropped.
void E::DecodeEnhancedAccessAttempt(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeEnhancedAccessAttempt);
  const PayloadReader r = payload();
  if (!job.require(r, kEaFixedSize)) return;
  // The probe count byte follows only a probe sequence; without one the count is 0.
  const bool has_probe_count = r.u8(kEaLayout.probe_sequence_count) != 0;
  if (has_probe_count && !job.require(r, kEaFixedSize + 1)) return;
  const AccessAttempt a = read_access_attempt(r, kEaLayout, has_probe_count);

  write_access_attempt(AttrWriter(ds), a);
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nVer.: %d, Max PN Random. delay: %d, Enh. Access Parames. Include: %s, Probe power adjust: %d",
          r.u8(kEaVersion), r.u8(kEaMaxPnRandomDelay), r.u8(kEaParamsIncluded) != 0 ? "Yes" : "No",
          r.u8(kEaProbePowerAdjust));
  appendf(out, "\nAccess offset: %d, Max sector access rate: %d, Payload size: %d", r.u8(kEaAccessOffset),
          r.u8(kEaMaxSectorAccessRate), r.u8(kEaPayloadSize));
  out += "\n";
  append_access_attempt(out, a, has_probe_count);
}

void E::DecodeConnectionAttempt(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeConnectionAttempt);
  const PayloadReader r = payload();
  if (!job.require(r, kCaSize)) return;
  const unsigned transaction_id = r.u8(kCaTransactionId);
  const unsigned sequence = r.u8(kCaSequence);
  const auto result = static_cast<unsigned>(bits(r.u8(kCaResultStatus), 0, 4));
  const auto reception = static_cast<unsigned>(bits(r.u8(kCaResultStatus), 4, 4));
  const unsigned duration = r.u16le(kCaDuration);
  const std::uint32_t success = r.u32le(kCaSuccess);
  const std::uint32_t failure = r.u32le(kCaFailure);
  const std::uint32_t attempts = r.u32le(kCaAttempts);
  const unsigned pn = r.u16le(kCaPn);
  const std::uint32_t sector_id = r.u24le(kCaSectorId);
  const unsigned color_code = r.u8(kCaColorCode);
  const unsigned handoffs = r.u8(kCaNumHo);

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
  const PayloadReader r = payload();
  if (!job.require(r, 1)) return;
  const unsigned reason = r.u8(0);
  AttrWriter(ds).Byte(ATTR_ID_EVDO_CONNECTIONRELEASE_REASON, static_cast<std::uint8_t>(reason));
  if (!msg.detailsWanted) return;
  appendf(msg.details, "Reason: %u (%s)", reason, name_or(kReleaseReasonNames, reason, kReserved));
}

void E::DecodePageMessage(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodePageMessage);
  const PayloadReader r = payload();
  if (!job.require(r, kPmSize)) return;
  const std::uint16_t hstr = r.u16le(kPmHstr);
  const std::uint32_t attempts = r.u32le(kPmAttempts);
  const std::uint16_t pn = r.u16le(kPmPn);

  if (const AttrWriter w(ds); w.on()) {
    w.UShort(ATTR_ID_EVDO_PAGEMSG_HSTR, hstr);
    w.ULong(ATTR_ID_EVDO_PAGEMSG_ATTEMPTS_COUNT, attempts);
    w.UShort(ATTR_ID_EVDO_PAGEMSG_PN, pn);
  }
  if (!msg.detailsWanted) return;
  appendf(msg.details, "HSTR: %u\nAttemptsCount: %u\nPN: %u\n", hstr, attempts, pn);
}

void E::DecodeStateInformation(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeStateInformation);
  const PayloadReader r = payload();
  if (!job.require(r, kStates.size())) return;

  if (const AttrWriter w(ds); w.on()) {
    for (std::size_t i = 0; i < kStates.size(); ++i) w.Byte(*kStates[i].attr, r.u8(i));
  }
  if (!msg.detailsWanted) return;
  for (std::size_t i = 0; i < kStates.size(); ++i) {
    const unsigned v = r.u8(i);
    appendf(msg.details, "%s: %u (%s)\n", kStates[i].label, v, name_or(kStates[i].names, v, kReserved));
  }
}

void E::DecodeSectorInfo(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeSectorInfo);
  const PayloadReader r = payload();
  if (!job.require(r, kSiSize)) return;
  const std::uint8_t subnet_mask = r.u8(kSiSubnetMask);
  const std::uint8_t color_code = r.u8(kSiColorCode);
  const std::uint16_t pn_offset = r.u16le(kSiPnOffset);

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_EVDO_SECTOR_SUBNET_MASK, subnet_mask);
    w.Byte(ATTR_ID_EVDO_SECTOR_COLOR_CODE, color_code);
    w.UShort(ATTR_ID_EVDO_SECTOR_PN_OFFSET, pn_offset);
  }
  if (!msg.detailsWanted) return;
  appendf(msg.details, "Subnet mask: %u\nColor code: %u\nPN offset: %u\n", subnet_mask, color_code, pn_offset);
}

// Records are numbered from 0, as the element indices elsewhere. A count that claims
// more records than the payload holds is shown as sent; only whole records follow.
void E::DecodeRxATIList(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeRxATIList);
  const PayloadReader r = payload();
  if (!job.require(r, kAtiFirst)) return;
  if (!msg.detailsWanted) return;
  const unsigned count = r.u8(0);
  appendf(msg.details, "Num_records: %u\n", count);
  msg.details += "\t\n";
  for (unsigned i = 0; i < count && r.has(kAtiFirst + i * kAtiRecordSize, kAtiRecordSize); ++i) {
    appendf(msg.details, "UATI_value[%d]: %u\n", static_cast<int>(i), r.u32le(kAtiFirst + i * kAtiRecordSize));
  }
}

// The packet carries nothing this decoder shows; its arrival is the event.
void E::DecodeSystemArbitration(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &E::DecodeSystemArbitration);
}
