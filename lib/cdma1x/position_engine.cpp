// The handset's GPS position-engine log packet (code 0x1154): fixes, assistance data,
// receiver time, search results, SV time differences and ephemeris state.
//
// Header, 5 bytes:
//  +off  type  name               unit
//   +0   u8    record type        1..7
//   +1   u32   GPS session count
// Each type continues at 0x11 with the fixed fields tabled at its function; the
// per-SV lists hold as many records as their count byte says, at most 16.
#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/failure_texts.h"
#include "framework/payload_cursor.h"
#include "framework/text.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::Cursor;

[[maybe_unused]] constexpr std::size_t kHeaderEnd = 5, kFixedStart = 0x11;
constexpr std::size_t kMaxRecords = 16;

enum RecordType : std::uint8_t {
  kPositionFix = 1,
  kAssistance = 2,
  kReceiverTime = 3,
  kSearchResults = 4,
  kSvTimeDifferences = 5,
  kMissingEphemeris = 6,
  kEphemerisAge = 7,
};

std::size_t bounded(std::uint8_t count) { return std::min<std::size_t>(count, kMaxRecords); }

// A record's failure text: the standard one on a line after the header line.
constexpr const char* kRefused = cdmadiag::kNotQualcommStandardLine;

// True when every read of the record so far was within the payload; otherwise refuses it.
bool whole(const cdmadiag::Decoding& job, const Cursor& c) { return c.ok() || job.fail(kRefused); }

// Moves to a list of n records of size bytes at first; short unless all are there. An
// empty list needs nothing, wherever it would start.
void list_at(Cursor& c, std::size_t first, std::size_t n, std::size_t size) {
  if (n == 0) return;
  c.seek(first);
  c.need(n * size);
}

template <typename T, std::size_t N, typename Read>
std::array<T, N> read_n(Read read) {
  std::array<T, N> v{};
  for (T& x : v) x = read();
  return v;
}

// The time and frequency fields that receiver time and search results share.
struct ReceiverClock {
  std::uint32_t rx_ref;  // ms
  std::uint16_t week;
  std::uint32_t gps;  // ms
  float bias;         // ms
  float uncertainty;
  std::uint16_t ambiguity;                // ms
  float frequency_bias, frequency_sigma;  // m/s
};
ReceiverClock read_clock(Cursor& c) {
  ReceiverClock k{};
  k.rx_ref = c.u32le();
  k.week = c.u16le();
  k.gps = c.u32le();
  k.bias = c.f32le();
  k.uncertainty = c.f32le();
  k.ambiguity = c.u16le();
  k.frequency_bias = c.f32le();
  k.frequency_sigma = c.f32le();
  return k;
}

void append_frequency(std::string& out, const ReceiverClock& k) {
  appendf(out, "\nFrequency bias (m/s): %f, Frequency uncertainty: %f (m/s) ", k.frequency_bias, k.frequency_sigma);
}

