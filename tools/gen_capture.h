#pragma once
// Sample captures from a simulated drive, written in both input formats of the
// command: a log file (log records back to back) and a raw diagnostic-port
// stream (HDLC-like frames carrying the same log records plus a few command
// responses).
#include <cstdint>
#include <map>
#include <span>

#include "gen_bytes.h"
#include "gen_drive.h"

namespace cdmadiag::gen {

class ByteSink {
 public:
  virtual ~ByteSink() = default;
  virtual void write(std::span<const std::uint8_t> bytes) = 0;
};

class MemorySink : public ByteSink {
 public:
  void write(std::span<const std::uint8_t> b) override { bytes.insert(bytes.end(), b.begin(), b.end()); }
  Bytes bytes;
};

inline constexpr std::uint8_t kFrameEnd = 0x7E;
inline constexpr std::uint8_t kEscape = 0x7D;
inline constexpr std::uint8_t kEscapeXor = 0x20;
inline constexpr std::uint8_t kLogFrame = 0x10;
inline constexpr std::size_t kLogHeaderBytes = 12;

// CRC-16 with the reflected polynomial 0x8408, initial 0xFFFF, complemented.
std::uint16_t Crc16(std::span<const std::uint8_t> bytes);
// Appends frame, its CRC (little-endian), escaping 0x7E and 0x7D, and the 0x7E end.
void AppendHdlcFrame(Bytes& out, std::span<const std::uint8_t> frame);
// A log record: u16 length of header and payload, u16 code, time stamp (u16
// sub-count, then the 48-bit count of 1.25 ms units since 1980-01-06), payload.
Bytes LogRecord(std::uint16_t code, std::uint64_t ticks, std::uint16_t subCount, std::span<const std::uint8_t> payload);

struct DriveSummary {
  std::map<std::uint16_t, std::uint64_t> logCodes;  // records per log code
  std::map<std::uint8_t, std::uint64_t> commands;   // responses per command code
  double routeMetres = 0;
  double drivenMetres = 0;
};

// Writes every packet to both outputs; either may be null.
class CaptureWriter {
 public:
  CaptureWriter(ByteSink* log, ByteSink* hdlc, DriveSummary& summary) : log_(log), hdlc_(hdlc), summary_(summary) {}
  void log(std::uint16_t code, std::uint64_t ticks, std::uint16_t subCount, std::span<const std::uint8_t> payload);
  // Command responses exist only in the diagnostic-port stream.
  void response(std::span<const std::uint8_t> bytes);

 private:
  ByteSink* log_;
  ByteSink* hdlc_;
  DriveSummary& summary_;
  Bytes scratch_;
};

struct DriveOptions {
  double minutes = 5;
  std::uint64_t seed = 1;
  int legSeconds = 120;                 // the drive alternates 1x voice and EV-DO data legs of this length
  std::int64_t startUnix = 1778599200;  // 2026-05-12 15:20:00 UTC
};

DriveSummary GenerateDrive(const DriveOptions& options, ByteSink* log, ByteSink* hdlc);

// The route every drive follows, for checking positions against it.
Route SampleRoute();

}  // namespace cdmadiag::gen
