// 1x power control and AGC reports: Sparse AGC (0x1016), the AGC mini message,
// fast forward power control (0x102B) and its statistics (0x10C2), reverse power
// control (0x102C) and its statistics (0x10C3).
#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
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
using cdmadiag::Cursor;
using cdmadiag::name_or;
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
[[maybe_unused]] constexpr std::size_t kSparseSize = 3 + 3 * kSparseSamples;
constexpr const char* kInsufficientInfo = "Insufficient info to translate parameters\n";

template <typename T>
std::array<T, kSparseSamples> sparse_samples(Cursor& c) {
  std::array<T, kSparseSamples> v{};
  for (T& x : v) x = static_cast<T>(c.u8());
  return v;
}
}  // namespace

void F::DecodeSparseAGC(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeSparseAGC);
  Cursor c(payload());
  c.skip(2);
  const std::int8_t limit = c.i8();
  if (c.ok() && (msg.titleWanted || msg.detailsWanted)) {
    // The limit is signed; the title shows it widened to 32 bits and read unsigned.
    msg.title = cdmadiag::formatf("Sparse AGC Report; TX_PWR_LIMIT: %u", static_cast<unsigned>(int{limit}));
  }
  const auto rx_agc = sparse_samples<std::int8_t>(c);
  const auto gain = sparse_samples<std::int8_t>(c);
  const auto tx_agc = sparse_samples<std::uint8_t>(c);
  if (!job.check(c)) return;
  assert(c.offset() == kSparseSize);

  const int band = cdmadiag::DetermineBandIndex(ds, kSparseAgcBandOrder);
  const std::int8_t power_class = cdmadiag::PowerClass(ds);
  const bool known = (band == cdmadiag::kBandIndexCellular || band == cdmadiag::kBandIndexPcs) &&
                     MaxTxPwr_dBm(power_class, band) != 0.0;
  if (!known) {
    job.fail(kInsufficientInfo);
    return;
  }

  const bool samples_shown = common_flag() && msg.detailsWanted;
  std::string samples;
  double rx = 0.0, gain_adjust = 0.0, tx = 0.0, agc = 0.0;
  for (std::size_t i = 0; i < kSparseSamples; ++i) {
    const cdmadiag::AgcPowers p = ConvertAgcPowers(rx_agc[i], tx_agc[i], gain[i], band, power_class);
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
void F::DecodeAGCMiniMessage(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeAGCMiniMessage);
  Cursor c(payload());
  const std::int8_t rx_agc = c.i8();
  const std::int8_t gain = c.i8();
  const std::uint8_t tx_agc = c.u8();
  if (!job.check(c)) return;
  const AttrWriter w(ds);
  if (!w.on()) return;
  const int band = cdmadiag::DetermineBandIndex(ds, kMiniBandOrder);
  cdmadiag::WriteAgcPowers(w, ConvertAgcPowers(rx_agc, tx_agc, gain, band, cdmadiag::PowerClass(ds)));
}

