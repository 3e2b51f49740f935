// The cursor: fields in order from a running offset, and a sticky short state that a
// decoder checks once.
#include "framework/payload_cursor.h"

#include <gtest/gtest.h>

#include <array>

#include "framework/decoder_kit.h"
#include "support/bytes.h"

namespace cdmadiag {
namespace {

using test::Bytes;

TEST(Cursor, ReadsFieldsInOrderAtEveryWidth) {
  const Bytes b =
      Bytes{}.u8(0xFE).i16(-3).u24(0x030201).u32(0x80000001).f32(1.5f).u48(0x060504030201).u64(7).f64(-2.25);
  Cursor c(PayloadReader(b.data(), b.size()));
  EXPECT_EQ(c.i8(), -2);
  EXPECT_EQ(c.i16le(), -3);
  EXPECT_EQ(c.u24le(), 0x030201u);
  EXPECT_EQ(c.i32le(), static_cast<std::int32_t>(0x80000001u));
  EXPECT_EQ(c.f32le(), 1.5f);
  EXPECT_EQ(c.u48le(), 0x060504030201ull);
  EXPECT_EQ(c.u64le(), 7u);
  EXPECT_EQ(c.f64le(), -2.25);
  EXPECT_TRUE(c.ok());
  EXPECT_EQ(c.offset(), b.size());
  EXPECT_EQ(c.left(), 0u);
}

// Once a read falls past the end, every later read gives 0, even one that would fit
// a shorter field: a decoder may read a whole part and check once.
TEST(Cursor, ShortIsStickyAndReadsNothingOutside) {
  const Bytes b{1, 2, 3};
  Cursor c(PayloadReader(b.data(), b.size()));
  EXPECT_EQ(c.u16le(), 0x0201u);
  EXPECT_EQ(c.u32le(), 0u);
  EXPECT_FALSE(c.ok());
  EXPECT_EQ(c.u8(), 0u);
  EXPECT_EQ(c.left(), 0u);
  EXPECT_FALSE(c.ok());

  Cursor d(PayloadReader(b.data(), b.size()));
  EXPECT_FALSE(d.need(4));
  EXPECT_EQ(d.u8(), 0u);
  Cursor e(PayloadReader(b.data(), b.size()), 4);  // starting past the end
  EXPECT_FALSE(e.ok());
}

TEST(Cursor, MovesByLayoutAndCutsRecords) {
  const Bytes b = Bytes{}.u8(9).u16(0x0A0B).u16(0x0C0D).u8(7);
  Cursor c(PayloadReader(b.data(), b.size()));
  c.skip(1);
  Cursor rec = c.record(4);
  EXPECT_EQ(rec.u16le(), 0x0A0Bu);
  EXPECT_EQ(rec.u16le(), 0x0C0Du);
  EXPECT_EQ(rec.u8(), 0u);  // past the record, not into the rest of the payload
  EXPECT_FALSE(rec.ok());
  EXPECT_TRUE(c.ok());
  EXPECT_EQ(c.u8(), 7u);
  c.seek(1);
  EXPECT_EQ(c.bytes(2).u16le(0), 0x0A0Bu);
  EXPECT_EQ(c.record(9).left(), 0u);  // a record longer than what is left is short, and so is c
  EXPECT_FALSE(c.ok());
  Cursor d(PayloadReader(b.data(), b.size()));
  d.seek(7);
  EXPECT_FALSE(d.ok());
}

TEST(Cursor, ReadsADiagTimeStamp) {
  // Bytes 2-7 hold 800 units of 1.25 ms; bytes 0-1 are not used.
  const Bytes b = Bytes{}.u16(0xFFFF).u48(800).u8(1);
  Cursor c(PayloadReader(b.data(), b.size()));
  EXPECT_EQ(c.diag_time(), 315964801.0);
  EXPECT_EQ(c.u8(), 1u);
  Cursor d(PayloadReader(b.data(), 7));
  EXPECT_EQ(d.diag_time(), 0.0);
  EXPECT_FALSE(d.ok());
}

// Fixed columns stop at their first NUL but take all their bytes; a NUL-terminated
// text passes over its terminator and ends at the payload end without one.
TEST(Cursor, ReadsTextColumns) {
  const Bytes b = Bytes{}.text("ab", true).u8('c').text("de", false);
  Cursor c(PayloadReader(b.data(), b.size()));
  EXPECT_EQ(c.chars(4), "ab");
  EXPECT_EQ(c.offset(), 4u);
  EXPECT_EQ(c.cstring(), "de");
  EXPECT_TRUE(c.ok());
  EXPECT_EQ(c.cstring(), "");
  EXPECT_EQ(c.chars(1), "");
  EXPECT_FALSE(c.ok());
  Cursor d(PayloadReader(b.data(), b.size()));
  EXPECT_EQ(d.cstring(), "ab");
  EXPECT_EQ(d.offset(), 3u);
}

// The decoder's one check: a short cursor fails by the code's policy.
TEST(Cursor, JobChecksItOnce) {
  const Bytes b{1, 2};
  COrbExpandedMessage msg;
  const Decoding job(msg, "Example", report());
  Cursor c(PayloadReader(b.data(), b.size()));
  EXPECT_TRUE(job.require(c, 2));
  (void)c.u16le();
  EXPECT_TRUE(job.check(c));
  (void)c.u8();
  EXPECT_FALSE(job.check(c));
  EXPECT_EQ(msg.details, kNotQualcommStandard);
}

}  // namespace
}  // namespace cdmadiag
