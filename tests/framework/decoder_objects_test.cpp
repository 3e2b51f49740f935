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
constexpr const char* kNotStandard = "Message Buffer does not conforms to Qualcomm Standard.";

class EvdoProbe : public FrameEvdo {
 public:
  using FrameEvdo::CalculateCurTime;
  using FrameEvdo::CalculateQcTime;
  using FrameEvdo::FrameEvdo;
};

// 8-byte stamp: 2 ignored bytes, 48-bit count of 1.25 ms units.
Bytes stamp(std::uint64_t count, std::uint16_t ignored = 0) { return Bytes().u16(ignored).u48(count); }

// A 12-byte log header followed by payload bytes; length = header + payload + adjust.
Bytes logged(std::uint16_t code, std::uint64_t count, std::size_t payload, int adjust = 0) {
  Bytes b;
  b.u16(static_cast<std::uint32_t>(12 + payload + adjust)).u16(code).u16(0).u48(count).zeros(payload);
  return b;
}

EvdoProbe over(const Bytes& b) { return EvdoProbe(b.data(), b.size(), nullptr, nullptr); }

// ---- Time stamps ----

struct StampCase {
  std::uint64_t count;
  std::uint16_t ignored;
  double seconds;
};

class DecoderQcTime : public ::testing::TestWithParam<StampCase> {};

TEST_P(DecoderQcTime, CountsQuarterFramesFromTheGpsEpoch) {
  EvdoProbe probe(nullptr, nullptr);
  const Bytes s = stamp(GetParam().count, GetParam().ignored);
  EXPECT_DOUBLE_EQ(probe.CalculateQcTime(s.data()), GetParam().seconds);
}

INSTANTIATE_TEST_SUITE_P(
    Stamps, DecoderQcTime,
    ::testing::Values(StampCase{0, 0, kGpsEpoch}, StampCase{0, 0xFFFF, kGpsEpoch}, StampCase{800, 0, kGpsEpoch + 1.0},
                      StampCase{800, 0x1234, kGpsEpoch + 1.0}, StampCase{1, 0, kGpsEpoch + 0.00125},
                      // bytes 6-7 carry the high part of the count
                      StampCase{std::uint64_t{1} << 32, 0, kGpsEpoch + 5368709.12},
                      StampCase{(std::uint64_t{1} << 48) - 1, 0xFFFF, kGpsEpoch + 351843720888.31875}));

// ---- Current time ----

TEST(DecoderCurTime, StoredHeaderWinsEvenWithoutPacketBytes) {
  EvdoProbe probe(nullptr, nullptr);
  const Bytes header = Bytes().u16(99).u16(0x1234).u16(0xFFFF).u48(800);
  probe.SetMDMHeaderBytes(header.data());
  EXPECT_TRUE(probe.header_present());
  int offset = -1;
  EXPECT_DOUBLE_EQ(probe.CalculateCurTime(offset), kGpsEpoch + 1.0);
  EXPECT_EQ(offset, -1);
}

TEST(DecoderCurTime, StoredHeaderWinsOverAHeaderInTheBytes) {
  const Bytes bytes = logged(0x12A5, 1600, 4);
  EvdoProbe probe = over(bytes);
  const Bytes header = Bytes().u16(16).u16(0x12A5).u16(0).u48(800);
  probe.SetMDMHeaderBytes(header.data());
  int offset = 0;
  EXPECT_DOUBLE_EQ(probe.CalculateCurTime(offset), kGpsEpoch + 1.0);
  EXPECT_EQ(offset, 0);
}

class DecoderCurTimeCodes : public ::testing::TestWithParam<std::uint16_t> {};

TEST_P(DecoderCurTimeCodes, HeaderAtTheStartMovesThePayloadTo12) {
  const Bytes bytes = logged(GetParam(), 1600, 6);
  EvdoProbe probe = over(bytes);
  int offset = 0;
  EXPECT_DOUBLE_EQ(probe.CalculateCurTime(offset), kGpsEpoch + 2.0);
  EXPECT_EQ(offset, 12);
  EXPECT_FALSE(probe.header_present());
}

