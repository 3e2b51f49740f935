#include "gen_drive.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>

#include "gen_bytes.h"

namespace cdmadiag::gen {

namespace {

constexpr double kEarthRadiusM = 6371000.0;
constexpr double kMphToMps = 0.44704;
constexpr double kMetresPerChip = 299792458.0 / 1228800.0;

double Radians(double deg) { return deg * std::numbers::pi / 180.0; }
double Degrees(double rad) { return rad * 180.0 / std::numbers::pi; }

// Signed difference a - b folded into -180..180.
double AngleDiff(double a, double b) {
  double d = std::fmod(a - b, 360.0);
  if (d > 180.0) d -= 360.0;
  if (d < -180.0) d += 360.0;
  return d;
}

// Radio constants of a lightly loaded 800 MHz network.
constexpr double kPilotEirpDbm = 50.0;  // pilot channel, antenna gain included
constexpr double kPilotShareDb = 5.0;   // total sector power over its pilot
constexpr double kNoiseDbm = -106.0;    // thermal noise in 1.23 MHz plus noise figure
constexpr double kBeamwidthDeg = 65.0;  // 3 dB beamwidth of a sector antenna
constexpr double kFrontToBackDb = 20.0;
constexpr double kFastFadingDb = 1.5;  // deviation of the per-report fluctuation
constexpr double kAddDb = -13.0;       // pilot add threshold
constexpr double kDropDb = -15.0;      // pilot drop threshold
constexpr std::size_t kMaxCandidates = 3;
constexpr std::size_t kMaxNeighbors = 12;

double PathLossDb(double metres) { return 120.0 + 35.0 * std::log10(std::max(metres, 60.0) / 1000.0); }

double DbToLinear(double db) { return std::pow(10.0, db / 10.0); }
double LinearToDb(double lin) { return 10.0 * std::log10(lin); }

}  // namespace

std::uint64_t Rng::next() {
  std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
  z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
  z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
  return z ^ (z >> 31);
}

double Rng::uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

double Rng::normal() {
  const double u1 = 1.0 - uniform();  // (0, 1]: the logarithm stays finite
  const double u2 = uniform();
  return std::sqrt(-2.0 * std::log(u1)) * std::cos(2.0 * std::numbers::pi * u2);
}

int Rng::range(int lo, int hi) {
  const auto span = static_cast<std::uint64_t>(hi - lo + 1);
  return lo + static_cast<int>(next() % span);
}

LocalFrame::LocalFrame(GeoPoint origin)
    : origin_(origin),
      metresPerDegLat_(Radians(1.0) * kEarthRadiusM),
      metresPerDegLon_(Radians(1.0) * kEarthRadiusM * std::cos(Radians(origin.lat))) {}

void LocalFrame::toMetres(GeoPoint p, double& x, double& y) const {
  x = (p.lon - origin_.lon) * metresPerDegLon_;
  y = (p.lat - origin_.lat) * metresPerDegLat_;
}

GeoPoint LocalFrame::toGeo(double x, double y) const {
  return {origin_.lat + y / metresPerDegLat_, origin_.lon + x / metresPerDegLon_};
}

Route::Route(std::vector<Waypoint> loop, const LocalFrame& frame) : points_(std::move(loop)), frame_(frame) {
  assert(points_.size() >= 2);
  for (const Waypoint& w : points_) {
    double x, y;
    frame_.toMetres(w.at, x, y);
    xs_.push_back(x);
    ys_.push_back(y);
  }
  for (std::size_t i = 0; i < points_.size(); ++i) {
    const std::size_t j = (i + 1) % points_.size();
    const double dx = xs_[j] - xs_[i], dy = ys_[j] - ys_[i];
    start_.push_back(total_);
    length_.push_back(std::hypot(dx, dy));
    heading_.push_back(std::fmod(Degrees(std::atan2(dx, dy)) + 360.0, 360.0));
    total_ += length_.back();
  }
}

Route::Fix Route::at(double along) const {
  double a = std::fmod(along, total_);
  if (a < 0) a += total_;
  const auto it = std::upper_bound(start_.begin(), start_.end(), a);
  const std::size_t leg = static_cast<std::size_t>(it - start_.begin()) - 1;
  const std::size_t next = (leg + 1) % points_.size();
  const double f = length_[leg] > 0 ? (a - start_[leg]) / length_[leg] : 0.0;
  Fix fix;
  fix.x = xs_[leg] + f * (xs_[next] - xs_[leg]);
  fix.y = ys_[leg] + f * (ys_[next] - ys_[leg]);
  fix.at = frame_.toGeo(fix.x, fix.y);
  fix.headingDeg = heading_[leg];
  fix.leg = leg;
  return fix;
}

double Route::cornerMph(std::size_t leg) const {
  const std::size_t n = points_.size();
  const std::size_t next = (leg + 1) % n;
  const double limit = std::min(points_[leg % n].limitMph, points_[next].limitMph);
  const double turn = std::fabs(AngleDiff(heading_[next], heading_[leg % n]));
  if (turn < 15.0) return limit;
  return std::max(10.0, limit * (1.0 - turn / 130.0));
}

double Route::distanceTo(GeoPoint p) const {
  double px, py;
  frame_.toMetres(p, px, py);
  double best = INFINITY;
  for (std::size_t i = 0; i < points_.size(); ++i) {
    const std::size_t j = (i + 1) % points_.size();
    const double dx = xs_[j] - xs_[i], dy = ys_[j] - ys_[i];
    const double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - xs_[i]) * dx + (py - ys_[i]) * dy) / len2 : 0.0;
    t = std::clamp(t, 0.0, 1.0);
    best = std::min(best, std::hypot(px - (xs_[i] + t * dx), py - (ys_[i] + t * dy)));
  }
  return best;
}

