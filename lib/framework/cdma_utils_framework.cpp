// The two CDMA utility routines that need the library's own definitions: the pilot
// increment attribute and the log time stamp. They live here so that the host layer
// includes no framework header.
#include "framework/attributes.h"
#include "framework/decoder_kit.h"
#include "framework/packet_header.h"
#include "host/cdma_utils.h"
#include "host/object_properties.h"

int CDMACommonUtils::GetPilotIncrement(IOrbDataState* ds, IProObjectPropertiesConnectedAccessor* accessor) {
  const OrbRetVal v = cdmadiag::AttrReader(ds).latest(ATTR_ID_PN_INC);
  const double inc = v;
  // An increment is at most the PN count; anything larger is a bad record, not a setting.
  if (v.present() && inc >= 1.0 && inc < kPnCount) return static_cast<int>(inc);
  if (accessor != nullptr && accessor->pilot_increment() > 0) return accessor->pilot_increment();
  return kDefaultPilotIncrement;
}

double CDMACommonUtils::CDMATime2UTC(const std::uint8_t* stamp) {
  return stamp != nullptr ? cdmadiag::diag_time_seconds(stamp) : cdmadiag::kGpsEpochUnixSeconds;
}
