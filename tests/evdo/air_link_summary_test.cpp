// 1xEV Air Link Summary (0x1068): text, per-packet writes, and the PER and
// DRC-request filters carried from packet to packet through the data state.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>
#include <vector>

#include "evdo/evdo_test_support.h"
#include "framework/failure_texts.h"
#include "support/recording_sink.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kCode = 0x1068;
const EvdoMember kDecode = &COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodeAirLinkSummary;
constexpr std::uint16_t kEmpty = 0xFFFF;

// One 89-byte frame, field by field.
struct Frame {
  std::array<std::uint8_t, 16> drc{};       // DRC index per slot
  std::array<std::uint16_t, 16> sinr{};     // best-ASP SINR per slot, 1/512
  std::uint8_t flags = 0;                   // PktRcvFlag / PAState / BestASPPredicted
  std::array<std::uint16_t, 6> asp_sinr{};  // filtered SINR, 1/512
  std::array<std::uint16_t, 6> pn{kEmpty, kEmpty, kEmpty, kEmpty, kEmpty, kEmpty};
  std::array<std::int16_t, 6> rpc{};
  std::uint16_t per = 0;  // 1/16384
  std::uint16_t sequence = 0;
  std::uint16_t hstr = 0;
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

Frame uniform(std::uint8_t drc, std::uint16_t per, std::uint16_t sequence) {
  Frame f;
  f.drc.fill(drc);
  f.sinr.fill(512);
  f.per = per;
  f.sequence = sequence;
  return f;
}

// The hand-built packet.
Frame hand_frame1() {
  Frame f;
  for (std::uint8_t s = 0; s < 16; ++s) {
    f.drc[s] = s;                                         // every DRC index once
    f.sinr[s] = s == 1 ? 0 : (s % 2 == 0 ? 1024 : 5120);  // 3.01 dB / 10.00 dB, slot 1 none
  }
  f.flags = 0x03;  // PktRcvFlag 1, PAState 1, BestASPPredicted 3
  // ASP 1..6: SINR, PN, RPC, cell map.
  f.asp_sinr = {1024, 5120, 0, 1024, 0, 2048};  // ASP 4 ties ASP 1; ASP 3 has no SINR
  f.pn = {100, 200, 300, 400, kEmpty, kEmpty};  // ASP 6 has a SINR but no pilot
  f.rpc = {-2, 3, 0, 1, 0, 0};
  f.cell_map = {0, 1, 2, 3, 0, 0};
  f.per = 1024;  // 6.25 %
  f.sequence = 7;
  f.hstr = 1234;
  return f;
}
Frame hand_frame2() {
  Frame f;
  for (std::uint8_t s = 0; s < 16; ++s) {
    f.drc[s] = s < 8 ? 4 : 9;
    f.sinr[s] = s == 15 ? 0 : 2048;  // 6.02 dB
  }
  f.flags = 0x00;  // BestASPPredicted 0: no ASP
  f.asp_sinr[0] = 512;
  f.pn[0] = 100;
  f.rpc[0] = 5;
  f.per = 2048;  // 12.50 %
  f.sequence = 8;
  f.hstr = 1250;
  return f;
}

const std::string kRule75 = std::string(75, '-') + "\n";
const std::string kRule134 = std::string(134, '-') + "\n";

const std::string kHandText =
    "**** Information for frame #1 of 2****\n"
    "Slot\tDRC Rate\tSINR_For_BestASP(dB)\n" +
    kRule75 +
    "0\t         0\t\t    3.01\n"
    "1\t     38400\t     Off\n"
    "2\t     76800\t    3.01\n"
    "3\t    153600\t   10.00\n"
    "4\t 307200(S)\t    3.01\n"
    "5\t 307200(L)\t   10.00\n"
    "6\t 614400(S)\t    3.01\n"
    "7\t 614400(L)\t   10.00\n"
    "8\t    921600\t    3.01\n"
    "9\t1228800(S)\t   10.00\n"
    "10\t1228800(L)\t    3.01\n"
    "11\t   1843200\t   10.00\n"
    "12\t   2457600\t    3.01\n"
    "13\t   1536000\t   10.00\n"
    "14\t   3072000\t    3.01\n"
    "15\tDRC Channel is Off\t   10.00\n"
    "\t\n"
    "PktRcvFlag: 1, PAState: 1 (On), BestASPPredicted: 3 (300)\n"
    "\t\n"
    "ASPIndex\tASPFiltSINR\tPilotPNASP\tRPCValue\tRPCCellMap\n" +
    kRule134 +
    "1\t\t3.01\t\t     100\t\t      -2\t\t       0\n"
    "2\t\t10.00\t\t     200\t\t       3\t\t       1\n"
    "3\t\tOff\t\t     300\t\t       0\t\t       2\n"
    "4\t\t3.01\t\t     400\t\t       1\t\t       3\n"
    "\t\n"
    "Instantaneous Packet Error Rate: 6.25%, Packet Error Rate sequence: 7, Current half slot reference count: 1234\n"
    "\t\n"
    "**** Information for frame #2 of 2****\n"
    "Slot\tDRC Rate\tSINR_For_BestASP(dB)\n" +
    kRule75 +
    "0\t 307200(S)\t    6.02\n"
    "1\t 307200(S)\t    6.02\n"
    "2\t 307200(S)\t    6.02\n"
    "3\t 307200(S)\t    6.02\n"
    "4\t 307200(S)\t    6.02\n"
    "5\t 307200(S)\t    6.02\n"
    "6\t 307200(S)\t    6.02\n"
    "7\t 307200(S)\t    6.02\n"
    "8\t1228800(S)\t    6.02\n"
    "9\t1228800(S)\t    6.02\n"
    "10\t1228800(S)\t    6.02\n"
    "11\t1228800(S)\t    6.02\n"
    "12\t1228800(S)\t    6.02\n"
    "13\t1228800(S)\t    6.02\n"
    "14\t1228800(S)\t    6.02\n"
    "15\t1228800(S)\t     Off\n"
    "\t\n"
    // 0 names no ASP: the raw value only.
    "PktRcvFlag: 0, PAState: 0 (Off), BestASPPredicted: 0 \n"
    "\t\n"
    "ASPIndex\tASPFiltSINR\tPilotPNASP\tRPCValue\tRPCCellMap\n" +
    kRule134 +
    "1\t\t0.00\t\t     100\t\t       5\t\t       0\n"
    "\t\n"
    "Instantaneous Packet Error Rate: 12.50%, Packet Error Rate sequence: 8, Current half slot reference count: "
    "1250\n"
    "\t\n";

const double k3dB = 10.0 * std::log10(2.0);
const double k6dB = 10.0 * std::log10(4.0);

struct Expect {
  std::uint32_t index;
  double value;
};
void expect_writes(const RecordingSink& sink, const std::string& name, WriteOp op, const std::vector<Expect>& want) {
  SCOPED_TRACE(name);
  const auto got = sink.of(name);
  ASSERT_EQ(got.size(), want.size());
  for (std::size_t i = 0; i < want.size(); ++i) {
    EXPECT_EQ(got[i].op, op);
    EXPECT_EQ(got[i].index, want[i].index);
    EXPECT_NEAR(got[i].value, want[i].value, 1e-9 * (1.0 + std::fabs(want[i].value)));
  }
}

class EvdoAirLink : public ::testing::Test {
 protected:
  COrbExpandedMessage decode(const Bytes& b) { return run(kDecode, kCode, b, &st.ds); }
  RecordingState st;  // at message 1
  EvdoRun run;
};

TEST_F(EvdoAirLink, HandBuiltPacketTextByteForByte) {
  const COrbExpandedMessage msg = decode(packet(hand_frame1(), hand_frame2()));
  EXPECT_EQ(msg.title, "1xEV Air Link Summary");
  EXPECT_EQ(msg.details, kHandText);
}

TEST_F(EvdoAirLink, SlotWritesFollowTheNibbleOrder) {
  decode(packet(hand_frame1(), hand_frame2()));
  std::vector<Expect> drc1, drc2;
  for (std::uint32_t s = 0; s < 16; ++s) {
    drc1.push_back({s, static_cast<double>(s)});
    drc2.push_back({s, s < 8 ? 4.0 : 9.0});
  }
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_DRC_INDEX_FOR_SLOT", WriteOp::kSetByte, drc1);
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_DRC_INDEX_FOR_SLOT", WriteOp::kSetByte, drc2);

  // A slot without SINR is marked absent, not written as a number.
  const auto sinr1 = st.sink.of("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_BESTASP_SINR_FOR_SLOT");
  ASSERT_EQ(sinr1.size(), 16u);
  EXPECT_EQ(sinr1[1].op, WriteOp::kSetNoValue);
  EXPECT_EQ(sinr1[1].index, 1u);
  EXPECT_EQ(sinr1[0].op, WriteOp::kSetDouble);
  EXPECT_NEAR(sinr1[0].value, k3dB, 1e-12);
  EXPECT_NEAR(sinr1[15].value, 10.0, 1e-12);
  const auto sinr2 = st.sink.of("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_BESTASP_SINR_FOR_SLOT");
  ASSERT_EQ(sinr2.size(), 16u);
  EXPECT_EQ(sinr2[15].op, WriteOp::kSetNoValue);
}

TEST_F(EvdoAirLink, ActiveSetWritesSkipEmptyAndSilentPilotsAndRankTiesInSetOrder) {
  decode(packet(hand_frame1(), hand_frame2()));
  // Valid ASPs (PN set and SINR not 0): 1, 2, 4 in frame 1; 1 in frame 2.
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_ASP_FILTERED_SINR_FOR_PN", WriteOp::kSetDouble,
                {{100, k3dB}, {200, 10.0}, {400, k3dB}});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PILOTPN_FOR_ASPIDX", WriteOp::kSetUShort,
                {{0, 100}, {1, 200}, {3, 400}});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_RPC_FOR_PN", WriteOp::kSetShort,
                {{100, -2}, {200, 3}, {400, 1}});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_RPC_INDEX_FOR_PN", WriteOp::kSetByte,
                {{100, 0}, {200, 1}, {400, 3}});
  // Ranked strongest first, indexed by rank; the two 3.01 dB pilots keep ASP order.
  const double k3dBf = static_cast<float>(k3dB);
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_BEST_ASP_FILTERED_SINR_FOR_PN", WriteOp::kSetDouble,
                {{0, 10.0}, {1, k3dBf}, {2, k3dBf}});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PN_FOR_BEST_ASP_FILTERED_SINR", WriteOp::kSetLong,
                {{0, 200}, {1, 100}, {2, 400}});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_PN_FOR_BEST_ASP_FILTERED_SINR", WriteOp::kSetLong,
                {{0, 100}});
}

