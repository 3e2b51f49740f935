// EV-DO reverse link: packet summary (0x1060), traffic rate counts (0x1062), reverse
// power control (0x1063), reverse activity bits buffer (0x106D) and info (0x1072),
// connected-state transmit statistics (0x1188).
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "evdo/evdo_common.h"
#include "evdo/rri_name.h"
#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/failure_texts.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrReader;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::held_integer;
using cdmadiag::name_or;
using cdmadiag::evdo::db_from_256ths;
using cdmadiag::evdo::RriName;
using F = COrbDecodeMsgCDMA1xEVDOQualcommFrame;

// ---- Reverse link packet summary ----
//  +off  type  name                           unit
//   +0   u8    ReverseRateLimit
//   +1   u8    CurrentRate
//   +2   u8    CombinedBusyBit
//   +3   u32   RandomVariable
//   +7   u32   TransitionProbability          1/10000
//  +11   u8    PAMax
//  +12   u8    PredictedRRI
//  +13   u8    RRI (used for transmitting)
//  +14   u8    NumPadBytes
[[maybe_unused]] constexpr std::size_t kSumSize = 15;

// ---- Reverse traffic rate count ----
//  +off  type  name        unit
//   +0   u32   Rate9600    packets
//   +4   u32   Rate19200   packets
//   +8   u32   Rate38400   packets
//  +12   u32   Rate76800   packets
//  +16   u32   Rate153600  packets
constexpr std::size_t kRates = 5;
constexpr std::uint64_t kBitsPerSlowestPacket = 9600;  // a packet at rate k carries 2^k times as many

// ---- Reverse power control ----
//  +off  type  name         unit
//   +0   u8    NumRecords   N, then N records of 19 bytes:
//   +0   s16   RxAGC        1/256 dB
//   +2   s16   TxTotal      1/256 dB (limited)
//   +4   s16   TxAdjust     1/256 dB
//   +6   s16   RPCHistory
//   +8   s16   TxPilot      1/256 dB
//  +10   s16   DRCGain      linear
//  +12   s16   ACKGain      linear
//  +14   s16   DataGain     linear
//  +16   s16   PilotGain    linear
//  +18   u8    bits 0-3 MaxTxPwrRRI, bits 4-7 DRCLockPeriod
constexpr std::size_t kPcRecord = 19;

constexpr std::array<ValueName, 2> kDrcLockPeriodNames{{{0, "Hold is every 8 slots"}, {1, "Hold is every 16 slots"}}};

// ---- Reverse activity bits buffer ----
//  +off  type  name                unit
//   +0   u16   RAB of ASP 1 to 6   bit s = slot s; records of 12 bytes back to back
constexpr std::size_t kRabRecord = 12;
constexpr std::size_t kRabPilots = 6;
constexpr std::size_t kRabSlots = 16;

// ---- Reverse activity bits info ----
//  +off  type  name           unit
//   +0   u8    Count          pilots, then Count records of 4 bytes:
//   +0   u8    RABBitLength
//   +1   u8    RABOffset
//   +2   u16   PN

// ---- Connected state transmit statistics ----
//  +off  type  name                                       unit
//   +0   u8    Version
//   +1   u32   1st/2nd/3rd attempt successes, failures    since last reset
//  +17   u32   1st/2nd/3rd attempt successes, failures    since last call
constexpr std::size_t kTxStatsCounters = 8;

// A channel gain over the pilot gain in dB. Empty where no logarithm exists: the
// channel is off (gain 0), or a negative gain or a pilot gain of 0 or below would
// give NaN or an infinity that would poison the packet's average.
std::optional<double> gain_to_pilot_db(std::int16_t gain, std::int16_t pilot) {
  if (gain <= 0 || pilot <= 0) return std::nullopt;
  return 20.0 * std::log10(gain) - 20.0 * std::log10(pilot);
}

// One channel's ratio text: "Off" for a channel that is off, "n/a" where the
// gains admit no ratio.
std::string gain_text(std::int16_t gain, const std::optional<double>& db) {
  if (db) return cdmadiag::fixed_text(*db, 2);
  return gain == 0 ? "Off" : "n/a";
}

struct ChannelMean {
  double sum = 0.0;
  unsigned count = 0;
  void add(const std::optional<double>& db) {
    if (db) {
      sum += *db;
      ++count;
    }
  }
  std::optional<double> mean() const { return count == 0 ? std::nullopt : std::optional<double>(sum / count); }
};

}  // namespace

