// Markov statistics response (cmd 0x1A): the phone's own Markov test counters.
//
// Payload after the command code, at least 105 bytes:
//  +off  type        name                      unit
//   +0   u8          mode                      kModes
//   +1   u16         Markov rate               kRateTexts
//   +3   u16         receive state             kRxStates
//   +5   u32         total frames
//   +9   u32         bad frames                as the phone counts them, used outside the Markov modes
//  +13   u16[4][10]  frame counts              rows expected full, 1/2, 1/4, 1/8 rate; columns the
//                                              received category (below), 20 bytes a row
//  +93   u32         bit errors
//  +97   u16[4]      frames at the expected rate with bit errors
//
// Received categories (rate set 1 decisions): 0 full primary, 1-3 full dim-and-burst
// with 1/2, 1/4, 1/8 primary and signalling, 4 full blank-and-burst, 5 1/2, 6 1/4,
// 7 1/8 primary, 8 full rate with bit errors, 9 erasure.
#include <array>
#include <cassert>
#include <optional>

#include "diag/diag_common.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"
#include "framework/value_names.h"

using cdmadiag::appendf;
using cdmadiag::Cursor;
using cdmadiag::name_or;

namespace {

[[maybe_unused]] constexpr std::size_t kSize = 105;
constexpr std::size_t kRateBitErrors = 8;  // u16[4] at +97, not shown
constexpr std::size_t kRates = 4;
constexpr std::size_t kCategories = 10;
// Column of the correct decision for each expected rate.
constexpr std::array<std::size_t, kRates> kCorrectColumn = {0, 5, 6, 7};

constexpr std::uint8_t kModeNone = 0;
constexpr std::uint16_t kRxTraffic = 4;

constexpr std::array<ValueName, 12> kModes = {{
    {0, "Mode: No mode (phone not in a call)\n"},
    {1, "Mode: Voice (IS-96)\n"},
    {2, "Mode: Loopback (IS-126)\n"},
    {3, "Mode: Markov\n"},
    {4, "Mode: Data (IS-707A)\n"},
    {5, "Mode: Voice (IS-96A)\n"},
    {6, "Mode: Voice 13k\n"},
    {7, "Mode: Markov (\"new\" 13k)\n"},
    {8, "Mode: Markov (\"new\" 8k)\n"},
    {9, "Mode: Loopback (13k)(IS-126)\n"},
    {10, "Mode: Markov (\"old\" 13k)\n"},
    {11, "Mode: EVRC\n"},
}};
constexpr const char* kModeInvalid = "Mode: Invalid Value";

constexpr std::array<ValueName, 5> kRateTexts = {{
    {0, "Rate: Rate Variable\n"},
    {1, "Rate: Rate 1/8\n"},
    {2, "Rate: Rate 1/4\n"},
    {3, "Rate: Rate 1/2\n"},
    {4, "Rate: Rate 1\n"},
}};

constexpr std::array<ValueName, 6> kRxStates = {{
    {0, "Rx state: Entering CDMA State\n"},
    {1, "Rx state: Sync Channel State\n"},
    {2, "Rx state: Paging Channel State\n"},
    {3, "Rx state: Traffic Chanel Initialization State\n"},
    {4, "Rx state: Traffic Channel State\n"},
    {5, "Rx state: Exit State\n"},
}};

// Row labels of the received categories, in the style of the Markov log's table.
constexpr std::array<const char*, kCategories> kCategoryRows = {
    "Full prim.\t\t\t",
    "Full d&&b prim 1/2 sig.\t\t",
    "Full d&&b prim 1/4 sig.\t\t",
    "Full d&&b prim 1/8 sig.\t\t",
    "Full b&&b sig.\t\t\t",
    "1/2 prim.\t\t\t",
    "1/4 prim. \t\t\t",
    "1/8 prim. \t\t\t",
    "Full bit errs.\t\t\t",
    "Erasure\t\t\t\t",
};

constexpr const char* kNoFrames = "no frames transmitted";
constexpr const char* kNotInCall = "phone not in call";

// Modes 0x36 and 0x37 are accepted without having a name.
bool accepted(std::uint8_t mode, std::uint16_t rate, std::uint16_t rx_state) {
  const bool mode_ok = mode < kModes.size() || mode == 0x36 || mode == 0x37;
  return mode_ok && rate < kRateTexts.size() && rx_state < kRxStates.size();
}

bool markov_mode(std::uint8_t mode) { return mode == 3 || mode == 7 || mode == 8 || mode == 10; }

// A rate, or the reason it cannot be formed.
struct Rate {
  std::optional<double> percent;
  const char* why = kNoFrames;
};

void append_rate(std::string& out, const Rate& rate) {
  if (rate.percent) {
    appendf(out, "%.4f", *rate.percent);
  } else {
    appendf(out, "(%s)", rate.why);
  }
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeMarkovStatisticsResponse(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                    IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeMarkovStatisticsResponse);
  Cursor c(payload());
  const std::uint8_t mode = c.u8();
  const std::uint16_t rate = c.u16le();
  const std::uint16_t rx_state = c.u16le();
  const std::uint32_t total = c.u32le();
  const std::uint32_t phone_bad = c.u32le();
  std::array<std::array<std::uint16_t, kCategories>, kRates> counts{};
  for (auto& row : counts) {
    for (std::uint16_t& count : row) count = c.u16le();
  }
  const std::uint32_t bit_errors = c.u32le();
  c.skip(kRateBitErrors);
  if (!job.check(c)) return;
  assert(c.offset() == kSize);
  if (!accepted(mode, rate, rx_state)) return;

  if (mode == kModeNone) cdmadiag::diag::record_non_markov_frames(ds, GetMessageNumber(), {phone_bad, total});

  std::uint32_t bad = 0;
  for (std::size_t row = 0; row < kRates; ++row) {
    for (std::size_t col = 0; col < kCategories; ++col) {
      if (col != kCorrectColumn[row]) bad += counts[row][col];
    }
  }

  Rate cumulative;
  Rate instantaneous;
  if (markov_mode(mode)) {
    if (rx_state != kRxTraffic) {
      cumulative.why = instantaneous.why = kNotInCall;
    } else {
      if (total != 0 && bad <= total) cumulative.percent = static_cast<double>(bad) / total * 100.0;
      instantaneous.percent = cdmadiag::diag::frame_error_rate_since(
          ds, ATTR_ID_Markov_Last_Bad_Frames, ATTR_ID_Markov_Last_Total_Frames, GetMessageNumber(), {bad, total});
    }
    const cdmadiag::AttrWriter w(ds);
    if (instantaneous.percent) {
      w.Double(ATTR_ID_FORWARD_FER, *instantaneous.percent);
    } else {
      w.NoValue(ATTR_ID_FORWARD_FER);
    }
    w.DWord(ATTR_ID_Markov_Last_Bad_Frames, bad);
    w.DWord(ATTR_ID_Markov_Last_Total_Frames, total);
  }

  if (!msg.detailsWanted) return;
  std::string& d = msg.details;
  d += name_or(kModes, mode, kModeInvalid);
  d += name_or(kRateTexts, rate, "");
  d += name_or(kRxStates, rx_state, "");
  if (!markov_mode(mode)) return;

  d += "\t\t\t\t\t         Expected Values\n";
  d += "\t\t\t\t=====================================\n";
  d += "Received Values\t\t\tFull\t1/2\t1/4\t1/8\n";
  for (std::size_t col = 0; col < kCategories; ++col) {
    d += kCategoryRows[col];
    appendf(d, "%u\t%u\t%u\t%u\n", counts[0][col], counts[1][col], counts[2][col], counts[3][col]);
  }
  appendf(d, "Total frames: %lu, Bad frames: %lu, Bit errors: %lu, FER(Instantaneous): ",
          static_cast<unsigned long>(total), static_cast<unsigned long>(bad), static_cast<unsigned long>(bit_errors));
  append_rate(d, instantaneous);
  d += ", FER(Cumulative): ";
  append_rate(d, cumulative);
  d += "\n";
}
