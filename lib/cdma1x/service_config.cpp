// Service configuration, ver 2 (0x10C5): the IS-2000 service configuration of a call.
// Service configuration (0x102E): the same in packed form.
#include <array>
#include <cstdint>
#include <string>

#include "cdma1x/channel_config_fields.h"
#include "cdma1x/frame_fields.h"
#include "cdma1x/radio_config.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/frame_segment.h"
#include "framework/text.h"
#include "framework/value_names.h"
#include "host/cdma_utils.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;

// Service configuration ver 2, header 10 bytes, then blocks read with a running position:
//  +off  type  name
//   +0   u16   forward multiplex option
//   +2   u16   reverse multiplex option
//   +4   u8    forward number of bits
//   +5   u8    reverse number of bits
//   +6   u8    bit 0 FCH, bit 1 DCCH, bit 2 F-SCH, bit 3 R-SCH active
//   +7   u8    service option connection records, c
//   +8   u8    LPM entries, l
//   +9   u8    LTU tables, t
//  FCH, DCCH (when active): u8 fwd RC, u8 rev RC
//  F-SCH, R-SCH (when active), 7 bytes: mux hi, mux lo, RC, coding, flags (bit 0 40 ms,
//    bit 1 80 ms frames), max data rate, frame offset
//  c records: u8 con ref, u16 service option HIGH BYTE FIRST, u8 fwd traffic, u8 rev
//    traffic, u8 encryption mode, u8 service ref id, u8 RLP blob len r, u8 QoS len q,
//    r + q bytes skipped
//  l LPM entries, 5 bytes: sr id, logical id, physical id, flags (bit 0 fwd, bit 1 rev), mux priority
//  t LTU tables: u8 table id, u8 rows n, n rows of 3 bytes (info bits index, LTU length MSB, LSB)
//  when t > 0: u8 F-SCH LTU table id, u8 R-SCH LTU table id
constexpr std::size_t kHeaderSize = 10;
constexpr std::size_t kFwdMux = 0;
constexpr std::size_t kRevMux = 2;
constexpr std::size_t kFwdBits = 4;
constexpr std::size_t kRevBits = 5;
constexpr std::size_t kActive = 6;
constexpr std::size_t kConRecs = 7;
constexpr std::size_t kLpms = 8;
constexpr std::size_t kLtus = 9;
constexpr std::size_t kRcPairSize = 2;
constexpr std::size_t kSchSize = 7;
constexpr std::size_t kConRecSize = 9;
constexpr std::size_t kLpmSize = 5;
constexpr std::size_t kLtuHeaderSize = 2;
constexpr std::size_t kLtuRowSize = 3;
constexpr std::size_t kLtuIdsSize = 2;

// Traffic type texts, shared with the packed service configuration.
constexpr const char* kFwdTraffic[] = {
    "The service option connection does not use Forward traffic channel traffic",
    "The service option connection uses primary traffic on the Forward traffic channel",
    "The service option connection uses secondary traffic on the Forward traffic channel traffic",
};
constexpr const char* kRevTraffic[] = {
    "The service option connection does not use Reverse traffic channel traffic",
    "The service option connection uses primary traffic on the Reverse traffic channel",
    "The service option connection uses secondary traffic on the Reverse traffic channel traffic",
};
std::string traffic_text(bool forward, unsigned type) {
  std::string out = forward ? "For. Traffic channel type: " : "Rev. Traffic channel type: ";
  if (type < 3) out += forward ? kFwdTraffic[type] : kRevTraffic[type];
  return out;
}

// Service configuration (0x102E), fixed part 18 bytes, then f + r channel records:
//  +off  type  name
//   +0   u16   bits 0-11 service option
//   +2   u8    nibbles, low first: forward FCH, SCH0 radio configuration
//   +3   u8    forward SCH1, DCCH radio configuration
//   +4   u8    reverse FCH, SCH0 radio configuration
//   +5   u8    reverse SCH1, DCCH radio configuration
//   +6   u8    FCH frame size
//   +7   u8    DCCH frame size
//   +8   u8    forward traffic type
//   +9   u8    reverse traffic type
//  +10   u16   forward multiplex option
//  +12   u16   reverse multiplex option
//  +14   u8    bits 4-7 forward FCH rate mask
//  +15   u8    bits 4-7 reverse FCH rate mask
//  +16   u8    active forward supplemental channels, f
//  +17   u8    active reverse supplemental channels, r
//  +18+4i      record: u8 bits 0-2 channel id, bit 3 direction (1 reverse); u16 SCH mux option; u8 coding
constexpr std::size_t kSvcOption = 0;
constexpr std::uint16_t kSvcOptionMask = 0x0FFF;
constexpr int kFwdRcBit = 16;
constexpr int kRevRcBit = 32;
constexpr std::size_t kFchFrameSize = 6;
constexpr std::size_t kDcchFrameSize = 7;
constexpr std::size_t kFwdTrafficType = 8;
constexpr std::size_t kRevTrafficType = 9;
constexpr std::size_t kSvcFwdMux = 10;
constexpr std::size_t kSvcRevMux = 12;
constexpr std::size_t kFwdRateMask = 14;
constexpr std::size_t kRevRateMask = 15;
constexpr std::size_t kFwdSchs = 16;
constexpr std::size_t kRevSchs = 17;
constexpr std::size_t kSvcFixedSize = 18;
constexpr std::size_t kSchRecordSize = 4;
constexpr int kUnusedFlags = -1;

