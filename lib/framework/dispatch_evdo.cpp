// The EV-DO dispatcher: Release 0, Revision A and Revision B log codes, in three
// stages. Stage 2 and four stage 1 rows run inside guards that keep decoder
// exceptions from reaching the host.
#include <algorithm>
#include <exception>
#include <stdexcept>

#include "framework/attributes.h"
#include "framework/diagnostics.h"
#include "framework/dispatch_tables.h"
#include "framework/text.h"

namespace cdmadiag {

namespace {

using E = COrbDecodeMsgCDMA1xEVDOQualcommFrame;
using K = EvdoKind;

constexpr const char* kReservedFormat = "MessageCode: %04x : Reserved Message";
constexpr int kReservedCategory = 767;
constexpr const char* kUnexpectedFailure = "Unexpected Failure";
constexpr const char* kCannotDecode = "Cannot Decode Message";

constexpr EvdoRow kStage1[] = {
    {0x105D, K::kMember, "1xEV Searcher Data (Obsolete)", &E::DecodeSearcherData, nullptr},
    {0x105E, K::kMember, "1xEV Handoff State", &E::DecodeHandoffState, nullptr},
    {0x105F, K::kMember, "1xEV Active Set Pilot", &E::DecodeActiveSetPilot, nullptr},
    {0x1060, K::kMember, "1xEV Reverse Link Packet Summary", &E::DecodeRevLinkPacketSummary, nullptr},
    {0x1061, K::kMember, "1xEV Data Rate Control Channel - ARQ Buffer (Obsolete)", &E::DecodeDataRateControlChannel,
     nullptr},
    {0x1062, K::kMember, "1xEV Reverse Traffic Rate Count", &E::DecodeRevTrafficRateCount, nullptr},
    {0x1063, K::kMember, "1xEV Reverse Power Control", &E::DecodeReversePowerCtrl, nullptr},
    {0x1064, K::kMember, "1xEV Finger Data (Obsolete)", &E::DecodeFingerData, nullptr},
    {0x1065, K::kMember, "1xEV Debug Hex Dump", &E::DecodeDebugHexDump, nullptr},
    {0x1066, K::kMember, "1xEV ARQ Effective Receive Rate", &E::DecodeARQEffReceiveRate, nullptr},
    {0x1067, K::kMember, "1xEV Forward Traffic Rate Slot Count (Obsolete)", &E::DecodeForTrafficRateSlotCount, nullptr},
    {0x1068, K::kMember, "1xEV Air Link Summary", &E::DecodeAirLinkSummary, nullptr},
    {0x1069, K::kMember, "1xEV Power", &E::DecodePower, nullptr},
    {0x106A, K::kMember, "Forward Link Packet Snapshot", &E::DecodeForwardLinkPacketSnapshot, nullptr},
    {0x106B, K::kMember, "1xEV Session Attempt (Obsolete)", &E::DecodeSessionAttempt, nullptr},
    {0x106C, K::kMember, "1xEV Access Attempt", &E::DecodeAccessAttempt, nullptr},
    {0x106D, K::kMember, "1xEV Reverse Activity Bits Buffer", &E::DecodeReverseActivityBitsBuffer, nullptr},
    {0x106E, K::kMember, "1xEV Connection Attempt", &E::DecodeConnectionAttempt, nullptr},
    {0x106F, K::kMember, "1xEV Page Message", &E::DecodePageMessage, nullptr},
    {0x1070, K::kMember, "1xEV RLP Statistics", &E::DecodeRLPStatistics, nullptr},
    {0x1071, K::kMember, "1xEV Connection Release", &E::DecodeConnectionRelease, nullptr},
    {0x1072, K::kMember, "1xEV Reverse Activity Bits Info", &E::DecodeReverseActivityBitsInfo, nullptr},
    {0x1073, K::kMember, "1xEV High Resolution Temporal Analyzer", &E::DecodeHighResolTempAnalyzer, nullptr},
    {0x1074, K::kMember, "1xEV Reverse Link Packet Snapshot", &E::DecodeRevLinkPacketSnapshot, nullptr},
    {0x1075, K::kReserved, nullptr, nullptr, nullptr},
    {0x107A, K::kMember, "1xEV Pilot Sets (Obsolete)", &E::DecodePilotSets, nullptr},
    {0x107D, K::kMember, "1xEV General Temporal Analyzer (Obsolete)", &E::DecodeGenTemporalAnalyzer, nullptr},
    {0x107E, K::kMember, "1xEV State Information", &E::DecodeStateInformation, nullptr},
    {0x107F, K::kMember, "1xEV Forward Rate Statistics (Obsolete)", &E::DecodeForRateStat, nullptr},
    {0x1080, K::kMember, "1xEV Sector Info", &E::DecodeSectorInfo, nullptr},
    {0x1081, K::kMember, "1xEV System Arbitration", &E::DecodeSystemArbitration, nullptr},
    {0x1082, K::kMember, "1xEV Rx Partial RLP", &E::DecodeRxPartialRLP, nullptr},
    {0x1083, K::kMember, "1xEV Tx Partial RLP", &E::DecodeTxPartialRLP, nullptr},
    {0x1084, K::kMember, "1xEV Forward Statistics Summary", &E::DecodeForwardStatisticsSummary, nullptr},
    {0x1087, K::kMember, "1xEV Rx ATI List", &E::DecodeRxATIList, nullptr},
    {0x1088, K::kMember, "1xEV Session Attempt Ver 2", &E::DecodeSessionAttempt2, nullptr},
    {0x1089, K::kMember, "1xEV Searcher Data Ver 2", &E::DecodeSearcher2, nullptr},
    {0x108A, K::kMember, "1xEV Finger Data Ver 2", &E::DecodeFinger2, nullptr},
    {0x108B, K::kMember, "1xEV Pilot Sets Ver 2", &E::DecodePilotSets2, nullptr},
    {0x108C, K::kMember, "1xEV Data Rate Control Channel - ARQ Buffer, Ver 2", &E::DecodeDataRateControlChannel2,
     nullptr},
    {0x108D, K::kReserved, nullptr, nullptr, nullptr},
    {0x108E, K::kReserved, nullptr, nullptr, nullptr},
    {0x108F, K::kReserved, nullptr, nullptr, nullptr},
    {0x1090, K::kIgnore, nullptr, nullptr, nullptr},
    {0x1091, K::kIgnore, nullptr, nullptr, nullptr},
    {0x1092, K::kReserved, nullptr, nullptr, nullptr},
    {0x1093, K::kIgnore, nullptr, nullptr, nullptr},
    {0x1186, K::kGuarded, "1xEV-DO Connection Termination Statistics", nullptr, &DecodeConnectionTerminationStats},
    {0x1187, K::kGuarded, "1xEV-DO Connected State Protocol Stack Statistics", nullptr,
     &DecodeConnectedStateProtocolStackStats},
    {0x1189, K::kGuarded, "1xEV-DO Connected State RMAC Statistics", nullptr, &DecodeConnectedStateRMACStats},
    {0x118A, K::kGuarded, "1xEV-DO Connected State Search Statistics", nullptr, &DecodeConnectedStateSearchStats},
};

constexpr EvdoRow kStage2[] = {
    {0x117F, K::kFree, "1xEV-DO Multicast Packet Rate Metrics", nullptr, &DecodeMulticastPacketRateMetrics},
    {0x1180, K::kFree, "1xEV-DO Multicast Physical Channel Metrics", nullptr, &DecodeMulticastPhysicalChannelMetrics},
    {0x1181, K::kFree, "1xEV-DO Multicast ECB Status", nullptr, &DecodeMulticastECBStatus},
    {0x1182, K::kFree, "1xEV-DO Multicast Logical Channel Metrics", nullptr, &DecodeMulticastLogicalChannelMetrics},
    {0x1183, K::kMember, "1xEV Debug Display", &E::DecodeDebugDisplay, nullptr},
    {0x1188, K::kMember, "1xEV Connected State Transmit Statistics", &E::DecodeConnectedStateTransmitStatistics,
     nullptr},
    {0x1192, K::kFree, "Rev A Single User Forward Statistics", nullptr, &DecodeRevASUFwdStats},
    {0x1193, K::kFree, "1xEV-DO RevAMUFwdStats", nullptr, &DecodeRevAMUFwdStats},
    {0x1275, K::kFree, "1xEV-DO MultiRLPRevStatistics", nullptr, &DecodeMultiRLPRevStatistics},
    {0x1276, K::kFree, "1xEV-DO MultiRLPFwdStatistics", nullptr, &DecodeMultiRLPFwdStatistics},
    {0x1277, K::kFree, "1xEV-DO Rx Partial MultiRLP Packet", nullptr, &DecodeRxPartialMultiRLPPacket},
    {0x1278, K::kFree, "1xEV-DO Tx Partial MultiRLP Packet", nullptr, &DecodeTxPartialMultiRLPPacket},
    {0x1279, K::kFree, "1xEV-DO EqualizerData", nullptr, &DecodeEqualizerData},
    {0x127A, K::kFree, "1xEV-DO EqualizerC2IBuffer", nullptr, &DecodeEqualizerC2IBuffer},
    {0x127C, K::kMember, "1xEV Searcher Data Type 2", &E::DecodeSearcherDataType2, nullptr},
    {0x127D, K::kFree, "1xEV-DO RevARLGains", nullptr, &DecodeRevARLGains},
    {0x127E, K::kFree, "1xEV-DO RevARLMetrics", nullptr, &DecodeRevARLMetrics},
    {0x127F, K::kFree, "1xEV-DO RevARMAC3T2PResource", nullptr, &DecodeRevARMAC3T2PResource},
    {0x1280, K::kFree, "1xEV-DO RevARMAC3PacketInfo", nullptr, &DecodeRevARMAC3PacketInfo},
    {0x1281, K::kFree, "1xEV-DO RevARABUpdateInfo", nullptr, &DecodeRevARABUpdateInfo},
    {0x1282, K::kFree, "1xEV-DO DRC-ARQ-DSCBuffer", nullptr, &DecodeRevADRCARQDSCBuffer},
    {0x1283, K::kFree, "1xEV-DO RevAMUPUserStats", nullptr, &DecodeRevAMUPUserStats},
    {0x1284, K::kMember, "1xEV FwdLinkPktHeaderInfo", &E::DecodeFwdLinkPktHeaderInfo, nullptr},
    {0x1285, K::kFree, "1xEV-DO RevARLArqStatus", nullptr, &DecodeRevARLArqStatus},
    {0x1286, K::kFree, "1xEV RevARLPktStatus", nullptr, &DecodeRevARLPktStatus},
    {0x1289, K::kFree, "1xEV-DO RevAPCPPktStats", nullptr, &DecodeRevAPCPPktStats},
    {0x128C, K::kMember, "1xEV EnhMRLPFwdStats", &E::DecodeEnhMRLPFwdStats, nullptr},
    {0x128D, K::kMember, "1xEV EnhMRLPRevStats", &E::DecodeEnhMRLPRevStats, nullptr},
    {0x128E, K::kMember, "1xEV EnhMRLPRxPkts", &E::DecodeEnhMRLPRxTxPkts, nullptr},
    {0x128F, K::kMember, "1xEV EnhMRLPTxPkts", &E::DecodeEnhMRLPRxTxPkts, nullptr},
    {0x1292, K::kMember, "1xEV Enhanced Access Attempt", &E::DecodeEnhancedAccessAttempt, nullptr},
    {0x132B, K::kFree, "1xEV-DO Logging Requested QOS", nullptr, &DecodeLoggingRequestedQOS},
    {0x132C, K::kFree, "1xEV-DO Granted QOS Logging", nullptr, &DecodeGrantedQOSLogging},
    {0x132D, K::kFree, "1xEV-DO QOS State Logging", nullptr, &DecodeQOSStateLogging},
};

constexpr EvdoRow kStage3[] = {
    {0x1294, K::kMember, "1xEV MCFLPktHeaderInfo", &E::DecodeMCFLPktHeaderInfo, nullptr},
    {0x1296, K::kMember, "1xEV MCAirLinkSummary", &E::DecodeMCAirLinkSummary, nullptr},
    {0x1298, K::kMember, "1xEV MCDRCARQDSCBuffer", &E::DecodeMCDRCARQDSCBuffer, nullptr},
    {0x129C, K::kMember, "1xEV Multicarrier Power", &E::DecodeMultiCarrierPower, nullptr},
    {0x129D, K::kMember, "1xEV MCRLGains", &E::DecodeMCRLGains, nullptr},
    {0x129F, K::kMember, "1xEV MCRLMetrics", &E::DecodeMCRLMetrics, nullptr},
    {0x12A1, K::kMember, "1xEV Multicarrier Pilot Sets", &E::DecodeMCPilotSets, nullptr},
    {0x12A2, K::kMember, "1xEV MCSUFwdStats", &E::DecodeMCSUFwdStats, nullptr},
    {0x12A4, K::kMember, "1xEV EnhSleepInfo", &E::DecodeEnhSleepInfo, nullptr},
    {0x12A5, K::kMember, "1xEV MCMRLPFwdStats", &E::DecodeMCMRLPFwdStats, nullptr},
    {0x12A6, K::kMember, "1xEV MCMRLPRevStats", &E::DecodeMCMRLPRevStats, nullptr},
    {0x12A7, K::kMember, "1xEV MultiMRLPRxPkts", &E::DecodeMCMRLPRxPkts, nullptr},
    {0x12A8, K::kMember, "1xEV MultiMRLPTxPkts", &E::DecodeMCMRLPTxPkts, nullptr},
    {0x12A9, K::kMember, "1xEV MultiMRLPRxProcessing", &E::DecodeMCMRLPRxProcessing, nullptr},
    {0x12B3, K::kMember, "1xEV MCPCPPacketStats", &E::DecodeMCPCPPacketStats, nullptr},
};

constexpr auto kCodeOf = [](const EvdoRow& r) { return r.code; };
static_assert(strictly_ascending(std::span<const EvdoRow>(kStage1), kCodeOf));
static_assert(strictly_ascending(std::span<const EvdoRow>(kStage2), kCodeOf));
static_assert(strictly_ascending(std::span<const EvdoRow>(kStage3), kCodeOf));

bool pending_row(const EvdoRow& row) {
  return row.member != nullptr ? is_pending(row.member) : row.free != nullptr && is_pending(row.free);
}

void call(E& frame, const EvdoRow& row, IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  if (pending_row(row) && msg.titleWanted && row.title != nullptr) msg.title = row.title;
  if (row.member != nullptr) {
    (frame.*row.member)(ds, msg, cells);
  } else {
    row.free(ds, msg, frame.GetBuf(), frame.GetLen());
  }
}

}  // namespace

std::span<const EvdoRow> evdo_stage1_rows() { return kStage1; }
std::span<const EvdoRow> evdo_stage2_rows() { return kStage2; }
std::span<const EvdoRow> evdo_stage3_rows() { return kStage3; }

const EvdoRow* find_evdo_row(std::span<const EvdoRow> stage, std::uint32_t code) {
  const auto it = std::ranges::lower_bound(stage, code, {}, &EvdoRow::code);
  return it != stage.end() && it->code == code ? &*it : nullptr;
}

bool evdo_routes(std::uint32_t code) {
  if (const EvdoRow* row = find_evdo_row(kStage1, code)) {
    return row->kind == K::kMember || row->kind == K::kGuarded;
  }
  return find_evdo_row(kStage2, code) != nullptr || find_evdo_row(kStage3, code) != nullptr;
}

constexpr std::span<const EvdoRow> kStages[] = {kStage1, kStage2, kStage3};

const char* row_title(DecoderEvdo d, std::uint32_t code) {
  for (const std::span<const EvdoRow> stage : kStages) {
    if (const EvdoRow* row = find_evdo_row(stage, code); row != nullptr && row->member == d) return row->title;
  }
  for (const std::span<const EvdoRow> stage : kStages) {
    for (const EvdoRow& row : stage) {
      if (row.member == d) return row.title;
    }
  }
  return nullptr;
}

const char* row_title(DecoderFree d) {
  for (const std::span<const EvdoRow> stage : kStages) {
    for (const EvdoRow& row : stage) {
      if (row.free == d) return row.title;
    }
  }
  return nullptr;
}

void SetFreeTitle(COrbExpandedMessage& msg, DecoderFree self, TitleWhen when) {
  if (msg.titleWanted || msg.detailsWanted) set_title(msg, row_title(self), when);
}

}  // namespace cdmadiag

