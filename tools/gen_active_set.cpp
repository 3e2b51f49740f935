#include "gen_active_set.h"

#include <algorithm>
#include <cmath>

namespace cdmadiag::gen {
namespace {

constexpr std::uint16_t kChannel = 384;
constexpr std::uint8_t kBandClass = 0;  // 800 MHz cellular
constexpr std::uint8_t kRxTypeNone = 0xFF;

std::uint16_t pnOf(const Moment& m, std::size_t sector) { return m.sectors[sector].pn; }

// Indicator bit energy rising with the pilot's Ec/Io.
std::uint16_t energy(double ecIoDb, double scale) {
  return static_cast<std::uint16_t>(std::clamp(scale * std::pow(10.0, ecIoDb / 10.0), 0.0, 65535.0));
}

}  // namespace

Bytes ActiveSetInfoVer2(const Moment& m, const PilotSets& sets) {
  ByteWriter w;
  w.u8(1).u8(kBandClass).u16(kChannel).u8(0x01).u8(static_cast<std::uint32_t>(sets.active.size())).zeros(2);
  for (std::size_t i = 0; i < sets.active.size(); ++i) {
    w.u16(pnOf(m, sets.active[i])).u8(kRxTypeNone).u8(0);
    w.u16(static_cast<std::uint32_t>(10 + i)).u8(0).u8(0);  // FCH code channel, QOF 0
  }
  return w.take();
}

Bytes QuickPagingInfoVer2(const Moment& m, const PilotSets& sets, std::uint16_t pagingSlot) {
  const std::size_t ref = sets.active.empty() ? 0 : sets.active.front();
  const Pilot* p = m.radio.find(ref);
  const double ecIo = p != nullptr ? p->ecIoDb : -20.0;
  ByteWriter w;
  w.u16(0x8000u | pnOf(m, ref)).u16(pagingSlot).u8(0 | 1 << 1);  // 4800 bps, slot imminent
  w.u8(80).u8(5).u8(10).u8(20);                                  // PI: Walsh, power index, THB, THI
  w.u8(0).u8(0);                                                 // no broadcast nor CCI indicators
  w.u8(2);
  for (std::uint8_t bit = 0; bit < 2; ++bit) {
    w.u8(1).u8(bit).u16(static_cast<std::uint32_t>(pagingSlot % 96 + bit * 96));
    w.u16(energy(ecIo, 40.0)).u16(energy(ecIo, 12.0)).u16(energy(ecIo, 900.0)).u16(energy(ecIo, 300.0));
  }
  return w.take();
}

}  // namespace cdmadiag::gen
