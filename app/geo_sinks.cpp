// The route for GIS tools: one point per second with a position fix, the second's mean
// of each chosen measurement as properties. GeoJSON (RFC 7946, [longitude, latitude])
// and KML 2.2.
#include <fmt/format.h>

#include <cmath>
#include <ctime>

#include "output_file.h"
#include "report.h"
#include "sinks.h"
#include "text_convert.h"

namespace cdmadiag {
namespace {

class GeoSink : public OutputSink {
 public:
  GeoSink(const std::string& path, const CellSiteTable* cells) : file_(path), drive_(cells) {}
  void packet(const PacketView& p) override { drive_.packet(p); }
  void framing_error(std::string_view) override {}
  void finish() override {
    drive_.finish();
    write(file_.buffer());
    file_.close();
  }

 protected:
  virtual void write(fmt::memory_buffer& out) = 0;
  OutputFile file_;
  DriveCollector drive_;
};

// The serving sectors of a second, where the cell list names them.
template <typename Field>
void serving_fields(const SecondRow& row, Field&& field) {
  for (const auto& [tech, s] : {std::pair{"cdma", &row.serving_1x}, std::pair{"evdo", &row.serving_evdo}}) {
    if (s->cell == nullptr) continue;
    field(fmt::format("{}_serving_sector", tech), s->cell->sector_id, std::nullopt);
    field(fmt::format("{}_serving_site", tech), s->cell->site_name, std::nullopt);
    field(fmt::format("{}_serving_distance_m", tech), std::string_view(), rounded_distance(s->distance_m));
  }
}

class GeojsonSink final : public GeoSink {
 public:
  using GeoSink::GeoSink;

 private:
  void write(fmt::memory_buffer& out) override {
    auto it = std::back_inserter(out);
    append(out, "{\"type\": \"FeatureCollection\", \"features\": [");
    bool first = true;
    const std::span<const Measurement> catalogue = measurements();
    for (const SecondRow& row : drive_.seconds()) {
      if (!row.fix) continue;
      append(out, first ? "\n" : ",\n");
      first = false;
      append(out, "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [");
      append_json_number(out, row.fix->longitude);
      append(out, ", ");
      append_json_number(out, row.fix->latitude);
      fmt::format_to(it, "]}}, \"properties\": {{\"seq\": {}, \"time\": {}, \"device\": {}, \"leg\": \"{}\"",
                     row.seq, row.second, row.device, row.evdo_leg() ? "evdo" : "1x");
      for (std::size_t i = 0; i < catalogue.size(); ++i) {
        if (catalogue[i].shape == Shape::kList) {
          if (row.lists[i].empty()) continue;
          fmt::format_to(it, ", \"{}\": [", catalogue[i].name);
          for (std::size_t k = 0; k < row.lists[i].size(); ++k) fmt::format_to(it, "{}{}", k ? ", " : "", row.lists[i][k]);
          append(out, "]");
        } else if (const auto v = row.value(i)) {
          fmt::format_to(it, ", \"{}\": ", catalogue[i].name);
          append_json_number(out, *v);
        }
      }
      serving_fields(row, [&](const std::string& name, std::string_view text, std::optional<double> number) {
        fmt::format_to(it, ", \"{}\": ", name);
        if (number) {
          append_json_number(out, *number);
        } else {
          append_json_string(out, text, Encoding::kUtf8);
        }
      });
      append(out, "}}");
      file_.flush_if_full();
    }
    append(out, "\n]}\n");
  }
};

// KML colours are aabbggrr; the classes of the report's route, worst first, then no value.
constexpr std::array<const char*, 6> kKmlColours = {"ff1c19d7", "ff61aefd", "ff00d6e6",
                                                    "ff6ad9a6", "ff41961a", "ff9a9a9a"};

class KmlSink final : public GeoSink {
 public:
  using GeoSink::GeoSink;

