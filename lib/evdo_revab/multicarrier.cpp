// Multicarrier (Rev B) packets, 0x1294-0x12B3: per-carrier forward packet headers,
// air-link summary, DRC/ARQ/DSC buffer, power, reverse-link gains and metrics, PCP
// packets and the multi-flow RLP reports. 0x12A4 is the sleep-info decoder of the
// snapshots family.
//
// The dispatcher calls these without a guard, so nothing here may throw: fields are
// read through the cursor, every fixed part is checked before any of it is used,
// every walked record before it is shown, and a packet shorter than it announces
// gets the family's failure text (its code list) and stops there.
//
// Carrier identity, common to the family: a byte whose low 4 bits are the demod
// (carrier) id, and a u16 with bits 0-10 the channel and bits 11-15 the band class.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "evdo/evdo_common.h"
#include "evdo/hex_line.h"
#include "evdo_revab/reva_labels.h"
#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using F = COrbDecodeMsgCDMA1xEVDOQualcommFrame;
using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::bits;
using cdmadiag::Cursor;
using cdmadiag::name_or;
using cdmadiag::PayloadReader;
namespace evdo = cdmadiag::evdo;
namespace reva = cdmadiag::reva;

constexpr const char* kCarrierIdText = "%d-%d-%d (DemodID-ChanNum-BandClass)";
constexpr std::uint32_t kDrcSlots = 16;
constexpr std::uint32_t kCarrierSlots = 3;  // demod ids 0-2 have attribute sets; higher ids write nothing
constexpr std::uint16_t kEmptyPn = 0xFFFF;
// What the undecoded members show of their payload; a packet can run to kilobytes.
constexpr std::size_t kHexShown = 64;

struct Carrier {
  int demod, channel, band;
};
// The demod byte and the channel/band word, where a carrier block starts.
Carrier read_carrier(Cursor& c) {
  const std::uint8_t demod = c.u8();
  const std::uint16_t word = c.u16le();
  return {static_cast<int>(bits(demod, 0, 4)), static_cast<int>(bits(word, 0, 11)),
          static_cast<int>(bits(word, 11, 5))};
}
void append_carrier(std::string& out, const Carrier& c) { appendf(out, kCarrierIdText, c.demod, c.channel, c.band); }

// Linear SINR in 1/512 to dB; a raw 0 shows as the floor of one unit.
double sinr_db(std::uint32_t raw) { return raw == 0 ? -27.09 : 10.0 * std::log10(raw * 0.001953125); }

char route_letter(unsigned bit) { return bit != 0 ? 'B' : 'A'; }
const char* true_false(unsigned v) { return v != 0 ? "True" : "False"; }

// The payload size and the first kHexShown bytes: all the undecoded members show.
void append_bytes(std::string& out, const PayloadReader& r) {
  appendf(out, "Payload: %zu bytes\n", r.size());
  if (r.size() == 0) return;
  const std::span<const std::uint8_t> all = r.bytes();
  evdo::AppendHexLine(out, all.first(std::min(all.size(), kHexShown)));
}

}  // namespace

// ---- 0x1294 MCFLPktHeaderInfo -------------------------------------------------
//  +off  type  name                unit
//   +0   u8    version
//   +1   u8    carriers K
//   +2         K carrier blocks of 4 + 8 R bytes:
//        +0 u8 demod id, +1 u16 channel/band, +3 u8 records R, +4 R records of 8:
//        +0 u16 time reference; +2 u8 packet length; +3 u8 DRC; +4 u8 sequence number;
//        +5 u8 link id; +6 u16 bits 0-5 slots to decode, 6-7 CRC result,
//        8 CRC size (0: 16 bits, 1: 24), 9-13 packet type
namespace {
[[maybe_unused]] constexpr std::size_t kFlhHeader = 2;
constexpr std::size_t kFlhRecord = 8;
constexpr std::array<ValueName, 4> kCrcResultNames{{{0, "Fail"}, {1, "Pass"}, {2, "False pass"}, {3, "n/a"}}};
}  // namespace

void F::DecodeMCFLPktHeaderInfo(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCFLPktHeaderInfo);
  if (!msg.detailsWanted) return;
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const unsigned carriers = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kFlhHeader);
  std::string& out = msg.details;
  appendf(out, "Version: %d, Number of carriers: %d", version, carriers);
  // Each block is checked whole before it is shown; the text stops at the first that is not.
  for (unsigned n = 1; n <= carriers; ++n) {
    const Carrier id = read_carrier(c);
    const std::size_t records = c.u8();
    if (!job.check(c) || !job.require(c, records * kFlhRecord)) return;
    appendf(out, "\nCarrier #%d : ", n);
    append_carrier(out, id);
    appendf(
        out,
        " - %zu records\nTime\tPkt\tDRC\tSN\tLink\tSlots\tCRC\tCRC\tPkt\nRef\tLen\tValue\t\tID\tDecode\t\tSize\tType",
        records);
    for (std::size_t k = 0; k < records; ++k) {
      const std::uint16_t time_ref = c.u16le();
      const std::uint8_t length = c.u8();
      const std::uint8_t drc = c.u8();
      const std::uint8_t sequence = c.u8();
      const std::uint8_t link = c.u8();
      const std::uint16_t word = c.u16le();
      appendf(out, "\n%d\t%d\t%d\t%d\t%d\t%d\t%s\t%d\t%d", time_ref, length, drc, sequence, link,
              static_cast<int>(bits(word, 0, 6)), name_or(kCrcResultNames, bits(word, 6, 2), "n/a"),
              bits(word, 8, 1) != 0 ? 24 : 16, static_cast<int>(bits(word, 9, 5)));
    }
  }
}

