// 1xEV forward link statistics: per-rate packet counters turned into packet error
// rates and throughputs (0x1084, 0x107F), slot-count histograms (0x1067), the ARQ
// effective receive rate (0x1066), the DRC channel and ARQ buffer (0x1061, 0x108C)
// and the forward link packet headers (0x1284).
//
// The counters only grow, so rates over the last interval come from the difference
// to the previous report, whose totals each decoder stores in the data state and
// reads back on the next packet.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "evdo/evdo_common.h"
#include "evdo/packet_clock.h"
#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/abs_time.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrReader;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using E = COrbDecodeMsgCDMA1xEVDOQualcommFrame;
using ull = unsigned long long;

constexpr const char* kBlankLine = "\t\n";

// ---- forward rates ----

// Counter order: the two control channel rates, then the twelve traffic rates.
constexpr std::size_t kRates = 14;
constexpr std::size_t kCcRates = 2;

struct ForwardRate {
  const char* label;
  std::uint32_t bits;   // of one packet
  std::uint32_t slots;  // nominal length of a packet; also its histogram's buckets
  const char* heading;  // of its histogram, without the leading "\n"
  bool one_slot() const { return slots == 1; }
};

constexpr std::array<ForwardRate, kRates> kForwardRates{{
    {"CC38400", 1024, 16, "Counter for 38.4k rate CC packets decoded in 1..16 slots\n"},
    {"CC76800", 1024, 8, "Counter for 76.8k CC packets decoded in 1..8 slots\n"},
    {"TC38400", 1024, 16, "Counter for 38.4k rate packets decoded in 1..16 slots\n"},
    {"TC76800", 1024, 8, "Counter for 76.8k packets decoded in 1..8 slots\n"},
    {"TC153600", 1024, 4, "Counter for 153.6k packets decoded in 1..4 slots\n"},
    {"TC307200(S)", 1024, 2, "Counter for 302.2(short) packets decoded in 1..2 slots\n"},
    {"TC307200(L)", 2048, 4, "Counter for 302.2(long) packets decoded in 1..4 slots\n"},
    {"TC614400(S)", 1024, 1, "Counter for 614.4(short) packets decoded in 1 slots\n"},
    {"TC614400(L)", 2048, 2, "Counter for 614.4(long) packets decoded in 1..2 slots\n"},
    {"TC921600", 3072, 2, "Counter for 921.6 packets decoded in 1..2 slots\n"},
    {"TC1228800(S)", 2048, 1, "Counter for 1228.8(short) packets decoded in 1 slot\n"},
    {"TC1228800(L)", 4096, 2, "Counter for 1228.8(long) packets decoded in 1..2 slots\n"},
    {"TC1843200", 3072, 1, "Counter for 1843.2k packets decoded in 1 slot\n"},
    {"TC2457600", 4096, 1, "Counter for 2457.6k packets decoded in 1 slot\n"},
}};

// Histograms come traffic rates first, then the control channel.
constexpr std::array<std::size_t, kRates> kHistogramOrder{2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 0, 1};
constexpr std::size_t kTrafficHistograms = kRates - kCcRates;

constexpr std::size_t buckets_of(std::size_t histograms) {
  std::size_t n = 0;
  for (std::size_t h = 0; h < histograms; ++h) n += kForwardRates[kHistogramOrder[h]].slots;
  return n;
}
static_assert(buckets_of(kTrafficHistograms) == 44 && buckets_of(kRates) == 68);

// Counters (0x1084 and 0x107F), u32 each:
//   +8i   u32  good packets of rate i (counter order above)
//   +8i+4 u32  bad packets of rate i
constexpr std::size_t kCounterBytes = 8 * kRates;

// Forward statistics summary (0x1084), 388 bytes:
//     +0  28 x u32  counters
//   +112  68 x u32  slot histograms in histogram order; bucket k counts good packets
//                   decoded in k + 1 slots
//   +384  u32       SequenceNumber; the throughputs take it as seconds since the reset
constexpr std::size_t kSummarySize = kCounterBytes + 4 * buckets_of(kRates) + 4;
static_assert(kSummarySize == 388);

// Forward rate statistics (0x107F), 120 bytes, behind the packet's own log header
// when the bytes still carry it:
//     +0  28 x u32  counters
//   +112  8 bytes   statistics reset time, log time stamp (bytes 2-7: 1.25 ms units
//                   since 1980-01-06)
constexpr std::uint16_t kRateStatCode = 0x107F;
[[maybe_unused]] constexpr std::size_t kRateStatSize = kCounterBytes + 8;

// Forward traffic rate slot count (0x1067): the 12 traffic histograms alone, 44 x u32.

constexpr double kSlotMs = 1.67;

struct Counters {
  std::array<std::uint32_t, kRates> good{}, bad{};
};

Counters read_counters(Cursor& in) {
  Counters c;
  for (std::size_t i = 0; i < kRates; ++i) {
    c.good[i] = in.u32le();
    c.bad[i] = in.u32le();
  }
  return c;
}

// 64-bit sums: fourteen 32-bit counters, times up to 4096 bits, fit with room.
struct Totals {
  std::uint64_t cc_good = 0, cc_bad = 0, tc_good = 0, tc_bad = 0;
  std::uint64_t cc_bits = 0, tc_bits = 0;
  std::uint64_t bad_slots = 0;  // traffic only
  std::uint64_t cc_total() const { return cc_good + cc_bad; }
  std::uint64_t tc_total() const { return tc_good + tc_bad; }
};

