#pragma once
// Searcher4 tasks and their peaks, shared by the Searcher4 - 1X packet and the
// Searcher4 subpacket of the generalized searcher: the task word, the peak position
// and energy, and the walk over tasks read only while they are whole.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "framework/payload_cursor.h"

namespace cdmadiag {

// dB shown for a peak whose linear energy is at most 1e-5, or that cannot be
// computed because the coherent or non-coherent length is 0.
inline constexpr double kSearcher4FloorDb = -50.0;

// Names of the packed header fields.
const char* Searcher4TechnologyName(unsigned technology);  // bits 5-7 of the first byte
const char* Searcher4QueueName(unsigned queue);            // bits 0-3 of the queue byte
const char* Searcher4AntennaName(unsigned antenna);        // bits 5-6 of the task word

// The packed 16-bit word that opens every task.
struct Searcher4TaskWord {
  unsigned pilot = 0;         // bits 7-15: pilot index (1X packet) or PN (subpacket)
  unsigned antenna = 0;       // bits 5-6
  unsigned burst_length = 0;  // bits 3-4, HDR burst length
  unsigned qof = 0;           // bits 1-2
  unsigned walsh = 0;         // bit 0
};
Searcher4TaskWord UnpackSearcher4TaskWord(std::uint16_t word);

// The coherent word of a task: bits 13-15 truncation, bits 0-12 length in chips.
struct Searcher4Coherent {
  unsigned truncation = 0;
  unsigned length = 0;
};
Searcher4Coherent UnpackSearcher4Coherent(std::uint16_t word);

// One peak, 6 bytes: u16 with the high position bits in 8-11, u16 low position, u16 energy.
inline constexpr std::size_t kSearcher4PeakSize = 6;

struct Searcher4Peak {
  double position = 0.0;  // chips (the raw position counts 1/16 chip)
  std::uint16_t energy = 0;
  double db = kSearcher4FloorDb;
  bool computed = false;  // false: the lengths gave no scale and db is the floor
};

// dB of a raw peak energy with coherent truncation t (0 counts as 8), coherent length L
// and non-coherent length K: 10 x log10(energy x 2^(2t-3) / (K L L 9) - 1/L), the floor
// at or below 1e-5. K or L of 0 gives the floor, not inf or nan.
Searcher4Peak MakeSearcher4Peak(std::uint16_t high, std::uint16_t low, std::uint16_t energy, unsigned truncation,
                                unsigned coherent_length, unsigned non_coherent_length);

// A task as the walk hands it over: a cursor over its header, at its start, and the
// peaks that are whole (fewer than asked when the payload ends inside them).
struct Searcher4Task {
  Cursor header;
  std::vector<Searcher4Peak> peaks;
};

// The peaks after a task header (the task word u16, the non-coherent length u8, a byte,
// the coherent word u16 first), read from c while whole (helper of the walk).
std::vector<Searcher4Peak> ReadSearcher4Peaks(Cursor header, Cursor& c, unsigned peaks);

// Walks up to `tasks` tasks from c's offset, each a header of header_size bytes
// followed by `peaks` peaks; calls fn(task) for every task whose header is whole and
// stops at the first that is not, or after a task cut inside its peaks. Returns the
// tasks seen.
template <class Fn>
std::size_t ForEachSearcher4Task(Cursor c, unsigned tasks, unsigned peaks, std::size_t header_size, Fn&& fn) {
  std::size_t seen = 0;
  for (unsigned t = 0; t < tasks; ++t) {
    const Cursor header = c.record(header_size);
    if (!header.ok()) break;
    const Searcher4Task task{header, ReadSearcher4Peaks(header, c, peaks)};
    const bool cut = task.peaks.size() < peaks;
    fn(task);
    ++seen;
    if (cut) break;
  }
  return seen;
}

}  // namespace cdmadiag
