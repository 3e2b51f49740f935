#pragma once
// Output text: Windows-1252 bytes (the library's titles and details) to UTF-8, and
// JSON string escaping.
#include <fmt/format.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace cdmadiag {

// Code point of a Windows-1252 byte; the five undefined bytes give U+FFFD.
char32_t cp1252_code_point(unsigned char b);
void append_utf8(fmt::memory_buffer& out, char32_t cp);
void append_cp1252_as_utf8(fmt::memory_buffer& out, std::string_view text);
std::string cp1252_to_utf8(std::string_view text);
// Length of the well-formed UTF-8 sequence at s[i] (a lead byte of 0x80 or more), 0 for
// none: no overlong form, no surrogate, nothing past U+10FFFF.
std::size_t utf8_sequence(std::string_view s, std::size_t i);
enum class Encoding : std::uint8_t { kCp1252, kUtf8 };
// A JSON string, quotes included, control characters escaped. Library texts are
// Windows-1252; the command's own texts (file names in messages) are UTF-8 already.
void append_json_string(fmt::memory_buffer& out, std::string_view text, Encoding enc = Encoding::kCp1252);
// A number that reads back exactly; NaN and the infinities, which JSON lacks, as null.
void append_json_number(fmt::memory_buffer& out, double v);
// Text in XML or HTML, markup characters escaped.
void append_xml_text(fmt::memory_buffer& out, std::string_view utf8);
// A CSV field (RFC 4180): quoted when it holds a comma, quote or line break, quotes doubled.
void append_csv_field(fmt::memory_buffer& out, std::string_view utf8);
// A CSV field of outside text (decoded strings, cell names, file names) as a spreadsheet
// opens it without running it: one starting with = + - @, a tab or a carriage return that
// is not a number gets a leading apostrophe.
void append_csv_text(fmt::memory_buffer& out, std::string_view utf8);

inline void append(fmt::memory_buffer& out, std::string_view s) { out.append(s.data(), s.data() + s.size()); }

}  // namespace cdmadiag