Totals totals_of(const Counters& c) {
  Totals t;
  for (std::size_t i = 0; i < kRates; ++i) {
    const ForwardRate& rate = kForwardRates[i];
    if (i < kCcRates) {
      t.cc_good += c.good[i];
      t.cc_bad += c.bad[i];
      t.cc_bits += std::uint64_t{c.good[i]} * rate.bits;
    } else {
      t.tc_good += c.good[i];
      t.tc_bad += c.bad[i];
      t.tc_bits += std::uint64_t{c.good[i]} * rate.bits;
      t.bad_slots += std::uint64_t{c.bad[i]} * rate.slots;
    }
  }
  return t;
}

double PerPercent(std::uint64_t good, std::uint64_t bad) {
  const std::uint64_t total = good + bad;
  return total == 0 ? 0.0 : static_cast<double>(bad) * 100.0 / static_cast<double>(total);
}

// Histogram buckets in histogram order, as read.
using Histograms = std::array<std::uint32_t, buckets_of(kRates)>;

Histograms read_histograms(Cursor& c, std::size_t histograms) {
  Histograms h{};
  for (std::size_t k = 0; k < buckets_of(histograms); ++k) h[k] = c.u32le();
  return h;
}

// Slots of the good traffic packets: a packet of bucket k took k + 1 slots.
std::uint64_t good_traffic_slots(const Histograms& h) {
  std::uint64_t slots = 0;
  std::size_t k = 0;
  for (std::size_t n = 0; n < kTrafficHistograms; ++n) {
    for (std::uint32_t b = 0; b < kForwardRates[kHistogramOrder[n]].slots; ++b, ++k) slots += (b + 1ull) * h[k];
  }
  return slots;
}

// Bucket attributes by counter index; null where a packet has no histogram.
using RateAttrs = std::array<const std::uint32_t*, kRates>;
const RateAttrs kSummarySlotAttrs{
    &ATTR_ID_EVDO_FWDSTATSUMMARY_CC_RATE_38400_FOR_SLOT, &ATTR_ID_EVDO_FWDSTATSUMMARY_CC_RATE_76800_FOR_SLOT,
    &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_38400_FOR_SLOT,    &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_76800_FOR_SLOT,
    &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_153600_FOR_SLOT,   &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_307200S_FOR_SLOT,
    &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_307200L_FOR_SLOT,  &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_614400S_FOR_SLOT,
    &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_614400L_FOR_SLOT,  &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_921600_FOR_SLOT,
    &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_1228800S_FOR_SLOT, &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_1228800L_FOR_SLOT,
    &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_1843200_FOR_SLOT,  &ATTR_ID_EVDO_FWDSTATSUMMARY_RATE_2457600_FOR_SLOT,
};
const RateAttrs kSlotCountAttrs{
    nullptr,
    nullptr,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_38400_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_76800_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_153600_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_307200S_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_307200L_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_614400S_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_614400L_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_921600_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_1228800S_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_1228800L_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_1843200_FOR_SLOT,
    &ATTR_ID_EVDO_FWDTRAFRATESLOTCNT_RATE_2457600_FOR_SLOT,
};

void write_histograms(const AttrWriter& w, const Histograms& h, std::size_t histograms, const RateAttrs& attrs) {
  std::size_t k = 0;
  for (std::size_t n = 0; n < histograms; ++n) {
    const std::size_t rate = kHistogramOrder[n];
    for (std::uint32_t b = 0; b < kForwardRates[rate].slots; ++b, ++k) w.ULong(*attrs[rate], h[k], b);
  }
}

// all_lead: every heading starts on a new line; otherwise only the first does.
void append_histograms(std::string& out, const Histograms& h, std::size_t histograms, bool all_lead) {
  std::size_t k = 0;
  for (std::size_t n = 0; n < histograms; ++n) {
    const ForwardRate& rate = kForwardRates[kHistogramOrder[n]];
    if (all_lead || n == 0) out += "\n";
    out += rate.heading;
    if (rate.one_slot()) {
      appendf(out, "[0]: %u", h[k++]);
      continue;
    }
    for (std::uint32_t b = 0; b < rate.slots; ++b, ++k) {
      out += '[';
      cdmadiag::append_int(out, b + 1);
      out += "]: ";
      cdmadiag::append_int(out, h[k]);
      out += '\t';
    }
  }
}

void append_rate_table(std::string& out, const Counters& c, const Totals& t) {
  const std::string dashes(136, '-');
  out += "Rate\t\t\tGood CRC\tBad CRC\tTotal\t\tPER (%)\n";
  out += dashes + "\n";
  for (std::size_t i = 0; i < kRates; ++i) {
    // The sum is taken in 64 bits: a 32-bit one would wrap on busy counters.
    appendf(out, "%s\t\t%6u\t\t%6u\t\t%llu\t\t%.2f\n", kForwardRates[i].label, c.good[i], c.bad[i],
            ull{c.good[i]} + c.bad[i], PerPercent(c.good[i], c.bad[i]));
    if (i + 1 == kCcRates) out += kBlankLine;
  }
  out += dashes + "\n";
  appendf(out, "Total\t\t\t%6llu\t\t%6llu\t\t%llu\n", ull{t.cc_good + t.tc_good}, ull{t.cc_bad + t.tc_bad},
          ull{t.cc_total() + t.tc_total()});
  out += kBlankLine;
}

