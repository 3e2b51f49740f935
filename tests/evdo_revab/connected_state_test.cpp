// EV-DO connected-state statistics (0x1186, 0x1187, 0x1189, 0x118A).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kTerm = 0x1186, kStack = 0x1187, kRmac = 0x1189, kSearch = 0x118A;

// 0x1186: start stamp 1 s after the epoch (count at +5), end stamp count at +13: its
// 48 bits take the reason (+17) and the low byte of the time since reset (+18), kept 0.
Bytes termination(std::uint8_t reason) {
  Bytes b;
  b.u8(2).at(5).u48(800).at(13).u16(1600).at(17).u8(reason).u32(7200000).u32(120000);
  for (std::uint32_t k = 0; k < 18; ++k) b.u16(100 + k);
  return b;
}

// Version 3, then counter k = k + 1; 0x118A adds RSSI -90 dBm and data level 5.
Bytes counters(std::size_t n, bool search = false) {
  Bytes b;
  b.u8(3);
  for (std::uint32_t k = 0; k < n; ++k) b.u32(k + 1);
  if (search) b.u8(0xA6).u8(5);
  return b;
}

const std::string kTermText =
    "Version No : 2\n"
    "Time stamp of the start of the last call/connection : 1980-01-06 00:00:01.000\n"
    "Time stamp of the end of the last call/connection : 1980-03-08 03:18:31.120\n"
    "High-level reason for call termination : AT connection close\n"
    "Time in ms in connected state since the last reset : 7200000\n"
    "Time in ms in connected state since the start of the last call connection : 120000\n"
    "No of call terminations since the last reset : 100\n"
    "No of times there was an FTCMAC supervision : 101\n"
    "No of times a CCMAC traffic supervision failure : 102\n"
    "No of times a CCMAC traffic suspended supervision failure occurred : 103\n"
    "No of times a CCMAC idle supervision failure occurred : 104\n"
    "No of times a DRC supervision failure occurred : 105\n"
    "No of times a TCA connection setup failure occured : 106\n"
    "No of times an RTCACK connection setup failure occurred : 107\n"
    "No of times a QC traffic supervision failure occurred : 108\n"
    "No of times a QC idle supervision failure occurred : 109\n"
    "No of times an SP traffic supervision failure occurred : 110\n"
    "No of times an SP idle supervision failure occurred : 111\n"
    "No of times an AP traffic supervision failure occurred : 112\n"
    "No of times an AP idle supervision failure occurred : 113\n"
    "No of times a connection close request was received : 114\n"
    "No of times a connection close request was sent : 115\n"
    "No of times a 1X handdown occurred : 116\n"
    "No of times a 1X handdown was ignored : 117\n";

std::size_t lines(const std::string& s) { return static_cast<std::size_t>(std::ranges::count(s, '\n')); }

TEST(EvdoConnectedState, TerminationTextWritesAndReasonPastTheTable) {
  DecoderCase c;
  c.run(kTerm, termination(1));  // 62 bytes, the least that decodes
  EXPECT_TRUE(c.failures.empty());
  EXPECT_EQ(c.msg.details, kTermText);
  const std::string w = c.writes();
  EXPECT_EQ(w.substr(0, w.find("ConnStatsTerm_FTCMAC")),
            "ConnStats_Version Byte[0] 2\nConnStatsTerm_LastCallReleaseReason Byte[0] 1\n"
            "ConnStatsTerm_TrafficTimeSinceReset ULong[0] 7200000\nConnStatsTerm_TrafficTimeOfCall ULong[0] 120000\n"
            "ConnStatsTerm_TotalCallTerminations UShort[0] 100\n");
  EXPECT_EQ(lines(w), 22u);
  EXPECT_TRUE(w.ends_with("ConnStatsTerm_1xHanddownIgnoredCount UShort[0] 117\n"));

  // Past the names: "n/a", the raw byte still written; the end stamp carries the byte.
  c.run(kTerm, termination(10));
  EXPECT_NE(c.msg.details.find("call/connection : 1981-09-18 09:04:53.200\n"
                               "High-level reason for call termination : n/a\n"),
            std::string::npos);
  EXPECT_NE(c.writes().find("LastCallReleaseReason Byte[0] 10\n"), std::string::npos);
  c.run(kTerm, termination(9));
  EXPECT_NE(c.msg.details.find(": Unspecified (ALMP rude close\n"), std::string::npos);
}