// Type 1, position fix:
//  +off   type        name                          unit
//  +0x11  u16         position flag                 bit 0x40 of its low byte: failed fix
//  +0x13  u16         failure flag
//  +0x15  u16         week
//  +0x17  u32         fix time into week            ms
//  +0x1B  u32         fix time, leap-adjusted       ms
//  +0x1F  u32         Rx reference count
//  +0x23  u32         positions count
//  +0x27  f64 x3      initial latitude, longitude, altitude          rad, rad, m
//  +0x3F  f64 x3      unfiltered latitude, longitude, altitude       rad, rad, m
//  +0x57  f64 x3      filtered latitude, longitude, altitude         rad, rad, m
//  +0x6F  f32 x3      velocity east, north, up      m/s
//  +0x7B  f32 x5      position, latitude, longitude, vertical, velocity uncertainty  m (m/s)
//  +0x8F  f32         clock bias                    m
//  +0x93  f32         clock drift                   m/s
//  +0x97  f32         filtered altitude             m
//  +0x9B  f32         altitude sigma                m
//  +0x9F  f32         magnetic deviation            deg
//  +0xA3  f32 x3      position, horizontal, vertical DoP
//  +0xAF  u8          fix info
//  +0xB0  u8          SVs
//  +0xB1  u8          total SVs                     list count
//  +0xBA  u8[16]      PRN
//  +0xCA  u8[16]      IODE
//  +0xDA  f32[16]     1/weight
//  +0x11A f32[16]     residual                      m
struct PositionFix {
  std::uint16_t position_flag, failure_flag, week;
  std::uint32_t fix_time, leap_time, rx_ref, positions;
  std::array<double, 3> initial, unfiltered, filtered;  // latitude, longitude, altitude
  std::array<float, 3> velocity;
  std::array<float, 5> uncertainty;
  float clock_bias, clock_drift, filtered_alt, alt_sigma, magnetic;
  std::array<float, 3> dop;  // position, horizontal, vertical
  std::uint8_t fix_info, num_svs, total_svs;
};
PositionFix read_fix(Cursor& c) {
  const auto f64 = [&c] { return c.f64le(); };
  const auto f32 = [&c] { return c.f32le(); };
  PositionFix f{};
  f.position_flag = c.u16le();
  f.failure_flag = c.u16le();
  f.week = c.u16le();
  f.fix_time = c.u32le();
  f.leap_time = c.u32le();
  f.rx_ref = c.u32le();
  f.positions = c.u32le();
  f.initial = read_n<double, 3>(f64);
  f.unfiltered = read_n<double, 3>(f64);
  f.filtered = read_n<double, 3>(f64);
  f.velocity = read_n<float, 3>(f32);
  f.uncertainty = read_n<float, 5>(f32);
  f.clock_bias = c.f32le();
  f.clock_drift = c.f32le();
  f.filtered_alt = c.f32le();
  f.alt_sigma = c.f32le();
  f.magnetic = c.f32le();
  f.dop = read_n<float, 3>(f32);
  f.fix_info = c.u8();
  f.num_svs = c.u8();
  f.total_svs = c.u8();
  return f;
}

