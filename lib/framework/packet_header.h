#pragma once
// The 12-byte DIAG log header: u16 length (header and payload), u16 log code,
// 8-byte time stamp whose bytes 2-7 count 1.25 ms units since 1980-01-06.
#include <cstddef>
#include <cstdint>
#include <span>

namespace cdmadiag {

inline constexpr std::size_t kLogHeaderSize = 12;
inline constexpr double kGpsEpochUnixSeconds = 315964800.0;  // 1980-01-06 00:00:00 UTC

// Seconds since 1970 of an 8-byte time stamp; bytes 0-1 are not used.
double diag_time_seconds(const std::uint8_t* stamp);

// True when bytes begin with a log header whose length equals the byte count and
// whose code is code.
bool starts_with_log_header(std::span<const std::uint8_t> bytes, std::uint16_t code);

}  // namespace cdmadiag
