// Next-generation searcher reports (0x119A-0x11A2): one container of typed subpackets
// (RF, active set, fingers, searcher results, sleep, QPCH, AFC, demodulation) behind
// nine thin reports that differ only in title and cull flag.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "cdma1x/pilot_routines.h"
#include "cdma1x/searcher4.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/dispatch_tables.h"
#include "framework/failure_texts.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/cdma_utils.h"
#include "host/format_groups.h"

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::group_text;
using cdmadiag::PayloadReader;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// Container:
//  +off  type  name             unit
//   +0   u8    version
//   +1   u8    subpacket count
//   +2   u8[2] not read
//   +4   subpackets, each opening with the header below; the next starts size bytes on
[[maybe_unused]] constexpr std::size_t kContainerFixed = 2;
constexpr std::size_t kContainerReserved = 2;

// Subpacket header:
//   +0   u8    id
//   +1   u8    not read (subpacket version)
//   +2   u16   size             bytes, header included
constexpr std::size_t kSubHeaderSize = 4;

enum SubpacketId : std::uint8_t {
  kUnknown = 0,
  kSearcherStatus = 1,
  kRf = 2,
  kActiveInfo = 3,
  kFingerInfo = 4,
  kFilteredPilotSymbol = 5,
  kSearcher1 = 6,
  kSearcher4 = 7,
  kSleepStats = 8,
  kQpch = 9,
  kAfc = 10,
  kTrafficDemodStatus = 11,
  kChannelEstimator = 12,
  kAcquisitionInfo = 13,
  kIdleDemodStats = 18,
};

constexpr const char* kSearcherStateGroup = "CDMA Searcher State";
constexpr const char* kBandClassGroup = "CDMA Paging Band Class";
constexpr const char* kAntennaConfigGroup = "CDMA Antenna Config";

// Searcher Status subpacket:
//   +4   u8    searcher state   format group "CDMA Searcher State"
//   +5   u8    not read
//   +6   u16   forward RC
constexpr std::size_t kStatusSize = 8;

// RF subpacket:
//   +4   u8    band class RX0   0xFF: chain not in use
//   +5   u8    band class RX1   0xFF: chain not in use
//   +6   u16   channel RX0
//   +8   u16   channel RX1
//  +10   s8    AGC RX0          dBm = raw / 3 - 63.248
//  +11   s8    AGC RX1          dBm = raw / 3 - 63.248
//  +12   s16   TX power         0.1 dBm
//  +14   u8    TX gain adjust   -0.5 dB
//  +15   u8    TX power limit   dBm = raw / 3 - 52.33
constexpr std::size_t kRfSize = 16;
constexpr std::uint8_t kChainNotInUse = 0xFF;

// Active Info subpacket:
//   +4   u8    active pilots N
//   +5   u8    not read
//   +6   u16   reference PN
//   +8   N x u16  active pilot PNs, shown while whole
constexpr std::size_t kActiveFixed = 8;

// Finger Info subpacket:
//   +4   u16   pilot filter gain   1/65536; subtracted from the linear finger RSSI
//   +6   u8    antenna config      format group "CDMA Antenna Config"
//   +7   u8    fingers F
//   +8   u32   forward channels    bit 0 FCH active
//  +12   F fingers of 16 bytes, read while whole:
//        +0  u16  PN
//        +2  u8   sector
//        +3  u8   status           bit 0 enabled, 1 reference, 2 assigned, 3 locked,
//                                  4 locked on RX0, 5 locked on RX1
//        +4  u16  RSSI             combined; linear = raw / 73728 - gain
//        +6  u16  RSSI RX0
//        +8  u16  RSSI RX1
//       +10  s32  position         1/8 chip
//       +14  u8   TD mode          DispTDMode
//       +15  u8   TD power         DispTDPower
constexpr std::size_t kFingerFixed = 12;
constexpr std::size_t kFingerSize = 16;
constexpr double kFingerGainUnit = 1.0 / 65536.0;

