#pragma once
// 1x active set and quick paging packets: an active-set report whenever the handset
// hands off between sectors, and a quick paging report at each idle wake-up.
#include <cstdint>

#include "gen_bytes.h"
#include "gen_drive.h"
#include "gen_packets.h"

namespace cdmadiag::gen {

namespace code {
inline constexpr std::uint16_t kActiveSetInfoVer2 = 0x10C6;
inline constexpr std::uint16_t kQuickPagingVer2 = 0x10BC;
}  // namespace code

// The active set on the fundamental channel, one Walsh code per pilot.
Bytes ActiveSetInfoVer2(const Moment& m, const PilotSets& sets);
// The paging indicators of one slot, monitored on the reference pilot; none was set.
Bytes QuickPagingInfoVer2(const Moment& m, const PilotSets& sets, std::uint16_t pagingSlot);

}  // namespace cdmadiag::gen
