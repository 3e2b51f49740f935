// MediaFLO log packets, through the 1x dispatcher.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

const std::string kFailure = kNotQualcommStandard;

Bytes rssi(std::int32_t integer, std::int32_t hundredths, std::uint32_t sign) {
  return Bytes{}.u8(1).at(4).i16(integer).i8(hundredths).u8(sign);
}

// Post-RS statistics: MLC 5, wide area, then the eight counts (good, erased) x PLP/code block x base/enhanced.
Bytes post_rs(std::vector<std::uint32_t> counts) {
  Bytes b = Bytes{}.u32(777).u8(5).u8(0).at(8);
  for (const std::uint32_t n : counts) b.u32(n);
  return b;
}

// OIS information with p control-sequence pairs (i, i + 1 for pair i) and the MLC count m,
// followed by `records` MLC records alternating absent (next SF offset j) and present.
Bytes ois(std::uint32_t p, std::uint32_t m, std::size_t records) {
  Bytes b = Bytes{}.u8(2).u8(0x02).at(4).u32(5000).u16(0x1234).u16(77).u8(15).u8(1).u8(0).u8(3).u8(2).u8(1);
  b.u16(1000).u8(2).u8(4).u8(5).u8(6).u8(7).u8(3).u8(2).u8(9).u16(300).u8(15).u8(8).u8(p).at(36);
  for (std::uint32_t i = 0; i < 8; ++i) b.u16(10 * i).u16(10 * i + 1);
  b.u8(4).u8(m);
  for (std::size_t j = 0; j < records; ++j) {
    if (j % 2 == 0) b.u8(0).u8(static_cast<std::uint32_t>(j)).zeros(6);
    else b.u8(1).u16(7).u8(0xA5).u32(70000);
  }
  return b;
}

Bytes bound(std::uint32_t count, std::size_t records) {
  Bytes b = Bytes{}.u8(1).u8(count);
  for (std::size_t i = 0; i < records; ++i) {
    const auto k = static_cast<std::uint32_t>(i % 2);
    b.u8(3 + k).u8(1 + k).u32(100001 + k).u8(1 - k).u8(k).u8(1 + k).u8(k);
  }
  return b;
}

struct Packet {
  std::uint32_t code;
  Bytes bytes;
  std::size_t fixed;  // shorter than this: the failure text alone
  std::string details;
  std::string writes;
};

