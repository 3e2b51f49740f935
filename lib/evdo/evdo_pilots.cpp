// EV-DO pilot reports: the pilot sets (0x107A, 0x108B), the searcher (0x105D, 0x1089,
// 0x127C) and finger (0x1064, 0x108A) reports, the active-set pilot (0x105F) and the
// handoff state (0x105E). Per-pilot attributes are indexed by PN so the host can
// chart a pilot over time; the best-first lists are indexed by rank.
//
// Counts in these packets are trusted only as far as the payload goes: a record is
// read when it is whole, and a count that claims more records than the payload holds
// shows the header as sent and decodes the records present.
#include <algorithm>
#include <array>
#include <cassert>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "evdo/evdo_common.h"
#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/cdma_utils.h"
#include "host/format_groups.h"

namespace {

using E = COrbDecodeMsgCDMA1xEVDOQualcommFrame;
using cdmadiag::appendf;
using cdmadiag::AttrReader;
using cdmadiag::AttrWriter;
using cdmadiag::bits;
using cdmadiag::Cursor;
using cdmadiag::formatf;
using cdmadiag::name_or;
using cdmadiag::evdo::db_from_512ths;
using cdmadiag::evdo::RankAspBySinr;
using cdmadiag::evdo::RankedAsp;

using AttrId = const std::uint32_t*;  // ids are resolved at load, so tables hold their addresses

constexpr const char* kSearcherStateGroup = "Searcher Task State";

bool pn_valid(std::uint32_t pn) { return pn <= 0xFFFF && CDMACommonUtils::IsPNValid(static_cast<std::uint16_t>(pn)); }

std::string searcher_state_name(unsigned state) { return cdmadiag::group_text(kSearcherStateGroup, state); }

// "%.2f" of a linear 1/512 value in dB, or `none` for a raw 0.
std::string db_text(std::uint32_t raw, const char* none) {
  const auto db = db_from_512ths(raw);
  return db ? cdmadiag::fixed_text(*db, 2) : std::string(none);
}

void write_db_or_none(const AttrWriter& w, std::uint32_t id, std::uint32_t raw, std::uint32_t index) {
  if (const auto db = db_from_512ths(raw)) {
    w.Double(id, *db, index);
  } else {
    w.NoValue(id, index);
  }
}

// ---------------------------------------------------------------------------------
// Pilot sets, version 1 (0x107A) and version 2 (0x108B).
//
// Payload: an 11-byte header, then ASETCount active, CSETCount candidate and
// NSETCount neighbour entries of 10 bytes (five u16 words w0-w4).
//   +0  u8   PNInc
//   +1  u8   ASETCount
//   +2  u8   ASETWindow
//   +3  u16  v2: bits 0-10 Freq, bits 11-15 BandClass; v1: Freq
//   +5  u8   v2: SrchState; v1: BandClass
//   +6  u8   CSETCount
//   +7  u8   CSETWindow
//   +8  u8   NSETCount
//   +9  u16  RSETWindow
// Entry words, w0 PN and w1 strength (linear 1/512, 0 = not measured) in every set:
//   v2 active     w2 bits 0-3 ASP idx, 4-7 RPC idx, 8-10 DRC cover; w3 bits 0-7 MAC idx,
//                 bit 8 drop timer expired, bit 9 drop timer active; w4 window centre (x2)
//   v2 candidate  w2 bits 0-10 channel, 11-15 band class; w3 bit 8 drop timer expired,
//                 bit 9 drop timer active; w4 window centre (x2)
//   v2 neighbour  w2 bits 0-10 channel, 11-15 band class; w3 window size;
//                 w4 bits 0-2 window offset, 8-15 age
//   v1 active     w2 bits 0-3 ASP idx, 4-7 RPC idx (high byte unused); w3 MAC idx
//   v1 candidate  w2 channel
//   v1 neighbour  w2 channel; w3 window size; w4 window offset
[[maybe_unused]] constexpr std::size_t kSetsHeaderSize = 11;
constexpr std::size_t kSetEntrySize = 10;
constexpr std::size_t kSets = 3;  // active, candidate, neighbour
constexpr std::size_t kActive = 0;
constexpr std::size_t kCandidate = 1;
constexpr std::size_t kNeighbour = 2;

// An unmeasured pilot ranks after every measured one; ranks past a set's pilots are
// filled with a marker PN and a strength below that.
constexpr float kUnmeasuredDb = -100.0f;
constexpr std::uint32_t kFillPn = 1000;
constexpr float kFillDb = -999.0f;
constexpr std::size_t kLargestCountMax = 0xFF;  // the largest counts are stored as bytes

using SetEntry = std::array<std::uint16_t, 5>;

struct PilotSetsPacket {
  unsigned pn_inc, aset_window, cset_window, rset_window;
  std::uint16_t freq_word;
  std::uint8_t byte5;
  std::array<unsigned, kSets> counts;                // as the header claims
  std::array<std::vector<SetEntry>, kSets> entries;  // those present in the payload
};

// The header in the table's order, then the entries the payload holds whole.
PilotSetsPacket read_pilot_sets(Cursor& c) {
  PilotSetsPacket p{};
  p.pn_inc = c.u8();
  p.counts[kActive] = c.u8();
  p.aset_window = c.u8();
  p.freq_word = c.u16le();
  p.byte5 = c.u8();
  p.counts[kCandidate] = c.u8();
  p.cset_window = c.u8();
  p.counts[kNeighbour] = c.u8();
  p.rset_window = c.u16le();
  assert(!c.ok() || c.offset() == kSetsHeaderSize);
  for (std::size_t s = 0; s < kSets; ++s) {
    const std::size_t n = c.whole_records(kSetEntrySize, p.counts[s]);
    for (std::size_t i = 0; i < n; ++i) {
      SetEntry e{};
      for (std::uint16_t& word : e) word = c.u16le();
      p.entries[s].push_back(e);
    }
    if (n < p.counts[s]) break;  // the sets after a cut-off one are missing too
  }
  return p;
}

// The attributes both versions write, under their own prefix.
struct PilotSetsAttrs {
  AttrId pilot_inc, num_aset, aset_window, freq, band_class, srch_state, num_cset, cset_window, num_nset, rset_window;
  std::array<AttrId, kSets> largest, ecio_for_pn, best_ecio, pn_for_best;
};

#define CDMADIAG_PILOTSETS_ATTRS(P, SRCHSTATE)                                                                     \
  PilotSetsAttrs {                                                                                                 \
    &ATTR_ID_##P##_PILOT_INC, &ATTR_ID_##P##_NUM_ASET_PILOTS, &ATTR_ID_##P##_ASET_WINDOW, &ATTR_ID_##P##_FREQ,     \
        &ATTR_ID_##P##_BAND_CLASS, SRCHSTATE, &ATTR_ID_##P##_NUM_CANDSET_PILOTS, &ATTR_ID_##P##_CSET_WINDOW,       \
        &ATTR_ID_##P##_NUM_NBORSET_PILOTS, &ATTR_ID_##P##_RSET_WINDOW,                                             \
        {&ATTR_ID_##P##_LARGEST_ASET_COUNT, &ATTR_ID_##P##_LARGEST_CSET_COUNT, &ATTR_ID_##P##_LARGEST_NSET_COUNT}, \
        {&ATTR_ID_##P##_ACTIVE_PILOTS_ECIO_FOR_PN, &ATTR_ID_##P##_CANDIDATE_PILOTS_ECIO_FOR_PN,                    \
         &ATTR_ID_##P##_NBOR_PLTS_ECIO_FOR_PN},                                                                    \
        {&ATTR_ID_##P##_BEST_ECIO_ACTIVE, &ATTR_ID_##P##_BEST_ECIO_CANDIDATE, &ATTR_ID_##P##_BEST_ECIO_NBOR},      \
        {&ATTR_ID_##P##_PN_FOR_BEST_ECIO_ACTIVE, &ATTR_ID_##P##_PN_FOR_BEST_ECIO_CANDIDATE,                        \
         &ATTR_ID_##P##_PN_FOR_BEST_ECIO_NBOR},                                                                    \
  }
const PilotSetsAttrs kSetsV1 = CDMADIAG_PILOTSETS_ATTRS(EVDO_PILOTSETS, nullptr);
const PilotSetsAttrs kSetsV2 = CDMADIAG_PILOTSETS_ATTRS(EVDO_PILOTSETSVER2, &ATTR_ID_EVDO_PILOTSETSVER2_SRCHSTATE);
#undef CDMADIAG_PILOTSETS_ATTRS

// Header attributes (band class and state by version), then the largest set counts.
// Returns each set's number of ranks: its largest count, at least its own pilots.
std::array<std::size_t, kSets> write_sets_header(IOrbDataState* ds, const AttrWriter& w, const PilotSetsAttrs& a,
                                                 const PilotSetsPacket& p, unsigned freq, unsigned band) {
  w.Byte(*a.pilot_inc, static_cast<std::uint8_t>(p.pn_inc));
  w.Byte(*a.num_aset, static_cast<std::uint8_t>(p.counts[kActive]));
  w.Byte(*a.aset_window, static_cast<std::uint8_t>(p.aset_window));
  w.UShort(*a.freq, static_cast<std::uint16_t>(freq));
  w.Byte(*a.band_class, static_cast<std::uint8_t>(band));
  w.Byte(ATTR_ID_Band_Class, static_cast<std::uint8_t>(band));
  if (a.srch_state != nullptr) w.Byte(*a.srch_state, p.byte5);
  w.Byte(*a.num_cset, static_cast<std::uint8_t>(p.counts[kCandidate]));
  w.Byte(*a.cset_window, static_cast<std::uint8_t>(p.cset_window));
  w.Byte(*a.num_nset, static_cast<std::uint8_t>(p.counts[kNeighbour]));
  w.UShort(*a.rset_window, static_cast<std::uint16_t>(p.rset_window));

  // The counts raised are those of the entries present: a count the payload does
  // not back would leave every later packet clearing ranks that never existed.
  const AttrReader read(ds);
  const auto held = [](const OrbRetVal& v) {
    return static_cast<std::size_t>(std::clamp<std::int64_t>(cdmadiag::held_integer(v).value_or(0), 0,
                                                             static_cast<std::int64_t>(kLargestCountMax)));
  };
  for (std::size_t s = 0; s < kSets; ++s) {
    const std::size_t largest = std::max(held(read.latest(*a.largest[s])), p.entries[s].size());
    w.Byte(*a.largest[s], static_cast<std::uint8_t>(largest));
  }
  std::array<std::size_t, kSets> ranks{};
  for (std::size_t s = 0; s < kSets; ++s) ranks[s] = std::max(held(read.current(*a.largest[s])), p.entries[s].size());
  return ranks;
}

// Ec/Io of a pilot of valid PN, under its set's name.
void write_set_ecio(const AttrWriter& w, const PilotSetsAttrs& a, std::size_t set, const SetEntry& e) {
  write_db_or_none(w, *a.ecio_for_pn[set], e[1], e[0]);
}

// Best-first Ec/Io of one set over `ranks` ranks; ranks without a measured pilot are
// cleared, so a smaller set does not leave a larger earlier one's pilots behind.
void write_set_ranking(const AttrWriter& w, const PilotSetsAttrs& a, std::size_t set,
                       const std::vector<SetEntry>& entries, std::size_t ranks) {
  std::vector<RankedAsp> ranked;
  for (const SetEntry& e : entries) {
    if (!pn_valid(e[0])) continue;  // its PN names no pilot to chart
    const auto db = db_from_512ths(e[1]);
    ranked.push_back(RankedAsp{e[0], db ? static_cast<float>(*db) : kUnmeasuredDb});
  }
  ranked.resize(std::max(ranks, ranked.size()), RankedAsp{kFillPn, kFillDb});
  RankAspBySinr(ranked.data(), static_cast<int>(ranked.size()));
  for (std::size_t i = 0; i < ranked.size(); ++i) {
    const auto rank = static_cast<std::uint32_t>(i);
    if (ranked[i].sinr_db > kUnmeasuredDb) {
      w.Double(*a.best_ecio[set], ranked[i].sinr_db, rank);
      w.Long(*a.pn_for_best[set], static_cast<std::int32_t>(ranked[i].pn), rank);
    } else {
      w.NoValue(*a.best_ecio[set], rank);
      w.NoValue(*a.pn_for_best[set], rank);
    }
  }
}

constexpr std::array<const char*, kSets> kV2SetHeadings{
    "->\n\t\t********Active Set********\nAS\tPN\tASP\tRPC\tDRC\tMAC\tDrop\tDrop\tWin\t"
    "\nPN\tEngy\tIdx\tIdx\tCvr\tIdx\tTmr\tTmr\tCtr\t"
    "\n\t(dB)\t\t\t\t\tExp\tAct\t(x2)\t",
    "\n->\n\t\t********Candidate Set********\nCS\tPN\tFreq\tBand\tDrop\tDrop\tWin\t"
    "\nPN\tEngy\tNum\tClass\tTmr\tTmr\tCtr\t"
    "\n\t(dB)\t\t\tExp\tAct\t(x2)\t",
    "\n->\n\t\t********Neighbor Set********\nNS\tPN\tFreq\tBand\tWin\tWin\tAGE\t"
    "\nPN\tEngy\tNum\tClass\tSize\tOSet\t\t"
    "\n\t(dB)\t\t\t\t\t\t\t\t",
};

unsigned u(std::uint64_t v) { return static_cast<unsigned>(v); }

}  // namespace

void E::DecodePilotSets2(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodePilotSets2);
  Cursor c(payload());
  const PilotSetsPacket p = read_pilot_sets(c);
  if (!job.check(c)) return;
  const unsigned freq = u(bits(p.freq_word, 0, 11));
  const unsigned band = u(bits(p.freq_word, 11, 5));
  const auto& act = p.entries[kActive];
  const auto& cand = p.entries[kCandidate];
  const auto& nbr = p.entries[kNeighbour];

  if (const AttrWriter w(ds); w.on()) {
    const auto ranks = write_sets_header(ds, w, kSetsV2, p, freq, band);
    for (const SetEntry& e : act) {
      if (!pn_valid(e[0])) continue;
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_ASET_DRC_COVER_INDEX_FOR_PN, static_cast<std::uint8_t>(bits(e[2], 8, 3)), e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_ASET_RPC_CELL_IDX_FOR_PN, static_cast<std::uint8_t>(bits(e[2], 4, 4)), e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_ASET_ASP_IDX_FOR_PN, static_cast<std::uint8_t>(bits(e[2], 0, 4)), e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_ASET_DROP_TIME_ACTIVE_FOR_PN, static_cast<std::uint8_t>(bits(e[3], 9, 1)),
             e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_ASET_DROP_TIME_EXPIRED_FOR_PN, static_cast<std::uint8_t>(bits(e[3], 8, 1)),
             e[0]);
      w.UShort(ATTR_ID_EVDO_PILOTSETSVER2_ASET_MAC_IDX_FOR_PN, static_cast<std::uint16_t>(bits(e[3], 0, 8)), e[0]);
      w.UShort(ATTR_ID_EVDO_PILOTSETSVER2_ASET_WIN_CENTERX2_FOR_PN, e[4], e[0]);
      write_set_ecio(w, kSetsV2, kActive, e);
    }
    write_set_ranking(w, kSetsV2, kActive, act, ranks[kActive]);
    for (const SetEntry& e : cand) {
      if (!pn_valid(e[0])) continue;
      w.UShort(ATTR_ID_EVDO_PILOTSETSVER2_CSET_FREQ_NUM_FOR_PN, static_cast<std::uint16_t>(bits(e[2], 0, 11)), e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_CSET_BAND_CLASS_FOR_PN, static_cast<std::uint8_t>(bits(e[2], 11, 5)), e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_CSET_DROP_TIME_ACTIVE_FOR_PN, static_cast<std::uint8_t>(bits(e[3], 9, 1)),
             e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_CSET_DROP_TIME_EXPIRED_FOR_PN, static_cast<std::uint8_t>(bits(e[3], 8, 1)),
             e[0]);
      w.UShort(ATTR_ID_EVDO_PILOTSETSVER2_CSET_WIN_CENTERX2_FOR_PN, e[4], e[0]);
      write_set_ecio(w, kSetsV2, kCandidate, e);
    }
    write_set_ranking(w, kSetsV2, kCandidate, cand, ranks[kCandidate]);
    for (const SetEntry& e : nbr) {
      if (!pn_valid(e[0])) continue;
      w.UShort(ATTR_ID_EVDO_PILOTSETSVER2_NSET_FREQ_NUM_FOR_PN, static_cast<std::uint16_t>(bits(e[2], 0, 11)), e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_NSET_BAND_CLASS_FOR_PN, static_cast<std::uint8_t>(bits(e[2], 11, 5)), e[0]);
      w.UShort(ATTR_ID_EVDO_PILOTSETSVER2_NSET_WINDOW_SIZE_FOR_PN, e[3], e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_NSET_WINDOW_OFFSET_FOR_PN, static_cast<std::uint8_t>(bits(e[4], 0, 3)), e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETSVER2_NSET_AGE_FOR_PN, static_cast<std::uint8_t>(bits(e[4], 8, 8)), e[0]);
      write_set_ecio(w, kSetsV2, kNeighbour, e);
    }
    write_set_ranking(w, kSetsV2, kNeighbour, nbr, ranks[kNeighbour]);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out,
          "PNInc: %u\nASETCount: %u\nASETWindow: %u\nFreq: %u\nBandClass: %u\nSrchState: %u (%s)\nCSETCount: "
          "%u\nCSETWindow: %u\nNSETCount: %u\nRSETWindow: %u\n",
          p.pn_inc, p.counts[kActive], p.aset_window, freq, band, u(p.byte5), searcher_state_name(p.byte5).c_str(),
          p.counts[kCandidate], p.cset_window, p.counts[kNeighbour], p.rset_window);
  const auto pn_text = [](std::uint16_t pn) { return pn_valid(pn) ? formatf("%u", u(pn)) : std::string("-"); };
  for (std::size_t s = 0; s < kSets; ++s) {
    if (!p.entries[s].empty()) out += kV2SetHeadings[s];
    for (const SetEntry& e : p.entries[s]) {
      const std::string pn = pn_text(e[0]);
      const std::string strength = db_text(e[1], "-");
      switch (s) {
        case kActive:
          appendf(out, "\n%s\t%s\t%u\t%u\t%u\t%u\t%u\t%u\t%u", pn.c_str(), strength.c_str(), u(bits(e[2], 0, 4)),
                  u(bits(e[2], 4, 4)), u(bits(e[2], 8, 3)), u(bits(e[3], 0, 8)), u(bits(e[3], 8, 1)),
                  u(bits(e[3], 9, 1)), u(e[4]));
          break;
        case kCandidate:
          appendf(out, "\n%s\t%s\t%u\t%u\t%u\t%u\t%u", pn.c_str(), strength.c_str(), u(bits(e[2], 0, 11)),
                  u(bits(e[2], 11, 5)), u(bits(e[3], 8, 1)), u(bits(e[3], 9, 1)), u(e[4]));
          break;
        default:
          appendf(out, "\n%s\t%s\t%u\t%u\t%u\t%u\t%u\t", pn.c_str(), strength.c_str(), u(bits(e[2], 0, 11)),
                  u(bits(e[2], 11, 5)), u(e[3]), u(bits(e[4], 0, 3)), u(bits(e[4], 8, 8)));
          break;
      }
    }
  }
}

void E::DecodePilotSets(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodePilotSets);
  Cursor c(payload());
  const PilotSetsPacket p = read_pilot_sets(c);
  if (!job.check(c)) return;
  const auto& act = p.entries[kActive];
  const auto& cand = p.entries[kCandidate];
  const auto& nbr = p.entries[kNeighbour];

  if (const AttrWriter w(ds); w.on()) {
    const auto ranks = write_sets_header(ds, w, kSetsV1, p, p.freq_word, p.byte5);
    for (const SetEntry& e : act) {
      if (!pn_valid(e[0])) continue;
      w.Byte(ATTR_ID_EVDO_PILOTSETS_ASET_RPC_CELL_IDX_FOR_PN, static_cast<std::uint8_t>(bits(e[2], 4, 4)), e[0]);
      w.Byte(ATTR_ID_EVDO_PILOTSETS_ASET_ASP_IDX_FOR_PN, static_cast<std::uint8_t>(bits(e[2], 0, 4)), e[0]);
      w.UShort(ATTR_ID_EVDO_PILOTSETS_ASET_MAC_IDX_FOR_PN, e[3], e[0]);
      write_set_ecio(w, kSetsV1, kActive, e);
    }
    write_set_ranking(w, kSetsV1, kActive, act, ranks[kActive]);
    for (const SetEntry& e : cand) {
      if (!pn_valid(e[0])) continue;
      w.UShort(ATTR_ID_EVDO_PILOTSETS_CSET_FREQ_NUM_FOR_PN, e[2], e[0]);
      write_set_ecio(w, kSetsV1, kCandidate, e);
    }
    write_set_ranking(w, kSetsV1, kCandidate, cand, ranks[kCandidate]);
    for (const SetEntry& e : nbr) {
      if (!pn_valid(e[0])) continue;
      w.UShort(ATTR_ID_EVDO_PILOTSETS_NSET_FREQ_NUM_FOR_PN, e[2], e[0]);
      w.UShort(ATTR_ID_EVDO_PILOTSETS_NSET_WINDOW_SIZE_FOR_PN, e[3], e[0]);
      w.UShort(ATTR_ID_EVDO_PILOTSETS_NSET_WINDOW_OFFSET_FOR_PN, e[4], e[0]);
      write_set_ecio(w, kSetsV1, kNeighbour, e);
    }
    write_set_ranking(w, kSetsV1, kNeighbour, nbr, ranks[kNeighbour]);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out,
          "PNInc: %u\nASETCount: %u\nASETWindow: %u\nFrequency: %u\nBandClass: %u\nCSETCount: %u\nCSETWindow: "
          "%u\nNSETCount: %u\nRSETWindow: %u\n",
          p.pn_inc, p.counts[kActive], p.aset_window, u(p.freq_word), u(p.byte5), p.counts[kCandidate], p.cset_window,
          p.counts[kNeighbour], p.rset_window);
  out += " \t\n";
  out += "PilotSet\t\tPN\tPilotStr(dB)\tRPCIdx\t\tASPIdx\t\tMACIdx\t\tCandiFreq\tNeighFreq\tWinSize\t\tWinOffset\n";
  for (const SetEntry& e : act) {
    if (!pn_valid(e[0])) continue;
    appendf(out, "Active\t\t%u\t%s\t\t%u\t\t%u\t\t%u\t\tN/A\t\tN/A\t\tN/A\t\tN/A\n", u(e[0]),
            db_text(e[1], "N/A").c_str(), u(bits(e[2], 4, 4)), u(bits(e[2], 0, 4)), u(e[3]));
  }
  for (const SetEntry& e : cand) {
    if (!pn_valid(e[0])) continue;
    appendf(out, "Candidate\t%u\t%s\t\tN/A\t\tN/A\t\tN/A\t\t%u\t\tN/A\t\tN/A\t\tN/A\n", u(e[0]),
            db_text(e[1], "N/A").c_str(), u(e[2]));
  }
  for (const SetEntry& e : nbr) {
    if (!pn_valid(e[0])) continue;
    appendf(out, "Neighbor\t%u\t%s\t\tN/A\t\tN/A\t\tN/A\t\tN/A\t\t%u\t\t%u\t\t%u\n", u(e[0]),
            db_text(e[1], "N/A").c_str(), u(e[2]), u(e[3]), u(e[4]));
  }
}

namespace {

// ---------------------------------------------------------------------------------
// Searcher reports. Every version's pilot record starts with the same word:
//   bits 0-8 pilot PN, bits 10-11 antenna selection, bits 12-14 pilot set code.
struct PilotWord {
  std::uint16_t pn;
  unsigned antenna, set;
};
PilotWord pilot_word(std::uint16_t w) {
  return {static_cast<std::uint16_t>(bits(w, 0, 9)), u(bits(w, 10, 2)), u(bits(w, 12, 3))};
}

constexpr std::array<ValueName, 8> kSetNames{{{0, "Empty set"},
                                              {1, "Remaining set"},
                                              {2, "Neighbor set"},
                                              {3, "Candidate set"},
                                              {4, "Active set"},
                                              {5, "Reserved"},
                                              {6, "Reserved"},
                                              {7, "Reserved"}}};
constexpr std::array<ValueName, 4> kAntennaNames{{{0, "Ant0"}, {1, "Ant1"}, {2, "Ant0+Ant1"}, {3, "Reserved"}}};
constexpr std::array<ValueName, 8> kShortSetNames{
    {{0, "none"}, {1, "RS"}, {2, "NS"}, {3, "CS"}, {4, "AS"}, {5, "Rsvd"}, {6, "Rsvd"}, {7, "Rsvd"}}};
constexpr std::array<ValueName, 4> kShortAntennaNames{{{0, "Ant0"}, {1, "Ant1"}, {2, "Ant0+1"}, {3, "Rsvd"}}};
const char* set_name(unsigned set) { return name_or(kSetNames, set, "Unrecognised pilot set"); }
const char* antenna_name(unsigned antenna) { return name_or(kAntennaNames, antenna, "Unrecognised antenna type"); }

// The attributes a searcher version writes for its header and each pilot.
struct SearcherAttrs {
  AttrId srch_state, srch_sub_state, srch_win_size, freq, band_class, num_pilots, pilot_pn, pilot_set_for_pn,
      ant_sel_for_pn;
};
const SearcherAttrs kSearcherV1{&ATTR_ID_EVDO_SEARCHERDATA_SRCH_STATE,    &ATTR_ID_EVDO_SEARCHERDATA_SRCH_SUB_STATE,
                                &ATTR_ID_EVDO_SEARCHERDATA_SRCH_WIN_SIZE, &ATTR_ID_EVDO_SEARCHERDATA_FREQ,
                                &ATTR_ID_EVDO_SEARCHERDATA_BAND_CLASS,    &ATTR_ID_EVDO_SEARCHERDATA_NUM_PILOTS,
                                &ATTR_ID_EVDO_SEARCHERDATA_PILOT_PN,      &ATTR_ID_EVDO_SEARCHERDATA_PILOT_SET_FOR_PN,
                                &ATTR_ID_EVDO_SEARCHERDATA_ANT_SEL_FOR_PN};
const SearcherAttrs kSearcherV2{
    &ATTR_ID_EVDO_SEARCHERDATAVER2_SRCH_STATE,    &ATTR_ID_EVDO_SEARCHERDATAVER2_SRCH_SUB_STATE,
    &ATTR_ID_EVDO_SEARCHERDATAVER2_SRCH_WIN_SIZE, &ATTR_ID_EVDO_SEARCHERDATAVER2_FREQ,
    &ATTR_ID_EVDO_SEARCHERDATAVER2_BAND_CLASS,    &ATTR_ID_EVDO_SEARCHERDATAVER2_NUM_PILOTS,
    &ATTR_ID_EVDO_SEARCHERDATAVER2_PILOT_PN,      &ATTR_ID_EVDO_SEARCHERDATAVER2_PILOT_SET_FOR_PN,
    &ATTR_ID_EVDO_SEARCHERDATAVER2_ANT_SEL_FOR_PN};

struct SearcherHeader {
  unsigned state, sub_state, win_size, freq, band, num_pilots;
  std::optional<std::uint32_t> mstr;  // versions 2 and type 2
};

// Header writes; versions 2 and type 2 also name the frequency generally and write MSTR.
void write_searcher_header(const AttrWriter& w, const SearcherAttrs& a, const SearcherHeader& h) {
  w.Byte(*a.srch_state, static_cast<std::uint8_t>(h.state));
  w.Byte(*a.srch_sub_state, static_cast<std::uint8_t>(h.sub_state));
  w.UShort(*a.srch_win_size, static_cast<std::uint16_t>(h.win_size));
  w.UShort(*a.freq, static_cast<std::uint16_t>(h.freq));
  if (h.mstr) w.UShort(ATTR_ID_EVDO_FREQ, static_cast<std::uint16_t>(h.freq));
  w.Byte(*a.band_class, static_cast<std::uint8_t>(h.band));
  w.Byte(ATTR_ID_Band_Class, static_cast<std::uint8_t>(h.band));
  if (h.mstr) w.ULong(ATTR_ID_EVDO_SEARCHERDATAVER2_MSTR, *h.mstr);
  w.Byte(*a.num_pilots, static_cast<std::uint8_t>(h.num_pilots));
}

void write_searcher_pilot(const AttrWriter& w, const SearcherAttrs& a, const PilotWord& pw, std::uint32_t k) {
  w.UShort(*a.pilot_pn, pw.pn, k);
  w.Byte(*a.pilot_set_for_pn, static_cast<std::uint8_t>(pw.set), pw.pn);
  w.Byte(*a.ant_sel_for_pn, static_cast<std::uint8_t>(pw.antenna), pw.pn);
}

// Version 2 and type 2 records also carry the search window position.
void write_searcher_window(const AttrWriter& w, std::uint16_t pn, std::uint16_t centre, std::uint16_t earliest) {
  w.UShort(ATTR_ID_EVDO_SEARCHERDATAVER2_WIN_CENTER_FOR_PN, centre, pn);
  w.UShort(ATTR_ID_EVDO_SEARCHERDATAVER2_EARLIEST_PEAK_POS_FOR_PN, earliest, pn);
}

// Version 1 payload: an 8-byte header, then NumPilots records of 18 bytes.
//   +0  u8   SrchState
//   +1  u8   SrchSubstate
//   +2  u16  SrchSize              search window size
//   +4  u16  Freq
//   +6  u8   Band
//   +7  u8   NumPilots
// Record: +0 u16 pilot word; +2 4 x {u16 position (1/2 chip, shown x4), u16 energy (1/512)}
[[maybe_unused]] constexpr std::size_t kV1Header = 8;
constexpr std::size_t kV1Record = 18;
constexpr std::size_t kPeaks4 = 4;

// Version 2 payload: an 11-byte header, then NumPilots records of 22 bytes.
//   +0  u8   SrchState
//   +1  u8   SrchSubstate
//   +2  u16  SrchSize
//   +4  u16  bits 0-10 frequency, bits 11-15 band class
//   +6  u32  bits 0-17 MSTR        1/8 chip
//  +10  u8   NumPilots
// Record: +0 u16 pilot word; +2 u16 window centre (x2); +4 u16 earliest peak position;
//         +6 4 x {s16 PN phase, u16 C/I (1/512)}
[[maybe_unused]] constexpr std::size_t kV2Header = 11;
constexpr std::size_t kV2Record = 22;

// Type 2 payload: a 14-byte header, then NumPilots records of 34 bytes.
//   +0  u8   Version
//   +1  u8   SrchState
//   +2  u8   SrchSubstate
//   +3  u16  SrchSize
//   +5  u16  bits 0-10 FreqChan, bits 11-15 BandClass
//   +7  u32  bits 0-17 MSTR        1/8 chip
//  +11  u8   NumPilots
//  +12  u8   bit 0 equalizer on
//  +13  u8   best ASP index
// Record: +0 u16 pilot word; +2 u16 window centre (1/2 chip, shown x4); +4 u16 earliest
//         peak (shown x4); +6 6 x s16 peak PN phase (shown x4); +18 6 x u16 peak C/I
//         (1/512); +30 u8 COM peaks mask; +31 s8 COM threshold (0.5 dB); +32 s16 third COM value
[[maybe_unused]] constexpr std::size_t kT2Header = 14;
constexpr std::size_t kT2Record = 34;
constexpr std::size_t kPeaks6 = 6;
// The best-first lists of the type 2 report hold this many pilots per set.
constexpr std::size_t kT2RankedPerSet = 32;

// Set codes of the type 2 report that feed the pilot-set Ec/Io, in ranking order.
constexpr std::array<unsigned, kSets> kT2SetCodes{4, 3, 2};

std::uint32_t mstr_of(std::uint32_t word) { return static_cast<std::uint32_t>(bits(word, 0, 18)); }

// The header fields the three versions share, in their order from SrchState to the
// frequency word; version 1 has a plain frequency and a band byte instead.
void read_searcher_states(Cursor& c, SearcherHeader& h) {
  h.state = c.u8();
  h.sub_state = c.u8();
  h.win_size = c.u16le();
}
void read_freq_band(Cursor& c, SearcherHeader& h) {
  const std::uint16_t freq_band = c.u16le();
  h.freq = u(bits(freq_band, 0, 11));
  h.band = u(bits(freq_band, 11, 5));
}

// Peaks of a version 1 record: position (1/2 chip) and energy (1/512), in turn.
struct V1Record {
  PilotWord pilot;
  std::array<std::uint16_t, kPeaks4> position, energy;
};
V1Record read_v1_record(Cursor c) {
  V1Record v{};
  v.pilot = pilot_word(c.u16le());
  for (std::size_t p = 0; p < kPeaks4; ++p) {
    v.position[p] = c.u16le();
    v.energy[p] = c.u16le();
  }
  return v;
}

// Version 2 and type 2 records: the window, then the peaks (PN phase and C/I in turn
// for version 2; all phases, then all C/I values for type 2), type 2 with its COM tail.
template <std::size_t Peaks>
struct WindowRecord {
  PilotWord pilot;
  std::uint16_t centre, earliest;
  std::array<std::int16_t, Peaks> phase;
  std::array<std::uint16_t, Peaks> ctoi;
  std::uint8_t com_mask = 0;
  std::int8_t com_threshold = 0;  // 0.5 dB
  std::int16_t com_third = 0;
};
WindowRecord<kPeaks4> read_v2_record(Cursor c) {
  WindowRecord<kPeaks4> v{};
  v.pilot = pilot_word(c.u16le());
  v.centre = c.u16le();
  v.earliest = c.u16le();
  for (std::size_t p = 0; p < kPeaks4; ++p) {
    v.phase[p] = c.i16le();
    v.ctoi[p] = c.u16le();
  }
  return v;
}
WindowRecord<kPeaks6> read_t2_record(Cursor c) {
  WindowRecord<kPeaks6> v{};
  v.pilot = pilot_word(c.u16le());
  v.centre = c.u16le();
  v.earliest = c.u16le();
  for (std::int16_t& phase : v.phase) phase = c.i16le();
  for (std::uint16_t& ctoi : v.ctoi) ctoi = c.u16le();
  v.com_mask = c.u8();
  v.com_threshold = c.i8();
  v.com_third = c.i16le();
  return v;
}

}  // namespace

void E::DecodeSearcherData(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeSearcherData);
  Cursor c(payload());
  SearcherHeader h{};
  read_searcher_states(c, h);
  h.freq = c.u16le();
  h.band = c.u8();
  h.num_pilots = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kV1Header);
  const std::size_t n = c.whole_records(kV1Record, h.num_pilots);
  const Cursor records = c;

  if (const AttrWriter w(ds); w.on()) {
    write_searcher_header(w, kSearcherV1, h);
    for (std::size_t k = 0; k < n; ++k) {
      write_searcher_pilot(w, kSearcherV1, read_v1_record(c.record(kV1Record)).pilot, static_cast<std::uint32_t>(k));
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "SrchState: %u\nSrchSubstate: %u\nSrchSize: %u\nFreq: %u\nBand: %u\n", h.state, h.sub_state, h.win_size,
          h.freq, h.band);
  c = records;
  for (std::size_t k = 0; k < n; ++k) {
    const V1Record v = read_v1_record(c.record(kV1Record));
    if (k == 0) {
      out += "PN\tAntSet\t\tPilotSet\t\tP1(x8)\t\tE1(dB)\t\tP2(x8)\t\tE2(dB)\t\tP3(x8)\t\tE3(dB)\t\tP4(x8)\t\tE4(dB)\n";
    }
    appendf(out, "%u\t%s\t\t%s\t", u(v.pilot.pn), antenna_name(v.pilot.antenna), set_name(v.pilot.set));
    for (std::size_t p = 0; p < kPeaks4; ++p) {
      appendf(out, "%d\t\t%s\t\t", static_cast<int>(v.position[p]) * 4, db_text(v.energy[p], "Off").c_str());
    }
  }
}

