#pragma once
// The 1x power trailer shared by the temporal analyzer, the searcher-and-finger
// information and the AGC reports: which band the AGC values belong to, the power
// class, the four powers and the search state names. The conversion of the raw
// bytes to powers is COrbDecodeMsgCDMAQualcommFrame::ConvertAgcPowers, since it goes
// through the class's own conversions.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "framework/decoder_kit.h"
#include "framework/payload_cursor.h"
#include "host/data_state.h"

namespace cdmadiag {

// Band index of the power conversions.
inline constexpr int kBandIndexCellular = 1;  // band class 0
inline constexpr int kBandIndexPcs = 2;       // band class 1
inline constexpr int kBandIndexOther = 3;     // anything else: cellular offsets, no transmit limit

// Where a decoder looks for the band its AGC values belong to. Each report states
// its own order; the first source that decides wins.
enum class BandSource : std::uint8_t {
  kBandClassThisPacket,  // ATTR_ID_Band_Class written by the packet being decoded
  kBandClassLatest,      // ATTR_ID_Band_Class as last written by any packet
  // ATTR_ID_RF_MODE: 1 band class 0, 2 band class 1. 0 and 3 leave the mode open and
  // are settled by the MIN pair when both ATTR_ID_MIN1_LS and ATTR_ID_MIN2_LS are
  // held (equal: 1, different: 2). Any other mode, or none, decides nothing.
  kRfMode,
  // As kRfMode, but a missing RF mode or MIN counts as 0, so this always decides;
  // a mode other than 0 to 3 is an unknown band.
  kRfModeOrMinPair,
};

// The order of the temporal analyzer and the searcher-and-finger information, whose
// own band class byte is the last resort.
inline constexpr std::array<BandSource, 3> kPilotReportBandOrder = {BandSource::kBandClassThisPacket,
                                                                    BandSource::kBandClassLatest, BandSource::kRfMode};

// Band index (kBandIndex...) of a band class.
int BandIndexOfClass(std::int64_t band_class);

// Band index from the first source of order that decides; else from the band class
// the packet carries, when given; else kBandIndexOther.
int DetermineBandIndex(IOrbDataState* ds, std::span<const BandSource> order,
                       std::optional<std::int64_t> packet_band_class = std::nullopt);

// Bits 0-1 of the station class mark (ATTR_ID_SCM); a missing or negative mark is class 0.
std::int8_t PowerClass(IOrbDataState* ds);

// Power trailer, 5 bytes:
//  +off  type  name              unit
//   +0   s8    ReceiveAgc        1/3 dB (RX)
//   +1   u8    AgcPower          4 x 0.08333 dB (AGC transmit power)
//   +2   s8    TxGainAdjust      -0.5 dB
//   +3   s8    TxPowerLimit      raw, shown as a number
//   +4   u8    SearchState       SearchStateName
inline constexpr std::size_t kPowerTrailerSize = 5;

struct PowerTrailer {
  std::int8_t rx_agc = 0;
  std::uint8_t agc_power = 0;
  std::int8_t tx_gain_adjust = 0;
  std::int8_t tx_power_limit = 0;
  std::uint8_t search_state = 0;
};

// The trailer at c's offset, in the table's order; the caller checks c.
PowerTrailer ReadPowerTrailer(Cursor& c);

// Powers of one set of AGC values.
struct AgcPowers {
  double rx = 0.0;           // receive power, dBm
  double agc = 0.0;          // transmit power measured by the AGC, dBm
  double gain_adjust = 0.0;  // transmit gain adjustment, dB
  double tx = 0.0;           // turnaround transmit power, limited to max_tx, dBm
  double max_tx = 0.0;       // maximum transmit power of the band and power class, dBm
};

// ATTR_ID_CDMA_MOBILE_RX_POWER, _PWR_CTRL_VAL, _MOBILE_TX_POWER, _MOBILE_AGC_POWER, in
// the order every AGC report writes them.
void WriteAgcPowers(const AttrWriter& w, const AgcPowers& p);

// "Operation on the traffic channel" and the like; "Unknown search state" past the table.
const char* SearchStateName(std::uint8_t state);

}  // namespace cdmadiag