constexpr std::array<ValueName, 2> kCodings{{{0, "Turbo"}, {1, "Convolutional"}}};

// Active set and channel configuration (0x102F), header 5 bytes, rate bytes, first pilot:
//  +off  type  name
//   +0   u8    band class
//   +1   u8    CDMA channel
//   +2   u8    forward supplemental channels, nf
//   +3   u8    reverse supplemental channels, nr
//   +4   u8    pilots in the active set
//   +5   u8 each  F-SCH0 (nf >= 1), F-SCH1 (nf >= 2), R-SCH0 (nr >= 1), R-SCH1 (nr >= 2) rate, bits 0-3
//   p    6 bytes  pilot record (kActivePilotFields); p + 4 channel set mask, p + 5 CHAN_CNT
//   p+6+3k        code channel k (kCodeChannelFields)
constexpr std::size_t kBand = 0;
constexpr std::size_t kCdmaChannel = 1;
constexpr std::size_t kNumFwdSch = 2;
constexpr std::size_t kNumRevSch = 3;
constexpr std::size_t kNumPilots = 4;
constexpr std::size_t kAsHeaderSize = 5;
constexpr std::size_t kPilotSize = 6;
constexpr std::size_t kPilotMask = 4;
constexpr std::array<ValueName, 5> kBandNames{{{0, "800 MHz cellular band"},
                                               {1, "1.8 to 2.0 GHz PCS band"},
                                               {2, "872 to 960 MHz TACS band"},
                                               {3, "832 to 925 MHz JTACS band"},
                                               {4, "1.75 to 1.87 GHz Korean PCS band"}}};

}  // namespace

