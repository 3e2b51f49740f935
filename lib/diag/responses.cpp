// The small DIAG command responses: identity and version answers, time stamp, NV
// item, switches, phone state, logging configuration and log on demand. Offsets
// count from the byte after the command code; fields are little-endian.
#include <array>
#include <cinttypes>
#include <vector>

#include "diag/diag_common.h"
#include "framework/decoder_1x.h"
#include "framework/dispatch.h"
#include "framework/packet_header.h"
#include "framework/payload_reader.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/abs_time.h"
#include "host/format_groups.h"

using cdmadiag::appendf;
using cdmadiag::PayloadReader;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

constexpr const char* kPhoneStateGroup = "CDMA1x EVDO Phone State";
constexpr const char* kMessageTypeGroup = "CDMA1x Qualcomm MDM Message Type";
constexpr const char* kLogConfigOperationGroup = "Qualcomm Logging Config Operation";
constexpr const char* kLogConfigStatusGroup = "Qualcomm Logging Config Status";

// Call-processing states of the phone state response.
constexpr std::array<ValueName, 10> kPhoneStates = {{
    {0, "No Service"},
    {1, "Initialization"},
    {2, "Idle"},
    {3, "Voice Channel Initialization"},
    {4, "Origination"},
    {5, "Paging"},
    {6, "Alerting"},
    {7, "Conversation"},
    {8, "Release"},
    {9, "Offline"},
}};

constexpr std::array<ValueName, 5> kLogConfigOperations = {{
    {0, "Disable Logging"},
    {1, "Retrieve ID Ranges"},
    {2, "Retrieve Valid Mask"},
    {3, "Set Log Mask"},
    {4, "Get Log Mask"},
}};

constexpr std::array<ValueName, 3> kLogConfigStatuses = {{
    {0, "Success"},
    {1, "Invalid Equipment ID"},
    {2, "No Valid Mask"},
}};

const FormatGroupRegistration kPhoneStateRegistration(kPhoneStateGroup, kPhoneStates);
const FormatGroupRegistration kLogConfigOperationRegistration(kLogConfigOperationGroup, kLogConfigOperations);
const FormatGroupRegistration kLogConfigStatusRegistration(kLogConfigStatusGroup, kLogConfigStatuses);

// The message-type group names every log code by the title its dispatcher gives it,
// built from the dispatchers' own tables so the two never disagree. Registered at load
// like every other group: no decode changes the process-wide groups.
struct MessageTypeTable {
  std::vector<std::string> titles;  // the names the rows point into
  std::vector<ValueName> rows;
  MessageTypeTable() {
    for (const cdmadiag::CodeInfo& c : cdmadiag::known_codes()) {
      if (c.cls == cdmadiag::CodeClass::kDiagCommand || c.title.empty()) continue;
      titles.push_back(c.title);
      rows.push_back(ValueName{c.code, nullptr});
    }
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].name = titles[i].c_str();
  }
};
const MessageTypeTable kMessageTypes;
const FormatGroupRegistration kMessageTypeRegistration(kMessageTypeGroup, kMessageTypes.rows);

void hex_bytes(std::string& out, const PayloadReader& r, std::size_t from) {
  out += "\nData (hex): ";
  for (std::size_t i = from; i < r.size(); ++i) appendf(out, "%02x ", r.u8(i));
}

}  // namespace

// Version number response (cmd 0x00), 54 bytes:
//  +off  type      name                    unit
//   +0   char[11]  compile date
//  +11   char[8]   compile time
//  +19   char[11]  release date
//  +30   char[8]   release time
//  +38   char[8]   version directory
//  +46   u8        station class mark
//  +47   u8        CAI revision
//  +48   u8        model
//  +49   u16       firmware revision
//  +51   u8        slot cycle index
//  +52   u16       MSM version
void COrbDecodeMsgCDMAQualcommFrame::DecodeVersionNumberResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                 IDekCellRefs_Search*) {
  constexpr std::size_t kCompDate = 0, kCompTime = 11, kRelDate = 19, kRelTime = 30, kVerDir = 38, kScm = 46,
                        kCaiRev = 47, kModel = 48, kFirmRev = 49, kSlotCycle = 51, kMsmVer = 52, kSize = 54;
  constexpr std::size_t kDateLen = 11, kTimeLen = 8, kVerDirLen = 8;
  const auto job = Begin(msg, &F::DecodeVersionNumberResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (!msg.detailsWanted) return;
  std::string& d = msg.details;
  appendf(d, "\nCOMP_DATE: %s", r.chars(kCompDate, kDateLen).c_str());
  appendf(d, "\nCOMP_TIME: %s", r.chars(kCompTime, kTimeLen).c_str());
  appendf(d, "\nREL_DATE: %s", r.chars(kRelDate, kDateLen).c_str());
  appendf(d, "\nREL_TIME: %s", r.chars(kRelTime, kTimeLen).c_str());
  appendf(d, "\nVER_DIR: %s", r.chars(kVerDir, kVerDirLen).c_str());
  appendf(d, "\nSCM: 0x%x, MOB_CAI_REV: %u, MOB_MODEL: %u, MOB_FIRM_REV: %u, SLOT_CYCLE_INDEX: %u, MSM_VER: %u",
          r.u8(kScm), r.u8(kCaiRev), r.u8(kModel), r.u16le(kFirmRev), r.u8(kSlotCycle), r.u16le(kMsmVer));
}

// Logging mask (cmd 0x0F), temporal analyzer parameters (cmd 0x1E) and parameter
// retrieval 2 (cmd 0x43): the title only.
void COrbDecodeMsgCDMAQualcommFrame::DecodeLoggingMaskResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeLoggingMaskResponse);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeTempAnalyzerParamResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                     IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeTempAnalyzerParamResponse);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeParamRetr2RequestResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                     IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeParamRetr2RequestResponse);
}

