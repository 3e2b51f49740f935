#include "framework/field_tables.h"

#include "framework/attributes.h"

namespace cdmadiag {

namespace {

constexpr std::array<FieldEntry, 9> kAccessProbeLayout = {
    plain_field(8, "SEQ_NUM"),
    plain_field(8, "PROBE_NUM"),
    plain_field(8, "RX_AGC"),
    plain_field(8, "TX_ADJ"),
    plain_field(8, "PSIST"),
    plain_field(8, "Access channel number"),
    plain_field(8, "PN randomization delay (chips)"),
    plain_field(8, "Sequence backoff (slots)"),
    plain_field(8, "Probe backoff (slots)"),
};

}  // namespace

std::span<const FieldEntry, 9> access_probe_fields() {
  static const std::array<FieldEntry, 9> table = [] {
    std::array<FieldEntry, 9> t = kAccessProbeLayout;
    t[0].value_type = OrbRetVal::kUInt32;
    t[0].attribute_id = ATTR_ID_CDMA_SEQ_NUM;
    t[1].value_type = OrbRetVal::kUInt32;
    t[1].attribute_id = ATTR_ID_CDMA_PROBE_NUM;
    return t;
  }();
  return table;
}

}  // namespace cdmadiag