// ---- rates from the counters and the previous report ----

// The attributes of one statistics packet (summary or rate statistics); pointers
// because the ids are resolved at load.
struct StatsAttrs {
  const std::uint32_t *cc_per_cum, *tc_per_cum, *cc_per_inst, *tc_per_inst;
  const std::uint32_t *cc_tput_cum, *tc_tput_cum, *cc_tput_inst, *tc_tput_inst;
  const std::uint32_t *cc_bad, *cc_total, *cc_bits, *tc_bad, *tc_total, *tc_bits;
  RateAttrs good, bad;
};
#define CDMADIAG_RATES(F, END)                                                                  \
  RateAttrs {                                                                                   \
    &ATTR_ID_EVDO_##F##_CCH_RATE38400_##END, &ATTR_ID_EVDO_##F##_CCH_RATE76800_##END,           \
        &ATTR_ID_EVDO_##F##_TCH_RATE38400_##END, &ATTR_ID_EVDO_##F##_TCH_RATE76800_##END,       \
        &ATTR_ID_EVDO_##F##_TCH_RATE153600_##END, &ATTR_ID_EVDO_##F##_TCH_RATE307200S_##END,    \
        &ATTR_ID_EVDO_##F##_TCH_RATE307200L_##END, &ATTR_ID_EVDO_##F##_TCH_RATE614400S_##END,   \
        &ATTR_ID_EVDO_##F##_TCH_RATE614400L_##END, &ATTR_ID_EVDO_##F##_TCH_RATE921600_##END,    \
        &ATTR_ID_EVDO_##F##_TCH_RATE1228800S_##END, &ATTR_ID_EVDO_##F##_TCH_RATE1228800L_##END, \
        &ATTR_ID_EVDO_##F##_TCH_RATE1843200_##END, &ATTR_ID_EVDO_##F##_TCH_RATE2457600_##END    \
  }
#define CDMADIAG_STATS(F)                                                                                             \
  StatsAttrs {                                                                                                        \
    &ATTR_ID_EVDO_##F##_CCH_PER_CUM, &ATTR_ID_EVDO_##F##_TCH_PER_CUM, &ATTR_ID_EVDO_##F##_CCH_PER_INST,               \
        &ATTR_ID_EVDO_##F##_TCH_PER_INST, &ATTR_ID_EVDO_##F##_CCH_AVGTPUT_CUM, &ATTR_ID_EVDO_##F##_TCH_AVGTPUT_CUM,   \
        &ATTR_ID_EVDO_##F##_CCH_AVGTPUT_INST, &ATTR_ID_EVDO_##F##_TCH_AVGTPUT_INST,                                   \
        &ATTR_ID_EVDO_##F##_CCH_TOTAL_BAD_PKTS, &ATTR_ID_EVDO_##F##_CCH_TOTAL_PKT_COUNT,                              \
        &ATTR_ID_EVDO_##F##_CCH_TOTAL_GOOD_BITS_TX, &ATTR_ID_EVDO_##F##_TCH_TOTAL_BAD_PKTS,                           \
        &ATTR_ID_EVDO_##F##_TCH_TOTAL_PKT_COUNT, &ATTR_ID_EVDO_##F##_TCH_TOTAL_GOOD_BITS_TX, CDMADIAG_RATES(F, GOOD), \
        CDMADIAG_RATES(F, BAD)                                                                                        \
  }
const StatsAttrs kSummaryAttrs = CDMADIAG_STATS(FWDSTATSUMMARY);
const StatsAttrs kRateStatAttrs = CDMADIAG_STATS(FWDRATESTATS);
#undef CDMADIAG_STATS
#undef CDMADIAG_RATES

struct ChannelPair {
  double cc = 0.0, tc = 0.0;
};

// What a statistics packet shows and writes besides its counters. An empty optional
// is a value that cannot be computed: written with SetNoValue.
struct Figures {
  ChannelPair per_cum;
  std::optional<ChannelPair> per_inst;  // empty: no previous report
  std::optional<ChannelPair> tput_cum;
  bool previous_bits = false;  // the previous report's good bits are known
  std::optional<ChannelPair> tput_inst;
};

// A count the previous report stored; a negative one was not ours and reads as absent.
std::optional<std::int64_t> previous(const AttrReader& rd, const std::uint32_t* id) {
  const auto v = cdmadiag::held_integer(rd.latest(*id));
  return v && *v >= 0 ? v : std::nullopt;
}

// PER over the packets since the previous report. Totals that went down, or bad
// packets that went down or grew faster than the total, mean the modem restarted its
// counters (or one wrapped) between the reports: a difference would lie, so the
// cumulative rate stands in.
double instant_per(std::uint64_t bad, std::uint64_t total, std::int64_t prev_bad, std::int64_t prev_total,
                   double cumulative) {
  const auto b = static_cast<std::int64_t>(bad);
  const auto n = static_cast<std::int64_t>(total);
  if (n == prev_total) return 0.0;
  if (n < prev_total || b < prev_bad || b - prev_bad > n - prev_total) return cumulative;
  return static_cast<double>(b - prev_bad) * 100.0 / static_cast<double>(n - prev_total);
}