void position_fix(Cursor& c, IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  constexpr std::size_t kPrn = 0xBA, kIode = 0xCA, kWeight = 0xDA, kResidual = 0x11A;
  constexpr std::uint8_t kFailedFix = 0x40;
  const PositionFix f = read_fix(c);
  if (!whole(job, c)) return;
  const bool failed = (f.position_flag & kFailedFix) != 0;
  const std::size_t svs = failed ? 0 : bounded(f.total_svs);
  // The four SV lists sit at fixed places, each as long as the longest list.
  std::array<std::uint8_t, kMaxRecords> prn{}, iode{};
  std::array<float, kMaxRecords> weight{}, residual{};
  if (svs > 0) {
    c.seek(kPrn);
    for (std::size_t i = 0; i < svs; ++i) prn[i] = c.u8();
    c.seek(kIode);
    for (std::size_t i = 0; i < svs; ++i) iode[i] = c.u8();
    c.seek(kWeight);
    for (std::size_t i = 0; i < svs; ++i) weight[i] = c.f32le();
    c.seek(kResidual);
    for (std::size_t i = 0; i < svs; ++i) residual[i] = c.f32le();
    if (!whole(job, c)) return;
  }

  if (!failed) {
    const cdmadiag::AttrWriter w(ds);
    w.Double(ATTR_ID_GPSOne_DoP_Position, f.dop[0]);
    w.Double(ATTR_ID_GPSOne_DoP_Horizontal, f.dop[1]);
    w.Double(ATTR_ID_GPSOne_DoP_Vertical, f.dop[2]);
  }
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\n.\nPosition Flag: %u, Failure Flag: %u", unsigned{f.position_flag}, unsigned{f.failure_flag});
  appendf(out, "\n.\nWeek Number: %u, Fix Time into Week: %u (ms), Time Adjusted for Leap Seconds: %u (ms)",
          unsigned{f.week}, f.fix_time, f.leap_time);
  appendf(out, "\n.\nRx Ref. Count: %u, Positions Count: %u", f.rx_ref, f.positions);
  appendf(out, "\n.\nInitial Latitude: %f (rad), Initial Longitude: %f (rad.), Initial Altitude: %f (m)", f.initial[0],
          f.initial[1], f.initial[2]);
  appendf(out, "\nUnfiltered Latitude: %f (rad), Unfiltered Longitude: %f (rad.), Unfiltered Altitude: %f (m)",
          f.unfiltered[0], f.unfiltered[1], f.unfiltered[2]);
  appendf(out, "\nFiltered Latitude: %f (rad), Filtered Longitude: %f (rad.), Filtered Altitude: %f (m)", f.filtered[0],
          f.filtered[1], f.filtered[2]);
  appendf(out, "\n.\nVelocity East: %f (m/s), Velocity North: %f (m/s), Velocity Up: %f (m/s)", f.velocity[0],
          f.velocity[1], f.velocity[2]);
  appendf(out,
          "\n.\nPosition Uncertainty: %f (m), Latitude Uncertainty: %f (m), Longitude Uncertainty: %f (m), Vertical "
          "Uncertainty: %f (m), Velocity Uncertainty: %f (m/s)",
          f.uncertainty[0], f.uncertainty[1], f.uncertainty[2], f.uncertainty[3], f.uncertainty[4]);
  appendf(out, "\n.\nRx Clock Bias: %f (m), Rx Clock Drift Rate: %f (m/s)", f.clock_bias, f.clock_drift);
  appendf(out, "\n.\nFiltered Alt: %f (m), Alt Sigma: %f (m), Magnetic Deviation from true North: %f (deg)",
          f.filtered_alt, f.alt_sigma, f.magnetic);
  appendf(out, "\n.\nPosition DoP: %f, Horizontal DoP: %f, Vertical DoP: %f", f.dop[0], f.dop[1], f.dop[2]);
  appendf(out, "\n.\nFix Info: %u, Num SVs: %u, Total SVs: %u", unsigned{f.fix_info}, unsigned{f.num_svs},
          unsigned{f.total_svs});
  for (std::size_t i = 0; i < svs; ++i) {
    if (i == 0) out += "\nSV\tIODE\t1/Wgt\tResidual\nPRN\t\t\t(m)";
    appendf(out, "\n%u\t%u\t%.2f\t%.2f", unsigned{prn[i]}, unsigned{iode[i]}, weight[i], residual[i]);
  }
}