const std::vector<Packet>& packets() {
  static const std::vector<Packet> kPackets = {
      {0x11F5, rssi(87, 25, 0), 8, "Interrupt type: OIS Decoded (1), Rssi: -87.25 dBm", "MFLO_Rssi Double[0] -87.25\n"},
      {0x11F8, Bytes{}.u8(2).u32(123456).u8(7).at(8).u8(3), 9,
       "Interrupt Type: MLC Decoded (2), FLO FFT Local Start: 123456, FLO FFT Wic Id: 7, FLO FFT Lic Id: 3", ""},
      {0x11F9, Bytes{}.u8(0).u32(70000).u8(1).u32(100).u32(2).u32(50).u32(9), 22,
       "\nInterrupt Type: Superframe Boundary (0), MLC Id.: 70000, System: Local Area (1)"
       "\nNum Good PLPs in Base Layer: 100, Num Erasure PLPs in Base Layer: 2"
       "\nNum Good PLPs in Enhanced Layer: 50, Num Erasure PLPs in Enhanced Layer: 9",
       "MFLO_MlcId ULong[0] 70000\nMFLO_System Byte[0] 1\n"},
      // Only the low bits of each field count: 9 of 0xFE05, 7 of 0x85, 23 of 0xFF800123.
      {0x1200, Bytes{}.u8(3).u8(12).u8(0xFF).u8(0x01).u16(0xFE05).u8(0x85).u32(0xFF800123), 11,
       "Interrupt Type: Control Channel Decoded (3), MLC Id.: 12, System Params Updated Flag: 1"
       "\nStart OFDM Offset: 5, Slot Info.: 5, Stream Length: 291",
       ""},
      // Not scheduled: 10 bits of 0xFC07, and two bytes fewer suffice.
      {0x1200, Bytes{}.u8(3).u8(12).u8(0xFE).u8(0xFE).u16(0xFC07), 6,
       "Interrupt Type: Control Channel Decoded (3), MLC Id.: 12, System Params Updated Flag: 0\nNext SF Offset: 7", ""},
      {0x1211, Bytes{}.u32(1000).u32(300).u32(4).u8(0xFF), 13,
       "Super Frame Number: 1000, Total Num Good PLPs: 300, Total Num Erasure PLPs: 4, OIS Type: Local Area", ""},
      {0x1212, ois(2, 2, 2), 70,
       "\nAIS Spec. Version: 2, OIS Type: Wide Area\nSuper Frame Number: 5000, Network Id: 4660, Infrastructure Id: 77"
       "\nLeap Sec: 15, Local Time: 1, Daylight Time: 0"
       "\nProtocol Version: 3, Minimum Protocol Version: 2, Minimum Monitor Cycle Index: 1"
       "\nNumber Data Symbols: 1000, Number Position Pilot Symbols: 2"
       "\nData MAC Header Length: 4, Ctrl MAC Header Length: 5, Stream MAC Header Length: 6"
       "\nCtrl Chan Protocol Header Length: 7, Ctrl Chan Mode: 16-QAM 1/2 (3), Ctrl Chan Outer Code: RS (16,12) (2),"
       "\nCtrl Chan Alloc: 9, Ctrl Chan Loc: 300, Ctrl Chan Slot Info: 15, Ctrl Chan Capsule Id: 8"
       "\nNum Ctrl Seq Pairs: 2\nCtrl\tCtrl\tCtrl\t\nSeq\tSeq\tSeq\t\nIdx\tBin 0\tBin 1\t\n0\t0\t1\n1\t10\t11"
       "\nStart MLC: 4, Num MLCs: 2\nPresent[000]: 0,\tNext SF Offset: 0"
       "\nPresent[001]: 1,\tStart Offset: 007, Slot Info: 0xA5, Stream Length: 70000",
       "MFLO_System Long[0] 0\nMFLO_MlcTxMode Byte[0] 3\nMFLO_MlcTxOuterCode Byte[0] 2\n"},
      {0x1213, post_rs({200, 50, 0, 0, 30, 0, 10, 10}), 40,
       "\nSuperframe no.: 777, MLC Id: 5, System: Wide Area (0)\nNumber of Base Layer Good PLPs: 200"
       "\nNumber of Base Layer Eras PLPs: 50\nNumber of Ench Layer Good PLPs: 0\nNumber of Ench Layer Eras PLPs: 0"
       "\nNumber of Base Layer Good Code Blks: 30\nNumber of Base Layer Eras Code Blks: 0"
       "\nNumber of Ench Layer Good Code Blks: 10\nNumber of Ench Layer Eras Code Blks: 10",
       "MFLO_MlcId Byte[0] 5\nMFLO_System Byte[0] 0\nMFLO_BaseLayerGoodPLPs ULong[0] 200\n"
       "MFLO_BaseLayerErasurePLPs ULong[0] 50\nMFLO_EnhancedLayerGoodPLPs ULong[0] 0\n"
       "MFLO_EnhancedLayerErasurePLPs ULong[0] 0\nMFLO_BaseLayerGood_CodeBlocks ULong[0] 30\n"
       "MFLO_BaseLayerErasure_CodeBlocks ULong[0] 0\nMFLO_EnhancedLayerGood_CodeBlocks ULong[0] 10\n"
       "MFLO_EnhancedLayerErasure_CodeBlocks ULong[0] 10\nMFLO_EnhancedLayer_Code_ErasureRate Double[0] 100\n"
       "MFLO_BaseLayer_PLP_ErasureRate Double[0] 25\nMFLO_BaseLayer_Code_ErasureRate Double[0] 0\n"},
      {0x1214,
       Bytes{}.u32(9000).u16(120).u8(3).u8(1).u32(40).u8(6).u8(11).u8(9).u8(1).at(20).u8(16).u8(3).u8(1).u8(0).u16(
           500).u16(600).u16(700),
       30,
       "\nSuperframe no.: 9000, MLC start symbol: 120, MLC slot offset: 3,\nMLC slot min: 1, MLC slot total: 40, MLC "
       "slot max: 6,\nMLC mode: Layered ER6.25 2/3 (11), MLC Id: 9, System: Local Area (1),\nNo. CBS in current SF: "
       "16, MLC outer code: RS (16,8) (3),\nMLC stream 1 bound: 1, MLC stream 2 bound: 0"
       "\nStream length 0: 500, Stream length 1: 600, Stream length 2: 700",
       "MFLO_MlcId Byte[0] 9\nMFLO_System Byte[0] 1\nMFLO_MlcTxMode Byte[0] 11\nMFLO_MlcTxOuterCode Byte[0] 3\n"},
      {0x1215, bound(2, 2), 2,
       "\nInterrupt type: OIS Decoded (1), Bound flow count: 2,\nMLC\tStrm\tFlow\tStrm\tByte\tSystem\tBinding"
       "\nId\tId\tId\tUses\tItlvg\t\t\n\t\t\tBoth\tEbld\t\t\n\t\t\tLayer\t\t\t"
       "\n3\t1\t100001\t1\t0\tWide Area\tStatic (1)\t\n4\t2\t100002\t0\t1\tLocal Area\tDynamic (2)\t",
       "MFLO_BindingType Byte[0] 1\nMFLO_FlowId ULong[0] 100001\nMFLO_MlcId Byte[0] 3\nMFLO_StreamId Byte[0] 1\n"
       "MFLO_System Byte[0] 0\nMFLO_BindingType Byte[1] 2\nMFLO_FlowId ULong[1] 100002\nMFLO_MlcId Byte[1] 4\n"
       "MFLO_StreamId Byte[1] 2\nMFLO_System Byte[1] 1\n"},
      {0x1216,
       Bytes{}.u8(1).u8(2).u8(3).at(4).u32(0xA3A2A1A0).u24(0xA6A5A4).at(12).u8(4).u8(5).u8(6).at(16).u32(0xB3B2B1B0).u24(
           0xB6B5B4),
       23,
       "\nBase Layer: \n\tStream0 Pad Len: 1, Stream1 Pad Len: 2, Stream2 Pad Len: 3, \n\tMAC Hdr data (hex): a0 a1 a2 "
       "a3 a4 a5 a6 \nEnhanced Layer: \n\tStream0 Pad Len: 4, Stream1 Pad Len: 5, Stream2 Pad Len: 6, \n\tMAC Hdr "
       "data (hex): b0 b1 b2 b3 b4 b5 b6 ",
       ""},
      {0x1219, Bytes{}.u32(31).u32(100001).u32(400).u32(200).u32(4).u32(2), 24,
       "\nSuper Frame Number: 31, Flow Id.: 100001\nTotal Good PLPs in Base Layer: 400, Total Erasure PLPs in Base "
       "Layer: 4\nTotal Good PLPs in Enhanced Layer: 200, Total Erasure PLPs in Enhanced Layer: 2",
       "MFLO_FlowId ULong[0] 100001\n"},
  };
  return kPackets;
}

