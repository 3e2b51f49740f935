// Status report (0x1FFE): handset identity and the system it is camped on.
// Analog voice channel (0x1012): AMPS voice channel measurements and analog handoffs.
#include <array>
#include <cassert>
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
using cdmadiag::Cursor;
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
constexpr std::size_t kCompileDateLen = 8;
constexpr std::size_t kVersion = 0x32;
constexpr std::size_t kVersionLen = 8;
constexpr std::size_t kEsn = 0x43;
constexpr std::size_t kMinBlockSize = 12;
constexpr std::size_t kMins = 2;
constexpr std::size_t kEntryReason = 0x5F;
[[maybe_unused]] constexpr std::size_t kStatusSize = 0x6C;

constexpr std::array<ValueName, 4> kRfModes{{{0, "Analog"}, {1, "CDMA"}, {2, "PCS"}, {3, "Sleep"}}};
constexpr int kAnalogEvent = 13;

// A text column of n bytes with each NUL shown as '-'.
std::string column(Cursor& c, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) {
    const std::uint8_t b = c.u8();
    out += b == 0 ? '-' : static_cast<char>(b);
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
constexpr float kRssiStep = 0.24313725490196078f;
constexpr float kRssiFloor = -110.0f;

}  // namespace

// A payload shorter than the 108-byte layout is reported instead of read past, and
// nothing is written (the CAI revision write included).
void COrbDecodeMsgCDMAQualcommFrame::DecodeStatusReport(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                        IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeStatusReport);
  Cursor c(payload());
  c.seek(kCompileTime);
  const std::string compile_time = column(c, kCompileTimeLen);
  const std::string compile_date = column(c, kCompileDateLen);
  c.seek(kVersion);
  const std::string version = column(c, kVersionLen);
  const std::uint8_t scm = c.u8();
  const std::uint8_t cai_rev = c.u8();
  const std::uint8_t model = c.u8();
  const std::uint16_t firmware = c.u16le();
  const std::uint8_t slot_cycle = c.u8();
  c.seek(kEsn);
  const std::uint32_t esn = c.u32le();
  const std::uint16_t rf_mode = c.u16le();
  // The two MINs as the IS-95 pair: both MIN1s, then both MIN2s.
  const PayloadReader min_block = c.bytes(kMinBlockSize);
  Cursor m(min_block);
  const std::array<std::uint32_t, kMins> min1 = m.u32les<kMins>();
  std::array<std::uint16_t, kMins> min2{};
  for (std::uint16_t& v : min2) v = m.u16le();
  const std::int8_t orig_min = c.i8();
  c.seek(kEntryReason);
  const std::uint16_t entry_reason = c.u16le();
  const std::uint16_t channel = c.u16le();
  const std::uint8_t code_channel = c.u8();
  const std::uint16_t pn = c.u16le();
  const std::uint16_t sid = c.u16le();
  const std::uint16_t nid = c.u16le();
  const std::uint16_t loc_id = c.u16le();
  if (!job.check(c)) return;
  assert(c.offset() == kStatusSize);

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
    std::uint32_t s1[kMins] = {};
    std::uint16_t s2[kMins] = {};
    if (GetIMSInumber(min_block.data(0, kMinBlockSize), s1, s2) != 0) {
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

  std::string d = "  Version: " + version;
  appendf(d, ", Firmware Rev: %d, CAI Rev: %d,\n", int{firmware}, int{cai_rev});
  d += "  Compile Time / Date: " + compile_date + " " + compile_time + ",\n";
  appendf(d, "  ESN 0x%04x, Model: %d, SCM: 0x%x, RF Mode: %s,\n", esn, int{model}, unsigned{scm},
          cdmadiag::name_or(kRfModes, rf_mode, "Unknown"));
  appendf(d, "  ORIG_MIN: %d,\n", int{orig_min});
  for (std::size_t k = 0; k < kMins; ++k) {
    // The raw fields in hex, most significant byte first.
    appendf(d, "      MIN (0x%04x-%08x)  ", unsigned{min2[k]}, min1[k]);
    auto thousands = static_cast<unsigned>(cdmadiag::bits(min1[k], 10, 4));
    if (thousands == 10) thousands = 0;
    d += MinDigitsText(min2[k] & 0x3FF, 3) + "-" +
         MinDigitsText(static_cast<std::uint16_t>(cdmadiag::bits(min1[k], 14, 10)), 3) + "-";
    appendf(d, "%u", thousands);
    d += MinDigitsText(min1[k] & 0x3FF, 3) + ",\n";
  }
  appendf(d, "  SID: %d, NID: %d, SLOT_CYCLE_INDEX: %d,\n", int{sid}, int{nid}, int{slot_cycle});
  appendf(d, "  Current center freq. channel: %d,\n  CDMA code channel: %d,\n  CDMA current cell PN: (0x%x) %d\n",
          int{channel}, int{code_channel}, unsigned{pn}, int{pn});
  msg.details += d;
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeAnalogVoice(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                       IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeAnalogVoice);
  Cursor c(payload());
  const std::uint16_t sid = c.u16le();
  const std::uint16_t channel = c.u16le();
  const std::uint8_t scc = c.u8();
  const std::uint8_t rssi_raw = c.u8();
  const std::uint8_t atten = c.u8();
  if (!job.check(c)) return;
  const float rssi = static_cast<float>(rssi_raw) * kRssiStep + kRssiFloor;

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
  appendf(msg.details, "  SID: %d, Channel: %d, SCC: %d, RSSI: %.1f dBm, Tx Power: %.1f dBm\n", int{sid}, int{channel},
          int{scc}, static_cast<double>(rssi), static_cast<double>(tx_power));
}
