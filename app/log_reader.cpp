#include "log_reader.h"

#include <vector>

#include "framework/packet_header.h"
#include "framework/text.h"
#include "interrupt.h"

namespace cdmadiag {
namespace {

constexpr std::size_t kMaxRecord = 0xFFFF;
constexpr int kAnchorRecords = 3;
// Enough to see the whole chain an anchor needs.
constexpr std::size_t kLookAhead = kAnchorRecords * kMaxRecord;
// The packets the dispatchers know are far shorter; a random length rarely is.
constexpr std::size_t kCredibleMaxLength = std::size_t{16} << 10;
// Stamps count 1.25 ms units since 1980-01-06. Consecutive records of a log lie
// seconds apart; a random 48-bit count is within an hour of a given one about twice
// in 10^8 tries, and before 2100 (43825 days) about once in 100.
constexpr std::uint64_t kUnitsPerHour = 3600 * 800;
constexpr std::uint64_t kUnitsBefore2100 = std::uint64_t{43825} * 86400 * 800;
constexpr std::size_t kWalkBlock = std::size_t{64} << 10;

std::uint16_t u16_at(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }

using Header = LogHeader;

Header header_at(const std::uint8_t* p) {
  std::uint64_t units = 0;
  for (int i = 11; i >= 6; --i) units = (units << 8) | p[i];
  return {u16_at(p), u16_at(p + 2), units};
}

bool timely(const Header& h) { return h.units < kUnitsBefore2100; }

// Log codes in use carry an equipment number in their top four bits; zeros there are
// common in binary files.
bool equipped(const Header& h) { return (h.code >> 12) != 0; }

bool in_step(const Header& a, const Header& b) {
  if (!timely(a) || !timely(b) || !equipped(a) || !equipped(b)) return false;
  return (a.units > b.units ? a.units - b.units : b.units - a.units) <= kUnitsPerHour;
}

bool credible(const Header& h) { return known_log_code(h.code) && h.length <= kCredibleMaxLength && timely(h); }

bool linked(const Header& a, const Header& b) { return in_step(a, b) || (credible(a) && credible(b)); }

// An anchor starts at p: kAnchorRecords chained well-formed records, or fewer that end
// exactly at the end of the input (a lone one credible), each pair linked, one of them
// credible or with a stamp other than 0 (zero-filled structures chain in step too).
// The record taken before the damage ('before') counts as the first when the next is
// in step with it.
bool anchor_at(const std::uint8_t* p, std::size_t avail, bool at_end, const Header* before) {
  Header prev{};
  std::size_t pos = 0;
  bool evidence = false;
  const int wanted = before != nullptr ? kAnchorRecords - 1 : kAnchorRecords;
  for (int n = 0; n < wanted; ++n) {
    if (pos == avail && at_end) return evidence && (n > 1 || (n == 1 && (before != nullptr || credible(prev))));
    if (avail - pos < kLogHeaderSize) return false;
    const Header h = header_at(p + pos);
    if (h.length < kLogHeaderSize || h.length > avail - pos) return false;
    if (n == 0 && before != nullptr && !in_step(*before, h)) return false;
    if (n > 0 && !linked(prev, h)) return false;
    evidence = evidence || h.units != 0 || credible(h);
    prev = h;
    pos += h.length;
  }
  return evidence;
}

}  // namespace

bool LogReader::taken_at_front() {
  const Header h = header_at(in_.data());
  if (follows_record_ && in_step(last_, h)) return true;
  return credible(h) || anchor_at_front();
}

bool LogReader::anchor_at_front() {
  const std::size_t avail = in_.ensure(kLookAhead);
  return anchor_at(in_.data(), avail, in_.at_end(), nullptr) ||
         (have_last_ && anchor_at(in_.data(), avail, in_.at_end(), &last_));
}

bool LogReader::exact_chain_from_front() {
  // A pipe is judged on what one buffer holds; a file or memory to its end.
  if (!in_.size()) in_.ensure(ByteStream::kBufferSize);
  std::uint64_t end = 0;
  if (in_.size()) {
    end = *in_.size();
  } else if (in_.at_end()) {
    end = in_.offset() + in_.available();
  } else {
    return false;
  }
  std::vector<std::uint8_t> block(kWalkBlock);
  std::uint64_t block_at = 0;
  std::size_t block_size = 0;
  std::uint64_t pos = in_.offset();
  while (pos < end) {
    if (pos < block_at || pos + 2 > block_at + block_size) {
      if (stop_requested()) return false;
      block_at = pos;
      block_size = in_.read_at(pos, block.data(), block.size());
      if (block_size < 2) return false;
    }
    const std::size_t length = u16_at(block.data() + (pos - block_at));
    if (length < kLogHeaderSize) return false;
    pos += length;
  }
  return pos == end;
}

std::uint64_t LogReader::resync() {
  std::uint64_t skipped = 0;
  while (in_.ensure(1) > 0 && !anchor_at_front()) {
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
    } else if (!trusted_ && !taken_at_front()) {
      // Judged only while the input has chained cleanly from its first byte, and then
      // once: an exact chain to the end makes the whole input a log.
      if (clean_ && exact_chain_from_front()) {
        trusted_ = true;
      } else {
        problem = formatf("no plausible log record (length %zu, code 0x%04X)", len, u16_at(in_.data() + 2));
      }
    }
    if (problem.empty()) {
      record.kind = RecordKind::kLog;
      record.bytes = std::span<const std::uint8_t>(in_.data(), len);
      record.offset = offset;
      last_size_ = len;
      follows_record_ = have_last_ = true;
      last_ = header_at(in_.data());
      return ReadStatus::kRecord;
    }
  }

  clean_ = false;
  follows_record_ = false;
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
