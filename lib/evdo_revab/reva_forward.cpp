// Rev A forward link statistics: single-user (0x1192), multi-user (0x1193) and
// per-user multi-user (0x1283) packet counters, with PER and throughputs taken
// against the previous packet of the same kind as the data state holds it.
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/decoder_kit.h"
#include "framework/text.h"

namespace {

using cdmadiag::append_int;
using cdmadiag::appendf;
using cdmadiag::AttrReader;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::formatf;
using cdmadiag::held_integer;
using cdmadiag::PayloadReader;

// Forward-link slot time in ms as the throughputs when served count it.
constexpr double kSlotMs = 1.67;

// ---------------------------------------------------------------------------
// Single-user statistics (0x1192): 322 cumulative counters, u32 each.
//  +off      type      name                                     unit
//   +0       u32       sequence number of the log packet
//   +4..227  u32 x 56  per DRC 0..14: good counters per format, then bad   packets
//   +228     u32 x 221 slot histograms of every good TC format, in order   packets
//   +1112    u32 x 8   CC good/bad: short 128/256/512 good, short bad,     packets
//                      38.4 K good, bad, 76.8 K good, bad
//   +1144    u32 x 36  CC slot histograms: short x 3 (4), 38.4 K (16),     packets
//                      76.8 K (8)
constexpr std::size_t kSuCounters = 322;
[[maybe_unused]] constexpr std::size_t kSuSize = kSuCounters * 4;
[[maybe_unused]] constexpr std::size_t kFirstTcHistogram = 57;

struct TcFormat {
  int bits;
  const std::uint32_t* good;
  const std::uint32_t* slots;  // the histogram's attribute
};
// One DRC: its formats share the nominal slots (and so the histogram length).
struct TcDrc {
  int drc;
  int slots;
  int third;
  std::size_t formats;
  std::array<TcFormat, 4> format;
  const std::uint32_t* bad;
};

#define SU_FMT(d, b) \
  TcFormat { b, &ATTR_ID_RevASUFwdStats_TC##d##_##b##bits_Good, &ATTR_ID_RevASUFwdStats_TC##d##_##b##bits }
#define SU_BAD(d) &ATTR_ID_RevASUFwdStats_TC##d##_Bad
// The block list every single-user table is generated from.
const std::array<TcDrc, 15> kTcDrcs{{
    {0, 16, 1024, 4, {SU_FMT(0, 128), SU_FMT(0, 256), SU_FMT(0, 512), SU_FMT(0, 1024)}, SU_BAD(0)},
    {1, 16, 1024, 4, {SU_FMT(1, 128), SU_FMT(1, 256), SU_FMT(1, 512), SU_FMT(1, 1024)}, SU_BAD(1)},
    {2, 8, 512, 4, {SU_FMT(2, 128), SU_FMT(2, 256), SU_FMT(2, 512), SU_FMT(2, 1024)}, SU_BAD(2)},
    {3, 4, 256, 4, {SU_FMT(3, 128), SU_FMT(3, 256), SU_FMT(3, 512), SU_FMT(3, 1024)}, SU_BAD(3)},
    {4, 2, 128, 4, {SU_FMT(4, 128), SU_FMT(4, 256), SU_FMT(4, 512), SU_FMT(4, 1024)}, SU_BAD(4)},
    {5, 4, 128, 3, {SU_FMT(5, 512), SU_FMT(5, 1024), SU_FMT(5, 2048)}, SU_BAD(5)},
    {6, 1, 64, 4, {SU_FMT(6, 128), SU_FMT(6, 256), SU_FMT(6, 512), SU_FMT(6, 1024)}, SU_BAD(6)},
    {7, 2, 64, 3, {SU_FMT(7, 512), SU_FMT(7, 1024), SU_FMT(7, 2048)}, SU_BAD(7)},
    {8, 2, 64, 2, {SU_FMT(8, 1024), SU_FMT(8, 3072)}, SU_BAD(8)},
    {9, 1, 64, 3, {SU_FMT(9, 512), SU_FMT(9, 1024), SU_FMT(9, 2048)}, SU_BAD(9)},
    {10, 2, 64, 1, {SU_FMT(10, 4096)}, SU_BAD(10)},
    {11, 1, 64, 2, {SU_FMT(11, 1024), SU_FMT(11, 3072)}, SU_BAD(11)},
    {12, 1, 64, 1, {SU_FMT(12, 4096)}, SU_BAD(12)},
    {13, 2, 64, 1, {SU_FMT(13, 5120)}, SU_BAD(13)},
    {14, 1, 64, 1, {SU_FMT(14, 5120)}, SU_BAD(14)},
}};
#undef SU_FMT
#undef SU_BAD

// Control channel counters, in packet order; bits count the good ones, slots the bad.
struct CcCounter {
  const char* description;
  const std::uint32_t* attr;
  int bits;
  int bad_slots;
};
const std::array<CcCounter, 8> kCcCounters{{
    {"Counter for Short control channel packet [128,4,1024] with good CRC", &ATTR_ID_RevASUFwdStats_CCSht_128bits_Good,
     128, 0},
    {"Counter for Short Control channel packet [256,4,1024] with good CRC", &ATTR_ID_RevASUFwdStats_CCSht_256bits_Good,
     256, 0},
    {"Counter for Short Control channel packet [512, 4, 1024] with good CRC",
     &ATTR_ID_RevASUFwdStats_CCSht_512bits_Good, 512, 0},
    {"Counter for short control channel packets with bad CRC", &ATTR_ID_RevASUFwdStats_CCSht_Bad, 0, 4},
    {"Counter for 38.4 K control channel packets with good CRC", &ATTR_ID_RevASUFwdStats_CC38400_Good, 1024, 0},
    {"Counter for 38.4 K control channel packets with bad CRC", &ATTR_ID_RevASUFwdStats_CC38400_Bad, 0, 16},
    {"Counter for 76.8 K control channel packets with good CRC", &ATTR_ID_RevASUFwdStats_CC76800_Good, 1024, 0},
    {"Counter for 76.8 K control channel packets with bad CRC", &ATTR_ID_RevASUFwdStats_CC76800_Bad, 0, 8},
}};
struct CcHistogram {
  const char* heading;
  const char* name;
  const std::uint32_t* attr;
  int slots;
};
const std::array<CcHistogram, 5> kCcHistograms{{
    {"Counter for short control channel packet [128, 4, 1024] decoded in 1..4 slots:\n", "CCSht_128bits",
     &ATTR_ID_RevASUFwdStats_CCSht_128bits, 4},
    {"Counter for short control channel packet [256, 4, 1024] decoded in 1..4 slots:\n", "CCSht_256bits",
     &ATTR_ID_RevASUFwdStats_CCSht_256bits, 4},
    {"Counter for Short control channel packet [512, 4, 1024] decoded in 1..4 slots:\n", "CCSht_512bits",
     &ATTR_ID_RevASUFwdStats_CCSht_512bits, 4},
    {"Counter for 38.4 K rate CC packets decoded in 1..16 slots:\n", "CCRate38400", &ATTR_ID_RevASUFwdStats_CCRate38400,
     16},
    {"Counter for 76.8 K CC packets decoded in 1..8 slots:\n", "CCRate76800", &ATTR_ID_RevASUFwdStats_CCRate76800, 8},
}};

// Nominal data rate rows of the slot grid: a format's payload over its nominal slots.
struct NdrRow {
  int bps;
  const char* label;
  int width;
  const std::uint32_t* attr;
};
constexpr std::size_t kNdrRows = 14;
constexpr std::size_t kNdrColumns = 16;
const std::array<NdrRow, kNdrRows> kNdr{{
    {4800, "0004.8 kbps", 16, &ATTR_ID_RevA_SUFwdStats_TC4800_Slots},
    {9600, "0009.6 kbps", 16, &ATTR_ID_RevA_SUFwdStats_TC9600_Slots},
    {19200, "0019.2 kbps", 16, &ATTR_ID_RevA_SUFwdStats_TC19200_Slots},
    {38400, "0038.4 kbps", 16, &ATTR_ID_RevA_SUFwdStats_TC38400_Slots},
    {76800, "0076.8 kbps", 8, &ATTR_ID_RevA_SUFwdStats_TC76800_Slots},
    {153600, "0153.6 kbps", 4, &ATTR_ID_RevA_SUFwdStats_TC153600_Slots},
    {307200, "0307.2 kbps", 4, &ATTR_ID_RevA_SUFwdStats_TC307200_Slots},
    {614400, "0614.4 kbps", 2, &ATTR_ID_RevA_SUFwdStats_TC614400_Slots},
    {921600, "0921.6 kbps", 2, &ATTR_ID_RevA_SUFwdStats_TC921600_Slots},
    {1228800, "1228.8 kbps", 2, &ATTR_ID_RevA_SUFwdStats_TC1228800_Slots},
    {1536000, "1536.0 kbps", 2, &ATTR_ID_RevA_SUFwdStats_TC1536000_Slots},
    {1843200, "1843.2 kbps", 1, &ATTR_ID_RevA_SUFwdStats_TC1843200_Slots},
    {2457600, "2457.6 kbps", 1, &ATTR_ID_RevA_SUFwdStats_TC2457600_Slots},
    {3072000, "3072.0 kbps", 1, &ATTR_ID_RevA_SUFwdStats_TC3072000_Slots},
}};

int ndr_row(int bits, int slots) {
  const int bps = bits * 600 / slots;  // 600 slots a second
  for (std::size_t row = 0; row < kNdr.size(); ++row) {
    if (kNdr[row].bps == bps) return static_cast<int>(row);
  }
  assert(false && "a format without a nominal data rate row");
  return 0;
}

enum class Sum : std::uint8_t { kNone, kTcGood, kTcBad, kTcSlots, kCcGood, kCcBad, kCcSlots };

// What one counter is: its text, where it is written, and what it adds to the sums
// (weight: payload bits of a good counter, slots of a bad or histogram counter).
struct SuCounter {
  std::string description;
  const std::uint32_t* attr;
  std::uint32_t index;
  Sum sum;
  std::uint64_t weight;
  int ndr_row;  // -1 outside the TC histograms
  int ndr_slot;
};

std::vector<SuCounter> build_su_counters() {
  std::vector<SuCounter> out;
  out.reserve(kSuCounters);
  out.push_back({"Sequence number of the log packet", &ATTR_ID_RevASUFwdStats_SequenceNumber, 0, Sum::kNone, 0, -1, 0});
  for (const TcDrc& d : kTcDrcs) {
    for (std::size_t f = 0; f < d.formats; ++f) {
      out.push_back({formatf("Counter for DRC %d [%d, %d, %d] traffic channel packets with good CRC", d.drc,
                             d.format[f].bits, d.slots, d.third),
                     d.format[f].good, 0, Sum::kTcGood, static_cast<std::uint64_t>(d.format[f].bits), -1, 0});
    }
    out.push_back({formatf("Counter for DRC %d traffic channel packets with bad CRC", d.drc), d.bad, 0, Sum::kTcBad,
                   static_cast<std::uint64_t>(d.slots), -1, 0});
  }
  bool spaced_colon = true;  // the first two histogram headings set their colon apart
  int headings = 0;
  for (const TcDrc& d : kTcDrcs) {
    for (std::size_t f = 0; f < d.formats; ++f) {
      const TcFormat& fmt = d.format[f];
      const int row = ndr_row(fmt.bits, d.slots);
      const std::string name = formatf("TC%d_%dbits", d.drc, fmt.bits);
      spaced_colon = headings++ < 2;
      for (int j = 0; j < d.slots; ++j) {
        std::string text;
        if (j == 0) {
          const std::string span = d.slots == 1 ? std::string("1 slot") : formatf("1..%d slots", d.slots);
          text = formatf("Counter for DRC %d [%d, %d, %d] traffic channel packets decoded in %s%s\n", d.drc, fmt.bits,
                         d.slots, d.third, span.c_str(), spaced_colon ? " : " : ":");
        }
        text += formatf("%s_%d", name.c_str(), j);
        assert(j < kNdr[static_cast<std::size_t>(row)].width);
        out.push_back({std::move(text), fmt.slots, static_cast<std::uint32_t>(j), Sum::kTcSlots,
                       static_cast<std::uint64_t>(j + 1), row, j});
      }
    }
  }
  for (const CcCounter& c : kCcCounters) {
    out.push_back({c.description, c.attr, 0, c.bits > 0 ? Sum::kCcGood : Sum::kCcBad,
                   static_cast<std::uint64_t>(c.bits > 0 ? c.bits : c.bad_slots), -1, 0});
  }
  for (const CcHistogram& h : kCcHistograms) {
    for (int j = 0; j < h.slots; ++j) {
      out.push_back({(j == 0 ? std::string(h.heading) : std::string()) + formatf("%s_%d", h.name, j), h.attr,
                     static_cast<std::uint32_t>(j), Sum::kCcSlots, static_cast<std::uint64_t>(j + 1), -1, 0});
    }
  }
  assert(out.size() == kSuCounters);
  assert(out[kFirstTcHistogram].sum == Sum::kTcSlots && out[kFirstTcHistogram - 1].sum == Sum::kTcBad);
  return out;
}

// Built on first use, thread-safe, never rebuilt or freed.
const std::vector<SuCounter>& su_counters() {
  static const std::vector<SuCounter> counters = build_su_counters();
  return counters;
}

// A value read back from the previous packet of the same kind.
std::optional<std::int64_t> previous(const AttrReader& rd, std::uint32_t id) { return held_integer(rd.latest(id)); }

// PER since the previous packet in percent; -1 when unavailable (no previous, or reset).
double instantaneous_per(std::uint64_t total, std::uint64_t bad, std::optional<std::int64_t> prev_total,
                         std::optional<std::int64_t> prev_bad) {
  const auto cur_total = static_cast<std::uint32_t>(total);
  const auto old_total = static_cast<std::uint32_t>(*prev_total);
  if (total > static_cast<std::uint64_t>(*prev_total)) {
    const auto d_bad =
        static_cast<std::uint32_t>(static_cast<std::uint32_t>(bad) - static_cast<std::uint32_t>(*prev_bad));
    return static_cast<double>(d_bad) / static_cast<double>(static_cast<std::uint32_t>(cur_total - old_total)) * 100.0;
  }
  return total == static_cast<std::uint64_t>(*prev_total) ? 0.0 : -1.0;
}

double percent(std::uint64_t part, std::uint64_t total) {
  return total == 0 ? 0.0 : static_cast<double>(part) / static_cast<double>(total) * 100.0;
}

class RevASUFwdStatsPacket {
 public:
  explicit RevASUFwdStatsPacket(const std::array<std::uint32_t, kSuCounters>& counters)
      : counters_(su_counters()), c_(counters) {}

  void Decode(IOrbDataState* ds, COrbExpandedMessage& msg) {
    struct Channel {
      std::uint64_t good = 0, bad = 0, bits = 0, slots = 0;
      std::uint64_t total() const { return good + bad; }
    } tc, cc;
    for (std::size_t k = 0; k < kSuCounters; ++k) {
      const SuCounter& s = counters_[k];
      const std::uint64_t v = c_[k];
      switch (s.sum) {
        case Sum::kNone: break;
        case Sum::kTcGood: tc.good += v, tc.bits += v * s.weight; break;
        case Sum::kTcBad: tc.bad += v, tc.slots += v * s.weight; break;
        case Sum::kTcSlots:
          tc.slots += v * s.weight;
          {
            // Modular, as the grid's 32-bit cells wrap.
            std::int32_t& cell = grid_[static_cast<std::size_t>(s.ndr_row)][static_cast<std::size_t>(s.ndr_slot)];
            cell = static_cast<std::int32_t>(static_cast<std::uint32_t>(cell) + c_[k]);
          }
          break;
        case Sum::kCcGood: cc.good += v, cc.bits += v * s.weight; break;
        case Sum::kCcBad: cc.bad += v, cc.slots += v * s.weight; break;
        case Sum::kCcSlots: cc.slots += v * s.weight; break;
      }
    }
    const std::uint32_t seq = c_[0];
    const double tc_per = percent(tc.bad, tc.total());
    const double cc_per = percent(cc.bad, cc.total());

    const AttrReader rd(ds);
    double tc_per_now = -1.0;
    double cc_per_now = -1.0;
    const auto old_cc_total = previous(rd, ATTR_ID_RevASUFwdStats_CC_TotalPackets);
    const auto old_tc_total = previous(rd, ATTR_ID_RevASUFwdStats_TC_TotalPackets);
    if (old_cc_total && old_tc_total) {
      const auto old_cc_bad = previous(rd, ATTR_ID_RevASUFwdStats_CC_TotalBadPackets);
      const auto old_tc_bad = previous(rd, ATTR_ID_RevASUFwdStats_TC_TotalBadPackets);
      if (old_cc_bad && old_tc_bad) {
        cc_per_now = instantaneous_per(cc.total(), cc.bad, old_cc_total, old_cc_bad);
        tc_per_now = instantaneous_per(tc.total(), tc.bad, old_tc_total, old_tc_bad);
      }
    }

    // A sequence number of 0 leaves the cumulative throughputs unavailable rather
    // than dividing by zero.
    const double tc_cumulative = seq > 0 ? static_cast<double>(tc.bits) / (seq * 1000.0) : -1.0;
    const double cc_cumulative = seq > 0 ? static_cast<double>(cc.bits) / (seq * 1000.0) : -1.0;
    double tc_now = -1.0;
    double cc_now = -1.0;
    if (const auto old_seq = previous(rd, ATTR_ID_RevASUFwdStats_SequenceNumber)) {
      const auto old_tc_bits = previous(rd, ATTR_ID_RevASUFwdStats_TC_Total_Good_Bits_Rx);
      const auto old_cc_bits = previous(rd, ATTR_ID_RevASUFwdStats_CC_Total_Good_Bits_Rx);
      if (old_tc_bits && old_cc_bits) {
        // Two packets with one sequence number have no time between them: unavailable.
        const std::uint32_t delta = seq - static_cast<std::uint32_t>(*old_seq);
        const auto rate = [delta](std::uint64_t bits, std::int64_t old_bits) {
          const std::int64_t d = static_cast<std::int64_t>(bits) - old_bits;
          return d >= 0 && delta > 0 ? static_cast<double>(d) / (delta * 1000.0) : -1.0;
        };
        tc_now = rate(tc.bits, *old_tc_bits);
        cc_now = rate(cc.bits, *old_cc_bits);
      }
    }
    const double tc_served =
        tc.slots > 0 ? static_cast<double>(tc.bits) / (static_cast<double>(tc.slots) * kSlotMs) : 0.0;
    const double cc_served =
        cc.slots > 0 ? static_cast<double>(cc.bits) / (static_cast<double>(cc.slots) * kSlotMs) : 0.0;

    if (const AttrWriter w(ds); w.on()) {
      for (std::size_t k = 0; k < kSuCounters; ++k) w.ULong(*counters_[k].attr, c_[k], counters_[k].index);
      w.UInt64(ATTR_ID_RevASUFwdStats_TC_TotalGoodPackets, tc.good);
      w.UInt64(ATTR_ID_RevASUFwdStats_TC_TotalBadPackets, tc.bad);
      w.UInt64(ATTR_ID_RevASUFwdStats_TC_TotalPackets, tc.total());
      w.UInt64(ATTR_ID_RevASUFwdStats_CC_TotalPackets, cc.total());
      w.UInt64(ATTR_ID_RevASUFwdStats_CC_TotalBadPackets, cc.bad);
      w.UInt64(ATTR_ID_RevASUFwdStats_CC_TotalGoodPackets, cc.good);
      w.Double(ATTR_ID_RevASUFwdStats_TC_PacketErrorRateCumulative, tc_per);
      w.Double(ATTR_ID_RevASUFwdStats_CC_PacketErrorRateCumulative, cc_per);
      const auto maybe = [&w](std::uint32_t id, double v) {
        if (v < 0) {
          w.NoValue(id);
        } else {
          w.Double(id, v);
        }
      };
      maybe(ATTR_ID_RevASUFwdStats_TC_PacketErrorRateInstantaneous, tc_per_now);
      maybe(ATTR_ID_RevASUFwdStats_CC_PacketErrorRateInstantaneous, cc_per_now);
      w.UInt64(ATTR_ID_RevASUFwdStats_TC_Total_Good_Bits_Rx, tc.bits);
      w.UInt64(ATTR_ID_RevASUFwdStats_CC_Total_Good_Bits_Rx, cc.bits);
      maybe(ATTR_ID_RevASUFwdStats_TC_Rx_Throughput_Cumulative, tc_cumulative);
      maybe(ATTR_ID_RevASUFwdStats_CC_Rx_Throughput_Cumulative, cc_cumulative);
      maybe(ATTR_ID_RevASUFwdStats_TC_Rx_Throughput_Instantaneous, tc_now);
      maybe(ATTR_ID_RevASUFwdStats_CC_Rx_Throughput_Instantaneous, cc_now);
      maybe(ATTR_ID_RevASUFwdStats_TC_Rx_Throughput_When_Served, tc_served);
      maybe(ATTR_ID_RevASUFwdStats_CC_Rx_Throughput_When_Served, cc_served);
    }

    // The slot grid is written even to a read-only data state.
    if (const AttrWriter always(ds, AttrWriter::kAlways); always.on()) {
      for (std::size_t row = 0; row < kNdrRows; ++row) {
        const auto width = static_cast<std::size_t>(kNdr[row].width);
        std::int64_t sum = 0;
        for (std::size_t j = 0; j < width; ++j) sum += grid_[row][j];
        if (sum <= 0) continue;
        for (std::size_t j = 0; j < width; ++j) {
          always.Long(*kNdr[row].attr, grid_[row][j], static_cast<std::uint32_t>(j));
        }
      }
    }

    if (!msg.detailsWanted) return;
    std::string& out = msg.details;
    out += "\nTC Rates\t\t";
    for (std::size_t j = 0; j < kNdrColumns; ++j) appendf(out, "[%d]\t", static_cast<int>(j));
    for (std::size_t row = 0; row < kNdrRows; ++row) {
      appendf(out, "\nNDR %s:\t", kNdr[row].label);
      for (std::size_t j = 0; j < static_cast<std::size_t>(kNdr[row].width); ++j) {
        append_int(out, grid_[row][j]);
        out += '\t';
      }
    }
    out += "\n";
    for (std::size_t k = 0; k < kSuCounters; ++k) {
      out += counters_[k].description;
      out += " : ";
      append_int(out, c_[k]);
      out += '\n';
    }
    appendf(out, "\t\nTC PER Cumulative: %.2f%%,  CC PER Cumulative: %.2f%%\n", tc_per, cc_per);
    if (tc_per_now >= 0 && cc_per_now >= 0) {
      appendf(out, "\t\nTC PER Instantaneous: %.2f%%,  CC PER Instantaneous: %.2f%%\n", tc_per_now, cc_per_now);
    }
    if (tc_cumulative >= 0 && cc_cumulative >= 0) {
      appendf(out, "\t\nTC Throughput Cumulative: %.2f,  CC Throughput Cumulative: %.2f\n", tc_cumulative,
              cc_cumulative);
    }
    if (tc_now >= 0 && cc_now >= 0) {
      appendf(out, "\t\nTC Throughput Instantaneous: %.2f,  CC Throughput Instantaneous: %.2f\n", tc_now, cc_now);
    }
    appendf(out, "\t\nTC Throughput When Served: %.2f", tc_served);
    appendf(out, "  CC Throughput When Served: %.2f\n", cc_served);
  }

 private:
  const std::vector<SuCounter>& counters_;
  std::array<std::uint32_t, kSuCounters> c_{};
  std::array<std::array<std::int32_t, kNdrColumns>, kNdrRows> grid_{};
};

}  // namespace

void DecodeRevASUFwdStats(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevASUFwdStats);
  Cursor c(PayloadReader(buf, len));
  const auto counters = c.u32les<kSuCounters>();
  if (!job.check(c)) return;
  assert(c.offset() == kSuSize);
  RevASUFwdStatsPacket packet(counters);
  packet.Decode(ds, msg);
}

