#include "framework/attributes.h"

#include "host/schema.h"

// Defined in one unit so they resolve in listing order at load; no other unit
// reads them during static initialisation.
#define CDMADIAG_ATTR(name, ...) \
  const std::uint32_t ATTR_ID_##name = GetSchemaDefsDynamic()->GetAttributeId("ATTR_ID_" #name);
#include "cdma1x/attributes.def"
#include "diag/attributes.def"
#include "evdo/attributes.def"
#include "evdo_revab/attributes.def"
#include "framework/attributes.def"
#include "mediaflo/attributes.def"
#undef CDMADIAG_ATTR

namespace cdmadiag {

namespace {

#define CDMADIAG_ATTR(name, ...) AttributeEntry{"ATTR_ID_" #name, &ATTR_ID_##name, AttributeDoc{__VA_ARGS__}},
constexpr AttributeEntry kAttributes[] = {
#include "cdma1x/attributes.def"
#include "diag/attributes.def"
#include "evdo/attributes.def"
#include "evdo_revab/attributes.def"
#include "framework/attributes.def"
#include "mediaflo/attributes.def"
};
#undef CDMADIAG_ATTR

}  // namespace

std::span<const AttributeEntry> all_attributes() { return kAttributes; }

}  // namespace cdmadiag
