// General temporal analyzer report (0x1019) and its supplemental-channel form (0x101A):
// one searched pilot with four window energies, four rake fingers and the power trailer.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>

#include "cdma1x/pilot_routines.h"
#include "cdma1x/power_trailer.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/dispatch_tables.h"
#include "framework/failure_texts.h"
#include "framework/text.h"
#include "host/cdma_utils.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;

// Record, from the caller's offset:
//  +off  type     name            unit
//   +0   u8       Pregain         code: 2, 4, 8, 32 or 1
//   +1   u8       Integration     4 chips
//   +2   u8       NonCoherent     integrations - 1
//   +3   u16      PilotSetWord    bits 0-9 PN, 10 NotRefPilot, 11-15 sets
//   +5   u32      WindowPosition  1/8 chip
//   +9   u16      WindowCentre    1/8 chip
//  +11   u8       BandClass       the byte at +12 and the four u16 at +13 are not read
//  +21   4 x u16  Energy          raw searcher energy, window positions 4/8 chip apart
//  +29   4 x u16  FingerPn
//  +37   4 x u8   FingerSector
//  +41   4 x u8   FingerRssi      raw (PilotRSSI2dB_IS2000Version); 0 = not locked
//  +45   4 x u32  FingerPosition  1/8 chip
//  +61   the power trailer (cdma1x/power_trailer.h), when the packet holds its 5 bytes
constexpr std::size_t kUnread = 9;  // +12 .. +20
[[maybe_unused]] constexpr std::size_t kRecordSize = 61;
constexpr std::size_t kEntryCount = 4;
constexpr std::size_t kFingerCount = 4;
constexpr std::size_t kBestPilots = 4;

// 0x101A, after the record and its power trailer:
//  +off  type     name         unit
//   +0   u8       SupChannels  supplemental channels currently active
//   +1   8 x u16  WalshCode    all eight are shown whatever the count says
constexpr std::size_t kWalshCount = 8;

constexpr std::uint32_t kGenTaCode = 0x1019;
// Value of the cull attribute: marks the packet as a pilot report for the host.
constexpr std::uint32_t kCullPilotReport = 0x104B;

