#pragma once
// Field tables of the packed 1x packets, read with COrbFrameSegment (bit order and
// truncation rules in frame_segment.h). Entry counts are the arrays' sizes.
#include <array>
#include <cstdint>
#include <span>

#include "framework/frame_segment.h"

namespace cdmadiag {

// Storage class from the width: 2 up to 8 bits, 4 up to 16, 6 beyond.
constexpr std::uint32_t storage_class_for(std::uint32_t width) { return width <= 8 ? 2u : width <= 16 ? 4u : 6u; }

// A field that writes no attribute; an empty label marks it reserved.
constexpr FieldEntry plain_field(std::uint32_t width, const char* label) {
  return FieldEntry{width, storage_class_for(width), 0, label, 0, 0, 0, 0};
}
constexpr FieldEntry reserved_field(std::uint32_t width) { return plain_field(width, ""); }

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

// The access probe: nine bytes; SEQ_NUM and PROBE_NUM write their attributes.
// Built on first use, since the attribute ids are resolved at load in another unit.
std::span<const FieldEntry, 9> access_probe_fields();

}  // namespace cdmadiag
