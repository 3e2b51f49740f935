// The handset's GPS position-engine log packet (code 0x1154): fixes, assistance data,
// receiver time, search results, SV time differences and ephemeris state.
//
// Header, little-endian:  0 u8 record type (1..7), 1 u32 GPS session count.
// Each type continues at 0x11 with the fixed fields listed at its function; the
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

using cdmadiag::kNoBound;

using cdmadiag::appendf;
using cdmadiag::PayloadReader;

constexpr const char* kTitle = "Position Engine Full, Ver 2";
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

// A record list of n entries of size bytes from first: present in full, or refused.
bool list_fits(const PayloadReader& r, std::size_t first, std::size_t n, std::size_t size) {
  return n == 0 || r.has(first, n * size);
}

void refuse(COrbExpandedMessage& msg) {
  if (!msg.detailsWanted) return;
  msg.details += '\n';
  msg.details += cdmadiag::kNotQualcommStandard;
}

// The frequency line that receiver time and search results share.
void append_frequency(std::string& out, const PayloadReader& r, std::size_t bias) {
  appendf(out, "\nFrequency bias (m/s): %f, Frequency uncertainty: %f (m/s) ", r.f32le(bias), r.f32le(bias + 4));
}

// Type 1, position fix:
//  0x11 u16 position flag (bit 0x40 of its low byte: failed fix)  0x13 u16 failure flag
//  0x15 u16 week  0x17 u32 fix time into week ms  0x1B u32 leap-adjusted ms
//  0x1F u32 Rx reference count  0x23 u32 positions count
//  0x27/0x3F/0x57 f64 x3 initial/unfiltered/filtered latitude, longitude (rad), altitude (m)
//  0x6F f32 x3 velocity east, north, up m/s  0x7B f32 x5 uncertainties (m, m, m, m, m/s)
//  0x8F f32 clock bias m  0x93 f32 drift m/s  0x97 f32 filtered alt, alt sigma (m), magnetic deviation (deg)
//  0xA3 f32 x3 position, horizontal, vertical DoP  0xAF u8 fix info, SVs, total SVs
//  0xBA u8[16] PRN  0xCA u8[16] IODE  0xDA f32[16] 1/weight  0x11A f32[16] residual m
void position_fix(const PayloadReader& r, IOrbDataState* ds, COrbExpandedMessage& msg) {
  constexpr std::size_t kPositionFlag = 0x11, kFailureFlag = 0x13, kWeek = 0x15, kFixTime = 0x17, kLeapTime = 0x1B,
                        kRxRef = 0x1F, kPositions = 0x23, kInitial = 0x27, kUnfiltered = 0x3F, kFiltered = 0x57,
                        kVelocity = 0x6F, kUncertainty = 0x7B, kClockBias = 0x8F, kClockDrift = 0x93,
                        kFilteredAlt = 0x97, kAltSigma = 0x9B, kMagnetic = 0x9F, kDop = 0xA3, kFixInfo = 0xAF,
                        kNumSvs = 0xB0, kTotalSvs = 0xB1, kFixedEnd = 0xB2, kPrn = 0xBA, kIode = 0xCA, kWeight = 0xDA,
                        kResidual = 0x11A;
  constexpr std::uint8_t kFailedFix = 0x40;
  if (!r.has(0, kFixedEnd)) return refuse(msg);
  const bool failed = (r.u8(kPositionFlag) & kFailedFix) != 0;
  const std::size_t svs = failed ? 0 : bounded(r.u8(kTotalSvs));
  // The four SV arrays sit at fixed places; the last one bounds them all.
  if (!list_fits(r, kResidual, svs, 4)) return refuse(msg);

  if (!failed && !ds->IsReadOnly()) {
    ds->SetDouble(ATTR_ID_GPSOne_DoP_Position, r.f32le(kDop), 0, kNoBound, 0);
    ds->SetDouble(ATTR_ID_GPSOne_DoP_Horizontal, r.f32le(kDop + 4), 0, kNoBound, 0);
    ds->SetDouble(ATTR_ID_GPSOne_DoP_Vertical, r.f32le(kDop + 8), 0, kNoBound, 0);
  }
  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  appendf(out, "\n.\nPosition Flag: %u, Failure Flag: %u", r.u16le(kPositionFlag), r.u16le(kFailureFlag));
  appendf(out, "\n.\nWeek Number: %u, Fix Time into Week: %u (ms), Time Adjusted for Leap Seconds: %u (ms)",
          r.u16le(kWeek), r.u32le(kFixTime), r.u32le(kLeapTime));
  appendf(out, "\n.\nRx Ref. Count: %u, Positions Count: %u", r.u32le(kRxRef), r.u32le(kPositions));
  appendf(out, "\n.\nInitial Latitude: %f (rad), Initial Longitude: %f (rad.), Initial Altitude: %f (m)",
          r.f64le(kInitial), r.f64le(kInitial + 8), r.f64le(kInitial + 16));
  appendf(out, "\nUnfiltered Latitude: %f (rad), Unfiltered Longitude: %f (rad.), Unfiltered Altitude: %f (m)",
          r.f64le(kUnfiltered), r.f64le(kUnfiltered + 8), r.f64le(kUnfiltered + 16));
  appendf(out, "\nFiltered Latitude: %f (rad), Filtered Longitude: %f (rad.), Filtered Altitude: %f (m)",
          r.f64le(kFiltered), r.f64le(kFiltered + 8), r.f64le(kFiltered + 16));
  appendf(out, "\n.\nVelocity East: %f (m/s), Velocity North: %f (m/s), Velocity Up: %f (m/s)", r.f32le(kVelocity),
          r.f32le(kVelocity + 4), r.f32le(kVelocity + 8));
  appendf(out,
          "\n.\nPosition Uncertainty: %f (m), Latitude Uncertainty: %f (m), Longitude Uncertainty: %f (m), Vertical "
          "Uncertainty: %f (m), Velocity Uncertainty: %f (m/s)",
          r.f32le(kUncertainty), r.f32le(kUncertainty + 4), r.f32le(kUncertainty + 8), r.f32le(kUncertainty + 12),
          r.f32le(kUncertainty + 16));
  appendf(out, "\n.\nRx Clock Bias: %f (m), Rx Clock Drift Rate: %f (m/s)", r.f32le(kClockBias), r.f32le(kClockDrift));
  appendf(out, "\n.\nFiltered Alt: %f (m), Alt Sigma: %f (m), Magnetic Deviation from true North: %f (deg)",
          r.f32le(kFilteredAlt), r.f32le(kAltSigma), r.f32le(kMagnetic));
  appendf(out, "\n.\nPosition DoP: %f, Horizontal DoP: %f, Vertical DoP: %f", r.f32le(kDop), r.f32le(kDop + 4),
          r.f32le(kDop + 8));
  appendf(out, "\n.\nFix Info: %u, Num SVs: %u, Total SVs: %u", r.u8(kFixInfo), r.u8(kNumSvs), r.u8(kTotalSvs));
  for (std::size_t i = 0; i < svs; ++i) {
    if (i == 0) out += "\nSV\tIODE\t1/Wgt\tResidual\nPRN\t\t\t(m)";
    appendf(out, "\n%u\t%u\t%.2f\t%.2f", r.u8(kPrn + i), r.u8(kIode + i), r.f32le(kWeight + 4 * i),
            r.f32le(kResidual + 4 * i));
  }
}