using namespace cdmadiag;

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::SetTitle(COrbExpandedMessage& msg, Member self, TitleWhen when) const {
  if (msg.titleWanted || msg.detailsWanted) set_title(msg, row_title(self, GetMessageCode()), when);
}

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::ExpandEVDOQualcommMessage(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                     IDekCellRefs_Search* cells) {
  if (ds == nullptr) return;
  const std::uint32_t code = GetMessageCode();
  ds->SetDWord(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, code, 0, IOrbDataState::kNoBound, 0);

  if (const EvdoRow* row = find_evdo_row(kStage1, code)) {
    switch (row->kind) {
      case K::kMember:
      case K::kFree: call(*this, *row, ds, msg, cells); return;
      case K::kReserved:
        if (msg.detailsWanted || msg.titleWanted) msg.title = formatf(kReservedFormat, code);
        msg.category = kReservedCategory;
        return;
      case K::kIgnore: return;
      case K::kGuarded: try { call(*this, *row, ds, msg, cells);
        } catch (const std::logic_error& e) {
          report_decoder_failure(msg, code, e.what());
        } catch (...) {
          report_decoder_failure(msg, code, kUnexpectedFailure);
        }
        return;
    }
    return;
  }

  try {
    if (const EvdoRow* row = find_evdo_row(kStage2, code)) {
      call(*this, *row, ds, msg, cells);
      return;
    }
  } catch (const std::logic_error& e) {
    report_decoder_failure(msg, code, e.what());
    return;
  } catch (...) {
    report_decoder_failure(msg, code, kCannotDecode);
    return;
  }

  if (const EvdoRow* row = find_evdo_row(kStage3, code)) call(*this, *row, ds, msg, cells);
}