TEST_F(EvdoAirLink, FrameScalarsAndPacketAggregates) {
  decode(packet(hand_frame1(), hand_frame2()));
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PKT_RECEIVED_FLAG", WriteOp::kSetByte, {{0, 1}});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PA_STATE", WriteOp::kSetByte, {{0, 1}});
  // The PN of ASP 3, not the number 3.
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_BEST_ASP_PREDICTED", WriteOp::kSetUShort, {{0, 300}});
  // BestASPPredicted 0 names no pilot: nothing written.
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_BEST_ASP_PREDICTED", WriteOp::kSetUShort, {});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PER_INST", WriteOp::kSetDouble, {{0, 6.25}});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_PER_SEQUENCE", WriteOp::kSetUShort, {{0, 8}});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_HSTR", WriteOp::kSetUShort, {{0, 1250}});
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_AVG_PER_INST", WriteOp::kSetDouble, {{0, 9.375}});

  // Averages per DRC index over both frames, in dB; DRC 1's only slot had no SINR.
  std::vector<Expect> avg, count;
  for (std::uint32_t d = 0; d < 16; ++d) {
    if (d == 1) continue;
    const double own = d % 2 == 0 ? k3dB : 10.0;  // its one slot in frame 1
    if (d == 4) {
      avg.push_back({d, (own + 8 * k6dB) / 9});
      count.push_back({d, 9});
    } else if (d == 9) {
      avg.push_back({d, (own + 7 * k6dB) / 8});
      count.push_back({d, 8});
    } else {
      avg.push_back({d, own});
      count.push_back({d, 1});
    }
  }
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_AVG_SINR_FOR_DRC_INDEX", WriteOp::kSetDouble, avg);
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_DRC_INDEX_COUNT", WriteOp::kSetByte, count);
  // DRC 4 and 9 both fill 9 slots: the higher index wins.
  expect_writes(st.sink, "ATTR_ID_EVDO_DRC", WriteOp::kSetLong, {{0, 9}});
}