// Fast forward power control. Header, 7 bytes:
//  +off  type  name               unit
//   +0   u8    FrameOffset
//   +1   u16   ServiceOption      bits 0-11
//   +3   u8    FpcMode
//   +4   u8    PrimarySubchannel  0 F_FCH, 1 F_DCCH
//   +5   u8    -                  not read
//   +6   u8    Records            shown only: the records run to the end of the packet
// Record head, 4 bytes, then Frames frames of FrameLength bytes each:
//   +0   u8    Channels           bit 0 FCH, bit 1 SCH0, bits 4-6 supplemental code channels
//   +1   u16   Frames
//   +3   u8    FrameLength        bytes
// Frame:
//   +0   u16   DecisionHistory    one bit per power control group
//   +2   u8    FchSetpoint        0.125 dB, FCH active only
//   +n   u8    Sch0Setpoint       0.125 dB, SCH0 active only
//   +n+1 u8    DeltaSchSetpoint   raw; SCH0 active and FrameLength reaching it
namespace {
constexpr std::array<ValueName, 2> kPrimarySubchannelNames{{{0, "F_FCH setpoint"}, {1, "F_DCCH setpoint"}}};

void append_record_rule(std::string& d, int record) {
  appendf(d, "\t\t\t\t--------------- Record %d ---------------", record);
}

// Share of the 16 power control groups whose decision bit is 0 and 1, in percent.
struct Decisions {
  double zeros;
  double ones;
};
Decisions decisions_of(std::uint16_t history) {
  const int ones = std::popcount(history);
  return {(16 - ones) * 6.25, ones * 6.25};
}

void append_forward_decisions(std::string& d, std::uint16_t history) {
  const Decisions h = decisions_of(history);
  appendf(d,
          "\nDecision History for Power Control Group :\nEb/Nt < threshold setpoint: %.2f %% \nEb/Nt > threshold "
          "setpoint: %.2f %%",
          h.zeros, h.ones);
}

double setpoint_db(std::uint8_t raw) { return raw * 0.125; }

constexpr std::size_t kDecisionHistorySize = 2;

struct RecordHead {
  bool fch, sch0;
  int supplemental_codes;
  unsigned frames, frame_length;
};
RecordHead read_record_head(Cursor& c) {
  const std::uint8_t ch = c.u8();
  const std::uint16_t frames = c.u16le();
  const std::uint8_t frame_length = c.u8();
  return {(ch & 1u) != 0, (ch & 2u) != 0, static_cast<int>(cdmadiag::bits(ch, 4, 3)), frames, frame_length};
}

// A frame steps over at least its own fields: a shorter length per frame would read
// the same bytes again for each of up to 65535 frames. A frame is taken only whole.
std::size_t frame_step(unsigned frame_length, std::size_t fields) {
  return std::max<std::size_t>(frame_length, fields);
}
}  // namespace

void F::DecodeForPowerControl(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeForPowerControl);
  Cursor c(payload());
  const std::uint8_t frame_offset = c.u8();
  const std::uint16_t service_word = c.u16le();
  const std::uint8_t mode = c.u8();
  const std::uint8_t primary_subchannel = c.u8();
  c.skip(1);
  const std::uint8_t records = c.u8();
  if (!job.check(c)) return;
  const AttrWriter w(ds);
  const unsigned service_option = static_cast<unsigned>(cdmadiag::bits(service_word, 0, 12));
  w.Long(ATTR_ID_CDMA_ServiceOption, static_cast<std::int32_t>(service_option));

  const bool text = msg.detailsWanted;
  std::string& d = msg.details;
  if (text) {
    const std::string primary =
        std::string("Primary subchannel indicator: ") + name_or(kPrimarySubchannelNames, primary_subchannel, kUnknown);
    appendf(d, "Frame Offset: %u, Service Option: %u, Fpc Mode: %u, %s, \nNumber of subrecords: %u",
            unsigned{frame_offset}, service_option, unsigned{mode}, primary.c_str(), unsigned{records});
  }

  int record = 0;
  while (c.left() > 0) {
    const RecordHead h = read_record_head(c);
    if (!c.ok()) return (void)job.fail(cdmadiag::kCorruptedContent);
    w.Long(ATTR_ID_For_FCH_Is_Active, h.fch ? 1 : 0);
    if (text) {
      append_record_rule(d, ++record);
      cdmadiag::AppendChannelSetMask(d, cdmadiag::Link::kForward, {h.fch, h.sch0, false, false, h.supplemental_codes},
                                     "");
      appendf(d, "\nFrame Count: %u, Length(in bytes) per frame: %u", h.frames, h.frame_length);
    }
    const std::size_t fields = kDecisionHistorySize + (h.fch ? 1 : 0) + (h.sch0 ? 1 : 0);
    const std::size_t step = frame_step(h.frame_length, fields);
    for (unsigned k = 0; k < h.frames; ++k) {
      Cursor frame = c.record(step);
      if (!frame.ok()) return (void)job.fail(cdmadiag::kCorruptedContent);
      const std::uint16_t history = frame.u16le();
      if (text) {
        appendf(d, "\nSub-record[%u]", k);
        append_forward_decisions(d, history);
      }
      if (h.fch) {
        const double setpoint = setpoint_db(frame.u8());
        w.Double(ATTR_ID_Set_Point_FCH, setpoint);
        if (text) appendf(d, "\nFPC_FCH_CURR_SETPT: %.2f", setpoint);
      } else if (text) {
        d += "\nFPC_FCH_CURR_SETPT: not active";
      }
      if (h.sch0) {
        const double setpoint = setpoint_db(frame.u8());
        w.Double(ATTR_ID_Set_Point_SCH0, setpoint);
        if (text) {
          appendf(d, ", FPC_SCH0_CURR_SETPT: %.2f", setpoint);
          if (h.frame_length > fields) {
            const std::uint8_t delta = frame.u8();
            appendf(d, ", FPC_DELTA_SCH_SETPT: %u", unsigned{delta});
          } else {
            d += ", FPC_DELTA_SCH_SETPT: N/A";
          }
        }
      } else if (text) {
        d += ", FPC_SCH0_CURR_SETPT: not active";
      }
      if (text) d += ", FPC_SCH1_CURR_SETPT: not active\nFPC_DCCH_CURR_SETPT: not active";
    }
  }
}

