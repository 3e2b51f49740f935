#pragma once
// The 12-byte DIAG log header:
//  +off  type     name        unit
//   +0   u16      length      bytes of header and payload
//   +2   u16      log code
//   +4   u8[8]    time stamp  bytes 0-1 not used; bytes 2-7 a u48 count of 1.25 ms since 1980-01-06
#include <cstddef>
#include <cstdint>
#include <span>

namespace cdmadiag {

inline constexpr std::size_t kLogHeaderLength = 0;
inline constexpr std::size_t kLogHeaderCode = 2;
inline constexpr std::size_t kLogHeaderTimeStamp = 4;
inline constexpr std::size_t kLogHeaderSize = 12;

inline constexpr std::size_t kTimeStampSize = 8;
inline constexpr std::size_t kTimeStampCount = 2;            // offset of the u48 count inside the stamp
inline constexpr double kTimeUnitSeconds = 0.00125;          // one count: 1.25 ms
inline constexpr double kGpsEpochUnixSeconds = 315964800.0;  // 1980-01-06 00:00:00 UTC

// Seconds since 1970 of the u48 count of a time stamp.
constexpr double diag_count_seconds(std::uint64_t count) {
  return static_cast<double>(count) * kTimeUnitSeconds + kGpsEpochUnixSeconds;
}
// Seconds since 1970 of an 8-byte time stamp; bytes 0-1 are not used.
double diag_time_seconds(const std::uint8_t* stamp);
// The same instant in whole milliseconds since 1970 (rounded down), exact where the
// double is not.
std::int64_t diag_time_ms(const std::uint8_t* stamp);

// True when bytes begin with a log header whose length equals the byte count and
// whose code is code.
bool starts_with_log_header(std::span<const std::uint8_t> bytes, std::uint16_t code);

}  // namespace cdmadiag
