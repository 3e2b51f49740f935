// 1xEV Air Link Summary (0x1068): text, per-packet writes, and the PER and
// DRC-request filters carried from packet to packet through the data state.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kCode = 0x1068;
constexpr std::uint16_t kEmpty = 0xFFFF;
const std::string kAttr = "ATTR_ID_EVDO_AIRLINKSUMMARY_";

// One 89-byte frame, field by field.
struct Frame {
  std::array<std::uint8_t, 16> drc{};       // DRC index per slot
  std::array<std::uint16_t, 16> sinr{};     // best-ASP SINR per slot, 1/512
  std::uint8_t flags = 0;                   // PktRcvFlag / PAState / BestASPPredicted
  std::array<std::uint16_t, 6> asp_sinr{};  // filtered SINR, 1/512
  std::array<std::uint16_t, 6> pn{kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty};
  std::array<std::int16_t, 6> rpc{};
  std::uint16_t per = 0;  // 1/16384
  std::uint16_t sequence = 0, hstr = 0;
  std::array<std::uint8_t, 6> cell_map{};

  void append(Bytes& b) const {
    for (int k = 0; k < 8; ++k) b.u8(drc[2 * k] | (drc[2 * k + 1] << 4));  // slot 2k low nibble
    for (auto v : sinr) b.u16(v);
    b.u8(flags);
    for (auto v : asp_sinr) b.u16(v);
    for (auto v : pn) b.u16(v);
    for (auto v : rpc) b.u16(static_cast<std::uint16_t>(v));
    b.u16(per).u16(sequence).u16(hstr);
    for (auto v : cell_map) b.u8(v);
  }
};

Bytes packet(const Frame& f1, const Frame& f2) {
  Bytes b;
  f1.append(b);
  f2.append(b);
  return b;
}

Frame uniform(std::uint8_t drc, std::uint16_t per, std::uint16_t sequence, std::uint16_t sinr = 512) {
  Frame f;
  f.drc.fill(drc);
  f.sinr.fill(sinr);
  f.per = per;
  f.sequence = sequence;
  return f;
}

Frame hand_frame1() {
  Frame f = uniform(0, 1024, 7);  // 6.25 %
  for (std::uint8_t s = 0; s < 16; ++s) {
    f.drc[s] = s;                                         // every DRC index once
    f.sinr[s] = s == 1 ? 0 : (s % 2 == 0 ? 1024 : 5120);  // 3.01 dB / 10.00 dB, slot 1 none
  }
  f.flags = 0x03;                               // PktRcvFlag 1, PAState 1, BestASPPredicted 3
  f.asp_sinr = {1024, 5120, 0, 1024, 0, 2048};  // ASP 4 ties ASP 1; ASP 3 has no SINR
  f.pn = {100, 200, 300, 400, kEmpty, kEmpty};  // ASP 6 has a SINR but no pilot
  f.rpc = {-2, 3, 0, 1, 0, 0};
  f.cell_map = {0, 1, 2, 3, 0, 0};
  f.hstr = 1234;
  return f;
}
Frame hand_frame2() {                   // BestASPPredicted 0: no ASP
  Frame f = uniform(4, 2048, 8, 2048);  // 12.50 %, 6.02 dB
  std::fill(f.drc.begin() + 8, f.drc.end(), 9);
  f.sinr[15] = 0;
  f.asp_sinr[0] = 512;
  f.pn[0] = 100;
  f.rpc[0] = 5;
  f.hstr = 1250;
  return f;
}

// The drive pins the layout of the text; here the lines this packet's edges decide.
const char* const kHandLines[] = {
    "**** Information for frame #1 of 2****\nSlot\tDRC Rate\tSINR_For_BestASP(dB)\n",
    "\n0\t         0\t\t    3.01\n1\t     38400\t     Off\n",  // DRC 0 has no rate; slot 1 no SINR
    "\n15\tDRC Channel is Off\t   10.00\n",
    "\nPktRcvFlag: 1, PAState: 1 (On), BestASPPredicted: 3 (300)\n",
    // ASP 3 without a SINR is shown as Off; ASPs 5 and 6 (no pilot) are left out.
    "\n3\t\tOff\t\t     300\t\t       0\t\t       2\n4\t\t3.01\t\t     400\t\t       1\t\t       3\n\t\n",
    "Instantaneous Packet Error Rate: 6.25%, Packet Error Rate sequence: 7, Current half slot reference count: 1234\n",
    // 0 names no ASP: the raw value only.
    "\t\nPktRcvFlag: 0, PAState: 0 (Off), BestASPPredicted: 0 \n",
    "\n15\t1228800(S)\t     Off\n",
    "Instantaneous Packet Error Rate: 12.50%, Packet Error Rate sequence: 8, Current half slot reference count: 1250\n\t\n",
};