// Reverse power control. Header, 7 bytes:
//  +off  type  name          unit
//   +0   u8    FrameOffset
//   +1   u8    BandClass
//   +2   u8    RevRc1        bits 0-3 FCH, bits 4-7 SCH0 radio configuration
//   +3   u8    RevRc2        bits 0-3 SCH1, bits 4-7 DCCH radio configuration
//   +4   u8    GatedRate     0 continuous, 1 1/2, 2 1/4, other no gating
//   +5   u8    StepSize
//   +6   u8    Records
// Records as the forward report's (4-byte head, then frames of FrameLength bytes):
//   +0   u16   DecisionHistory  one bit per power control group, 0 an increase
//   +2   s8    RxAgc            1/3 dB (RX)
//   +3   u8    TxAgc            4 x 0.08333 dB (AGC transmit power)
//   +4   s8    TxGainAdjust     -0.5 dB
//   +5   s16   FchGain          0.125 dB over the pilot, FCH active only
//   +n   s16   Sch0Gain         0.125 dB over the pilot, SCH0 active only
namespace {
constexpr auto& kReverseBandOrder = cdmadiag::kPilotReportBandOrder;

// The reverse power control report names the first six, its statistics all of them.
constexpr std::array<ValueName, 11> kBandClassNames{{{0, "800 MHz cellular band"},
                                                     {1, "1.8 to 2.0 GHz PCS band"},
                                                     {2, "872 to 960 MHz TACS band"},
                                                     {3, "832 to 925 MHz JTACS band"},
                                                     {4, "1.75 to 1.87 GHz Korean PCS band"},
                                                     {5, "450 MHz NMT band"},
                                                     {6, "IMT-2000"},
                                                     {7, "North American 700 MHz Cellular"},
                                                     {8, "1800 MHz"},
                                                     {9, "900 MHz"},
                                                     {10, "Secondary 800 MHz"}}};
constexpr std::array<ValueName, 3> kGatedRateNames{{{0, "continuous rate"}, {1, "1/2 rate"}, {2, "1/4 rate"}}};
constexpr const char* kNoGating = "No gating";

// A reverse channel gain, 0.125 dB over the pilot; outside (-100, +100) dB it is taken
// as 0 and adds nothing to the pilot's share.
struct ChannelGain {
  double db = 0.0;
  double linear = 0.0;
};
ChannelGain channel_gain(std::int16_t raw) {
  const double g = raw * 0.125;
  if (g <= -100.0 || g >= 100.0) return {};
  return {g, std::pow(10.0, g * 0.1)};
}

// Pilot power of a frame whose channels add up to sum_linear over the pilot; 0 without any.
double pich_dbm(double agc_dbm, double sum_linear) {
  if (sum_linear <= 0.0) return 0.0;
  return 10.0 * std::log10(std::pow(10.0, agc_dbm * 0.1) / (sum_linear + 1.0));
}

// The receive, transmit and pilot powers of a reverse report, before its channel powers.
void append_reverse_powers(std::string& d, double rx, double agc, double gain_adjust, double pich) {
  appendf(d,
          "\n Receive power: %.2f, Transmit power measured from CDMA AGC: %.2f, Transmit Gain Adjustment: "
          "%.2f,\nPICH Power: %.2f,",
          rx, agc, gain_adjust, pich);
  d += "\n Transmit powers for each active channel: ";
}

constexpr std::size_t kRpfFixedSize = 5;
constexpr std::size_t kGainSize = 2;

// Sums of one record's frames.
struct ReverseSums {
  unsigned frames = 0;
  double increase = 0, decrease = 0, rx = 0, gain_adjust = 0, tx = 0, agc = 0, pich = 0, fch = 0, sch0 = 0;
  double last_channels = 0;  // the last frame's channel share over the pilot
};

void append_channel_power(std::string& d, const char* label, bool active, double dbm) {
  d += label;
  if (active) {
    appendf(d, "%.2f dBm", dbm);
  } else {
    d += "N/A";
  }
}
}  // namespace

