// Pilot sets response: the one-byte shift, the record bound, ranking and the
// per-set attribute rules.
#include <gtest/gtest.h>

#include "diag/diag_fixture.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::Decoded;
using cdmadiag::test::Recorded;
using cdmadiag::test::Write;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

constexpr auto kDecode = &F::DecodePilotSetRespMsg;
constexpr double kMarked = -999.0;  // stands for a SetNoValue write below

// Head: pilot increment, then the active, candidate and neighbour counts.
Bytes head(std::uint16_t increment, std::uint8_t active, std::uint8_t candidate, std::uint8_t neighbour) {
  return Bytes{}.u16(increment).u8(active).u8(candidate).u8(neighbour);
}

// One 4-byte record: PN, strength in -0.5 dB units, reserved.
Bytes& record(Bytes& b, std::int16_t pn, std::uint8_t strength) {
  return b.u16(static_cast<std::uint16_t>(pn)).u8(strength).u8(0xEE);
}

// Two active pilots (weaker first), one candidate, one neighbour with an invalid PN.
Bytes three_sets() {
  Bytes b = head(4, 2, 1, 1);
  record(b, 10, 10);          // -5.0 dB
  record(b, 20, 4);           // -2.0 dB
  record(b, 30, 30);          // -15.0 dB
  return record(b, 600, 20);  // PN out of range
}

using Pairs = std::vector<std::pair<double, std::uint32_t>>;
Pairs values(const std::vector<Recorded>& w) {
  Pairs out;
  for (const auto& r : w) out.emplace_back(r.op == WriteOp::kSetNoValue ? kMarked : r.value, r.index);
  return out;
}

const char* kNoData = "---- No Data ----\n";

}  // namespace

TEST(PilotSetsResponse, RanksEachSetInTheText) {
  Decoded d;
  d.run(kDecode, three_sets());
  EXPECT_EQ(d.msg.title, "Pilot Sets Response");
  EXPECT_EQ(
      d.msg.details,
      "\nAct:\tPN\tEcIo\n\t20\t-2.00\n\t10\t-5.00\nCand:\tPN\tEcIo\n\t30\t-15.00\n\nNbor:\tPN\tEcIo\n\t600\t-10.00\n");
  Decoded ro;
  ro.st.ds.set_read_only(true);
  ro.run(kDecode, three_sets());
  EXPECT_TRUE(ro.st.sink.writes.empty());
  EXPECT_EQ(ro.msg.details, d.msg.details);
}

// Every per-PN level goes out, in packet order, before the ranked best lists. An invalid
// PN is marked, at index 0 for the per-PN list and at its rank for the best list.
TEST(PilotSetsResponse, PerPnLevelsOfAllSetsComeBeforeTheBestLists) {
  Decoded d;
  d.run(kDecode, three_sets());
  std::vector<Write> got = d.writes();
  for (auto& w : got) {
    if (std::get<1>(w) == WriteOp::kSetNoValue) std::get<3>(w) = kMarked;
  }
  EXPECT_EQ(got, (std::vector<Write>{{"ATTR_ID_PN_INC", WriteOp::kSetUShort, 0, 4},
                                     {"ATTR_ID_NUM_ACTIVE_PILOTS", WriteOp::kSetByte, 0, 2},
                                     {"ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN", WriteOp::kSetDouble, 10, -5.0},
                                     {"ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN", WriteOp::kSetDouble, 20, -2.0},
                                     {"ATTR_ID_CANDIDATE_PILOTS_ECIO_FOR_PN", WriteOp::kSetDouble, 30, -15.0},
                                     {"ATTR_ID_NBOR_PLTS_ECIO_FOR_PN", WriteOp::kSetNoValue, 0, kMarked},
                                     {"ATTR_ID_BEST_ECIO_ACTIVE", WriteOp::kSetDouble, 0, -2.0},
                                     {"ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE", WriteOp::kSetLong, 0, 20},
                                     {"ATTR_ID_BEST_ECIO_ACTIVE", WriteOp::kSetDouble, 1, -5.0},
                                     {"ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE", WriteOp::kSetLong, 1, 10},
                                     {"ATTR_ID_BEST_ECIO_CANDIDATE", WriteOp::kSetDouble, 0, -15.0},
                                     {"ATTR_ID_PN_FOR_BEST_ECIO_CANDIDATE", WriteOp::kSetLong, 0, 30},
                                     {"ATTR_ID_BEST_ECIO_NBOR", WriteOp::kSetNoValue, 0, kMarked},
                                     {"ATTR_ID_PN_FOR_BEST_ECIO_NBOR", WriteOp::kSetNoValue, 0, kMarked}}));
}

