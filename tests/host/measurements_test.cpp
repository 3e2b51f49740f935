// The measurement catalogue: each definition on hand-built write sequences, on packets
// decoded by the real decoders, and over the sample drive.
#include "host/measurements.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "framework/attributes.h"
#include "session.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

// ---- hand-built writes ----

struct W {
  const std::uint32_t* id;
  std::uint32_t index;
  WriteValue v;
};
W dbl(const std::uint32_t* id, std::uint32_t index, double d) { return {id, index, {WriteOp::kSetDouble, 0, 0, d}}; }
W u16(const std::uint32_t* id, std::uint32_t index, std::uint64_t u) {
  return {id, index, {WriteOp::kSetUShort, 0, u, 0.0}};
}
W byte(const std::uint32_t* id, std::uint32_t index, std::uint64_t u) {
  return {id, index, {WriteOp::kSetByte, 0, u, 0.0}};
}
W lng(const std::uint32_t* id, std::uint32_t index, std::int64_t i) {
  return {id, index, {WriteOp::kSetLong, i, 0, 0.0}};
}
W none(const std::uint32_t* id, std::uint32_t index) { return {id, index, {WriteOp::kSetNoValue, 0, 0, 0.0}}; }

// A per-PN strength as a finger report (status 7) or a searcher report (status 6) leaves it.
std::vector<W> pilot(std::uint32_t pn, double ecio, std::int64_t status) {
  return {dbl(&ATTR_ID_PN_ECIO_SET, pn, ecio), lng(&ATTR_ID_PN_ECIO_SET_STATUS, pn, status)};
}
std::vector<W> operator+(std::vector<W> a, const std::vector<W>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Case {
  const char* what;
  std::uint32_t code;  // 0: a command response
  std::vector<W> writes;
  const char* name;
  std::optional<double> value;           // the number expected; none and no list: no value
  std::vector<std::uint32_t> list = {};  // the list expected
};

std::size_t index_of(const char* name) {
  const std::optional<std::size_t> i = measurement_index(name);
  EXPECT_TRUE(i.has_value()) << name;
  return i.value_or(0);
}

void feed(MeasurementReader& r, std::uint32_t code, const std::vector<W>& writes) {
  r.begin(code, code == 0);
  for (const W& w : writes) r.write(*w.id, w.index, w.v);
  r.end();
}

void expect(const MeasurementReader& r, const Case& c) {
  SCOPED_TRACE(std::string(c.what) + ": " + c.name);
  const std::size_t i = index_of(c.name);
  if (!c.list.empty()) {
    ASSERT_TRUE(r.has(i));
    EXPECT_EQ(r.list(i), c.list);
  } else if (c.value) {
    ASSERT_TRUE(r.has(i));
    EXPECT_NEAR(r.value(i), *c.value, 1e-4);
  } else {
    EXPECT_FALSE(r.has(i));
  }
}

const std::vector<Case>& cases() {
  const auto& pn_ecio = ATTR_ID_ACTIVE_PILOTS_ECIO_FOR_PN;
  const auto& payload = ATTR_ID_CDMA_1X_FOR_FCH_Payload;
  // Two active pilots in the finger report, and a stronger neighbour the searcher half found.
  const std::vector<W> fingers = pilot(204, -2.0, 6) + pilot(12, -9.0, 7) + pilot(108, -6.0, 7);
  // Pilot sets response: two active pilots, one below threshold A (cleared at index 0).
  const std::vector<W> response = {dbl(&pn_ecio, 12, -6.0103), dbl(&pn_ecio, 444, -6.0103), none(&pn_ecio, 0)};
  const std::vector<W> fch = {lng(&payload, 0, 1), lng(&payload, 1, 3), lng(&payload, 4, 16)};
  const std::vector<W> asp = {dbl(&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_ASP_FILTERED_SINR_FOR_PN, 36, 3.5),
                              dbl(&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_ASP_FILTERED_SINR_FOR_PN, 108, -2.0),
                              dbl(&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_ASP_FILTERED_SINR_FOR_PN, 36, 4.0),
                              dbl(&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_ASP_FILTERED_SINR_FOR_PN, 108, -1.0)};
  const std::vector<W> drc = {byte(&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_DRC_INDEX_FOR_SLOT, 0, 1),
                              byte(&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_DRC_INDEX_FOR_SLOT, 1, 3),
                              byte(&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_DRC_INDEX_FOR_SLOT, 0, 15),
                              lng(&ATTR_ID_EVDO_DRC, 0, 3)};
  const std::vector<W> mc = {lng(&ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1, 0, 204),
                             lng(&ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C1, 1, 36),
                             lng(&ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_PN_C2, 0, 420),
                             dbl(&ATTR_ID_EVDO_MCAIRLINKSUMMARY_BEST_ASP_SINR_C2, 0, 7.5),
                             lng(&ATTR_ID_EVDO_DRC, 0, 12)};
  const auto& set_of = ATTR_ID_EVDO_SEARCHERDATAVER2_PILOT_SET_FOR_PN;
  static const std::vector<Case> all = {
      {"finger pilots, searcher entry left out", 0x1019, fingers, "cdma_best_active_ecio_db", -6.0},
      {"finger pilots", 0x1019, fingers, "cdma_active_set_pns", {}, {12, 108}},
      {"strongest finger pilot", 0x1019, fingers, "cdma_serving_pn", 108},
      {"reference PN before the strongest", 0x119A, fingers + std::vector<W>{u16(&ATTR_ID_PN_REFERENCE, 0, 12)},
       "cdma_serving_pn", 12},
      {"searcher then finger on one PN: the finger's", 0x1019, pilot(12, -3.0, 6) + pilot(12, -8.0, 7),
       "cdma_best_active_ecio_db", -8.0},
      {"searcher report alone", 0x100F, pilot(204, -2.0, 6), "cdma_best_active_ecio_db", std::nullopt},
      {"raw and dB strengths of one attribute",
       0x10C4,
       {u16(&ATTR_ID_PILOT_EcIo, 0, 200), dbl(&ATTR_ID_PILOT_EcIo, 1, -7.5), dbl(&ATTR_ID_PN_ECIO_SET, 12, -7.5),
        lng(&ATTR_ID_PN_ECIO_SET_STATUS, 12, 7), dbl(&ATTR_ID_COMB_PILOT_EcIo, 0, -7.5)},
       "cdma_best_active_ecio_db",
       -7.5},
      {"response: max", 0, response, "cdma_best_active_ecio_db", -6.0103},
      {"response: power sum", 0, response, "cdma_combined_active_ecio_db", -3.0},
      {"response: PNs, the cleared record adds none", 0, response, "cdma_active_set_pns", {}, {12, 444}},
      {"FCH erasures over payload frames", 0x1029, fch, "cdma_fch_fer_pct", 5.0},
      {"no FCH frame: no FER", 0x1029, {lng(&payload, 0, 0), lng(&payload, 4, 0)}, "cdma_fch_fer_pct", std::nullopt},
      {"SCH0: DTX frames count nowhere",
       0x1029,
       {lng(&ATTR_ID_CDMA_1X_FOR_SCH0_FullRate, 0, 18), lng(&ATTR_ID_CDMA_1X_FOR_SCH0_BlankFrame, 0, 5),
        lng(&ATTR_ID_CDMA_1X_FOR_SCH0_Erasure, 0, 2)},
       "cdma_sch0_fer_pct",
       10.0},
      {"restarted RLP counters",
       0x1031,
       {dbl(&ATTR_ID_RLP_Rx_Throughput_Instantaneous, 0, -3.0)},
       "cdma_rlp_rx_kbps",
       std::nullopt},
      {"band class of a 1x packet", 0x102D, {u16(&ATTR_ID_Band_Class, 0, 1)}, "cdma_band_class", 1},
      {"band class of an EV-DO packet", 0x108B, {byte(&ATTR_ID_Band_Class, 0, 1)}, "cdma_band_class", std::nullopt},
      {"band class of an EV-DO packet", 0x108B, {byte(&ATTR_ID_Band_Class, 0, 1)}, "evdo_band_class", 1},
      {"code channel is no frequency",
       0x1FFE,
       {u16(&ATTR_ID_CUR_CHANNEL, 0, 384), byte(&ATTR_ID_CDMA_CHANNEL, 0, 5)},
       "cdma_channel",
       384},
      {"active set information's channel", 0x10C6, {u16(&ATTR_ID_CDMA_CHANNEL, 0, 1013)}, "cdma_channel", 1013},
      {"other packet's CDMA_CHANNEL", 0x102F, {u16(&ATTR_ID_CDMA_CHANNEL, 0, 25)}, "cdma_channel", std::nullopt},
      {"best SINR over both PN rolls", 0x1068, asp, "evdo_best_sinr_db", 4.0},
      {"ASPs counted once over both rolls", 0x1068, asp, "evdo_active_set_size", 2},
      {"ASP PNs", 0x1068, asp, "evdo_active_set_pns", {}, {36, 108}},
      {"predicted best ASP, later roll",
       0x1068,
       {u16(&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL1_BEST_ASP_PREDICTED, 0, 108),
        u16(&ATTR_ID_EVDO_AIRLINKSUMMARY_PNROLL2_BEST_ASP_PREDICTED, 0, 420)},
       "evdo_serving_pn",
       420},
      {"DRC slots: mean rate, channel off left out", 0x1068, drc, "evdo_drc_rate_kbps", 96.0},
      {"multicarrier: rank 0 of carrier 1", 0x1296, mc, "evdo_serving_pn", 204},
      {"multicarrier: every carrier's PNs", 0x1296, mc, "evdo_active_set_pns", {}, {36, 204, 420}},
      {"multicarrier: best SINR of any carrier", 0x1296, mc, "evdo_best_sinr_db", 7.5},
      {"multicarrier: most frequent DRC", 0x1296, mc, "evdo_drc_rate_kbps", 2457.6},
      {"searcher: active-set PNs",
       0x127C,
       {byte(&set_of, 36, 4), byte(&set_of, 108, 2), byte(&set_of, 204, 4)},
       "evdo_active_set_pns",
       {},
       {36, 204}},
      {"searcher's peak C/I is no Ec/Io",
       0x127C,
       {dbl(&ATTR_ID_EVDO_PILOTSETS_ACTIVE_PILOTS_ECIO_FOR_PN, 36, 12.0)},
       "evdo_best_active_ecio_db",
       std::nullopt},
      {"pilot sets Ec/Io",
       0x108B,
       {dbl(&ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN, 36, -9.0),
        dbl(&ATTR_ID_EVDO_PILOTSETSVER2_ACTIVE_PILOTS_ECIO_FOR_PN, 420, -5.25)},
       "evdo_best_active_ecio_db",
       -5.25},
      {"carriers summed as powers",
       0x129C,
       {dbl(&ATTR_ID_EVDO_POWER_TXTOTAL_POWER_MC, 0, 0.0), dbl(&ATTR_ID_EVDO_POWER_TXTOTAL_POWER_MC, 1, 0.0),
        dbl(&ATTR_ID_EVDO_POWER_TXTOTAL_POWER, 0, 0.0)},
       "evdo_tx_power_dbm",
       3.0103},
      {"single-carrier total", 0x1069, {dbl(&ATTR_ID_EVDO_POWER_TXTOTAL_POWER, 0, 2.5)}, "evdo_tx_power_dbm", 2.5},
      {"carrier of a channel/band word",
       0x129F,
       {u16(&ATTR_ID_MCRLMetrics_Carrier, 0, (1u << 11) | 25)},
       "evdo_carriers",
       {},
       {25}},
      {"Rev A PER",
       0x1192,
       {dbl(&ATTR_ID_RevASUFwdStats_TC_PacketErrorRateInstantaneous, 0, 4.5)},
       "evdo_per_pct",
       4.5},
      {"speed in km/h", 0x1FEE, {dbl(&ATTR_ID_LOCATION_SPEED_MPH, 0, 50.0)}, "speed_kmh", 80.4672},
      {"position comes from the fix", 0x1FEE, {dbl(&ATTR_ID_LOCATION_HEADING, 0, 48.0)}, "latitude_deg", std::nullopt},
  };
  return all;
}

TEST(MeasurementReader, EachDefinitionOnHandBuiltWrites) {
  MeasurementReader r;
  for (const Case& c : cases()) {
    feed(r, c.code, c.writes);
    expect(r, c);
  }
}

// A packet without values after one with them, and one of raw strengths only: no
// measurement at all.
TEST(MeasurementReader, KeepsNothingFromOnePacketToTheNextAndTakesNoRawStrength) {
  MeasurementReader r;
  feed(r, 0x1019, pilot(12, -9.0, 7));
  ASSERT_TRUE(r.has(index_of("cdma_active_set_pns")));
  for (const auto& writes : {std::vector<W>{}, {u16(&ATTR_ID_PILOT_EcIo, 0, 200), u16(&ATTR_ID_PILOT_EcIo, 1, 180)}}) {
    feed(r, 0x100B, writes);
    for (std::size_t i = 0; i < measurements().size(); ++i) EXPECT_FALSE(r.has(i)) << measurements()[i].name;
  }
}

// ---- the catalogue itself ----

TEST(MeasurementCatalogue, NamesAreUniqueSnakeCaseWithTheirUnit) {
  struct Suffix {
    std::string_view unit, suffix;
  };
  const Suffix suffixes[] = {{"dBm", "_dbm"},   {"dB", "_db"},    {"%", "_pct"},
                             {"kbps", "_kbps"}, {"km/h", "_kmh"}, {"deg", "_deg"}};
  std::set<std::string_view> seen;
  for (const Measurement& m : measurements()) {
    SCOPED_TRACE(m.name);
    EXPECT_TRUE(seen.insert(m.name).second);
    EXPECT_EQ(measurement_index(m.name), std::optional<std::size_t>(seen.size() - 1));
    EXPECT_EQ(m.name.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789_"), std::string_view::npos);
    EXPECT_NE(m.name.front(), '_');
    EXPECT_EQ(m.name.find("__"), std::string_view::npos);
    EXPECT_FALSE(m.meaning.empty());
    EXPECT_FALSE(m.source.empty());
    if (m.tech != Tech::kAny) {
      EXPECT_TRUE(m.name.starts_with(m.tech == Tech::k1x ? "cdma_" : "evdo_"));
    }
    for (const Suffix& s : suffixes) EXPECT_EQ(m.unit == s.unit, m.name.ends_with(s.suffix)) << s.suffix;
    if (m.shape == Shape::kList) {
      EXPECT_EQ(m.per_second, PerSecond::kLast);
      EXPECT_FALSE(m.range);
    }
  }
  EXPECT_FALSE(measurement_index("ecio").has_value());
}

// ---- packets through the real decoders ----

struct Capture final : DataStateSink {
  void on_write(const AttrWrite& w) override { writes.push_back({w.id, w.index, w}); }
  std::optional<double> first(std::uint32_t id, std::uint32_t index = 0) const {
    for (const auto& w : writes) {
      if (w.id == id && w.index == index && w.v.op == WriteOp::kSetDouble) return w.v.d;
    }
    return std::nullopt;
  }
  struct Kept {
    std::uint32_t id, index;
    WriteValue v;
  };
  std::vector<Kept> writes;
};

class DecodedPackets : public ::testing::Test {
 protected:
  // Decodes one packet and reads its writes.
  void decode(std::uint32_t code, const Bytes& b, bool response = false) {
    got.writes.clear();
    dc.st.ds.set_sink(&got);
    dc.run(code, b, response);
    dc.st.ds.set_sink(&dc.st.sink);
    reader.begin(response ? 0 : code, response);
    for (const auto& w : got.writes) reader.write(w.id, w.index, w.v);
    reader.end();
  }
  double value(const char* name) {
    const std::size_t i = index_of(name);
    EXPECT_TRUE(reader.has(i)) << name;
    return reader.value(i);
  }
  std::vector<std::uint32_t> list(const char* name) { return reader.list(index_of(name)); }

  DecoderCase dc;
  Capture got;
  MeasurementReader reader;
};

// Two fingers on PN 12 of equal strength and one on PN 108: the pilot's Ec/Io is its
// fingers summed, 3 dB over the strongest finger; the raw RSSI the report also writes
// is no Ec/Io.
TEST_F(DecodedPackets, FingerReportSumsAPilotsFingers) {
  decode(0x100B, Bytes{}.u16(12).u16(12).u16(108).u16(800).u16(816).u16(900).u8(120).u8(120).u8(60));
  const std::optional<double> finger = got.first(ATTR_ID_1ST_PILOT_EcIo);
  ASSERT_TRUE(finger);
  EXPECT_NEAR(value("cdma_best_active_ecio_db"), *finger + 3.0103, 1e-3);
  EXPECT_EQ(list("cdma_active_set_pns"), (std::vector<std::uint32_t>{12, 108}));
  EXPECT_EQ(value("cdma_serving_pn"), 12);
  EXPECT_LT(value("cdma_combined_active_ecio_db"), 0.0);
}

// General temporal analyzer: a strong neighbour searched (PN 204) beside fingers on PN 12
// and 108; only the fingers' pilots are active.
TEST_F(DecodedPackets, TemporalAnalyzerKeepsTheSearchedNeighbourOut) {
  Bytes b = Bytes{}.u8(1).u8(16).u8(1).u16(0x2000 | 204).u32(1000).u16(980).u8(0);
  b.at(21).u16(50).u16(400).u16(1600).u16(100);               // -1.6 dB at best
  b.u16(12).u16(12).u16(108).u16(0).u8(1).u8(1).u8(2).u8(0);  // PNs, sectors
  b.u8(50).u8(50).u8(25).u8(0).u32(8000).u32(8016).u32(9000).u32(0);
  b.i8(-60).u8(120).i8(-10).i8(23).u8(8);  // power trailer
  decode(0x1019, b);
  const std::optional<double> searched = got.first(ATTR_ID_MAX_SEARCHER_ENERGY);
  ASSERT_TRUE(searched);
  EXPECT_LT(value("cdma_best_active_ecio_db"), *searched);
  EXPECT_NEAR(value("cdma_best_active_ecio_db"), got.first(ATTR_ID_PN_ECIO_SET, 12).value_or(0), 1e-9);
  EXPECT_EQ(list("cdma_active_set_pns"), (std::vector<std::uint32_t>{12, 108}));
  EXPECT_NEAR(value("cdma_rx_power_dbm"), got.first(ATTR_ID_CDMA_MOBILE_RX_POWER).value_or(0), 1e-9);
  EXPECT_EQ(value("cdma_tx_gain_adj_db"), 5.0);
}

TEST_F(DecodedPackets, PilotSetsResponse) {
  Bytes b = Bytes{0x40}.u16(4).u8(2).u8(0).u8(0);
  b.u16(444).u8(28).u8(0).u16(12).u8(10).u8(0);  // -14 dB, -5 dB
  decode(0, b, true);
  EXPECT_EQ(value("cdma_best_active_ecio_db"), -5.0);
  EXPECT_NEAR(value("cdma_combined_active_ecio_db"), -4.4850, 1e-4);
  EXPECT_EQ(value("cdma_serving_pn"), 12);
  EXPECT_EQ(value("cdma_active_set_size"), 2);
  EXPECT_EQ(list("cdma_active_set_pns"), (std::vector<std::uint32_t>{12, 444}));
}

// Air-link summary: ASPs 36 and 108 at 3 and 6 dB filtered SINR, ASP 2 predicted best,
// every slot requesting DRC 3 (153.6 kbps).
TEST_F(DecodedPackets, AirLinkSummary) {
  Bytes b;
  for (int roll = 0; roll < 2; ++roll) {
    b.at(89 * roll).zeros(8);
    for (int k = 0; k < 8; ++k) b.at(89 * roll + k).u8(0x33);
    b.at(89 * roll + 40).u8(2).u16(1024).u16(2048).zeros(8);
    b.u16(36).u16(108).u16(0xFFFF).u16(0xFFFF).u16(0xFFFF).u16(0xFFFF).zeros(24);
  }
  decode(0x1068, b);
  EXPECT_NEAR(value("evdo_best_sinr_db"), 6.0206, 1e-4);
  EXPECT_EQ(value("evdo_serving_pn"), 108);
  EXPECT_NEAR(value("evdo_drc_rate_kbps"), 153.6, 1e-9);
  EXPECT_EQ(value("evdo_active_set_size"), 2);
  EXPECT_EQ(list("evdo_active_set_pns"), (std::vector<std::uint32_t>{36, 108}));
}

// ---- the sample drive ----

// Every definition finds its packets on the sample; none takes an Ec/Io above 0 dB, a
// rate outside 0-100 % or a PN outside 0-511.
TEST(MeasurementsOnSampleDrive, EveryEntryHasValuesAndTheyAreSane) {
  DecodeSession session(RunSettings{});
  session.add_input(std::string(CDMADIAG_SOURCE_DIR) + "/examples/sample.hdlc");
  MeasurementReader r;
  const auto all = measurements();
  std::vector<std::size_t> count(all.size());
  while (true) {
    const DecodeSession::Event e = session.next();
    if (e == DecodeSession::Event::kEnd) break;
    if (e != DecodeSession::Event::kPacket) continue;
    const PacketView& p = session.packet();
    r.begin(p.response ? 0 : p.code, p.response);
    for (const WriteRecord& w : p.writes) r.write(w.id, w.index, w);
    r.end();
    for (std::size_t i = 0; i < all.size(); ++i) {
      if (!r.has(i)) continue;
      ++count[i];
      const std::string_view name = all[i].name;
      SCOPED_TRACE(std::string(name));
      if (name.ends_with("ecio_db")) {
        EXPECT_LE(r.value(i), 0.0);
      } else if (name.ends_with("_pct")) {
        EXPECT_TRUE(r.value(i) >= 0.0 && r.value(i) <= 100.0) << r.value(i);
      } else if (name.ends_with("_pn")) {
        EXPECT_LE(r.value(i), 511.0);
      } else if (name.ends_with("_pns")) {
        EXPECT_LE(r.list(i).back(), 511u);
      }
    }
  }
  for (std::size_t i = 0; i < all.size(); ++i) EXPECT_EQ(count[i] > 0, !all[i].from_fix) << all[i].name;
}

}  // namespace
}  // namespace cdmadiag::test
