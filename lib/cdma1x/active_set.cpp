// Active set information: the pilots of the IS-2000 active set and which traffic
// channels (FCH, DCCH, SCH) each carries, in three generations of the report.
#include <algorithm>
#include <array>
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/decoder_kit.h"
#include "framework/payload_cursor.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::Cursor;
using cdmadiag::name_or;
using F = COrbDecodeMsgCDMAQualcommFrame;

// Active Set Info (0x1093), 99 bytes:
//  +off  type  name                 unit
//   +0   u8    RfMode               0 analog, 1 CDMA cellular, 2 CDMA PCS, 3 sleep
//   +1   u8    BandClass            0-4
//   +2   u16   Channel              CDMA channel number
//   +4   u8    NumPilots            record slots used
//   +5   15x6  pilot records        see below; all six slots always present
//  +95   u8    ForSchRate           read only when a pilot's FCH is active
//  +96   u8    RevSchActive
//  +97   u8    RevSchRate           0-5, higher = no rate
//  +98   u8    RevSchWalsh
// Pilot record: +0 u16 PN, +2 u8 receive type, then FCH, DCCH and SCH words of
// 4 bytes each: +0 u8 active, +1 u16 code channel, +3 u8 QOF mask id.
[[maybe_unused]] constexpr std::size_t kV1Size = 99;
constexpr std::size_t kV1Slots = 6;
constexpr std::size_t kV1ChannelWords = 3;  // from +3 of a record
constexpr std::size_t kChannelWordSize = 4;
constexpr unsigned kMaxSchRate = 5;

struct ChannelWord {
  bool active;
  std::uint16_t code;
  std::uint8_t qof;
};
struct V1Pilot {
  std::uint16_t pn;
  std::uint8_t rx_type;
  std::array<ChannelWord, kV1ChannelWords> channels;  // FCH, DCCH, SCH
};
V1Pilot read_v1_pilot(Cursor& c) {
  V1Pilot p{};
  p.pn = c.u16le();
  p.rx_type = c.u8();
  for (ChannelWord& ch : p.channels) {
    ch.active = c.u8() != 0;
    ch.code = c.u16le();
    ch.qof = c.u8();
  }
  return p;
}

// Active Set Information, Ver 2 (0x10C6), 8-byte header then variable pilot records:
//  +off  type  name                 unit
//   +0   u8    RfMode
//   +1   u8    BandClass            0-12
//   +2   u16   Channel
//   +4   u8    bit 0 FCH active, bit 1 DCCH active, bits 2-4 SCCH count
//   +5   u8    NumPilots
//   +6   2     (not read)
// Pilot record: u16 PN, u8 receive type, 1 byte; unless the type is 0xFF a type area
// (types 0/2: u8 TD power level, u8 TD mode; types 1/2: u16 aux Walsh, u8 QOF) padded
// to 4 bytes plus 3 skipped; then, as the header says, FCH, DCCH and one SCCH entry of
// u16 code channel, u8 QOF index, 1 skipped byte.
[[maybe_unused]] constexpr std::size_t kV2Header = 8;
constexpr std::size_t kV2AreaMin = 4;
constexpr std::size_t kV2AreaSkip = 3;
constexpr std::uint8_t kRxTypeNone = 0xFF;
constexpr const char* kPilotRecordsCut = "\nPacket ends after %u of %u pilot records\n";

// Reduced Active Set Information (0x10C7): u8 sub-record count, then sub-records:
//  +off  type  name                 unit
//   +0   u8    TimeOffset
//   +1   u8    bit 0 F-SCH active, bit 1 R-SCH active
//   +2   u8    NumPilots (p)
//   +3   u16   RSchMuxOption        only when R-SCH is active (+3..+6)
//   +5   u8    RSchRate
//   +6   u8    RSchWalsh
//  then  8xp   pilots, only when F-SCH is active: u16 PN, u16 F-SCH mux option,
//              u8 SCH rate, u8 QOF index, u16 code channel
//  then  1     skipped
constexpr std::size_t kRedRevSch = 4;
constexpr std::size_t kRedPilotSize = 8;
constexpr const char* kSubrecordsCut = "\nPacket ends after %u of %u subrecords\n";