namespace {

// ---------------------------------------------------------------------------
// Multi-user statistics (0x1193): 40 cumulative counters, u32 each.
//  +off     type     name                                          unit
//   +0      u32      sequence number of the log packet
//   +4      u32 x 13 good/bad counters: DRC 3 x 4 formats, bad,     packets
//                    DRC 5 2048 good, bad, DRC 8 3072, DRC 10 4096,
//                    DRC 13 5120 (good, bad each)
//   +56     u32 x 26 slot histograms: DRC 3 x 4 (4 slots),          packets
//                    DRC 5 (4), DRC 8, 10, 13 (2 each)
constexpr std::size_t kMuCounters = 40;
[[maybe_unused]] constexpr std::size_t kMuSize = kMuCounters * 4;
constexpr std::size_t kMuHeadCounters = 14;

// Counters 0..13 in packet order; bits count the good ones, slots the bad.
struct MuCounter {
  const char* description;
  const std::uint32_t* attr;
  int bits;
  int bad_slots;
};
const std::array<MuCounter, kMuHeadCounters> kMuHead{{
    {"Sequence number of the log packet ", &ATTR_ID_RevAMUFwdStats_SequenceNumber, 0, 0},
    {"Counter for DRC 3 [128, 4, 256] packets with good CRC ", &ATTR_ID_RevAMUFwdStats_TC3_128bits_Good, 128, 0},
    {"Counter for DRC 3 [256, 4, 256] packets with good CRC ", &ATTR_ID_RevAMUFwdStats_TC3_256bits_Good, 256, 0},
    {"Counter for DRC 3 [512, 4, 256] packets with good CRC ", &ATTR_ID_RevAMUFwdStats_TC3_512bits_Good, 512, 0},
    {"Counter for DRC 3 [1024, 4, 256] packets with good CRC ", &ATTR_ID_RevAMUFwdStats_TC3_1024bits_Good, 1024, 0},
    {"Counter for DRC 3  packets with bad CRC ", &ATTR_ID_RevAMUFwdStats_TC3_Bad, 0, 4},
    {"Counter for DRC 5 [2048, 4, 128] packets with good CRC ", &ATTR_ID_RevAMUFwdStats_TC5_2048bits_Good, 2048, 0},
    {"Counter for DRC 5  packets with bad CRC ", &ATTR_ID_RevAMUFwdStats_TC5_Bad, 0, 4},
    {"Counter for DRC 8 [3072, 2, 64] packets with good CRC ", &ATTR_ID_RevAMUFwdStats_TC8_3072bits_Good, 3072, 0},
    {"Counter for DRC 8  packets with bad CRC ", &ATTR_ID_RevAMUFwdStats_TC8_Bad, 0, 2},
    {"Counter for DRC 10 [4096, 2, 64] packets with good CRC ", &ATTR_ID_RevAMUFwdStats_TC10_4096bits_Good, 4096, 0},
    {"Counter for DRC 10  packets with bad CRC ", &ATTR_ID_RevAMUFwdStats_TC10_Bad, 0, 2},
    {"Counter for DRC 13 [5120, 2, 64] packets with good CRC ", &ATTR_ID_RevAMUFwdStats_TC13_5120bits_Good, 5120, 0},
    {"Counter for DRC 13  packets with bad CRC ", &ATTR_ID_RevAMUFwdStats_TC13_Bad, 0, 2},
}};
struct MuHistogram {
  const char* heading;
  const std::uint32_t* attr;
  std::size_t slots;
};
const std::array<MuHistogram, 8> kMuHistograms{{
    {"Counter for DRC 3 [128, 4, 256]  packets decoded in 1..4 slots ", &ATTR_ID_RevAMUFwdStats_TC3_128bits, 4},
    {"Counter for DRC 3 [256, 4, 256]  packets decoded in 1..4 slots", &ATTR_ID_RevAMUFwdStats_TC3_256bits, 4},
    {"Counter for DRC 3 [512, 4, 256]  packets decoded in 1..4 slots", &ATTR_ID_RevAMUFwdStats_TC3_512bits, 4},
    {"Counter for DRC 3 [1024, 4, 256]  packets decoded in 1..4 slots", &ATTR_ID_RevAMUFwdStats_TC3_1024bits, 4},
    {"Counter for DRC 5 [2048, 4, 128]  packets decoded in 1..4 slots", &ATTR_ID_RevAMUFwdStats_TC5_2048bits, 4},
    {"Counter for DRC 8 [3072, 2, 64]  packets decoded in 1..2 slots", &ATTR_ID_RevAMUFwdStats_TC8_3072bits, 2},
    {"Counter for DRC 10 [4096, 2, 64]  packets decoded in 1..2 slots", &ATTR_ID_RevAMUFwdStats_TC10_4096bits, 2},
    {"Counter for DRC 13 [5120, 2, 64]  packets decoded in 1..2 slots", &ATTR_ID_RevAMUFwdStats_TC13_5120bits, 2},
}};

// ---------------------------------------------------------------------------
// Per-user multi-user statistics (0x1283), 293 bytes.
//  +off  type     name                                              unit
//   +0   u8       version
//   +1   u32      sequence number
//   +5   u32 x 72 per payload size 128, 256, 512, 1024, 2048,
//                 3072, 4096, 5120 bits: good packets of user
//                 slots 1..8 (packets), then bytes for the user     bytes
constexpr std::size_t kMupBlocks = 5;
constexpr std::size_t kMupUsers = 8;
constexpr std::size_t kMupSizeBytes = (kMupUsers + 1) * 4;
[[maybe_unused]] constexpr std::size_t kMupSize = kMupBlocks + 8 * kMupSizeBytes;

struct MupSize {
  int bits;
  const std::uint32_t* good;
  const std::uint32_t* bytes;
};
const std::array<MupSize, 8> kMupPayloads{{
    {128, &ATTR_ID_MUP_128bits_Good, &ATTR_ID_MUP_bytes_for_user_128},
    {256, &ATTR_ID_MUP_256bits_Good, &ATTR_ID_MUP_bytes_for_user_256},
    {512, &ATTR_ID_MUP_512bits_Good, &ATTR_ID_MUP_bytes_for_user_512},
    {1024, &ATTR_ID_MUP_1024bits_Good, &ATTR_ID_MUP_bytes_for_user_1024},
    {2048, &ATTR_ID_MUP_2048bits_Good, &ATTR_ID_MUP_bytes_for_user_2048},
    {3072, &ATTR_ID_MUP_3072bits_Good, &ATTR_ID_MUP_bytes_for_user_3072},
    {4096, &ATTR_ID_MUP_4096bits_Good, &ATTR_ID_MUP_bytes_for_user_4096},
    {5120, &ATTR_ID_MUP_5120bits_Good, &ATTR_ID_MUP_bytes_for_user_5120},
}};

// Bits since the previous packet per sequence step, as a whole-number quotient;
// empty when there is no previous packet, no step, or the counters went back.
std::optional<double> per_step(std::uint32_t seq, std::uint64_t bits, std::optional<std::int64_t> old_seq,
                               std::optional<std::int64_t> old_bits) {
  if (!old_seq || !old_bits) return std::nullopt;
  const std::int64_t d =
      static_cast<std::int64_t>(seq) - static_cast<std::int64_t>(static_cast<std::uint32_t>(*old_seq));
  const std::int64_t d_bits = static_cast<std::int64_t>(bits) - *old_bits;
  if (d <= 0 || d_bits < 0) return std::nullopt;
  return static_cast<double>(d_bits / d);
}

}  // namespace