struct Expect {
  std::uint32_t index;
  double value;
};

// Packets of one data state; the checks look at the last packet's writes.
class EvdoAirLink : public ::testing::Test {
 protected:
  // Decodes a packet as message number `message`.
  const COrbExpandedMessage& at(std::uint32_t message, const Frame& f1, const Frame& f2) {
    c.number = message - 1;
    return c.run(kCode, packet(f1, f2));
  }
  void expect_writes(const std::string& name, WriteOp op, const std::vector<Expect>& want) {
    SCOPED_TRACE(name);
    const auto got = c.st.sink.of(kAttr + name);
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < want.size(); ++i) {
      EXPECT_EQ(got[i].op, op);
      EXPECT_EQ(got[i].index, want[i].index);
      EXPECT_NEAR(got[i].value, want[i].value, 1e-9 * (1.0 + std::fabs(want[i].value)));
    }
  }
  // Values written to one index of an attribute, in order.
  std::vector<double> values(const std::string& name, std::uint32_t index = 0) const {
    std::vector<double> out;
    for (const auto& w : c.st.sink.of(kAttr + name)) {
      if (w.index == index) out.push_back(w.value);
    }
    return out;
  }
  DecoderCase c;
};

TEST_F(EvdoAirLink, HandBuiltPacketTextAndWrites) {
  const std::string& d = at(1, hand_frame1(), hand_frame2()).details;
  for (const char* line : kHandLines) EXPECT_NE(d.find(line), std::string::npos) << line;
  EXPECT_EQ(std::ranges::count(d, '\n'), 2 * (3 + 16 + 2 + 3 + 3) + 4 + 1);  // two frames, then 4 and 1 ASP rows

  const double k3dB = 10.0 * std::log10(2.0), k3dBf = static_cast<float>(k3dB);
  // A slot without SINR is marked absent, not written as a number.
  const auto sinr1 = c.st.sink.of(kAttr + "PNROLL1_BESTASP_SINR_FOR_SLOT");
  ASSERT_EQ(sinr1.size(), 16u);
  EXPECT_EQ(sinr1[1].op, WriteOp::kSetNoValue);
  EXPECT_EQ(sinr1[15].op, WriteOp::kSetDouble);
  EXPECT_NEAR(sinr1[15].value, 10.0, 1e-12);
  EXPECT_EQ(c.st.sink.of(kAttr + "PNROLL2_BESTASP_SINR_FOR_SLOT").at(15).op, WriteOp::kSetNoValue);
  // Valid ASPs (PN set and SINR not 0): 1, 2, 4 in frame 1; ranked strongest first, ties in ASP order.
  expect_writes("PNROLL1_ASP_FILTERED_SINR_FOR_PN", WriteOp::kSetDouble, {{100, k3dB}, {200, 10.0}, {400, k3dB}});
  expect_writes("PNROLL1_PILOTPN_FOR_ASPIDX", WriteOp::kSetUShort, {{0, 100}, {1, 200}, {3, 400}});
  expect_writes("PNROLL1_BEST_ASP_FILTERED_SINR_FOR_PN", WriteOp::kSetDouble, {{0, 10.0}, {1, k3dBf}, {2, k3dBf}});
  expect_writes("PNROLL1_PN_FOR_BEST_ASP_FILTERED_SINR", WriteOp::kSetLong, {{0, 200}, {1, 100}, {2, 400}});
  expect_writes("PNROLL2_PN_FOR_BEST_ASP_FILTERED_SINR", WriteOp::kSetLong, {{0, 100}});
  expect_writes("PNROLL1_BEST_ASP_PREDICTED", WriteOp::kSetUShort, {{0, 300}});  // the PN of ASP 3
  expect_writes("PNROLL2_BEST_ASP_PREDICTED", WriteOp::kSetUShort, {});          // 0 names no pilot
  expect_writes("PNROLL1_PER_INST", WriteOp::kSetDouble, {{0, 6.25}});
  expect_writes("AVG_PER_INST", WriteOp::kSetDouble, {{0, 9.375}});
  // DRC 1's only slot had no SINR: no average; DRC 4 averages its one 3.01 dB slot with eight of 6.02 dB.
  EXPECT_EQ(values("AVG_SINR_FOR_DRC_INDEX", 1), std::vector<double>{});
  EXPECT_NEAR(values("AVG_SINR_FOR_DRC_INDEX", 4).at(0), (k3dB + 8 * 2 * k3dB) / 9, 1e-9);
  EXPECT_EQ(values("DRC_INDEX_COUNT", 9), std::vector<double>{8});
  // DRC 4 and 9 both fill 9 slots: the higher index wins.
  EXPECT_TRUE(c.writes().ends_with("\nEVDO_DRC Long[0] 9\n"));
}