void F::DecodeRevPowerControl(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRevPowerControl);
  Cursor c(payload());
  const std::uint8_t frame_offset = c.u8();
  const std::uint8_t band_class = c.u8();
  const std::uint8_t rc1 = c.u8();
  const std::uint8_t rc2 = c.u8();
  const std::uint8_t gated_rate = c.u8();
  const std::uint8_t step_size = c.u8();
  const std::uint8_t records = c.u8();
  if (!job.check(c)) return;
  const AttrWriter w(ds);
  w.UShort(ATTR_ID_Band_Class, band_class);
  const int band = cdmadiag::DetermineBandIndex(ds, kReverseBandOrder, band_class);
  const std::int8_t power_class = cdmadiag::PowerClass(ds);

  const bool text = msg.detailsWanted;
  std::string& d = msg.details;
  if (text) {
    const std::string band_text =
        std::string("Band class: ") + name_or(std::span(kBandClassNames).first<6>(), band_class, kUnknown);
    appendf(d, "Frame Offset: %u, %s, ", unsigned{frame_offset}, band_text.c_str());
    cdmadiag::AppendRadioConfigs(d, cdmadiag::Link::kReverse, cdmadiag::RadioConfigsOfNibbles(rc1, rc2), "");
    const std::string gated =
        std::string("Gated transmission rate: ") + name_or(kGatedRateNames, gated_rate, kNoGating);
    appendf(d, "%s, Step Size: %u, Sub Record Count: %u, ", gated.c_str(), unsigned{step_size}, unsigned{records});
  }

  for (unsigned record = 1; record <= records; ++record) {
    const RecordHead h = read_record_head(c);
    if (!c.ok()) return (void)job.fail(cdmadiag::kCorruptedContent);
    w.Long(ATTR_ID_Rev_FCH_Is_Active, h.fch ? 1 : 0);
    if (text) {
      d += "\n";
      append_record_rule(d, static_cast<int>(record));
      cdmadiag::AppendChannelSetMask(d, cdmadiag::Link::kReverse, {h.fch, h.sch0, false, false, std::nullopt}, "");
      appendf(d, "\nFrame Count: %u, Length(in bytes) per frame: %u", h.frames, h.frame_length);
    }
    const std::size_t fields = kRpfFixedSize + (h.fch ? kGainSize : 0) + (h.sch0 ? kGainSize : 0);
    const std::size_t step = frame_step(h.frame_length, fields);
    ReverseSums s;
    bool cut = false;
    for (unsigned k = 0; k < h.frames; ++k) {
      Cursor frame = c.record(step);
      if (!frame.ok()) {
        cut = true;
        break;
      }
      const std::uint16_t history = frame.u16le();
      const std::int8_t rx_agc = frame.i8();
      const std::uint8_t tx_agc = frame.u8();
      const std::int8_t gain_adjust = frame.i8();
      const std::int16_t fch_gain = h.fch ? frame.i16le() : 0;
      const std::int16_t sch0_gain = h.sch0 ? frame.i16le() : 0;
      const Decisions dec = decisions_of(history);
      const cdmadiag::AgcPowers p = ConvertAgcPowers(rx_agc, tx_agc, gain_adjust, band, power_class);
      const ChannelGain fch = h.fch ? channel_gain(fch_gain) : ChannelGain{};
      const ChannelGain sch0 = h.sch0 ? channel_gain(sch0_gain) : ChannelGain{};
      const double channels = fch.linear + sch0.linear;
      const double pich = pich_dbm(p.agc, channels);
      if (h.fch) w.Double(ATTR_ID_Rev_Tx_Pwr_FCH, pich + fch.db);
      if (h.sch0) w.Double(ATTR_ID_Rev_Tx_Pwr_SCH0, pich + sch0.db);
      ++s.frames;
      s.increase += dec.zeros;
      s.decrease += dec.ones;
      s.rx += p.rx;
      s.gain_adjust += p.gain_adjust;
      s.tx += p.tx;
      s.agc += p.agc;
      s.pich += pich;
      s.fch += pich + fch.db;
      s.sch0 += pich + sch0.db;
      s.last_channels = channels;
    }
    // A record without a whole frame has no means to write or show.
    if (s.frames > 0) {
      const double n = s.frames;
      cdmadiag::AgcPowers mean;
      mean.rx = s.rx / n;
      mean.gain_adjust = s.gain_adjust / n;
      mean.tx = s.tx / n;
      mean.agc = s.agc / n;
      cdmadiag::WriteAgcPowers(w, mean);
      if (s.last_channels > 0.0) w.Double(ATTR_ID_Rev_Tx_Pwr_PICH, s.pich / n);
      if (text) {
        appendf(d,
                "\nDecision History for Power Control Group - Increase in transmit power: %.2f %%, Decrease in "
                "transmit power: %.2f %%",
                s.increase / n, s.decrease / n);
        append_reverse_powers(d, mean.rx, mean.agc, mean.gain_adjust, s.pich / n);
        append_channel_power(d, "\nR-FCH transmit power: ", h.fch, s.fch / n);
        append_channel_power(d, ", R-SCH0 transmit power: ", h.sch0, s.sch0 / n);
        d += ", R-SCH1 transmit power: N/A, R-DCCH transmit power: N/A";
      }
    }
    if (cut) return (void)job.fail(cdmadiag::kCorruptedContent);
  }
}