void E::DecodeSearcher2(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeSearcher2);
  Cursor c(payload());
  SearcherHeader h{};
  read_searcher_states(c, h);
  read_freq_band(c, h);
  h.mstr = mstr_of(c.u32le());
  h.num_pilots = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kV2Header);
  const std::size_t n = c.whole_records(kV2Record, h.num_pilots);
  const Cursor records = c;

  if (const AttrWriter w(ds); w.on()) {
    write_searcher_header(w, kSearcherV2, h);
    for (std::size_t k = 0; k < n; ++k) {
      const auto v = read_v2_record(c.record(kV2Record));
      write_searcher_pilot(w, kSearcherV2, v.pilot, static_cast<std::uint32_t>(k));
      write_searcher_window(w, v.pilot.pn, v.centre, v.earliest);
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(
      out,
      "SrchState: %u (%s)\nSrchSubstate: %u\nSrchSize: %u\nFreq: %u\nBandClass: %u\nMSTR (x8): %lu\nNumPilots: %u\n",
      h.state, searcher_state_name(h.state).c_str(), h.sub_state, h.win_size, h.freq, h.band,
      static_cast<unsigned long>(*h.mstr), h.num_pilots);
  c = records;
  for (std::size_t k = 0; k < n; ++k) {
    const auto v = read_v2_record(c.record(kV2Record));
    const PilotWord& pw = v.pilot;
    appendf(out, "\t\nPilotPN: %u\nAntSel: %u (%s)\nPilotSet: %u (%s)\nWinCenter(x2): %u\nEarliestPeakPos: %u\n",
            u(pw.pn), pw.antenna, antenna_name(pw.antenna), pw.set, set_name(pw.set), u(v.centre), u(v.earliest));
    for (std::size_t p = 0; p < kPeaks4; ++p) {
      const int n1 = static_cast<int>(p + 1);
      appendf(out, "Peak%dPNPhase: %hd\nPeak%dC2I: %s\n", n1, v.phase[p], n1, db_text(v.ctoi[p], "Off").c_str());
    }
  }
}

void E::DecodeSearcherDataType2(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeSearcherDataType2);
  Cursor c(payload());
  const std::uint8_t version = c.u8();
  SearcherHeader h{};
  read_searcher_states(c, h);
  read_freq_band(c, h);
  h.mstr = mstr_of(c.u32le());
  h.num_pilots = c.u8();
  const bool equalizer = bits(c.u8(), 0, 1) != 0;
  const std::uint8_t best_asp = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kT2Header);
  const std::size_t n = c.whole_records(kT2Record, h.num_pilots);
  const Cursor records = c;

  if (const AttrWriter w(ds); w.on()) {
    write_searcher_header(w, kSearcherV2, h);
    w.Byte(ATTR_ID_EVDO_SEARCHERDATA_BEST_ASP, best_asp);
    // Per set: how many of its pilots this packet holds, and the first-peak C/I and
    // PN of those measured, for the best-first lists.
    std::array<std::size_t, kSets> in_set{};
    std::array<std::vector<std::uint16_t>, kSets> ctoi, pns;
    const std::array<AttrId, kSets> ecio_for_pn{&ATTR_ID_EVDO_PILOTSETS_ACTIVE_PILOTS_ECIO_FOR_PN,
                                                &ATTR_ID_EVDO_PILOTSETS_CANDIDATE_PILOTS_ECIO_FOR_PN,
                                                &ATTR_ID_EVDO_PILOTSETS_NBOR_PLTS_ECIO_FOR_PN};
    for (std::size_t k = 0; k < n; ++k) {
      const auto v = read_t2_record(c.record(kT2Record));
      const PilotWord& pw = v.pilot;
      write_searcher_pilot(w, kSearcherV2, pw, static_cast<std::uint32_t>(k));
      write_searcher_window(w, pw.pn, v.centre, v.earliest);
      const auto set = std::find(kT2SetCodes.begin(), kT2SetCodes.end(), pw.set);
      if (set == kT2SetCodes.end()) continue;
      const auto s = static_cast<std::size_t>(set - kT2SetCodes.begin());
      ++in_set[s];
      const std::uint16_t first = v.ctoi[0];
      if (first == 0) continue;
      w.Double(*ecio_for_pn[s], *db_from_512ths(first), pw.pn);
      ctoi[s].push_back(first);
      pns[s].push_back(pw.pn);
    }
    const std::array<AttrId, kSets> num{&ATTR_ID_EVDO_PILOTSETS_NUM_ASET_PILOTS,
                                        &ATTR_ID_EVDO_PILOTSETS_NUM_CANDSET_PILOTS,
                                        &ATTR_ID_EVDO_PILOTSETS_NUM_NBORSET_PILOTS};
    const std::array<AttrId, kSets> best{&ATTR_ID_EVDO_PILOTSETS_BEST_ECIO_ACTIVE,
                                         &ATTR_ID_EVDO_PILOTSETS_BEST_ECIO_CANDIDATE,
                                         &ATTR_ID_EVDO_PILOTSETS_BEST_ECIO_NBOR};
    const std::array<AttrId, kSets> best_pn{&ATTR_ID_EVDO_PILOTSETS_PN_FOR_BEST_ECIO_ACTIVE,
                                            &ATTR_ID_EVDO_PILOTSETS_PN_FOR_BEST_ECIO_CANDIDATE,
                                            &ATTR_ID_EVDO_PILOTSETS_PN_FOR_BEST_ECIO_NBOR};
    for (std::size_t s = 0; s < kSets; ++s) {
      w.Long(*num[s], static_cast<std::int32_t>(in_set[s]));
      // The lists hold 32 pilots a set, and a packet may carry up to 255: all are
      // ranked and the strongest 32 kept, rather than the first 32 that arrived.
      std::vector<int> rank(ctoi[s].size());
      CDMACommonUtils::ComputePilotRanking(ctoi[s].data(), rank.data(), static_cast<int>(rank.size()));
      const std::size_t kept = std::min(rank.size(), kT2RankedPerSet);
      for (std::size_t i = 0; i < kept; ++i) {
        const auto at = static_cast<std::size_t>(rank[i]);
        w.Double(*best[s], *db_from_512ths(ctoi[s][at]), static_cast<std::uint32_t>(i));
        w.UShort(*best_pn[s], pns[s][at], static_cast<std::uint32_t>(i));
      }
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out,
          "Version: %u\nSrchState: %u (%s)\nSrchSubstate: %u\nSrchSize: %u\nFreqChan: %u\nBandClass: %u\nMSTR (x8): "
          "%lu\nNumPilots: %u, Equalizer status: %s, Best ASP index: %u\n",
          u(version), h.state, searcher_state_name(h.state).c_str(), h.sub_state, h.win_size, h.freq, h.band,
          static_cast<unsigned long>(*h.mstr), h.num_pilots, equalizer ? "On" : "Off", u(best_asp));
  c = records;
  for (std::size_t k = 0; k < n; ++k) {
    const auto v = read_t2_record(c.record(kT2Record));
    const PilotWord& pw = v.pilot;
    if (k == 0) {
      out +=
          "\n->"
          "\nPilot\tAnt\tPilot\tWin\tFirst\tPeak1\tPeak1\tPeak2\tPeak2\tPeak3\tPeak3\tPeak4\tPeak4\tPeak5\tPeak5\tPeak6"
          "\tPeak6";
      if (equalizer) out += "\tCOM\tCOM\tCOM";
      out += "\nPN\tSel\tSet\tCtr\tPeak\tPhse\tC/I\tPhse\tC/I\tPhse\tC/I\tPhse\tC/I\tPhse\tC/I\tPhse\tC/I";
      if (equalizer) out += "\tPeaks\tThrhd\t";
      out += "\n\t\t\t(x8)\t(x8)\t(chip)\t(dB)\t(chip)\t(dB)\t(chip)\t(dB)\t(chip)\t(dB)\t(chip)\t(dB)\t(chip)\t(dB)";
      if (equalizer) out += "\t\t(dB)\t";
    }
    appendf(out, "\n%u\t%s\t%s\t%u\t%u\t", u(pw.pn), name_or(kShortAntennaNames, pw.antenna, ""),
            name_or(kShortSetNames, pw.set, ""), u(v.centre) * 4, u(v.earliest) * 4);
    for (std::size_t p = 0; p < kPeaks6; ++p) {
      // Shown as a 16-bit figure, as the column always has been.
      const auto phase = static_cast<short>(v.phase[p] * 4);
      if (const auto db = db_from_512ths(v.ctoi[p])) {
        appendf(out, "%hd\t%.2f\t", phase, *db);
      } else {
        appendf(out, "%hd\tOff\t", phase);
      }
    }
    if (equalizer) {
      appendf(out, "0x%02X\t%.2f\t%d\n", u(v.com_mask), v.com_threshold * 0.5, static_cast<int>(v.com_third));
    }
  }
}

