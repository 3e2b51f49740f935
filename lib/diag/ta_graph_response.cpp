// Temporal analyzer graph response (cmd 0x19, and log code 0xA0A2 with the same
// body): the few values the phone's graph screen plots.
//
// Offsets (after the command code for cmd 0x19); a field is used only when the
// payload holds it, so 1 to 13 bytes all decode:
//   0 i8 receive AGC, 1/3 dB steps  1 i8 transmit gain adjust, -0.5 dB steps
//   2 i8 vocoder rate of the last transmitted frame
//   3 u32 frames received in error since the call began  7 u32 frames received
//   11..12 reserved
// Receive and transmit power depend on the band, taken from what earlier packets
// wrote: the band class, else the RF mode (with the analog/CDMA MIN pair telling
// an unspecified mode apart), and the station class mark for the power limit.
#include <optional>

#include "diag/diag_common.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"

using cdmadiag::appendf;
using cdmadiag::PayloadReader;
using cdmadiag::diag::held_integer;

namespace {

using cdmadiag::kNoBound;


constexpr std::size_t kRxAgc = 0;
constexpr std::size_t kTxGainAdjust = 1;
constexpr std::size_t kVocoderRate = 2;
constexpr std::size_t kBadFrames = 3;
constexpr std::size_t kTotalFrames = 7;

// Band index of the power conversions: 1 cellular (band class 0), 2 PCS (band
// class 1), 3 anything else.
int band_index(IOrbDataState* ds) {
  std::optional<std::int64_t> band = held_integer(ds->GetValue(ATTR_ID_Band_Class, 0, kNoBound));
  if (!band) band = held_integer(ds->GetValueAt(ATTR_ID_Band_Class, 0, kNoBound));
  if (!band) {
    if (auto rf = held_integer(ds->GetValueAt(ATTR_ID_RF_MODE, 0, kNoBound))) {
      if (*rf == 0 || *rf == 3) {
        const auto min1 = held_integer(ds->GetValueAt(ATTR_ID_MIN1_LS, 0, kNoBound));
        const auto min2 = held_integer(ds->GetValueAt(ATTR_ID_MIN2_LS, 0, kNoBound));
        if (min1 && min2) rf = *min1 == *min2 ? 1 : 2;
      }
      if (*rf == 1) band = 0;
      if (*rf == 2) band = 1;
    }
  }
  if (band && *band == 0) return 1;
  if (band && *band == 1) return 2;
  return 3;
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeTempAnalyzerGraphResponse(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                     IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = "Temporal Analyzer Graph Response";
  const PayloadReader r = payload();
  if (!r.has(kRxAgc, 1)) return;

  const int band = band_index(ds);
  const double rx = AGC_VAL2dBm(r.i8(kRxAgc), band);
  const bool has_tx = r.has(kTxGainAdjust, 1);
  double tx_adjust = 0.0;
  double tx = 0.0;
  if (has_tx) {
    // The power class is the mark's low two bits; a mark of 0x80 or more must not
    // pass as a negative class through the signed argument.
    const std::int64_t scm = held_integer(ds->GetValueAt(ATTR_ID_SCM, 0, kNoBound)).value_or(0);
    const auto power_class = static_cast<std::int8_t>(scm < 0 ? 0 : scm & 3);
    tx_adjust = POWER_CTL_VAL2dB(r.i8(kTxGainAdjust));
    tx = EstMsTxPwr_dBm(rx, tx_adjust, band, MaxTxPwr_dBm(power_class, band));
  }

  if (!ds->IsReadOnly()) {
    ds->SetDouble(ATTR_ID_CDMA_MOBILE_RX_POWER, rx, 0, kNoBound, 0);
    if (has_tx) ds->SetDouble(ATTR_ID_CDMA_MOBILE_TX_POWER, tx, 0, kNoBound, 0);
    if (r.has(kTotalFrames, 4)) {
      cdmadiag::diag::record_non_markov_frames(ds, GetMessageNumber(), {r.u32le(kBadFrames), r.u32le(kTotalFrames)});
    }
  }

  if (!msg.detailsWanted) return;
  if (has_tx) appendf(msg.details, "Rx/Tx/Tx_Adj = \t%.2f\t\t%.2f\t\t%.2f\n", rx, tx, tx_adjust);
  if (r.has(kVocoderRate, 1)) appendf(msg.details, "Current Vocoder Tx rate: %s\n", VocRate2Text(r.i8(kVocoderRate)));
}