struct PredictedCase {
  std::uint8_t flags;
  const char* text;
  bool writes;
  double pn;
};
class EvdoAirLinkPredicted : public EvdoAirLink, public ::testing::WithParamInterface<PredictedCase> {};

TEST_P(EvdoAirLinkPredicted, ShowsAndWritesOnlyRealPilots) {
  const PredictedCase& c = GetParam();
  Frame f = hand_frame1();
  f.flags = c.flags;
  f.pn = {100, 200, 300, 400, 500, 600};
  const COrbExpandedMessage msg = decode(packet(f, hand_frame2()));
  EXPECT_NE(msg.details.find(std::string("BestASPPredicted: ") + c.text + "\n"), std::string::npos) << msg.details;
  const auto w = st.sink.of("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_BEST_ASP_PREDICTED");
  ASSERT_EQ(w.size(), c.writes ? 1u : 0u);
  if (c.writes) {
    EXPECT_EQ(w[0].value, c.pn);
  }
}
INSTANTIATE_TEST_SUITE_P(Values, EvdoAirLinkPredicted,
                         ::testing::Values(PredictedCase{0x00, "0 ", false, 0},
                                           PredictedCase{0x01, "1 (100)", true, 100},
                                           PredictedCase{0x05, "5 (500)", true, 500},
                                           PredictedCase{0x06, "6 ", true, 600}, PredictedCase{0x07, "7 ", false, 0},
                                           // Only bits 0-2 count.
                                           PredictedCase{0xFA, "2 (200)", true, 200}));

