#pragma once
// The drive report's parts, each in its own file: the map (report_map.cpp), the charts
// (report_charts.cpp), the tables (report_tables.cpp) and the page's style and script
// (report_page.cpp); report_html.cpp puts them on one page.
#include <fmt/format.h>

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "report.h"

namespace cdmadiag::report {

using Buf = fmt::memory_buffer;

// Width of the map and the time charts in SVG units (the page scales them to its width).
inline constexpr int kWidth = 1100;

// Route colours by technology, worst class first: two families, so a colour on the map
// says which technology the leg is on.
using Ramp = std::array<const char*, 5>;
inline constexpr Ramp kRamp1x = {"#d7191c", "#fdae61", "#e6d600", "#a6d96a", "#1a9641"};
inline constexpr Ramp kRampEvdo = {"#b2007d", "#e77fc0", "#b7a6e0", "#4f8fd6", "#1c3f99"};
inline constexpr const char* kNoValueColour = "#9a9a9a";
inline const Ramp& ramp_of(bool evdo) { return evdo ? kRampEvdo : kRamp1x; }
// The ramp a measurement's classes are shown in outside the map (comparison, legends).
const Ramp& ramp_of_measure(std::size_t measure);

// Per device: the route's casing on the map and its lines in the comparison.
const char* device_colour(std::size_t device);
// Per device in the time charts, whose colours tell the measurements apart: a dash.
const char* device_dash(std::size_t device);

// The scale of every catalogue measurement in one drive, worked out once.
class Scales {
 public:
  explicit Scales(const std::vector<SecondRow>& rows) : rows_(rows), scales_(measurements().size()) {}
  const Scale& of(std::size_t i) {
    if (!scales_[i]) scales_[i] = scale_for(i, rows_);
    return *scales_[i];
  }

 private:
  const std::vector<SecondRow>& rows_;
  std::vector<std::optional<Scale>> scales_;
};

std::string utc(double t, const char* format);
std::string duration_text(double seconds);
// A step of 1, 2 or 5 times a power of ten giving about `ticks` divisions of span.
double nice_step(double span, int ticks);

// A value axis: round ends and step. Counts (whole) never get a tick between two integers.
struct Ticks {
  double lo = 0.0;
  double hi = 1.0;
  double step = 1.0;
};
Ticks value_ticks(double lo, double hi, int divisions, bool whole);
// A measurement that counts things (pilots): its axes and legends keep to whole numbers.
bool counts_things(std::size_t measure);
// A class cut as a legend shows it; a count's cut between two integers reads as the
// integer on the class's side ("\u2265 2" for ">= 1.5" when above, "\u2264 1" below).
std::string cut_text(double cut, bool whole, bool above);

// A number as the page's data holds it: rounded to a tenth, null when not finite.
void append_data_number(Buf& out, double v);
// A JSON string that stays text inside a <script> element ("<" never appears in it).
void append_script_string(Buf& out, std::string_view utf8);
// The likely cell of a PN at a fix, beam-aware: searched at the fix's map x/y under a
// projection, else at its longitude/latitude, as the per-second table does.
std::optional<CellMatch> likely_cell(const CellSiteTable& cells, unsigned pn, const Fix& fix);
// "101-2, Capitol Square"
std::string cell_name(const CellSite& c);

// The time charts' shared axis.
struct TimeAxis {
  double t0 = 0, t1 = 1;
  static constexpr int kLeft = 96, kRight = 64;
  double x(double t) const { return kLeft + (t - t0) / (t1 - t0) * (kWidth - kLeft - kRight); }
};

// The sections, in page order.
void draw_map(Buf& out, const DriveCollector& drive, const std::vector<RoutePoint>& route,
              const ReportOptions& options, Scales& scales, const TimeAxis& axis);
void draw_events_table(Buf& out, const DriveCollector& drive, const CellSiteTable* cells, const TimeAxis& axis);
void draw_time_charts(Buf& out, const DriveCollector& drive, const TimeAxis& axis);
void draw_comparison(Buf& out, const DriveCollector& drive);
// One measurement's distribution, a line per device.
void draw_cdf(Buf& out, const DriveCollector& drive, std::size_t measure);
void draw_summary(Buf& out, const DriveCollector& drive, const RunCounters& counters,
                  const std::vector<RoutePoint>& route);

// The Content-Security-Policy of the page: nothing fetched, or the tiles' origin only.
std::string content_policy(std::string_view tiles);
extern const std::string_view kStyle;
extern const std::string_view kStatusScript;  // in the head: errors, and what was drawn
extern const std::string_view kScript;         // at the end of the body

}  // namespace cdmadiag::report

namespace cdmadiag {
// The host (and port) of a tile URL template: "{s}.tile.example.org".
std::string tile_host(std::string_view url_template);
}  // namespace cdmadiag
