// Markov statistics: in a Markov test call the handset predicts the rate of every
// forward frame, so comparing each expected category with the decoded one gives frame
// and bit error rates per rate. The mini message carries one such frame.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "cdma1x/frame_stats.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using F = COrbDecodeMsgCDMAQualcommFrame;

// Category byte of a frame: bits 4-7 the expected category, bits 0-3 the received one.
constexpr unsigned kExpectedLsb = 4;
constexpr std::uint8_t kReceivedMask = 0x0F;

// Mini message (2 bytes): +0 category byte, +1 bit errors.

// Statistics packet:
//  +off      type  name
//   +0       u8    number of frame entries n (0: nothing to decode)
//   +1 + 2i  u8    entry i: category byte
//   +2 + 2i  u8    entry i: bit errors
// Entries stop at n or at the last whole entry of the payload.
constexpr std::size_t kEntrySize = 2;
constexpr const char* kUnsupportedMode = "  Unsupported RF Mode\n";

// Multiplex categories (rate set 1 decisions, numbered as in the Markov statistics
// response, with the secondary-traffic categories after them):
//   0 full primary, 1-3 full dim-and-burst with 1/2, 1/4, 1/8 primary and signalling,
//   4 full blank-and-burst signalling, 5 1/2, 6 1/4, 7 1/8 primary, 8 full rate with
//   bit errors, 9 erasure, 10-12 full dim-and-burst with 1/2, 1/4, 1/8 primary and
//   secondary, 13 full blank-and-burst secondary, 14 and 15 no frame.
constexpr std::array<const char*, 16> kCategoryNames = {"Full prim.",
                                                        "Full d&b prim 1/2 sig.",
                                                        "Full d&b prim 1/4 sig.",
                                                        "Full d&b prim 1/8 sig.",
                                                        "Full b&b sig.",
                                                        "1/2 prim.",
                                                        "1/4 prim.",
                                                        "1/8 prim.",
                                                        "Full bit errs.",
                                                        "Erasure",
                                                        "Full d&b prim 1/2 2nd",
                                                        "Full d&b prim 1/4 2nd",
                                                        "Full d&b prim 1/8 2nd",
                                                        "Full b&b 2nd",
                                                        "No frame",
                                                        "No frame"};
constexpr std::uint8_t kErasure = 9;
constexpr std::uint8_t kNoFrame = 14;

// Rows of the received-values matrix: the categories carrying a frame, then the frames
// received with bit errors. Each row label carries its own tab stops.
constexpr std::size_t kRows = 13;
constexpr std::size_t kBitErrorRow = 12;
constexpr std::array<const char*, kRows> kRowLabels = {"Full prim.\t\t\t",
                                                       "Full d&&b prim 1/2 sig.\t\t",
                                                       "Full d&&b prim 1/4 sig.\t\t",
                                                       "Full d&&b prim 1/8 sig.\t\t",
                                                       "Full b&&b sig.\t\t\t",
                                                       "1/2 prim.\t\t\t",
                                                       "1/4 prim. \t\t\t",
                                                       "1/8 prim. \t\t\t",
                                                       "Full d&&b prim 1/2 2nd\t\t",
                                                       "Full d&&b prim 1/4 2nd\t\t",
                                                       "Full d&&b prim 1/8 2nd\t\t",
                                                       "Full b&&b 2nd\t\t\t",
                                                       "Bit Errs.\t\t\t\t"};
constexpr int kNoRow = -1;
constexpr std::array<int, 16> kRowOfReceived = {0,      1, 2, 3,  4,  5,      6,     7, kBitErrorRow,
                                                kNoRow, 8, 9, 10, 11, kNoRow, kNoRow};

// Columns: all frames, then by expected category: full, 1/2, 1/4, 1/8 primary, and the
// full-rate frames carrying signalling or secondary traffic (SIGS, rate set 1 only).
constexpr std::size_t kColumns = 6;
constexpr std::size_t kTotalColumn = 0;
constexpr std::size_t kSigsColumn = 5;
constexpr int kNoColumn = -1;
constexpr std::array<int, 16> kColumnOfExpected = {1,         5,         5, 5, 5, 2, 3,         4,
                                                   kNoColumn, kNoColumn, 5, 5, 5, 5, kNoColumn, kNoColumn};

// The four rates with a tally: full, half, quarter and eighth rate primary frames.
constexpr std::size_t kRates = 4;
constexpr std::array<std::uint8_t, kRates> kRateCategory = {0, 5, 6, 7};
constexpr std::array<const char*, kRates> kRateLabels = {
    "  Full rate:", "  Half rate:", "  Quarter rate:", "  Eighth rate:"};
constexpr int kNoRate = -1;
int rate_of(std::uint8_t expected) {
  for (std::size_t r = 0; r < kRates; ++r) {
    if (kRateCategory[r] == expected) return static_cast<int>(r);
  }
  return kNoRate;
}

