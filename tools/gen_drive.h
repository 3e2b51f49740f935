#pragma once
// The simulated drive: a looped route, a car moving along it, cell sites with
// sectored antennas, and the pilot strengths a handset would see at each point.
// Everything random comes from one seeded generator, so a drive is reproducible.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace cdmadiag::gen {

// SplitMix64: tiny, fast and identical on every platform (the standard
// distributions are not, which would break byte-for-byte reproducibility).
class Rng {
 public:
  explicit Rng(std::uint64_t seed) : state_(seed) {}
  std::uint64_t next();
  double uniform();           // [0, 1)
  double normal();            // mean 0, deviation 1
  int range(int lo, int hi);  // lo..hi inclusive

 private:
  std::uint64_t state_;
};

struct GeoPoint {
  double lat = 0;  // WGS 84 degrees
  double lon = 0;
};

// Flat-earth metres around an origin; plenty for a town-sized drive.
class LocalFrame {
 public:
  explicit LocalFrame(GeoPoint origin);
  void toMetres(GeoPoint p, double& x, double& y) const;
  GeoPoint toGeo(double x, double y) const;

 private:
  GeoPoint origin_;
  double metresPerDegLat_;
  double metresPerDegLon_;
};

struct Waypoint {
  GeoPoint at;
  double limitMph;  // speed limit of the leg that starts here
  bool signal;      // a traffic light at this corner
};

class Route {
 public:
  Route(std::vector<Waypoint> loop, const LocalFrame& frame);

  struct Fix {
    GeoPoint at;
    double x = 0, y = 0;    // metres in the frame
    double headingDeg = 0;  // clockwise from north
    std::size_t leg = 0;
  };
  double length() const { return total_; }
  Fix at(double along) const;  // along wraps around the loop
  std::size_t legs() const { return points_.size(); }
  double legStart(std::size_t leg) const { return start_[leg]; }
  double legLength(std::size_t leg) const { return length_[leg]; }
  const Waypoint& waypoint(std::size_t i) const { return points_[i % points_.size()]; }
  // Speed at which the car may pass the corner at the end of a leg.
  double cornerMph(std::size_t leg) const;
  // Metres from p to the nearest point of the route.
  double distanceTo(GeoPoint p) const;
  const LocalFrame& frame() const { return frame_; }

 private:
  std::vector<Waypoint> points_;
  std::vector<double> xs_, ys_, start_, length_, heading_;
  double total_ = 0;
  LocalFrame frame_;
};

// The car: speeds up to the limit, slows for corners, sometimes waits at a light.
class Vehicle {
 public:
  Vehicle(const Route& route, Rng& rng);
  void advance(double seconds);
  double along() const { return along_; }
  double speedMps() const { return speed_; }
  double speedMph() const { return speed_ * 2.2369362920544; }
  Route::Fix fix() const { return route_.at(along_); }

 private:
  void enterLeg(std::size_t leg);
  const Route& route_;
  Rng& rng_;
  double along_ = 0;  // metres travelled, unwrapped
  double speed_ = 0;  // m/s
  std::size_t leg_ = 0;
  double legEnd_ = 0;
  bool stopAtEnd_ = false;
  double waiting_ = 0;
};

struct Sector {
  std::uint16_t pn;
  GeoPoint at;
  double azimuthDeg;
  std::string sectorId;
  std::string siteName;
  int site;
};

// The pilot of one sector as the handset sees it.
struct Pilot {
  std::size_t sector;
  std::uint16_t pn;
  double ecIoDb;      // 1x pilot Ec/Io
  double sinrDb;      // EV-DO C/I: the sector's power over all others and noise
  double rangeChips;  // one-way propagation delay
};

struct RadioSnapshot {
  double rxDbm = 0;           // total received power (Io)
  std::vector<Pilot> pilots;  // every sector, strongest first
  const Pilot* find(std::size_t sector) const;
};

class RadioModel {
 public:
  RadioModel(const std::vector<Sector>& sectors, const LocalFrame& frame, Rng& rng);
  // Slow fading is a fixed field over the map; fast fading draws on rng.
  RadioSnapshot measure(double x, double y, Rng& rng) const;

 private:
  struct Shadow {
    double kx, ky, phase, amplitude;
  };
  const std::vector<Sector>& sectors_;
  std::vector<double> sx_, sy_;
  std::vector<std::vector<Shadow>> shadow_;
};

// Active, candidate and neighbour sets with add/drop hysteresis, kept in the
// order members joined (the order the handset reports them).
struct PilotSets {
  std::vector<std::size_t> active, candidate, neighbor;
  void update(const RadioSnapshot& radio, std::size_t maxActive);
  bool isActive(std::size_t sector) const;
};

std::vector<Waypoint> SampleLoop();
GeoPoint SampleOrigin();
std::vector<Sector> SampleSectors();
// The cell-site file of the sectors: pn,latitude,longitude,sector_id,site_name.
std::string CellsCsv(const std::vector<Sector>& sectors);

}  // namespace cdmadiag::gen
