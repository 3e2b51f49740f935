// For people: a header line per packet (seq, UTC time, code or "response" and the
// command code, class, marks, title), the details indented, then one attribute per
// line. A run of several inputs marks where each begins.
#include <fmt/compile.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "host/abs_time.h"
#include "output_file.h"
#include "sinks.h"

namespace cdmadiag {
namespace {

constexpr std::string_view kIndent = "    ";

// Bytes shown as they are: printable ASCII and tab, and in UTF-8 text every byte of a
// sequence (the rest is a control character, or a Windows-1252 letter to convert).
constexpr std::array<bool, 256> readable_bytes(bool utf8) {
  std::array<bool, 256> as_is{};
  for (int b = 0; b < 256; ++b) {
    as_is[static_cast<std::size_t>(b)] = (b >= 0x20 && b != 0x7F && (b < 0x80 || utf8)) || b == '\t';
  }
  return as_is;
}
constexpr std::array<bool, 256> kReadableCp1252 = readable_bytes(false);
constexpr std::array<bool, 256> kReadableUtf8 = readable_bytes(true);

// UTF-8 text with the control characters other than tab shown as \xNN, so a stray
// byte cannot drive the terminal.
void append_readable(fmt::memory_buffer& out, std::string_view text, Encoding enc = Encoding::kCp1252) {
  const std::array<bool, 256>& as_is = enc == Encoding::kUtf8 ? kReadableUtf8 : kReadableCp1252;
  // Detail texts are long printable stretches: each goes in whole, not a byte at a time.
  for (std::size_t i = 0; i < text.size(); ++i) {
    std::size_t plain = i;
    while (plain < text.size() && as_is[static_cast<unsigned char>(text[plain])]) ++plain;
    out.append(text.data() + i, text.data() + plain);
    if (plain == text.size()) break;
    i = plain;
    const auto b = static_cast<unsigned char>(text[i]);
    if (b < 0x80) {
      fmt::format_to(std::back_inserter(out), "\\x{:02x}", b);
    } else {
      append_utf8(out, cp1252_code_point(b));
    }
  }
}

class TextSink final : public StreamSink {
 public:
  TextSink(const std::string& path, bool mark_inputs) : StreamSink(path), mark_inputs_(mark_inputs) {}

  void packet(const PacketView& p) override {
    fmt::memory_buffer& out = file_.buffer();
    auto it = std::back_inserter(out);
    if (mark_inputs_ && (!marked_ || p.file != last_file_)) {
      fmt::format_to(it, FMT_COMPILE("== input {}: "), p.file);
      append_readable(out, p.file_name, Encoding::kUtf8);
      out.push_back('\n');
      marked_ = true;
      last_file_ = p.file;
    }
    fmt::format_to(it, FMT_COMPILE("#{} "), p.seq);
    if (p.time_ms) {
      std::string when;
      COrbMilliSecAbsTime(*p.time_ms).GetAbsTimeStr(when, nullptr);
      append(out, when);
      if (p.time_suspect) append(out, " (time suspect)");
    } else {
      append(out, "-");
    }
    if (p.response) {
      fmt::format_to(it, FMT_COMPILE(" response 0x{:02X}"), p.command);
    } else {
      fmt::format_to(it, FMT_COMPILE(" 0x{:04X}"), p.code);
    }
    fmt::format_to(it, FMT_COMPILE(" {}"), class_name(p.cls));
    if (!p.known) append(out, " unknown code");
    if (!p.msg->title.empty()) {
      append(out, "  ");
      append_readable(out, p.msg->title);
    }
    out.push_back('\n');

    std::string_view details = p.msg->details;
    while (!details.empty()) {
      const std::size_t nl = details.find('\n');
      const std::string_view line = details.substr(0, nl);
      if (!line.empty()) {
        append(out, kIndent);
        append_readable(out, line);
        out.push_back('\n');
      }
      if (nl == std::string_view::npos) break;
      details.remove_prefix(nl + 1);
    }
    if (const auto& loc = p.msg->location()) {
      fmt::format_to(it, FMT_COMPILE("{}location: {}, {}\n"), kIndent, loc->x, loc->y);
    }
    for (const WriteRecord& w : p.writes) {
      fmt::format_to(it, FMT_COMPILE("{}{}[{}] = "), kIndent, names_(w.id), w.index);
      if (w.op == WriteOp::kSetString) {
        out.push_back('"');
        append_readable(out, p.text_of(w));
        out.push_back('"');
      } else if (w.op == WriteOp::kSetNoValue) {
        append(out, "(no value)");
      } else {
        append_plain_value(out, p, w);
      }
      fmt::format_to(it, FMT_COMPILE("  ({})\n"), write_op_name(w.op));
    }
    if (p.error != nullptr) {
      fmt::format_to(it, FMT_COMPILE("{}error: "), kIndent);
      append_readable(out, *p.error);
      out.push_back('\n');
    }
    std::string_view diagnostic = p.diagnostic();
    while (!diagnostic.empty()) {
      const std::size_t nl = std::min(diagnostic.find('\n'), diagnostic.size());
      fmt::format_to(it, FMT_COMPILE("{}diagnostic: "), kIndent);
      append_readable(out, diagnostic.substr(0, nl));
      out.push_back('\n');
      diagnostic.remove_prefix(std::min(nl + 1, diagnostic.size()));
    }
    file_.flush_if_full();
  }

  void framing_error(std::string_view text) override {
    fmt::memory_buffer& out = file_.buffer();
    append(out, "!! framing error: ");
    append_readable(out, text, Encoding::kUtf8);
    out.push_back('\n');
    file_.flush_if_full();
  }

 private:
  AttributeNames names_;
  bool mark_inputs_;
  bool marked_ = false;
  std::uint32_t last_file_ = 0;
};

}  // namespace

std::unique_ptr<OutputSink> make_text_sink(const std::string& path, const RunInfo& run) {
  return std::make_unique<TextSink>(path, run.inputs.size() > 1);
}

}  // namespace cdmadiag
