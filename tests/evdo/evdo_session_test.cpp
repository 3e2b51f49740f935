// EV-DO session, access, connection, paging, state, sector and ATI list events.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kSession = 0x106B, kSession2 = 0x1088, kAccess = 0x106C, kEnhAccess = 0x1292,
                        kConnection = 0x106E, kRelease = 0x1071, kPage = 0x106F, kState = 0x107E, kSector = 0x1080,
                        kAtiList = 0x1087, kArbitration = 0x1081;

// Transaction 7, result, RATI 0x01020304, duration 300, counts 5/2/7, PN 168, colour code 9.
Bytes session(std::uint8_t result) {
  return Bytes{}.u8(7).u8(result).u32(0x01020304).u16(300).u32(5).u32(2).u32(7).u16(168).u8(9);
}
Bytes session1(std::uint8_t result) { return session(result).u24(0xABCDEF); }
Bytes session2(std::uint8_t result) {
  Bytes b = session(result);
  for (std::uint32_t i = 0; i < 16; ++i) b.u8(i * 0x11);  // 00 11 22 ... ff
  return b;
}

// Transaction 3, step 4, max 2, sequences 1, result, duration 120 slots, counts 10/1/11, PN 252,
// sector 0x80000001, colour code 9, probes 4.
Bytes access(std::uint8_t result) {
  return Bytes{}.u8(3).u8(4).u8(2).u8(1).u8(result).u16(120).u32(10).u32(1).u16(11).u16(252).u32(0x80000001).u8(9).u8(
      4);
}
// Version 2, delay 15, parameters 1, power adjust 3, 2 skipped, offset 1, rate 2, payload 6, then the
// access fields as above with a 2-byte gap before the PN and a 24-bit sector id.
Bytes enh_access(std::uint8_t sequences, std::uint8_t result = 2) {
  Bytes b = Bytes{}.u8(2).u8(15).u8(1).u8(3).u16(0xFFFF).u8(1).u8(2).u8(6);
  b.u8(3).u8(4).u8(2).u8(sequences).u8(result).u16(120).u32(10).u32(1).u16(11).u16(0xFFFF).u16(252).u24(0x123456);
  b.u8(9);
  if (sequences != 0) b.u8(4);
  return b;
}

// Transaction 1, sequence 2, result/status byte, duration 40, counts 3/1/4, PN 168, sector 0x0A0B0C, cc 9, 2 HOs.
Bytes connection(std::uint8_t result, std::uint8_t status) {
  const auto byte = static_cast<std::uint8_t>(status << 4 | result);
  return Bytes{}.u8(1).u8(2).u8(byte).u16(40).u32(3).u32(1).u32(4).u16(168).u24(0x0A0B0C).u8(9).u8(2);
}

Bytes states(std::uint8_t v) { return Bytes{}.u8(v).u8(v).u8(v).u8(v).u8(v).u8(v).u8(v).u8(v).u8(v); }
Bytes sector() { return Bytes{}.zeros(16).u8(104).u8(9).u16(336); }
Bytes page() { return Bytes{}.u16(1234).u32(70000).u16(96); }
Bytes ati_list(std::uint8_t count, int records) {
  Bytes b = Bytes{}.u8(count);
  for (int i = 0; i < records; ++i) b.u32(0xF0000000u + static_cast<std::uint32_t>(i));
  return b;
}

std::string details(std::uint32_t code, const Bytes& b) {
  DecoderCase c;
  return c.run(code, b).details;
}

const std::string kSessionHead =
    "TransactionId: 7\nResult: Received UATIAssignment message\nRATI: 16909060\nDuration: 300\nSuccessCount: 5\n"
    "FailureCount: 2\nAttemptsCount: 7\n";

// The drive's packets pin the assigned version 2 text and writes; here version 1 and the failures.
TEST(EvdoSession, SessionAttemptsShowTheUatiOnlyWhenAssigned) {
  DecoderCase c;
  c.run(kSession, session1(0));
  EXPECT_EQ(c.msg.details, kSessionHead + "PN: 168\nUATIColorCode: 9\nUATI024: 11259375");
  EXPECT_EQ(c.writes({"EVDO_SESSIONATTEMPT_PN", "EVDO_SESSIONATTEMPT_UATI", "EVDO_SESSIONATTEMPT_RATI"}),
            "EVDO_SESSIONATTEMPT_RATI ULong[0] 16909060\nEVDO_SESSIONATTEMPT_PN UShort[0] 168\n"
            "EVDO_SESSIONATTEMPT_UATI_COLOR_CODE Byte[0] 9\nEVDO_SESSIONATTEMPT_UATI024 ULong[0] 11259375\n");

  c.run(kSession, session1(1));
  EXPECT_EQ(c.msg.details,
            "TransactionId: 7\nResult: Did not receive UATIAssignment message\nRATI: 16909060\n"
            "Duration: 300\nSuccessCount: 5\nFailureCount: 2\nAttemptsCount: 7\n");
  EXPECT_EQ(c.writes({"EVDO_SESSIONATTEMPT_PN", "EVDO_SESSIONATTEMPT_UATI"}),
            "EVDO_SESSIONATTEMPT_PN NoValue[0]\nEVDO_SESSIONATTEMPT_UATI_COLOR_CODE NoValue[0]\n"
            "EVDO_SESSIONATTEMPT_UATI024 NoValue[0]\n");

  // Any result but 0 is a failure: no UATI, no event, and only PN and colour code marked.
  c.run(kSession2, session2(2));
  EXPECT_EQ(c.msg.details.find("UATI: 0x"), std::string::npos);
  EXPECT_EQ(c.writes({"EVDO_SESSIONATTEMPTVER2_PN", "EVDO_SESSIONATTEMPTVER2_UATI", "EVDO_UATI"}),
            "EVDO_SESSIONATTEMPTVER2_PN NoValue[0]\nEVDO_SESSIONATTEMPTVER2_UATI_COLOR_CODE NoValue[0]\n");
}

