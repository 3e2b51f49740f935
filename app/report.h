#pragma once
// The drive report (one self-contained HTML file: route map, events, time charts, the
// comparison of devices, summary) and the map formats (GeoJSON, KML), all built from a
// DriveCollector.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "drive_data.h"
#include "host/cell_refs.h"
#include "output_sink.h"
#include "session.h"

namespace cdmadiag {

struct ReportOptions {
  std::optional<std::size_t> colour_by;  // a catalogue index; none: Ec/Io on 1x legs, SINR on EV-DO legs
  const CellSiteTable* cells = nullptr;
  const RunCounters* counters = nullptr;  // the run's, read when the report is written
  // A tile server's URL template ({z}/{x}/{y}, optional {s}) drawn under the route when the
  // page is opened online; empty: the page fetches nothing.
  std::string tiles;
};

// Why a --tiles template cannot be used (not http(s), a character that would need
// escaping, a placeholder missing or unknown, no host); empty when it can.
std::string tile_template_problem(std::string_view url_template);

// The route as the outputs show it: one point per second with a fix, thinned to one
// per thin_metres of travel unless its colour changes; a new leg after a 30 s gap or
// at another device's route.
struct RoutePoint {
  double time = 0.0;
  double latitude = 0.0;
  double longitude = 0.0;
  std::optional<std::size_t> measure;  // what colours it, a catalogue index
  std::optional<double> value;
  const Serving* serving = nullptr;  // the leg's technology's serving PN and sector
  bool new_leg = false;
  const SecondRow* row = nullptr;
};
std::vector<RoutePoint> route_points(const DriveCollector& drive, const ReportOptions& options,
                                     double thin_metres = 10.0);
// The classes a measurement is coloured in: its charted scale, or else the quintiles of
// its values in this drive.
Scale scale_for(std::size_t measure, const std::vector<SecondRow>& rows);
// The colour class of a value, 0 (worst) to 4 (best).
int colour_class(const Scale& s, double v);

std::string render_report(const DriveCollector& drive, const ReportOptions& options);

std::unique_ptr<OutputSink> make_report_sink(const std::string& path, const ReportOptions& options);
std::unique_ptr<OutputSink> make_geojson_sink(const std::string& path, const CellSiteTable* cells);
std::unique_ptr<OutputSink> make_kml_sink(const std::string& path, const CellSiteTable* cells);

}  // namespace cdmadiag
