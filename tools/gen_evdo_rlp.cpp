#include "gen_evdo_rlp.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace cdmadiag::gen {

namespace {

// Forward rate in kbit/s by DRC index; the scheduler serves the terminal a share of it.
constexpr std::array<double, 13> kDrcKbps = {0, 38.4, 76.8, 153.6, 307.2, 307.2, 614.4,
                                             614.4, 921.6, 1228.8, 1228.8, 1843.2, 2457.6};
constexpr double kServedShare = 0.55;
constexpr double kUplinkKbps = 76.8;
constexpr std::uint64_t kFrameBytes = 122;  // RLP payload of one forward MAC packet
constexpr std::uint32_t kSeqMask = (1u << 22) - 1;
constexpr std::uint32_t kHeaderBytes = 6;   // RLP bytes the partial logs keep per packet

std::uint64_t Bytes64(double v) { return static_cast<std::uint64_t>(std::max(0.0, std::round(v))); }

}  // namespace

void ResetEvdoRlpSession(EvdoRlpSession& s, std::uint64_t ticks) {
  const std::uint32_t resets = s.resets + 1;
  s = EvdoRlpSession{};
  s.resetTicks = ticks;
  s.resets = resets;
}

Bytes EvdoRlpStatistics(const Moment& m, const EvdoLink& link, EvdoRlpSession& s, Rng& rng) {
  double best = -20.0;
  for (std::size_t p : link.asp.active) best = std::max(best, m.radio.find(p)->sinrDb);
  const std::uint8_t drc = std::min<std::uint8_t>(DrcFor(best), kDrcKbps.size() - 1);
  const double per = PacketErrorRate(best);
  const std::uint64_t rx = Bytes64(kDrcKbps[drc] * kServedShare * 125.0 * (0.85 + 0.3 * rng.uniform()));
  const std::uint64_t rexmit = Bytes64(static_cast<double>(rx) * per);
  const std::uint64_t tx = Bytes64(kUplinkKbps * 125.0 * (0.1 + 0.2 * rng.uniform()));
  s.rxNew += rx;
  s.rxRexmit += rexmit;
  s.rxFrames += (rx + kFrameBytes - 1) / kFrameBytes;
  s.rxRexmitFrames += (rexmit + kFrameBytes - 1) / kFrameBytes;
  s.naksSent += static_cast<std::uint32_t>(s.rxRexmitFrames > 0 && rng.uniform() < 0.5);
  s.atNakBytes += static_cast<std::uint32_t>(rexmit);
  s.txNew += tx;
  s.txFrames += (tx + kFrameBytes - 1) / kFrameBytes;
  if (rng.uniform() < 0.1) {
    s.txRexmit += kFrameBytes;
    ++s.txRexmitFrames;
    ++s.naksRx;
    s.anNakBytes += kFrameBytes;
  }
  if (rng.uniform() < 0.05) ++s.rxDup;

  ByteWriter w;
  w.u8(0).u16(0).u48(s.resetTicks);
  w.u32(s.naksRx).u32(0).u64(s.anNakBytes).u64(s.rxDup).u64(s.rxRexmit).u64(s.rxNew).u64(s.rxNew + s.rxRexmit);
  w.u32(s.naksSent).u32(s.atNakBytes).u64(s.txRexmit).u64(s.txNew).u64(s.txNew + s.txRexmit);
  w.u32(0).u32(s.resets).u32(0).u32(s.resets).u32(s.resets);
  return w.take();
}

// Service 0; each record: rate, channel, packet length, time reference, then the
// stream and sequence bytes and the first payload bytes.
Bytes EvdoPartialRlp(bool rx, EvdoRlpSession& s, Rng& rng) {
  const int n = rng.range(2, 4);
  ByteWriter w;
  w.u8(kHeaderBytes << 2).u8(static_cast<std::uint32_t>(n));
  for (int i = 0; i < n; ++i) {
    const std::uint32_t rate = rx ? static_cast<std::uint32_t>(rng.range(3, 12)) : static_cast<std::uint32_t>(rng.range(1, 5));
    // A received control packet now and then is short enough to be logged whole.
    const bool control = rx && rng.uniform() < 0.2;
    const std::uint32_t length = control ? 4 : static_cast<std::uint32_t>(rng.range(40, static_cast<int>(kFrameBytes)));
    const std::uint32_t channel = rx ? (control ? 1 : 0) : 1;
    w.u16(rate | channel << 4 | length << 5).u8(static_cast<std::uint32_t>(rng.range(0, 15)));
    std::uint32_t& seq = rx ? s.rxSeq : s.txSeq;
    seq = (seq + 1) & kSeqMask;
    const std::uint32_t word = seq;  // stream 0
    w.u8(word >> 16).u8(word >> 8).u8(word);
    const std::uint32_t logged = rx ? std::min(kHeaderBytes, length) : kHeaderBytes;
    for (std::uint32_t k = 3; k < logged; ++k) w.u8(static_cast<std::uint32_t>(rng.range(0, 255)));
  }
  return w.take();
}

Bytes EnhMrlpStats(bool forward, const EvdoRlpSession& s) {
  ByteWriter w;
  // Version 1, link flow 1, route 0, flow protocol 1, route protocol 1, packet stream 0.
  w.u8(1).u8(1).u8(0).u8(1).u8(1).u8(0).u16(0).u16(0).u48(s.resetTicks);
  if (forward) {
    w.u64(s.atNakBytes).u64(s.naksSent);
    w.u64(s.rxRexmit).u64(s.rxRexmitFrames).u64(s.rxNew).u64(s.rxFrames);
    w.u64(s.rxNew + s.rxRexmit).u64(s.rxFrames + s.rxRexmitFrames).u64(s.rxFrames).u64(s.rxFrames);
    w.u32(0);
  } else {
    w.u32(0).u64(s.anNakBytes).u64(s.naksRx);
    w.u64(s.txRexmit).u64(s.txRexmitFrames).u64(s.txNew).u64(s.txFrames);
    w.u64(s.txNew + s.txRexmit).u64(s.txFrames + s.txRexmitFrames).u64(s.txFrames).u64(s.txFrames);
  }
  w.u32(s.resets).u32(0).u32(s.resets).u32(s.resets);
  return w.take();
}

// Flow 1, 22-bit sequence numbers, route A, octet stream, segment sequencing.
Bytes EnhMrlpPkts(EvdoRlpSession& s, Rng& rng) {
  const int n = rng.range(1, 3);
  ByteWriter w;
  w.u16(1 | 2u << 11 | 1u << 15).u8(0).u8(static_cast<std::uint32_t>(n));
  for (int i = 0; i < n; ++i) {
    const auto len = static_cast<std::uint32_t>(rng.range(3, 6));
    w.u16(len).u8(static_cast<std::uint32_t>(rng.range(0, 255)));
    s.rxSeq = (s.rxSeq + 1) & kSeqMask;
    w.u8(s.rxSeq >> 16).u8(s.rxSeq >> 8).u8(s.rxSeq);
    for (std::uint32_t k = 3; k < len; ++k) w.u8(static_cast<std::uint32_t>(rng.range(0, 255)));
  }
  return w.take();
}

}  // namespace cdmadiag::gen