// Only a missed acknowledgement and an interrupted probe raise an event.
TEST(EvdoSession, AccessAttemptTextAndEventFlags) {
  DecoderCase c;
  EXPECT_EQ(c.run(kAccess, access(3)).details,
            "Transaction ID: 3\nProbe num step: 4\nMax probe sequence: 2\n\nProbe sequence count: 1\n"
            "Result: 3 (Probe interrupted)\nDuration(in slots): 120\nSuccess count: 10\nFailure count: 1\n"
            "Attempts count: 11\nPN: 252\nSector ID: 2147483649\nColor code: 9\nProbe Count: 4\n");
  const struct {
    std::uint8_t result;
    const char* flags;
  } cases[] = {{0, "EVDO_ACCESSATTEMPT_FAILED Long[0] 1\n"}, {1, ""}, {2, ""}, {3, "PROBE_INTERRUPTED Long[0] 1\n"},
               {255, ""}};
  for (const auto& k : cases) {
    c.run(kAccess, access(k.result));
    EXPECT_EQ(c.writes({"EVDO_ACCESSATTEMPT_FAILED", "PROBE_"}), k.flags) << int(k.result);
  }
  EXPECT_NE(c.msg.details.find("Result: 255 (Reserved)\n"), std::string::npos);
}

TEST(EvdoSession, EnhancedAccessAttemptReadsTheProbeCountOnlyAfterAProbeSequence) {
  DecoderCase c;
  EXPECT_EQ(c.run(kEnhAccess, enh_access(1, 0)).details,
            "\nVer.: 2, Max PN Random. delay: 15, Enh. Access Parames. Include: Yes, Probe power adjust: 3"
            "\nAccess offset: 1, Max sector access rate: 2, Payload size: 6"
            "\nTransaction ID: 3\nProbe num step: 4\nMax probe sequence: 2\n\nProbe sequence count: 1\n"
            "Result: 0 (ACAck not received)\nDuration(in slots): 120\nSuccess count: 10\nFailure count: 1\n"
            "Attempts count: 11\nPN: 252\nSector ID: 1193046\nColor code: 9\nProbe Count: 4\n");
  EXPECT_EQ(c.writes({"EVDO_ACCESSATTEMPT_PN", "EVDO_ACCESSATTEMPT_SECTOR", "EVDO_ACCESSATTEMPT_PROBE_COUNT",
                      "EVDO_ACCESSATTEMPT_FAILED"}),
            "EVDO_ACCESSATTEMPT_PN UShort[0] 252\nEVDO_ACCESSATTEMPT_SECTOR_ID ULong[0] 1193046\n"
            "EVDO_ACCESSATTEMPT_PROBE_COUNT Byte[0] 4\nEVDO_ACCESSATTEMPT_FAILED Long[0] 1\n");

  // 34 bytes suffice without a probe sequence; the count is then 0 and not shown.
  c.run(kEnhAccess, enh_access(0));
  EXPECT_EQ(c.failures, std::vector<std::string>{});
  EXPECT_EQ(c.msg.details.find("Probe Count"), std::string::npos);
  EXPECT_NE(c.msg.details.find("Color code: 9\n"), std::string::npos);
  EXPECT_EQ(c.writes({"EVDO_ACCESSATTEMPT_PROBE_COUNT"}), "EVDO_ACCESSATTEMPT_PROBE_COUNT Byte[0] 0\n");

  // With a probe sequence the count's byte is required.
  c.run(kEnhAccess, enh_access(1).prefix(34));
  EXPECT_EQ(c.failures, std::vector<std::string>{kNotQualcommStandard});
  EXPECT_EQ(c.msg.details + c.writes(), "");
}

