// The DIAG command responses decoded directly: titles and detail texts byte for
// byte, and every shorter payload replayed without a read past its end.
#include <gtest/gtest.h>

#include "framework/failure_texts.h"
#include "host/format_groups.h"
#include "support/decoder_case.h"

using cdmadiag::test::Bytes;
using cdmadiag::test::DecoderCase;
using F = COrbDecodeMsgCDMAQualcommFrame;

namespace {

struct Case {
  const char* name;
  cdmadiag::Decoder1x decoder;
  Bytes bytes;
  const char* title;
  const char* details;
};

// Compile and release date and time, a directory text a NUL ends early, SCM, CAI revision, model,
// firmware revision, slot cycle index, MSM version.
Bytes version_number() {
  Bytes b = Bytes{}.text("Jan 01 200512:34:56Feb 02 200501:02:03", false).text(std::string("VER\0DIR1", 8), false);
  return b.u8(0x3A).u8(6).u8(34).u16(258).u8(2).u16(4660);
}

// ESN, IMSI_S1, IMSI_S2, IMSI_S, IMSI_11_12, MCC, address number, SID, NID, three P_REVs, band class (PCS),
// channel, operation mode, MC state and sub-state.
Bytes status_snapshot() {
  Bytes b = Bytes{}.u32(305419896).u32(1234567).u16(858).u64(4294967296u).u8(0).u16(310).u8(0);
  return b.u16(4139).u16(1).u8(6).u8(6).u8(6).u8(1).u16(25).u8(4).u8(3).u8(2);
}

const Case kCases[] = {
    {"VersionNumber", &F::DecodeVersionNumberResponse, version_number(), "Version Number Response",
     "\nCOMP_DATE: Jan 01 2005\nCOMP_TIME: 12:34:56\nREL_DATE: Feb 02 2005\nREL_TIME: 01:02:03\nVER_DIR: VER\nSCM: "
     "0x3a, MOB_CAI_REV: 6, MOB_MODEL: 34, MOB_FIRM_REV: 258, SLOT_CYCLE_INDEX: 2, MSM_VER: 4660"},
    {"LoggingMask", &F::DecodeLoggingMaskResponse, Bytes{}, "Logging Mask Response", ""},
    {"TempAnalyzerParam", &F::DecodeTempAnalyzerParamResponse, Bytes{}, "Temporal Analyzer Parameters Response", ""},
    {"BadCommandThreeBytes", &F::DecodeBadCommandResponse, Bytes{0x4B, 0x0A, 0xFF}, "Bad Command",
     "\nData (hex): 4b 0a ff "},
    {"DiagVersion", &F::DecodeDiagVersionResponse, Bytes{}.u16(8), "Diag Version Response", "\nDIAG_VERSION: 8"},
    // 800 units of 1.25 ms is one second; the low 16 bits count 1/32 chips.
    {"TimeStampOneSecond", &F::DecodeTimeStampResponse, Bytes{}.u64((800ull << 16) | 0x10), "Time Stamp Response",
     "\nTime Stamp: 0x3200010, 1.25ms Counter: 800, 1/32 Chip Counter: 16,\nCDMA System Time Stamp: 1980-01-06 "
     "00:00:01.000"},
    {"NvItemRead", &F::DecodeNonvolatileItemReadResponse, Bytes{}.u16(71).zeros(128).u16(5),
     "Nonvolatile Item Read Response", "\nNV_ITEM: 71, STATUS: 5"},
    {"DipSwitch", &F::DecodeDipSwitchSetResponse, Bytes{}.u16(0xBEEF), "DIP Switch Set Response", "\nSWITCHES: 0xBEEF"},
    {"PhoneState", &F::DecodePhoneStateResponse, Bytes{}.u8(2).u16(17), "Phone State Response",
     "\nPhone State: Idle (0x02), Event Count: 17"},
    {"PhoneStateUnnamed", &F::DecodePhoneStateResponse, Bytes{}.u8(0xC8).u16(0), "Phone State Response",
     "\nPhone State: 200 (0xC8), Event Count: 0"},
    {"EventReport", &F::DecodeEventReportResponse, Bytes{}.u16(300), "Event Report", "LENGTH: 300"},
    {"ExtParamRetr", &F::DecodeExtParamRetrRequestResponse, Bytes{}.u8(0x0A).u16(0x1B).u16(0x2C),
     "Extensible Parameter Retrieval Request/Response", "SUB_CMD: 0a, START_PARM_ID: 1b, END_PARM_ID: 2C"},
    {"LoggingConfig", &F::DecodeLoggingConfigurationResponse, Bytes{0, 0, 0}.u32(3).u32(0).u8(0xAB).u8(0x01),
     "Logging Configuration Response", "\nOperation: Set Log Mask (3), Status: Success (0)\nData (hex): ab 01 "},
    {"LogOnDemand", &F::DecodeLogOnDemandResponse, Bytes{}.u16(0x100F).u8(1), "Log On Demand Response",
     "\nLog Code: Pilot Searcher (0x100F), Status: 1"},
    {"StatusSnapshot", &F::DecodeStatusSnapshotResponse, status_snapshot(), "Status Snapshot Response",
     "\nESN: 305419896, IMSI_S1: 1234567, IMSI_S2: 858, IMSI_S: 4294967296, IMSI_11_12: 0\nMCC: 310, "
     "IMSI_ADDR_NUM: 0, SID: 4139, NID: 1, P_REV: 6, PREV_IN_USE: 6, MOB_P_REV: 6\nBAND_CLASS: 1.8 to 2.0 GHz PCS "
     "(1), Frequency Channel: 25, OPERATION_MODE: IS-2000 CDMA (4), MC_STATE: 3, MC_SUBSTATE: 2"},
    {"ExtBuildId", &F::DecodeExtBuildIdResponse,
     Bytes{}.u8(1).u16(0).u32(0xABCDE123).u32(6100).text("SW-1.0").text("Phone X"), "Extended Build ID Response",
     "\nVersion: 1, MSM Revision: 909603, Mobile Model Number: 6100\nMobile Software Revision: SW-1.0\nMobile "
     "Model: Phone X"},
    // An empty revision text prints no line; the model name starts right after its terminator (offset 12).
    {"ExtBuildIdNoRevision", &F::DecodeExtBuildIdResponse,
     Bytes{}.u8(0).u16(0).u32(0xABCDE123).u32(7).text("").text("M"), "Extended Build ID Response",
     "\nVersion: 0, MSM Revision: 57635, Mobile Model Number: 7\nMobile Model: M"},
    {"ExtBuildIdWholeRevision", &F::DecodeExtBuildIdResponse,
     Bytes{}.u8(2).u16(0).u32(0xABCDE123).u32(7).text("").text(""), "Extended Build ID Response",
     "\nVersion: 2, MSM Revision: 2882396451, Mobile Model Number: 7"},
    {"ExtBuildIdOtherVersion", &F::DecodeExtBuildIdResponse,
     Bytes{}.u8(3).u16(0).u32(0xABCDE123).u32(7).text("").text(""), "Extended Build ID Response",
     "\nVersion: 3, MSM Revision: 0, Mobile Model Number: 7"},
    // Texts without a terminator stop at the payload end; the model name is then empty.
    {"ExtBuildIdUnterminated", &F::DecodeExtBuildIdResponse, Bytes{}.u8(2).u16(0).u32(5).u32(7).text("ABC", false),
     "Extended Build ID Response",
     "\nVersion: 2, MSM Revision: 5, Mobile Model Number: 7\nMobile Software Revision: ABC"},
};

class Responses : public testing::TestWithParam<Case> {};

}  // namespace