// ---- 0x1296 MCAirLinkSummary ----------------------------------------------------
//  +off  type  name                           unit
//   +0   u8    version
//   +1   u8    carriers K
//   +2   u8    slot time reference
//   +3   u8    reference sub-active-set in locked mode
//   +4         K carrier blocks of 132 bytes:
//        +0   u8  demod id (low 4 bits)
//        +1   u16 channel/band
//        +3   16 x {u8 predicted DRC index, u32 best-ASP SINR}   linear 1/512
//        +83  6 x {u16 SINR, u16 PN (kEmptyPn: none), s16 RPC, u8 RPC cell map}   SINR linear 1/512; RPC 1/32767
//        +125 u8  bits 0-3 best ASP predicted, 4-7 last best-ASP changed slot
//        +130 u16 bad packets
namespace {
[[maybe_unused]] constexpr std::size_t kAlsHeader = 4;
constexpr std::size_t kAlsBlock = 132;
[[maybe_unused]] constexpr std::size_t kAlsBestAsp = 125;
constexpr std::size_t kAlsBadPackets = 130;
constexpr std::uint32_t kAsps = 6;
constexpr double kRpcScale = 3.051850947599719e-05;  // 1 / 32767

// Attribute ids of one carrier slot; pointers because the ids are resolved at load.
struct AlsCarrierAttrs {
  const std::uint32_t *sinr, *pn;
};
const std::array<AlsCarrierAttrs, kCarrierSlots> kAlsAttrs{{
    {&ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C1, &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1},
    {&ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C2, &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C2},
    {&ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C3, &ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C3},
}};

struct AlsDrc {
  std::uint8_t index;
  std::uint32_t sinr;  // linear 1/512
};
struct AlsAsp {
  std::uint16_t sinr, pn;
  std::int16_t rpc;
  std::uint8_t cell_map;
};
struct AlsCarrier {
  Carrier id;
  std::array<AlsDrc, kDrcSlots> drc;
  std::array<AlsAsp, kAsps> asp;
  std::uint8_t best;
  std::uint16_t bad_packets;
};

AlsCarrier read_als_carrier(Cursor c) {
  AlsCarrier b{};
  b.id = read_carrier(c);
  for (AlsDrc& d : b.drc) {
    d.index = c.u8();
    d.sinr = c.u32le();
  }
  for (AlsAsp& a : b.asp) {
    a.sinr = c.u16le();
    a.pn = c.u16le();
    a.rpc = c.i16le();
    a.cell_map = c.u8();
  }
  assert(!c.ok() || c.offset() == kAlsBestAsp);
  b.best = c.u8();
  c.seek(kAlsBadPackets);
  b.bad_packets = c.u16le();
  return b;
}

struct AlsTotals {
  std::array<std::uint32_t, kDrcSlots> all{};    // every entry, per DRC index
  std::array<std::uint32_t, kDrcSlots> valid{};  // entries whose SINR is above 0 dB
  std::array<double, kDrcSlots> db_sum{};
  std::array<std::uint32_t, kCarrierSlots> carrier_drc_sum{}, carrier_drc_count{};
};

// One carrier block's share of the writes: its DRC entries into the totals, its
// active-set pilots ranked strongest first.
void als_carrier_writes(const AttrWriter& w, const AlsCarrier& b, std::uint32_t slot, AlsTotals& t) {
  for (const AlsDrc& entry : b.drc) {
    const std::uint8_t drc = entry.index;
    // An index past the name table is no rate: counted nowhere rather than past the end.
    if (drc >= kDrcSlots) continue;
    const double db = sinr_db(entry.sinr);
    ++t.all[drc];
    if (db > 0.0) {
      ++t.valid[drc];
      t.db_sum[drc] += db;
      t.carrier_drc_sum[slot] += drc;
      ++t.carrier_drc_count[slot];
    }
  }
  std::array<evdo::RankedAsp, kAsps> ranked{};
  int count = 0;
  for (const AlsAsp& asp : b.asp) {
    if (asp.pn == kEmptyPn) break;
    ranked[static_cast<std::size_t>(count++)] = {asp.pn, static_cast<float>(sinr_db(asp.sinr))};
  }
  if (count >= 2) evdo::RankAspBySinr(ranked.data(), count);
  for (int k = 0; k < count; ++k) {
    const auto rank = static_cast<std::uint32_t>(k);
    w.Double(*kAlsAttrs[slot].sinr, ranked[rank].sinr_db, rank);
    w.Long(*kAlsAttrs[slot].pn, static_cast<std::int32_t>(ranked[rank].pn), rank);
  }
}
}  // namespace

void F::DecodeMCAirLinkSummary(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCAirLinkSummary);
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const std::size_t carriers = c.u8();
  if (!job.check(c)) return;
  const std::uint8_t slot_reference = c.u8();
  const std::uint8_t sub_aset = c.u8();
  assert(!c.ok() || c.offset() == kAlsHeader);
  if (!job.require(c, kAlsBlock * carriers)) return;
  const Cursor blocks = c;  // both passes read them

  if (const AttrWriter w(ds); w.on() && (carriers == 1 || carriers == 2)) {
    AlsTotals t;
    for (std::size_t n = 0; n < carriers; ++n) {
      const AlsCarrier b = read_als_carrier(c.record(kAlsBlock));
      const auto slot = static_cast<std::uint32_t>(b.id.demod);
      if (slot < kCarrierSlots) als_carrier_writes(w, b, slot, t);
    }
    for (std::uint32_t x = 0; x < kDrcSlots; ++x) {
      if (t.valid[x] == 0) continue;
      w.Double(ATTR_ID_EVDO_AIRLINKSUMMARY_AVG_SINR_FOR_DRC_INDEX, t.db_sum[x] / t.valid[x], x);
      w.Byte(ATTR_ID_EVDO_AIRLINKSUMMARY_DRC_INDEX_COUNT, static_cast<std::uint8_t>(t.valid[x]), x);
    }
    if (const auto drc = evdo::elect_drc(t.all)) w.Long(ATTR_ID_EVDO_DRC, static_cast<std::int32_t>(*drc));
    for (std::uint32_t c = 0; c < kCarrierSlots; ++c) {
      if (t.carrier_drc_count[c] == 0) continue;
      const double mean = static_cast<double>(t.carrier_drc_sum[c]) / t.carrier_drc_count[c];
      w.Long(ATTR_ID_EVDO_DRC_MC, static_cast<std::int32_t>(mean + 0.5), c);
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Version: %d, Number of carriers: %zu, Slot time reference: %d, Ref. sub-ASET in Locked mode: %d",
          version, carriers, slot_reference, sub_aset);
  c = blocks;
  for (std::size_t n = 0; n < carriers; ++n) {
    const AlsCarrier b = read_als_carrier(c.record(kAlsBlock));
    appendf(out, "\nCarrier #%zu : ", n + 1);
    append_carrier(out, b.id);
    appendf(out,
            "\n\tBest ASP Predicted: %d, Last BASP Changed Slot: %d, Num Bad Packets: %d\n\tDRC\t\tDRC\t\tBest "
            "ASP\n\tBuffer Slot\tPredicted\tSINR",
            static_cast<int>(bits(b.best, 0, 4)), static_cast<int>(bits(b.best, 4, 4)), b.bad_packets);
    for (std::uint32_t j = 0; j < kDrcSlots; ++j) {
      const std::uint8_t drc = b.drc[j].index;
      const double db = sinr_db(b.drc[j].sinr);
      if (drc < kDrcSlots) {
        appendf(out, "\n\t%2d\t\t%d(%s)\t%.2f", static_cast<int>(j), drc, evdo::drc_rate_name(drc), db);
      } else {
        appendf(out, "\n\t%2d\t\t%d\t%.2f", static_cast<int>(j), drc, db);  // no rate to name
      }
    }
    out += "\n\tASP\tPN\tSINR\tRPC\tRPCCellMap";
    for (std::uint32_t i = 0; i < kAsps; ++i) {
      const AlsAsp& asp = b.asp[i];
      if (asp.pn == kEmptyPn) continue;
      appendf(out, "\n\t%d\t%d\t%.2f\t%.2f\t%d", static_cast<int>(i), asp.pn, sinr_db(asp.sinr), asp.rpc * kRpcScale,
              asp.cell_map);
    }
  }
}

