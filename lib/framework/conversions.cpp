// Measurement conversions and display helpers of the 1x decoder class: raw handset
// counts to engineering units, pilot ranking, IS-95 IMSI digits and short code texts.
// The constants are kept exactly as written (0.08333 rather than 1/12, the 30.61 and
// 24.6 dB offsets): the values must match digit for digit.
#include <array>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <string>
#include <utility>

#include "framework/decoder_1x.h"
#include "framework/payload_reader.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::name_or;

constexpr double kOneThird = 1.0 / 3.0;  // the double nearest 1/3
constexpr double kAgcOffset = 63.248;    // dBm at AGC 0, band classes other than 2
constexpr double kAgcOffsetBand2 = 66.248;
constexpr double kTxAgcStep = 0.08333;  // as written, not 1/12
constexpr double kTxAgcOffset = 52.25;
constexpr double kTxAgcOffsetBand2 = 55.25;
constexpr double kPilotRssiOffset = 30.61;
constexpr double kPilotRssiOffsetIs2000 = 24.6;
constexpr double kRssiToLinear = 1.3563368055555555e-05;  // 1 / 73728
constexpr double kLinearFloor = 1e-05;                    // -50 dB, the weakest pilot shown

// Maximum transmit power by station class (0..3), dBm.
constexpr std::array<double, 4> kMaxTxBand1 = {36.02, 32.04, 27.78, 0.0};
constexpr std::array<double, 4> kMaxTxBand2 = {31.0, 27.0, 23.0, 19.0};
constexpr double kMaxTxUnknownBand = 999.0;

// Analog power level 2..7, dBm; levels 0 and 1 depend on the station class.
constexpr std::array<float, 8> kAnalogPowerLevel = {0.0f, 0.0f, 28.0f, 24.0f, 20.0f, 16.0f, 12.0f, 8.0f};

constexpr const char* kNoPn = " - ";
constexpr const char* kNoEcIo = "-.-";
constexpr const char* kYes = "y";
constexpr const char* kNo = "n";

constexpr std::array<ValueName, 4> kTdModes = {{{0, "None"}, {1, "Rsvd"}, {2, "OTD"}, {3, "STS"}}};
constexpr const char* kTdModeUnknown = " - ";

constexpr std::array<ValueName, 4> kTdPowers = {{{0, "-9"}, {1, "-6"}, {2, "-3"}, {3, "0"}}};
constexpr const char* kTdPowerUnknown = "-.-";

constexpr std::array<ValueName, 5> kSchRates = {{{0, "1x"}, {1, "2x"}, {2, "4x"}, {3, "8x"}, {4, "16x"}}};
constexpr const char* kSchRateUnknown = "";

constexpr std::array<ValueName, 7> kVocoderRates = {{
    {0, "Vocoder rate was blanked"},
    {1, "Rate 1/8 data"},
    {2, "Rate 1/4 data"},
    {3, "Rate 1/2 data"},
    {4, "Rate 1 data"},
    {14, "Frame erasuer"},
    {15, "Invalid vocoder data"},
}};
constexpr const char* kVocoderRateUnknown = "unknown";

constexpr std::array<ValueName, 16> kFchRatesAllowed = {{
    {0, "no rates allowed"},
    {1, "full rate allowed"},
    {2, "1/2 rate allowed"},
    {3, "full & 1/2 rates allowed"},
    {4, "1/4 rate allowed"},
    {5, "full & 1/4 rates allowed"},
    {6, "1/2 & 1/4 rates allowed"},
    {7, "full, 1/2 & 1/4 rates allowed"},
    {8, "1/8 rate allowed"},
    {9, "full & 1/8 rates allowed"},
    {10, "1/2 & 1/8 rates allowed"},
    {11, "full, 1/2 & 1/8 rates allowed"},
    {12, "1/4 & 1/8 rates allowed"},
    {13, "full, 1/4 & 1/8 rates allowed"},
    {14, "1/2, 1/4 & 1/8 rates allowed"},
    {15, "all rates allowed"},
}};
constexpr const char* kFchRatesUnknown = "unknown";

// One bit each; both 0x8 and 0x400 are the quick paging channel.
constexpr std::array<ValueName, 17> kSupportedChannels = {{
    {0x1, "PCH"},
    {0x2, "BCCH"},
    {0x4, "CCCH"},
    {0x8, "QPCH"},
    {0x10, "FCH"},
    {0x20, "DCCH"},
    {0x40, "SCCH"},
    {0x80, "SCH"},
    {0x100, "PDCCH0"},
    {0x200, "PDCCH1"},
    {0x400, "QPCH"},
    {0x800, "GCH0"},
    {0x1000, "GCH1"},
    {0x2000, "RCCH"},
    {0x4000, "ACKCH"},
    {0x8000, "CPCCH"},
    {0x10000, "CACH"},
}};

