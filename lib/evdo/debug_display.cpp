// 1xEV Debug Display (0x1183): a one-screen status summary; text only. Runs inside
// the dispatcher's guard, so a short packet throws (see evdo_common.h).
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <string>

#include "evdo/evdo_common.h"
#include "framework/decoder_evdo.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/format_groups.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::Cursor;
using cdmadiag::name_or;

// Payload, one record of 37 bytes:
//  +off  type     name            unit
//   +0   u16      channel / band  bits 0-10 channel, bits 11-15 band class
//   +2   s8       Rx AGC0         dBm
//   +3   s8       Rx AGC1         dBm
//   +4   s8       Tx AGC          dBm
//   +5   u16      serving PN
//   +7   6 x u16  active-set PNs  kEmptyPn = empty entry
//  +19   u8       sleep mode
//  +20   u8       slot cycle      bits 0-2 Release 0 index, bits 3-7 Release A index
//  +21   u8       searcher state  host format group "Searcher Task State"
//  +22   u8       Rx diversity
//  +23   u8       AT state        AT protocol state
//  +24   u8       session state
//  +25   u32      UATI / colour   bits 0-23 UATI, bits 24-31 colour code
//  +29   4 x u16  stream 0-3      application bound to the stream
[[maybe_unused]] constexpr std::size_t kPacketSize = 37;
constexpr std::size_t kActiveSetSize = 6;
constexpr std::size_t kStreamCount = 4;
constexpr std::uint16_t kEmptyPn = 0xFFFF;

constexpr const char* kSearcherStateGroup = "Searcher Task State";

constexpr std::array<ValueName, 5> kSleepModeNames{{
    {0, "0.426 s sleep (SCC)"},
    {1, "5.12 s sleep (CCC)"},
    {2, "40.96 s sleep (long sleep)"},
    {3, "Until re-acquisition handoff"},
    {4, "Release A enhanced idle protocol sleep"},
}};
constexpr std::array<ValueName, 5> kRel0SlotCycleNames{{
    {0, "5.12 s"},
    {1, "10.24 s"},
    {2, "20.48 s"},
    {3, "40.96 s"},
    {4, "n/a"},
}};
constexpr std::array<ValueName, 6> kAtStateNames{{
    {0, "Inactive (AT switched to 1x or is in Deep Sleep)"},
    {1, "Acquisition"},
    {2, "Sync"},
    {3, "Idle"},
    {4, "Access"},
    {5, "Connected"},
}};
constexpr std::array<ValueName, 5> kSessionStateNames{{
    {0, "Closed"},
    {1, "AMP setup"},
    {2, "AT-initiated negotiation"},
    {3, "AN-initiated negotiation"},
    {4, "Open"},
}};
constexpr std::array<ValueName, 6> kStreamNames{{
    {0, "Default signaling application"},
    {1, "Default packet application for AN"},
    {2, "Default packet application for SN"},
    {3, "Default test application"},
    {0x0BAD, "No information"},
    {0xFFFF, "Stream not used"},
}};

// Release A slot cycle period in ms of a 5-bit index.
double rel_a_period_ms(unsigned c) {
  constexpr double kSlotMs = 6.666666666666667;
  if (c <= 6) return std::ldexp(kSlotMs, static_cast<int>(c));
  if (c <= 15) return std::ldexp(kSlotMs, static_cast<int>(c) - 7);
  return 0.0;
}

}  // namespace

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodeDebugDisplay(IOrbDataState*, COrbExpandedMessage& msg,
                                                              IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodeDebugDisplay);
  Cursor c(payload());
  const std::uint16_t channel_band = c.u16le();
  const std::int8_t rx_agc0 = c.i8();
  const std::int8_t rx_agc1 = c.i8();
  const std::int8_t tx_agc = c.i8();
  const std::uint16_t serving_pn = c.u16le();
  std::array<std::uint16_t, kActiveSetSize> active_set{};
  for (std::uint16_t& pn : active_set) pn = c.u16le();
  const std::uint8_t sleep_mode = c.u8();
  const std::uint8_t slot_cycle = c.u8();
  const std::uint8_t searcher = c.u8();
  const std::uint8_t rx_diversity = c.u8();
  const std::uint8_t at_state = c.u8();
  const std::uint8_t session_state = c.u8();
  const std::uint32_t uati = c.u32le();
  std::array<std::uint16_t, kStreamCount> streams{};
  for (std::uint16_t& stream : streams) stream = c.u16le();
  if (!job.check(c)) return;
  assert(c.offset() == kPacketSize);
  if (!msg.detailsWanted) return;

  std::string& out = msg.details;
  appendf(out, "Channel no.: %u, Band Class: %d, Rx AGC0: %d dBm, Rx AGC1: %d dBm, Tx AGC: %d dBm, Serving PN: %u\n",
          static_cast<unsigned>(cdmadiag::bits(channel_band, 0, 11)),
          static_cast<int>(cdmadiag::bits(channel_band, 11, 5)), int{rx_agc0}, int{rx_agc1}, int{tx_agc},
          unsigned{serving_pn});

  out += "ActSet PNs: { ";
  for (const std::uint16_t pn : active_set) {
    if (pn < kEmptyPn) appendf(out, "%u ", static_cast<unsigned>(pn));
  }
  out += "}\n";

  appendf(out, "Sleep Mode: %s\n", name_or(kSleepModeNames, sleep_mode, "Unknown"));
  appendf(out, "Slot Cycle SCI Rel 0: %s\n",
          name_or(kRel0SlotCycleNames, static_cast<std::int64_t>(cdmadiag::bits(slot_cycle, 0, 3)), "Unknown"));
  appendf(out, "Slot Cycle SCI Rel A: %.2f ms\n",
          rel_a_period_ms(static_cast<unsigned>(cdmadiag::bits(slot_cycle, 3, 5))));

  const std::string searcher_state = cdmadiag::group_text(kSearcherStateGroup, searcher);
  appendf(out, "Searcher state: %s\n", searcher_state.c_str());

  appendf(out, "Rx Diversity: %s\n", rx_diversity == 0 ? "Single (Rx0 only)" : "Dual");
  appendf(out, "AT protocol state: %s\n", name_or(kAtStateNames, at_state, "Reserved"));
  appendf(out, "Session state: %s\n", name_or(kSessionStateNames, session_state, "Reserved"));

  appendf(out, "UATI: 0x%02X, Color Code: 0x%02X\n", static_cast<unsigned>(cdmadiag::bits(uati, 0, 24)),
          static_cast<unsigned>(cdmadiag::bits(uati, 24, 8)));
  for (std::size_t n = 0; n < kStreamCount; ++n) {
    appendf(out, "Stream Config %d: %s\n", static_cast<int>(n), name_or(kStreamNames, streams[n], "n/a"));
  }
}