constexpr std::array<ValueName, 4> kV1RfModeNames{
    {{0, "Analog (0)\n"}, {1, "CDMA Cellular (1)\n"}, {2, "CDMA PCS (2)\n"}, {3, "Sleep mode (3)\n"}}};
constexpr std::array<ValueName, 5> kV1BandNames{{{0, "800 MHz cellular band (0)\n"},
                                                 {1, "1.8 to 2.0 GHz PCS band (1)\n"},
                                                 {2, "872 to 960 MHz TACs band (2)\n"},
                                                 {3, "832 to 925 MHz JTACS band (3)\n"},
                                                 {4, "1.75 to 1.87 GHz Korean PCS band (4)\n"}}};
constexpr std::array<ValueName, 13> kV2BandNames{{{0, "800 MHz cellular band"},
                                                  {1, "1.8 to 2.0 GHz PCS band"},
                                                  {2, "872 to 960 MHz TACS band"},
                                                  {3, "832 to 925 MHz JTACS band"},
                                                  {4, "1.75 to 1.87 GHz Korean PCS band"},
                                                  {5, "450 MHz band"},
                                                  {6, "2 GHz band"},
                                                  {7, "700 MHz band"},
                                                  {8, "1800 MHz band"},
                                                  {9, "900 MHz band"},
                                                  {10, "Secondary 800 MHz band"},
                                                  {11, "400 MHz European PAMR band"},
                                                  {12, "800 MHz European PAMR band"}}};

constexpr const char* kChannelNames[kV1ChannelWords] = {"FCH", "DCCH", "SCH"};
constexpr const char* kV2ChannelNames[3] = {"FCH", "DCCH", "SCCH"};