void DecodeRevAMUFwdStats(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevAMUFwdStats);
  Cursor cursor(PayloadReader(buf, len));
  const auto c = cursor.u32les<kMuCounters>();
  if (!job.check(cursor)) return;
  assert(cursor.offset() == kMuSize);

  std::uint64_t bits = 0, good = 0, bad = 0, slots = 0;
  for (std::size_t k = 0; k < kMuHeadCounters; ++k) {
    const MuCounter& m = kMuHead[k];
    if (m.bits > 0) {
      good += c[k];
      bits += std::uint64_t{c[k]} * static_cast<std::uint64_t>(m.bits);
    } else if (m.bad_slots > 0) {
      bad += c[k];
      slots += std::uint64_t{c[k]} * static_cast<std::uint64_t>(m.bad_slots);
    }
  }
  for (std::size_t k = kMuHeadCounters, h = 0; h < kMuHistograms.size(); ++h) {
    for (std::size_t j = 0; j < kMuHistograms[h].slots; ++j, ++k) slots += std::uint64_t{c[k]} * (j + 1);
  }
  const std::uint32_t seq = c[0];
  const double per = good + bad > 0 ? static_cast<double>(bad) / static_cast<double>(good + bad) : -1.0;
  const double served = slots > 0 ? static_cast<double>(bits) / (static_cast<double>(slots) * kSlotMs) : -1.0;
  const double instantaneous = seq > 0 ? static_cast<double>(bits / seq) : -1.0;
  const AttrReader rd(ds);
  const double one_second = per_step(seq, bits, previous(rd, ATTR_ID_RevAMUFwdStats_SequenceNumber),
                                     previous(rd, ATTR_ID_Multi_User_TotalAtData))
                                .value_or(-1.0);

  if (const AttrWriter w(ds); w.on()) {
    for (std::size_t k = 0; k < kMuHeadCounters; ++k) w.ULong(*kMuHead[k].attr, c[k]);
    for (std::size_t k = kMuHeadCounters, h = 0; h < kMuHistograms.size(); ++h) {
      for (std::size_t j = 0; j < kMuHistograms[h].slots; ++j, ++k) {
        w.ULong(*kMuHistograms[h].attr, c[k], static_cast<std::uint32_t>(j));
      }
    }
    const auto unless_negative = [&w](std::uint32_t id, double v) {
      if (v >= 0) w.Double(id, v);
    };
    unless_negative(ATTR_ID_RevAMUFwdStats_Multi_User_PER, per);
    unless_negative(ATTR_ID_RevAMUFwdStats_Multi_User_Throughput_when_served, served);
    unless_negative(ATTR_ID_RevAMUFwdStats_Multi_User_Instantaneous_throughput, instantaneous);
    unless_negative(ATTR_ID_RevAMUFwdStats_Multi_User_Instantaneous_throughput_1_sec, one_second);
    w.UInt64(ATTR_ID_Multi_User_TotalAtData, bits);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  for (std::size_t k = 0; k < kMuHeadCounters; ++k) appendf(out, "%s%u\n", kMuHead[k].description, c[k]);
  for (std::size_t k = kMuHeadCounters, h = 0; h < kMuHistograms.size(); ++h) {
    appendf(out, "%s\n", kMuHistograms[h].heading);
    for (std::size_t j = 0; j < kMuHistograms[h].slots; ++j, ++k) {
      appendf(out, "Slot%d: %u ", static_cast<int>(j + 1), c[k]);
    }
    out += "\n";
  }
  const auto line = [&out](const char* label, double v) {
    if (v < 0) {
      appendf(out, "%s n/a\n", label);
    } else {
      appendf(out, "%s %.2f\n", label, v);
    }
  };
  // The rate's own label differs in case between its figure and n/a.
  if (per < 0) {
    out += "Packet Error Rate n/a\n";
  } else {
    appendf(out, "Packet error rate %.2f\n", per);
  }
  line("Throughput when served", served);
  line("Instantaneous throughput", instantaneous);
  line("Instantaneous throughput (1sec)", one_second);
}

