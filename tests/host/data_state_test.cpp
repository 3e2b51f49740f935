// Host platform objects: data-state read-backs, value records, schema, format groups
// and absolute-time text.
#include "host/data_state.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <string>

#include "host/abs_time.h"
#include "host/format_groups.h"
#include "host/memory_data_state.h"
#include "host/schema.h"
#include "support/recording_sink.h"

namespace {

constexpr std::uint32_t kNoBound = IOrbDataState::kNoBound;
constexpr std::uint32_t kId = 7;

class DataStateReadBack : public ::testing::Test {
 protected:
  MemoryDataState ds;
  double at(std::uint32_t bound, std::uint32_t index = 0) { return ds.GetValueAt(kId, index, bound); }
  bool present_at(std::uint32_t bound, std::uint32_t index = 0) { return ds.GetValueAt(kId, index, bound).present(); }
  void write_in(std::uint32_t message, double v) {
    ds.begin_message(message);
    ds.SetDouble(kId, v, 0, kNoBound, 0);
  }
};

TEST_F(DataStateReadBack, BoundSelectsBetweenThisMessageAndEarlierOnes) {
  write_in(1, 10.0);
  write_in(2, 20.0);
  ds.SetDouble(kId, 21.0, 0, kNoBound, 0);  // a rewrite keeps message 1 as the earlier value
  EXPECT_EQ(static_cast<double>(ds.GetValue(kId, 0, kNoBound)), 21.0);
  EXPECT_EQ(at(2), 10.0);
  EXPECT_EQ(at(3), 21.0);
  EXPECT_FALSE(present_at(1));
  EXPECT_EQ(at(0), 21.0);  // no message precedes 1, so 0 reads as no bound
  ds.begin_message(3);
  EXPECT_FALSE(ds.GetValue(kId, 0, kNoBound).present());
  ds.SetNoValue(kId, 0, kNoBound, 0);  // hides the older value from here on
  EXPECT_FALSE(present_at(kNoBound));
  EXPECT_EQ(at(3), 21.0);
  ds.begin_message(4);
  EXPECT_FALSE(present_at(4));
}

TEST_F(DataStateReadBack, KeysAreIdAndIndexAndMemoryStaysBounded) {
  for (std::uint32_t m = 1; m <= 20000; ++m) {
    write_in(m, m);
    ds.SetDouble(kId, -1.0, 5, kNoBound, 0);
    ds.SetString(kId + 1, "x", 0, kNoBound, 0);
  }
  EXPECT_EQ(ds.stored_keys(), 3u);
  EXPECT_EQ(at(20000), 19999.0);
  EXPECT_EQ(at(kNoBound, 5), -1.0);
  EXPECT_FALSE(present_at(kNoBound, 4));
}

TEST_F(DataStateReadBack, TextsFollowTheirEntryFromLatestToEarlier) {
  const auto text_at = [&](std::uint32_t bound) { return ds.GetValueAt(kId, 0, bound).text; };
  ds.begin_message(1);
  ds.SetString(kId, "first", 0, kNoBound, 0);
  ds.begin_message(2);
  ds.SetString(kId, "second", 0, kNoBound, 0);
  EXPECT_EQ(text_at(2), "first");
  write_in(3, 5.0);  // a number now holds the latest entry, the text the earlier one
  EXPECT_EQ(text_at(3), "second");
  EXPECT_EQ(ds.GetValueAt(kId, 0, 3).type, OrbRetVal::kString);
  EXPECT_EQ(at(kNoBound), 5.0);
  EXPECT_EQ(text_at(kNoBound), "");
  ds.begin_message(4);
  ds.SetString(kId, "fourth", 0, kNoBound, 0);
  EXPECT_EQ(at(4), 5.0);
  EXPECT_EQ(text_at(4), "");
  EXPECT_EQ(ds.GetValue(kId, 0, kNoBound).text, "fourth");
}

TEST(DataStateKeys, HugeIdsAndIndexesReadBackLikeSmallOnes) {
  MemoryDataState ds;
  const std::pair<std::uint32_t, std::uint32_t> keys[] = {
      {0, 0}, {3, 1023}, {4, 1024}, {65535, 2}, {65536, 2}, {0xffffffff, 0xffffffff}, {kId, 0x7fffffff}};
  ds.begin_message(1);
  double v = 1.0;
  for (const auto& [id, index] : keys) ds.SetDouble(id, v++, index, kNoBound, 0);
  ds.begin_message(2);
  v = 1.0;
  for (const auto& [id, index] : keys) {
    SCOPED_TRACE(testing::Message() << id << "/" << index);
    EXPECT_EQ(static_cast<double>(ds.GetValueAt(id, index, kNoBound)), v++);
    EXPECT_FALSE(ds.GetValue(id, index, kNoBound).present());
    EXPECT_FALSE(ds.GetValueAt(id, index + 1, kNoBound).present());
  }
  EXPECT_EQ(ds.stored_keys(), std::size(keys));
  ds.clear();
  EXPECT_EQ(ds.stored_keys(), 0u);
  EXPECT_FALSE(ds.GetValueAt(4, 1024, kNoBound).present());
}

TEST(DataStateSink, ForwardsEveryWriteInOrderAndReadsBackWithItsSign) {
  cdmadiag::test::RecordingState st;
  MemoryDataState& ds = st.ds;
  ds.SetByte(1, 200, 0, kNoBound, 0);
  ds.SetShort(2, -2, 0, kNoBound, 0);
  ds.SetUShort(3, 65535, 0, kNoBound, 0);
  ds.SetInt(4, -70000, 0, kNoBound, 0);
  ds.SetLong(5, -1, 0, kNoBound, 0);
  ds.SetUInt(6, 4000000000u, 0, kNoBound, 0);
  ds.SetULong(7, 5, 0, kNoBound, 0);
  ds.SetDWord(8, 6, 0, kNoBound, 0);
  ds.SetInt64(9, -(std::int64_t{1} << 40), 0, kNoBound, 0);
  ds.SetUInt64(10, ~std::uint64_t{0}, 0, kNoBound, 0);
  ds.SetDouble(11, -0.25, 0, kNoBound, 0);
  ds.SetString(12, "abc", 0, kNoBound, 0);
  ds.SetNoValue(13, 9, kNoBound, 0);
  const std::array<double, 11> values = {200, -2, 65535, -70000, -1, 4e9, 5, 6, -1099511627776.0, 0x1p64, -0.25};
  const auto& w = st.sink.writes;
  ASSERT_EQ(w.size(), 13u);
  for (std::uint32_t i = 0; i < w.size(); ++i) {
    SCOPED_TRACE(write_op_name(w[i].op));
    EXPECT_EQ(w[i].op, static_cast<WriteOp>(i));
    if (i >= values.size()) continue;
    EXPECT_EQ(w[i].value, values[i]);
    EXPECT_EQ(static_cast<double>(ds.GetValue(i + 1, 0, kNoBound)), values[i]);
  }
  EXPECT_EQ(w[12].index, 9u);
  EXPECT_STREQ(write_op_name(WriteOp::kSetNoValue), "SetNoValue");
  EXPECT_EQ(w[11].text, "abc");
  EXPECT_EQ(ds.GetValue(12, 0, kNoBound).text, "abc");
  ds.SetString(1, nullptr, 0, kNoBound, 0);
  EXPECT_TRUE(ds.GetValue(1, 0, kNoBound).present());
}

TEST(OrbRetValConversion, ReadsTheUnionMemberOfItsTagAndZeroOtherwise) {
  using V = OrbRetVal;
  V v;
  v.value.u64 = ~std::uint64_t{0};  // every member all ones
  const std::pair<int, double> cases[] = {{V::kUInt8, 255},    {V::kByte, 255}, {V::kInt8, -1},
                                          {V::kUInt16, 65535}, {V::kInt16, -1}, {V::kUInt32, 0x1p32 - 1},
                                          {V::kInt32, -1},     {V::kInt64, -1}, {V::kUInt64, 0x1p64},
                                          {V::kString, 0},     {12, 0},         {-1, 0}};
  for (const auto& [tag, want] : cases) {
    v.type = tag;
    EXPECT_EQ(static_cast<double>(v), want) << tag;
  }
  v.type = V::kFloat;
  EXPECT_TRUE(std::isnan(static_cast<double>(v)));
  EXPECT_FALSE(V{}.present());
}

TEST(SchemaIds, OneIdPerNameAndNamesStayValidAsTheSchemaGrows) {
  Schema schema;
  const std::uint32_t a = schema.GetAttributeId("ATTR_ID_A");
  const std::string_view name = schema.name_of(a);
  EXPECT_EQ(schema.GetAttributeId(std::string("ATTR_ID_A").c_str()), a);
  for (int i = 0; i < 5000; ++i) schema.GetAttributeId(("ATTR_ID_" + std::to_string(i)).c_str());
  EXPECT_EQ(schema.size(), 5001u);
  EXPECT_EQ(name, "ATTR_ID_A");
  EXPECT_EQ(schema.name_of(0), "");
  EXPECT_EQ(schema.name_of(5002), "");
}

TEST(FormatGroups, LooksUpNamesAndFallsBackToTheNumber) {
  static constexpr std::array<ValueName, 2> kStates = {{{1, "Access"}, {-1, "Unknown"}}};
  static constexpr std::array<ValueName, 1> kStatesV2 = {{{0, "Inactive"}}};
  COrbFormatGroupManager fg;
  fg.add("States", kStates);
  const int code = fg.fgGetFormatGroupCode("States");
  const auto text = [&](int group, double v) {
    std::string out;
    fg.fgFormatValue(out, group, v, 0, 0);
    return out;
  };
  EXPECT_EQ(text(code, 1.0), "Access");
  EXPECT_EQ(text(code, -1.0), "Unknown");
  EXPECT_EQ(text(code, 7.0), "7");
  EXPECT_EQ(text(code, NAN), "nan");
  EXPECT_EQ(text(COrbFormatGroupManager::kUnknownGroup, 1.0), "1");
  EXPECT_EQ(text(5, 0.0), "0");
  EXPECT_EQ(fg.fgGetFormatGroupCode("Nope"), COrbFormatGroupManager::kUnknownGroup);
  EXPECT_EQ(fg.fgGetFormatGroupCode(nullptr), COrbFormatGroupManager::kUnknownGroup);
  fg.add("States", kStatesV2);  // registering a name again replaces its table
  EXPECT_EQ(fg.size(), 1u);
  EXPECT_EQ(text(code, 0.0), "Inactive");
}

TEST(AbsTimeText, FormatsUtcAndIgnoresTheFormat) {
  const std::pair<std::int64_t, const char*> cases[] = {
      {951827696789, "2000-02-29 12:34:56.789"},
      {4107542400000, "2100-03-01 00:00:00.000"},
      {-1, "1969-12-31 23:59:59.999"},
      {-2203973876996, "1900-02-28 01:02:03.004"},
  };
  for (const auto& [ms, want] : cases) {
    std::string out = "stale";
    COrbMilliSecAbsTime(ms).GetAbsTimeStr(out, "%H");
    EXPECT_EQ(out, want) << ms;
  }
}

}  // namespace