TEST_F(EvdoAirLink, BestAspPredictedNamesOnlyRealPilots) {
  const struct {
    std::uint8_t flags;
    const char* text;
    double pn;  // 0: nothing written
  } cases[] = {{0x05, "5 (500)", 500}, {0x06, "6 ", 600}, {0x07, "7 ", 0}, {0xFA, "2 (200)", 200}};  // bits 0-2 count
  for (const auto& k : cases) {
    DecoderCase fresh;
    Frame f = hand_frame1();
    f.flags = k.flags;
    f.pn = {100, 200, 300, 400, 500, 600};
    const COrbExpandedMessage& msg = fresh.run(kCode, packet(f, hand_frame2()));
    EXPECT_NE(msg.details.find(std::string("BestASPPredicted: ") + k.text + "\n"), std::string::npos) << k.text;
    const auto w = fresh.st.sink.of(kAttr + "PNROLL1_BEST_ASP_PREDICTED");
    ASSERT_EQ(w.size(), k.pn != 0 ? 1u : 0u) << k.text;
    if (!w.empty()) {
      EXPECT_EQ(w[0].value, k.pn);
    }
  }
}

TEST_F(EvdoAirLink, ReadOnlyAndNullStatesShowEverythingAndLeaveTheFilters) {
  const std::string text = DecoderCase().run(kCode, packet(hand_frame1(), hand_frame2())).details;
  at(1, uniform(1, 16384, 1), uniform(1, 16384, 2));
  c.read_only = true;
  EXPECT_EQ(at(2, hand_frame1(), hand_frame2()).details, text);
  EXPECT_EQ(c.writes(), "");
  const auto member = &COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodeAirLinkSummary;
  EXPECT_EQ(c.run_member(member, kCode, packet(hand_frame1(), hand_frame2()), false).details, text);
  // The next writable packet chains from packet 1 as if packet 2 never came.
  c.read_only = false;
  at(3, uniform(1, 0, 3), uniform(1, 0, 4));
  const double a = 1048.0 / 65536.0;
  EXPECT_EQ(values("PNROLL1_PER_SHORT"), std::vector<double>{(1 - a) * (a * 100 + (1 - a) * a * 100)});
}

TEST_F(EvdoAirLink, EveryTruncationReportsAndStops) {
  sweep_truncations(kCode, packet(hand_frame1(), hand_frame2()), [](const DecoderCase& c, std::size_t) {
    EXPECT_EQ(c.msg.details, kNotQualcommStandard);
    EXPECT_EQ(c.writes(), "");
  });
}

// The filters across packets; packet n is decoded in record n of one data state.
constexpr double kPerShort = 1048.0 / 65536.0, kPerLong = 105.0 / 65536.0;
constexpr double kDrcShort = 64.0 / 65536.0, kDrcLong = 7.0 / 65536.0;

