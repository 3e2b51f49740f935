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

constexpr LogRow kLogRows[] = {
    {0x1000, 0x1000, Kind::kTitle, "Temporal Analyzer", nullptr},
    {0x1001, 0x1001, Kind::kTitle, "ACG Power Control", nullptr},
    {0x1002, 0x1002, Kind::kTitle, "Forward Link Frame Type", nullptr},
    {0x1003, 0x1003, Kind::kDecoder, "Reverse Link Frame Types", &F::DecodeRevLinkFrameType},
    {0x1009, 0x1009, Kind::kDecoder, "Forward Link Vocoder Packet", &F::DecodeForLinkVocoderPacket},
    {0x100A, 0x100A, Kind::kDecoder, "Reverse Link Vocoder Packet", &F::DecodeRevLinkVocoderPacket},
    {0x100B, 0x100B, Kind::kDecoder, "Pilot Fingers", &F::DecodeFinger},
    {0x100C, 0x100C, Kind::kDecoder, "Searcher Pathlog", &F::DecodeRetrieverScanner},
    {0x100D, 0x100D, Kind::kDecoder, "ETAK info", &F::DecodeETAK},
    {0x100E, 0x100E, Kind::kDecoder, "Markov Statistics", &F::DecodeMarkovStats},
    {0x100F, 0x100F, Kind::kDecoder, "Pilot Searcher", &F::DecodeSearcher},
    {0x1010, 0x1010, Kind::kTitle, "Handset Status", nullptr},
    {0x1011, 0x1011, Kind::kTitle, "Vocoder Error Mask", nullptr},
    {0x1012, 0x1012, Kind::kDecoder, "Analog Voice Channel", &F::DecodeAnalogVoice},
    {0x1013, 0x1013, Kind::kDecoder, "Access Probe Info", &F::DecodeAccessProbe},
    {0x1014, 0x1014, Kind::kDecoder, "GPS info", &F::DecodeGPS},
    {0x1015, 0x1015, Kind::kTitle, "Test Mobile Command", nullptr},
    {0x1016, 0x1016, Kind::kDecoder, "Sparse AGC Report", &F::DecodeSparseAGC},
    {0x1017, 0x1017, Kind::kTitle, "Band Change", nullptr},
    {0x1018, 0x1018, Kind::kReserved, nullptr, nullptr},
    {0x1019, 0x1019, Kind::kGenTA, "General Temporal Analyzer Info", nullptr},
    {0x101A, 0x101A, Kind::kDecoder, "General TA With Supplemental Channel Info", &F::DecodeGenTAWithSupChanInfo},
    {0x101B, 0x101B, Kind::kReserved, nullptr, nullptr},
    {0x101C, 0x101C, Kind::kTitle, "Analog Forward Channel", nullptr},
    {0x101D, 0x101D, Kind::kTitle, "Analog Reverse Channel", nullptr},
    {0x101E, 0x101E, Kind::kTitle, "Analog Handoff", nullptr},
    {0x101F, 0x101F, Kind::kTitle, "FM Slot Statistics", nullptr},
    {0x1020, 0x1020, Kind::kTitle, "FOCC Word Sync Count", nullptr},
    {0x1021, 0x1024, Kind::kReserved, nullptr, nullptr},
    {0x1025, 0x1025, Kind::kDecoder, "RLP Rx Frames", &F::DecodeRLPRxFrames},
    {0x1026, 0x1026, Kind::kDecoder, "RLP Tx Frames", &F::DecodeRLPTxFrames},
    {0x1027, 0x1028, Kind::kReserved, nullptr, nullptr},
    {0x1029, 0x1029, Kind::kDecoder, "Forward Link Frame Type", &F::DecodeForwardLinkFrameType},
    {0x102A, 0x102A, Kind::kDecoder, "Reverse Link Frame Type", &F::DecodeReverseLinkFrameType},
    {0x102B, 0x102B, Kind::kDecoder, "Fast Forward Power Control", &F::DecodeForPowerControl},
    {0x102C, 0x102C, Kind::kDecoder, "Reverse Power Control", &F::DecodeRevPowerControl},
    {0x102D, 0x102D, Kind::kDecoder, "Searcher and Finger Information", &F::DecodeSearcherNFingerInfo},
    {0x102E, 0x102E, Kind::kDecoder, "Service Configuration", &F::DecodeServiceConfiguration},
    {0x102F, 0x102F, Kind::kDecoder, "Active Set and Channel Configuration", &F::DecodeActiveSetAndChanConfig},
    {0x1030, 0x1030, Kind::kDecoder, "Quick Paging Channel Info", &F::DecodeQuickPagingChannelInfo},
    {0x1031, 0x1031, Kind::kDecoder, "RLP Statistics", &F::DecodeRlpStats},
    {0x1032, 0x1032, Kind::kDecoder, "Simple TDSO Counters", &F::DecodeSimpleTDSOCounters},
    {0x1033, 0x1035, Kind::kReserved, nullptr, nullptr},
    {0x1038, 0x1038, Kind::kReserved, nullptr, nullptr},
    {0x103A, 0x103B, Kind::kReserved, nullptr, nullptr},
    {0x103D, 0x103D, Kind::kTitle, "Full Test Data Service Option Counters", nullptr},
    {0x108D, 0x108F, Kind::kReserved, nullptr, nullptr},
    {0x1090, 0x1090, Kind::kTitle, "Forward Dedicated Control Channel", nullptr},
    {0x1091, 0x1091, Kind::kTitle, "Reverse Dedicated Control Channel", nullptr},
    {0x1092, 0x1092, Kind::kReserved, nullptr, nullptr},
    {0x1093, 0x1093, Kind::kDecoder, "Active Set Info", &F::DecodeActiveSetInfo},
    {0x1094, 0x1095, Kind::kReserved, nullptr, nullptr},
    {0x1096, 0x1096, Kind::kTitle, "GPS Visit Parameters", nullptr},
    {0x1097, 0x1097, Kind::kTitle, "GPS Measurements", nullptr},
    {0x1098, 0x1098, Kind::kTitle, "Removable User Identity Module Debug", nullptr},
    {0x1099, 0x1099, Kind::kTitle, "Simple TSDO Counter for DCCH", nullptr},
    {0x109A, 0x109A, Kind::kTitle, "Full TSDO Counter for DCCH", nullptr},
    {0x109B, 0x109B, Kind::kReserved, nullptr, nullptr},
    {0x109C, 0x109C, Kind::kDecoder, "PPP Tx Frames", &F::DecodePPPTxFrames},
    {0x109D, 0x109D, Kind::kDecoder, "PPP Rx Frames", &F::DecodePPPRxFrames},
    {0x109E, 0x109E, Kind::kTitle, "Security PKX MM Statistics", nullptr},
    {0x109F, 0x109F, Kind::kTitle, "Security PKX MM Operation", nullptr},
    {0x10A0, 0x10A0, Kind::kTitle, "Security Encoding Statistics", nullptr},
    {0x10A1, 0x10A1, Kind::kDecoder, "Security Encoding Operation Destination Statistics",
     &F::DecodeSecurityEncodeOpDesStat},
    {0x10A2, 0x10A2, Kind::kDecoder, "Security Encoding Operation ARC4 Statistics", &F::DecodeSecurityEncodeOpARC4Stat},
    {0x10A3, 0x10A3, Kind::kDecoder, "Security Encoding Operation Plaintext", &F::DecodeSecurityEncodePlaintext},
    {0x10A4, 0x10A4, Kind::kTitle, "Security Encoding Operation Ciphertext", nullptr},
    {0x10A5, 0x10A5, Kind::kTitle, "Security Encoding Operation Message Authentication Code", nullptr},
    {0x10A6, 0x10A6, Kind::kTitle, "Security Hasing Statistics", nullptr},
    {0x10A7, 0x10A7, Kind::kTitle, "Security Hashing Operation Input", nullptr},
    {0x10A8, 0x10A8, Kind::kTitle, "Security Hasing Operating Hash", nullptr},
    {0x10A9, 0x10A9, Kind::kTitle, "Security Secure Sockets Layer Session", nullptr},
    {0x10AA, 0x10AA, Kind::kTitle, "Security Secure Sockets Layer Session Server Certification", nullptr},
    {0x10AB, 0x10AB, Kind::kTitle, "Security Secure Sockets Layer Session Cipherdata", nullptr},
    {0x10AC, 0x10AC, Kind::kTitle, "Security Secure Sockets Layer Session Statistics", nullptr},
    {0x10AD, 0x10AD, Kind::kTitle, "Security Secure Sockets Layer Transmitted Statistics", nullptr},
    {0x10AE, 0x10AE, Kind::kTitle, "Security Secure Sockets Layer Received Statistics", nullptr},
    {0x10AF, 0x10AF, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Hello Request", nullptr},
    {0x10B0, 0x10B0, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Client Hello", nullptr},
    {0x10B1, 0x10B1, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Server Hello", nullptr},
    {0x10B2, 0x10B2, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Server DH Key Exchange", nullptr},
    {0x10B3, 0x10B3, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Server RSA Key Exchange", nullptr},
    {0x10B4, 0x10B4, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Server Hello Done", nullptr},
    {0x10B5, 0x10B5, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Client DH Key Exchange", nullptr},
    {0x10B6, 0x10B6, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Client RSA Exchange", nullptr},
    {0x10B7, 0x10B7, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Client Finished", nullptr},
    {0x10B8, 0x10B8, Kind::kTitle, "Security Secure Sockets Layer Handshake Protocol Server Finished", nullptr},
    {0x10B9, 0x10B9, Kind::kTitle, "Security Secure Sockets Layer Cipherspec Protocol Change", nullptr},
    {0x10BA, 0x10BA, Kind::kTitle, "Security Secure Sockets Layer Alert Protocol Alert", nullptr},
    {0x10BB, 0x10BB, Kind::kReserved, nullptr, nullptr},
    {0x10BC, 0x10BC, Kind::kDecoder, "Quick Paging Channel Info, Ver 2", &F::DecodeQuickPagingChannelInfoVer2},
    {0x10BD, 0x10BF, Kind::kReserved, nullptr, nullptr},
    {0x10C0, 0x10C0, Kind::kTitleThenDecoder, "FDCH Frame Information", &F::DecodeFDCH_or_RDCHFrameInfo},
    {0x10C1, 0x10C1, Kind::kTitleThenDecoder, "RDCH Frame Information", &F::DecodeFDCH_or_RDCHFrameInfo},
    {0x10C2, 0x10C2, Kind::kDecoder, "Fast Forward Power Control Statistics", &F::DecodeFastFwdPowControlStats},
    {0x10C3, 0x10C3, Kind::kDecoder, "Reverse Power Control Statistics", &F::DecodeReversePowerCtrlStat},
    {0x10C4, 0x10C4, Kind::kDecoder, "Searcher and Finger Information Ver2", &F::DecodeSearcherNFingerInfoVer2},
    {0x10C5, 0x10C5, Kind::kDecoder, "Service Configuration, ver 2", &F::DecodeServiceConfigurationVer2},
    {0x10C6, 0x10C6, Kind::kDecoder, "Active Set Information, Ver 2", &F::DecodeActiveSetInfoVer2},
    {0x10C7, 0x10C7, Kind::kDecoder, "Reduced Active Set Information", &F::DecodeRedActiveSetInfo},
    {0x10C8, 0x10C8, Kind::kTitle, "Triage", nullptr},
    {0x10C9, 0x10CF, Kind::kReserved, nullptr, nullptr},
    {0x10D0, 0x10D0, Kind::kTitle, "System Arbitration Module", nullptr},
    {0x10D2, 0x10D2, Kind::kTitle, "System Determination Last Main Action", nullptr},
    {0x10D3, 0x10D3, Kind::kTitle, "System Determination Last Hybrig Action", nullptr},
    {0x10D4, 0x10DA, Kind::kReserved, nullptr, nullptr},
    {0x10DB, 0x10DB, Kind::kTitle, "Position Engine Full", nullptr},
    {0x10DC, 0x10DC, Kind::kTitle, "Position Engine Partial", nullptr},
    {0x10DD, 0x10E1, Kind::kReserved, nullptr, nullptr},
    {0x10E2, 0x10E2, Kind::kTitle, "MPEG4 YUV Frame", nullptr},
    {0x10E3, 0x10E3, Kind::kTitle, "MPEG4 Clip Statistics", nullptr},
    {0x10E4, 0x1153, Kind::kReserved, nullptr, nullptr},
    {0x1154, 0x1154, Kind::kDecoder, "Position Engine Full, Ver 2", &F::DecodePositionEngineFullVer2},
    {0x1155, 0x1155, Kind::kTitle, "Memory Debug", nullptr},
    {0x1156, 0x1156, Kind::kTitle, "System Level Task Profiling", nullptr},
    {0x1157, 0x1157, Kind::kTitle, "Per Task Profiling", nullptr},
    {0x1158, 0x115D, Kind::kReserved, nullptr, nullptr},
    {0x115E, 0x115E, Kind::kTitle, "Position Engine Partial Version 2", nullptr},
    {0x115F, 0x1160, Kind::kReserved, nullptr, nullptr},
    {0x1174, 0x1174, Kind::kDecoder, "Searcher4 - 1X", &F::DecodeSearcher4_1X},
    {0x1177, 0x1178, Kind::kDecoder, "Searcher4 - 1X", &F::DecodeSearcher4_1X},
    {0x1179, 0x1179, Kind::kDecoder, "Enhanced Finger Information", &F::DecodeEnhancedFingerInfor},
    {0x119A, 0x119A, Kind::kDecoder, "Srch TNG Finger Status", &F::DecodeSrchTNGFingerStatus},
    {0x119B, 0x119B, Kind::kDecoder, "Srch TNG 1X Searcher", &F::DecodeSrchTNG1XSearcher},
    {0x119C, 0x119C, Kind::kDecoder, "Srch TNG General Status", &F::DecodeSrchTNGGeneralStatus},
    {0x119D, 0x119D, Kind::kDecoder, "Srch TNG Demod Info", &F::DecodeSrchTNGDemodInfo},
    {0x119E, 0x119E, Kind::kDecoder, "Srch TNG Sleep Stats", &F::DecodeSrchTNGSleepStats},
    {0x119F, 0x119F, Kind::kDecoder, "Srch TNG Quick Paging Channel Info", &F::DecodeSrchTNGQuickPagingChannelInfo},
    {0x11A0, 0x11A0, Kind::kDecoder, "Srch TNG AFC Info", &F::DecodeSrchTNGAFCInfo},
    {0x11A1, 0x11A1, Kind::kDecoder, "Srch TNG Acquisition Info", &F::DecodeSrchTNGAcquisitionInfo},
    {0x11A2, 0x11A2, Kind::kDecoder, "Srch TNG Finger Channel Estimate", &F::DecodeSrchTNGFingerChannelEstimate},
    {0x11ED, 0x11ED, Kind::kReservedWord, kReservedWordTitle, nullptr},
    {0x11F5, 0x11F5, Kind::kDecoder, "MFLO Rssi Value Dynamic Params", &F::DecodeMfloRssiDynParams},
    {0x11F8, 0x11F8, Kind::kDecoder, "MFLO Wide Local Dynamic Params", &F::DecodeMfloWideLocalDynParams},
    {0x11F9, 0x11F9, Kind::kDecoder, "MFLO MLC PLP Stats Pre-RS Params", &F::DecodeMfloMlcPlpStatsPreRSParams},
    {0x11FE, 0x11FE, Kind::kReservedWord, kReservedWordTitle, nullptr},
    {0x1200, 0x1200, Kind::kDecoder, "MFLO MAC Info Static Params", &F::DecodeMfloMacInfoStaticParams},
    {0x1204, 0x1205, Kind::kReservedWord, kReservedWordTitle, nullptr},
    {0x1211, 0x1211, Kind::kDecoder, "MFLO OIS PLP Stats Dynamic Params", &F::DecodeMfloOisPlpStatsDynParams},
    {0x1212, 0x1212, Kind::kDecoder, "MFLO OIS Info Static Params", &F::DecodeMfloOisInfoStaticParams},
    {0x1213, 0x1213, Kind::kDecoder, "MFLO MLC PLP Stats Post Params", &F::DecodeMfloMlcPlpStatsPostParams},
    {0x1214, 0x1214, Kind::kDecoder, "MFLO MLC Location Dynamic Params", &F::DecodeMfloMlcLocationDynParams},
    {0x1215, 0x1215, Kind::kDecoder, "MFLO Bound Stream List Params", &F::DecodeMfloBoundStreamListParams},
    {0x1216, 0x1216, Kind::kDecoder, "MFLO Strm Info Static Params", &F::DecodeMfloStrmInfoStaticParams},
    {0x1219, 0x1219, Kind::kDecoder, "MFLO Stream PLP Stats", &F::DecodeMfloStreamPlpStats},
    {0x125E, 0x125E, Kind::kReservedWord, kReservedWordTitle, nullptr},
    {0x1FEE, 0x1FEE, Kind::kDecoder, "3D GPS info", &F::Decode3DGPSInfo},
    {0x1FF1, 0x1FF1, Kind::kDecoder, "CAIT GPS info", &F::DecodeGPSInfoCAIT},
    {0x1FFE, 0x1FFE, Kind::kDecoder, "Status Report", &F::DecodeStatusReport},
    {0x20AB, 0x20AB, Kind::kDecoder, "Scanner Top N Pilot Measurement", &F::DecodeTopNPilot},
    {0x21AB, 0x21AB, Kind::kDecoder, "Scanner Top N Pilot Measurement", &F::DecodeTopNPilotV2},
    {0xA0A2, 0xA0A2, Kind::kDecoder, "Temporal Analyzer Graph Response", &F::DecodeTempAnalyzerGraphResponse},
    {0x1869F, 0x1869F, Kind::kMini, nullptr, &F::DecodeMarkovMiniMessage},
    {0x186A0, 0x186A0, Kind::kMini, nullptr, &F::DecodeAGCMiniMessage},
};
static_assert(strictly_ascending(std::span<const LogRow>(kLogRows), [](const LogRow& r) { return r.lo; }));
static_assert(std::ranges::all_of(kLogRows, [](const LogRow& r) { return r.lo <= r.hi; }));
static_assert(strictly_ascending(std::span<const LogRow>(kLogRows), [](const LogRow& r) { return r.hi; }));

constexpr std::uint32_t kAny = kAnyLength;
constexpr CommandRow kCommandRows[] = {
    {0x00, 54, 54, OnFailure::kTitle, "Version Number Response", &F::DecodeVersionNumberResponse},
    {0x0C, 47, kAny, OnFailure::kTitle, "Status Response", &F::DecodeStatusRequestResponse},
    {0x0F, 0, 0, OnFailure::kTitle, "Logging Mask Response", &F::DecodeLoggingMaskResponse},
    {0x13, 1, kAny, OnFailure::kTitle, "Bad Command", &F::DecodeBadCommandResponse},
    {0x19, 1, 13, OnFailure::kTitle, "Temporal Analyzer Graph Response", &F::DecodeTempAnalyzerGraphResponse},
    {0x1A, 105, kAny, OnFailure::kNothing, "Markov Statistics Response", &F::DecodeMarkovStatisticsResponse},
    {0x1C, 2, 2, OnFailure::kTitle, "Diag Version Response", &F::DecodeDiagVersionResponse},
    {0x1D, 8, 8, OnFailure::kTitle, "Time Stamp Response", &F::DecodeTimeStampResponse},
    {0x1E, 0, 0, OnFailure::kTitle, "Temporal Analyzer Parameters Response", &F::DecodeTempAnalyzerParamResponse},
    {0x26, 132, 132, OnFailure::kTitle, "Nonvolatile Item Read Response", &F::DecodeNonvolatileItemReadResponse},
    {0x30, 2, 2, OnFailure::kTitle, "DIP Switch Set Response", &F::DecodeDipSwitchSetResponse},
    {0x3F, 3, 3, OnFailure::kTitle, "Phone State Response", &F::DecodePhoneStateResponse},
    {0x40, 6, kAny, OnFailure::kNothing, "Pilot Sets Response", &F::DecodePilotSetRespMsg},
    {0x43, 0, kAny, OnFailure::kNothing, "Parameter Retrieval 2 Request/Response", &F::DecodeParamRetr2RequestResponse},
    {0x60, 2, kAny, OnFailure::kTitle, "Event Report", &F::DecodeEventReportResponse},
    {0x62, 5, kAny, OnFailure::kTitle, "Extensible Parameter Retrieval Request/Response",
     &F::DecodeExtParamRetrRequestResponse},
    {0x63, 35, 35, OnFailure::kTitleAlways, "Status Snapshot Response", &F::DecodeStatusSnapshotResponse},
    {0x70, 128, kAny, OnFailure::kTitle, "IS2000 Status Response Message", &F::DecodeIS2000StatusResponseMessage},
    {0x73, 11, kAny, OnFailure::kTitleAlways, "Logging Configuration Response", &F::DecodeLoggingConfigurationResponse},
    {0x78, 3, 3, OnFailure::kTitle, "Log On Demand Response", &F::DecodeLogOnDemandResponse},
    {0x7C, 13, kAny, OnFailure::kTitle, "Extended Build ID Response", &F::DecodeExtBuildIdResponse},
};
static_assert(strictly_ascending(std::span<const CommandRow>(kCommandRows), [](const CommandRow& r) { return r.cmd; }));
static_assert(std::ranges::all_of(kCommandRows, [](const CommandRow& r) { return r.cmd <= kLastCommand; }));

void set_title(COrbExpandedMessage& msg, const char* title) {
  if (title != nullptr) msg.title = title;
}

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

const char* log_title(std::uint32_t code) {
  const LogRow* row = find_log_row(code);
  return row != nullptr ? row->title : nullptr;
}

const char* row_title(Decoder1x d, std::uint32_t code) {
  if (const LogRow* row = find_log_row(code); row != nullptr && row->decoder == d) return row->title;
  for (const LogRow& row : kLogRows) {
    if (row.decoder == d) return row.title;
  }
  for (const CommandRow& row : kCommandRows) {
    if (row.decoder == d) return row.title;
  }
  return nullptr;
}

}  // namespace cdmadiag

using namespace cdmadiag;

void COrbDecodeMsgCDMAQualcommFrame::SetTitle(COrbExpandedMessage& msg, Member self, TitleWhen when) const {
  if (msg.titleWanted || msg.detailsWanted) set_title(msg, row_title(self, GetMessageCode()), when);
}

void COrbDecodeMsgCDMAQualcommFrame::ExpandQualcommMessage(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                           IDekCellRefs_Search* cells, bool logOnly) {
  if (ds == nullptr) return;
  const std::uint32_t code = GetMessageCode();
  ds->SetDWord(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, code, 0, IOrbDataState::kNoBound, 0);

  if (const LogRow* row = find_log_row(code)) {
    switch (row->kind) {
      case LogKind::kDecoder:
        if (is_pending(row->decoder) && msg.titleWanted) set_title(msg, row->title);
        (this->*row->decoder)(ds, msg, cells);
        return;
      case LogKind::kTitle:
        if (msg.titleWanted) set_title(msg, row->title);
        return;
      case LogKind::kReserved:
        if (msg.detailsWanted || msg.titleWanted) msg.title = formatf(kReservedFormat, code);
        msg.category = kReservedCategory;
        return;
      case LogKind::kReservedWord:
        if (msg.titleWanted) set_title(msg, row->title);
        return;
      case LogKind::kTitleThenDecoder:
        if (msg.titleWanted) set_title(msg, row->title);
        (this->*row->decoder)(ds, msg, cells);
        return;
      case LogKind::kGenTA: {
        if (gen_ta_info_pending() && msg.titleWanted) set_title(msg, row->title);
        std::uint32_t scratch = 0;
        DecodeGenTAInfo(ds, msg, scratch, cells, false);
        return;
      }
      case LogKind::kMini:
        msg.category = kMiniMessageCategory;
        (this->*row->decoder)(ds, msg, cells);
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
    if (is_pending(row->decoder) && msg.titleWanted) set_title(msg, row->title);
    (this->*row->decoder)(ds, msg, cells);
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
