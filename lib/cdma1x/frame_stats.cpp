#include "cdma1x/frame_stats.h"

#include "framework/attributes.h"
#include "framework/decoder_1x.h"

namespace cdmadiag {

double FchFerPercent(const FrameCounters& c) {
  std::int64_t all = 0;
  for (std::int32_t n : c.fch[kFchPayloadOnly]) all += n;
  if (all == 0) return 0.0;
  return 100.0 * static_cast<double>(c.fch[kFchPayloadOnly][0]) / static_cast<double>(all);
}

double SchFerPercent(const std::array<std::int32_t, kSchRates>& sch) {
  const std::int64_t bad = static_cast<std::int64_t>(sch[kSchBlank]) + sch[kSchErasure];
  const std::int64_t all = bad + sch[kSchFullRate];
  if (all == 0) return 0.0;
  return 100.0 * static_cast<double>(bad) / static_cast<double>(all);
}

}  // namespace cdmadiag

namespace {

// Attribute ids of one direction; F-SCCH exists only forward.
struct FrameIds {
  std::array<const std::uint32_t*, 3> fch;
  std::array<const std::uint32_t*, 4> sch0;
  std::array<const std::uint32_t*, 4> sch1;
  const std::uint32_t* dcch;
};

const FrameIds kReverseIds = {
    {&ATTR_ID_CDMA_1X_REV_FCH_Payload, &ATTR_ID_CDMA_1X_REV_FCH_DimandBurst, &ATTR_ID_CDMA_1X_REV_FCH_BlankandBurst},
    {&ATTR_ID_CDMA_1X_REV_SCH0_FullRate, &ATTR_ID_CDMA_1X_REV_SCH0_BlankFrame, &ATTR_ID_CDMA_1X_REV_SCH0_Erasure,
     &ATTR_ID_CDMA_1X_REV_SCH0_SCCHInactive},
    {&ATTR_ID_CDMA_1X_REV_SCH1_FullRate, &ATTR_ID_CDMA_1X_REV_SCH1_BlankFrame, &ATTR_ID_CDMA_1X_REV_SCH1_Erasure,
     &ATTR_ID_CDMA_1X_REV_SCH1_SCCHInactive},
    &ATTR_ID_CDMA_1X_REV_DCCH_Rate};
const FrameIds kForwardIds = {
    {&ATTR_ID_CDMA_1X_FOR_FCH_Payload, &ATTR_ID_CDMA_1X_FOR_FCH_DimandBurst, &ATTR_ID_CDMA_1X_FOR_FCH_BlankandBurst},
    {&ATTR_ID_CDMA_1X_FOR_SCH0_FullRate, &ATTR_ID_CDMA_1X_FOR_SCH0_BlankFrame, &ATTR_ID_CDMA_1X_FOR_SCH0_Erasure,
     &ATTR_ID_CDMA_1X_FOR_SCH0_SCCHInactive},
    {&ATTR_ID_CDMA_1X_FOR_SCH1_FullRate, &ATTR_ID_CDMA_1X_FOR_SCH1_BlankFrame, &ATTR_ID_CDMA_1X_FOR_SCH1_Erasure,
     &ATTR_ID_CDMA_1X_FOR_SCH1_SCCHInactive},
    &ATTR_ID_CDMA_1X_FOR_DCCH_Rate};
const std::array<const std::uint32_t*, 4> kScchIds = {
    &ATTR_ID_CDMA_1X_FOR_SCCH_FullRate, &ATTR_ID_CDMA_1X_FOR_SCCH_BlankFrame, &ATTR_ID_CDMA_1X_FOR_SCCH_Erasure,
    &ATTR_ID_CDMA_1X_FOR_SCCH_Inactive};

}  // namespace

void COrbDecodeMsgCDMAQualcommFrame::SetFrameAttributes(IOrbDataState* ds,
                                                        const std::array<std::array<std::int32_t, 5>, 3>& fch,
                                                        const std::array<std::int32_t, 4>& sch0,
                                                        const std::array<std::int32_t, 4>& sch1, std::int32_t dcch_rate,
                                                        const std::array<std::array<std::int32_t, 5>, 7>& scch,
                                                        bool forward) {
  const cdmadiag::AttrWriter w(ds, cdmadiag::AttrWriter::kAlways);
  const FrameIds& ids = forward ? kForwardIds : kReverseIds;
  for (std::size_t type = 0; type < fch.size(); ++type) {
    for (std::size_t rate = 0; rate < fch[type].size(); ++rate) {
      w.Long(*ids.fch[type], fch[type][rate], static_cast<std::uint32_t>(rate));
    }
  }
  for (std::size_t rate = 0; rate < sch0.size(); ++rate) w.Long(*ids.sch0[rate], sch0[rate]);
  for (std::size_t rate = 0; rate < sch1.size(); ++rate) w.Long(*ids.sch1[rate], sch1[rate]);
  w.Long(*ids.dcch, dcch_rate);
  if (!forward) return;
  for (std::size_t k = 0; k < scch.size(); ++k) {
    for (std::size_t rate = 0; rate < kScchIds.size(); ++rate) {
      w.Long(*kScchIds[rate], scch[k][rate], static_cast<std::uint32_t>(k + 1));
    }
  }
}

void COrbDecodeMsgCDMAQualcommFrame::SetBadFrameFlags(const std::uint8_t& t, const std::uint8_t& d, bool& bit_error,
                                                      bool& frame_error) {
  const auto any = [&](std::initializer_list<int> codes) {
    for (int c : codes) {
      if (d == c) return true;
    }
    return false;
  };
  bit_error = false;
  frame_error = false;
  switch (t) {
    case 0:
      bit_error = any({8, 9});
      frame_error = any({5, 6, 7});
      break;
    case 1: frame_error = d == 10; break;
    case 2: frame_error = d == 0; break;
    case 3:
    case 4: frame_error = any({0, 10}); break;
    case 5:
      bit_error = any({8, 9});
      frame_error = any({0, 6, 7});
      break;
    case 6:
      bit_error = any({8, 9});
      frame_error = any({0, 5, 7});
      break;
    case 7:
      bit_error = any({8, 9});
      frame_error = any({0, 5, 6});
      break;
    case 8:
    case 9:
      bit_error = any({9, 10, 11});
      frame_error = any({2, 7, 8});
      break;
    case 10:
      bit_error = any({9, 10, 11});
      frame_error = d == 7;
      break;
    case 11:
      bit_error = any({9, 10, 11});
      frame_error = d == 2;
      break;
    case 13:
      bit_error = any({9, 10});
      frame_error = d == 11;
      break;
    case 15: bit_error = any({8, 9}); break;
    default:  // 12, 14: no outcome counts as an error
      break;
  }
}

void COrbDecodeMsgCDMAQualcommFrame::UpdateFrameErrorsArray(std::array<std::uint8_t, 4>& tally, const bool& burst_error,
                                                            const bool& frame_error, const bool& bit_error) {
  using cdmadiag::kAnyError, cdmadiag::kBitErrors, cdmadiag::kFrameErrors;
  if (burst_error) {
    for (auto& n : tally) ++n;
    return;
  }
  if (!frame_error && !bit_error) return;
  ++tally[kAnyError];
  if (frame_error) ++tally[kFrameErrors];
  if (bit_error) ++tally[kBitErrors];
}