TEST(PilotSetsResponse, ActivePilotsBelowThresholdAAreMarked) {
  Bytes b = head(1, 1, 0, 0);
  Decoded d;
  d.run(kDecode, record(b, 40, 40));  // -20 dB, below the default -15 dB
  EXPECT_EQ(values(d.of("ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN")), (Pairs{{kMarked, 0}}));
  EXPECT_EQ(values(d.of("ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE")), (Pairs{{kMarked, 0}}));
  EXPECT_EQ(d.msg.details, std::string("\nAct:\tPN\tEcIo\n\t40\t-20.00\nCand:\tPN\tEcIo\n") + kNoData +
                               "\nNbor:\tPN\tEcIo\n" + kNoData);
}

// The u16 at 0 above 20 means one extra leading byte: every field moves by one.
// With the extra byte the u16 at 0 is that byte and the increment's low byte.
TEST(PilotSetsResponse, FirstWordAboveTwentyMovesEveryField) {
  for (const auto& [extra, increment] : std::vector<std::pair<int, std::uint16_t>>{{-1, 20}, {21, 0x0100}, {0x2A, 4}}) {
    Bytes b;
    if (extra >= 0) b.u8(static_cast<std::uint32_t>(extra));
    b.u16(increment).u8(1).u8(0).u8(0);
    Decoded d;
    d.run(kDecode, record(b, 7, 2));
    EXPECT_EQ(d.of("ATTR_ID_PN_INC").at(0).value, increment);
    EXPECT_EQ(values(d.of("ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN")), (Pairs{{-1.0, 7}}));
  }
}

// A record needs all four bytes: one whose reserved byte lies past the payload is
// not taken, and missing records are neither ranked nor written as best pilots.
TEST(PilotSetsResponse, OnlyWholeRecordsAreTakenAndRanked) {
  Bytes b = head(1, 3, 2, 0);
  record(b, 10, 2).u16(11).u8(0);  // the second active record lacks its last byte
  Decoded d;
  d.run(kDecode, b);
  EXPECT_EQ(d.of("ATTR_ID_NUM_ACTIVE_PILOTS").at(0).value, 3);
  EXPECT_EQ(values(d.of("ATTR_ID_BEST_ECIO_ACTIVE")), (Pairs{{-1.0, 0}}));
  EXPECT_TRUE(d.of("ATTR_ID_BEST_ECIO_CANDIDATE").empty());
  EXPECT_EQ(d.msg.details, std::string("\nAct:\tPN\tEcIo\n\t10\t-1.00\nCand:\tPN\tEcIo\n") + kNoData +
                               "\nNbor:\tPN\tEcIo\n" + kNoData);
}

TEST(PilotSetsResponse, EqualStrengthsKeepPacketOrder) {
  Bytes b = head(1, 0, 0, 3);
  record(record(record(b, 5, 8), 6, 8), 4, 2);
  Decoded d;
  d.run(kDecode, b);
  EXPECT_EQ(values(d.of("ATTR_ID_PN_FOR_BEST_ECIO_NBOR")), (Pairs{{4, 0}, {5, 1}, {6, 2}}));
}

TEST(PilotSetsResponse, TruncatedPayloadsNeverReadPastTheEnd) {
  cdmadiag::test::sweep(kDecode, three_sets(), [](const Decoded& d, std::size_t n) {
    EXPECT_EQ(d.msg.title, "Pilot Sets Response");
    if (n <= 4) {
      EXPECT_TRUE(d.st.sink.writes.empty());
    }
  });
}

// The PN field is signed: a negative PN is listed as read, but no set writes it as a
// PN or an index, whatever its level.
TEST(PilotSetsResponse, NegativePnIsListedButNeverWritten) {
  Bytes b = head(1, 1, 0, 1);
  record(b, -3, 2);    // active, -1 dB: above threshold A
  record(b, -200, 4);  // neighbour, -2 dB
  Decoded d;
  d.run(kDecode, b);
  for (const char* name : {"ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN", "ATTR_ID_BEST_ECIO_ACTIVE",
                           "ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE", "ATTR_ID_NBOR_PLTS_ECIO_FOR_PN", "ATTR_ID_BEST_ECIO_NBOR",
                           "ATTR_ID_PN_FOR_BEST_ECIO_NBOR"}) {
    EXPECT_EQ(values(d.of(name)), (Pairs{{kMarked, 0}})) << name;
  }
  EXPECT_EQ(d.msg.details, std::string("\nAct:\tPN\tEcIo\n\t-3\t-1.00\nCand:\tPN\tEcIo\n") + kNoData +
                               "\nNbor:\tPN\tEcIo\n\t-200\t-2.00\n");
}
