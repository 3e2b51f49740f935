#pragma once
// Pieces the EV-DO decoders share: the DRC rate names and rates, the ranking of
// active-set pilots by SINR, the DRC election and the fixed-point dB conversions.
//
// Failure policy of the EV-DO family (each code's row in its family's code list): a
// packet shorter than a decoder's fixed layout fails through its job's require before
// any field is read, so nothing is read past the payload whatever the packet claims.
// Which policy depends on who would catch it:
//  - decoders the dispatcher calls inside a guard (every stage 2 code, and the four
//    guarded stage 1 rows 0x1186, 0x1187, 0x1189, 0x118A) mostly throw; the guard
//    keeps the failure text as the packet's diagnostic;
//  - every other stage 1 member and every stage 3 member, whose exception would reach
//    the host, reports: the failure text goes to the details.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

#include "framework/value_names.h"

namespace cdmadiag::evdo {

// DRC index (4 bits) shown as a rate in bit/s; (S)/(L) are the short and long
// packet formats of one rate.
inline constexpr std::array<ValueName, 16> kDrcRateNames{{
    {0, "0"},
    {1, "38400"},
    {2, "76800"},
    {3, "153600"},
    {4, "307200(S)"},
    {5, "307200(L)"},
    {6, "614400(S)"},
    {7, "614400(L)"},
    {8, "921600"},
    {9, "1228800(S)"},
    {10, "1228800(L)"},
    {11, "1843200"},
    {12, "2457600"},
    {13, "1536000"},
    {14, "3072000"},
    {15, "DRC Channel is Off"},
}};

// Name of a DRC index; "" for an index outside the table.
constexpr const char* drc_rate_name(std::uint32_t drc) { return name_or(kDrcRateNames, drc, ""); }

// Rate in bit/s of a DRC index: the leading number of its name (0 for index 15 and
// for indices outside the table).
constexpr double drc_rate_bps(std::uint32_t drc) {
  double rate = 0.0;
  for (const char* p = drc_rate_name(drc); *p >= '0' && *p <= '9'; ++p) rate = rate * 10.0 + (*p - '0');
  return rate;
}

// The most frequent DRC index of a histogram; the highest index wins a tie. Empty
// when no slot was counted.
std::optional<std::uint32_t> elect_drc(std::span<const std::uint32_t, 16> histogram);

// One active-set pilot being ranked: its PN and filtered SINR in dB.
struct RankedAsp {
  std::uint32_t pn = 0;
  float sinr_db = 0.0f;
};

// Marks an entry that must rank after every real pilot.
inline constexpr float kUnrankedSinr = 999.0f;

// Sorts strongest SINR first, kUnrankedSinr entries last. Equal SINRs keep their
// order in the array, so the output does not depend on the sort implementation.
// Does nothing for a count of 0 or less.
void RankAspBySinr(RankedAsp* entries, int count);

// Linear value in 1/512 units to dB; empty for 0, which has no logarithm.
std::optional<double> db_from_512ths(std::uint32_t raw);
// Value in 1/256 dB (or dBm) units.
constexpr double db_from_256ths(std::int32_t raw) { return raw * 0.00390625; }

}  // namespace cdmadiag::evdo
