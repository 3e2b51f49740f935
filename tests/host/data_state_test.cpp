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
  // Writes v to (kId, index) in its own message.
  void write_in(std::uint32_t message, double v, std::uint32_t index = 0) {
    ds.begin_message(message);
    ds.SetDouble(kId, v, index, kNoBound, 0);
  }
  double at(std::uint32_t bound, std::uint32_t index = 0) { return ds.GetValueAt(kId, index, bound); }
  bool present_at(std::uint32_t bound, std::uint32_t index = 0) { return ds.GetValueAt(kId, index, bound).present(); }

  MemoryDataState ds;
};

TEST_F(DataStateReadBack, GetValueSeesOnlyTheCurrentMessage) {
  write_in(1, 3.5);
  EXPECT_TRUE(ds.GetValue(kId, 0, kNoBound).present());
  EXPECT_EQ(static_cast<double>(ds.GetValue(kId, 0, kNoBound)), 3.5);

  ds.begin_message(2);
  EXPECT_FALSE(ds.GetValue(kId, 0, kNoBound).present());
  EXPECT_TRUE(present_at(kNoBound));
}

TEST_F(DataStateReadBack, BoundSelectsBetweenThisMessageAndEarlierOnes) {
  write_in(1, 10.0);
  write_in(2, 20.0);
  // Still in message 2.
  EXPECT_EQ(at(kNoBound), 20.0);
  EXPECT_EQ(at(2), 10.0);  // only messages before 2
  EXPECT_EQ(at(3), 20.0);  // current + 1 includes the current message
  EXPECT_FALSE(present_at(1));
  EXPECT_EQ(at(0), 20.0);  // no message precedes 1, so 0 reads as no bound
}

TEST_F(DataStateReadBack, RepeatedWritesInOneMessageKeepTheEarlierMessageValue) {
  write_in(1, 10.0);
  write_in(2, 20.0);
  ds.SetDouble(kId, 21.0, 0, kNoBound, 0);
  EXPECT_EQ(static_cast<double>(ds.GetValue(kId, 0, kNoBound)), 21.0);
  EXPECT_EQ(at(2), 10.0);
  EXPECT_EQ(at(kNoBound), 21.0);
}

TEST_F(DataStateReadBack, NextMessageSeesThePreviousOneAsEarlier) {
  write_in(1, 10.0);
  write_in(2, 20.0);
  ds.begin_message(3);
  EXPECT_EQ(at(3), 20.0);
  EXPECT_FALSE(ds.GetValue(kId, 0, kNoBound).present());
}

TEST_F(DataStateReadBack, SetNoValueHidesAnOlderValue) {
  write_in(1, 10.0);
  ds.begin_message(2);
  ds.SetNoValue(kId, 0, kNoBound, 0);
  EXPECT_FALSE(present_at(kNoBound));
  EXPECT_FALSE(ds.GetValue(kId, 0, kNoBound).present());
  EXPECT_EQ(at(2), 10.0);  // before message 2 the value was there
  ds.begin_message(3);
  EXPECT_FALSE(present_at(3));
}

TEST_F(DataStateReadBack, IndexesAndIdsAreSeparateKeys) {
  write_in(1, 1.0, 0);
  ds.SetDouble(kId, 2.0, 5, kNoBound, 0);
  ds.SetDouble(kId + 1, 3.0, 0, kNoBound, 0);
  EXPECT_EQ(at(kNoBound, 0), 1.0);
  EXPECT_EQ(at(kNoBound, 5), 2.0);
  EXPECT_FALSE(present_at(kNoBound, 4));
  EXPECT_EQ(static_cast<double>(ds.GetValueAt(kId + 1, 0, kNoBound)), 3.0);
}

