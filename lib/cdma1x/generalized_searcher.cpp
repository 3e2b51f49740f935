// Next-generation searcher reports (0x119A-0x11A2): one container of typed subpackets
// (RF, active set, fingers, searcher results, sleep, QPCH, AFC, demodulation) behind
// nine thin reports that differ only in title and cull flag.
#include <algorithm>
#include <array>
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
using cdmadiag::PayloadReader;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// Container:
//  +off  type  name             unit
//   +0   u8    version
//   +1   u8    subpacket count
//   +2   u8[2] not read
//   +4   subpackets, each opening with the header below; the next starts size bytes on
constexpr std::size_t kVersion = 0;
constexpr std::size_t kSubpacketCount = 1;
constexpr std::size_t kContainerFixed = 2;
constexpr std::size_t kFirstSubpacket = 4;

// Subpacket header:
//   +0   u8    id
//   +1   u8    not read (subpacket version)
//   +2   u16   size             bytes, header included
constexpr std::size_t kSubId = 0;
constexpr std::size_t kSubSize = 2;
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

constexpr std::array<ValueName, 15> kHeadings = {{
    {kUnknown, "\n\n<Unknown Subpacket>"},
    {kSearcherStatus, "\n\n<Searcher Status Subpacket>"},
    {kRf, "\n\n<RF Subpacket>"},
    {kActiveInfo, "\n\n<Active Info Subpacket>"},
    {kFingerInfo, "\n\n<Finger Info Subpacket>"},
    {kFilteredPilotSymbol, "\n\n<Filtered Pilot Symbol Subpacket>"},
    {kSearcher1, "\n\n<Searcher1 Subpacket>"},
    {kSearcher4, "\n\n<Searcher4 Subpacket>"},
    {kSleepStats, "\n\n<Sleep Stats Subpacket>"},
    {kQpch, "\n\n<QPCH Subpacket>"},
    {kAfc, "\n\n<AFC Subpacket>"},
    {kTrafficDemodStatus, "\n\n<Traffic Demod Status Subpacket>"},
    {kChannelEstimator, "\n\n<Channel Estimator Subpacket>"},
    {kAcquisitionInfo, "\n\n<Acquisition Info Subpacket>"},
    {kIdleDemodStats, "\n\n<Idle Demod Stats Subpacket>"},
}};

constexpr const char* kSearcherStateGroup = "CDMA Searcher State";
constexpr const char* kBandClassGroup = "CDMA Paging Band Class";
constexpr const char* kAntennaConfigGroup = "CDMA Antenna Config";

// Searcher Status subpacket:
//   +4   u8    searcher state   format group "CDMA Searcher State"
//   +5   u8    not read
//   +6   u16   forward RC
constexpr std::size_t kStatusState = 4;
constexpr std::size_t kStatusForwardRc = 6;
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
constexpr std::size_t kRfBandClass = 4;
constexpr std::size_t kRfChannel = 6;
constexpr std::size_t kRfAgc = 10;
constexpr std::size_t kRfTxPower = 12;
constexpr std::size_t kRfTxGainAdjust = 14;
constexpr std::size_t kRfTxPowerLimit = 15;
constexpr std::size_t kRfSize = 16;
constexpr std::uint8_t kChainNotInUse = 0xFF;

