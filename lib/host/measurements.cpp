#include "host/measurements.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <limits>
#include <optional>

#include "evdo/evdo_common.h"
#include "framework/attributes.h"
#include "framework/dispatch.h"

namespace cdmadiag {
namespace {

// How the kept writes of one group become the packet's value.
enum class Combine : std::uint8_t {
  kLast,      // the value written last
  kMax,       // the largest value (the best pilot of a list)
  kArgMax,    // the element index of the largest value (the PN of the best pilot)
  kMean,      // mean of the values (the slots of a packet)
  kSum,       // sum of the values (frame counts)
  kPowerSum,  // dB values summed as powers: 10 log10(sum 10^(v/10))
  kCount,     // how many distinct element indexes
  kIndexes,   // the element indexes, as a list (the PNs of a per-PN list)
  kValues,    // the values, as a list (PNs or channels written by rank)
};

// Which packets a group reads.
enum class Packets : std::uint8_t { kAny, k1x, kEvdo };

// A raw value turned into the measurement's unit before scaling.
enum class Convert : std::uint8_t {
  kNone,
  kDrcRate,        // DRC index -> requested rate in kbps; 15 (DRC channel off) is no request
  kChannelOfWord,  // channel/band word -> its channel, bits 0-10
};

constexpr std::size_t kGroupAttrs = 6;
constexpr std::size_t kMaxGroups = 5;
constexpr double kInf = std::numeric_limits<double>::infinity();

// One way a packet's writes give the measurement. Within a packet, a write to an
// (attribute, index) replaces the earlier one and a no-value write removes it, as in the
// data state; what is left when the packet ends is combined.
struct Group {
  std::array<const std::uint32_t*, kGroupAttrs> attrs{};  // ATTR_ID_... constants, resolved at load
  Packets packets = Packets::kAny;
  std::array<std::uint16_t, 2> codes{};  // when codes[0] is set: only these log codes
  bool index0 = false;                   // only element index 0
  Convert convert = Convert::kNone;
  double scale = 1.0;                  // attribute unit to the measurement's
  double lo = -kInf, hi = kInf;        // values outside, once scaled, are no measurement
  const std::uint32_t* key = nullptr;  // when set: only indexes that this attribute, in the
  double key_value = 0.0;              // same packet, holds key_value at
  Combine combine = Combine::kLast;

