// Scanner top-N pilot measurements (0x20AB, 0x21AB) from a drive-test receiver, and
// the handset's dense-pack searcher path log (0x100C).
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "cdma1x/pilot_routines.h"
#include "cdma1x/power_trailer.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/format_groups.h"

using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::group_text;

constexpr int kScannerCategory = 0xA7;

// Scanner header, fifteen 32-bit words, both layouts:
//  +off  type  name             unit
//   +0   s32   Comm
//   +4   s32   DeviceId
//   +8   s32   Status           DTRGeneralStatus
//  +12   s32   LoopCount
//  +16   s32   ScanNum
//  +20   s32   Band             DTRBand
//  +24   s32   Protocol         DTRProtocol
//  +28   u32   DataMode         first layout: bit 0 set when the blocks carry a delay spread
//  +32   u32   Channel
//  +36   s32   ChannelStyle     DTRChannelStyle
//  +40   s32   CorrelationTaps
//  +44   s32   ChipWindowSize
//  +48   s32   PnThreshold      dB
//  +52   f32   Io               dBm
//  +56   u32   NumDataBlocks    blocks of kBlockSize that follow
[[maybe_unused]] constexpr std::size_t kHeaderSize = 60;
constexpr std::uint32_t kDataModeDelaySpread = 0x01;

// Data block, 40 bytes (the first layout adds the time slot in bytes the second leaves unread):
//  +off  type  name         unit
//   +0   s16   PN           512: measured, but no table row
//   +2   s16   Status       0 = valid measurement; DTRChannelStatus
//   +4   f32   EcIo         dB
//   +8   s16   TOffset      chips, time offset of the first path
//  +10   f32   Aggr         dB, aggregate Ec/Io of all paths
//  +14   f32   Eps          dB
//  +18   f32   Ess          dB
//  +22   f32   Epc          dB
//  +26   u16   TimeSlot     first layout only: time slot number of the measurement
//  +30   u8    DelaySpread  chips; first layout only with DataMode bit 0
//  +32   f32   SigInt       dB, signal-to-interference ratio
//  +28, +31, +36 to +39 not read
constexpr std::size_t kBlockSize = 40;

// A PN the scanner reports for a measurement that has no table row.
constexpr std::int16_t kUnlistedPn = 512;
constexpr std::size_t kTopN = 4;

constexpr const char* kGeneralStatusGroup = "DTRGeneralStatus";
constexpr const char* kBandGroup = "DTRBand";
constexpr const char* kProtocolGroup = "DTRProtocol";
constexpr const char* kChannelStyleGroup = "DTRChannelStyle";
constexpr const char* kChannelStatusGroup = "DTRChannelStatus";

constexpr std::array<ValueName, 4> kGeneralStatuses = {{
    {0, "OK"},
    {1, "No GPS"},
    {2, "Not Synchronized"},
    {3, "Hardware Error"},
}};
constexpr std::array<ValueName, 6> kBands = {{
    {0, "800 MHz Cellular"},
    {1, "1900 MHz PCS"},
    {2, "450 MHz"},
    {3, "2100 MHz IMT"},
    {4, "700 MHz"},
    {5, "1700/2100 MHz AWS"},
}};
constexpr std::array<ValueName, 4> kProtocols = {{
    {0, "IS-95A"},
    {1, "IS-95B"},
    {2, "CDMA2000 1x"},
    {3, "1xEV-DO"},
}};
constexpr std::array<ValueName, 2> kChannelStyles = {{
    {0, "Standard"},
    {1, "Custom"},
}};
constexpr std::array<ValueName, 4> kChannelStatuses = {{
    {0, "Valid"},
    {1, "Below Threshold"},
    {2, "Not Measured"},
    {3, "Lost Sync"},
}};

const FormatGroupRegistration kGeneralStatusRegistration(kGeneralStatusGroup, kGeneralStatuses);
const FormatGroupRegistration kBandRegistration(kBandGroup, kBands);
const FormatGroupRegistration kProtocolRegistration(kProtocolGroup, kProtocols);
const FormatGroupRegistration kChannelStyleRegistration(kChannelStyleGroup, kChannelStyles);
const FormatGroupRegistration kChannelStatusRegistration(kChannelStatusGroup, kChannelStatuses);

