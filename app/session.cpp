#include "session.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cassert>
#include <cmath>
#include <exception>
#include <span>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "framework/dispatch.h"
#include "framework/packet_header.h"
#include "interrupt.h"
#include "time_base.h"

namespace cdmadiag {
namespace {

// Time stamps on each side of a packet that its own is judged against.
constexpr std::size_t kNeighbours = 8;
// A stamp further than this from the packets on every side of it is not the drive's time.
constexpr std::int64_t kStrayMs = 3600000;

// The median of a few stamps; they are reordered.
std::int64_t median_of(std::span<std::int64_t> v) {
  const auto mid = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), mid, v.end());
  return *mid;
}

}  // namespace

PacketClass route_log_code(std::uint16_t code) { return evdo_routes(code) ? PacketClass::kEvdo : PacketClass::k1x; }

std::optional<InputFormat> input_format_by_name(std::string_view name) {
  if (name.empty() || name == "auto") return InputFormat::kAuto;
  if (name == "log") return InputFormat::kLog;
  if (name == "hdlc") return InputFormat::kHdlc;
  return std::nullopt;
}

// A record or framing error read ahead of the decoding; the bytes are copied, since the
// reader reuses its buffer.
struct DecodeSession::Pending {
  bool is_error = false;
  RecordKind kind = RecordKind::kLog;
  std::vector<std::uint8_t> bytes;
  std::uint64_t offset = 0;
  std::string error;
  std::optional<std::int64_t> gps_ms;  // a log record's stamp, when plausible at all

  Record record() const { return Record{kind, bytes, offset}; }
};

// What the packets of one device carry from one to the next.
struct DecodeSession::Device {
  std::uint32_t index = 0;
  MemoryDataState ds;
  Fix fix;
  bool have_fix = false;
  std::optional<std::int64_t> fix_time_ms;
  std::optional<std::int64_t> last_ms;  // the latest time stamp judged good, UTC
  std::optional<std::int64_t> last_time_ms;  // of the last packet, for what has none (responses, strays)
};

struct DecodeSession::Input {
  std::string path;  // empty when the stream was given
  std::unique_ptr<ByteStream> stream;
  std::string name;
  std::unique_ptr<RecordReader> reader;
  std::uint32_t file = 0;
  std::uint64_t start = 0;
  bool found = false;  // a record was read
  bool ended = false;  // the reader has nothing more
  bool placed = false;  // given its device
  std::size_t records_ahead = 0;
  std::vector<std::int64_t> earlier;  // the latest good stamps, at most kNeighbours, oldest first
};

DecodeSession::DecodeSession(const RunSettings& settings, const CellSiteTable* cells,
                             IProObjectPropertiesConnectedAccessor* accessor)
    : settings_(settings), accessor_(accessor != nullptr ? accessor : &properties_), cells_(cells), lookups_(nullptr) {
  properties_.set_pilot_increment(settings.pilot_inc);
  properties_.set_projection_epsg(settings.projection);
  if (settings.projection > 0 && !projection_.init(settings.projection)) {
    throw SettingsError(fmt::format("projection {}: not a projection this build knows", settings.projection));
  }
  if (cells_ == nullptr) {
    own_cells_ = std::make_unique<CellSiteTable>();
    if (projection_.valid()) own_cells_->set_projection(&projection_);
    if (!settings.cells.empty()) {
      std::string error;
      if (!own_cells_->load_csv(settings.cells, error)) throw SettingsError(fmt::format("cells {}: {}", settings.cells, error));
    }
    cells_ = own_cells_.get();
  }
  lookups_ = CellLookups(cells_);
  if (std::string error = setup_filter(filter_, settings.filters); !error.empty()) throw SettingsError(error);
  msg_.titleWanted = settings.title;
  msg_.detailsWanted = settings.details;
  msg_.cellIdWanted = settings.cell_ids;
  log_.writes.reserve(256);
  use_device(add_device());
}

DecodeSession::Device* DecodeSession::add_device() {
  auto d = std::make_unique<Device>();
  d->index = static_cast<std::uint32_t>(devices_.size());
  d->ds.set_read_only(settings_.read_only);
  devices_.push_back(std::move(d));
  return devices_.back().get();
}

void DecodeSession::use_device(Device* d) {
  if (device_ == d) return;
  device_ = d;
  ds_ = &d->ds;
}