// The packet carries its own counts and lengths; a block that runs past the payload
// ends the decode with the corrupted-content text instead of being read.
void COrbDecodeMsgCDMAQualcommFrame::DecodeServiceConfigurationVer2(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                    IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeServiceConfigurationVer2);
  const auto r = payload();
  if (!job.require(r, kHeaderSize)) return;
  const std::uint8_t active = r.u8(kActive);
  const unsigned cons = r.u8(kConRecs);
  const unsigned lpms = r.u8(kLpms);
  const unsigned ltus = r.u8(kLtus);
  const bool details = msg.detailsWanted;
  std::string& d = msg.details;
  if (details) {
    appendf(d,
            "\nForward Mux Option: %u, Reverse Mux Option: %u, Forward # of Bits: %u, Reverse # of bits: %u, FCH "
            "active: %u, DCCH active: %u, F-SCH active: %u, R-SCH active: %u, # of service option connection "
            "records: %u, # of LPM entries: %u, # of LTU tables: %u\n",
            r.u16le(kFwdMux), r.u16le(kRevMux), r.u8(kFwdBits), r.u8(kRevBits), active & 1u, (active >> 1) & 1u,
            (active >> 2) & 1u, (active >> 3) & 1u, cons, lpms, ltus);
  }
  const AttrWriter w(ds);
  std::size_t pos = kHeaderSize;
  const auto fits = [&](std::size_t n) {
    if (r.has(pos, n)) return true;
    if (details) d += cdmadiag::kCorruptedContent;
    return false;
  };

  if ((active & 1u) != 0) {
    if (!fits(kRcPairSize)) return;
    const std::uint8_t fwd = r.u8(pos), rev = r.u8(pos + 1);
    w.UShort(ATTR_ID_Forward_RadioConfiguration_FCH, fwd);
    w.UShort(ATTR_ID_Reverse_RadioConfiguration_FCH, rev);
    if (details) appendf(d, "FCH fwd RC: %u, FCH rev RC: %u\n", fwd, rev);
    pos += kRcPairSize;
  }
  if ((active & 2u) != 0) {
    if (!fits(kRcPairSize)) return;
    const std::uint8_t fwd = r.u8(pos), rev = r.u8(pos + 1);
    w.UShort(ATTR_ID_Forward_RadioConfiguration_DCCH, fwd);
    w.UShort(ATTR_ID_Reverse_RadioConfiguration_DCCH, rev);
    if (details) appendf(d, "DCCH fwd RC: %u, DCCH rev RC: %u\n", fwd, rev);
    pos += kRcPairSize;
  }
  for (const bool forward : {true, false}) {
    if ((active & (forward ? 4u : 8u)) == 0) continue;
    if (!fits(kSchSize)) return;
    const std::uint8_t rc = r.u8(pos + 2), flags = r.u8(pos + 4), rate = r.u8(pos + 5);
    if (forward) {
      w.UShort(ATTR_ID_Forward_RadioConfiguration_SCH0, rc);
      w.UShort(ATTR_ID_For_SCH0_Rate, rate);
    } else {
      w.UShort(ATTR_ID_Reverse_RadioConfiguration_SCH0, rc);
    }
    if (details) {
      // The forward line has no place for the frame offset; kept as is.
      appendf(d,
              "%s --- \n Mux Hi: %u, Mux Lo: %u, RC: %u, Coding: %u, 40 ms frames used: %u, 80 ms frames used: %u, "
              "max data rate: %u, Frame Offset",
              forward ? "F-SCH" : "R-SCH", r.u8(pos), r.u8(pos + 1), rc, r.u8(pos + 3), flags & 1u, (flags >> 1) & 1u,
              rate);
      if (forward) {
        d += "\n";
      } else {
        appendf(d, ": %u\n", r.u8(pos + 6));
      }
    }
    pos += kSchSize;
  }
  for (unsigned i = 1; i <= cons; ++i) {
    if (!fits(kConRecSize)) return;
    const std::uint8_t rlp = r.u8(pos + 7), qos = r.u8(pos + 8);
    if (!fits(kConRecSize + rlp + qos)) return;
    // Service option stored high byte first.
    const auto so = static_cast<std::uint16_t>(r.u8(pos + 1) << 8 | r.u8(pos + 2));
    w.UShort(ATTR_ID_CDMA_ServiceOption, so);
    if (details) {
      appendf(d,
              "Con Rec Info %u:- Con reference: %u, Service option: %u, %s, %s, Encryption mode indicator: %u, "
              "Service reference identifier: %u, RLP blob len: %u, QOS param len: %u\n",
              i, r.u8(pos), so, traffic_text(true, r.u8(pos + 3)).c_str(), traffic_text(false, r.u8(pos + 4)).c_str(),
              r.u8(pos + 5), r.u8(pos + 6), rlp, qos);
    }
    pos += kConRecSize + rlp + qos;
  }
  for (unsigned i = 1; i <= lpms; ++i) {
    if (!fits(kLpmSize)) return;
    const std::uint8_t flags = r.u8(pos + 3);
    if (details) {
      appendf(d,
              "LPM Info %u:- LPM Service ref ID: %u, Logical resource id: %u, Physical resource id: %u, Forward "
              "flag: %u, Reverse flag: %u, Mux priority: %u\n",
              i, r.u8(pos), r.u8(pos + 1), r.u8(pos + 2), flags & 1u, (flags >> 1) & 1u, r.u8(pos + 4));
    }
    pos += kLpmSize;
  }
  for (unsigned i = 1; i <= ltus; ++i) {
    if (!fits(kLtuHeaderSize)) return;
    const unsigned rows = r.u8(pos + 1);
    if (details) appendf(d, "LTU Info %u:- LTU Table ID: %u, Number of LTU rows: %u\n", i, r.u8(pos), rows);
    pos += kLtuHeaderSize;
    for (unsigned j = 1; j <= rows; ++j) {
      if (!fits(kLtuRowSize)) return;
      if (details) {
        appendf(d, "LTU Row %u:- SCH # of info bits index: %u, MSB of LTU length: %u, LSB of LTU length: %u\n", j,
                r.u8(pos), r.u8(pos + 1), r.u8(pos + 2));
      }
      pos += kLtuRowSize;
    }
  }
  if (ltus > 0) {
    if (!fits(kLtuIdsSize)) return;
    // The R-SCH id is read but the line has no place for it.
    if (details) appendf(d, "F-SCH LTU Table ID: %u, R-SCH LTU Table ID\n", r.u8(pos));
  }
}