namespace {

// ---------------------------------------------------------------------------------
// Finger reports, version 1 (0x1064) and version 2 (0x108A): the same records after
// a header that version 2 starts with the searcher state.
//   +0  u32  MSTR                  chips
//   +4  u16  MSTR error            chips
//   +6  u16  MSTR pilot PN
//   +8  u8   number of fingers
// Record, 14 bytes:
//   +0  u16  PN
//   +2  u32  bits 0-17 RTC offset  1/8 chip
//   +6  u16  C/I                   linear 1/512, 0 = none
//   +8  u8   bit 0 locked, bit 1 antenna, bit 2 diversity, bits 3-6 finger index
//   +9  u8   bits 0-2 RPC cell index, bits 3-5 ASP index
//  +10  u16  antenna 0 C/I         linear 1/512
//  +12  u16  antenna 1 C/I         linear 1/512
[[maybe_unused]] constexpr std::size_t kFingerHeader = 9;  // version 2: one more, the state in front
constexpr std::size_t kFingerRecord = 14;

struct FingerAttrs {
  AttrId srch_state, mstr, mstr_error, mstr_pilot_pn, num_fingers, pilot_pn, rtc_offset_for_pn, ctoi_for_pn,
      lock_flag_for_pn, antenna_for_pn, diversity_for_pn, fing_idx_for_pn, rpc_cell_idx_for_pn, asp_idx_for_pn,
      ant0_ctoi_for_pn, ant1_ctoi_for_pn, num_locked_fingers, best_ctoi, pn_for_best_ctoi;
};
#define CDMADIAG_FINGER_ATTRS(P, SRCHSTATE)                                                                  \
  FingerAttrs {                                                                                              \
    SRCHSTATE, &ATTR_ID_##P##_MSTR, &ATTR_ID_##P##_MSTR_ERROR, &ATTR_ID_##P##_MSTR_PILOT_PN,                 \
        &ATTR_ID_##P##_NUM_FINGERS, &ATTR_ID_##P##_PILOT_PN, &ATTR_ID_##P##_RTC_OFFSET_FOR_PN,               \
        &ATTR_ID_##P##_CTOI_FOR_PN, &ATTR_ID_##P##_LOCK_FLAG_FOR_PN, &ATTR_ID_##P##_ANTENNA_FOR_PN,          \
        &ATTR_ID_##P##_DIVERSITY_FOR_PN, &ATTR_ID_##P##_FING_IDX_FOR_PN, &ATTR_ID_##P##_RPC_CELL_IDX_FOR_PN, \
        &ATTR_ID_##P##_ASP_IDX_FOR_PN, &ATTR_ID_##P##_ANT0_CTOI_FOR_PN, &ATTR_ID_##P##_ANT1_CTOI_FOR_PN,     \
        &ATTR_ID_##P##_NUM_LOCKED_FINGERS, &ATTR_ID_##P##_BEST_CTOI, &ATTR_ID_##P##_PN_FOR_BEST_CTOI,        \
  }
const FingerAttrs kFingerV1 = CDMADIAG_FINGER_ATTRS(EVDO_FINGERDATA, nullptr);
const FingerAttrs kFingerV2 = CDMADIAG_FINGER_ATTRS(EVDO_FINGERDATAVER2, &ATTR_ID_EVDO_FINGERDATAVER2_SRCH_STATE);
#undef CDMADIAG_FINGER_ATTRS

struct Finger {
  std::uint16_t pn;
  std::uint32_t rtc_offset;
  std::uint16_t ctoi, ant0_ctoi, ant1_ctoi;
  unsigned locked, antenna, diversity, index, rpc_cell, asp;
};

Finger read_finger(Cursor c) {
  Finger f{};
  f.pn = c.u16le();
  f.rtc_offset = static_cast<std::uint32_t>(bits(c.u32le(), 0, 18));
  f.ctoi = c.u16le();
  const std::uint8_t flags = c.u8();
  const std::uint8_t cells = c.u8();
  f.ant0_ctoi = c.u16le();
  f.ant1_ctoi = c.u16le();
  f.locked = u(bits(flags, 0, 1));
  f.antenna = u(bits(flags, 1, 1));
  f.diversity = u(bits(flags, 2, 1));
  f.index = u(bits(flags, 3, 4));
  f.rpc_cell = u(bits(cells, 0, 3));
  f.asp = u(bits(cells, 3, 3));
  return f;
}

// Both versions, c at the MSTR field.
void decode_fingers(IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job, Cursor c,
                    const FingerAttrs& a, std::optional<std::uint8_t> srch_state) {
  [[maybe_unused]] const std::size_t header = c.offset();
  const std::uint32_t mstr = c.u32le();
  const std::uint16_t mstr_error = c.u16le();
  const std::uint16_t mstr_pn = c.u16le();
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == header + kFingerHeader);
  // Records of invalid PN are skipped whole.
  std::vector<Finger> fingers;
  const std::size_t n = c.whole_records(kFingerRecord, count);
  for (std::size_t i = 0; i < n; ++i) {
    const Finger f = read_finger(c.record(kFingerRecord));
    if (pn_valid(f.pn)) fingers.push_back(f);
  }

