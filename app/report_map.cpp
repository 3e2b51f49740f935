// The report's map: the route of each device, its legs coloured per technology, the cell
// sites and the lines to the serving sector, drawn here as SVG in Web Mercator so that
// tiles (--tiles) line up under it; the page's script pans, zooms and reads the points'
// values from one JSON block.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numbers>

#include "report_parts.h"
#include "text_convert.h"

namespace cdmadiag {
namespace {

constexpr double kLegGapSeconds = 30.0;
constexpr double kCarrySeconds = 5.0;  // a colour value lasts this long without a new one

const char* colour_of(report::Scales& scales, const std::optional<std::size_t>& m, const std::optional<double>& v,
                      bool evdo) {
  return m && v ? report::ramp_of(evdo)[static_cast<std::size_t>(colour_class(scales.of(*m), *v))]
                : report::kNoValueColour;
}

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

std::vector<RoutePoint> route_points(const DriveCollector& drive, const ReportOptions& options, double thin_metres) {
  std::vector<RoutePoint> out;
  report::Scales scales(drive.seconds());
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
      const bool q_evdo = q.row->evdo_leg();
      const bool same_colour = q.measure == p.measure && q_evdo == evdo &&
                               colour_of(scales, q.measure, q.value, q_evdo) == colour_of(scales, p.measure, p.value, evdo);
      if (same_colour && distance_m(q.latitude, q.longitude, p.latitude, p.longitude) < thin_metres) continue;
    }
    out.push_back(p);
  }
  return out;
}

namespace report {
namespace {

using std::numbers::pi;
constexpr double kServingEverySeconds = 15.0;
constexpr double kCellMarginMetres = 3000.0;  // cells this far outside the route still shown
constexpr double kEarthRadius = 6371008.8;

// Web Mercator as tile servers cut it: world pixels of zoom 0, 256 across.
struct World {
  double x = 0.0;
  double y = 0.0;
};
World world(double lat, double lon) {
  const double phi = std::clamp(lat, -85.05112878, 85.05112878) * pi / 180.0;
  return {(lon + 180.0) / 360.0 * 256.0, (1.0 - std::log(std::tan(phi) + 1.0 / std::cos(phi)) / pi) / 2.0 * 256.0};
}

// World pixels to the map's units: a scale and the world point at the map's corner.
struct MapFrame {
  double wx0 = 0, wy0 = 0, wx1 = 0, wy1 = 0;  // bounds of what is drawn, world pixels
  double s = 1;                               // map units per world pixel
  double ox = 0, oy = 0;                      // world pixel at the map's top left
  double mid_lat = 0;
  int width = kWidth, height = 600;
  static constexpr int kPad = 30;