// Searcher1 subpacket:
//   +4   u8    peaks
//   +5   u8    pilot record type   0 common, else transmit diversity
//   +6   u8    non-coherent length K
//   +7   u8    pregain             shown only
//   +8   u16   coherent length L   chips
//  +10   u16   pilot PN
//  +12   u8    set mask            bits 0-4; 1 Active, 2 Candidate, 4 Neighbor, 8 Remaining
//  +13   u8[3] not read
//  +16   u16   window position
//  +18   u16   window size
//  +20   peaks x (u16 position 1/2 chip, u16 energy), read while whole
constexpr std::size_t kS1Fixed = 20;
constexpr std::size_t kS1Reserved = 3;
constexpr std::size_t kS1PeakSize = 4;
constexpr double kS1ChipsPerPosition = 0.5;

// Searcher4 subpacket:
//   +4   u8    technology, peaks   bits 5-7 technology, bits 0-3 peaks of every task
//   +5   u8    queue               bits 0-3
//   +6   u8    task count
//   +7   u8    priority
//   +8   s16   frequency offset    4.6875 Hz
//  +10   tasks, each a 12-byte header and its peaks (cdma1x/searcher4.h):
//        +0  u16  task word        bits 7-15 pilot PN, 5-6 antenna, 3-4 burst length,
//                                  1-2 QOF index, 0 Walsh index
//        +2  u8   non-coherent length K
//        +3  u8   set mask         as Searcher1
//        +4  u16  coherent word    bits 13-15 truncation (0 = 8), 0-12 length L
//        +6  u16  pilot phase
//        +8  u16  window start
//       +10  u16  window size
//       +12  peaks x 6 bytes
constexpr std::size_t kS4Fixed = 10;
constexpr std::size_t kS4TaskHeader = 12;

// AFC subpacket: +4 u16 CDMA channel, the rest shown as bytes.
constexpr std::size_t kAfcFixed = 6;

constexpr double kAgcOffsetDbm = 63.248;
constexpr double kTxLimitOffsetDbm = 52.33;
constexpr double kLinearFloor = 1e-5;
constexpr std::size_t kSetPeaks = 3;
// A peak Set_Searcher_Attributes must clear: below any threshold, never written.
constexpr double kNoPeak = std::numeric_limits<double>::lowest();

struct PeakSet {
  std::array<double, kSetPeaks> ecio{kNoPeak, kNoPeak, kNoPeak};
  std::array<double, kSetPeaks> delay{};
};

}  // namespace

// The subpacket decoders, one small function each, and the walk that hands every
// subpacket to its row. A friend of the frame: the decoders use its conversions and
// pilot routines.
struct GeneralizedSearcherParts {
  // What a subpacket decoder works with; text is null when details are not wanted.
  struct Context {
    F& frame;
    IOrbDataState* ds;
    const AttrWriter& w;
    std::string* text;
  };
  // sub: the whole subpacket, header included, at least its row's fixed part long.
  using Decode = void (*)(const Context& x, const PayloadReader& sub);

  static void status(const Context& x, const PayloadReader& sub);
  static void rf(const Context& x, const PayloadReader& sub);
  static void active_info(const Context& x, const PayloadReader& sub);
  static void finger_info(const Context& x, const PayloadReader& sub);
  static void searcher1(const Context& x, const PayloadReader& sub);
  static void searcher4(const Context& x, const PayloadReader& sub);
  static void afc(const Context& x, const PayloadReader& sub);
  static void bytes(const Context& x, const PayloadReader& sub);

  static void walk(F& frame, IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job);
  static void report(F& frame, IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells, F::Member self,
                     const std::uint32_t* cull, std::uint32_t cull_value);
};

