#include "framework/pending.h"

#include <algorithm>
#include <array>

namespace cdmadiag {

void pending_decoder(COrbExpandedMessage& msg) { msg.notDecoded = true; }

}  // namespace cdmadiag

#define CDMADIAG_PENDING_1X(name)                                                                             \
  void COrbDecodeMsgCDMAQualcommFrame::name(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) { \
    cdmadiag::pending_decoder(msg);                                                                           \
  }
#define CDMADIAG_PENDING_1X_GENTA(name)                                                               \
  void COrbDecodeMsgCDMAQualcommFrame::name(IOrbDataState*, COrbExpandedMessage& msg, std::uint32_t&, \
                                            IDekCellRefs_Search*, bool) {                             \
    cdmadiag::pending_decoder(msg);                                                                   \
  }
#define CDMADIAG_PENDING_EVDO(name)                                                                                 \
  void COrbDecodeMsgCDMA1xEVDOQualcommFrame::name(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) { \
    cdmadiag::pending_decoder(msg);                                                                                 \
  }
#define CDMADIAG_PENDING_FREE(name)                                                         \
  void name(IOrbDataState*, COrbExpandedMessage& msg, const std::uint8_t*, std::uint32_t) { \
    cdmadiag::pending_decoder(msg);                                                         \
  }
#include "framework/pending.def"
#undef CDMADIAG_PENDING_1X
#undef CDMADIAG_PENDING_1X_GENTA
#undef CDMADIAG_PENDING_EVDO
#undef CDMADIAG_PENDING_FREE

namespace cdmadiag {

namespace {

#define CDMADIAG_PENDING_1X(name) &COrbDecodeMsgCDMAQualcommFrame::name,
#define CDMADIAG_PENDING_1X_GENTA(name)
#define CDMADIAG_PENDING_EVDO(name)
#define CDMADIAG_PENDING_FREE(name)
const Decoder1x kPending1x[] = {
#include "framework/pending.def"
    nullptr};
#undef CDMADIAG_PENDING_1X
#define CDMADIAG_PENDING_1X(name)
#undef CDMADIAG_PENDING_EVDO
#define CDMADIAG_PENDING_EVDO(name) &COrbDecodeMsgCDMA1xEVDOQualcommFrame::name,
const DecoderEvdo kPendingEvdo[] = {
#include "framework/pending.def"
    nullptr};
#undef CDMADIAG_PENDING_EVDO
#define CDMADIAG_PENDING_EVDO(name)
#undef CDMADIAG_PENDING_FREE
#define CDMADIAG_PENDING_FREE(name) &name,
const DecoderFree kPendingFree[] = {
#include "framework/pending.def"
    nullptr};
#undef CDMADIAG_PENDING_FREE
#define CDMADIAG_PENDING_FREE(name)
#undef CDMADIAG_PENDING_1X_GENTA
#define CDMADIAG_PENDING_1X_GENTA(name) true ||
constexpr bool kGenTaPending =
#include "framework/pending.def"
    false;
#undef CDMADIAG_PENDING_1X
#undef CDMADIAG_PENDING_1X_GENTA
#undef CDMADIAG_PENDING_EVDO
#undef CDMADIAG_PENDING_FREE

// Each list ends with a nullptr sentinel so an empty list still compiles.
template <typename T, std::size_t N>
bool listed(const T (&list)[N], T d) {
  return d != nullptr && std::find(list, list + N - 1, d) != list + N - 1;
}

}  // namespace

bool is_pending(Decoder1x d) { return listed(kPending1x, d); }
bool is_pending(DecoderEvdo d) { return listed(kPendingEvdo, d); }
bool is_pending(DecoderFree d) { return listed(kPendingFree, d); }
bool gen_ta_info_pending() { return kGenTaPending; }

std::size_t pending_count() {
  return std::size(kPending1x) - 1 + std::size(kPendingEvdo) - 1 + std::size(kPendingFree) - 1 +
         (kGenTaPending ? 1 : 0);
}

}  // namespace cdmadiag
