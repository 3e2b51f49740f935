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
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/failure_texts.h"
#include "framework/payload_reader.h"
#include "framework/text.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::PayloadReader;

constexpr std::size_t kType = 0, kSessionCount = 1, kHeaderEnd = 5;
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

// The frequency line that receiver time and search results share: f32 bias, f32 its
// uncertainty, both m/s.
void append_frequency(std::string& out, const PayloadReader& r, std::size_t bias) {
  constexpr std::size_t kUncertainty = 4;
  appendf(out, "\nFrequency bias (m/s): %f, Frequency uncertainty: %f (m/s) ", r.f32le(bias),
          r.f32le(bias + kUncertainty));
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
void position_fix(const PayloadReader& r, IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  constexpr std::size_t kPositionFlag = 0x11, kFailureFlag = 0x13, kWeek = 0x15, kFixTime = 0x17, kLeapTime = 0x1B,
                        kRxRef = 0x1F, kPositions = 0x23, kInitial = 0x27, kUnfiltered = 0x3F, kFiltered = 0x57,
                        kVelocity = 0x6F, kUncertainty = 0x7B, kClockBias = 0x8F, kClockDrift = 0x93,
                        kFilteredAlt = 0x97, kAltSigma = 0x9B, kMagnetic = 0x9F, kDop = 0xA3, kHorizontalDop = 0xA7,
                        kVerticalDop = 0xAB, kFixInfo = 0xAF, kNumSvs = 0xB0, kTotalSvs = 0xB1, kFixedEnd = 0xB2,
                        kPrn = 0xBA, kIode = 0xCA, kWeight = 0xDA, kResidual = 0x11A;
  // Inside a position triple, and the element sizes of the f32 groups and lists.
  constexpr std::size_t kLatitude = 0, kLongitude = 8, kAltitude = 16, kF32 = 4;
  constexpr std::uint8_t kFailedFix = 0x40;
  if (!job.require(r, kFixedEnd, kRefused)) return;
  const bool failed = (r.u8(kPositionFlag) & kFailedFix) != 0;
  const std::size_t svs = failed ? 0 : bounded(r.u8(kTotalSvs));
  // The four SV arrays sit at fixed places; the last one bounds them all.
  if (!job.require(r.tail(kResidual), svs * kF32, kRefused)) return;

  if (!failed) {
    const cdmadiag::AttrWriter w(ds);
    w.Double(ATTR_ID_GPSOne_DoP_Position, r.f32le(kDop));
    w.Double(ATTR_ID_GPSOne_DoP_Horizontal, r.f32le(kHorizontalDop));
    w.Double(ATTR_ID_GPSOne_DoP_Vertical, r.f32le(kVerticalDop));
  }
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\n.\nPosition Flag: %u, Failure Flag: %u", r.u16le(kPositionFlag), r.u16le(kFailureFlag));
  appendf(out, "\n.\nWeek Number: %u, Fix Time into Week: %u (ms), Time Adjusted for Leap Seconds: %u (ms)",
          r.u16le(kWeek), r.u32le(kFixTime), r.u32le(kLeapTime));
  appendf(out, "\n.\nRx Ref. Count: %u, Positions Count: %u", r.u32le(kRxRef), r.u32le(kPositions));
  appendf(out, "\n.\nInitial Latitude: %f (rad), Initial Longitude: %f (rad.), Initial Altitude: %f (m)",
          r.f64le(kInitial + kLatitude), r.f64le(kInitial + kLongitude), r.f64le(kInitial + kAltitude));
  appendf(out, "\nUnfiltered Latitude: %f (rad), Unfiltered Longitude: %f (rad.), Unfiltered Altitude: %f (m)",
          r.f64le(kUnfiltered + kLatitude), r.f64le(kUnfiltered + kLongitude), r.f64le(kUnfiltered + kAltitude));
  appendf(out, "\nFiltered Latitude: %f (rad), Filtered Longitude: %f (rad.), Filtered Altitude: %f (m)",
          r.f64le(kFiltered + kLatitude), r.f64le(kFiltered + kLongitude), r.f64le(kFiltered + kAltitude));
  appendf(out, "\n.\nVelocity East: %f (m/s), Velocity North: %f (m/s), Velocity Up: %f (m/s)", r.f32le(kVelocity),
          r.f32le(kVelocity + kF32), r.f32le(kVelocity + 2 * kF32));
  appendf(out,
          "\n.\nPosition Uncertainty: %f (m), Latitude Uncertainty: %f (m), Longitude Uncertainty: %f (m), Vertical "
          "Uncertainty: %f (m), Velocity Uncertainty: %f (m/s)",
          r.f32le(kUncertainty), r.f32le(kUncertainty + kF32), r.f32le(kUncertainty + 2 * kF32),
          r.f32le(kUncertainty + 3 * kF32), r.f32le(kUncertainty + 4 * kF32));
  appendf(out, "\n.\nRx Clock Bias: %f (m), Rx Clock Drift Rate: %f (m/s)", r.f32le(kClockBias), r.f32le(kClockDrift));
  appendf(out, "\n.\nFiltered Alt: %f (m), Alt Sigma: %f (m), Magnetic Deviation from true North: %f (deg)",
          r.f32le(kFilteredAlt), r.f32le(kAltSigma), r.f32le(kMagnetic));
  appendf(out, "\n.\nPosition DoP: %f, Horizontal DoP: %f, Vertical DoP: %f", r.f32le(kDop), r.f32le(kHorizontalDop),
          r.f32le(kVerticalDop));
  appendf(out, "\n.\nFix Info: %u, Num SVs: %u, Total SVs: %u", r.u8(kFixInfo), r.u8(kNumSvs), r.u8(kTotalSvs));
  for (std::size_t i = 0; i < svs; ++i) {
    if (i == 0) out += "\nSV\tIODE\t1/Wgt\tResidual\nPRN\t\t\t(m)";
    appendf(out, "\n%u\t%u\t%.2f\t%.2f", r.u8(kPrn + i), r.u8(kIode + i), r.f32le(kWeight + kF32 * i),
            r.f32le(kResidual + kF32 * i));
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
void assistance(const PayloadReader& r, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  constexpr std::size_t kAssistGps = 0x11, kDelta = 0x15, kSvCount = 0x19, kCdmaTime = 0x1A, kDoppler = 0x1B,
                        kAddDoppler = 0x1C, kCodePhase = 0x1D, kRefPn = 0x1E, kAzEl = 0x20, kFixedEnd = 0x21,
                        kFirst = 0x2E, kSize = 14;
  constexpr std::size_t kPrn = 0, kDoppler0 = 1, kDoppler1 = 3, kDopplerWindow = 4, kSvCodePhase = 6, kPeriods = 8,
                        kBitNumber = 9, kCodePhaseWindow = 10, kAzimuth = 12, kElevation = 13;
  if (!job.require(r, kFixedEnd, kRefused)) return;
  const std::size_t n = bounded(r.u8(kSvCount));
  if (!job.require(r.tail(kFirst), n * kSize, kRefused)) return;
  std::string& out = msg.details;
  appendf(out, "\n.\nAssist GPS: %u (ms), Delta Time: %d (ms)", r.u32le(kAssistGps), r.i32le(kDelta));
  appendf(out, "\n.\nNumber SVs: %u, CDMA System Time: %u ", r.u8(kSvCount), r.u8(kCdmaTime));
  appendf(out, "\n.\nDoppler included: %u, Additional Doppler info included: %u ", r.u8(kDoppler), r.u8(kAddDoppler));
  appendf(out, "\n.\nCode Phase info included: %u, Reference PN: %u ", r.u8(kCodePhase), r.u16le(kRefPn));
  appendf(out, "\n.\nAzimuth and elevation included: %u ", r.u8(kAzEl));
  for (std::size_t i = 0; i < n; ++i) {
    const PayloadReader sv = r.sub(kFirst + i * kSize, kSize);
    appendf(out, "\n.\nSV PRN number: %u, 0th order Doppler: %d, ", sv.u8(kPrn), sv.i16le(kDoppler0));
    appendf(out, "1st Order Doppler: %d, Doppler search window: %u", sv.i8(kDoppler1), sv.u16le(kDopplerWindow));
    appendf(out, "\nGPS Code Phase: %u, Number of Code periods since the last bit boundary: %u", sv.u16le(kSvCodePhase),
            sv.u8(kPeriods));
    appendf(out,
            "\nTwo least significant bits of bit number (within GPS frame) being transmitted: %u, Code Phase Search "
            "Window: %u ",
            sv.u8(kBitNumber), sv.u16le(kCodePhaseWindow));
    appendf(out, "\nAzimuth of SV: %u , Elevation of SV: %u ", sv.u8(kAzimuth), sv.u8(kElevation));
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
void receiver_time(const PayloadReader& r, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  constexpr std::size_t kRxRef = 0x11, kWeek = 0x15, kGps = 0x17, kBias = 0x1B, kUncertainty = 0x1F, kAmbiguity = 0x23,
                        kFrequency = 0x25, kFixedEnd = 0x2D;
  if (!job.require(r, kFixedEnd, kRefused)) return;
  std::string& out = msg.details;
  appendf(out, "\n.\nReceiver's reference counter: %u (ms), Week Number for Receiver's reference counter: %u (weeks)",
          r.u32le(kRxRef), r.u16le(kWeek));
  appendf(out, "\nGPS: %u (ms), Time Bias: %f (ms) ", r.u32le(kGps), r.f32le(kBias));
  appendf(out, "\nTime uncertainty: %f, Msec ambiguity: %u (ms) ", r.f32le(kUncertainty), r.u16le(kAmbiguity));
  append_frequency(out, r, kFrequency);
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
void search_results(const PayloadReader& r, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  constexpr std::size_t kSvCount = 0x11, kRxRef = 0x12, kWeek = 0x16, kGps = 0x18, kBias = 0x1C, kUncertainty = 0x20,
                        kAmbiguity = 0x24, kFrequency = 0x26, kFixedEnd = 0x2E, kFirst = 0x43, kSize = 28;
  constexpr std::size_t kPrn = 0, kMode = 1, kStatus = 2, kCn0 = 4, kCn0In1Hz = 6, kSubMs = 8, kSvTime = 12,
                        kSvTimeSigma = 16, kSpeed = 20, kSpeedSigma = 24;
  constexpr unsigned kCn0Shown = 10;  // 0.01 dB to the 0.1 dB shown
  if (!job.require(r, kFixedEnd, kRefused)) return;
  const std::size_t n = bounded(r.u8(kSvCount));
  if (!job.require(r.tail(kFirst), n * kSize, kRefused)) return;
  std::string& out = msg.details;
  appendf(out, "\n.\nNumber of SV's in search results: %u, Receiver's reference counter: %u (ms), ", r.u8(kSvCount),
          r.u32le(kRxRef));
  appendf(out, "Week Number: %u, GPS: %u (ms) ", r.u16le(kWeek), r.u32le(kGps));
  appendf(out, "\nTime Bias: %f (ms), ", r.f32le(kBias));
  appendf(out, "Time uncertainty: %f, Msec ambiguity: %u (ms) ", r.f32le(kUncertainty), r.u16le(kAmbiguity));
  append_frequency(out, r, kFrequency);
  for (std::size_t i = 0; i < n; ++i) {
    const PayloadReader sv = r.sub(kFirst + i * kSize, kSize);
    appendf(out, "\n.\nSV PRN Number: %u, Search Mode: %u, ", sv.u8(kPrn), sv.u8(kMode));
    appendf(out, "Search results status: %u, Signal to Noise Ratio: %u (0.1 dB/bit) ", sv.u16le(kStatus),
            sv.u16le(kCn0) / kCn0Shown);
    appendf(out, "\nSignal to Noise ratio in 1Hz bandwidth: %u (0.1 dB/bit), Sub ms SV time: %f (ms) ",
            sv.u16le(kCn0In1Hz) / kCn0Shown, sv.f32le(kSubMs));
    appendf(out, "\nSV Time(ms of week): %u (ms), SV Time Uncertainty(sigma): %f (ms), ", sv.u32le(kSvTime),
            sv.f32le(kSvTimeSigma));
    appendf(out, "SV Speed +ve for -ve doppler: %f (m/s), SV Speed Uncertainty(sigma): %f (m/s) ", sv.f32le(kSpeed),
            sv.f32le(kSpeedSigma));
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
void sv_time_differences(const PayloadReader& r, COrbExpandedMessage& msg, const cdmadiag::Decoding& job) {
  constexpr std::size_t kScheduling = 0x11, kDemodulate = 0x12, kReferenceSv = 0x13, kRxRef = 0x14, kSvCount = 0x18,
                        kFixedEnd = 0x19, kFirst = 0x21, kSize = 18;
  constexpr std::size_t kPrn = 0, kFlag = 1, kTime = 2, kTimeSigma = 6, kSpeed = 10, kSpeedSigma = 14;
  if (!job.require(r, kFixedEnd, kRefused)) return;
  const std::size_t n = bounded(r.u8(kSvCount));
  if (!job.require(r.tail(kFirst), n * kSize, kRefused)) return;
  std::string& out = msg.details;
  appendf(out,
          "\n.\nScheduling Type: %u, Demodulate almanac, ephemeris, time: %u, Reference SV for SV time difference: "
          "%u ",
          r.u8(kScheduling), r.u8(kDemodulate), r.u8(kReferenceSv));
  appendf(out, "\n.\nReceiver's reference counter value for SV time difference: %u (ms), Number of SVs: %u ",
          r.u32le(kRxRef), r.u8(kSvCount));
  for (std::size_t i = 0; i < n; ++i) {
    const PayloadReader sv = r.sub(kFirst + i * kSize, kSize);
    appendf(out, "\n.\nSV PRN: %u, SV Processing flag: %u, ", sv.u8(kPrn), sv.u8(kFlag));
    appendf(out, "SV time: %f (ms), 1 sided difference uncertainty: %f (ms) ", sv.f32le(kTime), sv.f32le(kTimeSigma));
    appendf(out, "\nSV Speed: %f (m/s), 1 sided speed uncertainty: %f (m/s) ", sv.f32le(kSpeed), sv.f32le(kSpeedSigma));
  }
}

// Types 6 and 7, ephemeris state:
//  +off   type  name                       unit
//  +0x11  u8    SVs                        list count
//  +0x12  u32   GPS week time of the data  ms
//  +0x1E  n     type 6: u8 PRN missing from the ephemeris
//         2n    type 7: u8 PRN, u8 age     15 min
void ephemeris(const PayloadReader& r, COrbExpandedMessage& msg, bool ages, const cdmadiag::Decoding& job) {
  constexpr std::size_t kSvCount = 0x11, kMsec = 0x12, kFixedEnd = 0x16, kFirst = 0x1E;
  constexpr std::size_t kPrn = 0, kAge = 1;
  const std::size_t size = ages ? 2 : 1;
  if (!job.require(r, kFixedEnd, kRefused)) return;
  const std::size_t n = bounded(r.u8(kSvCount));
  if (!job.require(r.tail(kFirst), n * size, kRefused)) return;
  std::string& out = msg.details;
  if (ages) {
    appendf(out, "\n.\nNumber of SVs in this log: %u, Msec of the GPS week for ephemeris data: %u (ms) ",
            r.u8(kSvCount), r.u32le(kMsec));
  } else {
    appendf(out, "\n.\nNumber of SVs in Database: %u, Msec of the GPS week for ephemeris data: %u (ms) ",
            r.u8(kSvCount), r.u32le(kMsec));
  }
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t at = kFirst + size * i;
    if (ages) {
      appendf(out, "\n.\nSV PRN number: %u, Age of SV's ephemeris data: %u (x15min) ", r.u8(at + kPrn),
              r.u8(at + kAge));
    } else {
      appendf(out, "\n.\nPRN of missing SV in ephemeris: %u ", r.u8(at + kPrn));
    }
  }
}

}  // namespace

// A record shorter than its fixed fields, or whose list runs past the payload, is refused
// as a whole with the failure text: no line of it is shown and no value written.
void COrbDecodeMsgCDMAQualcommFrame::DecodePositionEngineFullVer2(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                  IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodePositionEngineFullVer2);
  const PayloadReader r = payload();
  if (!job.require(r, kHeaderEnd)) return;
  const std::uint8_t type = r.u8(kType);
  if (msg.detailsWanted) appendf(msg.details, "Log Type: 0x%02x, GPS Session Count: %u", type, r.u32le(kSessionCount));
  if (type == kPositionFix) return position_fix(r, ds, msg, job);
  // The other records are text only.
  if (!msg.detailsWanted) return;
  switch (type) {
    case kAssistance: return assistance(r, msg, job);
    case kReceiverTime: return receiver_time(r, msg, job);
    case kSearchResults: return search_results(r, msg, job);
    case kSvTimeDifferences: return sv_time_differences(r, msg, job);
    case kMissingEphemeris: return ephemeris(r, msg, false, job);
    case kEphemerisAge: return ephemeris(r, msg, true, job);
    default: return;
  }
}