namespace {

using GS = GeneralizedSearcherParts;

// One row per subpacket id: its heading, the bytes its decoder needs (a shorter one
// shows the failure text instead), and its decoder (none: the heading alone).
struct SubpacketRow {
  std::uint8_t id;
  const char* heading;
  std::size_t fixed;
  GS::Decode decode;
};
constexpr SubpacketRow kSubpackets[] = {
    {kUnknown, "\n\n<Unknown Subpacket>", 0, nullptr},
    {kSearcherStatus, "\n\n<Searcher Status Subpacket>", kStatusSize, &GS::status},
    {kRf, "\n\n<RF Subpacket>", kRfSize, &GS::rf},
    {kActiveInfo, "\n\n<Active Info Subpacket>", kActiveFixed, &GS::active_info},
    {kFingerInfo, "\n\n<Finger Info Subpacket>", kFingerFixed, &GS::finger_info},
    {kFilteredPilotSymbol, "\n\n<Filtered Pilot Symbol Subpacket>", 0, &GS::bytes},
    {kSearcher1, "\n\n<Searcher1 Subpacket>", kS1Fixed, &GS::searcher1},
    {kSearcher4, "\n\n<Searcher4 Subpacket>", kS4Fixed, &GS::searcher4},
    {kSleepStats, "\n\n<Sleep Stats Subpacket>", 0, &GS::bytes},
    {kQpch, "\n\n<QPCH Subpacket>", 0, &GS::bytes},
    {kAfc, "\n\n<AFC Subpacket>", kAfcFixed, &GS::afc},
    {kTrafficDemodStatus, "\n\n<Traffic Demod Status Subpacket>", 0, &GS::bytes},
    {kChannelEstimator, "\n\n<Channel Estimator Subpacket>", 0, &GS::bytes},
    {kAcquisitionInfo, "\n\n<Acquisition Info Subpacket>", 0, &GS::bytes},
    {kIdleDemodStats, "\n\n<Idle Demod Stats Subpacket>", 0, &GS::bytes},
};

}  // namespace

void GS::status(const Context& x, const PayloadReader& sub) {
  if (x.text == nullptr) return;
  Cursor c(sub, kSubHeaderSize);
  const std::uint8_t state = c.u8();
  c.skip(1);
  const std::uint16_t forward_rc = c.u16le();
  appendf(*x.text, "\nSearcher state: %s (%d), Forward RC: 0x%02x", group_text(kSearcherStateGroup, state).c_str(),
          int{state}, unsigned{forward_rc});
}

void GS::rf(const Context& x, const PayloadReader& sub) {
  Cursor c(sub, kSubHeaderSize);
  std::array<std::uint8_t, 2> band{};
  std::array<std::uint16_t, 2> channel{};
  std::array<double, 2> agc{};
  for (std::uint8_t& b : band) b = c.u8();
  for (std::uint16_t& ch : channel) ch = c.u16le();
  for (double& a : agc) a = c.i8() / 3.0 - kAgcOffsetDbm;
  const double tx_power = c.i16le() * 0.1;
  const double gain_adjust = c.u8() * -0.5;
  const double tx_limit = c.u8() / 3.0 - kTxLimitOffsetDbm;
  if (const AttrWriter& w = x.w; w.on()) {
    const bool rx0 = band[0] != kChainNotInUse;
    const bool rx1 = band[1] != kChainNotInUse;
    if (rx0 || rx1) {
      const std::size_t a = rx0 ? 0 : 1;
      w.Byte(ATTR_ID_Band_Class, band[a]);
      w.UShort(ATTR_ID_CUR_CHANNEL, channel[a]);
      w.Double(ATTR_ID_CDMA_MOBILE_RX_POWER, agc[a]);
    }
    for (std::size_t a = 0; a < 2; ++a) {
      if (band[a] != kChainNotInUse) w.Double(ATTR_ID_CDMA_MOBILE_RX_POWER_ANT, agc[a], static_cast<std::uint32_t>(a));
    }
    w.Double(ATTR_ID_CDMA_PWR_CTRL_VAL, gain_adjust);
    w.Double(ATTR_ID_CDMA_MOBILE_TX_POWER, tx_power);
  }
  if (x.text == nullptr) return;
  std::string& d = *x.text;
  for (std::size_t a = 0; a < 2; ++a) {
    if (band[a] == kChainNotInUse) continue;
    appendf(d, "\nRX%d - Band Class: %s, CDMA Channel: %d, AGC: %.2fdBm", static_cast<int>(a),
            group_text(kBandClassGroup, band[a]).c_str(), int{channel[a]}, agc[a]);
  }
  appendf(d, "\nTx Power: %.1fdBm, Tx Power Limit: %.2fdBm", tx_power, tx_limit);
  appendf(d, ", Tx Gain Adj: %.1fdB", gain_adjust);
}

void GS::active_info(const Context& x, const PayloadReader& sub) {
  Cursor c(sub, kSubHeaderSize);
  const std::uint8_t n = c.u8();
  c.skip(1);
  const std::uint16_t reference = c.u16le();
  x.w.Byte(ATTR_ID_NUM_ACTIVE_PILOTS, n);
  x.w.UShort(ATTR_ID_PN_REFERENCE, reference);
  if (x.text == nullptr) return;
  appendf(*x.text, "\nNum Active Pilots: %d, Reference PN: %d", int{n}, int{reference});
  const std::size_t held = c.whole_records(2, n);
  for (std::size_t i = 0; i < held; ++i) {
    const std::uint16_t pn = c.u16le();
    appendf(*x.text, "\nActive Pilot %d PN: %d", static_cast<int>(i), int{pn});
  }
}

