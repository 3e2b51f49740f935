#pragma once
// RLP logs of a 1x data session in the sample drive: the statistics since the
// session's reset and the frame logs of both directions, at the rates the best
// active pilot supports.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kRlpRxFrames = 0x1025;
inline constexpr std::uint16_t kRlpTxFrames = 0x1026;
inline constexpr std::uint16_t kRlpStats = 0x1031;
}  // namespace code

// The RLP counters of one data session; a new session starts them afresh.
struct RlpSession {
  bool open = false;
  std::uint64_t resetTicks = 0;
  std::uint16_t forwardRate = 96;  // physical layer rate of the last second, 100 bit/s
  std::uint16_t reverseRate = 96;
  std::uint32_t naksRx = 0, notFound = 0, rexmitRx = 0, idleRx = 0, fillRx = 0, blankRx = 0, nullRx = 0;
  std::uint32_t newRx = 0, fundamentalRx = 0, bytesRx = 0, rlpErasures = 0, muxErasures = 0;
  std::uint32_t rexmitTx = 0, idleTx = 0, newTx = 0, fundamentalTx = 0, bytesTx = 0;
  std::uint32_t naksTx[3] = {};  // NAKs sent in the first, second and third round
  std::uint16_t largestErasure = 0;
  std::uint8_t nakAborts = 0;
};

// Opens the session when it is closed: its statistics reset a second before m.
void OpenRlpSession(const Moment& m, RlpSession& s);
// One second of data over the forward supplemental and fundamental channels and the
// reverse fundamental channel, at the rates the best active pilot supports, added to
// s; then the statistics. Draws on a generator of its own seeded from the moment.
Bytes RlpStatistics(const Moment& m, const PilotSets& sets, RlpSession& s);
// A frame log of the last second's rates: forward (0x1025) or reverse (0x1026).
Bytes RlpFrames(const Moment& m, const RlpSession& s, bool forward);

}  // namespace cdmadiag::gen