TEST(EvdoConnectedState, TwoHalvesKeepTheirOwnLabelsAndAttributes) {
  DecoderCase c;
  c.run(kStack, counters(26));
  const std::string& s = c.msg.details;
  EXPECT_TRUE(s.starts_with("Version No : 3\n----Counters Since Last Reset----\nTotal No of RUP msgs : 1\n"));
  EXPECT_NE(s.find("Total No of users msgs  : 7\n"), std::string::npos);
  EXPECT_NE(s.find("Total No of pilots in RUP msgs  : 13\n----Counters Since Start of the Call----\n"
                   "Total No of RUP msgs : 14\n"),
            std::string::npos);
  EXPECT_TRUE(s.ends_with("Total No of pilots in RUP msgs : 26\n"));
  EXPECT_EQ(lines(s), 29u);
  std::string w = c.writes();
  EXPECT_TRUE(w.starts_with("ConnStats_Version Byte[0] 3\nConnStatsTerm_RUPMessageCountSinceReset ULong[0] 1\n"));
  EXPECT_NE(w.find("ConnStatsTerm_CallReportMessageCountSinceCall ULong[0] 16\n"), std::string::npos);
  EXPECT_EQ(lines(w), 27u);

  c.run(kRmac, counters(32));
  EXPECT_NE(c.msg.details.find("Rate Inertia Frames 16\n----Counters Since Call----\nDRC Supervision Entry 17\n"),
            std::string::npos);
  w = c.writes();
  EXPECT_EQ(w.find("ConnStats_Version"), std::string::npos);
  EXPECT_TRUE(w.starts_with("ConnStatsRMAC_DRCSupervisionEntryCountSinceReset ULong[0] 1\n"));
  EXPECT_NE(w.find("ConnStatsTerm_RLSISupervisionExitCountSinceCall ULong[0] 20\n"), std::string::npos);
  EXPECT_EQ(lines(w), 32u);
}

TEST(EvdoConnectedState, SearchRssiIsSignedInTextAndRawInItsWrite) {
  DecoderCase c;
  c.run(kSearch, counters(30, true));
  EXPECT_NE(c.msg.details.find("Triage Cycle 15\n----Counters Since Last Call----\nServing Sector Handoff 16\n"),
            std::string::npos);
  EXPECT_TRUE(c.msg.details.starts_with("Version No 3\n"));
  EXPECT_TRUE(c.msg.details.ends_with(
      "Triage Cycle  30\n---------------------------------\nCurrent RSSI(dBm) -90\nCurrent Data Level Indicator 5\n"));
  const std::string w = c.writes();
  EXPECT_TRUE(
      w.ends_with("ConnStatsSearch_TriageCycleCountSinceLastCall ULong[0] 30\n"
                  "ConnStatsSearch_CurrentRSSI UInt[0] 166\n"
                  "ConnStatsSearch_CurrentDataLevelIndicator Byte[0] 5\n"));
  EXPECT_EQ(lines(w), 33u);
}

TEST(EvdoConnectedState, OnlySearchTitlesForDetailsAlone) {
  const std::vector<std::pair<std::uint32_t, Bytes>> packets = {
      {kTerm, termination(0)}, {kStack, counters(26)}, {kRmac, counters(32)}, {kSearch, counters(30, true)}};
  for (const auto& [code, b] : packets) {
    SCOPED_TRACE(formatf("code 0x%04X", code));
    DecoderCase c;
    c.title_wanted = false;
    c.run(code, b);
    EXPECT_EQ(c.msg.title.empty(), code != kSearch);
    EXPECT_FALSE(c.msg.details.empty());
  }
}

// The length is checked before anything is set: a short packet shows no title, no
// text and no write, whatever the cut, and the guard keeps the failure.
TEST(EvdoConnectedState, ShortPacketsThrowBeforeTheTitle) {
  const std::vector<std::pair<std::uint32_t, Bytes>> packets = {
      {kTerm, termination(0)}, {kStack, counters(26)}, {kRmac, counters(32)}, {kSearch, counters(30, true)}};
  for (const auto& [code, full] : packets) {
    sweep_truncations(code, full, [](const DecoderCase& c, std::size_t) {
      EXPECT_EQ(c.msg.title + c.msg.details + c.writes(), "");
      EXPECT_EQ(c.failures, std::vector<std::string>{kNotQualcommStandard});
    });
  }
}

}  // namespace
}  // namespace cdmadiag::test
