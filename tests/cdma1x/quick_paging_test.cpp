// Quick paging channel reports (0x1030, 0x10BC).
#include <gtest/gtest.h>

#include <string>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kV1 = 0x1030;
constexpr std::uint32_t kV2 = 0x10BC;

// One 12-byte indicator entry: status, type, bit position, then four energies.
Bytes& entry(Bytes& b, std::uint8_t status, std::uint8_t type, std::uint16_t pos) {
  return b.u8(status).u8(type).u16(pos).u16(100).u16(200).u16(300).u16(400);
}
std::string entry_text(unsigned k, const std::string& status, const std::string& type, unsigned pos) {
  return "\n-----------------Record: " + std::to_string(k) + "-----------------\nStatus: " + status +
         "\nType: " + type + "\nIndicator Bit Position: " + std::to_string(pos) +
         ", I channel bit energy: 100, Q channel bit energy: 200, I channel pilot energy: 300, Q channel pilot "
         "energy: 400";
}

// Channel 0, rate 1, PN 84 flagged Active and Not the reference pilot, -3 dB, THI 5, THB 6.
Bytes v1(std::uint8_t count, unsigned entries) {
  Bytes b;
  b.u8(0).u8(1).u16(0x8400 | 84).i8(-3).u8(5).u8(6).u8(count);
  for (unsigned k = 0; k < entries; ++k) entry(b, k == 0 ? 2 : 7, k == 0 ? 4 : 9, 10 + k);
  return b;
}

const std::string kV1Head =
    "Invalid Channel, QPCH Rate: 9600\n Not the reference pilotPN: 84\nQPCH Power Level : -3 dB\nErasure "
    "Threshold(THI threshold for PI decision): 5, Bit Threshold(THB threshold for PI decision): 6\nNumber of Entries: ";

TEST(QuickPaging, Version1EntriesAndLyingCount) {
  DecoderCase c;
  c.run(kV1, v1(2, 2));
  // Status 7 and type 9 are past the tables: their labels stand alone.
  EXPECT_EQ(c.msg.details, kV1Head + "2" + entry_text(0, "Indicator Bit Detected", "Indicator Bit Invalid", 10) +
                               entry_text(1, "", "", 11));
  EXPECT_EQ(c.writes(), "");
  // A count of 5 over two whole entries and a part of a third.
  c.run(kV1, v1(5, 2).zeros(7));
  EXPECT_EQ(c.msg.details, kV1Head + "5" + entry_text(0, "Indicator Bit Detected", "Indicator Bit Invalid", 10) +
                               entry_text(1, "", "", 11) + "\nPacket ends after 2 of 5 entries\n");
}

// PN 300 Active, slot 1234, rate 1 with reason 13; PI Walsh 3 at power index 5, THB 7, THI 8.
Bytes v2(bool bcast, bool cci, std::uint8_t count) {
  Bytes b;
  b.u16(0x8000 | 300).u16(1234).u8(1 | 13 << 1).u8(3).u8(5).u8(7).u8(8).u8(bcast ? 1 : 0);
  if (bcast) b.u8(4).u8(9).u8(1).u8(2);
  b.u8(cci ? 1 : 0);
  if (cci) b.u8(6).u8(0).u8(3).u8(4);
  b.u8(count);
  for (unsigned k = 0; k < count; ++k) entry(b, 4, 5, 20 + k);
  return b;
}

const std::string kV2Head =
    " Active PN: 300\nPaging slot number: 1234, QPCH Rate : 9600 bps,  QPCH transfer Reason: "
    "QPCH_DISABLE_BIO_SWITCH\nPaging Indicators:-\nWalsh Code: 3, Power Level: Same as Pilot Channel Transmit Power, "
    "THB threshold for PI decision: 7, THI threshold for PI decision: 8\n";
const std::string kV2Bcast =
    "Broadcast Indicators:-\nWalsh Code: 4, Power Level: Invalid, THB threshold for BI decision: 1, THI threshold "
    "for BI decision: 2\n";
const std::string kV2Cci =
    "Configuration change indicator:-\nWalsh Code: 6, Power Level: 5 dB below Pilot Channel Transmit Power, THB "
    "threshold for CCI decision: 3, THI threshold for CCI decision: 4\n";

TEST(QuickPaging, Version2OptionalBlocksMoveTheCount) {
  const std::string e0 = entry_text(0, "Indicator Bit Missed", "Broadcast indicator #2", 20);
  const std::string e1 = entry_text(1, "Indicator Bit Missed", "Broadcast indicator #2", 21);
  const struct {
    bool bcast, cci;
    std::string text;
  } cases[] = {
      {true, true, kV2Head + kV2Bcast + kV2Cci},
      {false, true, kV2Head + kV2Cci},    // configuration change read from 11..14, count at 15
      {true, false, kV2Head + kV2Bcast},  // count at 15
      {false, false, kV2Head},
  };
  for (const auto& t : cases) {
    DecoderCase c;
    c.run(kV2, v2(t.bcast, t.cci, 2));
    EXPECT_EQ(c.msg.title, "Quick Paging Channel Info, Ver 2");
    EXPECT_EQ(c.msg.details, t.text + "Number of Entries: 2" + e0 + e1) << t.bcast << t.cci;
  }
}

TEST(QuickPaging, EveryTruncationStopsCleanly) {
  sweep_truncations(kV1, v1(2, 2), [](const COrbExpandedMessage& msg, std::size_t n) {
    EXPECT_TRUE(n < 8 ? msg.details == kNotQualcommStandard : msg.details.ends_with(" of 2 entries\n"));
  });
  const Bytes full = v2(true, true, 2);
  sweep_truncations(kV2, full, [](const COrbExpandedMessage& msg, std::size_t n) {
    EXPECT_TRUE(n < 20 ? msg.details == kNotQualcommStandard : msg.details.ends_with(" of 2 entries\n"));
  });
}

}  // namespace
}  // namespace cdmadiag::test
