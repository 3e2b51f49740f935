#include "session.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <tuple>

#include "app_test_util.h"
#include "framework/attributes.h"
#include "framework/dispatch.h"
#include "host/object_properties.h"
#include "host/schema.h"

namespace cdmadiag::test {
namespace {

// One line per packet: seq, class, "response", the title, details and cell ids wanted
// (t, d, c), the first attribute written and the error.
std::string summary(const PacketView& p) {
  const COrbExpandedMessage& m = *p.msg;
  const std::string first = p.writes.empty() ? "" : " " + std::string(GetSchemaDefsDynamic()->name_of(p.writes[0].id));
  return fmt::format("#{} {}{} {}{}{}{}{}{}{}", p.seq, class_name(p.cls), p.response ? " response" : "",
                     m.titleWanted ? "t" : "-", m.detailsWanted ? "d" : "-", m.cellIdWanted ? "c" : "-", first,
                     p.decoded() ? "" : " unknown", p.error != nullptr ? " error: " + *p.error : "",
                     p.diagnostic().empty() ? "" : " diagnostic: " + std::string(p.diagnostic()));
}

// Once armed, taking a reference throws: the decoder object's constructor fails inside
// the dispatch guard.
class ThrowingProperties final : public IProObjectPropertiesConnectedAccessor {
 public:
  long AddRef() override {
    if (armed) throw std::runtime_error("accessor refused");
    return 1;
  }
  long Release() override { return 0; }
  int projection_epsg() const override { return 0; }
  int pilot_increment() const override { return 0; }
  bool armed = false;
};

class DecodeRunTest : public ::testing::Test {
 protected:
  void run(const ByteVec& input) {
    if (!dr) dr = std::make_unique<DecodeSession>(options, nullptr, &properties);
    dr->add_input(memory.add(input), "drive.log");
    drain(*dr, sink);
  }
  RunSettings options;
  LineSink sink{summary};
  ThrowingProperties properties;
  MemoryInputs memory;
  std::unique_ptr<DecodeSession> dr;
};

// Packet times and the attribute writes of a whole drive are pinned by the golden
// output; these are what it does not show.
TEST_F(DecodeRunTest, RoutesAndCountsPacketsByClassCommandResponsesAndUnknownCodes) {
  ASSERT_TRUE(evdo_routes(0x1068));
  ASSERT_FALSE(evdo_routes(0x1001));
  // A known and an unknown response; an LTE code goes to the 1x dispatcher but is no 1x packet.
  run(cat({log_frame(0x1001, {}), log_frame(0x1068, {}), hdlc_frame({0x1D, 0x01}), hdlc_frame({0x7B, 0x01}),
           log_frame(0xB0C0, {})}));
  EXPECT_EQ(sink.lines, (Lines{"#1 1x tdc ATTR_ID_QUALCOMM_MDM_MSG_TYPE", "#2 evdo tdc ATTR_ID_QUALCOMM_MDM_MSG_TYPE",
                               "#3 1x response tdc ATTR_ID_QUALCOMM_MDM_MSG_TYPE",
                               "#4 1x response tdc ATTR_ID_QUALCOMM_MDM_MSG_TYPE unknown",
                               "#5 1x tdc ATTR_ID_QUALCOMM_MDM_MSG_TYPE unknown"}));
  const RunCounters& c = dr->counters();
  EXPECT_EQ(std::tuple(c.packets, c.packets_1x, c.packets_evdo, c.responses, c.unknown_codes),
            std::tuple(5u, 2u, 1u, 1u, 2u));
}

TEST_F(DecodeRunTest, NumbersPacketsAcrossInputsKeepsOneDataStateAndGoesOnAfterFramingErrors) {
  run(cat({log_record(0x1001, {}), log_record(0x1002, {})}));
  ByteVec bad = log_record(0x1003, {});
  bad[0] = 3;
  run(cat({bad, log_record(0x1002, {})}));
  ASSERT_EQ(sink.lines.size(), 3u);
  EXPECT_EQ(sink.lines[2].rfind("#3 ", 0), 0u);
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].rfind("drive.log: at byte 0: log record length 3 is below 12", 0), 0u) << sink.errors[0];
  EXPECT_EQ(dr->counters().framing_errors, 1u);
  // The second input's packet still sees what the first input's packets wrote.
  const OrbRetVal earlier = dr->data_state().GetValueAt(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, 0, 3);
  ASSERT_TRUE(earlier.present());
  EXPECT_EQ(static_cast<double>(earlier), 0x1002);
}

