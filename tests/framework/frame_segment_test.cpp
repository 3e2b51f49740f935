#include "framework/frame_segment.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "framework/attributes.h"
#include "cdma1x/channel_config_fields.h"
#include "framework/field_tables.h"
#include "support/bytes.h"
#include "support/recording_sink.h"

namespace {

using cdmadiag::plain_field;
using cdmadiag::reserved_field;
using cdmadiag::test::Bytes;
using cdmadiag::test::RecordingState;

template <std::size_t N>
int unpack(COrbFrameSegment& seg, const std::vector<std::uint8_t>& bytes, const std::array<FieldEntry, N>& table,
           int start_bit = 0, IOrbDataState* ds = nullptr) {
  return seg.unpack(bytes.data(), bytes.size(), table.data(), static_cast<int>(N), start_bit, ds, -1);
}

TEST(FrameSegment, FieldsStraddleBytesLowBitsFirstAndWholeBytesReadLittleEndian) {
  // byte 0 = 1011 0101, byte 1 = 0110 0111: A = bits 0-2 of byte 0 = 5; B = bits 3-7 of
  // byte 0 (10110) low, bits 0-1 of byte 1 (11) high = 118; C = bits 2-7 of byte 1 = 25.
  const std::array<FieldEntry, 3> table = {plain_field(3, "A"), plain_field(7, "B"), plain_field(6, "C")};
  COrbDecodeMsgCDMAQualcommFrameSegment seg;
  EXPECT_EQ(unpack(seg, {0xB5, 0x67}, table), 16);
  EXPECT_FALSE(seg.stopped());
  EXPECT_EQ(seg.createCString(), "A: 5\nB: 118\nC: 25\n");

  const std::array<FieldEntry, 3> wide = {plain_field(16, "W16"), reserved_field(4), plain_field(32, "W32")};
  EXPECT_EQ(unpack(seg, Bytes().u16(0x1234).u8(0x1F).u32(0x98765432).vec(), wide), 52);
  EXPECT_EQ(seg.value(0), 0x1234u);
  EXPECT_EQ(seg.createCString(), "W16: 4660\nW32: 2271560481\n");  // 0x87654321 from five bytes, no reserved line
}

TEST(FrameSegment, TablesOfThePackedPacketsAndTextRanges) {
  COrbDecodeMsgCDMAQualcommFrameSegment seg;
  // PN 421, record type 2, reserved, channel set mask 1 011 0 1 0 1 (bit 7 .. bit 0), CHAN_CNT 4.
  EXPECT_EQ(unpack(seg, Bytes().u16(421).u8(2).u8(0xEE).u8(0xB5).u8(4).vec(), cdmadiag::kActivePilotFields), 48);
  EXPECT_EQ(seg.value(3), 1u);  // forward FCH: mask bit 0
  EXPECT_EQ(seg.value(7), 3u);
  EXPECT_EQ(seg.value(cdmadiag::kActivePilotChanCntEntry), 4u);
  EXPECT_EQ(seg.createCString(1, 2), "PILOT_REC_TYPE: 2\n");  // entry 2 is reserved
  EXPECT_EQ(seg.createCString(-3, 0), "PILOT_PN: 421\n");
  EXPECT_EQ(seg.createCString(9, 100), "CHAN_CNT: 4\n");
  EXPECT_EQ(seg.createCString(5, 2), "");
}

TEST(FrameSegment, EveryShorterPacketStopsAtTheFirstFieldThatDoesNotFit) {
  const std::array<FieldEntry, 4> table = {plain_field(8, "A"), plain_field(12, "B"), plain_field(4, "C"),
                                           plain_field(16, "D")};
  const std::vector<std::uint8_t> full = {0x11, 0x22, 0x33, 0x44, 0x55};
  const int ends[] = {8, 20, 24, 40};
  for (std::size_t len = 0; len < full.size(); ++len) {
    SCOPED_TRACE(len);
    // Exactly len bytes on the heap, so a read past them is seen by the sanitizers.
    const std::unique_ptr<std::uint8_t[]> bytes(new std::uint8_t[len == 0 ? 1 : len]);
    std::copy_n(full.begin(), len, bytes.get());
    COrbFrameSegment seg;
    const int end = seg.unpack(bytes.get(), len, table.data(), 4, 0, nullptr, -1);
    int fitted = 0;
    while (fitted < 4 && ends[fitted] <= static_cast<int>(len) * 8) ++fitted;
    EXPECT_EQ(end, fitted == 0 ? 0 : ends[fitted - 1]);
    EXPECT_TRUE(seg.stopped());
    EXPECT_EQ(seg.fields(), fitted + 1);
    EXPECT_EQ(seg.value(fitted), 0u);
    EXPECT_TRUE(seg.createCString().ends_with(std::string(1, static_cast<char>('A' + fitted)) + ": (truncated)\n"));
  }
}

TEST(FrameSegment, BadStartsAndWidthsStopUnpacking) {
  COrbFrameSegment seg;
  const std::array<FieldEntry, 2> table = {reserved_field(4), plain_field(4, "B")};
  EXPECT_EQ(unpack(seg, {0xFF}, table, 64), 64);
  EXPECT_EQ(seg.createCString(), "(reserved): (truncated)\n");
  EXPECT_EQ(seg.unpack(nullptr, 5, table.data(), 2, 0, nullptr, -1), 0);  // no bytes whatever the count says
  EXPECT_TRUE(seg.stopped());
  const std::vector<std::uint8_t> bytes(16, 0xFF);
  EXPECT_EQ(unpack(seg, bytes, std::array<FieldEntry, 2>{plain_field(0, "Z"), plain_field(8, "A")}), 0);
  EXPECT_EQ(seg.createCString(), "Z: (bad width 0)\n");
  EXPECT_EQ(unpack(seg, bytes, std::array<FieldEntry, 2>{plain_field(8, "A"), plain_field(33, "W")}), 8);
  EXPECT_EQ(seg.createCString(), "A: 255\nW: (bad width 33)\n");
  EXPECT_EQ(unpack(seg, bytes, std::array<FieldEntry, 1>{plain_field(0x50020, "H")}), 32);  // only the low half counts
}

TEST(FrameSegment, AttributeFieldsWriteByTheirValueTypeOnlyWhenReadAndWritable) {
  RecordingState st;
  std::array<FieldEntry, 4> table = {plain_field(8, "U"), plain_field(4, "S"), plain_field(4, "plain"),
                                     plain_field(8, "B")};
  table[0].value_type = OrbRetVal::kUInt32;
  table[0].attribute_id = ATTR_ID_CDMA_SEQ_NUM;
  table[1].value_type = OrbRetVal::kInt16;
  table[1].attribute_id = ATTR_ID_CDMA_PROBE_NUM;
  table[3].value_type = OrbRetVal::kUInt8;
  table[3].attribute_id = ATTR_ID_PN_INC;
  COrbFrameSegment seg;
  st.ds.set_read_only(true);
  EXPECT_EQ(unpack(seg, {0xC8, 0x5F, 0x07}, table, 0, &st.ds), 24);
  EXPECT_TRUE(st.sink.writes.empty());
  st.ds.set_read_only(false);
  EXPECT_EQ(unpack(seg, {0xC8, 0x5F}, table, 0, &st.ds), 16);  // the truncated field is not written
  EXPECT_EQ(unpack(seg, {0xC8, 0x5F, 0x07}, table, 0, &st.ds), 24);
  EXPECT_EQ(seg.createCString(), "U: 200\nS: -1\nplain: 5\nB: 7\n");
  const auto& w = st.sink.writes;
  ASSERT_EQ(w.size(), 5u);
  EXPECT_EQ(w[2].name, "ATTR_ID_CDMA_SEQ_NUM");
  EXPECT_EQ(w[2].op, WriteOp::kSetULong);
  EXPECT_EQ(w[2].value, 200.0);
  EXPECT_EQ(w[3].op, WriteOp::kSetShort);
  EXPECT_EQ(w[3].value, -1.0);  // 4-bit 1111, sign-extended
  EXPECT_EQ(w[4].name, "ATTR_ID_PN_INC");
  EXPECT_EQ(w[4].op, WriteOp::kSetByte);
  EXPECT_EQ(w[4].value, 7.0);
}

}  // namespace