// Position of window entry k in chips, the last entry at the window position. A
// position below its centre is a negative delay; an unsigned difference would wrap
// it to some 5.4e8 chips.
double window_delay(std::uint32_t position, std::uint16_t centre, std::size_t k) {
  const std::int64_t bracket =
      std::int64_t{position} - centre + 4 * (static_cast<std::int64_t>(k) - static_cast<std::int64_t>(kEntryCount - 1));
  return static_cast<double>(bracket) * 0.125;
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeGenTAInfo(IOrbDataState* ds, COrbExpandedMessage& msg, std::uint32_t& offset,
                                                     IDekCellRefs_Search* cells, bool suppressTitle) {
  const cdmadiag::LogRow& row = *cdmadiag::find_log_row(kGenTaCode);
  const cdmadiag::Decoding job(msg, suppressTitle ? nullptr : row.title, row.policy);
  const AttrWriter always(ds, AttrWriter::kAlways);
  Cursor c(payload(), offset);
  [[maybe_unused]] const std::size_t start = c.offset();
  const std::uint8_t pregain = c.u8();
  const std::uint8_t integration = c.u8();
  const std::uint8_t non_coherent = c.u8();
  const std::uint16_t set_word = c.u16le();
  const std::uint32_t window_position = c.u32le();
  const std::uint16_t window_centre = c.u16le();
  const std::uint8_t band_class = c.u8();
  c.skip(kUnread);
  std::array<std::uint16_t, kEntryCount> energy{};
  for (std::uint16_t& e : energy) e = c.u16le();
  std::array<std::uint16_t, kFingerCount> finger_pns{};
  for (std::uint16_t& v : finger_pns) v = c.u16le();
  std::array<std::uint8_t, kFingerCount> sectors{};
  for (std::uint8_t& v : sectors) v = c.u8();
  std::array<std::uint8_t, kFingerCount> rssis{};
  for (std::uint8_t& v : rssis) v = c.u8();
  const std::array<std::uint32_t, kFingerCount> positions = c.u32les<kFingerCount>();
  if (!job.check(c)) {
    always.DWord(ATTR_ID_CULL_GENERAL_TA_MESSAGE, kCullPilotReport);
    return;
  }
  assert(c.offset() == start + kRecordSize);

  // Searcher half.
  const auto pn = static_cast<std::uint16_t>(cdmadiag::bits(set_word, 0, 10));
  const std::uint16_t largest = *std::max_element(energy.begin(), energy.end());
  std::array<int, kEntryCount> perm{};
  cdmadiag::ExchangeSortDescending(energy, perm);
  const double energy_offset = cdmadiag::SearcherEnergyOffset(pregain, integration, non_coherent);

  const AttrWriter w(ds);
  if (w.on()) {
    const double threshold_energy = std::pow(10.0, (threshold_b() - energy_offset) * 0.1);
    for (std::size_t k = 0; k < kEntryCount; ++k) {
      if (energy[k] != 0 && energy[k] > threshold_energy) {
        w.Double(ATTR_ID_CDMA_SRCHR_DLY_CHIP, window_delay(window_position, window_centre, k),
                 static_cast<std::uint32_t>(k));
      }
    }
  }

  cdmadiag::SearcherPeaks peaks;
  for (std::size_t m = 0; m < peaks.size(); ++m) {
    const auto k = static_cast<std::size_t>(perm[m]);
    if (energy[k] == 0) continue;
    const auto ecio = static_cast<float>(10.0 * std::log10(static_cast<double>(energy[k])) + energy_offset);
    peaks[m] = {true, double{ecio}, window_delay(window_position, window_centre, k)};
  }
  cdmadiag::ApplySetMembership(ds, set_word, pn, peaks, threshold_a(), nullptr);

  if (largest != 0) {
    const double ecio_max = 10.0 * std::log10(static_cast<double>(largest)) + energy_offset;
    RecordPilotEcIo(ds, int{pn} * 64, ecio_max, cdmadiag::kPilotStatusSearcher, accessor());
    always.Double(ATTR_ID_MAX_SEARCHER_ENERGY, ecio_max);
  } else {
    always.NoValue(ATTR_ID_MAX_SEARCHER_ENERGY);
  }

  if (msg.detailsWanted) {
    appendf(msg.details, "PREGAIN: %u, INTEGRATION: %u, NON_COHERENT: %u, ",
            static_cast<unsigned>(cdmadiag::PregainFactor(pregain)), 4u * integration, non_coherent + 1u);
    appendf(msg.details, "PILOT_OFFSET: %u, WINDOW_POSITION: %u, WINDOW_CENTRE: %u, BAND_CLASS: %u, \n",
            unsigned{set_word}, window_position, unsigned{window_centre}, unsigned{band_class});
  }

  // Finger half.
  std::array<cdmadiag::FingerStrength, kFingerCount> fingers{};
  for (std::size_t i = 0; i < kFingerCount; ++i) {
    const std::uint16_t finger_pn = finger_pns[i];
    const std::uint8_t sector = sectors[i];
    const std::uint8_t rssi = rssis[i];
    const std::uint32_t position = positions[i];
    fingers[i] = {finger_pn, rssi, rssi != 0 ? PilotRSSI2dB_IS2000Version(rssi) : 0.0};
    const auto index = static_cast<std::uint32_t>(i);
    if (w.on()) {
      if (CDMACommonUtils::IsPNValid(finger_pn)) {
        w.UShort(ATTR_ID_PILOT_PN, finger_pn, index);
      } else {
        w.NoValue(ATTR_ID_PILOT_PN);
      }
      w.UShort(ATTR_ID_PILOT_LOW16BITS, sector, index);
      w.UShort(ATTR_ID_PILOT_EcIo, rssi, index);
    }
    if (!msg.detailsWanted) continue;
    const int number = static_cast<int>(i) + 1;
    if (rssi != 0) {
      appendf(msg.details, "  Finger #%d PN: %u, Position (1/8 chip): %u, Sector: %u, Ec/Io: %.1f dB,", number,
              unsigned{finger_pn}, position, unsigned{sector}, fingers[i].ecio);
      AppendLikelyCell(ds, msg, cells, finger_pn);
      msg.details += "\n";
    } else {
      // The unlocked line shows the sector byte where the locked one shows the position.
      appendf(msg.details, "  Finger #%d PN: N/A, Position (1/8 chip): %u, Ec/Io: Not locked,\n", number,
              unsigned{sector});
    }
  }
  const cdmadiag::CombinedFingers combined = cdmadiag::CombineFingers(fingers);
  for (const cdmadiag::FingerPilotEnergy& p : combined.pilots) {
    RecordPilotEcIo(ds, p.phase, 10.0 * std::log10(p.linear), cdmadiag::kPilotStatusFinger, accessor());
  }
  cdmadiag::WriteFingerSummary(w, fingers, combined.total, kBestPilots);

  // The power trailer, when the packet holds it.
  Cursor after = c;
  const cdmadiag::PowerTrailer t = cdmadiag::ReadPowerTrailer(after);
  if (after.ok()) {
    c = after;
    const int band = cdmadiag::DetermineBandIndex(ds, cdmadiag::kPilotReportBandOrder, band_class);
    const cdmadiag::AgcPowers p =
        ConvertAgcPowers(t.rx_agc, t.agc_power, t.tx_gain_adjust, band, cdmadiag::PowerClass(ds));
    cdmadiag::WriteAgcPowers(w, p);
    always.UShort(ATTR_ID_CDMA_Search_State, t.search_state);
    if (msg.detailsWanted) {
      appendf(msg.details,
              "\nMsRxPwr: %.2f, MsTxPwr: %.2f, MsAgcPwr: %.2f, TX_GAIN_ADJ: %.2f, TX_PWR_LIMIT: %u, SRCH_STATE: %s\n",
              p.rx, p.tx, p.agc, p.gain_adjust, static_cast<unsigned>(std::int32_t{t.tx_power_limit}),
              cdmadiag::SearchStateName(t.search_state));
    }
  }
  always.DWord(ATTR_ID_CULL_GENERAL_TA_MESSAGE, kCullPilotReport);
  offset = static_cast<std::uint32_t>(c.offset());
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeGenTAWithSupChanInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search* cells) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeGenTAWithSupChanInfo);
  std::uint32_t offset = 0;
  DecodeGenTAInfo(ds, msg, offset, cells, true);
  if (offset == 0) return;  // the record was short, and said so

  Cursor c(payload(), offset);
  const std::uint8_t channels = c.u8();
  if (!job.check(c)) return;
  if (!msg.detailsWanted) return;
  appendf(msg.details, "\nNumber of Supplemental Channels currently active: %u", unsigned{channels});
  // The codes are shown only when all eight are there.
  std::array<std::uint16_t, kWalshCount> walsh{};
  for (std::uint16_t& v : walsh) v = c.u16le();
  if (!c.ok()) return;
  for (std::size_t k = 0; k < kWalshCount; ++k) {
    appendf(msg.details, " Sup. Chan. #%d, Walsh Code: %u", static_cast<int>(k) + 1, unsigned{walsh[k]});
  }
}