TEST_P(Responses, TitleAndDetailsByteForByte) {
  const Case& c = GetParam();
  DecoderCase d;
  d.call(c.decoder, c.bytes);
  EXPECT_EQ(d.msg.title, c.title);
  EXPECT_EQ(d.msg.details, c.details);
  EXPECT_FALSE(d.msg.notDecoded);
  DecoderCase quiet;
  quiet.title_wanted = quiet.details_wanted = false;
  quiet.call(c.decoder, c.bytes);
  EXPECT_EQ(quiet.msg.title + quiet.msg.details, "");
}

// Every shorter payload: no read past the end, and the title still set.
TEST_P(Responses, TruncatedPayloadsNeverReadPastTheEnd) {
  cdmadiag::test::sweep_truncations(GetParam().decoder, GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Diag, Responses, testing::ValuesIn(kCases),
                         [](const testing::TestParamInfo<Case>& i) { return std::string(i.param.name); });

// The fixed layouts answer a short payload with the failure text, as a host calling
// them without the dispatcher's length bounds would see.
TEST(ResponsesShort, FixedLayoutsShowTheFailureTextAndBadCommandOnlyItsBytes) {
  DecoderCase d;
  EXPECT_EQ(d.call(&F::DecodeVersionNumberResponse, version_number().prefix(53)).details,
            cdmadiag::kNotQualcommStandard);
  EXPECT_EQ(d.call(&F::DecodeBadCommandResponse, Bytes{}).details, "\nData (hex): ");
}

TEST(StatusSnapshot, WritesIdentityAndChannelUnlessReadOnly) {
  DecoderCase d;
  d.call(&F::DecodeStatusSnapshotResponse, status_snapshot());
  EXPECT_EQ(d.writes(), "ESN ULong[0] 305419896\nSID UShort[0] 4139\nNID UShort[0] 1\nCUR_CHANNEL UShort[0] 25\n");
  DecoderCase ro;
  ro.read_only = true;
  EXPECT_EQ(ro.call(&F::DecodeStatusSnapshotResponse, status_snapshot()).details, d.msg.details);
  EXPECT_EQ(ro.writes(), "");
}

// Every format group is registered at load: decoding changes none of the process-wide
// groups that other decoding threads read (the log-code names included).
TEST(ResponsesLogOnDemand, NamesLogCodesFromGroupsRegisteredAtLoad) {
  const std::size_t groups = GetFormatGroupManager()->size();
  DecoderCase c;
  EXPECT_NE(c.run(0, Bytes{0x78}.u16(0x100F).u8(1), true).details.find("Pilot Searcher"), std::string::npos);
  EXPECT_EQ(GetFormatGroupManager()->size(), groups);
}
