#pragma once
// EV-DO RLP packets of the sample drive: the RLP statistics of the data session,
// the partial RLP packet logs and the enhanced multi-flow RLP statistics and packet
// logs, all following one RLP session whose counters start afresh with each leg.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_drive.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kEvdoRlpStatistics = 0x1070;
inline constexpr std::uint16_t kEvdoRxPartialRlp = 0x1082;
inline constexpr std::uint16_t kEvdoTxPartialRlp = 0x1083;
inline constexpr std::uint16_t kEnhMrlpFwdStats = 0x128C;
inline constexpr std::uint16_t kEnhMrlpRevStats = 0x128D;
inline constexpr std::uint16_t kEnhMrlpRxPkts = 0x128E;
inline constexpr std::uint16_t kEnhMrlpTxPkts = 0x128F;
}  // namespace code

// The RLP counters of one data session, since resetTicks.
struct EvdoRlpSession {
  std::uint64_t resetTicks = 0;
  std::uint64_t rxNew = 0, rxRexmit = 0, rxDup = 0, txNew = 0, txRexmit = 0;
  std::uint64_t rxFrames = 0, rxRexmitFrames = 0, txFrames = 0, txRexmitFrames = 0;
  std::uint32_t naksRx = 0, naksSent = 0, atNakBytes = 0, anNakBytes = 0, resets = 0;
  std::uint32_t rxSeq = 0, txSeq = 0;
};

// Starts the counters afresh at ticks (1.25 ms units since 1980-01-06).
void ResetEvdoRlpSession(EvdoRlpSession& s, std::uint64_t ticks);
// One second of data at the rate the best active-set pilot supports, added to the
// session, then the RLP statistics of service 0.
Bytes EvdoRlpStatistics(const Moment& m, const EvdoLink& link, EvdoRlpSession& s, Rng& rng);
// A few received (rx) or transmitted RLP packets, their first header bytes logged.
Bytes EvdoPartialRlp(bool rx, EvdoRlpSession& s, Rng& rng);
// The session's counters as the enhanced multi-flow statistics of flow 1.
Bytes EnhMrlpStats(bool forward, const EvdoRlpSession& s);
// A few logged frames of flow 1.
Bytes EnhMrlpPkts(EvdoRlpSession& s, Rng& rng);

}  // namespace cdmadiag::gen
