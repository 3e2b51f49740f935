// IS-95 pilot finger report (0x100B) and pilot searcher report (0x100F).
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "cdma1x/pilot_routines.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/payload_reader.h"
#include "framework/text.h"
#include "host/cdma_utils.h"

using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// Value of both cull attributes: marks the packet as a pilot report for the host.
constexpr std::uint32_t kCullPilotReport = 0x104B;

// Finger packet, 15 bytes:
//  +off  type     name                       unit
//   +0   u16 x 3  PN tracked by fingers 1-3
//   +6   u16 x 3  finger position            1/8 chip
//  +12   u8 x 3   pilot strength             raw (PilotRSSI2dB); 0 = not locked
constexpr std::size_t kFingerCount = 3;
// The locked count is taken over a list of ten, of which the packet fills three.
constexpr int kFingerListSize = 10;

// Searcher packet, at least 13 bytes:
//  +off  type     name                       unit
//   +0   u8       pregain code
//   +1   u8       coherent integration       4 chips
//   +2   u8       non-coherent integrations  minus one
//   +3   u16      pilot set word             bits 0-9 PN, 10 NotRefPilot, 11-15 sets
//   +5   u16      window end                 1/8 chip
//   +7   u16      window centre              1/8 chip
//   +9   u8[2]    not read
//  +11   u16      N                          window entries
//  +13   u16 x N  raw energies               one per window position, 4 x 1/8 chip apart
[[maybe_unused]] constexpr std::size_t kSearcherHeaderSize = 13;
constexpr std::size_t kEnergySize = 2;
constexpr unsigned kPnBits = 10, kNotRefPilotBit = 10;
// A PN's pilot phase in chips.
constexpr int kChipsPerPn = 64;
// Window positions are 1/8 chip; neighbouring entries lie 4 of them apart.
constexpr double kChipsPerEighth = 0.125;
constexpr int kEighthsPerEntry = 4;

// Level in dB below which window entries get no delay attribute.
constexpr double kDelayThresholdDb = -15.0;

// Position of window entry k in chips; negative when the centre lies past the end.
double searcher_delay(std::uint16_t window_end, std::uint16_t window_centre, std::size_t k, std::uint16_t n) {
  const int bracket = int{window_end} - int{window_centre} + kEighthsPerEntry * (static_cast<int>(k) - (int{n} - 1));
  return bracket * kChipsPerEighth;
}

// An 8-bit count from a value record: integers keep their low byte; floats truncate,
// and one beyond the 8-bit range gives 0.
std::uint8_t count_u8(const OrbRetVal& v) {
  if (v.type == OrbRetVal::kDouble || v.type == OrbRetVal::kFloat) {
    const double d = cdmadiag::held_number(v).value_or(0.0);
    if (!(d > -256.0 && d < 256.0)) return 0;
    return static_cast<std::uint8_t>(static_cast<int>(d));
  }
  return static_cast<std::uint8_t>(cdmadiag::held_integer(v).value_or(0));
}

struct BestPilotAttrs {
  const std::uint32_t* ecio;
  const std::uint32_t* pn;
};

const std::array<BestPilotAttrs, 3> kBestPilots = {{
    {&ATTR_ID_1ST_PILOT_EcIo, &ATTR_ID_1ST_PILOT_PN},
    {&ATTR_ID_2ND_PILOT_EcIo, &ATTR_ID_2ND_PILOT_PN},
    {&ATTR_ID_3RD_PILOT_EcIo, &ATTR_ID_3RD_PILOT_PN},
}};

