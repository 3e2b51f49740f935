// Service configuration, ver 2 (0x10C5): the IS-2000 service configuration of a call.
// Service configuration (0x102E): the same in packed form.
#include <array>
#include <cassert>
#include <cstdint>
#include <string>

#include "cdma1x/channel_config_fields.h"
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
using cdmadiag::Cursor;

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
[[maybe_unused]] constexpr std::size_t kHeaderSize = 10;

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
constexpr std::uint16_t kSvcOptionMask = 0x0FFF;
[[maybe_unused]] constexpr std::size_t kSvcFixedSize = 18;
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
  Cursor c(payload());
  const std::uint16_t fwd_mux = c.u16le();
  const std::uint16_t rev_mux = c.u16le();
  const std::uint8_t fwd_bits = c.u8();
  const std::uint8_t rev_bits = c.u8();
  const std::uint8_t active = c.u8();
  const unsigned cons = c.u8();
  const unsigned lpms = c.u8();
  const unsigned ltus = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kHeaderSize);
  const bool details = msg.detailsWanted;
  std::string& d = msg.details;
  if (details) {
    appendf(d,
            "\nForward Mux Option: %u, Reverse Mux Option: %u, Forward # of Bits: %u, Reverse # of bits: %u, FCH "
            "active: %u, DCCH active: %u, F-SCH active: %u, R-SCH active: %u, # of service option connection "
            "records: %u, # of LPM entries: %u, # of LTU tables: %u\n",
            unsigned{fwd_mux}, unsigned{rev_mux}, unsigned{fwd_bits}, unsigned{rev_bits}, active & 1u,
            (active >> 1) & 1u, (active >> 2) & 1u, (active >> 3) & 1u, cons, lpms, ltus);
  }
  const AttrWriter w(ds);
  // Each block is read whole before anything of it is used; one that runs past the
  // payload ends the decode.
  const auto whole = [&job, &c] { return c.ok() || job.fail(cdmadiag::kCorruptedContent); };

  if ((active & 1u) != 0) {
    const std::uint8_t fwd = c.u8();
    const std::uint8_t rev = c.u8();
    if (!whole()) return;
    w.UShort(ATTR_ID_Forward_RadioConfiguration_FCH, fwd);
    w.UShort(ATTR_ID_Reverse_RadioConfiguration_FCH, rev);
    if (details) appendf(d, "FCH fwd RC: %u, FCH rev RC: %u\n", unsigned{fwd}, unsigned{rev});
  }
  if ((active & 2u) != 0) {
    const std::uint8_t fwd = c.u8();
    const std::uint8_t rev = c.u8();
    if (!whole()) return;
    w.UShort(ATTR_ID_Forward_RadioConfiguration_DCCH, fwd);
    w.UShort(ATTR_ID_Reverse_RadioConfiguration_DCCH, rev);
    if (details) appendf(d, "DCCH fwd RC: %u, DCCH rev RC: %u\n", unsigned{fwd}, unsigned{rev});
  }
  for (const bool forward : {true, false}) {
    if ((active & (forward ? 4u : 8u)) == 0) continue;
    const std::uint8_t mux_hi = c.u8();
    const std::uint8_t mux_lo = c.u8();
    const std::uint8_t rc = c.u8();
    const std::uint8_t coding = c.u8();
    const std::uint8_t flags = c.u8();
    const std::uint8_t rate = c.u8();
    const std::uint8_t frame_offset = c.u8();
    if (!whole()) return;
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
              forward ? "F-SCH" : "R-SCH", unsigned{mux_hi}, unsigned{mux_lo}, unsigned{rc}, unsigned{coding},
              flags & 1u, (flags >> 1) & 1u, unsigned{rate});
      if (forward) {
        d += "\n";
      } else {
        appendf(d, ": %u\n", unsigned{frame_offset});
      }
    }
  }
  for (unsigned i = 1; i <= cons; ++i) {
    const std::uint8_t con_ref = c.u8();
    const std::uint8_t so_hi = c.u8();
    const std::uint8_t so_lo = c.u8();
    const std::uint8_t fwd_traffic = c.u8();
    const std::uint8_t rev_traffic = c.u8();
    const std::uint8_t encryption = c.u8();
    const std::uint8_t sr_id = c.u8();
    const std::uint8_t rlp = c.u8();
    const std::uint8_t qos = c.u8();
    if (!whole()) return;
    c.skip(std::size_t{rlp} + qos);
    if (!whole()) return;
    // Service option stored high byte first.
    const auto so = static_cast<std::uint16_t>(so_hi << 8 | so_lo);
    w.UShort(ATTR_ID_CDMA_ServiceOption, so);
    if (details) {
      appendf(d,
              "Con Rec Info %u:- Con reference: %u, Service option: %u, %s, %s, Encryption mode indicator: %u, "
              "Service reference identifier: %u, RLP blob len: %u, QOS param len: %u\n",
              i, unsigned{con_ref}, unsigned{so}, traffic_text(true, fwd_traffic).c_str(),
              traffic_text(false, rev_traffic).c_str(), unsigned{encryption}, unsigned{sr_id}, unsigned{rlp},
              unsigned{qos});
    }
  }
  for (unsigned i = 1; i <= lpms; ++i) {
    const std::uint8_t sr_id = c.u8();
    const std::uint8_t logical = c.u8();
    const std::uint8_t physical = c.u8();
    const std::uint8_t flags = c.u8();
    const std::uint8_t priority = c.u8();
    if (!whole()) return;
    if (details) {
      appendf(d,
              "LPM Info %u:- LPM Service ref ID: %u, Logical resource id: %u, Physical resource id: %u, Forward "
              "flag: %u, Reverse flag: %u, Mux priority: %u\n",
              i, unsigned{sr_id}, unsigned{logical}, unsigned{physical}, flags & 1u, (flags >> 1) & 1u,
              unsigned{priority});
    }
  }
  for (unsigned i = 1; i <= ltus; ++i) {
    const std::uint8_t table_id = c.u8();
    const unsigned rows = c.u8();
    if (!whole()) return;
    if (details) appendf(d, "LTU Info %u:- LTU Table ID: %u, Number of LTU rows: %u\n", i, unsigned{table_id}, rows);
    for (unsigned j = 1; j <= rows; ++j) {
      const std::uint8_t info_bits = c.u8();
      const std::uint8_t length_msb = c.u8();
      const std::uint8_t length_lsb = c.u8();
      if (!whole()) return;
      if (details) {
        appendf(d, "LTU Row %u:- SCH # of info bits index: %u, MSB of LTU length: %u, LSB of LTU length: %u\n", j,
                unsigned{info_bits}, unsigned{length_msb}, unsigned{length_lsb});
      }
    }
  }
  if (ltus > 0) {
    const std::uint8_t fsch_table = c.u8();
    c.skip(1);  // the R-SCH id: read, but the line has no place for it
    if (!whole()) return;
    if (details) appendf(d, "F-SCH LTU Table ID: %u, R-SCH LTU Table ID\n", unsigned{fsch_table});
  }
}