TEST_F(EvdoAirLink, PerFilterStartsFromZeroChainsAndFiltersEachReportOnce) {
  at(1, uniform(1, 16384, 10), uniform(1, 8192, 11));  // 100 %, then 50 %
  const double s1 = kPerShort * 100, l1 = kPerLong * 100;
  const double s2 = kPerShort * 50 + (1 - kPerShort) * s1, l2 = kPerLong * 50 + (1 - kPerLong) * l1;
  EXPECT_EQ(values("PNROLL1_PER_SHORT"), std::vector<double>{s1});
  EXPECT_EQ(values("PNROLL2_PER_LONG"), std::vector<double>{l2});
  EXPECT_EQ(values("PER_SHORT_LAST"), (std::vector<double>{s1, s2}));
  EXPECT_EQ(values("PER_LONG_LAST"), (std::vector<double>{l1, l2}));
  expect_writes("PER_Sequence", WriteOp::kSetUShort, {{0, 10}, {0, 11}});
  // Steady state: the next packet starts from the last value of the previous one.
  at(2, uniform(1, 0, 12), uniform(1, 0, 13));
  EXPECT_EQ(values("PNROLL1_PER_SHORT"), std::vector<double>{(1 - kPerShort) * s2});
  EXPECT_EQ(values("PNROLL2_PER_LONG"), std::vector<double>{(1 - kPerLong) * (1 - kPerLong) * l2});
  // A repeated report (same sequence), in the same packet or the next, is filtered once; its PER still shows.
  at(3, uniform(1, 16384, 13), uniform(1, 16384, 13));
  EXPECT_TRUE(values("PER_SHORT_LAST").empty());
  EXPECT_EQ(values("PNROLL2_PER_INST").size(), 1u);
}

TEST_F(EvdoAirLink, DrcFilterStartsFromTheFirstRateAndChainsAcrossRollsAndPackets) {
  at(1, uniform(1, 0, 1), uniform(1, 0, 2));  // 38400 bit/s in every slot
  EXPECT_EQ(values("PNROLL1_DATA_RATE_REQ_SHORT_TERM", 7), std::vector<double>{38400});
  EXPECT_DOUBLE_EQ(values("PNROLL2_DATA_RATE_REQ_LONG_TERM", 15).at(0), 38400);
  at(2, uniform(3, 0, 3), uniform(3, 0, 4));  // 153600 bit/s from now on
  // After n slots at the new rate: new + (old - new) (1 - a)^n.
  const auto expected = [](double a, int n) { return 153600 + (38400 - 153600.0) * std::pow(1 - a, n); };
  EXPECT_DOUBLE_EQ(values("PNROLL1_DATA_RATE_REQ_SHORT_TERM").back(), expected(kDrcShort, 1));
  EXPECT_DOUBLE_EQ(values("PNROLL2_DATA_RATE_REQ_SHORT_TERM").back(), expected(kDrcShort, 17));
  EXPECT_DOUBLE_EQ(values("PNROLL2_DATA_RATE_REQ_LONG_TERM", 15).back(), expected(kDrcLong, 32));
  // The last slot of roll 2 is also kept under its own names, once per packet.
  EXPECT_DOUBLE_EQ(values("DATA_RATE_REQ_SHORT_TERM_LAST").at(0), expected(kDrcShort, 32));
  EXPECT_DOUBLE_EQ(values("DATA_RATE_REQ_LONG_TERM_LAST").at(0), expected(kDrcLong, 32));
}

TEST_F(EvdoAirLink, GapChainsFromTheMostRecentEarlierPacket) {
  at(1, uniform(1, 16384, 1), uniform(1, 16384, 2));
  at(2, uniform(3, 0, 3), uniform(3, 0, 4));
  const double short_after_2 = values("PNROLL2_DATA_RATE_REQ_SHORT_TERM", 15).back();
  const double per_after_2 = values("PER_SHORT_LAST").back();
  // Records 3 to 9 carry other packets (here a power report); record 10 is the next summary.
  c.number = 4;
  c.run(0x1069, Bytes().zeros(26));
  at(10, uniform(15, 0, 5), uniform(15, 0, 6));  // DRC 15 is the DRC channel off: rate 0
  EXPECT_DOUBLE_EQ(values("PNROLL1_DATA_RATE_REQ_SHORT_TERM").back(), (1 - kDrcShort) * short_after_2);
  EXPECT_DOUBLE_EQ(values("PNROLL1_PER_SHORT").back(), (1 - kPerShort) * per_after_2);
}

}  // namespace
}  // namespace cdmadiag::test
