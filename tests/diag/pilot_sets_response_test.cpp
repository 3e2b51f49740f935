// Pilot sets response: the one-byte shift, the record bound, ranking and the
// per-set attribute rules.
#include <gtest/gtest.h>

#include "support/decoder_case.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

constexpr auto kDecode = &F::DecodePilotSetRespMsg;

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

const char* kNoData = "---- No Data ----\n";

}  // namespace

TEST(PilotSetsResponse, RanksEachSetInTheText) {
  DecoderCase d;
  d.call(kDecode, three_sets());
  EXPECT_EQ(d.msg.title, "Pilot Sets Response");
  EXPECT_EQ(
      d.msg.details,
      "\nAct:\tPN\tEcIo\n\t20\t-2.00\n\t10\t-5.00\nCand:\tPN\tEcIo\n\t30\t-15.00\n\nNbor:\tPN\tEcIo\n\t600\t-10.00\n");
  DecoderCase ro;
  ro.read_only = true;
  EXPECT_EQ(ro.call(kDecode, three_sets()).details, d.msg.details);
  EXPECT_EQ(ro.writes(), "");
}

// Every per-PN level goes out, in packet order, before the ranked best lists. An invalid
// PN is marked, at index 0 for the per-PN list and at its rank for the best list.
TEST(PilotSetsResponse, PerPnLevelsOfAllSetsComeBeforeTheBestLists) {
  DecoderCase d;
  d.call(kDecode, three_sets());
  EXPECT_EQ(d.writes(),
            "PN_INC UShort[0] 4\nNUM_ACTIVE_PILOTS Byte[0] 2\nACTIVE_PILOTS_ECIO_FOR_PN Double[10] -5\n"
            "ACTIVE_PILOTS_ECIO_FOR_PN Double[20] -2\nCANDIDATE_PILOTS_ECIO_FOR_PN Double[30] -15\n"
            "NBOR_PLTS_ECIO_FOR_PN NoValue[0]\nBEST_ECIO_ACTIVE Double[0] -2\nPN_FOR_BEST_ECIO_ACTIVE Long[0] 20\n"
            "BEST_ECIO_ACTIVE Double[1] -5\nPN_FOR_BEST_ECIO_ACTIVE Long[1] 10\nBEST_ECIO_CANDIDATE Double[0] -15\n"
            "PN_FOR_BEST_ECIO_CANDIDATE Long[0] 30\nBEST_ECIO_NBOR NoValue[0]\nPN_FOR_BEST_ECIO_NBOR NoValue[0]\n");
}

TEST(PilotSetsResponse, ActivePilotsBelowThresholdAAreMarked) {
  Bytes b = head(1, 1, 0, 0);
  DecoderCase d;
  d.call(kDecode, record(b, 40, 40));  // -20 dB, below the default -15 dB
  EXPECT_EQ(d.writes({"ACTIVE_PILOTS", "PN_FOR_BEST_ECIO_ACTIVE"}),
            "ACTIVE_PILOTS_ECIO_FOR_PN NoValue[0]\nPN_FOR_BEST_ECIO_ACTIVE NoValue[0]\n");
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
    DecoderCase d;
    d.call(kDecode, record(b, 7, 2));
    EXPECT_EQ(d.writes({"PN_INC", "ACTIVE_PILOTS"}),
              cdmadiag::formatf("PN_INC UShort[0] %u\nACTIVE_PILOTS_ECIO_FOR_PN Double[7] -1\n", increment));
  }
}

// A record needs all four bytes: one whose reserved byte lies past the payload is
// not taken, and missing records are neither ranked nor written as best pilots.
TEST(PilotSetsResponse, OnlyWholeRecordsAreTakenAndRanked) {
  Bytes b = head(1, 3, 2, 0);
  record(b, 10, 2).u16(11).u8(0);  // the second active record lacks its last byte
  DecoderCase d;
  d.call(kDecode, b);
  EXPECT_EQ(d.writes({"NUM_ACTIVE", "BEST_ECIO"}), "NUM_ACTIVE_PILOTS Byte[0] 3\nBEST_ECIO_ACTIVE Double[0] -1\n");
  EXPECT_EQ(d.msg.details, std::string("\nAct:\tPN\tEcIo\n\t10\t-1.00\nCand:\tPN\tEcIo\n") + kNoData +
                               "\nNbor:\tPN\tEcIo\n" + kNoData);
}

TEST(PilotSetsResponse, EqualStrengthsKeepPacketOrder) {
  Bytes b = head(1, 0, 0, 3);
  record(record(record(b, 5, 8), 6, 8), 4, 2);
  DecoderCase d;
  d.call(kDecode, b);
  EXPECT_EQ(d.writes({"PN_FOR_BEST_ECIO_NBOR"}),
            "PN_FOR_BEST_ECIO_NBOR Long[0] 4\nPN_FOR_BEST_ECIO_NBOR Long[1] 5\nPN_FOR_BEST_ECIO_NBOR Long[2] 6\n");
}

TEST(PilotSetsResponse, TruncatedPayloadsNeverReadPastTheEnd) {
  cdmadiag::test::sweep_truncations(kDecode, three_sets(), [](const DecoderCase& d, std::size_t n) {
    if (n <= 4) {
      EXPECT_EQ(d.writes(), "");
    }
  });
}

// The PN field is signed: a negative PN is listed as read, but no set writes it as a
// PN or an index, whatever its level.
TEST(PilotSetsResponse, NegativePnIsListedButNeverWritten) {
  Bytes b = head(1, 1, 0, 1);
  record(b, -3, 2);    // active, -1 dB: above threshold A
  record(b, -200, 4);  // neighbour, -2 dB
  DecoderCase d;
  d.call(kDecode, b);
  EXPECT_EQ(d.writes({"ACTIVE_PILOTS_ECIO_FOR_PN", "BEST_ECIO_ACTIVE", "PN_FOR_BEST_ECIO_ACTIVE",
                      "NBOR_PLTS_ECIO_FOR_PN", "BEST_ECIO_NBOR", "PN_FOR_BEST_ECIO_NBOR"}),
            "ACTIVE_PILOTS_ECIO_FOR_PN NoValue[0]\nNBOR_PLTS_ECIO_FOR_PN NoValue[0]\nBEST_ECIO_ACTIVE NoValue[0]\n"
            "PN_FOR_BEST_ECIO_ACTIVE NoValue[0]\nBEST_ECIO_NBOR NoValue[0]\nPN_FOR_BEST_ECIO_NBOR NoValue[0]\n");
  EXPECT_EQ(d.msg.details, std::string("\nAct:\tPN\tEcIo\n\t-3\t-1.00\nCand:\tPN\tEcIo\n") + kNoData +
                               "\nNbor:\tPN\tEcIo\n\t-200\t-2.00\n");
}
