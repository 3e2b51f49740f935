// Frame types and vocoder rates of the 1x traffic channel: the reverse multiplex
// category counts, the vocoder rate of one frame, the per-frame rates and types of the
// forward and reverse dedicated channels with their counters and error rates, and the
// dedicated channel frame information.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "cdma1x/frame_stats.h"
#include "cdma1x/radio_config.h"
#include "framework/attributes.h"
#include "framework/decoder_1x.h"
#include "framework/payload_cursor.h"
#include "framework/text.h"
#include "framework/value_names.h"

namespace {

using cdmadiag::appendf;
using cdmadiag::AttrWriter;
using cdmadiag::bits;
using cdmadiag::Cursor;
using cdmadiag::FrameCounters;
using cdmadiag::Link;
using cdmadiag::name_or;
using F = COrbDecodeMsgCDMAQualcommFrame;

// ---- Reverse link frame types (0x1003) ----
// Payload (100 bytes): one reverse multiplex category (1-101) per frame; other values ignored.
constexpr std::size_t kMuxFrames = 100;
constexpr std::size_t kMuxCategories = 102;
constexpr std::array<const char*, kMuxCategories> kMuxCategoryNames = {
    "Reserved",                                                                                              // 0
    "9600 bps frame, primary traffic or null Traffic Channel data only",                                     // 1
    "9600 bps frame, dim-and-burst with Rate 1/2 primary and signaling traffic",                             // 2
    "9600 bps frame, dim-and-burst with Rate 1/4 primary and signaling traffic",                             // 3
    "9600 bps frame, dim-and-burst with Rate 1/8 primary and signaling traffic",                             // 4
    "9600 bps frame, blank-and-burst with signaling traffic only",                                           // 5
    "4800 bps frame, primary traffic or null Traffic Channel data only",                                     // 6
    "2400 bps frame, primary traffic or null Traffic Channel data only",                                     // 7
    "1200 bps frame, primary traffic or null Traffic Channel data only",                                     // 8
    "Reserved",                                                                                              // 9
    "Reserved",                                                                                              // 10
    "9600 bps frame, dim-and-burst with Rate 1/2 primary and secondary traffic",                             // 11
    "9600 bps frame, dim-and-burst with Rate 1/4 primary and secondary traffic",                             // 12
    "9600 bps frame, dim-and-burst with Rate 1/8 primary and secondary traffic",                             // 13
    "9600 bps frame, blank-and-burst with secondary traffic only",                                           // 14
    "9600 bps frame, primary traffic or null Traffic Channel data only",                                     // 15
    "9600 bps frame, dim-and-burst with Rate 1/2 primary and signaling traffic",                             // 16
    "9600 bps frame, dim-and-burst with Rate 1/4 primary and signaling traffic",                             // 17
    "9600 bps frame, dim-and-burst with Rate 1/8 primary and signaling traffic",                             // 18
    "9600 bps frame, blank-and-burst with signaling traffic only",                                           // 19
    "4800 bps frame, primary traffic or null Traffic Channel data only",                                     // 20
    "2400 bps frame, primary traffic or null Traffic Channel data only",                                     // 21
    "1200 bps frame, primary traffic or null Traffic Channel data only",                                     // 22
    "9600 bps frame with bit errors",                                                                        // 23
    "Frame quality insufficient to decide upon rate",                                                        // 24
    "9600 bps frame, dim-and-burst with Rate 1/2 primary and secondary traffic",                             // 25
    "9600 bps frame, dim-and-burst with Rate 1/4 primary and secondary traffic",                             // 26
    "9600 bps frame, dim-and-burst with Rate 1/8 primary and secondary traffic",                             // 27
    "9600 bps frame, blank-and-burst with secondary traffic only",                                           // 28
    "Number of Paging Channel messages the personal station attempted to receive",                           // 29
    "Number of Paging Channel messages the personal station received where the CRC did not check",           // 30
    "Number of Paging Channel messages or records the personal station received that were addressed to it",  // 31
    "Number of Paging Channel half frames received by the personal station",                                 // 32
    "Number of Paging Channel half frames that contain any part of a message with a CRC that checks",        // 33
    "Number of times that the personal station declared a loss of the Paging Channel",                       // 34
    "Number of personal station idle handoffs",                                                              // 35
    "Number of messages requiring acknowledgement that were transmitted at least once on the Reverse Traffic "
    "Channel",  // 36
    "Number of messages requiring acknowledgement that were transmitted at least twice on the Reverse Traffic "
    "Channel",  // 37
    "Number of messages requiring acknowledgement that were transmitted at least three times on the Reverse "
    "Traffic Channel",  // 38
    "Number of times that the personal station aborted a call as a result of the timeout expiring after the N1m "
    "transmission of a message requiring acknowledgement",                                                 // 39
    "Number of times a message not requiring an acknowledgement was sent on the Reverse Traffic Channel",  // 40
    "The SYS_TIME field from the most recently received Sync Channel Message",                             // 41
    "Number of Access Channel request messages generated by layer 3",                                      // 42
    "Number of Access Channel response messages generated by layer 3",                                     // 43
    "Number of times that an access probe was transmitted at least twice",                                 // 44
    "Number of times that an access probe was transmitted at least three times",                           // 45
    "Number of times that an access probe was transmitted at least four times",                            // 46
    "Number of times that an access probe was transmitted at least five times",                            // 47
    "Number of times that an access probe was transmitted at least six times",                             // 48
    "Number of unsuccessful access attempts",                                                              // 49
    "14400 bps frame, primary traffic or null Traffic Channel data only",                                  // 50
    "14400 bps frame, dim-and-burst with Rate 1/2 primary and signaling traffic",                          // 51
    "14400 bps frame, dim-and-burst with Rate 1/4 primary and signaling traffic",                          // 52
    "14400 bps frame, dim-and-burst with Rate 1/8 primary and signaling traffic",                          // 53
    "14400 bps frame, blank-and-burst with signaling traffic only",                                        // 54
    "14400 bps frame, dim-and-burst with Rate 1/2 primary and secondary traffic",                          // 55
    "14400 bps frame, dim-and-burst with Rate 1/4 primary and secondary traffic",                          // 56
    "14400 bps frame, dim-and-burst with Rate 1/8 primary and secondary traffic",                          // 57
    "14400 bps frame, blank-and-burst with secondary traffic only",                                        // 58
    "14400 bps frame, dim-and-burst with Rate 1/8 primary, secondary traffic, and signaling traffic",      // 59
    "7200 bps frame, primary traffic or null Traffic Channel data only",                                   // 60
    "7200 bps frame, dim-and-burst with Rate 1/4 primary and signaling traffic",                           // 61
    "7200 bps frame, dim-and-burst with Rate 1/8 primary and signaling traffic",                           // 62
    "7200 bps frame, blank-and-burst with signaling traffic only",                                         // 63
    "7200 bps frame, dim-and-burst with Rate 1/4 primary and secondary traffic",                           // 64
    "7200 bps frame, dim-and-burst with Rate 1/8 primary and secondary traffic",                           // 65
    "7200 bps frame, blank-and-burst with secondary traffic only",                                         // 66
    "7200 bps frame, dim-and-burst with Rate 1/8 primary, secondary traffic, and signaling traffic",       // 67
    "3600 bps frame, primary traffic or null Traffic Channel data only",                                   // 68
    "3600 bps frame, dim-and-burst with Rate 1/8 primary and signaling traffic",                           // 69
    "3600 bps frame, blank-and-burst with signaling traffic only",                                         // 70
    "3600 bps frame, dim-and-burst with Rate 1/8 primary and secondary traffic",                           // 71
    "3600 bps frame, blank-and-burst with secondary traffic only",                                         // 72
    "1800 bps frame, primary traffic or null Traffic Channel data only",                                   // 73
    "1800 bps frame, blank-and-burst with secondary traffic only",                                         // 74
    "Reserved",                                                                                            // 75
    "14400 bps frame, primary traffic or null Traffic Channel data only",                                  // 76
    "14400 bps frame, dim-and-burst with Rate 1/2 primary and signaling traffic",                          // 77
    "14400 bps frame, dim-and-burst with Rate 1/4 primary and signaling traffic",                          // 78
    "14400 bps frame, dim-and-burst with Rate 1/8 primary and signaling traffic",                          // 79
    "14400 bps frame, blank-and-burst with signaling traffic only",                                        // 80
    "14400 bps frame, dim-and-burst with Rate 1/2 primary and secondary traffic",                          // 81
    "14400 bps frame, dim-and-burst with Rate 1/4 primary and secondary traffic",                          // 82
    "14400 bps frame, dim-and-burst with Rate 1/8 primary and secondary traffic",                          // 83
    "14400 bps frame, blank-and-burst with secondary traffic only",                                        // 84
    "14400 bps frame, dim-and-burst with Rate 1/8 primary, secondary traffic, and signaling traffic",      // 85
    "7200 bps frame, primary traffic or null Traffic Channel data only",                                   // 86
    "7200 bps frame, dim-and-burst with Rate 1/4 primary and signaling traffic",                           // 87
    "7200 bps frame, dim-and-burst with Rate 1/8 primary and signaling traffic",                           // 88
    "7200 bps frame, blank-and-burst with signaling traffic only",                                         // 89
    "7200 bps frame, dim-and-burst with Rate 1/4 primary and secondary traffic",                           // 90
    "7200 bps frame, dim-and-burst with Rate 1/8 primary and secondary traffic",                           // 91
    "7200 bps frame, blank-and-burst with secondary traffic only",                                         // 92
    "7200 bps frame, dim-and-burst with Rate 1/8 primary, secondary traffic, and signaling traffic",       // 93
    "3600 bps frame, primary traffic or null Traffic Channel data only",                                   // 94
    "3600 bps frame, dim-and-burst with Rate 1/8 primary and signaling traffic",                           // 95
    "3600 bps frame, blank-and-burst with signaling traffic only",                                         // 96
    "3600 bps frame, dim-and-burst with Rate 1/8 primary and secondary traffic",                           // 97
    "3600 bps frame, blank-and-burst with secondary traffic only",                                         // 98
    "1800 bps frame, primary traffic or null Traffic Channel data only",                                   // 99
    "1800 bps frame, blank-and-burst with secondary traffic only",                                         // 100
    "Frame with insufficient frame quality",                                                               // 101
};

// ---- Vocoder packets (0x1009, 0x100A) ----
// Payload (37 bytes):
//  +off  type  name        unit
//   +0   36    vocoder data, not shown
//  +36   u8    rate        0 blank, 1 1/8 .. 4 full
constexpr std::size_t kVocoderData = 36;
constexpr std::array<ValueName, 5> kVocoderRateNames{{{0, "Blank Vocoder data"},
                                                      {1, "1/8 data rate"},
                                                      {2, "1/4 data rate"},
                                                      {3, "1/2 data rate"},
                                                      {4, "Full date Rate"}}};
constexpr const char* kVocoderRateUnknown = "Unknown data rate";

// ---- Forward and reverse link frame type (0x1029, 0x102A) ----
// Header (6 bytes):
//  +off  type  name            unit
//   +0   u8    frame offset    1.25 ms
//   +1   u16   bits 0-11 service option
//   +3   u8    RC nibbles, low first: FCH, SCH0 (forward or reverse table)
//   +4   u8    RC nibbles, low first: SCH1, DCCH
//   +5   u8    number of records
// Record (4 bytes, then its frames):
//   +0   u8    bit 0 FCH active, bit 1 SCH0 active, bits 4-6 F-SCCH count (forward only)
//   +1   u16   frame count
//   +3   u8    length in bytes per frame
// Frame, fields in this order, each present only when its channel is:
//        u8    FCH: low nibble frame type code, high nibble rate code
//        u8    SCH0 rate code
//        u8    F-SCCH4..1 rates, 2 bits each from the low bits (forward, count > 0)
//        u8    reserved, F-SCCH7..5 rates (forward, count > 4)
// A frame takes its declared length; a length shorter than its fields (0 included) would
// make frames overlap, so such frames take the bytes their fields need instead.
constexpr std::uint16_t kServiceOptionMask = 0x0FFF;
constexpr unsigned kFlagFch = 0x01;
constexpr unsigned kFlagSch0 = 0x02;
constexpr unsigned kScchLsb = 4;
constexpr unsigned kScchWidth = 3;
constexpr unsigned kScchsInFirstByte = 4;
constexpr unsigned kScchRateBits = 2;

constexpr const char* kRecordHeading = "\t\t\t\t--------------- Record %d ---------------";
// Where the packet ends before what its counts announce.
constexpr const char* kRecordCut = "\nPacket ends inside record %d\n";
constexpr const char* kFramesCut = "\nPacket ends after %u of %u frames\n";

struct FchFrame {
  unsigned type;
  unsigned rate;
};

// The FCH byte: the type code in the low nibble, the rate in the high one.
FchFrame fch_frame(std::uint8_t b) {
  return {static_cast<unsigned>(bits(b, 0, 4)), static_cast<unsigned>(bits(b, 4, 4))};
}

// Bytes one frame's fields take.
std::size_t frame_fields_size(unsigned flags, unsigned scchs) {
  return ((flags & kFlagFch) != 0 ? 1u : 0u) + ((flags & kFlagSch0) != 0 ? 1u : 0u) + (scchs > 0 ? 1u : 0u) +
         (scchs > kScchsInFirstByte ? 1u : 0u);
}

// Frame error rate in percent, or nothing over zero frames.
struct Fer {
  double percent = 0.0;
  bool any = false;
};
Fer fch_fer(const FrameCounters& c) {
  std::int64_t all = 0;
  for (std::int32_t n : c.fch[cdmadiag::kFchPayloadOnly]) all += n;
  return {cdmadiag::FchFerPercent(c), all != 0};
}
Fer sch_fer(const std::array<std::int32_t, cdmadiag::kSchRates>& sch) {
  using cdmadiag::kSchBlank, cdmadiag::kSchErasure, cdmadiag::kSchFullRate;
  return {cdmadiag::SchFerPercent(sch), sch[kSchFullRate] + sch[kSchBlank] + sch[kSchErasure] != 0};
}

// The forward F-SCCH rates of one frame, F-SCCH 1 first: 2 bits each from the low bits,
// F-SCCH4..1 in the first byte, then (more than four) reserved and F-SCCH7..5 in the second.
std::array<unsigned, cdmadiag::kForwardScchs> read_scch_rates(Cursor& c, unsigned scchs) {
  std::array<unsigned, cdmadiag::kForwardScchs> rates{};
  const std::uint8_t first = c.u8();
  for (unsigned i = 0; i < kScchsInFirstByte; ++i) {
    rates[kScchsInFirstByte - 1 - i] = static_cast<unsigned>(bits(first, kScchRateBits * i, kScchRateBits));
  }
  if (scchs > kScchsInFirstByte) {
    const std::uint8_t second = c.u8();
    for (unsigned i = 1; i < kScchsInFirstByte; ++i) {
      rates[cdmadiag::kForwardScchs - i] = static_cast<unsigned>(bits(second, kScchRateBits * i, kScchRateBits));
    }
  }
  return rates;
}

// ---- FDCH / RDCH frame information (0x10C0, 0x10C1) ----
// Payload:
//  +off  type  name
//   +0   u8    frame offset
//   +1   u8    number of subrecords (the first 3 shown)
// Subrecord:
//   +0   u8    bits 4-7 SCCH count, bit 3 SCH0, bit 2 DCCH, bit 1 FCH, bit 0 R-PICH control hold
//   +1   u8    frame count
//   +2   u8    FCH radio configuration
//   +3   u8    FCH gating (reverse only)
//   then one byte per frame
constexpr std::size_t kDchShownSubrecords = 3;
constexpr std::uint32_t kRdchCode = 0x10C1;
constexpr unsigned kFramesPerLine = 10;

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeRevLinkFrameType(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                            IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRevLinkFrameType);
  Cursor c(payload());
  if (!job.require(c, kMuxFrames)) return;
  // At most 100 frames a packet, so 8 bits hold any count.
  std::array<std::uint8_t, kMuxCategories> counts{};
  for (std::size_t i = 0; i < kMuxFrames; ++i) {
    const std::uint8_t category = c.u8();
    if (category >= 1 && category < kMuxCategories) ++counts[category];
  }
  const AttrWriter w(ds);
  for (std::size_t i = 0; i < kMuxCategories; ++i)
    w.Byte(ATTR_ID_REV_MUX_STATS, counts[i], static_cast<std::uint32_t>(i));
  if (!msg.detailsWanted) return;
  std::string& d = msg.details;
  for (std::size_t i = 0; i < kMuxCategories; ++i) {
    if (counts[i] != 0) appendf(d, "\n%s frame count: %d", kMuxCategoryNames[i], static_cast<int>(counts[i]));
  }
  d += "\n";
}

