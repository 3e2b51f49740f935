#pragma once
// The per-second table: one row per second of each device's drive, with the time, the
// device's fix, every catalogue measurement over the packets stamped in that second, and
// per technology the serving PN with its likely sector. The unit of every drive-test
// chart and table; SQLite's `seconds`, `cdmadiag seconds`, Python's seconds(), the
// report and the map formats all read it.
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "host/cell_refs.h"
#include "host/measurements.h"
#include "packet.h"

namespace cdmadiag {

// A fix older than this does not place a second.
inline constexpr std::int64_t kFixPlacesMs = 10000;

// A measurement over one second.
struct SecondStat {
  std::uint32_t count = 0;  // packets that gave a value
  double sum = 0.0;
  double min = 0.0;
  double max = 0.0;
  double last = 0.0;
};

// The likely sector of a serving PN at the second's position.
struct Serving {
  int pn = -1;  // none: -1
  const CellSite* cell = nullptr;
  double distance_m = 0.0;
};

struct SecondRow {
  std::uint32_t device = 0;
  std::int64_t second = 0;  // UTC seconds since 1970
  std::uint32_t seq = 0;    // the second's last packet
  std::uint32_t packets_1x = 0;
  std::uint32_t packets_evdo = 0;
  std::optional<Fix> fix;  // the device's last fix within the second, at most kFixPlacesMs old
  std::vector<SecondStat> stats;                 // by catalogue index
  std::vector<std::vector<std::uint32_t>> lists;  // by catalogue index; the last list of the second
  Serving serving_1x;
  Serving serving_evdo;

  // The second's value of a kNumber measurement: mean or last, by its rule.
  std::optional<double> value(std::size_t i) const;
  std::optional<double> min(std::size_t i) const;
  std::optional<double> max(std::size_t i) const;
  // More EV-DO packets than 1x ones: an EV-DO leg of the drive.
  bool evdo_leg() const { return packets_evdo > packets_1x; }
};

class SecondsTable {
 public:
  // Serving sectors are looked up in cells when given; positions are the fixes' map
  // coordinates where the run has a projection (as the table was set up), else degrees.
  explicit SecondsTable(const CellSiteTable* cells = nullptr);
  ~SecondsTable();
  SecondsTable(const SecondsTable&) = delete;
  SecondsTable& operator=(const SecondsTable&) = delete;

  // Packets without a good time (responses, stray stamps) place nothing in time.
  void packet(const PacketView& p);
  // The measurements the last packet gave (valid until the next packet).
  const MeasurementReader& last_packet() const { return reader_; }

  // Every row, by device then time, with the serving sectors found. Call once, at the end.
  const std::vector<SecondRow>& finish();
  const std::vector<SecondRow>& rows() const { return rows_; }

 private:
  const CellSiteTable* cells_;
  MeasurementReader reader_;
  std::map<std::pair<std::uint32_t, std::int64_t>, SecondRow> open_;
  std::vector<SecondRow> rows_;
  std::optional<std::size_t> serving_1x_;
  std::optional<std::size_t> serving_evdo_;
  std::vector<std::size_t> from_fix_;  // catalogue entries the fix fills: latitude, longitude
};

// Great-circle distance on the mean earth sphere, in metres.
double distance_m(double lat1, double lon1, double lat2, double lon2);

}  // namespace cdmadiag