Vehicle::Vehicle(const Route& route, Rng& rng) : route_(route), rng_(rng) {
  legEnd_ = 0;
  enterLeg(0);
}

void Vehicle::enterLeg(std::size_t leg) {
  leg_ = leg;
  legEnd_ += route_.legLength(leg % route_.legs());
  stopAtEnd_ = route_.waypoint(leg + 1).signal && rng_.uniform() < 0.5;
}

void Vehicle::advance(double seconds) {
  constexpr double kAccel = 1.8;  // m/s^2
  constexpr double kBrake = 2.0;  // planned braking, m/s^2
  constexpr double kMaxBrake = 4.0;
  if (waiting_ > 0) {
    waiting_ -= seconds;
    if (waiting_ <= 0) {
      waiting_ = 0;
      enterLeg(leg_ + 1);
    }
    return;
  }
  const double limit = route_.waypoint(leg_).limitMph * kMphToMps;
  const double endSpeed = stopAtEnd_ ? 0.0 : route_.cornerMph(leg_ % route_.legs()) * kMphToMps;
  const double toEnd = std::max(0.0, legEnd_ - along_);
  const double target = std::min(limit, std::sqrt(endSpeed * endSpeed + 2.0 * kBrake * toEnd));
  if (speed_ < target) {
    speed_ = std::min(target, speed_ + kAccel * seconds);
  } else {
    speed_ = std::max(target, speed_ - kMaxBrake * seconds);
  }
  along_ += speed_ * seconds;
  if (stopAtEnd_ && legEnd_ - along_ < 0.5) {
    along_ = legEnd_;
    speed_ = 0;
    stopAtEnd_ = false;
    waiting_ = rng_.range(5, 20);
  } else if (along_ >= legEnd_) {
    enterLeg(leg_ + 1);
  }
}

const Pilot* RadioSnapshot::find(std::size_t sector) const {
  for (const Pilot& p : pilots)
    if (p.sector == sector) return &p;
  return nullptr;
}

RadioModel::RadioModel(const std::vector<Sector>& sectors, const LocalFrame& frame, Rng& rng) : sectors_(sectors) {
  constexpr double kAmplitudes[] = {3.0, 2.0, 1.5};  // dB, about 4 dB deviation together
  for (const Sector& s : sectors_) {
    double x, y;
    frame.toMetres(s.at, x, y);
    sx_.push_back(x);
    sy_.push_back(y);
    std::vector<Shadow> field;
    for (double amplitude : kAmplitudes) {
      const double wavelength = 150.0 + 450.0 * rng.uniform();
      const double direction = 2.0 * std::numbers::pi * rng.uniform();
      const double k = 2.0 * std::numbers::pi / wavelength;
      field.push_back(
          {k * std::sin(direction), k * std::cos(direction), 2.0 * std::numbers::pi * rng.uniform(), amplitude});
    }
    shadow_.push_back(std::move(field));
  }
}

RadioSnapshot RadioModel::measure(double x, double y, Rng& rng) const {
  RadioSnapshot snap;
  std::vector<double> pilotDbm(sectors_.size()), range(sectors_.size());
  double total = DbToLinear(kNoiseDbm);
  for (std::size_t i = 0; i < sectors_.size(); ++i) {
    const double dx = x - sx_[i], dy = y - sy_[i];
    const double d = std::hypot(dx, dy);
    const double off = AngleDiff(Degrees(std::atan2(dx, dy)), sectors_[i].azimuthDeg);
    const double pattern = -std::min(12.0 * (off / kBeamwidthDeg) * (off / kBeamwidthDeg), kFrontToBackDb);
    double shadow = 0;
    for (const Shadow& s : shadow_[i]) shadow += s.amplitude * std::sin(s.kx * x + s.ky * y + s.phase);
    pilotDbm[i] = kPilotEirpDbm - PathLossDb(d) + pattern + shadow + kFastFadingDb * rng.normal();
    range[i] = d / kMetresPerChip;
    total += DbToLinear(pilotDbm[i] + kPilotShareDb);
  }
  snap.rxDbm = LinearToDb(total);
  for (std::size_t i = 0; i < sectors_.size(); ++i) {
    const double own = DbToLinear(pilotDbm[i] + kPilotShareDb);
    snap.pilots.push_back({i, sectors_[i].pn, pilotDbm[i] - snap.rxDbm, LinearToDb(own / (total - own)), range[i]});
  }
  std::stable_sort(snap.pilots.begin(), snap.pilots.end(),
                   [](const Pilot& a, const Pilot& b) { return a.ecIoDb > b.ecIoDb; });
  return snap;
}