constexpr const char* kSecondLayoutHeadings =
    "Nbr.\tData\tPDelay\tSpread\tEcIo\tIo\tIo\tIo\tRatio\t\n"
    "PN\tEcIo\tTOffset\tDelay\tAggr\tEps\tEss\tEpc\tSigInt\tStatus\n"
    "\t(dB)\t(chips)\t(chips)\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\t\n";
constexpr const char* kFirstLayoutHeadings =
    "Num\tEcIo\tTOffset\tAggr\tEps\tEss\tEpc\tSig\tStatus\n"
    "\t\tOR\t\t\t\tPCH\tInt\t\n"
    "ber\tData\tPDelay\tEcIo\tIo\tIo\tIo\tRatio\t\n"
    "\t(dB)\t(chips)\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\t\n";
constexpr const char* kFirstLayoutSpreadHeadings =
    "Nbr.\tEcIo\tTOffset\tDelay\tAggr\tEps\tEss\tEpc\tSigInt\tStatus\n"
    "\tData\tPDelay\tSpread\tEcIo\tIo\tIo\tIo\tRatio\t\n"
    "\t(dB)\t(chips)\t(chips)\t(dB)\t(dB)\t(dB)\t(dB)\t(dB)\t\n";
constexpr const char* kTimeSlotHeading = "TSN       \t";

enum class ScannerLayout : std::uint8_t { kFirst, kSecond };

struct ScannerHeader {
  std::int32_t comm, device_id, status, loop_count, scan_num, band, protocol;
  std::uint32_t data_mode, channel;
  std::int32_t channel_style, correlation_taps, chip_window_size, pn_threshold;
  float io;
  std::uint32_t blocks;
};

ScannerHeader read_header(Cursor& c) {
  ScannerHeader h{};
  h.comm = c.i32le();
  h.device_id = c.i32le();
  h.status = c.i32le();
  h.loop_count = c.i32le();
  h.scan_num = c.i32le();
  h.band = c.i32le();
  h.protocol = c.i32le();
  h.data_mode = c.u32le();
  h.channel = c.u32le();
  h.channel_style = c.i32le();
  h.correlation_taps = c.i32le();
  h.chip_window_size = c.i32le();
  h.pn_threshold = c.i32le();
  h.io = c.f32le();
  h.blocks = c.u32le();
  return h;
}

struct ScannerBlock {
  std::int16_t pn, status;
  float ecio;
  std::int16_t time_offset;
  float aggr, eps, ess, epc;
  std::uint16_t time_slot;
  std::uint8_t delay_spread;
  float sig_int;
};

ScannerBlock read_block(Cursor c) {
  ScannerBlock b{};
  b.pn = c.i16le();
  b.status = c.i16le();
  b.ecio = c.f32le();
  b.time_offset = c.i16le();
  b.aggr = c.f32le();
  b.eps = c.f32le();
  b.ess = c.f32le();
  b.epc = c.f32le();
  b.time_slot = c.u16le();
  c.skip(2);
  b.delay_spread = c.u8();
  c.skip(1);
  b.sig_int = c.f32le();
  return b;
}

void append_spread_row(std::string& out, const ScannerBlock& b) {
  appendf(out, "%d\t%.2f\t%d\t%d\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%s\n", b.pn, double{b.ecio}, b.time_offset,
          b.delay_spread, double{b.aggr}, double{b.eps}, double{b.ess}, double{b.epc}, double{b.sig_int},
          group_text(kChannelStatusGroup, b.status).c_str());
}

