// Pilot sets response: the one-byte shift, the record bound, ranking and the
// per-set attribute rules.
#include <gtest/gtest.h>

#include "diag/diag_fixture.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::Decoded;
using cdmadiag::test::prefix;
using cdmadiag::test::Recorded;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

// Head: pilot increment, then the three counts.
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
  record(b, 10, 10);   // -5.0 dB
  record(b, 20, 4);    // -2.0 dB
  record(b, 30, 30);   // -15.0 dB
  record(b, 600, 20);  // PN out of range
  return b;
}

std::vector<std::pair<double, std::uint32_t>> values(const std::vector<Recorded>& w) {
  std::vector<std::pair<double, std::uint32_t>> out;
  for (const auto& r : w) out.emplace_back(r.op == WriteOp::kSetNoValue ? -999.0 : r.value, r.index);
  return out;
}

using Pairs = std::vector<std::pair<double, std::uint32_t>>;

}  // namespace

TEST(PilotSetsResponse, RanksEachSetAndWritesItsBestPilots) {
  Decoded d;
  d.run(&F::DecodePilotSetRespMsg, three_sets());
  EXPECT_EQ(d.msg.title, "Pilot Sets Response");
  EXPECT_EQ(
      d.msg.details,
      "\nAct:\tPN\tEcIo\n\t20\t-2.00\n\t10\t-5.00\nCand:\tPN\tEcIo\n\t30\t-15.00\n\nNbor:\tPN\tEcIo\n\t600\t-10.00\n");
  EXPECT_EQ(d.of("ATTR_ID_PN_INC").at(0).value, 4);
  EXPECT_EQ(d.of("ATTR_ID_PN_INC").at(0).op, WriteOp::kSetUShort);
  EXPECT_EQ(d.of("ATTR_ID_NUM_ACTIVE_PILOTS").at(0).op, WriteOp::kSetByte);
  EXPECT_EQ(d.of("ATTR_ID_NUM_ACTIVE_PILOTS").at(0).value, 2);
  EXPECT_EQ(values(d.of("ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN")), (Pairs{{-5.0, 10}, {-2.0, 20}}));
  EXPECT_EQ(values(d.of("ATTR_ID_BEST_ECIO_ACTIVE")), (Pairs{{-2.0, 0}, {-5.0, 1}}));
  EXPECT_EQ(values(d.of("ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE")), (Pairs{{20, 0}, {10, 1}}));
  EXPECT_EQ(d.of("ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE").at(0).op, WriteOp::kSetLong);
  EXPECT_EQ(values(d.of("ATTR_ID_CANDIDATE_PILOTS_ECIO_FOR_PN")), (Pairs{{-15.0, 30}}));
  EXPECT_EQ(values(d.of("ATTR_ID_BEST_ECIO_CANDIDATE")), (Pairs{{-15.0, 0}}));
  EXPECT_EQ(values(d.of("ATTR_ID_PN_FOR_BEST_ECIO_CANDIDATE")), (Pairs{{30, 0}}));
  // An invalid PN is marked, at index 0 for the per-PN list and at its rank for the best list.
  EXPECT_EQ(values(d.of("ATTR_ID_NBOR_PLTS_ECIO_FOR_PN")), (Pairs{{-999.0, 0}}));
  EXPECT_EQ(values(d.of("ATTR_ID_BEST_ECIO_NBOR")), (Pairs{{-999.0, 0}}));
  EXPECT_EQ(values(d.of("ATTR_ID_PN_FOR_BEST_ECIO_NBOR")), (Pairs{{-999.0, 0}}));
}

TEST(PilotSetsResponse, ActivePilotsBelowThresholdAAreMarked) {
  Bytes b = head(1, 1, 0, 0);
  record(b, 40, 40);  // -20 dB, below the default -15 dB
  Decoded d;
  d.run(&F::DecodePilotSetRespMsg, b);
  EXPECT_EQ(values(d.of("ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN")), (Pairs{{-999.0, 0}}));
  EXPECT_EQ(values(d.of("ATTR_ID_BEST_ECIO_ACTIVE")), (Pairs{{-999.0, 0}}));
  EXPECT_EQ(values(d.of("ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE")), (Pairs{{-999.0, 0}}));
  EXPECT_EQ(d.msg.details,
            "\nAct:\tPN\tEcIo\n\t40\t-20.00\nCand:\tPN\tEcIo\n---- No Data ----\n\nNbor:\tPN\tEcIo\n---- No "
            "Data ----\n");
}

struct ShiftCase {
  int extra;  // leading byte, or -1 for none
  std::uint16_t increment;
};

class PilotSetsShift : public testing::TestWithParam<ShiftCase> {};

