// EV-DO connected-state statistics: why the last connection ended (0x1186), and the
// protocol-stack (0x1187), reverse MAC (0x1189) and searcher (0x118A) counters, each
// kept since the last counter reset and since the start of the call. The dispatcher
// calls these inside its guard: a short payload throws before the title, any write or
// any text, and the guard keeps the failure as the packet's diagnostic.
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/abs_time.h"
#include "host/cdma_utils.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::PayloadReader;

// Connection termination statistics (0x1186), 62 bytes:
//  +off  type   name                                   unit
//   +0   u8     version
//   +3   8 B    CDMA time stamp, start of the last call
//  +11   8 B    CDMA time stamp, end of the last call
//  +17   u8     release reason (0-9)
//  +18   u32    time in connected state since reset    ms
//  +22   u32    time in connected state of the call    ms
//  +26   u16    18 counters, kTermCountersTable order
// The end stamp spans the reason and the first byte after it: the stamps go to the
// time conversion as they are, and the reason is read where the packet puts it.
constexpr std::size_t kCallStart = 3;
constexpr std::size_t kReason = 17;
constexpr std::size_t kTermFirstCounter = 26;
constexpr std::size_t kTermCounters = 18;
constexpr std::size_t kTermSize = kTermFirstCounter + 2 * kTermCounters;
constexpr std::size_t kStampSize = 8;

// Protocol stack (0x1187), RMAC (0x1189) and search (0x118A) statistics:
//  +off  type   name
//   +0   u8     version
//   +1   u32    counters since reset, then the same counters since the call
//  0x118A only, after the counters:
//  +121  s8     current RSSI                           dBm
//  +122  u8     current data level indicator
constexpr std::size_t kFirstCounter = 1;
constexpr std::size_t kStackHalf = 13;
constexpr std::size_t kRmacHalf = 16;
constexpr std::size_t kSearchHalf = 15;
constexpr std::size_t kStackSize = kFirstCounter + 4 * 2 * kStackHalf;
constexpr std::size_t kRmacSize = kFirstCounter + 4 * 2 * kRmacHalf;
constexpr std::size_t kRssi = kFirstCounter + 4 * 2 * kSearchHalf;
constexpr std::size_t kDataLevel = kRssi + 1;
constexpr std::size_t kSearchSize = kDataLevel + 1;
static_assert(kTermSize == 62 && kStackSize == 105 && kRmacSize == 129 && kSearchSize == 123);

constexpr std::array<ValueName, 10> kReleaseReasons{{
    {0, "AN connection close"},
    {1, "AT connection close"},
    {2, "System lost (supervision failures, TCA message rejected)"},
    {3, "Not preferred (SD told OVHD to switch systems;QC redirect, access network ID)"},
    {4, "Redirect (ALMP received a redirect message)"},
    {5, "PowerDownReceived"},
    {6, "OfflineReceived"},
    {7, "NAMChangeReceived"},
    {8, "PageMessageReceived"},
    {9, "Unspecified (ALMP rude close"},
}};

constexpr const char* kSinceReset = "----Counters Since Last Reset----\n";

// One counter: its attribute (a pointer: ids are resolved at load) and its label.
struct Counter {
  const std::uint32_t* attr;
  const char* label;
};