// Both scanner layouts: the header's channel and Io, then, when the packet holds
// exactly its blocks, the per-PN values of the valid pilots and the four strongest.
void DecodeScanner(Cursor c, IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job,
                   double threshold, ScannerLayout layout) {
  msg.category = kScannerCategory;
  const ScannerHeader h = read_header(c);
  if (!job.check(c)) return;
  assert(c.offset() == kHeaderSize);
  const bool spread = layout == ScannerLayout::kSecond || (h.data_mode & kDataModeDelaySpread) != 0;
  // The blocks are read only when they fill the rest exactly; in 64 bits, so that a
  // lying block count cannot wrap round to the packet's size.
  const bool whole = c.left() == kBlockSize * std::uint64_t{h.blocks};
  std::vector<ScannerBlock> blocks;
  if (whole) {
    blocks.reserve(h.blocks);
    for (std::size_t i = 0; i < h.blocks; ++i) blocks.push_back(read_block(c.record(kBlockSize)));
  }

  if (const AttrWriter w(ds); w.on()) {
    w.DWord(ATTR_ID_PN_SCANNER_CHANNEL_NUMBER, h.channel);
    w.Double(ATTR_ID_I0_ALL_PILOTS, h.io);
    // Keyed by the negated Ec/Io, so the walk starts at the strongest. Equal keys are all
    // kept, in block order: a map of unique keys would drop the later of two tied pilots.
    // Only finite values enter: a NaN key would break the order.
    std::multimap<double, std::size_t> ranking;
    for (std::size_t i = 0; i < blocks.size(); ++i) {
      const ScannerBlock& b = blocks[i];
      // A negative PN names no pilot and would wrap to a huge element index.
      if (b.status != 0 || b.pn < 0 || !std::isfinite(b.ecio) || !(b.ecio > threshold)) continue;
      const auto pn = static_cast<std::uint32_t>(b.pn);
      w.Double(ATTR_ID_CDMA_PNSCAN_ECIO_BY_PN, b.ecio, pn);
      if (spread) w.Byte(ATTR_ID_DELAY_SPREAD_PN, b.delay_spread, pn);
      w.Double(ATTR_ID_ECIO_SPREAD_PN, b.aggr, pn);
      ranking.emplace(-double{b.ecio}, i);
    }
    std::uint32_t rank = 0;
    for (const auto& [key, i] : ranking) {
      if (rank == kTopN) break;
      const ScannerBlock& b = blocks[i];
      w.Double(ATTR_ID_TOP_N, b.ecio, rank);
      w.Short(ATTR_ID_TOP_N_PN_OFFSET, b.pn, rank);
      w.Double(ATTR_ID_CDMA_PNSCAN_ECIO_SORTEDBY_ECIO, b.ecio, rank);
      ++rank;
    }
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Comm: %d, Device Id: %d, Status: %s, Loop Count: %d, Scan Num: %d\n", h.comm, h.device_id,
          group_text(kGeneralStatusGroup, h.status).c_str(), h.loop_count, h.scan_num);
  appendf(out, "Band: %s, Protocol: %s, Data Mode: 0x%02x, Channel: %d, Channel Style: %s\n",
          group_text(kBandGroup, h.band).c_str(), group_text(kProtocolGroup, h.protocol).c_str(), h.data_mode,
          static_cast<int>(h.channel), group_text(kChannelStyleGroup, h.channel_style).c_str());
  appendf(out, "Correlation Taps: %d, Chip Window Size: %d, PN Threshold: %d dB, Io: %.2f dBm, Num Data Blocks: %d\n",
          h.correlation_taps, h.chip_window_size, h.pn_threshold, double{h.io}, static_cast<int>(h.blocks));
  if (!whole) return;

  if (layout == ScannerLayout::kSecond) {
    out += kSecondLayoutHeadings;
  } else {
    out += spread ? kFirstLayoutSpreadHeadings : kFirstLayoutHeadings;
  }
  std::string slots_heading, slots;
  for (const ScannerBlock& b : blocks) {
    if (b.pn == kUnlistedPn) continue;
    if (spread) {
      append_spread_row(out, b);
    } else {
      appendf(out, "%d\t%.2f\t%d\t%.2f\t%.2f\t%.2f\t%.2f\t%.2f\t%s\n", b.pn, double{b.ecio}, b.time_offset,
              double{b.aggr}, double{b.eps}, double{b.ess}, double{b.epc}, double{b.sig_int},
              group_text(kChannelStatusGroup, b.status).c_str());
    }
    if (layout == ScannerLayout::kFirst) {
      slots_heading += kTimeSlotHeading;
      appendf(slots, "%03d: %.2f\t", b.time_slot, double{b.ecio});
    }
  }
  if (!slots.empty()) out += slots_heading + "\n" + slots + "\n";
}