constexpr std::array<ValueName, 23> kEnabledChannels = {{
    {0x1, "PCH"},        {0x2, "PBCCH"},      {0x4, "SBCCH1"},    {0x8, "SBCCH2"},   {0x10, "SBCCH3"},
    {0x20, "SBCCH4"},    {0x40, "SBCCH5"},    {0x80, "SBCCH6"},   {0x100, "SBCCH7"}, {0x200, "FCCCH"},
    {0x400, "QPCH"},     {0x800, "FCH"},      {0x1000, "DCCH"},   {0x2000, "SCCH"},  {0x4000, "SCH"},
    {0x8000, "PDCCH0"},  {0x10000, "PDCCH1"}, {0x20000, "GCH0"},  {0x40000, "GCH1"}, {0x80000, "RCCH"},
    {0x100000, "ACKCH"}, {0x200000, "CPCCH"}, {0x400000, "CACH"},
}};
constexpr const char* kChannelUnknown = " - ";

struct AcqLabels {
  const char* first;
  const char* second;
  const char* third;
};
struct AcqStep {
  std::uint8_t step;
  AcqLabels labels;
};

// Label sets shared by several acquisition steps.
constexpr AcqLabels kVerifyRssiCheck = {"Verify RSSI Check", "High Resolution RSSI", "n/a"};
constexpr AcqLabels kFreqErrorCheck = {"Freq Error Check", "VCO Acc", "Rot Acc"};
constexpr AcqLabels kAcqReserved = {"Reserved", "Reserved", "Reserved"};

constexpr std::array<AcqStep, 20> kAcqSteps = {{
    {1, {"Attempt Type", "Freq Mode", "Freq Bin"}},
    {2, {"Next Bin", "Freq Mode", "Freq Bin"}},
    {16, {"Ready", "Acq Mode", "Antenna Configuration"}},
    {17, {"Tune", "CDMA Band Class", "CDMA Channel"}},
    {18, {"Rx AGC Check", "Rx AGC Value", "Rx AGC Threshold"}},
    {32, {"Detect/Dwell Info", "Detect Peak Eng Threshold", "Dwell Peak Eng Threshold"}},
    {33, {"Detect LGP", "LGP Pilot", "Num Detect LGP Peaks Passed"}},
    {34, {"Detect", "Num Detect Searches", "Num Detect Peaks Passed"}},
    {48, {"Dwell", "Num Dwell Searches", "Num Dwell Peaks Passed"}},
    {64, {"Verify", "Num Fingers Assigned", "RSSI Threshold"}},
    {65, kVerifyRssiCheck},
    {80, {"Acq Mode Pullin", "RSSI Hysteresis", "Freq Error Delta Threshold"}},
    {81, kFreqErrorCheck},
    {82, kVerifyRssiCheck},
    {96, {"Trk Mode Pullin", "RSSI Hysteresis", "Freq Error Delta Threshold"}},
    {97, kFreqErrorCheck},
    {98, kVerifyRssiCheck},
    {99, {"Rotator Transfer Check", "Rotator Transfer Threshold", "Post Transfer VCO Acc"}},
    {112, {"Success", "ACQ Success Time", "n/a"}},
    {128, {"Failure", "ACQ Failure Time", "Num Failures Since Last Success"}},
}};

constexpr int kMaxUniquePilots = 10;        // more entries than a report holds: refuse to count
constexpr std::size_t kImsiBlockSize = 12;  // two IMSI_S1 words and two IMSI_S2 words

}  // namespace

double COrbDecodeMsgCDMAQualcommFrame::AGC_VAL2dBm(std::int8_t v, int band) {
  return v * kOneThird - (band == 2 ? kAgcOffsetBand2 : kAgcOffset);
}

double COrbDecodeMsgCDMAQualcommFrame::AGC_VAL2dBm(std::int16_t v) { return v * kOneThird - kAgcOffset; }

double COrbDecodeMsgCDMAQualcommFrame::AGCTxPwr_dBm(std::uint8_t v, int band) {
  return v * 4.0 * kTxAgcStep - (band == 2 ? kTxAgcOffsetBand2 : kTxAgcOffset);
}

double COrbDecodeMsgCDMAQualcommFrame::POWER_CTL_VAL2dB(std::int8_t v) { return -(v * 0.5); }