// Bytes of a version-2 type area, the 3 skipped bytes included.
std::size_t v2_area_size(std::uint8_t rx_type) {
  if (rx_type == kRxTypeNone) return 0;
  std::size_t used = 0;
  if (rx_type == 0 || rx_type == 2) used += 2;
  if (rx_type == 1 || rx_type == 2) used += 3;
  return std::max(used, kV2AreaMin) + kV2AreaSkip;
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeActiveSetInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                         IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeActiveSetInfo);
  Cursor c(payload());
  const std::uint8_t rf_mode = c.u8();
  const std::uint8_t band = c.u8();
  const std::uint16_t channel = c.u16le();
  const std::uint8_t num_pilots = c.u8();
  std::array<V1Pilot, kV1Slots> slots{};
  for (V1Pilot& p : slots) p = read_v1_pilot(c);
  const std::uint8_t for_sch_rate = c.u8();
  const unsigned rev_active = c.u8();
  const unsigned rev_rate = c.u8();
  const unsigned rev_walsh = c.u8();
  if (!job.check(c)) return;  // quietly: a short report keeps only its title
  assert(c.offset() == kV1Size);
  // The six slots are all there is: a larger count would put the SCH fields past the
  // 99 bytes, so only the slots are read and the SCH fields stay where they are.
  const std::size_t shown = std::min<std::size_t>(num_pilots, kV1Slots);
  bool has_forward_sch = false;
  for (std::size_t i = 0; i < shown; ++i) has_forward_sch = has_forward_sch || slots[i].channels[0].active;
  const unsigned for_rate = has_forward_sch ? for_sch_rate : 0;

  if (const AttrWriter w(ds); w.on()) {
    w.Byte(ATTR_ID_RF_MODE, rf_mode);
    w.UShort(ATTR_ID_CUR_CHANNEL, channel);
    if (has_forward_sch && for_rate <= kMaxSchRate) w.Byte(ATTR_ID_For_SCH0_Rate, static_cast<std::uint8_t>(for_rate));
    if (rev_active != 0 && rev_rate <= kMaxSchRate) w.Byte(ATTR_ID_Rev_SCH0_Rate, static_cast<std::uint8_t>(rev_rate));
  }

  if (!msg.detailsWanted) return;
  std::string& out = msg.details;
  out += "Rf mode: ";
  out += name_or(kV1RfModeNames, rf_mode, "unknown\n");
  out += "Band class: ";
  out += name_or(kV1BandNames, band, "unknown\n");
  appendf(out, "Center frequency channel: %u\nNumber of pilots: %u\n", unsigned{channel}, unsigned{num_pilots});
  out += "\t\n";
  for (std::size_t i = 0; i < shown; ++i) {
    const V1Pilot& p = slots[i];
    appendf(out, "Active Set (%u):\n", static_cast<unsigned>(i + 1));
    appendf(out, "\tPilot PN: %u, Pilot receive type: %u\n", unsigned{p.pn}, unsigned{p.rx_type});
    for (std::size_t k = 0; k < kV1ChannelWords; ++k) {
      const ChannelWord& ch = p.channels[k];
      appendf(out, "\t%s(%s) - Code channel: %u, QOF mask ID: %u\n", kChannelNames[k],
              ch.active ? "active" : "inactive", ch.active ? unsigned{ch.code} : 0u, ch.active ? unsigned{ch.qof} : 0u);
    }
  }
  out += "\t\n";
  if (has_forward_sch && for_rate <= kMaxSchRate) appendf(out, "FSCH rate: %u\n", for_rate);
  if (rev_rate <= kMaxSchRate)
    appendf(out, "RSCH - Active: %u, Rate: %u, Walsh ID: %u\n", rev_active, rev_rate, rev_walsh);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeActiveSetInfoVer2(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                             IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeActiveSetInfoVer2);
  Cursor c(payload());
  const unsigned rf_mode = c.u8();
  const std::uint8_t band = c.u8();
  const std::uint16_t channel = c.u16le();
  const std::uint8_t flags = c.u8();
  const std::uint8_t num_pilots = c.u8();
  c.skip(2);
  if (!job.check(c)) return;
  assert(c.offset() == kV2Header);
  const auto fch = static_cast<std::uint16_t>(cdmadiag::bits(flags, 0, 1));
  const auto dcch = static_cast<std::uint16_t>(cdmadiag::bits(flags, 1, 1));
  const auto scch = static_cast<unsigned>(cdmadiag::bits(flags, 2, 3));
  const bool channel_present[3] = {fch != 0, dcch != 0, scch > 0};

  const AttrWriter w(ds);
  w.UShort(ATTR_ID_For_FCH_Is_Active, fch);
  w.UShort(ATTR_ID_For_DCCH_Is_Active, dcch);
  if (scch == 1 || scch == 2) w.Long(ATTR_ID_For_SCH0_Is_Active, 1);
  if (scch == 2) w.Long(ATTR_ID_For_SCH1_Is_Active, 1);
  w.UShort(ATTR_ID_CDMA_CHANNEL, channel);
  w.UShort(ATTR_ID_NUM_ACTIVE_PILOTS, num_pilots);

  const bool details = msg.detailsWanted;
  std::string& out = msg.details;
  if (details) {
    appendf(out,
            "\nRF Mode: %u, Band class: %s, CDMA_CHANNEL: %u, Number of Pilots in active set: %u, FCH active: %u, "
            "DCCH active: %u, Number of SCCH active: %u\n",
            rf_mode, name_or(kV2BandNames, band, "unknown"), unsigned{channel}, unsigned{num_pilots}, unsigned{fch},
            unsigned{dcch}, scch);
  }
  unsigned done = 0;
  for (; done < num_pilots; ++done) {
    // A record is taken only whole: its head, then the type area and channel entries
    // the head and the header announce.
    const std::uint16_t pn = c.u16le();
    const std::uint8_t rx_type = c.u8();
    c.skip(1);
    if (!c.ok()) break;
    const std::size_t area = v2_area_size(rx_type);
    std::size_t size = area;
    for (const bool present : channel_present) size += present ? kChannelWordSize : 0;
    Cursor rec = c.record(size);
    if (!rec.ok()) break;

    if (details)
      appendf(out, "\nActive Set Pilot Record %d: PN Offset: %u\n", static_cast<int>(done + 1), unsigned{pn});
    if (rx_type == 0 || rx_type == 2) {
      const std::uint8_t power_level = rec.u8();
      const std::uint8_t mode = rec.u8();
      if (details) {
        appendf(out, "\nTransmit diversity power level: %u, Transmit Diversity mode: %u\n", unsigned{power_level},
                unsigned{mode});
      }
    }
    if (rx_type == 1 || rx_type == 2) {
      const std::uint16_t walsh = rec.u16le();
      const std::uint8_t qof = rec.u8();
      if (details) appendf(out, "\nWalsh code for aux pilot: %u, QOF: %u\n", unsigned{walsh}, unsigned{qof});
      w.UShort(ATTR_ID_AUX_PILOT_WALSH_CODE, walsh);
    }
    rec.seek(area);
    for (std::size_t k = 0; k < 3; ++k) {
      if (!channel_present[k]) continue;
      const std::uint16_t code = rec.u16le();
      const std::uint8_t qof = rec.u8();
      rec.skip(1);
      if (details) {
        appendf(out, "\n%s Code Channel: %u, %s QOF index: %u\n", kV2ChannelNames[k], unsigned{code},
                kV2ChannelNames[k], unsigned{qof});
      }
    }
  }
  // Where a count claims more records than the payload holds.
  if (done < num_pilots) {
    job.fail(cdmadiag::formatf(kPilotRecordsCut, done, static_cast<unsigned>(num_pilots)).c_str());
  }
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeRedActiveSetInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                            IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRedActiveSetInfo);
  Cursor c(payload());
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;

  const AttrWriter w(ds);
  const bool details = msg.detailsWanted;
  std::string& out = msg.details;
  unsigned done = 0;
  for (; done < count; ++done) {
    // A sub-record is taken only whole: its head, then the parts its flags announce.
    const std::uint8_t time_offset = c.u8();
    const std::uint8_t flags = c.u8();
    const std::uint8_t pilots = c.u8();
    if (!c.ok()) break;
    const bool fsch = cdmadiag::bits(flags, 0, 1) != 0;
    const bool rsch = cdmadiag::bits(flags, 1, 1) != 0;
    Cursor sub = c.record((rsch ? kRedRevSch : 0) + (fsch ? kRedPilotSize * pilots : 0));
    if (!sub.ok()) break;
    // The trailing byte is skipped, so a last sub-record without it is still whole.
    c.skip(1);

    if (details) {
      appendf(out,
              "\nNumber of subrecords: %u\nSubrecord # %d:\nTime Offset: %u, F-SCH active: %u, R-SCH active: %u, "
              "Number of pilots: %u\n",
              unsigned{count}, static_cast<int>(done + 1), unsigned{time_offset}, static_cast<unsigned>(fsch),
              static_cast<unsigned>(rsch), unsigned{pilots});
    }
    if (rsch) {
      const std::uint16_t mux = sub.u16le();
      const std::uint8_t rate = sub.u8();
      const std::uint8_t walsh = sub.u8();
      if (details) {
        appendf(out, "R-SCH Mux option: %u, R-SCH rate: %u, R-SCH walsh channel: %u\n", unsigned{mux}, unsigned{rate},
                unsigned{walsh});
      }
      w.UShort(ATTR_ID_Rev_SCH0_Rate, rate);
    }
    if (fsch) {
      for (unsigned j = 0; j < pilots; ++j) {
        const std::uint16_t pn = sub.u16le();
        const std::uint16_t mux = sub.u16le();
        const std::uint8_t rate = sub.u8();
        const std::uint8_t qof = sub.u8();
        const std::uint16_t code = sub.u16le();
        if (details) {
          appendf(out, "Pilot %d\nPilot PN: %u, F-SCH Mux option: %u, SCH Rate: %u, QOF index: %u, Code Channel: %u\n",
                  static_cast<int>(j + 1), unsigned{pn}, unsigned{mux}, unsigned{rate}, unsigned{qof}, unsigned{code});
        }
        w.UShort(ATTR_ID_Active_Set_SCH, pn, j);
      }
    }
    w.UShort(ATTR_ID_For_SCH0_Is_Active, static_cast<std::uint16_t>(fsch));
    w.UShort(ATTR_ID_Rev_SCH0_Is_Active, static_cast<std::uint16_t>(rsch));
  }
  if (done < count) job.fail(cdmadiag::formatf(kSubrecordsCut, done, static_cast<unsigned>(count)).c_str());
}