// ---- 0x1298 MCDRCARQDSCBuffer ---------------------------------------------------
//  +off  type  name                unit
//   +0   u8    version
//   +1   u8    carriers K
//   +2   u8    slot count
//   +3         K carrier blocks of 72 bytes:
//        +0 u8 demod id (low 4 bits); +1 u16 channel/band; +3 u16 PN;
//        +5 16 x u32 slot words: bits 0-2 DRC cover (7 disabled), 4-6 DSC, 7 MUP, 10 DSC boost,
//           11 DRC boost, 12 NAK (clear: ACK), 13 ACK enabled, 14 forced ACK, 16-23 transmitted DRC,
//           24-26 next ASP, 28-30 demodulated ASP
//        +69 u16 ASP i: bit 2i DRC lock, bit 2i+1 valid;  +71 u8 DRC lock update
namespace {
[[maybe_unused]] constexpr std::size_t kArqHeader = 3;
constexpr std::size_t kArqBlock = 72;
constexpr unsigned kCoverDisabled = 7;

struct ArqCarrierAttrs {
  const std::uint32_t *ack_enabled, *ack_nack, *drc_cover, *dsc_value;
};
const std::array<ArqCarrierAttrs, kCarrierSlots> kArqAttrs{{
    {&ATTR_ID_MC_ARQ_ACKEna_C1, &ATTR_ID_MC_ARQ_ACK_NACK_C1, &ATTR_ID_MC_ARQ_DRC_Cover_C1, &ATTR_ID_MC_ARQ_DSCValue_C1},
    {&ATTR_ID_MC_ARQ_ACKEna_C2, &ATTR_ID_MC_ARQ_ACK_NACK_C2, &ATTR_ID_MC_ARQ_DRC_Cover_C2, &ATTR_ID_MC_ARQ_DSCValue_C2},
    {&ATTR_ID_MC_ARQ_ACKEna_C3, &ATTR_ID_MC_ARQ_ACK_NACK_C3, &ATTR_ID_MC_ARQ_DRC_Cover_C3, &ATTR_ID_MC_ARQ_DSCValue_C3},
}};

struct ArqCarrier {
  Carrier id;
  std::uint16_t pn;
  std::array<std::uint32_t, kDrcSlots> slot_words;
  std::uint16_t asp_bits;
  std::uint8_t lock_update;
};

ArqCarrier read_arq_carrier(Cursor c) {
  ArqCarrier b{};
  b.id = read_carrier(c);
  b.pn = c.u16le();
  b.slot_words = c.u32les<kDrcSlots>();
  b.asp_bits = c.u16le();
  b.lock_update = c.u8();
  assert(!c.ok() || c.offset() == kArqBlock);
  return b;
}
}  // namespace