// The u16 at 0 above 20 means one extra leading byte: every field moves by one.
// With the extra byte the u16 at 0 is that byte and the increment's low byte.
TEST_P(PilotSetsShift, FirstWordAboveTwentyMovesEveryField) {
  Bytes b;
  if (GetParam().extra >= 0) b.u8(static_cast<std::uint32_t>(GetParam().extra));
  b.u16(GetParam().increment).u8(1).u8(0).u8(0);
  record(b, 7, 2);
  Decoded d;
  d.run(&F::DecodePilotSetRespMsg, b);
  EXPECT_EQ(d.of("ATTR_ID_PN_INC").at(0).value, GetParam().increment);
  EXPECT_EQ(values(d.of("ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN")), (Pairs{{-1.0, 7}}));
}

INSTANTIATE_TEST_SUITE_P(Diag, PilotSetsShift,
                         testing::Values(ShiftCase{-1, 0}, ShiftCase{-1, 20}, ShiftCase{21, 0x0100},
                                         ShiftCase{0x2A, 4}));

// A record needs all four bytes: one whose reserved byte lies past the payload is
// not taken, and missing records are neither ranked nor written as best pilots.
TEST(PilotSetsResponse, OnlyWholeRecordsAreTakenAndRanked) {
  Bytes b = head(1, 3, 2, 0);
  record(b, 10, 2);
  b.u16(11).u8(0);  // second active record lacks its last byte
  Decoded d;
  d.run(&F::DecodePilotSetRespMsg, b);
  EXPECT_EQ(d.of("ATTR_ID_NUM_ACTIVE_PILOTS").at(0).value, 3);
  EXPECT_EQ(values(d.of("ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN")), (Pairs{{-1.0, 10}}));
  EXPECT_EQ(values(d.of("ATTR_ID_BEST_ECIO_ACTIVE")), (Pairs{{-1.0, 0}}));
  EXPECT_TRUE(d.of("ATTR_ID_BEST_ECIO_CANDIDATE").empty());
  EXPECT_EQ(
      d.msg.details,
      "\nAct:\tPN\tEcIo\n\t10\t-1.00\nCand:\tPN\tEcIo\n---- No Data ----\n\nNbor:\tPN\tEcIo\n---- No Data ----\n");
}

TEST(PilotSetsResponse, EqualStrengthsKeepPacketOrder) {
  Bytes b = head(1, 0, 0, 3);
  record(b, 5, 8);
  record(b, 6, 8);
  record(b, 4, 2);
  Decoded d;
  d.run(&F::DecodePilotSetRespMsg, b);
  EXPECT_EQ(values(d.of("ATTR_ID_PN_FOR_BEST_ECIO_NBOR")), (Pairs{{4, 0}, {5, 1}, {6, 2}}));
}

TEST(PilotSetsResponse, ReadOnlyStateStillListsThePilots) {
  Decoded d;
  d.st.ds.set_read_only(true);
  d.run(&F::DecodePilotSetRespMsg, three_sets());
  EXPECT_TRUE(d.st.sink.writes.empty());
  EXPECT_NE(d.msg.details.find("\t20\t-2.00\n\t10\t-5.00\n"), std::string::npos);
}

TEST(PilotSetsResponse, TruncatedPayloadsNeverReadPastTheEnd) {
  const Bytes full = three_sets();
  for (std::size_t n = 0; n < full.size(); ++n) {
    Decoded d;
    ASSERT_NO_THROW(d.run(&F::DecodePilotSetRespMsg, prefix(full, n))) << n;
    EXPECT_EQ(d.msg.title, "Pilot Sets Response");
    if (n <= 4) {
      EXPECT_TRUE(d.st.sink.writes.empty()) << n;
    }
  }
}

// Every per-PN level goes out, in packet order, before the ranked best lists.
TEST(PilotSetsResponse, PerPnLevelsOfAllSetsComeBeforeTheBestLists) {
  Decoded d;
  d.run(&F::DecodePilotSetRespMsg, three_sets());
  std::vector<std::string> names;
  for (const auto& w : d.st.sink.writes) names.push_back(w.name);
  EXPECT_EQ(names,
            (std::vector<std::string>{
                "ATTR_ID_PN_INC", "ATTR_ID_NUM_ACTIVE_PILOTS", "ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN",
                "ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN", "ATTR_ID_CANDIDATE_PILOTS_ECIO_FOR_PN",
                "ATTR_ID_NBOR_PLTS_ECIO_FOR_PN", "ATTR_ID_BEST_ECIO_ACTIVE", "ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE",
                "ATTR_ID_BEST_ECIO_ACTIVE", "ATTR_ID_PN_FOR_BEST_ECIO_ACTIVE", "ATTR_ID_BEST_ECIO_CANDIDATE",
                "ATTR_ID_PN_FOR_BEST_ECIO_CANDIDATE", "ATTR_ID_BEST_ECIO_NBOR", "ATTR_ID_PN_FOR_BEST_ECIO_NBOR"}));
}
