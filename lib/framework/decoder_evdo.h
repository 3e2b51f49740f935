#pragma once
// COrbDecodeMsgCDMA1xEVDOQualcommFrame: decodes 1xEV-DO Release 0, Revision A and
// Revision B log packets. One object per captured packet.
#include <cstdint>

#include "framework/decoder_kit.h"
#include "framework/decoder_settings.h"
#include "framework/payload_reader.h"
#include "host/cell_refs.h"
#include "host/data_state.h"
#include "host/expanded_message.h"
#include "host/hs_message.h"
#include "host/object_properties.h"

class COrbDecodeMsgCDMAFrameMDM;

class COrbDecodeMsgCDMA1xEVDOQualcommFrame : public COrbGenericHsMessage {
 public:
  COrbDecodeMsgCDMA1xEVDOQualcommFrame(IProObjectPropertiesConnectedAccessor* accessor, COrbDecodeMsgCDMAFrameMDM* mdm);
  COrbDecodeMsgCDMA1xEVDOQualcommFrame(const std::uint8_t* bytes, std::uint32_t count,
                                       IProObjectPropertiesConnectedAccessor* accessor, COrbDecodeMsgCDMAFrameMDM* mdm);
  COrbDecodeMsgCDMA1xEVDOQualcommFrame(const COrbDecodeMsgCDMA1xEVDOQualcommFrame& other);
  COrbDecodeMsgCDMA1xEVDOQualcommFrame& operator=(const COrbDecodeMsgCDMA1xEVDOQualcommFrame& other);
  COrbDecodeMsgCDMA1xEVDOQualcommFrame& operator=(const COrbGenericHsMessage& other);
  ~COrbDecodeMsgCDMA1xEVDOQualcommFrame() override;

  void SetCommonVariables(bool flag, double threshold_a, double threshold_b);
  void SetMDMHeaderBytes(const std::uint8_t* header);

  void ExpandEVDOQualcommMessage(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells);

  // The member decoders of the EV-DO log codes, from the families' code lists (data
  // state, expanded message, cell search).
#define CDMADIAG_DECLARE(decoder) void decoder(IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells);
#define CDMADIAG_EVDO(stage, code, decoder, title, policy) CDMADIAG_DECLARE(decoder)
#define CDMADIAG_EVDO_PENDING(stage, code, decoder, title) CDMADIAG_DECLARE(decoder)
#include "framework/code_lists.h"
#undef CDMADIAG_DECLARE

  IProObjectPropertiesConnectedAccessor* accessor() const { return settings_.accessor(); }
  bool header_present() const { return settings_.header_present(); }
  const std::uint8_t* header_bytes() const { return settings_.header_bytes(); }
  bool common_flag() const { return settings_.common_flag(); }
  double threshold_a() const { return settings_.threshold_a(); }
  double threshold_b() const { return settings_.threshold_b(); }

  cdmadiag::PayloadReader payload() const { return cdmadiag::PayloadReader(GetBuf(), GetLen()); }

 protected:
  using Member = void (COrbDecodeMsgCDMA1xEVDOQualcommFrame::*)(IOrbDataState*, COrbExpandedMessage&,
                                                                IDekCellRefs_Search*);
  // Begins self's decode under its row (the row of this packet's code when self serves
  // several): the row's title where its policy puts it, and the policy's failures.
  cdmadiag::Decoding Begin(COrbExpandedMessage& msg, Member self) const;

  // Seconds since 1970 of an 8-byte DIAG time stamp.
  double CalculateQcTime(const std::uint8_t* stamp);
  // Time of this packet from the stored header, or from a log header at the start of
  // the bytes (payload_offset becomes 12); throws std::invalid_argument otherwise.
  double CalculateCurTime(int& payload_offset);
  // Marks the header as present without storing it (the RLP decoders' own header rule).
  void set_header_present() { settings_.mark_header_present(); }

 private:
  cdmadiag::DecoderSettings settings_;
};

// Free decoders, from the families' code lists: data state, expanded message, packet
// bytes, byte count.
#define CDMADIAG_DECLARE(decoder) \
  void decoder(IOrbDataState* ds, COrbExpandedMessage& msg, const std::uint8_t* buf, std::uint32_t len);
#define CDMADIAG_EVDO_FREE(stage, code, decoder, title, policy) CDMADIAG_DECLARE(decoder)
#define CDMADIAG_EVDO_FREE_PENDING(stage, code, decoder, title) CDMADIAG_DECLARE(decoder)
#include "framework/code_lists.h"
#undef CDMADIAG_DECLARE

namespace cdmadiag {
// Begins a free decoder's decode under its row: title and failure policy.
Decoding begin(COrbExpandedMessage& msg,
               void (*self)(IOrbDataState*, COrbExpandedMessage&, const std::uint8_t*, std::uint32_t));
}  // namespace cdmadiag