void F::DecodeMCDRCARQDSCBuffer(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCDRCARQDSCBuffer);
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const std::size_t carriers = c.u8();
  const std::uint8_t slot_count = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kArqHeader);
  if (!job.require(c, kArqBlock * carriers)) return;
  const Cursor blocks = c;  // both passes read them

  if (const AttrWriter w(ds); w.on() && carriers > 0) {
    w.Byte(ATTR_ID_MC_ARQ_CarrierCnt, static_cast<std::uint8_t>(carriers));
    w.Byte(ATTR_ID_MC_ARQ_SlotCnt, slot_count);
    for (std::size_t n = 0; n < carriers; ++n) {
      const ArqCarrier b = read_arq_carrier(c.record(kArqBlock));
      const auto slot = static_cast<std::size_t>(b.id.demod);
      if (slot >= kCarrierSlots) continue;  // no attribute set for this carrier
      const ArqCarrierAttrs& a = kArqAttrs[slot];
      for (std::uint32_t j = 0; j < kDrcSlots; ++j) {
        const std::uint32_t word = b.slot_words[j];
        w.Long(*a.ack_enabled, static_cast<std::int32_t>(bits(word, 13, 1)), j);
        w.Long(*a.ack_nack, static_cast<std::int32_t>(bits(word, 12, 1)), j);
        w.ULong(*a.drc_cover, static_cast<std::uint32_t>(bits(word, 0, 3)), j);
        w.ULong(*a.dsc_value, static_cast<std::uint32_t>(bits(word, 4, 3)), j);
      }
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Version: %d, Number of carriers: %zu, Slot count: %d", version, carriers, slot_count);
  c = blocks;
  for (std::size_t n = 0; n < carriers; ++n) {
    const ArqCarrier b = read_arq_carrier(c.record(kArqBlock));
    appendf(out, "\nCarrier #%zu: ", n + 1);
    append_carrier(out, b.id);
    appendf(out, "\n\tPN = %d, DRC Lock Update: %d\n\tASP\tDRC\tValid\n\tIndex\tLock", b.pn, b.lock_update);
    const std::uint16_t asp_bits = b.asp_bits;
    for (unsigned i = 0; i < kAsps; ++i) {
      appendf(out, "\n\t%u\t%d\t%s", i, static_cast<int>(bits(asp_bits, 2 * i, 1)),
              bits(asp_bits, 2 * i + 1, 1) != 0 ? "Yes" : "No");
    }
    out +=
        "\n\t\tDRC\t\tDSC\t\tDSC\tDRC\tAck/"
        "\tAck\tForced\tTrans\tNext\tDemod\n\tSlot\tCover\t\tValue\tMUP\tBoost\tBoost\t"
        "Nack\tEnabled\tAck\tDRC\tASP\tASP";
    for (std::uint32_t j = 0; j < kDrcSlots; ++j) {
      const std::uint32_t word = b.slot_words[j];
      const auto cover = static_cast<unsigned>(bits(word, 0, 3));
      const auto dsc = static_cast<int>(bits(word, 4, 3));
      const auto dsc_boost = static_cast<int>(bits(word, 10, 1));
      const auto drc_boost = static_cast<int>(bits(word, 11, 1));
      if (cover < kCoverDisabled) {
        appendf(out, "\n\t%u\t%u\t\t%d", j, cover, dsc);
      } else {
        appendf(out, "\n\t%u\tDisabled\t%d", j, dsc);
      }
      if (bits(word, 13, 1) != 0) {
        appendf(out, "\t%s\t%d\t%d\t%s\t1", bits(word, 7, 1) != 0 ? "Yes" : "No", dsc_boost, drc_boost,
                bits(word, 12, 1) != 0 ? "Nack" : "Ack");
      } else {
        appendf(out, "\tNo\t%d\t%d\tInv\t0", dsc_boost, drc_boost);
      }
      appendf(out, "\t%d\t%d\t%d\t%d", static_cast<int>(bits(word, 14, 1)), static_cast<int>(bits(word, 16, 8)),
              static_cast<int>(bits(word, 24, 3)), static_cast<int>(bits(word, 28, 3)));
    }
  }
}

// ---- 0x129C Multicarrier Power --------------------------------------------------
//  +off  type  name                unit
//   +0   u8    version             0: nothing decoded
//   +1   u8    LNA state
//   +2   u8    transmitter enabled
//   +3   u16   HSTR
//   +5   s16   total transmit power   1/256 dBm
//   +7   u8    carriers K
//   +8         K carrier records of 16 bytes:
//        +0 u8 demod id (low 4 bits); +1 u16 channel/band; +3 u8 bit 0 ratchet, bit 1 enabled;
//        +4 open loop, +6 closed-loop adjust, +8 pilot, +10 total, +12 Rx AGC0, +14 Rx AGC1: s16 1/256 dB
namespace {
[[maybe_unused]] constexpr std::size_t kPwrHeader = 8;
constexpr std::size_t kPwrRecord = 16;
constexpr std::size_t kPwrCount = 6;

const std::array<const std::uint32_t*, kPwrCount> kPwrPerCarrier{
    &ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER_MC, &ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST_MC,
    &ATTR_ID_EVDO_POWER_TXPILOT_POWER_MC,    &ATTR_ID_EVDO_POWER_TXTOTAL_POWER_MC,
    &ATTR_ID_EVDO_POWER_RXAGC0_MC,           &ATTR_ID_EVDO_POWER_RXAGC1_MC};
const std::array<const std::uint32_t*, kPwrCount> kPwrMean{
    &ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER, &ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST,
    &ATTR_ID_EVDO_POWER_TXPILOT_POWER,    &ATTR_ID_EVDO_POWER_TXTOTAL_POWER,
    &ATTR_ID_EVDO_POWER_RXAGC0,           &ATTR_ID_EVDO_POWER_RXAGC1};

struct PowerCarrier {
  Carrier id;
  std::uint8_t flags;
  std::array<double, kPwrCount> db;  // in the order of kPwrPerCarrier
};

PowerCarrier read_power_carrier(Cursor c) {
  PowerCarrier p{};
  p.id = read_carrier(c);
  p.flags = c.u8();
  for (double& v : p.db) v = evdo::db_from_256ths(c.i16le());
  assert(!c.ok() || c.offset() == kPwrRecord);
  return p;
}
}  // namespace

void F::DecodeMultiCarrierPower(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMultiCarrierPower);
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  if (!job.check(c)) return;
  if (version == 0) return;
  const std::uint8_t lna = c.u8();
  const std::uint8_t tx_enabled = c.u8();
  const std::uint16_t hstr = c.u16le();
  const std::int16_t total = c.i16le();
  const std::size_t carriers = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kPwrHeader);
  if (!job.require(c, kPwrRecord * carriers)) return;
  const Cursor records = c;  // both passes read them

  if (const AttrWriter w(ds, AttrWriter::kAlways); w.on() && carriers > 0) {
    std::array<double, kPwrCount> sum{};
    for (std::size_t n = 0; n < carriers; ++n) {
      const PowerCarrier p = read_power_carrier(c.record(kPwrRecord));
      const auto index = static_cast<std::uint32_t>(p.id.demod);
      const auto& v = p.db;
      for (std::size_t k = 0; k < kPwrCount; ++k) {
        w.Double(*kPwrPerCarrier[k], v[k], index);
        sum[k] += v[k];
      }
    }
    for (std::size_t k = 0; k < kPwrCount; ++k) w.Double(*kPwrMean[k], sum[k] / static_cast<double>(carriers));
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Ver.: %d, LNAState: %d, TxEnabled: %s, HSTR: %d, TotalTxPower: %.2f", version, lna,
          tx_enabled != 0 ? "PA On" : "PA Off", hstr, evdo::db_from_256ths(total));
  if (carriers == 0) return;
  out +=
      "\nCarriers:\n\tChan\tBand\tRatchet\t\t\t\tTx  Power  "
      "(dBm)\tRx\tRx\nID\tNum\tClass\tMode\t\tEnable\tOpen\tClose\tPilot\tTotal\tAGC0\tAGC1";
  c = records;
  for (std::size_t n = 0; n < carriers; ++n) {
    const PowerCarrier p = read_power_carrier(c.record(kPwrRecord));
    const Carrier& id = p.id;
    const std::uint8_t flags = p.flags;
    const auto& v = p.db;
    appendf(out, "\n%d\t%d\t%d\t%s\t%s\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f", id.demod, id.channel, id.band,
            bits(flags, 0, 1) != 0 ? "is limited" : "not limited", bits(flags, 1, 1) != 0 ? "On" : "Off", v[0], v[1],
            v[2], v[3], v[4], v[5]);
  }
}

