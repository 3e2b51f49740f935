#pragma once
// The drive report (one self-contained HTML file: route map, time charts, summary) and
// the map formats (GeoJSON, KML), all built from a DriveCollector.
#include <memory>
#include <optional>
#include <string>

#include "drive_data.h"
#include "host/cell_refs.h"
#include "output_sink.h"

namespace cdmadiag {

struct ReportOptions {
  std::optional<Measure> colour_by;  // none: Ec/Io on 1x legs, SINR on EV-DO legs
  const CellSiteTable* cells = nullptr;
};

// The route as the outputs show it: one point per second with a fix, thinned to one
// per thin_metres of travel unless its colour changes; a new leg after a 30 s gap.
struct RoutePoint {
  double time = 0.0;
  double latitude = 0.0;
  double longitude = 0.0;
  Measure measure = Measure::kEcIo;  // what colours it
  std::optional<double> value;
  int serving_pn = -1;
  bool new_leg = false;
  const SecondBin* bin = nullptr;
};
std::vector<RoutePoint> route_points(const DriveCollector& drive, const ReportOptions& options,
                                     double thin_metres = 10.0);
// The colour class of a value, 0 (worst) to 4 (best).
int colour_class(Measure m, double v);

std::string render_report(const DriveCollector& drive, const ReportOptions& options);

std::unique_ptr<OutputSink> make_report_sink(const std::string& path, const ReportOptions& options);
std::unique_ptr<OutputSink> make_geojson_sink(const std::string& path);
std::unique_ptr<OutputSink> make_kml_sink(const std::string& path);

}  // namespace cdmadiag