 private:
  void write(fmt::memory_buffer& out) override {
    auto it = std::back_inserter(out);
    append(out,
           "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<kml xmlns=\"http://www.opengis.net/kml/2.2\">\n<Document>\n"
           "<name>");
    const auto& files = drive_.summary().files;
    for (std::size_t i = 0; i < files.size(); ++i) {
      if (i > 0) append(out, ", ");
      append_xml_text(out, files[i]);
    }
    append(out, "</name>\n");
    // The viewer's own icon, tinted: nothing to fetch from elsewhere.
    for (std::size_t i = 0; i < kKmlColours.size(); ++i) {
      fmt::format_to(it,
                     "<Style id=\"c{}\"><IconStyle><color>{}</color><scale>0.5</scale></IconStyle>"
                     "<LabelStyle><scale>0</scale></LabelStyle></Style>\n",
                     i, kKmlColours[i]);
    }
    // The whole route as one line, then the points.
    append(out, "<Placemark><name>route</name><LineString><tessellate>1</tessellate><coordinates>");
    bool first = true;
    // One line per device: two phones on one drive are two routes, never one.
    std::optional<std::uint32_t> device;
    for (const SecondRow& row : drive_.seconds()) {
      if (!row.fix) continue;
      if (device != row.device) {
        if (device) append(out, "</coordinates></LineString></Placemark>\n");
        fmt::format_to(it, "<Placemark><name>route, device {}</name><LineString><tessellate>1</tessellate><coordinates>",
                       row.device);
        device = row.device;
        first = true;
      }
      fmt::format_to(it, "{}{},{}", first ? "" : " ", row.fix->longitude, row.fix->latitude);
      first = false;
    }
    if (device) append(out, "</coordinates></LineString></Placemark>\n");
    append(out, "<Folder><name>points</name>\n");
    const std::span<const Measurement> catalogue = measurements();
    std::vector<Scale> scales(catalogue.size());
    for (std::size_t i = 0; i < catalogue.size(); ++i) scales[i] = scale_for(i, drive_.seconds());
    for (const RoutePoint& p : every_second()) {
      const SecondRow& row = *p.row;
      std::size_t style = kKmlColours.size() - 1;
      if (p.measure && p.value) style = static_cast<std::size_t>(colour_class(scales[*p.measure], *p.value));
      fmt::format_to(it, "<Placemark><styleUrl>#c{}</styleUrl><TimeStamp><when>{}</when></TimeStamp><ExtendedData>",
                     style, iso_time(p.time));
      fmt::format_to(it,
                     "<Data name=\"seq\"><value>{}</value></Data><Data name=\"time\"><value>{}</value></Data>"
                     "<Data name=\"device\"><value>{}</value></Data>",
                     row.seq, p.time, row.device);
      for (std::size_t i = 0; i < catalogue.size(); ++i) {
        if (catalogue[i].shape == Shape::kList) continue;
        if (const auto v = row.value(i)) {
          fmt::format_to(it, "<Data name=\"{}\"><value>", catalogue[i].name);
          append_json_number(out, *v);
          append(out, "</value></Data>");
        }
      }
      serving_fields(row, [&](const std::string& name, std::string_view text, std::optional<double> number) {
        fmt::format_to(it, "<Data name=\"{}\"><value>", name);
        if (number) {
          append_json_number(out, *number);
        } else {
          append_xml_text(out, text);
        }
        append(out, "</value></Data>");
      });
      fmt::format_to(it, "</ExtendedData><Point><coordinates>{},{}</coordinates></Point></Placemark>\n",
                     row.fix->longitude, row.fix->latitude);
      file_.flush_if_full();
    }
    append(out, "</Folder>\n</Document>\n</kml>\n");
  }

  // Every second with a fix, coloured as the report colours its route.
  std::vector<RoutePoint> every_second() const { return route_points(drive_, ReportOptions{}, 0.0); }

  static std::string iso_time(double t) {
    const auto secs = static_cast<std::time_t>(std::floor(t));
    std::tm tm{};
    gmtime_r(&secs, &tm);
    char text[32];
    return std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm) > 0 ? text : "";
  }
};

}  // namespace

std::unique_ptr<OutputSink> make_geojson_sink(const std::string& path, const CellSiteTable* cells) {
  return std::make_unique<GeojsonSink>(path, cells);
}
std::unique_ptr<OutputSink> make_kml_sink(const std::string& path, const CellSiteTable* cells) {
  return std::make_unique<KmlSink>(path, cells);
}

}  // namespace cdmadiag
