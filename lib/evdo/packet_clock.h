#pragma once
// The time of an EV-DO statistics packet, for the decoders that turn counters into
// rates over time (forward rate statistics, RLP statistics).
#include <cstddef>
#include <cstdint>

#include "framework/decoder_evdo.h"
#include "host/data_state.h"

namespace cdmadiag::evdo {

struct PacketClock {
  double seconds = 0.0;            // since 1970-01-01 UTC
  std::size_t payload_offset = 0;  // where the record starts in the packet bytes
};

// The stored log header's time stamp; else, when the bytes begin with a log header
// of own_code whose length is theirs, that header's stamp (the record then starts
// after it); else the stream's start time (0 when unknown) plus the message's
// millisecond offset.
PacketClock packet_clock(const COrbDecodeMsgCDMA1xEVDOQualcommFrame& frame, IOrbDataState* ds, std::uint16_t own_code);

}  // namespace cdmadiag::evdo
