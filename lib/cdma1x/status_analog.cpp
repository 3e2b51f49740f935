// Status report (0x1FFE): handset identity and the system it is camped on.
// Analog voice channel (0x1012): AMPS voice channel measurements and analog handoffs.
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "cdma1x/min_digits.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrReader;
using cdmadiag::AttrWriter;
using cdmadiag::MinDigitsText;
using cdmadiag::PayloadReader;

// Status report payload, 108 bytes (gaps unused):
//  +off  type     name                 unit
//  0x0C  char11   compile time
//  0x17  char8    compile date
//  0x32  char8    version
//  0x3A  u8       station class mark
//  0x3B  u8       CAI revision
//  0x3C  u8       mobile model
//  0x3D  u16      firmware revision
//  0x3F  u8       slot cycle index
//  0x43  u32      ESN
//  0x47  u16      RF mode               0 analog, 1 CDMA, 2 PCS, 3 sleep
//  0x49  u32 x2   MIN1 of two MINs      24 bits used
//  0x51  u16 x2   MIN2 of two MINs      10 bits used
//  0x55  i8       ORIG_MIN
//  0x5F  u16      entry reason
//  0x61  u16      centre frequency channel
//  0x63  u8       CDMA code channel
//  0x64  u16      pilot PN
//  0x66  u16      SID
//  0x68  u16      NID
//  0x6A  u16      location id
constexpr std::size_t kCompileTime = 0x0C;
constexpr std::size_t kCompileTimeLen = 11;
constexpr std::size_t kCompileDate = 0x17;
constexpr std::size_t kCompileDateLen = 8;
constexpr std::size_t kVersion = 0x32;
constexpr std::size_t kVersionLen = 8;
constexpr std::size_t kScm = 0x3A;
constexpr std::size_t kCaiRev = 0x3B;
constexpr std::size_t kModel = 0x3C;
constexpr std::size_t kFirmware = 0x3D;
constexpr std::size_t kSlotCycle = 0x3F;
constexpr std::size_t kEsn = 0x43;
constexpr std::size_t kRfMode = 0x47;
constexpr std::size_t kMin1 = 0x49;
constexpr std::size_t kMin2 = 0x51;
constexpr std::size_t kMinBlockSize = 12;
constexpr std::size_t kMins = 2;
constexpr std::size_t kOrigMin = 0x55;
constexpr std::size_t kEntryReason = 0x5F;
constexpr std::size_t kChannel = 0x61;
constexpr std::size_t kCodeChannel = 0x63;
constexpr std::size_t kPilotPn = 0x64;
constexpr std::size_t kSid = 0x66;
constexpr std::size_t kNid = 0x68;
constexpr std::size_t kLocId = 0x6A;
constexpr std::size_t kStatusSize = 0x6C;

constexpr std::array<ValueName, 4> kRfModes{{{0, "Analog"}, {1, "CDMA"}, {2, "PCS"}, {3, "Sleep"}}};
constexpr int kAnalogEvent = 13;

// A text column with each NUL shown as '-'.
std::string column(const PayloadReader& r, std::size_t off, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t c = r.u8(off + i);
    out += c == 0 ? '-' : static_cast<char>(c);
  }
  return out;
}

// Analog voice payload, 7 bytes:
//  +off  type  name               unit
//   +0   u16   SID
//   +2   u16   analog channel
//   +4   u8    SAT colour code
//   +5   u8    RSSI               raw; x 0.2431 - 110 dBm
//   +6   u8    power attenuation  level 0..7
constexpr std::size_t kAnalogSid = 0;
constexpr std::size_t kAnalogChannel = 2;
constexpr std::size_t kAnalogScc = 4;
constexpr std::size_t kAnalogRssi = 5;
constexpr std::size_t kAnalogAtten = 6;
constexpr std::size_t kAnalogSize = 7;
constexpr float kRssiStep = 0.24313725490196078f;
constexpr float kRssiFloor = -110.0f;

}  // namespace