// ---- 0x129D MCRLGains -----------------------------------------------------------
//  +off  type  name                unit
//   +0   u8    version
//   +1   u8    subframes S
//   +2   u8    carriers K
//   +3         S subframe records of 7 bytes:
//        +0 u8 subframe; +1 u8 PA on; +2 u8 back-off;
//        +3 s16 total transmit power 1/256 dBm; +5 s16 maximum transmit power 1/4 dBm
//   +3+7S      K carrier blocks of 3 + 29 S bytes: +0 u8 demod id, +1 u16 channel/band,
//        +3 S records of 29 bytes:
//        +0 u8 subframe; +1 u16 bits 0-3 packet size index, 4-5 subpacket, 6 transmission mode, 7 carrier on;
//        +3 u16 gains: pilot half slot 0, pilot half slot 1, ACK, RRI, DSC, DRC, data, auxiliary pilot;
//        +19 u16 not shown; +21 s16 open loop, total, pilot, adjust   1/256 dB
// The total transmit power is read signed: a handset transmits below 0 dBm most of the
// time, and as unsigned -10 dBm would show as 246.00.
// The RPC-bit column shows bits 6-7, overlapping the mode and carrier-on bits: which
// bits carry RPC is unknown, so the column keeps what stored decodes show.
namespace {
[[maybe_unused]] constexpr std::size_t kRlgHeader = 3;
constexpr std::size_t kRlgSubframe = 7;
constexpr std::size_t kRlgBlockHeader = 3;
constexpr std::size_t kRlgRecord = 29;
constexpr std::size_t kRlgGains = 8;
constexpr std::size_t kRlgPowers = 4;
constexpr std::size_t kRlgUnshown = 2;
}  // namespace

void F::DecodeMCRLGains(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCRLGains);
  if (!msg.detailsWanted) return;
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const std::size_t subframes = c.u8();
  const std::size_t carriers = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kRlgHeader);
  const std::size_t block = kRlgBlockHeader + kRlgRecord * subframes;
  if (!job.require(c, kRlgSubframe * subframes + block * carriers)) return;

  std::string& out = msg.details;
  appendf(out, "Ver.: %d, SubframeCount: %zu, Number of carriers: %zu", version, subframes, carriers);
  if (subframes > 0) out += "\n#Sub\tPA\tBack\tTx\tTx\nframe\tOn\toff\tTotal\tMax";
  for (std::size_t s = 0; s < subframes; ++s) {
    const std::uint8_t subframe = c.u8();
    const std::uint8_t pa_on = c.u8();
    const std::uint8_t back_off = c.u8();
    const std::int16_t total = c.i16le();
    const std::int16_t max = c.i16le();
    appendf(out, "\n%d\t%d\t%d\t%.2f\t%.2f\t", subframe, pa_on, back_off, evdo::db_from_256ths(total), max * 0.25);
  }
  for (std::size_t n = 0; n < carriers; ++n) {
    appendf(out, "\nCarrier #%zu: ", n + 1);
    append_carrier(out, read_carrier(c));
    out +=
        "\n#"
        "Sub\tPkt\t\tTrans\tCarrier\tRPC\tPilot\tPilot\tAck\tRRI\tDSC\tDRC\tData\tAux\tTx\tTx\tTx\tTx\nframe\tSize\tSP"
        "\t"
        "Mode\tOn\tBit\t0\t1\t\t\t\t\t\t\tOpen\tTotal\tPilot\tAdjust";
    for (std::size_t s = 0; s < subframes; ++s) {
      Cursor rec = c.record(kRlgRecord);
      const int subframe = rec.u8();
      const std::uint16_t flags = rec.u16le();
      std::array<std::uint16_t, kRlgGains> gains{};
      for (std::uint16_t& g : gains) g = rec.u16le();
      rec.skip(kRlgUnshown);
      std::array<std::int16_t, kRlgPowers> powers{};
      for (std::int16_t& p : powers) p = rec.i16le();
      const auto size_index = static_cast<std::uint32_t>(bits(flags, 0, 4));
      const auto carrier_on = static_cast<int>(bits(flags, 7, 1));
      const auto rpc_bit = static_cast<int>(bits(flags, 6, 2));
      if (size_index != 0) {
        appendf(out, "\n%d\t%u\t%d\t%d\t%d\t%d\t", subframe, reva::payload_bits(size_index),
                static_cast<int>(bits(flags, 4, 2)), static_cast<int>(bits(flags, 6, 1)), carrier_on, rpc_bit);
      } else if (carrier_on != 0) {
        appendf(out, "\n%d\t0\tn/a\tn/a\t%d\t%d\t", subframe, carrier_on, rpc_bit);
      } else {
        appendf(out, "\n%d\t<", subframe);
        out.append(82, '-');
        out += " Carrier disabled ";
        out.append(94, '-');
        out += '>';
      }
      if (carrier_on == 0) continue;
      for (std::size_t g = 0; g < kRlgGains; ++g) appendf(out, g == 0 ? "%d" : "\t%d", gains[g]);
      for (const std::int16_t p : powers) appendf(out, "\t%.2f", evdo::db_from_256ths(p));
    }
  }
}