// Cumulative and instantaneous PER: the same for both statistics packets.
Figures per_figures(const AttrReader& rd, const StatsAttrs& a, const Totals& t) {
  Figures f;
  f.per_cum = {PerPercent(t.cc_good, t.cc_bad), PerPercent(t.tc_good, t.tc_bad)};
  const auto cc_total = previous(rd, a.cc_total), tc_total = previous(rd, a.tc_total);
  const auto cc_bad = previous(rd, a.cc_bad), tc_bad = previous(rd, a.tc_bad);
  if (cc_total && tc_total && cc_bad && tc_bad) {
    f.per_inst = ChannelPair{instant_per(t.cc_bad, t.cc_total(), *cc_bad, *cc_total, f.per_cum.cc),
                             instant_per(t.tc_bad, t.tc_total(), *tc_bad, *tc_total, f.per_cum.tc)};
  }
  return f;
}

// kbit/s of the good bits gained since prev_bits over span seconds. The whole 64-bit
// difference is kept: its low 32 bits alone would misread a gain of more than 2^31
// bits between two reports. Fewer bits than before (a restart) give 0.
double bits_rate(std::uint64_t bits, std::int64_t prev_bits, double span) {
  const std::int64_t db = static_cast<std::int64_t>(bits) - prev_bits;
  return db >= 0 && span > 0.0 ? static_cast<double>(db) / (span * 1000.0) : 0.0;
}

void write_pair(const AttrWriter& w, const std::uint32_t* cc, const std::uint32_t* tc,
                const std::optional<ChannelPair>& v) {
  if (v) {
    w.Double(*cc, v->cc);
    w.Double(*tc, v->tc);
  } else {
    w.NoValue(*cc);
    w.NoValue(*tc);
  }
}

void write_figures(const AttrWriter& w, const StatsAttrs& a, const Figures& f) {
  write_pair(w, a.cc_per_cum, a.tc_per_cum, f.per_cum);
  write_pair(w, a.cc_per_inst, a.tc_per_inst, f.per_inst);
  write_pair(w, a.cc_tput_cum, a.tc_tput_cum, f.tput_cum);
  write_pair(w, a.cc_tput_inst, a.tc_tput_inst, f.tput_inst);
}

// Totals for the next report, then every raw counter.
void write_state(const AttrWriter& w, const StatsAttrs& a, const Counters& c, const Totals& t) {
  w.UInt64(*a.cc_bad, t.cc_bad);
  w.UInt64(*a.cc_total, t.cc_total());
  w.UInt64(*a.cc_bits, t.cc_bits);
  w.UInt64(*a.tc_bad, t.tc_bad);
  w.UInt64(*a.tc_total, t.tc_total());
  w.UInt64(*a.tc_bits, t.tc_bits);
  for (std::size_t i = 0; i < kRates; ++i) {
    w.ULong(*a.good[i], c.good[i]);
    w.ULong(*a.bad[i], c.bad[i]);
  }
}

std::string kbps_or_na(const std::optional<ChannelPair>& v, double ChannelPair::*channel) {
  return v ? cdmadiag::formatf("%.2f kbps", (*v).*channel) : std::string("n/a");
}

std::string abs_time_text(double seconds) {
  // A stream start read back from the data state could be anything; keep the cast defined.
  const double ms = seconds * 1000.0;
  std::string s;
  COrbMilliSecAbsTime(std::isfinite(ms) && std::fabs(ms) < 9.0e18 ? static_cast<std::int64_t>(ms) : 0)
      .GetAbsTimeStr(s, nullptr);
  return s;
}

// ---- DRC channel and ARQ buffer ----

// DRC channel (0x1061): 16 slot words, u16 each:
//   bits 0-2   DRC cover
//   bits 8-11  DRC index
//   bit 12     1 ACK, 0 NACK
//   bit 13     ACK channel enabled
constexpr std::uint32_t kSlots = 16;

struct DrcSlot {
  std::uint8_t cover, drc, ack, enabled;
};

DrcSlot read_drc_slot(std::uint16_t word) {
  return {static_cast<std::uint8_t>(cdmadiag::bits(word, 0, 3)), static_cast<std::uint8_t>(cdmadiag::bits(word, 8, 4)),
          static_cast<std::uint8_t>(cdmadiag::bits(word, 12, 1)),
          static_cast<std::uint8_t>(cdmadiag::bits(word, 13, 1))};
}

using DrcSlots = std::array<DrcSlot, kSlots>;

DrcSlots read_drc_slots(Cursor& c) {
  DrcSlots s{};
  for (std::uint32_t i = 0; i < kSlots; ++i) s[i] = read_drc_slot(c.u16le());
  return s;
}

struct DrcSlotAttrs {
  const std::uint32_t *enabled, *ack, *drc, *cover;
};

void write_drc_slots(const AttrWriter& w, const DrcSlots& slots, const DrcSlotAttrs& a) {
  for (std::uint32_t s = 0; s < kSlots; ++s) {
    w.Byte(*a.enabled, slots[s].enabled, s);
    w.Byte(*a.ack, slots[s].ack, s);
    w.Byte(*a.drc, slots[s].drc, s);
    w.Byte(*a.cover, slots[s].cover, s);
  }
}

