#include "framework/pending.h"

#include <algorithm>

#include "framework/dispatch_tables.h"

namespace cdmadiag {

void pending_decoder(COrbExpandedMessage& msg) { msg.notDecoded = true; }

}  // namespace cdmadiag

// The placeholders of the codes the lists mark as pending.
#define CDMADIAG_1X_PENDING(code, decoder, title)                                                                \
  void COrbDecodeMsgCDMAQualcommFrame::decoder(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) { \
    cdmadiag::pending_decoder(msg);                                                                              \
  }
#define CDMADIAG_COMMAND_PENDING(cmd, min_len, max_len, on_failure, decoder, title) \
  CDMADIAG_1X_PENDING(cmd, decoder, title)
#define CDMADIAG_EVDO_PENDING(stage, code, decoder, title)                                                             \
  void COrbDecodeMsgCDMA1xEVDOQualcommFrame::decoder(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) { \
    cdmadiag::pending_decoder(msg);                                                                                    \
  }
#define CDMADIAG_EVDO_FREE_PENDING(stage, code, decoder, title)                                \
  void decoder(IOrbDataState*, COrbExpandedMessage& msg, const std::uint8_t*, std::uint32_t) { \
    cdmadiag::pending_decoder(msg);                                                            \
  }
#include "framework/code_lists.h"

namespace cdmadiag {

namespace {

template <class Row, class D>
bool pending_in(std::span<const Row> rows, D Row::*decoder, D d) {
  return d != nullptr && std::ranges::any_of(rows, [&](const Row& r) { return r.pending && r.*decoder == d; });
}

template <class Row>
std::size_t count_pending(std::span<const Row> rows) {
  return static_cast<std::size_t>(std::ranges::count(rows, true, &Row::pending));
}

}  // namespace

bool is_pending(Decoder1x d) {
  return pending_in(log_rows(), &LogRow::decoder, d) || pending_in(command_rows(), &CommandRow::decoder, d);
}

bool is_pending(DecoderEvdo d) {
  return pending_in(evdo_stage1_rows(), &EvdoRow::member, d) || pending_in(evdo_stage2_rows(), &EvdoRow::member, d) ||
         pending_in(evdo_stage3_rows(), &EvdoRow::member, d);
}

bool is_pending(DecoderFree d) {
  return pending_in(evdo_stage1_rows(), &EvdoRow::free, d) || pending_in(evdo_stage2_rows(), &EvdoRow::free, d);
}

std::size_t pending_count() {
  return count_pending(log_rows()) + count_pending(command_rows()) + count_pending(evdo_stage1_rows()) +
         count_pending(evdo_stage2_rows()) + count_pending(evdo_stage3_rows());
}

}  // namespace cdmadiag