// A pilot phase seen by one or more fingers, with their summed linear energy.
struct FingerPilot {
  int phase = 0;
  double linear = 0.0;
};

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeFinger(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                  IDekCellRefs_Search* cells) {
  AttrWriter(ds, AttrWriter::kAlways).DWord(ATTR_ID_CULL_FINGER_MESSAGE, kCullPilotReport);
  const auto job = Begin(msg, &F::DecodeFinger);
  Cursor c(payload());
  std::array<std::uint16_t, kFingerCount> finger_pns{};
  for (std::uint16_t& v : finger_pns) v = c.u16le();
  std::array<std::uint16_t, kFingerCount> positions{};
  for (std::uint16_t& v : positions) v = c.u16le();
  std::array<std::uint8_t, kFingerCount> strengths{};
  for (std::uint8_t& v : strengths) v = c.u8();
  if (!job.check(c)) return;

  std::array<std::uint16_t, kFingerListSize> pns{};
  std::array<std::uint16_t, kFingerListSize> rssi{};
  float total = 0.0f;
  std::array<FingerPilot, kFingerCount> pilots{};
  std::size_t pilot_count = 0;
  const AttrWriter w(ds);

  for (std::size_t i = 0; i < kFingerCount; ++i) {
    const std::uint16_t pn = finger_pns[i];
    const std::uint16_t position = positions[i];
    const std::uint8_t strength = strengths[i];
    pns[i] = pn;
    rssi[i] = strength;
    const auto index = static_cast<std::uint32_t>(i);

    if (CDMACommonUtils::IsPNValid(pn)) {
      w.UShort(ATTR_ID_PILOT_PN, pn, index);
    } else {
      w.NoValue(ATTR_ID_PILOT_PN);
    }
    w.UShort(ATTR_ID_PILOT_LOW16BITS, position, index);
    w.UShort(ATTR_ID_PILOT_EcIo, strength, index);

    double ecio = 0.0;
    if (strength != 0) {
      ecio = PilotRSSI2dB(strength);
      const double linear = std::pow(10.0, ecio * 0.1);
      // Added in double, then stored back in the single-precision total.
      total = static_cast<float>(double{total} + linear);
      const int phase = int{pn} * kChipsPerPn;
      auto end = pilots.begin() + pilot_count;
      auto same = std::find_if(pilots.begin(), end, [phase](const FingerPilot& p) { return p.phase == phase; });
      if (same != end) {
        same->linear += linear;
      } else {
        pilots[pilot_count++] = {phase, linear};
      }
    }

    if (msg.detailsWanted) {
      const int number = static_cast<int>(i) + 1;
      if (strength != 0) {
        cdmadiag::appendf(msg.details, "  Finger #%d PN: %u, Position (1/8 chip): %u, Ec/Io: %.1f dB,", number,
                          unsigned{pn}, unsigned{position}, ecio);
        AppendLikelyCell(ds, msg, cells, pn);
        msg.details += "\n";
      } else {
        cdmadiag::appendf(msg.details, "  Finger #%d PN: N/A, Position (1/8 chip): %u, Ec/Io: Not locked,\n", number,
                          unsigned{position});
      }
    }
  }

  for (std::size_t p = 0; p < pilot_count; ++p) {
    RecordPilotEcIo(ds, pilots[p].phase, 10.0 * std::log10(pilots[p].linear), cdmadiag::kPilotStatusFinger, accessor());
  }

  if (w.on()) {
    if (total > 0.0f) {
      const double combined = std::min(10.0 * std::log10(double{total}), 0.0);
      w.Double(ATTR_ID_COMB_PILOT_EcIo, combined);
    } else {
      w.NoValue(ATTR_ID_COMB_PILOT_EcIo);
    }

    const std::uint8_t locked = CDMACommonUtils::NumLockedFingers(rssi.data(), kFingerListSize);
    w.Byte(ATTR_ID_NUM_LOCKED_PILOTS, locked);

    std::array<std::uint16_t, kFingerCount> unique{};
    std::size_t unique_count = 0;
    for (std::size_t i = 0; i < kFingerCount; ++i) {
      if (rssi[i] == 0) continue;
      const auto end = unique.begin() + unique_count;
      if (std::find(unique.begin(), end, pns[i]) == end) unique[unique_count++] = pns[i];
    }
    w.Byte(ATTR_ID_NUM_UNIQUE_PILOTS, static_cast<std::uint8_t>(unique_count));

    std::array<int, kFingerCount> rank{};
    CDMACommonUtils::ComputePilotRanking(rssi.data(), rank.data(), static_cast<int>(kFingerCount));
    for (std::size_t j = 0; j < kFingerCount; ++j) {
      const auto rj = static_cast<std::size_t>(rank[j]);
      if (rj >= kFingerCount || rssi[rj] == 0 || locked < 1) continue;
      const auto index = static_cast<std::uint32_t>(j);
      w.Double(ATTR_ID_TOP_N, PilotRSSI2dB(rssi[rj]), index);
      if (CDMACommonUtils::IsPNValid(pns[rj])) {
        w.UShort(ATTR_ID_TOP_N_PN_OFFSET, pns[rj], index);
      } else {
        w.NoValue(ATTR_ID_TOP_N_PN_OFFSET);
      }
    }

    for (std::size_t n = 1; n <= kBestPilots.size(); ++n) {
      const auto rn = static_cast<std::size_t>(rank[n - 1]);
      const BestPilotAttrs& a = kBestPilots[n - 1];
      if (rn < kFingerCount && rssi[rn] > 0 && locked >= n && CDMACommonUtils::IsPNValid(pns[rn])) {
        w.Double(*a.ecio, PilotRSSI2dB(rssi[rn]));
        w.UShort(*a.pn, pns[rn]);
      } else {
        w.NoValue(*a.ecio);
        w.NoValue(*a.pn);
      }
    }
  }

  if (msg.detailsWanted) {
    // Up to and including this packet: what it wrote, or what is stored when read-only.
    const OrbRetVal v = cdmadiag::AttrReader(ds).before(ATTR_ID_NUM_LOCKED_PILOTS, GetMessageNumber() + 1);
    if (v.present()) cdmadiag::appendf(msg.details, "  Number of pilots: %u\n", unsigned{count_u8(v)});
  }
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSearcher(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                    IDekCellRefs_Search* cells) {
  const auto job = Begin(msg, &F::DecodeSearcher);
  const AttrWriter always(ds, AttrWriter::kAlways);
  always.DWord(ATTR_ID_CULL_SEARCHER_MESSAGE, kCullPilotReport);
  Cursor c(payload());
  const std::uint8_t pregain = c.u8();
  const std::uint8_t integration = c.u8();
  const std::uint8_t non_coherent = c.u8();
  const std::uint16_t set_word = c.u16le();
  const std::uint16_t window_end = c.u16le();
  const std::uint16_t window_centre = c.u16le();
  c.skip(2);
  const std::uint16_t n = c.u16le();
  if (!job.check(c)) return;
  assert(c.offset() == kSearcherHeaderSize);
  const auto pn = static_cast<std::uint16_t>(cdmadiag::bits(set_word, 0, kPnBits));
  const auto not_ref_pilot = static_cast<unsigned>(cdmadiag::bits(set_word, kNotRefPilotBit, 1));
  always.UShort(ATTR_ID_CDMA_SEARCHER_NUM_ENTRIES, n);

  // Only the energies the packet holds, and no more than a window can have; positions
  // still count from the announced N so that the entries present keep their delays.
  const std::size_t present = c.whole_records(kEnergySize, std::min<std::size_t>(n, cdmadiag::kSearcherMaxEntries));
  std::vector<std::uint16_t> energy(present);
  std::uint16_t largest = 0;
  std::size_t largest_index = 0;
  for (std::size_t k = 0; k < present; ++k) {
    energy[k] = c.u16le();
    if (energy[k] > largest) {
      largest = energy[k];
      largest_index = k;
    }
  }

  std::vector<int> perm(present);
  cdmadiag::ExchangeSortDescending(energy, perm, 3);

  const double offset = cdmadiag::SearcherEnergyOffset(pregain, integration, non_coherent);

  if (const AttrWriter w(ds); w.on()) {
    const double threshold_energy = std::pow(10.0, (kDelayThresholdDb - offset) * 0.1);
    for (std::size_t k = 0; k < present; ++k) {
      if (energy[k] != 0 && energy[k] > threshold_energy) {
        w.Double(ATTR_ID_CDMA_SRCHR_DLY_CHIP, searcher_delay(window_end, window_centre, k, n),
                 static_cast<std::uint32_t>(k));
      }
    }
  }

  // Fewer than three entries: the missing peaks have energy 0, so they are cleared.
  cdmadiag::SearcherPeaks peaks;
  for (std::size_t m = 0; m < peaks.size() && m < present; ++m) {
    const auto k = static_cast<std::size_t>(perm[m]);
    const std::uint16_t e = energy[k];
    if (e == 0) continue;
    const auto ecio = static_cast<float>(10.0 * std::log10(static_cast<double>(e)) + offset);
    peaks[m] = {true, double{ecio}, searcher_delay(window_end, window_centre, k, n)};
  }

  cdmadiag::SetMembershipText sets;
  cdmadiag::ApplySetMembership(ds, set_word, pn, peaks, threshold_a(), msg.detailsWanted ? &sets : nullptr);

  const double ecio_max = largest != 0 ? 10.0 * std::log10(static_cast<double>(largest)) + offset : 0.0;
  if (largest != 0) {
    RecordPilotEcIo(ds, int{pn} * kChipsPerPn, ecio_max, cdmadiag::kPilotStatusSearcher, accessor());
    always.Double(ATTR_ID_MAX_SEARCHER_ENERGY, ecio_max);
  } else {
    always.NoValue(ATTR_ID_MAX_SEARCHER_ENERGY);
  }

  if (!msg.detailsWanted) return;
  cdmadiag::appendf(msg.details, "%s Pilot PN: %u, %s NotRefPilot: %u,", sets.set_name.c_str(), unsigned{pn},
                    sets.also.c_str(), not_ref_pilot);
  AppendLikelyCell(ds, msg, cells, pn);
  msg.details += "\n";

  const int size = (int{window_end} - int{window_centre}) / kEighthsPerEntry;
  const auto position = static_cast<std::uint16_t>(
      int{window_end} + kEighthsPerEntry * static_cast<int>(largest_index) - 2 * kEighthsPerEntry * size);
  const unsigned position_index = static_cast<unsigned>(largest_index) >> 1;
  if (largest != 0) {
    cdmadiag::appendf(msg.details, "  Max Energy: Ec/Io %.1f dB, Position (1/8 chips) %d, Position Index %d,\n",
                      ecio_max, int{position}, static_cast<int>(position_index));
  } else {
    cdmadiag::appendf(msg.details, "  Max Energy: Ec/Io N/A, Position (1/8 chips) %d, Position Index %d,\n",
                      int{position}, static_cast<int>(position_index));
  }
  cdmadiag::appendf(msg.details, "  Search Window: End Position (1/8 chips) %u, Size (chips) %u\n",
                    unsigned{window_end}, unsigned{static_cast<std::uint16_t>(size)});
}