// Type 2, assistance data:
//  0x11 u32 assist GPS ms  0x15 i32 delta time ms  0x19 u8 SVs (list count)  0x1A u8 CDMA system time
//  0x1B u8 Doppler included  0x1C u8 additional Doppler  0x1D u8 code phase included  0x1E u16 reference PN
//  0x20 u8 azimuth/elevation included.  From 0x2E, 14 bytes an SV:
//  +0 u8 PRN  +1 i16 0th-order Doppler  +3 i8 1st-order Doppler  +4 u16 Doppler window  +6 u16 code phase
//  +8 u8 code periods since bit boundary  +9 u8 bit number low bits  +10 u16 code phase window
//  +12 u8 azimuth  +13 u8 elevation
void assistance(const PayloadReader& r, COrbExpandedMessage& msg) {
  constexpr std::size_t kAssistGps = 0x11, kDelta = 0x15, kSvCount = 0x19, kCdmaTime = 0x1A, kDoppler = 0x1B,
                        kAddDoppler = 0x1C, kCodePhase = 0x1D, kRefPn = 0x1E, kAzEl = 0x20, kFixedEnd = 0x21,
                        kFirst = 0x2E, kSize = 14;
  if (!r.has(0, kFixedEnd)) return refuse(msg);
  const std::size_t n = bounded(r.u8(kSvCount));
  if (!list_fits(r, kFirst, n, kSize)) return refuse(msg);
  std::string& out = msg.details;
  appendf(out, "\n.\nAssist GPS: %u (ms), Delta Time: %d (ms)", r.u32le(kAssistGps), r.i32le(kDelta));
  appendf(out, "\n.\nNumber SVs: %u, CDMA System Time: %u ", r.u8(kSvCount), r.u8(kCdmaTime));
  appendf(out, "\n.\nDoppler included: %u, Additional Doppler info included: %u ", r.u8(kDoppler), r.u8(kAddDoppler));
  appendf(out, "\n.\nCode Phase info included: %u, Reference PN: %u ", r.u8(kCodePhase), r.u16le(kRefPn));
  appendf(out, "\n.\nAzimuth and elevation included: %u ", r.u8(kAzEl));
  for (std::size_t i = 0; i < n; ++i) {
    const PayloadReader sv = r.sub(kFirst + i * kSize, kSize);
    appendf(out, "\n.\nSV PRN number: %u, 0th order Doppler: %d, ", sv.u8(0), sv.i16le(1));
    appendf(out, "1st Order Doppler: %d, Doppler search window: %u", sv.i8(3), sv.u16le(4));
    appendf(out, "\nGPS Code Phase: %u, Number of Code periods since the last bit boundary: %u", sv.u16le(6), sv.u8(8));
    appendf(out,
            "\nTwo least significant bits of bit number (within GPS frame) being transmitted: %u, Code Phase Search "
            "Window: %u ",
            sv.u8(9), sv.u16le(10));
    appendf(out, "\nAzimuth of SV: %u , Elevation of SV: %u ", sv.u8(12), sv.u8(13));
  }
}

