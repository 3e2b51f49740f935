// Status report (0x1FFE) and analog voice channel (0x1012).
#include <gtest/gtest.h>

#include <string>

#include "cdma1x/min_digits.h"
#include "support/decoder_case.h"

namespace {

using cdmadiag::MinDigitsText;
using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;

constexpr std::uint32_t kStatus = 0x1FFE;
constexpr std::uint32_t kAnalog = 0x1012;

// MIN1 from its three groups as stored: exchange code, thousands digit, last three.
constexpr std::uint32_t min1(std::uint32_t exchange, std::uint32_t thousands, std::uint32_t last) {
  return exchange << 14 | thousands << 10 | last;
}

// 858-555-1234 (stored 747, 444, 1, 123) and 000-012-0000 (stored 999, 901, 10, 999).
Bytes status_report(std::uint8_t scm = 0x2A) {
  Bytes b;
  b.at(0x0C).text("12:34:56", false);
  b.at(0x17).text("Dec 0206", false);
  b.at(0x32).text("V1.0", false);
  b.at(0x3A).u8(scm).u8(6).u8(42).u16(0x0105).u8(2);
  b.at(0x43).u32(0x8F00ABCD).u16(1);
  b.at(0x49).u32(min1(444, 1, 123)).u32(min1(901, 10, 999));
  b.at(0x51).u16(747).u16(999).i8(-1);
  b.at(0x5F).u16(3).u16(283).u8(7).u16(0x1A4).u16(4139).u16(12).u16(0x77);
  return b;
}

TEST(StatusAnalog, MinDigitsDropTheStoredOffset) {
  const struct {
    std::uint16_t code;
    int digits;
    const char* text;
  } cases[] = {
      {747, 3, "858"}, {999, 3, "000"}, {0, 3, "111"}, {901, 3, "012"},
      {99, 2, "00"},   {0, 2, "11"},    {5, 4, "???"}, {5, 1, "???"},
  };
  for (const auto& c : cases) EXPECT_EQ(MinDigitsText(c.code, c.digits), c.text) << c.code << "/" << c.digits;
}

TEST(StatusAnalog, StatusReportTextAndWrites) {
  DecoderCase c;
  c.run(kStatus, status_report());
  EXPECT_EQ(c.msg.details,
            "  Version: V1.0----, Firmware Rev: 261, CAI Rev: 6,\n"
            "  Compile Time / Date: Dec 0206 12:34:56---,\n"
            "  ESN 0x8f00abcd, Model: 42, SCM: 0x2a, RF Mode: CDMA,\n"
            "  ORIG_MIN: -1,\n"
            "      MIN (0x02eb-006f047b)  858-555-1234,\n"
            "      MIN (0x03e7-00e16be7)  000-012-0000,\n"
            "  SID: 4139, NID: 12, SLOT_CYCLE_INDEX: 2,\n"
            "  Current center freq. channel: 283,\n  CDMA code channel: 7,\n  CDMA current cell PN: (0x1a4) 420\n");
  EXPECT_EQ(c.writes({"CAIT", "MIN", "CDMA_PHONE", "RF_MODE"}),
            "CAIT_REVISION_NUMBER UInt[0] 6\n"
            "MIN1_LS ULong[0] 5551234\nMIN2_LS ULong[0] 120000\nMIN1_MS UShort[0] 858\nMIN2_MS UShort[0] 0\n"
            "CDMA_PHONE_NUMBER UInt64[0] 8585551234\nRF_MODE UShort[0] 1\n");
  c.read_only = true;
  c.run(kStatus, status_report());
  EXPECT_EQ(c.writes(), "CAIT_REVISION_NUMBER UInt[0] 6\n");
}

TEST(StatusAnalog, AnalogPowerFollowsTheStatusReportsClassAndHandoffsAreSeen) {
  DecoderCase c;
  const auto analog = [](std::uint16_t channel, std::uint8_t rssi, std::uint8_t atten) {
    return Bytes{}.u16(4139).u16(channel).u8(2).u8(rssi).u8(atten);
  };
  c.run(kAnalog, analog(300, 0, 0));  // no status report yet: class 0
  EXPECT_EQ(c.msg.details, "  SID: 4139, Channel: 300, SCC: 2, RSSI: -110.0 dBm, Tx Power: 36.0 dBm\n");
  EXPECT_EQ(c.writes({"ANALOG_H"}), "");
  c.run(kStatus, status_report(0x2A));  // power class 2
  c.run(kAnalog, analog(300, 255, 1));
  EXPECT_EQ(c.msg.details, "  SID: 4139, Channel: 300, SCC: 2, RSSI: -48.0 dBm, Tx Power: 28.0 dBm\n");
  EXPECT_EQ(c.writes(),
            "CDMA_EVENT_MSG Long[0] 13\nANALOG_CHANNEL UShort[0] 300\nSID UShort[0] 4139\nANALOG_SAT Byte[0] 2\n"
            "ANALOG_RSSI Double[0] -48\nANALOG_POWER_ATTEN Byte[0] 1\nANALOG_TX_POWER Double[0] 28\n");
  c.run(kAnalog, analog(301, 100, 9));
  EXPECT_EQ(c.writes({"ANALOG_TX", "ANALOG_H"}), "ANALOG_TX_POWER Double[0] 0\nANALOG_HANDOFF Byte[0] 1\n");
}

TEST(StatusAnalog, TruncatedPacketsAreReported) {
  for (const auto& [code, full] : {std::pair{kStatus, status_report()}, std::pair{kAnalog, Bytes{1, 0, 2, 0, 3, 4, 5}}}) {
    cdmadiag::test::sweep_truncations(code, full, [](const DecoderCase& c, std::size_t) {
      EXPECT_EQ(c.msg.details, "Message Buffer does not conforms to Qualcomm Standard.");
      EXPECT_EQ(c.writes(), "");
    });
  }
}

}  // namespace
