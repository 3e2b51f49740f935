#pragma once
// Field tables of the active set and channel configuration packet.
#include <array>

#include "framework/field_tables.h"

namespace cdmadiag {

// The first active pilot of the active set and channel configuration packet, 6 bytes.
inline constexpr std::array<FieldEntry, 10> kActivePilotFields = {
    plain_field(16, "PILOT_PN"),
    plain_field(8, "PILOT_REC_TYPE"),
    reserved_field(8),
    plain_field(1, "For. Fundamental Channel"),
    plain_field(1, "For. Supplemental Channel0"),
    plain_field(1, "For. Supplemental Channel1"),
    plain_field(1, "For. Dedicated Control Channel"),
    plain_field(3, "Num. of active supplemental code channels"),
    reserved_field(1),
    plain_field(8, "CHAN_CNT"),
};
inline constexpr int kActivePilotChanCntEntry = 9;

// One code channel of that pilot, 3 bytes.
inline constexpr std::array<FieldEntry, 2> kCodeChannelFields = {
    plain_field(16, "WALSH_CODE"),
    plain_field(8, "QOF_MASK_ID"),
};

}  // namespace cdmadiag