// Type 3, receiver time:
//  0x11 u32 reference counter ms  0x15 u16 its week  0x17 u32 GPS ms  0x1B f32 time bias ms
//  0x1F f32 time uncertainty  0x23 u16 ms ambiguity  0x25 f32 frequency bias m/s  0x29 f32 its uncertainty
void receiver_time(const PayloadReader& r, COrbExpandedMessage& msg) {
  constexpr std::size_t kRxRef = 0x11, kWeek = 0x15, kGps = 0x17, kBias = 0x1B, kUncertainty = 0x1F, kAmbiguity = 0x23,
                        kFrequency = 0x25, kFixedEnd = 0x2D;
  if (!r.has(0, kFixedEnd)) return refuse(msg);
  std::string& out = msg.details;
  appendf(out, "\n.\nReceiver's reference counter: %u (ms), Week Number for Receiver's reference counter: %u (weeks)",
          r.u32le(kRxRef), r.u16le(kWeek));
  appendf(out, "\nGPS: %u (ms), Time Bias: %f (ms) ", r.u32le(kGps), r.f32le(kBias));
  appendf(out, "\nTime uncertainty: %f, Msec ambiguity: %u (ms) ", r.f32le(kUncertainty), r.u16le(kAmbiguity));
  append_frequency(out, r, kFrequency);
}