  if (const AttrWriter w(ds); w.on()) {
    if (srch_state) w.Byte(*a.srch_state, *srch_state);
    w.ULong(*a.mstr, mstr);
    w.UShort(*a.mstr_error, mstr_error);
    if (pn_valid(mstr_pn)) {
      w.UShort(*a.mstr_pilot_pn, mstr_pn);
    } else {
      w.NoValue(*a.mstr_pilot_pn);
    }
    w.Byte(*a.num_fingers, count);
    const AttrReader read(ds);
    std::vector<RankedAsp> ranked;
    std::int32_t locked = 0;
    std::uint32_t measured = 0;  // fingers with all three C/I values
    for (std::size_t k = 0; k < fingers.size(); ++k) {
      const Finger& f = fingers[k];
      locked += static_cast<std::int32_t>(f.locked);
      const auto db = db_from_512ths(f.ctoi);
      if (db) ranked.push_back(RankedAsp{f.pn, static_cast<float>(*db)});
      w.UShort(*a.pilot_pn, f.pn, static_cast<std::uint32_t>(k));
      w.DWord(*a.rtc_offset_for_pn, f.rtc_offset, f.pn);
      if (db) {
        // Fingers on one PN leave the strongest C/I of this packet.
        const auto earlier = cdmadiag::held_number(read.current(*a.ctoi_for_pn, f.pn));
        w.Double(*a.ctoi_for_pn, earlier ? std::max(*db, *earlier) : *db, f.pn);
      } else {
        w.NoValue(*a.ctoi_for_pn, f.pn);
      }
      w.Byte(*a.lock_flag_for_pn, static_cast<std::uint8_t>(f.locked), f.pn);
      w.Byte(*a.antenna_for_pn, static_cast<std::uint8_t>(f.antenna), f.pn);
      w.Byte(*a.diversity_for_pn, static_cast<std::uint8_t>(f.diversity), f.pn);
      w.Byte(*a.fing_idx_for_pn, static_cast<std::uint8_t>(f.index), f.pn);
      w.Byte(*a.rpc_cell_idx_for_pn, static_cast<std::uint8_t>(f.rpc_cell), f.pn);
      w.Byte(*a.asp_idx_for_pn, static_cast<std::uint8_t>(f.asp), f.pn);
      write_db_or_none(w, *a.ant0_ctoi_for_pn, f.ant0_ctoi, f.pn);
      write_db_or_none(w, *a.ant1_ctoi_for_pn, f.ant1_ctoi, f.pn);
      if (db && f.ant0_ctoi != 0 && f.ant1_ctoi != 0) {
        w.Double(ATTR_ID_EVDO_FINGERDATA_CTOI, *db, measured);
        w.Double(ATTR_ID_EVDO_FINGERDATA_ANT0_CTOI, *db_from_512ths(f.ant0_ctoi), measured);
        w.Double(ATTR_ID_EVDO_FINGERDATA_ANT1_CTOI, *db_from_512ths(f.ant1_ctoi), measured);
        ++measured;
      }
    }
    w.Long(*a.num_locked_fingers, locked);
    RankAspBySinr(ranked.data(), static_cast<int>(ranked.size()));
    for (std::size_t i = 0; i < ranked.size(); ++i) {
      w.Double(*a.best_ctoi, ranked[i].sinr_db, static_cast<std::uint32_t>(i));
      w.Long(*a.pn_for_best_ctoi, static_cast<std::int32_t>(ranked[i].pn), static_cast<std::uint32_t>(i));
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  const std::string pn_text = pn_valid(mstr_pn) ? formatf("%u ", u(mstr_pn)) : std::string("Invalid");
  if (srch_state) {
    appendf(out, "SrchState: %u\nMSTR(chip): %lu\nMSTRError(chip): %u\nMSTRPilotPN: %s\n", u(*srch_state),
            static_cast<unsigned long>(mstr), u(mstr_error), pn_text.c_str());
  } else {
    appendf(out, "MSTR(chip): %lu\nMSTRError(chip): %u\nMSTRPilotPN: %s\n", static_cast<unsigned long>(mstr),
            u(mstr_error), pn_text.c_str());
  }
  for (const Finger& f : fingers) {
    // A C/I of 0 has no dB figure; it reads "Off" as in the searcher reports.
    appendf(out,
            "PN: %u,  Index: %u,  Locked: %u (%s),  RTCOffset(x8): %ld,  Ant: %u (%s),  Diversity: %u (%s),  C/I(dB): "
            "%s,  RPCIdx: %u,  ASPIdx: %u,  Ant0 C/I(dB): %s,  Ant1 C/I(dB): %s\n",
            u(f.pn), f.index, f.locked, f.locked != 0 ? "Locked" : "Unlocked", static_cast<long>(f.rtc_offset),
            f.antenna, f.antenna != 0 ? "Ant1" : "Ant0", f.diversity, f.diversity != 0 ? "Enabled" : "Disabled",
            db_text(f.ctoi, "Off").c_str(), f.rpc_cell, f.asp, db_text(f.ant0_ctoi, "Off").c_str(),
            db_text(f.ant1_ctoi, "Off").c_str());
  }
}

}  // namespace

void E::DecodeFingerData(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeFingerData);
  decode_fingers(ds, msg, job, Cursor(payload()), kFingerV1, std::nullopt);
}

