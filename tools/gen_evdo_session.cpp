#include "gen_evdo_session.h"

namespace cdmadiag::gen {

namespace {

constexpr std::uint8_t kColorCode = 9;
constexpr std::uint32_t kRati = 0x3A5C17E2;

// PN of the strongest active pilot, the first sector's when the link has none yet.
std::uint16_t ServingPn(const Moment& m, const EvdoLink& link) {
  std::size_t best = link.asp.active.empty() ? 0 : link.asp.active.front();
  for (std::size_t s : link.asp.active) {
    const Pilot* p = m.radio.find(s);
    const Pilot* b = m.radio.find(best);
    if (p != nullptr && (b == nullptr || p->sinrDb > b->sinrDb)) best = s;
  }
  return m.sectors[best].pn;
}

// A sector id that tells the sector by its PN.
std::uint32_t SectorId(std::uint16_t pn) { return 0x00A10000u | pn; }

}  // namespace

// Session attempt version 2: u8 transaction, u8 result (0 = assigned), u32 RATI,
// u16 duration, u32 successes, failures, attempts, u16 PN, u8 colour code, 16-byte UATI.
Bytes EvdoSessionAttempt2(const Moment& m, const EvdoLink& link, EvdoSignalling& sig) {
  ++sig.sessionAttempts;
  ++sig.sessionSuccesses;
  const std::uint16_t pn = ServingPn(m, link);
  ByteWriter w;
  w.u8(++sig.transaction).u8(0).u32(kRati).u16(180);
  w.u32(sig.sessionSuccesses).u32(sig.sessionAttempts - sig.sessionSuccesses).u32(sig.sessionAttempts);
  w.u16(pn).u8(kColorCode);
  // The UATI's upper bytes name the subnet; the last three are this session's.
  w.u8(0xFE).u8(0x80).zeros(10).u8(kColorCode).u8(0x12).u8(sig.sessionAttempts & 0xFF).u8(pn & 0xFF);
  return w.take();
}

// Access attempt, 25 bytes: transaction, probe num step, max probe sequence, probe
// sequence count, result, u16 duration (slots), u32 successes, failures, u16
// attempts, u16 PN, u32 sector id, colour code, probe count.
Bytes EvdoAccessAttempt(const Moment& m, const EvdoLink& link, EvdoSignalling& sig, bool acked) {
  ++sig.accessAttempts;
  if (acked) {
    ++sig.accessSuccesses;
  } else {
    ++sig.accessFailures;
  }
  const std::uint16_t pn = ServingPn(m, link);
  constexpr std::uint8_t kProbesPerSequence = 4, kMaxSequences = 2;
  const std::uint8_t sequences = acked ? 1 : kMaxSequences;
  const std::uint8_t probes = acked ? 2 : kProbesPerSequence * kMaxSequences;
  ByteWriter w;
  w.u8(++sig.transaction).u8(kProbesPerSequence).u8(kMaxSequences).u8(sequences);
  w.u8(acked ? 2 : 0).u16(acked ? 96 : 1024);  // TCA received, or no ACAck at all
  w.u32(sig.accessSuccesses).u32(sig.accessFailures).u16(sig.accessAttempts & 0xFFFF);
  w.u16(pn).u32(SectorId(pn)).u8(kColorCode).u8(probes);
  return w.take();
}

// Connection attempt, 24 bytes: transaction, message sequence, result (bits 0-3)
// and reception status (4-7), u16 duration, u32 successes, failures, attempts,
// u16 PN, u24 sector id, colour code, handoffs.
Bytes EvdoConnectionAttempt(const Moment& m, const EvdoLink& link, EvdoSignalling& sig) {
  ++sig.connectionAttempts;
  ++sig.connectionSuccesses;
  const std::uint16_t pn = ServingPn(m, link);
  constexpr std::uint8_t kSuccess = 15, kTcaAndRtcAck = 2;
  ByteWriter w;
  w.u8(sig.transaction).u8(sig.connectionAttempts & 0x3F).u8(kTcaAndRtcAck << 4 | kSuccess).u16(150);
  w.u32(sig.connectionSuccesses).u32(sig.connectionAttempts - sig.connectionSuccesses).u32(sig.connectionAttempts);
  const std::uint32_t sector = SectorId(pn);
  w.u16(pn).u8(sector & 0xFF).u8(sector >> 8 & 0xFF).u8(sector >> 16 & 0xFF).u8(kColorCode);
  w.u8(static_cast<std::uint32_t>(link.asp.active.size() > 1 ? link.asp.active.size() - 1 : 0));
  return w.take();
}

Bytes EvdoConnectionRelease(std::uint8_t reason) { return ByteWriter{}.u8(reason).take(); }

}  // namespace cdmadiag::gen
