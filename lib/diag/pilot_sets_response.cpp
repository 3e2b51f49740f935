// Pilot sets response (cmd 0x40): the handset's active, candidate and neighbour sets.
//
// Payload after the command code; s = 1 when the u16 at 0 exceeds 20 (some phones
// put one extra byte in front), else 0:
//  +off  type   name             unit
//  s+0   u16    pilot increment
//  s+2   u8     active count
//  s+3   u8     candidate count
//  s+4   u8     neighbour count
//  s+5   4 x n  records          active, then candidate, then neighbour
// Record, 4 bytes:
//   +0   i16    PN
//   +2   u8     strength         -0.5 dB
//   +3   u8     reserved
#include <algorithm>
#include <vector>

#include "diag/diag_common.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"
#include "host/cdma_utils.h"

using cdmadiag::appendf;
using cdmadiag::Cursor;

namespace {

constexpr std::size_t kShiftTest = 20;
constexpr std::size_t kLeadByte = 1;
constexpr std::size_t kHeadSize = 5;
constexpr std::size_t kRecordSize = 4;
constexpr double kStrengthUnitDb = -0.5;
// Levels of the candidate and neighbour sets beyond this many dB either way are not plausible.
constexpr double kPlausibleDb = 100.0;
// Ec/Io that marks an entry to be ranked after every measured one.
constexpr double kUnranked = 999.0;

struct Pilot {
  int pn = 0;
  double ecio = 0.0;
};

enum class PilotSet : std::uint8_t { kActive, kCandidate, kNeighbour };

struct SetAttributes {
  const std::uint32_t& ecio_for_pn;
  const std::uint32_t& best_ecio;
  const std::uint32_t& best_pn;
};

SetAttributes attributes_of(PilotSet set) {
  switch (set) {
    case PilotSet::kActive:
      return {ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN, ATTR_ID_BEST_ECIO_ACTIVE, ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE};
    case PilotSet::kCandidate:
      return {ATTR_ID_CANDIDATE_PILOTS_ECIO_FOR_PN, ATTR_ID_BEST_ECIO_CANDIDATE, ATTR_ID_PN_FOR_BEST_ECIO_CANDIDATE};
    case PilotSet::kNeighbour:
      return {ATTR_ID_NBOR_PLTS_ECIO_FOR_PN, ATTR_ID_BEST_ECIO_NBOR, ATTR_ID_PN_FOR_BEST_ECIO_NBOR};
  }
  return {ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN, ATTR_ID_BEST_ECIO_ACTIVE, ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE};
}

// Reads up to count records of i16 PN, u8 strength and a byte; stops at the first record
// whose last byte would lie past the payload, and every later set with it.
std::vector<Pilot> read_set(Cursor& c, std::size_t count) {
  std::vector<Pilot> pilots;
  for (std::size_t i = 0; i < count; ++i) {
    Cursor rec = c.record(kRecordSize);
    const std::int16_t pn = rec.i16le();
    const std::uint8_t strength = rec.u8();
    if (!rec.ok()) break;
    pilots.push_back(Pilot{pn, static_cast<double>(strength) * kStrengthUnitDb});
  }
  return pilots;
}

// Strongest first; the unranked marker after everything else, ties in packet order.
void rank(std::vector<Pilot>& pilots) {
  std::stable_sort(pilots.begin(), pilots.end(), [](const Pilot& a, const Pilot& b) {
    if (a.ecio == kUnranked || b.ecio == kUnranked) return a.ecio != kUnranked && b.ecio == kUnranked;
    return a.ecio > b.ecio;
  });
}

void list_set(std::string& out, const char* heading, const std::vector<Pilot>& pilots) {
  out += heading;
  if (pilots.empty()) out += "---- No Data ----\n";
  for (const Pilot& p : pilots) appendf(out, "\t%d\t%.2f\n", p.pn, p.ecio);
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodePilotSetRespMsg(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                           IDekCellRefs_Search*) {
  Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodePilotSetRespMsg);
  Cursor c(payload());
  // A payload without its whole head is left without a text. A first word above
  // kShiftTest is no pilot increment: the head follows a leading byte.
  if (!c.need(kHeadSize)) return;
  if (Cursor peek = c; peek.u16le() > kShiftTest) c.skip(kLeadByte);
  // u16 pilot increment, u8 active, candidate and neighbour counts
  const std::uint16_t increment = c.u16le();
  std::uint8_t counts[3] = {};
  for (std::uint8_t& count : counts) count = c.u8();
  if (!c.ok()) return;
  const cdmadiag::AttrWriter w(ds);
  w.UShort(ATTR_ID_PN_INC, increment);
  w.Byte(ATTR_ID_NUM_ACTIVE_PILOTS, counts[0]);

  // Only records present in the payload are listed, ranked and written: a short
  // packet does not turn its missing records into PN 0 pilots of 0 dB.
  std::vector<Pilot> sets[3];
  constexpr PilotSet kSets[3] = {PilotSet::kActive, PilotSet::kCandidate, PilotSet::kNeighbour};
  for (int k = 0; k < 3; ++k) sets[k] = read_set(c, counts[k]);

  // The active set is judged against threshold A; the others by PN validity and a
  // plausible level. A negative PN (the field is signed) is never a valid index.
  const auto usable = [this](PilotSet set, const Pilot& p) {
    if (p.pn < 0) return false;
    if (set == PilotSet::kActive) return !(p.ecio < threshold_a());
    return CDMACommonUtils::IsPNValid(static_cast<std::uint16_t>(p.pn)) && p.ecio >= -kPlausibleDb &&
           p.ecio <= kPlausibleDb;
  };

  // Every per-PN level is written, in packet order, before any set is ranked.
  if (w.on()) {
    for (int k = 0; k < 3; ++k) {
      const SetAttributes a = attributes_of(kSets[k]);
      for (const Pilot& p : sets[k]) {
        if (usable(kSets[k], p)) {
          w.Double(a.ecio_for_pn, p.ecio, static_cast<std::uint32_t>(p.pn));
        } else {
          w.NoValue(a.ecio_for_pn);
        }
      }
    }
  }

  for (int k = 0; k < 3; ++k) {
    const SetAttributes a = attributes_of(kSets[k]);
    rank(sets[k]);
    if (!w.on()) continue;
    for (std::size_t i = 0; i < sets[k].size(); ++i) {
      const Pilot& p = sets[k][i];
      const auto index = static_cast<std::uint32_t>(i);
      if (usable(kSets[k], p)) {
        w.Double(a.best_ecio, p.ecio, index);
        w.Long(a.best_pn, p.pn, index);
      } else {
        w.NoValue(a.best_ecio, index);
        w.NoValue(a.best_pn, index);
      }
    }
  }

  if (!msg.detailsWanted) return;
  list_set(msg.details, "\nAct:\tPN\tEcIo\n", sets[0]);
  list_set(msg.details, "Cand:\tPN\tEcIo\n", sets[1]);
  list_set(msg.details, "\nNbor:\tPN\tEcIo\n", sets[2]);
}
