#include "decode_run.h"

#include <fmt/format.h>

#include <cmath>
#include <exception>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "framework/dispatch.h"
#include "framework/packet_header.h"
#include "interrupt.h"

namespace cdmadiag {

const char* class_name(PacketClass cls) {
  switch (cls) {
    case PacketClass::k1x: return "1x";
    case PacketClass::kEvdo: return "evdo";
  }
  return "1x";
}

const char* kind_name(bool response) { return response ? "response" : "log"; }

ValueKind value_kind(WriteOp op) {
  switch (op) {
    case WriteOp::kSetShort:
    case WriteOp::kSetInt:
    case WriteOp::kSetLong:
    case WriteOp::kSetInt64: return ValueKind::kSigned;
    case WriteOp::kSetByte:
    case WriteOp::kSetUShort:
    case WriteOp::kSetUInt:
    case WriteOp::kSetULong:
    case WriteOp::kSetDWord:
    case WriteOp::kSetUInt64: return ValueKind::kUnsigned;
    case WriteOp::kSetDouble: return ValueKind::kDouble;
    case WriteOp::kSetString: return ValueKind::kString;
    case WriteOp::kSetNoValue: return ValueKind::kNone;
  }
  return ValueKind::kNone;
}

std::optional<double> finite_number(const WriteRecord& w) {
  double v = 0.0;
  switch (value_kind(w.op)) {
    case ValueKind::kSigned: v = static_cast<double>(w.i); break;
    case ValueKind::kUnsigned: v = static_cast<double>(w.u); break;
    case ValueKind::kDouble: v = w.d; break;
    case ValueKind::kString:
    case ValueKind::kNone: return std::nullopt;
  }
  if (!std::isfinite(v)) return std::nullopt;
  return v;
}

PacketClass route_log_code(std::uint16_t code) { return evdo_routes(code) ? PacketClass::kEvdo : PacketClass::k1x; }

DecodeRun::DecodeRun(const DecodeOptions& options, OutputSink& out, CellSiteTable* cells,
                     IProObjectPropertiesConnectedAccessor* properties)
    : options_(options),
      out_(out),
      cells_(cells),
      properties_(properties) {
  if (properties != nullptr && properties->projection_epsg() > 0) projection_.init(properties->projection_epsg());
  ds_.set_sink(this);
  ds_.set_read_only(options.read_only);
  msg_.titleWanted = options.title;
  msg_.detailsWanted = options.details;
  msg_.cellIdWanted = options.cell_ids;
  writes_.reserve(256);
}

DecodeRun::~DecodeRun() { ds_.set_sink(nullptr); }

void DecodeRun::on_write(const AttrWrite& w) {
  if (!collecting_) return;
  // Filled in place: a temporary record copied in cost more than the decoder's write.
  WriteRecord& r = writes_.emplace_back();
  r.id = w.id;
  r.index = w.index;
  r.op = w.op;
  r.i = w.i;
  r.u = w.u;
  r.d = w.d;
  if (w.op == WriteOp::kSetString) {
    r.text_offset = static_cast<std::uint32_t>(texts_.size());
    r.text_size = static_cast<std::uint32_t>(w.text.size());
    texts_.append(w.text);
  }
}

void DecodeRun::decode(const Record& record) {
  const std::uint32_t seq = ++seq_;
  ds_.begin_message(seq);
  msg_.reset();
  writes_.clear();
  texts_.clear();
  error_.clear();
  bool failed = false;

  PacketView view;
  view.seq = seq;
  view.msg = &msg_;
  view.file = inputs_ == 0 ? 0 : inputs_ - 1;
  view.file_name = file_name_;
  if (cells_ != nullptr) cells_->clear_lookups();
  const std::span<const std::uint8_t> payload = record.payload();
  const auto size = static_cast<std::uint32_t>(payload.size());

  if (record.kind == RecordKind::kLog) {
    const std::uint8_t* header = record.header();
    view.code = record.log_code();
    view.time = diag_time_seconds(header + cdmadiag::kLogHeaderTimeStamp);
    view.time_ms = diag_time_ms(header + cdmadiag::kLogHeaderTimeStamp);
    view.cls = route_log_code(static_cast<std::uint16_t>(view.code));
  } else {
    view.response = true;
    if (size > 0) view.command = payload[0];
  }
  // A packet the filters cut is still decoded, for what later packets read back from
  // the data state, but nothing is built for its output.
  const bool cut = filter_ != nullptr && !filter_->admit(view);
  msg_.titleWanted = options_.title && !cut;
  msg_.detailsWanted = options_.details && !cut;
  msg_.cellIdWanted = options_.cell_ids && !cut;

  collecting_ = !cut;
  try {
    if (record.kind == RecordKind::kLog) {
      const auto code = static_cast<std::uint16_t>(view.code);
      const std::uint8_t* header = record.header();
      if (!known_log_code(code)) ++counters_.unknown_codes;
      if (view.cls == PacketClass::kEvdo) {
        COrbDecodeMsgCDMA1xEVDOQualcommFrame f(payload.data(), size, properties_, nullptr);
        f.SetMessageCode(code);
        f.SetMessageNumber(seq);
        f.SetCommonVariables(options_.common_flag, options_.threshold_a, options_.threshold_b);
        f.SetMDMHeaderBytes(header);
        f.ExpandEVDOQualcommMessage(&ds_, msg_, cells_);
      } else {
        COrbDecodeMsgCDMAQualcommFrame f(payload.data(), size, properties_);
        f.SetMessageCode(code);
        f.SetMessageNumber(seq);
        f.SetCommonVariables(options_.common_flag, options_.threshold_a, options_.threshold_b);
        f.SetMDMHeaderBytes(header);
        f.ExpandQualcommMessage(&ds_, msg_, cells_, true);
      }
    } else {
      COrbDecodeMsgCDMAQualcommFrame f(payload.data(), size, properties_);
      f.SetMessageCode(0);
      f.SetMessageNumber(seq);
      f.SetCommonVariables(options_.common_flag, options_.threshold_a, options_.threshold_b);
      f.ExpandQualcommMessage(&ds_, msg_, cells_, false);
    }
  } catch (const std::exception& e) {
    failed = true;
    error_ = e.what();
  } catch (...) {
    failed = true;
    error_ = "unknown exception";
  }
  collecting_ = false;

  // The host keeps the map position in the data state for later packets' cell lookups;
  // these writes are the host's, not the message's.
  if (const auto& loc = msg_.location()) {
    ds_.SetDouble(ATTR_ID_LOCATION_X, loc->x, 0, IOrbDataState::kNoBound, 0);
    ds_.SetDouble(ATTR_ID_LOCATION_Y, loc->y, 0, IOrbDataState::kNoBound, 0);
  }

  ++counters_.packets;
  if (view.cls == PacketClass::kEvdo) {
    ++counters_.packets_evdo;
  } else {
    ++counters_.packets_1x;
  }
  if (view.response) ++counters_.responses;
  if (msg_.notDecoded) ++counters_.not_decoded;
  if (failed) ++counters_.decoder_errors;

  track_fix(view);
  if (cut || (filter_ != nullptr && !filter_->keep_writes(writes_))) return;
  if (filter_ != nullptr) filter_->kept();
  if (cells_ != nullptr) view.cells = cells_->lookups();
  view.writes = writes_;
  view.texts = texts_;
  view.error = failed ? &error_ : nullptr;
  out_.packet(view);
}

void DecodeRun::track_fix(PacketView& view) {
  if (const auto& geo = msg_.geographic()) {
    // A receiver without a fix reports zeros or values off the globe; the last good fix stays.
    const bool valid = std::isfinite(geo->x) && std::isfinite(geo->y) && std::abs(geo->y) <= 90.0 &&
                       std::abs(geo->x) <= 180.0 && !(geo->x == 0.0 && geo->y == 0.0);
    if (valid) {
      have_fix_ = true;
      fix_.longitude = geo->x;
      fix_.latitude = geo->y;
      fix_.map.reset();
      MapPoint p;
      if (projection_.valid() && projection_.forward(geo->x, geo->y, p.x, p.y)) fix_.map = p;
      fix_.seq = view.seq;
      fix_time_ms_ = view.time_ms;
    }
  }
  if (!have_fix_) return;
  fix_.age_ms.reset();
  if (view.time_ms && fix_time_ms_) {
    const std::int64_t age = *view.time_ms - *fix_time_ms_;
    // A packet older than the fix (a later input that starts earlier) cannot be placed by it.
    if (age < 0) return;
    fix_.age_ms = age;
  }
  view.fix = &fix_;
}

void DecodeRun::framing_error(std::string_view name, const FramingError& error) {
  ++counters_.framing_errors;
  const std::string text = fmt::format("{}: at byte {}: {}", name, error.offset, error.text);
  if (error_log_ != nullptr) {
    if (counters_.framing_errors <= static_cast<std::uint64_t>(error_log_limit_)) {
      fmt::print(error_log_, "cdmadiag: framing error: {}\n", text);
    } else if (counters_.framing_errors == static_cast<std::uint64_t>(error_log_limit_) + 1) {
      fmt::print(error_log_, "cdmadiag: further framing errors are counted, not shown\n");
    }
  }
  out_.framing_error_at(text, {inputs_ == 0 ? 0 : inputs_ - 1, name, error.offset});
}

StreamEnd DecodeRun::decode_stream(ByteStream& in, std::string_view name, const Progress& progress) {
  ++inputs_;
  file_name_ = name;
  const std::unique_ptr<RecordReader> reader = make_reader(options_.input, in);
  const std::uint64_t start = in.offset();
  Record record;
  FramingError error;
  // Framing errors wait for the first record: an input that has none is no DIAG log,
  // and its "errors" say nothing. The readers fold a damaged stretch into one error,
  // so few ever wait.
  bool found = false;
  std::vector<FramingError> waiting;
  StreamEnd end = StreamEnd::kEnd;
  std::uint32_t since_progress = 0;
  for (;;) {
    if (stop_requested()) {
      end = StreamEnd::kStopped;
      break;
    }
    const ReadStatus status = reader->next(record, error);
    if (status == ReadStatus::kEnd) break;
    if (status == ReadStatus::kRecord) {
      if (!found) {
        found = true;
        for (const FramingError& e : waiting) framing_error(name, e);
        waiting.clear();
      }
      decode(record);
    } else if (stop_requested()) {
      // Most likely the cut the stop made in the input, not damage.
      end = StreamEnd::kStopped;
      break;
    } else if (found) {
      framing_error(name, error);
    } else {
      waiting.push_back(error);
    }
    if (progress && ++since_progress == 4096) {
      since_progress = 0;
      progress(in.offset());
    }
  }
  counters_.bytes += in.offset() - start;
  if (end == StreamEnd::kEnd && !found && !waiting.empty()) end = StreamEnd::kNotDiag;
  return end;
}

}  // namespace cdmadiag
