#include <array>
#include <stdexcept>

#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "framework/failure_texts.h"
#include "framework/packet_header.h"
#include "framework/payload_reader.h"

// Copies and assignments are member-wise: the settings member keeps the accessor's
// reference count right, the base copies the packet.

// ---- 1x ----

COrbDecodeMsgCDMAQualcommFrame::COrbDecodeMsgCDMAQualcommFrame(IProObjectPropertiesConnectedAccessor* accessor)
    : settings_(accessor) {}

COrbDecodeMsgCDMAQualcommFrame::COrbDecodeMsgCDMAQualcommFrame(const std::uint8_t* bytes, std::uint32_t count,
                                                               IProObjectPropertiesConnectedAccessor* accessor)
    : COrbGenericHsMessage(bytes, count, 0), settings_(accessor) {}

COrbDecodeMsgCDMAQualcommFrame::COrbDecodeMsgCDMAQualcommFrame(const COrbDecodeMsgCDMAQualcommFrame& other) = default;

COrbDecodeMsgCDMAQualcommFrame& COrbDecodeMsgCDMAQualcommFrame::operator=(const COrbDecodeMsgCDMAQualcommFrame& other) =
    default;

COrbDecodeMsgCDMAQualcommFrame& COrbDecodeMsgCDMAQualcommFrame::operator=(const COrbGenericHsMessage& other) {
  COrbGenericHsMessage::operator=(other);
  return *this;
}

COrbDecodeMsgCDMAQualcommFrame::~COrbDecodeMsgCDMAQualcommFrame() = default;

void COrbDecodeMsgCDMAQualcommFrame::SetCommonVariables(bool flag, double threshold_a, double threshold_b) {
  settings_.set_common(flag, threshold_a, threshold_b);
}

void COrbDecodeMsgCDMAQualcommFrame::SetMDMHeaderBytes(const std::uint8_t* header) { settings_.set_header(header); }

// ---- EV-DO ----

COrbDecodeMsgCDMA1xEVDOQualcommFrame::COrbDecodeMsgCDMA1xEVDOQualcommFrame(
    IProObjectPropertiesConnectedAccessor* accessor, COrbDecodeMsgCDMAFrameMDM*)
    : settings_(accessor) {}

COrbDecodeMsgCDMA1xEVDOQualcommFrame::COrbDecodeMsgCDMA1xEVDOQualcommFrame(
    const std::uint8_t* bytes, std::uint32_t count, IProObjectPropertiesConnectedAccessor* accessor,
    COrbDecodeMsgCDMAFrameMDM*)
    : COrbGenericHsMessage(bytes, count, 0), settings_(accessor) {}

COrbDecodeMsgCDMA1xEVDOQualcommFrame::COrbDecodeMsgCDMA1xEVDOQualcommFrame(
    const COrbDecodeMsgCDMA1xEVDOQualcommFrame& other) = default;

COrbDecodeMsgCDMA1xEVDOQualcommFrame& COrbDecodeMsgCDMA1xEVDOQualcommFrame::operator=(
    const COrbDecodeMsgCDMA1xEVDOQualcommFrame& other) = default;

COrbDecodeMsgCDMA1xEVDOQualcommFrame& COrbDecodeMsgCDMA1xEVDOQualcommFrame::operator=(
    const COrbGenericHsMessage& other) {
  COrbGenericHsMessage::operator=(other);
  return *this;
}

COrbDecodeMsgCDMA1xEVDOQualcommFrame::~COrbDecodeMsgCDMA1xEVDOQualcommFrame() = default;

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::SetCommonVariables(bool flag, double threshold_a, double threshold_b) {
  settings_.set_common(flag, threshold_a, threshold_b);
}

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::SetMDMHeaderBytes(const std::uint8_t* header) {
  settings_.set_header(header);
}

double COrbDecodeMsgCDMA1xEVDOQualcommFrame::CalculateQcTime(const std::uint8_t* stamp) {
  return cdmadiag::diag_time_seconds(stamp);
}

// The multi-flow RLP statistics, enhanced (forward, reverse) and multicarrier
// (forward, reverse): the packets whose bytes may still begin with their log header.
constexpr std::array<std::uint16_t, 4> kHeaderedRlpCodes = {0x12A5, 0x12A6, 0x128C, 0x128D};

double COrbDecodeMsgCDMA1xEVDOQualcommFrame::CalculateCurTime(int& payload_offset) {
  using cdmadiag::kLogHeaderTimeStamp;
  if (settings_.header_present()) return CalculateQcTime(settings_.header_bytes() + kLogHeaderTimeStamp);
  const std::span<const std::uint8_t> bytes(GetBuf(), GetLen());
  for (const std::uint16_t code : kHeaderedRlpCodes) {
    if (cdmadiag::starts_with_log_header(bytes, code)) {
      payload_offset = static_cast<int>(cdmadiag::kLogHeaderSize);
      return CalculateQcTime(GetBuf() + kLogHeaderTimeStamp);
    }
  }
  throw cdmadiag::MalformedPacket(cdmadiag::kNotQualcommStandard);
}
