#include "framework/frame_segment.h"

#include <algorithm>
#include <climits>

#include "framework/payload_reader.h"
#include "framework/text.h"

namespace {

constexpr std::uint32_t kWidthMask = 0xFFFF;  // the width sits in the word's low half
constexpr std::uint32_t kMaxWidth = 32;
constexpr const char* kReservedLabel = "(reserved)";
constexpr const char* kTruncatedValue = "(truncated)";

bool has_label(const FieldEntry& e) { return e.label != nullptr && e.label[0] != '\0'; }

bool is_signed(std::uint32_t value_type) {
  switch (value_type) {
    case OrbRetVal::kInt64:
    case OrbRetVal::kInt32:
    case OrbRetVal::kInt16:
    case OrbRetVal::kInt8: return true;
    default: return false;
  }
}

std::int32_t sign_extend(std::uint32_t v, std::uint32_t width) {
  if (width >= 32) return static_cast<std::int32_t>(v);
  const std::uint32_t sign = std::uint32_t{1} << (width - 1);
  return static_cast<std::int32_t>((v ^ sign) - sign);
}

// width bits (1..32) at bit position pos, low bits first; the caller has checked that
// they lie inside the reader.
std::uint32_t read_bits(const cdmadiag::PayloadReader& reader, std::size_t pos, std::uint32_t width) {
  std::uint64_t acc = 0;
  std::uint32_t got = 0;
  while (got < width) {
    const unsigned offset = static_cast<unsigned>(pos % 8);
    const unsigned take = std::min<unsigned>(8 - offset, width - got);
    acc |= cdmadiag::bits(reader.u8(pos / 8), offset, take) << got;
    got += take;
    pos += take;
  }
  return static_cast<std::uint32_t>(acc);
}

void write_field(IOrbDataState& ds, const FieldEntry& e, std::uint32_t v, std::uint32_t width) {
  constexpr std::uint32_t kIndex = 0;
  constexpr std::uint32_t kBound = IOrbDataState::kNoBound;
  const std::uint32_t id = e.attribute_id;
  const std::int32_t s = sign_extend(v, width);
  switch (e.value_type) {
    case OrbRetVal::kDouble:
    case OrbRetVal::kFloat: ds.SetDouble(id, v, kIndex, kBound, 0); break;
    case OrbRetVal::kInt64: ds.SetInt64(id, s, kIndex, kBound, 0); break;
    case OrbRetVal::kUInt64: ds.SetUInt64(id, v, kIndex, kBound, 0); break;
    case OrbRetVal::kUInt32: ds.SetULong(id, v, kIndex, kBound, 0); break;
    case OrbRetVal::kInt32: ds.SetLong(id, s, kIndex, kBound, 0); break;
    case OrbRetVal::kUInt16: ds.SetUShort(id, static_cast<std::uint16_t>(v), kIndex, kBound, 0); break;
    case OrbRetVal::kInt16:
    case OrbRetVal::kInt8: ds.SetShort(id, static_cast<std::int16_t>(s), kIndex, kBound, 0); break;
    case OrbRetVal::kUInt8:
    case OrbRetVal::kByte: ds.SetByte(id, static_cast<std::uint8_t>(v), kIndex, kBound, 0); break;
    default: break;  // strings and unknown tags: a bit field cannot carry them
  }
}

}  // namespace

COrbFrameSegment::~COrbFrameSegment() = default;

COrbDecodeMsgCDMAQualcommFrameSegment::~COrbDecodeMsgCDMAQualcommFrameSegment() = default;

std::string COrbFrameSegment::processAnEnumString(const FieldEntry& entry, std::uint32_t value) const {
  const std::uint32_t width = entry.width & kWidthMask;
  if (is_signed(entry.value_type)) return cdmadiag::formatf("%d", sign_extend(value, width));
  return cdmadiag::formatf("%u", value);
}

int COrbFrameSegment::unpack(const std::uint8_t* bytes, std::size_t count, const FieldEntry* table, int entries,
                             int start_bit, IOrbDataState* ds, int /*flags*/) {
  fields_.clear();
  if (table == nullptr || entries <= 0 || start_bit < 0) return start_bit;
  const cdmadiag::PayloadReader reader(bytes, count);
  // Bit positions are ints; a packet beyond INT_MAX bits is cut there rather than wrapped.
  const std::size_t end_bit = std::min<std::size_t>(reader.size(), INT_MAX / 8) * 8;
  const bool writes = ds != nullptr && !ds->IsReadOnly();

  std::size_t pos = static_cast<std::size_t>(start_bit);
  for (int i = 0; i < entries; ++i) {
    const FieldEntry& e = table[i];
    const std::uint32_t width = e.width & kWidthMask;
    if (width == 0 || width > kMaxWidth) {
      fields_.push_back({e, width, Outcome::kBadWidth});
      break;
    }
    if (pos > end_bit || width > end_bit - pos) {
      fields_.push_back({e, 0, Outcome::kTruncated});
      break;
    }
    const std::uint32_t v = read_bits(reader, pos, width);
    pos += width;
    fields_.push_back({e, v, Outcome::kUnpacked});
    if (writes && e.attribute_id != 0) write_field(*ds, e, v, width);
  }
  return static_cast<int>(pos);
}

void COrbFrameSegment::render(std::string& out, const Field& field) const {
  const FieldEntry& e = field.entry;
  const char* label = has_label(e) ? e.label : kReservedLabel;
  switch (field.outcome) {
    case Outcome::kUnpacked:
      if (!has_label(e)) return;
      out += label;
      out += ": ";
      out += processAnEnumString(e, field.value);
      out += '\n';
      return;
    case Outcome::kTruncated:
      out += label;
      out += ": ";
      out += kTruncatedValue;
      out += '\n';
      return;
    case Outcome::kBadWidth: cdmadiag::appendf(out, "%s: (bad width %u)\n", label, field.value); return;
  }
}

std::string COrbFrameSegment::createCString() const { return createCString(0, fields() - 1); }

std::string COrbFrameSegment::createCString(int first, int last) const {
  std::string out;
  const int begin = std::max(first, 0);
  const int end = std::min(last, fields() - 1);
  for (int i = begin; i <= end; ++i) render(out, fields_[static_cast<std::size_t>(i)]);
  return out;
}

bool COrbFrameSegment::unpacked(int entry) const {
  return entry >= 0 && entry < fields() && fields_[static_cast<std::size_t>(entry)].outcome == Outcome::kUnpacked;
}

std::uint32_t COrbFrameSegment::value(int entry) const {
  return unpacked(entry) ? fields_[static_cast<std::size_t>(entry)].value : 0;
}

bool COrbFrameSegment::stopped() const { return !fields_.empty() && fields_.back().outcome != Outcome::kUnpacked; }
