#include "gen_evdo_pilots.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <vector>

namespace cdmadiag::gen {

namespace {

constexpr std::uint16_t kChannel = 283;  // 800 MHz, band class 0
constexpr std::uint16_t kBandClass = 0;
constexpr std::uint8_t kSearcherState = 4;
constexpr std::uint16_t kSearchWindow = 60;
constexpr std::size_t kSearchedNeighbours = 4;

std::uint16_t ChannelWord() { return static_cast<std::uint16_t>(kChannel | (kBandClass << 11)); }

// Linear strength or C/I in 1/512; a pilot below -30 dB counts as not measured (0).
std::uint16_t Linear512(double db) {
  if (!(db >= -30.0)) return 0;
  return static_cast<std::uint16_t>(std::clamp(std::lround(std::pow(10.0, db / 10.0) * 512.0), 1L, 65535L));
}

std::uint16_t HalfChips(double chips) {
  return static_cast<std::uint16_t>(std::clamp(std::lround(chips * 2.0), 0L, 65535L));
}

// The time reference follows the strongest active pilot: its PN offset (64 chips a
// PN) plus the path delay, in chips.
double MstrChips(const Pilot& p) { return p.pn * 64.0 + p.rangeChips; }

// Sectors of one site share a reverse power control cell, numbered in active-set order.
std::vector<std::uint8_t> RpcCells(const Moment& m, const std::vector<std::size_t>& active) {
  std::vector<int> sites;
  std::vector<std::uint8_t> cells;
  for (std::size_t s : active) {
    const int site = m.sectors[s].site;
    auto it = std::find(sites.begin(), sites.end(), site);
    if (it == sites.end()) it = sites.insert(sites.end(), site);
    cells.push_back(static_cast<std::uint8_t>(it - sites.begin()));
  }
  return cells;
}

std::size_t BestActive(const Moment& m, const std::vector<std::size_t>& active) {
  std::size_t best = 0;
  for (std::size_t i = 1; i < active.size(); ++i)
    if (m.radio.find(active[i])->sinrDb > m.radio.find(active[best])->sinrDb) best = i;
  return best;
}

}  // namespace

// Pilot sets, version 2: an 11-byte header (PNInc, ASETCount, ASETWindow, u16
// channel and band class, SrchState, CSETCount, CSETWindow, NSETCount, u16
// RSETWindow), then 10-byte active, candidate and neighbour entries.
Bytes EvdoPilotSets2(const Moment& m, const EvdoLink& link) {
  const PilotSets& sets = link.asp;
  const std::vector<std::uint8_t> cells = RpcCells(m, sets.active);
  ByteWriter w;
  w.u8(kPilotIncrement).u8(static_cast<std::uint8_t>(sets.active.size())).u8(8).u16(ChannelWord());
  w.u8(kSearcherState).u8(static_cast<std::uint8_t>(sets.candidate.size())).u8(8);
  w.u8(static_cast<std::uint8_t>(sets.neighbor.size())).u16(10);
  for (std::size_t i = 0; i < sets.active.size(); ++i) {
    const Pilot* p = m.radio.find(sets.active[i]);
    // ASP index, RPC cell and DRC cover; MAC index; window centre.
    w.u16(p->pn).u16(Linear512(p->ecIoDb));
    w.u16(static_cast<std::uint16_t>(i | (cells[i] << 4) | ((i + 1) << 8)));
    w.u16(static_cast<std::uint16_t>(64 + i)).u16(HalfChips(p->rangeChips));
  }
  for (std::size_t s : sets.candidate) {
    const Pilot* p = m.radio.find(s);
    // A candidate weaker than the drop threshold has its drop timer running.
    w.u16(p->pn).u16(Linear512(p->ecIoDb)).u16(ChannelWord());
    w.u16(p->ecIoDb < -15.0 ? 1u << 9 : 0u).u16(HalfChips(p->rangeChips));
  }
  for (std::size_t i = 0; i < sets.neighbor.size(); ++i) {
    const Pilot* p = m.radio.find(sets.neighbor[i]);
    w.u16(p->pn).u16(Linear512(p->ecIoDb)).u16(ChannelWord()).u16(kSearchWindow);
    w.u16(static_cast<std::uint16_t>(std::min<std::size_t>(i, 255) << 8));
  }
  return w.take();
}

// Searcher data, type 2: a 14-byte header (version, state, substate, u16 window
// size, u16 channel and band class, u32 MSTR, NumPilots, equalizer, best ASP),
// then 34-byte records (pilot word, window centre and earliest peak in 1/2 chip,
// six peak phases s16, six peak C/I u16 in 1/512, COM mask, COM threshold, COM value).
Bytes EvdoSearcherType2(const Moment& m, const EvdoLink& link, Rng& rng) {
  const PilotSets& sets = link.asp;
  struct Searched {
    const Pilot* pilot;
    std::uint16_t setCode;
  };
  std::vector<Searched> plan;
  for (std::size_t s : sets.active) plan.push_back({m.radio.find(s), 4});
  for (std::size_t s : sets.candidate) plan.push_back({m.radio.find(s), 3});
  for (std::size_t i = 0; i < sets.neighbor.size() && i < kSearchedNeighbours; ++i)
    plan.push_back({m.radio.find(sets.neighbor[i]), 2});
  const bool equalizer = link.diversity;
  const std::uint16_t antenna = link.diversity ? 2 : 0;
  assert(!sets.active.empty());  // the air-link summary, logged first each second, fills the set
  const std::size_t best = BestActive(m, sets.active);
  const auto mstr = static_cast<std::uint32_t>(std::lround(MstrChips(*m.radio.find(sets.active[best])) * 8.0));
  ByteWriter w;
  w.u8(1).u8(kSearcherState).u8(0).u16(kSearchWindow).u16(ChannelWord()).u32(mstr & 0x3FFFF);
  w.u8(static_cast<std::uint8_t>(plan.size())).u8(equalizer ? 1 : 0).u8(static_cast<std::uint8_t>(best + 1));
  for (const Searched& s : plan) {
    const std::uint16_t at = HalfChips(s.pilot->rangeChips);
    const auto echo = static_cast<std::uint16_t>(at + rng.range(4, 10));  // a reflection 2 to 5 chips later
    const double ci = s.pilot->sinrDb + 0.5 * rng.normal();
    w.u16(static_cast<std::uint16_t>(s.pilot->pn | (antenna << 10) | (s.setCode << 12)));
    w.u16(at).u16(static_cast<std::uint16_t>(at > 0 ? at - 1 : 0));
    w.i16(at).i16(echo);
    for (int p = 2; p < 6; ++p) w.i16(0);
    w.u16(Linear512(ci)).u16(Linear512(ci - 8.0 - 4.0 * rng.uniform()));
    for (int p = 2; p < 6; ++p) w.u16(0);
    w.u8(equalizer ? 0x03 : 0).u8(static_cast<std::uint8_t>(equalizer ? -6 : 0)).i16(0);
  }
  return w.take();
}

// Finger data, version 2: a 10-byte header (state, u32 MSTR in chips, u16 MSTR
// error, u16 MSTR pilot PN, finger count), then 14-byte finger records (PN, RTC
// offset in 1/8 chip, C/I, lock/antenna/diversity/index bits, RPC cell and ASP
// index, antenna 0 and antenna 1 C/I). Each active pilot has a finger; the
// strongest also has one on a later path.
Bytes EvdoFinger2(const Moment& m, const EvdoLink& link, Rng& rng) {
  const std::vector<std::size_t>& active = link.asp.active;
  const std::vector<std::uint8_t> cells = RpcCells(m, active);
  assert(!active.empty());
  const std::size_t best = BestActive(m, active);
  struct Finger {
    std::size_t asp;
    double chips, ciDb;
  };
  std::vector<Finger> fingers;
  for (std::size_t i = 0; i < active.size(); ++i) {
    const Pilot* p = m.radio.find(active[i]);
    fingers.push_back({i, p->rangeChips, p->sinrDb + 0.5 * rng.normal()});
  }
  const Pilot* strongest = m.radio.find(active[best]);
  fingers.push_back({best, strongest->rangeChips + 1.5 + 2.0 * rng.uniform(), strongest->sinrDb - 6.0 + rng.normal()});
  ByteWriter w;
  w.u8(kSearcherState)
      .u32(static_cast<std::uint32_t>(std::lround(MstrChips(*strongest))))
      .u16(static_cast<std::uint16_t>(rng.range(0, 2)));
  w.u16(strongest->pn).u8(static_cast<std::uint8_t>(fingers.size()));
  for (std::size_t k = 0; k < fingers.size(); ++k) {
    const Finger& f = fingers[k];
    const std::uint16_t ant0 = Linear512(f.ciDb - 3.0 + rng.normal());
    const std::uint16_t ant1 = link.diversity ? Linear512(f.ciDb - 3.0 + rng.normal()) : 0;
    const std::uint16_t ci = Linear512(f.ciDb);
    const auto flags =
        static_cast<std::uint8_t>((ci != 0 ? 1 : 0) | (link.diversity ? ((k % 2) << 1) | 4 : 0) | (k << 3));
    w.u16(m.radio.find(active[f.asp])->pn).u32(static_cast<std::uint32_t>(std::lround(f.chips * 8.0)) & 0x3FFFF);
    w.u16(ci).u8(flags).u8(static_cast<std::uint8_t>(cells[f.asp] | (f.asp << 3))).u16(ant0).u16(ant1);
  }
  return w.take();
}

}  // namespace cdmadiag::gen
