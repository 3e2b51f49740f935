// EV-DO packet snapshots, debug hex dump, temporal analyzers and enhanced sleep info.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

// Type 2, length field 3, but four bytes follow.
const Bytes kForward = Bytes{}.u8(2).u8(3).u8(0xAB).u8(0x01).u8(0xFF).u8(0x7E);
const Bytes kDump = Bytes{}.u16(16).u8(0x00).u8(0x10);
// TA start 1000, antenna 2, window 64, three samples.
Bytes temporal(std::uint8_t antenna, std::uint8_t samples) {
  return Bytes{}.u16(1000).u8(antenna).u8(64).u8(samples).u16(100).u16(0).u16(65535);
}
Bytes sleep_info(std::uint8_t ofs_status, std::uint8_t cc_status = 2) {
  Bytes b;
  b.u8(2).u32(1000).u16(120).u16(12).u16(6).i16(-3).u8(4).u8(1).u8(cc_status).u8(3);  // up to next search state
  b.u16(168).u16(1024).u8(1).u8(ofs_status).u16((1 << 11) | 283).u16(252).u16(0);     // OFS energy 0
  b.u8(6).u32(7).u32(8).u16(9).u32(10).u32(11).u16(12).u8(13).u32(14).u32(3000000000u);
  return b.u8(1).u32(15).u32(16).u32(17).u32(18);
}

TEST(EvdoSnapshots, SnapshotsAndHexDumpShowEveryFollowingByte) {
  DecoderCase c;
  EXPECT_EQ(c.run(0x106A, kForward).details, "\nPacketType: 2 (unknown)\nLength: 3\n\t\nData: ab 01 ff 7e \r\n");
  EXPECT_EQ(c.writes(), "EVDO_FORLINKPKTSSHOT_PKTTYPE Byte[0] 2\nEVDO_FORLINKPKTSSHOT_LENGTH Byte[0] 3\n");
  EXPECT_EQ(c.run(0x1074, Bytes{1, 0}).details, "\nPacketType: 1 (Traffic)\nLength: 0\n\t\nData: \r\n");
  EXPECT_EQ(c.writes(), "EVDO_REVLINKPKTSSHOT_PKTTYPE Byte[0] 1\nEVDO_REVLINKPKTSSHOT_LENGTH Byte[0] 0\n");
  EXPECT_EQ(c.run(0x1065, kDump).details, "Length: 16\n\t\nData: 00 10 \r\n");
  EXPECT_EQ(c.run(0x1065, kDump.prefix(2)).details, "Length: 16\n\t\nData: \r\n");
  EXPECT_EQ(c.writes(), "EVDO_DEBUGHEXDUMP_LENGTH UShort[0] 16\n");
}

TEST(EvdoSnapshots, TemporalAnalyzersKeepToTheirSamples) {
  DecoderCase c;
  EXPECT_EQ(c.run(0x1073, temporal(2, 3)).details,
            "TAStart(in chipx2): 1000\n, Antenna: 2 (Antenna1 and Antenna2 non-coherently combined)\n, TAWinSize: "
            "64\nNumSamples: 3\n");
  const std::string samples =
      "EVDO_HIGHRESTEMPORALANALYZER_PEAK_ENERGY UShort[0] 100\nEVDO_HIGHRESTEMPORALANALYZER_PEAK_ENERGY UShort[1] 0\n"
      "EVDO_HIGHRESTEMPORALANALYZER_PEAK_ENERGY UShort[2] 65535\n";
  const std::string header =
      "EVDO_HIGHRESTEMPORALANALYZER_TA_START UShort[0] 1000\nEVDO_HIGHRESTEMPORALANALYZER_ANTENNA Byte[0] 3\n"
      "EVDO_HIGHRESTEMPORALANALYZER_TA_WIN_SIZE Byte[0] 64\nEVDO_HIGHRESTEMPORALANALYZER_NUM_SAMPLES Byte[0] 5\n";
  // More samples announced than held: the held ones, then the failure.
  EXPECT_EQ(c.run(0x1073, temporal(3, 5)).details,
            "TAStart(in chipx2): 1000\n, Antenna: 3 (Invalid)\n, TAWinSize: 64\nNumSamples: 5\n" +
                std::string(kNotQualcommStandard));
  EXPECT_EQ(c.writes(), samples + header);
  c.run(0x107D, temporal(0, 3));
  EXPECT_EQ(c.msg.details + c.writes(), "");  // the title alone
}

TEST(EvdoSnapshots, SleepInfoByteForByteAndItsOfsVariants) {
  DecoderCase c;
  EXPECT_EQ(c.run(0x12A4, sleep_info(1)).details,
            "Version: 2\nSleep Cycle Count: 1000\nAwake Time: 120 (ms)\nSCC Start to CC Decoder: 12 (10.000 ms)\n"
            "CC Decoder to Sleep: 6 (5.000 ms)\nDead Time: -3 (-2.500 ms)\nSlot Count: 4\nCC Rate: 1\n"
            "CC Status: 2 (Bad CRC)\nNext Search State: 3\nPilot PN: 168\nPilot Energy: 1024 (3.01 dB)\n"
            "Handoff Count: 1\nOFS Status: 1 (Off-frequency search but no off-frequency handoff)\n"
            "OfsChannel: Channel - 283, Band - 1\nOfsPN: 252\nOfsPNEnergy: 0 (n/a)\nSCI: 6\nCC MER Count: 7\n"
            "Reacq Loss Count: 8\nCMAC Expiry Count: 9\nIdle Handoff Count: 10\nOFS Count: 11\n"
            "OFS Handoff  Count: 12\nChannel Hash Count: 13\nCC MER Denom: 14\nCurrent Warmup Time US: 3000000000\n"
            "Force Preamble Used: 1\nForce Preamble Count: 15\nForce Preamble Failed Count: 16\n"
            "Total Time Out Of Service: 17\nEstimated Out Of Service CC MER: 18");
  EXPECT_EQ(c.writes(), "");
  const std::string no_ofs = c.run(0x12A4, sleep_info(0, 4)).details;
  EXPECT_NE(no_ofs.find("CC Status: 4 (n/a)\n"), std::string::npos);
  EXPECT_NE(no_ofs.find("OFS Status: 0 (No off-frequency search)\nSCI: 6\n"), std::string::npos);
  EXPECT_TRUE(c.run(0x12A4, sleep_info(3)).details.ends_with("Handoff Count: 1\nOFS Status: 3 (n/a)"));
}

// Stage 3 (the sleep info) has no guard: a short packet must report, never throw.
TEST(EvdoSnapshots, EveryTruncationReportsAndStops) {
  const auto fixed = [](std::size_t size) {
    return [size](const DecoderCase& c, std::size_t n) {
      EXPECT_EQ(c.msg.details.ends_with(kNotQualcommStandard), n < size);
      EXPECT_TRUE(c.failures.empty());
    };
  };
  const struct {
    std::uint32_t code;
    Bytes full;
    std::function<void(const DecoderCase&, std::size_t)> check;
  } packets[] = {
      {0x106A, kForward, fixed(2)},        {0x1074, kForward, fixed(2)}, {0x1065, kDump, fixed(2)},
      {0x1073, temporal(0, 3), fixed(11)}, {0x107D, kDump, fixed(0)},    {0x12A4, sleep_info(2), fixed(76)},
  };
  for (const auto& p : packets) sweep_truncations(p.code, p.full, p.check);
}

}  // namespace
}  // namespace cdmadiag::test
