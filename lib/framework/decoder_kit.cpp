#include "framework/decoder_kit.h"

#include <stdexcept>
#include <string>

namespace cdmadiag {

Decoding::Decoding(COrbExpandedMessage& msg, const char* title, const Policy& policy)
    : msg_(msg), title_(title), policy_(policy) {
  switch (policy.title_at) {
    case TitleAt::kStart: set_title(msg, title, policy.when); break;
    case TitleAt::kAfterCheck: exceptions_ = std::uncaught_exceptions(); break;
    case TitleAt::kDispatcher: break;
  }
}

Decoding::~Decoding() {
  if (policy_.title_at == TitleAt::kAfterCheck && !failed_ && std::uncaught_exceptions() == exceptions_) {
    set_title(msg_, title_, policy_.when);
  }
}

bool Decoding::fail(const char* text) const {
  failed_ = true;
  if (policy_.on_short == OnShort::kQuiet) return false;
  std::string what;
  if (policy_.title_prefixed && title_ != nullptr) {
    what = std::string(title_) + " : ";
  }
  what += text;
  switch (policy_.on_short) {
    case OnShort::kReport:
      if (msg_.detailsWanted) msg_.details += what;
      return false;
    case OnShort::kQuiet: return false;
    case OnShort::kThrow: throw MalformedPacket(what);
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
