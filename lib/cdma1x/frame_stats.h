#pragma once
// Frame counters of the 1x frame type and power control statistics reports, and the
// frame outcome names they share. The writing and the outcome classification are
// members of COrbDecodeMsgCDMAQualcommFrame (SetFrameAttributes, SetBadFrameFlags,
// UpdateFrameErrorsArray, in lib/cdma1x/frame_stats.cpp).
#include <array>
#include <cstdint>

#include "framework/value_names.h"

namespace cdmadiag {

// FCH frame types (rows of FrameCounters::fch) and rate codes (columns).
inline constexpr std::size_t kFchPayloadOnly = 0;
inline constexpr std::size_t kFchDimAndBurst = 1;
inline constexpr std::size_t kFchBlankAndBurst = 2;
inline constexpr std::size_t kFchTypes = 3;
inline constexpr std::size_t kFchRates = 5;  // 0 erasure/blank .. 4 full rate
// Supplemental and common channel rate codes (SCH0, SCH1, F-SCCH).
inline constexpr std::size_t kSchFullRate = 0;
inline constexpr std::size_t kSchBlank = 1;
inline constexpr std::size_t kSchErasure = 2;
inline constexpr std::size_t kSchNotActive = 3;
inline constexpr std::size_t kSchRates = 4;
inline constexpr std::size_t kForwardScchs = 7;

// Counts of one packet, zeroed for each. Codes outside the tables go to `invalid`,
// which is never written.
struct FrameCounters {
  std::array<std::array<std::int32_t, kFchRates>, kFchTypes> fch{};
  std::array<std::int32_t, kSchRates> sch0{};
  std::array<std::int32_t, kSchRates> sch1{};
  std::int32_t dcch_rate = 0;
  // F-SCCH 1 to 7 at rows 0 to 6; the fifth column is kept for the layout and never written.
  std::array<std::array<std::int32_t, kFchRates>, kForwardScchs> scch{};
  std::int32_t invalid = 0;

  void CountFch(unsigned type, unsigned rate) {
    if (type < kFchTypes && rate < kFchRates) {
      ++fch[type][rate];
    } else {
      ++invalid;
    }
  }
  static void CountSch(std::array<std::int32_t, kSchRates>& sch, unsigned rate, std::int32_t& invalid) {
    if (rate < kSchRates) {
      ++sch[rate];
    } else {
      ++invalid;
    }
  }
};

// Erased over all payload-only FCH frames, in percent; 0 with no frames.
double FchFerPercent(const FrameCounters& c);
// Blank and erased over full, blank and erased frames of one supplemental channel, in percent; 0 with none.
double SchFerPercent(const std::array<std::int32_t, kSchRates>& sch);

inline constexpr std::array<ValueName, 5> kFchRateNames{{{0, "Erasure/Blank"},
                                                         {1, "1/8 rate frame"},
                                                         {2, "1/4 rate frame"},
                                                         {3, "1/2 rate frame"},
                                                         {4, "Full rate frame"}}};
inline constexpr std::array<ValueName, 3> kFchTypeNames{
    {{0, "Payload only"}, {1, "Dim and Burst frame"}, {2, "Blank and Burst frame"}}};
inline constexpr std::array<ValueName, 4> kForwardSchRateNames{
    {{0, "Full rate frame"}, {1, "Blank (DTX) frame"}, {2, "Erasure"}, {3, "SCCH not active"}}};
inline constexpr std::array<ValueName, 4> kReverseSchRateNames{
    {{0, "Full rate frame"}, {1, "Blank(DTX) frame"}, {2, "Erasure"}, {3, "SCCH not active"}}};
inline constexpr const char* kInvalidFrame = "Invalid";

// Error tally of UpdateFrameErrorsArray.
inline constexpr std::size_t kAnyError = 0;
inline constexpr std::size_t kFrameErrors = 1;
inline constexpr std::size_t kBitErrors = 2;
inline constexpr std::size_t kBurstErrors = 3;
using FrameErrorTally = std::array<std::uint8_t, 4>;

}  // namespace cdmadiag