void append_drc_slots(std::string& out, const DrcSlots& slots) {
  out += "Slot\tCover\tDRCRate\tACKChanEna\tACK/NACK\n";
  out += std::string(99, '-') + "\n";
  for (std::uint32_t s = 0; s < kSlots; ++s) {
    const DrcSlot& d = slots[s];
    const char* ack = d.enabled ? (d.ack ? "Ack" : "Nack") : "-----";
    const char* enabled = d.enabled ? "Enabled" : "Disabled";
    if (d.drc == 0) {
      appendf(out, "%u\t%4u\t%10s\t\t%8s\t%s\n", s, unsigned{d.cover}, "0", enabled, ack);
    } else {
      appendf(out, "%u\t%4u\t%9s\t%8s\t%s\n", s, unsigned{d.cover}, cdmadiag::evdo::drc_rate_name(d.drc), enabled, ack);
    }
  }
}

// DRC channel version 2 (0x108C): two instances of 54 bytes.
//    +0  16 x u16  slot words as above
//   +32  u8        SlotCnt
//   +33  u16       DRC lock, bit i for ASP index i (0-5)
//   +35  u16       DRC lock valid, bit i for ASP index i
//   +37  u8        DRCLockUpdateSlot
//   +38  16 x u8   per slot: bits 0-2 forward-link ASP, bits 3-5 reverse-link ASP
[[maybe_unused]] constexpr std::size_t kDrc2InstanceSize = 54;
constexpr std::size_t kDrc2Instances = 2;
constexpr std::uint32_t kAspIndices = 6;

struct Drc2Instance {
  DrcSlots slots;
  std::uint8_t slot_count, lock_update_slot;
  std::uint16_t lock, lock_valid;
  std::array<std::uint8_t, kSlots> fl_asp, rl_asp;
};

Drc2Instance read_drc2_instance(Cursor& c) {
  Drc2Instance in{};
  in.slots = read_drc_slots(c);
  in.slot_count = c.u8();
  in.lock = c.u16le();
  in.lock_valid = c.u16le();
  in.lock_update_slot = c.u8();
  for (std::uint32_t s = 0; s < kSlots; ++s) {
    const std::uint8_t asp = c.u8();
    in.fl_asp[s] = static_cast<std::uint8_t>(cdmadiag::bits(asp, 0, 3));
    in.rl_asp[s] = static_cast<std::uint8_t>(cdmadiag::bits(asp, 3, 3));
  }
  return in;
}

struct Drc2Attrs {
  DrcSlotAttrs slot;
  const std::uint32_t *best_asp_rl, *best_asp_fl, *lock, *lock_valid, *slot_count, *lock_update_slot;
};
#define CDMADIAG_DRC2(S)                                                                                             \
  Drc2Attrs {                                                                                                        \
    {&ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_ACK_CHAN_ENABLED_FOR_SLOT##S,                                                \
     &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_ACK_NACK_FOR_SLOT##S,                                                        \
     &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_DRC_VALUE_FOR_SLOT##S,                                                       \
     &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_DRC_COVER_FOR_SLOT##S},                                                      \
        &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_BEST_ASP_RL_FOR_SLOT##S,                                                  \
        &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_BEST_ASP_FL_FOR_SLOT##S,                                                  \
        &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_DRC_LOCK_FOR_ASPIDX##S,                                                   \
        &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_DRC_LOCK_VALID_FOR_ASPIDX##S,                                             \
        &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_SLOT_COUNT##S, &ATTR_ID_EVDO_DRCCHANNELARQBUFVER2_DRC_LOCK_UPDATE_SLOT##S \
  }
const std::array<Drc2Attrs, kDrc2Instances> kDrc2Attrs{CDMADIAG_DRC2(), CDMADIAG_DRC2(_INSTANCE2)};
#undef CDMADIAG_DRC2

// ---- ARQ effective receive rate ----

// Nominal slots of a packet by DRC index.
constexpr std::array<std::uint32_t, 16> kDrcNominalSlots{0, 16, 8, 4, 2, 4, 1, 2, 2, 1, 2, 1, 1, 2, 1, 0};

// Payload (0x1066): u8 NumPackets, then NumPackets records of 3 bytes:
//   +0  u8   bits 0-3 DecPktRate (DRC index), bits 4-7 DecPktSlots
//   +1  u16  bits 0-8 HSTR (half slots), bit 15 CRC check (1 passed)
constexpr std::size_t kArqRecordSize = 3;

// ---- forward link packet headers ----

// Payload (0x1284): u8 version, u8 header count N, then N records of 7 bytes, of
// which the first kMaxHeaders are shown:
//   +0  u16  HSTR               half slots
//   +2  u8   data bits          units of 32 bits
//   +3  u8   DRC value
//   +4  u8   slots used
//   +5  u8   MAC index
//   +6  u8   packet type
constexpr std::size_t kHeaderRecordSize = 7;
constexpr std::size_t kMaxHeaders = 32;

constexpr std::array<ValueName, 7> kPacketTypeNames{{
    {0, "Unicast data"},
    {1, "Multiuser data"},
    {4, "Control"},
    {5, "Control Rel A"},
    {6, "User defined Control Rel A"},
    {10, "Broadcast"},
    {11, "Enhanced broadcast"},
}};

}  // namespace

