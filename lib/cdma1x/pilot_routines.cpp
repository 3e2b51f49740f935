#include "cdma1x/pilot_routines.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <variant>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"
#include "host/cdma_utils.h"

namespace cdmadiag {

namespace {

// Ec/Io offset of a raw energy before the integration gain is taken off.
constexpr double kEnergyOffsetBase = 17.555;

double pregain_factor(std::uint8_t code) {
  switch (code) {
    case 0: return 2.0;
    case 1: return 4.0;
    case 2: return 8.0;
    case 3: return 32.0;
    default: return 1.0;
  }
}

struct SetPeakAttrs {
  std::array<const std::uint32_t*, 3> ecio;
  std::array<const std::uint32_t*, 3> delay;
  const std::uint32_t* pn;
};

// Indexed by PilotSet.
const std::array<SetPeakAttrs, 4> kSetPeakAttrs = {{
    {{&ATTR_ID_SRCH_MAX1_ACT_EcIo, &ATTR_ID_SRCH_MAX2_ACT_EcIo, &ATTR_ID_SRCH_MAX3_ACT_EcIo},
     {&ATTR_ID_SRCH_MAX1_ACT_DELAY, &ATTR_ID_SRCH_MAX2_ACT_DELAY, &ATTR_ID_SRCH_MAX3_ACT_DELAY},
     &ATTR_ID_SRCH_ACT_PN},
    {{&ATTR_ID_SRCH_MAX1_CAN_EcIo, &ATTR_ID_SRCH_MAX2_CAN_EcIo, &ATTR_ID_SRCH_MAX3_CAN_EcIo},
     {&ATTR_ID_SRCH_MAX1_CAN_DELAY, &ATTR_ID_SRCH_MAX2_CAN_DELAY, &ATTR_ID_SRCH_MAX3_CAN_DELAY},
     &ATTR_ID_SRCH_CAN_PN},
    {{&ATTR_ID_SRCH_MAX1_NBR_EcIo, &ATTR_ID_SRCH_MAX2_NBR_EcIo, &ATTR_ID_SRCH_MAX3_NBR_EcIo},
     {&ATTR_ID_SRCH_MAX1_NBR_DELAY, &ATTR_ID_SRCH_MAX2_NBR_DELAY, &ATTR_ID_SRCH_MAX3_NBR_DELAY},
     &ATTR_ID_SRCH_NBR_PN},
    {{&ATTR_ID_SRCH_MAX1_REM_EcIo, &ATTR_ID_SRCH_MAX2_REM_EcIo, &ATTR_ID_SRCH_MAX3_REM_EcIo},
     {&ATTR_ID_SRCH_MAX1_REM_DELAY, &ATTR_ID_SRCH_MAX2_REM_DELAY, &ATTR_ID_SRCH_MAX3_REM_DELAY},
     &ATTR_ID_SRCH_REM_PN},
}};

// One set bit of a searcher pilot set word, in the order the sets are reported.
struct SetBit {
  std::uint16_t mask;
  const char* name;   // first set found
  const char* plain;  // later ones, inside the "also" text
  bool has_peaks;     // Precandidate has no peak attributes
  PilotSet set;       // meaningful with has_peaks
  const std::uint32_t* flag1;
  const std::uint32_t* flag2;  // may be null
};

const std::array<SetBit, 5> kSetBits = {{
    {0x8000, "  Active", "Active", true, PilotSet::kActive, &ATTR_ID_CDMA_UPDATE_ACTSETDLY_FLAG,
     &ATTR_ID_CDMA_UPDATE_ACTCANDSETDLY_FLAG},
    {0x4000, "  Candidate", "Candidate", true, PilotSet::kCandidate, &ATTR_ID_CDMA_UPDATE_CANDSETDLY_FLAG,
     &ATTR_ID_CDMA_UPDATE_ACTCANDSETDLY_FLAG},
    {0x2000, "  Neighbor", "Neighbor", true, PilotSet::kNeighbor, &ATTR_ID_CDMA_UPDATE_NBORSETDLY_FLAG, nullptr},
    {0x1000, "  Remaining", "Remaining", true, PilotSet::kRemaining, &ATTR_ID_CDMA_UPDATE_REMSETDLY_FLAG, nullptr},
    {0x0800, "  Precandidate", "Precandidate", false, PilotSet::kActive, nullptr, nullptr},
}};

// Value of a set's update flag when the pilot is in the set.
constexpr std::int32_t kFlagSet = 1;

constexpr const char* kAlsoOpen = "(also in set(s): ";
constexpr const char* kAlsoClose = "), ";
constexpr const char* kUnknownCell = "Unknown";

}  // namespace

double SearcherEnergyOffset(std::uint8_t pregain_code, std::uint8_t integration, std::uint8_t non_coherent) {
  const int coherent_chips = 4 * integration;
  double gain = 0.0;
  if (coherent_chips != 0) {
    gain = 20.0 * std::log10(coherent_chips * pregain_factor(pregain_code)) + 10.0 * std::log10(non_coherent + 1.0);
  }
  return kEnergyOffsetBase - gain;
}

void ExchangeSortDescending(std::span<const std::uint16_t> energies, std::span<int> perm, std::size_t leading) {
  const std::size_t n = std::min(energies.size(), perm.size());
  for (std::size_t i = 0; i < n; ++i) perm[i] = static_cast<int>(i);
  const std::size_t passes = std::min(n, leading);
  for (std::size_t i = 0; i < passes; ++i) {
    for (std::size_t j = i + 1; j < n; ++j) {
      if (energies[static_cast<std::size_t>(perm[j])] > energies[static_cast<std::size_t>(perm[i])]) {
        std::swap(perm[i], perm[j]);
      }
    }
  }
}

void WriteSetPeaks(const AttrWriter& w, PilotSet set, std::uint16_t pn, const SearcherPeaks& peaks, double threshold) {
  const SetPeakAttrs& a = kSetPeakAttrs[static_cast<std::size_t>(set)];
  for (std::size_t m = 0; m < peaks.size(); ++m) {
    const SearcherPeak& p = peaks[m];
    if (p.present && p.ecio > threshold) {
      w.Double(*a.ecio[m], p.ecio);
      w.Double(*a.delay[m], p.delay);
      if (m == 0) w.UShort(*a.pn, pn);
    } else {
      w.NoValue(*a.ecio[m]);
      w.NoValue(*a.delay[m]);
      if (m == 0) w.NoValue(*a.pn);
    }
  }
}

void ApplySetMembership(IOrbDataState* ds, std::uint16_t set_word, std::uint16_t pn, const SearcherPeaks& peaks,
                        double threshold, SetMembershipText* text) {
  const AttrWriter w(ds, AttrWriter::kAlways);
  int found = 0;
  for (const SetBit& b : kSetBits) {
    if ((set_word & b.mask) == 0) continue;
    ++found;
    if (text != nullptr) {
      if (found == 1) {
        text->set_name = b.name;
      } else {
        text->also += found == 2 ? kAlsoOpen : ", ";
        text->also += b.plain;
      }
    }
    if (b.flag1 != nullptr) w.Long(*b.flag1, kFlagSet);
    if (b.flag2 != nullptr) w.Long(*b.flag2, kFlagSet);
    if (b.has_peaks) WriteSetPeaks(w, b.set, pn, peaks, threshold);
  }
  if (text != nullptr && found >= 2) text->also += kAlsoClose;
}

}  // namespace cdmadiag