// Fast forward power control statistics. Header, 10 bytes:
//  +off  type  name               unit
//   +0   u8    FrameOffset        bits 4-7
//   +1   u8    FpcMode            bits 0-3; bits 4-7 not shown
//   +2   u16   ServiceOption      bits 0-11
//   +4   u8    FpcSubchannelGain
//   +5   u8    FwdRc              bits 0-3 FCH, bits 4-7 SCH0 radio configuration (SCH1, DCCH not carried)
//   +6   u8    PrimarySubchannel  0 F_FCH, 1 F_DCCH
//   +7   u8    FrameCount         shown
//   +8   u8    Channels           bit 0 FCH, bit 1 SCH0, bits 4-6 supplemental code channels
//   +9   u8    Frames             frames that follow
// Frame, 4 bytes, 6 with SCH0:
//   +0   u16   DecisionHistory    one bit per power control group
//   +2   u8    FchSetpoint        0.125 dB
//   +3   u8    FchFrame           bits 0-3 rate, bits 4-7 type
//   +4   u8    Sch0Setpoint       0.125 dB, SCH0 active only
//   +5   u8    Sch0Rate           SCH0 active only
namespace {
constexpr std::array<ValueName, 3> kForwardFchTypeNames{
    {{0, "Payload only"}, {1, "Dim and burst frame"}, {2, "Blank and burst frame"}}};
constexpr std::size_t kFfsFrameSize = 4;
constexpr std::size_t kFfsSch0Size = 2;
}  // namespace

