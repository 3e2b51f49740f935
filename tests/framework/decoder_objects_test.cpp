// The two decoder objects: defaults, settings, accessor references, copies, the
// packet time stamp and the current-time rule of the RLP decoders.
#include <gtest/gtest.h>

#include <array>
#include <stdexcept>
#include <string>

#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "support/bytes.h"

namespace {

using cdmadiag::test::Bytes;
using Frame1x = COrbDecodeMsgCDMAQualcommFrame;
using FrameEvdo = COrbDecodeMsgCDMA1xEVDOQualcommFrame;

constexpr double kGpsEpoch = 315964800.0;

class EvdoProbe : public FrameEvdo {
 public:
  using FrameEvdo::CalculateCurTime;
  using FrameEvdo::CalculateQcTime;
  using FrameEvdo::FrameEvdo;
  explicit EvdoProbe(const Bytes& b) : FrameEvdo(b.data(), b.size(), nullptr, nullptr) {}
};

// A 12-byte log header (length, code, 8-byte stamp whose bytes 2-7 count 1.25 ms
// units) followed by payload bytes; the length field is header + payload + adjust.
Bytes logged(std::uint16_t code, std::uint64_t count, std::size_t payload = 6, int adjust = 0) {
  return Bytes().u16(static_cast<std::uint32_t>(12 + payload + adjust)).u16(code).u16(0xFFFF).u48(count).zeros(payload);
}

TEST(DecoderTime, StampCountsQuarterFramesFromTheGpsEpoch) {
  EvdoProbe probe(nullptr, nullptr);
  const std::pair<std::uint64_t, double> cases[] = {
      {800, 1.0}, {std::uint64_t{1} << 32, 5368709.12}, {(std::uint64_t{1} << 48) - 1, 351843720888.31875}};
  for (const auto& [count, seconds] : cases) {
    EXPECT_DOUBLE_EQ(probe.CalculateQcTime(Bytes().u16(0xFFFF).u48(count).data()), kGpsEpoch + seconds);
  }
}

TEST(DecoderTime, StoredHeaderWinsOverAHeaderInTheBytesAndSurvivesACopy) {
  EvdoProbe probe(logged(0x12A5, 1600));
  probe.SetMDMHeaderBytes(logged(0x1234, 2400).data());
  EvdoProbe copy(nullptr, nullptr);
  copy = probe;
  int offset = -1;
  EXPECT_DOUBLE_EQ(copy.CalculateCurTime(offset), kGpsEpoch + 3.0);
  EXPECT_EQ(offset, -1);
}

// The text CalculateCurTime throws, "" when it returns.
std::string cur_time_error(const Bytes& b) {
  EvdoProbe probe(b);
  int offset = 0;
  try {
    probe.CalculateCurTime(offset);
  } catch (const std::invalid_argument& e) {
    return e.what();
  }
  return "";
}

TEST(DecoderTime, RlpCodesFindTheirHeaderInTheBytesOnlyWithAnExactLength) {
  constexpr const char* kNotStandard = "Message Buffer does not conforms to Qualcomm Standard.";
  for (const std::uint16_t code : {0x12A5, 0x12A6, 0x128C, 0x128D}) {
    SCOPED_TRACE(code);
    EvdoProbe probe(logged(code, 1600));
    int offset = 0;
    EXPECT_DOUBLE_EQ(probe.CalculateCurTime(offset), kGpsEpoch + 2.0);
    EXPECT_EQ(offset, 12);
    EXPECT_EQ(cur_time_error(logged(code, 1600, 6, -1)), kNotStandard);
    EXPECT_EQ(cur_time_error(logged(code, 1600, 6, 1)), kNotStandard);
  }
  // Other codes, bytes that end before the time stamp, no bytes at all.
  for (const Bytes& b : {logged(0x12A4, 800), logged(0x12A7, 800), Bytes().u16(6).u16(0x12A5).u16(0), Bytes()}) {
    EXPECT_EQ(cur_time_error(b), kNotStandard);
  }
}

template <typename Frame>
Frame make(IProObjectPropertiesConnectedAccessor* accessor, const Bytes& b = {}) {
  if constexpr (std::is_same_v<Frame, Frame1x>) {
    return Frame1x(b.data(), b.size(), accessor);
  } else {
    return FrameEvdo(b.data(), b.size(), accessor, nullptr);
  }
}

template <typename Frame>
class DecoderObject : public ::testing::Test {
 protected:
  ObjectProperties props;
  ObjectProperties other;
};

using FrameTypes = ::testing::Types<Frame1x, FrameEvdo>;
TYPED_TEST_SUITE(DecoderObject, FrameTypes);

TYPED_TEST(DecoderObject, CopiesCarryEveryMemberAndTheirOwnBytes) {
  const TypeParam fresh = make<TypeParam>(nullptr);
  EXPECT_FALSE(fresh.header_present());
  EXPECT_FALSE(fresh.common_flag());
  EXPECT_EQ(fresh.threshold_a(), -15.0);
  EXPECT_EQ(fresh.threshold_b(), -15.0);
  EXPECT_EQ(fresh.GetLen(), 0u);

  TypeParam a = make<TypeParam>(&this->props, Bytes{4, 5, 6, 7});
  a.SetCommonVariables(true, -3.0, -4.0);
  std::array<std::uint8_t, 12> header = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  a.SetMDMHeaderBytes(header.data());
  header[0] = 0;
  a.SetMessageCode(0x108A);
  const TypeParam copy(a);
  EXPECT_TRUE(copy.common_flag());
  EXPECT_EQ(copy.threshold_a(), -3.0);
  EXPECT_TRUE(copy.header_present());
  EXPECT_EQ(copy.header_bytes()[0], 1);  // a copy, not a view of the host's buffer
  EXPECT_EQ(copy.GetMessageCode(), 0x108Au);
  ASSERT_EQ(copy.GetLen(), 4u);
  EXPECT_NE(copy.GetBuf(), a.GetBuf());
  EXPECT_EQ(copy.GetBuf()[3], 7);

  // Assigning a plain message changes only the packet.
  COrbGenericHsMessage plain(Bytes{0xAA, 0xBB}.data(), 2, 0);
  a = plain;
  EXPECT_EQ(a.GetBuf()[1], 0xBB);
  EXPECT_EQ(a.GetMessageCode(), 0u);
  EXPECT_EQ(a.accessor(), &this->props);
  EXPECT_EQ(this->props.references(), 2);
  EXPECT_EQ(a.threshold_a(), -3.0);
}

TYPED_TEST(DecoderObject, EachObjectHoldsOneReference) {
  {
    TypeParam a = make<TypeParam>(&this->props);
    const TypeParam copy(a);
    EXPECT_EQ(this->props.references(), 2);
    TypeParam b = make<TypeParam>(&this->other);
    b = a;
    EXPECT_EQ(this->other.references(), 0);
    EXPECT_EQ(this->props.references(), 3);
    EXPECT_EQ(b.accessor(), &this->props);
    TypeParam& same = a;
    a = same;
    EXPECT_EQ(this->props.references(), 3);
    EXPECT_EQ(a.accessor(), &this->props);
    TypeParam none = make<TypeParam>(nullptr);
    b = none;
    EXPECT_EQ(this->props.references(), 2);
    EXPECT_EQ(b.accessor(), nullptr);
  }
  EXPECT_EQ(this->props.references(), 0);
}

}  // namespace
