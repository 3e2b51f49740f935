#include "host/map_projections.h"

#include <proj.h>

#include <cmath>
#include <limits>
#include <string>
#include <unordered_map>

namespace {

// Setting up a transformation reads the PROJ database and takes milliseconds, and
// location packets arrive every second of a log: each thread keeps one PROJ context
// and the transformation of every EPSG code it has seen (null for codes PROJ refused,
// so a bad setting is not looked up again either). PROJ objects are not shared
// between threads, hence one cache per thread.
class TransformCache {
 public:
  TransformCache() : ctx_(proj_context_create()) {
    // An unknown code is an answer (init returns false), not something to print.
    if (ctx_ != nullptr) proj_log_level(ctx_, PJ_LOG_NONE);
  }
  ~TransformCache() {
    for (auto& [code, pj] : transforms_) {
      if (pj != nullptr) proj_destroy(pj);
    }
    if (ctx_ != nullptr) proj_context_destroy(ctx_);
  }
  TransformCache(const TransformCache&) = delete;
  TransformCache& operator=(const TransformCache&) = delete;

  PJ* get(int epsg) {
    auto [it, inserted] = transforms_.try_emplace(epsg, nullptr);
    if (inserted) it->second = create(epsg);
    return it->second;
  }

 private:
  PJ* create(int epsg) {
    if (ctx_ == nullptr) return nullptr;
    const std::string code = "EPSG:" + std::to_string(epsg);
    PJ* target = proj_create(ctx_, code.c_str());
    if (target == nullptr) return nullptr;
    // Only systems with a map x/y: a geocentric or vertical system, or a code that
    // names no system at all, is refused like an unknown one.
    const PJ_TYPE type = proj_get_type(target);
    PJ* raw = nullptr;
    if (type == PJ_TYPE_PROJECTED_CRS || type == PJ_TYPE_GEOGRAPHIC_2D_CRS) {
      PJ* source = proj_create(ctx_, "EPSG:4326");
      if (source != nullptr) raw = proj_create_crs_to_crs_from_pj(ctx_, source, target, nullptr, nullptr);
      proj_destroy(source);
    }
    proj_destroy(target);
    if (raw == nullptr) return nullptr;
    // EPSG:4326 is latitude first; callers pass longitude first.
    PJ* normalized = proj_normalize_for_visualization(ctx_, raw);
    proj_destroy(raw);
    return normalized;
  }

  PJ_CONTEXT* ctx_;
  std::unordered_map<int, PJ*> transforms_;
};

PJ* cached_transform(int epsg) {
  thread_local TransformCache cache;
  return cache.get(epsg);
}

bool transform(PJ* pj, PJ_DIRECTION direction, double a, double b, double& out_a, double& out_b) {
  if (pj == nullptr || !std::isfinite(a) || !std::isfinite(b)) return false;
  const PJ_COORD out = proj_trans(pj, direction, proj_coord(a, b, 0.0, 0.0));
  if (!std::isfinite(out.xy.x) || !std::isfinite(out.xy.y)) return false;
  out_a = out.xy.x;
  out_b = out.xy.y;
  return true;
}

// |degrees| clamped so the integer conversions below stay defined for any input.
double magnitude(double degrees) {
  if (!std::isfinite(degrees)) return 0.0;
  return std::fmin(std::fabs(degrees), static_cast<double>(std::numeric_limits<int>::max()));
}

}  // namespace

// Callers print the hemisphere letter from the sign of the value, not of the degrees:
// -0.5 degrees has 0 whole degrees, and 0 carries no sign.
int CCoordinate::GetDegrees(double degrees) {
  const int whole = static_cast<int>(magnitude(degrees));
  return degrees < 0.0 ? -whole : whole;
}

int CCoordinate::GetMinutes(double degrees) {
  const double m = magnitude(degrees);
  return static_cast<int>((m - std::trunc(m)) * 60.0);
}

// The plain arithmetic split: seconds stay a double in [0, 60). A value a hair below
// a whole minute gives 59.999... seconds, which a caller printing fewer decimals sees
// rounded to "60.00"; such callers round the value to their precision before splitting.
double CCoordinate::GetSeconds(double degrees) {
  const double m = magnitude(degrees);
  const double minutes = (m - std::trunc(m)) * 60.0;
  const double seconds = (minutes - std::trunc(minutes)) * 60.0;
  return std::fmin(seconds, std::nextafter(60.0, 0.0));
}

struct CCoordinateSystem::Impl {
  // Owned by this thread's cache; a system is used on the thread that set it up.
  PJ* pj = nullptr;
};

CCoordinateSystem::CCoordinateSystem() : impl_(std::make_unique<Impl>()) {}

CCoordinateSystem::~CCoordinateSystem() = default;

bool CCoordinateSystem::init(int epsg) {
  impl_->pj = epsg > 0 ? cached_transform(epsg) : nullptr;
  epsg_ = impl_->pj != nullptr ? epsg : 0;
  return impl_->pj != nullptr;
}

bool CCoordinateSystem::valid() const { return impl_->pj != nullptr; }

bool CCoordinateSystem::forward(double lon, double lat, double& x, double& y) const {
  return transform(impl_->pj, PJ_FWD, lon, lat, x, y);
}

bool CCoordinateSystem::inverse(double x, double y, double& lon, double& lat) const {
  return transform(impl_->pj, PJ_INV, x, y, lon, lat);
}
