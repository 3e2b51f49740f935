// 1xEV Power (0x1069): transmit and receive power of the two frames of a report.
#include <array>
#include <cassert>
#include <cstdint>

#include "evdo/evdo_common.h"
#include "framework/attributes.h"
#include "framework/decoder_evdo.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::Cursor;
using cdmadiag::name_or;
using cdmadiag::evdo::db_from_256ths;

// Payload: two frames of 13 bytes.
//   +0 u8   bits 0-3 ATType, bit 4 RatchetMode, bit 5 PAState
//   +1 s16  TxOpenLoopPower          1/256 dBm
//   +3 s16  TxClosedLoopPowerAdjust  1/256 dB
//   +5 s16  TxPilotPower             1/256 dBm
//   +7 s16  TxTotalPower             1/256 dB
//   +9 s16  RxAGC0                   1/256 dBm
//  +11 s16  RxAGC1                   1/256 dB; kRxAgc1Absent = no second receiver
constexpr std::size_t kFrameSize = 13;
constexpr std::size_t kFrames = 2;
[[maybe_unused]] constexpr std::size_t kPacketSize = kFrames * kFrameSize;
constexpr std::uint16_t kRxAgc1Absent = 0xC033;

constexpr std::array<ValueName, 2> kAtTypeNames{{{1, "MSM4500"}, {2, "MSM5500"}}};
constexpr std::array<ValueName, 2> kRatchetModeNames{{{0, "Tx power not limited"}, {1, "Tx power is limited"}}};
constexpr std::array<ValueName, 2> kOnOff{{{0, "Off"}, {1, "On"}}};

struct PowerFrame {
  unsigned at_type, ratchet_mode, pa_state;
  double tx_open_loop, tx_closed_loop, tx_pilot, tx_total, rx_agc0, rx_agc1;
  bool rx_agc1_marked;
};

PowerFrame read_frame(Cursor& c) {
  const std::uint8_t flags = c.u8();
  PowerFrame f{};
  f.at_type = static_cast<unsigned>(cdmadiag::bits(flags, 0, 4));
  f.ratchet_mode = static_cast<unsigned>(cdmadiag::bits(flags, 4, 1));
  f.pa_state = static_cast<unsigned>(cdmadiag::bits(flags, 5, 1));
  f.tx_open_loop = db_from_256ths(c.i16le());
  f.tx_closed_loop = db_from_256ths(c.i16le());
  f.tx_pilot = db_from_256ths(c.i16le());
  f.tx_total = db_from_256ths(c.i16le());
  f.rx_agc0 = db_from_256ths(c.i16le());
  const std::uint16_t rx_agc1 = c.u16le();
  f.rx_agc1 = db_from_256ths(static_cast<std::int16_t>(rx_agc1));
  f.rx_agc1_marked = rx_agc1 == kRxAgc1Absent;
  return f;
}