void F::DecodeRevLinkPacketSummary(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRevLinkPacketSummary);
  Cursor c(payload());
  const std::uint8_t rate_limit = c.u8();
  const std::uint8_t current_rate = c.u8();
  const std::uint8_t busy = c.u8();
  const std::uint32_t random = c.u32le();
  const std::uint32_t transition_logged = c.u32le();
  const std::uint8_t pa_max = c.u8();
  const std::uint8_t predicted = c.u8();
  const std::uint8_t rri = c.u8();
  const std::uint8_t pad = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kSumSize);
  const double transition = transition_logged * 0.0001;

  const AttrWriter w(ds);
  w.Byte(ATTR_ID_EVDO_RLINKPKTSUMMARY_RXRATE_LIMIT, rate_limit);
  w.Byte(ATTR_ID_EVDO_RLINKPKTSUMMARY_CURRENT_RATE, current_rate);
  w.Byte(ATTR_ID_EVDO_RLINKPKTSUMMARY_COMB_BUSY_BIT, busy);
  w.ULong(ATTR_ID_EVDO_RLINKPKTSUMMARY_RANDOM_VARIABLE, random);
  w.Double(ATTR_ID_EVDO_RLINKPKTSUMMARY_TRANSITION_PROBABILITY, transition);
  w.Byte(ATTR_ID_EVDO_RLINKPKTSUMMARY_PA_MAX, pa_max);
  w.Byte(ATTR_ID_EVDO_RLINKPKTSUMMARY_PREDICTED_RRI, predicted);
  w.Byte(ATTR_ID_EVDO_RLINKPKTSUMMARY_RRI, rri);
  w.Byte(ATTR_ID_EVDO_RLINKPKTSUMMARY_NUM_PAD_BYTES, pad);

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\nReverse Rate Limit: %u\nCurrent Rate: %u\nCombined Busy Bit: %u (%s)\nRandom Variable: %lu\n",
          unsigned{rate_limit}, unsigned{current_rate}, unsigned{busy},
          busy != 0 ? "rev activity bits from sectors of the AT active set is 1"
                    : "rev activity bits from sectors of the AT active set is 0",
          static_cast<unsigned long>(random));
  appendf(out, "\nTransition Probability (logged): %lu\tTransition Probability (actual): %.2f\nPA Max: %u\n",
          static_cast<unsigned long>(transition_logged), transition, unsigned{pa_max});
  appendf(out,
          "Predicted Reverse Rate Index: %u (%s)\nReverse Rate Index used for transmitting: %u (%s)\nNum Pad bytes: %u",
          unsigned{predicted}, RriName(predicted), unsigned{rri}, RriName(rri), unsigned{pad});
}

void F::DecodeRevTrafficRateCount(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRevTrafficRateCount);
  Cursor c(payload());
  const std::array<std::uint32_t, kRates> counts = c.u32les<kRates>();
  if (!job.check(c)) return;
  std::uint64_t packets = 0;
  std::uint64_t bits = 0;
  for (std::size_t k = 0; k < kRates; ++k) {
    packets += counts[k];
    bits += (kBitsPerSlowestPacket << k) * counts[k];
  }
  const double cumulative = packets == 0 ? 0.0 : static_cast<double>(bits) / (static_cast<double>(packets) * 1000.0);

  // Over the packets since the previous report, read back before this one is written.
  const AttrReader rd(ds);
  const auto prev_bits = held_integer(rd.latest(ATTR_ID_EVDO_REVTRATECT_TOTAL_BITS_TX));
  const auto prev_packets = held_integer(rd.latest(ATTR_ID_EVDO_REVTRATECT_TOTAL_PKT_COUNT));
  double instantaneous = cumulative;
  if (prev_bits && prev_packets) {
    const auto p = static_cast<std::int64_t>(packets);
    const auto b = static_cast<std::int64_t>(bits);
    // Fewer packets or fewer bits than before means the counters restarted; the
    // difference would then be a negative throughput.
    if (p == *prev_packets) {
      instantaneous = 0.0;
    } else if (p > *prev_packets && b >= *prev_bits) {
      instantaneous = static_cast<double>(b - *prev_bits) / static_cast<double>(p - *prev_packets) * 0.001;
    }
  }

  const AttrWriter w(ds);
  w.ULong(ATTR_ID_EVDO_REVTRATECT_RATE9600, counts[0]);
  w.ULong(ATTR_ID_EVDO_REVTRATECT_RATE19200, counts[1]);
  w.ULong(ATTR_ID_EVDO_REVTRATECT_RATE38400, counts[2]);
  w.ULong(ATTR_ID_EVDO_REVTRATECT_RATE76800, counts[3]);
  w.ULong(ATTR_ID_EVDO_REVTRATECT_RATE153600, counts[4]);
  w.UInt64(ATTR_ID_EVDO_REVTRATECT_TOTAL_BITS_TX, bits);
  w.UInt64(ATTR_ID_EVDO_REVTRATECT_TOTAL_PKT_COUNT, packets);
  w.Double(ATTR_ID_EVDO_REVTRATECT_AVG_TPUT_CUM, cumulative);
  w.Double(ATTR_ID_EVDO_REVTRATECT_AVG_TPUT_INST, instantaneous);

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Rate9600: %lu\nRate19200: %lu\nRate38400: %lu\nRate76800: %lu\nRate153600: %lu\n",
          static_cast<unsigned long>(counts[0]), static_cast<unsigned long>(counts[1]),
          static_cast<unsigned long>(counts[2]), static_cast<unsigned long>(counts[3]),
          static_cast<unsigned long>(counts[4]));
  out += "\t\n";
  appendf(out, "Avg Throughput Instantaneous: %.2f kbps\nAvg Throughput Cumulative: %.2f kbps\n", instantaneous,
          cumulative);
}