void GS::finger_info(const Context& x, const PayloadReader& sub) {
  const AttrWriter& w = x.w;
  F& frame = x.frame;
  Cursor c(sub, kSubHeaderSize);
  const double gain = c.u16le() * kFingerGainUnit;
  const std::uint8_t antenna = c.u8();
  const unsigned fingers = c.u8();
  const std::uint32_t channels = c.u32le();
  w.Long(ATTR_ID_For_FCH_Is_Active, static_cast<std::int32_t>(channels & 1u));
  if (x.text != nullptr) {
    appendf(*x.text, "\nPilot Filter Gain: %.5f, Antenna Config: %s, Num Fingers: %d", gain,
            group_text(kAntennaConfigGroup, antenna).c_str(), static_cast<int>(fingers));
    *x.text += "\n=>\nPilot\tEcIo\tRx0\tRx1  \tPos\tEnbl\tStatus\tRef\tAsg\tLck\tLck0\tLck1\tTD\tTD";
  }
  std::vector<cdmadiag::FingerStrength> strengths;
  // Locked fingers on the same PN combine into one per-PN strength.
  std::vector<std::pair<std::uint16_t, double>> per_pn;
  std::array<double, 2> antenna_total{};
  float total = 0.0f;
  bool reference_written = false;
  const std::size_t held = c.whole_records(kFingerSize, fingers);
  for (std::size_t i = 0; i < held; ++i) {
    Cursor f = c.record(kFingerSize);
    const std::uint16_t pn = f.u16le();
    const std::uint8_t sector = f.u8();
    const std::uint8_t status = f.u8();
    const std::uint16_t rssi = f.u16le();
    const std::uint16_t rssi0 = f.u16le();
    const std::uint16_t rssi1 = f.u16le();
    const std::int32_t position = f.i32le();
    const std::uint8_t td_mode = f.u8();
    const std::uint8_t td_power = f.u8();
    const double linear = frame.PilotRSSI2dBwithGpf(rssi, gain);
    const double rx0 = frame.PilotRSSI2dBwithGpf(rssi0, gain);
    const double rx1 = frame.PilotRSSI2dBwithGpf(rssi1, gain);
    const bool locked = (status & 0x08) != 0;
    const auto index = static_cast<std::uint32_t>(i);
    const double ecio = 10.0 * std::log10(linear);
    if (locked) {
      if (CDMACommonUtils::IsPNValid(pn)) {
        w.UShort(ATTR_ID_PILOT_PN, pn, index);
      } else {
        w.NoValue(ATTR_ID_PILOT_PN);
      }
      w.Double(ATTR_ID_PILOT_EcIo, ecio, index);
      w.UShort(ATTR_ID_PILOT_LOW16BITS, sector, index);
      total = static_cast<float>(double{total} + linear);
      const auto same = std::ranges::find_if(per_pn, [pn](const auto& e) { return e.first == pn; });
      if (same != per_pn.end()) {
        same->second += linear;
      } else {
        per_pn.emplace_back(pn, linear);
      }
      if ((status & 0x10) != 0) antenna_total[0] += rx0;
      if ((status & 0x20) != 0) antenna_total[1] += rx1;
    }
    if ((status & 0x02) != 0 && !reference_written) {
      w.UShort(ATTR_ID_PN_REFERENCE, pn);
      reference_written = true;
    }
    // An unlocked finger has strength 0 for the counts and the ranking.
    strengths.push_back({pn, locked ? std::max<std::uint16_t>(rssi, 1) : std::uint16_t{0}, ecio});
    if (x.text != nullptr) {
      appendf(*x.text, "\n%s\t%s\t%s\t%s\t%d\t%s\t0x%02X\t%s\t%s\t%s\t%s\t%s\t%s\t%s", frame.DispPN(pn).c_str(),
              frame.DispEcIo_dB(linear).c_str(), frame.DispEcIo_dB(rx0).c_str(), frame.DispEcIo_dB(rx1).c_str(),
              static_cast<int>(position), frame.DispOnOff(status & 0x01), unsigned{status},
              frame.DispOnOff(status & 0x02), frame.DispOnOff(status & 0x04), frame.DispOnOff(status & 0x08),
              frame.DispOnOff(status & 0x10), frame.DispOnOff(status & 0x20), frame.DispTDMode(td_mode),
              frame.DispTDPower(td_power));
    }
  }
  if (!w.on()) return;
  for (std::size_t a = 0; a < antenna_total.size(); ++a) {
    if (antenna_total[a] > kLinearFloor) {
      w.Double(ATTR_ID_COMB_PILOT_EcIo_ANT, std::min(10.0 * std::log10(antenna_total[a]), 0.0),
               static_cast<std::uint32_t>(a));
    } else {
      w.NoValue(ATTR_ID_COMB_PILOT_EcIo_ANT, static_cast<std::uint32_t>(a));
    }
  }
  cdmadiag::WriteFingerSummary(w, strengths, total, 0);
  for (const auto& [pn, linear] : per_pn) {
    if (linear <= kLinearFloor || pn > 511) continue;
    w.Double(ATTR_ID_PN_ECIO_SET, 10.0 * std::log10(linear), pn);
    w.Long(ATTR_ID_PN_ECIO_SET_STATUS, cdmadiag::kPilotStatusFinger, pn);
  }
}

