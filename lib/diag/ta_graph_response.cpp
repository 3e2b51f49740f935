// Temporal analyzer graph response (cmd 0x19, and log code 0xA0A2 with the same
// body): the few values the phone's graph screen plots.
//
// Payload (after the command code for cmd 0x19); a field is used only when the
// payload holds it, so 1 to 13 bytes all decode:
//  +off  type   name                     unit
//   +0   i8     receive AGC              1/3 dB steps
//   +1   i8     transmit gain adjust     -0.5 dB steps
//   +2   i8     vocoder rate             of the last transmitted frame
//   +3   u32    bad frames               received in error since the call began
//   +7   u32    total frames             received since the call began
//  +11   u8[2]  reserved
// Receive and transmit power depend on the band, taken from what earlier packets
// wrote: the band class, else the RF mode (with the analog/CDMA MIN pair telling
// an unspecified mode apart), and the station class mark for the power limit.
#include <optional>

#include "diag/diag_common.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"

using cdmadiag::appendf;
using cdmadiag::Cursor;
using cdmadiag::held_integer;

namespace {

// Band classes and RF modes as earlier packets wrote them.
constexpr std::int64_t kBandClassCellular = 0, kBandClassPcs = 1;
constexpr std::int64_t kRfAnalog = 0, kRfCellular = 1, kRfPcs = 2, kRfSleep = 3;
// Band index of the power conversions.
constexpr int kBandIndexCellular = 1, kBandIndexPcs = 2, kBandIndexOther = 3;
// The power class is the station class mark's low two bits.
constexpr std::int64_t kPowerClassMask = 3;

int band_index(IOrbDataState* ds) {
  const cdmadiag::AttrReader read(ds);
  std::optional<std::int64_t> band = held_integer(read.current(ATTR_ID_Band_Class));
  if (!band) band = held_integer(read.latest(ATTR_ID_Band_Class));
  if (!band) {
    if (auto rf = held_integer(read.latest(ATTR_ID_RF_MODE))) {
      if (*rf == kRfAnalog || *rf == kRfSleep) {
        const auto min1 = held_integer(read.latest(ATTR_ID_MIN1_LS));
        const auto min2 = held_integer(read.latest(ATTR_ID_MIN2_LS));
        if (min1 && min2) rf = *min1 == *min2 ? kRfCellular : kRfPcs;
      }
      if (*rf == kRfCellular) band = kBandClassCellular;
      if (*rf == kRfPcs) band = kBandClassPcs;
    }
  }
  if (band && *band == kBandClassCellular) return kBandIndexCellular;
  if (band && *band == kBandClassPcs) return kBandIndexPcs;
  return kBandIndexOther;
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeTempAnalyzerGraphResponse(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                     IDekCellRefs_Search*) {
  Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeTempAnalyzerGraphResponse);
  // The fields in order, each used when the payload holds it.
  Cursor c(payload());
  const std::int8_t rx_agc = c.i8();
  // Without even the receive AGC there is nothing to show, and no failure text.
  if (!c.ok()) return;
  const std::int8_t tx_gain_adjust = c.i8();
  const bool has_tx = c.ok();
  const std::int8_t vocoder_rate = c.i8();
  const bool has_vocoder_rate = c.ok();
  const std::uint32_t bad_frames = c.u32le();
  const std::uint32_t total_frames = c.u32le();
  const bool has_frames = c.ok();

  const int band = band_index(ds);
  const double rx = AGC_VAL2dBm(rx_agc, band);
  double tx_adjust = 0.0;
  double tx = 0.0;
  if (has_tx) {
    // A mark of 0x80 or more must not pass as a negative class through the signed argument.
    const std::int64_t scm = held_integer(cdmadiag::AttrReader(ds).latest(ATTR_ID_SCM)).value_or(0);
    const auto power_class = static_cast<std::int8_t>(scm < 0 ? 0 : scm & kPowerClassMask);
    tx_adjust = POWER_CTL_VAL2dB(tx_gain_adjust);
    tx = EstMsTxPwr_dBm(rx, tx_adjust, band, MaxTxPwr_dBm(power_class, band));
  }

  if (const cdmadiag::AttrWriter w(ds); w.on()) {
    w.Double(ATTR_ID_CDMA_MOBILE_RX_POWER, rx);
    if (has_tx) w.Double(ATTR_ID_CDMA_MOBILE_TX_POWER, tx);
    if (has_frames) cdmadiag::diag::record_non_markov_frames(ds, GetMessageNumber(), {bad_frames, total_frames});
  }

  if (!msg.detailsWanted) return;
  if (has_tx) appendf(msg.details, "Rx/Tx/Tx_Adj = \t%.2f\t\t%.2f\t\t%.2f\n", rx, tx, tx_adjust);
  if (has_vocoder_rate) appendf(msg.details, "Current Vocoder Tx rate: %s\n", VocRate2Text(vocoder_rate));
}
