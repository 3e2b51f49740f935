#pragma once
// The per-second and events tables as columns of typed cells, defined once for every
// output that writes them: SQLite's `seconds` and `events`, the CSV of `cdmadiag
// seconds` and `cdmadiag events`, Python's DataFrames.
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "events.h"
#include "seconds.h"

namespace cdmadiag {

enum class ColumnType : std::uint8_t { kInteger, kReal, kText, kList };

struct Column {
  std::string name;
  ColumnType type;
};

// No value (null), an integer, a number, a text (UTF-8) or a list of PNs: SQLite keeps a
// list as a JSON array (json_each reads it), CSV as the numbers separated by spaces,
// Python as a list.
using PnList = std::vector<std::uint32_t>;
using Cell = std::variant<std::monostate, std::int64_t, double, std::string, PnList>;

// device, second, time_ms, time_iso, seq, packets_1x, packets_evdo, fix_lat, fix_lon, fix_x,
// fix_y, then each catalogue measurement (_min and _max after those with a range), then
// per technology the serving sector, site and distance.
const std::vector<Column>& seconds_columns();
void seconds_cells(const SecondRow& row, std::vector<Cell>& out);

// device, seq, time_ms, time_iso, fix_lat, fix_lon, technology, kind, failure, code,
// pns_added, pns_removed, details.
const std::vector<Column>& event_columns();
void event_cells(const DriveEvent& e, std::vector<Cell>& out);

}  // namespace cdmadiag