void GS::searcher1(const Context& x, const PayloadReader& sub) {
  Cursor c(sub, kSubHeaderSize);
  const unsigned peaks = c.u8();
  const std::uint8_t record_type = c.u8();
  const unsigned k = c.u8();
  const std::uint8_t pregain = c.u8();
  const unsigned l = c.u16le();
  const std::uint16_t pn = c.u16le();
  const auto mask = static_cast<std::uint16_t>(cdmadiag::bits(c.u8(), 0, 5));
  c.skip(kS1Reserved);
  const std::uint16_t window_position = c.u16le();
  const std::uint16_t window_size = c.u16le();
  if (x.text != nullptr) {
    appendf(*x.text,
            "\nPilot PN: %d, Pregain: %d, Set Membership Mask: %X, Pilot record type: %s\nNon_Coh_Len: %d, "
            "Cohenrent_Len: %d, Window position: %d, Window Size: %d",
            int{pn}, int{pregain}, unsigned{mask}, record_type == 0 ? "Common pilot" : "Transmit diversity pilot",
            static_cast<int>(k), static_cast<int>(l), int{window_position}, int{window_size});
  }
  // K or L of 0 would divide by zero: every peak then shows the floor and is cleared.
  const bool scalable = k != 0 && l != 0;
  const double scale = scalable ? 512.0 / (static_cast<double>(k) * l * l * 9.0) : 0.0;
  PeakSet set;
  const std::size_t held = c.whole_records(kS1PeakSize, peaks);
  for (std::size_t i = 0; i < held; ++i) {
    const std::uint16_t position = c.u16le();
    const std::uint16_t energy = c.u16le();
    double db = cdmadiag::kSearcher4FloorDb;
    if (scalable) {
      const double linear = energy * scale - 1.0 / l;
      if (linear > kLinearFloor) db = 10.0 * std::log10(linear);
    }
    if (i < kSetPeaks && scalable) {
      set.ecio[i] = db;
      set.delay[i] = position * kS1ChipsPerPosition;
    }
    if (x.text != nullptr) {
      appendf(*x.text, "\nPeak position: %.1f, Peak energy: %d (%.2fdBm)", position * kS1ChipsPerPosition, int{energy},
              db);
    }
  }
  if (x.w.on()) x.frame.Set_Searcher_Attributes(x.ds, mask, pn, set.ecio.data(), set.delay.data(), 0);
}