// Multiplex modes: 1 and 100 select rate set 1, 2 and 101 rate set 2.
constexpr std::uint8_t kModeRs1 = 1;
constexpr std::uint8_t kModeRs2 = 2;
constexpr std::uint8_t kModeMux1 = 100;
constexpr std::uint8_t kModeMux2 = 101;

// The mode from the expected categories of the entries from c's offset: the first entry
// whose category is not 1, 8 or 14 decides; when every entry is one of those, the last
// does. A last entry cut after its category byte still counts.
std::uint8_t scan_mode(Cursor c, unsigned entries) {
  std::uint8_t deciding = 0;
  for (unsigned i = 0; i < entries && c.left() > 0; ++i) {
    deciding = static_cast<std::uint8_t>(c.u8() >> kExpectedLsb);
    c.skip(1);
    if (deciding != 1 && deciding != 8 && deciding != 14) break;
  }
  switch (deciding) {
    case 15: return kModeRs1;
    case 0:
    case 5:
    case 6:
    case 7:
    case 14: return kModeMux1;
    default: return kModeMux2;
  }
}

// Consecutive frame errors that make a burst.
constexpr std::uint16_t kBurstLength = 3;

// Tallies of one packet. At most 255 entries, so the 8-bit counts cannot wrap.
struct Tallies {
  std::array<cdmadiag::FrameErrorTally, kRates> errors{};
  std::array<std::uint32_t, kRates> expected{};
  std::array<std::uint8_t, kRates> good{};
  std::array<std::array<unsigned, kColumns>, kRows> matrix{};
  unsigned erasures = 0;
  unsigned no_frames = 0;
  unsigned frames = 0;
  std::uint16_t frame_errors = 0;
  std::uint16_t bit_errors = 0;
};