TEST_F(DataStateReadBack, MemoryStaysBoundedOverALongLog) {
  for (std::uint32_t m = 1; m <= 20000; ++m) {
    ds.begin_message(m);
    ds.SetDouble(kId, m, 0, kNoBound, 0);
    ds.SetUShort(kId, static_cast<std::uint16_t>(m), 1, kNoBound, 0);
    ds.SetString(kId + 1, "x", 0, kNoBound, 0);
  }
  EXPECT_EQ(ds.stored_keys(), 3u);
  EXPECT_EQ(at(20000), 19999.0);
  EXPECT_EQ(at(kNoBound), 20000.0);
}

TEST_F(DataStateReadBack, StringsReadBackAsText) {
  ds.begin_message(1);
  ds.SetString(kId, "Connected", 0, kNoBound, 0);
  ds.SetString(kId, nullptr, 1, kNoBound, 0);
  OrbRetVal v = ds.GetValue(kId, 0, kNoBound);
  std::string text;
  v.CopyStr(text);
  EXPECT_EQ(text, "Connected");
  EXPECT_EQ(static_cast<double>(v), 0.0);
  v.ClearIfStr();
  EXPECT_TRUE(v.text.empty());
  EXPECT_TRUE(ds.GetValue(kId, 1, kNoBound).present());
}

TEST(DataStateSink, ForwardsEveryWriteInOrderWithItsOperation) {
  cdmadiag::test::RecordingState st;
  MemoryDataState& ds = st.ds;
  ds.SetByte(1, 200, 0, kNoBound, 0);
  ds.SetShort(1, -2, 0, kNoBound, 0);
  ds.SetUShort(1, 65535, 0, kNoBound, 0);
  ds.SetInt(1, -70000, 0, kNoBound, 0);
  ds.SetLong(1, -1, 0, kNoBound, 0);
  ds.SetUInt(1, 4000000000u, 0, kNoBound, 0);
  ds.SetULong(1, 5, 0, kNoBound, 0);
  ds.SetDWord(1, 6, 0, kNoBound, 0);
  ds.SetInt64(1, -(std::int64_t{1} << 40), 0, kNoBound, 0);
  ds.SetUInt64(1, std::uint64_t{1} << 50, 0, kNoBound, 0);
  ds.SetDouble(1, -0.25, 3, kNoBound, 0);
  ds.SetString(1, "abc", 0, kNoBound, 0);
  ds.SetNoValue(1, 9, kNoBound, 0);

  const auto& w = st.sink.writes;
  ASSERT_EQ(w.size(), 13u);
  const std::array<double, 11> values = {
      200, -2, 65535, -70000, -1, 4000000000.0, 5, 6, -1099511627776.0, 1125899906842624.0, -0.25};
  for (std::size_t i = 0; i < w.size(); ++i) {
    EXPECT_EQ(w[i].op, static_cast<WriteOp>(i)) << i;
    if (i < values.size()) {
      EXPECT_EQ(w[i].value, values[i]) << write_op_name(w[i].op);
    }
  }
  EXPECT_EQ(w[10].index, 3u);
  EXPECT_EQ(w[11].text, "abc");
  EXPECT_EQ(w[12].index, 9u);
  EXPECT_STREQ(write_op_name(WriteOp::kSetNoValue), "SetNoValue");
}

TEST(DataStateSink, ReadOnlyIsWhatTheHostSet) {
  MemoryDataState ds;
  EXPECT_FALSE(ds.IsReadOnly());
  ds.set_read_only(true);
  EXPECT_TRUE(ds.IsReadOnly());
}

// ---- OrbRetVal ----

OrbRetVal tagged(int tag) {
  OrbRetVal v;
  v.status = 0;
  v.type = tag;
  return v;
}