  void include(double lat, double lon) {
    const World w = world(lat, lon);
    wx0 = std::min(wx0, w.x);
    wx1 = std::max(wx1, w.x);
    wy0 = std::min(wy0, w.y);
    wy1 = std::max(wy1, w.y);
  }
  void fit() {
    const double w = std::max(1e-4, wx1 - wx0);  // 1e-4 world pixels: about 15 m
    const double h = std::max(1e-4, wy1 - wy0);
    const double k = (width - 2 * kPad) / w;
    height = std::clamp(static_cast<int>(h * k) + 2 * kPad, 300, 900);
    s = std::min(k, (height - 2 * kPad) / h);
    ox = (wx0 + wx1) / 2 - width / 2.0 / s;
    oy = (wy0 + wy1) / 2 - height / 2.0 / s;
  }
  double x(double lat, double lon) const { return (world(lat, lon).x - ox) * s; }
  double y(double lat, double lon) const { return (world(lat, lon).y - oy) * s; }
  // Ground metres per map unit at the middle of the drive.
  double metres_per_unit() const { return 2 * pi * kEarthRadius * std::cos(mid_lat * pi / 180.0) / 256.0 / s; }
};

// The cells a box of longitude/latitude plus a margin in metres can hold: latitude
// differences bound distances from below, and longitude ones do too, scaled by the
// cosine of the highest latitude involved.
std::vector<std::size_t> cells_near_box(const CellSiteTable& cells, double lat0, double lon0, double lat1,
                                        double lon1, double metres) {
  constexpr double kDeg = 180.0 / pi;
  const double dlat = metres / kEarthRadius * kDeg * 1.001;
  const double highest = std::min(90.0, std::max(std::fabs(lat0), std::fabs(lat1)) + dlat);
  const double s = std::sin(metres / (2 * kEarthRadius)) / std::cos(highest / kDeg);
  const double dlon = s >= 1.0 ? 360.0 : 2 * std::asin(s) * kDeg * 1.001;
  return cells.within(lat0 - dlat, lon0 - dlon, lat1 + dlat, lon1 + dlon);
}

// The values of class c: below the first cut, or at or beyond cut c - 1.
std::string range_text(const Scale& s, int c, bool whole) {
  const bool up = s.higher_better;
  if (c == 0) {
    // A count below 1.5 is at most 1.
    const double cut = s.cuts[0];
    if (whole && cut != std::floor(cut)) return fmt::format("{} {}", up ? "\u2264" : "\u2265", cut_text(cut, true, !up));
    return fmt::format("{} {}", up ? "<" : ">", cut_text(cut, false, up));
  }
  return fmt::format("{} {}", up ? "\u2265" : "\u2264", cut_text(s.cuts[static_cast<std::size_t>(c - 1)], whole, up));
}

void legend_row(Buf& out, Scales& scales, const char* leg, std::size_t m, bool evdo, double x, double y) {
  const Scale& s = scales.of(m);
  fmt::format_to(std::back_inserter(out), R"(<g class="legrow" data-leg="{}"><text x="{:.0f}" y="{:.0f}" class="lg">)",
                 evdo ? "evdo" : "1x", x, y);
  append_xml_text(out, fmt::format("{}: {} ({})", leg, measure_label(m), measure_unit(m)));
  append(out, "</text>");
  for (int c = 0; c < 5; ++c) {
    const double cx = x + 290 + c * 92;
    fmt::format_to(std::back_inserter(out),
                   R"(<rect x="{:.0f}" y="{:.0f}" width="22" height="10" fill="{}"/><text x="{:.0f}" y="{:.0f}" class="lg">)",
                   cx, y - 9, ramp_of(evdo)[static_cast<std::size_t>(c)], cx + 26, y);
    append_xml_text(out, range_text(s, c, counts_things(m)));  // "< -15" would open a tag
    append(out, "</text>");
  }
  append(out, "</g>");
}

// An element drawn at a map position at the same size whatever the zoom: the page's
// script scales the inner mark by the inverse of the zoom.
void mark_at(Buf& out, double x, double y) {
  fmt::format_to(std::back_inserter(out), R"~(<g transform="translate({:.1f} {:.1f})">)~", x, y);
}

// The serving sector's name as the point data lists it: "PN 204: 101-2, Capitol Square".
std::string server_text(const Serving& s) {
  if (s.cell == nullptr) return fmt::format("PN {}", s.pn);
  return fmt::format("PN {}: {}", s.pn, cell_name(*s.cell));
}

}  // namespace

void draw_map(Buf& out, const DriveCollector& drive, const std::vector<RoutePoint>& route, const ReportOptions& o,
              Scales& scales, const TimeAxis& axis) {
  auto it = std::back_inserter(out);
  append(out, "<h2 id=\"route-title\">Route</h2>\n");
  if (route.empty()) {
    append(out, "<p class=\"none\">No position fix in this drive: no route to draw.</p>\n");
    return;
  }
  const std::size_t devices = std::max<std::size_t>(1, drive.summary().devices.size());
  MapFrame f;
  const World w0 = world(route.front().latitude, route.front().longitude);
  f.wx0 = f.wx1 = w0.x;
  f.wy0 = f.wy1 = w0.y;
  double lat0 = route.front().latitude, lat1 = lat0, lon0 = route.front().longitude, lon1 = lon0;
  for (const RoutePoint& p : route) {
    f.include(p.latitude, p.longitude);
    lat0 = std::min(lat0, p.latitude);
    lat1 = std::max(lat1, p.latitude);
    lon0 = std::min(lon0, p.longitude);
    lon1 = std::max(lon1, p.longitude);
  }
  f.mid_lat = (lat0 + lat1) / 2;
  // Cells near the route widen the frame; far ones are left out.
  std::vector<const CellSite*> shown;
  std::vector<std::optional<double>> azimuths;  // of the cells shown, where the list gives one
  if (o.cells != nullptr) {
    for (const std::size_t i : cells_near_box(*o.cells, lat0, lon0, lat1, lon1, kCellMarginMetres)) {
      const CellSite& c = o.cells->cell(i);
      const double dlat = std::max({0.0, lat0 - c.latitude, c.latitude - lat1});
      const double dlon = std::max({0.0, lon0 - c.longitude, c.longitude - lon1});
      if (distance_m(f.mid_lat, 0, f.mid_lat + dlat, dlon) <= kCellMarginMetres) {
        shown.push_back(&c);
        azimuths.push_back(o.cells->beam(i).azimuth);
      }
    }
    for (const CellSite* c : shown) f.include(c->latitude, c->longitude);
  }
  f.fit();

  // Which technologies' legs there are, and what colours each.
  std::array<std::optional<std::size_t>, 2> leg_measure;  // 1x, EV-DO
  for (const RoutePoint& p : route) {
    auto& m = leg_measure[p.row->evdo_leg() ? 1 : 0];
    if (!m && p.measure) m = p.measure;
  }
  const int ramp_rows = (leg_measure[0] ? 1 : 0) + (leg_measure[1] ? 1 : 0);
  const int legend_h = 16 + 20 * std::max(2, ramp_rows + (devices > 1 ? 1 : 0));

  append(out, "<div class=\"mapbox\" id=\"mapbox\"><div class=\"tools noprint\">"
              "<button type=\"button\" id=\"zoom-in\" title=\"Zoom in\">+</button>"
              "<button type=\"button\" id=\"zoom-out\" title=\"Zoom out\">\u2212</button>"
              "<button type=\"button\" id=\"zoom-reset\">Whole route</button>");
  if (devices > 1) {
    for (std::size_t d = 0; d < devices; ++d) {
      fmt::format_to(it, R"(<label><input type="checkbox" class="devtoggle" data-device="{0}" checked> device {0}</label>)",
                     d);
    }
  }
  append(out,
         "<span class=\"hint\">wheel or pinch to zoom, drag to pan; point at the route for its values, click it "
         "for the nearest event</span></div>\n");
  fmt::format_to(it, R"(<svg id="map" class="map" width="{0}" height="{1}" viewBox="0 0 {0} {1}" role="img">)", f.width,
                 f.height + legend_h);
  fmt::format_to(it,
                 R"(<defs><clipPath id="mapclip"><rect width="{0}" height="{1}"/></clipPath></defs><rect width="{0}" height="{1}" class="bg"/>)",
                 f.width, f.height);
  append(out, "<g clip-path=\"url(#mapclip)\"><g id=\"view\"><g id=\"tiles\"></g>\n");

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
    fmt::format_to(it, R"(<line x1="{:.1f}" y1="{:.1f}" x2="{:.1f}" y2="{:.1f}"><title>{} PN {} )",
                   f.x(p.latitude, p.longitude), f.y(p.latitude, p.longitude), f.x(c->latitude, c->longitude),
                   f.y(c->latitude, c->longitude), utc(p.time, "%H:%M:%S"), p.serving->pn);
    append_xml_text(out, c->sector_id);
    append(out, "</title></line>");
  }
  append(out, "</g>\n");

