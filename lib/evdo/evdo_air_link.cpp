// 1xEV Air Link Summary (0x1068): per-slot DRC requests and best-pilot SINR, the
// active-set pilots, the packet error rate, and the running PER and DRC-request
// filters whose state lives in the data state between packets.
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>

#include "evdo/evdo_common.h"
#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/text.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrReader;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::formatf;
using cdmadiag::held_number;
namespace evdo = cdmadiag::evdo;

// Payload: two frames of 89 bytes, frame 1 = PN roll 1, frame 2 = PN roll 2. One frame:
//  +off  type      name             unit
//   +0   8 x u8    DRC index/slot   slot 2k = low nibble of byte k, 2k+1 = high nibble
//   +8   16 x u16  best-ASP SINR    per slot, linear 1/512; 0 = none
//  +40   u8        flags            PktRcvFlag, PAState and BestASPPredicted all from the low bits
//  +41   6 x u16   ASPFiltSINR      linear 1/512; 0 = none
//  +53   6 x u16   PilotPNASP       kEmptyPn = empty entry
//  +65   6 x s16   RPCValue
//  +77   u16       PER              fraction in 1/16384
//  +79   u16       PER sequence
//  +81   u16       HSTR             half-slot reference count
//  +83   6 x u8    RPCCellMap
constexpr std::size_t kFrameSize = 89;
constexpr int kFrames = 2;
[[maybe_unused]] constexpr std::size_t kPacketSize = kFrames * kFrameSize;
constexpr std::uint32_t kSlots = 16;
constexpr std::uint32_t kAsps = 6;

struct AirLinkFrame {
  std::array<std::uint8_t, kSlots> drc{};
  std::array<std::uint16_t, kSlots> slot_sinr{};
  std::uint8_t flags = 0;
  std::array<std::uint16_t, kAsps> filt_sinr{}, pn{};
  std::array<std::int16_t, kAsps> rpc{};
  std::uint16_t per = 0, sequence = 0, hstr = 0;
  std::array<std::uint8_t, kAsps> cell_map{};
};

// In the table's order.
AirLinkFrame read_frame(Cursor& c) {
  AirLinkFrame f;
  for (std::uint32_t s = 0; s < kSlots; s += 2) {
    const std::uint8_t pair = c.u8();
    f.drc[s] = static_cast<std::uint8_t>(cdmadiag::bits(pair, 0, 4));
    f.drc[s + 1] = static_cast<std::uint8_t>(cdmadiag::bits(pair, 4, 4));
  }
  for (std::uint16_t& v : f.slot_sinr) v = c.u16le();
  f.flags = c.u8();
  for (std::uint16_t& v : f.filt_sinr) v = c.u16le();
  for (std::uint16_t& v : f.pn) v = c.u16le();
  for (std::int16_t& v : f.rpc) v = c.i16le();
  f.per = c.u16le();
  f.sequence = c.u16le();
  f.hstr = c.u16le();
  for (std::uint8_t& v : f.cell_map) v = c.u8();
  return f;
}
constexpr std::uint16_t kEmptyPn = 0xFFFF;
constexpr double kPerPercent = 0.006103515625;  // 100 / 16384

// Filter gains in 1/65536.
constexpr double kPerShortGain = 1048.0 / 65536.0;
constexpr double kPerLongGain = 105.0 / 65536.0;
constexpr double kDrcShortGain = 64.0 / 65536.0;
constexpr double kDrcLongGain = 7.0 / 65536.0;

constexpr const char* kFrameHeading = "**** Information for frame #%d of %d****\n";
constexpr const char* kSlotHeading = "Slot\tDRC Rate\tSINR_For_BestASP(dB)\n";
constexpr const char* kAspHeading = "ASPIndex\tASPFiltSINR\tPilotPNASP\tRPCValue\tRPCCellMap\n";
constexpr const char* kBlankLine = "\t\n";
constexpr const char* kOff = "Off";