// Bad command (cmd 0x13):
//  +off  type  name                     unit
//   +0   u8[]  the refused request, echoed
void COrbDecodeMsgCDMAQualcommFrame::DecodeBadCommandResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                              IDekCellRefs_Search*) {
  constexpr std::size_t kRequest = 0;
  Begin(msg, &F::DecodeBadCommandResponse);
  if (msg.detailsWanted) hex_bytes(msg.details, payload(), kRequest);
}

// Diag version (cmd 0x1C), 2 bytes:
//  +off  type  name     unit
//   +0   u16   version
void COrbDecodeMsgCDMAQualcommFrame::DecodeDiagVersionResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  constexpr std::size_t kVersion = 0, kSize = 2;
  const auto job = Begin(msg, &F::DecodeDiagVersionResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (msg.detailsWanted) appendf(msg.details, "\nDIAG_VERSION: %u", r.u16le(kVersion));
}

// Time stamp (cmd 0x1D), 8 bytes:
//  +off  type  name              unit
//   +0   u64   CDMA system time  bits 16-63: 1.25 ms since 1980-01-06; bits 0-15: 1/32 chip
void COrbDecodeMsgCDMAQualcommFrame::DecodeTimeStampResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                             IDekCellRefs_Search*) {
  constexpr std::size_t kStamp = 0, kSize = 8;
  constexpr unsigned kChipBits = 16;
  const auto job = Begin(msg, &F::DecodeTimeStampResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (!msg.detailsWanted) return;
  const std::uint64_t stamp = r.u64le(kStamp);
  const std::uint64_t count = stamp >> kChipBits;
  const double seconds = static_cast<double>(count) * cdmadiag::kTimeUnitSeconds + cdmadiag::kGpsEpochUnixSeconds;
  std::string when;
  COrbMilliSecAbsTime(static_cast<std::int64_t>(seconds * 1000.0)).GetAbsTimeStr(when, nullptr);
  appendf(msg.details, "\nTime Stamp: 0x%" PRIx64 ", 1.25ms Counter: %" PRIu64 ", 1/32 Chip Counter: %u,", stamp, count,
          static_cast<unsigned>(cdmadiag::bits(stamp, 0, kChipBits)));
  appendf(msg.details, "\nCDMA System Time Stamp: %s", when.c_str());
}

// NV item read (cmd 0x26), 132 bytes:
//  +off  type     name    unit
//   +0   u16      item
//   +2   u8[128]  item data
// +130   u16      status
void COrbDecodeMsgCDMAQualcommFrame::DecodeNonvolatileItemReadResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                       IDekCellRefs_Search*) {
  constexpr std::size_t kItem = 0, kStatus = 130, kSize = 132;
  const auto job = Begin(msg, &F::DecodeNonvolatileItemReadResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (msg.detailsWanted) appendf(msg.details, "\nNV_ITEM: %u, STATUS: %u", r.u16le(kItem), r.u16le(kStatus));
}

// DIP switches (cmd 0x30), 2 bytes:
//  +off  type  name         unit
//   +0   u16   switch bits
void COrbDecodeMsgCDMAQualcommFrame::DecodeDipSwitchSetResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  constexpr std::size_t kSwitches = 0, kSize = 2;
  const auto job = Begin(msg, &F::DecodeDipSwitchSetResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (msg.detailsWanted) appendf(msg.details, "\nSWITCHES: 0x%04X", r.u16le(kSwitches));
}

// Phone state (cmd 0x3F), 3 bytes:
//  +off  type  name         unit
//   +0   u8    state        kPhoneStates
//   +1   u16   event count
void COrbDecodeMsgCDMAQualcommFrame::DecodePhoneStateResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                              IDekCellRefs_Search*) {
  constexpr std::size_t kState = 0, kEventCount = 1, kSize = 3;
  const auto job = Begin(msg, &F::DecodePhoneStateResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (!msg.detailsWanted) return;
  const std::uint8_t state = r.u8(kState);
  appendf(msg.details, "\nPhone State: %s (0x%02X), Event Count: %u",
          cdmadiag::group_text(kPhoneStateGroup, state).c_str(), state, r.u16le(kEventCount));
}

// Event report (cmd 0x60), at least 2 bytes:
//  +off  type  name                           unit
//   +0   u16   length of the events that follow  bytes
void COrbDecodeMsgCDMAQualcommFrame::DecodeEventReportResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  constexpr std::size_t kLength = 0, kSize = 2;
  const auto job = Begin(msg, &F::DecodeEventReportResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (msg.detailsWanted) appendf(msg.details, "LENGTH: %u", r.u16le(kLength));
}

// Extensible parameter retrieval (cmd 0x62), at least 5 bytes:
//  +off  type  name              unit
//   +0   u8    sub-command
//   +1   u16   first parameter id
//   +3   u16   last parameter id
void COrbDecodeMsgCDMAQualcommFrame::DecodeExtParamRetrRequestResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                       IDekCellRefs_Search*) {
  constexpr std::size_t kSubCommand = 0, kFirstId = 1, kLastId = 3, kSize = 5;
  const auto job = Begin(msg, &F::DecodeExtParamRetrRequestResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (msg.detailsWanted) {
    appendf(msg.details, "SUB_CMD: %02x, START_PARM_ID: %02x, END_PARM_ID: %02X", r.u8(kSubCommand), r.u16le(kFirstId),
            r.u16le(kLastId));
  }
}

// Logging configuration (cmd 0x73), at least 11 bytes:
//  +off  type  name            unit
//   +0   u8[3] unused
//   +3   u32   operation       kLogConfigOperations
//   +7   u32   status          kLogConfigStatuses
//  +11   u8[]  operation data  shown in hex
void COrbDecodeMsgCDMAQualcommFrame::DecodeLoggingConfigurationResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                        IDekCellRefs_Search*) {
  constexpr std::size_t kOperation = 3, kStatus = 7, kData = 11, kSize = 11;
  const auto job = Begin(msg, &F::DecodeLoggingConfigurationResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (!msg.detailsWanted) return;
  const std::uint32_t operation = r.u32le(kOperation);
  const std::uint32_t status = r.u32le(kStatus);
  // The status name was formatted with "% s"; the space flag does nothing to a
  // string, so the output is the plain name.
  appendf(msg.details, "\nOperation: %s (%u), Status: %s (%u)",
          cdmadiag::group_text(kLogConfigOperationGroup, operation).c_str(), operation,
          cdmadiag::group_text(kLogConfigStatusGroup, status).c_str(), status);
  hex_bytes(msg.details, r, kData);
}

// Log on demand (cmd 0x78), 3 bytes:
//  +off  type  name      unit
//   +0   u16   log code  named by the dispatch rows' titles
//   +2   u8    status
void COrbDecodeMsgCDMAQualcommFrame::DecodeLogOnDemandResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  constexpr std::size_t kLogCode = 0, kStatus = 2, kSize = 3;
  const auto job = Begin(msg, &F::DecodeLogOnDemandResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (!msg.detailsWanted) return;
  const std::uint16_t code = r.u16le(kLogCode);
  appendf(msg.details, "\nLog Code: %s (0x%02X), Status: %u", cdmadiag::group_text(kMessageTypeGroup, code).c_str(),
          code, r.u8(kStatus));
}

// Extended build id (cmd 0x7C), at least 11 bytes:
//  +off  type  name                  unit
//   +0   u8    version               selects the MSM revision bits
//   +1   u8[2] reserved
//   +3   u32   MSM revision          version 0: bits 0-15, 1: bits 0-19, 2: all, others: none
//   +7   u32   model number
//  +11   char  software revision     NUL-terminated
//    ..  char  model name            NUL-terminated, after the revision
void COrbDecodeMsgCDMAQualcommFrame::DecodeExtBuildIdResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                              IDekCellRefs_Search*) {
  constexpr std::size_t kVersion = 0, kMsmRevision = 3, kModelNumber = 7, kSoftware = 11, kSize = 11;
  const auto job = Begin(msg, &F::DecodeExtBuildIdResponse);
  const PayloadReader r = payload();
  if (!job.require(r, kSize)) return;
  if (!msg.detailsWanted) return;
  const std::uint8_t version = r.u8(kVersion);
  const std::uint32_t raw_msm = r.u32le(kMsmRevision);
  std::uint32_t msm = 0;
  switch (version) {
    case 0: msm = raw_msm & 0xFFFFu; break;
    case 1: msm = raw_msm & 0xFFFFFu; break;
    case 2: msm = raw_msm; break;
    default: msm = 0; break;
  }
  std::size_t next = 0;
  const std::string software = r.cstring(kSoftware, &next);
  const std::string model = r.cstring(next);
  appendf(msg.details, "\nVersion: %u, MSM Revision: %u, Mobile Model Number: %u", version, msm, r.u32le(kModelNumber));
  if (!software.empty()) appendf(msg.details, "\nMobile Software Revision: %s", software.c_str());
  if (!model.empty()) appendf(msg.details, "\nMobile Model: %s", model.c_str());
}
