// The drive report: one HTML file with everything inline (SVG drawn here, one small
// script that records what the browser drew), so it opens anywhere without a network.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <map>
#include <numbers>

#include "output_file.h"
#include "report.h"
#include "text_convert.h"

namespace cdmadiag {
namespace {

using Buf = fmt::memory_buffer;

constexpr double kLegGapSeconds = 30.0;
constexpr double kCarrySeconds = 5.0;      // a colour value lasts this long without a new one
constexpr double kSeriesGapSeconds = 5.0;  // a chart line breaks over a longer gap
constexpr double kServingEverySeconds = 15.0;
constexpr double kCellMarginMetres = 3000.0;  // cells this far outside the route still shown
constexpr int kWidth = 1100;
constexpr int kEventsShown = 200;

constexpr std::array<const char*, 5> kClassColours = {"#d7191c", "#fdae61", "#e6d600", "#a6d96a", "#1a9641"};
constexpr const char* kNoValueColour = "#9a9a9a";

}  // namespace

int colour_class(const Scale& s, double v) {
  int c = 0;
  for (const double cut : s.cuts) {
    if (s.higher_better ? v >= cut : v <= cut) ++c;
  }
  return c;
}

Scale scale_for(std::size_t measure, const std::vector<SecondRow>& rows) {
  const std::string_view name = measurements()[measure].name;
  for (const ChartedMeasure& c : charted_measures()) {
    if (name == c.name) return c.scale;
  }
  std::vector<double> v;
  for (const SecondRow& r : rows) {
    if (const auto x = r.value(measure)) v.push_back(*x);
  }
  Scale s;
  if (v.empty()) return s;
  std::sort(v.begin(), v.end());
  for (std::size_t k = 0; k < 4; ++k) s.cuts[k] = v[(k + 1) * (v.size() - 1) / 5];
  return s;
}

namespace {

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

const char* colour_of(Scales& scales, const std::optional<std::size_t>& m, const std::optional<double>& v) {
  return m && v ? kClassColours[static_cast<std::size_t>(colour_class(scales.of(*m), *v))] : kNoValueColour;
}

std::string utc(double t, const char* format) {
  const auto secs = static_cast<std::time_t>(std::floor(t));
  std::tm tm{};
  gmtime_r(&secs, &tm);
  char text[64];
  return std::strftime(text, sizeof text, format, &tm) > 0 ? text : "";
}

std::string duration_text(double seconds) {
  const auto s = static_cast<long long>(std::llround(std::max(0.0, seconds)));
  return fmt::format("{}:{:02}:{:02}", s / 3600, s / 60 % 60, s % 60);
}

// A step of 1, 2 or 5 times a power of ten giving about `ticks` divisions of span.
double nice_step(double span, int ticks) {
  if (!(span > 0)) return 1.0;
  const double raw = span / ticks;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 5.0}) {
    if (m * p >= raw) return m * p;
  }
  return 10 * p;
}

}  // namespace

std::vector<RoutePoint> route_points(const DriveCollector& drive, const ReportOptions& options, double thin_metres) {
  std::vector<RoutePoint> out;
  Scales scales(drive.seconds());
  const std::optional<std::size_t> ecio = measure_by_key("ecio");
  const std::optional<std::size_t> sinr = measure_by_key("sinr");
  std::vector<std::optional<std::pair<double, double>>> last(measurements().size());  // time, value
  std::optional<double> last_time;
  std::optional<std::uint32_t> device;
  for (const SecondRow& row : drive.seconds()) {
    const auto t = static_cast<double>(row.second);
    if (device != row.device) {
      std::fill(last.begin(), last.end(), std::nullopt);
      last_time.reset();
      device = row.device;
    }
    for (std::size_t i = 0; i < last.size(); ++i) {
      if (const auto v = row.value(i)) last[i] = {{t, *v}};
    }
    if (!row.fix) continue;
    const bool evdo = row.evdo_leg();
    const std::optional<std::size_t> m = options.colour_by ? options.colour_by : evdo ? sinr : ecio;
    std::optional<double> v;
    if (m) {
      if (const auto& l = last[*m]; l && t - l->first <= kCarrySeconds) v = l->second;
    }
    RoutePoint p{t, row.fix->latitude, row.fix->longitude, m, v, evdo ? &row.serving_evdo : &row.serving_1x, false,
                 &row};
    p.new_leg = !last_time || t - *last_time > kLegGapSeconds;
    last_time = t;
    if (!out.empty() && !p.new_leg) {
      const RoutePoint& q = out.back();
      const bool same_colour =
          q.measure == p.measure && colour_of(scales, q.measure, q.value) == colour_of(scales, p.measure, p.value);
      if (same_colour && distance_m(q.latitude, q.longitude, p.latitude, p.longitude) < thin_metres) continue;
    }
    out.push_back(p);
  }
  return out;
}

