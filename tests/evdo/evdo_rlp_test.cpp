// 1xEV RLP statistics, partial RLP logs and enhanced multi-flow RLP (0x1070, 0x1082, 0x1083, 0x128C-0x128F).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/failure_texts.h"
#include "support/decoder_case.h"

namespace cdmadiag::test {
namespace {

constexpr std::uint32_t kStats = 0x1070, kRxPartial = 0x1082, kTxPartial = 0x1083, kFwd = 0x128C, kRev = 0x128D,
                        kRxPkts = 0x128E, kTxPkts = 0x128F;
// 2026-05-12 15:20:00 UTC in 1.25 ms units since 1980-01-06; 800 units a second.
constexpr std::uint64_t kReset = 800ull * (1778599200 - 315964800);

Bytes header(std::uint32_t code, std::size_t payload, std::uint64_t ticks) {
  return Bytes{}.u16(static_cast<std::uint32_t>(12 + payload)).u16(code).u16(0xBEEF).u48(ticks);
}
Bytes join(Bytes a, const Bytes& b) {
  for (const std::uint8_t x : b.vec()) a.u8(x);
  return a;
}

// RLP statistics of service sid reset at kReset: counters 1..n in field order, Rx and Tx totals as given.
Bytes stats(std::uint8_t sid, std::uint64_t rx, std::uint64_t tx) {
  Bytes b;
  b.u8(sid).u16(0).u48(kReset).u32(1).u32(2).u64(3).u64(4).u64(5).u64(6).u64(rx);
  return b.u32(7).u32(8).u64(9).u64(10).u64(tx).u32(11).u32(12).u32(13).u32(14).u32(15);
}
Bytes stats_at(double after_reset, std::uint8_t sid, std::uint64_t rx, std::uint64_t tx) {
  return join(header(kStats, 109, kReset + static_cast<std::uint64_t>(after_reset * 800)), stats(sid, rx, tx));
}

// Enhanced MRLP statistics: head (route as given), then u64/u32 fields numbered in order.
Bytes mrlp(bool fwd, std::uint8_t route) {
  Bytes b = Bytes{}.u8(1).u8(2).u8(route).u8(3).u8(4).u8(5).u16(6).u16(0).u48(kReset);
  if (!fwd) b.u32(10);
  for (std::uint64_t v = fwd ? 10 : 11; v < (fwd ? 20u : 21u); ++v) b.u64(v);
  if (fwd) b.u32(20);
  return b.u32(21).u32(22).u32(23).u32(24);
}

// Runs the payload with its log header stored apart, as a host that keeps it would.
const COrbExpandedMessage& run_stored(DecoderCase& c, std::uint32_t code, const Bytes& hdr, const Bytes& payload) {
  COrbDecodeMsgCDMA1xEVDOQualcommFrame f(payload.data(), payload.size(), c.accessor, nullptr);
  c.st.sink.writes.clear();
  c.st.ds.begin_message(++c.number);
  c.msg.reset();
  c.msg.titleWanted = c.msg.detailsWanted = true;
  f.SetMessageCode(code);
  f.SetMessageNumber(c.number);
  f.SetMDMHeaderBytes(hdr.data());
  f.ExpandEVDOQualcommMessage(&c.st.ds, c.msg, nullptr);
  return c.msg;
}

class EvdoRlp : public ::testing::Test {
 protected:
  DecoderCase c;
};

TEST_F(EvdoRlp, StatisticsTextWithTheirOwnHeader) {
  c.run(kStats, stats_at(10, 2, 10000, 5000));
  EXPECT_EQ(c.msg.details,
            "\nStatistics reset time: 2026-05-12 15:20:00.000\nService ID: 2\nNegative Acknowledgement Frames Received: "
            "1\nRetransmitted frames not found: 2\nAN Nak Bytes Requested: 3\nRx Duplicate Frames: 4\nRx Retransmit "
            "Bytes: 5\nRx New Data Bytes: 6\nRx TOTAL BYTES: 10000\nNaks Sent: 7\nAT Nak Bytes Requested: 8\nTx "
            "Retransmit Bytes: 9\nTx New Data Bytes: 10\nTx TOTAL BYTES: 5000\nNak Timeouts or aborts: 11\nTotal "
            "resets(AN or AT): 12\nAT resets requested: 13\nAN Acks Received: 14\nAN resets requested: 15");
}

// Each report's interval rate comes from the previous report of its own service.
TEST_F(EvdoRlp, InstantaneousThroughputFromThePreviousReport) {
  struct Step {
    double at;  // seconds after the reset
    std::uint8_t sid;
    std::uint64_t rx, tx;
    const char* rates;  // Rx cum, Tx cum, Rx inst, Tx inst in kbit/s
  } steps[] = {
      {10, 0, 10000, 5000, "8 4 8 4"},
      {12, 0, 30000, 6000, "20 4 80 4"},
      {13, 1, 90000, 90000, "55.3846 55.3846 55.3846 55.3846"},  // another service: its first report
      {14, 0, 31000, 16000, "17.7143 9.14286 4 40"},
      {14, 0, 32000, 17000, "18.2857 9.71429 18.2857 9.71429"},  // at the previous time: cumulative
      {16, 0, 1000, 17000, "0.5 8.5 0.5 8.5"},  // Rx went down: a reset
      {0, 0, 2000, 18000, ""},  // stamped at its own reset time: no span, no rate
  };
  for (const Step& s : steps) {
    SCOPED_TRACE(s.at);
    c.run(kStats, stats_at(s.at, s.sid, s.rx, s.tx));
    std::string got;
    for (const auto& w : c.st.sink.writes)
      if (w.name.find("_Throughput_") != std::string::npos) got += (got.empty() ? "" : " ") + formatf("%.6g", w.value);
    EXPECT_EQ(got, s.rates);
  }
}

// A stored header and the same header still at the front of the bytes give the same decode.
TEST_F(EvdoRlp, EmbeddedHeaderDecodesAsTheStoredOne) {
  const std::vector<std::pair<std::uint32_t, Bytes>> cases = {{kStats, stats(1, 5000, 6000)},
                                                              {kFwd, mrlp(true, 0)},
                                                              {kRev, mrlp(false, 1)}};
  for (const auto& [code, payload] : cases) {
    SCOPED_TRACE(code);
    const Bytes hdr = header(code, payload.size(), kReset + 8000);
    DecoderCase embedded;
    embedded.run(code, join(hdr, payload));
    run_stored(c, code, hdr, payload);
    EXPECT_EQ(c.msg.details, embedded.msg.details);
    EXPECT_EQ(c.writes(), embedded.writes());
  }
}

TEST_F(EvdoRlp, MultiFlowStatisticsText) {
  c.run(kRev, join(header(kRev, 116, kReset + 4000), mrlp(false, 0)));
  EXPECT_EQ(c.msg.details,
            "Version: 1\nLink flow: 2, Route: A, Flow protocol: 3, Route protocol: 4, Packet stream: 5, Seg. seq.: "
            "6\nReset Time = 2026-05-12 15:20:00.000\nNumber of retransmits not found: 10, Number of bytes request by "
            "the AN NAKs: 11\nNumber of NAK windows the AN sent out: 12\nTx total data: 17 bytes, 18 frames\nTx new "
            "data: 15 bytes, 16 frames\nTx retransmitted data: 13 bytes, 14 frames\nNumber of first Data Unit flag "
            "on: 19\nNumber of last Data Unit flag on: 20\nResets = 21\nAT Reset Request Count = 22\nAN Reset Ack "
            "Count = 23\nAN Reset Request Count = 24");
  EXPECT_EQ(c.writes({"EVDO_RLP_Tx"}), "EVDO_RLP_Tx_Throughput_Cumulative Double[0] 0.0272\n");  // 17 bytes over 5 s
  c.run(kRev, join(header(kRev, 116, kReset), mrlp(false, 'B')));
  EXPECT_NE(c.msg.details.find("Route: B,"), std::string::npos);
  EXPECT_EQ(c.writes({"EVDO_RLP_Tx"}), "");  // reported at its reset time
}

TEST_F(EvdoRlp, PartialRecordsAndTheirLoggedBytes) {
  const std::string rx_head = "\nService Id: 1\nHeader length (length of actual header bytes logged for that sr_id): ";
  struct Case {
    std::uint32_t code;
    Bytes b;
    std::string text, writes;  // per-packet rates, payload bits (received) and sequence (transmitted)
  } cases[] = {
      // H 5; record 1: P 4 so four bytes logged, record 2 follows them directly.
      {kRxPartial,
       Bytes{0x15, 2, 0x83, 0x00, 7, 0x40, 0x12, 0x34, 0xAA, 0x1C, 0x01, 9, 0, 0, 1, 0xBB, 0xCC, 0, 0, 0, 0},
       rx_head + "5\nNumber of packets: 2\nInformation for packet #1\n" + std::string(42, '-') +
           "\n\tPhysical channel rate: 3 (153.6 kbps)\n\tChannel: 0 (Traffic)\n\tPacket length: 4\n\tTimeReference: 7"
           "\n\tStream ID: 1\n\tRLP Sequence number: 0x001234\n\tData payload: aa \nInformation for packet #2\n" +
           std::string(42, '-') +
           "\n\tPhysical channel rate: 12 (2.456 Mbps)\n\tChannel: 1 (Control)\n\tPacket length: 8\n\tTimeReference: "
           "9\n\tStream ID: 0\n\tRLP Sequence number: 0x000001\n\tData payload: bb cc ",
       "EVDO_RXPARTIALRLP_PHYCHANRATE Byte[0] 3\nEVDO_RXPARTIALRLP_DATAPAYLOAD Long[0] 8\n"
       "EVDO_RXPARTIALRLP_PHYCHANRATE Byte[1] 12\nEVDO_RXPARTIALRLP_DATAPAYLOAD Long[1] 16\n"},
      // Shorter than six bytes a packet: no records.
      {kRxPartial, Bytes{0x0D, 2, 0x22, 0, 0, 0, 0, 0, 0, 0, 0}, rx_head + "3\nNumber of packets: 2****Corrupt Message****",
       ""},
      // H 2: two logged bytes stand for the top of the sequence word; rate 6 has no name.
      {kTxPartial, Bytes{0x09, 1, 0x46, 0x00, 3, 0x80, 0x01},
       "\nService Id: 1\nHeader length (length of actual header bytes logged for that sr_id): 2\nNumber of packets: "
       "1\nInformation for packet #1\n" + std::string(42, '-') +
           "\n\tPhysical channel rate: 6 (Undefined)\n\tChannel: 0 (Control)\n\tPacket length: 2\n\tTimeReference: 3"
           "\n\tStream ID: 2\n\tRLP Sequence number: 256\n\tData payload: ",
       "EVDO_TXPARTIALRLP_PHYCHANRATE Byte[0] 6\nEVDO_TXPARTIALRLP_RLPSEQNO ULong[0] 256\n"},
  };
  for (const Case& k : cases) {
    c.run(k.code, k.b);
    EXPECT_EQ(c.msg.details, k.text);
    EXPECT_EQ(c.writes({"EVDO_RXPARTIALRLP_PHY", "EVDO_RXPARTIALRLP_DATA", "EVDO_TXPARTIALRLP_PHY",
                        "EVDO_TXPARTIALRLP_RLP"}),
              k.writes);
  }
}

TEST_F(EvdoRlp, PacketLogTextAndTitles) {
  // Flow 3, sequence code 2 (22 bits), route B, packet stream, octet sequencing; frames of 2 and 0 bytes.
  const Bytes b = Bytes{}.u16(3 | 2 << 11 | 1 << 13 | 1 << 14).u8(9).u8(2).u16(2).u8(5).u8(0xAB).u8(0x01).u16(0).u8(6);
  EXPECT_EQ(c.run(kTxPkts, b).title, "1xEV EnhMRLPTxPkts");
  EXPECT_EQ(c.msg.details,
            "\nLink flow: 3, Route: B, Seq. len.: 22, Stream: packet-based, Sequencing: octet-based, Partial frame "
            "len.: 9 \nLen\tTime\tContent\n2\t5\t\nAB \n01 \n0\t6\t");
  EXPECT_EQ(c.run(kRxPkts, b).title, "1xEV EnhMRLPRxPkts");
}

TEST_F(EvdoRlp, EveryTruncationFailsCleanly) {
  const auto guarded = [](const DecoderCase& k, std::size_t) {
    EXPECT_EQ(k.failures, std::vector<std::string>{kNotQualcommStandard});
  };
  sweep_truncations(kStats, stats(0, 1, 1), [](const COrbExpandedMessage& m, std::size_t) {
    EXPECT_EQ(m.details, kNotQualcommStandard);
  });
  for (const std::uint32_t code : {kRxPartial, kTxPartial}) {
    sweep_truncations(code, Bytes{0x15, 2, 0x83, 0, 7, 0x40, 0x12, 0x34, 0xAA, 0x1C, 0x01, 9, 0, 0, 1, 0xBB, 0xCC},
                      [](const COrbExpandedMessage& m, std::size_t n) {
                        if (n < 2) EXPECT_EQ(m.details, kNotQualcommStandard);
                        else EXPECT_NE(m.details.find("****Corrupt Message****"), std::string::npos);
                      });
  }
  sweep_truncations(kFwd, join(header(kFwd, 116, kReset), mrlp(true, 0)), guarded);
  sweep_truncations(kRev, join(header(kRev, 116, kReset), mrlp(false, 0)), guarded);
  sweep_truncations(kRxPkts, Bytes{}.u16(0).u8(0).u8(1).u16(2).u8(0).u8(1).u8(2), guarded);
}

}  // namespace
}  // namespace cdmadiag::test