// Path log, 23-byte header, then kPathRecordSize records:
//  +off  type  name         unit
//   +0   u8    Pregain      code: 2, 4, 8, 32 or 1
//   +1   u8    Integration  4 chips
//   +2   u8    NonCoherent  integrations - 1
//   +3   u16   ActivePilot  bits 0-9 PN
//  +14   u8    Records      count of records; bytes 5-13 and 15-22 are not read
// Record:
//   +0   u16      PilotWord  bits 0-9 PN, 11-15 sets as the searcher's set word
//   +4   4 x u16  Position   P1-P4, shown in hex
//  +12   4 x u16  Energy     E1-E4, raw searcher energy; 0 = no path
//  +22   u8       RxAgc      raw / 3 + band base, dBm
//  +2, +20, +23 not read
constexpr std::size_t kPathRecordCount = 14;
constexpr std::size_t kPathRecords = 23;
constexpr std::size_t kPathRecordSize = 24;
constexpr std::size_t kPaths = 4;
constexpr unsigned kPnBits = 10;
constexpr int kChipsPerIntegrationUnit = 4;

constexpr const char* kNotEnoughData = "Error: Not enough data in message!";
constexpr const char* kPathTableHeading = "PN \tS\t E1  \t E2 \t  E3  \t E4  \t P1 \t P2 \t P3 \t P4 \t  Rx  \n";

// Receive power of the AGC byte: raw / 3 above the base of the band index.
constexpr double kRxBaseCellularDbm = -148.567;
constexpr double kRxBasePcsDbm = -151.567;
constexpr std::array<cdmadiag::BandSource, 1> kPathLogBandOrder = {cdmadiag::BandSource::kRfModeOrMinPair};

// Set letter of a pilot word, the first set in the searcher's order: Active, Candidate,
// Neighbor, Remaining, Precandidate; '-' for none.
char set_letter(std::uint16_t word) {
  constexpr std::array<std::pair<unsigned, char>, 5> kSets = {{{15, 'A'}, {14, 'C'}, {13, 'N'}, {12, 'R'}, {11, 'P'}}};
  for (const auto& [bit, letter] : kSets) {
    if ((word >> bit) & 1u) return letter;
  }
  return '-';
}