void F::DecodeReversePowerCtrl(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeReversePowerCtrl);
  Cursor c(payload());
  const unsigned n = c.u8();
  if (!job.check(c) || !job.require(c, kPcRecord * n)) return;

  const AttrWriter w(ds);
  std::string* out = msg.detailsWanted ? &msg.details : nullptr;
  w.Byte(ATTR_ID_EVDO_REVERSEPOWERCTRL_NUM_RECORDS, static_cast<std::uint8_t>(n));
  if (out) {
    appendf(*out, "NumRecords: %d\n", static_cast<int>(n));
    *out +=
        "\t\nNum\tRxAGC(dB)\tTxTotal(dB)\tTxAdjust(dB)\tRPCHist.\tTxPilot(dB)\tDRCChan(dB)\tACKChan(dB)\tDataChan(dB)"
        "\tPilotGain\tMaxTxPwrRRI\tDRCLockPer\n";
  }

  double mean_rx_agc = 0.0, mean_tx_total = 0.0, mean_tx_adjust = 0.0, mean_tx_pilot = 0.0;
  ChannelMean drc_mean, ack_mean, data_mean;
  for (unsigned i = 0; i < n; ++i) {
    Cursor rec = c.record(kPcRecord);
    const double rx_agc = db_from_256ths(rec.i16le());
    const double tx_total = db_from_256ths(rec.i16le());
    const double tx_adjust = db_from_256ths(rec.i16le());
    const std::int16_t rpc_history = rec.i16le();
    const double tx_pilot = db_from_256ths(rec.i16le());
    const std::int16_t drc_gain = rec.i16le();
    const std::int16_t ack_gain = rec.i16le();
    const std::int16_t data_gain = rec.i16le();
    const std::int16_t pilot_gain = rec.i16le();
    const std::uint8_t rri_lock = rec.u8();
    const auto max_tx_pwr_rri = static_cast<std::uint8_t>(cdmadiag::bits(rri_lock, 0, 4));
    const auto lock_period = static_cast<std::uint8_t>(cdmadiag::bits(rri_lock, 4, 4));
    const auto drc_db = gain_to_pilot_db(drc_gain, pilot_gain);
    const auto ack_db = gain_to_pilot_db(ack_gain, pilot_gain);
    const auto data_db = gain_to_pilot_db(data_gain, pilot_gain);
    drc_mean.add(drc_db);
    ack_mean.add(ack_db);
    data_mean.add(data_db);
    mean_rx_agc += rx_agc / n;
    mean_tx_total += tx_total / n;
    mean_tx_adjust += tx_adjust / n;
    mean_tx_pilot += tx_pilot / n;

    if (out) {
      appendf(*out, "%d\t%.2f\t\t%.2f\t\t%.2f\t\t%4d\t\t%.2f\t\t%s\t\t%s\t\t%s\t\t%4d\t\t%8u\t\t%s\n",
              static_cast<int>(i + 1), rx_agc, tx_total, tx_adjust, int{rpc_history}, tx_pilot,
              gain_text(drc_gain, drc_db).c_str(), gain_text(ack_gain, ack_db).c_str(),
              gain_text(data_gain, data_db).c_str(), int{pilot_gain}, unsigned{max_tx_pwr_rri},
              name_or(kDrcLockPeriodNames, lock_period, "Reserved"));
    }
    if (!w.on()) continue;
    w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_RX_AGC_FOR_FRAME, rx_agc, i);
    w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_TX_TOTAL_LIMITED_FOR_FRAME, tx_total, i);
    w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_TX_ADJUST_FOR_FRAME, tx_adjust, i);
    w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_TX_PILOT_FOR_FRAME, tx_pilot, i);
    w.Short(ATTR_ID_EVDO_REVERSEPOWERCTRL_RPC_HISTORY_FOR_FRAME, rpc_history, i);
    w.Short(ATTR_ID_EVDO_REVERSEPOWERCTRL_DRC_CHAN_GAIN_FOR_FRAME, drc_gain, i);
    w.Short(ATTR_ID_EVDO_REVERSEPOWERCTRL_ACK_CHAN_GAIN_FOR_FRAME, ack_gain, i);
    w.Short(ATTR_ID_EVDO_REVERSEPOWERCTRL_DATA_CHAN_GAIN_FOR_FRAME, data_gain, i);
    w.Short(ATTR_ID_EVDO_REVERSEPOWERCTRL_PILOT_CHAN_GAIN_FOR_FRAME, pilot_gain, i);
    const auto ratio = [&w, i](std::uint32_t id, const std::optional<double>& db) {
      if (db) {
        w.Double(id, *db, i);
      } else {
        w.NoValue(id, i);
      }
    };
    ratio(ATTR_ID_EVDO_REVERSEPOWERCTRL_DRC_CHAN_TO_PILOT_FOR_FRAME, drc_db);
    ratio(ATTR_ID_EVDO_REVERSEPOWERCTRL_ACK_CHAN_TO_PILOT_FOR_FRAME, ack_db);
    ratio(ATTR_ID_EVDO_REVERSEPOWERCTRL_DATA_CHAN_TO_PILOT_FOR_FRAME, data_db);
    w.Byte(ATTR_ID_EVDO_REVERSEPOWERCTRL_MAX_TX_PWR_RRI_FOR_FRAME, max_tx_pwr_rri, i);
    w.Byte(ATTR_ID_EVDO_REVERSEPOWERCTRL_DRC_LOCK_PERIOD_FOR_FRAME, lock_period, i);
  }

  // With no records there is nothing to average: a 0 dB mean would be a false reading.
  const bool any = n > 0;
  if (any) {
    w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_AVG_RX_AGC, mean_rx_agc);
    w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_AVG_TX_TOTAL_LIMITED, mean_tx_total);
    w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_AVG_TX_ADJUST, mean_tx_adjust);
    w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_AVG_TX_PILOT, mean_tx_pilot);
  }
  if (const auto m = drc_mean.mean()) w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_AVG_DRC_CHAN_GAIN, *m);
  if (const auto m = ack_mean.mean()) w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_AVG_ACK_CHAN_GAIN, *m);
  if (const auto m = data_mean.mean()) w.Double(ATTR_ID_EVDO_REVERSEPOWERCTRL_AVG_DATA_CHAN_GAIN, *m);

  if (!out) return;
  *out += "\n";
  if (any) {
    appendf(*out, "Avg RxAGC: %.2f dB\nAvg TxTotalLimited: %.2f dB\nAvg TxAdjust: %.2f dB\nAvg TxPilot: %.2f dB\n",
            mean_rx_agc, mean_tx_total, mean_tx_adjust, mean_tx_pilot);
  } else {
    *out += "Avg RxAGC: n/a\nAvg TxTotalLimited: n/a\nAvg TxAdjust: n/a\nAvg TxPilot: n/a\n";
  }
  const auto channel = [out](const char* label, const std::optional<double>& m) {
    if (m) {
      appendf(*out, "Avg %s: %.2f dB\n", label, *m);
    } else {
      appendf(*out, "Avg %s: n/a\n", label);
    }
  };
  channel("DRCChannelGain", drc_mean.mean());
  channel("AckChannelGain", ack_mean.mean());
  channel("DataChannelGain", data_mean.mean());
}

