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
#include "framework/payload_cursor.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/abs_time.h"
#include "host/format_groups.h"

using cdmadiag::appendf;
using cdmadiag::Cursor;
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

// The rest of the payload from c's offset.
void hex_bytes(std::string& out, Cursor c) {
  out += "\nData (hex): ";
  while (c.left() > 0) appendf(out, "%02x ", unsigned{c.u8()});
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
  constexpr std::size_t kDateLen = 11, kTimeLen = 8, kVerDirLen = 8;
  const auto job = Begin(msg, &F::DecodeVersionNumberResponse);
  Cursor c(payload());
  const std::string comp_date = c.chars(kDateLen);
  const std::string comp_time = c.chars(kTimeLen);
  const std::string rel_date = c.chars(kDateLen);
  const std::string rel_time = c.chars(kTimeLen);
  const std::string ver_dir = c.chars(kVerDirLen);
  const std::uint8_t scm = c.u8();
  const std::uint8_t cai_rev = c.u8();
  const std::uint8_t model = c.u8();
  const std::uint16_t firm_rev = c.u16le();
  const std::uint8_t slot_cycle = c.u8();
  const std::uint16_t msm_ver = c.u16le();
  if (!job.check(c)) return;
  if (!msg.detailsWanted) return;
  std::string& d = msg.details;
  appendf(d, "\nCOMP_DATE: %s", comp_date.c_str());
  appendf(d, "\nCOMP_TIME: %s", comp_time.c_str());
  appendf(d, "\nREL_DATE: %s", rel_date.c_str());
  appendf(d, "\nREL_TIME: %s", rel_time.c_str());
  appendf(d, "\nVER_DIR: %s", ver_dir.c_str());
  appendf(d, "\nSCM: 0x%x, MOB_CAI_REV: %u, MOB_MODEL: %u, MOB_FIRM_REV: %u, SLOT_CYCLE_INDEX: %u, MSM_VER: %u",
          unsigned{scm}, unsigned{cai_rev}, unsigned{model}, unsigned{firm_rev}, unsigned{slot_cycle},
          unsigned{msm_ver});
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
  Begin(msg, &F::DecodeBadCommandResponse);
  if (msg.detailsWanted) hex_bytes(msg.details, Cursor(payload()));
}

// Diag version (cmd 0x1C), 2 bytes:
//  +off  type  name     unit
//   +0   u16   version
void COrbDecodeMsgCDMAQualcommFrame::DecodeDiagVersionResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeDiagVersionResponse);
  Cursor c(payload());
  const std::uint16_t version = c.u16le();
  if (!job.check(c)) return;
  if (msg.detailsWanted) appendf(msg.details, "\nDIAG_VERSION: %u", unsigned{version});
}

// Time stamp (cmd 0x1D), 8 bytes:
//  +off  type  name              unit
//   +0   u64   CDMA system time  bits 16-63: 1.25 ms since 1980-01-06; bits 0-15: 1/32 chip
void COrbDecodeMsgCDMAQualcommFrame::DecodeTimeStampResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                             IDekCellRefs_Search*) {
  constexpr unsigned kChipBits = 16;
  const auto job = Begin(msg, &F::DecodeTimeStampResponse);
  Cursor c(payload());
  const std::uint64_t stamp = c.u64le();
  if (!job.check(c)) return;
  if (!msg.detailsWanted) return;
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
  constexpr std::size_t kItemData = 128;
  const auto job = Begin(msg, &F::DecodeNonvolatileItemReadResponse);
  Cursor c(payload());
  const std::uint16_t item = c.u16le();
  c.skip(kItemData);
  const std::uint16_t status = c.u16le();
  if (!job.check(c)) return;
  if (msg.detailsWanted) appendf(msg.details, "\nNV_ITEM: %u, STATUS: %u", unsigned{item}, unsigned{status});
}

// DIP switches (cmd 0x30), 2 bytes:
//  +off  type  name         unit
//   +0   u16   switch bits
void COrbDecodeMsgCDMAQualcommFrame::DecodeDipSwitchSetResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeDipSwitchSetResponse);
  Cursor c(payload());
  const std::uint16_t switches = c.u16le();
  if (!job.check(c)) return;
  if (msg.detailsWanted) appendf(msg.details, "\nSWITCHES: 0x%04X", unsigned{switches});
}

