// Active set information: the pilots of the IS-2000 active set and which traffic
// channels (FCH, DCCH, SCH) each carries, in three generations of the report.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/decoder_kit.h"
#include "framework/payload_reader.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::name_or;
using cdmadiag::PayloadReader;
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
constexpr std::size_t kV1Size = 99;
constexpr std::size_t kV1RfMode = 0;
constexpr std::size_t kV1Band = 1;
constexpr std::size_t kV1Channel = 2;
constexpr std::size_t kV1NumPilots = 4;
constexpr std::size_t kV1Records = 5;
constexpr std::size_t kV1RecordSize = 15;
constexpr std::size_t kV1Slots = 6;
constexpr std::size_t kV1ForSchRate = 95;
constexpr std::size_t kV1RevSchActive = 96;
constexpr std::size_t kV1RevSchRate = 97;
constexpr std::size_t kV1RevSchWalsh = 98;
constexpr std::size_t kV1ChannelWords = 3;  // from +3 of a record
constexpr std::size_t kChannelWordSize = 4;
constexpr unsigned kMaxSchRate = 5;

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
constexpr std::size_t kV2Header = 8;
constexpr std::size_t kV2RfMode = 0;
constexpr std::size_t kV2Band = 1;
constexpr std::size_t kV2Channel = 2;
constexpr std::size_t kV2Flags = 4;
constexpr std::size_t kV2NumPilots = 5;
constexpr std::size_t kV2PilotHead = 4;
constexpr std::size_t kV2AreaMin = 4;
constexpr std::size_t kV2AreaSkip = 3;
constexpr std::uint8_t kRxTypeNone = 0xFF;

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
constexpr std::size_t kRedHeader = 1;
constexpr std::size_t kRedSubHead = 3;
constexpr std::size_t kRedRevSch = 4;
constexpr std::size_t kRedPilotSize = 8;
constexpr std::size_t kRedTrailer = 1;

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
  const PayloadReader r = payload();
  if (!job.require(r, kV1Size)) return;  // quietly: a short report keeps only its title

  const std::uint8_t rf_mode = r.u8(kV1RfMode);
  const std::uint8_t band = r.u8(kV1Band);
  const std::uint16_t channel = r.u16le(kV1Channel);
  const std::uint8_t num_pilots = r.u8(kV1NumPilots);
  // The six slots are all there is: a larger count would put the SCH fields past the
  // 99 bytes, so only the slots are read and the SCH fields stay at their offsets.
  const std::size_t shown = std::min<std::size_t>(num_pilots, kV1Slots);
  bool has_forward_sch = false;
  for (std::size_t i = 0; i < shown; ++i) {
    has_forward_sch = has_forward_sch || r.u8(kV1Records + i * kV1RecordSize + 3) != 0;
  }
  const unsigned for_rate = has_forward_sch ? r.u8(kV1ForSchRate) : 0;
  const unsigned rev_active = r.u8(kV1RevSchActive);
  const unsigned rev_rate = r.u8(kV1RevSchRate);
  const unsigned rev_walsh = r.u8(kV1RevSchWalsh);

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
  appendf(out, "Center frequency channel: %u\nNumber of pilots: %u\n", channel, num_pilots);
  out += "\t\n";
  for (std::size_t i = 0; i < shown; ++i) {
    const PayloadReader rec = r.sub(kV1Records + i * kV1RecordSize, kV1RecordSize);
    appendf(out, "Active Set (%u):\n", static_cast<unsigned>(i + 1));
    appendf(out, "\tPilot PN: %u, Pilot receive type: %u\n", rec.u16le(0), rec.u8(2));
    for (std::size_t c = 0; c < kV1ChannelWords; ++c) {
      const std::size_t off = 3 + c * kChannelWordSize;
      const bool active = rec.u8(off) != 0;
      appendf(out, "\t%s(%s) - Code channel: %u, QOF mask ID: %u\n", kChannelNames[c], active ? "active" : "inactive",
              active ? rec.u16le(off + 1) : 0u, active ? rec.u8(off + 3) : 0u);
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
  const PayloadReader r = payload();
  if (!job.require(r, kV2Header)) return;

  const unsigned rf_mode = r.u8(kV2RfMode);
  const std::uint8_t band = r.u8(kV2Band);
  const std::uint16_t channel = r.u16le(kV2Channel);
  const std::uint8_t flags = r.u8(kV2Flags);
  const auto fch = static_cast<std::uint16_t>(cdmadiag::bits(flags, 0, 1));
  const auto dcch = static_cast<std::uint16_t>(cdmadiag::bits(flags, 1, 1));
  const auto scch = static_cast<unsigned>(cdmadiag::bits(flags, 2, 3));
  const std::uint8_t num_pilots = r.u8(kV2NumPilots);
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
            rf_mode, name_or(kV2BandNames, band, "unknown"), channel, num_pilots, fch, dcch, scch);
  }
  std::size_t off = kV2Header;
  unsigned done = 0;
  for (; done < num_pilots; ++done) {
    if (!r.has(off, kV2PilotHead)) break;
    const std::uint8_t rx_type = r.u8(off + 2);
    const std::size_t area = v2_area_size(rx_type);
    std::size_t size = kV2PilotHead + area;
    for (const bool present : channel_present) size += present ? kChannelWordSize : 0;
    if (!r.has(off, size)) break;
    const PayloadReader rec = r.sub(off, size);
    off += size;

    std::size_t at = kV2PilotHead;
    if (details)
      appendf(out, "\nActive Set Pilot Record %d: PN Offset: %u\n", static_cast<int>(done + 1), rec.u16le(0));
    if (rx_type == 0 || rx_type == 2) {
      if (details) {
        appendf(out, "\nTransmit diversity power level: %u, Transmit Diversity mode: %u\n", rec.u8(at), rec.u8(at + 1));
      }
      at += 2;
    }
    if (rx_type == 1 || rx_type == 2) {
      const std::uint16_t walsh = rec.u16le(at);
      if (details) appendf(out, "\nWalsh code for aux pilot: %u, QOF: %u\n", walsh, rec.u8(at + 2));
      w.UShort(ATTR_ID_AUX_PILOT_WALSH_CODE, walsh);
    }
    at = kV2PilotHead + area;
    for (std::size_t c = 0; c < 3; ++c) {
      if (!channel_present[c]) continue;
      if (details) {
        appendf(out, "\n%s Code Channel: %u, %s QOF index: %u\n", kV2ChannelNames[c], rec.u16le(at), kV2ChannelNames[c],
                rec.u8(at + 2));
      }
      at += kChannelWordSize;
    }
  }
  // Where a count claims more records than the payload holds.
  if (details && done < num_pilots) {
    appendf(out, "\nPacket ends after %u of %u pilot records\n", done, static_cast<unsigned>(num_pilots));
  }
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeRedActiveSetInfo(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                            IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRedActiveSetInfo);
  const PayloadReader r = payload();
  if (!job.require(r, kRedHeader)) return;

  const std::uint8_t count = r.u8(0);
  const AttrWriter w(ds);
  const bool details = msg.detailsWanted;
  std::string& out = msg.details;
  std::size_t off = kRedHeader;
  unsigned done = 0;
  for (; done < count; ++done) {
    if (!r.has(off, kRedSubHead)) break;
    const std::uint8_t flags = r.u8(off + 1);
    const bool fsch = cdmadiag::bits(flags, 0, 1) != 0;
    const bool rsch = cdmadiag::bits(flags, 1, 1) != 0;
    const std::uint8_t pilots = r.u8(off + 2);
    // The trailing byte is skipped, so a last sub-record without it is still whole.
    const std::size_t size = kRedSubHead + (rsch ? kRedRevSch : 0) + (fsch ? kRedPilotSize * pilots : 0);
    if (!r.has(off, size)) break;
    const PayloadReader sub = r.sub(off, size);
    off += size + kRedTrailer;

    if (details) {
      appendf(out,
              "\nNumber of subrecords: %u\nSubrecord # %d:\nTime Offset: %u, F-SCH active: %u, R-SCH active: %u, "
              "Number of pilots: %u\n",
              count, static_cast<int>(done + 1), sub.u8(0), static_cast<unsigned>(fsch), static_cast<unsigned>(rsch),
              pilots);
    }
    std::size_t at = kRedSubHead;
    if (rsch) {
      const std::uint8_t rate = sub.u8(at + 2);
      if (details) {
        appendf(out, "R-SCH Mux option: %u, R-SCH rate: %u, R-SCH walsh channel: %u\n", sub.u16le(at), rate,
                sub.u8(at + 3));
      }
      w.UShort(ATTR_ID_Rev_SCH0_Rate, rate);
      at += kRedRevSch;
    }
    if (fsch) {
      for (unsigned j = 0; j < pilots; ++j, at += kRedPilotSize) {
        const std::uint16_t pn = sub.u16le(at);
        if (details) {
          appendf(out, "Pilot %d\nPilot PN: %u, F-SCH Mux option: %u, SCH Rate: %u, QOF index: %u, Code Channel: %u\n",
                  static_cast<int>(j + 1), pn, sub.u16le(at + 2), sub.u8(at + 4), sub.u8(at + 5), sub.u16le(at + 6));
        }
        w.UShort(ATTR_ID_Active_Set_SCH, pn, j);
      }
    }
    w.UShort(ATTR_ID_For_SCH0_Is_Active, static_cast<std::uint16_t>(fsch));
    w.UShort(ATTR_ID_Rev_SCH0_Is_Active, static_cast<std::uint16_t>(rsch));
  }
  if (details && done < count) {
    appendf(out, "\nPacket ends after %u of %u subrecords\n", done, static_cast<unsigned>(count));
  }
}