  constexpr Group only(Packets p) const {
    Group g = *this;
    g.packets = p;
    return g;
  }
  constexpr Group codes_of(std::uint16_t a, std::uint16_t b = 0) const {
    Group g = *this;
    g.codes = {a, b};
    return g;
  }
  constexpr Group at_index0() const {
    Group g = *this;
    g.index0 = true;
    return g;
  }
  constexpr Group converted(Convert c) const {
    Group g = *this;
    g.convert = c;
    return g;
  }
  constexpr Group scaled(double s) const {
    Group g = *this;
    g.scale = s;
    return g;
  }
  constexpr Group within(double l, double h) const {
    Group g = *this;
    g.lo = l;
    g.hi = h;
    return g;
  }
  constexpr Group where(const std::uint32_t* k, double v) const {
    Group g = *this;
    g.key = k;
    g.key_value = v;
    return g;
  }
  constexpr Group by(Combine c) const {
    Group g = *this;
    g.combine = c;
    return g;
  }
};

constexpr Group of(std::initializer_list<const std::uint32_t*> ids) {
  Group g;
  std::size_t i = 0;
  for (const std::uint32_t* id : ids) g.attrs[i++] = id;
  return g;
}

// The groups of a measurement. kFirst: the first group, in order, that the packet gives
// a value wins (the groups name different packets, or rank the better source first).
// kPercent: 100 x sum of group 0 / sum of group 1, when group 1's sum is above 0.
enum class Merge : std::uint8_t { kFirst, kPercent };

struct Rule {
  std::array<Group, kMaxGroups> groups{};
  std::size_t count = 0;
  Merge merge = Merge::kFirst;
};

constexpr Rule first(std::initializer_list<Group> groups) {
  Rule r;
  for (const Group& g : groups) r.groups[r.count++] = g;
  return r;
}
constexpr Rule percent(const Group& part, const Group& whole) {
  Rule r = first({part.by(Combine::kSum), whole.by(Combine::kSum)});
  r.merge = Merge::kPercent;
  return r;
}
constexpr Rule from_fix() { return Rule{}; }

struct Entry {
  Measurement m;
  Rule rule;
};

constexpr double kMphToKmh = 1.609344;
constexpr double kBpsToKbps = 0.001;
constexpr double kActiveSetCode = 4;  // EV-DO searcher pilot set code of the active set
constexpr double kFingerStatus = 7;   // PN_ECIO_SET_STATUS of a finger report's per-PN strength

using C = Combine;
using P = Packets;
using S = Shape;
using R = PerSecond;

// A pilot's total strength as the finger reports give it: the linear sum of every locked
// finger on that PN. Fingers are assigned to active-set pilots only, so these are the
// active pilots with a finger; searcher entries (status 6) and the path log (no status)
// write the same attribute for pilots of any set and are left out.
constexpr Group kFingerPilots = of({&ATTR_ID_PN_ECIO_SET}).where(&ATTR_ID_PN_ECIO_SET_STATUS, kFingerStatus);
// The pilot sets command response: the active pilots' Ec/Io, by PN (those below
// threshold A are left out by the decoder).
constexpr Group kResponseActive = of({&ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN});
// EV-DO filtered SINR of each active-set pilot: the air-link summary (both PN rolls, by
// PN) and the multicarrier air-link summary (every carrier, by rank).
constexpr Group kAspSinr =
    of({&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_ASP_FILTERED_SINR_FOR_PN,
        &ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_ASP_FILTERED_SINR_FOR_PN, &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C1,
        &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C2, &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C3});

constexpr std::array kEntries = {
    // ---- 1x ----
    Entry{{"cdma_rx_power_dbm", "dBm", Tech::k1x, "1x receive power at the antenna (receive AGC)",
           "ATTR_ID_CDMA_MOBILE_RX_POWER (power control, AGC, temporal analyzer, searcher-and-finger and "
           "next-generation searcher reports): the packet's last value",
           S::kNumber, R::kMean, true},
          first({of({&ATTR_ID_CDMA_MOBILE_RX_POWER}).at_index0()})},
    Entry{{"cdma_tx_power_dbm", "dBm", Tech::k1x, "1x transmit power",
           "ATTR_ID_CDMA_MOBILE_TX_POWER: the turnaround estimate from receive power and gain adjust "
           "(AGC, power control, temporal analyzer, searcher-and-finger reports), the reported transmit power "
           "(next-generation searcher RF subpacket); the packet's last value",
           S::kNumber, R::kMean, true},
          first({of({&ATTR_ID_CDMA_MOBILE_TX_POWER}).at_index0()})},
    Entry{{"cdma_tx_gain_adj_db", "dB", Tech::k1x, "1x closed-loop transmit gain adjustment",
           "ATTR_ID_CDMA_PWR_CTRL_VAL (the reports of cdma_rx_power_dbm): the packet's last value", S::kNumber,
           R::kMean, false},
          first({of({&ATTR_ID_CDMA_PWR_CTRL_VAL}).at_index0()})},
    Entry{{"cdma_best_active_ecio_db", "dB", Tech::k1x, "Ec/Io of the strongest active-set pilot",
           "finger reports (0x100B, 0x1019, 0x101A, 0x102D, 0x10C4, 0x1179, 0x119A): the largest "
           "ATTR_ID_PN_ECIO_SET whose ATTR_ID_PN_ECIO_SET_STATUS at the same PN is 7 (a pilot's locked fingers "
           "summed); pilot sets response: the largest ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN",
           S::kNumber, R::kMean, true},
          first({kFingerPilots.by(C::kMax), kResponseActive.by(C::kMax)})},
    Entry{{"cdma_combined_active_ecio_db", "dB", Tech::k1x, "Ec/Io of all active-set pilots together",
           "finger reports: ATTR_ID_COMB_PILOT_EcIo (every locked finger summed as powers, at most 0 dB); pilot "
           "sets response: ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN summed as powers",
           S::kNumber, R::kMean, true},
          first({of({&ATTR_ID_COMB_PILOT_EcIo}).at_index0(), kResponseActive.by(C::kPowerSum)})},
    Entry{{"cdma_active_set_size", "pilots", Tech::k1x, "number of pilots in the 1x active set",
           "ATTR_ID_NUM_ACTIVE_PILOTS (active set information 0x10C6, active set and channel configuration "
           "0x102F, next-generation finger status 0x119A, pilot sets response): the packet's last value",
           S::kNumber, R::kMean, false},
          first({of({&ATTR_ID_NUM_ACTIVE_PILOTS}).at_index0()})},
    Entry{{"cdma_active_set_pns", "", Tech::k1x, "PNs of the 1x active set (those with a locked finger)",
           "finger reports: the PNs of ATTR_ID_PN_ECIO_SET whose ATTR_ID_PN_ECIO_SET_STATUS is 7; pilot sets "
           "response: the PNs of ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN",
           S::kList, R::kLast, false},
          first({kFingerPilots.by(C::kIndexes), kResponseActive.by(C::kIndexes)})},
    Entry{
        {"cdma_serving_pn", "", Tech::k1x, "1x reference pilot PN (the time reference of the active set)",
         "ATTR_ID_PN_REFERENCE (next-generation finger status 0x119A); in the other finger reports, the PN of "
         "the strongest finger-combined pilot (cdma_best_active_ecio_db); pilot sets response: the PN of the "
         "strongest ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN",
         S::kNumber, R::kLast, false},
        first({of({&ATTR_ID_PN_REFERENCE}).at_index0(), kFingerPilots.by(C::kArgMax), kResponseActive.by(C::kArgMax)})},
    Entry{{"cdma_fch_fer_pct", "%", Tech::k1x, "1x forward fundamental channel frame error rate",
           "forward frame types (0x1029) and fast forward power control statistics (0x10C2): "
           "ATTR_ID_CDMA_1X_FOR_FCH_Payload at rate 0 (erasures) over its sum at rates 0-4, x 100; none "
           "without payload-only frames",
           S::kNumber, R::kMean, false},
          percent(of({&ATTR_ID_CDMA_1X_FOR_FCH_Payload}).at_index0(), of({&ATTR_ID_CDMA_1X_FOR_FCH_Payload}))},
    Entry{{"cdma_sch0_fer_pct", "%", Tech::k1x, "1x forward supplemental channel 0 frame error rate",
           "0x1029, 0x10C2: ATTR_ID_CDMA_1X_FOR_SCH0_Erasure over ATTR_ID_CDMA_1X_FOR_SCH0_FullRate + "
           "ATTR_ID_CDMA_1X_FOR_SCH0_Erasure, x 100; blank (DTX) frames are no transmission and count nowhere; "
           "none without SCH0 frames",
           S::kNumber, R::kMean, false},
          percent(of({&ATTR_ID_CDMA_1X_FOR_SCH0_Erasure}),
                  of({&ATTR_ID_CDMA_1X_FOR_SCH0_FullRate, &ATTR_ID_CDMA_1X_FOR_SCH0_Erasure}))},
    Entry{{"cdma_rlp_rx_kbps", "kbps", Tech::k1x, "1x RLP receive throughput",
           "ATTR_ID_RLP_Rx_Throughput_Instantaneous (RLP statistics 0x1031): bytes since the previous "
           "statistics; negative values (a counter restarted) left out",
           S::kNumber, R::kMean, false},
          first({of({&ATTR_ID_RLP_Rx_Throughput_Instantaneous}).within(0.0, kInf)})},
    Entry{{"cdma_rlp_tx_kbps", "kbps", Tech::k1x, "1x RLP transmit throughput",
           "ATTR_ID_RLP_Tx_Throughput_Instantaneous (RLP statistics 0x1031); negative values left out", S::kNumber,
           R::kMean, false},
          first({of({&ATTR_ID_RLP_Tx_Throughput_Instantaneous}).within(0.0, kInf)})},
    Entry{{"cdma_band_class", "", Tech::k1x, "1x band class (0 cellular 800 MHz, 1 PCS 1900 MHz, ...)",
           "ATTR_ID_Band_Class written by 1x packets (EV-DO pilot and searcher reports write it too and are left "
           "out)",
           S::kNumber, R::kLast, false},
          first({of({&ATTR_ID_Band_Class}).only(P::k1x)})},
    Entry{{"cdma_channel", "", Tech::k1x, "1x frequency channel number",
           "ATTR_ID_CUR_CHANNEL; active set information 0x10C6: ATTR_ID_CDMA_CHANNEL (elsewhere that attribute "
           "holds the Walsh code channel)",
           S::kNumber, R::kLast, false},
          first({of({&ATTR_ID_CUR_CHANNEL}).only(P::k1x), of({&ATTR_ID_CDMA_CHANNEL}).codes_of(0x10C6)})},
    Entry{{"cdma_service_option", "", Tech::k1x, "1x service option of the call",
           "ATTR_ID_CDMA_ServiceOption (service configuration, frame type and power control reports)", S::kNumber,
           R::kLast, false},
          first({of({&ATTR_ID_CDMA_ServiceOption})})},
    Entry{{"cdma_sid", "", Tech::k1x, "system identification of the 1x serving system",
           "ATTR_ID_SID (status report, status responses)", S::kNumber, R::kLast, false},
          first({of({&ATTR_ID_SID})})},
    Entry{{"cdma_nid", "", Tech::k1x, "network identification of the 1x serving system",
           "ATTR_ID_NID (status report, status responses)", S::kNumber, R::kLast, false},
          first({of({&ATTR_ID_NID})})},

    // ---- EV-DO ----
    Entry{{"evdo_best_sinr_db", "dB", Tech::kEvdo, "filtered SINR of the best EV-DO active-set pilot",
           "the largest of ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1/2_ASP_FILTERED_SINR_FOR_PN (air-link summary "
           "0x1068) and ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C1/C2/C3 (multicarrier air-link summary "
           "0x1296, every carrier)",
           S::kNumber, R::kMean, true},
          first({kAspSinr.by(C::kMax)})},
    Entry{{"evdo_serving_pn", "", Tech::kEvdo, "PN of the EV-DO serving sector (the one the DRC cover points to)",
           "ATTR_ID_EVDO_ACTIVESETPILOT_SERVING_PN (0x105F); else ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1/2_"
           "BEST_ASP_PREDICTED (0x1068, the later roll); else the strongest pilot: rank 0 of "
           "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1/2_PN_FOR_BEST_ASP_FILTERED_SINR (0x1068) or of "
           "ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1 (0x1296, first carrier)",
           S::kNumber, R::kLast, false},
          first({of({&ATTR_ID_EVDO_ACTIVESETPILOT_SERVING_PN}).at_index0(),
                 of({&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_BEST_ASP_PREDICTED,
                     &ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_BEST_ASP_PREDICTED})
                     .at_index0(),
                 of({&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PN_FOR_BEST_ASP_FILTERED_SINR,
                     &ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_PN_FOR_BEST_ASP_FILTERED_SINR,
                     &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1})
                     .at_index0()})},
    Entry{{"evdo_drc_rate_kbps", "kbps", Tech::kEvdo, "forward rate the terminal requests (DRC)",
           "mean over the slots of the rate of ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1/2_DRC_INDEX_FOR_SLOT (0x1068) "
           "or ATTR_ID_EVDO_DRCCHANNELARQBUF(VER2)_DRC_VALUE_FOR_SLOT(_INSTANCE2) (0x1061, 0x108C); else the "
           "rate of ATTR_ID_EVDO_DRC (0x1296: the most frequent DRC); DRC 15 (channel off) is no request",
           S::kNumber, R::kMean, false},
          first({of({&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_DRC_INDEX_FOR_SLOT,
                     &ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_DRC_INDEX_FOR_SLOT,
                     &ATTR_ID_EVDO_DRCCHANNELARQBUF_DRC_VALUE_FOR_SLOT,
                     &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_DRC_VALUE_FOR_SLOT,
                     &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_DRC_VALUE_FOR_SLOT_INSTANCE2})
                     .converted(Convert::kDrcRate)
                     .by(C::kMean),
                 of({&ATTR_ID_EVDO_DRC}).at_index0().converted(Convert::kDrcRate)})},
    Entry{{"evdo_per_pct", "%", Tech::kEvdo, "EV-DO forward traffic channel packet error rate",
           "bad over all traffic channel packets since the previous statistics: "
           "ATTR_ID_RevASUFwdStats_TC_PacketErrorRateInstantaneous (Rev A 0x1192), "
           "ATTR_ID_EVDO_FWDSTATSUMMARY_TCH_PER_INST (Rel 0 0x1084), ATTR_ID_EVDO_FWDRATESTATS_TCH_PER_INST "
           "(0x107F)",
           S::kNumber, R::kMean, false},
          first({of({&ATTR_ID_RevASUFwdStats_TC_PacketErrorRateInstantaneous, &ATTR_ID_EVDO_FWDSTATSUMMARY_TCH_PER_INST,
                     &ATTR_ID_EVDO_FWDRATESTATS_TCH_PER_INST})
                     .within(0.0, 100.0)})},
    Entry{{"evdo_fwd_tput_kbps", "kbps", Tech::kEvdo, "EV-DO forward traffic channel throughput (good packets)",
           "ATTR_ID_RevASUFwdStats_TC_Rx_Throughput_Instantaneous (Rev A 0x1192), "
           "ATTR_ID_EVDO_FWDSTATSUMMARY_TCH_AVGTPUT_INST (Rel 0 0x1084), ATTR_ID_EVDO_FWDRATESTATS_TCH_AVGTPUT_INST "
           "(0x107F): good bits since the previous statistics",
           S::kNumber, R::kMean, false},
          first({of({&ATTR_ID_RevASUFwdStats_TC_Rx_Throughput_Instantaneous,
                     &ATTR_ID_EVDO_FWDSTATSUMMARY_TCH_AVGTPUT_INST, &ATTR_ID_EVDO_FWDRATESTATS_TCH_AVGTPUT_INST})
                     .within(0.0, kInf)})},
    Entry{{"evdo_rlp_rx_kbps", "kbps", Tech::kEvdo, "EV-DO RLP receive throughput",
           "ATTR_ID_EVDO_RLP_Rx_Throughput_Instantaneous (RLP statistics 0x1070); negative values left out", S::kNumber,
           R::kMean, false},
          first({of({&ATTR_ID_EVDO_RLP_Rx_Throughput_Instantaneous}).within(0.0, kInf)})},
    Entry{{"evdo_rlp_tx_kbps", "kbps", Tech::kEvdo, "EV-DO RLP transmit throughput",
           "ATTR_ID_EVDO_RLP_Tx_Throughput_Instantaneous (RLP statistics 0x1070); negative values left out", S::kNumber,
           R::kMean, false},
          first({of({&ATTR_ID_EVDO_RLP_Tx_Throughput_Instantaneous}).within(0.0, kInf)})},
    Entry{{"evdo_rx_power_c0_dbm", "dBm", Tech::kEvdo, "EV-DO receive power, chain 0",
           "ATTR_ID_EVDO_POWER_RXAGC0 (power 0x1069: mean of its two frames; multicarrier power 0x129C: mean of "
           "the carriers)",
           S::kNumber, R::kMean, true},
          first({of({&ATTR_ID_EVDO_POWER_RXAGC0}).at_index0()})},
    Entry{{"evdo_rx_power_c1_dbm", "dBm", Tech::kEvdo, "EV-DO receive power, chain 1 (diversity)",
           "ATTR_ID_EVDO_POWER_RXAGC1 (0x1069, 0x129C, as chain 0); none without a second receiver", S::kNumber,
           R::kMean, true},
          first({of({&ATTR_ID_EVDO_POWER_RXAGC1}).at_index0()})},
    Entry{{"evdo_tx_power_dbm", "dBm", Tech::kEvdo, "EV-DO total transmit power",
           "multicarrier power 0x129C: ATTR_ID_EVDO_POWER_TXTOTAL_POWER_MC of the carriers summed as powers; "
           "power 0x1069: ATTR_ID_EVDO_POWER_TXTOTAL_POWER (mean of its two frames)",
           S::kNumber, R::kMean, true},
          first({of({&ATTR_ID_EVDO_POWER_TXTOTAL_POWER_MC}).by(C::kPowerSum),
                 of({&ATTR_ID_EVDO_POWER_TXTOTAL_POWER}).at_index0()})},
    Entry{{"evdo_active_set_size", "pilots", Tech::kEvdo, "number of pilots in the EV-DO active set",
           "ATTR_ID_EVDO_PILOTSETSVER2_NUM_ASET_PILOTS, ATTR_ID_EVDO_PILOTSETS_NUM_ASET_PILOTS (pilot sets, "
           "searcher type 2), ATTR_ID_EVDO_HOSTATE_NUM_ACTIVE_PILOTS, ATTR_ID_EVDO_ACTIVESETPILOT_NUM_ACTIVE_PILOTS; "
           "else the number of PNs of the air-link summary's ASP SINRs (0x1068) or of carrier 1's "
           "ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1 (0x1296)",
           S::kNumber, R::kMean, false},
          first({of({&ATTR_ID_EVDO_PILOTSETSVER2_NUM_ASET_PILOTS, &ATTR_ID_EVDO_PILOTSETS_NUM_ASET_PILOTS,
                     &ATTR_ID_EVDO_HOSTATE_NUM_ACTIVE_PILOTS, &ATTR_ID_EVDO_ACTIVESETPILOT_NUM_ACTIVE_PILOTS})
                     .at_index0(),
                 of({&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_ASP_FILTERED_SINR_FOR_PN,
                     &ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_ASP_FILTERED_SINR_FOR_PN})
                     .by(C::kCount),
                 of({&ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1}).by(C::kCount)})},
    Entry{{"evdo_active_set_pns", "", Tech::kEvdo, "PNs of the EV-DO active set",
           "pilot sets (0x108B, 0x107A): the PNs of ATTR_ID_EVDO_PILOTSETSVER2/EVDO_PILOTSETS_ASET_ASP_IDX_FOR_PN; "
           "searcher (0x127C, 0x1089, 0x105D): the PNs whose ATTR_ID_EVDO_SEARCHERDATA(VER2)_PILOT_SET_FOR_PN is "
           "4; air-link summary: the PNs of its ASP SINRs; multicarrier air-link summary: the values of "
           "ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1/C2/C3; handoff state (0x105E): the PNs of "
           "ATTR_ID_EVDO_HOSTATE_DRC_COVER_INDEX_FOR_PN",
           S::kList, R::kLast, false},
          first({of({&ATTR_ID_EVDO_PILOTSETSVER2_ASET_ASP_IDX_FOR_PN, &ATTR_ID_EVDO_PILOTSETS_ASET_ASP_IDX_FOR_PN})
                     .by(C::kIndexes),
                 of({&ATTR_ID_EVDO_SEARCHERDATAVER2_PILOT_SET_FOR_PN})
                     .where(&ATTR_ID_EVDO_SEARCHERDATAVER2_PILOT_SET_FOR_PN, kActiveSetCode)
                     .by(C::kIndexes),
                 of({&ATTR_ID_EVDO_SEARCHERDATA_PILOT_SET_FOR_PN})
                     .where(&ATTR_ID_EVDO_SEARCHERDATA_PILOT_SET_FOR_PN, kActiveSetCode)
                     .by(C::kIndexes),
                 of({&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_ASP_FILTERED_SINR_FOR_PN,
                     &ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_ASP_FILTERED_SINR_FOR_PN,
                     &ATTR_ID_EVDO_HOSTATE_DRC_COVER_INDEX_FOR_PN})
                     .by(C::kIndexes),
                 of({&ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1, &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C2,
                     &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C3})
                     .by(C::kValues)})},
    Entry{{"evdo_carriers", "", Tech::kEvdo, "EV-DO frequency channel(s) in use",
           "ATTR_ID_EVDO_FREQ, ATTR_ID_EVDO_PILOTSETSVER2_FREQ, ATTR_ID_EVDO_PILOTSETS_FREQ, "
           "ATTR_ID_EVDO_SEARCHERDATAVER2_FREQ, ATTR_ID_EVDO_SEARCHERDATA_FREQ (pilot sets, searcher); "
           "multicarrier RL metrics: bits 0-10 of ATTR_ID_MCRLMetrics_Carrier (its one carrier)",
           S::kList, R::kLast, false},
          first({of({&ATTR_ID_EVDO_FREQ, &ATTR_ID_EVDO_PILOTSETSVER2_FREQ, &ATTR_ID_EVDO_PILOTSETS_FREQ,
                     &ATTR_ID_EVDO_SEARCHERDATAVER2_FREQ, &ATTR_ID_EVDO_SEARCHERDATA_FREQ})
                     .at_index0()
                     .by(C::kValues),
                 of({&ATTR_ID_MCRLMetrics_Carrier}).at_index0().converted(Convert::kChannelOfWord).by(C::kValues)})},
    Entry{{"evdo_band_class", "", Tech::kEvdo, "EV-DO band class",
           "ATTR_ID_Band_Class written by EV-DO packets (pilot sets, searcher)", S::kNumber, R::kLast, false},
          first({of({&ATTR_ID_Band_Class}).only(P::kEvdo)})},
    Entry{{"evdo_best_active_ecio_db", "dB", Tech::kEvdo, "Ec/Io of the strongest EV-DO active-set pilot",
           "the largest ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN or "
           "ATTR_ID_EVDO_PILOTSETS_ACTIVE_PILOTS_ECIO_FOR_PN of the pilot sets (0x108B, 0x107A; the searcher "
           "type 2 writes a peak C/I there and is left out); handoff state (0x105E): the largest "
           "ATTR_ID_EVDO_HOSTATE_PILOT_STRENGTH_FOR_PN",
           S::kNumber, R::kMean, true},
          first({of({&ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN,
                     &ATTR_ID_EVDO_PILOTSETS_ACTIVE_PILOTS_ECIO_FOR_PN})
                     .codes_of(0x108B, 0x107A)
                     .by(C::kMax),
                 of({&ATTR_ID_EVDO_HOSTATE_PILOT_STRENGTH_FOR_PN}).by(C::kMax)})},

    // ---- both ----
    Entry{{"latitude_deg", "deg", Tech::kAny, "latitude of the position fix (WGS 84)",
           "the packet's position fix, as the host keeps it from the location reports", S::kNumber, R::kLast, false,
           true},
          from_fix()},
    Entry{{"longitude_deg", "deg", Tech::kAny, "longitude of the position fix (WGS 84)",
           "the packet's position fix, as the host keeps it from the location reports", S::kNumber, R::kLast, false,
           true},
          from_fix()},
    Entry{{"speed_kmh", "km/h", Tech::kAny, "speed over ground",
           "ATTR_ID_LOCATION_SPEED_MPH x 1.609344 (GPS, 3D GPS, CAIT GPS and dead-reckoning records)", S::kNumber,
           R::kMean, false},
          first({of({&ATTR_ID_LOCATION_SPEED_MPH}).at_index0().scaled(kMphToKmh).within(0.0, kInf)})},
    // An angle has no arithmetic mean (359 and 1 would give 180): the second's last.
    Entry{{"heading_deg", "deg", Tech::kAny, "heading of travel, degrees from north",
           "ATTR_ID_LOCATION_HEADING (GPS, 3D GPS, CAIT GPS records)", S::kNumber, R::kLast, false},
          first({of({&ATTR_ID_LOCATION_HEADING}).at_index0().within(0.0, 360.0)})},
};

constexpr std::size_t kGroupCount = kEntries.size() * kMaxGroups;


double converted(Convert c, double v) {
  switch (c) {
    case Convert::kNone: return v;
    case Convert::kDrcRate: {
      constexpr double kChannelOff = 15;
      if (v < 0 || v >= kChannelOff) return std::numeric_limits<double>::quiet_NaN();
      return evdo::drc_rate_bps(static_cast<std::uint32_t>(v)) * kBpsToKbps;
    }
    case Convert::kChannelOfWord: return static_cast<double>(static_cast<std::uint64_t>(v) & 0x7FFu);
  }
  return v;
}

// A PN or channel as a list element; none for what is not a whole non-negative number.
std::optional<std::uint32_t> element(double v) {
  if (v < 0 || v > 0xFFFFFFFF || v != std::floor(v)) return std::nullopt;
  return static_cast<std::uint32_t>(v);
}

}  // namespace

const char* tech_name(Tech t) {
  switch (t) {
    case Tech::k1x: return "1x";
    case Tech::kEvdo: return "evdo";
    case Tech::kAny: return "any";
  }
  return "any";
}

std::span<const Measurement> measurements() {
  static const std::array<Measurement, kEntries.size()> list = [] {
    std::array<Measurement, kEntries.size()> l{};
    for (std::size_t i = 0; i < kEntries.size(); ++i) l[i] = kEntries[i].m;
    return l;
  }();
  return list;
}

std::optional<std::size_t> measurement_index(std::string_view name) {
  for (std::size_t i = 0; i < kEntries.size(); ++i) {
    if (kEntries[i].m.name == name) return i;
  }
  return std::nullopt;
}

struct MeasurementReader::State {
  // A write kept for the packet: attribute slot of its group, element index, value.
  struct Kept {
    std::uint8_t slot;
    std::uint32_t index;
    double value;
  };
  struct GroupState {
    // Untouched until the packet writes one of the group's attributes; then live, or off
    // when the group does not read this packet.
    enum : std::uint8_t { kUntouched, kLive, kOff } use = kUntouched;
    std::vector<Kept> kept;  // in the order last written
    std::vector<Kept> keys;  // the key attribute's writes (slot unused)
  };
  // Who reads an attribute: a group (entry x kMaxGroups + group), as which slot, or as its key.
  struct Reader {
    std::uint16_t group;
    std::uint8_t slot;
    bool key;
  };