double percent(double part, double whole) { return part / whole * 100.0; }

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeMarkovMiniMessage(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                             IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMarkovMiniMessage);
  Cursor c(payload());
  const std::uint8_t category = c.u8();
  const std::uint8_t bit_errors = c.u8();
  if (!job.check(c)) return;
  const AttrWriter w(ds);
  w.Byte(ATTR_ID_MARKOV_Expected_MUX, static_cast<std::uint8_t>(category >> kExpectedLsb));
  w.Byte(ATTR_ID_MARKOV_Actual_MUX, static_cast<std::uint8_t>(category & kReceivedMask));
  w.Byte(ATTR_ID_MARKOV_BIT_ERRS, bit_errors);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeMarkovStats(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeMarkovStats);
  Cursor c(payload());
  const unsigned entries = c.u8();
  if (!job.check(c)) return;
  if (entries == 0) return;

  const AttrWriter w(ds);
  std::uint8_t mode = 0;
  if (w.on()) {
    mode = scan_mode(c, entries);
    w.Byte(ATTR_ID_MUX_MODE, mode);
  } else {
    const auto held = cdmadiag::held_integer(cdmadiag::AttrReader(ds).before(ATTR_ID_MUX_MODE, GetMessageNumber() + 1));
    mode = static_cast<std::uint8_t>(held.value_or(0));
  }
  const bool rate_set_1 = mode == kModeRs1 || mode == kModeMux1;
  if (!rate_set_1 && mode != kModeRs2 && mode != kModeMux2) return (void)job.fail(kUnsupportedMode);

  std::string* d = msg.detailsWanted ? &msg.details : nullptr;
  Tallies t;
  std::uint16_t run = 0;
  std::uint16_t bursts = 0;
  const std::size_t whole = c.whole_records(kEntrySize, entries);
  for (std::size_t i = 0; i < whole; ++i) {
    const std::uint8_t raw = c.u8();
    const std::uint8_t bits = c.u8();
    const auto expected = static_cast<std::uint8_t>(raw >> kExpectedLsb);
    const auto received = static_cast<std::uint8_t>(raw & kReceivedMask);
    bool bit_error = false;
    bool frame_error = false;
    SetBadFrameFlags(expected, received, bit_error, frame_error);
    // A burst: the frame error that completes a run of kBurstLength in a row.
    run = frame_error ? static_cast<std::uint16_t>(run + 1) : 0;
    const std::uint16_t bursts_before = bursts;
    DetectBurstError(run, bursts, kBurstLength);
    const bool burst_error = bursts != bursts_before;

    ++t.frames;
    if (frame_error) ++t.frame_errors;
    t.bit_errors = static_cast<std::uint16_t>(t.bit_errors + bits);
    if (const int rate = rate_of(expected); rate != kNoRate) {
      const auto k = static_cast<std::size_t>(rate);
      UpdateFrameErrorsArray(t.errors[k], burst_error, frame_error, bit_error);
      ++t.expected[k];
      if (received == expected && bits == 0) ++t.good[k];
    }
    if (received == kErasure) ++t.erasures;
    if (received >= kNoFrame) ++t.no_frames;
    if (const int row = kRowOfReceived[received]; row != kNoRow) {
      auto& cells = t.matrix[static_cast<std::size_t>(row)];
      ++cells[kTotalColumn];
      if (const int col = kColumnOfExpected[expected]; col != kNoColumn) ++cells[static_cast<std::size_t>(col)];
    }
    if (d == nullptr) continue;
    if (received != expected) {
      appendf(*d, "\n  Frame %d (%0x): Expected %s, got %s", static_cast<int>(i), static_cast<unsigned>(raw),
              kCategoryNames[expected], kCategoryNames[received]);
    } else if (bits != 0) {
      appendf(*d, "\n  Frame %d (%0x): For %s, got %d bit errors", static_cast<int>(i), static_cast<unsigned>(raw),
              kCategoryNames[expected], static_cast<int>(bits));
    }
  }

  if (w.on() && t.frames != 0) {
    const std::array<std::uint32_t, kRates> total_ids = {
        ATTR_ID_CDMA_XFER_FULL_TOTALFRAMES, ATTR_ID_CDMA_XFER_HALF_TOTALFRAMES, ATTR_ID_CDMA_XFER_QTR_TOTALFRAMES,
        ATTR_ID_CDMA_XFER_EIGHTH_TOTALFRAMES};
    const std::array<std::uint32_t, kRates> good_ids = {
        ATTR_ID_CDMA_XFER_GOOD_FULL_RATE, ATTR_ID_CDMA_XFER_GOOD_HALF_RATE, ATTR_ID_CDMA_XFER_GOOD_QTR_RATE,
        ATTR_ID_CDMA_XFER_GOOD_EIGHTH_RATE};
    const std::array<std::uint32_t, kRates> markov_ids = {ATTR_ID_For_MarkovFER_FullRate,
                                                          ATTR_ID_For_MarkovFER_HalfRate, ATTR_ID_For_MarkovFER_QtrRate,
                                                          ATTR_ID_For_MarkovFER_EigRate};
    const std::array<std::uint32_t, kRates> non_markov_ids = {
        ATTR_ID_ForwardFER_FullRate_NonMarkov, ATTR_ID_ForwardFER_HalfRate_NonMarkov,
        ATTR_ID_ForwardFER_QuarterRate_NonMarkov, ATTR_ID_ForwardFER_EighthRate_NonMarkov};
    for (std::size_t k = 0; k < kRates; ++k) w.Byte(total_ids[k], static_cast<std::uint8_t>(t.expected[k]));
    for (std::size_t k = 0; k < kRates; ++k) w.Byte(good_ids[k], t.good[k]);
    for (std::size_t k = 0; k < kRates; ++k) {
      if (t.expected[k] == 0) continue;  // no frames expected: no rate to report
      w.Double(markov_ids[k], 100.0 - percent(t.good[k], t.expected[k]));
      w.Double(non_markov_ids[k], percent(t.errors[k][cdmadiag::kFrameErrors], t.expected[k]));
    }
    w.Double(ATTR_ID_CDMA_BER, t.bit_errors * 100.0 / (t.frames * 0.2));
    w.Double(ATTR_ID_FER_NON_MARKOV, percent(t.frame_errors, t.frames));
  }

  if (d == nullptr) return;
  // Rate set 2 has no signalling column.
  const std::size_t columns = rate_set_1 ? kColumns : kSigsColumn;
  if (!d->empty() && d->back() != '\n') *d += "\n";
  *d += rate_set_1 ? "Received Values\t\t\tTotal\tFull\t1/2\t1/4\t1/8\tSIGS\n"
                   : "Received Values\t\t\tTotal\tFull\t1/2\t1/4\t1/8\n";
  for (std::size_t row = 0; row < kRows; ++row) {
    *d += kRowLabels[row];
    for (std::size_t col = 0; col < columns; ++col) {
      appendf(*d, col == 0 ? "%d" : "\t%d", static_cast<int>(t.matrix[row][col]));
    }
    *d += row == kBitErrorRow ? "\n\n" : "\n";
  }
  appendf(*d, "Erasures: %d,\tNo frame: %d\n", static_cast<int>(t.erasures), static_cast<int>(t.no_frames));
  *d += "\n  Summary:\tframes\t\tFER (%)\tBER (%)\n";
  for (std::size_t k = 0; k < kRates; ++k) {
    if (t.expected[k] == 0) {
      appendf(*d, "%s\t%d\t\t-\n", kRateLabels[k], 0);
    } else {
      appendf(*d, "%s\t%d\t\t%.1f\n", kRateLabels[k], static_cast<int>(t.expected[k]),
              100.0 - percent(t.good[k], t.expected[k]));
    }
  }
  if (t.frames == 0) {
    appendf(*d, "  All rates:\t%d\t-\n", 0);
  } else {
    appendf(*d, "  All rates:\t%d\t\t%.1f\t\t%.1f\n", static_cast<int>(t.frames), percent(t.frame_errors, t.frames),
            t.bit_errors * 100.0 / (t.frames * 0.2));
  }
}