class Mediaflo : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(Mediaflo, EachPacketTextAndWritesByteForByte) {
  for (const Packet& p : packets()) {
    SCOPED_TRACE(formatf("0x%04X", p.code));
    EXPECT_EQ(c.run(p.code, p.bytes).details, p.details);
    EXPECT_EQ(c.writes(), p.writes);
  }
}

TEST_F(Mediaflo, ShortFixedPartGivesTheFailureTextAloneAndListsStopAtTheirLastWholeRecord) {
  for (const Packet& p : packets()) {
    sweep_truncations(p.code, p.bytes, [&p](const COrbExpandedMessage& msg, std::size_t n) {
      if (n < p.fixed) {
        EXPECT_EQ(msg.details, kFailure);
      } else {
        EXPECT_EQ(msg.details.find(kFailure), std::string::npos);
      }
    });
  }
  // Records cut short are left out, whole ones shown.
  const std::string& full = packets()[6].details;
  EXPECT_EQ(c.run(0x1212, ois(2, 2, 2).prefix(70 + 8 + 7)).details, full.substr(0, full.rfind('\n')));
  c.run(0x1215, bound(5, 2).u8(9));
  EXPECT_EQ(c.writes({"MFLO_FlowId"}),
            "MFLO_FlowId ULong[0] 100001\nMFLO_FlowId ULong[1] 100002\n");
}