// ---- 0x129F MCRLMetrics ---------------------------------------------------------
//  +off  type  name                unit
//   +0   u8    version
//   +1   u32   log sequence number
//   +5   u8    carriers
//   +6   u8    carrier id (low 4 bits; kNoCarrier: none)
//   +7   u16   channel/band
//   +9         3 interlaces of 580 bytes: HiCap at +0, LoLat at +288, each 12 packet sizes x
//              {u32 ACKs in subpackets 0-3, u32 P-ARQ NAKs, u32 packets sent}; +576 u32 unexpected P-ARQ NAKs
namespace {
constexpr std::size_t kRlmHeader = 9;
constexpr std::size_t kRlmInterlaces = 3;
constexpr std::size_t kRlmInterlace = 580;
constexpr std::size_t kRlmSize = kRlmHeader + kRlmInterlaces * kRlmInterlace;
static_assert(kRlmSize == 1749);
constexpr std::size_t kRlmSizes = 12;
constexpr unsigned kNoCarrier = 15;
constexpr double kSubframeMs = 6.667;

struct RlmCounts {
  std::array<std::uint32_t, 4> acks{};
  std::uint32_t naks = 0, sent = 0;
};
// One interlace: [mode][packet size], then its unexpected NAKs.
struct RlmInterlace {
  std::array<std::array<RlmCounts, kRlmSizes>, 2> counts;
  std::uint32_t unexpected;
};

RlmInterlace read_rlm_interlace(Cursor& c) {
  [[maybe_unused]] const std::size_t start = c.offset();
  RlmInterlace il{};
  for (auto& mode : il.counts) {
    for (RlmCounts& k : mode) {
      k.acks = c.u32les<4>();
      k.naks = c.u32le();
      k.sent = c.u32le();
    }
  }
  il.unexpected = c.u32le();
  assert(!c.ok() || c.offset() == start + kRlmInterlace);
  return il;
}
}  // namespace

void F::DecodeMCRLMetrics(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCRLMetrics);
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const std::uint32_t sequence = c.u32le();
  const std::uint8_t carriers = c.u8();
  const auto carrier = static_cast<unsigned>(bits(c.u8(), 0, 4));
  const std::uint16_t word = c.u16le();
  assert(!c.ok() || c.offset() == kRlmHeader);
  std::array<RlmInterlace, kRlmInterlaces> interlaces{};
  for (RlmInterlace& il : interlaces) il = read_rlm_interlace(c);
  if (!job.check(c)) return;
  const auto rlm_counts = [&interlaces](std::size_t il, std::size_t mode, std::size_t size) -> const RlmCounts& {
    return interlaces[il].counts[mode][size];
  };

  if (const AttrWriter w(ds); w.on()) {
    w.Long(ATTR_ID_MCRLMetrics_Carrier_id, static_cast<std::int32_t>(carrier));
    w.Byte(ATTR_ID_MCRLMetrics_Carrier_Count, carriers);
    w.UShort(ATTR_ID_MCRLMetrics_Carrier, word);
    if (carrier != kNoCarrier && !(word == 0 && carrier == 0)) {
      std::uint64_t packets = 0, naks = 0, ack_bits = 0;
      double tx_ms = 0.0;
      for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t s = 0; s < kRlmSizes; ++s) {
          const RlmCounts hi = rlm_counts(i, 0, s);
          const RlmCounts lo = rlm_counts(i, 1, s);
          if (static_cast<std::uint64_t>(hi.sent) + lo.sent == 0) continue;
          packets += static_cast<std::uint64_t>(hi.sent) + lo.sent;
          const std::uint64_t size_naks = static_cast<std::uint64_t>(hi.naks) + lo.naks;
          naks += size_naks;
          tx_ms += 4.0 * static_cast<double>(size_naks) * kSubframeMs;
          std::uint64_t acks = 0;
          for (std::size_t k = 0; k < 4; ++k) {
            const std::uint64_t both = static_cast<std::uint64_t>(hi.acks[k]) + lo.acks[k];
            tx_ms += static_cast<double>(k + 1) * static_cast<double>(both) * kSubframeMs;
            acks += both;
          }
          ack_bits += reva::kPayloadBits[s] * acks;
        }
      }
      // At index = carrier id, as stored captures have them: carrier 0 shares index 0
      // with the Rev A metrics' running state.
      w.ULong(ATTR_ID_RLMetrics_SeqNum, sequence, carrier);
      w.Long(ATTR_ID_RLMetrics_TotalPkts, static_cast<std::int32_t>(packets), carrier);
      w.Long(ATTR_ID_RLMetrics_TotalNaks, static_cast<std::int32_t>(naks), carrier);
      w.Long(ATTR_ID_RLMetrics_TotalAckBits, static_cast<std::int32_t>(ack_bits), carrier);
      if (packets > 0) {
        w.Double(ATTR_ID_MCRLMetrics_PER_Cumulative, static_cast<double>(naks) * 100.0 / static_cast<double>(packets),
                 carrier);
        w.Double(ATTR_ID_MCRLMetrics_AverageRLOverallThroughput,
                 static_cast<double>(ack_bits) / ((static_cast<double>(sequence) + 1.0) * 1000.0), carrier);
        // No transmit time, no throughput: nothing is written rather than a division by 0.
        if (tx_ms > 0.0) {
          w.Double(ATTR_ID_MCRLMetrics_AverageRLTransmittedThroughput, static_cast<double>(ack_bits) / tx_ms, carrier);
        }
      }
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  if (carrier == kNoCarrier) {
    appendf(out, "Ver.: %d, Log Seq. Number: %u, Number of carriers: %d, Carrier: n/a", version, sequence, carriers);
    return;
  }
  appendf(out,
          "Ver.: %d, Log Seq. Number: %u, Number of carriers: %d, Carrier #%u (ChanNum %d, Band Class %d): ", version,
          sequence, carriers, carrier, static_cast<int>(bits(word, 0, 11)), static_cast<int>(bits(word, 11, 5)));
  std::uint64_t unexpected_total = 0;
  for (std::size_t i = 0; i < 3; ++i) {
    for (std::size_t mode = 0; mode < 2; ++mode) {
      const char* name = reva::tx_mode_name(static_cast<std::uint32_t>(mode));
      std::uint64_t sent = 0;
      for (std::size_t s = 0; s < kRlmSizes; ++s) sent += rlm_counts(i, mode, s).sent;
      if (sent == 0) {
        appendf(out, "\nInterlace %zu TxMode %s - No packet sent", i, name);
        continue;
      }
      appendf(out, "\nInterlace %zu TxMode %s\n\tPktSize\tSP0Acks\tSP1Acks\tSP2Acks\tSP3Acks\tP-ARQNaks\tTotalPktsSent",
              i, name);
      for (std::size_t s = 0; s < kRlmSizes; ++s) {
        const RlmCounts c = rlm_counts(i, mode, s);
        if (c.sent == 0) continue;
        appendf(out, "\n\t%u\t\t%u\t\t%u\t\t%u\t\t%u\t\t%u\t\t%u", reva::kPayloadBits[s], c.acks[0], c.acks[1],
                c.acks[2], c.acks[3], c.naks, c.sent);
      }
    }
    out += "\n\t";
    out.append(170, '-');
  }
  out += "\nInterlace#\tUnexpected P-ARQ Naks";
  for (std::size_t i = 0; i < 3; ++i) {
    const std::uint32_t unexpected = interlaces[i].unexpected;
    unexpected_total += unexpected;
    appendf(out, "\n%zu\t\t%u", i, unexpected);
  }
  out += "\n";
  out.append(70, '-');
  appendf(out, "\nTotal:\t%llu", static_cast<unsigned long long>(unexpected_total));
}