// Attribute ids of one PN roll; pointers because the ids are resolved at load.
struct RollAttrs {
  const std::uint32_t *drc_index_for_slot, *bestasp_sinr_for_slot, *asp_filtered_sinr_for_pn, *pilotpn_for_aspidx,
      *rpc_for_pn, *rpc_index_for_pn, *best_asp_filtered_sinr, *pn_for_best_asp_filtered_sinr, *pkt_received_flag,
      *pa_state, *best_asp_predicted, *per_inst, *per_sequence, *hstr, *per_short, *per_long, *drc_req_short,
      *drc_req_long;
};
#define CDMADIAG_ROLL(R)                                                                                             \
  RollAttrs {                                                                                                        \
    &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_DRC_INDEX_FOR_SLOT, &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_BESTASP_SINR_FOR_SLOT, \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_ASP_FILTERED_SINR_FOR_PN,                                                 \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_PILOTPN_FOR_ASPIDX, &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_RPC_FOR_PN,        \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_RPC_INDEX_FOR_PN,                                                         \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_BEST_ASP_FILTERED_SINR_FOR_PN,                                            \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_PN_FOR_BEST_ASP_FILTERED_SINR,                                            \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_PKT_RECEIVED_FLAG, &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_PA_STATE,           \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_BEST_ASP_PREDICTED, &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_PER_INST,          \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_PER_SEQUENCE, &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_HSTR,                    \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_PER_SHORT, &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_PER_LONG,                   \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_DATA_RATE_REQ_SHORT_TERM,                                                 \
        &ATTR_ID_EVDO_AIRLINKSUMMARY_##R##_DATA_RATE_REQ_LONG_TERM                                                   \
  }
const std::array<RollAttrs, kFrames> kRolls{CDMADIAG_ROLL(PNROLL1), CDMADIAG_ROLL(PNROLL2)};
#undef CDMADIAG_ROLL

// This packet's value of a filter's state, else the most recent one.
std::optional<double> current_or_latest(const AttrReader& rd, std::uint32_t id) {
  if (auto v = held_number(rd.current(id))) return v;
  return held_number(rd.latest(id));
}

// Low `width` bits of a value read back as a double; a value that is not finite
// matches nothing.
std::optional<std::uint32_t> low_bits(double v, unsigned width) {
  if (!std::isfinite(v) || std::fabs(v) > 9.0e18) return std::nullopt;
  return static_cast<std::uint32_t>(cdmadiag::bits(static_cast<std::uint64_t>(static_cast<std::int64_t>(v)), 0, width));
}

// First-order filter step; with no previous value it starts from `start`.
double filter_step(double gain, double x, std::optional<double> previous, double start) {
  return previous ? gain * x + (1.0 - gain) * *previous : start;
}

// Packet-error-rate filters of one frame (frame 1 or 2); a PER report already
// filtered (same sequence number) is not filtered again. Starts from 0.
void UpdatePerFilters(IOrbDataState* ds, std::uint16_t sequence, int frame) {
  const AttrReader rd(ds);
  const AttrWriter w(ds);
  if (auto last = current_or_latest(rd, ATTR_ID_EVDO_AIRLINKSUMMARY_PER_Sequence)) {
    if (low_bits(*last, 16) == sequence) return;
  }
  w.UShort(ATTR_ID_EVDO_AIRLINKSUMMARY_PER_Sequence, sequence);

  const RollAttrs& roll = kRolls[static_cast<std::size_t>(frame - 1)];
  const auto x = held_number(rd.current(*roll.per_inst));
  if (!x) return;
  const double short_per = filter_step(
      kPerShortGain, *x, current_or_latest(rd, ATTR_ID_EVDO_AIRLINKSUMMARY_PER_SHORT_LAST), kPerShortGain * *x);
  const double long_per = filter_step(
      kPerLongGain, *x, current_or_latest(rd, ATTR_ID_EVDO_AIRLINKSUMMARY_PER_LONG_LAST), kPerLongGain * *x);
  w.Double(*roll.per_short, short_per);
  w.Double(*roll.per_long, long_per);
  w.Double(ATTR_ID_EVDO_AIRLINKSUMMARY_PER_SHORT_LAST, short_per);
  w.Double(ATTR_ID_EVDO_AIRLINKSUMMARY_PER_LONG_LAST, long_per);
}

