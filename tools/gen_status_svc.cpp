#include "gen_status_svc.h"

namespace cdmadiag::gen {
namespace {

constexpr std::uint16_t kSid = 4156;
constexpr std::uint16_t kNid = 1;
constexpr std::uint16_t kChannel = 384;
constexpr std::uint16_t kEvrc = 3;
constexpr std::uint16_t kMux1 = 1;
constexpr std::uint8_t kRc3 = 3;

// Three dialled digits as the air interface codes them: 0 counts as ten, less 111.
std::uint32_t threeDigits(int a, int b, int c) {
  const auto d = [](int x) { return x == 0 ? 10 : x; };
  return static_cast<std::uint32_t>(100 * d(a) + 10 * d(b) + d(c) - 111);
}

}  // namespace

Bytes StatusReport(const Moment& m, std::uint16_t pilotPn) {
  // 619 555 0142: MIN2 the area code; MIN1 the exchange, the thousands digit and the rest.
  const std::uint32_t min2 = threeDigits(6, 1, 9);
  const std::uint32_t min1 = threeDigits(5, 5, 5) << 14 | 10u << 10 | threeDigits(1, 4, 2);
  ByteWriter w;
  w.zeros(0x0C).text("Nov 30 2026", 11).text("09:15:00", 8).zeros(0x32 - 0x1F).text("1.0.42", 8);
  w.u8(0x2A).u8(6).u8(42).u16(0x0105).u8(2).zeros(3);
  w.u32(0x8F00ABCD).u16(1);  // ESN, RF mode CDMA
  w.u32(min1).u32(min1).u16(min2).u16(min2).u8(0).zeros(0x5F - 0x56);
  w.u16(1).u16(kChannel).u8(0).u16(pilotPn).u16(kSid).u16(kNid).u16(static_cast<std::uint32_t>(m.elapsed) % 7 + 1);
  return w.take();
}

Bytes ServiceConfigVer2() {
  ByteWriter w;
  w.u16(kMux1).u16(kMux1).u8(172).u8(172).u8(0x01).u8(1).u8(0).u8(0);  // FCH only, one connection
  w.u8(kRc3).u8(kRc3);
  // Connection 0: service option high byte first, primary traffic both ways, no RLP blob, no QoS.
  w.u8(0).u8(kEvrc >> 8).u8(kEvrc & 0xFF).u8(1).u8(1).u8(0).u8(1).u8(0).u8(0);
  return w.take();
}

Bytes ServiceConfig() {
  ByteWriter w;
  w.u16(kEvrc).u8(kRc3).u8(0).u8(kRc3).u8(0);
  w.u8(1).u8(0).u8(1).u8(1);  // 20 ms FCH frames, no DCCH, primary traffic both ways
  w.u16(kMux1).u16(kMux1).u8(0xF0).u8(0xF0).u8(0).u8(0);
  return w.take();
}

}  // namespace cdmadiag::gen
