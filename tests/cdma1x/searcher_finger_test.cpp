#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

#include "cdma1x/pilot_routines.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/failure_texts.h"
#include "framework/text.h"
#include "host/cell_refs.h"
#include "host/object_properties.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace {

using cdmadiag::formatf;
using cdmadiag::test::Bytes;
using cdmadiag::test::Recorded;
using cdmadiag::test::RecordingState;

// Reaches the shared pilot routines, which are protected.
class Frame : public COrbDecodeMsgCDMAQualcommFrame {
 public:
  using COrbDecodeMsgCDMAQualcommFrame::COrbDecodeMsgCDMAQualcommFrame;
  using COrbDecodeMsgCDMAQualcommFrame::FindLikelyCell;
  using COrbDecodeMsgCDMAQualcommFrame::Set_Searcher_Attributes;
};

class FakeObject final : public IDekPropertyObject {
 public:
  PropertyValue GetProperty(const char* name) const override {
    const auto it = props.find(name);
    return it == props.end() ? PropertyValue{} : it->second;
  }
  std::map<std::string, PropertyValue> props;
};

// One cell per PN, wherever the position; remembers where it was asked.
class FakeCells final : public IDekCellRefs_Search {
 public:
  FakeCells() {
    site.props["Site_Name"] = std::string("Hilltop");
    cell.props["Sector_ID"] = std::string("1001-A");
    cell.props["CDMA_SiteIDForCell"] = static_cast<const IDekPropertyObject*>(&site);
  }
  void Search(unsigned pn, double x, double y, const IDekPropertyObject** out) override {
    asked.push_back(pn);
    last_x = x;
    last_y = y;
    const auto it = cells.find(pn);
    *out = it == cells.end() ? nullptr : it->second;
  }
  FakeObject site;
  FakeObject cell;
  std::map<unsigned, const IDekPropertyObject*> cells{{100u, &cell}, {300u, &cell}};
  std::vector<unsigned> asked;
  double last_x = -1.0;
  double last_y = -1.0;
};

// "NAME Op [index] value", the ATTR_ID_ prefix dropped; clears have no value.
std::string show(const Recorded& w) {
  const std::string name = w.name.substr(std::string("ATTR_ID_").size());
  if (w.op == WriteOp::kSetNoValue) return formatf("%s %s [%u]", name.c_str(), write_op_name(w.op), w.index);
  return formatf("%s %s [%u] %.3f", name.c_str(), write_op_name(w.op), w.index, w.value);
}

std::vector<std::string> shown(const std::vector<Recorded>& writes) {
  std::vector<std::string> out;
  for (const auto& w : writes) out.push_back(show(w));
  return out;
}

