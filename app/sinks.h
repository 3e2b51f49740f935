#pragma once
// The output formats, and what they share.
#include <memory>
#include <string>
#include <string_view>

#include "output_sink.h"
#include "text_convert.h"

namespace cdmadiag {

std::unique_ptr<OutputSink> make_text_sink(const std::string& path);
std::unique_ptr<OutputSink> make_jsonl_sink(const std::string& path);
std::unique_ptr<OutputSink> make_csv_sink(const std::string& path);
std::unique_ptr<OutputSink> make_sqlite_sink(const std::string& path);

// "ATTR_ID_..." of an id; an id the schema never gave out shows as its number, kept in scratch.
std::string_view attribute_name(std::uint32_t id, std::string& scratch);
// A numeric value as text that reads back exactly; "nan", "inf", "-inf" for those.
void append_plain_value(fmt::memory_buffer& out, const PacketView& p, const WriteRecord& w);

}  // namespace cdmadiag