void GS::searcher4(const Context& x, const PayloadReader& sub) {
  Cursor c(sub, kSubHeaderSize);
  const std::uint8_t technology_peaks = c.u8();
  const std::uint8_t queue = c.u8();
  const std::uint8_t tasks = c.u8();
  const std::uint8_t priority = c.u8();
  const std::int16_t frequency_offset = c.i16le();
  const auto peaks = static_cast<unsigned>(cdmadiag::bits(technology_peaks, 0, 4));
  if (x.text != nullptr) {
    appendf(*x.text, "\nTechnology: %s, Queue: %s, Freq. offset (in 4.6875Hz): %d, Priority: %d",
            cdmadiag::Searcher4TechnologyName(static_cast<unsigned>(cdmadiag::bits(technology_peaks, 5, 3))),
            cdmadiag::Searcher4QueueName(static_cast<unsigned>(cdmadiag::bits(queue, 0, 4))), int{frequency_offset},
            int{priority});
  }
  int number = 0;
  cdmadiag::ForEachSearcher4Task(c, tasks, peaks, kS4TaskHeader, [&](const cdmadiag::Searcher4Task& t) {
    Cursor h = t.header;
    const auto word = cdmadiag::UnpackSearcher4TaskWord(h.u16le());
    const std::uint8_t non_coherent = h.u8();
    const std::uint8_t set_mask = h.u8();
    const auto coherent = cdmadiag::UnpackSearcher4Coherent(h.u16le());
    const std::uint16_t phase = h.u16le();
    const std::uint16_t window_start = h.u16le();
    const std::uint16_t window_size = h.u16le();
    if (x.text != nullptr) {
      appendf(*x.text,
              "\nTask %d:\nPilot PN: %d, Antenna: %s, 1xEVDO Burst Len.: %d, QOF Index: %d, Walsh Index: %d, "
              "Set Mask: %d\nNon_Coh_Len: %d, Coh_Trunc: %d, Cohenrent_Len: %d, Pilot Phase: %d, Window "
              "Start: %d, Window Size: %d",
              number, static_cast<int>(word.pilot), cdmadiag::Searcher4AntennaName(word.antenna),
              static_cast<int>(word.burst_length), static_cast<int>(word.qof), static_cast<int>(word.walsh),
              int{set_mask}, int{non_coherent}, static_cast<int>(coherent.truncation),
              static_cast<int>(coherent.length), int{phase}, int{window_start}, int{window_size});
      for (std::size_t i = 0; i < t.peaks.size(); ++i) {
        const cdmadiag::Searcher4Peak& p = t.peaks[i];
        appendf(*x.text, "\nPeak %d - Position: %.3f, Energy: %d (%.2fdBm)", static_cast<int>(i), p.position,
                int{p.energy}, p.db);
      }
    }
    ++number;
    if (!x.w.on()) return;
    // The three strongest peaks that have an energy in dB, strongest first.
    std::vector<cdmadiag::Searcher4Peak> strongest;
    for (const cdmadiag::Searcher4Peak& p : t.peaks) {
      if (p.computed) strongest.push_back(p);
    }
    std::ranges::stable_sort(strongest, std::ranges::greater{}, &cdmadiag::Searcher4Peak::energy);
    PeakSet set;
    for (std::size_t m = 0; m < std::min(strongest.size(), kSetPeaks); ++m) {
      set.ecio[m] = strongest[m].db;
      set.delay[m] = strongest[m].position;
    }
    x.frame.Set_Searcher_Attributes(x.ds, set_mask, static_cast<std::uint16_t>(word.pilot), set.ecio.data(),
                                    set.delay.data(), 0);
  });
}

void GS::afc(const Context& x, const PayloadReader& sub) {
  Cursor c(sub, kSubHeaderSize);
  x.w.UShort(ATTR_ID_CUR_CHANNEL, c.u16le());
  bytes(x, sub);
}

// The bytes after the header of a subpacket whose fields are not decoded.
void GS::bytes(const Context& x, const PayloadReader& sub) {
  if (x.text == nullptr) return;
  Cursor c(sub, kSubHeaderSize);
  appendf(*x.text, "\nData (%d bytes):", static_cast<int>(c.left()));
  while (c.left() > 0) appendf(*x.text, " %02X", unsigned{c.u8()});
}

