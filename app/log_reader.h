#pragma once
// Reads a sequence of log records: u16 length (header and payload), u16 log code,
// 8-byte time stamp, payload. After a bad record it scans forward byte by byte for
// the next plausible header.
#include "record_reader.h"

namespace cdmadiag {

class LogReader final : public RecordReader {
 public:
  explicit LogReader(ByteStream& in) : in_(in) {}
  ReadStatus next(Record& record, FramingError& error) override;

 private:
  // Consumes bytes up to the next plausible record; returns how many were skipped.
  std::uint64_t resync();
  bool plausible_at_front();

  ByteStream& in_;
  std::size_t last_size_ = 0;  // bytes of the record handed out last, consumed on the next call
};

}  // namespace cdmadiag
