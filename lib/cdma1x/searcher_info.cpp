// Searcher and finger information (0x102D), its second layout (0x10C4) and the
// enhanced finger information (0x1179).
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cdma1x/pilot_routines.h"
#include "cdma1x/power_trailer.h"
#include "cdma1x/radio_config.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/payload_cursor.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/cdma_utils.h"
#include "host/format_groups.h"

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::group_text;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// Searcher and finger information, 0x102D (fixed part 23 bytes):
//  +off  type     name             unit
//   +0   u8       PilotTypeInfo    shown only
//   +1   u8       BandClass
//   +2   u8       Pregain          code: 2, 4, 8, 32 or 1
//   +3   u8       Integration      4 chips
//   +4   u8       NonCoherent      integrations - 1
//   +5   u16      PilotOffset      bits 0-8 PN, 10 NotRefPilot, 11-15 sets
//   +7   u32      WindowPosition   1/8 chip
//  +11   u16      WindowSize       1/8 chip
//  +13   the power trailer (cdma1x/power_trailer.h); its limit shown as a signed number
//  +18   u8       RadioConfigs1    bits 0-3 forward FCH, 4-7 forward SCH0
//  +19   u8       RadioConfigs2    bits 0-3 forward SCH1, 4-7 forward DCCH
//  +20   u8       ChannelSet       bit 0 FCH, bit 1 SCH0, bits 4-6 supplemental code channels
//  +21   u8       N                window entries
//  +22   u8       F                fingers, at most 10
//  +23   N x 4    entries          u16 position 1/8 chip, u16 energy raw
//  then  F x 10   fingers          u16 PN, u8 sector, u8 RSSI, u32 position 1/8 chip, 2 bytes unread
//
// Ver2, 0x10C4 (fixed part 20 bytes, 22 with the diversity bytes):
//   +0   u8       BandClass
//   +1   u8       Pregain
//   +2   u8       Integration
//   +3   u8       NonCoherent
//   +4   u16      PilotOffset      as above
//   +6   u16      WindowSize       1/8 chip
//   +8   i32      WindowPosition   1/8 chip
//  +12   the power trailer, its limit unsigned: dBm = raw / 3 - 52.33
//  +17   u8       DiversityFlag    0xFF: no diversity bytes
//  +18   u8       N
//  +19   u8       F                at most 10
//  +20   u8       DivPowerLevel    only with the flag
//  +21   u8       DivMode          only with the flag
//  +22 (or +20)   N x 4 entries, then F x 12 fingers: u8 finger channel, u8 unread, u16 PN,
//                 u8 sector, u8 RSSI, 2 bytes unread, i32 position 1/8 chip
// The two layouts as data: each one's header and finger reads, into what both share.
// What one alone has (the pilot type, radio configurations and channel set of the
// first; the diversity bytes and finger channel of Ver2) is shown where ver2 says.
struct SearcherHeader {
  std::uint8_t pilot_type, band_class, pregain, integration, non_coherent;
  std::uint16_t set_word, window_size;
  std::uint32_t raw_position;  // signed in Ver2
  cdmadiag::PowerTrailer trailer;
  std::uint8_t radio_configs1, radio_configs2, channel_set;
  std::optional<std::uint8_t> diversity_power, diversity_mode;  // Ver2 with the flag
  std::uint8_t entries, fingers;
};
constexpr std::uint8_t kNoDiversity = 0xFF;

SearcherHeader read_info_header(Cursor& c) {
  SearcherHeader h{};
  h.pilot_type = c.u8();
  h.band_class = c.u8();
  h.pregain = c.u8();
  h.integration = c.u8();
  h.non_coherent = c.u8();
  h.set_word = c.u16le();
  h.raw_position = c.u32le();
  h.window_size = c.u16le();
  h.trailer = cdmadiag::ReadPowerTrailer(c);
  h.radio_configs1 = c.u8();
  h.radio_configs2 = c.u8();
  h.channel_set = c.u8();
  h.entries = c.u8();
  h.fingers = c.u8();
  return h;
}

