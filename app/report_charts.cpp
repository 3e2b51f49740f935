// The report's charts: the measurements over one shared time axis (a line per measurement
// and device, a time cursor the page's script moves), the events by kind, and the
// distributions (CDF) that compare devices.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "report_parts.h"
#include "text_convert.h"

namespace cdmadiag::report {
namespace {

constexpr double kSeriesGapSeconds = 5.0;  // a chart line breaks over a longer gap
constexpr std::array<const char*, 4> kSeriesColours = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd"};
constexpr std::array<const char*, kEventKindCount> kEventColours = {"#2ca02c", "#1f77b4", "#d62728", "#7f7f7f",
                                                                   "#d62728", "#9467bd", "#8c564b", "#17becf"};

struct ChartSeries {
  const char* key;  // a charted measurement's key
  int axis;         // 0 left, 1 right
};

// Labels laid out in rows across a chart's top: returns the rows used.
class LegendRows {
 public:
  LegendRows(double x, double right) : x0_(x), x_(x), right_(right) {}
  // Where an item of this text goes: (x, row).
  std::pair<double, int> place(std::string_view text) {
    const double w = 30 + 6.2 * static_cast<double>(text.size());
    if (x_ + w > right_ && x_ > x0_) {
      x_ = x0_;
      ++row_;
    }
    const std::pair<double, int> at{x_, row_};
    x_ += w;
    return at;
  }
  int rows() const { return row_ + 1; }

