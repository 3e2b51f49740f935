#pragma once
// printf-style text for titles and details. The format attribute makes a wrong
// argument a compile error (built with -Werror=format).
#include <cstdarg>
#include <string>

namespace cdmadiag {

[[gnu::format(printf, 2, 3)]] void appendf(std::string& out, const char* format, ...);
[[gnu::format(printf, 2, 0)]] void vappendf(std::string& out, const char* format, va_list args);
[[gnu::format(printf, 1, 2)]] std::string formatf(const char* format, ...);

}  // namespace cdmadiag
