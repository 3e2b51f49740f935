#pragma once
// The host's object-properties accessor: the settings of the analysis project that
// the decoders consult (map projection, pilot increment). Reference counted.
#include <atomic>

class IProObjectPropertiesConnectedAccessor {
 public:
  virtual ~IProObjectPropertiesConnectedAccessor() = default;
  virtual long AddRef() = 0;
  virtual long Release() = 0;
  // EPSG code of the map projection; 0 or less: none.
  virtual int projection_epsg() const = 0;
  // Pilot increment configured for the network; 0 or less: not configured.
  virtual int pilot_increment() const = 0;
};

// Settings owned by the host; Release never deletes, the owner does.
class ObjectProperties final : public IProObjectPropertiesConnectedAccessor {
 public:
  long AddRef() override { return ++refs_; }
  long Release() override { return --refs_; }
  long references() const { return refs_; }

  int projection_epsg() const override { return projection_epsg_; }
  int pilot_increment() const override { return pilot_increment_; }
  void set_projection_epsg(int epsg) { projection_epsg_ = epsg; }
  void set_pilot_increment(int inc) { pilot_increment_ = inc; }

 private:
  std::atomic<long> refs_{0};
  int projection_epsg_ = 0;
  int pilot_increment_ = 0;
};