const std::array<Counter, kTermCounters> kTermCountersTable{{
    {&ATTR_ID_ConnStatsTerm_TotalCallTerminations, "No of call terminations since the last reset : "},
    {&ATTR_ID_ConnStatsTerm_FTCMACSupervisionFailure, "No of times there was an FTCMAC supervision : "},
    {&ATTR_ID_ConnStatsTerm_CCMACTrafficSupervision, "No of times a CCMAC traffic supervision failure : "},
    {&ATTR_ID_ConnStatsTerm_CCMACTrafficSuspended,
     "No of times a CCMAC traffic suspended supervision failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_CCMACIdleSupervision, "No of times a CCMAC idle supervision failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_DRCSupervisionFailureCount, "No of times a DRC supervision failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_TCAConnectionSetupFailure, "No of times a TCA connection setup failure occured : "},
    {&ATTR_ID_ConnStatsTerm_RTCACKConnectionSetup, "No of times an RTCACK connection setup failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_QCTrafficSupervisionFailure, "No of times a QC traffic supervision failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_QCIdleSupervisionFailure, "No of times a QC idle supervision failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_SPTrafficSupervisionFailure, "No of times an SP traffic supervision failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_SPIdleSupervisionFailureCount, "No of times an SP idle supervision failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_APTrafficSupervisionFailureCount,
     "No of times an AP traffic supervision failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_APIdleSupervisionFailureCount, "No of times an AP idle supervision failure occurred : "},
    {&ATTR_ID_ConnStatsTerm_ConnectionCloseReceivedCount, "No of times a connection close request was received : "},
    {&ATTR_ID_ConnStatsTerm_ConnectionCloseSentCount, "No of times a connection close request was sent : "},
    {&ATTR_ID_ConnStatsTerm_1xHanddownCount, "No of times a 1X handdown occurred : "},
    {&ATTR_ID_ConnStatsTerm_1xHanddownIgnoredCount, "No of times a 1X handdown was ignored : "},
}};
const std::array<Counter, 2 * kStackHalf> kStackCounters{{
    {&ATTR_ID_ConnStatsTerm_RUPMessageCountSinceReset, "Total No of RUP msgs : "},
    {&ATTR_ID_ConnStatsTerm_TCAMessageCountSinceReset, "Total No of TCA msgs received : "},
    {&ATTR_ID_ConnStatsTerm_ResetReportMessageCountSinceReset, "Total No of reset report msgs received : "},
    {&ATTR_ID_ConnStatsTerm_NeighborListMessageCountSinceReset, "Total No of neighbor list msgs : "},
    {&ATTR_ID_ConnStatsTerm_TCCMessageCountSinceReset, "Total No of TCC msgs : "},
    {&ATTR_ID_ConnStatsTerm_TotalUsersCountSinceReset, "Total No of users on acquired ANs : "},
    {&ATTR_ID_ConnStatsTerm_UsersMessagesCountSinceReset, "Total No of users msgs  : "},
    {&ATTR_ID_ConnStatsTerm_TCAMPilotCountSinceReset, "Total No of TCAM pilots : "},
    {&ATTR_ID_ConnStatsTerm_RUPWithZeroKeepCountSinceReset, "Total No of RUP msgs with zero keep pilots : "},
    {&ATTR_ID_ConnStatsTerm_RUPWithOFSNeighborsCountSinceReset, "Total No of RUP msgs with OFS neighbors  : "},
    {&ATTR_ID_ConnStatsTerm_HardHandoffCountSinceReset, "Total No of hard handoffs  : "},
    {&ATTR_ID_ConnStatsTerm_UATIAssignmentCountSinceReset, "Total No of UATI assignment : "},
    {&ATTR_ID_ConnStatsTerm_RUPPilotCountSinceReset, "Total No of pilots in RUP msgs  : "},
    {&ATTR_ID_ConnStatsTerm_RUPMessageCountSinceCall, "Total No of RUP msgs : "},
    {&ATTR_ID_ConnStatsTerm_TCAMessageCountSinceCall, "Total No of TCA msgs received : "},
    {&ATTR_ID_ConnStatsTerm_CallReportMessageCountSinceCall, "Total No of reset report msgs received : "},
    {&ATTR_ID_ConnStatsTerm_NeighborListMessageCountSinceCall, "Total No of neighbor list msgs : "},
    {&ATTR_ID_ConnStatsTerm_TCCMessageCountSinceCall, "Total No of TCC msgs : "},
    {&ATTR_ID_ConnStatsTerm_TotalUsersCountSinceCall, "Total No of users on acquired ANs : "},
    {&ATTR_ID_ConnStatsTerm_UsersMessagesCountSinceCall, "Total No of users msgs : "},
    {&ATTR_ID_ConnStatsTerm_TCAMPilotCountSinceCall, "Total No of TCAM pilots : "},
    {&ATTR_ID_ConnStatsTerm_RUPWithZeroKeepCountSinceCall, "Total No of RUP msgs with zero keep pilots : "},
    {&ATTR_ID_ConnStatsTerm_RUPWithOFSNeighborsCountSinceCall, "Total No of RUP msgs with OFS neighbors : "},
    {&ATTR_ID_ConnStatsTerm_HardHandoffCountSinceCall, "Total No of hard handoffs : "},
    {&ATTR_ID_ConnStatsTerm_UATIAssignmentCountSinceCall, "Total No of UATI assignment : "},
    {&ATTR_ID_ConnStatsTerm_RUPPilotCountSinceCall, "Total No of pilots in RUP msgs : "},
}};
const std::array<Counter, 2 * kRmacHalf> kRmacCounters{{
    {&ATTR_ID_ConnStatsRMAC_DRCSupervisionEntryCountSinceReset, "DRC Supervision Entry "},
    {&ATTR_ID_ConnStatsRMAC_DRCSupervisionExitCountSinceReset, "DRC Supervision Exit "},
    {&ATTR_ID_ConnStatsRMAC_RLSISupervisionEntryCountSinceReset, "RLSI Supervision Entry "},
    {&ATTR_ID_ConnStatsRMAC_RLSISupervisionExitCountSinceReset, "RLSI Supervision Exit "},
    {&ATTR_ID_ConnStatsRMAC_TotalDRCSupervisionTimeSinceReset, "Total DRC Supervision Time "},
    {&ATTR_ID_ConnStatsRMAC_TotalRLSISupervisionTimeSinceReset, "Total RLSI Supervision Time "},
    {&ATTR_ID_ConnStatsRMAC_AccumulatedBroadcastRRLValuesSinceReset, "Accumulated Broadcast RRL Values "},
    {&ATTR_ID_ConnStatsRMAC_BroadcastRRLCountSinceReset, "Broadcast RRL Count "},
    {&ATTR_ID_ConnStatsRMAC_AccumulatedUnicastRRLValuesSinceReset, "Accumulated Unicast RRL Values "},
    {&ATTR_ID_ConnStatsRMAC_UnicastRRLCountSinceReset, "Unicast RRL Count "},
    {&ATTR_ID_ConnStatsRMAC_RRIAtPaLimitCountSinceReset, "RRI At PA Limit Count "},
    {&ATTR_ID_ConnStatsRMAC_EncoderWindowMissedCountSinceReset, "Encoder Window Missed "},
    {&ATTR_ID_ConnStatsRMAC_EncoderWindowMissedDroppedByteCountSinceReset, "Encoder Window Missed Dropped Bytes "},
    {&ATTR_ID_ConnStatsRMAC_RABCountSinceReset, "RAB "},
    {&ATTR_ID_ConnStatsRMAC_RTCFramesCountSinceReset, "RTC Frames "},
    {&ATTR_ID_ConnStatsRMAC_RateInertiaFramesCountSinceReset, "Rate Inertia Frames "},
    {&ATTR_ID_ConnStatsRMAC_DRCSupervisionEntryCountSinceCall, "DRC Supervision Entry "},
    {&ATTR_ID_ConnStatsRMAC_DRCSupervisionExitCountSinceCall, "DRC Supervision Exit "},
    {&ATTR_ID_ConnStatsRMAC_RLSISupervisionEntryCountSinceCall, "RLSI Supervision Entry "},
    {&ATTR_ID_ConnStatsTerm_RLSISupervisionExitCountSinceCall, "RLSI Supervision Exit "},
    {&ATTR_ID_ConnStatsRMAC_TotalDRCSupervisionTimeSinceCall, "Total DRC Supervision Time "},
    {&ATTR_ID_ConnStatsRMAC_TotalRLSISupervisionTimeSinceCall, "Total RLSI Supervision Time "},
    {&ATTR_ID_ConnStatsRMAC_AccumulatedBroadcastRRLValuesSinceCall, "Accumulated Broadcast RRL Values "},
    {&ATTR_ID_ConnStatsRMAC_BroadcastRRLCountSinceCall, "Broadcast RRL Count "},
    {&ATTR_ID_ConnStatsRMAC_AccumulatedUnicastRRLValuesSinceCall, "Accumulated Unicast RRL Values "},
    {&ATTR_ID_ConnStatsRMAC_UnicastRRLCountSinceCall, "Unicast RRL Count "},
    {&ATTR_ID_ConnStatsRMAC_RRIAtPaLimitCountSinceCall, "RRI At PA Limit Count "},
    {&ATTR_ID_ConnStatsRMAC_EncoderWindowMissedCountSinceCall, "Encoder Window Missed "},
    {&ATTR_ID_ConnStatsRMAC_EncoderWindowMissedDroppedByteCountSinceCall, "Encoder Window Missed Dropped Bytes "},
    {&ATTR_ID_ConnStatsRMAC_RABCountSinceCall, "RAB "},
    {&ATTR_ID_ConnStatsRMAC_RTCFramesCountSinceCall, "RTC Frames "},
    {&ATTR_ID_ConnStatsRMAC_RateInertiaFramesCountSinceCall, "Rate Inertia Frames "},
}};
const std::array<Counter, 2 * kSearchHalf> kSearchCounters{{
    {&ATTR_ID_ConnStatsSearch_ServingSectorHandoffCountSinceLastReset, "Serving Sector Handoff  "},
    {&ATTR_ID_ConnStatsSearch_ASetPilotAddEventCountSinceLastReset, "ASet Pilot Add Event "},
    {&ATTR_ID_ConnStatsSearch_ASetPilotDropEventCountSinceLastReset, "ASet Pilot Drop Event "},
    {&ATTR_ID_ConnStatsSearch_RSet2CSetPilotAddEventCountSinceLastReset, "RSet2CSet Pilot AddEvent "},
    {&ATTR_ID_ConnStatsSearch_Nset2RSetPilotDropEventCountSinceLastReset, "Nset2RSet PilotD ropEvent "},
    {&ATTR_ID_ConnStatsSearch_DropTimerStartCountSinceLastReset, "Drop Timer Start "},
    {&ATTR_ID_ConnStatsSearch_DropTimerCancelEventCountSinceLastReset, "Drop Timer Cancel Event  "},
    {&ATTR_ID_ConnStatsSearch_DropTimerExpiredEventCountSinceLastReset, "Drop Timer Expired Event  "},
    {&ATTR_ID_ConnStatsSearch_OFSCountSinceLastReset, "OFS "},
    {&ATTR_ID_ConnStatsSearch_ASetPilotCountSinceLastReset, "ASetPilot "},
    {&ATTR_ID_ConnStatsSearch_CSetPilotCountSinceLastReset, "CSetPilot "},
    {&ATTR_ID_ConnStatsSearch_NSetPilotCountSinceLastReset, "NSetPilot "},
    {&ATTR_ID_ConnStatsSearch_AssignedFingersCountSinceLastReset, "Assigned Fingers "},
    {&ATTR_ID_ConnStatsSearch_LockedFingersCountSinceLastReset, "Locked Fingers "},
    {&ATTR_ID_ConnStatsSearch_TriageCycleCountSinceLastReset, "Triage Cycle "},
    {&ATTR_ID_ConnStatsSearch_ServingSectorHandoffCountSinceLastCall, "Serving Sector Handoff "},
    {&ATTR_ID_ConnStatsSearch_ASetPilotAddEventCountSinceLastCall, "ASet Pilot Add Event "},
    {&ATTR_ID_ConnStatsSearch_ASetPilotDropEventCountSinceLastCall, "ASet Pilot Drop Event "},
    {&ATTR_ID_ConnStatsSearch_RSet2CSetPilotAddEventCountSinceLastCall, "RSet2CSet Pilot Add Event  "},
    {&ATTR_ID_ConnStatsSearch_Nset2RSetPilotDropEventCountSinceLastCall, "Nset2RSet Pilot Drop Event  "},
    {&ATTR_ID_ConnStatsSearch_DropTimerStartCountSinceLastCall, "Drop Timer Start  "},
    {&ATTR_ID_ConnStatsSearch_DropTimerCancelEventCountSinceLastCall, "Drop Timer Cancel Event "},
    {&ATTR_ID_ConnStatsSearch_DropTimerExpiredEventCountSinceLastCall, "Drop Timer Expired Event "},
    {&ATTR_ID_ConnStatsSearch_OFSCountSinceLastCall, "OFS "},
    {&ATTR_ID_ConnStatsSearch_ASetPilotCountSinceLastCall, "ASet Pilot  "},
    {&ATTR_ID_ConnStatsSearch_CSetPilotCountSinceLastCall, "CSet Pilot  "},
    {&ATTR_ID_ConnStatsSearch_NSetPilotCountSinceLastCall, "NSet Pilot  "},
    {&ATTR_ID_ConnStatsSearch_AssignedFingersCountSinceLastCall, "Assigned Fingers "},
    {&ATTR_ID_ConnStatsSearch_LockedFingersCountSinceLastCall, "Locked Fingers  "},
    {&ATTR_ID_ConnStatsSearch_TriageCycleCountSinceLastCall, "Triage Cycle  "},
}};

void append_counters(std::string& out, std::span<const Counter> table, std::span<const std::uint32_t> values) {
  for (std::size_t k = 0; k < table.size(); ++k) appendf(out, "%s%u\n", table[k].label, values[k]);
}

// What differs between the three two-half packets.
template <std::size_t N>
struct TwoHalves {
  const std::array<Counter, N>& counters;
  bool version_written;  // the RMAC packet's version is shown, not written
  const char* version_label;
  const char* call_heading;
  std::size_t trailing;  // bytes after the counters, read by the caller
};

const TwoHalves<2 * kStackHalf> kStackPacket{kStackCounters, true,
                                             "Version No : ", "----Counters Since Start of the Call----\n", 0};
const TwoHalves<2 * kRmacHalf> kRmacPacket{kRmacCounters, false, "Version No : ", "----Counters Since Call----\n", 0};
const TwoHalves<2 * kSearchHalf> kSearchPacket{kSearchCounters, true, "Version No ",
                                               "----Counters Since Last Call----\n", kSearchSize - kRssi};

// The common body of the three: the version and the counters read and checked with
// the bytes that follow them, every counter written in packet order, then (details
// wanted) the version line and the two halves under their headings into out. False
// when the packet is short.
template <std::size_t N>
bool decode_two_halves(const AttrWriter& w, COrbExpandedMessage& msg, const cdmadiag::Decoding& job, Cursor& c,
                       const TwoHalves<N>& packet, std::string& out) {
  const std::uint8_t version = c.u8();
  const auto values = c.u32les<N>();
  if (!job.check(c) || !job.require(c, packet.trailing)) return false;
  assert(c.offset() == kFirstCounter + 4 * N);
  if (packet.version_written) w.Byte(ATTR_ID_ConnStats_Version, version);
  for (std::size_t k = 0; k < N; ++k) w.ULong(*packet.counters[k].attr, values[k]);
  if (!msg.detailsWanted) return true;
  const std::span<const Counter> t(packet.counters);
  const std::span<const std::uint32_t> v(values);
  appendf(out, "%s%u\n", packet.version_label, version);
  out += kSinceReset;
  append_counters(out, t.first(N / 2), v.first(N / 2));
  out += packet.call_heading;
  append_counters(out, t.subspan(N / 2), v.subspan(N / 2));
  return true;
}

// stamp holds the 8 bytes of a CDMA time stamp.
std::string cdma_time_text(const PayloadReader& stamp) {
  const double utc = CDMACommonUtils::CDMATime2UTC(stamp.data(0, kStampSize));
  std::string out;
  COrbMilliSecAbsTime(static_cast<std::int64_t>(utc * 1000.0)).GetAbsTimeStr(out, nullptr);
  return out;
}

}  // namespace

void DecodeConnectionTerminationStats(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf,
                                      std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeConnectionTerminationStats);
  Cursor c(PayloadReader(buf, len));
  const std::uint8_t version = c.u8();
  c.seek(kCallStart);
  const PayloadReader start_stamp = c.bytes(kStampSize);
  const PayloadReader end_stamp = c.bytes(kStampSize);
  c.seek(kReason);  // back into the end stamp
  const std::uint8_t reason = c.u8();
  const std::uint32_t time_since_reset = c.u32le();
  const std::uint32_t time_of_call = c.u32le();
  assert(!c.ok() || c.offset() == kTermFirstCounter);
  std::array<std::uint16_t, kTermCounters> counters{};
  for (std::uint16_t& counter : counters) counter = c.u16le();
  if (!job.check(c)) return;
  assert(c.offset() == kTermSize);

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_ConnStats_Version, version);
    w.Byte(ATTR_ID_ConnStatsTerm_LastCallReleaseReason, reason);
    w.ULong(ATTR_ID_ConnStatsTerm_TrafficTimeSinceReset, time_since_reset);
    w.ULong(ATTR_ID_ConnStatsTerm_TrafficTimeOfCall, time_of_call);
    for (std::size_t k = 0; k < kTermCounters; ++k) w.UShort(*kTermCountersTable[k].attr, counters[k]);
  }

  if (!msg.detailsWanted) return;
  std::string out;
  appendf(out, "Version No : %u\n", version);
  appendf(out, "Time stamp of the start of the last call/connection : %s\n", cdma_time_text(start_stamp).c_str());
  appendf(out, "Time stamp of the end of the last call/connection : %s\n", cdma_time_text(end_stamp).c_str());
  appendf(out, "High-level reason for call termination : %s\n", cdmadiag::name_or(kReleaseReasons, reason, "n/a"));
  appendf(out, "Time in ms in connected state since the last reset : %u\n", time_since_reset);
  appendf(out, "Time in ms in connected state since the start of the last call connection : %u\n", time_of_call);
  for (std::size_t k = 0; k < kTermCounters; ++k) {
    appendf(out, "%s%u\n", kTermCountersTable[k].label, static_cast<unsigned>(counters[k]));
  }
  msg.details += out;
}