// Attribute ids of one frame; pointers because the ids are resolved at load.
struct FrameAttrs {
  const std::uint32_t *at_type, *ratchet_mode, *pa_state, *tx_open_loop, *tx_closed_loop, *tx_pilot, *tx_total,
      *rx_agc0, *rx_agc1;
};
const std::array<FrameAttrs, kFrames> kFrameAttrs{{
    {&ATTR_ID_EVDO_POWER_ATTYPE_PN1, &ATTR_ID_EVDO_POWER_RATCHET_MODE_PN1, &ATTR_ID_EVDO_POWER_PA_STATE_PN1,
     &ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER_PN1, &ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST_PN1,
     &ATTR_ID_EVDO_POWER_TXPILOT_POWER_PN1, &ATTR_ID_EVDO_POWER_TXTOTAL_POWER_PN1, &ATTR_ID_EVDO_POWER_RXAGC0_PN1,
     &ATTR_ID_EVDO_POWER_RXAGC1_PN1},
    {&ATTR_ID_EVDO_POWER_ATTYPE_PN2, &ATTR_ID_EVDO_POWER_RATCHET_MODE_PN2, &ATTR_ID_EVDO_POWER_PA_STATE_PN2,
     &ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER_PN2, &ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST_PN2,
     &ATTR_ID_EVDO_POWER_TXPILOT_POWER_PN2, &ATTR_ID_EVDO_POWER_TXTOTAL_POWER_PN2, &ATTR_ID_EVDO_POWER_RXAGC0_PN2,
     &ATTR_ID_EVDO_POWER_RXAGC1_PN2},
}};

}  // namespace

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodePower(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodePower);
  Cursor c(payload());
  std::array<PowerFrame, kFrames> frames{};
  for (PowerFrame& f : frames) f = read_frame(c);
  if (!job.check(c)) return;
  assert(c.offset() == kPacketSize);
  // One frame without a second receiver reading still leaves a figure worth showing.
  const bool rx_agc1_available = !(frames[0].rx_agc1_marked && frames[1].rx_agc1_marked);

  if (const cdmadiag::AttrWriter w(ds); w.on()) {
    for (std::size_t n = 0; n < kFrames; ++n) {
      const PowerFrame& f = frames[n];
      const FrameAttrs& a = kFrameAttrs[n];
      w.Byte(*a.at_type, static_cast<std::uint8_t>(f.at_type));
      w.Byte(*a.ratchet_mode, static_cast<std::uint8_t>(f.ratchet_mode));
      w.Byte(*a.pa_state, static_cast<std::uint8_t>(f.pa_state));
      w.Double(*a.tx_open_loop, f.tx_open_loop);
      w.Double(*a.tx_closed_loop, f.tx_closed_loop);
      w.Double(*a.tx_pilot, f.tx_pilot);
      w.Double(*a.tx_total, f.tx_total);
      w.Double(*a.rx_agc0, f.rx_agc0);
      if (rx_agc1_available) w.Double(*a.rx_agc1, f.rx_agc1);
    }
    const PowerFrame& f1 = frames[0];
    const PowerFrame& f2 = frames[1];
    w.Double(ATTR_ID_EVDO_POWER_TXOPENLOOP_POWER, (f1.tx_open_loop + f2.tx_open_loop) * 0.5);
    w.Double(ATTR_ID_EVDO_POWER_TXCLOSEDLOOP_ADJUST, (f1.tx_closed_loop + f2.tx_closed_loop) * 0.5);
    w.Double(ATTR_ID_EVDO_POWER_TXPILOT_POWER, (f1.tx_pilot + f2.tx_pilot) * 0.5);
    w.Double(ATTR_ID_EVDO_POWER_TXTOTAL_POWER, (f1.tx_total + f2.tx_total) * 0.5);
    w.Double(ATTR_ID_EVDO_POWER_RXAGC0, (f1.rx_agc0 + f2.rx_agc0) * 0.5);
    if (rx_agc1_available) w.Double(ATTR_ID_EVDO_POWER_RXAGC1, (f1.rx_agc1 + f2.rx_agc1) * 0.5);
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  for (std::size_t n = 0; n < kFrames; ++n) {
    const PowerFrame& f = frames[n];
    appendf(out, "**** Information for frame #%d of %d****\n", static_cast<int>(n + 1), static_cast<int>(kFrames));
    appendf(out, "ATType: %u (%s)\nRatchetMode: %u (%s)\nPAState: %u (%s)\n", f.at_type,
            name_or(kAtTypeNames, f.at_type, "Unknown"), f.ratchet_mode, name_or(kRatchetModeNames, f.ratchet_mode, ""),
            f.pa_state, name_or(kOnOff, f.pa_state, ""));
    appendf(out,
            "TxOpenLoopPower: %.2f dBm\nTxClosedLoopPowerAdjust: %.2f dB\nTxPilotPower: %.2f dBm\nTxTotalPower: %.2f "
            "dB\nRxAGC0: %.2f dBm\n",
            f.tx_open_loop, f.tx_closed_loop, f.tx_pilot, f.tx_total, f.rx_agc0);
    if (rx_agc1_available) {
      appendf(out, "RxAGC1: %.2f dB\n", f.rx_agc1);
    } else {
      out += "RxAGC1: n/a\n";
    }
    out += "\t\n";
  }
}
