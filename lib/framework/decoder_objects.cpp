#include <cstring>
#include <stdexcept>

#include "framework/decoder_1x.h"
#include "framework/decoder_evdo.h"
#include "framework/failure_texts.h"
#include "framework/packet_header.h"

namespace {

void take(IProObjectPropertiesConnectedAccessor* a) {
  if (a != nullptr) a->AddRef();
}

void drop(IProObjectPropertiesConnectedAccessor* a) {
  if (a != nullptr) a->Release();
}

}  // namespace

// ---- 1x ----

COrbDecodeMsgCDMAQualcommFrame::COrbDecodeMsgCDMAQualcommFrame(IProObjectPropertiesConnectedAccessor* accessor)
    : accessor_(accessor) {
  take(accessor_);
}

COrbDecodeMsgCDMAQualcommFrame::COrbDecodeMsgCDMAQualcommFrame(const std::uint8_t* bytes, std::uint32_t count,
                                                               IProObjectPropertiesConnectedAccessor* accessor)
    : COrbGenericHsMessage(bytes, count, 0), accessor_(accessor) {
  take(accessor_);
}

COrbDecodeMsgCDMAQualcommFrame::COrbDecodeMsgCDMAQualcommFrame(const COrbDecodeMsgCDMAQualcommFrame& other)
    : COrbGenericHsMessage(other),
      accessor_(other.accessor_),
      header_present_(other.header_present_),
      common_flag_(other.common_flag_),
      threshold_a_(other.threshold_a_),
      threshold_b_(other.threshold_b_),
      display_(other.display_),
      response_shifted_(other.response_shifted_) {
  std::memcpy(header_, other.header_, sizeof header_);
  take(accessor_);
}

COrbDecodeMsgCDMAQualcommFrame& COrbDecodeMsgCDMAQualcommFrame::operator=(const COrbDecodeMsgCDMAQualcommFrame& other) {
  COrbGenericHsMessage::operator=(other);
  take(other.accessor_);  // before the release, so self-assignment keeps its reference
  drop(accessor_);
  accessor_ = other.accessor_;
  header_present_ = other.header_present_;
  std::memcpy(header_, other.header_, sizeof header_);
  common_flag_ = other.common_flag_;
  threshold_a_ = other.threshold_a_;
  threshold_b_ = other.threshold_b_;
  display_ = other.display_;
  response_shifted_ = other.response_shifted_;
  return *this;
}

COrbDecodeMsgCDMAQualcommFrame& COrbDecodeMsgCDMAQualcommFrame::operator=(const COrbGenericHsMessage& other) {
  COrbGenericHsMessage::operator=(other);
  return *this;
}

COrbDecodeMsgCDMAQualcommFrame::~COrbDecodeMsgCDMAQualcommFrame() {
  display_.clear();
  drop(accessor_);
}

void COrbDecodeMsgCDMAQualcommFrame::SetCommonVariables(bool flag, double threshold_a, double threshold_b) {
  common_flag_ = flag;
  threshold_a_ = threshold_a;
  threshold_b_ = threshold_b;
}

void COrbDecodeMsgCDMAQualcommFrame::SetMDMHeaderBytes(const std::uint8_t* header) {
  if (header == nullptr) return;
  std::memcpy(header_, header, sizeof header_);
  header_present_ = true;
}

// ---- EV-DO ----

COrbDecodeMsgCDMA1xEVDOQualcommFrame::COrbDecodeMsgCDMA1xEVDOQualcommFrame(
    IProObjectPropertiesConnectedAccessor* accessor, COrbDecodeMsgCDMAFrameMDM*)
    : accessor_(accessor) {
  take(accessor_);
}

COrbDecodeMsgCDMA1xEVDOQualcommFrame::COrbDecodeMsgCDMA1xEVDOQualcommFrame(
    const std::uint8_t* bytes, std::uint32_t count, IProObjectPropertiesConnectedAccessor* accessor,
    COrbDecodeMsgCDMAFrameMDM*)
    : COrbGenericHsMessage(bytes, count, 0), accessor_(accessor) {
  take(accessor_);
}

COrbDecodeMsgCDMA1xEVDOQualcommFrame::COrbDecodeMsgCDMA1xEVDOQualcommFrame(
    const COrbDecodeMsgCDMA1xEVDOQualcommFrame& other)
    : COrbGenericHsMessage(other),
      accessor_(other.accessor_),
      header_present_(other.header_present_),
      common_flag_(other.common_flag_),
      threshold_a_(other.threshold_a_),
      threshold_b_(other.threshold_b_) {
  std::memcpy(header_, other.header_, sizeof header_);
  take(accessor_);
}

COrbDecodeMsgCDMA1xEVDOQualcommFrame& COrbDecodeMsgCDMA1xEVDOQualcommFrame::operator=(
    const COrbDecodeMsgCDMA1xEVDOQualcommFrame& other) {
  COrbGenericHsMessage::operator=(other);
  take(other.accessor_);
  drop(accessor_);
  accessor_ = other.accessor_;
  header_present_ = other.header_present_;
  std::memcpy(header_, other.header_, sizeof header_);
  common_flag_ = other.common_flag_;
  threshold_a_ = other.threshold_a_;
  threshold_b_ = other.threshold_b_;
  return *this;
}

COrbDecodeMsgCDMA1xEVDOQualcommFrame& COrbDecodeMsgCDMA1xEVDOQualcommFrame::operator=(
    const COrbGenericHsMessage& other) {
  COrbGenericHsMessage::operator=(other);
  return *this;
}

COrbDecodeMsgCDMA1xEVDOQualcommFrame::~COrbDecodeMsgCDMA1xEVDOQualcommFrame() { drop(accessor_); }

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::SetCommonVariables(bool flag, double threshold_a, double threshold_b) {
  common_flag_ = flag;
  threshold_a_ = threshold_a;
  threshold_b_ = threshold_b;
}

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::SetMDMHeaderBytes(const std::uint8_t* header) {
  if (header == nullptr) return;
  std::memcpy(header_, header, sizeof header_);
  header_present_ = true;
}

double COrbDecodeMsgCDMA1xEVDOQualcommFrame::CalculateQcTime(const std::uint8_t* stamp) {
  return cdmadiag::diag_time_seconds(stamp);
}

double COrbDecodeMsgCDMA1xEVDOQualcommFrame::CalculateCurTime(int& payload_offset) {
  if (header_present_) return CalculateQcTime(header_ + 4);
  const std::span<const std::uint8_t> bytes(GetBuf(), GetLen());
  for (const std::uint16_t code : {0x12A5, 0x12A6, 0x128C, 0x128D}) {
    if (cdmadiag::starts_with_log_header(bytes, code)) {
      payload_offset = 12;
      return CalculateQcTime(GetBuf() + 4);
    }
  }
  throw std::invalid_argument(cdmadiag::kNotQualcommStandard);
}