// The fixed fields are read only when all are present; a short packet must not be read past its end.
void COrbDecodeMsgCDMAQualcommFrame::DecodeServiceConfiguration(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeServiceConfiguration);
  Cursor c(payload());
  const auto so = static_cast<std::uint16_t>(c.u16le() & kSvcOptionMask);
  const std::uint8_t fwd_rc1 = c.u8();
  const std::uint8_t fwd_rc2 = c.u8();
  const std::uint8_t rev_rc1 = c.u8();
  const std::uint8_t rev_rc2 = c.u8();
  const std::uint8_t fch_frame_size = c.u8();
  const std::uint8_t dcch_frame_size = c.u8();
  const std::uint8_t fwd_traffic = c.u8();
  const std::uint8_t rev_traffic = c.u8();
  const std::uint16_t fwd_mux = c.u16le();
  const std::uint16_t rev_mux = c.u16le();
  const auto fwd_mask = static_cast<std::uint8_t>(c.u8() >> 4);
  const auto rev_mask = static_cast<std::uint8_t>(c.u8() >> 4);
  const unsigned fwd_schs = c.u8();
  const unsigned rev_schs = c.u8();
  if (!job.check(c)) return;
  assert(c.offset() == kSvcFixedSize);
  const auto fwd_rc = cdmadiag::RadioConfigsOfNibbles(fwd_rc1, fwd_rc2);
  const auto rev_rc = cdmadiag::RadioConfigsOfNibbles(rev_rc1, rev_rc2);

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
  appendf(d, "Service option: %u, ", unsigned{so});
  // The 55-dash rule under both headings is this report's own.
  cdmadiag::AppendRadioConfigs(d, cdmadiag::Link::kForward, fwd_rc, cdmadiag::kRule55);
  cdmadiag::AppendRadioConfigs(d, cdmadiag::Link::kReverse, rev_rc, cdmadiag::kRule55);
  appendf(d, "FCH frame size: %u, DCCH frame size: %u, \n%s, \n%s, ", unsigned{fch_frame_size},
          unsigned{dcch_frame_size}, traffic_text(true, fwd_traffic).c_str(), traffic_text(false, rev_traffic).c_str());
  appendf(d, "\nFor. Multiplex option: %u, Rev. Multiplex option: %u, \n%s%s, \n%s%s, ", unsigned{fwd_mux},
          unsigned{rev_mux},
          "Forward fundamental channel transmission rates: ", GetFCHTransmissionRatesAllowed(fwd_mask),
          "Reverse fundamental channel transmission rates: ", GetFCHTransmissionRatesAllowed(rev_mask));
  appendf(d, "\nNumber of active forward supplemental channels(SCH or SCCH): %u", fwd_schs);
  appendf(d, "\nNumber of active reverse supplemental channels: %u", rev_schs);
  // The records are shown only when all of them are there.
  const std::size_t records = fwd_schs + rev_schs;
  if (records == 0 || !c.need(kSchRecordSize * records)) return;
  for (std::size_t i = 0; i < records; ++i) {
    const std::uint8_t id = c.u8();
    const std::uint16_t mux = c.u16le();
    const std::uint8_t coding = c.u8();
    appendf(d, "\nSupplemental Channel Id: %u, Direction: %s, SCH Multiplex option: %u, Type of coding: %s", id & 7u,
            (id & 8u) != 0 ? "Reverse link" : "Forward link", unsigned{mux},
            cdmadiag::name_or(kCodings, coding, "Unknown"));
  }
}