TEST_F(DecodeRunTest, HandsTheWantedFlagsToEveryMessage) {
  options.title = false;
  options.cell_ids = false;
  options.read_only = true;
  run(log_record(0x1001, {}));
  EXPECT_EQ(sink.lines, (Lines{"#1 1x -d- ATTR_ID_QUALCOMM_MDM_MSG_TYPE"}));
  EXPECT_TRUE(dr->data_state().IsReadOnly());
}

TEST_F(DecodeRunTest, AnExceptionLeavingTheDecodeBecomesThePacketsErrorOnly) {
  properties.armed = true;
  run(log_record(0x1001, {}));
  properties.armed = false;
  run(log_record(0x1001, {}));
  EXPECT_EQ(sink.lines, (Lines{"#1 1x tdc error: accessor refused", "#2 1x tdc ATTR_ID_QUALCOMM_MDM_MSG_TYPE"}));
  EXPECT_EQ(dr->counters().decoder_errors, 1u);
}

TEST_F(DecodeRunTest, AFailureTheGuardsKeepIsThePacketsDiagnosticAndCounted) {
  // One byte of a debug display: its guard keeps the failure out of the details.
  run(cat({log_record(0x1183, {1}), log_record(0x1001, {})}));
  ASSERT_EQ(sink.lines.size(), 2u);
  EXPECT_EQ(
      sink.lines[0],
      "#1 evdo tdc ATTR_ID_QUALCOMM_MDM_MSG_TYPE diagnostic: Message Buffer does not conforms to Qualcomm Standard.");
  EXPECT_EQ(sink.lines[1].find("diagnostic"), std::string::npos);
  EXPECT_EQ(std::tuple(dr->counters().decode_failures, dr->counters().decoder_errors), std::tuple(1u, 0u));
}

TEST(DecodeRunFix, CarriesTheLastGoodFixAcrossInputsWithItsAge) {
  constexpr std::uint64_t t0 = kDriveStart;
  // Where each packet was placed: "file:seq lat,lon age" or "file:seq -".
  LineSink sink([](const PacketView& p) {
    std::string line = fmt::format("{}:{} ", p.file, p.seq);
    if (p.fix == nullptr) {
      line += "-";
    } else {
      line += fmt::format("{},{} {}", p.fix->latitude, p.fix->longitude,
                          p.fix->age_ms ? std::to_string(*p.fix->age_ms) : "?");
      if (p.fix->map) line += " map";
    }
    if (p.response) line += fmt::format(" {} {}", kind_name(true), p.command);
    return line;
  });
  RunSettings utm;
  utm.projection = 32633;
  const ByteVec a = cat({log_record(0x1001, {}, t0 + kSecond), log_record(0x100D, etak(), t0 + 2 * kSecond),
                         log_record(0x100D, etak("00.0000000", "00.0000000"), t0 + 3 * kSecond),  // no fix: zeros
                         log_record(0x1001, {}, t0 + 4 * kSecond + 1)});
  const ByteVec b = cat({log_frame(0x1001, {}, t0 + 5 * kSecond), hdlc_frame({0x7B, 0x01}),
                         log_frame(0x1001, {}, t0 + kSecond)});  // earlier than the fix
  decode_into(sink, {a, b}, utm);
  EXPECT_EQ(sink.lines, (Lines{"0:1 -", "0:2 52,16.5 0 map", "0:3 52,16.5 1000 map", "0:4 52,16.5 2001 map",
                               "1:5 52,16.5 3000 map", "1:6 52,16.5 ? map response 123", "1:7 -"}));
}

// Inputs whose times follow one another are one device's drive; one that overlaps them
// is another device, with its own fix and data state.
TEST(DecodeRunDevices, OverlappingInputsAreSeparateDevicesFollowingOnesContinueOne) {
  constexpr std::uint64_t t0 = kDriveStart;
  const ByteVec fix = log_record(0x100D, etak(), t0 + kSecond);
  const ByteVec first = cat({log_record(0x1001, {}, t0), fix, log_record(0x1001, {}, t0 + 9 * kSecond)});
  const ByteVec again = cat({log_record(0x1001, {}, t0 + 2 * kSecond), log_record(0x1001, {}, t0 + 3 * kSecond)});
  const ByteVec later = cat({log_record(0x1001, {}, t0 + 10 * kSecond)});
  LineSink sink([](const PacketView& p) {
    return fmt::format("{}:{} d{} {}", p.file, p.seq, p.device, p.fix != nullptr ? "fix" : "-");
  });
  decode_into(sink, {first, again, later});
  EXPECT_EQ(sink.lines, (Lines{"0:1 d0 -", "0:2 d0 fix", "0:3 d0 fix", "1:4 d1 -", "1:5 d1 -", "2:6 d0 fix"}));
}

}  // namespace
}  // namespace cdmadiag::test