// Type 2, assistance data:
//  +off   type   name                          unit
//  +0x11  u32    assist GPS                    ms
//  +0x15  i32    delta time                    ms
//  +0x19  u8     SVs                           list count
//  +0x1A  u8     CDMA system time
//  +0x1B  u8     Doppler included
//  +0x1C  u8     additional Doppler included
//  +0x1D  u8     code phase included
//  +0x1E  u16    reference PN
//  +0x20  u8     azimuth and elevation included
//  +0x2E  14 x n SVs
// SV, 14 bytes:
//   +0    u8     PRN
//   +1    i16    0th-order Doppler
//   +3    i8     1st-order Doppler
//   +4    u16    Doppler search window
//   +6    u16    code phase
//   +8    u8     code periods since the last bit boundary
//   +9    u8     bit number, low two bits
//  +10    u16    code phase search window
//  +12    u8     azimuth
//  +13    u8     elevation
void assistance(Cursor& c, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  constexpr std::size_t kFirst = 0x2E, kSize = 14;
  const std::uint32_t assist_gps = c.u32le();
  const std::int32_t delta = c.i32le();
  const std::uint8_t sv_count = c.u8();
  const std::uint8_t cdma_time = c.u8();
  const std::uint8_t doppler = c.u8();
  const std::uint8_t add_doppler = c.u8();
  const std::uint8_t code_phase = c.u8();
  const std::uint16_t ref_pn = c.u16le();
  const std::uint8_t az_el = c.u8();
  if (!whole(job, c)) return;
  const std::size_t n = bounded(sv_count);
  list_at(c, kFirst, n, kSize);
  if (!whole(job, c)) return;
  std::string& out = msg.details;
  appendf(out, "\n.\nAssist GPS: %u (ms), Delta Time: %d (ms)", assist_gps, delta);
  appendf(out, "\n.\nNumber SVs: %u, CDMA System Time: %u ", unsigned{sv_count}, unsigned{cdma_time});
  appendf(out, "\n.\nDoppler included: %u, Additional Doppler info included: %u ", unsigned{doppler},
          unsigned{add_doppler});
  appendf(out, "\n.\nCode Phase info included: %u, Reference PN: %u ", unsigned{code_phase}, unsigned{ref_pn});
  appendf(out, "\n.\nAzimuth and elevation included: %u ", unsigned{az_el});
  for (std::size_t i = 0; i < n; ++i) {
    Cursor sv = c.record(kSize);
    const std::uint8_t prn = sv.u8();
    const std::int16_t doppler0 = sv.i16le();
    const std::int8_t doppler1 = sv.i8();
    const std::uint16_t doppler_window = sv.u16le();
    const std::uint16_t sv_code_phase = sv.u16le();
    const std::uint8_t periods = sv.u8();
    const std::uint8_t bit_number = sv.u8();
    const std::uint16_t phase_window = sv.u16le();
    const std::uint8_t azimuth = sv.u8();
    const std::uint8_t elevation = sv.u8();
    appendf(out, "\n.\nSV PRN number: %u, 0th order Doppler: %d, ", unsigned{prn}, int{doppler0});
    appendf(out, "1st Order Doppler: %d, Doppler search window: %u", int{doppler1}, unsigned{doppler_window});
    appendf(out, "\nGPS Code Phase: %u, Number of Code periods since the last bit boundary: %u",
            unsigned{sv_code_phase}, unsigned{periods});
    appendf(out,
            "\nTwo least significant bits of bit number (within GPS frame) being transmitted: %u, Code Phase Search "
            "Window: %u ",
            unsigned{bit_number}, unsigned{phase_window});
    appendf(out, "\nAzimuth of SV: %u , Elevation of SV: %u ", unsigned{azimuth}, unsigned{elevation});
  }
}

// Type 3, receiver time:
//  +off   type  name                          unit
//  +0x11  u32   reference counter             ms
//  +0x15  u16   week of the reference counter
//  +0x17  u32   GPS                           ms
//  +0x1B  f32   time bias                     ms
//  +0x1F  f32   time uncertainty
//  +0x23  u16   ms ambiguity                  ms
//  +0x25  f32   frequency bias                m/s
//  +0x29  f32   frequency uncertainty         m/s
void receiver_time(Cursor& c, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  const ReceiverClock k = read_clock(c);
  if (!whole(job, c)) return;
  std::string& out = msg.details;
  appendf(out, "\n.\nReceiver's reference counter: %u (ms), Week Number for Receiver's reference counter: %u (weeks)",
          k.rx_ref, unsigned{k.week});
  appendf(out, "\nGPS: %u (ms), Time Bias: %f (ms) ", k.gps, k.bias);
  appendf(out, "\nTime uncertainty: %f, Msec ambiguity: %u (ms) ", k.uncertainty, unsigned{k.ambiguity});
  append_frequency(out, k);
}

