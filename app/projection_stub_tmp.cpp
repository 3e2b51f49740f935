// TEMPORARY stand-in for the map projections, so the command links before their host
// implementation exists. app/CMakeLists.txt builds this file only while lib/host
// defines no CCoordinateSystem; delete it when that lands.
#include "host/map_projections.h"

struct CCoordinateSystem::Impl {};
CCoordinateSystem::CCoordinateSystem() = default;
CCoordinateSystem::~CCoordinateSystem() = default;
bool CCoordinateSystem::init(int) { return false; }
bool CCoordinateSystem::valid() const { return false; }
bool CCoordinateSystem::forward(double, double, double&, double&) const { return false; }
bool CCoordinateSystem::inverse(double, double, double&, double&) const { return false; }
