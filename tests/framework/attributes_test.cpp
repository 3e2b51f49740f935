// The attribute registry: every name listed once, resolved through the schema at load.
#include "framework/attributes.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "host/schema.h"

TEST(Attributes, EveryNameIsListedOnceAndResolvedBeforeUse) {
  std::set<std::string> names;
  std::set<std::uint32_t> ids;
  for (const cdmadiag::AttributeEntry& a : cdmadiag::all_attributes()) {
    EXPECT_TRUE(names.insert(a.name).second) << a.name;
    EXPECT_NE(*a.id, 0u) << a.name;
    EXPECT_TRUE(ids.insert(*a.id).second) << a.name;
    EXPECT_EQ(GetSchemaDefsDynamic()->name_of(*a.id), a.name);
    EXPECT_EQ(std::string(a.name).rfind("ATTR_ID_", 0), 0u);
  }
}

TEST(Attributes, ALookupOfAKnownNameGivesTheRegisteredId) {
  EXPECT_EQ(GetSchemaDefsDynamic()->GetAttributeId("ATTR_ID_QUALCOMM_MDM_MSG_TYPE"), ATTR_ID_QUALCOMM_MDM_MSG_TYPE);
  // A name the library never listed still gets an id of its own; writes under it go through.
  const std::uint32_t other = GetSchemaDefsDynamic()->GetAttributeId("ATTR_ID_NOT_LISTED_ANYWHERE");
  EXPECT_NE(other, ATTR_ID_QUALCOMM_MDM_MSG_TYPE);
  EXPECT_EQ(GetSchemaDefsDynamic()->GetAttributeId("ATTR_ID_NOT_LISTED_ANYWHERE"), other);
}