void E::DecodeForwardStatisticsSummary(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeForwardStatisticsSummary);
  Cursor in(payload());
  const Counters c = read_counters(in);
  const Histograms h = read_histograms(in, kRates);
  const std::uint32_t seq = in.u32le();
  if (!job.check(in)) return;
  assert(in.offset() == kSummarySize);
  const Totals t = totals_of(c);

  const AttrReader rd(ds);
  Figures f = per_figures(rd, kSummaryAttrs, t);
  // The sequence number serves as the seconds since the reset: at 0 there is no span
  // to divide by, so no cumulative throughput rather than an infinite one.
  if (seq != 0) f.tput_cum = ChannelPair{bits_rate(t.cc_bits, 0, seq), bits_rate(t.tc_bits, 0, seq)};
  const auto prev_seq = previous(rd, &ATTR_ID_EVDO_FWDSTATSUMMARY_SEQUENCE_NUMBER);
  const auto prev_cc_bits = previous(rd, kSummaryAttrs.cc_bits);
  const auto prev_tc_bits = previous(rd, kSummaryAttrs.tc_bits);
  if (prev_seq && prev_cc_bits && prev_tc_bits) {
    const double span = static_cast<double>(std::int64_t{seq} - *prev_seq);
    f.previous_bits = true;
    f.tput_inst = ChannelPair{bits_rate(t.cc_bits, *prev_cc_bits, span), bits_rate(t.tc_bits, *prev_tc_bits, span)};
  }
  // Served time: every traffic slot that carried a packet for the terminal, good or
  // bad, in whole ms; the rate is kept in whole kbit/s.
  const auto served_ms = static_cast<std::uint64_t>(static_cast<double>(good_traffic_slots(h) + t.bad_slots) * kSlotMs);
  std::optional<double> served_kbps;
  if (served_ms != 0) served_kbps = static_cast<double>(t.tc_bits / served_ms);

  if (const AttrWriter w(ds); w.on()) {
    write_histograms(w, h, kRates, kSummarySlotAttrs);
    write_figures(w, kSummaryAttrs, f);
    w.ULong(ATTR_ID_EVDO_FWDSTATSUMMARY_SEQUENCE_NUMBER, seq);
    write_state(w, kSummaryAttrs, c, t);
    if (served_kbps) w.Double(ATTR_ID_EVDO_FWDRATESTATS_TCH_TPUT_WEN_SERVED, *served_kbps);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  append_rate_table(out, c, t);
  append_histograms(out, h, kRates, true);
  out += "\n";
  appendf(out, "\t\nSequenceNumber: %u\n", seq);
  appendf(out, "\t\nCC AvgPER Cumulative: %.2f%%,  TC AvgPER Cumulative: %.2f%%\n", f.per_cum.cc, f.per_cum.tc);
  if (f.per_inst) {
    appendf(out, "CC AvgPER Instantaneous: %.2f%%,  TC AvgPER Instantaneous: %.2f%%\n", f.per_inst->cc, f.per_inst->tc);
    out += kBlankLine;
  }
  appendf(out, "CC AvgThroughput Cumulative: %s,  TC AvgThroughput Cumulative: %s\n",
          kbps_or_na(f.tput_cum, &ChannelPair::cc).c_str(), kbps_or_na(f.tput_cum, &ChannelPair::tc).c_str());
  if (f.previous_bits) {
    appendf(out, "CC AvgThroughput Instantaneous: %s,  TC AvgThroughput Instantaneous: %s\n",
            kbps_or_na(f.tput_inst, &ChannelPair::cc).c_str(), kbps_or_na(f.tput_inst, &ChannelPair::tc).c_str());
    out += kBlankLine;
  }
  if (served_kbps) appendf(out, "Throughput when served: %.2f kbps\n", *served_kbps);
}

