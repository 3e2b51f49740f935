#pragma once
// Reads a sequence of log records: u16 length (header and payload), u16 log code,
// 8-byte time stamp, payload.
//
// Lengths alone cannot tell a log from noise: random bytes also chain as "records" of
// random lengths. A record is taken where the records around it make it plausible:
// - an input that is exactly a chain of records, from its first byte to its last, is a
//   log whatever its codes and time stamps (real logs hold codes no dispatcher knows,
//   and stamps of 0 before the handset's clock is set);
// - otherwise a record that follows a taken one is taken when its stamp is in step
//   with that record's (within an hour, both before 2100, both codes with an equipment
//   number), or when it is credible on its own (a code a dispatcher knows, a plausible
//   length and stamp), or when it starts an anchor;
// - after a bad record the reader scans forward byte by byte for an anchor: three
//   chained records (fewer when they end exactly at the end of the input), each pair
//   in step or both credible; the last record before the damage may stand in for the
//   first of them when their stamps are in step.
// An anchor in random bytes is a matter of 10^-18 per offset; the first bytes of a random
// file pass alone about once in 20000 files (a known code with a plausible length and
// stamp, or lengths that chain exactly to the end). A real log resumes at the first
// whole record after a damaged stretch.
#include "record_reader.h"

namespace cdmadiag {

// The fields of a log header the reader judges by.
struct LogHeader {
  std::size_t length;
  std::uint16_t code;
  std::uint64_t units;  // bytes 6-11 of the stamp; bytes 4-5 are a sub-count
};

class LogReader final : public RecordReader {
 public:
  explicit LogReader(ByteStream& in) : in_(in) {}
  ReadStatus next(Record& record, FramingError& error) override;

 private:
  bool taken_at_front();
  bool anchor_at_front();
  // The records from the front on chain exactly to the end of the input.
  bool exact_chain_from_front();
  std::uint64_t resync();

  ByteStream& in_;
  std::size_t last_size_ = 0;  // bytes of the record handed out last, consumed on the next call
  bool trusted_ = false;       // the input is an exact chain: every record is taken
  bool clean_ = true;          // no bad record yet: every record so far chained from the first byte
  bool follows_record_ = false;  // the front is where the record handed out last ended
  bool have_last_ = false;       // a record was handed out; last_ is its header
  LogHeader last_{};
};

}  // namespace cdmadiag