// Inputs whose times follow one another are one drive of one device; an input that
// starts before every device's last packet overlaps them all, so it is another device
// (two phones on one drive). Among the devices it follows, the one that ended last.
void DecodeSession::place_input() {
  in_->placed = true;
  std::vector<std::int64_t> stamps;
  for (const auto& p : ahead_) {
    if (p->gps_ms) stamps.push_back(*p->gps_ms);
  }
  if (stamps.empty()) return;  // nothing to tell: the device before goes on
  std::vector<std::int64_t> sorted = stamps;
  const std::int64_t mid = median_of(sorted);
  std::optional<std::int64_t> start;
  for (const std::int64_t t : stamps) {
    if (std::llabs(t - mid) <= kStrayMs) {
      start = t;
      break;
    }
  }
  const std::int64_t start_ms = gps_to_utc_ms(*start);
  Device* best = nullptr;
  for (const auto& d : devices_) {
    if (!d->last_ms) {
      if (best == nullptr) best = d.get();  // a device with no time yet takes anything
      continue;
    }
    if (*d->last_ms <= start_ms && (best == nullptr || !best->last_ms || *d->last_ms > *best->last_ms)) best = d.get();
  }
  use_device(best != nullptr ? best : add_device());
}

// A stamp of a clock not yet set (before any CDMA handset logged), or far from the
// median of the good stamps before it and from that of the stamps after it, is a stray.
// At the edge of an input, with one side only, the nearest stamp on that side vouches
// for it too: the first packets before a pause in logging are no strays.
bool DecodeSession::stray(std::int64_t gps_ms) const {
  if (gps_ms < kEarliestPlausibleMs) return true;
  // On the stack: every packet is judged, and two vectors per packet were half the
  // allocations of a decode.
  std::array<std::int64_t, kNeighbours> later_stamps;
  std::size_t later_count = 0;
  for (const auto& p : ahead_) {
    if (later_count == kNeighbours) break;
    if (p->gps_ms) later_stamps[later_count++] = *p->gps_ms;
  }
  assert(in_->earlier.size() <= kNeighbours);
  std::array<std::int64_t, kNeighbours> earlier_stamps;
  std::copy(in_->earlier.begin(), in_->earlier.end(), earlier_stamps.begin());
  const std::span<std::int64_t> later(later_stamps.data(), later_count);
  const std::span<std::int64_t> earlier(earlier_stamps.data(), in_->earlier.size());
  const auto far = [gps_ms](std::int64_t t) { return std::llabs(gps_ms - t) > kStrayMs; };
  if (earlier.empty() && later.empty()) return false;
  if (earlier.empty()) return far(later.front()) && far(median_of(later));
  if (later.empty()) return far(earlier.back()) && far(median_of(earlier));
  return far(median_of(earlier)) && far(median_of(later));
}

DecodeSession::~DecodeSession() = default;

void DecodeSession::add_input(const std::string& path) {
  auto in = std::make_unique<Input>();
  in->path = path;
  in->name = path == "-" ? "<stdin>" : path;
  inputs_.push_back(std::move(in));
}

void DecodeSession::add_input(std::unique_ptr<ByteStream> stream, std::string name) {
  auto in = std::make_unique<Input>();
  in->stream = std::move(stream);
  in->name = std::move(name);
  inputs_.push_back(std::move(in));
}

std::string_view DecodeSession::input_name() const { return in_ ? std::string_view(in_->name) : std::string_view(); }

std::uint64_t DecodeSession::input_offset() const { return in_ ? in_->stream->offset() : 0; }

std::optional<std::uint64_t> DecodeSession::input_size() const {
  return in_ ? in_->stream->size() : std::nullopt;
}

// Starts the next input; false when there is none. An input that cannot be opened or
// is empty is done at once (result_ set) and takes no file index.
bool DecodeSession::open_next_input() {
  if (inputs_.empty()) return false;
  std::unique_ptr<Input> in = std::move(inputs_.front());
  inputs_.pop_front();
  result_ = InputResult{in->name, InputEnd::kEnd, {}, 0};
  if (!in->stream) {
    in->stream = ByteStream::open(in->path, result_.error);
    if (!in->stream) {
      result_.end = InputEnd::kUnreadable;
      return true;
    }
  }
  if (in->stream->ensure(1) == 0 && in->stream->error().empty()) {
    result_.end = stop_requested() ? InputEnd::kStopped : InputEnd::kEmpty;
    return true;
  }
  in->file = inputs_started_++;
  in->start = in->stream->offset();
  in->reader = make_reader(settings_.input, *in->stream);
  in_ = std::move(in);
  return true;
}

void DecodeSession::finish_input(InputEnd end) {
  for (auto& p : ahead_) spare_.push_back(std::move(p));
  ahead_.clear();
  const std::uint64_t bytes = in_->stream->offset() - in_->start;
  counters_.bytes += bytes;
  result_ = InputResult{in_->name, end, in_->stream->error(), bytes};
  if (!result_.error.empty()) result_.end = InputEnd::kReadFailed;
  in_.reset();
}