void E::DecodeFinger2(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeFinger2);
  Cursor c(payload());
  const std::uint8_t srch_state = c.u8();
  decode_fingers(ds, msg, job, c, kFingerV2, srch_state);
}

namespace {

// ---------------------------------------------------------------------------------
// Active set pilot (0x105F), 13 bytes:
//   +0  u8   number of active pilots
//   +1  u16  predicted PN           kNoPn = none
//   +3  u8   predicted DRC cover index
//   +4  u8   predicted RPC index
//   +5  u16  predicted SINR         linear 1/512, 0 = invalid
//   +7  6 bytes  serving pilot, the same four fields
[[maybe_unused]] constexpr std::size_t kAspPacketSize = 13;
constexpr std::uint16_t kNoPn = 0xFFFF;

struct AspPilot {
  std::uint16_t pn;
  std::uint8_t drc_cover, rpc;
  std::uint16_t sinr;
};
AspPilot read_asp_pilot(Cursor& c) {
  AspPilot p{};
  p.pn = c.u16le();
  p.drc_cover = c.u8();
  p.rpc = c.u8();
  p.sinr = c.u16le();
  return p;
}

// ---------------------------------------------------------------------------------
// Handoff state (0x105E): a 2-byte header, then one 6-byte record per pilot.
//   +0  u8   ModemState
//   +1  u8   number of pilots in the active set
// Record: +0 u16 PN; +2 u8 DRC cover index; +3 u8 MAC index; +4 u8 RPC cell index;
//         +5 u8 strength, -0.5 dB units
constexpr std::size_t kHoRecord = 6;

struct HandoffPilot {
  std::uint16_t pn;
  std::uint8_t drc_cover, mac, rpc_cell, strength;  // strength in -0.5 dB
};
HandoffPilot read_handoff_pilot(Cursor c) {
  HandoffPilot p{};
  p.pn = c.u16le();
  p.drc_cover = c.u8();
  p.mac = c.u8();
  p.rpc_cell = c.u8();
  p.strength = c.u8();
  return p;
}

constexpr std::array<ValueName, 5> kModemStates{
    {{0, "Start"}, {1, "Acquisition"}, {2, "Sync"}, {3, "Idle"}, {4, "Connected"}}};

// Handoff state from the number of active pilots and of distinct RPC cells among them;
// empty for combinations the report does not name.
std::optional<std::int32_t> handoff_state(std::size_t pilots, std::size_t cells) {
  switch (pilots) {
    case 1: return 1;
    case 2:
      if (cells == 1) return 2;
      if (cells == 2) return 3;
      return std::nullopt;
    case 3:
      if (cells == 1) return 2;
      if (cells == 2) return 5;
      if (cells == 3) return 4;
      return std::nullopt;
    case 4: return 7;
    case 5: return 8;
    case 6: return 9;
    default: return std::nullopt;
  }
}

}  // namespace