  // The route, one group per device: a casing in the device's colour per leg, then
  // consecutive points of one colour sharing a polyline. Several devices on one road would
  // hide each other: the first is drawn as a wide band, the others as narrow lines inside it.
  const auto points = [&](std::size_t a, std::size_t b) {
    for (std::size_t k = a; k < b; ++k) {
      fmt::format_to(it, "{}{:.1f},{:.1f}", k == a ? "" : " ", f.x(route[k].latitude, route[k].longitude),
                     f.y(route[k].latitude, route[k].longitude));
    }
    // A lone point is a short stroke, so it shows.
    if (b - a == 1) {
      fmt::format_to(it, " {:.1f},{:.1f}", f.x(route[a].latitude, route[a].longitude) + 0.1,
                     f.y(route[a].latitude, route[a].longitude));
    }
    append(out, "\"/>");
  };
  append(out, devices > 1 ? "<g id=\"route\" class=\"multi\">" : "<g id=\"route\">");
  for (std::size_t i = 0; i < route.size();) {
    const std::uint32_t device = route[i].row->device;
    std::size_t end_device = i;
    while (end_device < route.size() && route[end_device].row->device == device) ++end_device;
    fmt::format_to(it, R"(<g class="dev" data-device="{}"><g class="casing" stroke="{}">)", device,
                   device_colour(device));
    for (std::size_t a = i; a < end_device;) {
      std::size_t b = a + 1;
      while (b < end_device && !route[b].new_leg) ++b;
      append(out, "<polyline points=\"");
      points(a, b);
      a = b;
    }
    append(out, "</g><g class=\"legs\">");
    for (std::size_t a = i; a < end_device;) {
      const bool evdo = route[a].row->evdo_leg();
      const char* colour = colour_of(scales, route[a].measure, route[a].value, evdo);
      std::size_t b = a + 1;
      while (b < end_device && !route[b].new_leg &&
             colour_of(scales, route[b].measure, route[b].value, route[b].row->evdo_leg()) == colour)
        ++b;
      // Each run ends where the next begins so the line has no holes.
      fmt::format_to(it, R"(<polyline class="{}" stroke="{}" points=")", evdo ? "evdo" : "cdma", colour);
      points(a, b < end_device && !route[b].new_leg ? b + 1 : b);
      a = b;
    }
    append(out, "</g></g>");
    i = end_device;
  }
  append(out, "</g>\n");
  for (const bool start : {true, false}) {
    const RoutePoint& p = start ? route.front() : route.back();
    mark_at(out, f.x(p.latitude, p.longitude), f.y(p.latitude, p.longitude));
    fmt::format_to(it, R"(<circle r="5" class="ks {0}"><title>{0}</title></circle></g>)", start ? "start" : "end");
  }