// A payload shorter than the 108-byte layout is reported instead of read past, and
// nothing is written (the CAI revision write included).
void COrbDecodeMsgCDMAQualcommFrame::DecodeStatusReport(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                        IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeStatusReport);
  const auto r = payload();
  if (!job.require(r, kStatusSize)) return;
  const std::uint8_t scm = r.u8(kScm);
  const std::uint8_t cai_rev = r.u8(kCaiRev);
  const std::uint8_t model = r.u8(kModel);
  const std::uint16_t firmware = r.u16le(kFirmware);
  const std::uint8_t slot_cycle = r.u8(kSlotCycle);
  const std::uint32_t esn = r.u32le(kEsn);
  const std::uint16_t rf_mode = r.u16le(kRfMode);
  const std::int8_t orig_min = r.i8(kOrigMin);
  const std::uint16_t entry_reason = r.u16le(kEntryReason);
  const std::uint16_t channel = r.u16le(kChannel);
  const std::uint8_t code_channel = r.u8(kCodeChannel);
  const std::uint16_t pn = r.u16le(kPilotPn);
  const std::uint16_t sid = r.u16le(kSid);
  const std::uint16_t nid = r.u16le(kNid);
  const std::uint16_t loc_id = r.u16le(kLocId);

  // Written without asking, with the trailing arguments the host expects for it.
  if (ds != nullptr) ds->SetUInt(ATTR_ID_CAIT_REVISION_NUMBER, cai_rev, 0, 0, 0);
  const AttrWriter w(ds);
  if (w.on()) {
    w.Byte(ATTR_ID_SCM, scm);
    w.Byte(ATTR_ID_MOB_CAI_REV, cai_rev);
    w.UInt(ATTR_ID_Mobile_Station_P_REV, cai_rev);
    w.Byte(ATTR_ID_MOB_MODEL, model);
    w.UShort(ATTR_ID_MOB_FWARE_REV, firmware);
    w.Byte(ATTR_ID_SLOT_CYCLE_IDX, slot_cycle);
    w.ULong(ATTR_ID_ESN, esn);
    std::array<std::uint8_t, kMinBlockSize> block{};
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = r.u8(kMin1 + i);
    std::uint32_t s1[kMins] = {};
    std::uint16_t s2[kMins] = {};
    if (GetIMSInumber(block.data(), s1, s2) != 0) {
      w.ULong(ATTR_ID_MIN1_LS, s1[0]);
      w.ULong(ATTR_ID_MIN2_LS, s1[1]);
      w.UShort(ATTR_ID_MIN1_MS, s2[0]);
      w.UShort(ATTR_ID_MIN2_MS, s2[1]);
      const std::string number =
          cdmadiag::formatf("%lu%lu", static_cast<unsigned long>(s2[0]), static_cast<unsigned long>(s1[0]));
      w.UInt64(ATTR_ID_CDMA_PHONE_NUMBER, std::strtoull(number.c_str(), nullptr, 10));
    } else {
      w.NoValue(ATTR_ID_MIN1_LS);
      w.NoValue(ATTR_ID_MIN2_LS);
      w.NoValue(ATTR_ID_MIN1_MS);
      w.NoValue(ATTR_ID_MIN2_MS);
    }
    w.UShort(ATTR_ID_SID, sid);
    w.UShort(ATTR_ID_NID, nid);
    w.UShort(ATTR_ID_ENTRY_REASON, entry_reason);
    w.UShort(ATTR_ID_CUR_CHANNEL, channel);
    w.Byte(ATTR_ID_CDMA_CHANNEL, code_channel);
    w.UShort(ATTR_ID_LOC_ID, loc_id);
    w.UShort(ATTR_ID_RF_MODE, rf_mode);
  }
  if (!msg.detailsWanted) return;

  std::string d = "  Version: " + column(r, kVersion, kVersionLen);
  appendf(d, ", Firmware Rev: %d, CAI Rev: %d,\n", firmware, cai_rev);
  d += "  Compile Time / Date: " + column(r, kCompileDate, kCompileDateLen) + " " +
       column(r, kCompileTime, kCompileTimeLen) + ",\n";
  appendf(d, "  ESN 0x%04x, Model: %d, SCM: 0x%x, RF Mode: %s,\n", esn, model, scm,
          cdmadiag::name_or(kRfModes, rf_mode, "Unknown"));
  appendf(d, "  ORIG_MIN: %d,\n", orig_min);
  for (std::size_t k = 0; k < kMins; ++k) {
    const std::size_t m1 = kMin1 + 4 * k;
    const std::size_t m2 = kMin2 + 2 * k;
    const std::uint32_t min1 = r.u32le(m1);
    const std::uint16_t min2 = r.u16le(m2);
    appendf(d, "      MIN (0x%02x%02x-%02x%02x%02x%02x)  ", r.u8(m2 + 1), r.u8(m2), r.u8(m1 + 3), r.u8(m1 + 2),
            r.u8(m1 + 1), r.u8(m1));
    auto thousands = static_cast<unsigned>(cdmadiag::bits(min1, 10, 4));
    if (thousands == 10) thousands = 0;
    d += MinDigitsText(min2 & 0x3FF, 3) + "-" +
         MinDigitsText(static_cast<std::uint16_t>(cdmadiag::bits(min1, 14, 10)), 3) + "-";
    appendf(d, "%u", thousands);
    d += MinDigitsText(min1 & 0x3FF, 3) + ",\n";
  }
  appendf(d, "  SID: %d, NID: %d, SLOT_CYCLE_INDEX: %d,\n", sid, nid, slot_cycle);
  appendf(d, "  Current center freq. channel: %d,\n  CDMA code channel: %d,\n  CDMA current cell PN: (0x%x) %d\n",
          channel, code_channel, pn, pn);
  msg.details += d;
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeAnalogVoice(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeAnalogVoice);
  const auto r = payload();
  if (!job.require(r, kAnalogSize)) return;
  const std::uint16_t sid = r.u16le(kAnalogSid);
  const std::uint16_t channel = r.u16le(kAnalogChannel);
  const std::uint8_t scc = r.u8(kAnalogScc);
  const float rssi = static_cast<float>(r.u8(kAnalogRssi)) * kRssiStep + kRssiFloor;
  const std::uint8_t atten = r.u8(kAnalogAtten);

  // The power class is the station class mark an earlier status report left; integer
  // kinds count as a byte.
  const AttrReader rd(ds);
  const auto scm = cdmadiag::held_integer(rd.before(ATTR_ID_SCM, GetMessageNumber()));
  const float tx_power = AnaPowLevIdx2dBm(atten, static_cast<std::uint8_t>(scm.value_or(0)));

  const AttrWriter w(ds);
  if (w.on()) {
    w.Long(ATTR_ID_CDMA_EVENT_MSG, kAnalogEvent);
    w.UShort(ATTR_ID_ANALOG_CHANNEL, channel);
    w.UShort(ATTR_ID_SID, sid);
    w.Byte(ATTR_ID_ANALOG_SAT, scc);
    w.Double(ATTR_ID_ANALOG_RSSI, rssi);
    w.Byte(ATTR_ID_ANALOG_POWER_ATTEN, atten);
    w.Double(ATTR_ID_ANALOG_TX_POWER, tx_power);
    const auto previous = cdmadiag::held_integer(rd.before(ATTR_ID_ANALOG_CHANNEL, GetMessageNumber()));
    if (previous && *previous != channel) w.Byte(ATTR_ID_ANALOG_HANDOFF, 1);
  }
  if (!msg.detailsWanted) return;
  appendf(msg.details, "  SID: %d, Channel: %d, SCC: %d, RSSI: %.1f dBm, Tx Power: %.1f dBm\n", sid, channel, scc,
          static_cast<double>(rssi), static_cast<double>(tx_power));
}
