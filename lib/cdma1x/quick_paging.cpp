// Quick paging channel reports: the pilot and QPCH the handset monitored and, per
// indicator bit it demodulated, its decision and the energies behind it. Text only.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "framework/decoder_1x.h"
#include "framework/decoder_kit.h"
#include "framework/payload_cursor.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::Cursor;
using cdmadiag::name_or;
using F = COrbDecodeMsgCDMAQualcommFrame;

// Version 1 header (8 bytes):
//  +off  type  name            unit
//   +0   u8    Channel         0 = none
//   +1   u8    Rate            0 = 4800, 1 = 9600
//   +2   u16   pilot word      bits 0-9 PN, high bits the pilot's set
//   +4   i8    PowerLevel      dB
//   +5   u8    THI
//   +6   u8    THB
//   +7   u8    NumEntries

// Version 2 header (10 to 20 bytes):
//  +off  type  name            unit
//   +0   u16   pilot word
//   +2   u16   PagingSlot
//   +4   u8    bit 0 rate (0 = 4800, 1 = 9600), bits 1-7 transfer reason
//   +5   4xu8  PI Walsh code, power level index, THB, THI
//   +9   u8    broadcast indicators supported (1); then 4xu8 as for PI
//   +f   u8    configuration-change indicators supported (1); then 4xu8 as for PI
//  then  u8    NumEntries

// Indicator entry (12 bytes, both versions):
//   +0 u8 status, +1 u8 type, +2 u16 bit position, +4 u16 I bit energy, +6 u16 Q bit
//   energy, +8 u16 I pilot energy, +10 u16 Q pilot energy
constexpr std::size_t kEntrySize = 12;

constexpr std::uint16_t kPnMask = 0x03FF;
// Tested in this order, each match replacing the name: the last matching bit wins.
constexpr std::array<ValueName, 7> kPilotSetBits{{{0x8000, " Active"},
                                                  {0x4000, " Candidate"},
                                                  {0x2000, " Neighbor"},
                                                  {0x1000, " Remaining"},
                                                  {0x0800, " Precandidate"},
                                                  {0x0400, " Not the reference pilot"},
                                                  {0x0200, " Candidate frequency search set "}}};

constexpr std::array<ValueName, 5> kV1StatusNames{{{0, "Indicator Entry Not Applicable"},
                                                   {1, "Indicator Bit Not Detected"},
                                                   {2, "Indicator Bit Detected"},
                                                   {3, "Indicator Bit Erasure"},
                                                   {4, "Indicator Bit Invalid"}}};
constexpr std::array<ValueName, 5> kV2StatusNames{{{0, "Indicator Entry Not Applicable"},
                                                   {1, "Indicator Bit Not Detected"},
                                                   {2, "Indicator Bit Detected"},
                                                   {3, "Indicator Bit Erasure"},
                                                   {4, "Indicator Bit Missed"}}};
constexpr std::array<ValueName, 5> kV1TypeNames{{{0, "PI(Paging Indicator) Bit #1"},
                                                 {1, "PI(Paging Indicator) Bit #2"},
                                                 {2, "CCI(Configuration Change Indicator) Bit #1"},
                                                 {3, "CCI(Configuration Change Indicator) Bit #2"},
                                                 {4, "Indicator Bit Invalid"}}};
constexpr std::array<ValueName, 6> kV2TypeNames{{{0, "PI(Paging Indicator) Bit #1"},
                                                 {1, "PI(Paging Indicator) Bit #2"},
                                                 {2, "CCI(Configuration Change Indicator) Bit #1"},
                                                 {3, "CCI(Configuration Change Indicator) Bit #2"},
                                                 {4, "Broadcast indicator #1"},
                                                 {5, "Broadcast indicator #2"}}};
constexpr std::array<ValueName, 14> kTransferReasons{{{0, "QPCH_NO_XFER"},
                                                      {1, "QPCH_SLOT_IMMINENT"},
                                                      {2, "QPCH_MC_NOT_VALID"},
                                                      {3, "QPCH_CH_EST_BAD_SIGNAL"},
                                                      {4, "QPCH_XFER_BCAST_DATA"},
                                                      {5, "QPCH_BP_AND_PG"},
                                                      {6, "QPCH_BP_NOT_SUPPORTED"},
                                                      {7, "QPCH_RWUP"},
                                                      {8, "QPCH_PI1_PI2_ON"},
                                                      {9, "QPCH_BI1_BI2_ON"},
                                                      {10, "QPCH_NEXT_SLOT_NOT_SUPPORTED"},
                                                      {11, "QPCH_CCI_HANDOFF"},
                                                      {12, "QPCH_CCI_ON"},
                                                      {13, "QPCH_DISABLE_BIO_SWITCH"}}};
constexpr std::array<ValueName, 8> kPowerLevels{{{0, "5 dB below Pilot Channel Transmit Power"},
                                                 {1, "4 dB below Pilot Channel Transmit Power"},
                                                 {2, "3 dB below Pilot Channel Transmit Power"},
                                                 {3, "2 dB below Pilot Channel Transmit Power"},
                                                 {4, "1 dB below Pilot Channel Transmit Power"},
                                                 {5, "Same as Pilot Channel Transmit Power"},
                                                 {6, "1 dB above Pilot Channel Transmit Power"},
                                                 {7, "2 dB above Pilot Channel Transmit Power"}}};
constexpr std::array<ValueName, 2> kV2RateNames{{{0, "4800 bps"}, {1, "9600 bps"}}};

