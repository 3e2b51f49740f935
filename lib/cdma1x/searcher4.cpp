// Searcher4 - 1X (0x1174, 0x1177, 0x1178): text-only report of the searcher's tasks and
// the peaks each found; the task walk and peak energies are shared with the
// generalized searcher's Searcher4 subpacket.
#include "cdma1x/searcher4.h"

#include <array>
#include <cmath>
#include <cstdint>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace cdmadiag {

namespace {

constexpr std::array<ValueName, 5> kTechnologies = {{
    {0, "1x CDMA"},
    {1, "HDR (shoulders)"},
    {2, "HDR (accumulated)"},
    {3, "Reserved"},
    {4, "AFLT"},
}};
constexpr std::array<ValueName, 3> kQueues = {{{0, "HPQ0"}, {1, "LPQ0"}, {3, "HPQ1"}}};
constexpr std::array<ValueName, 3> kAntennas = {{{0, "Antenna 0"}, {1, "Antenna 1"}, {2, "Dual Antenna"}}};
constexpr const char* kReserved = "Reserved";

// Peak positions count 1/16 chip.
constexpr double kChipsPerPositionUnit = 0.0625;
constexpr double kLinearFloor = 1e-5;
// A coherent truncation of 0 stands for 8.
constexpr unsigned kTruncationOfZero = 8;

}  // namespace

const char* Searcher4TechnologyName(unsigned technology) { return name_or(kTechnologies, technology, kReserved); }
const char* Searcher4QueueName(unsigned queue) { return name_or(kQueues, queue, kReserved); }
const char* Searcher4AntennaName(unsigned antenna) { return name_or(kAntennas, antenna, kReserved); }

Searcher4TaskWord UnpackSearcher4TaskWord(std::uint16_t word) {
  return {static_cast<unsigned>(bits(word, 7, 9)), static_cast<unsigned>(bits(word, 5, 2)),
          static_cast<unsigned>(bits(word, 3, 2)), static_cast<unsigned>(bits(word, 1, 2)),
          static_cast<unsigned>(bits(word, 0, 1))};
}

Searcher4Coherent UnpackSearcher4Coherent(std::uint16_t word) {
  return {static_cast<unsigned>(bits(word, 13, 3)), static_cast<unsigned>(bits(word, 0, 13))};
}

Searcher4Peak MakeSearcher4Peak(std::uint16_t high, std::uint16_t low, std::uint16_t energy, unsigned truncation,
                                unsigned coherent_length, unsigned non_coherent_length) {
  Searcher4Peak p;
  p.position = (static_cast<double>(bits(high, 8, 4)) * 65536.0 + low) * kChipsPerPositionUnit;
  p.energy = energy;
  // K or L of 0 would divide by zero: the peak keeps the floor instead of inf or nan.
  if (coherent_length == 0 || non_coherent_length == 0) return p;
  const int t = static_cast<int>(truncation == 0 ? kTruncationOfZero : truncation);
  const double l = coherent_length;
  const double scale = std::ldexp(1.0, 2 * t - 3) / (non_coherent_length * l * l * 9.0);
  const double linear = energy * scale - 1.0 / l;
  p.computed = true;
  p.db = linear > kLinearFloor ? 10.0 * std::log10(linear) : kSearcher4FloorDb;
  return p;
}

std::vector<Searcher4Peak> ReadSearcher4Peaks(Cursor header, Cursor& c, unsigned peaks) {
  header.skip(2);  // the task word
  const unsigned k = header.u8();
  header.skip(1);
  const Searcher4Coherent coherent = UnpackSearcher4Coherent(header.u16le());
  std::vector<Searcher4Peak> out;
  for (unsigned i = 0; i < peaks; ++i) {
    Cursor peak = c.record(kSearcher4PeakSize);
    const std::uint16_t high = peak.u16le();
    const std::uint16_t low = peak.u16le();
    const std::uint16_t energy = peak.u16le();
    if (!peak.ok()) break;
    out.push_back(MakeSearcher4Peak(high, low, energy, coherent.truncation, coherent.length, k));
  }
  return out;
}

}  // namespace cdmadiag

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;

