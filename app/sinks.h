#pragma once
// The output formats, and what they share.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "output_sink.h"
#include "text_convert.h"

namespace cdmadiag {

std::unique_ptr<OutputSink> make_text_sink(const std::string& path, const RunInfo& run);
std::unique_ptr<OutputSink> make_jsonl_sink(const std::string& path);
std::unique_ptr<OutputSink> make_csv_sink(const std::string& path);
std::unique_ptr<OutputSink> make_sqlite_sink(const std::string& path, const RunInfo& run);
// The per-second table or the events of the drive, as CSV.
enum class TableKind : std::uint8_t { kSeconds, kEvents };
std::unique_ptr<OutputSink> make_table_sink(TableKind kind, const std::string& path, const CellSiteTable* cells);

// "ATTR_ID_..." of an id; an id the schema never gave out shows as its number, kept in scratch.
std::string_view attribute_name(std::uint32_t id, std::string& scratch);
// The same for an output that names every write: each id is asked of the schema once
// (which takes a lock per question); its names never move once given out.
class AttributeNames {
 public:
  std::string_view operator()(std::uint32_t id);

 private:
  std::vector<std::string_view> known_;  // by id; empty until asked
  std::string scratch_;
};
// A numeric value as text that reads back exactly; "nan", "inf", "-inf" for those.
void append_plain_value(fmt::memory_buffer& out, const PacketView& p, const WriteRecord& w);
// Milliseconds since 1970 as "2026-05-12T15:20:00.150Z": the calendar of the packet
// stamps, which count GPS time and are shown without leap seconds.
void append_iso_time(fmt::memory_buffer& out, std::int64_t ms);
// A cell-site distance, to the decimetre.
double rounded_distance(double metres);
// A fix as the outputs give it: degrees to 1e-7 (a centimetre), projected metres to the
// millimetre. The conversions leave digits past what any receiver reports
// (43.076600000000006), which would fill a CSV row per write.
Fix rounded_fix(const Fix& fix);

}  // namespace cdmadiag
