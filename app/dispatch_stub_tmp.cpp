// TEMPORARY stand-ins for the two dispatchers and the routing table, so the command
// links and its tests run before lib/framework/dispatch_1x.cpp and dispatch_evdo.cpp
// exist. app/CMakeLists.txt builds this file only while those are absent; delete it
// when they land.
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "framework/dispatch.h"
#include "framework/text.h"

void COrbDecodeMsgCDMAQualcommFrame::ExpandQualcommMessage(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                           IDekCellRefs_Search*, bool logOnly) {
  if (ds == nullptr) return;
  ds->SetDWord(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, GetMessageCode(), 0, IOrbDataState::kNoBound, 0);
  if (logOnly) return;
  if (msg.titleWanted || msg.detailsWanted) msg.title = cdmadiag::formatf("MessageCode: %04x", GetMessageCode());
  msg.category = 167;
}

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::ExpandEVDOQualcommMessage(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                     IDekCellRefs_Search*) {
  if (ds == nullptr) return;
  ds->SetDWord(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, GetMessageCode(), 0, IOrbDataState::kNoBound, 0);
  if (msg.titleWanted) msg.title = cdmadiag::formatf("EV-DO %04x", GetMessageCode());
}

namespace cdmadiag {

bool evdo_routes(std::uint32_t code) { return code >= 0x1068 && code <= 0x108C; }

std::vector<CodeInfo> known_codes() {
  return {{0x100F, CodeClass::k1x, "Pilot Searcher", true, true},
          {0x1068, CodeClass::kEvdo, "EV-DO stand-in", true, true},
          {0x0C, CodeClass::kDiagCommand, "Status Response", true, false}};
}

}  // namespace cdmadiag