// Payload (fixed part 6 bytes):
//  +off  type  name                 unit
//   +0   u8    technology, peaks    bits 5-7 technology, bits 0-3 peaks of every task
//   +1   u8    queue                bits 0-3
//   +2   u8    task count
//   +3   u8    frequency offset     37.5 Hz
//   +4   u8    RX0 AGC              dBm = raw / 3 - 63.248
//   +5   u8    RX1 AGC              dBm = raw / 3 - 63.248
//   +6   tasks, each a 10-byte header and its peaks:
//        +0  u16  task word         bits 7-15 pilot index, 5-6 antenna, 3-4 HDR burst
//                                   length, 1-2 QOF index, 0 Walsh index
//        +2  u8   non-coherent length K
//        +3  u8   not read
//        +4  u16  coherent word     bits 13-15 truncation (0 = 8), 0-12 length L, chips
//        +6  u16  PN position
//        +8  u16  window size
//       +10  peaks x 6 bytes        see cdma1x/searcher4.h
constexpr std::size_t kTaskHeaderSize = 10;

constexpr double kAgcOffsetDbm = 63.248;
// Every 0x1174-0x1178 packet culls as 0x1174.
constexpr std::uint32_t kCullSearcher4 = 0x1174;

double agc_dbm(std::uint8_t raw) { return raw / 3.0 - kAgcOffsetDbm; }

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeSearcher4_1X(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                        IDekCellRefs_Search*) {
  AttrWriter(ds, AttrWriter::kAlways).DWord(ATTR_ID_CULL_SEARCHER_MESSAGE, kCullSearcher4);
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeSearcher4_1X);
  if (!msg.detailsWanted) return;
  Cursor c(payload());
  const std::uint8_t first = c.u8();
  const std::uint8_t queue_byte = c.u8();
  const unsigned tasks = c.u8();
  const std::uint8_t frequency_offset = c.u8();
  const std::uint8_t rx0_agc = c.u8();
  const std::uint8_t rx1_agc = c.u8();
  if (!job.check(c)) return;

  const auto technology = static_cast<unsigned>(cdmadiag::bits(first, 5, 3));
  const auto peaks = static_cast<unsigned>(cdmadiag::bits(first, 0, 4));
  const auto queue = static_cast<unsigned>(cdmadiag::bits(queue_byte, 0, 4));
  std::string& d = msg.details;
  appendf(d, "Technology: %s, Queue: %s, Freq. offset (in 37.5Hz): 0x%X, RX0 AGC: %.2f, RX1 AGC: %.2f\n",
          cdmadiag::Searcher4TechnologyName(technology), cdmadiag::Searcher4QueueName(queue),
          unsigned{frequency_offset}, agc_dbm(rx0_agc), agc_dbm(rx1_agc));

  cdmadiag::ForEachSearcher4Task(c, tasks, peaks, kTaskHeaderSize, [&](const cdmadiag::Searcher4Task& t) {
    Cursor h = t.header;
    const auto word = cdmadiag::UnpackSearcher4TaskWord(h.u16le());
    const std::uint8_t non_coherent = h.u8();
    h.skip(1);
    const auto coherent = cdmadiag::UnpackSearcher4Coherent(h.u16le());
    const std::uint16_t pn_position = h.u16le();
    const std::uint16_t window_size = h.u16le();
    // The Walsh index is a single bit; it is shown as that bit, not scaled by 257.
    appendf(d,
            "Pilot Index: %d, Antenna: %s, HDR Burst Len.: %d, QOF Index: %d, Walsh Index: %d, Non_Coh_Len: %d, "
            "Coh_Trunc: %d, Cohenrent_Len: %d, PN position: %d, Window Size: %d\n",
            static_cast<int>(word.pilot), cdmadiag::Searcher4AntennaName(word.antenna),
            static_cast<int>(word.burst_length), static_cast<int>(word.qof), static_cast<int>(word.walsh),
            int{non_coherent}, static_cast<int>(coherent.truncation), static_cast<int>(coherent.length),
            int{pn_position}, int{window_size});
    for (std::size_t i = 0; i < t.peaks.size(); ++i) {
      const cdmadiag::Searcher4Peak& p = t.peaks[i];
      appendf(d, "Peak %d Position: %.3f, Energy: %d (%.2fdBm)\n", static_cast<int>(i), p.position, int{p.energy},
              p.db);
    }
  });
}
