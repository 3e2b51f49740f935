#include "log_reader.h"

#include "framework/packet_header.h"
#include "framework/text.h"

namespace cdmadiag {
namespace {

constexpr std::size_t kMaxRecord = 0xFFFF;
// Enough to see a whole candidate record and the length and code of the one after it.
constexpr std::size_t kLookAhead = kMaxRecord + 4;

std::uint16_t u16_at(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

}  // namespace

bool LogReader::plausible_at_front() {
  const std::size_t avail = in_.ensure(kLookAhead);
  if (avail < kLogHeaderSize) return false;
  const std::uint8_t* p = in_.data();
  const std::size_t len = u16_at(p);
  if (len < kLogHeaderSize || len > avail || !plausible_log_code(u16_at(p + 2))) return false;
  // A candidate must also be followed by the end of the input or by another plausible
  // header, so that a stray length/code pair inside a payload is not taken for one.
  if (len == avail) return in_.at_end();
  if (avail - len < 4) return false;
  return u16_at(p + len) >= kLogHeaderSize && plausible_log_code(u16_at(p + len + 2));
}

std::uint64_t LogReader::resync() {
  std::uint64_t skipped = 0;
  while (in_.ensure(1) > 0 && !plausible_at_front()) {
    in_.consume(1);
    ++skipped;
  }
  return skipped;
}

ReadStatus LogReader::next(Record& record, FramingError& error) {
  in_.consume(last_size_);
  last_size_ = 0;
  const std::size_t avail = in_.ensure(kLogHeaderSize);
  if (avail == 0) return ReadStatus::kEnd;

  const std::uint64_t offset = in_.offset();
  std::string problem;
  if (avail < kLogHeaderSize) {
    problem = formatf("the input ends inside a log header (%zu bytes left)", avail);
  } else {
    const std::size_t len = u16_at(in_.data());
    if (len < kLogHeaderSize) {
      problem = formatf("log record length %zu is below 12", len);
    } else if (in_.ensure(len) < len) {
      problem = formatf("log record length %zu runs past the end of the input (%zu bytes left)", len, in_.available());
    } else {
      record.kind = RecordKind::kLog;
      record.bytes = std::span<const std::uint8_t>(in_.data(), len);
      record.offset = offset;
      last_size_ = len;
      return ReadStatus::kRecord;
    }
  }

  in_.consume(1);
  const std::uint64_t skipped = resync() + 1;
  error.offset = offset;
  if (in_.ensure(1) > 0) {
    error.text = formatf("%s; skipped %llu bytes to the next record at byte %llu", problem.c_str(),
                         static_cast<unsigned long long>(skipped), static_cast<unsigned long long>(in_.offset()));
  } else {
    error.text = formatf("%s; no further record (%llu bytes skipped)", problem.c_str(),
                         static_cast<unsigned long long>(skipped));
  }
  return ReadStatus::kError;
}

}  // namespace cdmadiag
