// Multicarrier (Rev B) packets, 0x1294-0x12B3: per-carrier forward packet headers,
// air-link summary, DRC/ARQ/DSC buffer, power, reverse-link gains and metrics, PCP
// packets and the multi-flow RLP reports. 0x12A4 is the sleep-info decoder of the
// snapshots family.
//
// The dispatcher calls these without a guard, so nothing here may throw: every
// fixed part is checked whole before it is read, every walked record before it is
// shown, and a packet shorter than it announces gets the family's failure text (its
// code list) and stops there.
//
// Carrier identity, common to the family: a byte whose low 4 bits are the demod
// (carrier) id, and a u16 with bits 0-10 the channel and bits 11-15 the band class.
#include <algorithm>
#include <array>
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
Carrier read_carrier(const PayloadReader& r, std::size_t demod_off, std::size_t word_off) {
  const std::uint16_t word = r.u16le(word_off);
  return {static_cast<int>(bits(r.u8(demod_off), 0, 4)), static_cast<int>(bits(word, 0, 11)),
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
constexpr std::size_t kFlhHeader = 2;
constexpr std::size_t kFlhBlockHeader = 4;
constexpr std::size_t kFlhRecord = 8;
constexpr std::array<ValueName, 4> kCrcResultNames{{{0, "Fail"}, {1, "Pass"}, {2, "False pass"}, {3, "n/a"}}};
}  // namespace

void F::DecodeMCFLPktHeaderInfo(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCFLPktHeaderInfo);
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!job.require(r, kFlhHeader)) return;
  std::string& out = msg.details;
  const unsigned carriers = r.u8(1);
  appendf(out, "Version: %d, Number of carriers: %d", r.u8(0), carriers);
  std::size_t pos = kFlhHeader;
  for (unsigned n = 1; n <= carriers; ++n) {
    if (!job.require_at(r, pos, kFlhBlockHeader)) return;
    const std::size_t records = r.u8(pos + 3);
    if (!job.require_at(r, pos + kFlhBlockHeader, records * kFlhRecord)) return;
    appendf(out, "\nCarrier #%d : ", n);
    append_carrier(out, read_carrier(r, pos, pos + 1));
    appendf(
        out,
        " - %zu records\nTime\tPkt\tDRC\tSN\tLink\tSlots\tCRC\tCRC\tPkt\nRef\tLen\tValue\t\tID\tDecode\t\tSize\tType",
        records);
    for (std::size_t k = 0; k < records; ++k) {
      const std::size_t at = pos + kFlhBlockHeader + k * kFlhRecord;
      const std::uint16_t word = r.u16le(at + 6);
      appendf(out, "\n%d\t%d\t%d\t%d\t%d\t%d\t%s\t%d\t%d", r.u16le(at), r.u8(at + 2), r.u8(at + 3), r.u8(at + 4),
              r.u8(at + 5), static_cast<int>(bits(word, 0, 6)), name_or(kCrcResultNames, bits(word, 6, 2), "n/a"),
              bits(word, 8, 1) != 0 ? 24 : 16, static_cast<int>(bits(word, 9, 5)));
    }
    pos += kFlhBlockHeader + records * kFlhRecord;
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
constexpr std::size_t kAlsHeader = 4;
constexpr std::size_t kAlsBlock = 132;
constexpr std::size_t kAlsDrc = 3;
constexpr std::size_t kAlsDrcEntry = 5;
constexpr std::size_t kAlsAsp = 83;
constexpr std::size_t kAlsAspEntry = 7;
constexpr std::size_t kAlsBestAsp = 125;
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

struct AlsTotals {
  std::array<std::uint32_t, kDrcSlots> all{};    // every entry, per DRC index
  std::array<std::uint32_t, kDrcSlots> valid{};  // entries whose SINR is above 0 dB
  std::array<double, kDrcSlots> db_sum{};
  std::array<std::uint32_t, kCarrierSlots> carrier_drc_sum{}, carrier_drc_count{};
};

// One carrier block's share of the writes: its DRC entries into the totals, its
// active-set pilots ranked strongest first.
void als_carrier_writes(const AttrWriter& w, const PayloadReader& b, std::uint32_t slot, AlsTotals& t) {
  for (std::uint32_t j = 0; j < kDrcSlots; ++j) {
    const std::uint8_t drc = b.u8(kAlsDrc + kAlsDrcEntry * j);
    // An index past the name table is no rate: counted nowhere rather than past the end.
    if (drc >= kDrcSlots) continue;
    const double db = sinr_db(b.u32le(kAlsDrc + kAlsDrcEntry * j + 1));
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
  for (std::uint32_t i = 0; i < kAsps; ++i) {
    const std::size_t at = kAlsAsp + kAlsAspEntry * i;
    const std::uint16_t pn = b.u16le(at + 2);
    if (pn == kEmptyPn) break;
    ranked[static_cast<std::size_t>(count++)] = {pn, static_cast<float>(sinr_db(b.u16le(at)))};
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
  const PayloadReader r = payload();
  if (!job.require(r, 2)) return;
  const std::size_t carriers = r.u8(1);
  if (!job.require(r, kAlsHeader + kAlsBlock * carriers)) return;

  if (const AttrWriter w(ds); w.on() && (carriers == 1 || carriers == 2)) {
    AlsTotals t;
    for (std::size_t n = 0; n < carriers; ++n) {
      const PayloadReader b = r.sub(kAlsHeader + kAlsBlock * n, kAlsBlock);
      const auto slot = static_cast<std::uint32_t>(bits(b.u8(0), 0, 4));
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
          r.u8(0), carriers, r.u8(2), r.u8(3));
  for (std::size_t n = 0; n < carriers; ++n) {
    const PayloadReader b = r.sub(kAlsHeader + kAlsBlock * n, kAlsBlock);
    const std::uint8_t best = b.u8(kAlsBestAsp);
    appendf(out, "\nCarrier #%zu : ", n + 1);
    append_carrier(out, read_carrier(b, 0, 1));
    appendf(out,
            "\n\tBest ASP Predicted: %d, Last BASP Changed Slot: %d, Num Bad Packets: %d\n\tDRC\t\tDRC\t\tBest "
            "ASP\n\tBuffer Slot\tPredicted\tSINR",
            static_cast<int>(bits(best, 0, 4)), static_cast<int>(bits(best, 4, 4)), b.u16le(kAlsBadPackets));
    for (std::uint32_t j = 0; j < kDrcSlots; ++j) {
      const std::uint8_t drc = b.u8(kAlsDrc + kAlsDrcEntry * j);
      const double db = sinr_db(b.u32le(kAlsDrc + kAlsDrcEntry * j + 1));
      if (drc < kDrcSlots) {
        appendf(out, "\n\t%2d\t\t%d(%s)\t%.2f", static_cast<int>(j), drc, evdo::drc_rate_name(drc), db);
      } else {
        appendf(out, "\n\t%2d\t\t%d\t%.2f", static_cast<int>(j), drc, db);  // no rate to name
      }
    }
    out += "\n\tASP\tPN\tSINR\tRPC\tRPCCellMap";
    for (std::uint32_t i = 0; i < kAsps; ++i) {
      const std::size_t at = kAlsAsp + kAlsAspEntry * i;
      const std::uint16_t pn = b.u16le(at + 2);
      if (pn == kEmptyPn) continue;
      appendf(out, "\n\t%d\t%d\t%.2f\t%.2f\t%d", static_cast<int>(i), pn, sinr_db(b.u16le(at)),
              b.i16le(at + 4) * kRpcScale, b.u8(at + 6));
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
constexpr std::size_t kArqHeader = 3;
constexpr std::size_t kArqBlock = 72;
constexpr std::size_t kArqPn = 3;
constexpr std::size_t kArqSlots = 5;
constexpr std::size_t kArqAspBits = 69;
constexpr std::size_t kArqLockUpdate = 71;
constexpr unsigned kCoverDisabled = 7;

struct ArqCarrierAttrs {
  const std::uint32_t *ack_enabled, *ack_nack, *drc_cover, *dsc_value;
};
const std::array<ArqCarrierAttrs, kCarrierSlots> kArqAttrs{{
    {&ATTR_ID_MC_ARQ_ACKEna_C1, &ATTR_ID_MC_ARQ_ACK_NACK_C1, &ATTR_ID_MC_ARQ_DRC_Cover_C1, &ATTR_ID_MC_ARQ_DSCValue_C1},
    {&ATTR_ID_MC_ARQ_ACKEna_C2, &ATTR_ID_MC_ARQ_ACK_NACK_C2, &ATTR_ID_MC_ARQ_DRC_Cover_C2, &ATTR_ID_MC_ARQ_DSCValue_C2},
    {&ATTR_ID_MC_ARQ_ACKEna_C3, &ATTR_ID_MC_ARQ_ACK_NACK_C3, &ATTR_ID_MC_ARQ_DRC_Cover_C3, &ATTR_ID_MC_ARQ_DSCValue_C3},
}};
}  // namespace

void F::DecodeMCDRCARQDSCBuffer(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCDRCARQDSCBuffer);
  const PayloadReader r = payload();
  if (!job.require(r, kArqHeader)) return;
  const std::size_t carriers = r.u8(1);
  const std::uint8_t slot_count = r.u8(2);
  if (!job.require(r, kArqHeader + kArqBlock * carriers)) return;
  const auto block = [&r](std::size_t n) { return r.sub(kArqHeader + kArqBlock * n, kArqBlock); };
  const auto slot_word = [](const PayloadReader& b, std::uint32_t j) { return b.u32le(kArqSlots + 4 * j); };

  if (const AttrWriter w(ds); w.on() && carriers > 0) {
    w.Byte(ATTR_ID_MC_ARQ_CarrierCnt, static_cast<std::uint8_t>(carriers));
    w.Byte(ATTR_ID_MC_ARQ_SlotCnt, slot_count);
    for (std::size_t n = 0; n < carriers; ++n) {
      const PayloadReader b = block(n);
      const auto slot = static_cast<std::size_t>(bits(b.u8(0), 0, 4));
      if (slot >= kCarrierSlots) continue;  // no attribute set for this carrier
      const ArqCarrierAttrs& a = kArqAttrs[slot];
      for (std::uint32_t j = 0; j < kDrcSlots; ++j) {
        const std::uint32_t word = slot_word(b, j);
        w.Long(*a.ack_enabled, static_cast<std::int32_t>(bits(word, 13, 1)), j);
        w.Long(*a.ack_nack, static_cast<std::int32_t>(bits(word, 12, 1)), j);
        w.ULong(*a.drc_cover, static_cast<std::uint32_t>(bits(word, 0, 3)), j);
        w.ULong(*a.dsc_value, static_cast<std::uint32_t>(bits(word, 4, 3)), j);
      }
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Version: %d, Number of carriers: %zu, Slot count: %d", r.u8(0), carriers, slot_count);
  for (std::size_t n = 0; n < carriers; ++n) {
    const PayloadReader b = block(n);
    appendf(out, "\nCarrier #%zu: ", n + 1);
    append_carrier(out, read_carrier(b, 0, 1));
    appendf(out, "\n\tPN = %d, DRC Lock Update: %d\n\tASP\tDRC\tValid\n\tIndex\tLock", b.u16le(kArqPn),
            b.u8(kArqLockUpdate));
    const std::uint16_t asp_bits = b.u16le(kArqAspBits);
    for (unsigned i = 0; i < kAsps; ++i) {
      appendf(out, "\n\t%u\t%d\t%s", i, static_cast<int>(bits(asp_bits, 2 * i, 1)),
              bits(asp_bits, 2 * i + 1, 1) != 0 ? "Yes" : "No");
    }
    out +=
        "\n\t\tDRC\t\tDSC\t\tDSC\tDRC\tAck/"
        "\tAck\tForced\tTrans\tNext\tDemod\n\tSlot\tCover\t\tValue\tMUP\tBoost\tBoost\t"
        "Nack\tEnabled\tAck\tDRC\tASP\tASP";
    for (std::uint32_t j = 0; j < kDrcSlots; ++j) {
      const std::uint32_t word = slot_word(b, j);
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
constexpr std::size_t kPwrHeader = 8;
constexpr std::size_t kPwrRecord = 16;
constexpr std::size_t kPwrValues = 4;
constexpr std::size_t kPwrCount = 6;

const std::array<const std::uint32_t*, kPwrCount> kPwrPerCarrier{
    &ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER_MC, &ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST_MC,
    &ATTR_ID_EVDO_POWER_TXPILOT_POWER_MC,    &ATTR_ID_EVDO_POWER_TXTOTAL_POWER_MC,
    &ATTR_ID_EVDO_POWER_RXAGC0_MC,           &ATTR_ID_EVDO_POWER_RXAGC1_MC};
const std::array<const std::uint32_t*, kPwrCount> kPwrMean{
    &ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER, &ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST,
    &ATTR_ID_EVDO_POWER_TXPILOT_POWER,    &ATTR_ID_EVDO_POWER_TXTOTAL_POWER,
    &ATTR_ID_EVDO_POWER_RXAGC0,           &ATTR_ID_EVDO_POWER_RXAGC1};

std::array<double, kPwrCount> carrier_powers(const PayloadReader& c) {
  std::array<double, kPwrCount> v{};
  for (std::size_t k = 0; k < kPwrCount; ++k) v[k] = evdo::db_from_256ths(c.i16le(kPwrValues + 2 * k));
  return v;
}
}  // namespace

void F::DecodeMultiCarrierPower(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMultiCarrierPower);
  const PayloadReader r = payload();
  if (!job.require(r, 1)) return;
  if (r.u8(0) == 0) return;
  if (!job.require(r, kPwrHeader)) return;
  const std::size_t carriers = r.u8(7);
  if (!job.require(r, kPwrHeader + kPwrRecord * carriers)) return;
  const auto record = [&r](std::size_t n) { return r.sub(kPwrHeader + kPwrRecord * n, kPwrRecord); };

  if (const AttrWriter w(ds, AttrWriter::kAlways); w.on() && carriers > 0) {
    std::array<double, kPwrCount> sum{};
    for (std::size_t n = 0; n < carriers; ++n) {
      const PayloadReader c = record(n);
      const auto index = static_cast<std::uint32_t>(bits(c.u8(0), 0, 4));
      const auto v = carrier_powers(c);
      for (std::size_t k = 0; k < kPwrCount; ++k) {
        w.Double(*kPwrPerCarrier[k], v[k], index);
        sum[k] += v[k];
      }
    }
    for (std::size_t k = 0; k < kPwrCount; ++k) w.Double(*kPwrMean[k], sum[k] / static_cast<double>(carriers));
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Ver.: %d, LNAState: %d, TxEnabled: %s, HSTR: %d, TotalTxPower: %.2f", r.u8(0), r.u8(1),
          r.u8(2) != 0 ? "PA On" : "PA Off", r.u16le(3), evdo::db_from_256ths(r.i16le(5)));
  if (carriers == 0) return;
  out +=
      "\nCarriers:\n\tChan\tBand\tRatchet\t\t\t\tTx  Power  "
      "(dBm)\tRx\tRx\nID\tNum\tClass\tMode\t\tEnable\tOpen\tClose\tPilot\tTotal\tAGC0\tAGC1";
  for (std::size_t n = 0; n < carriers; ++n) {
    const PayloadReader c = record(n);
    const Carrier id = read_carrier(c, 0, 1);
    const std::uint8_t flags = c.u8(3);
    const auto v = carrier_powers(c);
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
constexpr std::size_t kRlgHeader = 3;
constexpr std::size_t kRlgSubframe = 7;
constexpr std::size_t kRlgBlockHeader = 3;
constexpr std::size_t kRlgRecord = 29;
constexpr std::size_t kRlgGains = 3;
constexpr std::size_t kRlgPowers = 21;
}  // namespace

void F::DecodeMCRLGains(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCRLGains);
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!job.require(r, kRlgHeader)) return;
  const std::size_t subframes = r.u8(1);
  const std::size_t carriers = r.u8(2);
  const std::size_t block = kRlgBlockHeader + kRlgRecord * subframes;
  const std::size_t first_block = kRlgHeader + kRlgSubframe * subframes;
  if (!job.require(r, first_block + block * carriers)) return;

  std::string& out = msg.details;
  appendf(out, "Ver.: %d, SubframeCount: %zu, Number of carriers: %zu", r.u8(0), subframes, carriers);
  if (subframes > 0) out += "\n#Sub\tPA\tBack\tTx\tTx\nframe\tOn\toff\tTotal\tMax";
  for (std::size_t s = 0; s < subframes; ++s) {
    const std::size_t at = kRlgHeader + kRlgSubframe * s;
    appendf(out, "\n%d\t%d\t%d\t%.2f\t%.2f\t", r.u8(at), r.u8(at + 1), r.u8(at + 2),
            evdo::db_from_256ths(r.i16le(at + 3)), r.i16le(at + 5) * 0.25);
  }
  for (std::size_t n = 0; n < carriers; ++n) {
    const PayloadReader b = r.sub(first_block + block * n, block);
    appendf(out, "\nCarrier #%zu: ", n + 1);
    append_carrier(out, read_carrier(b, 0, 1));
    out +=
        "\n#"
        "Sub\tPkt\t\tTrans\tCarrier\tRPC\tPilot\tPilot\tAck\tRRI\tDSC\tDRC\tData\tAux\tTx\tTx\tTx\tTx\nframe\tSize\tSP"
        "\t"
        "Mode\tOn\tBit\t0\t1\t\t\t\t\t\t\tOpen\tTotal\tPilot\tAdjust";
    for (std::size_t s = 0; s < subframes; ++s) {
      const PayloadReader rec = b.sub(kRlgBlockHeader + kRlgRecord * s, kRlgRecord);
      const int subframe = rec.u8(0);
      const std::uint16_t flags = rec.u16le(1);
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
      for (std::size_t g = 0; g < 8; ++g) appendf(out, g == 0 ? "%d" : "\t%d", rec.u16le(kRlgGains + 2 * g));
      for (std::size_t p = 0; p < 4; ++p) appendf(out, "\t%.2f", evdo::db_from_256ths(rec.i16le(kRlgPowers + 2 * p)));
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
constexpr std::size_t kRlmSize = 1749;
constexpr std::size_t kRlmInterlaces = 9;
constexpr std::size_t kRlmInterlace = 580;
constexpr std::size_t kRlmLoLat = 288;
constexpr std::size_t kRlmSizeRecord = 24;
constexpr std::size_t kRlmNaks = 16;
constexpr std::size_t kRlmSent = 20;
constexpr std::size_t kRlmUnexpected = 576;
constexpr std::size_t kRlmSizes = 12;
constexpr unsigned kNoCarrier = 15;
constexpr double kSubframeMs = 6.667;

struct RlmCounts {
  std::array<std::uint32_t, 4> acks{};
  std::uint32_t naks = 0, sent = 0;
};
RlmCounts rlm_counts(const PayloadReader& r, std::size_t interlace, std::size_t mode, std::size_t size) {
  const std::size_t at = kRlmInterlaces + kRlmInterlace * interlace + kRlmLoLat * mode + kRlmSizeRecord * size;
  RlmCounts c;
  for (std::size_t k = 0; k < 4; ++k) c.acks[k] = r.u32le(at + 4 * k);
  c.naks = r.u32le(at + kRlmNaks);
  c.sent = r.u32le(at + kRlmSent);
  return c;
}
}  // namespace

void F::DecodeMCRLMetrics(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCRLMetrics);
  const PayloadReader r = payload();
  if (!job.require(r, kRlmSize)) return;
  const std::uint8_t version = r.u8(0);
  const std::uint32_t sequence = r.u32le(1);
  const std::uint8_t carriers = r.u8(5);
  const auto carrier = static_cast<unsigned>(bits(r.u8(6), 0, 4));
  const std::uint16_t word = r.u16le(7);

  if (const AttrWriter w(ds); w.on()) {
    w.Long(ATTR_ID_MCRLMetrics_Carrier_id, static_cast<std::int32_t>(carrier));
    w.Byte(ATTR_ID_MCRLMetrics_Carrier_Count, carriers);
    w.UShort(ATTR_ID_MCRLMetrics_Carrier, word);
    if (carrier != kNoCarrier && !(word == 0 && carrier == 0)) {
      std::uint64_t packets = 0, naks = 0, ack_bits = 0;
      double tx_ms = 0.0;
      for (std::size_t i = 0; i < 3; ++i) {
        for (std::size_t s = 0; s < kRlmSizes; ++s) {
          const RlmCounts hi = rlm_counts(r, i, 0, s);
          const RlmCounts lo = rlm_counts(r, i, 1, s);
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
      for (std::size_t s = 0; s < kRlmSizes; ++s) sent += rlm_counts(r, i, mode, s).sent;
      if (sent == 0) {
        appendf(out, "\nInterlace %zu TxMode %s - No packet sent", i, name);
        continue;
      }
      appendf(out, "\nInterlace %zu TxMode %s\n\tPktSize\tSP0Acks\tSP1Acks\tSP2Acks\tSP3Acks\tP-ARQNaks\tTotalPktsSent",
              i, name);
      for (std::size_t s = 0; s < kRlmSizes; ++s) {
        const RlmCounts c = rlm_counts(r, i, mode, s);
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
    const std::uint32_t unexpected = r.u32le(kRlmInterlaces + kRlmInterlace * i + kRlmUnexpected);
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
constexpr std::size_t kPcpHeader = 5;
constexpr std::size_t kPcpCombo = 2;
constexpr std::size_t kPcpCarrier = 4;
constexpr std::size_t kPcpFlow = 13;

void append_transmit(std::string& out, std::uint16_t size, std::uint32_t word) {
  appendf(out, "%d\t%d\t%d\t\t%c", size, static_cast<int>(bits(word, 6, 2)), static_cast<int>(bits(word, 1, 6)),
          route_letter(static_cast<unsigned>(bits(word, 0, 1))));
}
}  // namespace

void F::DecodeMCPCPPacketStats(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCPCPPacketStats);
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!job.require(r, kPcpHeader)) return;
  std::string& out = msg.details;
  const unsigned combos = r.u8(4);
  appendf(out, "\nVersion: %d, Record Number: %d, Sub-Frame Count: %d, Prev Combo ID: %d, Num Combos: %u", r.u8(0),
          r.u8(1), r.u8(2), r.u8(3), combos);
  std::size_t pos = kPcpHeader;
  for (unsigned k = 0; k < combos; ++k) {
    if (!job.require_at(r, pos, kPcpCombo)) return;
    const unsigned carriers = r.u8(pos + 1);
    appendf(out, "\nCombos[%u]\n\tCombo ID: %d, Num Carriers: %u", k, r.u8(pos), carriers);
    pos += kPcpCombo;
    if (carriers > 0) {
      out +=
          "\n\tCarrier\tPrev "
          "subframe\tFmt\tNum\tMac\t\t\tRexmit\t\t\t\t\tNewxmit\n\tID\tCanceled\tB\tFlows\tFlow\tsize\tstream\tsubstrea"
          "m\t"
          "route\tsize\tstream\tsubstream\troute";
    }
    for (unsigned c = 0; c < carriers; ++c) {
      if (!job.require_at(r, pos, kPcpCarrier)) return;
      const std::size_t flows = r.u8(pos + 3);
      if (!job.require_at(r, pos + kPcpCarrier, kPcpFlow * flows)) return;
      appendf(out, "\n\t%d\t%s\t\t%s\t%zu", r.u8(pos), true_false(r.u8(pos + 1)), true_false(r.u8(pos + 2)), flows);
      pos += kPcpCarrier;
      for (std::size_t f = 0; f < flows; ++f, pos += kPcpFlow) {
        appendf(out, "%s%d\t", f == 0 ? "\t" : "\n\t\t\t\t\t\t", r.u8(pos));
        append_transmit(out, r.u16le(pos + 1), r.u32le(pos + 3));
        out += '\t';
        append_transmit(out, r.u16le(pos + 7), r.u32le(pos + 9));
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
constexpr std::size_t kRxpFixed = 18;
constexpr std::size_t kRxpReception = 26;
constexpr std::size_t kRxpWithQn = 32;
constexpr std::array<ValueName, 4> kRxpEvents{
    {{0, "Packet reception on Forward Link"}, {1, "RLP reset"}, {2, "Abort"}, {3, "Flush message received"}}};
}  // namespace

void F::DecodeMCMRLPRxProcessing(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCMRLPRxProcessing);
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!job.require(r, kRxpFixed)) return;
  const std::uint8_t flags = r.u8(1);
  const auto event = static_cast<unsigned>(bits(flags, 0, 2));
  const bool reception = event == 0;
  if (reception && !job.require(r, kRxpReception)) return;
  const bool qn = reception && bits(r.u8(19), 6, 1) != 0;
  if (qn && !job.require(r, kRxpWithQn)) return;

  std::string& out = msg.details;
  appendf(
      out,
      "Version: %d\nEvent: %s, Link flow: %d, Route: %c\nV(n) - before: %u, after: %u\nV(r) - before: %u, after: %u",
      r.u8(0), name_or(kRxpEvents, event, ""), static_cast<int>(bits(flags, 2, 5)),
      route_letter(static_cast<unsigned>(bits(flags, 7, 1))), r.u32le(2), r.u32le(6), r.u32le(10), r.u32le(14));
  if (!reception) return;
  appendf(out,
          "\nLink Id = %d, Scheduler Group Id = %d, QN Seq Included = %s, Number Data Units  = %d, SAR Seq Number = %u",
          r.u8(18), static_cast<int>(bits(r.u8(19), 0, 6)), qn ? "True" : "False", r.u16le(20), r.u32le(22));
  if (qn) appendf(out, "\nQN Seq Number = %d, SAR Seq Short Num = %u", r.u16le(26), r.u32le(28));
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
constexpr std::size_t kRxkHeader = 6;
constexpr std::size_t kRxkRecordHeader = 6;
}  // namespace

void F::DecodeMCMRLPRxPkts(IOrbDataState*, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCMRLPRxPkts);
  if (!msg.detailsWanted) return;
  const PayloadReader r = payload();
  if (!job.require(r, kRxkHeader)) return;
  const std::uint8_t flow = r.u8(0);
  const std::uint16_t sar = r.u16le(1);
  const std::uint8_t partial = r.u8(3);
  const unsigned records = r.u8(5);
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
  std::size_t pos = kRxkHeader;
  for (unsigned k = 0; k < records; ++k) {
    if (!job.require_at(r, pos, kRxkRecordHeader)) return;
    const std::uint16_t frame = r.u16le(pos);
    // The record as announced must be whole, its frame included, before it is shown.
    const std::size_t step = kRxkRecordHeader + (partial != 0 ? partial : frame);
    if (!job.require_at(r, pos, step)) return;
    appendf(out, "\n%d\t%d\t%d\t%d", r.u16le(pos + 2), frame, r.u8(pos + 5), r.u8(pos + 4));
    pos += step;
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
constexpr std::size_t kSufHeader = 9;
}  // namespace

void F::DecodeMCSUFwdStats(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMCSUFwdStats);
  const PayloadReader r = payload();
  if (!job.require(r, kSufHeader)) return;
  const std::uint32_t sequence = r.u32le(1);
  AttrWriter(ds).ULong(ATTR_ID_RevASUFwdStats_SequenceNumber, sequence);
  if (!msg.detailsWanted) return;
  const std::uint16_t word = r.u16le(7);
  appendf(msg.details,
          "Ver.: %d, Log Seq. Number: %u, Number of carriers: %d, Carrier #%d (ChanNum %d, Band Class %d): \n", r.u8(0),
          sequence, r.u8(5), static_cast<int>(bits(r.u8(6), 0, 4)), static_cast<int>(bits(word, 0, 11)),
          static_cast<int>(bits(word, 11, 5)));
  append_bytes(msg.details, r.tail(kSufHeader));
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
