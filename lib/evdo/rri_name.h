#pragma once
// Reverse rate index (RRI) names, shared by every EV-DO decoder that shows the
// reverse rate an access terminal asked for or used.
#include <array>
#include <cstdint>

#include "framework/value_names.h"

namespace cdmadiag::evdo {

inline constexpr std::array<ValueName, 5> kRriNames{{
    {1, "9.6 kbps"},
    {2, "19.2 kbps"},
    {3, "38.4 kbps"},
    {4, "76.8 kbps"},
    {5, "153.6 kbps"},
}};

// Name of a reverse rate index; "Undefined" outside 1-5 (0 is the null rate).
constexpr const char* RriName(std::uint32_t rri) { return name_or(kRriNames, rri, "Undefined"); }

}  // namespace cdmadiag::evdo