// Type 4, search results:
//  +off   type   name                     unit
//  +0x11  u8     SVs                      list count
//  +0x12  u32    reference counter        ms
//  +0x16  u16    week
//  +0x18  u32    GPS                      ms
//  +0x1C  f32    time bias                ms
//  +0x20  f32    time uncertainty
//  +0x24  u16    ms ambiguity             ms
//  +0x26  f32    frequency bias           m/s
//  +0x2A  f32    frequency uncertainty    m/s
//  +0x43  28 x n SVs
// SV, 28 bytes:
//   +0    u8     PRN
//   +1    u8     search mode
//   +2    u16    status
//   +4    u16    C/N0                     0.01 dB, shown in 0.1 dB truncated
//   +6    u16    C/N0 in 1 Hz             0.01 dB, shown in 0.1 dB truncated
//   +8    f32    sub-ms SV time           ms
//  +12    u32    SV time of week          ms
//  +16    f32    SV time sigma            ms
//  +20    f32    SV speed                 m/s
//  +24    f32    SV speed sigma           m/s
void search_results(Cursor& c, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  constexpr std::size_t kFirst = 0x43, kSize = 28;
  constexpr unsigned kCn0Shown = 10;  // 0.01 dB to the 0.1 dB shown
  const std::uint8_t sv_count = c.u8();
  const ReceiverClock k = read_clock(c);
  if (!whole(job, c)) return;
  const std::size_t n = bounded(sv_count);
  list_at(c, kFirst, n, kSize);
  if (!whole(job, c)) return;
  std::string& out = msg.details;
  appendf(out, "\n.\nNumber of SV's in search results: %u, Receiver's reference counter: %u (ms), ", unsigned{sv_count},
          k.rx_ref);
  appendf(out, "Week Number: %u, GPS: %u (ms) ", unsigned{k.week}, k.gps);
  appendf(out, "\nTime Bias: %f (ms), ", k.bias);
  appendf(out, "Time uncertainty: %f, Msec ambiguity: %u (ms) ", k.uncertainty, unsigned{k.ambiguity});
  append_frequency(out, k);
  for (std::size_t i = 0; i < n; ++i) {
    Cursor sv = c.record(kSize);
    const std::uint8_t prn = sv.u8();
    const std::uint8_t mode = sv.u8();
    const std::uint16_t status = sv.u16le();
    const std::uint16_t cn0 = sv.u16le();
    const std::uint16_t cn0_1hz = sv.u16le();
    const float sub_ms = sv.f32le();
    const std::uint32_t sv_time = sv.u32le();
    const float sv_time_sigma = sv.f32le();
    const float speed = sv.f32le();
    const float speed_sigma = sv.f32le();
    appendf(out, "\n.\nSV PRN Number: %u, Search Mode: %u, ", unsigned{prn}, unsigned{mode});
    appendf(out, "Search results status: %u, Signal to Noise Ratio: %u (0.1 dB/bit) ", unsigned{status},
            cn0 / kCn0Shown);
    appendf(out, "\nSignal to Noise ratio in 1Hz bandwidth: %u (0.1 dB/bit), Sub ms SV time: %f (ms) ",
            cn0_1hz / kCn0Shown, sub_ms);
    appendf(out, "\nSV Time(ms of week): %u (ms), SV Time Uncertainty(sigma): %f (ms), ", sv_time, sv_time_sigma);
    appendf(out, "SV Speed +ve for -ve doppler: %f (m/s), SV Speed Uncertainty(sigma): %f (m/s) ", speed, speed_sigma);
  }
}

// Type 5, SV time differences:
//  +off   type   name                          unit
//  +0x11  u8     scheduling type
//  +0x12  u8     demodulate almanac, ephemeris, time
//  +0x13  u8     reference SV
//  +0x14  u32    reference counter             ms
//  +0x18  u8     SVs                           list count
//  +0x21  18 x n SVs
// SV, 18 bytes:
//   +0    u8     PRN
//   +1    u8     processing flag
//   +2    f32    SV time                       ms
//   +6    f32    one-sided time uncertainty    ms
//  +10    f32    speed                         m/s
//  +14    f32    one-sided speed uncertainty   m/s
void sv_time_differences(Cursor& c, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  constexpr std::size_t kFirst = 0x21, kSize = 18;
  const std::uint8_t scheduling = c.u8();
  const std::uint8_t demodulate = c.u8();
  const std::uint8_t reference_sv = c.u8();
  const std::uint32_t rx_ref = c.u32le();
  const std::uint8_t sv_count = c.u8();
  if (!whole(job, c)) return;
  const std::size_t n = bounded(sv_count);
  list_at(c, kFirst, n, kSize);
  if (!whole(job, c)) return;
  std::string& out = msg.details;
  appendf(out,
          "\n.\nScheduling Type: %u, Demodulate almanac, ephemeris, time: %u, Reference SV for SV time difference: "
          "%u ",
          unsigned{scheduling}, unsigned{demodulate}, unsigned{reference_sv});
  appendf(out, "\n.\nReceiver's reference counter value for SV time difference: %u (ms), Number of SVs: %u ", rx_ref,
          unsigned{sv_count});
  for (std::size_t i = 0; i < n; ++i) {
    Cursor sv = c.record(kSize);
    const std::uint8_t prn = sv.u8();
    const std::uint8_t flag = sv.u8();
    const float time = sv.f32le();
    const float time_sigma = sv.f32le();
    const float speed = sv.f32le();
    const float speed_sigma = sv.f32le();
    appendf(out, "\n.\nSV PRN: %u, SV Processing flag: %u, ", unsigned{prn}, unsigned{flag});
    appendf(out, "SV time: %f (ms), 1 sided difference uncertainty: %f (ms) ", time, time_sigma);
    appendf(out, "\nSV Speed: %f (m/s), 1 sided speed uncertainty: %f (m/s) ", speed, speed_sigma);
  }
}

