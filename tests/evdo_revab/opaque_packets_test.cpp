// The EV-DO packets shown only as title and hex: multicast, multi-flow RLP, QoS.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "framework/dispatch_tables.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kCodes[] = {0x117F, 0x1180, 0x1181, 0x1182, 0x1275, 0x1276,
                                    0x1277, 0x1278, 0x132B, 0x132C, 0x132D};

Bytes counting(std::size_t n) {
  Bytes b;
  for (std::size_t i = 0; i < n; ++i) b.u8(static_cast<std::uint8_t>(i));
  return b;
}

TEST(EvdoOpaquePackets, EveryCodeShowsItsRowTitleAndHexWithoutWritesOrFailures) {
  for (const std::uint32_t code : kCodes) {
    SCOPED_TRACE(formatf("code 0x%04X", code));
    DecoderCase c;
    c.run(code, Bytes{0xAB, 0x01, 0xFF});
    EXPECT_EQ(c.msg.title, find_evdo_row(evdo_stage2_rows(), code)->title);
    EXPECT_EQ(c.msg.details, "Payload: 3 bytes\nData (hex): ab 01 ff\n");
    EXPECT_EQ(c.writes(), "");
    EXPECT_TRUE(c.failures.empty());
  }
}

TEST(EvdoOpaquePackets, HexLineStopsAt64BytesAndEmptyPayloadHasNone) {
  DecoderCase c;
  c.run(0x1277, counting(64));
  const std::string first64 = c.msg.details;
  EXPECT_EQ(first64.substr(0, 36), "Payload: 64 bytes\nData (hex): 00 01 ");
  EXPECT_TRUE(first64.ends_with(" 3e 3f\n"));
  c.run(0x1277, counting(4000));
  EXPECT_EQ(c.msg.details,
            "Payload: 4000 bytes\n" + first64.substr(first64.find('\n') + 1, 12 + 3 * 64 - 1) + " ...\n");
  c.run(0x1277, Bytes{});
  EXPECT_EQ(c.msg.details, "Payload: 0 bytes\n");
  EXPECT_EQ(c.msg.title, "1xEV-DO Rx Partial MultiRLP Packet");
}

TEST(EvdoOpaquePackets, TruncationsNeverThrow) {
  for (const std::uint32_t code : kCodes) sweep_truncations(code, counting(20));
}

}  // namespace
}  // namespace cdmadiag::test