TEST_F(Mediaflo, ListsAreCappedWhateverTheirCount) {
  const std::string ois_text = c.run(0x1212, ois(9, 200, 200)).details;
  EXPECT_NE(ois_text.find("\n7\t70\t71\nStart MLC: 4, Num MLCs: 200\nPresent[000]"), std::string::npos);
  EXPECT_NE(ois_text.find("\nPresent[166]"), std::string::npos);
  EXPECT_EQ(ois_text.find("\nPresent[167]"), std::string::npos);
  // The eight pairs are always there; only the first p are shown.
  EXPECT_NE(c.run(0x1212, ois(1, 0, 0)).details.find("Bin 1\t\n0\t0\t1\nStart MLC"), std::string::npos);
  c.run(0x1215, bound(12, 12));
  EXPECT_EQ(c.st.sink.of("ATTR_ID_MFLO_FlowId").size(), 8u);
  EXPECT_NE(c.msg.details.find("Bound flow count: 12,"), std::string::npos);
  EXPECT_EQ(std::count(c.msg.details.begin(), c.msg.details.end(), '\n'), 4 + 1 + 8);
}

TEST_F(Mediaflo, RssiSignComesFromTheSignByteOrANegativeIntegerPart) {
  struct Case {
    std::int32_t integer, hundredths;
    std::uint32_t sign;
    const char* text;
  };
  for (const Case& k : {Case{87, 25, 0, "-87.25"}, Case{87, 25, 1, "87.25"}, Case{-87, 25, 0, "-87.25"},
                        Case{-87, 25, 1, "-87.25"}, Case{0, 0, 0, "0.00"}}) {
    EXPECT_EQ(c.run(0x11F5, rssi(k.integer, k.hundredths, k.sign)).details,
              std::string("Interrupt type: OIS Decoded (1), Rssi: ") + k.text + " dBm")
        << k.integer << " " << k.sign;
  }
}

TEST_F(Mediaflo, ErasureRatesArePerGoodBlockAndAbsentWithoutGoodOnes) {
  struct Case {
    std::uint32_t good, erased;
    std::optional<double> rate;
  };
  for (const Case& k : {Case{200, 50, 25.0}, Case{0, 50, std::nullopt}, Case{0, 0, std::nullopt},
                        Case{0xFFFFFFFF, 0xFFFFFFFF, 100.0}}) {
    c.run(0x1213, post_rs({k.good, k.erased, 0, 0, 0, 0, 0, 0}));
    const auto rates = c.st.sink.of("ATTR_ID_MFLO_BaseLayer_PLP_ErasureRate");
    ASSERT_EQ(rates.size(), k.rate ? 1u : 0u) << k.good << "/" << k.erased;
    if (k.rate) {
      EXPECT_DOUBLE_EQ(rates[0].value, *k.rate);
    }
    EXPECT_TRUE(c.st.sink.of("ATTR_ID_MFLO_EnhancedLayer_PLP_ErasureRate").empty());
  }
}

}  // namespace
}  // namespace cdmadiag::test