// Types 6 and 7, ephemeris state:
//  +off   type  name                       unit
//  +0x11  u8    SVs                        list count
//  +0x12  u32   GPS week time of the data  ms
//  +0x1E  n     type 6: u8 PRN missing from the ephemeris
//         2n    type 7: u8 PRN, u8 age     15 min
void ephemeris(Cursor& c, COrbExpandedMessage& msg, bool ages, const cdmadiag::Decoding& job) {
  constexpr std::size_t kFirst = 0x1E;
  const std::size_t size = ages ? 2 : 1;
  const std::uint8_t sv_count = c.u8();
  const std::uint32_t msec = c.u32le();
  if (!whole(job, c)) return;
  const std::size_t n = bounded(sv_count);
  list_at(c, kFirst, n, size);
  if (!whole(job, c)) return;
  std::string& out = msg.details;
  if (ages) {
    appendf(out, "\n.\nNumber of SVs in this log: %u, Msec of the GPS week for ephemeris data: %u (ms) ",
            unsigned{sv_count}, msec);
  } else {
    appendf(out, "\n.\nNumber of SVs in Database: %u, Msec of the GPS week for ephemeris data: %u (ms) ",
            unsigned{sv_count}, msec);
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t prn = c.u8();
    if (ages) {
      const std::uint8_t age = c.u8();
      appendf(out, "\n.\nSV PRN number: %u, Age of SV's ephemeris data: %u (x15min) ", unsigned{prn}, unsigned{age});
    } else {
      appendf(out, "\n.\nPRN of missing SV in ephemeris: %u ", unsigned{prn});
    }
  }
}

}  // namespace

// A record shorter than its fixed fields, or whose list runs past the payload, is refused
// as a whole with the failure text: no line of it is shown and no value written.
void COrbDecodeMsgCDMAQualcommFrame::DecodePositionEngineFullVer2(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                  IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodePositionEngineFullVer2);
  Cursor c(payload());
  const std::uint8_t type = c.u8();
  const std::uint32_t session_count = c.u32le();
  if (!job.check(c)) return;
  assert(c.offset() == kHeaderEnd);
  if (msg.detailsWanted) appendf(msg.details, "Log Type: 0x%02x, GPS Session Count: %u", unsigned{type}, session_count);
  // Every record's fixed fields start at the same place, some way past the header.
  c.seek(kFixedStart);
  if (type == kPositionFix) return position_fix(c, ds, msg, job);
  // The other records are text only.
  if (!msg.detailsWanted) return;
  switch (type) {
    case kAssistance: return assistance(c, msg, job);
    case kReceiverTime: return receiver_time(c, msg, job);
    case kSearchResults: return search_results(c, msg, job);
    case kSvTimeDifferences: return sv_time_differences(c, msg, job);
    case kMissingEphemeris: return ephemeris(c, msg, false, job);
    case kEphemerisAge: return ephemeris(c, msg, true, job);
    default: return;
  }
}