  std::vector<std::vector<Reader>> by_id;
  std::array<GroupState, kGroupCount> groups;
  std::array<bool, kEntries.size()> has{};
  std::array<double, kEntries.size()> value{};
  std::array<std::vector<std::uint32_t>, kEntries.size()> lists;

  // The packet. Only what it writes is looked at, so a packet costs its own writes
  // whatever the size of the catalogue.
  std::uint32_t code = 0;
  bool response = false;
  std::optional<bool> evdo;             // asked of the dispatch table when a group needs it
  std::vector<std::uint16_t> touched;   // groups written
  std::vector<std::uint16_t> answered;  // entries looked at

  bool reads(const Group& g) {
    if (g.packets != Packets::kAny) {
      if (!evdo) evdo = !response && evdo_routes(code);
      if ((g.packets == Packets::kEvdo) != *evdo) return false;
    }
    return g.codes[0] == 0 || (!response && (code == g.codes[0] || code == g.codes[1]));
  }

  void subscribe(const std::uint32_t* id, Reader r) {
    if (*id >= by_id.size()) by_id.resize(std::size_t{*id} + 1);
    by_id[*id].push_back(r);
  }

  static void keep(std::vector<Kept>& v, std::uint8_t slot, std::uint32_t index, std::optional<double> x) {
    const auto same = std::ranges::find_if(v, [&](const Kept& k) { return k.slot == slot && k.index == index; });
    if (same != v.end()) v.erase(same);
    if (x) v.push_back({slot, index, *x});
  }