void DecodeSession::read_ahead() {
  Input& in = *in_;
  const std::size_t wanted = settings_.look_ahead ? kNeighbours : 0;
  Record record;
  FramingError error;
  for (;;) {
    if (!ahead_.empty()) {
      const Pending& front = *ahead_.front();
      // A framing error goes out once a record shows the input is a DIAG log; a record
      // once the records after it are known.
      if (front.is_error ? in.found : in.records_ahead > wanted) return;
    }
    if (in.ended) return;
    if (stop_requested()) return;
    const ReadStatus status = in.reader->next(record, error);
    if (status == ReadStatus::kEnd) {
      in.ended = true;
      continue;
    }
    if (status == ReadStatus::kError && stop_requested()) return;  // most likely the stop's cut, not damage
    std::unique_ptr<Pending> p;
    if (spare_.empty()) {
      p = std::make_unique<Pending>();
    } else {
      p = std::move(spare_.back());
      spare_.pop_back();
    }
    p->is_error = status == ReadStatus::kError;
    if (p->is_error) {
      p->offset = error.offset;
      p->error = std::move(error.text);
    } else {
      in.found = true;
      ++in.records_ahead;
      p->kind = record.kind;
      p->bytes.assign(record.bytes.begin(), record.bytes.end());
      p->offset = record.offset;
      p->gps_ms.reset();
      if (record.kind == RecordKind::kLog) {
        const std::int64_t t = diag_time_ms(record.header() + kLogHeaderTimeStamp);
        if (t >= kEarliestPlausibleMs) p->gps_ms = t;
      }
    }
    ahead_.push_back(std::move(p));
  }
}

DecodeSession::Event DecodeSession::next() {
  for (;;) {
    if (!in_) {
      if (!open_next_input()) return Event::kEnd;
      if (!in_) return Event::kInputDone;  // could not be opened, or empty
    }
    if (!stop_requested()) read_ahead();
    if (stop_requested()) {
      // The packet at hand was finished; what was read ahead is dropped.
      finish_input(InputEnd::kStopped);
      return Event::kInputDone;
    }
    if (!in_->found) {
      // Only the end of the input stops the reading before a record: with errors alone
      // it is no DIAG log, and its "errors" say nothing.
      finish_input(ahead_.empty() ? InputEnd::kEnd : InputEnd::kNotDiag);
      return Event::kInputDone;
    }
    if (ahead_.empty()) {
      finish_input(InputEnd::kEnd);
      return Event::kInputDone;
    }
    if (!in_->placed) place_input();
    std::unique_ptr<Pending> p = std::move(ahead_.front());
    ahead_.pop_front();
    Event event = Event::kPacket;
    bool out = true;
    if (p->is_error) {
      ++counters_.framing_errors;
      framing_text_ = fmt::format("{}: at byte {}: {}", in_->name, p->offset, p->error);
      framing_where_ = FramingErrorAt{in_->file, in_->name, p->offset};
      event = Event::kFramingError;
    } else {
      --in_->records_ahead;
      out = decode(p->record());
    }
    spare_.push_back(std::move(p));
    if (out) return event;
  }
}