double COrbDecodeMsgCDMAQualcommFrame::MaxTxPwr_dBm(std::int8_t power_class, int band) {
  const unsigned c = static_cast<unsigned>(power_class < 0 ? 0 : power_class) & 3u;
  if (band == 1) return kMaxTxBand1[c];
  if (band == 2) return kMaxTxBand2[c];
  return kMaxTxUnknownBand;
}

double COrbDecodeMsgCDMAQualcommFrame::EstMsTxPwr_dBm(double rx, double adj, int band, double max_tx) {
  const double x = adj - (rx + (band == 1 ? 73.0 : 76.0));
  return x <= max_tx ? x : max_tx;
}

std::uint16_t COrbDecodeMsgCDMAQualcommFrame::ProcessTX_PWR_LIMIT(std::int8_t v) {
  return static_cast<std::uint16_t>(static_cast<std::uint8_t>(v) << 8);
}

float COrbDecodeMsgCDMAQualcommFrame::AnaPowLevIdx2dBm(std::uint8_t level, std::uint8_t station_class) {
  const unsigned k = station_class & 3u;
  if (level == 0) return k == 0 ? 36.0f : k == 1 ? 32.0f : 28.0f;
  if (level == 1) return k == 2 ? 28.0f : 32.0f;
  return level < kAnalogPowerLevel.size() ? kAnalogPowerLevel[level] : 0.0f;
}

double COrbDecodeMsgCDMAQualcommFrame::PilotRSSI2dB(std::uint16_t r) {
  return r == 0 ? 0.0 : 10.0 * std::log10(static_cast<double>(r)) - kPilotRssiOffset;
}

double COrbDecodeMsgCDMAQualcommFrame::PilotRSSI2dB_IS2000Version(std::uint16_t r) {
  return r == 0 ? 0.0 : 10.0 * std::log10(static_cast<double>(r)) - kPilotRssiOffsetIs2000;
}

double COrbDecodeMsgCDMAQualcommFrame::PilotRSSI2dBwithGpf(std::uint16_t r, double g) {
  const double v = r * kRssiToLinear - g;
  return v > kLinearFloor ? v : kLinearFloor;
}

double COrbDecodeMsgCDMAQualcommFrame::PeakEnergy2EcIo(std::uint16_t e, double scale, double offset) {
  const double v = e * scale - offset;
  return v > kLinearFloor ? v : kLinearFloor;
}

void COrbDecodeMsgCDMAQualcommFrame::ComputeEnergyRanking(int n, const std::uint16_t* energies, int* rank) {
  if (n <= 0) return;
  assert(energies != nullptr && rank != nullptr);
  for (int i = 0; i < n; ++i) rank[i] = i;
  for (int i = 0; i < n; ++i) {
    for (int j = i + 1; j < n; ++j) {
      if (energies[rank[j]] > energies[rank[i]]) std::swap(rank[i], rank[j]);
    }
  }
}

// Only places 0..2 exist; any other n answers -1 instead of reading past the order.
int COrbDecodeMsgCDMAQualcommFrame::IndexNthBestPilot(int n, const std::uint8_t* values) {
  if (n < 0 || n > 2) return -1;
  assert(values != nullptr);
  std::array<int, 3> order = {0, 1, 2};
  for (int i = 0; i < 3; ++i) {
    for (int j = i + 1; j < 3; ++j) {
      if (values[order[j]] > values[order[i]]) std::swap(order[i], order[j]);
    }
  }
  return order[n];
}

std::uint8_t COrbDecodeMsgCDMAQualcommFrame::NumUniquePilots(const std::uint16_t* strengths, const std::uint16_t* pns,
                                                             int n) {
  if (n > kMaxUniquePilots || n <= 0) return 0;
  assert(strengths != nullptr && pns != nullptr);
  std::uint8_t unique = 0;
  for (int i = 0; i < n; ++i) {
    if (strengths[i] == 0) continue;
    bool seen = false;
    for (int j = 0; j < i && !seen; ++j) seen = strengths[j] != 0 && pns[j] == pns[i];
    if (!seen) ++unique;
  }
  return unique;
}

void COrbDecodeMsgCDMAQualcommFrame::DetectBurstError(std::uint16_t& run, std::uint16_t& bursts, std::uint16_t limit) {
  if (run != limit) return;
  ++bursts;
  run = 0;
}