// Active Info subpacket:
//   +4   u8    active pilots N
//   +5   u8    not read
//   +6   u16   reference PN
//   +8   N x u16  active pilot PNs, shown while whole
constexpr std::size_t kActiveCount = 4;
constexpr std::size_t kActiveReference = 6;
constexpr std::size_t kActivePilots = 8;
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
constexpr std::size_t kFingerGain = 4;
constexpr std::size_t kFingerAntenna = 6;
constexpr std::size_t kFingerCount = 7;
constexpr std::size_t kFingerChannels = 8;
constexpr std::size_t kFingers = 12;
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
constexpr std::size_t kS1Peaks = 4;
constexpr std::size_t kS1RecordType = 5;
constexpr std::size_t kS1NonCoherent = 6;
constexpr std::size_t kS1Pregain = 7;
constexpr std::size_t kS1Coherent = 8;
constexpr std::size_t kS1Pn = 10;
constexpr std::size_t kS1SetMask = 12;
constexpr std::size_t kS1WindowPosition = 16;
constexpr std::size_t kS1WindowSize = 18;
constexpr std::size_t kS1PeakList = 20;
constexpr std::size_t kS1Fixed = 20;
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
constexpr std::size_t kS4TechnologyPeaks = 4;
constexpr std::size_t kS4Queue = 5;
constexpr std::size_t kS4TaskCount = 6;
constexpr std::size_t kS4Priority = 7;
constexpr std::size_t kS4FrequencyOffset = 8;
constexpr std::size_t kS4Tasks = 10;
constexpr std::size_t kS4Fixed = 10;
constexpr std::size_t kS4TaskHeader = 12;
constexpr std::size_t kS4TaskNonCoherent = 2;
constexpr std::size_t kS4TaskSetMask = 3;
constexpr std::size_t kS4TaskCoherent = 4;
constexpr std::size_t kS4TaskPhase = 6;
constexpr std::size_t kS4TaskWindowStart = 8;
constexpr std::size_t kS4TaskWindowSize = 10;

// AFC subpacket: +4 u16 CDMA channel, the rest shown as bytes.
constexpr std::size_t kAfcChannel = 4;
constexpr std::size_t kAfcFixed = 6;

constexpr double kAgcOffsetDbm = 63.248;
constexpr double kTxLimitOffsetDbm = 52.33;
constexpr double kLinearFloor = 1e-5;
constexpr std::size_t kSetPeaks = 3;
// A peak Set_Searcher_Attributes must clear: below any threshold, never written.
constexpr double kNoPeak = std::numeric_limits<double>::lowest();

std::string group_text(const char* group, double value) {
  const COrbFormatGroupManager* groups = GetFormatGroupManager();
  std::string out;
  groups->fgFormatValue(out, groups->fgGetFormatGroupCode(group), value, 0, 0);
  return out;
}

void append_short(std::string& d) {
  d += "\n";
  d += cdmadiag::kNotQualcommStandard;
}

// The bytes after the header of a subpacket whose fields are not decoded.
void append_bytes(std::string& d, const PayloadReader& sub) {
  appendf(d, "\nData (%d bytes):", static_cast<int>(sub.size() - kSubHeaderSize));
  for (std::size_t i = kSubHeaderSize; i < sub.size(); ++i) appendf(d, " %02X", unsigned{sub.u8(i)});
}