// DRC data-rate-request filters over the 16 slots of one frame (1 or 2), chained
// slot to slot and, at slot 0, from the other PN roll's slot 15 (frame 1: the
// previous packet's roll 2; frame 2: this packet's roll 1). Starts from the first rate.
void UpdateDrcRequestFilters(IOrbDataState* ds, int frame) {
  const AttrReader rd(ds);
  const AttrWriter w(ds);
  const RollAttrs& roll = kRolls[static_cast<std::size_t>(frame - 1)];
  const RollAttrs& other = kRolls[static_cast<std::size_t>(2 - frame)];
  // What this call wrote for the slot before: the data state would give back just that
  // (nothing when it takes no writes), without two look-ups a slot.
  std::optional<double> wrote_short, wrote_long;
  for (std::uint32_t s = 0; s < kSlots; ++s) {
    const auto drc_value = held_number(rd.current(*roll.drc_index_for_slot, s));
    if (!drc_value) return;
    const auto drc = low_bits(*drc_value, 8);
    if (!drc) return;
    const double rate = evdo::drc_rate_bps(*drc);

    std::optional<double> prev_short, prev_long;
    if (s > 0) {
      prev_short = wrote_short;
      prev_long = wrote_long;
    } else if (frame == 1) {
      prev_short = held_number(rd.latest(*other.drc_req_short, kSlots - 1));
      prev_long = held_number(rd.latest(*other.drc_req_long, kSlots - 1));
    } else {
      prev_short = held_number(rd.current(*other.drc_req_short, kSlots - 1));
      prev_long = held_number(rd.current(*other.drc_req_long, kSlots - 1));
    }
    const double short_rate = filter_step(kDrcShortGain, rate, prev_short, rate);
    const double long_rate = filter_step(kDrcLongGain, rate, prev_long, rate);

    w.Double(*roll.drc_req_short, short_rate, s);
    w.Double(*roll.drc_req_long, long_rate, s);
    if (w.on()) {
      wrote_short = short_rate;
      wrote_long = long_rate;
    }
    if (frame == 2 && s == kSlots - 1) {
      w.Double(ATTR_ID_EVDO_AIRLINKSUMMARY_DATA_RATE_REQ_SHORT_TERM_LAST, short_rate);
      w.Double(ATTR_ID_EVDO_AIRLINKSUMMARY_DATA_RATE_REQ_LONG_TERM_LAST, long_rate);
    }
  }
}

// Accumulated over both frames of one packet.
struct PacketTotals {
  std::array<double, kSlots> sinr_sum{};
  std::array<std::uint8_t, kSlots> sinr_count{};
  std::array<std::uint32_t, kSlots> drc_histogram{};
  double per_sum = 0.0;
};

