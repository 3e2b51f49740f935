#pragma once
// What the input readers yield: one record (a log record or a command response) at a
// time, or a framing error with its byte offset.
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "byte_stream.h"

namespace cdmadiag {

enum class RecordKind : std::uint8_t { kLog, kCommandResponse };

struct Record {
  RecordKind kind = RecordKind::kLog;
  // Log: the whole record, 12-byte header first. Response: the frame without its CRC.
  std::span<const std::uint8_t> bytes;
  std::uint64_t offset = 0;  // input offset of the record or frame

  // The 12-byte log header, null for a command response.
  const std::uint8_t* header() const { return kind == RecordKind::kLog ? bytes.data() : nullptr; }
  std::span<const std::uint8_t> payload() const { return kind == RecordKind::kLog ? bytes.subspan(12) : bytes; }
  std::uint16_t log_code() const {
    return kind == RecordKind::kLog ? static_cast<std::uint16_t>(bytes[2] | (bytes[3] << 8)) : 0;
  }
};

struct FramingError {
  std::uint64_t offset = 0;
  std::string text;
};

enum class ReadStatus : std::uint8_t { kRecord, kError, kEnd };

class RecordReader {
 public:
  virtual ~RecordReader() = default;
  // The record's bytes stay valid until the next call.
  virtual ReadStatus next(Record& record, FramingError& error) = 0;
};

enum class InputFormat : std::uint8_t { kAuto, kLog, kHdlc };

// Looks at the start of the input without consuming it: hdlc when frames with good
// CRCs show up early and outnumber the bad ones, else log records. Neither reader takes
// noise for packets, so an input that is neither yields none.
InputFormat detect_format(ByteStream& in);

std::unique_ptr<RecordReader> make_reader(InputFormat format, ByteStream& in);

// A log code that one of the dispatchers knows.
bool known_log_code(std::uint16_t code);
// A DIAG command whose responses the 1x dispatcher knows.
bool known_command(std::uint8_t command);

}  // namespace cdmadiag