void F::DecodeFastFwdPowControlStats(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeFastFwdPowControlStats);
  Cursor c(payload());
  const std::uint8_t frame_offset = c.u8();
  const std::uint8_t mode = c.u8();
  const std::uint16_t service_word = c.u16le();
  const std::uint8_t subchannel_gain = c.u8();
  const std::uint8_t rc = c.u8();
  const std::uint8_t primary_subchannel = c.u8();
  const std::uint8_t frame_count = c.u8();
  const std::uint8_t channels = c.u8();
  const std::uint8_t frames = c.u8();
  if (!job.check(c)) return;
  const bool fch = (channels & 1u) != 0;
  const bool sch0 = (channels & 2u) != 0;
  const unsigned service_option = static_cast<unsigned>(cdmadiag::bits(service_word, 0, 12));
  const AttrWriter w(ds);
  w.Long(ATTR_ID_CDMA_ServiceOption, static_cast<std::int32_t>(service_option));
  w.Long(ATTR_ID_For_FCH_Is_Active, fch ? 1 : 0);
  w.Long(ATTR_ID_For_SCH0_Is_Active, sch0 ? 1 : 0);
  w.Long(ATTR_ID_For_SCH1_Is_Active, 0);
  w.Long(ATTR_ID_For_DCCH_Is_Active, 0);

  const bool text = msg.detailsWanted;
  std::string& d = msg.details;
  if (text) {
    appendf(d, "Frame offset: %u, Service option: %u, ", static_cast<unsigned>(frame_offset >> 4), service_option);
    const std::string primary =
        std::string("Primary subchannel indicator: ") + name_or(kPrimarySubchannelNames, primary_subchannel, kUnknown);
    appendf(d, "Fpc Mode: %u, %s, \nFPC Subchannel gain: %u", static_cast<unsigned>(mode & 0x0Fu), primary.c_str(),
            unsigned{subchannel_gain});
    cdmadiag::AppendRadioConfigs(d, cdmadiag::Link::kForward, cdmadiag::RadioConfigsOfNibbles(rc, 0),
                                 cdmadiag::kRule61);
    cdmadiag::AppendChannelSetMask(d, cdmadiag::Link::kForward,
                                   {fch, sch0, false, false, static_cast<int>(cdmadiag::bits(channels, 4, 3))},
                                   cdmadiag::kRule55);
    appendf(d, "\nFrame Count: %u", unsigned{frame_count});
  }

  cdmadiag::FrameCounters counts;
  const std::size_t size = kFfsFrameSize + (sch0 ? kFfsSch0Size : 0);
  bool cut = false;
  for (unsigned k = 0; k < frames; ++k) {
    Cursor frame = c.record(size);
    if (!frame.ok()) {
      cut = true;
      break;
    }
    const std::uint16_t history = frame.u16le();
    const double fch_setpoint = setpoint_db(frame.u8());
    const std::uint8_t fch_frame = frame.u8();
    const unsigned fch_rate = fch_frame & 0x0Fu;
    const unsigned fch_type = fch_frame >> 4;
    if (fch) counts.CountFch(fch_type, fch_rate);
    w.Double(ATTR_ID_Set_Point_FCH, fch_setpoint);
    if (text) {
      append_forward_decisions(d, history);
      appendf(d, "\nFPC_FCH_CURR_SETPT: %.2f, F-FCH Frame rate: %s, F-FCH Frame type: %s", fch_setpoint,
              name_or(cdmadiag::kFchRateNames, fch_rate, cdmadiag::kInvalidFrame),
              name_or(kForwardFchTypeNames, fch_type, cdmadiag::kInvalidFrame));
    }
    if (sch0) {
      const double sch0_setpoint = setpoint_db(frame.u8());
      const std::uint8_t sch0_rate = frame.u8();
      cdmadiag::FrameCounters::CountSch(counts.sch0, sch0_rate, counts.invalid);
      w.Double(ATTR_ID_Set_Point_SCH0, sch0_setpoint);
      if (text) {
        appendf(d, ", FPC_SCH0_CURR_SETPT: %.2f, SCH0 Frame rate: %s", sch0_setpoint,
                name_or(cdmadiag::kForwardSchRateNames, sch0_rate, cdmadiag::kInvalidFrame));
      }
    }
  }

  if (w.on()) SetFrameAttributes(ds, counts.fch, counts.sch0, counts.sch1, counts.dcch_rate, counts.scch, true);
  const double fer_fch = cdmadiag::FchFerPercent(counts);
  const double fer_sch0 = cdmadiag::SchFerPercent(counts.sch0);
  const double fer_sch1 = cdmadiag::SchFerPercent(counts.sch1);
  w.Double(ATTR_ID_ForwardFER_FCH, fer_fch);
  w.Double(ATTR_ID_ForwardFER_SCH0, fer_sch0);
  w.Double(ATTR_ID_ForwardFER_SCH1, fer_sch1);
  if (!text) return;
  appendf(d, "\nForward FER values: \nForwardFER_FCH: %.2f\nForwardFER_SCH0: %.2f\nForwardFER_SCH1: %.2f", fer_fch,
          fer_sch0, fer_sch1);
  if (cut) job.fail(cdmadiag::kCorruptedContent);
}