  // The group's kept writes that pass its key.
  template <class F>
  void each(const Group& g, const GroupState& gs, F f) const {
    for (const Kept& k : gs.kept) {
      if (g.key != nullptr) {
        const auto key = std::ranges::find_if(gs.keys, [&](const Kept& c) { return c.index == k.index; });
        if (key == gs.keys.end() || key->value != g.key_value) continue;
      }
      f(k);
    }
  }

  // The group's number for this packet; none when it gave nothing.
  std::optional<double> number(const Group& g, const GroupState& gs) const {
    std::size_t n = 0;
    double acc = 0.0, best = 0.0;
    std::uint32_t best_index = 0;
    std::vector<std::uint32_t> seen;
    each(g, gs, [&](const Kept& k) {
      switch (g.combine) {
        case Combine::kLast: acc = k.value; break;
        case Combine::kMax:
        case Combine::kArgMax:
          if (n == 0 || k.value > best) best = k.value, best_index = k.index;
          break;
        case Combine::kMean:
        case Combine::kSum: acc += k.value; break;
        case Combine::kPowerSum: acc += std::pow(10.0, k.value / 10.0); break;
        case Combine::kCount:
          if (std::ranges::find(seen, k.index) == seen.end()) seen.push_back(k.index);
          break;
        case Combine::kIndexes:
        case Combine::kValues: break;
      }
      ++n;
    });
    if (n == 0) return std::nullopt;
    switch (g.combine) {
      case Combine::kLast:
      case Combine::kSum: return acc;
      case Combine::kMax: return best;
      case Combine::kArgMax: return static_cast<double>(best_index);
      case Combine::kMean: return acc / static_cast<double>(n);
      case Combine::kPowerSum: return 10.0 * std::log10(acc);
      case Combine::kCount: return static_cast<double>(seen.size());
      case Combine::kIndexes:
      case Combine::kValues: break;
    }
    return std::nullopt;
  }