TEST_F(EvdoAirLink, ReadOnlyShowsEverythingWritesNothingAndLeavesTheFilters) {
  decode(packet(uniform(1, 16384, 1), uniform(1, 16384, 2)));
  const std::size_t before = st.sink.writes.size();
  st.ds.begin_message(2);
  st.ds.set_read_only(true);
  const COrbExpandedMessage msg = decode(packet(hand_frame1(), hand_frame2()));
  EXPECT_EQ(msg.details, kHandText);
  EXPECT_EQ(st.sink.writes.size(), before);

  // The next writable packet chains from packet 1 as if packet 2 never came.
  st.ds.set_read_only(false);
  st.ds.begin_message(3);
  decode(packet(uniform(1, 0, 3), uniform(1, 0, 4)));
  const double a = 1048.0 / 65536.0;
  const double after_packet1 = a * 100 + (1 - a) * a * 100;
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PER_SHORT", WriteOp::kSetDouble,
                {{0, a * 100}, {0, (1 - a) * after_packet1}});
}

TEST_F(EvdoAirLink, NullDataStateStillShowsTheText) {
  const COrbExpandedMessage msg = run(kDecode, kCode, packet(hand_frame1(), hand_frame2()), nullptr);
  EXPECT_EQ(msg.details, kHandText);
}

TEST_F(EvdoAirLink, EveryTruncationReportsAndStops) {
  const Bytes full = packet(hand_frame1(), hand_frame2());
  ASSERT_EQ(full.size(), 178u);
  for (std::uint32_t len = 0; len < full.size(); ++len) {
    SCOPED_TRACE(len);
    const std::vector<std::uint8_t> cut(full.vec().begin(), full.vec().begin() + len);
    COrbExpandedMessage msg;
    run(kDecode, kCode, cut.data(), len, &st.ds, msg);
    EXPECT_EQ(msg.title, "1xEV Air Link Summary");
    EXPECT_EQ(msg.details, kNotQualcommStandard);
  }
  EXPECT_TRUE(st.sink.writes.empty());
}

// The filters across packets. Packet n is decoded in record n of one data state.
class EvdoAirLinkFilters : public EvdoAirLink {
 protected:
  void at(std::uint32_t message, const Frame& f1, const Frame& f2) {
    st.ds.begin_message(message);
    decode(packet(f1, f2));
  }
  std::vector<double> values(const std::string& name, std::uint32_t index) const {
    std::vector<double> out;
    for (const auto& w : st.sink.of(name)) {
      if (w.index == index) out.push_back(w.value);
    }
    return out;
  }
  static constexpr double kPerShort = 1048.0 / 65536.0;
  static constexpr double kPerLong = 105.0 / 65536.0;
  static constexpr double kDrcShort = 64.0 / 65536.0;
  static constexpr double kDrcLong = 7.0 / 65536.0;
};

TEST_F(EvdoAirLinkFilters, PerFilterStartsFromZeroAndChainsFrameToFrame) {
  at(1, uniform(1, 16384, 10), uniform(1, 8192, 11));  // 100 %, then 50 %
  const double s1 = kPerShort * 100, l1 = kPerLong * 100;
  const double s2 = kPerShort * 50 + (1 - kPerShort) * s1, l2 = kPerLong * 50 + (1 - kPerLong) * l1;
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PER_SHORT", 0), std::vector<double>{s1});
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PER_LONG", 0), std::vector<double>{l1});
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_PER_SHORT", 0), std::vector<double>{s2});
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_PER_LONG", 0), std::vector<double>{l2});
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PER_SHORT_LAST", 0), (std::vector<double>{s1, s2}));
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PER_LONG_LAST", 0), (std::vector<double>{l1, l2}));
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PER_Sequence", 0), (std::vector<double>{10, 11}));
  expect_writes(st.sink, "ATTR_ID_EVDO_AIRLINKSUMMARY_PER_Sequence", WriteOp::kSetUShort, {{0, 10}, {0, 11}});

  // Steady state: the next packet starts from the last value of the previous one.
  at(2, uniform(1, 0, 12), uniform(1, 0, 13));
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PER_SHORT", 0).back(), (1 - kPerShort) * s2);
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_PER_LONG", 0).back(), (1 - kPerLong) * (1 - kPerLong) * l2);
}