void E::DecodeActiveSetPilot(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeActiveSetPilot);
  Cursor c(payload());
  const std::uint8_t count = c.u8();
  const AspPilot predicted = read_asp_pilot(c);
  const AspPilot serving = read_asp_pilot(c);
  if (!job.check(c)) return;
  assert(c.offset() == kAspPacketSize);

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_EVDO_ACTIVESETPILOT_NUM_ACTIVE_PILOTS, count);
    w.UShort(ATTR_ID_EVDO_ACTIVESETPILOT_PREDICTED_PN, predicted.pn);
    w.Byte(ATTR_ID_EVDO_ACTIVESETPILOT_PREDICTED_DRC_COVER_INDEX, predicted.drc_cover);
    w.Byte(ATTR_ID_EVDO_ACTIVESETPILOT_PREDICTED_RPC_INDEX, predicted.rpc);
    write_db_or_none(w, ATTR_ID_EVDO_ACTIVESETPILOT_PREDICTED_PN_SINR, predicted.sinr, 0);
    w.UShort(ATTR_ID_EVDO_ACTIVESETPILOT_SERVING_PN, serving.pn);
    w.Byte(ATTR_ID_EVDO_ACTIVESETPILOT_SERVING_DRC_COVER_INDEX, serving.drc_cover);
    w.Byte(ATTR_ID_EVDO_ACTIVESETPILOT_SERVING_RPC_INDEX, serving.rpc);
    write_db_or_none(w, ATTR_ID_EVDO_ACTIVESETPILOT_SERVING_PN_SINR, serving.sinr, 0);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Number of active pilots: %u\n", u(count));
  out += " \t\n";
  out += "\t\tPredicted\tServing\n";
  out += "\t\t----------------------------------------\n";
  if (predicted.pn == kNoPn || serving.pn == kNoPn) {
    out += "Invalid predicted or serving PN\n";
    return;
  }
  appendf(out, "PN:\t\t%6u\t\t%6u\nDRCCoverIdx:\t%6u\t\t%6u\nRPCIdx:\t\t%6u\t\t%6u\nSINR:\t\t%8s\t\t%8s\n",
          u(predicted.pn), u(serving.pn), u(predicted.drc_cover), u(serving.drc_cover), u(predicted.rpc),
          u(serving.rpc), db_text(predicted.sinr, "Invalid").c_str(), db_text(serving.sinr, "Invalid").c_str());
}