// The diversity bytes follow only when the flag is not kNoDiversity.
SearcherHeader read_ver2_header(Cursor& c) {
  SearcherHeader h{};
  h.band_class = c.u8();
  h.pregain = c.u8();
  h.integration = c.u8();
  h.non_coherent = c.u8();
  h.set_word = c.u16le();
  h.window_size = c.u16le();
  h.raw_position = c.u32le();
  h.trailer = cdmadiag::ReadPowerTrailer(c);
  const std::uint8_t diversity_flag = c.u8();
  h.entries = c.u8();
  h.fingers = c.u8();
  if (c.ok() && diversity_flag != kNoDiversity) {
    h.diversity_power = c.u8();
    h.diversity_mode = c.u8();
  }
  return h;
}

struct SearcherFinger {
  std::uint8_t channel;  // Ver2
  std::uint16_t pn;
  std::uint8_t sector, rssi;
  std::uint32_t position;  // 1/8 chip, signed in Ver2
};

SearcherFinger read_info_finger(Cursor c) {
  SearcherFinger f{};
  f.pn = c.u16le();
  f.sector = c.u8();
  f.rssi = c.u8();
  f.position = c.u32le();
  return f;
}

SearcherFinger read_ver2_finger(Cursor c) {
  SearcherFinger f{};
  f.channel = c.u8();
  c.skip(1);
  f.pn = c.u16le();
  f.sector = c.u8();
  f.rssi = c.u8();
  c.skip(2);
  f.position = c.u32le();
  return f;
}

struct Layout {
  bool ver2;  // also: the window position is signed
  SearcherHeader (*read_header)(Cursor&);
  std::size_t finger_size;
  SearcherFinger (*read_finger)(Cursor);
};
constexpr Layout kInfo{false, read_info_header, 10, read_info_finger};
constexpr Layout kInfoVer2{true, read_ver2_header, 12, read_ver2_finger};
constexpr std::size_t kEntrySize = 4;
constexpr std::size_t kMaxFingers = 10;
constexpr std::size_t kBestPilots = 4;
constexpr unsigned kPnBits = 9, kNotRefPilotBit = 10;
constexpr int kChipsPerPn = 64;
constexpr double kChipsPerEighth = 0.125;
constexpr std::uint32_t kCullPilotReport = 0x104B;

// Ver2 transmit power limit, dBm = raw / 3 - 52.33.
constexpr double kTxLimitBaseDbm = -52.33;

constexpr std::array<ValueName, 4> kDiversityPowers = {{{0, "-9 dB"}, {1, "-6 dB"}, {2, "-3 dB"}, {3, "0 dB"}}};
constexpr std::array<ValueName, 2> kDiversityModes = {{{0, "OTD"}, {1, "STS"}}};
constexpr const char* kUnknown = "Unknown";

constexpr const char* kBandClassGroup = "CDMA Paging Band Class";
constexpr const char* kSearcherStateGroup = "CDMA Searcher State";

// Position of window entry k in chips relative to the window centre, the last of the
// n announced entries at the window position. The centre is kept whole and signed: its
// low 16 bits alone put every window past 8192 chips (any PN above 128), or below 0 in
// Ver2, thousands of chips off, and an unsigned difference wraps a negative delay to
// 5.4e8 chips.
double window_delay(std::int64_t position, std::uint16_t size, std::size_t k, std::size_t n) {
  const std::int64_t centre = position - size / 2;
  const std::int64_t bracket =
      position - centre + 4 * (static_cast<std::int64_t>(k) - (static_cast<std::int64_t>(n) - 1));
  return static_cast<double>(bracket) * kChipsPerEighth;
}

// A PN rounded to the nearest multiple of the pilot increment, half way rounding up,
// and kept among the 512 PNs (510 with increment 4 is PN 0, not a PN 512). No
// increment, or one of 0, leaves the PN as it is rather than dividing by zero.
std::uint32_t round_to_increment(std::uint32_t pn, std::optional<std::int64_t> increment) {
  if (!increment || *increment <= 0) return pn;
  const auto inc = static_cast<std::uint64_t>(*increment);
  const std::uint64_t r = pn % inc;
  const std::uint64_t rounded = 2 * r >= inc ? pn + (inc - r) : pn - r;
  return static_cast<std::uint32_t>(rounded % CDMACommonUtils::kPnCount);
}

// An 8-bit count from a value record, floats truncated.
std::uint8_t count_u8(const OrbRetVal& v) { return static_cast<std::uint8_t>(cdmadiag::held_integer(v).value_or(0)); }

}  // namespace