TEST(OrbRetValConversion, ReadsTheUnionMemberOfItsTag) {
  OrbRetVal v = tagged(OrbRetVal::kDouble);
  v.value.d = -1.5;
  EXPECT_EQ(static_cast<double>(v), -1.5);
  v = tagged(OrbRetVal::kFloat);
  v.value.f = 0.25f;
  EXPECT_EQ(static_cast<double>(v), 0.25);
  v = tagged(OrbRetVal::kInt64);
  v.value.i64 = -(std::int64_t{1} << 40);
  EXPECT_EQ(static_cast<double>(v), -1099511627776.0);
  v = tagged(OrbRetVal::kUInt64);
  v.value.u64 = std::uint64_t{1} << 63;
  EXPECT_EQ(static_cast<double>(v), 9223372036854775808.0);
  v = tagged(OrbRetVal::kUInt32);
  v.value.u32 = 0xFFFFFFFFu;
  EXPECT_EQ(static_cast<double>(v), 4294967295.0);
  v = tagged(OrbRetVal::kInt32);
  v.value.i32 = -5;
  EXPECT_EQ(static_cast<double>(v), -5.0);
  v = tagged(OrbRetVal::kUInt16);
  v.value.u16 = 0xFFFF;
  EXPECT_EQ(static_cast<double>(v), 65535.0);
  v = tagged(OrbRetVal::kInt16);
  v.value.i16 = -300;
  EXPECT_EQ(static_cast<double>(v), -300.0);
  v = tagged(OrbRetVal::kInt8);
  v.value.i8 = -128;
  EXPECT_EQ(static_cast<double>(v), -128.0);
  for (const int tag : {OrbRetVal::kUInt8, OrbRetVal::kByte}) {
    v = tagged(tag);
    v.value.u8 = 0xFF;
    EXPECT_EQ(static_cast<double>(v), 255.0) << tag;
  }
}

TEST(OrbRetValConversion, UnknownTagsAndTextReadAsZero) {
  for (const int tag : {-1, 12, 99, static_cast<int>(OrbRetVal::kString)}) {
    OrbRetVal v = tagged(tag);
    v.value.u64 = ~std::uint64_t{0};
    v.text = "42";
    EXPECT_EQ(static_cast<double>(v), 0.0) << tag;
  }
  EXPECT_FALSE(OrbRetVal{}.present());
}

TEST(OrbRetValConversion, IntegerWritesReadBackWithTheirSign) {
  MemoryDataState ds;
  ds.begin_message(1);
  ds.SetShort(1, -2, 0, kNoBound, 0);
  ds.SetByte(2, 0xFE, 0, kNoBound, 0);
  ds.SetUInt64(3, ~std::uint64_t{0}, 0, kNoBound, 0);
  EXPECT_EQ(static_cast<double>(ds.GetValue(1, 0, kNoBound)), -2.0);
  EXPECT_EQ(static_cast<double>(ds.GetValue(2, 0, kNoBound)), 254.0);
  EXPECT_EQ(static_cast<double>(ds.GetValue(3, 0, kNoBound)), 18446744073709551615.0);
}

// ---- Schema ----

TEST(SchemaIds, OneIdPerNameAndNamesRoundTrip) {
  Schema schema;
  const std::uint32_t a = schema.GetAttributeId("ATTR_ID_A");
  const std::uint32_t b = schema.GetAttributeId("ATTR_ID_B");
  EXPECT_NE(a, 0u);
  EXPECT_NE(a, b);
  EXPECT_EQ(schema.GetAttributeId("ATTR_ID_A"), a);
  EXPECT_EQ(schema.GetAttributeId(std::string("ATTR_ID_B").c_str()), b);
  EXPECT_EQ(schema.size(), 2u);
  EXPECT_EQ(schema.name_of(a), "ATTR_ID_A");
  EXPECT_EQ(schema.name_of(b), "ATTR_ID_B");
  EXPECT_EQ(schema.name_of(0), "");
  EXPECT_EQ(schema.name_of(b + 100), "");
}

TEST(SchemaIds, NamesStayValidAsTheSchemaGrows) {
  Schema schema;
  const std::uint32_t first = schema.GetAttributeId("ATTR_ID_FIRST");
  const std::string_view name = schema.name_of(first);
  for (int i = 0; i < 5000; ++i) schema.GetAttributeId(("ATTR_ID_" + std::to_string(i)).c_str());
  EXPECT_EQ(name, "ATTR_ID_FIRST");
  EXPECT_EQ(schema.name_of(schema.GetAttributeId("ATTR_ID_4999")), "ATTR_ID_4999");
}

