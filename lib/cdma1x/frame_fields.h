#pragma once
// Field tables of the frame-type and service-configuration packets.
#include <array>

#include "framework/field_tables.h"

namespace cdmadiag {

// Radio configurations, two bytes of nibbles, low nibble first: FCH, SCH0, SCH1, DCCH.
inline constexpr std::array<FieldEntry, 4> kForwardRadioConfigFields = {
    plain_field(4, "F-FCH radio configuration"),
    plain_field(4, "F-SCH0 radio configuration"),
    plain_field(4, "F-SCH1 radio configuration"),
    plain_field(4, "F-DCCH radio configuration"),
};
inline constexpr std::array<FieldEntry, 4> kReverseRadioConfigFields = {
    plain_field(4, "R-FCH radio configuration"),
    plain_field(4, "R-SCH0 radio configuration"),
    plain_field(4, "R-SCH1 radio configuration"),
    plain_field(4, "R-DCCH radio configuration"),
};

// The FCH byte of a frame: entry 0 (low nibble) the frame type code, entry 1 the rate
// code. Both unlabelled; the decoders name them.
inline constexpr std::array<FieldEntry, 2> kFchFrameFields = {reserved_field(4), reserved_field(4)};

// F-SCCH rates, 2 bits each, low bits first: entry i is F-SCCH(4 - i) in the first byte
// and, after the reserved entry 0, F-SCCH(8 - i) in the second.
inline constexpr std::array<FieldEntry, 4> kForwardScchRateFields = {
    plain_field(2, "F-SCCH4 Frame Rate"),
    plain_field(2, "F-SCCH3 Frame Rate"),
    plain_field(2, "F-SCCH2 Frame Rate"),
    plain_field(2, "F-SCCH1 Frame Rate"),
};
inline constexpr std::array<FieldEntry, 4> kForwardScchRateFields2 = {
    reserved_field(2),
    plain_field(2, "F-SCCH7 Frame Rate"),
    plain_field(2, "F-SCCH6 Frame Rate"),
    plain_field(2, "F-SCCH5 Frame Rate"),
};

}  // namespace cdmadiag