// The one routine of both layouts; a friend of the frame for its pilot routines and
// conversions.
struct SearcherInfoParts {
  static void decode(F& frame, const Layout& L, IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells,
                     const cdmadiag::Decoding& job);
};

void SearcherInfoParts::decode(F& frame, const Layout& L, IOrbDataState* ds, COrbExpandedMessage& msg,
                               IDekCellRefs_Search* cells, const cdmadiag::Decoding& job) {
  Cursor c(frame.payload());
  const SearcherHeader h = L.read_header(c);
  if (!job.check(c)) return;
  const AttrWriter w(ds);
  const AttrWriter always(ds, AttrWriter::kAlways);

  const std::uint8_t band_class = h.band_class;
  w.UShort(ATTR_ID_Band_Class, band_class);
  const int band = cdmadiag::DetermineBandIndex(ds, cdmadiag::kPilotReportBandOrder, band_class);
  const cdmadiag::PowerTrailer& t = h.trailer;
  const cdmadiag::AgcPowers p =
      frame.ConvertAgcPowers(t.rx_agc, t.agc_power, t.tx_gain_adjust, band, cdmadiag::PowerClass(ds));
  cdmadiag::WriteAgcPowers(w, p);

  const std::size_t n = h.entries;
  const std::size_t f = h.fingers;
  if (f > kMaxFingers) return;  // malformed: nothing past the header is trusted
  always.UShort(ATTR_ID_CDMA_SEARCHER_NUM_ENTRIES, static_cast<std::uint16_t>(n));

  const std::uint8_t pregain = h.pregain;
  const std::uint8_t integration = h.integration;
  const std::uint8_t non_coherent = h.non_coherent;
  const std::uint16_t set_word = h.set_word;
  const auto pn = static_cast<std::uint16_t>(cdmadiag::bits(set_word, 0, kPnBits));
  const auto not_ref_pilot = static_cast<unsigned>(cdmadiag::bits(set_word, kNotRefPilotBit, 1));
  const std::uint32_t raw_position = h.raw_position;
  const std::int64_t window_position =
      L.ver2 ? std::int64_t{static_cast<std::int32_t>(raw_position)} : std::int64_t{raw_position};
  const std::uint16_t window_size = h.window_size;

  // Window entries, only those the packet holds; delays still count from the announced N.
  const std::size_t present = c.whole_records(kEntrySize, n);
  std::vector<std::uint16_t> position(present);
  std::vector<std::uint16_t> energy(present);
  std::uint16_t largest = 0;
  std::size_t largest_index = 0;
  for (std::size_t k = 0; k < present; ++k) {
    position[k] = c.u16le();
    energy[k] = c.u16le();
    if (energy[k] > largest) {
      largest = energy[k];
      largest_index = k;
    }
  }
  std::vector<int> perm(present);
  cdmadiag::ExchangeSortDescending(energy, perm, 3);
  const double offset = cdmadiag::SearcherEnergyOffset(pregain, integration, non_coherent);

  if (w.on()) {
    const double threshold_energy = std::pow(10.0, (frame.threshold_b() - offset) * 0.1);
    for (std::size_t k = 0; k < present; ++k) {
      if (energy[k] != 0 && energy[k] > threshold_energy) {
        w.Double(ATTR_ID_CDMA_SRCHR_DLY_CHIP, window_delay(window_position, window_size, k, n),
                 static_cast<std::uint32_t>(k));
      }
    }
  }

  // Fewer than three entries: the missing peaks have energy 0 and are cleared.
  cdmadiag::SearcherPeaks peaks;
  for (std::size_t m = 0; m < peaks.size() && m < present; ++m) {
    const auto k = static_cast<std::size_t>(perm[m]);
    if (energy[k] == 0) continue;
    const auto ecio = static_cast<float>(10.0 * std::log10(static_cast<double>(energy[k])) + offset);
    peaks[m] = {true, double{ecio}, window_delay(window_position, window_size, k, n)};
  }
  cdmadiag::SetMembershipText sets;
  cdmadiag::ApplySetMembership(ds, set_word, pn, peaks, frame.threshold_a(), msg.detailsWanted ? &sets : nullptr);

  const double ecio_max = largest != 0 ? 10.0 * std::log10(static_cast<double>(largest)) + offset : 0.0;
  if (largest != 0) {
    frame.RecordPilotEcIo(ds, int{pn} * kChipsPerPn, ecio_max, cdmadiag::kPilotStatusSearcher, frame.accessor());
    always.Double(ATTR_ID_MAX_SEARCHER_ENERGY, ecio_max);
  } else {
    always.NoValue(ATTR_ID_MAX_SEARCHER_ENERGY);
  }

  if (msg.detailsWanted) {
    const std::string band_name = group_text(kBandClassGroup, band_class);
    const auto factor = static_cast<unsigned>(cdmadiag::PregainFactor(pregain));
    std::string& d = msg.details;
    if (!L.ver2) {
      appendf(d, "PILOT_TYPE_INFO: %u, ", unsigned{h.pilot_type});
    }
    appendf(d, "BAND_CLASS: %u (%s), PREGAIN: %u, INTEGRATION: %u per chip, NON_COHERENT: %u", unsigned{band_class},
            band_name.c_str(), factor, 4u * integration, non_coherent + 1u);
    if (h.diversity_power && h.diversity_mode) {
      appendf(d, ", Transmit Diversity Power Level: %s, Transmit Diversity Mode: %s",
              cdmadiag::name_or(kDiversityPowers, *h.diversity_power, kUnknown),
              cdmadiag::name_or(kDiversityModes, *h.diversity_mode, kUnknown));
    }
    d += "\n";
    if (L.ver2) {
      appendf(d, "PILOT_OFFSET: %u (PN %u), WINDOW_POSITION: %d (%.3f chips), WINDOW_SIZE: %u (%.3f chips), \n",
              unsigned{set_word}, unsigned{pn}, static_cast<int>(window_position),
              static_cast<double>(window_position) * kChipsPerEighth, unsigned{window_size},
              window_size * kChipsPerEighth);
      appendf(d,
              "MsRxPwr: %.2f dBm, MsTxPwr: %.2f dBm, MsAgcPwr: %.2f dBm, TX_GAIN_ADJ: %.2f dB, TX_PWR_LIMIT: %.2f "
              "dBm, \nSRCH_STATE: %s\n",
              p.rx, p.tx, p.agc, p.gain_adjust, static_cast<std::uint8_t>(t.tx_power_limit) / 3.0 + kTxLimitBaseDbm,
              cdmadiag::SearchStateName(t.search_state));
    } else {
      appendf(d, "PILOT_OFFSET: %u (PN %u), WINDOW_POSITION: %u (%.3f chips), WINDOW_SIZE: %u (%.3f chips), \n",
              unsigned{set_word}, unsigned{pn}, raw_position, raw_position * kChipsPerEighth, unsigned{window_size},
              window_size * kChipsPerEighth);
      appendf(d,
              "MsRxPwr: %.2f dBm, MsTxPwr: %.2f dBm, MsAgcPwr: %.2f dBm, TX_GAIN_ADJ: %.2f dB, TX_PWR_LIMIT: %d, "
              "\nSRCH_STATE: %s\n",
              p.rx, p.tx, p.agc, p.gain_adjust, int{t.tx_power_limit}, cdmadiag::SearchStateName(t.search_state));
      const std::uint8_t channels = h.channel_set;
      cdmadiag::AppendRadioConfigs(d, cdmadiag::Link::kForward,
                                   cdmadiag::RadioConfigsOfNibbles(h.radio_configs1, h.radio_configs2),
                                   cdmadiag::kRule61);
      cdmadiag::AppendChannelSetMask(
          d, cdmadiag::Link::kForward,
          {(channels & 1u) != 0, (channels & 2u) != 0, false, false, static_cast<int>(cdmadiag::bits(channels, 4, 3))},
          cdmadiag::kRule55);
    }
  }

  // Fingers, only those the packet holds, after all N entries.
  c.skip(kEntrySize * (n - present));
  std::vector<cdmadiag::FingerStrength> fingers;
  const std::size_t held = c.whole_records(L.finger_size, f);
  for (std::size_t i = 0; i < held; ++i) {
    const SearcherFinger finger = L.read_finger(c.record(L.finger_size));
    const std::uint16_t finger_pn = finger.pn;
    const std::uint8_t sector = finger.sector;
    const std::uint8_t rssi = finger.rssi;
    const std::uint32_t finger_position = finger.position;
    const double ecio = rssi != 0 ? frame.PilotRSSI2dB_IS2000Version(rssi) : 0.0;
    fingers.push_back({finger_pn, rssi, ecio});
    const auto index = static_cast<std::uint32_t>(i);
    if (rssi != 0 && w.on()) {
      if (CDMACommonUtils::IsPNValid(finger_pn)) {
        w.UShort(ATTR_ID_PILOT_PN, finger_pn, index);
      } else {
        w.NoValue(ATTR_ID_PILOT_PN);
      }
      w.UShort(ATTR_ID_PILOT_LOW16BITS, sector, index);
      if (L.ver2) {
        w.Double(ATTR_ID_PILOT_EcIo, ecio, index);
        w.UShort(ATTR_ID_CDMA_FINGER_CHAN, finger.channel, index);
      } else {
        w.UShort(ATTR_ID_PILOT_EcIo, rssi, index);
      }
    }
    if (!msg.detailsWanted) continue;
    const int number = static_cast<int>(i) + 1;
    const auto signed_position = static_cast<std::int32_t>(finger_position);
    if (rssi != 0) {
      if (L.ver2) {
        appendf(msg.details, "  Finger #%d PN: %u, Position: %d (%.3f chips), Sector: %u, Ec/Io: %.1f dB,", number,
                unsigned{finger_pn}, signed_position, signed_position * kChipsPerEighth, unsigned{sector}, ecio);
      } else {
        appendf(msg.details, "  Finger #%d PN: %u, Position (1/8 chip): %u, Sector: %u, Ec/Io: %.1f dB,", number,
                unsigned{finger_pn}, finger_position, unsigned{sector}, ecio);
      }
      frame.AppendLikelyCell(ds, msg, cells, finger_pn);
      msg.details += "\n";
    } else if (L.ver2) {
      appendf(msg.details, "  Finger #%d PN: N/A, Position: %d (%.3f chips), Ec/Io: Not locked,\n", number,
              signed_position, signed_position * kChipsPerEighth);
    } else {
      // The position, as the label says (the temporal analyzer shows the sector there).
      appendf(msg.details, "  Finger #%d PN: N/A, Position (1/8 chip): %u, Ec/Io: Not locked,\n", number,
              finger_position);
    }
  }

  const cdmadiag::CombinedFingers combined = cdmadiag::CombineFingers(fingers);
  if (L.ver2) {
    const auto increment = cdmadiag::held_integer(cdmadiag::AttrReader(ds).latest(ATTR_ID_PN_INC));
    for (const cdmadiag::FingerPilotEnergy& pilot : combined.pilots) {
      const std::uint32_t at = round_to_increment(static_cast<std::uint32_t>(pilot.phase / kChipsPerPn), increment);
      always.Double(ATTR_ID_PN_ECIO_SET, 10.0 * std::log10(pilot.linear), at);
      always.Long(ATTR_ID_PN_ECIO_SET_STATUS, cdmadiag::kPilotStatusFinger, at);
    }
  } else {
    for (const cdmadiag::FingerPilotEnergy& pilot : combined.pilots) {
      frame.RecordPilotEcIo(ds, pilot.phase, 10.0 * std::log10(pilot.linear), cdmadiag::kPilotStatusFinger,
                            frame.accessor());
    }
  }
  cdmadiag::WriteFingerSummary(w, fingers, combined.total, L.ver2 ? 0 : kBestPilots);

  if (msg.detailsWanted) {
    std::string& d = msg.details;
    // Up to and including this packet: what it wrote, or what is stored when read-only.
    const OrbRetVal locked = cdmadiag::AttrReader(ds).before(ATTR_ID_NUM_LOCKED_PILOTS, frame.GetMessageNumber() + 1);
    if (locked.present()) appendf(d, "  Number of pilots: %u\n", unsigned{count_u8(locked)});
    appendf(d, "%s Pilot PN: %u, %s NotRefPilot: %u,", sets.set_name.c_str(), unsigned{pn}, sets.also.c_str(),
            not_ref_pilot);
    frame.AppendLikelyCell(ds, msg, cells, pn);
    d += "\n";
    const int max_position = present != 0 ? int{position[largest_index]} : 0;
    if (largest != 0) {
      appendf(d, "  Max Energy: Ec/Io %.1f dB, Position (1/8 chip) %d, Position Index %d,\n", ecio_max, max_position,
              static_cast<int>(largest_index));
    } else {
      appendf(d, "  Max Energy: Ec/Io N/A, Position (1/8 chip) %d, Position Index %d,\n", max_position,
              static_cast<int>(largest_index));
    }
    if (L.ver2) {
      appendf(d, "  Search Window: End Position (1/8 chip) %d, Size (1/8 chip) %u\n", static_cast<int>(window_position),
              unsigned{window_size});
    } else {
      appendf(d, "  Search Window: End Position (1/8 chip) %u, Size (1/8 chip) %u\n", raw_position,
              unsigned{window_size});
    }
  }
  always.DWord(ATTR_ID_CULL_FINGER_SEARCHER_MESSAGE, kCullPilotReport);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSearcherNFingerInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search* cells) {
  SearcherInfoParts::decode(*this, kInfo, ds, msg, cells, Begin(msg, &F::DecodeSearcherNFingerInfo));
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSearcherNFingerInfoVer2(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                   IDekCellRefs_Search* cells) {
  SearcherInfoParts::decode(*this, kInfoVer2, ds, msg, cells, Begin(msg, &F::DecodeSearcherNFingerInfoVer2));
}

namespace {

// Enhanced finger information, 0x1179 (fixed part 24 bytes):
//  +off  type     name             unit
//   +0   u8       SearchState      format group "CDMA Searcher State"
//   +1   u16      Channel
//   +3   u8       BandClass        format group "CDMA Paging Band Class"; 0 and 1 give the RSSI scale
//   +4   u8       AntennaConfig    0 RX0, 1 RX1, 2 DIV (the finger table shows both antennas)
//   +5   u8       DivCombining     0 MMSE, 1 SPW
//   +6   u8       Rx0Agc           dBm = raw / 3 - 63.248
//   +7   u8       Rx1Agc           dBm = raw / 3 - 63.248
//   +8   u8       RadioConfigs1    bits 0-3 forward FCH, 4-7 forward SCH0; 0 not in use
//   +9   u8       RadioConfigs2    bits 0-3 forward SCH1, 4-7 forward DCCH
//  +10   u32      ChannelMask      bit 0 FCH, 1 SCH0, 2 SCH1, 3 DCCH active; bits 4-6
//                                  supplemental code channels; the rest unread
//  +14   i16      UlReal           correlation coefficients, raw
//  +16   i16      UrReal
//  +18   i16      UrImg
//  +20   i16      LrReal
//  +22   u8       unread
//  +23   u8       Fingers
//  +24   Fingers x 17:
//         +0  u16  Pn              0xFFFF: none
//         +2  u8   Sector          0xFF: none
//         +3  u16  Rssi            combined, 0: finger not used
//         +5  u16  Rx0Rssi
//         +7  u16  Rx1Rssi
//         +9  u32  Position        1/8 chip
//        +13  u32  StatusMask
[[maybe_unused]] constexpr std::size_t kEfHeaderSize = 24;
constexpr std::size_t kEfFingerSize = 17;
constexpr std::uint16_t kNoPn = 0xFFFF;
constexpr std::uint8_t kNoSector = 0xFF;
constexpr std::uint8_t kDualAntenna = 2;
// Distinct pilots whose strengths are kept; later ones are left out.
constexpr std::size_t kMaxPilots = 16;
constexpr std::uint32_t kCullEnhancedFinger = 0x1179;

constexpr double kRxAgcBaseDbm = -63.248;
// linear = RSSI / 73728 - 1 / (g x 128 - 64), g 8.0 on band class 0 and 4.0 on 1.
constexpr double kRssiScale = 1.3563368055555555e-05;
constexpr double kLinearFloor = 0.00001;

constexpr std::array<ValueName, 3> kAntennaConfigs = {{{0, "RX0"}, {1, "RX1"}, {2, "DIV"}}};
constexpr std::array<ValueName, 2> kCombiningAlgorithms = {{{0, "MMSE"}, {1, "SPW"}}};
constexpr const char* kReserved = "Reserved";

struct PilotEnergy {
  std::uint16_t pn;
  double linear;
};

struct EnhancedFinger {
  std::uint16_t pn;
  std::uint8_t sector;
  std::uint16_t rssi, rx0_rssi, rx1_rssi;
  std::uint32_t position, status;
};
EnhancedFinger read_enhanced_finger(Cursor c) {
  EnhancedFinger f{};
  f.pn = c.u16le();
  f.sector = c.u8();
  f.rssi = c.u16le();
  f.rx0_rssi = c.u16le();
  f.rx1_rssi = c.u16le();
  f.position = c.u32le();
  f.status = c.u32le();
  return f;
}

void append_rc(std::string& d, const char* label, std::uint32_t rc, const char* end) {
  if (rc != 0) {
    appendf(d, "%s: %d%s", label, static_cast<int>(rc), end);
  } else {
    appendf(d, "%s: Not In Use%s", label, end);
  }
}

const char* active_text(std::uint32_t mask, unsigned bit) { return (mask >> bit) & 1u ? "active" : "not active"; }

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeEnhancedFingerInfor(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  const AttrWriter always(ds, AttrWriter::kAlways);
  always.DWord(ATTR_ID_CULL_FINGER_MESSAGE, kCullEnhancedFinger);
  const auto job = Begin(msg, &F::DecodeEnhancedFingerInfor);
  Cursor c(payload());
  const std::uint8_t search_state = c.u8();
  const std::uint16_t channel = c.u16le();
  const std::uint8_t band_class = c.u8();
  const std::uint8_t antenna = c.u8();
  const std::uint8_t combining = c.u8();
  const std::uint8_t rx0_agc = c.u8();
  const std::uint8_t rx1_agc = c.u8();
  const std::uint8_t radio_configs1 = c.u8();
  const std::uint8_t radio_configs2 = c.u8();
  const std::uint32_t channel_mask = c.u32le();
  std::array<std::int16_t, 4> correlation{};  // UL real, UR real, UR imaginary, LR real
  for (std::int16_t& v : correlation) v = c.i16le();
  c.skip(1);
  const std::uint8_t finger_count = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kEfHeaderSize);
  // Fingers the packet holds, of those announced; the text reads them again.
  const std::size_t fingers_present = c.whole_records(kEfFingerSize, finger_count);
  const Cursor first_finger = c;
  // Only band classes 0 and 1 have an RSSI scale; elsewhere no Ec/Io is computed.
  const double g = band_class == 0 ? 8.0 : band_class == 1 ? 4.0 : 0.0;

  const AttrWriter w(ds);
  if (w.on()) {
    w.Int(ATTR_ID_For_FCH_Is_Active, static_cast<std::int32_t>(channel_mask & 1u));
    std::vector<cdmadiag::FingerStrength> fingers;
    std::vector<PilotEnergy> pilots;
    float total = 0.0f;
    for (std::size_t i = 0; i < fingers_present; ++i) {
      const EnhancedFinger finger = read_enhanced_finger(c.record(kEfFingerSize));
      const std::uint16_t rssi = finger.rssi;
      if (rssi == 0) continue;
      const std::uint16_t pn = finger.pn;
      const std::uint8_t sector = finger.sector;
      const auto index = static_cast<std::uint32_t>(i);
      if (pn != kNoPn) {
        w.UShort(ATTR_ID_PILOT_PN, pn, index);
      } else {
        w.NoValue(ATTR_ID_PILOT_PN);
      }
      if (sector != kNoSector) {
        w.Byte(ATTR_ID_PILOT_LOW16BITS, sector, index);
      } else {
        w.NoValue(ATTR_ID_PILOT_LOW16BITS);
      }
      const double linear = g != 0.0 ? rssi * kRssiScale - 1.0 / (g * 128.0 - 64.0) : 0.0;
      // Without a positive strength there is no Ec/Io: such a finger is neither ranked
      // nor summed (a log10 of it would be nan or -inf).
      if (!(linear > kLinearFloor)) continue;
      const double ecio = 10.0 * std::log10(linear);
      w.Double(ATTR_ID_PILOT_EcIo, ecio, index);
      fingers.push_back({pn, rssi, ecio});
      total = static_cast<float>(double{total} + linear);
      // A finger without a pilot has no PN to file its strength under.
      if (!CDMACommonUtils::IsPNValid(pn)) continue;
      const auto same = std::ranges::find(pilots, pn, &PilotEnergy::pn);
      if (same != pilots.end()) {
        same->linear += linear;
      } else if (pilots.size() < kMaxPilots) {
        pilots.push_back({pn, linear});
      }
    }
    const auto increment = cdmadiag::held_integer(cdmadiag::AttrReader(ds).latest(ATTR_ID_PN_INC));
    for (const PilotEnergy& p : pilots) {
      const std::uint32_t at = round_to_increment(p.pn, increment);
      w.Double(ATTR_ID_PN_ECIO_SET, 10.0 * std::log10(p.linear), at);
      w.Long(ATTR_ID_PN_ECIO_SET_STATUS, cdmadiag::kPilotStatusFinger, at);
    }
    cdmadiag::WriteFingerSummary(w, fingers, total, 0);
  }

  if (!msg.detailsWanted) return;
  std::string& d = msg.details;
  appendf(d,
          "Search state: %s\nChannel number: %d\nBand class: %s\nAntenna configuration: %s\nDiversity combining "
          "algorithm: %s\nRX0_AGC: %.2f, RX1_AGC: %.2f\nForward channels radio configurations:\n - ",
          group_text(kSearcherStateGroup, search_state).c_str(), int{channel},
          group_text(kBandClassGroup, band_class).c_str(), cdmadiag::name_or(kAntennaConfigs, antenna, kReserved),
          cdmadiag::name_or(kCombiningAlgorithms, combining, kReserved), rx0_agc / 3.0 + kRxAgcBaseDbm,
          rx1_agc / 3.0 + kRxAgcBaseDbm);
  const cdmadiag::RadioConfigs rc = cdmadiag::RadioConfigsOfNibbles(radio_configs1, radio_configs2);
  append_rc(d, "FCH", rc[0], ",");
  append_rc(d, " SCH0", rc[1], ",");
  append_rc(d, " SCH1", rc[2], ",");
  append_rc(d, " DCCH", rc[3], "");
  d += "\nDedicated forward channel set mask";
  appendf(d, "\n - FCH: %s, SCH0: %s, SCH1: %s, DCCH: %s\nNum Active Supplemental Code Channels: %d",
          active_text(channel_mask, 0), active_text(channel_mask, 1), active_text(channel_mask, 2),
          active_text(channel_mask, 3), static_cast<int>(cdmadiag::bits(channel_mask, 4, 3)));
  d += "\nCorrelation coefficients";
  appendf(d, "\n - UL_REAL: %d, UR_REAL: %d, UR_IMG: %d, LR_REAL: %d", int{correlation[0]}, int{correlation[1]},
          int{correlation[2]}, int{correlation[3]});

  const bool both = antenna == kDualAntenna;
  d += both ? "\nPilot\tSector\tRSSI\tRX0\tRX1\tPosition\t\tStatus\nPN\t\t\tRSSI\tRSSI\t(1/8chip)\tmask"
            : "\nPilot\tSector\tRSSI\tPosition\t\tStatus\nPN\t\t\t(1/8chip)\tmask";
  bool any = false;
  c = first_finger;
  for (std::size_t i = 0; i < fingers_present; ++i) {
    const EnhancedFinger finger = read_enhanced_finger(c.record(kEfFingerSize));
    const std::uint16_t rssi = finger.rssi;
    if (rssi == 0) continue;
    any = true;
    const auto position = static_cast<int>(finger.position);
    const unsigned status = finger.status;
    d += "\n";
    d += finger.pn != kNoPn ? std::to_string(finger.pn) : "n/a";
    d += "\t";
    d += finger.sector != kNoSector ? std::to_string(finger.sector) : "n/a";
    if (both) {
      appendf(d, "\t%d\t%d\t%d\t%d\t\t0x%X", int{rssi}, int{finger.rx0_rssi}, int{finger.rx1_rssi}, position, status);
    } else {
      appendf(d, "\t%d\t%d\t\t0x%X", int{rssi}, position, status);
    }
  }
  if (!any) d += "\nn/a";
}