// The drive pins a successful attempt and a release; here the quirky and the unnamed values.
TEST(EvdoSession, ConnectionAttemptAndReleaseNamesPastTheirEnds) {
  EXPECT_EQ(details(kConnection, connection(11, 3)),
            "TransactionId: 1\nMessageSequence: 2\nConnectionAttemptResult: 11 (E - Reserved)\n"
            "ReceptionStatus: 3 (Reserved), Duration: 40\nSuccessCount: 3\n"
            "FailureCount: 1\nAttemptsCount: 4\nPN: 168\nSectorID: 658188\nColorCode: 9\nNumHO: 2\n");
  EXPECT_NE(details(kConnection, connection(12, 15)).find("Result: 12 (Reserved)\nReceptionStatus: 15 (Reserved),"),
            std::string::npos);
  DecoderCase c;
  EXPECT_EQ(c.run(kRelease, Bytes{255}).details, "Reason: 255 (Reserved)");
  EXPECT_EQ(c.writes(), "EVDO_CONNECTIONRELEASE_REASON Byte[0] 255\n");
}

TEST(EvdoSession, StatePageSectorAndArbitration) {
  // Each state table's last name.
  DecoderCase c;
  EXPECT_EQ(c.run(kState, Bytes{5, 4, 3, 3, 3, 1, 3, 5, 1}).details,
            "AT state: 5 (Connected)\nSession state: 4 (Open)\nALMP state: 3 (Connected)\nInit state: 3 (Sync)\n"
            "Idle state: 3 (Connection setup)\nConnected state: 1 (Open)\nRoute update state: 3 (Connected)\n"
            "Overhead message state: 5 (Wait for Link)\nHDR hybrid mode: 1 (On)\n");
  EXPECT_EQ(c.writes({"EVDO_STATEINFO_AT", "EVDO_STATEINFO_HDR"}),
            "EVDO_STATEINFO_AT_STATE Byte[0] 5\nEVDO_STATEINFO_HDR_HYBRID_MODE Byte[0] 1\n");
  EXPECT_EQ(c.run(kPage, page()).details, "HSTR: 1234\nAttemptsCount: 70000\nPN: 96\n");
  EXPECT_EQ(c.writes({"EVDO_PAGEMSG_ATTEMPTS"}), "EVDO_PAGEMSG_ATTEMPTS_COUNT ULong[0] 70000\n");
  EXPECT_EQ(c.run(kSector, sector()).details, "Subnet mask: 104\nColor code: 9\nPN offset: 336\n");
  EXPECT_EQ(c.writes({"EVDO_SECTOR_PN"}), "EVDO_SECTOR_PN_OFFSET UShort[0] 336\n");
  EXPECT_EQ(c.run(kArbitration, Bytes{1, 2, 3}).title + "|" + c.msg.details, "1xEV System Arbitration|");
}

TEST(EvdoSession, AtiListShowsTheCountAsSentAndOnlyWholeRecords) {
  EXPECT_EQ(details(kAtiList, ati_list(2, 2)),
            "Num_records: 2\n\t\nUATI_value[0]: 4026531840\n"
            "UATI_value[1]: 4026531841\n");
  EXPECT_EQ(details(kAtiList, ati_list(0, 0)), "Num_records: 0\n\t\n");
  // A count of 200 over two records and three stray bytes.
  Bytes lying = ati_list(200, 2).u8(1).u8(2).u8(3);
  DecoderCase c;
  EXPECT_EQ(c.run(kAtiList, lying).details,
            "Num_records: 200\n\t\nUATI_value[0]: 4026531840\n"
            "UATI_value[1]: 4026531841\n");
  EXPECT_EQ(c.writes(), "");
  // A count below the records present stops at the count.
  EXPECT_EQ(details(kAtiList, ati_list(1, 3)), "Num_records: 1\n\t\nUATI_value[0]: 4026531840\n");
}

TEST(EvdoSession, EveryTruncationFailsByThePolicy) {
  const struct {
    std::uint32_t code;
    Bytes full;
  } reported[] = {
      {kSession, session1(0)},   {kSession2, session2(0)}, {kAccess, access(0)}, {kConnection, connection(0, 0)},
      {kRelease, Bytes{1}},      {kPage, page()},          {kState, states(1)},  {kSector, sector()},
      {kAtiList, ati_list(3, 3)}};
  for (const auto& k : reported) {
    sweep_truncations(k.code, k.full, [&](const DecoderCase& c, std::size_t n) {
      if (k.code == kAtiList && n > 0) {
        // Each whole record shows; a partial one does not.
        EXPECT_EQ(std::ranges::count(c.msg.details, '\n'), 2 + static_cast<long>((n - 1) / 4));
      } else {
        EXPECT_EQ(c.msg.details, kNotQualcommStandard);
        EXPECT_EQ(c.writes(), "");
      }
    });
  }
  // Inside the guard the failure text goes to the guard, not to the details.
  sweep_truncations(kEnhAccess, enh_access(1), [](const DecoderCase& c, std::size_t) {
    EXPECT_EQ(c.msg.details + c.writes(), "");
    EXPECT_EQ(c.failures, std::vector<std::string>{kNotQualcommStandard});
  });
}

}  // namespace
}  // namespace cdmadiag::test
