// The small DIAG command responses: identity and version answers, time stamp, NV
// item, switches, phone state, logging configuration and log on demand. Offsets
// count from the byte after the command code; fields are little-endian.
#include <array>
#include <cinttypes>
#include <vector>

#include "diag/diag_common.h"
#include "framework/decoder_1x.h"
#include "framework/dispatch.h"
#include "framework/payload_reader.h"
#include "framework/text.h"
#include "host/abs_time.h"
#include "host/format_groups.h"

using cdmadiag::appendf;
using cdmadiag::PayloadReader;
using cdmadiag::diag::fits;

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

// The message-type group names every log code by the title its dispatcher gives
// it; built from the dispatchers' own table the first time it is needed, so the
// two never disagree.
void ensure_message_type_group() {
  static const std::vector<ValueName> table = [] {
    static std::vector<std::string> titles;
    std::vector<ValueName> rows;
    const auto codes = cdmadiag::known_codes();
    titles.reserve(codes.size());
    for (const cdmadiag::CodeInfo& c : codes) {
      if (c.cls == cdmadiag::CodeClass::kDiagCommand || c.title.empty()) continue;
      titles.push_back(c.title);
      rows.push_back(ValueName{c.code, nullptr});
    }
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i].name = titles[i].c_str();
    return rows;
  }();
  static const FormatGroupRegistration registration(kMessageTypeGroup, table);
}

void hex_bytes(std::string& out, const PayloadReader& r, std::size_t from) {
  out += "\nData (hex): ";
  for (std::size_t i = from; i < r.size(); ++i) appendf(out, "%02x ", r.u8(i));
}

}  // namespace

// Version number response (cmd 0x00):
//   0 compile date (11 chars)  11 compile time (8)  19 release date (11)  30 release time (8)
//   38 version directory (8)  46 SCM  47 CAI rev  48 model  49 u16 firmware rev
//   51 slot cycle index  52 u16 MSM version
void COrbDecodeMsgCDMAQualcommFrame::DecodeVersionNumberResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                 IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Version Number Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!fits(r, 54, msg)) return;
  std::string& d = msg.details;
  appendf(d, "\nCOMP_DATE: %s", r.chars(0, 11).c_str());
  appendf(d, "\nCOMP_TIME: %s", r.chars(11, 8).c_str());
  appendf(d, "\nREL_DATE: %s", r.chars(19, 11).c_str());
  appendf(d, "\nREL_TIME: %s", r.chars(30, 8).c_str());
  appendf(d, "\nVER_DIR: %s", r.chars(38, 8).c_str());
  appendf(d, "\nSCM: 0x%x, MOB_CAI_REV: %u, MOB_MODEL: %u, MOB_FIRM_REV: %u, SLOT_CYCLE_INDEX: %u, MSM_VER: %u",
          r.u8(46), r.u8(47), r.u8(48), r.u16le(49), r.u8(51), r.u16le(52));
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeLoggingMaskResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Logging Mask Response";
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeTempAnalyzerParamResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                     IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Temporal Analyzer Parameters Response";
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeParamRetr2RequestResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                     IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Parameter Retrieval 2 Request/Response";
}

// Bad command (cmd 0x13): the bytes of the refused request, echoed.
void COrbDecodeMsgCDMAQualcommFrame::DecodeBadCommandResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                              IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Bad Command";
  if (msg.detailsWanted) hex_bytes(msg.details, payload(), 0);
}

// Diag version (cmd 0x1C): 0 u16 version.
void COrbDecodeMsgCDMAQualcommFrame::DecodeDiagVersionResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Diag Version Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (fits(r, 2, msg)) appendf(msg.details, "\nDIAG_VERSION: %u", r.u16le(0));
}

// Time stamp (cmd 0x1D): 0 u64 CDMA system time; bits 16-63 count 1.25 ms units
// since 1980-01-06, bits 0-15 count 1/32 chips within the unit.
void COrbDecodeMsgCDMAQualcommFrame::DecodeTimeStampResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                             IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Time Stamp Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!fits(r, 8, msg)) return;
  const std::uint64_t stamp = r.u64le(0);
  const std::uint64_t count = stamp >> 16;
  const double seconds = static_cast<double>(count) * 0.00125 + 315964800.0;
  std::string when;
  COrbMilliSecAbsTime(static_cast<std::int64_t>(seconds * 1000.0)).GetAbsTimeStr(when, nullptr);
  appendf(msg.details, "\nTime Stamp: 0x%" PRIx64 ", 1.25ms Counter: %" PRIu64 ", 1/32 Chip Counter: %u,", stamp, count,
          static_cast<unsigned>(stamp & 0xFFFF));
  appendf(msg.details, "\nCDMA System Time Stamp: %s", when.c_str());
}