// ---- 0x12B3 MCPCPPacketStats ----------------------------------------------------
//  +off  type  name                unit
//   +0   u8    version; +1 u8 record number; +2 u8 sub-frame count; +3 u8 previous combo id
//   +4   u8    combos
//   +5         per combo: u8 combo id, u8 carriers; per carrier: u8 carrier id, u8 previous
//              subframe cancelled, u8 format B, u8 flows; per flow 13 bytes: +0 u8 MAC flow,
//              +1 u16 retransmit size, +3 u32 retransmit word, +7 u16 new-transmit size, +9 u32 new-transmit word
// Transmit words: bit 0 route (A/B), bits 1-6 substream, bits 6-7 stream. Bit 6 is read
// into both fields, as the layout gives them; nothing at hand tells which owns it.
namespace {
[[maybe_unused]] constexpr std::size_t kPcpHeader = 5;
constexpr std::size_t kPcpFlow = 13;

void append_transmit(std::string& out, std::uint16_t size, std::uint32_t word) {
  appendf(out, "%d\t%d\t%d\t\t%c", size, static_cast<int>(bits(word, 6, 2)), static_cast<int>(bits(word, 1, 6)),
          route_letter(static_cast<unsigned>(bits(word, 0, 1))));
}
}  // namespace

void F::DecodeMCPCPPacketStats(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCPCPPacketStats);
  if (!msg.detailsWanted) return;
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const std::uint8_t record = c.u8();
  const std::uint8_t subframes = c.u8();
  const std::uint8_t previous_combo = c.u8();
  const unsigned combos = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kPcpHeader);
  std::string& out = msg.details;
  appendf(out, "\nVersion: %d, Record Number: %d, Sub-Frame Count: %d, Prev Combo ID: %d, Num Combos: %u", version,
          record, subframes, previous_combo, combos);
  // Each part is checked before it is shown; the text stops at the first that is cut.
  for (unsigned k = 0; k < combos; ++k) {
    const std::uint8_t combo_id = c.u8();
    const unsigned carriers = c.u8();
    if (!job.check(c)) return;
    appendf(out, "\nCombos[%u]\n\tCombo ID: %d, Num Carriers: %u", k, combo_id, carriers);
    if (carriers > 0) {
      out +=
          "\n\tCarrier\tPrev "
          "subframe\tFmt\tNum\tMac\t\t\tRexmit\t\t\t\t\tNewxmit\n\tID\tCanceled\tB\tFlows\tFlow\tsize\tstream\tsubstrea"
          "m\t"
          "route\tsize\tstream\tsubstream\troute";
    }
    for (unsigned n = 0; n < carriers; ++n) {
      const std::uint8_t carrier_id = c.u8();
      const std::uint8_t cancelled = c.u8();
      const std::uint8_t format_b = c.u8();
      const std::size_t flows = c.u8();
      if (!job.check(c) || !job.require(c, kPcpFlow * flows)) return;
      appendf(out, "\n\t%d\t%s\t\t%s\t%zu", carrier_id, true_false(cancelled), true_false(format_b), flows);
      for (std::size_t f = 0; f < flows; ++f) {
        const std::uint8_t mac_flow = c.u8();
        const std::uint16_t retransmit_size = c.u16le();
        const std::uint32_t retransmit = c.u32le();
        const std::uint16_t new_size = c.u16le();
        const std::uint32_t new_transmit = c.u32le();
        appendf(out, "%s%d\t", f == 0 ? "\t" : "\n\t\t\t\t\t\t", mac_flow);
        append_transmit(out, retransmit_size, retransmit);
        out += '\t';
        append_transmit(out, new_size, new_transmit);
      }
    }
  }
}

// ---- 0x12A9 MultiMRLPRxProcessing -----------------------------------------------
//  +off  type  name                unit
//   +0   u8    version
//   +1   u8    bits 0-1 event, 2-6 link flow, 7 route
//   +2   u32   V(n) before; +6 V(n) after; +10 V(r) before; +14 V(r) after
//  event 0 only:
//  +18   u8    link id
//  +19   u8    bits 0-5 scheduler group id, 6 QN sequence included
//  +20   u16   data units
//  +22   u32   SAR sequence number
//  with the QN sequence: +26 u16 QN sequence number, +28 u32 short SAR sequence number
namespace {
[[maybe_unused]] constexpr std::size_t kRxpFixed = 18;
[[maybe_unused]] constexpr std::size_t kRxpReception = 26;
[[maybe_unused]] constexpr std::size_t kRxpWithQn = 32;
constexpr std::array<ValueName, 4> kRxpEvents{
    {{0, "Packet reception on Forward Link"}, {1, "RLP reset"}, {2, "Abort"}, {3, "Flush message received"}}};
}  // namespace