// The header and the pilot record are read only when present; the code channels stop
// at the first one that does not fit, its text marked truncated. The SCH1 and DCCH
// lines follow bits 2 and 3 of the channel set mask, as FCH and SCH0 follow bits 0 and 1.
void COrbDecodeMsgCDMAQualcommFrame::DecodeActiveSetAndChanConfig(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                  IDekCellRefs_Search*) {
  const auto job = Begin(msg, &COrbDecodeMsgCDMAQualcommFrame::DecodeActiveSetAndChanConfig);
  const cdmadiag::PayloadReader r = payload();
  Cursor c(r);
  const std::uint8_t band = c.u8();
  const std::uint8_t channel = c.u8();
  const unsigned nf = c.u8();
  const unsigned nr = c.u8();
  const std::uint8_t pilots = c.u8();
  if (!job.check(c)) return;
  const unsigned fwd_bytes = nf < 2 ? nf : 2;
  const unsigned rev_bytes = nr < 2 ? nr : 2;
  // 0: absent or zero, both shown as N/A.
  std::array<unsigned, 4> rates{};
  for (unsigned i = 0; i < fwd_bytes; ++i) rates[i] = c.u8() & 0x0Fu;
  for (unsigned i = 0; i < rev_bytes; ++i) rates[2 + i] = c.u8() & 0x0Fu;
  // The pilot record, read again with its code channels by the field tables below.
  const std::size_t pilot_at = c.offset();
  const std::uint16_t pn = c.u16le();
  c.skip(2);  // record type, reserved
  const std::uint8_t mask = c.u8();
  c.skip(1);  // CHAN_CNT
  if (!job.check(c)) return;

  const auto& pilot_table = cdmadiag::kActivePilotFields;
  COrbDecodeMsgCDMAQualcommFrameSegment pilot;
  const std::uint8_t* bytes = r.data(0, r.size());
  int bit = pilot.unpack(bytes, r.size(), pilot_table.data(), static_cast<int>(pilot_table.size()),
                         static_cast<int>(8 * pilot_at), nullptr, kUnusedFlags);
  AttrWriter(ds).Long(ATTR_ID_For_FCH_Is_Active, mask & 1);

  std::string& d = msg.details;
  const bool details = msg.detailsWanted;
  if (details) {
    appendf(d, "\n Band class: %s, CDMA_CHANNEL: %u, Number of Pilots in active set: %u\n",
            cdmadiag::name_or(kBandNames, band, "unknown"), unsigned{channel}, unsigned{pilots});
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
    appendf(d, "Pilot_PN: %u, ", unsigned{pn});
    d += pilot.createCString(1, 2);
    d += pilot.createCString(cdmadiag::kActivePilotChanCntEntry, cdmadiag::kActivePilotChanCntEntry);
  }
  const unsigned chan_cnt = pilot.value(cdmadiag::kActivePilotChanCntEntry) % 256u;
  const auto& code_table = cdmadiag::kCodeChannelFields;
  for (unsigned k = 0; k < chan_cnt; ++k) {
    COrbDecodeMsgCDMAQualcommFrameSegment code;
    bit = code.unpack(bytes, r.size(), code_table.data(), static_cast<int>(code_table.size()), bit, nullptr,
                      kUnusedFlags);
    if (details) d += code.createCString();
    if (code.stopped()) break;
  }

  const AttrWriter always(ds, AttrWriter::kAlways);
  always.UShort(ATTR_ID_CDMA_CHANNEL, channel);
  if (CDMACommonUtils::IsPNValid(pn)) always.UShort(ATTR_ID_PILOT_PN, pn);
  always.UShort(ATTR_ID_NUM_ACTIVE_PILOTS, pilots);
}