// The fixed fields are read only when all are present; a short packet must not be read past its end.
void COrbDecodeMsgCDMAQualcommFrame::DecodeServiceConfiguration(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeServiceConfiguration);
  const auto r = payload();
  if (!job.require(r, kSvcFixedSize)) return;
  const auto so = static_cast<std::uint16_t>(r.u16le(kSvcOption) & kSvcOptionMask);
  const auto fwd_rc = cdmadiag::UnpackRadioConfigs(r, kFwdRcBit, cdmadiag::Link::kForward);
  const auto rev_rc = cdmadiag::UnpackRadioConfigs(r, kRevRcBit, cdmadiag::Link::kReverse);
  const auto fwd_mask = static_cast<std::uint8_t>(r.u8(kFwdRateMask) >> 4);
  const auto rev_mask = static_cast<std::uint8_t>(r.u8(kRevRateMask) >> 4);
  const unsigned fwd_schs = r.u8(kFwdSchs);
  const unsigned rev_schs = r.u8(kRevSchs);

  const AttrWriter w(ds);
  w.Long(ATTR_ID_CDMA_ServiceOption, so);
  const std::uint32_t* fwd_ids[] = {&ATTR_ID_Forward_RadioConfiguration_FCH, &ATTR_ID_Forward_RadioConfiguration_SCH0,
                                    &ATTR_ID_Forward_RadioConfiguration_SCH1, &ATTR_ID_Forward_RadioConfiguration_DCCH};
  const std::uint32_t* rev_ids[] = {&ATTR_ID_Reverse_RadioConfiguration_FCH, &ATTR_ID_Reverse_RadioConfiguration_SCH0,
                                    &ATTR_ID_Reverse_RadioConfiguration_SCH1, &ATTR_ID_Reverse_RadioConfiguration_DCCH};
  for (std::size_t i = 0; i < fwd_rc.size(); ++i) w.Long(*fwd_ids[i], static_cast<std::int32_t>(fwd_rc[i]));
  for (std::size_t i = 0; i < rev_rc.size(); ++i) w.Long(*rev_ids[i], static_cast<std::int32_t>(rev_rc[i]));
  w.Byte(ATTR_ID_Forward_FCH_Rate, fwd_mask);
  w.Byte(ATTR_ID_Reverse_FCH_Rate, rev_mask);
  if (!msg.detailsWanted) return;

  std::string& d = msg.details;
  appendf(d, "Service option: %u, ", so);
  // The 55-dash rule under both headings is this report's own.
  cdmadiag::AppendRadioConfigs(d, cdmadiag::Link::kForward, fwd_rc, cdmadiag::kRule55);
  cdmadiag::AppendRadioConfigs(d, cdmadiag::Link::kReverse, rev_rc, cdmadiag::kRule55);
  appendf(d, "FCH frame size: %u, DCCH frame size: %u, \n%s, \n%s, ", r.u8(kFchFrameSize), r.u8(kDcchFrameSize),
          traffic_text(true, r.u8(kFwdTrafficType)).c_str(), traffic_text(false, r.u8(kRevTrafficType)).c_str());
  appendf(d, "\nFor. Multiplex option: %u, Rev. Multiplex option: %u, \n%s%s, \n%s%s, ", r.u16le(kSvcFwdMux),
          r.u16le(kSvcRevMux),
          "Forward fundamental channel transmission rates: ", GetFCHTransmissionRatesAllowed(fwd_mask),
          "Reverse fundamental channel transmission rates: ", GetFCHTransmissionRatesAllowed(rev_mask));
  appendf(d, "\nNumber of active forward supplemental channels(SCH or SCCH): %u", fwd_schs);
  appendf(d, "\nNumber of active reverse supplemental channels: %u", rev_schs);
  const std::size_t records = fwd_schs + rev_schs;
  if (records == 0 || !r.has(kSvcFixedSize, kSchRecordSize * records)) return;
  for (std::size_t i = 0; i < records; ++i) {
    const std::size_t at = kSvcFixedSize + kSchRecordSize * i;
    const std::uint8_t id = r.u8(at);
    appendf(d, "\nSupplemental Channel Id: %u, Direction: %s, SCH Multiplex option: %u, Type of coding: %s", id & 7u,
            (id & 8u) != 0 ? "Reverse link" : "Forward link", r.u16le(at + 1),
            cdmadiag::name_or(kCodings, r.u8(at + 3), "Unknown"));
  }
}