// Type 4, search results:
//  0x11 u8 SVs (list count)  0x12 u32 reference counter ms  0x16 u16 week  0x18 u32 GPS ms
//  0x1C f32 time bias ms  0x20 f32 time uncertainty  0x24 u16 ms ambiguity  0x26 f32 frequency bias, 0x2A its
//  uncertainty.  From 0x43, 28 bytes an SV:
//  +0 u8 PRN  +1 u8 search mode  +2 u16 status  +4 u16 C/N0 0.01 dB  +6 u16 C/N0 in 1 Hz 0.01 dB
//  +8 f32 sub-ms SV time  +12 u32 SV time ms of week  +16 f32 its sigma  +20 f32 SV speed  +24 f32 its sigma
// The signal-to-noise values are shown in 0.1 dB, truncated.
void search_results(const PayloadReader& r, COrbExpandedMessage& msg) {
  constexpr std::size_t kSvCount = 0x11, kRxRef = 0x12, kWeek = 0x16, kGps = 0x18, kBias = 0x1C, kUncertainty = 0x20,
                        kAmbiguity = 0x24, kFrequency = 0x26, kFixedEnd = 0x2E, kFirst = 0x43, kSize = 28;
  if (!r.has(0, kFixedEnd)) return refuse(msg);
  const std::size_t n = bounded(r.u8(kSvCount));
  if (!list_fits(r, kFirst, n, kSize)) return refuse(msg);
  std::string& out = msg.details;
  appendf(out, "\n.\nNumber of SV's in search results: %u, Receiver's reference counter: %u (ms), ", r.u8(kSvCount),
          r.u32le(kRxRef));
  appendf(out, "Week Number: %u, GPS: %u (ms) ", r.u16le(kWeek), r.u32le(kGps));
  appendf(out, "\nTime Bias: %f (ms), ", r.f32le(kBias));
  appendf(out, "Time uncertainty: %f, Msec ambiguity: %u (ms) ", r.f32le(kUncertainty), r.u16le(kAmbiguity));
  append_frequency(out, r, kFrequency);
  for (std::size_t i = 0; i < n; ++i) {
    const PayloadReader sv = r.sub(kFirst + i * kSize, kSize);
    appendf(out, "\n.\nSV PRN Number: %u, Search Mode: %u, ", sv.u8(0), sv.u8(1));
    appendf(out, "Search results status: %u, Signal to Noise Ratio: %u (0.1 dB/bit) ", sv.u16le(2), sv.u16le(4) / 10u);
    appendf(out, "\nSignal to Noise ratio in 1Hz bandwidth: %u (0.1 dB/bit), Sub ms SV time: %f (ms) ",
            sv.u16le(6) / 10u, sv.f32le(8));
    appendf(out, "\nSV Time(ms of week): %u (ms), SV Time Uncertainty(sigma): %f (ms), ", sv.u32le(12), sv.f32le(16));
    appendf(out, "SV Speed +ve for -ve doppler: %f (m/s), SV Speed Uncertainty(sigma): %f (m/s) ", sv.f32le(20),
            sv.f32le(24));
  }
}

// Type 5, SV time differences:
//  0x11 u8 scheduling type  0x12 u8 demodulation  0x13 u8 reference SV  0x14 u32 reference counter ms
//  0x18 u8 SVs (list count).  From 0x21, 18 bytes an SV:
//  +0 u8 PRN  +1 u8 processing flag  +2 f32 SV time ms  +6 f32 one-sided uncertainty ms
//  +10 f32 speed m/s  +14 f32 one-sided speed uncertainty m/s
void sv_time_differences(const PayloadReader& r, COrbExpandedMessage& msg) {
  constexpr std::size_t kScheduling = 0x11, kDemodulate = 0x12, kReferenceSv = 0x13, kRxRef = 0x14, kSvCount = 0x18,
                        kFixedEnd = 0x19, kFirst = 0x21, kSize = 18;
  if (!r.has(0, kFixedEnd)) return refuse(msg);
  const std::size_t n = bounded(r.u8(kSvCount));
  if (!list_fits(r, kFirst, n, kSize)) return refuse(msg);
  std::string& out = msg.details;
  appendf(out,
          "\n.\nScheduling Type: %u, Demodulate almanac, ephemeris, time: %u, Reference SV for SV time difference: "
          "%u ",
          r.u8(kScheduling), r.u8(kDemodulate), r.u8(kReferenceSv));
  appendf(out, "\n.\nReceiver's reference counter value for SV time difference: %u (ms), Number of SVs: %u ",
          r.u32le(kRxRef), r.u8(kSvCount));
  for (std::size_t i = 0; i < n; ++i) {
    const PayloadReader sv = r.sub(kFirst + i * kSize, kSize);
    appendf(out, "\n.\nSV PRN: %u, SV Processing flag: %u, ", sv.u8(0), sv.u8(1));
    appendf(out, "SV time: %f (ms), 1 sided difference uncertainty: %f (ms) ", sv.f32le(2), sv.f32le(6));
    appendf(out, "\nSV Speed: %f (m/s), 1 sided speed uncertainty: %f (m/s) ", sv.f32le(10), sv.f32le(14));
  }
}

