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

std::string number(double v) {
  fmt::memory_buffer out;
  append_json_number(out, v);
  return fmt::to_string(out);
}

TEST(JsonString, EscapesQuotesBackslashesAndEveryControlCharacter) {
  EXPECT_EQ(json("a\"b\\c"), R"("a\"b\\c")");
  EXPECT_EQ(json("\b\f\n\r\t"), R"("\b\f\n\r\t")");
  EXPECT_EQ(json(std::string_view("\x00\x01\x1f", 3)), R"("\u0000\u0001\u001f")");
  EXPECT_EQ(json("\x7f/"), "\"\x7f/\"");  // DEL and slash need no escape
}

TEST(JsonString, ConvertsWindows1252ToUtf8) {
  EXPECT_EQ(json("45\xb0 N"), "\"45\xc2\xb0 N\"");                          // degree sign
  EXPECT_EQ(json("\x80\x99\x9f"), "\"\xe2\x82\xac\xe2\x84\xa2\xc5\xb8\"");  // euro, trade mark, Y diaeresis
  EXPECT_EQ(json("\xff"), "\"\xc3\xbf\"");
}

TEST(JsonString, Utf8TextPassesThrough) { EXPECT_EQ(json("caf\xc3\xa9\n", Encoding::kUtf8), "\"caf\xc3\xa9\\n\""); }

TEST(Cp1252, UndefinedBytesBecomeTheReplacementCharacter) {
  for (const unsigned char b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(cp1252_code_point(b), 0xFFFDu) << int(b);
  EXPECT_EQ(cp1252_to_utf8("\x81"), "\xef\xbf\xbd");
}

TEST(Cp1252, EveryByteMapsToOneCodePointAndLatin1Agrees) {
  for (int b = 0; b < 256; ++b) {
    const char32_t cp = cp1252_code_point(static_cast<unsigned char>(b));
    if (b < 0x80 || b >= 0xA0) {
      EXPECT_EQ(cp, static_cast<char32_t>(b));
    } else {
      EXPECT_GE(cp, 0x100u) << b;  // 0x80-0x9F never map to C1 controls
    }
  }
}

TEST(JsonNumber, ShortestTextThatReadsBackExactly) {
  for (const double v : {0.1, -12.345678901234567, 1.0 / 3.0, 1e-300, 315964800.00125, 5e-324}) {
    const std::string s = number(v);
    EXPECT_EQ(std::strtod(s.c_str(), nullptr), v) << s;
  }
  EXPECT_EQ(number(0.1), "0.1");
  EXPECT_EQ(number(std::numeric_limits<double>::quiet_NaN()), "null");
  EXPECT_EQ(number(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(number(-std::numeric_limits<double>::infinity()), "null");
}

}  // namespace
}  // namespace cdmadiag