namespace {

void decode_vocoder(Cursor c, IOrbDataState* ds, COrbExpandedMessage& msg, const cdmadiag::Decoding& job,
                    std::uint32_t id) {
  c.skip(kVocoderData);
  const std::uint8_t rate = c.u8();
  if (!job.check(c)) return;
  AttrWriter(ds).Byte(id, rate);
  if (msg.detailsWanted) appendf(msg.details, "\n%s\n", name_or(kVocoderRateNames, rate, kVocoderRateUnknown));
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeForLinkVocoderPacket(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeForLinkVocoderPacket);
  decode_vocoder(Cursor(payload()), ds, msg, job, ATTR_ID_FOR_VOC_RATE);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeRevLinkVocoderPacket(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeRevLinkVocoderPacket);
  decode_vocoder(Cursor(payload()), ds, msg, job, ATTR_ID_REV_VOC_RATE);
}

namespace {

// The records of a forward or reverse frame type packet from the cursor: counts every
// frame, writes each record's FCH activity and, with d, appends the record and frame
// texts. Forward records run to the end of the packet, reverse ones as many as the
// header counts; both stop where the packet does, and fail saying where.
FrameCounters walk_records(Cursor in, unsigned records, Link link, const AttrWriter& w, std::string* d,
                           const cdmadiag::Decoding& job) {
  using cdmadiag::kFchRateNames, cdmadiag::kFchTypeNames, cdmadiag::kInvalidFrame;
  const bool forward = link == Link::kForward;
  FrameCounters c;
  for (unsigned k = 0; forward ? in.left() > 0 : k < records; ++k) {
    const unsigned flags = in.u8();
    const unsigned frames = in.u16le();
    const unsigned length = in.u8();
    if (!in.ok()) {
      job.fail(cdmadiag::formatf(kRecordCut, static_cast<int>(k + 1)).c_str());
      return c;
    }
    const bool fch = (flags & kFlagFch) != 0;
    const bool sch0 = (flags & kFlagSch0) != 0;
    const unsigned scchs = forward ? static_cast<unsigned>(cdmadiag::bits(flags, kScchLsb, kScchWidth)) : 0;
    w.Long(forward ? ATTR_ID_For_FCH_Is_Active : ATTR_ID_Rev_FCH_Is_Active, fch ? 1 : 0);
    if (d != nullptr) {
      appendf(*d, kRecordHeading, static_cast<int>(k + 1));
      if (forward) {
        cdmadiag::AppendChannelSetMask(*d, link, {fch, sch0, false, false, static_cast<int>(scchs)}, cdmadiag::kRule55);
        appendf(*d, "Frame Count: %u, Length(in bytes) per frame: %u, NUM_F_SCCH: %u", frames, length, scchs);
      } else {
        cdmadiag::AppendChannelSetMask(*d, link, {fch, sch0, false, false, std::nullopt}, "");
        appendf(*d, ", Frame Count: %u, Length(in bytes) per frame: %u", frames, length);
      }
    }
    const std::size_t fields = frame_fields_size(flags, scchs);
    const std::size_t stride = length < fields ? fields : length;
    // Frames of no bytes show and count nothing; walking 65535 of them per record would
    // only cost time.
    const unsigned walked = stride == 0 ? 0 : frames;
    for (unsigned f = 0; f < walked; ++f) {
      // A frame needs its fields whole; the bytes its length adds past them may be cut
      // from the last one.
      Cursor frame = in;
      const std::uint8_t fch_byte = fch ? frame.u8() : 0;
      const std::uint8_t sch0_rate = sch0 ? frame.u8() : 0;
      const auto scch_rates =
          scchs > 0 ? read_scch_rates(frame, scchs) : std::array<unsigned, cdmadiag::kForwardScchs>{};
      if (!frame.ok()) {
        job.fail(cdmadiag::formatf(kFramesCut, f, frames).c_str());
        return c;
      }
      in.skip(stride);
      if (fch) {
        const FchFrame v = fch_frame(fch_byte);
        c.CountFch(v.type, v.rate);
        if (d != nullptr) {
          const char* rate = name_or(kFchRateNames, v.rate, kInvalidFrame);
          const char* type = name_or(kFchTypeNames, v.type, kInvalidFrame);
          if (forward) {
            appendf(*d, "\nFCH Frame rate: %s, Frame Type: %s", rate, type);
          } else {
            appendf(*d, "\nFCH Frame Type: %s, Frame rate: %s", type, rate);
          }
        }
      }
      if (sch0) {
        const std::uint8_t rate = sch0_rate;
        FrameCounters::CountSch(c.sch0, rate, c.invalid);
        if (d != nullptr) {
          const auto& names = forward ? cdmadiag::kForwardSchRateNames : cdmadiag::kReverseSchRateNames;
          appendf(*d, forward ? "\nSCH0 Frame Rate: %s" : "\nSCH0 Frame Type: %s", name_or(names, rate, kInvalidFrame));
        }
      }
      for (unsigned s = 0; s < scchs; ++s) {
        ++c.scch[s][scch_rates[s]];
        if (d != nullptr) {
          appendf(*d, "\nF-SCCH_%u Rate: %s", s + 1,
                  name_or(cdmadiag::kReverseSchRateNames, scch_rates[s], kInvalidFrame));
        }
      }
    }
    if (d != nullptr) *d += "\n";
  }
  return c;
}

struct FrameTypeHeader {
  std::uint8_t frame_offset;
  unsigned service_option;
  std::uint8_t rc1, rc2;  // radio configuration nibbles, low first: FCH, SCH0; SCH1, DCCH
  std::uint8_t records;
};
FrameTypeHeader read_frame_type_header(Cursor& c) {
  FrameTypeHeader h{};
  h.frame_offset = c.u8();
  h.service_option = c.u16le() & kServiceOptionMask;
  h.rc1 = c.u8();
  h.rc2 = c.u8();
  h.records = c.u8();
  return h;
}

// Header fields and text shared by both directions.
void frame_type_header(const FrameTypeHeader& h, Link link, const AttrWriter& w, std::string* d) {
  w.Long(ATTR_ID_CDMA_ServiceOption, static_cast<std::int32_t>(h.service_option));
  if (d == nullptr) return;
  appendf(*d, "Frame offset: %u, Service option: %u, ", unsigned{h.frame_offset}, h.service_option);
  cdmadiag::AppendRadioConfigs(*d, link, cdmadiag::RadioConfigsOfNibbles(h.rc1, h.rc2),
                               link == Link::kForward ? cdmadiag::kRule61 : "");
  appendf(*d, "Number of subrecords: %d\n", int{h.records});
}

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::DecodeForwardLinkFrameType(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeForwardLinkFrameType);
  Cursor in(payload());
  const FrameTypeHeader h = read_frame_type_header(in);
  if (!job.check(in)) return;
  const AttrWriter w(ds);
  std::string* d = msg.detailsWanted ? &msg.details : nullptr;
  frame_type_header(h, Link::kForward, w, d);
  const FrameCounters c = walk_records(in, h.records, Link::kForward, w, d, job);
  if (w.on()) SetFrameAttributes(ds, c.fch, c.sch0, c.sch1, c.dcch_rate, c.scch, true);
  // An error rate over no frames is no measurement: shown as 0, never written.
  const std::array<Fer, 3> fers = {fch_fer(c), sch_fer(c.sch0), sch_fer(c.sch1)};
  const std::array<std::uint32_t, 3> ids = {ATTR_ID_ForwardFER_FCH, ATTR_ID_ForwardFER_SCH0, ATTR_ID_ForwardFER_SCH1};
  for (std::size_t i = 0; i < fers.size(); ++i) {
    if (fers[i].any) w.Double(ids[i], fers[i].percent);
  }
  if (d == nullptr) return;
  appendf(*d, "\nForward FER values: \nForwardFER_FCH: %.2f\nForwardFER_SCH0: %.2f\nForwardFER_SCH1: %.2f",
          fers[0].percent, fers[1].percent, fers[2].percent);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeReverseLinkFrameType(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                IDekCellRefs_Search*) {
  const auto job = Begin(msg, &F::DecodeReverseLinkFrameType);
  Cursor in(payload());
  const FrameTypeHeader h = read_frame_type_header(in);
  if (!job.check(in)) return;
  const AttrWriter w(ds);
  std::string* d = msg.detailsWanted ? &msg.details : nullptr;
  frame_type_header(h, Link::kReverse, w, d);
  const FrameCounters c = walk_records(in, h.records, Link::kReverse, w, d, job);
  if (w.on()) SetFrameAttributes(ds, c.fch, c.sch0, c.sch1, c.dcch_rate, c.scch, false);
}

void COrbDecodeMsgCDMAQualcommFrame::DecodeFDCH_or_RDCHFrameInfo(IOrbDataState*, COrbExpandedMessage& msg,
                                                                 IDekCellRefs_Search*) {
  // The dispatcher sets the title of each direction; the text is all there is, and it
  // stops where the packet does.
  Cursor c(payload());
  const std::uint8_t frame_offset = c.u8();
  const unsigned subrecords = c.u8();
  if (!c.ok() || !msg.detailsWanted) return;
  const bool reverse = GetMessageCode() == kRdchCode;
  const char* assigned = reverse ? " assigned" : "";
  std::string& d = msg.details;
  appendf(d, "Frame Offset: %d, \t Number of Subrecords: %d\n", int{frame_offset}, static_cast<int>(subrecords));
  for (unsigned s = 0; s < subrecords && s < kDchShownSubrecords; ++s) {
    const unsigned flags = c.u8();
    if (!c.ok()) return;
    appendf(d, "\nSubrecord %d:\n", static_cast<int>(s));
    // The count is the high nibble's value, not the nibble left in place (which would
    // show 2 channels as 32).
    const auto bit = [flags](unsigned b) { return static_cast<int>((flags >> b) & 1u); };
    appendf(d,
            "\tNumber of SCCH%s: %d,\n\t SCH0%s: %d,\n\t DCCH%s: %d,\n\t FCH%s: %d,\n\t R-PICH control hold mode: %d",
            assigned, static_cast<int>(flags >> 4), assigned, bit(3), assigned, bit(2), assigned, bit(1), bit(0));
    const unsigned frames = c.u8();
    const std::uint8_t fch_rc = c.u8();
    if (!c.ok()) return;
    appendf(d, "\n\tNumber of Frames: %d,\n\t%s: %d,", static_cast<int>(frames), reverse ? "REV_FCH_RC" : "FOR_FCH_RC",
            int{fch_rc});
    if (reverse) {
      const std::uint8_t gating = c.u8();
      if (!c.ok()) return;
      appendf(d, "\n\t FchGating: %d,", int{gating});
    }
    for (unsigned f = 0; f < frames; ++f) {
      const std::uint8_t frame = c.u8();
      if (!c.ok()) return;
      if (f % kFramesPerLine == 0) d += "\n\t";
      appendf(d, "[% 3d]: % 2d, ", static_cast<int>(f), int{frame});
    }
  }
}