 private:
  double x0_, x_, right_;
  int row_ = 0;
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

// The time cursor: hidden until the page's script places it.
void cursor(Buf& out, int top, int bottom) {
  fmt::format_to(std::back_inserter(out),
                 R"(<line class="cursor" x1="0" y1="{0}" x2="0" y2="{1}" visibility="hidden"/>)", top, bottom);
}

// One line per measurement and device: devices are never merged into one series. The
// colour tells the measurement, the dash the device.
void draw_chart(Buf& out, const DriveCollector& drive, const TimeAxis& ax, const char* title,
                const std::vector<ChartSeries>& wanted) {
  auto it = std::back_inserter(out);
  constexpr int kPlot = 120;
  const std::size_t devices = std::max<std::size_t>(1, drive.summary().devices.size());
  struct Line {
    std::size_t m;
    int axis;
    std::size_t colour;
    std::uint32_t device;
  };
  std::vector<Line> series;
  std::vector<std::pair<std::size_t, int>> measures;  // measure, axis
  for (const ChartSeries& w : wanted) {
    const std::optional<std::size_t> m = measure_by_key(w.key);
    if (!m) continue;
    for (std::uint32_t d = 0; d < devices; ++d) series.push_back({*m, w.axis, measures.size(), d});
    measures.emplace_back(*m, w.axis);
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
  // The legend: each measurement's colour, then each device's dash.
  LegendRows legend(TimeAxis::kLeft + 8.0 * static_cast<double>(std::string_view(title).size()) + 20, kWidth - 10);
  Buf items;
  auto iit = std::back_inserter(items);
  for (std::size_t i = 0; i < measures.size(); ++i) {
    const auto [m, axis] = measures[i];
    const std::string name = fmt::format("{} ({}{})", measure_label(m), measure_unit(m), axis == 1 ? ", right axis" : "");
    const auto [x, row] = legend.place(name);
    fmt::format_to(iit, R"(<rect x="{:.0f}" y="{}" width="14" height="4" fill="{}"/><text class="lg" x="{:.0f}" y="{}">)",
                   x, 8 + 14 * row, kSeriesColours[i % kSeriesColours.size()], x + 18, 16 + 14 * row);
    append_xml_text(items, name);
    append(items, "</text>");
  }
  if (devices > 1) {
    for (std::size_t d = 0; d < devices; ++d) {
      const auto [x, row] = legend.place(fmt::format("device {}", d));
      fmt::format_to(iit,
                     R"(<line class="devkey" x1="{:.0f}" y1="{}" x2="{:.0f}" y2="{}" stroke-dasharray="{}"/><text class="lg" x="{:.0f}" y="{}">device {}</text>)",
                     x, 12 + 14 * row, x + 24, 12 + 14 * row, device_dash(d), x + 28, 16 + 14 * row, d);
    }
  }
  const int top = 14 + 14 * legend.rows();
  const int height = top + kPlot + 22;
  fmt::format_to(it, R"(<svg class="chart" width="{0}" height="{1}" viewBox="0 0 {0} {1}" role="img">)", kWidth,
                 height);
  fmt::format_to(it, R"(<text class="ct" x="{}" y="16">{}</text>)", TimeAxis::kLeft, title);
  out.append(items.data(), items.data() + items.size());
  fmt::format_to(it, R"(<rect class="plot" x="{}" y="{}" width="{}" height="{}"/>)", TimeAxis::kLeft, top,
                 kWidth - TimeAxis::kLeft - TimeAxis::kRight, kPlot);
  time_ticks(out, ax, top, top + kPlot);
  if (!range[0] && !range[1]) {
    fmt::format_to(it, R"(<text class="none" x="{}" y="{}" text-anchor="middle">no values in this drive</text>)",
                   kWidth / 2, top + kPlot / 2);
    cursor(out, top, top + kPlot);
    append(out, "</svg>\n");
    return;
  }
  // Value axes with round ticks; whole ones for counts.
  std::array<Ticks, 2> lim{};
  for (std::size_t a = 0; a < 2; ++a) {
    if (!range[a]) continue;
    bool whole = true;
    std::string_view unit;
    for (const auto& [m, axis] : measures) {
      if (static_cast<std::size_t>(axis) != a) continue;
      whole = whole && counts_things(m);
      if (unit.empty()) unit = measure_unit(m);
    }
    const Ticks t = value_ticks(range[a]->first, range[a]->second, 4, whole);
    lim[a] = t;
    const double xa = a == 0 ? TimeAxis::kLeft - 4 : kWidth - TimeAxis::kRight + 4;
    for (double v = t.lo; v <= t.hi + t.step / 2; v += t.step) {
      const double y = top + kPlot - (v - t.lo) / (t.hi - t.lo) * kPlot;
      if (a == 0)
        fmt::format_to(it, R"(<line class="grid" x1="{}" y1="{:.1f}" x2="{}" y2="{:.1f}"/>)", TimeAxis::kLeft, y,
                       kWidth - TimeAxis::kRight, y);
      fmt::format_to(it, R"(<text class="tick" x="{:.0f}" y="{:.1f}" text-anchor="{}">{:g}</text>)", xa, y + 4,
                     a == 0 ? "end" : "start", std::abs(v) < t.step / 1e6 ? 0.0 : v);
    }
    fmt::format_to(it, R"(<text class="unit" x="{:.0f}" y="{}" text-anchor="{}">{}</text>)", xa, top - 6,
                   a == 0 ? "end" : "start", unit);
  }
  for (const Line& l : series) {
    const auto a = static_cast<std::size_t>(l.axis);
    if (!range[a]) continue;
    const Ticks& t = lim[a];
    fmt::format_to(it, R"(<path class="series" data-device="{}" stroke="{}"{} d=")", l.device,
                   kSeriesColours[l.colour % kSeriesColours.size()],
                   l.device == 0 ? std::string() : fmt::format(R"( stroke-dasharray="{}")", device_dash(l.device)));
    std::optional<double> prev;
    std::size_t n = 0;
    for (const SecondRow& row : drive.seconds()) {
      if (row.device != l.device) continue;
      const auto v = row.value(l.m);
      if (!v) continue;
      const auto x = static_cast<double>(row.second);
      const bool move = !prev || x - *prev > kSeriesGapSeconds;
      fmt::format_to(it, "{}{:.1f} {:.1f}", move ? (n == 0 ? "M" : " M") : " L", ax.x(x + 0.5),
                     top + kPlot - (*v - t.lo) / (t.hi - t.lo) * kPlot);
      // A lone point is a short dash, so it shows.
      if (move) fmt::format_to(it, " h1");
      prev = x;
      ++n;
    }
    append(out, "\"/>");
  }
  cursor(out, top, top + kPlot);
  append(out, "</svg>\n");
}

constexpr std::array<const char*, kEventKindCount> kEventRowNames = {
    "active set", "conn. attempt", "conn. failure", "release", "access failure", "session", "page", "service option"};

void draw_event_chart(Buf& out, const DriveCollector& drive, const TimeAxis& ax) {
  auto it = std::back_inserter(out);
  constexpr int kTop = 28, kRow = 22, kRows = kRow * static_cast<int>(kEventKindCount);
  constexpr int kHeight = kTop + kRows + 22;
  const std::size_t devices = std::max<std::size_t>(1, drive.summary().devices.size());
  fmt::format_to(it, R"(<svg class="chart" id="event-chart" width="{0}" height="{1}" viewBox="0 0 {0} {1}" role="img">)", kWidth,
                 kHeight);
  fmt::format_to(it, R"(<text class="ct" x="{}" y="16">Events{}</text>)", TimeAxis::kLeft,
                 devices > 1 ? " (device 0 filled, others hollow)" : "");
  fmt::format_to(it, R"(<rect class="plot" x="{}" y="{}" width="{}" height="{}"/>)", TimeAxis::kLeft, kTop,
                 kWidth - TimeAxis::kLeft - TimeAxis::kRight, kRows);
  time_ticks(out, ax, kTop, kTop + kRows);
  for (std::size_t k = 0; k < kEventKindCount; ++k) {
    fmt::format_to(it, R"(<text class="tick" x="{}" y="{}" text-anchor="end">{}</text>)", TimeAxis::kLeft - 4,
                   kTop + kRow * static_cast<int>(k) + 15, kEventRowNames[k]);
  }
  for (std::size_t j = 0; j < drive.events().size(); ++j) {
    const DriveEvent& e = drive.events()[j];
    if (!e.time_ms) continue;
    const double t = static_cast<double>(*e.time_ms) / 1000.0;
    const auto k = static_cast<std::size_t>(e.kind);
    // Devices side by side within the kind's row.
    const double dy = devices > 1 ? (static_cast<double>(e.device) - static_cast<double>(devices - 1) / 2) * 6 : 0.0;
    fmt::format_to(it, R"(<circle class="mark{}" data-i="{}" cx="{:.1f}" cy="{:.1f}" r="5" {}="{}"><title>{} {} )",
                   e.device > 0 ? " hollow" : "", j, ax.x(t), kTop + kRow * static_cast<double>(k) + kRow / 2.0 + dy,
                   e.device > 0 ? "stroke" : "fill", kEventColours[k], utc(t, "%H:%M:%S"), tech_name(e.tech));
    append_xml_text(out, e.details);
    append(out, "</title></circle>");
  }
  if (drive.events().empty()) {
    fmt::format_to(it, R"(<text class="none" x="{}" y="{}" text-anchor="middle">no events in this drive</text>)",
                   kWidth / 2, kTop + kRow * 2);
  }
  cursor(out, kTop, kTop + kRows);
  append(out, "</svg>\n");
}

}  // namespace

void draw_time_charts(Buf& out, const DriveCollector& drive, const TimeAxis& ax) {
  append(out, "<section id=\"charts\"><h2>Measurements over time</h2>\n"
              "<p class=\"hint noprint\">Click a chart to place the time cursor and show where the drive was.</p>\n");
  draw_chart(out, drive, ax, "Best Ec/Io and active set", {{"ecio", 0}, {"aset", 1}});
  draw_chart(out, drive, ax, "EV-DO best SINR", {{"sinr", 0}});
  draw_chart(out, drive, ax, "Receive and transmit power", {{"rx", 0}, {"tx", 0}, {"dorx", 0}, {"dotx", 0}});
  draw_chart(out, drive, ax, "Forward FER and PER", {{"fer", 0}, {"per", 0}});
  draw_chart(out, drive, ax, "EV-DO DRC rate and throughput", {{"drc", 0}, {"tput", 0}, {"rlp", 0}});
  draw_event_chart(out, drive, ax);
  fmt::format_to(std::back_inserter(out),
                 "<script type=\"application/json\" id=\"axis-data\">{{\"t0\":{},\"t1\":{},\"left\":{},\"right\":{},"
                 "\"width\":{}}}</script>\n</section>\n",
                 ax.t0, ax.t1, TimeAxis::kLeft, TimeAxis::kRight, kWidth);
}

// The share of a device's seconds at or below each value: a line per device, drawn
// through at most kSteps quantiles.
void draw_cdf(Buf& out, const DriveCollector& drive, std::size_t m) {
  auto it = std::back_inserter(out);
  constexpr int kW = 360, kH = 240, kLeft = 44, kRight = 12, kBottom = 32;
  constexpr std::size_t kSteps = 200;
  const std::size_t devices = std::max<std::size_t>(1, drive.summary().devices.size());
  std::vector<std::vector<double>> values(devices);
  for (const SecondRow& r : drive.seconds()) {
    if (const auto v = r.value(m); v && std::isfinite(*v) && r.device < devices) values[r.device].push_back(*v);
  }
  std::optional<std::pair<double, double>> range;
  for (std::vector<double>& v : values) {
    std::sort(v.begin(), v.end());
    if (v.empty()) continue;
    range = range ? std::pair{std::min(range->first, v.front()), std::max(range->second, v.back())}
                  : std::pair{v.front(), v.back()};
  }
  const int top = 26 + 14 * static_cast<int>(devices);
  const int bottom = kH - kBottom;
  fmt::format_to(it, R"(<svg class="cdf" width="{0}" height="{1}" viewBox="0 0 {0} {1}" role="img">)", kW, kH);
  append(out, R"(<text class="ct" x="4" y="15">)");
  append_xml_text(out, fmt::format("{} ({})", measure_label(m), measure_unit(m)));
  append(out, "</text>");
  fmt::format_to(it, R"(<rect class="plot" x="{}" y="{}" width="{}" height="{}"/>)", kLeft, top, kW - kLeft - kRight,
                 bottom - top);
  if (!range) {
    fmt::format_to(it, R"(<text class="none" x="{}" y="{}" text-anchor="middle">no values</text></svg>)", kW / 2,
                   (top + bottom) / 2);
    append(out, "\n");
    return;
  }
  const Ticks t = value_ticks(range->first, range->second, 4, counts_things(m));
  const auto x = [&](double v) { return kLeft + (v - t.lo) / (t.hi - t.lo) * (kW - kLeft - kRight); };
  const auto y = [&](double share) { return bottom - share * (bottom - top); };
  for (double v = t.lo; v <= t.hi + t.step / 2; v += t.step) {
    fmt::format_to(it,
                   R"(<line class="grid" x1="{0:.1f}" y1="{1}" x2="{0:.1f}" y2="{2}"/><text class="tick" x="{0:.1f}" y="{3}" text-anchor="middle">{4:g}</text>)",
                   x(v), top, bottom, bottom + 13, std::abs(v) < t.step / 1e6 ? 0.0 : v);
  }
  for (int p = 0; p <= 100; p += 25) {
    fmt::format_to(it,
                   R"(<line class="grid" x1="{0}" y1="{1:.1f}" x2="{2}" y2="{1:.1f}"/><text class="tick" x="{3}" y="{4:.1f}" text-anchor="end">{5}%</text>)",
                   kLeft, y(p / 100.0), kW - kRight, kLeft - 3, y(p / 100.0) + 3, p);
  }
  for (std::size_t d = 0; d < devices; ++d) {
    const std::vector<double>& v = values[d];
    const int ly = 32 + 14 * static_cast<int>(d);
    fmt::format_to(it, R"(<rect x="{}" y="{}" width="14" height="3" fill="{}"/><text class="lg" x="{}" y="{}">)", kLeft,
                   ly - 5, device_colour(d), kLeft + 18, ly);
    if (v.empty()) {
      fmt::format_to(it, "device {}: no values</text>", d);
      continue;
    }
    const double median = v.size() % 2 == 1 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    fmt::format_to(it, "device {}: median {:.1f}, {} s</text>", d, median, v.size());
    // A step line: share (i + 1) / n at value v[i].
    fmt::format_to(it, R"(<path class="cdfline" data-device="{}" stroke="{}" d="M{:.1f} {:.1f})", d, device_colour(d),
                   x(v.front()), y(0));
    const std::size_t n = v.size();
    const std::size_t step = std::max<std::size_t>(1, n / kSteps);
    for (std::size_t i = 0; i < n; i += step) {
      const std::size_t j = std::min(n - 1, i + step - 1);
      fmt::format_to(it, " L{:.1f} {:.1f}", x(v[j]), y(static_cast<double>(j + 1) / static_cast<double>(n)));
    }
    append(out, "\"/>");
  }
  append(out, "</svg>\n");
}

}  // namespace cdmadiag::report
