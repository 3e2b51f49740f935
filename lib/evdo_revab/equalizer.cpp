// EV-DO forward-link equalizer: its state with the per-equalizer parameters (0x1279)
// and the per-slot C/I buffers of equalizer against rake (0x127A). Text only.
#include <algorithm>
#include <array>
#include <cassert>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/decoder_evdo.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/format_groups.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::bits;
using cdmadiag::Cursor;
using cdmadiag::PayloadReader;

// C/I buffers (0x127A), 195 bytes:
//  +off  type      name
//   +0   u8        version
//   +1   97 B      buffer 1, then +98 buffer 2, each:
//          +0   u16 x16  demod word: bits 0-1 best equalizer id, bit 15 equalizer (1) or rake (0)
//         +32   u16 x16  equalizer buffer value
//         +64   u16 x16  rake buffer value
//         +96   u8       slot count
constexpr std::size_t kBufferEntries = 16;
constexpr std::size_t kBufferSize = 6 * kBufferEntries + 1;
constexpr std::size_t kFirstBuffer = 1;
constexpr std::size_t kBuffers = 2;
constexpr std::size_t kC2ISize = kFirstBuffer + kBuffers * kBufferSize;
static_assert(kC2ISize == 195);

// Equalizer data (0x1279), 17 bytes, then min(count, 4) records of 8 bytes:
//  +off  type  name                           unit
//   +0   u8    version
//   +1   u8    searcher state                 host format group "Searcher Task State"
//   +2   u32   MSTR                           chipx8
//   +6   u16   MSTR error                     chipx8
//   +8   u8    demod device                   0 rake, else equalizer
//   +9   u32   COM                            chipx8
//  +13   u8    bits 0-3 equalizer count, bit 4 equalizer status
//  +14   u16   serving PN
//  +16   u8    bits 0-3 best ASP
// Record:
//   +0   u16   bit 0 antenna, bit 1 diversity, bits 2-5 equalizer index,
//              bits 6-9 L-step, bits 10-15 tap length
//   +2   u16   bits 0-1 passes, bits 2-3 passes used, bits 4-7 L-step2,
//              bits 8-11 L-step3, bits 12-15 unused
//   +4   u32   C/I                            linear, 1/512
[[maybe_unused]] constexpr std::size_t kFirstRecord = 17;
constexpr std::size_t kRecordSize = 8;
// The count field reaches 15; the packet carries four equalizers at most.
constexpr std::size_t kMaxRecords = 4;
constexpr const char* kSearcherStateGroup = "Searcher Task State";

const char* on_off(std::uint64_t bit) { return bit != 0 ? "On" : "Off"; }

}  // namespace

void DecodeEqualizerC2IBuffer(IOrbDataState*, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeEqualizerC2IBuffer);
  Cursor c(PayloadReader(buf, len));
  if (!job.require(c, kC2ISize)) return;
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "Version: %d\n", c.u8());
  for (std::size_t n = 0; n < kBuffers; ++n) {
    assert(c.offset() == kFirstBuffer + n * kBufferSize);
    std::array<std::uint16_t, kBufferEntries> demod{}, equalizer_value{}, rake_value{};
    for (std::uint16_t& v : demod) v = c.u16le();
    for (std::uint16_t& v : equalizer_value) v = c.u16le();
    for (std::uint16_t& v : rake_value) v = c.u16le();
    const std::uint8_t slot_count = c.u8();
    out += "Demod\tBest\tEqlz-\tRake-\nUsed\tEqId\tBuff\tBuff\n";
    for (std::size_t i = 0; i < kBufferEntries; ++i) {
      const bool equalizer = bits(demod[i], 15, 1) != 0;
      const std::string best = equalizer ? std::to_string(bits(demod[i], 0, 2)) : "-";
      appendf(out, "%s\t%s\t%u\t%u\n", equalizer ? "Eqlz" : "Rake", best.c_str(), equalizer_value[i], rake_value[i]);
    }
    appendf(out, "Slot Count: %d\n", slot_count);
  }
}

void DecodeEqualizerData(IOrbDataState*, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len) {
  const auto job = cdmadiag::begin(msg, &DecodeEqualizerData);
  Cursor c(PayloadReader(buf, len));
  const unsigned version = c.u8();
  const std::uint8_t searcher_state = c.u8();
  const std::uint32_t mstr = c.u32le();
  const unsigned mstr_error = c.u16le();
  const std::uint8_t demod_device = c.u8();
  const std::uint32_t com = c.u32le();
  const std::uint8_t flags = c.u8();
  const unsigned serving_pn = c.u16le();
  const std::uint8_t best_asp = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kFirstRecord);
  const auto count = static_cast<unsigned>(bits(flags, 0, 4));
  const std::size_t records = std::min<std::size_t>(count, kMaxRecords);
  // Every record shown must be whole; a count that overstates the payload is refused.
  if (!job.require(c, records * kRecordSize)) return;
  if (!msg.detailsWanted) return;

  const std::string state = cdmadiag::group_text(kSearcherStateGroup, searcher_state);
  std::string out;
  appendf(out, "Version: %u\n", version);
  appendf(out, "HDRSRCH state: %s\nMSTR: %u (chipx8)\nMSTR error: %u (chipx8)\nDemod device: %s\n", state.c_str(), mstr,
          mstr_error, demod_device == 0 ? "Rake" : "Eqlz");
  appendf(out, "COM: %u (chipx8)\nEqlz count: %u\nEqlz Status: %s\nServing PN: %u\nBest ASP: %u\n", com, count,
          on_off(bits(flags, 4, 1)), serving_pn, static_cast<unsigned>(bits(best_asp, 0, 4)));
  if (count != 0) {
    out += "Ant\tDiv\tEqlz\tL-\tTap\tNum\tPass\tL-\tL-\tC/I\n";
    out += "\t\tIdx\tStep\tLen\tPass\tUsed\tStep2\tStep3\t(dB)\n";
  }
  for (std::size_t n = 0; n < records; ++n) {
    const std::uint16_t w0 = c.u16le();
    const std::uint16_t w1 = c.u16le();
    const std::uint32_t c2i = c.u32le();
    // A C/I of 0 has no dB value; "n/a" rather than -inf.
    const std::string c2i_db = c2i != 0 ? cdmadiag::formatf("%.2f", 10.0 * std::log10(c2i / 512.0)) : "n/a";
    appendf(out, "%u\t%s\t%u\t%u\t%u\t%u\t%u\t%u\t%u\t%s\n", static_cast<unsigned>(bits(w0, 0, 1)),
            on_off(bits(w0, 1, 1)), static_cast<unsigned>(bits(w0, 2, 4)), static_cast<unsigned>(bits(w0, 6, 4)),
            static_cast<unsigned>(bits(w0, 10, 6)), static_cast<unsigned>(bits(w1, 0, 2)),
            static_cast<unsigned>(bits(w1, 2, 2)), static_cast<unsigned>(bits(w1, 4, 4)),
            static_cast<unsigned>(bits(w1, 8, 4)), c2i_db.c_str());
  }
  msg.details += out;
}
