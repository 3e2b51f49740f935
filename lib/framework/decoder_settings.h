#pragma once
// What both decoder classes carry besides the packet: the host's object-properties
// accessor (one reference held per object), the stored log header and the common
// settings. Copies take their own reference on the accessor.
#include <cstdint>
#include <cstring>

#include "framework/packet_header.h"
#include "host/object_properties.h"

namespace cdmadiag {

class DecoderSettings {
 public:
  explicit DecoderSettings(IProObjectPropertiesConnectedAccessor* accessor) : accessor_(accessor) {
    if (accessor_ != nullptr) accessor_->AddRef();
  }
  DecoderSettings(const DecoderSettings& other)
      : accessor_(other.accessor_),
        header_present_(other.header_present_),
        common_flag_(other.common_flag_),
        threshold_a_(other.threshold_a_),
        threshold_b_(other.threshold_b_) {
    std::memcpy(header_, other.header_, sizeof header_);
    if (accessor_ != nullptr) accessor_->AddRef();
  }
  DecoderSettings& operator=(const DecoderSettings& other) {
    // Take the new reference before releasing the old one: self-assignment keeps it.
    if (other.accessor_ != nullptr) other.accessor_->AddRef();
    if (accessor_ != nullptr) accessor_->Release();
    accessor_ = other.accessor_;
    header_present_ = other.header_present_;
    std::memcpy(header_, other.header_, sizeof header_);
    common_flag_ = other.common_flag_;
    threshold_a_ = other.threshold_a_;
    threshold_b_ = other.threshold_b_;
    return *this;
  }
  ~DecoderSettings() {
    if (accessor_ != nullptr) accessor_->Release();
  }

  IProObjectPropertiesConnectedAccessor* accessor() const { return accessor_; }
  bool header_present() const { return header_present_; }
  const std::uint8_t* header_bytes() const { return header_; }
  bool common_flag() const { return common_flag_; }
  double threshold_a() const { return threshold_a_; }
  double threshold_b() const { return threshold_b_; }

  void set_common(bool flag, double threshold_a, double threshold_b) {
    common_flag_ = flag;
    threshold_a_ = threshold_a;
    threshold_b_ = threshold_b;
  }
  void set_header(const std::uint8_t* header) {
    if (header == nullptr) return;
    std::memcpy(header_, header, sizeof header_);
    header_present_ = true;
  }
  // Present without stored bytes: the RLP decoders' own header rule.
  void mark_header_present() { header_present_ = true; }

 private:
  IProObjectPropertiesConnectedAccessor* accessor_ = nullptr;
  bool header_present_ = false;
  std::uint8_t header_[kLogHeaderSize] = {};
  bool common_flag_ = false;
  double threshold_a_ = -15.0;
  double threshold_b_ = -15.0;
};

}  // namespace cdmadiag