using cdmadiag::AttrWriter;

void COrbDecodeMsgCDMAQualcommFrame::RecordPilotEcIo(IOrbDataState* ds, int phase, double ecio, int status,
                                                     IProObjectPropertiesConnectedAccessor* accessor) {
  int pn = 0;
  const int increment = CDMACommonUtils::GetPilotIncrement(ds, accessor);
  CDMACommonUtils::ComputePN(phase, increment, pn);
  const auto index = static_cast<std::uint32_t>(pn);
  const AttrWriter w(ds, AttrWriter::kAlways);
  w.Double(ATTR_ID_PN_ECIO_SET, ecio, index);
  w.Long(ATTR_ID_PN_ECIO_SET_STATUS, status, index);
}

bool COrbDecodeMsgCDMAQualcommFrame::FindLikelyCell(IOrbDataState* ds, IDekCellRefs_Search* cells, unsigned pn,
                                                    std::string& cell_id, std::string& site_name) {
  cell_id = cdmadiag::kUnknownCell;
  site_name = cdmadiag::kUnknownCell;
  const cdmadiag::AttrReader read(ds);
  const double x = cdmadiag::held_number(read.latest(ATTR_ID_LOCATION_X)).value_or(0.0);
  const double y = cdmadiag::held_number(read.latest(ATTR_ID_LOCATION_Y)).value_or(0.0);
  if (cells == nullptr) return false;
  const IDekPropertyObject* cell = nullptr;
  cells->Search(pn, x, y, &cell);
  if (cell == nullptr) return false;
  const PropertyValue sector = cell->GetProperty("Sector_ID");
  if (const auto* s = std::get_if<std::string>(&sector)) cell_id = *s;
  const PropertyValue site = cell->GetProperty("CDMA_SiteIDForCell");
  if (const auto* obj = std::get_if<const IDekPropertyObject*>(&site); obj != nullptr && *obj != nullptr) {
    const PropertyValue name = (*obj)->GetProperty("Site_Name");
    if (const auto* s = std::get_if<std::string>(&name)) site_name = *s;
  }
  return true;
}

void COrbDecodeMsgCDMAQualcommFrame::Set_Searcher_Attributes(IOrbDataState* ds, std::uint16_t set_mask,
                                                             std::uint16_t pn, const double* ecio, const double* delay,
                                                             int /*unused*/) {
  using cdmadiag::PilotSet;
  // Bit 0 Active, 1 Candidate, 2 Neighbor, 3 Remaining.
  constexpr std::array<PilotSet, 4> kSets = {PilotSet::kActive, PilotSet::kCandidate, PilotSet::kNeighbor,
                                             PilotSet::kRemaining};
  cdmadiag::SearcherPeaks peaks;
  for (std::size_t m = 0; m < peaks.size(); ++m) peaks[m] = {true, ecio[m], delay[m]};
  const AttrWriter w(ds, AttrWriter::kAlways);
  for (std::size_t bit = 0; bit < kSets.size(); ++bit) {
    if ((set_mask >> bit) & 1u) cdmadiag::WriteSetPeaks(w, kSets[bit], pn, peaks, threshold_a());
  }
}

