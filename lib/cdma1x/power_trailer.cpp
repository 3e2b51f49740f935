#include "cdma1x/power_trailer.h"

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/value_names.h"

namespace cdmadiag {

namespace {

// RF modes of ATTR_ID_RF_MODE; the MIN pair settles the two open ones.
constexpr std::int64_t kRfModeOpen = 0;
constexpr std::int64_t kRfModeCellular = 1;
constexpr std::int64_t kRfModePcs = 2;
constexpr std::int64_t kRfModeOpenToo = 3;

constexpr std::array<ValueName, 10> kSearchStates = {{
    {0, "Raw initialization state"},
    {1, "Deep Sleep in start state"},
    {2, "Initial state for CDMA operation"},
    {3, "Acquisition of the Pilot Channel"},
    {4, "Reception of the Sync Channel"},
    {5, "Transition from Sync to Paging Channel(Slew)"},
    {6, "Operation on the Paging Channel"},
    {7, "Slotted Mode sleep state"},
    {8, "Operation on the traffic channel"},
    {9, "Return from Paging or Traffic to Sync Channel(unslew)"},
}};
constexpr const char* kUnknownSearchState = "Unknown search state";

// Band class of an RF mode: 0 cellular, 1 PCS, -1 unknown; nullopt when the mode
// decides nothing (only without missing_as_zero).
std::optional<std::int64_t> band_class_of_rf_mode(IOrbDataState* ds, bool missing_as_zero) {
  const AttrReader read(ds);
  std::optional<std::int64_t> rf = held_integer(read.latest(ATTR_ID_RF_MODE));
  if (!rf && missing_as_zero) rf = 0;
  if (!rf) return std::nullopt;
  if (*rf == kRfModeOpen || *rf == kRfModeOpenToo) {
    auto min1 = held_integer(read.latest(ATTR_ID_MIN1_LS));
    auto min2 = held_integer(read.latest(ATTR_ID_MIN2_LS));
    if (missing_as_zero) {
      min1 = min1.value_or(0);
      min2 = min2.value_or(0);
    }
    if (min1 && min2) rf = *min1 == *min2 ? kRfModeCellular : kRfModePcs;
  }
  if (*rf == kRfModeCellular) return 0;
  if (*rf == kRfModePcs) return 1;
  if (missing_as_zero) return -1;
  return std::nullopt;
}

}  // namespace

int BandIndexOfClass(std::int64_t band_class) {
  switch (band_class) {
    case 0: return kBandIndexCellular;
    case 1: return kBandIndexPcs;
    default: return kBandIndexOther;
  }
}

int DetermineBandIndex(IOrbDataState* ds, std::span<const BandSource> order,
                       std::optional<std::int64_t> packet_band_class) {
  const AttrReader read(ds);
  for (const BandSource source : order) {
    std::optional<std::int64_t> band;
    switch (source) {
      case BandSource::kBandClassThisPacket: band = held_integer(read.current(ATTR_ID_Band_Class)); break;
      case BandSource::kBandClassLatest: band = held_integer(read.latest(ATTR_ID_Band_Class)); break;
      case BandSource::kRfMode: band = band_class_of_rf_mode(ds, false); break;
      case BandSource::kRfModeOrMinPair: band = band_class_of_rf_mode(ds, true); break;
    }
    if (band) return BandIndexOfClass(*band);
  }
  return packet_band_class ? BandIndexOfClass(*packet_band_class) : kBandIndexOther;
}

std::int8_t PowerClass(IOrbDataState* ds) {
  const std::int64_t mark = held_integer(AttrReader(ds).latest(ATTR_ID_SCM)).value_or(0);
  return static_cast<std::int8_t>(mark < 0 ? 0 : mark & 3);
}

PowerTrailer ReadPowerTrailer(Cursor& c) {
  PowerTrailer t;
  t.rx_agc = c.i8();
  t.agc_power = c.u8();
  t.tx_gain_adjust = c.i8();
  t.tx_power_limit = c.i8();
  t.search_state = c.u8();
  return t;
}

void WriteAgcPowers(const AttrWriter& w, const AgcPowers& p) {
  w.Double(ATTR_ID_CDMA_MOBILE_RX_POWER, p.rx);
  w.Double(ATTR_ID_CDMA_PWR_CTRL_VAL, p.gain_adjust);
  w.Double(ATTR_ID_CDMA_MOBILE_TX_POWER, p.tx);
  w.Double(ATTR_ID_CDMA_MOBILE_AGC_POWER, p.agc);
}

const char* SearchStateName(std::uint8_t state) { return name_or(kSearchStates, state, kUnknownSearchState); }

}  // namespace cdmadiag

cdmadiag::AgcPowers COrbDecodeMsgCDMAQualcommFrame::ConvertAgcPowers(std::int8_t rx_agc, std::uint8_t agc_power,
                                                                     std::int8_t tx_gain_adjust, int band_index,
                                                                     std::int8_t power_class) {
  cdmadiag::AgcPowers p;
  p.rx = AGC_VAL2dBm(rx_agc, band_index);
  p.agc = AGCTxPwr_dBm(agc_power, band_index);
  p.gain_adjust = POWER_CTL_VAL2dB(tx_gain_adjust);
  p.max_tx = MaxTxPwr_dBm(power_class, band_index);
  p.tx = EstMsTxPwr_dBm(p.rx, p.gain_adjust, band_index, p.max_tx);
  return p;
}
