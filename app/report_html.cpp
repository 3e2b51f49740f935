// The drive report: one HTML file with everything inline (SVG drawn here, one script that
// pans and zooms the map and links it with the events and the charts), so it opens
// anywhere and fetches nothing unless --tiles names a tile server.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <ctime>

#include "output_file.h"
#include "report_parts.h"
#include "text_convert.h"

namespace cdmadiag {
namespace report {

namespace {
constexpr std::array<const char*, 4> kDeviceColours = {"#202020", "#a0522d", "#5a5aa8", "#2a8a8a"};
constexpr std::array<const char*, 4> kDeviceDashes = {"", "7 3", "2 2", "9 3 2 3"};
}  // namespace

const Ramp& ramp_of_measure(std::size_t measure) { return ramp_of(measurements()[measure].tech == Tech::kEvdo); }
const char* device_colour(std::size_t device) { return kDeviceColours[device % kDeviceColours.size()]; }
const char* device_dash(std::size_t device) { return kDeviceDashes[device % kDeviceDashes.size()]; }

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

double nice_step(double span, int ticks) {
  if (!(span > 0)) return 1.0;
  const double raw = span / ticks;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 5.0}) {
    if (m * p >= raw) return m * p;
  }
  return 10 * p;
}

Ticks value_ticks(double lo, double hi, int divisions, bool whole) {
  if (hi - lo < 1e-9) {
    lo -= 1;
    hi += 1;
  }
  double step = nice_step(hi - lo, divisions);
  if (whole) step = std::max(1.0, std::round(step));
  return {std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
}

bool counts_things(std::size_t measure) { return measurements()[measure].unit == "pilots"; }

std::string cut_text(double cut, bool whole, bool above) {
  if (!whole || cut == std::floor(cut)) return fmt::format("{:.3g}", cut);
  return fmt::format("{:g}", above ? std::ceil(cut) : std::floor(cut));
}

void append_data_number(Buf& out, double v) {
  if (!std::isfinite(v)) {
    append(out, "null");
    return;
  }
  const double r = std::round(v * 10) / 10;
  fmt::format_to(std::back_inserter(out), "{}", r == 0 ? 0.0 : r);  // never "-0"
}

void append_script_string(Buf& out, std::string_view utf8) {
  Buf s;
  append_json_string(s, utf8, Encoding::kUtf8);
  // "</script" or "<!--" in a name would end or bend the element; JSON reads \u003c alike.
  for (const char c : std::string_view(s.data(), s.size())) {
    if (c == '<') {
      append(out, "\\u003c");
    } else if (c == '>') {
      append(out, "\\u003e");
    } else if (c == '&') {
      append(out, "\\u0026");
    } else {
      out.push_back(c);
    }
  }
}

std::optional<CellMatch> likely_cell(const CellSiteTable& cells, unsigned pn, const Fix& fix) {
  const double x = fix.map ? fix.map->x : fix.longitude;
  const double y = fix.map ? fix.map->y : fix.latitude;
  return cells.nearest(pn, x, y);
}

std::string cell_name(const CellSite& c) {
  if (c.site_name.empty()) return std::string(c.sector_id);
  if (c.sector_id.empty()) return std::string(c.site_name);
  return fmt::format("{}, {}", c.sector_id, c.site_name);
}

}  // namespace report

using namespace report;

std::string render_report(const DriveCollector& drive, const ReportOptions& options) {
  Buf out;
  auto it = std::back_inserter(out);
  const DriveSummary& s = drive.summary();
  const std::vector<RoutePoint> route = route_points(drive, options);
  append(out, "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">\n"
              "<meta http-equiv=\"Content-Security-Policy\" content=\"");
  append_xml_text(out, content_policy(options.tiles));
  append(out, "\">\n<meta name=\"referrer\" content=\"no-referrer\">\n"
              "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Drive report</title>\n");
  append(out, kStyle);
  append(out, kStatusScript);
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

  TimeAxis ax;
  if (s.first_time) {
    ax.t0 = std::floor(*s.first_time);
    ax.t1 = std::floor(*s.last_time) + 1;
  }
  Scales scales(drive.seconds());
  draw_map(out, drive, route, options, scales, ax);
  draw_events_table(out, drive, options.cells, ax);
  draw_time_charts(out, drive, ax);
  draw_comparison(out, drive);
  const RunCounters none;
  draw_summary(out, drive, options.counters != nullptr ? *options.counters : none, route);
  append(out, kScript);
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