bool DecodeSession::decode(const Record& record) {
  const std::uint32_t seq = ++seq_;
  ds_->begin_message(seq);
  msg_.reset();
  log_.clear();
  error_.clear();
  lookups_.clear();
  bool failed = false;

  PacketView& view = view_;
  view = PacketView{};
  view.seq = seq;
  view.msg = &msg_;
  view.file = in_->file;
  view.device = device_->index;
  view.file_name = in_->name;
  const std::span<const std::uint8_t> payload = record.payload();
  const auto size = static_cast<std::uint32_t>(payload.size());

  if (record.kind == RecordKind::kLog) {
    const std::uint8_t* header = record.header();
    view.code = record.log_code();
    view.time = diag_time_seconds(header + kLogHeaderTimeStamp);
    const std::int64_t gps_ms = diag_time_ms(header + kLogHeaderTimeStamp);
    view.time_ms = gps_to_utc_ms(gps_ms);
    view.time_suspect = stray(gps_ms);
    if (!view.time_suspect) {
      std::vector<std::int64_t>& earlier = in_->earlier;
      if (earlier.size() == kNeighbours) earlier.erase(earlier.begin());
      earlier.push_back(gps_ms);
      device_->last_ms = std::max(device_->last_ms.value_or(*view.time_ms), *view.time_ms);
      device_->last_time_ms = view.time_ms;
    }
    view.cls = route_log_code(static_cast<std::uint16_t>(view.code));
    view.known = known_log_code(static_cast<std::uint16_t>(view.code));
  } else {
    view.response = true;
    if (size > 0) view.command = payload[0];
    view.known = size > 0 && known_command(view.command);
  }
  // A packet the filters cut is still decoded, for what later packets read back from
  // the data state, but nothing is built for its output.
  const bool cut = filter_.active() && !filter_.admit(view);
  msg_.titleWanted = settings_.title && !cut;
  msg_.detailsWanted = settings_.details && !cut;
  msg_.cellIdWanted = settings_.cell_ids && !cut;

  ds_->set_log(cut ? nullptr : &log_);
  // The decoder object of the packet's class, set up as the host sets every one up; a
  // command response has no log header and code 0.
  const auto set_up = [&](auto& f) {
    f.SetMessageCode(view.response ? 0 : view.code);
    f.SetMessageNumber(seq);
    f.SetCommonVariables(settings_.common_flag, settings_.threshold_a, settings_.threshold_b);
    if (!view.response) f.SetMDMHeaderBytes(record.header());
  };
  try {
    if (view.cls == PacketClass::kEvdo) {
      COrbDecodeMsgCDMA1xEVDOQualcommFrame f(payload.data(), size, accessor_, nullptr);
      set_up(f);
      f.ExpandEVDOQualcommMessage(ds_, msg_, &lookups_);
    } else {
      COrbDecodeMsgCDMAQualcommFrame f(payload.data(), size, accessor_);
      set_up(f);
      f.ExpandQualcommMessage(ds_, msg_, &lookups_, !view.response);
    }
  } catch (const std::exception& e) {
    failed = true;
    error_ = e.what();
  } catch (...) {
    failed = true;
    error_ = "unknown exception";
  }
  ds_->set_log(nullptr);

  // The host keeps the map position in the data state for later packets' cell lookups;
  // these writes are the host's, not the message's.
  if (const auto& loc = msg_.location()) {
    ds_->SetDouble(ATTR_ID_LOCATION_X, loc->x, 0, IOrbDataState::kNoBound, 0);
    ds_->SetDouble(ATTR_ID_LOCATION_Y, loc->y, 0, IOrbDataState::kNoBound, 0);
  }

  ++counters_.packets;
  if (!view.known) {
    ++counters_.unknown_codes;
  } else if (view.cls == PacketClass::kEvdo) {
    ++counters_.packets_evdo;
  } else {
    ++counters_.packets_1x;
    if (view.response) ++counters_.responses;
  }
  if (view.time_suspect) ++counters_.time_suspect;
  if (view.known && !msg_.notDecoded) ++counters_.decoded;
  if (msg_.notDecoded) ++counters_.not_decoded;
  if (failed) ++counters_.decoder_errors;
  if (!msg_.diagnostic.empty()) ++counters_.decode_failures;

  track_fix();
  if (cut || (filter_.active() && !filter_.keep_writes(log_.writes))) return false;
  if (filter_.active()) filter_.kept();
  view.cells = lookups_.lookups();
  view.writes = log_.writes;
  view.texts = log_.texts;
  view.error = failed ? &error_ : nullptr;
  return true;
}

void DecodeSession::track_fix() {
  Device& d = *device_;
  PacketView& view = view_;
  if (const auto& geo = msg_.geographic()) {
    // A receiver without a fix reports zeros or values off the globe; the last good fix stays.
    const bool valid = std::isfinite(geo->x) && std::isfinite(geo->y) && std::abs(geo->y) <= 90.0 &&
                       std::abs(geo->x) <= 180.0 && !(geo->x == 0.0 && geo->y == 0.0);
    if (valid) {
      d.have_fix = true;
      d.fix.longitude = geo->x;
      d.fix.latitude = geo->y;
      d.fix.map.reset();
      MapPoint p;
      if (projection_.valid() && projection_.forward(geo->x, geo->y, p.x, p.y)) d.fix.map = p;
      d.fix.seq = view.seq;
      d.fix_time_ms = d.last_time_ms;
    }
  }
  if (!d.have_fix) return;
  d.fix.age_ms.reset();
  // Ages count from good stamps only: a stray stamp would make them years.
  const std::optional<std::int64_t> now = view.time_suspect ? d.last_time_ms : view.time_ms;
  if (now && d.fix_time_ms) {
    const std::int64_t age = *now - *d.fix_time_ms;
    // A packet older than the fix (a later input that starts earlier) cannot be placed by it.
    if (age < 0) return;
    d.fix.age_ms = age;
  }
  view.fix = &d.fix;
}

void drain(DecodeSession& session, OutputSink& out, const std::function<void(const InputResult&)>& on_input) {
  for (;;) {
    switch (session.next()) {
      case DecodeSession::Event::kPacket: out.packet(session.packet()); break;
      case DecodeSession::Event::kFramingError:
        out.framing_error_at(session.framing_error(), session.framing_where());
        break;
      case DecodeSession::Event::kInputDone:
        if (on_input) on_input(session.input_result());
        break;
      case DecodeSession::Event::kEnd: return;
    }
  }
}

}  // namespace cdmadiag