void F::DecodeReverseActivityBitsBuffer(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeReverseActivityBitsBuffer);
  Cursor c(payload());
  // Whole records back to back, at least one.
  const std::size_t n = c.left() / kRabRecord;
  if (n == 0 || c.left() % kRabRecord != 0) return (void)job.fail(cdmadiag::kCorruptedMessage);
  // Counted wide: a long buffer holds more than 255 records, where an 8-bit count
  // would wrap and turn an always-set bit into 0.
  std::array<std::array<std::uint32_t, kRabPilots>, kRabSlots> set{};
  for (std::size_t k = 0; k < n; ++k) {
    for (std::size_t a = 0; a < kRabPilots; ++a) {
      const std::uint16_t word = c.u16le();
      for (std::size_t s = 0; s < kRabSlots; ++s) set[s][a] += (word >> s) & 1u;
    }
  }
  std::array<std::array<std::uint8_t, kRabPilots>, kRabSlots> mean{};
  for (std::size_t s = 0; s < kRabSlots; ++s) {
    for (std::size_t a = 0; a < kRabPilots; ++a) mean[s][a] = static_cast<std::uint8_t>(set[s][a] / n);
  }

  if (const AttrWriter w(ds); w.on()) {
    static const std::array<const std::uint32_t*, kRabPilots> kIds{
        &ATTR_ID_EVDO_REVACTIVITYBITSBUF_RAB_ASPIDX1_FOR_SLOT, &ATTR_ID_EVDO_REVACTIVITYBITSBUF_RAB_ASPIDX2_FOR_SLOT,
        &ATTR_ID_EVDO_REVACTIVITYBITSBUF_RAB_ASPIDX3_FOR_SLOT, &ATTR_ID_EVDO_REVACTIVITYBITSBUF_RAB_ASPIDX4_FOR_SLOT,
        &ATTR_ID_EVDO_REVACTIVITYBITSBUF_RAB_ASPIDX5_FOR_SLOT, &ATTR_ID_EVDO_REVACTIVITYBITSBUF_RAB_ASPIDX6_FOR_SLOT};
    for (std::size_t s = 0; s < kRabSlots; ++s) {
      for (std::size_t a = 0; a < kRabPilots; ++a) w.Byte(*kIds[a], mean[s][a], static_cast<std::uint32_t>(s));
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  out += "\t\tASPIndex 1\tASPIndex 2\tASPIndex 3\tASPIndex 4\tASPIndex 5\tASPIndex 6\n\t\t";
  out.append(154, '-');
  out += "\n";
  for (std::size_t s = 0; s < kRabSlots; ++s) {
    const auto& m = mean[s];
    appendf(out, "RAB_Slot[%d]:\t%8u\t\t%8u\t\t%8u\t\t%8u\t\t%8u\t\t%8u\n", static_cast<int>(s), m[0], m[1], m[2], m[3],
            m[4], m[5]);
  }
}

void F::DecodeReverseActivityBitsInfo(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeReverseActivityBitsInfo);
  Cursor c(payload());
  const unsigned count = c.u8();
  if (!job.check(c)) return;
  const AttrWriter w(ds);
  std::string* out = msg.detailsWanted ? &msg.details : nullptr;
  if (out) {
    *out += "PN\tRABOffset\tRABBitLength\n";
    out->append(66, '-');
    *out += "\n";
  }
  for (unsigned i = 0; i < count; ++i) {
    // A count beyond the payload shows the whole records, then the failure.
    const std::uint8_t bit_length = c.u8();
    const std::uint8_t offset = c.u8();
    const std::uint16_t pn = c.u16le();
    if (!job.check(c)) return;
    w.Byte(ATTR_ID_EVDO_REVACTIVITYBITSINFO_RAB_OFFSET_FOR_PN, offset, pn);
    w.Byte(ATTR_ID_EVDO_REVACTIVITYBITSINFO_RAB_BIT_LENGTH_FOR_PN, bit_length, pn);
    if (out) appendf(*out, "%u\t%8u\t\t%8u\n", unsigned{pn}, unsigned{offset}, unsigned{bit_length});
  }
}