void GS::walk(F& frame, IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  Cursor c(frame.payload());
  const std::uint8_t version = c.u8();
  const unsigned count = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kContainerFixed);
  c.skip(kContainerReserved);  // a container of two or three bytes holds no subpacket
  std::string* text = msg.detailsWanted ? &msg.details : nullptr;
  if (text != nullptr) appendf(*text, "\nVersion: %d, Number Sub-packets: %d", int{version}, static_cast<int>(count));
  const AttrWriter w(ds);
  const Context x{frame, ds, w, text};

  unsigned handled = 0;
  for (; handled < count && c.left() > 0; ++handled) {
    // A size of 0 would never advance, one below the header would overlap it, and one
    // past the payload would be read from beyond it: the walk stops at any of them.
    Cursor header = c;
    const std::uint8_t id = header.u8();
    header.skip(1);
    const std::size_t size = header.u16le();
    if (!header.ok() || size < kSubHeaderSize || size > c.left()) break;
    const PayloadReader sub = c.bytes(size);
    const auto row = std::ranges::find(kSubpackets, id, &SubpacketRow::id);
    if (row == std::end(kSubpackets)) continue;
    if (text != nullptr) *text += row->heading;
    if (row->decode == nullptr) continue;
    if (sub.size() < row->fixed) {
      job.fail(cdmadiag::kNotQualcommStandardLine);
      continue;
    }
    row->decode(x, sub);
  }
  // Fewer subpackets than announced: the rest were cut off or their sizes were unusable.
  if (handled < count) job.fail(cdmadiag::kNotQualcommStandardLine);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeGeneralizedSearcher(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  // The container fails as the report that carries it says (its code's row).
  const cdmadiag::LogRow* row = cdmadiag::find_log_row(GetMessageCode());
  const cdmadiag::Decoding job(msg, nullptr, row != nullptr ? row->policy : cdmadiag::report());
  GS::walk(*this, ds, msg, job);
}

namespace {

// Value of a cull attribute: the log code of the report.
constexpr std::uint32_t kFingerStatus = 0x119A;
constexpr std::uint32_t k1XSearcher = 0x119B;
constexpr std::uint32_t kGeneralStatus = 0x119C;
constexpr std::uint32_t kDemodInfo = 0x119D;
constexpr std::uint32_t kFingerChannelEstimate = 0x11A2;

}  // namespace

// The nine reports differ only in their title and in the cull flag some write first.
void GS::report(F& frame, IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells, F::Member self,
                const std::uint32_t* cull, std::uint32_t cull_value) {
  if (cull != nullptr) AttrWriter(ds, AttrWriter::kAlways).DWord(*cull, cull_value);
  frame.Begin(msg, self);
  frame.DecodeGeneralizedSearcher(ds, msg, cells);
}

void F::DecodeSrchTNGFingerStatus(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  GS::report(*this, ds, msg, cells, &F::DecodeSrchTNGFingerStatus, &ATTR_ID_CULL_FINGER_MESSAGE, kFingerStatus);
}

void F::DecodeSrchTNG1XSearcher(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  GS::report(*this, ds, msg, cells, &F::DecodeSrchTNG1XSearcher, &ATTR_ID_CULL_SEARCHER_MESSAGE, k1XSearcher);
}

void F::DecodeSrchTNGGeneralStatus(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  GS::report(*this, ds, msg, cells, &F::DecodeSrchTNGGeneralStatus, &ATTR_ID_CULL_FINGER_SEARCHER_MESSAGE,
             kGeneralStatus);
}

void F::DecodeSrchTNGDemodInfo(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  GS::report(*this, ds, msg, cells, &F::DecodeSrchTNGDemodInfo, &ATTR_ID_CULL_FINGER_MESSAGE, kDemodInfo);
}

void F::DecodeSrchTNGSleepStats(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  GS::report(*this, ds, msg, cells, &F::DecodeSrchTNGSleepStats, nullptr, 0);
}

void F::DecodeSrchTNGQuickPagingChannelInfo(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  GS::report(*this, ds, msg, cells, &F::DecodeSrchTNGQuickPagingChannelInfo, nullptr, 0);
}

void F::DecodeSrchTNGAFCInfo(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  GS::report(*this, ds, msg, cells, &F::DecodeSrchTNGAFCInfo, nullptr, 0);
}

void F::DecodeSrchTNGAcquisitionInfo(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  GS::report(*this, ds, msg, cells, &F::DecodeSrchTNGAcquisitionInfo, nullptr, 0);
}

void F::DecodeSrchTNGFingerChannelEstimate(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  GS::report(*this, ds, msg, cells, &F::DecodeSrchTNGFingerChannelEstimate, &ATTR_ID_CULL_FINGER_MESSAGE,
             kFingerChannelEstimate);
}