void E::DecodeHandoffState(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search*) {
  const auto job = Begin(msg, &E::DecodeHandoffState);
  Cursor c(payload());
  const std::uint8_t modem_state = c.u8();
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;
  const std::size_t n = c.whole_records(kHoRecord, count);
  const Cursor records = c;
  const auto strength_db = [](std::uint8_t raw) { return -(raw * 0.5); };

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_EVDO_HOSTATE_MODEM_STATE, modem_state);
    w.Byte(ATTR_ID_EVDO_HOSTATE_NUM_ACTIVE_PILOTS, count);
    std::map<std::uint8_t, std::size_t> cells;
    for (std::size_t k = 0; k < n; ++k) {
      const HandoffPilot p = read_handoff_pilot(c.record(kHoRecord));
      w.UShort(ATTR_ID_EVDO_HOSTATE_PILOT_PN, p.pn, static_cast<std::uint32_t>(k));
      w.Byte(ATTR_ID_EVDO_HOSTATE_DRC_COVER_INDEX_FOR_PN, p.drc_cover, p.pn);
      w.Byte(ATTR_ID_EVDO_HOSTATE_MAC_INDEX_FOR_PN, p.mac, p.pn);
      w.Byte(ATTR_ID_EVDO_HOSTATE_RPC_CELL_INDEX_FOR_PN, p.rpc_cell, p.pn);
      w.Double(ATTR_ID_EVDO_HOSTATE_PILOT_STRENGTH_FOR_PN, strength_db(p.strength), p.pn);
      ++cells[p.rpc_cell];
    }
    // Judged on the pilots present, so a count the payload does not back names no state.
    if (const auto state = handoff_state(n == count ? n : 0, cells.size())) {
      w.Long(ATTR_ID_EVDO_HOSTATE_HANDOFF_STATE, *state);
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "ModemState: %u (%s)\nNumPilotsInActiveSet: %u\n", u(modem_state),
          name_or(kModemStates, modem_state, "reserved"), u(count));
  out += " \t\n";
  out += "PN\tDRCCoverIndex\tMACIndex\tRPCIndex\tPilotStrength (dB)\n";
  // Two rules of 80 dashes, the first without a line end: one rule of 160 on screen.
  out += std::string(80, '-');
  out += std::string(80, '-') + "\n";
  c = records;
  for (std::size_t k = 0; k < n; ++k) {
    const HandoffPilot p = read_handoff_pilot(c.record(kHoRecord));
    appendf(out, "%u\t%12u\t\t\t%8u\t\t%7u\t\t%6.2f\n", u(p.pn), u(p.drc_cover), u(p.mac), u(p.rpc_cell),
            strength_db(p.strength));
  }
}
