#pragma once
// `cdmadiag attrs`: every attribute the library lists, with what its list says of it;
// `cdmadiag measurements`: the measurement catalogue.
#include <cstdint>
#include <cstdio>

namespace cdmadiag {

enum class AttrsFormat : std::uint8_t { kText, kCsv };

// Name, write operations, unit, index meaning and meaning of every attribute, in
// listing order: aligned columns, or CSV with a header line. False when out failed.
bool print_attributes(std::FILE* out, AttrsFormat format);
// Name, unit, technology, meaning and source attributes of every catalogue measurement.
bool print_measurements(std::FILE* out, AttrsFormat format);

}  // namespace cdmadiag
