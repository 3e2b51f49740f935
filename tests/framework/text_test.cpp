// The decoders' printf-style texts: our own formatting of the common conversions must
// give what the C library gives, byte for byte, or every detail text would drift.
#include "framework/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdint>
#include <cstring>
#include <vector>
#include <limits>

namespace cdmadiag {
namespace {

// Swept by the million once by hand; a few hundred keep watch in the suite.
constexpr int kSweep = 300;

#define EXPECT_AS_LIBC(format, ...)                              \
  do {                                                           \
    char libc[512];                                              \
    std::snprintf(libc, sizeof libc, format, __VA_ARGS__);       \
    EXPECT_EQ(formatf(format, __VA_ARGS__), libc) << (format);   \
  } while (false)

TEST(TextFormat, IntegersMatchTheCLibrary) {
  for (const long long v : {0LL, 1LL, -1LL, 7LL, -42LL, 255LL, 65535LL, 1000000LL, static_cast<long long>(INT_MAX),
                            static_cast<long long>(INT_MIN), LLONG_MAX, LLONG_MIN}) {
    const int i = static_cast<int>(v);
    const unsigned u = static_cast<unsigned>(v);
    EXPECT_AS_LIBC("[%d|%i|%5d|%-5d|%05d|%+d|%.3d|%8.3d|%-+6d|%.0d]", i, i, i, i, i, i, i, i, i, i);
    EXPECT_AS_LIBC("[%hd|%hhd|%ld|%lld|%*d|%-*d|%2d]", static_cast<short>(v), static_cast<signed char>(v),
                   static_cast<long>(v), v, 7, i, -7, i, i);
    EXPECT_AS_LIBC("[%u|%8u|%x|%X|%02x|%04X|%o|%lu|%llu|%zu|%6llu|%.0u|%hu]", u, u, u, u, u, u, u,
                   static_cast<unsigned long>(v), static_cast<unsigned long long>(v), static_cast<std::size_t>(v),
                   static_cast<unsigned long long>(v), u, static_cast<unsigned short>(v));
  }
}

TEST(TextFormat, FixedPointMatchesTheCLibraryIncludingTies) {
  std::uint64_t lcg = 88172645463325252ull;
  std::vector<double> values = {0.0, -0.0, 0.5, 1.5, 2.5, 0.125, 0.375, -0.125, 0.005, 1.005, 2.675, -63.75,
                                -31.5, 1e-7, 123456789.987654321, 1e20, -1e15, 4.35, -15.05, 99.995};
  const auto next = [&] { return lcg ^= lcg << 13, lcg ^= lcg >> 7, lcg ^= lcg << 17; };
  for (int i = 0; i < kSweep; ++i) {
    values.push_back(static_cast<double>(static_cast<std::int64_t>(next() % 2000001) - 1000000) / 64.0);
    // Decimal halves as written in the tables (x.xx5), and values a step either side of them.
    const double half = static_cast<double>(static_cast<std::int64_t>(next() % 200001) - 100000) / 1000.0 + 0.0005;
    values.insert(values.end(), {half, std::nextafter(half, 1e9), std::nextafter(half, -1e9)});
    // Any bit pattern of a modest magnitude.
    const std::uint64_t bits = (next() & 0x800FFFFFFFFFFFFFull) | (static_cast<std::uint64_t>(980 + next() % 90) << 52);
    double any = 0;
    std::memcpy(&any, &bits, sizeof any);
    values.push_back(any);
  }
  for (const double v : values) {
    EXPECT_AS_LIBC("[%f|%.2f|%.1f|%.3f|%.0f|%05.2f|%6.1f|%-8.2f|%+.3f|%02.0f|%.*f|%F]", v, v, v, v, v, v, v, v, v, v,
                   4, v, v);
    EXPECT_AS_LIBC("[%g|%.3g|%.0g|%12g|%-12g|%+g|%012g|%.10g]", v, v, v, v, v, v, v, v);
  }
}

TEST(TextFormat, TextsCharactersAndWhatIsLeftToTheLibrary) {
  EXPECT_AS_LIBC("[%s|%8s|%-8s|%.2s|%c|%3c|%-3c|%%|%10s]", "abc", "abc", "abc", "abc", 'x', 'y', 'z', "");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_AS_LIBC("[%.2f|%f|%6.1f|%g|%e|%#x|% d|%p]", nan, -inf, inf, nan, 12345.678, 255u, 5,
                 static_cast<const void*>(nullptr));
  EXPECT_AS_LIBC("%s and %d", "text after a fallback", 3);
}

// Texts longer than the formatter's block, and pieces that straddle its end.
TEST(TextFormat, LongTextsAcrossTheBlockAndFixedAppends) {
  const std::string label(700, 'x');
  char libc[4096];
  std::snprintf(libc, sizeof libc, "%s|%100d|%-120.3f|%s|%08X|%c", label.c_str(), -5, 2.675, label.c_str(), 0xbeefu,
                'q');
  std::string ours = "kept:";
  appendf(ours, "%s|%100d|%-120.3f|%s|%08X|%c", label.c_str(), -5, 2.675, label.c_str(), 0xbeefu, 'q');
  EXPECT_EQ(ours, std::string("kept:") + libc);
  for (const double v : {0.0, -0.004, 2.675, -63.755, 1.0 / 3, 123456.5, 1e15 + 0.25, 0.125}) {
    for (const int precision : {0, 1, 2, 3, 6, 9}) {
      std::snprintf(libc, sizeof libc, "%.*f", precision, v);
      EXPECT_EQ(fixed_text(v, precision), libc) << v << " " << precision;
    }
  }
}

}  // namespace
}  // namespace cdmadiag