// Types 6 and 7, ephemeris state:
//  0x11 u8 SVs (list count)  0x12 u32 ms of the GPS week of the ephemeris data.
//  From 0x1E: type 6 one byte an SV (PRN missing from the ephemeris);
//             type 7 two bytes an SV (PRN, age in units of 15 minutes).
void ephemeris(const PayloadReader& r, COrbExpandedMessage& msg, bool ages) {
  constexpr std::size_t kSvCount = 0x11, kMsec = 0x12, kFixedEnd = 0x16, kFirst = 0x1E;
  const std::size_t size = ages ? 2 : 1;
  if (!r.has(0, kFixedEnd)) return refuse(msg);
  const std::size_t n = bounded(r.u8(kSvCount));
  if (!list_fits(r, kFirst, n, size)) return refuse(msg);
  std::string& out = msg.details;
  if (ages) {
    appendf(out, "\n.\nNumber of SVs in this log: %u, Msec of the GPS week for ephemeris data: %u (ms) ",
            r.u8(kSvCount), r.u32le(kMsec));
  } else {
    appendf(out, "\n.\nNumber of SVs in Database: %u, Msec of the GPS week for ephemeris data: %u (ms) ",
            r.u8(kSvCount), r.u32le(kMsec));
  }
  for (std::size_t i = 0; i < n; ++i) {
    if (ages) {
      appendf(out, "\n.\nSV PRN number: %u, Age of SV's ephemeris data: %u (x15min) ", r.u8(kFirst + 2 * i),
              r.u8(kFirst + 2 * i + 1));
    } else {
      appendf(out, "\n.\nPRN of missing SV in ephemeris: %u ", r.u8(kFirst + i));
    }
  }
}

}  // namespace

// A record shorter than its fixed fields, or whose list runs past the payload, is refused
// as a whole with the failure text: no line of it is shown and no value written.
void COrbDecodeMsgCDMAQualcommFrame::DecodePositionEngineFullVer2(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                  IDekCellRefs_Search*) {
  if (msg.titleWanted) msg.title = kTitle;
  const PayloadReader r(GetBuf(), GetLen());
  if (!r.has(0, kHeaderEnd)) {
    if (msg.detailsWanted) msg.details += cdmadiag::kNotQualcommStandard;
    return;
  }
  const std::uint8_t type = r.u8(kType);
  if (msg.detailsWanted) appendf(msg.details, "Log Type: 0x%02x, GPS Session Count: %u", type, r.u32le(kSessionCount));
  if (type == kPositionFix) return position_fix(r, ds, msg);
  // The other records are text only.
  if (!msg.detailsWanted) return;
  switch (type) {
    case kAssistance: return assistance(r, msg);
    case kReceiverTime: return receiver_time(r, msg);
    case kSearchResults: return search_results(r, msg);
    case kSvTimeDifferences: return sv_time_differences(r, msg);
    case kMissingEphemeris: return ephemeris(r, msg, false);
    case kEphemerisAge: return ephemeris(r, msg, true);
    default: return;
  }
}