void DecodeConnectedStateProtocolStackStats(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf,
                                            std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeConnectedStateProtocolStackStats);
  Cursor c(PayloadReader(buf, len));
  std::string out;
  if (decode_two_halves(AttrWriter(ds), msg, job, c, kStackPacket, out)) msg.details += out;
}

void DecodeConnectedStateRMACStats(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf,
                                   std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeConnectedStateRMACStats);
  Cursor c(PayloadReader(buf, len));
  std::string out;
  if (decode_two_halves(AttrWriter(ds), msg, job, c, kRmacPacket, out)) msg.details += out;
}

void DecodeConnectedStateSearchStats(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf,
                                     std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeConnectedStateSearchStats);
  Cursor c(PayloadReader(buf, len));
  const AttrWriter w(ds);
  std::string out;
  if (!decode_two_halves(w, msg, job, c, kSearchPacket, out)) return;
  const std::uint8_t rssi_byte = c.u8();
  const std::uint8_t data_level = c.u8();
  assert(c.offset() == kSearchSize);
  // The host charts the byte as stored; the text shows the signed dBm.
  w.UInt(ATTR_ID_ConnStatsSearch_CurrentRSSI, rssi_byte);
  w.Byte(ATTR_ID_ConnStatsSearch_CurrentDataLevelIndicator, data_level);
  if (!msg.detailsWanted) return;
  out += "---------------------------------\n";
  appendf(out, "Current RSSI(dBm) %d\n", static_cast<int>(static_cast<std::int8_t>(rssi_byte)));
  appendf(out, "Current Data Level Indicator %u\n", data_level);
  msg.details += out;
}