  // One write, to each group that reads its attribute.
  [[gnu::noinline]] void take(const std::vector<Reader>& readers, std::uint32_t index, const WriteValue& v) {
    for (const Reader& r : readers) {
      GroupState& gs = groups[r.group];
      const Group& g = kEntries[r.group / kMaxGroups].rule.groups[r.group % kMaxGroups];
      if (gs.use == GroupState::kUntouched) {
        gs.use = reads(g) ? GroupState::kLive : GroupState::kOff;
        touched.push_back(r.group);
      }
      if (gs.use == GroupState::kOff || (g.index0 && index != 0)) continue;
      std::optional<double> x = finite_number(v);
      if (!x && v.op != WriteOp::kSetNoValue) continue;
      if (r.key) {
        keep(gs.keys, 0, index, x);
        continue;
      }
      if (x) {
        const double y = converted(g.convert, *x) * g.scale;
        if (!std::isfinite(y) || y < g.lo || y > g.hi) continue;
        x = y;
      }
      keep(gs.kept, r.slot, index, x);
    }
  }

  // The group's list for this packet, sorted and without repeats.
  void list(const Group& g, const GroupState& gs, std::vector<std::uint32_t>& out) const {
    each(g, gs, [&](const Kept& k) {
      const std::optional<std::uint32_t> e = g.combine == Combine::kIndexes ? k.index : element(k.value);
      if (e) out.push_back(*e);
    });
    std::ranges::sort(out);
    out.erase(std::unique(out.begin(), out.end()), out.end());
  }
};

MeasurementReader::MeasurementReader() : state_(new State) {
  for (std::size_t e = 0; e < kEntries.size(); ++e) {
    const Rule& rule = kEntries[e].rule;
    for (std::size_t g = 0; g < rule.count; ++g) {
      const Group& group = rule.groups[g];
      const auto n = static_cast<std::uint16_t>(e * kMaxGroups + g);
      for (std::size_t a = 0; a < kGroupAttrs; ++a) {
        if (group.attrs[a] != nullptr) state_->subscribe(group.attrs[a], {n, static_cast<std::uint8_t>(a), false});
      }
      if (group.key != nullptr) state_->subscribe(group.key, {n, 0, true});
    }
  }
}

MeasurementReader::~MeasurementReader() { delete state_; }

void MeasurementReader::begin(std::uint32_t code, bool response) {
  State& s = *state_;
  for (const std::uint16_t g : s.touched) {
    s.groups[g].use = State::GroupState::kUntouched;
    s.groups[g].kept.clear();
    s.groups[g].keys.clear();
  }
  s.touched.clear();
  for (const std::uint16_t e : s.answered) {
    s.has[e] = false;
    s.lists[e].clear();
  }
  s.answered.clear();
  s.code = code;
  s.response = response;
  s.evdo.reset();
}

void MeasurementReader::write(std::uint32_t id, std::uint32_t index, const WriteValue& v) {
  // Most writes are of attributes no measurement reads: they cost this test only.
  if (id < state_->by_id.size() && !state_->by_id[id].empty()) state_->take(state_->by_id[id], index, v);
}

void MeasurementReader::end() {
  State& s = *state_;
  for (const std::uint16_t touched : s.touched) {
    const std::size_t e = touched / kMaxGroups;
    if (std::ranges::find(s.answered, e) != s.answered.end()) continue;
    const Rule& rule = kEntries[e].rule;
    const State::GroupState* gs = &s.groups[e * kMaxGroups];
    if (rule.merge == Merge::kPercent) {
      const std::optional<double> whole = s.number(rule.groups[1], gs[1]);
      if (whole && *whole > 0) {
        s.value[e] = 100.0 * s.number(rule.groups[0], gs[0]).value_or(0.0) / *whole;
        s.has[e] = true;
      }
    }
    for (std::size_t g = 0; g < rule.count && rule.merge == Merge::kFirst && !s.has[e]; ++g) {
      if (gs[g].kept.empty()) continue;
      if (kEntries[e].m.shape == Shape::kList) {
        s.list(rule.groups[g], gs[g], s.lists[e]);
        s.has[e] = !s.lists[e].empty();
      } else if (const std::optional<double> v = s.number(rule.groups[g], gs[g])) {
        s.value[e] = *v;
        s.has[e] = true;
      }
    }
    // Looked at once, whether it gave a value or not; begin() clears what it gave.
    s.answered.push_back(static_cast<std::uint16_t>(e));
  }
}

bool MeasurementReader::has(std::size_t i) const { return i < kEntries.size() && state_->has[i]; }
double MeasurementReader::value(std::size_t i) const { return state_->value[i]; }
const std::vector<std::uint32_t>& MeasurementReader::list(std::size_t i) const { return state_->lists[i]; }

}  // namespace cdmadiag
