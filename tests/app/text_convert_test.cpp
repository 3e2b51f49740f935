#include "text_convert.h"

#include <gtest/gtest.h>

#include <limits>

namespace cdmadiag {
namespace {

std::string json(std::string_view s, Encoding enc = Encoding::kCp1252) {
  fmt::memory_buffer out;
  append_json_string(out, s, enc);
  return fmt::to_string(out);
}

TEST(JsonString, EscapesAndConvertsWindows1252ToUtf8) {
  EXPECT_EQ(json("a\"b\\c\b\f\n\r\t"), R"("a\"b\\c\b\f\n\r\t")");
  // DEL and slash need no escape.
  EXPECT_EQ(json(std::string_view("\x00\x01\x1f\x7f/", 5)), "\"\\u0000\\u0001\\u001f\x7f/\"");
  EXPECT_EQ(json("45\xb0 \xff"), "\"45\xc2\xb0 \xc3\xbf\"");
  EXPECT_EQ(json("\x80\x99\x9f"), "\"\xe2\x82\xac\xe2\x84\xa2\xc5\xb8\"");  // euro, trade mark, Y diaeresis
  EXPECT_EQ(json("caf\xc3\xa9\n", Encoding::kUtf8), "\"caf\xc3\xa9\\n\"");
}

TEST(Cp1252, Latin1AgreesOutsideTheC1RangeAndUndefinedBytesAreReplaced) {
  for (int b = 0; b < 256; ++b) {
    const char32_t cp = cp1252_code_point(static_cast<unsigned char>(b));
    EXPECT_TRUE(b < 0x80 || b >= 0xA0 ? cp == static_cast<char32_t>(b) : cp >= 0x100) << b;  // no C1 controls
  }
  for (const unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(cp1252_code_point(b), 0xFFFDu) << int(b);
}

TEST(JsonNumber, ShortestTextThatReadsBackExactlyAndNullForNonFinite) {
  const auto number = [](double v) {
    fmt::memory_buffer out;
    append_json_number(out, v);
    return fmt::to_string(out);
  };
  for (const double v : {0.1, -12.345678901234567, 1.0 / 3.0, 1e-300, 315964800.00125, 5e-324})
    EXPECT_EQ(std::strtod(number(v).c_str(), nullptr), v) << number(v);
  EXPECT_EQ(number(0.1), "0.1");
  constexpr double kInf = std::numeric_limits<double>::infinity();
  for (const double v : {std::numeric_limits<double>::quiet_NaN(), kInf, -kInf}) EXPECT_EQ(number(v), "null");
}

}  // namespace
}  // namespace cdmadiag