  // Cell sites: one mark per site position, a tick per sector that has a direction.
  append(out, "<g id=\"cells\">");
  // The sectors at each position, in the order shown: one site mark lists them all.
  std::map<std::pair<double, double>, std::vector<std::size_t>> at_position;
  std::vector<std::size_t> positions;  // first sector of each position, in order
  for (std::size_t k = 0; k < shown.size(); ++k) {
    std::vector<std::size_t>& here = at_position[{shown[k]->latitude, shown[k]->longitude}];
    if (here.empty()) positions.push_back(k);
    here.push_back(k);
  }
  for (const std::size_t first : positions) {
    const CellSite* c = shown[first];
    const double cx = f.x(c->latitude, c->longitude);
    const double cy = f.y(c->latitude, c->longitude);
    const std::vector<std::size_t>& here = at_position[{c->latitude, c->longitude}];
    mark_at(out, cx, cy);
    append(out, "<g class=\"ks\">");
    for (const std::size_t k : here) {
      if (!azimuths[k]) continue;
      const double a = *azimuths[k] * pi / 180.0;
      fmt::format_to(it, R"(<line class="sector" x1="0" y1="0" x2="{:.1f}" y2="{:.1f}"/>)", 22 * std::sin(a),
                     -22 * std::cos(a));
    }
    append(out, R"(<rect class="site" x="-4.5" y="-4.5" width="9" height="9"><title>)");
    append_xml_text(out, c->site_name);
    for (const std::size_t j : here) {
      fmt::format_to(it, "\nPN {} ", shown[j]->pn);
      append_xml_text(out, shown[j]->sector_id);
    }
    // Names near the right edge run leftwards so they stay on the map.
    const bool right = cx > f.width - 140;
    fmt::format_to(it, R"(</title></rect><text class="sitename" x="{}" y="-6" text-anchor="{}">)", right ? -7 : 7,
                   right ? "end" : "start");
    append_xml_text(out, c->site_name);
    append(out, "</text></g></g>");
  }
  append(out, "</g>\n");

