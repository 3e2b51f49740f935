#pragma once
// Attribute ids, resolved once by name through the host schema when the library
// loads. Decoders pass these constants to the data state.
#include <cstdint>
#include <span>

#define CDMADIAG_ATTR(name, ...) extern const std::uint32_t ATTR_ID_##name;
#include "framework/attributes.def"
#include "diag/attributes.def"
#include "cdma1x/attributes.def"
#include "evdo/attributes.def"
#include "evdo_revab/attributes.def"
#include "mediaflo/attributes.def"
#undef CDMADIAG_ATTR

namespace cdmadiag {

// What an attribute holds, as listed beside its name: the write operations that
// store it ("Double", "UShort|NoValue"), its unit, what its element index counts
// ("" for a scalar) and a one-line meaning. No operations for an attribute the
// library only reads back.
struct AttributeDoc {
  const char* ops = "";
  const char* unit = "";
  const char* index = "";
  const char* meaning = "";
};

struct AttributeEntry {
  const char* name;
  const std::uint32_t* id;
  AttributeDoc doc;
};

// Every attribute the library writes or reads, in listing order.
std::span<const AttributeEntry> all_attributes();

}  // namespace cdmadiag
