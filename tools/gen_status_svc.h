#pragma once
// The handset's status report when logging starts, and the service configuration the
// network assigns when each simulated 1x call is set up (a voice call on EVRC).
#include <cstdint>

#include "gen_bytes.h"
#include "gen_drive.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kStatusReport = 0x1FFE;
inline constexpr std::uint16_t kServiceConfigVer2 = 0x10C5;
inline constexpr std::uint16_t kServiceConfig = 0x102E;
}  // namespace code

// Status report of a CDMA handset on the reference pilot's channel.
Bytes StatusReport(const Moment& m, std::uint16_t pilotPn);
// Service configuration, version 2: FCH on radio configuration 3, one service option connection.
Bytes ServiceConfigVer2();
// The same configuration in the packed form.
Bytes ServiceConfig();

}  // namespace cdmadiag::gen
