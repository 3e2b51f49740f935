#include "decode_run.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>

#include "app_test_util.h"
#include "framework/attributes.h"
#include "framework/dispatch.h"
#include "host/schema.h"

namespace cdmadiag::test {
namespace {

struct Captured {
  std::uint32_t seq = 0;
  std::optional<double> time;
  std::uint32_t code = 0;
  PacketClass cls = PacketClass::k1x;
  bool response = false;
  bool title_wanted = false;
  bool details_wanted = false;
  bool cells_wanted = false;
  std::optional<std::string> error;
  std::vector<std::string> names;
};

class CapturingSink final : public OutputSink {
 public:
  void packet(const PacketView& p) override {
    Captured c{
        p.seq,        p.time, p.code, p.cls, p.response, p.msg->titleWanted, p.msg->detailsWanted, p.msg->cellIdWanted,
        std::nullopt, {}};
    if (p.error != nullptr) c.error = *p.error;
    for (const WriteRecord& w : p.writes) c.names.emplace_back(GetSchemaDefsDynamic()->name_of(w.id));
    packets.push_back(std::move(c));
  }
  void framing_error(std::string_view text) override { errors.emplace_back(text); }
  void finish() override {}
  std::vector<Captured> packets;
  std::vector<std::string> errors;
};

// Accessor whose reference taking fails: the decoder object's constructor throws
// inside the dispatch guard.
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

std::optional<std::uint16_t> find_code(bool evdo) {
  for (std::uint32_t c = 0x1000; c < 0x2000; ++c) {
    if (evdo_routes(c) == evdo) return static_cast<std::uint16_t>(c);
  }
  return std::nullopt;
}

class DecodeRunTest : public ::testing::Test {
 protected:
  void run(const ByteVec& input, InputFormat format = InputFormat::kAuto, std::string_view name = "in") {
    options.input = format;
    if (!dr) dr = std::make_unique<DecodeRun>(options, sink, &cells, &properties);
    ByteStream in(input);
    dr->decode_stream(in, name);
  }
  DecodeOptions options;
  CapturingSink sink;
  CellSiteTable cells;
  ObjectProperties properties;
  std::unique_ptr<DecodeRun> dr;
};

TEST_F(DecodeRunTest, RoutesLogRecordsByTheEvdoTableAndResponsesToThe1xPath) {
  const auto evdo = find_code(true);
  const auto x1 = find_code(false);
  ASSERT_TRUE(x1);
  if (!evdo) GTEST_SKIP() << "the EV-DO dispatcher routes no code";
  EXPECT_EQ(route_log_code(*evdo), PacketClass::kEvdo);
  EXPECT_EQ(route_log_code(*x1), PacketClass::k1x);
  EXPECT_EQ(route_log_code(0xB0C0), PacketClass::k1x);

  run(cat({hdlc_frame(log_frame_content(log_record(*x1, {}, 800))),
           hdlc_frame(log_frame_content(log_record(*evdo, {}, 1600))), hdlc_frame({0x7B, 0x01})}));
  ASSERT_EQ(sink.packets.size(), 3u);
  EXPECT_EQ(sink.packets[0].cls, PacketClass::k1x);
  EXPECT_EQ(sink.packets[0].code, *x1);
  EXPECT_EQ(sink.packets[0].time, 315964801.0);
  EXPECT_EQ(sink.packets[1].cls, PacketClass::kEvdo);
  EXPECT_EQ(sink.packets[1].code, *evdo);
  EXPECT_EQ(sink.packets[1].time, 315964802.0);
  EXPECT_TRUE(sink.packets[2].response);
  EXPECT_EQ(sink.packets[2].cls, PacketClass::k1x);
  EXPECT_EQ(sink.packets[2].code, 0u);
  EXPECT_FALSE(sink.packets[2].time);
  // Every dispatcher records the message code first.
  for (const auto& p : sink.packets) {
    ASSERT_FALSE(p.names.empty());
    EXPECT_EQ(p.names[0], "ATTR_ID_QUALCOMM_MDM_MSG_TYPE");
  }
  const RunCounters& c = dr->counters();
  EXPECT_EQ(c.packets, 3u);
  EXPECT_EQ(c.packets_1x, 2u);
  EXPECT_EQ(c.packets_evdo, 1u);
  EXPECT_EQ(c.responses, 1u);
}

TEST_F(DecodeRunTest, NumbersPacketsAcrossInputsAndKeepsOneDataState) {
  run(cat({log_record(0x1001, {}), log_record(0x1002, {})}));
  run(cat({log_record(0x1003, {})}));
  ASSERT_EQ(sink.packets.size(), 3u);
  for (std::uint32_t i = 0; i < 3; ++i) EXPECT_EQ(sink.packets[i].seq, i + 1);
  EXPECT_EQ(dr->data_state().current_message(), 3u);
  // The second input's packet still sees what the first input's packets wrote.
  const OrbRetVal earlier = dr->data_state().GetValueAt(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, 0, 3);
  ASSERT_TRUE(earlier.present());
  EXPECT_EQ(static_cast<double>(earlier), 0x1002);
}

TEST_F(DecodeRunTest, FramingErrorsAreCountedNamedAndDecodingGoesOn) {
  ByteVec bad = log_record(0x1002, {});
  bad[0] = 3;
  run(cat({log_record(0x1001, {}), bad, log_record(0x1003, {})}), InputFormat::kLog, "drive.log");
  EXPECT_EQ(sink.packets.size(), 2u);
  ASSERT_EQ(sink.errors.size(), 1u);
  EXPECT_EQ(sink.errors[0].rfind("drive.log: at byte 12: log record length 3 is below 12", 0), 0u) << sink.errors[0];
  EXPECT_EQ(dr->counters().framing_errors, 1u);
}

TEST_F(DecodeRunTest, HandsTheWantedFlagsToEveryMessage) {
  options.title = false;
  options.cell_ids = false;
  options.read_only = true;
  run(log_record(0x1001, {}));
  ASSERT_EQ(sink.packets.size(), 1u);
  EXPECT_FALSE(sink.packets[0].title_wanted);
  EXPECT_TRUE(sink.packets[0].details_wanted);
  EXPECT_FALSE(sink.packets[0].cells_wanted);
  EXPECT_TRUE(dr->data_state().IsReadOnly());
}

TEST(DecodeRunErrors, AnExceptionLeavingTheDecodeBecomesThePacketsErrorOnly) {
  CapturingSink sink;
  CellSiteTable cells;
  ThrowingProperties properties;
  DecodeRun dr(DecodeOptions{}, sink, &cells, &properties);
  const ByteVec one = log_record(0x1001, {});
  Record r;
  r.kind = RecordKind::kLog;
  r.bytes = one;
  dr.decode(r);
  properties.armed = true;
  dr.decode(r);
  properties.armed = false;
  dr.decode(r);
  ASSERT_EQ(sink.packets.size(), 3u);
  EXPECT_FALSE(sink.packets[0].error);
  ASSERT_TRUE(sink.packets[1].error);
  EXPECT_EQ(*sink.packets[1].error, "accessor refused");
  EXPECT_FALSE(sink.packets[2].error);
  EXPECT_EQ(sink.packets[2].seq, 3u);
  EXPECT_EQ(dr.counters().decoder_errors, 1u);
}

}  // namespace
}  // namespace cdmadiag::test