// IS-95 codes each digit group as its value minus 1..1 (a digit 0 sent as 10): adding
// 111 restores three digits at once, and a 0 digit borrows the 1 it was coded with.
std::uint16_t COrbDecodeMsgCDMAQualcommFrame::GetIMSIDigit(std::uint16_t code, int digits) {
  std::uint32_t c = code;
  if (digits == 3) c += 111;
  if (digits == 2) c += 11;
  std::uint32_t result = 0;
  std::uint32_t place = 1;
  while (c != 0) {
    const std::uint32_t d = c % 10;
    c /= 10;
    if (d == 0 && c != 0) --c;
    result += d * place;
    place *= 10;
  }
  return static_cast<std::uint16_t>(result);
}

// Block: two IMSI_S1 of 24 bits (bytes 0-2, 4-6), two IMSI_S2 of 10 bits (u16 at 8, 10).
// A null output is refused like a null block rather than written through.
int COrbDecodeMsgCDMAQualcommFrame::GetIMSInumber(const std::uint8_t* p, std::uint32_t* s1, std::uint16_t* s2) {
  if (p == nullptr || s1 == nullptr || s2 == nullptr) return 0;
  const cdmadiag::PayloadReader block(p, kImsiBlockSize);
  for (std::size_t k = 0; k < 2; ++k) {
    const std::uint32_t w = block.u24le(4 * k);
    const std::uint32_t a = GetIMSIDigit(static_cast<std::uint16_t>(cdmadiag::bits(w, 14, 10)), 3);
    std::uint32_t t = static_cast<std::uint32_t>(cdmadiag::bits(w, 10, 4));
    if (t == 10) t = 0;
    const std::uint32_t b = GetIMSIDigit(static_cast<std::uint16_t>(cdmadiag::bits(w, 0, 10)), 3);
    s1[k] = (a * 10 + t) * 1000 + b;
    s2[k] = GetIMSIDigit(static_cast<std::uint16_t>(block.u16le(8 + 2 * k) & 0x3FF), 3);
  }
  return 1;
}

std::string COrbDecodeMsgCDMAQualcommFrame::DispPN(int pn) {
  display_.clear();
  if (pn >= 0 && pn <= 511) {
    cdmadiag::append_int(display_, pn);
  } else {
    display_ = kNoPn;
  }
  return display_;
}

std::string COrbDecodeMsgCDMAQualcommFrame::DispEcIo_dB(double linear) {
  display_.clear();
  if (linear > kLinearFloor) {
    cdmadiag::append_fixed(display_, 10.0 * std::log10(linear), 2);
  } else {
    display_ = kNoEcIo;
  }
  return display_;
}

const char* COrbDecodeMsgCDMAQualcommFrame::DispOnOff(std::uint8_t v) { return v != 0 ? kYes : kNo; }

const char* COrbDecodeMsgCDMAQualcommFrame::DispTDMode(std::uint8_t v) { return name_or(kTdModes, v, kTdModeUnknown); }

const char* COrbDecodeMsgCDMAQualcommFrame::DispTDPower(std::uint8_t v) {
  return name_or(kTdPowers, v, kTdPowerUnknown);
}

const char* COrbDecodeMsgCDMAQualcommFrame::SCHRate2Text(int rate) { return name_or(kSchRates, rate, kSchRateUnknown); }

const char* COrbDecodeMsgCDMAQualcommFrame::VocRate2Text(std::int8_t rate) {
  return name_or(kVocoderRates, rate, kVocoderRateUnknown);
}

const char* COrbDecodeMsgCDMAQualcommFrame::GetFCHTransmissionRatesAllowed(std::uint8_t mask) {
  return name_or(kFchRatesAllowed, mask, kFchRatesUnknown);
}

const char* COrbDecodeMsgCDMAQualcommFrame::DispSupportedChannelMask(std::uint32_t bit) {
  return name_or(kSupportedChannels, bit, kChannelUnknown);
}

const char* COrbDecodeMsgCDMAQualcommFrame::DispEnabledChannelMask(std::uint32_t bit) {
  return name_or(kEnabledChannels, bit, kChannelUnknown);
}

bool COrbDecodeMsgCDMAQualcommFrame::GetAcqLabels(std::uint8_t step, const char** label1, const char** label2,
                                                  const char** label3) {
  const AcqLabels* found = &kAcqReserved;
  for (const AcqStep& row : kAcqSteps) {
    if (row.step == step) found = &row.labels;
  }
  if (label1 != nullptr) *label1 = found->first;
  if (label2 != nullptr) *label2 = found->second;
  if (label3 != nullptr) *label3 = found->third;
  return found != &kAcqReserved;
}
