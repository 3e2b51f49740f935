#include "framework/decoder_kit.h"

#include <stdexcept>


namespace cdmadiag {

bool require(const PayloadReader& r, std::size_t need, COrbExpandedMessage& msg, OnShort policy, const char* text) {
  if (r.has(0, need)) return true;
  switch (policy) {
    case OnShort::kReport:
      if (msg.detailsWanted) msg.details += text;
      return false;
    case OnShort::kThrow: throw std::invalid_argument(text);
  }
  return false;
}

std::optional<double> held_number(const OrbRetVal& v) {
  if (!v.present()) return std::nullopt;
  return static_cast<double>(v);
}

std::optional<std::int64_t> held_integer(const OrbRetVal& v) {
  if (!v.present()) return std::nullopt;
  switch (v.type) {
    case OrbRetVal::kInt64: return v.value.i64;
    case OrbRetVal::kUInt64: return static_cast<std::int64_t>(v.value.u64);
    default: break;
  }
  // A stored NaN or a double beyond 64 bits would make the cast undefined.
  const double d = static_cast<double>(v);
  if (!(d > -9.2233720368547758e18 && d < 9.2233720368547758e18)) return std::nullopt;
  return static_cast<std::int64_t>(d);
}

}  // namespace cdmadiag