TEST(SchemaIds, ProcessSchemaIsOneObject) { EXPECT_EQ(GetSchemaDefsDynamic(), GetSchemaDefsDynamic()); }

// ---- Format groups ----

constexpr std::array<ValueName, 3> kStates = {{{0, "Idle"}, {1, "Access"}, {-1, "Unknown"}}};
constexpr std::array<ValueName, 1> kStatesV2 = {{{0, "Inactive"}}};

TEST(FormatGroups, LooksUpNamesAndFallsBackToTheNumber) {
  COrbFormatGroupManager fg;
  fg.add("States", kStates);
  const int code = fg.fgGetFormatGroupCode("States");
  ASSERT_NE(code, COrbFormatGroupManager::kUnknownGroup);
  std::string out;
  fg.fgFormatValue(out, code, 1.0, 0, 0);
  EXPECT_EQ(out, "Access");
  fg.fgFormatValue(out, code, -1.0, 0, 0);
  EXPECT_EQ(out, "Unknown");
  fg.fgFormatValue(out, code, 7.0, 0, 0);
  EXPECT_EQ(out, "7");
  fg.fgFormatValue(out, code, NAN, 0, 0);
  EXPECT_EQ(out, "nan");
}

TEST(FormatGroups, UnknownGroupsGiveTheNumber) {
  COrbFormatGroupManager fg;
  fg.add("States", kStates);
  EXPECT_EQ(fg.fgGetFormatGroupCode("Other"), COrbFormatGroupManager::kUnknownGroup);
  EXPECT_EQ(fg.fgGetFormatGroupCode(nullptr), COrbFormatGroupManager::kUnknownGroup);
  std::string out;
  fg.fgFormatValue(out, COrbFormatGroupManager::kUnknownGroup, 1.0, 0, 0);
  EXPECT_EQ(out, "1");
  fg.fgFormatValue(out, 5, 0.0, 0, 0);
  EXPECT_EQ(out, "0");
}

TEST(FormatGroups, RegisteringANameAgainReplacesItsTable) {
  COrbFormatGroupManager fg;
  fg.add("States", kStates);
  fg.add("Other", kStatesV2);
  fg.add("States", kStatesV2);
  EXPECT_EQ(fg.size(), 2u);
  std::string out;
  fg.fgFormatValue(out, fg.fgGetFormatGroupCode("States"), 0.0, 0, 0);
  EXPECT_EQ(out, "Inactive");
}

// ---- Absolute time ----

struct TimeCase {
  std::int64_t ms;
  const char* text;
};

class AbsTimeText : public ::testing::TestWithParam<TimeCase> {};

TEST_P(AbsTimeText, FormatsUtc) {
  std::string out = "stale";
  COrbMilliSecAbsTime(GetParam().ms).GetAbsTimeStr(out, nullptr);
  EXPECT_EQ(out, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Dates, AbsTimeText,
                         ::testing::Values(TimeCase{0, "1970-01-01 00:00:00.000"},
                                           TimeCase{315964800000, "1980-01-06 00:00:00.000"},
                                           TimeCase{951827696789, "2000-02-29 12:34:56.789"},
                                           TimeCase{1709251199999, "2024-02-29 23:59:59.999"},
                                           TimeCase{4107542400000, "2100-03-01 00:00:00.000"},
                                           TimeCase{-1, "1969-12-31 23:59:59.999"},
                                           TimeCase{-2203973876996, "1900-02-28 01:02:03.004"}));

TEST(AbsTimeText, FormatArgumentIsIgnored) {
  std::string out;
  COrbMilliSecAbsTime(1000).GetAbsTimeStr(out, "%H");
  EXPECT_EQ(out, "1970-01-01 00:00:01.000");
}

}  // namespace