void F::DecodeMCMRLPRxProcessing(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCMRLPRxProcessing);
  if (!msg.detailsWanted) return;
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const std::uint8_t flags = c.u8();
  const auto vn = c.u32les<2>();  // before, after
  const auto vr = c.u32les<2>();
  if (!job.check(c)) return;
  assert(c.offset() == kRxpFixed);
  const auto event = static_cast<unsigned>(bits(flags, 0, 2));
  const bool reception = event == 0;
  std::uint8_t link = 0, group = 0;
  std::uint16_t units = 0, qn_sequence = 0;
  std::uint32_t sar = 0, sar_short = 0;
  bool qn = false;
  if (reception) {
    link = c.u8();
    group = c.u8();
    units = c.u16le();
    sar = c.u32le();
    if (!job.check(c)) return;
    assert(c.offset() == kRxpReception);
    qn = bits(group, 6, 1) != 0;
  }
  if (qn) {
    qn_sequence = c.u16le();
    sar_short = c.u32le();
    if (!job.check(c)) return;
    assert(c.offset() == kRxpWithQn);
  }

  std::string& out = msg.details;
  appendf(
      out,
      "Version: %d\nEvent: %s, Link flow: %d, Route: %c\nV(n) - before: %u, after: %u\nV(r) - before: %u, after: %u",
      version, name_or(kRxpEvents, event, ""), static_cast<int>(bits(flags, 2, 5)),
      route_letter(static_cast<unsigned>(bits(flags, 7, 1))), vn[0], vn[1], vr[0], vr[1]);
  if (!reception) return;
  appendf(out,
          "\nLink Id = %d, Scheduler Group Id = %d, QN Seq Included = %s, Number Data Units  = %d, SAR Seq Number = %u",
          link, static_cast<int>(bits(group, 0, 6)), qn ? "True" : "False", units, sar);
  if (qn) appendf(out, "\nQN Seq Number = %d, SAR Seq Short Num = %u", qn_sequence, sar_short);
}

// ---- 0x12A7 MultiMRLPRxPkts -----------------------------------------------------
//  +off  type  name                unit
//   +0   u8    bits 0-4 link flow, 5 route; 64 and up: packet stream, 128 and up: segment sequencing
//   +1   u16   bits 0-4 SAR sequence length, 5-9 short SAR sequence length, 10 buffer allocated   bits
//   +3   u8    partial frame length          bytes
//   +4   u8    (not shown)
//   +5   u8    records
//   +6         records: +0 u16 frame length, +2 u16 time reference, +4 u8 group id, +5 u8 link id,
//              then the frame; the next record follows 6 + (partial frame length, or the frame length when 0)
namespace {
[[maybe_unused]] constexpr std::size_t kRxkHeader = 6;
[[maybe_unused]] constexpr std::size_t kRxkRecordHeader = 6;
}  // namespace

void F::DecodeMCMRLPRxPkts(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCMRLPRxPkts);
  if (!msg.detailsWanted) return;
  Cursor c(payload());
  const std::uint8_t flow = c.u8();
  const std::uint16_t sar = c.u16le();
  const std::uint8_t partial = c.u8();
  c.skip(1);  // not shown
  const unsigned records = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kRxkHeader);
  std::string& out = msg.details;
  appendf(out, "Link flow: %d, Route: %c, Packet stream: %s-based, Segment Sequencing: %s-based",
          static_cast<int>(bits(flow, 0, 5)), route_letter(static_cast<unsigned>(bits(flow, 5, 1))),
          flow >= 64 ? "Packet" : "Octet", flow >= 128 ? "Segment" : "Octet");
  appendf(out,
          "\nSAR Seq Length = %d bits, SAR Seq Length Short = %d bits, Buffer allocated: %s, Partial Frame Length = %d "
          "bytes",
          static_cast<int>(bits(sar, 0, 5)), static_cast<int>(bits(sar, 5, 5)), bits(sar, 10, 1) != 0 ? "Yes" : "No",
          partial);
  if (records == 0) return;
  out += "\nTime\tFrame\tLink\tGrp\tStrm\tQN\tQN\tSAR\tFDU\tLDU\tPayload\nRef\tLength\tID\tID\tID\tIncl\tSN\tSN";
  for (unsigned k = 0; k < records; ++k) {
    [[maybe_unused]] const std::size_t start = c.offset();
    const std::uint16_t frame = c.u16le();
    const std::uint16_t time_ref = c.u16le();
    const std::uint8_t group = c.u8();
    const std::uint8_t link = c.u8();
    if (!job.check(c)) return;
    assert(c.offset() == start + kRxkRecordHeader);
    // The record as announced must be whole, its frame included, before it is shown.
    const std::size_t frame_bytes = partial != 0 ? partial : frame;
    if (!job.require(c, frame_bytes)) return;
    c.skip(frame_bytes);
    appendf(out, "\n%d\t%d\t%d\t%d", time_ref, frame, link, group);
  }
}

// ---- 0x12A2 MCSUFwdStats --------------------------------------------------------
// Only the header is known; it is the RL metrics header, whose text this packet shares.
//  +off  type  name                unit
//   +0   u8    version
//   +1   u32   log sequence number
//   +5   u8    carriers
//   +6   u8    carrier id (low 4 bits)
//   +7   u16   channel/band
//   +9         per-DRC counts, layout unknown: shown as hex, nothing written from them
namespace {
[[maybe_unused]] constexpr std::size_t kSufHeader = 9;
}  // namespace

void F::DecodeMCSUFwdStats(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCSUFwdStats);
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  const std::uint32_t sequence = c.u32le();
  const std::uint8_t carriers = c.u8();
  const Carrier id = read_carrier(c);
  if (!job.check(c)) return;
  assert(c.offset() == kSufHeader);
  AttrWriter(ds).ULong(ATTR_ID_RevASUFwdStats_SequenceNumber, sequence);
  if (!msg.detailsWanted) return;
  appendf(msg.details,
          "Ver.: %d, Log Seq. Number: %u, Number of carriers: %d, Carrier #%d (ChanNum %d, Band Class %d): \n", version,
          sequence, carriers, id.demod, id.channel, id.band);
  append_bytes(msg.details, c.bytes(c.left()));
}

// ---- Undecoded members ----------------------------------------------------------
// Pilot sets (0x12A1) and the multi-flow RLP statistics and transmit reports (0x12A5,
// 0x12A6, 0x12A8): their layouts are not known here, so each shows its title, its size
// and its first bytes; no attribute is written from a guessed field.
void F::DecodeMCPilotSets(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeMCPilotSets);
  if (msg.detailsWanted) append_bytes(msg.details, payload());
}

void F::DecodeMCMRLPFwdStats(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeMCMRLPFwdStats);
  if (msg.detailsWanted) append_bytes(msg.details, payload());
}

void F::DecodeMCMRLPRevStats(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeMCMRLPRevStats);
  if (msg.detailsWanted) append_bytes(msg.details, payload());
}

void F::DecodeMCMRLPTxPkts(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  Begin(msg, &F::DecodeMCMRLPTxPkts);
  if (msg.detailsWanted) append_bytes(msg.details, payload());
}
