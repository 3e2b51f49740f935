#pragma once
// EV-DO signalling events of the sample drive: the session (UATI) attempt, access
// attempts, connection attempts and releases around each EV-DO leg.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kEvdoAccessAttempt = 0x106C;
inline constexpr std::uint16_t kEvdoConnectionAttempt = 0x106E;
inline constexpr std::uint16_t kEvdoConnectionRelease = 0x1071;
inline constexpr std::uint16_t kEvdoSessionAttempt2 = 0x1088;
}  // namespace code

// What the handset counts across the drive's signalling events.
struct EvdoSignalling {
  std::uint8_t transaction = 0;
  std::uint32_t sessionAttempts = 0, sessionSuccesses = 0;
  std::uint32_t accessAttempts = 0, accessSuccesses = 0, accessFailures = 0;
  std::uint32_t connectionAttempts = 0, connectionSuccesses = 0;
};

// Each event is made on the strongest active pilot of the link.
Bytes EvdoSessionAttempt2(const Moment& m, const EvdoLink& link, EvdoSignalling& sig);
// acked false: the probes ran out without an ACAck.
Bytes EvdoAccessAttempt(const Moment& m, const EvdoLink& link, EvdoSignalling& sig, bool acked);
Bytes EvdoConnectionAttempt(const Moment& m, const EvdoLink& link, EvdoSignalling& sig);
// reason 1: the handset closed the connection.
Bytes EvdoConnectionRelease(std::uint8_t reason);

}  // namespace cdmadiag::gen
