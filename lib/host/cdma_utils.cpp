#include "host/cdma_utils.h"

#include <algorithm>
#include <array>
#include <numeric>

#include "host/map_projections.h"
#include "host/object_properties.h"

namespace {

constexpr std::int64_t kChipsPerPn = 64;

// One channel range of a band class: frequency = base + spacing x (N - first_offset),
// in Hz so that every published base and spacing is exact and the division to MHz
// rounds once.
struct ChannelRule {
  std::uint8_t band_class;
  int first;  // valid channels first..last
  int last;
  int offset;  // channel number the bases refer to
  std::int64_t spacing_hz;
  std::int64_t forward_hz;  // mobile receive
  std::int64_t reverse_hz;  // mobile transmit
};

// Band classes whose channel rules are pinned down; others answer kUnknownFrequency.
// Band class 3 (JTACS) and the rarer classes are left out on purpose.
constexpr std::array<ChannelRule, 16> kChannelRules = {{
    // 0: 800 MHz cellular; channels 991-1023 sit below channel 1.
    {0, 1, 799, 0, 30'000, 870'000'000, 825'000'000},
    {0, 991, 1023, 1023, 30'000, 870'000'000, 825'000'000},
    {0, 1024, 1323, 1024, 30'000, 860'040'000, 815'040'000},
    // 1: 1900 MHz PCS.
    {1, 0, 1199, 0, 50'000, 1'930'000'000, 1'850'000'000},
    // 2: TACS, with the extended channels counted down from 2048.
    {2, 0, 1000, 0, 25'000, 934'987'500, 889'987'500},
    {2, 1329, 2047, 2048, 25'000, 934'987'500, 889'987'500},
    // 4: Korean PCS.
    {4, 0, 599, 0, 50'000, 1'840'000'000, 1'750'000'000},
    // 5: 450 MHz, block A.
    {5, 1, 300, 1, 25'000, 460'000'000, 450'000'000},
    // 6: IMT-2000 2 GHz.
    {6, 0, 1199, 0, 50'000, 2'110'000'000, 1'920'000'000},
    // 7: upper 700 MHz.
    {7, 0, 359, 0, 50'000, 746'000'000, 776'000'000},
    // 8: 1800 MHz.
    {8, 0, 1499, 0, 50'000, 1'805'000'000, 1'710'000'000},
    // 9: 900 MHz.
    {9, 0, 699, 0, 50'000, 925'000'000, 880'000'000},
    // 10: secondary 800 MHz.
    {10, 0, 719, 0, 25'000, 851'000'000, 806'000'000},
    {10, 720, 919, 720, 25'000, 935'000'000, 896'000'000},
    // 14: US PCS 1.9 GHz including the G block.
    {14, 0, 1299, 0, 50'000, 1'930'000'000, 1'850'000'000},
    // 15: AWS.
    {15, 0, 899, 0, 50'000, 2'110'000'000, 1'710'000'000},
}};

const ChannelRule* find_rule(int channel, std::uint8_t band_class) {
  for (const ChannelRule& r : kChannelRules) {
    if (r.band_class == band_class && channel >= r.first && channel <= r.last) return &r;
  }
  return nullptr;
}

// Floor division, so negative phases round the same way as positive ones.
std::int64_t floor_div(std::int64_t a, std::int64_t b) {
  const std::int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

}  // namespace

bool CDMACommonUtils::IsPNValid(std::uint16_t pn) { return pn < kPnCount; }

void CDMACommonUtils::ComputePilotRanking(const std::uint16_t* strengths, int* rank, int count) {
  if (strengths == nullptr || rank == nullptr || count <= 0) return;
  std::iota(rank, rank + count, 0);
  std::stable_sort(rank, rank + count, [strengths](int a, int b) { return strengths[a] > strengths[b]; });
}

std::uint8_t CDMACommonUtils::NumLockedFingers(const std::uint16_t* strengths, int count) {
  if (strengths == nullptr || count <= 0) return 0;
  const auto locked = std::count_if(strengths, strengths + count, [](std::uint16_t s) { return s != 0; });
  return static_cast<std::uint8_t>(std::min<std::ptrdiff_t>(locked, 255));
}

void CDMACommonUtils::ComputePN(int phase, int increment, int& pn) {
  const std::int64_t inc = increment > 0 ? increment : 1;
  const std::int64_t step = kChipsPerPn * inc;
  // Nearest multiple of the increment; a phase exactly half way rounds up.
  const std::int64_t multiple = floor_div(std::int64_t{phase} + step / 2, step);
  const std::int64_t wrapped = (multiple * inc) % kPnCount;
  pn = static_cast<int>(wrapped < 0 ? wrapped + kPnCount : wrapped);
}

double CDMACommonUtils::GetFrequency(std::int16_t channel, std::uint8_t band_class, int reverse_link) {
  const ChannelRule* r = find_rule(channel, band_class);
  if (r == nullptr) return kUnknownFrequency;
  const std::int64_t base = reverse_link != 0 ? r->reverse_hz : r->forward_hz;
  return static_cast<double>(base + r->spacing_hz * (channel - r->offset)) / 1e6;
}

int CDMACommonUtils::GetProjectionSettings(IProObjectPropertiesConnectedAccessor* accessor) {
  return accessor != nullptr ? accessor->projection_epsg() : 0;
}

bool CDMACommonUtils::InitCoordinateSystem(int projection, CCoordinateSystem& system) {
  return system.init(projection);
}

void CDMACommonUtils::TransformGPS(double& latitude, double& longitude, const CCoordinateSystem& system) {
  double x = 0.0;
  double y = 0.0;
  if (!system.forward(longitude, latitude, x, y)) return;
  longitude = x;
  latitude = y;
}