void E::DecodeForRateStat(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeForRateStat);
  const cdmadiag::evdo::PacketClock clock = cdmadiag::evdo::packet_clock(*this, ds, kRateStatCode);
  Cursor in(payload(), clock.payload_offset);
  const Counters c = read_counters(in);
  const double reset = in.diag_time();
  if (!job.check(in)) return;
  assert(in.offset() == clock.payload_offset + kRateStatSize);
  const Totals t = totals_of(c);
  const double now = clock.seconds;

  const AttrReader rd(ds);
  Figures f = per_figures(rd, kRateStatAttrs, t);
  if (now - reset > 0.0)
    f.tput_cum = ChannelPair{bits_rate(t.cc_bits, 0, now - reset), bits_rate(t.tc_bits, 0, now - reset)};
  const auto prev_time = cdmadiag::held_number(rd.latest(ATTR_ID_EVDO_FWDRATESTATS_LAST_MSG_TIME_IN_SECONDS));
  const auto prev_cc_bits = previous(rd, kRateStatAttrs.cc_bits);
  const auto prev_tc_bits = previous(rd, kRateStatAttrs.tc_bits);
  if (prev_time && prev_cc_bits && prev_tc_bits) {
    f.previous_bits = true;
    const double span = now - *prev_time;
    if (span > 0.0)
      f.tput_inst = ChannelPair{bits_rate(t.cc_bits, *prev_cc_bits, span), bits_rate(t.tc_bits, *prev_tc_bits, span)};
  }

  if (const AttrWriter w(ds); w.on()) {
    write_figures(w, kRateStatAttrs, f);
    w.Double(ATTR_ID_EVDO_FWDRATESTATS_RESET_TIME_IN_SECONDS, reset);
    w.Double(ATTR_ID_EVDO_FWDRATESTATS_LAST_MSG_TIME_IN_SECONDS, now);
    write_state(w, kRateStatAttrs, c, t);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  append_rate_table(out, c, t);
  appendf(out, "CDMA System Time: %s\nStatistics Reset Time: %s\n", abs_time_text(now).c_str(),
          abs_time_text(reset).c_str());
  out += kBlankLine;
  appendf(out, "CC AvgPER Cumulative: %.2f%%\nTC AvgPER Cumulative: %.2f%%\n", f.per_cum.cc, f.per_cum.tc);
  if (f.per_inst) {
    appendf(out, "CC AvgPER Instantaneous: %.2f%%\nTC AvgPER Instantaneous: %.2f%%\n", f.per_inst->cc, f.per_inst->tc);
    out += kBlankLine;
  }
  appendf(out, "CC AvgThroughput Cumulative: %s\nTC AvgThroughput Cumulative: %s\n",
          kbps_or_na(f.tput_cum, &ChannelPair::cc).c_str(), kbps_or_na(f.tput_cum, &ChannelPair::tc).c_str());
  if (f.previous_bits) {
    appendf(out, "CC AvgThroughput Instantaneous: %s\nTC AvgThroughput Instantaneous: %s\n",
            kbps_or_na(f.tput_inst, &ChannelPair::cc).c_str(), kbps_or_na(f.tput_inst, &ChannelPair::tc).c_str());
    out += kBlankLine;
  }
}

void E::DecodeForTrafficRateSlotCount(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeForTrafficRateSlotCount);
  Cursor c(payload());
  const Histograms h = read_histograms(c, kTrafficHistograms);
  if (!job.check(c)) return;

  write_histograms(AttrWriter(ds), h, kTrafficHistograms, kSlotCountAttrs);
  if (msg.detailsWanted) append_histograms(msg.details, h, kTrafficHistograms, false);
}

void E::DecodeARQEffReceiveRate(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeARQEffReceiveRate);
  Cursor c(payload());
  const std::uint8_t n = c.u8();
  if (!job.check(c) || !job.require(c, n * kArqRecordSize)) return;

  struct Record {
    std::uint8_t rate, slots, crc;
    std::uint16_t hstr;
    std::optional<double> kbps;  // none for a packet decoded in 0 slots
  };
  std::array<Record, 255> records{};
  double sum = 0.0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = c.u8();
    const std::uint16_t w = c.u16le();
    Record& rec = records[i];
    rec = {static_cast<std::uint8_t>(cdmadiag::bits(b, 0, 4)), static_cast<std::uint8_t>(cdmadiag::bits(b, 4, 4)),
           static_cast<std::uint8_t>(cdmadiag::bits(w, 15, 1)), static_cast<std::uint16_t>(cdmadiag::bits(w, 0, 9)),
           std::nullopt};
    if (rec.slots > 0) {
      rec.kbps = cdmadiag::evdo::drc_rate_bps(rec.rate) * kDrcNominalSlots[rec.rate] / rec.slots * 0.001;
      sum += *rec.kbps;
    }
  }
  // Packets decoded in 0 slots still count in the divisor; with no packets at all
  // there is no average (0 / 0).
  const bool averaged = n > 0;
  const double average = averaged ? sum / n : 0.0;

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_EVDO_ARQEFFRXRATE_NUMPKTS, n);
    for (std::uint32_t i = 0; i < n; ++i) {
      const Record& rec = records[i];
      w.Byte(ATTR_ID_EVDO_ARQEFFRXRATE_DECPKTSLOT_FOR_PKT, rec.slots, i);
      w.Byte(ATTR_ID_EVDO_ARQEFFRXRATE_DECPKTRATE_FOR_PKT, rec.rate, i);
      w.Byte(ATTR_ID_EVDO_ARQEFFRXRATE_CRCCHECK_FOR_PKT, rec.crc, i);
      w.UShort(ATTR_ID_EVDO_ARQEFFRXRATE_HSTR_FOR_PKT, rec.hstr, i);
      if (rec.kbps) w.Double(ATTR_ID_EVDO_ARQEFFRXRATE_EFFRXRATE_FOR_PKT, *rec.kbps, i);
    }
    if (averaged) w.Double(ATTR_ID_EVDO_ARQEFFRXRATEAVG, average);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "NumPackets: %u\n", unsigned{n});
  out += kBlankLine;
  for (std::size_t i = 0; i < n; ++i) {
    const Record& rec = records[i];
    appendf(out, "\n\tDecPktSlots: %u\n\tDecPktRate: %d (%s bps)\n\tCRCCheck: %u (%s)\n\tHSTR: %u\n\t",
            unsigned{rec.slots}, int{rec.rate}, cdmadiag::evdo::drc_rate_name(rec.rate), unsigned{rec.crc},
            rec.crc ? "Passed" : "Failed", unsigned{rec.hstr});
    if (rec.kbps) {
      appendf(out, "EffectiveReceiveRate: %.2f kbps\n", *rec.kbps);
    } else {
      out += "EffectiveReceiveRate: n/a\n";
    }
    out += kBlankLine;
  }
  if (averaged) {
    appendf(out, "Average EffectiveReceiveRate: %.2f kbps\n", average);
  } else {
    out += "Average EffectiveReceiveRate: n/a\n";
  }
  out += kBlankLine;
}

