#pragma once
// Map projections through PROJ: WGS 84 longitude/latitude to the x/y of an EPSG system.
#include <memory>

class CCoordinate {
 public:
  CCoordinate(double x, double y, double z, int system) : x_(x), y_(y), z_(z), system_(system) {}
  double GetX() const { return x_; }
  double GetY() const { return y_; }
  double GetZ() const { return z_; }
  int system() const { return system_; }

  // Degree/minute/second split of a value in degrees, sign on the degrees only.
  static int GetDegrees(double degrees);
  static int GetMinutes(double degrees);
  static double GetSeconds(double degrees);

 private:
  double x_, y_, z_;
  int system_;
};

class CCoordinateSystem {
 public:
  CCoordinateSystem();
  ~CCoordinateSystem();
  CCoordinateSystem(const CCoordinateSystem&) = delete;
  CCoordinateSystem& operator=(const CCoordinateSystem&) = delete;

  // Sets up WGS 84 -> EPSG:epsg; false when PROJ does not know the code.
  bool init(int epsg);
  bool valid() const;
  int epsg() const { return epsg_; }
  // Longitude/latitude in degrees to map x/y; false (values unchanged) on failure.
  bool forward(double lon, double lat, double& x, double& y) const;
  bool inverse(double x, double y, double& lon, double& lat) const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
  int epsg_ = 0;
};