// Reverse power control statistics. Header, 8 bytes:
//  +off  type  name           unit
//   +0   u8    FrameOffset
//   +1   u8    BandClass
//   +2   u16   ServiceOption  bits 0-11
//   +4   u8    GatedRate      as the reverse power control report's
//   +5   u8    StepSize
//   +6   u8    Frames         frame records that follow
//   +7   u8    -              not read
// Frame record, 8 bytes, then Entries channel entries of 4 bytes:
//   +0   u16   DecisionHistory     one bit per power control group, 0 an increase
//   +2   s8    RxAgc               1/3 dB (RX)
//   +3   u8    TxAgc               4 x 0.08333 dB (AGC transmit power)
//   +4   s8    TxGainAdjust        -0.5 dB
//   +5   u8    MaxPowerProtection  0 not applicable, 1 no, 2 yes
//   +6   u8    UpperTxLimit        whole thirds of a dB over -52.33 dBm
//   +7   u8    Entries
// Channel entry:
//   +0   u8    bits 0-1 channel (0 FCH, 1 SCH0, 2 SCH1, 3 DCCH), bits 2-3 FCH frame type, bits 4-7 radio configuration
//   +1   u8    Rate                FCH rate, SCH rate or DCCH MUX PDU category
//   +2   s16   Gain                0.125 dB over the pilot
namespace {
constexpr std::array<ValueName, 3> kMaxPowerProtectionNames{{{0, "Not applicable"}, {1, "No"}, {2, "Yes"}}};
constexpr std::array<ValueName, 4> kReverseSch0RateNames{
    {{0, "Full rate frame"}, {1, "Blank(DTX) frame"}, {2, "Erasure"}, {3, "SCCH not active (SCCH only)"}}};
constexpr std::size_t kRpsFrameSize = 8;
constexpr std::size_t kEntrySize = 4;

enum Channel : unsigned { kFch = 0, kSch0 = 1, kSch1 = 2, kDcch = 3, kChannels = 4 };

struct ChannelEntry {
  bool present = false;
  unsigned fch_type = 0, rc = 0, rate = 0;
  ChannelGain gain;
};

void append_entry(std::string& d, Channel ch, const ChannelEntry& e) {
  const int rc = static_cast<int>(e.rc);
  switch (ch) {
    case kFch:
      appendf(d, "\nReverse channel radio configuraiton: %d, Channel type: FCH, Frame Type: %s, Frame Rate: %s", rc,
              name_or(cdmadiag::kFchTypeNames, e.fch_type, cdmadiag::kInvalidFrame),
              name_or(cdmadiag::kFchRateNames, e.rate, cdmadiag::kInvalidFrame));
      break;
    case kSch0:
      appendf(d, "\nReverse channel radio configuraiton: %d, Channel type: SCH0, Frame Rate: %s\n", rc,
              name_or(kReverseSch0RateNames, e.rate, cdmadiag::kInvalidFrame));
      break;
    case kSch1:
      appendf(d, "\nReverse channel radio configuraiton: %d, Channel type: SCH1, Frame Rate: %s\n", rc,
              name_or(cdmadiag::kReverseSchRateNames, e.rate, cdmadiag::kInvalidFrame));
      break;
    case kDcch:
      appendf(d, "\nReverse channel radio configuraiton: %d, Channel type: DCCH, MUX PDU category: %d\n", rc,
              static_cast<int>(e.rate));
      break;
    case kChannels: break;
  }
}
}  // namespace

