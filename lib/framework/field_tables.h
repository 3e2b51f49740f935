#pragma once
// Field-table helpers, and the access probe's table. The tables of the other packed
// 1x packets live beside their decoders (cdma1x/frame_fields.h,
// cdma1x/channel_config_fields.h). Read with COrbFrameSegment (bit order and
// truncation rules in frame_segment.h); entry counts are the arrays' sizes.
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

// The access probe: nine bytes; SEQ_NUM and PROBE_NUM write their attributes.
// Built on first use, since the attribute ids are resolved at load in another unit.
std::span<const FieldEntry, 9> access_probe_fields();

}  // namespace cdmadiag