// Where the entry count claims more entries than the payload holds.
constexpr const char* kEntriesCut = "\nPacket ends after %u of %u entries\n";

const char* pilot_set_name(std::uint16_t word) {
  const char* name = "";
  for (const ValueName& b : kPilotSetBits) {
    if ((word & b.value) != 0) name = b.name;
  }
  return name;
}

// The entries from c's offset, as far as they are whole.
void append_entries(std::string& out, Cursor c, unsigned count, std::span<const ValueName> statuses,
                    std::span<const ValueName> types, const cdmadiag::Decoding& job) {
  appendf(out, "Number of Entries: %u", count);
  const auto whole = static_cast<unsigned>(c.whole_records(kEntrySize, count));
  for (unsigned k = 0; k < whole; ++k) {
    const std::uint8_t status = c.u8();
    const std::uint8_t type = c.u8();
    const std::uint16_t position = c.u16le();
    std::array<std::uint16_t, 4> energy{};  // I bit, Q bit, I pilot, Q pilot
    for (std::uint16_t& e : energy) e = c.u16le();
    // Statuses and types past the tables show their label alone.
    appendf(out, "\n-----------------Record: %u-----------------", k);
    appendf(out,
            "\nStatus: %s\nType: %s\nIndicator Bit Position: %u, I channel bit energy: %u, Q channel bit energy: %u, "
            "I channel pilot energy: %u, Q channel pilot energy: %u",
            name_or(statuses, status, ""), name_or(types, type, ""), unsigned{position}, unsigned{energy[0]},
            unsigned{energy[1]}, unsigned{energy[2]}, unsigned{energy[3]});
  }
  if (whole < count) job.fail(cdmadiag::formatf(kEntriesCut, whole, count).c_str());
}

// One indicator block of the version-2 header: Walsh code, power level index, THB, THI.
struct Indicator {
  std::uint8_t walsh, power, thb, thi;
};
Indicator read_indicator(Cursor& c) {
  Indicator i{};
  i.walsh = c.u8();
  i.power = c.u8();
  i.thb = c.u8();
  i.thi = c.u8();
  return i;
}

void append_indicator(std::string& out, const Indicator& i, const char* heading, const char* kind) {
  appendf(
      out,
      "%s:-\nWalsh Code: %d, Power Level: %s, THB threshold for %s decision: %u, THI threshold for %s decision: %u\n",
      heading, int{i.walsh}, name_or(kPowerLevels, i.power, "Invalid"), kind, unsigned{i.thb}, kind, unsigned{i.thi});
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeQuickPagingChannelInfo(IOrbDataState*, COrbExpandedMessage& msg,
                                                                  IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeQuickPagingChannelInfo);
  if (!msg.detailsWanted) return;
  Cursor c(payload());
  const std::uint8_t channel = c.u8();
  const std::uint8_t rate = c.u8();
  const std::uint16_t pilot = c.u16le();
  const std::int8_t power = c.i8();
  const std::uint8_t thi = c.u8();
  const std::uint8_t thb = c.u8();
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;

  std::string& out = msg.details;
  const std::string channel_text =
      channel != 0 ? cdmadiag::formatf("Channel Number: %u", unsigned{channel}) : "Invalid Channel";
  const char* rate_text = rate == 0 ? "QPCH Rate: 4800" : rate == 1 ? "QPCH Rate: 9600" : "QPCH Rate: Invalid";
  appendf(out, "%s, %s\n%sPN: %d\nQPCH Power Level : %d dB\n", channel_text.c_str(), rate_text, pilot_set_name(pilot),
          pilot & kPnMask, int{power});
  appendf(out,
          "Erasure Threshold(THI threshold for PI decision): %u, Bit Threshold(THB threshold for PI decision): %u\n",
          unsigned{thi}, unsigned{thb});
  append_entries(out, c, count, kV1StatusNames, kV1TypeNames, job);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeQuickPagingChannelInfoVer2(IOrbDataState*, COrbExpandedMessage& msg,
                                                                      IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeQuickPagingChannelInfoVer2);
  if (!msg.detailsWanted) return;
  // Each optional indicator block follows its flag when the flag is 1.
  Cursor c(payload());
  const std::uint16_t pilot = c.u16le();
  const std::uint16_t slot = c.u16le();
  const std::uint8_t rate_reason = c.u8();
  const Indicator paging = read_indicator(c);
  const bool bcast = c.u8() == 1;
  const Indicator broadcast = bcast ? read_indicator(c) : Indicator{};
  const bool cci = c.u8() == 1;
  const Indicator config_change = cci ? read_indicator(c) : Indicator{};
  const std::uint8_t count = c.u8();
  if (!job.check(c)) return;

  std::string& out = msg.details;
  appendf(out, "%s PN: %d\nPaging slot number: %d, QPCH Rate : %s,  QPCH transfer Reason: %s\n", pilot_set_name(pilot),
          pilot & kPnMask, int{slot}, name_or(kV2RateNames, cdmadiag::bits(rate_reason, 0, 1), ""),
          name_or(kTransferReasons, cdmadiag::bits(rate_reason, 1, 7), "Invalid"));
  append_indicator(out, paging, "Paging Indicators", "PI");
  if (bcast) append_indicator(out, broadcast, "Broadcast Indicators", "BI");
  if (cci) append_indicator(out, config_change, "Configuration change indicator", "CCI");
  append_entries(out, c, count, kV2StatusNames, kV2TypeNames, job);
}