// Phone state (cmd 0x3F), 3 bytes:
//  +off  type  name         unit
//   +0   u8    state        kPhoneStates
//   +1   u16   event count
void COrbDecodeMsgCDMAQualcommFrame::DecodePhoneStateResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                              IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodePhoneStateResponse);
  Cursor c(payload());
  const std::uint8_t state = c.u8();
  const std::uint16_t event_count = c.u16le();
  if (!job.check(c)) return;
  if (!msg.detailsWanted) return;
  appendf(msg.details, "\nPhone State: %s (0x%02X), Event Count: %u",
          cdmadiag::group_text(kPhoneStateGroup, state).c_str(), unsigned{state}, unsigned{event_count});
}

// Event report (cmd 0x60), at least 2 bytes:
//  +off  type  name                           unit
//   +0   u16   length of the events that follow  bytes
void COrbDecodeMsgCDMAQualcommFrame::DecodeEventReportResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeEventReportResponse);
  Cursor c(payload());
  const std::uint16_t length = c.u16le();
  if (!job.check(c)) return;
  if (msg.detailsWanted) appendf(msg.details, "LENGTH: %u", unsigned{length});
}

// Extensible parameter retrieval (cmd 0x62), at least 5 bytes:
//  +off  type  name              unit
//   +0   u8    sub-command
//   +1   u16   first parameter id
//   +3   u16   last parameter id
void COrbDecodeMsgCDMAQualcommFrame::DecodeExtParamRetrRequestResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                       IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeExtParamRetrRequestResponse);
  Cursor c(payload());
  const std::uint8_t sub_command = c.u8();
  const std::uint16_t first_id = c.u16le();
  const std::uint16_t last_id = c.u16le();
  if (!job.check(c)) return;
  if (msg.detailsWanted) {
    appendf(msg.details, "SUB_CMD: %02x, START_PARM_ID: %02x, END_PARM_ID: %02X", unsigned{sub_command},
            unsigned{first_id}, unsigned{last_id});
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
  constexpr std::size_t kUnused = 3;
  const auto job = Begin(msg, &F::DecodeLoggingConfigurationResponse);
  Cursor c(payload());
  c.skip(kUnused);
  const std::uint32_t operation = c.u32le();
  const std::uint32_t status = c.u32le();
  if (!job.check(c)) return;
  if (!msg.detailsWanted) return;
  // The status name was formatted with "% s"; the space flag does nothing to a
  // string, so the output is the plain name.
  appendf(msg.details, "\nOperation: %s (%u), Status: %s (%u)",
          cdmadiag::group_text(kLogConfigOperationGroup, operation).c_str(), operation,
          cdmadiag::group_text(kLogConfigStatusGroup, status).c_str(), status);
  hex_bytes(msg.details, c);
}

// Log on demand (cmd 0x78), 3 bytes:
//  +off  type  name      unit
//   +0   u16   log code  named by the dispatch rows' titles
//   +2   u8    status
void COrbDecodeMsgCDMAQualcommFrame::DecodeLogOnDemandResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeLogOnDemandResponse);
  Cursor c(payload());
  const std::uint16_t code = c.u16le();
  const std::uint8_t status = c.u8();
  if (!job.check(c)) return;
  if (!msg.detailsWanted) return;
  appendf(msg.details, "\nLog Code: %s (0x%02X), Status: %u", cdmadiag::group_text(kMessageTypeGroup, code).c_str(),
          unsigned{code}, unsigned{status});
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
  constexpr std::size_t kReserved = 2;
  const auto job = Begin(msg, &F::DecodeExtBuildIdResponse);
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  c.skip(kReserved);
  const std::uint32_t raw_msm = c.u32le();
  const std::uint32_t model_number = c.u32le();
  if (!job.check(c)) return;
  if (!msg.detailsWanted) return;
  std::uint32_t msm = 0;
  switch (version) {
    case 0: msm = raw_msm & 0xFFFFu; break;
    case 1: msm = raw_msm & 0xFFFFFu; break;
    case 2: msm = raw_msm; break;
    default: msm = 0; break;
  }
  const std::string software = c.cstring();
  const std::string model = c.cstring();
  appendf(msg.details, "\nVersion: %u, MSM Revision: %u, Mobile Model Number: %u", unsigned{version}, msm,
          model_number);
  if (!software.empty()) appendf(msg.details, "\nMobile Software Revision: %s", software.c_str());
  if (!model.empty()) appendf(msg.details, "\nMobile Model: %s", model.c_str());
}