void DecodeRevAMUPUserStats(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeRevAMUPUserStats);
  Cursor c(PayloadReader(buf, len));
  const std::uint8_t version = c.u8();
  const std::uint32_t seq = c.u32le();
  assert(!c.ok() || c.offset() == kMupBlocks);
  std::array<std::array<std::uint32_t, kMupUsers + 1>, kMupPayloads.size()> v{};
  for (auto& size : v) size = c.u32les<kMupUsers + 1>();
  if (!job.check(c)) return;
  assert(c.offset() == kMupSize);
  std::uint32_t total_bytes = 0;
  for (const auto& size : v) total_bytes += size[kMupUsers];
  const std::uint32_t bits = 8 * total_bytes;  // 32-bit, as the packet keeps it

  // Any positive sequence number divides; the low half alone would call 65536 zero.
  const double instantaneous = seq > 0 ? static_cast<double>(bits / seq) : 0.0;
  const AttrReader rd(ds);
  const std::optional<std::int64_t> old_seq = previous(rd, ATTR_ID_MUP_Seq_num);
  const std::optional<std::int64_t> old_bits = previous(rd, ATTR_ID_MUP_TotalAtData);
  // No previous packet, or none in between, gives 0; counters gone back give nothing.
  std::optional<double> one_second = 0.0;
  if (old_seq && old_bits && seq != static_cast<std::uint32_t>(*old_seq)) {
    one_second = per_step(seq, bits, old_seq, old_bits);
  }

  if (const AttrWriter w(ds); w.on()) {
    w.ULong(ATTR_ID_MUP_Seq_num, seq);
    for (std::size_t s = 0; s < kMupPayloads.size(); ++s) {
      for (std::size_t u = 0; u < kMupUsers; ++u)
        w.ULong(*kMupPayloads[s].good, v[s][u], static_cast<std::uint32_t>(u));
      w.ULong(*kMupPayloads[s].bytes, v[s][kMupUsers]);
    }
    w.Double(ATTR_ID_MUP_InstantaneousRealThoughputMUP, instantaneous);
    if (one_second) {
      w.Double(ATTR_ID_MUP_InstantaneousRealThoughputMUP_1Sec, *one_second);
    } else {
      w.NoValue(ATTR_ID_MUP_InstantaneousRealThoughputMUP_1Sec);
    }
    w.UInt64(ATTR_ID_MUP_TotalAtData, bits);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Version : %u\nSeq No : %u\n", static_cast<unsigned>(version), seq);
  for (std::size_t s = 0; s < kMupPayloads.size(); ++s) {
    appendf(out, "%dbits_Good[1..8] ", kMupPayloads[s].bits);
    for (std::size_t u = 0; u < kMupUsers; ++u) {
      append_int(out, v[s][u]);
      out += "  ";
    }
    out += "\n";
    // The packet's own listing shows no byte count for the largest size.
    if (s + 1 < kMupPayloads.size()) appendf(out, "bytes_for_user_%d %u\n", kMupPayloads[s].bits, v[s][kMupUsers]);
  }
  appendf(out, "Instantaneous throughput %.2f\n", instantaneous);
  if (one_second) appendf(out, "Instantaneous throughput (1sec) %.2f\n", *one_second);
}