TEST_F(EvdoAirLinkFilters, SamePerReportIsFilteredOnce) {
  at(1, uniform(1, 16384, 10), uniform(1, 16384, 10));  // frame 2 repeats the report
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PER_SHORT_LAST", 0).size(), 1u);
  EXPECT_TRUE(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_PER_SHORT", 0).empty());
  // ... also when the repeat comes in the next packet.
  at(2, uniform(1, 16384, 10), uniform(1, 16384, 11));
  EXPECT_TRUE(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PER_SHORT", 0).size() == 1u);
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PER_SHORT_LAST", 0).size(), 2u);
  // The PER itself is still reported for every frame.
  EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_PER_INST", 0).size(), 2u);
}

TEST_F(EvdoAirLinkFilters, DrcFilterStartsFromTheFirstRateAndChainsAcrossRollsAndPackets) {
  at(1, uniform(1, 0, 1), uniform(1, 0, 2));  // 38400 bit/s in every slot
  for (std::uint32_t s : {0u, 7u, 15u}) {
    EXPECT_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_DATA_RATE_REQ_SHORT_TERM", s), std::vector<double>{38400});
    EXPECT_DOUBLE_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_DATA_RATE_REQ_LONG_TERM", s).at(0), 38400);
  }
  at(2, uniform(3, 0, 3), uniform(3, 0, 4));  // 153600 bit/s from now on
  // After n slots at the new rate: new + (old - new) (1 - a)^n.
  const auto expected = [](double a, int n) { return 153600 + (38400 - 153600.0) * std::pow(1 - a, n); };
  EXPECT_DOUBLE_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_DATA_RATE_REQ_SHORT_TERM", 0).back(),
                   expected(kDrcShort, 1));
  EXPECT_DOUBLE_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_DATA_RATE_REQ_SHORT_TERM", 0).back(),
                   expected(kDrcShort, 17));
  EXPECT_DOUBLE_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_DATA_RATE_REQ_LONG_TERM", 15).back(),
                   expected(kDrcLong, 32));
  // The last slot of roll 2 is also kept under its own names, once per packet.
  const auto last_short = values("ATTR_ID_EVDO_AIRLINKSUMMARY_DATA_RATE_REQ_SHORT_TERM_LAST", 0);
  ASSERT_EQ(last_short.size(), 2u);
  EXPECT_DOUBLE_EQ(last_short[1], expected(kDrcShort, 32));
  EXPECT_DOUBLE_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_DATA_RATE_REQ_LONG_TERM_LAST", 0).at(1), expected(kDrcLong, 32));
}

TEST_F(EvdoAirLinkFilters, GapChainsFromTheMostRecentEarlierPacket) {
  at(1, uniform(1, 16384, 1), uniform(1, 16384, 2));
  at(2, uniform(3, 0, 3), uniform(3, 0, 4));
  const double short_after_2 = values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_DATA_RATE_REQ_SHORT_TERM", 15).back();
  const double per_after_2 = values("ATTR_ID_EVDO_AIRLINKSUMMARY_PER_SHORT_LAST", 0).back();
  // Records 3 to 9 carry other packets (here a power report); record 10 is the next summary.
  st.ds.begin_message(5);
  run(&COrbDecodeMsgCDMA1xEVDOQualcommFrame::DecodePower, 0x1069, Bytes().zeros(26), &st.ds);
  // DRC 15 is the DRC channel off: rate 0.
  at(10, uniform(15, 0, 5), uniform(15, 0, 6));
  EXPECT_DOUBLE_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_DATA_RATE_REQ_SHORT_TERM", 0).back(),
                   (1 - kDrcShort) * short_after_2);
  EXPECT_DOUBLE_EQ(values("ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_PER_SHORT", 0).back(), (1 - kPerShort) * per_after_2);
}

}  // namespace
}  // namespace cdmadiag::test