TEST_P(DecoderCurTimeCodes, LengthOffByOneThrows) {
  for (const int adjust : {-1, 1}) {
    const Bytes bytes = logged(GetParam(), 1600, 6, adjust);
    EvdoProbe probe = over(bytes);
    int offset = 0;
    try {
      probe.CalculateCurTime(offset);
      ADD_FAILURE() << "no throw, adjust " << adjust;
    } catch (const std::invalid_argument& e) {
      EXPECT_STREQ(e.what(), kNotStandard);
    }
    EXPECT_EQ(offset, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(RlpCodes, DecoderCurTimeCodes, ::testing::Values(0x12A5, 0x12A6, 0x128C, 0x128D));

TEST(DecoderCurTime, OtherCodesAndShortBytesThrow) {
  for (const std::uint16_t code : {0x1234, 0x12A4, 0x12A7, 0x108B}) {
    const Bytes bytes = logged(code, 800, 6);
    EvdoProbe probe = over(bytes);
    int offset = 0;
    EXPECT_THROW(probe.CalculateCurTime(offset), std::invalid_argument) << code;
  }
  // Length and code agree but the bytes end before the time stamp would.
  const Bytes short_header = Bytes().u16(6).u16(0x12A5).u16(0);
  EvdoProbe probe = over(short_header);
  int offset = 0;
  EXPECT_THROW(probe.CalculateCurTime(offset), std::invalid_argument);
  EvdoProbe empty(nullptr, nullptr);
  EXPECT_THROW(empty.CalculateCurTime(offset), std::invalid_argument);
}

// ---- Defaults, settings, copies and references ----

template <typename Frame>
Frame make(IProObjectPropertiesConnectedAccessor* accessor);
template <>
Frame1x make<Frame1x>(IProObjectPropertiesConnectedAccessor* accessor) {
  return Frame1x(accessor);
}
template <>
FrameEvdo make<FrameEvdo>(IProObjectPropertiesConnectedAccessor* accessor) {
  return FrameEvdo(accessor, nullptr);
}
template <typename Frame>
Frame make(const Bytes& b, IProObjectPropertiesConnectedAccessor* accessor) {
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

TYPED_TEST(DecoderObject, DefaultsAfterConstruction) {
  const Bytes bytes = {1, 2, 3};
  for (const TypeParam& f : {make<TypeParam>(nullptr), make<TypeParam>(bytes, nullptr)}) {
    EXPECT_EQ(f.accessor(), nullptr);
    EXPECT_FALSE(f.header_present());
    EXPECT_FALSE(f.common_flag());
    EXPECT_EQ(f.threshold_a(), -15.0);
    EXPECT_EQ(f.threshold_b(), -15.0);
  }
  const TypeParam with_bytes = make<TypeParam>(bytes, nullptr);
  ASSERT_EQ(with_bytes.GetLen(), 3u);
  EXPECT_EQ(with_bytes.GetBuf()[2], 3);
  EXPECT_EQ(make<TypeParam>(nullptr).GetLen(), 0u);
}

TYPED_TEST(DecoderObject, StoresSettingsAndHeader) {
  TypeParam f = make<TypeParam>(nullptr);
  f.SetCommonVariables(true, -12.5, -9.0);
  EXPECT_TRUE(f.common_flag());
  EXPECT_EQ(f.threshold_a(), -12.5);
  EXPECT_EQ(f.threshold_b(), -9.0);
  std::array<std::uint8_t, 12> header{};
  for (std::size_t i = 0; i < header.size(); ++i) header[i] = static_cast<std::uint8_t>(0xA0 + i);
  f.SetMDMHeaderBytes(header.data());
  EXPECT_TRUE(f.header_present());
  EXPECT_TRUE(std::equal(header.begin(), header.end(), f.header_bytes()));
  header[0] = 0;  // a copy, not a view of the host's buffer
  EXPECT_EQ(f.header_bytes()[0], 0xA0);
}

TYPED_TEST(DecoderObject, EachObjectHoldsOneReference) {
  {
    TypeParam a = make<TypeParam>(&this->props);
    EXPECT_EQ(this->props.references(), 1);
    {
      const TypeParam copy(a);
      EXPECT_EQ(this->props.references(), 2);
      EXPECT_EQ(copy.accessor(), &this->props);
    }
    EXPECT_EQ(this->props.references(), 1);
    const Bytes bytes = {9};
    const TypeParam b = make<TypeParam>(bytes, &this->props);
    EXPECT_EQ(this->props.references(), 2);
  }
  EXPECT_EQ(this->props.references(), 0);
}

TYPED_TEST(DecoderObject, CopyCarriesEveryMember) {
  const Bytes bytes = {4, 5, 6, 7};
  TypeParam a = make<TypeParam>(bytes, &this->props);
  a.SetCommonVariables(true, -3.0, -4.0);
  const std::array<std::uint8_t, 12> header = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
  a.SetMDMHeaderBytes(header.data());
  a.SetMessageCode(0x108A);
  const TypeParam copy(a);
  EXPECT_TRUE(copy.common_flag());
  EXPECT_EQ(copy.threshold_a(), -3.0);
  EXPECT_EQ(copy.threshold_b(), -4.0);
  EXPECT_TRUE(copy.header_present());
  EXPECT_TRUE(std::equal(header.begin(), header.end(), copy.header_bytes()));
  EXPECT_EQ(copy.GetMessageCode(), 0x108Au);
  ASSERT_EQ(copy.GetLen(), 4u);
  EXPECT_NE(copy.GetBuf(), a.GetBuf());  // its own bytes
  EXPECT_EQ(copy.GetBuf()[3], 7);
}

TYPED_TEST(DecoderObject, AssignmentMovesTheReference) {
  {
    TypeParam a = make<TypeParam>(&this->props);
    a.SetCommonVariables(true, -1.0, -2.0);
    TypeParam b = make<TypeParam>(&this->other);
    EXPECT_EQ(this->other.references(), 1);
    b = a;
    EXPECT_EQ(this->other.references(), 0);
    EXPECT_EQ(this->props.references(), 2);
    EXPECT_EQ(b.accessor(), &this->props);
    EXPECT_EQ(b.threshold_b(), -2.0);
    TypeParam none = make<TypeParam>(nullptr);
    b = none;
    EXPECT_EQ(this->props.references(), 1);
    EXPECT_EQ(b.accessor(), nullptr);
    none = a;
    EXPECT_EQ(this->props.references(), 2);
  }
  EXPECT_EQ(this->props.references(), 0);
}

TYPED_TEST(DecoderObject, SelfAssignmentKeepsItsReference) {
  {
    TypeParam a = make<TypeParam>(&this->props);
    a.SetCommonVariables(true, -7.0, -8.0);
    TypeParam& same = a;
    a = same;
    EXPECT_EQ(this->props.references(), 1);
    EXPECT_EQ(a.accessor(), &this->props);
    EXPECT_EQ(a.threshold_a(), -7.0);
  }
  EXPECT_EQ(this->props.references(), 0);
}

TYPED_TEST(DecoderObject, AssigningAPlainMessageChangesOnlyTheBase) {
  TypeParam a = make<TypeParam>(&this->props);
  a.SetCommonVariables(true, -5.0, -6.0);
  const Bytes bytes = {0xAA, 0xBB};
  COrbGenericHsMessage plain(bytes.data(), bytes.size(), 0);
  plain.SetMessageCode(0x1068);
  a = plain;
  EXPECT_EQ(a.GetLen(), 2u);
  EXPECT_EQ(a.GetBuf()[1], 0xBB);
  EXPECT_EQ(a.GetMessageCode(), 0x1068u);
  EXPECT_EQ(a.accessor(), &this->props);
  EXPECT_EQ(this->props.references(), 1);
  EXPECT_TRUE(a.common_flag());
  EXPECT_EQ(a.threshold_a(), -5.0);
}

TEST(DecoderObjectEvdo, CurTimeUsesAHeaderCopiedWithTheObject) {
  EvdoProbe a(nullptr, nullptr);
  const Bytes header = Bytes().u16(12).u16(0x128C).u16(0).u48(2400);
  a.SetMDMHeaderBytes(header.data());
  EvdoProbe b(nullptr, nullptr);
  b = a;
  int offset = 0;
  EXPECT_DOUBLE_EQ(b.CalculateCurTime(offset), kGpsEpoch + 3.0);
}

}  // namespace
