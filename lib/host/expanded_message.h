#pragma once
// What the host's message browser shows for one packet. Titles and details are
// Windows-1252 bytes; the command converts them for output.
#include <optional>
#include <string>

struct MapPoint {
  double x = 0.0;
  double y = 0.0;
};

class COrbExpandedMessage {
 public:
  std::string title;
  std::string details;
  bool titleWanted = true;
  bool detailsWanted = true;
  bool cellIdWanted = true;
  int category = 0;
  // Set by the placeholder of a decoder that has not been written yet.
  bool notDecoded = false;
  // Texts of the decoder failures the EV-DO dispatcher's guards kept from the message
  // itself, one per line: the host shows them apart from the details.
  std::string diagnostic;

  void SetLocation(const double& x, const double& y, int precision) {
    location_ = MapPoint{x, y};
    precision_ = precision;
  }
  const std::optional<MapPoint>& location() const { return location_; }
  // A fix's WGS 84 longitude (x) and latitude (y) in degrees, before any map projection;
  // unset where the packet carries no fix.
  void SetGeographic(double lon, double lat) { geographic_ = MapPoint{lon, lat}; }
  const std::optional<MapPoint>& geographic() const { return geographic_; }
  int location_precision() const { return precision_; }

  // Ready for the next packet, keeping what the host asked for.
  void reset() {
    title.clear();
    details.clear();
    category = 0;
    notDecoded = false;
    diagnostic.clear();
    location_.reset();
    geographic_.reset();
    precision_ = 0;
  }

 private:
  std::optional<MapPoint> location_;
  std::optional<MapPoint> geographic_;
  int precision_ = 0;
};
