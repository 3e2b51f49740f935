#include "framework/payload_reader.h"

#include <gtest/gtest.h>

#include <array>
#include <limits>

using cdmadiag::PayloadReader;
using cdmadiag::TruncatedPayload;

TEST(PayloadReader, ReadsEveryWidthLittleEndianWithSignExtensionAndBits) {
  const std::array<std::uint8_t, 10> b = {0xFE, 0xFF, 0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x87};
  const PayloadReader r(b);
  EXPECT_EQ(r.u8(0), 0xFE);
  EXPECT_EQ(r.i8(0), -2);
  EXPECT_EQ(r.i16le(0), -2);
  EXPECT_EQ(r.i24le(0), static_cast<std::int32_t>(0xFF80FFFEu));
  EXPECT_EQ(r.u32le(2), 0x03020180u);
  EXPECT_EQ(r.u48le(2), 0x050403020180ull);
  EXPECT_EQ(r.u64le(2), 0x8706050403020180ull);
  EXPECT_LT(r.i64le(2), 0);
  EXPECT_EQ(cdmadiag::bits(0xABCD, 4, 8), 0xBCu);  // defined at widths 0 and 64
  EXPECT_EQ(cdmadiag::bits(0xABCD, 0, 0), 0u);
  EXPECT_EQ(cdmadiag::bits(~0ull, 0, 64), ~0ull);
  EXPECT_EQ(cdmadiag::bits(~0ull, 64, 4), 0u);
}

TEST(PayloadReader, RefusesEveryReadPastTheEnd) {
  const std::array<std::uint8_t, 4> b = {1, 2, 3, 4};
  const PayloadReader r(b);
  EXPECT_NO_THROW(r.u32le(0));
  EXPECT_THROW(r.u32le(1), TruncatedPayload);
  EXPECT_THROW(r.u8(4), TruncatedPayload);
  EXPECT_THROW(r.u16le(std::numeric_limits<std::size_t>::max()), TruncatedPayload);
  EXPECT_FALSE(r.has(std::numeric_limits<std::size_t>::max(), 2));
  EXPECT_FALSE(r.has(2, std::numeric_limits<std::size_t>::max()));
  EXPECT_TRUE(r.has(4, 0));
  try {
    r.u16le(3);
    FAIL();
  } catch (const TruncatedPayload& e) {
    EXPECT_EQ(e.offset(), 3u);
    EXPECT_EQ(e.wanted(), 2u);
    EXPECT_EQ(e.size(), 4u);
  }
  const PayloadReader empty(nullptr, 10);
  EXPECT_EQ(empty.size(), 0u);
}

TEST(PayloadReader, TextsStopAtNulAndAtThePayloadEnd) {
  const std::array<std::uint8_t, 7> b = {'a', 'b', 0, 'c', 'd', 'e', 'f'};
  const PayloadReader r(b);
  EXPECT_EQ(r.chars(0, 3), "ab");
  std::size_t end = 0;
  EXPECT_EQ(r.cstring(0, &end), "ab");
  EXPECT_EQ(end, 3u);
  EXPECT_EQ(r.cstring(3, &end), "cdef");
  EXPECT_EQ(end, 7u);
  EXPECT_EQ(r.cstring(9, &end), "");
  EXPECT_THROW(r.chars(5, 3), TruncatedPayload);
}