namespace {

// Longitude/latitude to the map's pixels: equirectangular around the middle latitude,
// ample at drive scale.
struct MapFrame {
  double lat0 = 0, lon0 = 0, lat1 = 0, lon1 = 0;
  double kx = 1, ky = 1;  // pixels per degree
  int width = kWidth, height = 600;
  static constexpr int kPad = 30;

  void fit() {
    const double coslat = std::max(0.05, std::cos((lat0 + lat1) / 2 * std::numbers::pi / 180.0));
    const double wdeg = std::max(1e-4, (lon1 - lon0) * coslat);
    const double hdeg = std::max(1e-4, lat1 - lat0);
    const double k = (width - 2 * kPad) / wdeg;
    height = std::clamp(static_cast<int>(hdeg * k) + 2 * kPad, 300, 900);
    const double scale = std::min(k, (height - 2 * kPad) / hdeg);
    kx = scale * coslat;
    ky = scale;
  }
  double x(double lon) const { return width / 2.0 + (lon - (lon0 + lon1) / 2) * kx; }
  double y(double lat) const { return height / 2.0 - (lat - (lat0 + lat1) / 2) * ky; }
  double metres_per_pixel() const { return 6371008.8 * std::numbers::pi / 180.0 / ky; }
};



// The cells a box of longitude/latitude plus a margin in metres can hold: latitude
// differences bound distances from below, and longitude ones do too, scaled by the
// cosine of the highest latitude involved.
std::vector<std::size_t> cells_near_box(const CellSiteTable& cells, double lat0, double lon0, double lat1,
                                        double lon1, double metres) {
  constexpr double kRadius = 6371008.8;
  constexpr double kDeg = 180.0 / std::numbers::pi;
  const double dlat = metres / kRadius * kDeg * 1.001;
  const double highest = std::min(90.0, std::max(std::fabs(lat0), std::fabs(lat1)) + dlat);
  const double s = std::sin(metres / (2 * kRadius)) / std::cos(highest / kDeg);
  const double dlon = s >= 1.0 ? 360.0 : 2 * std::asin(s) * kDeg * 1.001;
  return cells.within(lat0 - dlat, lon0 - dlon, lat1 + dlat, lon1 + dlon);
}

void legend_row(Buf& out, Scales& scales, std::size_t m, double x, double y) {
  const Scale& s = scales.of(m);
  fmt::format_to(std::back_inserter(out), R"(<text x="{:.0f}" y="{:.0f}" class="lg">)", x, y);
  append_xml_text(out, fmt::format("{} ({})", measure_label(m), measure_unit(m)));
  append(out, "</text>");
  for (int c = 0; c < 5; ++c) {
    const double cx = x + 170 + c * 95;
    const char* ge = s.higher_better ? "\u2265" : "\u2264";
    const char* lt = s.higher_better ? "<" : ">";
    const std::string range = c == 0 ? fmt::format("{} {:.3g}", lt, s.cuts[0])
                                     : fmt::format("{} {:.3g}", ge, s.cuts[static_cast<std::size_t>(c - 1)]);
    fmt::format_to(std::back_inserter(out), R"(<rect x="{:.0f}" y="{:.0f}" width="14" height="10" fill="{}"/><text x="{:.0f}" y="{:.0f}" class="lg">)",
                   cx, y - 9, kClassColours[static_cast<std::size_t>(c)], cx + 18, y);
    append_xml_text(out, range);  // "< -15" would open a tag
    append(out, "</text>");
  }
}

void draw_map(Buf& out, const std::vector<RoutePoint>& route, const ReportOptions& o, Scales& scales) {
  auto it = std::back_inserter(out);
  append(out, "<h2>Route</h2>\n");
  if (route.empty()) {
    append(out, "<p class=\"none\">No position fix in this drive: no route to draw.</p>\n");
    return;
  }
  MapFrame f;
  f.lat0 = f.lat1 = route.front().latitude;
  f.lon0 = f.lon1 = route.front().longitude;
  for (const RoutePoint& p : route) {
    f.lat0 = std::min(f.lat0, p.latitude);
    f.lat1 = std::max(f.lat1, p.latitude);
    f.lon0 = std::min(f.lon0, p.longitude);
    f.lon1 = std::max(f.lon1, p.longitude);
  }
  // Cells near the route widen the frame; far ones are left out.
  std::vector<const CellSite*> shown;
  std::vector<std::optional<double>> azimuths;  // of the cells shown, where the list gives one
  if (o.cells != nullptr) {
    const double mlat = (f.lat0 + f.lat1) / 2;
    for (const std::size_t i : cells_near_box(*o.cells, f.lat0, f.lon0, f.lat1, f.lon1, kCellMarginMetres)) {
      const CellSite& c = o.cells->cell(i);
      const double dlat = std::max({0.0, f.lat0 - c.latitude, c.latitude - f.lat1});
      const double dlon = std::max({0.0, f.lon0 - c.longitude, c.longitude - f.lon1});
      if (distance_m(mlat, 0, mlat + dlat, dlon) <= kCellMarginMetres) {
        shown.push_back(&c);
        azimuths.push_back(o.cells->beam(i).azimuth);
      }
    }
    for (const CellSite* c : shown) {
      f.lat0 = std::min(f.lat0, c->latitude);
      f.lat1 = std::max(f.lat1, c->latitude);
      f.lon0 = std::min(f.lon0, c->longitude);
      f.lon1 = std::max(f.lon1, c->longitude);
    }
  }
  f.fit();
  const int legend_h = 46;
  fmt::format_to(it, R"(<svg id="map" class="map" width="{}" height="{}" viewBox="0 0 {} {}" role="img">)", f.width,
                 f.height + legend_h, f.width, f.height + legend_h);
  fmt::format_to(it, R"(<rect width="{}" height="{}" class="bg"/>)", f.width, f.height);

  // Lines to the serving sector first, so the route is drawn over them.
  append(out, "<g id=\"serving\">");
  std::optional<double> last_line;
  std::size_t serving_lines = 0;
  // The serving sector of the per-second table: the beam-aware likely cell of the serving PN.
  for (const RoutePoint& p : route) {
    if (p.new_leg) last_line.reset();
    if (p.serving == nullptr || p.serving->cell == nullptr) continue;
    if (last_line && p.time - *last_line < kServingEverySeconds) continue;
    const CellSite* c = p.serving->cell;
    last_line = p.time;
    ++serving_lines;
    fmt::format_to(it, R"(<line x1="{:.1f}" y1="{:.1f}" x2="{:.1f}" y2="{:.1f}"><title>{} PN {} )", f.x(p.longitude),
                   f.y(p.latitude), f.x(c->longitude), f.y(c->latitude), utc(p.time, "%H:%M:%S"), p.serving->pn);
    append_xml_text(out, c->sector_id);
    append(out, "</title></line>");
  }
  append(out, "</g>\n");

  // The route: consecutive points of one colour share a polyline.
  append(out, "<g id=\"route\">");
  for (std::size_t i = 0; i < route.size();) {
    const char* colour = colour_of(scales, route[i].measure, route[i].value);
    std::size_t j = i + 1;
    while (j < route.size() && !route[j].new_leg && colour_of(scales, route[j].measure, route[j].value) == colour) ++j;
    // Each run ends where the next begins so the line has no holes.
    const std::size_t end = j < route.size() && !route[j].new_leg ? j + 1 : j;
    fmt::format_to(it, R"(<polyline stroke="{}" points=")", colour);
    for (std::size_t k = i; k < end; ++k)
      fmt::format_to(it, "{}{:.1f},{:.1f}", k == i ? "" : " ", f.x(route[k].longitude), f.y(route[k].latitude));
    if (end - i == 1) fmt::format_to(it, " {:.1f},{:.1f}", f.x(route[i].longitude) + 0.1, f.y(route[i].latitude));
    append(out, "\"/>");
    i = j;
  }
  append(out, "</g>\n");
  fmt::format_to(it, R"(<circle cx="{:.1f}" cy="{:.1f}" r="5" class="start"><title>start</title></circle>)",
                 f.x(route.front().longitude), f.y(route.front().latitude));
  fmt::format_to(it, R"(<circle cx="{:.1f}" cy="{:.1f}" r="5" class="end"><title>end</title></circle>)",
                 f.x(route.back().longitude), f.y(route.back().latitude));

  // Cell sites: one mark per site position, a tick per sector that has a direction.
  append(out, "<g id=\"cells\">");
  // The sectors at each position, in the order shown: one site mark lists them all.
  std::map<std::pair<double, double>, std::vector<std::size_t>> at_position;
  for (std::size_t k = 0; k < shown.size(); ++k) {
    at_position[{shown[k]->latitude, shown[k]->longitude}].push_back(k);
  }
  for (std::size_t k = 0; k < shown.size(); ++k) {
    const CellSite* c = shown[k];
    const double cx = f.x(c->longitude);
    const double cy = f.y(c->latitude);
    if (azimuths[k]) {
      const double a = *azimuths[k] * std::numbers::pi / 180.0;
      fmt::format_to(it, R"(<line class="sector" x1="{:.1f}" y1="{:.1f}" x2="{:.1f}" y2="{:.1f}"/>)", cx, cy,
                     cx + 22 * std::sin(a), cy - 22 * std::cos(a));
    }
    const std::vector<std::size_t>& here = at_position[{c->latitude, c->longitude}];
    if (here.front() != k) continue;
    fmt::format_to(it, R"(<rect class="site" x="{:.1f}" y="{:.1f}" width="9" height="9"><title>)", cx - 4.5, cy - 4.5);
    append_xml_text(out, c->site_name);
    for (const std::size_t j : here) {
      fmt::format_to(it, "\nPN {} ", shown[j]->pn);
      append_xml_text(out, shown[j]->sector_id);
    }
    // Names near the right edge run leftwards so they stay on the map.
    const bool right = cx > f.width - 140;
    fmt::format_to(it, R"(</title></rect><text class="sitename" x="{:.1f}" y="{:.1f}" text-anchor="{}">)",
                   right ? cx - 7 : cx + 7, cy - 6, right ? "end" : "start");
    append_xml_text(out, c->site_name);
    append(out, "</text>");
  }
  append(out, "</g>\n");

  // Scale bar of a round length about a fifth of the width.
  const double mpp = f.metres_per_pixel();
  const double bar_m = nice_step(mpp * f.width / 5, 1);
  const double bar_px = bar_m / mpp;
  fmt::format_to(
      it,
      R"(<line class="scalebar" x1="20" y1="{0}" x2="{1:.1f}" y2="{0}"/><text class="lg" x="20" y="{2}">{3}</text>)",
      f.height - 14, 20 + bar_px, f.height - 20,
      bar_m >= 1000 ? fmt::format("{:g} km", bar_m / 1000) : fmt::format("{:g} m", bar_m));

  // Legend: each measure that colours some point.
  std::vector<std::size_t> used;
  for (const RoutePoint& p : route) {
    if (p.measure && std::find(used.begin(), used.end(), *p.measure) == used.end()) used.push_back(*p.measure);
  }
  double ly = f.height + 18;
  for (std::size_t i = 0; i < used.size() && i < 2; ++i, ly += 20) legend_row(out, scales, used[i], 10, ly);
  fmt::format_to(
      it,
      R"(<rect x="{}" y="{:.0f}" width="14" height="10" fill="{}"/><text x="{}" y="{:.0f}" class="lg">no value</text>)",
      f.width - 190, f.height + 9.0, kNoValueColour, f.width - 172, f.height + 18.0);
  fmt::format_to(it, R"(<text x="{}" y="{:.0f}" class="lg">{} points, {} serving lines</text>)", f.width - 190,
                 f.height + 38.0, route.size(), serving_lines);
  append(out, "</svg>\n");
}

// The charts share one time axis.
struct TimeAxis {
  double t0 = 0, t1 = 1;
  static constexpr int kLeft = 64, kRight = 64;
  double x(double t) const { return kLeft + (t - t0) / (t1 - t0) * (kWidth - kLeft - kRight); }
};

constexpr std::array<const char*, 4> kSeriesColours = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd"};

struct ChartSeries {
  const char* key;  // a charted measurement's key
  int axis;         // 0 left, 1 right
};

void time_ticks(Buf& out, const TimeAxis& ax, int top, int bottom) {
  auto it = std::back_inserter(out);
  static constexpr std::array<double, 12> kSteps = {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800};
  double step = 3600;
  for (const double s : kSteps) {
    if ((ax.t1 - ax.t0) / s <= 10) {
      step = s;
      break;
    }
  }
  // Longer runs (or a stray time stamp far off) keep about ten whole-hour ticks.
  if ((ax.t1 - ax.t0) / step > 10) step = std::ceil((ax.t1 - ax.t0) / 10 / 3600) * 3600;
  const char* format = ax.t1 - ax.t0 > 86400 ? "%Y-%m-%d %H:%M" : "%H:%M:%S";
  for (double t = std::ceil(ax.t0 / step) * step; t <= ax.t1; t += step) {
    fmt::format_to(
        it,
        R"(<line class="grid" x1="{0:.1f}" y1="{1}" x2="{0:.1f}" y2="{2}"/><text class="tick" x="{0:.1f}" y="{3}" text-anchor="middle">{4}</text>)",
        ax.x(t), top, bottom, bottom + 14, utc(t, format));
  }
}

// One line per measurement and device: devices are never merged into one series.
void draw_chart(Buf& out, const DriveCollector& drive, const TimeAxis& ax, const char* title,
                const std::vector<ChartSeries>& wanted) {
  auto it = std::back_inserter(out);
  constexpr int kTop = 28, kPlot = 120, kHeight = kTop + kPlot + 22;
  const std::size_t devices = std::max<std::size_t>(1, drive.summary().devices.size());
  struct Line {
    std::size_t m;
    int axis;
    std::uint32_t device;
  };
  std::vector<Line> series;
  for (const ChartSeries& w : wanted) {
    const std::optional<std::size_t> m = measure_by_key(w.key);
    if (!m) continue;
    for (std::uint32_t d = 0; d < devices; ++d) series.push_back({*m, w.axis, d});
  }
  // Axis ranges over the values present.
  std::array<std::optional<std::pair<double, double>>, 2> range;
  for (const Line& s : series) {
    for (const SecondRow& row : drive.seconds()) {
      const auto v = row.device == s.device ? row.value(s.m) : std::nullopt;
      if (!v) continue;
      auto& r = range[static_cast<std::size_t>(s.axis)];
      r = r ? std::pair{std::min(r->first, *v), std::max(r->second, *v)} : std::pair{*v, *v};
    }
  }
  fmt::format_to(it, R"(<svg class="chart" width="{0}" height="{1}" viewBox="0 0 {0} {1}" role="img">)", kWidth,
                 kHeight);
  fmt::format_to(it, R"(<text class="ct" x="{}" y="16">{}</text>)", TimeAxis::kLeft, title);
  double lx = TimeAxis::kLeft + 8.0 * static_cast<double>(std::string_view(title).size()) + 20;
  for (std::size_t i = 0; i < series.size(); ++i) {
    const Line& l = series[i];
    const std::string name = fmt::format("{}{} ({}{})", measure_label(l.m),
                                         devices > 1 ? fmt::format(", device {}", l.device) : "", measure_unit(l.m),
                                         l.axis == 1 ? ", right axis" : "");
    fmt::format_to(it, R"(<rect x="{:.0f}" y="8" width="12" height="4" fill="{}"/><text class="lg" x="{:.0f}" y="16">)",
                   lx, kSeriesColours[i % kSeriesColours.size()], lx + 16);
    append_xml_text(out, name);
    append(out, "</text>");
    lx += 16 + 6.2 * static_cast<double>(name.size()) + 18;
  }
  fmt::format_to(it, R"(<rect class="plot" x="{}" y="{}" width="{}" height="{}"/>)", TimeAxis::kLeft, kTop,
                 kWidth - TimeAxis::kLeft - TimeAxis::kRight, kPlot);
  time_ticks(out, ax, kTop, kTop + kPlot);
  if (!range[0] && !range[1]) {
    fmt::format_to(it, R"(<text class="none" x="{}" y="{}" text-anchor="middle">no values in this drive</text></svg>)",
                   kWidth / 2, kTop + kPlot / 2);
    append(out, "\n");
    return;
  }
  // Value axes with round ticks.
  std::array<std::pair<double, double>, 2> lim{};
  for (std::size_t a = 0; a < 2; ++a) {
    if (!range[a]) continue;
    double lo = range[a]->first, hi = range[a]->second;
    if (hi - lo < 1e-9) {
      lo -= 1;
      hi += 1;
    }
    const double step = nice_step(hi - lo, 4);
    lo = std::floor(lo / step) * step;
    hi = std::ceil(hi / step) * step;
    lim[a] = {lo, hi};
    const std::string_view unit = [&] {
      for (const Line& s : series) {
        if (static_cast<std::size_t>(s.axis) == a) return measure_unit(s.m);
      }
      return std::string_view();
    }();
    const double xa = a == 0 ? TimeAxis::kLeft - 4 : kWidth - TimeAxis::kRight + 4;
    for (double v = lo; v <= hi + step / 2; v += step) {
      const double y = kTop + kPlot - (v - lo) / (hi - lo) * kPlot;
      if (a == 0)
        fmt::format_to(it, R"(<line class="grid" x1="{}" y1="{:.1f}" x2="{}" y2="{:.1f}"/>)", TimeAxis::kLeft, y,
                       kWidth - TimeAxis::kRight, y);
      fmt::format_to(it, R"(<text class="tick" x="{:.0f}" y="{:.1f}" text-anchor="{}">{:g}</text>)", xa, y + 4,
                     a == 0 ? "end" : "start", std::abs(v) < step / 1e6 ? 0.0 : v);
    }
    fmt::format_to(it, R"(<text class="unit" x="{:.0f}" y="{}" text-anchor="{}">{}</text>)", xa, kTop - 9,
                   a == 0 ? "end" : "start", unit);
  }
  for (std::size_t i = 0; i < series.size(); ++i) {
    const Line& l = series[i];
    const auto a = static_cast<std::size_t>(l.axis);
    if (!range[a]) continue;
    const auto [lo, hi] = lim[a];
    fmt::format_to(it, R"(<path class="series" stroke="{}" d=")", kSeriesColours[i % kSeriesColours.size()]);
    std::optional<double> prev;
    std::size_t n = 0;
    for (const SecondRow& row : drive.seconds()) {
      if (row.device != l.device) continue;
      const auto v = row.value(l.m);
      if (!v) continue;
      const auto t = static_cast<double>(row.second);
      const bool move = !prev || t - *prev > kSeriesGapSeconds;
      fmt::format_to(it, "{}{:.1f} {:.1f}", move ? (n == 0 ? "M" : " M") : " L", ax.x(t + 0.5),
                     kTop + kPlot - (*v - lo) / (hi - lo) * kPlot);
      // A lone point is a short dash, so it shows.
      if (move) fmt::format_to(it, " h1");
      prev = t;
      ++n;
    }
    append(out, "\"/>");
  }
  append(out, "</svg>\n");
}

void draw_events(Buf& out, const DriveCollector& drive, const TimeAxis& ax) {
  auto it = std::back_inserter(out);
  constexpr int kTop = 28, kRow = 22, kHeight = kTop + kRow * static_cast<int>(kEventKindCount) + 22;
  constexpr std::array<const char*, kEventKindCount> kColours = {"#2ca02c", "#1f77b4", "#d62728", "#7f7f7f",
                                                                 "#d62728", "#9467bd", "#8c564b", "#17becf"};
  fmt::format_to(it, R"(<svg class="chart" width="{0}" height="{1}" viewBox="0 0 {0} {1}" role="img">)", kWidth,
                 kHeight);
  fmt::format_to(it, R"(<text class="ct" x="{}" y="16">Events</text>)", TimeAxis::kLeft);
  fmt::format_to(it, R"(<rect class="plot" x="{}" y="{}" width="{}" height="{}"/>)", TimeAxis::kLeft, kTop,
                 kWidth - TimeAxis::kLeft - TimeAxis::kRight, kRow * kEventKindCount);
  time_ticks(out, ax, kTop, kTop + kRow * static_cast<int>(kEventKindCount));
  for (std::size_t k = 0; k < kEventKindCount; ++k) {
    fmt::format_to(it, R"(<text class="tick" x="{}" y="{}" text-anchor="end">{}</text>)", TimeAxis::kLeft - 4,
                   kTop + kRow * static_cast<int>(k) + 15, event_kind_name(static_cast<EventKind>(k)));
  }
  for (const DriveEvent& e : drive.events()) {
    if (!e.time_ms) continue;
    const double t = static_cast<double>(*e.time_ms) / 1000.0;
    const auto k = static_cast<std::size_t>(e.kind);
    fmt::format_to(it, R"(<circle class="mark" cx="{:.1f}" cy="{}" r="5" fill="{}"><title>{} {} )", ax.x(t),
                   kTop + kRow * static_cast<int>(k) + kRow / 2, kColours[k], utc(t, "%H:%M:%S"), tech_name(e.tech));
    append_xml_text(out, e.details);
    append(out, "</title></circle>");
  }
  if (drive.events().empty()) {
    fmt::format_to(it, R"(<text class="none" x="{}" y="{}" text-anchor="middle">no events in this drive</text>)",
                   kWidth / 2, kTop + kRow * 2);
  }
  append(out, "</svg>\n");
}

void row(Buf& out, std::string_view name, std::string_view value) {
  append(out, "<tr><th>");
  append_xml_text(out, name);
  append(out, "</th><td>");
  append_xml_text(out, value);
  append(out, "</td></tr>\n");
}

void draw_summary(Buf& out, const DriveCollector& drive, const RunCounters& c, const std::vector<RoutePoint>& route) {
  auto it = std::back_inserter(out);
  const DriveSummary& s = drive.summary();
  append(out, "<h2>Summary</h2>\n<div class=\"cols\"><table class=\"kv\">\n");
  if (s.first_time) {
    row(out, "Start (UTC)", utc(*s.first_time, "%Y-%m-%d %H:%M:%S"));
    row(out, "End (UTC)", utc(*s.last_time, "%Y-%m-%d %H:%M:%S"));
    row(out, "Duration", duration_text(*s.last_time - *s.first_time));
  }
  if (s.devices.size() > 1) {
    for (std::size_t d = 0; d < s.devices.size(); ++d) {
      const DeviceSummary& ds = s.devices[d];
      std::string files;
      for (const std::uint32_t f : ds.files) files += (files.empty() ? "" : ", ") + s.files[f];
      row(out, fmt::format("Device {}", d),
          fmt::format("{}; {:.2f} km{}", files, ds.distance_m / 1000,
                      ds.first_time ? fmt::format(", {} to {} UTC", utc(*ds.first_time, "%H:%M:%S"),
                                                  utc(*ds.last_time, "%H:%M:%S"))
                                    : ""));
    }
  } else {
    row(out, "Distance", fmt::format("{:.2f} km", s.distance_m() / 1000));
  }
  std::size_t with_fix = 0;
  for (const SecondRow& r : drive.seconds()) with_fix += r.fix ? 1 : 0;
  row(out, "Seconds with a position", fmt::format("{} of {}", with_fix, drive.seconds().size()));
  row(out, "Route points drawn", fmt::format("{}", route.size()));
  // Every record read is one of: decoded, not decoded yet, of unknown code, a framing error.
  row(out, "Records read", fmt::format("{}", c.packets + c.framing_errors));
  row(out, "Decoded", fmt::format("{} ({} with a decode failure, {} with a decoder error)", c.decoded,
                                  c.decode_failures, c.decoder_errors));
  row(out, "Not decoded yet", fmt::format("{}", c.not_decoded));
  row(out, "Unknown code", fmt::format("{}", c.unknown_codes));
  row(out, "Framing errors", fmt::format("{}", c.framing_errors));
  row(out, "1x log / EV-DO log / responses", fmt::format("{} / {} / {} (of known code)", c.packets_1x - c.responses,
                                                          c.packets_evdo, c.responses));
  row(out, "Stray time stamps", fmt::format("{}", c.time_suspect));
  append(out, "</table>\n");

  // Coverage: share of the measured seconds at or beyond each class boundary.
  append(out,
         "<table class=\"grid\"><tr><th>measure</th><th>seconds</th><th>mean</th><th>min</th><th>max</th><th>share of "
         "time</th></tr>\n");
  for (const ChartedMeasure& cm : charted_measures()) {
    const std::optional<std::size_t> m = measurement_index(cm.name);
    if (!m) continue;
    std::size_t n = 0;
    double sum = 0, lo = 0, hi = 0;
    std::array<std::size_t, 4> beyond{};
    const Scale& sc = cm.scale;
    for (const SecondRow& r : drive.seconds()) {
      const auto v = r.value(*m);
      if (!v) continue;
      lo = n == 0 ? *v : std::min(lo, *v);
      hi = n == 0 ? *v : std::max(hi, *v);
      sum += *v;
      ++n;
      for (std::size_t c = 0; c < 4; ++c) beyond[c] += (sc.higher_better ? *v >= sc.cuts[c] : *v <= sc.cuts[c]) ? 1 : 0;
    }
    append(out, "<tr><td>");
    append_xml_text(out, fmt::format("{} ({})", cm.label, measure_unit(*m)));
    fmt::format_to(it, "</td><td>{}</td>", n);
    if (n == 0) {
      append(out, "<td></td><td></td><td></td><td></td></tr>\n");
      continue;
    }
    fmt::format_to(it, "<td>{:.1f}</td><td>{:.1f}</td><td>{:.1f}</td><td>", sum / n, lo, hi);
    for (std::size_t c = 4; c-- > 0;) {
      fmt::format_to(it, "{} {:g}: {:.0f}%{}", sc.higher_better ? "\u2265" : "\u2264", sc.cuts[c],
                     100.0 * beyond[c] / n, c == 0 ? "" : ", ");
    }
    append(out, "</td></tr>\n");
  }
  append(out, "</table></div>\n");

  std::vector<std::pair<const std::pair<std::string, std::uint32_t>*, const CodeCount*>> codes;
  for (const auto& [key, cc] : s.codes) codes.emplace_back(&key, &cc);
  std::stable_sort(codes.begin(), codes.end(),
                   [](const auto& a, const auto& b) { return a.second->packets > b.second->packets; });
  append(out,
         "<h2>Packets per code</h2>\n<table "
         "class=\"grid\"><tr><th>class</th><th>code</th><th>title</th><th>packets</th></tr>\n");
  for (const auto& [key, cc] : codes) {
    fmt::format_to(it, "<tr><td>{}</td><td>0x{:04X}</td><td>", key->first, key->second);
    append_xml_text(out, cc->title);
    fmt::format_to(it, "</td><td>{}</td></tr>\n", cc->packets);
  }
  append(out, "</table>\n");

  append(out,
         "<h2>Events</h2>\n<table class=\"grid\"><tr><th>time (UTC)</th><th>device</th><th>technology</th>"
         "<th>kind</th><th>event</th><th>place</th></tr>\n");
  int shown = 0;
  for (const DriveEvent& e : drive.events()) {
    if (++shown > kEventsShown) break;
    fmt::format_to(it, "<tr><td>{}</td><td>{}</td><td>{}</td><td>{}</td><td>",
                   e.time_ms ? utc(static_cast<double>(*e.time_ms) / 1000.0, "%H:%M:%S") : "-", e.device,
                   tech_name(e.tech), event_kind_name(e.kind));
    append_xml_text(out, e.details);
    append(out, "</td><td>");
    if (e.fix) fmt::format_to(it, "{:.5f}, {:.5f}", e.fix->latitude, e.fix->longitude);
    append(out, "</td></tr>\n");
  }
  append(out, "</table>\n");
  if (drive.events().size() > static_cast<std::size_t>(kEventsShown)) {
    fmt::format_to(it, "<p>First {} of {} events.</p>\n", kEventsShown, drive.events().size());
  }
}

constexpr std::string_view kStyle = R"(<style>
body{font:13px/1.4 sans-serif;margin:16px;color:#222;max-width:1120px}
h1{font-size:20px;margin:0 0 4px}h2{font-size:16px;margin:18px 0 6px}
.sub{color:#555}.none{color:#777;font-style:italic}
svg{display:block;margin:0 0 6px}
.map .bg{fill:#f4f6f2;stroke:#ccc}
#route polyline{fill:none;stroke-width:4;stroke-linecap:round;stroke-linejoin:round}
#serving line{stroke:#5b7db1;stroke-width:1;stroke-dasharray:3 3;opacity:.7}
.site{fill:#333}.sector{stroke:#333;stroke-width:2}
.sitename{font-size:11px;fill:#333}.start{fill:#fff;stroke:#000;stroke-width:2}.end{fill:#000}
.scalebar{stroke:#000;stroke-width:3}
.lg{font-size:11px;fill:#333}.ct{font-size:13px;font-weight:bold;fill:#222}
.tick,.unit{font-size:10px;fill:#555}.plot{fill:#fff;stroke:#bbb}.grid{stroke:#e4e4e4}
.series{fill:none;stroke-width:1.5}
table{border-collapse:collapse;margin:0 16px 8px 0;vertical-align:top}
td,th{padding:2px 8px;text-align:left;border-bottom:1px solid #eee}
.cols{display:flex;flex-wrap:wrap;align-items:flex-start}
#script-errors{color:#c00}
</style>
)";

// Records load errors and what was drawn, for people and for the browser test.
constexpr std::string_view kScript = R"(<script>
window.onerror=function(m,src,line){var e=document.getElementById('script-errors');
if(e){var li=document.createElement('li');li.textContent=m+' (line '+line+')';e.appendChild(li);
document.body.setAttribute('data-errors',e.children.length);}};
window.addEventListener('load',function(){var n=0,c=0;
document.querySelectorAll('#route polyline').forEach(function(p){n+=p.points.numberOfItems;});
document.querySelectorAll('svg.chart').forEach(function(s){
var drawn=Array.prototype.some.call(s.querySelectorAll('.series'),function(p){return p.getTotalLength()>0;});
if(drawn||s.querySelector('.mark'))c++;});
var b=document.body;b.setAttribute('data-route-points',n);b.setAttribute('data-charts',c);
b.setAttribute('data-errors',document.getElementById('script-errors').children.length);
document.getElementById('render-status').textContent='Drawn: '+n+' route line vertices, '+c+' charts.';});
</script>
)";

}  // namespace

std::string render_report(const DriveCollector& drive, const ReportOptions& options) {
  Buf out;
  auto it = std::back_inserter(out);
  const DriveSummary& s = drive.summary();
  const std::vector<RoutePoint> route = route_points(drive, options);
  append(out, "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n<title>Drive report</title>\n");
  append(out, kStyle);
  append(out, kScript);
  append(out, "</head><body data-errors=\"0\">\n<h1>Drive report</h1>\n<p class=\"sub\">");
  for (std::size_t i = 0; i < s.files.size(); ++i) {
    if (i > 0) append(out, ", ");
    append_xml_text(out, s.files[i]);
  }
  if (s.first_time) {
    fmt::format_to(it, " &middot; {} to {} UTC &middot; {} &middot; {:.2f} km", utc(*s.first_time, "%Y-%m-%d %H:%M:%S"),
                   utc(*s.last_time, "%H:%M:%S"), duration_text(*s.last_time - *s.first_time), s.distance_m() / 1000);
    if (s.devices.size() > 1) fmt::format_to(it, " &middot; {} devices", s.devices.size());
  }
  append(out, "</p>\n<p id=\"render-status\" class=\"sub\"></p><ul id=\"script-errors\"></ul>\n");

  Scales scales(drive.seconds());
  draw_map(out, route, options, scales);

  append(out, "<h2>Measurements over time</h2>\n");
  TimeAxis ax;
  if (s.first_time) {
    ax.t0 = std::floor(*s.first_time);
    ax.t1 = std::floor(*s.last_time) + 1;
  }
  draw_chart(out, drive, ax, "Best Ec/Io and active set", {{"ecio", 0}, {"aset", 1}});
  draw_chart(out, drive, ax, "EV-DO best SINR", {{"sinr", 0}});
  draw_chart(out, drive, ax, "Receive and transmit power", {{"rx", 0}, {"tx", 0}, {"dorx", 0}, {"dotx", 0}});
  draw_chart(out, drive, ax, "Forward FER and PER", {{"fer", 0}, {"per", 0}});
  draw_chart(out, drive, ax, "EV-DO DRC rate and throughput", {{"drc", 0}, {"tput", 0}, {"rlp", 0}});
  draw_events(out, drive, ax);

  const RunCounters none;
  draw_summary(out, drive, options.counters != nullptr ? *options.counters : none, route);
  append(out, "</body></html>\n");
  return fmt::to_string(out);
}

namespace {

class ReportSink final : public OutputSink {
 public:
  ReportSink(const std::string& path, const ReportOptions& options) : file_(path), options_(options) {}
  void packet(const PacketView& p) override { drive_.packet(p); }
  void framing_error(std::string_view) override {}
  void finish() override {
    drive_.finish();
    append(file_.buffer(), render_report(drive_, options_));
    file_.close();
  }

 private:
  OutputFile file_;
  ReportOptions options_;
  DriveCollector drive_{options_.cells};
};

}  // namespace

std::unique_ptr<OutputSink> make_report_sink(const std::string& path, const ReportOptions& options) {
  return std::make_unique<ReportSink>(path, options);
}

}  // namespace cdmadiag