void F::DecodeConnectedStateTransmitStatistics(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeConnectedStateTransmitStatistics);
  Cursor cursor(payload());
  const std::uint8_t version = cursor.u8();
  const std::array<std::uint32_t, kTxStatsCounters> c = cursor.u32les<kTxStatsCounters>();
  // Reported, not thrown, although stage 2 runs it inside the guard: a member
  // decoder's failure shows in its details instead of vanishing into the guard.
  if (!job.check(cursor)) return;
  if (!msg.detailsWanted) return;
  // Counters are unsigned: printed as such, a count past 2^31 does not turn negative.
  std::string& out = msg.details;
  appendf(out, "Version: %d\n-\n", int{version});
  appendf(out, "Total number of 1st attempt successful transmissions since last reset: %u\n", c[0]);
  appendf(out, "Total number of 2nd attempt successful transmissions since last reset: %u\n", c[1]);
  appendf(out, "Total number of 3rd attempt successful transmissions since last reset: %u\n", c[2]);
  appendf(out, "Total number of transmit failures since last reset: %u\n-\n", c[3]);
  appendf(out, "Total number of 1st attempt successful transmissions since last call: %u\n", c[4]);
  appendf(out, "Total number of 2nd attempt successful transmissions since last call: %u\n", c[5]);
  appendf(out, "Total number of 3rd attempt successful transmissions since last call: %u\n", c[6]);
  appendf(out, "Total number of transmit failures since last call: %u\n", c[7]);
}