void COrbDecodeMsgCDMAQualcommFrame::AppendLikelyCell(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                      IDekCellRefs_Search* cells, unsigned pn) {
  if (!msg.cellIdWanted) return;
  std::string cell_id;
  std::string site_name;
  FindLikelyCell(ds, cells, pn, cell_id, site_name);
  cdmadiag::appendf(msg.details, " (likely CellID %s on %s),", cell_id.c_str(), site_name.c_str());
}

namespace cdmadiag {

namespace {

struct BestPilotPair {
  const std::uint32_t* ecio;
  const std::uint32_t* pn;
};

const std::array<BestPilotPair, 4> kBestPilotPairs = {{
    {&ATTR_ID_1ST_PILOT_EcIo, &ATTR_ID_1ST_PILOT_PN},
    {&ATTR_ID_2ND_PILOT_EcIo, &ATTR_ID_2ND_PILOT_PN},
    {&ATTR_ID_3RD_PILOT_EcIo, &ATTR_ID_3RD_PILOT_PN},
    {&ATTR_ID_4TH_PILOT_EcIo, &ATTR_ID_4TH_PILOT_PN},
}};

}  // namespace

double PregainFactor(std::uint8_t pregain_code) { return pregain_factor(pregain_code); }

CombinedFingers CombineFingers(std::span<const FingerStrength> fingers) {
  CombinedFingers out;
  for (const FingerStrength& f : fingers) {
    if (f.rssi == 0) continue;
    const double linear = std::pow(10.0, f.ecio * 0.1);
    // Added in double, then stored back in the single-precision total.
    out.total = static_cast<float>(double{out.total} + linear);
    const int phase = int{f.pn} * 64;
    const auto same = std::ranges::find(out.pilots, phase, &FingerPilotEnergy::phase);
    if (same != out.pilots.end()) {
      same->linear += linear;
    } else {
      out.pilots.push_back({phase, linear});
    }
  }
  return out;
}

void WriteFingerSummary(const AttrWriter& w, std::span<const FingerStrength> fingers, float total,
                        std::size_t best_pilots) {
  if (!w.on()) return;
  if (total > 0.0f) {
    w.Double(ATTR_ID_COMB_PILOT_EcIo, std::min(10.0 * std::log10(double{total}), 0.0));
  } else {
    w.NoValue(ATTR_ID_COMB_PILOT_EcIo);
  }

  std::vector<std::uint16_t> rssi;
  std::vector<std::uint16_t> unique;
  for (const FingerStrength& f : fingers) {
    rssi.push_back(f.rssi);
    if (f.rssi != 0 && std::ranges::find(unique, f.pn) == unique.end()) unique.push_back(f.pn);
  }
  const int n = static_cast<int>(rssi.size());
  const std::uint8_t locked = CDMACommonUtils::NumLockedFingers(rssi.data(), n);
  w.Byte(ATTR_ID_NUM_LOCKED_PILOTS, locked);
  w.Byte(ATTR_ID_NUM_UNIQUE_PILOTS, static_cast<std::uint8_t>(unique.size()));

  std::vector<int> rank(rssi.size());
  CDMACommonUtils::ComputePilotRanking(rssi.data(), rank.data(), n);
  for (std::size_t j = 0; j < rank.size(); ++j) {
    const FingerStrength& f = fingers[static_cast<std::size_t>(rank[j])];
    if (f.rssi == 0 || locked < 1) continue;
    const auto index = static_cast<std::uint32_t>(j);
    w.Double(ATTR_ID_TOP_N, f.ecio, index);
    if (CDMACommonUtils::IsPNValid(f.pn)) {
      w.UShort(ATTR_ID_TOP_N_PN_OFFSET, f.pn, index);
    } else {
      w.NoValue(ATTR_ID_TOP_N_PN_OFFSET);
    }
  }

  // Fewer fingers than pairs: the pairs past them have no pilot and are cleared.
  for (std::size_t m = 0; m < std::min(best_pilots, kBestPilotPairs.size()); ++m) {
    const BestPilotPair& a = kBestPilotPairs[m];
    const FingerStrength f = m < rank.size() ? fingers[static_cast<std::size_t>(rank[m])] : FingerStrength{};
    if (f.rssi > 0 && locked >= m + 1 && CDMACommonUtils::IsPNValid(f.pn)) {
      w.Double(*a.ecio, f.ecio);
      w.UShort(*a.pn, f.pn);
    } else {
      w.NoValue(*a.ecio);
      w.NoValue(*a.pn);
    }
  }
}

}  // namespace cdmadiag