struct PeakSet {
  std::array<double, kSetPeaks> ecio{kNoPeak, kNoPeak, kNoPeak};
  std::array<double, kSetPeaks> delay{};
};

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeGeneralizedSearcher(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search*) {
  // The container fails as the report that carries it says (its code's row).
  const cdmadiag::LogRow* row = cdmadiag::find_log_row(GetMessageCode());
  const cdmadiag::Decoding job(msg, nullptr, row != nullptr ? row->policy : cdmadiag::report());
  const PayloadReader r = payload();
  if (!job.require(r, kContainerFixed)) return;
  const unsigned count = r.u8(kSubpacketCount);
  const bool text = msg.detailsWanted;
  std::string& d = msg.details;
  if (text) appendf(d, "\nVersion: %d, Number Sub-packets: %d", int{r.u8(kVersion)}, static_cast<int>(count));
  const AttrWriter w(ds);

  std::size_t off = kFirstSubpacket;
  unsigned handled = 0;
  for (; handled < count && off < r.size(); ++handled) {
    // A size of 0 would never advance, one below the header would overlap it, and one
    // past the payload would be read from beyond it: the walk stops at any of them.
    if (!r.has(off, kSubHeaderSize)) break;
    const std::size_t size = r.u16le(off + kSubSize);
    if (size < kSubHeaderSize || !r.has(off, size)) break;
    const PayloadReader sub = r.sub(off, size);
    off += size;
    const std::uint8_t id = sub.u8(kSubId);
    const char* heading = cdmadiag::name_or(kHeadings, id, nullptr);
    if (heading == nullptr) continue;
    if (text) d += heading;

    switch (id) {
      case kSearcherStatus: {
        if (!sub.has(0, kStatusSize)) {
          if (text) append_short(d);
          break;
        }
        const std::uint8_t state = sub.u8(kStatusState);
        if (text) {
          appendf(d, "\nSearcher state: %s (%d), Forward RC: 0x%02x", group_text(kSearcherStateGroup, state).c_str(),
                  int{state}, unsigned{sub.u16le(kStatusForwardRc)});
        }
        break;
      }

      case kRf: {
        if (!sub.has(0, kRfSize)) {
          if (text) append_short(d);
          break;
        }
        std::array<std::uint8_t, 2> band{};
        std::array<std::uint16_t, 2> channel{};
        std::array<double, 2> agc{};
        for (std::size_t c = 0; c < 2; ++c) {
          band[c] = sub.u8(kRfBandClass + c);
          channel[c] = sub.u16le(kRfChannel + 2 * c);
          agc[c] = sub.i8(kRfAgc + c) / 3.0 - kAgcOffsetDbm;
        }
        const double tx_power = sub.i16le(kRfTxPower) * 0.1;
        const double gain_adjust = sub.u8(kRfTxGainAdjust) * -0.5;
        const double tx_limit = sub.u8(kRfTxPowerLimit) / 3.0 - kTxLimitOffsetDbm;
        if (w.on()) {
          const bool rx0 = band[0] != kChainNotInUse;
          const bool rx1 = band[1] != kChainNotInUse;
          if (rx0 || rx1) {
            const std::size_t c = rx0 ? 0 : 1;
            w.Byte(ATTR_ID_Band_Class, band[c]);
            w.UShort(ATTR_ID_CUR_CHANNEL, channel[c]);
            w.Double(ATTR_ID_CDMA_MOBILE_RX_POWER, agc[c]);
          }
          for (std::size_t c = 0; c < 2; ++c) {
            if (band[c] != kChainNotInUse)
              w.Double(ATTR_ID_CDMA_MOBILE_RX_POWER_ANT, agc[c], static_cast<std::uint32_t>(c));
          }
          w.Double(ATTR_ID_CDMA_PWR_CTRL_VAL, gain_adjust);
          w.Double(ATTR_ID_CDMA_MOBILE_TX_POWER, tx_power);
        }
        if (text) {
          if (band[0] != kChainNotInUse) {
            appendf(d, "\nRX0 - Band Class: %s, CDMA Channel: %d, AGC: %.2fdBm",
                    group_text(kBandClassGroup, band[0]).c_str(), int{channel[0]}, agc[0]);
          }
          if (band[1] != kChainNotInUse) {
            appendf(d, "\nRX1 - Band Class: %s, CDMA Channel: %d, AGC: %.2fdBm",
                    group_text(kBandClassGroup, band[1]).c_str(), int{channel[1]}, agc[1]);
          }
          appendf(d, "\nTx Power: %.1fdBm, Tx Power Limit: %.2fdBm", tx_power, tx_limit);
          appendf(d, ", Tx Gain Adj: %.1fdB", gain_adjust);
        }
        break;
      }

      case kActiveInfo: {
        if (!sub.has(0, kActiveFixed)) {
          if (text) append_short(d);
          break;
        }
        const std::uint8_t n = sub.u8(kActiveCount);
        const std::uint16_t reference = sub.u16le(kActiveReference);
        w.Byte(ATTR_ID_NUM_ACTIVE_PILOTS, n);
        w.UShort(ATTR_ID_PN_REFERENCE, reference);
        if (text) {
          appendf(d, "\nNum Active Pilots: %d, Reference PN: %d", int{n}, int{reference});
          for (std::size_t i = 0; i < n && sub.has(kActivePilots + 2 * i, 2); ++i) {
            appendf(d, "\nActive Pilot %d PN: %d", static_cast<int>(i), int{sub.u16le(kActivePilots + 2 * i)});
          }
        }
        break;
      }

      case kFingerInfo: {
        if (!sub.has(0, kFingerFixed)) {
          if (text) append_short(d);
          break;
        }
        const double gain = sub.u16le(kFingerGain) * kFingerGainUnit;
        const std::uint8_t antenna = sub.u8(kFingerAntenna);
        const unsigned fingers = sub.u8(kFingerCount);
        w.Long(ATTR_ID_For_FCH_Is_Active, static_cast<std::int32_t>(sub.u32le(kFingerChannels) & 1u));
        if (text) {
          appendf(d, "\nPilot Filter Gain: %.5f, Antenna Config: %s, Num Fingers: %d", gain,
                  group_text(kAntennaConfigGroup, antenna).c_str(), static_cast<int>(fingers));
          d += "\n=>\nPilot\tEcIo\tRx0\tRx1  \tPos\tEnbl\tStatus\tRef\tAsg\tLck\tLck0\tLck1\tTD\tTD";
        }
        std::vector<cdmadiag::FingerStrength> strengths;
        // Locked fingers on the same PN combine into one per-PN strength.
        std::vector<std::pair<std::uint16_t, double>> per_pn;
        std::array<double, 2> antenna_total{};
        float total = 0.0f;
        bool reference_written = false;
        for (std::size_t i = 0; i < fingers && sub.has(kFingers + kFingerSize * i, kFingerSize); ++i) {
          const std::size_t f = kFingers + kFingerSize * i;
          const std::uint16_t pn = sub.u16le(f);
          const std::uint8_t sector = sub.u8(f + 2);
          const std::uint8_t status = sub.u8(f + 3);
          const double linear = PilotRSSI2dBwithGpf(sub.u16le(f + 4), gain);
          const double rx0 = PilotRSSI2dBwithGpf(sub.u16le(f + 6), gain);
          const double rx1 = PilotRSSI2dBwithGpf(sub.u16le(f + 8), gain);
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
          strengths.push_back({pn, locked ? std::max<std::uint16_t>(sub.u16le(f + 4), 1) : std::uint16_t{0}, ecio});
          if (text) {
            appendf(d, "\n%s\t%s\t%s\t%s\t%d\t%s\t0x%02X\t%s\t%s\t%s\t%s\t%s\t%s\t%s", DispPN(pn).c_str(),
                    DispEcIo_dB(linear).c_str(), DispEcIo_dB(rx0).c_str(), DispEcIo_dB(rx1).c_str(),
                    static_cast<int>(sub.i32le(f + 10)), DispOnOff(status & 0x01), unsigned{status},
                    DispOnOff(status & 0x02), DispOnOff(status & 0x04), DispOnOff(status & 0x08),
                    DispOnOff(status & 0x10), DispOnOff(status & 0x20), DispTDMode(sub.u8(f + 14)),
                    DispTDPower(sub.u8(f + 15)));
          }
        }
        if (w.on()) {
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
        break;
      }

      case kSearcher1: {
        if (!sub.has(0, kS1Fixed)) {
          if (text) append_short(d);
          break;
        }
        const unsigned peaks = sub.u8(kS1Peaks);
        const unsigned k = sub.u8(kS1NonCoherent);
        const unsigned l = sub.u16le(kS1Coherent);
        const std::uint16_t pn = sub.u16le(kS1Pn);
        const auto mask = static_cast<std::uint16_t>(cdmadiag::bits(sub.u8(kS1SetMask), 0, 5));
        if (text) {
          appendf(d,
                  "\nPilot PN: %d, Pregain: %d, Set Membership Mask: %X, Pilot record type: %s\nNon_Coh_Len: %d, "
                  "Cohenrent_Len: %d, Window position: %d, Window Size: %d",
                  int{pn}, int{sub.u8(kS1Pregain)}, unsigned{mask},
                  sub.u8(kS1RecordType) == 0 ? "Common pilot" : "Transmit diversity pilot", static_cast<int>(k),
                  static_cast<int>(l), int{sub.u16le(kS1WindowPosition)}, int{sub.u16le(kS1WindowSize)});
        }
        // K or L of 0 would divide by zero: every peak then shows the floor and is cleared.
        const bool scalable = k != 0 && l != 0;
        const double scale = scalable ? 512.0 / (static_cast<double>(k) * l * l * 9.0) : 0.0;
        PeakSet set;
        for (std::size_t i = 0; i < peaks && sub.has(kS1PeakList + kS1PeakSize * i, kS1PeakSize); ++i) {
          const std::size_t p = kS1PeakList + kS1PeakSize * i;
          const std::uint16_t position = sub.u16le(p);
          const std::uint16_t energy = sub.u16le(p + 2);
          double db = cdmadiag::kSearcher4FloorDb;
          if (scalable) {
            const double linear = energy * scale - 1.0 / l;
            if (linear > kLinearFloor) db = 10.0 * std::log10(linear);
          }
          if (i < kSetPeaks && scalable) {
            set.ecio[i] = db;
            set.delay[i] = position * kS1ChipsPerPosition;
          }
          if (text) {
            appendf(d, "\nPeak position: %.1f, Peak energy: %d (%.2fdBm)", position * kS1ChipsPerPosition, int{energy},
                    db);
          }
        }
        if (w.on()) Set_Searcher_Attributes(ds, mask, pn, set.ecio.data(), set.delay.data(), 0);
        break;
      }

      case kSearcher4: {
        if (!sub.has(0, kS4Fixed)) {
          if (text) append_short(d);
          break;
        }
        const std::uint8_t first = sub.u8(kS4TechnologyPeaks);
        const auto peaks = static_cast<unsigned>(cdmadiag::bits(first, 0, 4));
        if (text) {
          appendf(d, "\nTechnology: %s, Queue: %s, Freq. offset (in 4.6875Hz): %d, Priority: %d",
                  cdmadiag::Searcher4TechnologyName(static_cast<unsigned>(cdmadiag::bits(first, 5, 3))),
                  cdmadiag::Searcher4QueueName(static_cast<unsigned>(cdmadiag::bits(sub.u8(kS4Queue), 0, 4))),
                  int{sub.i16le(kS4FrequencyOffset)}, int{sub.u8(kS4Priority)});
        }
        int number = 0;
        cdmadiag::ForEachSearcher4Task(
            sub, kS4Tasks, sub.u8(kS4TaskCount), peaks, kS4TaskHeader, [&](const cdmadiag::Searcher4Task& t) {
              const auto word = cdmadiag::UnpackSearcher4TaskWord(sub.u16le(t.offset));
              const auto coherent = cdmadiag::UnpackSearcher4Coherent(sub.u16le(t.offset + kS4TaskCoherent));
              const std::uint8_t set_mask = sub.u8(t.offset + kS4TaskSetMask);
              if (text) {
                appendf(d,
                        "\nTask %d:\nPilot PN: %d, Antenna: %s, 1xEVDO Burst Len.: %d, QOF Index: %d, Walsh Index: %d, "
                        "Set Mask: %d\nNon_Coh_Len: %d, Coh_Trunc: %d, Cohenrent_Len: %d, Pilot Phase: %d, Window "
                        "Start: %d, Window Size: %d",
                        number, static_cast<int>(word.pilot), cdmadiag::Searcher4AntennaName(word.antenna),
                        static_cast<int>(word.burst_length), static_cast<int>(word.qof), static_cast<int>(word.walsh),
                        int{set_mask}, int{sub.u8(t.offset + kS4TaskNonCoherent)},
                        static_cast<int>(coherent.truncation), static_cast<int>(coherent.length),
                        int{sub.u16le(t.offset + kS4TaskPhase)}, int{sub.u16le(t.offset + kS4TaskWindowStart)},
                        int{sub.u16le(t.offset + kS4TaskWindowSize)});
                for (std::size_t i = 0; i < t.peaks.size(); ++i) {
                  const cdmadiag::Searcher4Peak& p = t.peaks[i];
                  appendf(d, "\nPeak %d - Position: %.3f, Energy: %d (%.2fdBm)", static_cast<int>(i), p.position,
                          int{p.energy}, p.db);
                }
              }
              ++number;
              if (!w.on()) return;
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
              Set_Searcher_Attributes(ds, set_mask, static_cast<std::uint16_t>(word.pilot), set.ecio.data(),
                                      set.delay.data(), 0);
            });
        break;
      }

      case kAfc:
        if (!sub.has(0, kAfcFixed)) {
          if (text) append_short(d);
          break;
        }
        w.UShort(ATTR_ID_CUR_CHANNEL, sub.u16le(kAfcChannel));
        if (text) append_bytes(d, sub);
        break;

      case kUnknown: break;

      default:
        // The text-only subpackets: their fields are shown as bytes.
        if (text) append_bytes(d, sub);
        break;
    }
  }
  // Fewer subpackets than announced: the rest were cut off or their sizes were unusable.
  if (handled < count && text) append_short(d);
}

namespace {

// Value of a cull attribute: the log code of the report.
constexpr std::uint32_t kFingerStatus = 0x119A;
constexpr std::uint32_t k1XSearcher = 0x119B;
constexpr std::uint32_t kGeneralStatus = 0x119C;
constexpr std::uint32_t kDemodInfo = 0x119D;
constexpr std::uint32_t kFingerChannelEstimate = 0x11A2;

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeSrchTNGFingerStatus(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                               IDekCellRefs_Search* cells) {
  AttrWriter(ds, AttrWriter::kAlways).DWord(ATTR_ID_CULL_FINGER_MESSAGE, kFingerStatus);
  Begin(msg, &F::DecodeSrchTNGFingerStatus);
  DecodeGeneralizedSearcher(ds, msg, cells);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSrchTNG1XSearcher(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                             IDekCellRefs_Search* cells) {
  AttrWriter(ds, AttrWriter::kAlways).DWord(ATTR_ID_CULL_SEARCHER_MESSAGE, k1XSearcher);
  Begin(msg, &F::DecodeSrchTNG1XSearcher);
  DecodeGeneralizedSearcher(ds, msg, cells);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSrchTNGGeneralStatus(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search* cells) {
  AttrWriter(ds, AttrWriter::kAlways).DWord(ATTR_ID_CULL_FINGER_SEARCHER_MESSAGE, kGeneralStatus);
  Begin(msg, &F::DecodeSrchTNGGeneralStatus);
  DecodeGeneralizedSearcher(ds, msg, cells);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSrchTNGDemodInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                            IDekCellRefs_Search* cells) {
  AttrWriter(ds, AttrWriter::kAlways).DWord(ATTR_ID_CULL_FINGER_MESSAGE, kDemodInfo);
  Begin(msg, &F::DecodeSrchTNGDemodInfo);
  DecodeGeneralizedSearcher(ds, msg, cells);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSrchTNGSleepStats(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                             IDekCellRefs_Search* cells) {
  Begin(msg, &F::DecodeSrchTNGSleepStats);
  DecodeGeneralizedSearcher(ds, msg, cells);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSrchTNGQuickPagingChannelInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                         IDekCellRefs_Search* cells) {
  Begin(msg, &F::DecodeSrchTNGQuickPagingChannelInfo);
  DecodeGeneralizedSearcher(ds, msg, cells);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSrchTNGAFCInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                          IDekCellRefs_Search* cells) {
  Begin(msg, &F::DecodeSrchTNGAFCInfo);
  DecodeGeneralizedSearcher(ds, msg, cells);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSrchTNGAcquisitionInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                  IDekCellRefs_Search* cells) {
  Begin(msg, &F::DecodeSrchTNGAcquisitionInfo);
  DecodeGeneralizedSearcher(ds, msg, cells);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeSrchTNGFingerChannelEstimate(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                        IDekCellRefs_Search* cells) {
  AttrWriter(ds, AttrWriter::kAlways).DWord(ATTR_ID_CULL_FINGER_MESSAGE, kFingerChannelEstimate);
  Begin(msg, &F::DecodeSrchTNGFingerChannelEstimate);
  DecodeGeneralizedSearcher(ds, msg, cells);
}
