#pragma once
// Decoders still to be written route to one placeholder; the command counts them. A
// code list marks such a code with the _PENDING form of its row (code_lists.h).
#include <cstddef>

#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"

namespace cdmadiag {

using Decoder1x = void (COrbDecodeMsgCDMAQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&, IDekCellRefs_Search*);
using DecoderEvdo = void (COrbDecodeMsgCDMA1xEVDOQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&,
                                                                   IDekCellRefs_Search*);
using DecoderFree = void (*)(IOrbDataState*, COrbExpandedMessage&, const std::uint8_t*, std::uint32_t);

// Marks the packet as not decoded yet.
void pending_decoder(COrbExpandedMessage& msg);

bool is_pending(Decoder1x d);
bool is_pending(DecoderEvdo d);
bool is_pending(DecoderFree d);
// Codes routed to the placeholder.
std::size_t pending_count();

}  // namespace cdmadiag