bool PilotSets::isActive(std::size_t sector) const {
  return std::find(active.begin(), active.end(), sector) != active.end();
}

void PilotSets::update(const RadioSnapshot& radio, std::size_t maxActive) {
  const auto ecio = [&](std::size_t sector) { return radio.find(sector)->ecIoDb; };
  const auto weak = [&](std::size_t sector) { return ecio(sector) < kDropDb; };
  std::erase_if(active, weak);
  std::erase_if(candidate, weak);
  for (const Pilot& p : radio.pilots) {
    if (p.ecIoDb < kAddDb || isActive(p.sector)) continue;
    std::erase(candidate, p.sector);
    if (active.size() < maxActive) {
      active.push_back(p.sector);
      continue;
    }
    const auto weakest =
        std::min_element(active.begin(), active.end(), [&](std::size_t a, std::size_t b) { return ecio(a) < ecio(b); });
    if (p.ecIoDb > ecio(*weakest) + 3.0) {
      candidate.push_back(*weakest);
      *weakest = p.sector;
    } else {
      candidate.push_back(p.sector);
    }
  }
  if (active.empty()) active.push_back(radio.pilots.front().sector);
  if (candidate.size() > kMaxCandidates) candidate.resize(kMaxCandidates);
  neighbor.clear();
  for (const Pilot& p : radio.pilots) {
    if (neighbor.size() == kMaxNeighbors) break;
    if (isActive(p.sector) || std::find(candidate.begin(), candidate.end(), p.sector) != candidate.end()) continue;
    neighbor.push_back(p.sector);
  }
}

GeoPoint SampleOrigin() { return {43.07470, -89.38420}; }

// A loop around a lakeside state capital: out along the avenue to the north-east,
// back along the lake shore and the campus, about 14 km and a quarter of an hour.
std::vector<Waypoint> SampleLoop() {
  return {
      {{43.07660, -89.38170}, 30, true},  {{43.08300, -89.37180}, 45, true},  {{43.09270, -89.35470}, 40, true},
      {{43.07930, -89.34400}, 40, false}, {{43.07000, -89.36400}, 50, true},  {{43.06380, -89.37900}, 50, false},
      {{43.05970, -89.39330}, 40, true},  {{43.06390, -89.40430}, 35, true},  {{43.06800, -89.41200}, 35, true},
      {{43.07320, -89.41030}, 35, true},  {{43.07300, -89.39700}, 30, false}, {{43.07450, -89.38800}, 30, true},
  };
}

// Eight three-sector sites. Sector PNs are the site's PN plus 0, 168 and 336,
// all multiples of the pilot increment 4.
std::vector<Sector> SampleSectors() {
  struct Site {
    const char* name;
    GeoPoint at;
    int cellId;
    std::uint16_t pn;
    double rotationDeg;
  };
  static constexpr Site kSites[] = {
      {"Capitol Square", {43.07350, -89.38350}, 101, 12, 0},      {"Tenney Park", {43.09200, -89.36800}, 102, 36, 20},
      {"East Washington", {43.09850, -89.34600}, 103, 60, 350},   {"Olbrich", {43.08700, -89.33300}, 104, 84, 10},
      {"Williamson Street", {43.07600, -89.36000}, 105, 108, 30}, {"Bay Creek", {43.05600, -89.38500}, 106, 132, 0},
      {"Camp Randall", {43.06900, -89.41500}, 107, 156, 15},      {"Vilas Park", {43.05900, -89.41000}, 108, 24, 40},
  };
  std::vector<Sector> out;
  int site = 0;
  for (const Site& s : kSites) {
    for (int k = 0; k < 3; ++k) {
      out.push_back({static_cast<std::uint16_t>(s.pn + 168 * k), s.at, std::fmod(s.rotationDeg + 120.0 * k, 360.0),
                     Format("%d-%d", s.cellId, k + 1), s.name, site});
    }
    ++site;
  }
  return out;
}

std::string CellsCsv(const std::vector<Sector>& sectors) {
  std::string out = "pn,latitude,longitude,sector_id,site_name\n";
  for (const Sector& s : sectors)
    out += Format("%u,%.6f,%.6f,%s,%s\n", s.pn, s.at.lat, s.at.lon, s.sectorId.c_str(), s.siteName.c_str());
  return out;
}

}  // namespace cdmadiag::gen