struct PathPilot {
  std::uint16_t pn = 0;
  char set = '-';
  std::array<std::uint16_t, kPaths> position{};
  std::array<std::uint16_t, kPaths> energy{};
  std::array<double, kPaths> ecio{};  // dB, for the paths with energy
  bool heard = false;                 // at least one path has energy
  double best = 0.0;                  // dB, of the largest energy
  double linear = 0.0;                // sum over the paths of 10^(Ec/Io / 10)
  bool rx_known = false;
  double rx = 0.0;  // dBm, the pilot's received power: best Ec/Io + receive power
};

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeTopNPilot(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                     IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeTopNPilot);
  DecodeScanner(Cursor(payload()), ds, msg, job, threshold_a(), ScannerLayout::kFirst);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeTopNPilotV2(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeTopNPilotV2);
  DecodeScanner(Cursor(payload()), ds, msg, job, threshold_a(), ScannerLayout::kSecond);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeRetrieverScanner(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                            IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRetrieverScanner);
  Cursor c(payload());
  const std::uint8_t pregain = c.u8();
  const std::uint8_t integration = c.u8();
  const std::uint8_t non_coherent = c.u8();
  const std::uint16_t active_pilot = c.u16le();
  c.seek(kPathRecordCount);
  const std::uint8_t count = c.u8();
  c.seek(kPathRecords);
  // The header and every record it counts, or nothing is shown.
  c.need(kPathRecordSize * count);
  if (!c.ok()) return (void)job.fail(kNotEnoughData);
  const double offset = cdmadiag::SearcherEnergyOffset(pregain, integration, non_coherent);
  const int band = cdmadiag::DetermineBandIndex(ds, kPathLogBandOrder);
  const bool band_known = band == cdmadiag::kBandIndexCellular || band == cdmadiag::kBandIndexPcs;
  const double rx_base = band == cdmadiag::kBandIndexPcs ? kRxBasePcsDbm : kRxBaseCellularDbm;

  std::vector<PathPilot> pilots(count);
  for (std::size_t k = 0; k < count; ++k) {
    Cursor rec = c.record(kPathRecordSize);
    PathPilot& p = pilots[k];
    const std::uint16_t word = rec.u16le();
    rec.skip(2);
    for (std::uint16_t& position : p.position) position = rec.u16le();
    for (std::uint16_t& energy : p.energy) energy = rec.u16le();
    rec.skip(2);
    const std::uint8_t rx_agc = rec.u8();
    p.pn = static_cast<std::uint16_t>(cdmadiag::bits(word, 0, kPnBits));
    p.set = set_letter(word);
    std::uint16_t largest = 0;
    for (std::size_t j = 0; j < kPaths; ++j) {
      if (p.energy[j] == 0) continue;
      p.ecio[j] = 10.0 * std::log10(static_cast<double>(p.energy[j])) + offset;
      p.linear += std::pow(10.0, p.ecio[j] / 10.0);
      if (p.energy[j] > largest) {
        largest = p.energy[j];
        p.best = p.ecio[j];
      }
    }
    p.heard = largest != 0;
    p.rx_known = band_known && p.heard;
    if (p.rx_known) p.rx = p.best + rx_agc / 3.0 + rx_base;
  }

  // The pilots heard, strongest first; equal Ec/Io keep the record order.
  std::vector<std::size_t> ranked;
  for (std::size_t k = 0; k < pilots.size(); ++k) {
    if (pilots[k].heard) ranked.push_back(k);
  }
  std::stable_sort(ranked.begin(), ranked.end(),
                   [&pilots](std::size_t a, std::size_t b) { return pilots[a].best > pilots[b].best; });
  // The pilots' received powers, summed in mW and averaged in dBm.
  double total_mw = 0.0, rx_sum = 0.0;
  std::size_t rx_count = 0;
  for (const PathPilot& p : pilots) {
    if (!p.rx_known) continue;
    total_mw += p.linear * std::pow(10.0, (p.rx - p.best) / 10.0);
    rx_sum += p.rx;
    ++rx_count;
  }

  if (const AttrWriter w(ds); w.on()) {
    for (const PathPilot& p : pilots) {
      if (p.heard) w.Double(ATTR_ID_PN_ECIO_SET, p.best, p.pn);
    }
    for (std::uint32_t rank = 0; rank < ranked.size(); ++rank) {
      const PathPilot& p = pilots[ranked[rank]];
      w.Double(ATTR_ID_CDMA_PNSCAN_ECIO_SORTEDBY_ECIO, p.best, rank);
      w.UShort(ATTR_ID_CDMA_PNSCAN_PN_SORTEDBY_ECIO, p.pn, rank);
    }
    if (rx_count > 0) w.Double(ATTR_ID_I0_ALL_PILOTS, 10.0 * std::log10(total_mw));
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  out += "Pilot Scanner Dense-Pack Data\n\n";
  appendf(out, "Active Pilot PN:\t%d\n", static_cast<int>(cdmadiag::bits(active_pilot, 0, kPnBits)));
  appendf(out, "Integration Time:\t%d chips\n", kChipsPerIntegrationUnit * integration);
  appendf(out, "Search Count:\t%d\n\n", int{count});
  out += kPathTableHeading;
  for (const PathPilot& p : pilots) {
    appendf(out, "%03d\t%c\t", p.pn, p.set);
    for (std::size_t j = 0; j < kPaths; ++j) {
      if (p.energy[j] != 0) {
        appendf(out, "%5.1f\t", p.ecio[j]);
      } else {
        out += "  n/a\t";
      }
    }
    for (const std::uint16_t position : p.position) appendf(out, "%04x\t", position);
    if (p.rx_known) {
      appendf(out, "%6.1f\t", p.rx);
    } else {
      out += "   n/a\t";
    }
    out += "\n";
  }
  if (rx_count > 0) {
    appendf(out, "Average Rx:\t%.1f", rx_sum / static_cast<double>(rx_count));
  } else {
    out += "Average Rx:\tn/a";
  }
}