void decode_frame(IOrbDataState* ds, COrbExpandedMessage& msg, const AirLinkFrame& r, int frame, PacketTotals& totals) {
  const AttrWriter w(ds);
  const RollAttrs& roll = kRolls[static_cast<std::size_t>(frame - 1)];
  const bool text = msg.detailsWanted;
  std::string& out = msg.details;
  if (text) {
    appendf(out, kFrameHeading, frame, kFrames);
    out += kSlotHeading;
    out.append(75, '-');
    out += '\n';
  }

  for (std::uint32_t s = 0; s < kSlots; ++s) {
    const std::uint8_t drc = r.drc[s];
    const auto sinr_db = evdo::db_from_512ths(r.slot_sinr[s]);
    if (sinr_db) {
      totals.sinr_sum[drc] += *sinr_db;
      ++totals.sinr_count[drc];
    }
    if (text) {
      const std::string sinr_text = sinr_db ? cdmadiag::fixed_text(*sinr_db, 2) : std::string(kOff);
      if (drc == 0) {
        appendf(out, "%d\t%10s\t\t%8s\n", static_cast<int>(s), "0", sinr_text.c_str());
      } else {
        appendf(out, "%d\t%10s\t%8s\n", static_cast<int>(s), evdo::drc_rate_name(drc), sinr_text.c_str());
      }
    }
    ++totals.drc_histogram[drc];
    w.Byte(*roll.drc_index_for_slot, drc, s);
    if (sinr_db) {
      w.Double(*roll.bestasp_sinr_for_slot, *sinr_db, s);
    } else {
      w.NoValue(*roll.bestasp_sinr_for_slot, s);
    }
  }

  // The three flag fields share the low bits of one byte, as the modem reports them.
  const std::uint8_t flags = r.flags;
  const auto pkt_received = static_cast<unsigned>(cdmadiag::bits(flags, 0, 1));
  const auto pa_state = static_cast<int>(cdmadiag::bits(flags, 0, 1));
  const auto best_predicted = static_cast<unsigned>(cdmadiag::bits(flags, 0, 3));

  const auto& filt_sinr = r.filt_sinr;
  const auto& pn = r.pn;
  const auto& rpc = r.rpc;
  const auto& cell_map = r.cell_map;
  std::array<evdo::RankedAsp, kAsps> ranked{};
  int valid_count = 0;
  for (std::uint32_t i = 0; i < kAsps; ++i) {
    if (pn[i] != kEmptyPn && filt_sinr[i] != 0) {
      ranked[static_cast<std::size_t>(valid_count++)] = {pn[i],
                                                         static_cast<float>(*evdo::db_from_512ths(filt_sinr[i]))};
    }
  }
  evdo::RankAspBySinr(ranked.data(), valid_count);

  // BestASPPredicted numbers the ASPs from 1; 0 and 7 name no ASP, so they show as
  // the raw number and write no predicted PN (reading "ASP 0" or "ASP 7" would take
  // bytes that are not a pilot PN).
  const bool predicted_is_asp = best_predicted >= 1 && best_predicted <= kAsps;
  const std::uint16_t predicted_pn = predicted_is_asp ? pn[best_predicted - 1] : 0;

  const std::uint16_t per_raw = r.per;
  const std::uint16_t sequence = r.sequence;
  const std::uint16_t hstr = r.hstr;
  const double per_percent = per_raw * kPerPercent;
  totals.per_sum += per_percent;

  if (text) {
    const std::string predicted_text = best_predicted >= 1 && best_predicted <= 5
                                           ? formatf("%u (%u)", best_predicted, static_cast<unsigned>(predicted_pn))
                                           : formatf("%u ", best_predicted);
    out += kBlankLine;
    appendf(out, "PktRcvFlag: %u, PAState: %d (%s), BestASPPredicted: %s\n", pkt_received, pa_state,
            pa_state != 0 ? "On" : "Off", predicted_text.c_str());
    out += kBlankLine;
    out += kAspHeading;
    out.append(134, '-');
    out += '\n';
  }

  for (std::uint32_t i = 0; i < kAsps; ++i) {
    const auto sinr_db = evdo::db_from_512ths(filt_sinr[i]);
    if (text && pn[i] != kEmptyPn) {
      const std::string sinr_text = sinr_db ? cdmadiag::fixed_text(*sinr_db, 2) : std::string(kOff);
      appendf(out, "%d\t\t%s\t\t%8u\t\t%8d\t\t%8u\n", static_cast<int>(i + 1), sinr_text.c_str(),
              static_cast<unsigned>(pn[i]), static_cast<int>(rpc[i]), static_cast<unsigned>(cell_map[i]));
    }
    if (pn[i] != kEmptyPn && sinr_db) {
      w.Double(*roll.asp_filtered_sinr_for_pn, *sinr_db, pn[i]);
      w.UShort(*roll.pilotpn_for_aspidx, pn[i], i);
      w.Short(*roll.rpc_for_pn, rpc[i], pn[i]);
      w.Byte(*roll.rpc_index_for_pn, cell_map[i], pn[i]);
    }
    if (static_cast<int>(i) < valid_count) {
      // Indexed by rank despite the name's ending.
      w.Double(*roll.best_asp_filtered_sinr, ranked[i].sinr_db, i);
      w.Long(*roll.pn_for_best_asp_filtered_sinr, static_cast<std::int32_t>(ranked[i].pn), i);
    }
  }

  if (text) {
    out += kBlankLine;
    appendf(out,
            "Instantaneous Packet Error Rate: %.2f%%, Packet Error Rate sequence: %u, Current half slot reference "
            "count: %u\n",
            per_percent, static_cast<unsigned>(sequence), static_cast<unsigned>(hstr));
    out += kBlankLine;
  }

  w.Byte(*roll.pkt_received_flag, static_cast<std::uint8_t>(pkt_received));
  w.Byte(*roll.pa_state, static_cast<std::uint8_t>(pa_state));
  if (predicted_is_asp) w.UShort(*roll.best_asp_predicted, predicted_pn);
  w.Double(*roll.per_inst, per_percent);
  w.UShort(*roll.per_sequence, sequence);
  w.UShort(*roll.hstr, hstr);
  if (frame == kFrames) w.Double(ATTR_ID_EVDO_AIRLINKSUMMARY_AVG_PER_INST, totals.per_sum * 0.5);

  // Read-only, the filters still read their state but write none of it.
  UpdatePerFilters(ds, sequence, frame);
  UpdateDrcRequestFilters(ds, frame);
}

}  // namespace

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodeAirLinkSummary(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodeAirLinkSummary);
  Cursor c(payload());
  std::array<AirLinkFrame, kFrames> frames;
  for (AirLinkFrame& f : frames) f = read_frame(c);
  if (!job.check(c)) return;
  assert(c.offset() == kPacketSize);

  PacketTotals totals;
  for (int f = 1; f <= kFrames; ++f) decode_frame(ds, msg, frames[static_cast<std::size_t>(f - 1)], f, totals);
  const AttrWriter w(ds);
  if (!w.on()) return;

  // Averages in the dB domain, only for DRC indices that had a SINR.
  for (std::uint32_t d = 0; d < kSlots; ++d) {
    if (totals.sinr_count[d] == 0) continue;
    w.Double(ATTR_ID_EVDO_AIRLINKSUMMARY_AVG_SINR_FOR_DRC_INDEX, totals.sinr_sum[d] / totals.sinr_count[d], d);
    w.Byte(ATTR_ID_EVDO_AIRLINKSUMMARY_DRC_INDEX_COUNT, totals.sinr_count[d], d);
  }
  if (const auto drc = evdo::elect_drc(totals.drc_histogram)) w.Long(ATTR_ID_EVDO_DRC, static_cast<std::int32_t>(*drc));
}