// The header and the pilot record are read only when present; the code channels stop
// at the first one that does not fit, its text marked truncated. The SCH1 and DCCH
// lines follow bits 2 and 3 of the channel set mask, as FCH and SCH0 follow bits 0 and 1.
void COrbDecodeMsgCDMAQualcommFrame::DecodeActiveSetAndChanConfig(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                  IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeActiveSetAndChanConfig);
  const auto r = payload();
  if (!job.require(r, kAsHeaderSize)) return;
  const std::uint8_t band = r.u8(kBand);
  const std::uint8_t channel = r.u8(kCdmaChannel);
  const unsigned nf = r.u8(kNumFwdSch);
  const unsigned nr = r.u8(kNumRevSch);
  const std::uint8_t pilots = r.u8(kNumPilots);
  const unsigned fwd_bytes = nf < 2 ? nf : 2;
  const unsigned rev_bytes = nr < 2 ? nr : 2;
  const std::size_t p = kAsHeaderSize + fwd_bytes + rev_bytes;
  if (!job.require(r, p + kPilotSize)) return;
  // 0: absent or zero, both shown as N/A.
  std::array<unsigned, 4> rates{};
  for (unsigned i = 0; i < fwd_bytes; ++i) rates[i] = r.u8(kAsHeaderSize + i) & 0x0Fu;
  for (unsigned i = 0; i < rev_bytes; ++i) rates[2 + i] = r.u8(kAsHeaderSize + fwd_bytes + i) & 0x0Fu;
  const std::uint16_t pn = r.u16le(p);
  const std::uint8_t mask = r.u8(p + kPilotMask);

  const auto& pilot_table = cdmadiag::kActivePilotFields;
  COrbDecodeMsgCDMAQualcommFrameSegment pilot;
  int bit = pilot.unpack(r.bytes().data(), r.size(), pilot_table.data(), static_cast<int>(pilot_table.size()),
                         static_cast<int>(8 * p), nullptr, kUnusedFlags);
  AttrWriter(ds).Long(ATTR_ID_For_FCH_Is_Active, mask & 1);

  std::string& d = msg.details;
  const bool details = msg.detailsWanted;
  if (details) {
    appendf(d, "\n Band class: %s, CDMA_CHANNEL: %u, Number of Pilots in active set: %u\n",
            cdmadiag::name_or(kBandNames, band, "unknown"), channel, pilots);
    d += "\nSupplemental Channel Information: \n";
    d += cdmadiag::kRule55;
    d += "\n";
    appendf(d, "Num Forward Supp Channels(SCH or SCCH): %u\nNum Reverse Supp Channels(SCH or SCCH): %u\n", nf, nr);
    constexpr const char* kRateLabels[] = {
        "Rate Forward SCH0: ", "Rate Forward SCH1: ", "Rate Reverse SCH0: ", "Rate Reverse SCH1: "};
    for (std::size_t i = 0; i < rates.size(); ++i) {
      d += kRateLabels[i];
      d += rates[i] == 0 ? "N/A" : SCHRate2Text(static_cast<int>(rates[i]));
      d += "\n";
    }
    // This report leaves a blank line under the rule.
    const cdmadiag::ChannelSetMask set{.fch = (mask & 1u) != 0,
                                       .sch0 = (mask & 2u) != 0,
                                       .sch1 = (mask & 4u) != 0,
                                       .dcch = (mask & 8u) != 0,
                                       .supplemental_codes = static_cast<int>((mask >> 4) & 7u)};
    cdmadiag::AppendChannelSetMask(d, cdmadiag::Link::kForward, set,
                                   "-------------------------------------------------------\n\n");
    d += "\nActive Set Pilot Information: \n";
    d += cdmadiag::kRule55;
    d += "\n";
    appendf(d, "Pilot_PN: %u, ", pn);
    d += pilot.createCString(1, 2);
    d += pilot.createCString(cdmadiag::kActivePilotChanCntEntry, cdmadiag::kActivePilotChanCntEntry);
  }
  const unsigned chan_cnt = pilot.value(cdmadiag::kActivePilotChanCntEntry) % 256u;
  const auto& code_table = cdmadiag::kCodeChannelFields;
  for (unsigned k = 0; k < chan_cnt; ++k) {
    COrbDecodeMsgCDMAQualcommFrameSegment code;
    bit = code.unpack(r.bytes().data(), r.size(), code_table.data(), static_cast<int>(code_table.size()), bit, nullptr,
                      kUnusedFlags);
    if (details) d += code.createCString();
    if (code.stopped()) break;
  }

  const AttrWriter always(ds, AttrWriter::kAlways);
  always.UShort(ATTR_ID_CDMA_CHANNEL, channel);
  if (CDMACommonUtils::IsPNValid(pn)) always.UShort(ATTR_ID_PILOT_PN, pn);
  always.UShort(ATTR_ID_NUM_ACTIVE_PILOTS, pilots);
}