bool has_prefix(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

std::vector<std::string> starting_with(const std::vector<Recorded>& writes, const std::string& prefix) {
  std::vector<std::string> out;
  for (const auto& w : writes) {
    if (has_prefix(w.name, "ATTR_ID_" + prefix)) out.push_back(show(w));
  }
  return out;
}

class PilotReport : public ::testing::Test {
 protected:
  enum class Packet { kFinger, kSearcher };

  void decode(Packet which, const Bytes& b, IDekCellRefs_Search* search) {
    Frame f(b.data(), b.size(), &props);
    f.SetMessageNumber(1);
    f.SetCommonVariables(false, threshold_a, -15.0);
    if (which == Packet::kFinger) {
      f.SetMessageCode(0x100B);
      f.DecodeFinger(&st.ds, msg, search);
    } else {
      f.SetMessageCode(0x100F);
      f.DecodeSearcher(&st.ds, msg, search);
    }
  }
  std::vector<std::string> writes() const { return shown(st.sink.writes); }
  std::vector<std::string> writes_of(const std::string& name) const { return shown(st.sink.of("ATTR_ID_" + name)); }

  ObjectProperties props;
  RecordingState st;
  COrbExpandedMessage msg;
  FakeCells cells;
  double threshold_a = -15.0;
};

// ---------------------------------------------------------------- fingers

struct Finger {
  std::uint16_t pn;
  std::uint16_t position;  // 1/8 chip
  std::uint8_t rssi;       // 0: not locked
};

Bytes finger_packet(const Finger& a, const Finger& b, const Finger& c) {
  Bytes p;
  p.u16(a.pn).u16(b.pn).u16(c.pn);                    // 0: PN of fingers 1-3
  p.u16(a.position).u16(b.position).u16(c.position);  // 6: positions
  p.u8(a.rssi).u8(b.rssi).u8(c.rssi);                 // 12: raw strengths
  return p;
}

class FingerReport : public PilotReport {
 protected:
  void decode(const Bytes& b, IDekCellRefs_Search* search = nullptr) {
    PilotReport::decode(Packet::kFinger, b, search);
  }
};

TEST_F(FingerReport, HandBuiltPacketEveryLineAndWrite) {
  // Two fingers on PN 100 (raw 200 and 100), one on PN 220 (raw 50), which the cell list lacks.
  const Bytes p{
      0x64, 0x00,  // PN 100
      0x64, 0x00,  // PN 100
      0xDC, 0x00,  // PN 220
      0xE8, 0x03,  // position 1000
      0xF8, 0x03,  // position 1016
      0xD0, 0x07,  // position 2000
      0xC8,        // raw 200: 10 log10(200) - 30.61 = -7.60 dB
      0x64,        // raw 100: -10.61 dB
      0x32,        // raw 50: -13.62 dB
  };
  st.ds.SetDouble(ATTR_ID_LOCATION_X, 12.5, 0, IOrbDataState::kNoBound, 0);
  st.ds.SetDouble(ATTR_ID_LOCATION_Y, -3.25, 0, IOrbDataState::kNoBound, 0);
  st.sink.writes.clear();
  decode(p, &cells);

  EXPECT_EQ(msg.title, "Pilot Fingers");
  EXPECT_EQ(msg.details,
            "  Finger #1 PN: 100, Position (1/8 chip): 1000, Ec/Io: -7.6 dB, (likely CellID 1001-A on Hilltop),\n"
            "  Finger #2 PN: 100, Position (1/8 chip): 1016, Ec/Io: -10.6 dB, (likely CellID 1001-A on Hilltop),\n"
            "  Finger #3 PN: 220, Position (1/8 chip): 2000, Ec/Io: -13.6 dB, (likely CellID Unknown on Unknown),\n"
            "  Number of pilots: 3\n");
  EXPECT_EQ(cells.asked, (std::vector<unsigned>{100, 100, 220}));
  EXPECT_EQ(cells.last_x, 12.5);
  EXPECT_EQ(cells.last_y, -3.25);

  // Same-pilot fingers combine linearly: 10 log10(200 + 100) - 30.61; all three: 10 log10(350) - 30.61.
  EXPECT_EQ(writes(), (std::vector<std::string>{
                          "CULL_FINGER_MESSAGE SetDWord [0] 4171.000",
                          "PILOT_PN SetUShort [0] 100.000",
                          "PILOT_LOW16BITS SetUShort [0] 1000.000",
                          "PILOT_EcIo SetUShort [0] 200.000",
                          "PILOT_PN SetUShort [1] 100.000",
                          "PILOT_LOW16BITS SetUShort [1] 1016.000",
                          "PILOT_EcIo SetUShort [1] 100.000",
                          "PILOT_PN SetUShort [2] 220.000",
                          "PILOT_LOW16BITS SetUShort [2] 2000.000",
                          "PILOT_EcIo SetUShort [2] 50.000",
                          "PN_ECIO_SET SetDouble [100] -5.839",
                          "PN_ECIO_SET_STATUS SetLong [100] 7.000",
                          "PN_ECIO_SET SetDouble [220] -13.620",
                          "PN_ECIO_SET_STATUS SetLong [220] 7.000",
                          "COMB_PILOT_EcIo SetDouble [0] -5.169",
                          "NUM_LOCKED_PILOTS SetByte [0] 3.000",
                          "NUM_UNIQUE_PILOTS SetByte [0] 2.000",
                          "TOP_N SetDouble [0] -7.600",
                          "TOP_N_PN_OFFSET SetUShort [0] 100.000",
                          "TOP_N SetDouble [1] -10.610",
                          "TOP_N_PN_OFFSET SetUShort [1] 100.000",
                          "TOP_N SetDouble [2] -13.620",
                          "TOP_N_PN_OFFSET SetUShort [2] 220.000",
                          "1ST_PILOT_EcIo SetDouble [0] -7.600",
                          "1ST_PILOT_PN SetUShort [0] 100.000",
                          "2ND_PILOT_EcIo SetDouble [0] -10.610",
                          "2ND_PILOT_PN SetUShort [0] 100.000",
                          "3RD_PILOT_EcIo SetDouble [0] -13.620",
                          "3RD_PILOT_PN SetUShort [0] 220.000",
                      }));
  EXPECT_NEAR(st.sink.of("ATTR_ID_COMB_PILOT_EcIo").at(0).value, -5.1693196, 1e-5);  // summed as a float
}

TEST_F(FingerReport, CombinedStrengthRoundsOnlyTheSingleFloatTotal) {
  // Three weak pilots, raw 1, 1 and 5: each linear energy joins the float total as a double;
  // rounding each one to float first would give -22.15901933.
  decode(finger_packet({10, 0, 1}, {20, 0, 1}, {30, 0, 5}));
  ASSERT_EQ(st.sink.of("ATTR_ID_COMB_PILOT_EcIo").size(), 1u);
  EXPECT_NEAR(st.sink.of("ATTR_ID_COMB_PILOT_EcIo").at(0).value, -22.159019662548, 1e-9);
}

TEST_F(FingerReport, NoFingerLockedClearsTheSummary) {
  decode(finger_packet({100, 10, 0}, {200, 20, 0}, {300, 30, 0}), &cells);
  EXPECT_EQ(msg.details,
            "  Finger #1 PN: N/A, Position (1/8 chip): 10, Ec/Io: Not locked,\n"
            "  Finger #2 PN: N/A, Position (1/8 chip): 20, Ec/Io: Not locked,\n"
            "  Finger #3 PN: N/A, Position (1/8 chip): 30, Ec/Io: Not locked,\n"
            "  Number of pilots: 0\n");
  EXPECT_TRUE(cells.asked.empty());
  EXPECT_TRUE(writes_of("PN_ECIO_SET").empty());
  EXPECT_TRUE(writes_of("TOP_N").empty());
  EXPECT_TRUE(writes_of("TOP_N_PN_OFFSET").empty());
  EXPECT_EQ(writes_of("COMB_PILOT_EcIo"), (std::vector<std::string>{"COMB_PILOT_EcIo SetNoValue [0]"}));
  EXPECT_EQ(writes_of("NUM_LOCKED_PILOTS"), (std::vector<std::string>{"NUM_LOCKED_PILOTS SetByte [0] 0.000"}));
  EXPECT_EQ(writes_of("NUM_UNIQUE_PILOTS"), (std::vector<std::string>{"NUM_UNIQUE_PILOTS SetByte [0] 0.000"}));
  for (const char* best : {"1ST", "2ND", "3RD"}) {
    EXPECT_EQ(writes_of(std::string(best) + "_PILOT_EcIo").at(0), std::string(best) + "_PILOT_EcIo SetNoValue [0]");
    EXPECT_EQ(writes_of(std::string(best) + "_PILOT_PN").at(0), std::string(best) + "_PILOT_PN SetNoValue [0]");
  }
}

TEST_F(FingerReport, RankingFollowsStrengthNotFingerOrder) {
  // Finger 3 strongest, finger 1 unlocked: two locked, so the third best is cleared.
  decode(finger_packet({7, 0, 0}, {40, 0, 100}, {80, 0, 200}));
  EXPECT_EQ(writes_of("TOP_N_PN_OFFSET"),
            (std::vector<std::string>{"TOP_N_PN_OFFSET SetUShort [0] 80.000", "TOP_N_PN_OFFSET SetUShort [1] 40.000"}));
  EXPECT_EQ(writes_of("1ST_PILOT_PN"), (std::vector<std::string>{"1ST_PILOT_PN SetUShort [0] 80.000"}));
  EXPECT_EQ(writes_of("2ND_PILOT_PN"), (std::vector<std::string>{"2ND_PILOT_PN SetUShort [0] 40.000"}));
  EXPECT_EQ(writes_of("3RD_PILOT_PN"), (std::vector<std::string>{"3RD_PILOT_PN SetNoValue [0]"}));
  EXPECT_EQ(writes_of("NUM_LOCKED_PILOTS"), (std::vector<std::string>{"NUM_LOCKED_PILOTS SetByte [0] 2.000"}));
  EXPECT_EQ(writes_of("NUM_UNIQUE_PILOTS"), (std::vector<std::string>{"NUM_UNIQUE_PILOTS SetByte [0] 2.000"}));
}

TEST_F(FingerReport, InvalidPnIsClearedAtIndexZeroButStillRanked) {
  // PN 600 is out of range; its finger is the strongest.
  decode(finger_packet({600, 0, 200}, {40, 0, 100}, {40, 0, 0}));
  EXPECT_EQ(writes_of("PILOT_PN"), (std::vector<std::string>{"PILOT_PN SetNoValue [0]", "PILOT_PN SetUShort [1] 40.000",
                                                             "PILOT_PN SetUShort [2] 40.000"}));
  EXPECT_EQ(writes_of("TOP_N"),
            (std::vector<std::string>{"TOP_N SetDouble [0] -7.600", "TOP_N SetDouble [1] -10.610"}));
  EXPECT_EQ(writes_of("TOP_N_PN_OFFSET"),
            (std::vector<std::string>{"TOP_N_PN_OFFSET SetNoValue [0]", "TOP_N_PN_OFFSET SetUShort [1] 40.000"}));
  EXPECT_EQ(writes_of("1ST_PILOT_PN"), (std::vector<std::string>{"1ST_PILOT_PN SetNoValue [0]"}));
  EXPECT_EQ(writes_of("2ND_PILOT_PN"), (std::vector<std::string>{"2ND_PILOT_PN SetUShort [0] 40.000"}));
}

TEST_F(FingerReport, ReadOnlyStateStillGetsCullAndPilotStrengths) {
  // An earlier packet left 2 locked pilots; this one may not write, so the text shows those.
  st.ds.SetByte(ATTR_ID_NUM_LOCKED_PILOTS, 2, 0, IOrbDataState::kNoBound, 0);
  st.ds.begin_message(2);
  st.ds.set_read_only(true);
  st.sink.writes.clear();
  const Bytes p = finger_packet({100, 0, 100}, {0, 0, 0}, {0, 0, 0});
  Frame g(p.data(), p.size(), &props);
  g.SetMessageNumber(2);
  g.DecodeFinger(&st.ds, msg, nullptr);
  EXPECT_EQ(writes(), (std::vector<std::string>{"CULL_FINGER_MESSAGE SetDWord [0] 4171.000",
                                                "PN_ECIO_SET SetDouble [100] -10.610",
                                                "PN_ECIO_SET_STATUS SetLong [100] 7.000"}));
  EXPECT_TRUE(has_prefix(msg.details,
                         "  Finger #1 PN: 100, Position (1/8 chip): 0, Ec/Io: -10.6 dB, (likely CellID "
                         "Unknown on Unknown),\n"));
  EXPECT_TRUE(msg.details.ends_with("  Number of pilots: 2\n"));
}

TEST_F(FingerReport, NothingFormattedForNobody) {
  msg.titleWanted = false;
  msg.detailsWanted = false;
  decode(finger_packet({100, 0, 100}, {0, 0, 0}, {0, 0, 0}), &cells);
  EXPECT_EQ(msg.title, "");
  EXPECT_EQ(msg.details, "");
  EXPECT_TRUE(cells.asked.empty());
  EXPECT_EQ(writes_of("NUM_LOCKED_PILOTS").size(), 1u);
}

TEST_F(FingerReport, CellTextOnlyWhenCellIdentificationIsWanted) {
  msg.cellIdWanted = false;
  decode(finger_packet({100, 0, 100}, {0, 0, 0}, {0, 0, 0}), &cells);
  EXPECT_TRUE(has_prefix(msg.details, "  Finger #1 PN: 100, Position (1/8 chip): 0, Ec/Io: -10.6 dB,\n"));
  EXPECT_TRUE(cells.asked.empty());
}

TEST_F(FingerReport, EveryShorterLengthIsRefusedWithoutReading) {
  const Bytes full = finger_packet({100, 1, 100}, {200, 2, 50}, {300, 3, 20});
  for (std::uint32_t len = 0; len < full.size(); ++len) {
    SCOPED_TRACE(len);
    RecordingState fresh;
    COrbExpandedMessage m;
    const std::vector<std::uint8_t> cut(full.vec().begin(), full.vec().begin() + len);
    Frame f(cut.data(), len, &props);
    f.DecodeFinger(&fresh.ds, m, &cells);
    EXPECT_EQ(m.title, "Pilot Fingers");
    EXPECT_EQ(m.details, cdmadiag::kNotQualcommStandard);
    EXPECT_EQ(shown(fresh.sink.writes), (std::vector<std::string>{"CULL_FINGER_MESSAGE SetDWord [0] 4171.000"}));
  }
}

// ---------------------------------------------------------------- searcher

struct Searcher {
  std::uint8_t pregain = 1;       // factor 4
  std::uint8_t integration = 16;  // 64 chips
  std::uint8_t non_coherent = 1;  // two integrations
  std::uint16_t set_word = 0;
  std::uint16_t window_end = 200;
  std::uint16_t window_centre = 200;
  std::vector<std::uint16_t> energies;
  int announced = -1;  // N as written; -1: the number of energies
};

// With the defaults above the energy offset is 17.555 - 20 log10(256) - 10 log10(2) = -33.620 dB,
// and the delay threshold (-15 dB) lies at a raw energy of 72.78.
Bytes searcher_packet(const Searcher& s) {
  Bytes p;
  p.u8(s.pregain).u8(s.integration).u8(s.non_coherent);
  p.u16(s.set_word);
  p.u16(s.window_end).u16(s.window_centre);
  p.u16(0xBEEF);  // not read
  p.u16(s.announced < 0 ? static_cast<std::uint32_t>(s.energies.size()) : static_cast<std::uint32_t>(s.announced));
  for (const auto e : s.energies) p.u16(e);
  return p;
}

class SearcherReport : public PilotReport {
 protected:
  void decode(const Bytes& b, IDekCellRefs_Search* search = nullptr) {
    PilotReport::decode(Packet::kSearcher, b, search);
  }
  std::string first_line() const { return msg.details.substr(0, msg.details.find('\n') + 1); }
};

TEST_F(SearcherReport, HandBuiltPacketEveryLineAndWrite) {
  const Bytes p{
      0x01,        // pregain code 1: factor 4
      0x10,        // integration 16: 64 chips
      0x01,        // non-coherent 1: two integrations
      0x2C, 0xE5,  // set word 0xE52C: Active, Candidate, Neighbor; NotRefPilot; PN 300
      0xC8, 0x00,  // window end 200
      0xF3, 0x00,  // window centre 243: end - centre = -43
      0xEF, 0xBE,  // not read
      0x06, 0x00,  // N = 6
      0x64, 0x00,  // e0 100: -13.62 dB, above the delay threshold
      0xA0, 0x0F,  // e1 4000
      0xA0, 0x0F,  // e2 4000, tied with e1
      0x28, 0x23,  // e3 9000: the largest, 5.92 dB
      0x3C, 0x00,  // e4 60: -15.84 dB, below the delay threshold
      0x00, 0x00,  // e5 0
  };
  st.ds.SetDouble(ATTR_ID_LOCATION_X, 1.0, 0, IOrbDataState::kNoBound, 0);
  st.sink.writes.clear();
  decode(p, &cells);

  // size = -43 / 4 = -10 (toward zero), shown as 16 bits; position = 200 + 4 x 3 + 80.
  EXPECT_EQ(msg.title, "Pilot Searcher");
  EXPECT_EQ(msg.details,
            "  Active Pilot PN: 300, (also in set(s): Candidate, Neighbor),  NotRefPilot: 1, (likely CellID 1001-A on "
            "Hilltop),\n"
            "  Max Energy: Ec/Io 5.9 dB, Position (1/8 chips) 292, Position Index 1,\n"
            "  Search Window: End Position (1/8 chips) 200, Size (chips) 65526\n");
  EXPECT_EQ(cells.asked, (std::vector<unsigned>{300}));
  EXPECT_EQ(cells.last_x, 1.0);
  EXPECT_EQ(cells.last_y, 0.0);  // never written: read as 0

  // delay(k) = (-43 + 4 (k - 5)) / 8 chips. The exchange sort puts the later of the tied
  // entries (e2) second, so the peaks are e3, e2, e1.
  const std::vector<std::string> peaks_act = {
      "SRCH_MAX1_ACT_EcIo SetDouble [0] 5.922",   "SRCH_MAX1_ACT_DELAY SetDouble [0] -6.375",
      "SRCH_ACT_PN SetUShort [0] 300.000",        "SRCH_MAX2_ACT_EcIo SetDouble [0] 2.401",
      "SRCH_MAX2_ACT_DELAY SetDouble [0] -6.875", "SRCH_MAX3_ACT_EcIo SetDouble [0] 2.401",
      "SRCH_MAX3_ACT_DELAY SetDouble [0] -7.375",
  };
  std::vector<std::string> expected = {
      "CULL_SEARCHER_MESSAGE SetDWord [0] 4171.000",  "CDMA_SEARCHER_NUM_ENTRIES SetUShort [0] 6.000",
      "CDMA_SRCHR_DLY_CHIP SetDouble [0] -7.875",     "CDMA_SRCHR_DLY_CHIP SetDouble [1] -7.375",
      "CDMA_SRCHR_DLY_CHIP SetDouble [2] -6.875",     "CDMA_SRCHR_DLY_CHIP SetDouble [3] -6.375",
      "CDMA_UPDATE_ACTSETDLY_FLAG SetLong [0] 1.000", "CDMA_UPDATE_ACTCANDSETDLY_FLAG SetLong [0] 1.000",
  };
  expected.insert(expected.end(), peaks_act.begin(), peaks_act.end());
  expected.push_back("CDMA_UPDATE_CANDSETDLY_FLAG SetLong [0] 1.000");
  expected.push_back("CDMA_UPDATE_ACTCANDSETDLY_FLAG SetLong [0] 1.000");
  for (const auto& w : peaks_act) expected.push_back(std::string(w).replace(w.find("ACT"), 3, "CAN"));
  expected.push_back("CDMA_UPDATE_NBORSETDLY_FLAG SetLong [0] 1.000");
  for (const auto& w : peaks_act) expected.push_back(std::string(w).replace(w.find("ACT"), 3, "NBR"));
  expected.push_back("PN_ECIO_SET SetDouble [300] 5.922");
  expected.push_back("PN_ECIO_SET_STATUS SetLong [300] 6.000");
  expected.push_back("MAX_SEARCHER_ENERGY SetDouble [0] 5.922");
  EXPECT_EQ(writes(), expected);
}

TEST_F(SearcherReport, IntegrationZeroLeavesTheBareOffset) {
  EXPECT_DOUBLE_EQ(cdmadiag::SearcherEnergyOffset(3, 0, 200), 17.555);
  // Code 3 is a factor of 32; unknown codes a factor of 1.
  EXPECT_NEAR(cdmadiag::SearcherEnergyOffset(3, 1, 0), 17.555 - 20.0 * std::log10(128.0), 1e-12);
  EXPECT_NEAR(cdmadiag::SearcherEnergyOffset(9, 1, 3), 17.555 - 20.0 * std::log10(4.0) - 10.0 * std::log10(4.0), 1e-12);
}

TEST_F(SearcherReport, DelayNeedsMoreThanTheThresholdEnergy) {
  Searcher s;
  s.window_end = 100;
  s.window_centre = 120;
  s.energies = {72, 73, 0, 65535};  // threshold at 72.78
  decode(searcher_packet(s));
  // delay(k) = (-20 + 4 (k - 3)) / 8
  EXPECT_EQ(writes_of("CDMA_SRCHR_DLY_CHIP"), (std::vector<std::string>{"CDMA_SRCHR_DLY_CHIP SetDouble [1] -3.500",
                                                                        "CDMA_SRCHR_DLY_CHIP SetDouble [3] -2.500"}));
}

TEST_F(SearcherReport, PeaksNeedMoreThanThresholdA) {
  // Exactly the Ec/Io of 4000 as the decoder holds it (single precision): not above.
  threshold_a = static_cast<float>(10.0 * std::log10(4000.0) + cdmadiag::SearcherEnergyOffset(1, 16, 1));
  Searcher s;
  s.set_word = 0x8000 | 12;  // Active, PN 12
  s.energies = {9000, 4000, 100};
  decode(searcher_packet(s));
  EXPECT_EQ(writes_of("SRCH_MAX1_ACT_EcIo"), (std::vector<std::string>{"SRCH_MAX1_ACT_EcIo SetDouble [0] 5.922"}));
  EXPECT_EQ(writes_of("SRCH_ACT_PN"), (std::vector<std::string>{"SRCH_ACT_PN SetUShort [0] 12.000"}));
  EXPECT_EQ(writes_of("SRCH_MAX2_ACT_EcIo"), (std::vector<std::string>{"SRCH_MAX2_ACT_EcIo SetNoValue [0]"}));
  EXPECT_EQ(writes_of("SRCH_MAX2_ACT_DELAY"), (std::vector<std::string>{"SRCH_MAX2_ACT_DELAY SetNoValue [0]"}));
  EXPECT_EQ(writes_of("SRCH_MAX3_ACT_EcIo"), (std::vector<std::string>{"SRCH_MAX3_ACT_EcIo SetNoValue [0]"}));
}

struct SetCase {
  std::uint16_t sets;
  const char* line;
  std::vector<std::string> flags;
  std::vector<std::string> set_pns;
};

TEST_F(SearcherReport, SetMembershipTextsFlagsAndPeaks) {
  const std::vector<SetCase> cases = {
      {0x0000, " Pilot PN: 5,  NotRefPilot: 0,\n", {}, {}},
      {0x0800, "  Precandidate Pilot PN: 5,  NotRefPilot: 0,\n", {}, {}},
      {0x4000,
       "  Candidate Pilot PN: 5,  NotRefPilot: 0,\n",
       {"CDMA_UPDATE_CANDSETDLY_FLAG SetLong [0] 1.000", "CDMA_UPDATE_ACTCANDSETDLY_FLAG SetLong [0] 1.000"},
       {"SRCH_CAN_PN SetUShort [0] 5.000"}},
      {0x1800,
       "  Remaining Pilot PN: 5, (also in set(s): Precandidate),  NotRefPilot: 0,\n",
       {"CDMA_UPDATE_REMSETDLY_FLAG SetLong [0] 1.000"},
       {"SRCH_REM_PN SetUShort [0] 5.000"}},
      {0xF800,
       "  Active Pilot PN: 5, (also in set(s): Candidate, Neighbor, Remaining, Precandidate),  NotRefPilot: 0,\n",
       {"CDMA_UPDATE_ACTSETDLY_FLAG SetLong [0] 1.000", "CDMA_UPDATE_ACTCANDSETDLY_FLAG SetLong [0] 1.000",
        "CDMA_UPDATE_CANDSETDLY_FLAG SetLong [0] 1.000", "CDMA_UPDATE_ACTCANDSETDLY_FLAG SetLong [0] 1.000",
        "CDMA_UPDATE_NBORSETDLY_FLAG SetLong [0] 1.000", "CDMA_UPDATE_REMSETDLY_FLAG SetLong [0] 1.000"},
       {"SRCH_ACT_PN SetUShort [0] 5.000", "SRCH_CAN_PN SetUShort [0] 5.000", "SRCH_NBR_PN SetUShort [0] 5.000",
        "SRCH_REM_PN SetUShort [0] 5.000"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.sets);
    st.sink.writes.clear();
    msg.reset();
    msg.cellIdWanted = false;
    Searcher s;
    s.set_word = static_cast<std::uint16_t>(c.sets | 5);
    s.energies = {9000};
    st.ds.set_read_only(true);  // the set writes do not ask
    decode(searcher_packet(s));
    EXPECT_EQ(first_line(), c.line);
    EXPECT_EQ(starting_with(st.sink.writes, "CDMA_UPDATE_"), c.flags);
    std::vector<std::string> pns;
    for (const auto& w : starting_with(st.sink.writes, "SRCH_")) {
      if (w.find("_PN ") != std::string::npos) pns.push_back(w);
    }
    EXPECT_EQ(pns, c.set_pns);
    EXPECT_EQ(starting_with(st.sink.writes, "SRCH_").size(), 7 * c.set_pns.size());
  }
}

TEST_F(SearcherReport, ReadOnlyStopsOnlyTheDelays) {
  st.ds.set_read_only(true);
  Searcher s;
  s.energies = {9000, 4000};
  decode(searcher_packet(s));
  EXPECT_TRUE(writes_of("CDMA_SRCHR_DLY_CHIP").empty());
  EXPECT_EQ(writes_of("CDMA_SEARCHER_NUM_ENTRIES").size(), 1u);
  EXPECT_EQ(writes_of("PN_ECIO_SET").size(), 1u);
  EXPECT_EQ(writes_of("MAX_SEARCHER_ENERGY").size(), 1u);
}

TEST_F(SearcherReport, NoEnergyGivesNotAvailable) {
  Searcher s;
  s.window_end = 64;
  s.window_centre = 32;  // size 8 chips
  s.energies = {0, 0, 0};
  decode(searcher_packet(s));
  EXPECT_EQ(msg.details.substr(msg.details.find('\n') + 1),
            "  Max Energy: Ec/Io N/A, Position (1/8 chips) 0, Position Index 0,\n"
            "  Search Window: End Position (1/8 chips) 64, Size (chips) 8\n");
  EXPECT_EQ(writes_of("MAX_SEARCHER_ENERGY"), (std::vector<std::string>{"MAX_SEARCHER_ENERGY SetNoValue [0]"}));
  EXPECT_TRUE(writes_of("PN_ECIO_SET").empty());
}

TEST_F(SearcherReport, FewerThanThreeEntriesClearTheMissingPeaks) {
  // A larger packet first: nothing of it may leak into the next one.
  Searcher big;
  big.set_word = 0x8000;
  big.energies = {9000, 8000, 7000, 6000};
  decode(searcher_packet(big));
  st.sink.writes.clear();
  Searcher one = big;
  one.energies = {9000};
  decode(searcher_packet(one));
  EXPECT_EQ(
      starting_with(st.sink.writes, "SRCH_MAX"),
      (std::vector<std::string>{"SRCH_MAX1_ACT_EcIo SetDouble [0] 5.922", "SRCH_MAX1_ACT_DELAY SetDouble [0] 0.000",
                                "SRCH_MAX2_ACT_EcIo SetNoValue [0]", "SRCH_MAX2_ACT_DELAY SetNoValue [0]",
                                "SRCH_MAX3_ACT_EcIo SetNoValue [0]", "SRCH_MAX3_ACT_DELAY SetNoValue [0]"}));
}

TEST_F(SearcherReport, LyingCountDecodesOnlyWhatIsPresent) {
  Searcher s;
  s.window_centre = s.window_end;
  s.energies = {100, 9000};
  s.announced = 60000;
  decode(searcher_packet(s));
  // Positions still count back from the announced end of the window.
  EXPECT_EQ(writes_of("CDMA_SEARCHER_NUM_ENTRIES"),
            (std::vector<std::string>{"CDMA_SEARCHER_NUM_ENTRIES SetUShort [0] 60000.000"}));
  EXPECT_EQ(writes_of("CDMA_SRCHR_DLY_CHIP"),
            (std::vector<std::string>{"CDMA_SRCHR_DLY_CHIP SetDouble [0] -29999.500",
                                      "CDMA_SRCHR_DLY_CHIP SetDouble [1] -29999.000"}));
  EXPECT_NE(msg.details.find("Max Energy: Ec/Io 5.9 dB"), std::string::npos);
}

TEST_F(SearcherReport, WindowBeyondCapacityIsCut) {
  Searcher s;
  s.energies.assign(5000, 1000);
  s.energies[4500] = 60000;  // past what is decoded
  s.energies[17] = 2000;
  decode(searcher_packet(s));
  const auto delays = st.sink.of("ATTR_ID_CDMA_SRCHR_DLY_CHIP");
  ASSERT_EQ(delays.size(), cdmadiag::kSearcherMaxEntries);
  EXPECT_EQ(delays.back().index, cdmadiag::kSearcherMaxEntries - 1);
  EXPECT_NE(msg.details.find("Position Index 8,"), std::string::npos);  // entry 17 is the largest
}

TEST_F(SearcherReport, EveryShorterLengthIsSafe) {
  Searcher s;
  s.set_word = 0x8000 | 9;
  s.energies = {100, 9000, 4000, 200};
  const Bytes full = searcher_packet(s);
  for (std::uint32_t len = 0; len < full.size(); ++len) {
    SCOPED_TRACE(len);
    RecordingState fresh;
    COrbExpandedMessage m;
    const std::vector<std::uint8_t> cut(full.vec().begin(), full.vec().begin() + len);
    Frame f(cut.data(), len, &props);
    f.DecodeSearcher(&fresh.ds, m, &cells);
    EXPECT_EQ(m.title, "Pilot Searcher");
    if (len < 13) {
      EXPECT_EQ(m.details, cdmadiag::kNotQualcommStandard);
      EXPECT_EQ(shown(fresh.sink.writes), (std::vector<std::string>{"CULL_SEARCHER_MESSAGE SetDWord [0] 4171.000"}));
    } else {
      EXPECT_EQ(m.details.find(cdmadiag::kNotQualcommStandard), std::string::npos);
      EXPECT_EQ(fresh.sink.of("ATTR_ID_CDMA_SRCHR_DLY_CHIP").size(), std::min<std::size_t>((len - 13) / 2, 4));
    }
  }
}

// ---------------------------------------------------------------- shared routines

TEST(ExchangeSort, TiesAreNotKeptInIndexOrder) {
  const std::vector<std::uint16_t> e = {1, 5, 5, 9};
  std::vector<int> full(4);
  cdmadiag::ExchangeSortDescending(e, full);
  EXPECT_EQ(full, (std::vector<int>{3, 2, 1, 0}));
  std::vector<int> leading(4);
  cdmadiag::ExchangeSortDescending(e, leading, 2);
  EXPECT_EQ(std::vector<int>(leading.begin(), leading.begin() + 2), (std::vector<int>{3, 2}));
}

TEST(ExchangeSort, LeadingThreeMatchTheFullSortTiesIncluded) {
  // Few distinct values, so most windows hold ties.
  std::uint32_t seed = 12345;
  for (int round = 0; round < 2000; ++round) {
    seed = seed * 1103515245u + 12345u;
    const std::size_t n = (seed >> 16) % 13;
    std::vector<std::uint16_t> e(n);
    for (auto& v : e) {
      seed = seed * 1103515245u + 12345u;
      v = static_cast<std::uint16_t>((seed >> 16) % 4);
    }
    std::vector<int> full(n);
    std::vector<int> leading(n);
    cdmadiag::ExchangeSortDescending(e, full);
    cdmadiag::ExchangeSortDescending(e, leading, 3);
    const std::size_t top = std::min<std::size_t>(n, 3);
    EXPECT_EQ(std::vector<int>(leading.begin(), leading.begin() + top),
              std::vector<int>(full.begin(), full.begin() + top));
  }
}

class SharedPilotRoutines : public PilotReport {};

TEST_F(SharedPilotRoutines, SearcherAttributesStrictlyAboveThresholdA) {
  const Bytes none;
  Frame f(none.data(), 0, &props);
  f.SetCommonVariables(false, -10.0, -15.0);
  const double ecio[3] = {-9.5, -10.0, -12.0};
  const double delay[3] = {1.0, 2.0, 3.0};
  st.ds.set_read_only(true);  // the caller decides; the routine writes
  f.Set_Searcher_Attributes(&st.ds, 0x5, 44, ecio, delay, 0);
  EXPECT_EQ(writes(), (std::vector<std::string>{
                          "SRCH_MAX1_ACT_EcIo SetDouble [0] -9.500",
                          "SRCH_MAX1_ACT_DELAY SetDouble [0] 1.000",
                          "SRCH_ACT_PN SetUShort [0] 44.000",
                          "SRCH_MAX2_ACT_EcIo SetNoValue [0]",
                          "SRCH_MAX2_ACT_DELAY SetNoValue [0]",
                          "SRCH_MAX3_ACT_EcIo SetNoValue [0]",
                          "SRCH_MAX3_ACT_DELAY SetNoValue [0]",
                          "SRCH_MAX1_NBR_EcIo SetDouble [0] -9.500",
                          "SRCH_MAX1_NBR_DELAY SetDouble [0] 1.000",
                          "SRCH_NBR_PN SetUShort [0] 44.000",
                          "SRCH_MAX2_NBR_EcIo SetNoValue [0]",
                          "SRCH_MAX2_NBR_DELAY SetNoValue [0]",
                          "SRCH_MAX3_NBR_EcIo SetNoValue [0]",
                          "SRCH_MAX3_NBR_DELAY SetNoValue [0]",
                      }));
}

TEST_F(SharedPilotRoutines, LikelyCellReadsThePositionAndTheSiteName) {
  const Bytes none;
  Frame f(none.data(), 0, &props);
  std::string cell_id = "x";
  std::string site = "y";
  EXPECT_FALSE(f.FindLikelyCell(&st.ds, nullptr, 100, cell_id, site));
  EXPECT_EQ(cell_id, "Unknown");
  EXPECT_EQ(site, "Unknown");

  st.ds.SetLong(ATTR_ID_LOCATION_X, -7, 0, IOrbDataState::kNoBound, 0);
  st.ds.SetDouble(ATTR_ID_LOCATION_Y, 8.5, 0, IOrbDataState::kNoBound, 0);
  EXPECT_TRUE(f.FindLikelyCell(&st.ds, &cells, 300, cell_id, site));
  EXPECT_EQ(cell_id, "1001-A");
  EXPECT_EQ(site, "Hilltop");
  EXPECT_EQ(cells.last_x, -7.0);
  EXPECT_EQ(cells.last_y, 8.5);

  // A cell without a usable sector text or site keeps "Unknown" for those.
  FakeObject bare;
  bare.props["Sector_ID"] = static_cast<const IDekPropertyObject*>(&bare);
  cells.cells[5] = &bare;
  EXPECT_TRUE(f.FindLikelyCell(&st.ds, &cells, 5, cell_id, site));
  EXPECT_EQ(cell_id, "Unknown");
  EXPECT_EQ(site, "Unknown");

  EXPECT_FALSE(f.FindLikelyCell(&st.ds, &cells, 6, cell_id, site));
  EXPECT_EQ(cell_id, "Unknown");
}

TEST_F(FingerReport, NamesTheNearestSectorOfTheCellList) {
  // Two sites radiate PN 100; the last map position (longitude/latitude, no projection) is near the second.
  CellSiteTable table;
  table.add({100, 40.0, -75.0, "11-1", "North"});
  table.add({100, 40.2, -75.3, "12-3", "River"});
  st.ds.SetDouble(ATTR_ID_LOCATION_X, -75.29, 0, IOrbDataState::kNoBound, 0);
  st.ds.SetDouble(ATTR_ID_LOCATION_Y, 40.19, 0, IOrbDataState::kNoBound, 0);
  decode(finger_packet({100, 8, 100}, {0, 0, 0}, {0, 0, 0}), &table);
  EXPECT_TRUE(has_prefix(msg.details,
                         "  Finger #1 PN: 100, Position (1/8 chip): 8, Ec/Io: -10.6 dB, (likely CellID "
                         "12-3 on River),\n"));
}

}  // namespace
