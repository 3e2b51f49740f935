// 1x power control and AGC reports: Sparse AGC (0x1016), the AGC mini message,
// fast forward power control (0x102B) and its statistics (0x10C2), reverse power
// control (0x102C) and its statistics (0x10C3).
#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "cdma1x/frame_stats.h"
#include "cdma1x/power_trailer.h"
#include "cdma1x/radio_config.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::BandSource;
using cdmadiag::name_or;
using cdmadiag::OnShort;
using cdmadiag::PayloadReader;
using F = COrbDecodeMsgCDMAQualcommFrame;

// Where each report finds the band of its AGC values. The mini message knows only the
// RF mode and the MIN pair; the Sparse AGC report asks for a band class first; the
// reverse reports carry their own band class and look where the pilot reports do
// (kReverseBandOrder, below).
constexpr std::array<BandSource, 1> kMiniBandOrder = {BandSource::kRfModeOrMinPair};
constexpr std::array<BandSource, 2> kSparseAgcBandOrder = {BandSource::kBandClassLatest, BandSource::kRfModeOrMinPair};

constexpr const char* kUnknown = "unknown";
}  // namespace

// Sparse AGC report, 303 bytes:
//  +off  type      name          unit
//   +0   2 bytes   -             not read
//   +2   s8        TxPowerLimit  shown in the title
//   +3   100 x s8  RxAgc         1/3 dB (RX)
// +103   100 x s8  TxGainAdjust  -0.5 dB
// +203   100 x u8  TxAgc         4 x 0.08333 dB (AGC transmit power)
namespace {
constexpr std::size_t kSparseSamples = 100;
constexpr std::size_t kSparseLimit = 2;
constexpr std::size_t kSparseRx = 3;
constexpr std::size_t kSparseGain = kSparseRx + kSparseSamples;
constexpr std::size_t kSparseTxAgc = kSparseGain + kSparseSamples;
constexpr std::size_t kSparseSize = kSparseTxAgc + kSparseSamples;
constexpr const char* kInsufficientInfo = "Insufficient info to translate parameters\n";
}  // namespace

void F::DecodeSparseAGC(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  SetTitle(msg, &F::DecodeSparseAGC, cdmadiag::TitleWhen::kTitleOrDetails);
  const PayloadReader r = payload();
  if (r.has(kSparseLimit, 1) && (msg.titleWanted || msg.detailsWanted)) {
    // The limit is signed; the title shows it widened and unsigned, as it always has.
    msg.title = cdmadiag::formatf("Sparse AGC Report; TX_PWR_LIMIT: %u",
                                  static_cast<unsigned>(static_cast<int>(r.i8(kSparseLimit))));
  }
  if (!cdmadiag::require(r, kSparseSize, msg, OnShort::kReport)) return;

  const int band = cdmadiag::DetermineBandIndex(ds, kSparseAgcBandOrder);
  const std::int8_t power_class = cdmadiag::PowerClass(ds);
  const bool known = (band == cdmadiag::kBandIndexCellular || band == cdmadiag::kBandIndexPcs) &&
                     MaxTxPwr_dBm(power_class, band) != 0.0;
  if (!known) {
    if (msg.detailsWanted) msg.details += kInsufficientInfo;
    return;
  }

  const bool samples_shown = common_flag() && msg.detailsWanted;
  std::string samples;
  double rx = 0.0, gain_adjust = 0.0, tx = 0.0, agc = 0.0;
  for (std::size_t i = 0; i < kSparseSamples; ++i) {
    const cdmadiag::AgcPowers p =
        ConvertAgcPowers(r.i8(kSparseRx + i), r.u8(kSparseTxAgc + i), r.i8(kSparseGain + i), band, power_class);
    rx += p.rx;
    gain_adjust += p.gain_adjust;
    tx += p.tx;
    agc += p.agc;
    if (samples_shown) {
      appendf(samples, "%d:Rx/Tx/Adj = \t%.2f\t\t%.2f\t\t%.2f\n", static_cast<int>(i), p.rx, p.agc, p.gain_adjust);
    }
  }
  cdmadiag::AgcPowers mean;
  mean.rx = static_cast<float>(rx * 0.01);
  mean.gain_adjust = static_cast<float>(gain_adjust * 0.01);
  mean.tx = static_cast<float>(tx * 0.01);
  mean.agc = static_cast<float>(agc * 0.01);
  cdmadiag::WriteAgcPowers(AttrWriter(ds), mean);

  if (!msg.detailsWanted) return;
  std::string& d = msg.details;
  appendf(d, "\nRx Power = %.2f dBm\n", mean.rx);
  appendf(d, "ADJ = %.2f dB\n", mean.gain_adjust);
  appendf(d, "AGC Power = %.2f dBm\n", mean.agc);
  appendf(d, "TX Turnaround Power = %.2f dBm\n", mean.tx);
  d += samples;
}

// AGC mini message, 3 bytes:
//  +off  type  name          unit
//   +0   s8    RxAgc         1/3 dB (RX)
//   +1   s8    TxGainAdjust  -0.5 dB
//   +2   u8    TxAgc         4 x 0.08333 dB (AGC transmit power)
namespace {
constexpr std::size_t kMiniRx = 0;
constexpr std::size_t kMiniGain = 1;
constexpr std::size_t kMiniTxAgc = 2;
constexpr std::size_t kMiniSize = 3;
}  // namespace

void F::DecodeAGCMiniMessage(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const PayloadReader r = payload();
  if (!cdmadiag::require(r, kMiniSize, msg, OnShort::kReport)) return;
  const AttrWriter w(ds);
  if (!w.on()) return;
  const int band = cdmadiag::DetermineBandIndex(ds, kMiniBandOrder);
  cdmadiag::WriteAgcPowers(
      w, ConvertAgcPowers(r.i8(kMiniRx), r.u8(kMiniTxAgc), r.i8(kMiniGain), band, cdmadiag::PowerClass(ds)));
}