void E::DecodeDataRateControlChannel(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeDataRateControlChannel);
  Cursor c(payload());
  const DrcSlots slots = read_drc_slots(c);
  if (!job.check(c)) return;
  write_drc_slots(
      AttrWriter(ds), slots,
      {&ATTR_ID_EVDO_DRCCHANNELARQBUF_ACK_CHAN_ENABLED_FOR_SLOT, &ATTR_ID_EVDO_DRCCHANNELARQBUF_ACK_NACK_FOR_SLOT,
       &ATTR_ID_EVDO_DRCCHANNELARQBUF_DRC_VALUE_FOR_SLOT, &ATTR_ID_EVDO_DRCCHANNELARQBUF_DRC_COVER_FOR_SLOT});
  if (msg.detailsWanted) append_drc_slots(msg.details, slots);
}

void E::DecodeDataRateControlChannel2(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeDataRateControlChannel2);
  Cursor c(payload());
  std::array<Drc2Instance, kDrc2Instances> instances{};
  for (Drc2Instance& in : instances) in = read_drc2_instance(c);
  if (!job.check(c)) return;
  assert(c.offset() == kDrc2Instances * kDrc2InstanceSize);

  if (const AttrWriter w(ds); w.on()) {
    std::array<std::uint32_t, 16> histogram{};
    for (std::size_t n = 0; n < kDrc2Instances; ++n) {
      const Drc2Instance& in = instances[n];
      const Drc2Attrs& a = kDrc2Attrs[n];
      write_drc_slots(w, in.slots, a.slot);
      for (std::uint32_t s = 0; s < kSlots; ++s) {
        w.Byte(*a.best_asp_rl, in.rl_asp[s], s);
        w.Byte(*a.best_asp_fl, in.fl_asp[s], s);
        ++histogram[in.slots[s].drc];
      }
      for (std::uint32_t i = 0; i < kAspIndices; ++i) {
        w.Byte(*a.lock, static_cast<std::uint8_t>(cdmadiag::bits(in.lock, i, 1)), i);
        w.Byte(*a.lock_valid, static_cast<std::uint8_t>(cdmadiag::bits(in.lock_valid, i, 1)), i);
      }
      w.Byte(*a.slot_count, in.slot_count);
      w.Byte(*a.lock_update_slot, in.lock_update_slot);
    }
    if (const auto drc = cdmadiag::evdo::elect_drc(histogram))
      w.Long(ATTR_ID_EVDO_DRC, static_cast<std::int32_t>(*drc));
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  for (const Drc2Instance& in : instances) {
    append_drc_slots(out, in.slots);
    appendf(out, "SlotCnt: %d\n", int{in.slot_count});
    out += kBlankLine;
    out += "ASPIndex\tDRCLock\tValid\n";
    out += std::string(66, '-') + "\n";
    for (std::uint32_t i = 0; i < kAspIndices; ++i) {
      appendf(out, "%u\t\t%5u\t\t%2s\n", i, static_cast<unsigned>(cdmadiag::bits(in.lock, i, 1)),
              cdmadiag::bits(in.lock_valid, i, 1) ? "Yes" : "No");
    }
    appendf(out, "DRCLockUpdateSlot: %d\n", int{in.lock_update_slot});
    out += kBlankLine;
    out += "Slot\tRL_ASP\tFL_ASP\n";
    out += std::string(58, '-') + "\n";
    for (std::uint32_t s = 0; s < kSlots; ++s)
      appendf(out, "%u\t%5u\t\t%5u\n", s, unsigned{in.rl_asp[s]}, unsigned{in.fl_asp[s]});
  }
}

void E::DecodeFwdLinkPktHeaderInfo(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeFwdLinkPktHeaderInfo);
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;
  const std::size_t shown = std::min<std::size_t>(count, kMaxHeaders);
  if (!job.require(c, shown * kHeaderRecordSize)) return;
  if (!msg.detailsWanted) return;

  std::string& out = msg.details;
  appendf(out, "Version: %d, Number of packet headers: %d\n", int{version}, int{count});
  out += "Hdr\tHSTR\tData\tDRC\tSlots\tMAC\tPkt\n";
  out += "No.\t\tBits\tValue\tUsed\tIndex\tType\n";
  for (std::size_t i = 0; i < shown; ++i) {
    const std::uint16_t hstr = c.u16le();
    const std::uint8_t data = c.u8();  // 32 bits
    const std::uint8_t drc = c.u8();
    const std::uint8_t slots = c.u8();
    const std::uint8_t mac = c.u8();
    const std::uint8_t type = c.u8();
    appendf(out, "%zu\t%u\t%u\t%u\t%u\t%u\t%s\n", i + 1, unsigned{hstr}, data * 32u, unsigned{drc}, unsigned{slots},
            unsigned{mac}, cdmadiag::name_or(kPacketTypeNames, type, "Undefined"));
  }
}