// NV item read (cmd 0x26): 0 u16 item, 2..129 item data, 130 u16 status.
void COrbDecodeMsgCDMAQualcommFrame::DecodeNonvolatileItemReadResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                       IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Nonvolatile Item Read Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (fits(r, 132, msg)) appendf(msg.details, "\nNV_ITEM: %u, STATUS: %u", r.u16le(0), r.u16le(130));
}

// DIP switches (cmd 0x30): 0 u16 switch bits.
void COrbDecodeMsgCDMAQualcommFrame::DecodeDipSwitchSetResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "DIP Switch Set Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (fits(r, 2, msg)) appendf(msg.details, "\nSWITCHES: 0x%04X", r.u16le(0));
}

// Phone state (cmd 0x3F): 0 state, 1 u16 event count.
void COrbDecodeMsgCDMAQualcommFrame::DecodePhoneStateResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                              IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Phone State Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!fits(r, 3, msg)) return;
  const std::uint8_t state = r.u8(0);
  appendf(msg.details, "\nPhone State: %s (0x%02X), Event Count: %u",
          cdmadiag::diag::group_text(kPhoneStateGroup, state).c_str(), state, r.u16le(1));
}

// Event report (cmd 0x60): 0 u16 length of the events that follow.
void COrbDecodeMsgCDMAQualcommFrame::DecodeEventReportResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Event Report";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (fits(r, 2, msg)) appendf(msg.details, "LENGTH: %u", r.u16le(0));
}

// Extensible parameter retrieval (cmd 0x62): 0 sub-command, 1 u16 first id, 3 u16 last id.
void COrbDecodeMsgCDMAQualcommFrame::DecodeExtParamRetrRequestResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                       IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Extensible Parameter Retrieval Request/Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (fits(r, 5, msg)) {
    appendf(msg.details, "SUB_CMD: %02x, START_PARM_ID: %02x, END_PARM_ID: %02X", r.u8(0), r.u16le(1), r.u16le(3));
  }
}

// Logging configuration (cmd 0x73): 0..2 unused, 3 u32 operation, 7 u32 status,
// 11.. operation data.
void COrbDecodeMsgCDMAQualcommFrame::DecodeLoggingConfigurationResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                                        IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Logging Configuration Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!fits(r, 11, msg)) return;
  const std::uint32_t operation = r.u32le(3);
  const std::uint32_t status = r.u32le(7);
  // The status name was formatted with "% s"; the space flag does nothing to a
  // string, so the output is the plain name.
  appendf(msg.details, "\nOperation: %s (%u), Status: %s (%u)",
          cdmadiag::diag::group_text(kLogConfigOperationGroup, operation).c_str(), operation,
          cdmadiag::diag::group_text(kLogConfigStatusGroup, status).c_str(), status);
  hex_bytes(msg.details, r, 11);
}

// Log on demand (cmd 0x78): 0 u16 log code, 2 status.
void COrbDecodeMsgCDMAQualcommFrame::DecodeLogOnDemandResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Log On Demand Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!fits(r, 3, msg)) return;
  ensure_message_type_group();
  const std::uint16_t code = r.u16le(0);
  appendf(msg.details, "\nLog Code: %s (0x%02X), Status: %u",
          cdmadiag::diag::group_text(kMessageTypeGroup, code).c_str(), code, r.u8(2));
}

// Extended build id (cmd 0x7C): 0 version, 1..2 reserved, 3 u32 MSM revision (bits
// used depend on the version), 7 u32 model number, 11 software revision text
// (NUL-terminated), then the model name text.
void COrbDecodeMsgCDMAQualcommFrame::DecodeExtBuildIdResponse(IOrbDataState*, COrbExpandedMessage& msg,
                                                              IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Extended Build ID Response";
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!fits(r, 11, msg)) return;
  const std::uint8_t version = r.u8(0);
  const std::uint32_t raw_msm = r.u32le(3);
  std::uint32_t msm = 0;
  switch (version) {
    case 0: msm = raw_msm & 0xFFFFu; break;
    case 1: msm = raw_msm & 0xFFFFFu; break;
    case 2: msm = raw_msm; break;
    default: msm = 0; break;
  }
  std::size_t next = 0;
  const std::string software = r.cstring(11, &next);
  const std::string model = r.cstring(next);
  appendf(msg.details, "\nVersion: %u, MSM Revision: %u, Mobile Model Number: %u", version, msm, r.u32le(7));
  if (!software.empty()) appendf(msg.details, "\nMobile Software Revision: %s", software.c_str());
  if (!model.empty()) appendf(msg.details, "\nMobile Model: %s", model.c_str());
}
