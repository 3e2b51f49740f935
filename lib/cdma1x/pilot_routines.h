#pragma once
// Pilot helpers shared by the 1x searcher, temporal-analyzer and finger families.
// The three routines that need the decoder object (RecordPilotEcIo, FindLikelyCell,
// Set_Searcher_Attributes) are protected members of COrbDecodeMsgCDMAQualcommFrame.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>
#include <string>
#include <vector>

#include "framework/decoder_kit.h"
#include "host/data_state.h"

namespace cdmadiag {

// Entries of one searcher window that are decoded; a packet announcing more is cut here.
inline constexpr std::size_t kSearcherMaxEntries = 4096;

// Status codes of ATTR_ID_PN_ECIO_SET_STATUS naming the report a strength came from.
inline constexpr int kPilotStatusSearcher = 6;
inline constexpr int kPilotStatusFinger = 7;

// dB added to 10 x log10(raw energy) to give Ec/Io. pregain_code selects 2, 4, 8, 32
// (codes 0-3) or 1; the coherent length is 4 x integration chips, and non_coherent is
// the number of non-coherent integrations minus one.
double SearcherEnergyOffset(std::uint8_t pregain_code, std::uint8_t integration, std::uint8_t non_coherent);

// Exchange sort, descending, swapping only on strictly greater energy: perm[i] is set to i
// and rearranged so perm[0] names the strongest entry. Ties therefore do not keep index
// order. Only the first `leading` positions are sorted; they come out exactly as in the
// full sort, since later passes never touch them.
void ExchangeSortDescending(std::span<const std::uint16_t> energies, std::span<int> perm,
                            std::size_t leading = std::numeric_limits<std::size_t>::max());

enum class PilotSet : std::uint8_t { kActive, kCandidate, kNeighbor, kRemaining };

// One of the three strongest searcher peaks of a set.
struct SearcherPeak {
  bool present = false;  // false: the peak's attributes are cleared
  double ecio = 0.0;     // dB
  double delay = 0.0;    // chips
};
using SearcherPeaks = std::array<SearcherPeak, 3>;

// Peak m of the set is written (Ec/Io, delay, and the PN with peak 1) when present and
// strictly above threshold; otherwise the same attributes are cleared. Read-only is the
// caller's business: it makes the writer.
void WriteSetPeaks(const AttrWriter& w, PilotSet set, std::uint16_t pn, const SearcherPeaks& peaks, double threshold);

// Membership text of a pilot set word: "  Active" etc. for the first set found, and
// "(also in set(s): Candidate, Neighbor), " for the others.
struct SetMembershipText {
  std::string set_name;
  std::string also;
};

// The five set bits of a searcher pilot set word (bit 15 Active down to bit 11
// Precandidate), in that order: update flags, the peak writing rule for the four sets
// that have peak attributes, and the text when wanted. Writes even when read-only.
void ApplySetMembership(IOrbDataState* ds, std::uint16_t set_word, std::uint16_t pn, const SearcherPeaks& peaks,
                        double threshold, SetMembershipText* text);

// Pregain factor of a searcher's pregain code: 2, 4, 8, 32 (codes 0-3) or 1.
double PregainFactor(std::uint8_t pregain_code);

// One rake finger of a report: PN, raw strength (0: not locked) and that strength in dB.
struct FingerStrength {
  std::uint16_t pn = 0;
  std::uint16_t rssi = 0;
  double ecio = 0.0;
};

// A pilot phase (PN x 64 chips) with the summed linear energy of its locked fingers.
struct FingerPilotEnergy {
  int phase = 0;
  double linear = 0.0;
};

// Locked fingers on the same pilot combine: the distinct phases in first-seen order,
// and the total linear energy of every locked finger, kept in single precision.
struct CombinedFingers {
  std::vector<FingerPilotEnergy> pilots;
  float total = 0.0f;
};
CombinedFingers CombineFingers(std::span<const FingerStrength> fingers);

// The summary a finger report writes after its per-finger attributes: combined Ec/Io
// (at most 0 dB), locked and unique pilot counts, the strengths and PNs ranked
// strongest first (TOP_N), and the best best_pilots (at most 4) pilots as
// 1ST_PILOT_EcIo/_PN onwards, cleared when missing.
void WriteFingerSummary(const AttrWriter& w, std::span<const FingerStrength> fingers, float total,
                        std::size_t best_pilots);

}  // namespace cdmadiag