  // Events other than active-set changes, where they happened; clicking one selects it in
  // the table (the script finds it by its index).
  append(out, "<g id=\"evmarks\">");
  for (std::size_t j = 0; j < drive.events().size(); ++j) {
    const DriveEvent& e = drive.events()[j];
    if (e.kind == EventKind::kActiveSet || !e.fix) continue;
    mark_at(out, f.x(e.fix->latitude, e.fix->longitude), f.y(e.fix->latitude, e.fix->longitude));
    fmt::format_to(it, R"(<path class="ks evm{}" data-i="{}" d="M0 -6L6 0L0 6L-6 0Z"><title>{} )",
                   e.failure ? " fail" : "", j, e.time_ms ? utc(static_cast<double>(*e.time_ms) / 1000.0, "%H:%M:%S") : "");
    append_xml_text(out, e.details);
    append(out, "</title></path></g>");
  }
  append(out, "</g><g id=\"sel\" visibility=\"hidden\"><circle class=\"ks ring\" r=\"10\"/></g>");
  append(out, "</g></g>\n");

  // Scale bar of a round length about a fifth of the width (the script redraws it on zoom).
  const double mpp = f.metres_per_unit();
  const double bar_m = nice_step(mpp * f.width / 5, 1);
  fmt::format_to(
      it,
      R"(<g id="scalebar"><line class="scalebar" x1="20" y1="{0}" x2="{1:.1f}" y2="{0}"/><text class="lg" x="20" y="{2}">{3}</text></g>)",
      f.height - 14, 20 + bar_m / mpp, f.height - 20,
      bar_m >= 1000 ? fmt::format("{:g} km", bar_m / 1000) : fmt::format("{:g} m", bar_m));
  if (!o.tiles.empty()) {
    fmt::format_to(it, R"(<text id="attribution" class="lg" x="{}" y="{}" text-anchor="end">)", f.width - 6,
                   f.height - 6);
    std::string host = tile_host(o.tiles);
    if (host.starts_with("{s}.")) host.erase(0, 4);
    append_xml_text(out, "map tiles: " + host);
    append(out, "</text>");
  }

