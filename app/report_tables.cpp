// The report's tables: the events (with the sectors of the PNs added and removed), the
// comparison of devices, the summary and the packets per code.
#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "report_parts.h"
#include "text_convert.h"

namespace cdmadiag::report {
namespace {

// More rows than this make the page slow to open; the events CSV has them all.
constexpr std::size_t kEventsShown = 5000;
// The measurements the comparison of devices shows the distribution of.
constexpr std::array<const char*, 6> kCompared = {"ecio", "sinr", "rx", "tx", "drc", "tput"};

void row(Buf& out, std::string_view name, std::string_view value) {
  append(out, "<tr><th>");
  append_xml_text(out, name);
  append(out, "</th><td>");
  append_xml_text(out, value);
  append(out, "</td></tr>\n");
}

const char* tech_label(Tech t) { return t == Tech::kEvdo ? "EV-DO" : t == Tech::k1x ? "1x" : "any"; }

std::string kind_label(EventKind k) {
  std::string s = event_kind_name(k);
  std::replace(s.begin(), s.end(), '_', ' ');
  return s;
}

// The PNs of an event, each with its likely sector at the event's place when the cell
// list names one: "444 (101-3, Capitol Square)".
void pn_cell(Buf& out, const std::vector<std::uint32_t>& pns, const DriveEvent& e, const CellSiteTable* cells) {
  for (std::size_t k = 0; k < pns.size(); ++k) {
    if (k > 0) append(out, "<br>");
    fmt::format_to(std::back_inserter(out), "{}", pns[k]);
    if (cells == nullptr || !e.fix) continue;
    if (const std::optional<CellMatch> m = likely_cell(*cells, pns[k], *e.fix)) {
      append(out, " <span class=\"cell\">(");
      append_xml_text(out, cell_name(*m->cell));
      append(out, ")</span>");
    }
  }
}

}  // namespace

void draw_events_table(Buf& out, const DriveCollector& drive, const CellSiteTable* cells, const TimeAxis& axis) {
  auto it = std::back_inserter(out);
  const std::vector<DriveEvent>& events = drive.events();
  const bool devices = drive.summary().devices.size() > 1;
  if (cells != nullptr && cells->size() == 0) cells = nullptr;
  fmt::format_to(it, "<section id=\"events\"><h2>Events ({})</h2>\n", events.size());
  if (events.empty()) {
    append(out, "<p class=\"none\">No events in this drive.</p></section>\n");
    return;
  }
  append(out,
         "<p class=\"hint noprint\">Click an event to show it on the map and on the charts' time axis.</p>\n"
         "<div class=\"evbox\" id=\"evbox\"><table class=\"grid evtable\"><thead><tr><th>time (UTC)</th>");
  if (devices) append(out, "<th>device</th>");
  fmt::format_to(it, "<th>technology</th><th>kind</th><th>PNs added{0}</th><th>PNs removed{0}</th>"
                     "<th>code / reason</th><th>details</th><th>place</th></tr></thead>\n<tbody>\n",
                 cells != nullptr ? " (sector, site)" : "");
  Buf data;
  auto dit = std::back_inserter(data);
  const std::size_t shown = std::min(events.size(), kEventsShown);
  for (std::size_t j = 0; j < shown; ++j) {
    const DriveEvent& e = events[j];
    const bool timed = e.time_ms.has_value();
    const double t = timed ? static_cast<double>(*e.time_ms) / 1000.0 : 0.0;
    fmt::format_to(it, R"(<tr id="ev{}"{}><td>{})", j, e.failure ? " class=\"fail\"" : "",
                   timed ? utc(t, "%H:%M:%S") : "-");
    if (devices) fmt::format_to(it, "</td><td>{}", e.device);
    fmt::format_to(it, "</td><td>{}</td><td>{}</td><td>", tech_label(e.tech), kind_label(e.kind));
    pn_cell(out, e.added, e, cells);
    append(out, "</td><td>");
    pn_cell(out, e.removed, e, cells);
    append(out, "</td><td>");
    if (e.code) fmt::format_to(it, "{}", *e.code);
    append(out, "</td><td>");
    append_xml_text(out, e.details);
    append(out, "</td><td>");
    if (e.fix) fmt::format_to(it, "{:.5f}, {:.5f}", e.fix->latitude, e.fix->longitude);
    append(out, "</td></tr>\n");
    // For the script: time from the axis' start, device, place (the map's script puts
    // it in map units), failure.
    append(data, j == 0 ? "[" : ",[");
    if (timed) {
      append_data_number(data, t - axis.t0);
    } else {
      append(data, "null");
    }
    fmt::format_to(dit, ",{},", e.device);
    if (e.fix) {
      fmt::format_to(dit, "{},{}]", e.fix->latitude, e.fix->longitude);
    } else {
      append(data, "null,null]");
    }
  }
  append(out, "</tbody></table></div>\n");
  if (events.size() > shown) {
    fmt::format_to(it, "<p>The first {} of {} events (`cdmadiag events` lists them all).</p>\n", shown, events.size());
  }
  append(out, "<script type=\"application/json\" id=\"event-data\">[");
  out.append(data.data(), data.data() + data.size());
  append(out, "]</script>\n</section>\n");
}

// Devices side by side: the distribution of each main measurement, the share of time in
// each quality class and the events by kind.
void draw_comparison(Buf& out, const DriveCollector& drive) {
  auto it = std::back_inserter(out);
  const DriveSummary& s = drive.summary();
  const std::size_t devices = s.devices.size();
  if (devices < 2) return;
  append(out, "<section id=\"compare\"><h2>Devices compared</h2>\n<table class=\"grid\"><tr><th>device</th>"
              "<th>inputs</th><th>time (UTC)</th><th>distance</th><th>seconds</th></tr>\n");
  std::vector<std::size_t> seconds(devices);
  for (const SecondRow& r : drive.seconds()) {
    if (r.device < devices) ++seconds[r.device];
  }
  for (std::size_t d = 0; d < devices; ++d) {
    const DeviceSummary& ds = s.devices[d];
    fmt::format_to(it, R"(<tr><td><span class="swatch" style="background:{}"></span>device {}</td><td>)",
                   device_colour(d), d);
    for (std::size_t k = 0; k < ds.files.size(); ++k) {
      if (k > 0) append(out, ", ");
      append_xml_text(out, s.files[ds.files[k]]);
    }
    fmt::format_to(it, "</td><td>{}</td><td>{:.2f} km</td><td>{}</td></tr>\n",
                   ds.first_time ? utc(*ds.first_time, "%H:%M:%S") + " to " + utc(*ds.last_time, "%H:%M:%S") : "-",
                   ds.distance_m / 1000, seconds[d]);
  }
  append(out, "</table>\n<h3>Distributions (share of the seconds at or below a value)</h3>\n<div class=\"cdfs\">");
  std::vector<std::size_t> compared;
  for (const char* key : kCompared) {
    if (const std::optional<std::size_t> m = measure_by_key(key)) {
      compared.push_back(*m);
      draw_cdf(out, drive, *m);
    }
  }
  append(out, "</div>\n<h3>Share of time in each quality class</h3>\n<table class=\"grid shares\"><tr><th>measure</th>"
              "<th>device</th><th>seconds</th><th>classes, worst to best</th><th>share</th></tr>\n");
  for (const std::size_t m : compared) {
    const Scale sc = scale_for(m, drive.seconds());
    const Ramp& ramp = ramp_of_measure(m);
    for (std::size_t d = 0; d < devices; ++d) {
      std::array<std::size_t, 5> in_class{};
      std::size_t n = 0;
      for (const SecondRow& r : drive.seconds()) {
        const std::optional<double> v = r.device == d ? r.value(m) : std::nullopt;
        if (!v) continue;
        ++in_class[static_cast<std::size_t>(colour_class(sc, *v))];
        ++n;
      }
      append(out, "<tr>");
      if (d == 0) {
        fmt::format_to(it, "<td rowspan=\"{}\">", devices);
        append_xml_text(out, fmt::format("{} ({})", measure_label(m), measure_unit(m)));
        append(out, "<br><span class=\"cuts\">cuts ");
        for (std::size_t c = 0; c < 4; ++c) fmt::format_to(it, "{}{:g}", c ? ", " : "", sc.cuts[c]);
        append(out, "</span></td>");
      }
      fmt::format_to(it, "<td>device {}</td><td>{}</td><td>", d, n);
      append(out, R"(<svg class="bar" width="240" height="14" viewBox="0 0 240 14">)");
      double x = 0;
      for (std::size_t c = 0; c < 5 && n > 0; ++c) {
        const double w = 240.0 * static_cast<double>(in_class[c]) / static_cast<double>(n);
        if (w > 0)
          fmt::format_to(it, R"(<rect x="{:.1f}" width="{:.1f}" height="14" fill="{}"><title>{:.0f}%</title></rect>)", x,
                         w, ramp[c], 100.0 * static_cast<double>(in_class[c]) / static_cast<double>(n));
        x += w;
      }
      append(out, "</svg></td><td>");
      for (std::size_t c = 0; c < 5 && n > 0; ++c) {
        fmt::format_to(it, "{}{:.0f}", c ? " / " : "", 100.0 * static_cast<double>(in_class[c]) / static_cast<double>(n));
      }
      append(out, n > 0 ? " %</td></tr>\n" : "</td></tr>\n");
    }
  }
  append(out, "</table>\n<h3>Events by kind</h3>\n<table class=\"grid counts\"><tr><th>kind</th>");
  for (std::size_t d = 0; d < devices; ++d) fmt::format_to(it, "<th>device {}</th>", d);
  append(out, "</tr>\n");
  std::vector<std::array<std::size_t, kEventKindCount>> by_kind(devices);
  std::vector<std::size_t> failures(devices);
  for (const DriveEvent& e : drive.events()) {
    if (e.device >= devices) continue;
    ++by_kind[e.device][static_cast<std::size_t>(e.kind)];
    failures[e.device] += e.failure ? 1 : 0;
  }
  for (std::size_t k = 0; k < kEventKindCount; ++k) {
    append(out, "<tr><td>");
    append(out, kind_label(static_cast<EventKind>(k)));
    append(out, "</td>");
    for (std::size_t d = 0; d < devices; ++d) fmt::format_to(it, "<td>{}</td>", by_kind[d][k]);
    append(out, "</tr>\n");
  }
  append(out, "<tr><td>of which failures</td>");
  for (std::size_t d = 0; d < devices; ++d) fmt::format_to(it, "<td>{}</td>", failures[d]);
  append(out, "</tr>\n</table>\n</section>\n");
}

void draw_summary(Buf& out, const DriveCollector& drive, const RunCounters& c, const std::vector<RoutePoint>& route) {
  auto it = std::back_inserter(out);
  const DriveSummary& s = drive.summary();
  append(out, "<section id=\"summary\"><h2>Summary</h2>\n<div class=\"cols\"><table class=\"kv\">\n");
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
      for (std::size_t k = 0; k < 4; ++k) beyond[k] += (sc.higher_better ? *v >= sc.cuts[k] : *v <= sc.cuts[k]) ? 1 : 0;
    }
    append(out, "<tr><td>");
    append_xml_text(out, fmt::format("{} ({})", cm.label, measure_unit(*m)));
    fmt::format_to(it, "</td><td>{}</td>", n);
    if (n == 0) {
      append(out, "<td></td><td></td><td></td><td></td></tr>\n");
      continue;
    }
    fmt::format_to(it, "<td>{:.1f}</td><td>{:.1f}</td><td>{:.1f}</td><td>", sum / n, lo, hi);
    for (std::size_t k = 4; k-- > 0;) {
      fmt::format_to(it, "{} {}: {:.0f}%{}", sc.higher_better ? "\u2265" : "\u2264",
                     cut_text(sc.cuts[k], counts_things(*m), sc.higher_better), 100.0 * beyond[k] / n,
                     k == 0 ? "" : ", ");
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
  append(out, "</table>\n</section>\n");
}

}  // namespace cdmadiag::report