void F::DecodeReversePowerCtrlStat(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeReversePowerCtrlStat);
  Cursor c(payload());
  const std::uint8_t frame_offset = c.u8();
  const std::uint8_t band_class = c.u8();
  const std::uint16_t service_word = c.u16le();
  const std::uint8_t gated_rate = c.u8();
  const std::uint8_t step_size = c.u8();
  const std::uint8_t frames = c.u8();
  c.skip(1);
  if (!job.check(c)) return;
  const unsigned service_option = static_cast<unsigned>(cdmadiag::bits(service_word, 0, 12));
  const AttrWriter w(ds);
  w.Long(ATTR_ID_CDMA_ServiceOption, static_cast<std::int32_t>(service_option));
  const int band = cdmadiag::DetermineBandIndex(ds, kReverseBandOrder, band_class);
  const std::int8_t power_class = cdmadiag::PowerClass(ds);
  const std::array<const std::uint32_t*, kChannels> power_ids = {&ATTR_ID_Rev_Tx_Pwr_FCH, &ATTR_ID_Rev_Tx_Pwr_SCH0,
                                                                 &ATTR_ID_Rev_Tx_Pwr_SCH1, &ATTR_ID_Rev_Tx_Pwr_DCCH};

  const bool text = msg.detailsWanted;
  std::string& d = msg.details;
  cdmadiag::FrameCounters counts;
  bool cut = false;
  for (unsigned k = 1; k <= frames && !cut; ++k) {
    Cursor frame = c.record(kRpsFrameSize);
    if (!frame.ok()) {
      cut = true;
      break;
    }
    const std::uint16_t history = frame.u16le();
    const std::int8_t rx_agc = frame.i8();
    const std::uint8_t tx_agc = frame.u8();
    const std::int8_t gain_adjust = frame.i8();
    const std::uint8_t protection = frame.u8();
    const std::uint8_t upper_limit_raw = frame.u8();
    const std::uint8_t count = frame.u8();
    // Entries are taken only while whole: the count may promise more than the packet holds.
    std::array<ChannelEntry, kChannels> entries{};
    double channels = 0.0;
    for (unsigned i = 0; i < count; ++i) {
      Cursor entry = c.record(kEntrySize);
      if (!entry.ok()) {
        cut = true;
        break;
      }
      const std::uint8_t b = entry.u8();
      const std::uint8_t rate = entry.u8();
      const std::int16_t gain = entry.i16le();
      const auto ch = static_cast<Channel>(b & 3u);
      ChannelEntry& x = entries[ch];
      x = {true, static_cast<unsigned>(cdmadiag::bits(b, 2, 2)), static_cast<unsigned>(b >> 4), rate,
           channel_gain(gain)};
      channels += x.gain.linear;
      switch (ch) {
        case kFch: counts.CountFch(x.fch_type, x.rate); break;
        case kSch0: cdmadiag::FrameCounters::CountSch(counts.sch0, x.rate, counts.invalid); break;
        case kSch1: cdmadiag::FrameCounters::CountSch(counts.sch1, x.rate, counts.invalid); break;
        case kDcch: counts.dcch_rate = static_cast<std::int32_t>(x.rate); break;
        case kChannels: break;
      }
    }
    const cdmadiag::AgcPowers p = ConvertAgcPowers(rx_agc, tx_agc, gain_adjust, band, power_class);
    const double pich = pich_dbm(p.agc, channels);
    for (unsigned ch = 0; ch < kChannels; ++ch) {
      if (entries[ch].present) w.Double(*power_ids[ch], pich + entries[ch].gain.db);
    }

    if (text) {
      appendf(d, "\n\t\t\t\t--------------- Frame Record %u ---------------\n", k);
      appendf(d,
              "Frame Offset: %u\n Band Class: %s\n Service Option: %u\n Gated Transmission Rate: %s\n Step Size: %u\n "
              "Frame Cnt: %u\n",
              unsigned{frame_offset}, name_or(kBandClassNames, band_class, kUnknown), service_option,
              name_or(kGatedRateNames, gated_rate, kNoGating), unsigned{step_size}, unsigned{frames});
      cdmadiag::AppendChannelSetMask(
          d, cdmadiag::Link::kReverse,
          {entries[kFch].present, entries[kSch0].present, entries[kSch1].present, entries[kDcch].present, std::nullopt},
          "");
      for (unsigned ch = 0; ch < kChannels; ++ch) {
        if (entries[ch].present) append_entry(d, static_cast<Channel>(ch), entries[ch]);
      }
      const Decisions dec = decisions_of(history);
      // Whole thirds of a dB, the remainder dropped.
      const double upper_limit = upper_limit_raw / 3 - 52.33;
      appendf(d,
              "\nDecision History for Power Control Group - Increase in transmit power: %.2f %%, Decrease in transmit "
              "power: %.2f %%, Upper limit on TX power (dBm): %.2f",
              dec.zeros, dec.ones, upper_limit);
      appendf(d, "\nMax Power Protection in effect : (%d) %s", int{protection},
              name_or(kMaxPowerProtectionNames, protection, ""));
      append_reverse_powers(d, p.rx, p.agc, p.gain_adjust, pich);
      constexpr std::array<const char*, kChannels> labels = {"\nR-FCH transmit power: ", ", R-SCH0 transmit power: ",
                                                             ", R-SCH1 transmit power: ", ", R-DCCH transmit power: "};
      for (unsigned ch = 0; ch < kChannels; ++ch) {
        d += labels[ch];
        if (!entries[ch].present) {
          d += "Not applicable";
        } else if (ch == kDcch) {
          appendf(d, "%.2f dBm, DCCH Mux PDU category: %u", pich + entries[ch].gain.db, entries[ch].rate);
        } else {
          appendf(d, "%.2f dBm", pich + entries[ch].gain.db);
        }
      }
    }
  }

  if (w.on()) SetFrameAttributes(ds, counts.fch, counts.sch0, counts.sch1, counts.dcch_rate, counts.scch, false);
  if (cut) job.fail(cdmadiag::kCorruptedContent);
}