  // Legend: per technology, the measure and the ramp its legs are coloured in.
  double ly = f.height + 18;
  for (std::size_t t = 0; t < 2; ++t) {
    if (!leg_measure[t]) continue;
    legend_row(out, scales, t == 0 ? "1x legs" : "EV-DO legs", *leg_measure[t], t == 1, 10, ly);
    ly += 20;
  }
  if (devices > 1) {
    fmt::format_to(it, R"(<text class="lg" x="10" y="{:.0f}">devices, each outlined in its colour:</text>)", ly);
    for (std::size_t d = 0; d < devices; ++d) {
      const double x = 230 + static_cast<double>(d) * 190;
      fmt::format_to(it,
                     R"(<rect x="{:.0f}" y="{:.0f}" width="22" height="{}" fill="{}"/><text class="lg" x="{:.0f}" y="{:.0f}">device {}, {}</text>)",
                     x, ly - (d == 0 ? 10 : 7), d == 0 ? 12 : 5, device_colour(d), x + 26, ly, d,
                     d == 0 ? "wide band" : "line inside");
    }
  }
  fmt::format_to(
      it,
      R"(<rect x="{}" y="{:.0f}" width="22" height="10" fill="{}"/><text x="{}" y="{:.0f}" class="lg">no value</text>)",
      f.width - 190, f.height + 9.0, kNoValueColour, f.width - 164, f.height + 18.0);
  fmt::format_to(it, R"(<text x="{}" y="{:.0f}" class="lg">{} points, {} serving lines</text>)", f.width - 190,
                 f.height + 38.0, route.size(), serving_lines);
  append(out, "</svg>\n<div id=\"tip\" class=\"tip\" hidden></div></div>\n");

  // The points' data for the script: the frame, the charted measurements present and,
  // per route point, its map position, time, device, leg, serving sectors and values.
  std::vector<std::size_t> cols;
  for (const ChartedMeasure& cm : charted_measures()) {
    const std::optional<std::size_t> m = measurement_index(cm.name);
    if (!m) continue;
    if (std::any_of(route.begin(), route.end(), [&](const RoutePoint& p) { return p.row->value(*m).has_value(); }))
      cols.push_back(*m);
  }
  std::map<std::pair<int, const CellSite*>, std::size_t> server_index;
  std::vector<std::string> servers;
  const auto server = [&](const Serving& s) -> long {
    if (s.pn < 0) return -1;
    const auto [where, added] = server_index.try_emplace({s.pn, s.cell}, servers.size());
    if (added) servers.push_back(server_text(s));
    return static_cast<long>(where->second);
  };
  Buf pts;
  auto pit = std::back_inserter(pts);
  for (std::size_t i = 0; i < route.size(); ++i) {
    const RoutePoint& p = route[i];
    fmt::format_to(pit, "{}[{:.1f},{:.1f},{},{},{},{},{}", i == 0 ? "" : ",\n", f.x(p.latitude, p.longitude),
                   f.y(p.latitude, p.longitude), p.time - axis.t0, p.row->device, p.row->evdo_leg() ? 1 : 0,
                   server(p.row->serving_1x), server(p.row->serving_evdo));
    for (const std::size_t m : cols) {
      append(pts, ",");
      const std::optional<double> v = p.row->value(m);
      if (v) {
        append_data_number(pts, *v);
      } else {
        append(pts, "null");
      }
    }
    append(pts, "]");
  }
  fmt::format_to(it,
                 "<script type=\"application/json\" id=\"map-data\">{{\"w\":{},\"h\":{},\"x0\":{},\"y0\":{},\"s\":{},"
                 "\"mpp\":{},\"t0\":{},\"devices\":{},\"tiles\":",
                 f.width, f.height, f.ox, f.oy, f.s, mpp, axis.t0, devices);
  if (o.tiles.empty()) {
    append(out, "null");
  } else {
    append_script_string(out, o.tiles);
  }
  append(out, ",\"cols\":[");
  for (std::size_t k = 0; k < cols.size(); ++k) {
    append(out, k == 0 ? "[" : ",[");
    append_script_string(out, measure_label(cols[k]));
    append(out, ",");
    append_script_string(out, measure_unit(cols[k]));
    append(out, "]");
  }
  append(out, "],\"servers\":[");
  for (std::size_t k = 0; k < servers.size(); ++k) {
    if (k > 0) append(out, ",");
    append_script_string(out, servers[k]);
  }
  append(out, "],\"pts\":[\n");
  out.append(pts.data(), pts.data() + pts.size());
  append(out, "]}</script>\n");
}

}  // namespace report
}  // namespace cdmadiag
