// The route for GIS tools: one point per second with a position fix, the second's mean
// of each chosen measurement as properties. GeoJSON (RFC 7946, [longitude, latitude])
// and KML 2.2.
#include <fmt/format.h>

#include <cmath>
#include <ctime>

#include "output_file.h"
#include "report.h"
#include "text_convert.h"

namespace cdmadiag {
namespace {

class GeoSink : public OutputSink {
 public:
  explicit GeoSink(const std::string& path) : file_(path) {}
  void packet(const PacketView& p) override { drive_.packet(p); }
  void framing_error(std::string_view) override { drive_.framing_error(); }
  void finish() override {
    write(file_.buffer());
    file_.close();
  }

 protected:
  virtual void write(fmt::memory_buffer& out) = 0;
  OutputFile file_;
  DriveCollector drive_;
};

class GeojsonSink final : public GeoSink {
 public:
  using GeoSink::GeoSink;

 private:
  void write(fmt::memory_buffer& out) override {
    auto it = std::back_inserter(out);
    append(out, "{\"type\": \"FeatureCollection\", \"features\": [");
    bool first = true;
    for (const auto& [sec, bin] : drive_.seconds()) {
      if (!bin.have_fix) continue;
      append(out, first ? "\n" : ",\n");
      first = false;
      append(out, "{\"type\": \"Feature\", \"geometry\": {\"type\": \"Point\", \"coordinates\": [");
      append_json_number(out, bin.longitude);
      append(out, ", ");
      append_json_number(out, bin.latitude);
      fmt::format_to(it, "]}}, \"properties\": {{\"seq\": {}, \"time\": {}, \"leg\": \"{}\"", bin.seq, sec,
                     bin.evdo_leg() ? "evdo" : "1x");
      for (const MeasureInfo& m : measures()) {
        if (const auto v = bin.mean(m.m)) {
          fmt::format_to(it, ", \"{}\": ", m.key);
          append_json_number(out, *v);
        }
      }
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
    for (const auto& [sec, bin] : drive_.seconds()) {
      if (!bin.have_fix) continue;
      fmt::format_to(it, "{}{},{}", first ? "" : " ", bin.longitude, bin.latitude);
      first = false;
    }
    append(out, "</coordinates></LineString></Placemark>\n<Folder><name>points</name>\n");
    for (const RoutePoint& p : every_second()) {
      const SecondBin& bin = *p.bin;
      std::size_t style = kKmlColours.size() - 1;
      if (p.value) style = static_cast<std::size_t>(colour_class(p.measure, *p.value));
      fmt::format_to(it, "<Placemark><styleUrl>#c{}</styleUrl><TimeStamp><when>{}</when></TimeStamp><ExtendedData>",
                     style, iso_time(p.time));
      fmt::format_to(it, "<Data name=\"seq\"><value>{}</value></Data><Data name=\"time\"><value>{}</value></Data>",
                     bin.seq, p.time);
      for (const MeasureInfo& m : measures()) {
        if (const auto v = bin.mean(m.m)) {
          fmt::format_to(it, "<Data name=\"{}\"><value>", m.key);
          append_json_number(out, *v);
          append(out, "</value></Data>");
        }
      }
      fmt::format_to(it, "</ExtendedData><Point><coordinates>{},{}</coordinates></Point></Placemark>\n", bin.longitude,
                     bin.latitude);
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

std::unique_ptr<OutputSink> make_geojson_sink(const std::string& path) { return std::make_unique<GeojsonSink>(path); }
std::unique_ptr<OutputSink> make_kml_sink(const std::string& path) { return std::make_unique<KmlSink>(path); }

}  // namespace cdmadiag
