// The EV-DO dispatcher: Release 0, Revision A and Revision B log codes, in three
// stages. Stage 2 and the free stage 1 rows run inside guards that keep decoder
// exceptions from reaching the host.
#include <algorithm>

#include "framework/attributes.h"
#include "framework/diagnostics.h"
#include "framework/dispatch_tables.h"
#include "framework/text.h"

namespace cdmadiag {

namespace {

using E = COrbDecodeMsgCDMA1xEVDOQualcommFrame;
using K = EvdoKind;

constexpr const char* kReservedFormat = "MessageCode: %04x : Reserved Message";
constexpr int kReservedCategory = 767;
constexpr const char* kUnexpectedFailure = "Unexpected Failure";
constexpr const char* kCannotDecode = "Cannot Decode Message";

// The dispatcher's own rows: codes with no decoder here.
constexpr EvdoRow reserved(std::uint32_t code) { return {.code = code, .stage = 1, .kind = K::kReserved}; }
constexpr EvdoRow ignored(std::uint32_t code) { return {.code = code, .stage = 1, .kind = K::kIgnore}; }

constexpr EvdoRow kAllRows[] = {
    reserved(0x1075),
    reserved(0x108D),
    reserved(0x108E),
    reserved(0x108F),
    reserved(0x1092),
    // 1x codes: the 1x dispatcher decodes them.
    ignored(0x1090),
    ignored(0x1091),
    ignored(0x1093),
// The families' rows.
#define CDMADIAG_EVDO(s, c, d, t, p) \
  {.code = c, .stage = s, .kind = K::kMember, .title = t, .member = &E::d, .policy = p},
#define CDMADIAG_EVDO_ALSO(s, c, d, t, p) CDMADIAG_EVDO(s, c, d, t, p)
#define CDMADIAG_EVDO_PENDING(s, c, d, t) \
  {.code = c, .stage = s, .kind = K::kMember, .title = t, .member = &E::d, .pending = true},
#define CDMADIAG_EVDO_FREE(s, c, d, t, p) \
  {.code = c, .stage = s, .kind = (s) == 1 ? K::kGuarded : K::kFree, .title = t, .free = &d, .policy = p},
#define CDMADIAG_EVDO_FREE_PENDING(s, c, d, t) \
  {.code = c, .stage = s, .kind = (s) == 1 ? K::kGuarded : K::kFree, .title = t, .free = &d, .pending = true},
#include "framework/code_lists.h"
};
static_assert(std::ranges::all_of(kAllRows, [](const EvdoRow& r) { return r.stage >= 1 && r.stage <= 3; }));
static_assert(std::ranges::none_of(kAllRows, [](const EvdoRow& r) { return r.stage == 3 && r.free != nullptr; }),
              "stage 3 has member decoders only");

template <std::uint8_t Stage>
constexpr auto stage_rows() {
  constexpr auto n = static_cast<std::size_t>(std::ranges::count(kAllRows, Stage, &EvdoRow::stage));
  std::array<EvdoRow, n> out{};
  std::ranges::copy_if(kAllRows, out.begin(), [](const EvdoRow& r) { return r.stage == Stage; });
  std::ranges::sort(out, {}, &EvdoRow::code);
  return out;
}
constexpr auto kStage1 = stage_rows<1>();
constexpr auto kStage2 = stage_rows<2>();
constexpr auto kStage3 = stage_rows<3>();

constexpr auto kCodeOf = [](const EvdoRow& r) { return r.code; };
static_assert(strictly_ascending(std::span<const EvdoRow>(kStage1), kCodeOf), "two stage 1 rows share a code");
static_assert(strictly_ascending(std::span<const EvdoRow>(kStage2), kCodeOf), "two stage 2 rows share a code");
static_assert(strictly_ascending(std::span<const EvdoRow>(kStage3), kCodeOf), "two stage 3 rows share a code");
// Only a guard may receive a thrown failure: an unguarded row that throws would hand
// the host an exception.
constexpr bool throws_unguarded(const EvdoRow& r) {
  return r.policy.on_short == OnShort::kThrow && r.stage != 2 && r.kind != K::kGuarded;
}
static_assert(std::ranges::none_of(kAllRows, throws_unguarded), "a row outside the guards throws its failures");

void call(E& frame, const EvdoRow& row, IOrbDataState* ds, COrbExpandedMessage& msg, IDekCellRefs_Search* cells) {
  if (row.pending && msg.titleWanted && row.title != nullptr) msg.title = row.title;
  if (row.member != nullptr) {
    (frame.*row.member)(ds, msg, cells);
  } else {
    row.free(ds, msg, frame.GetBuf(), frame.GetLen());
  }
}

constexpr Policy kNoPolicy{};

}  // namespace

std::span<const EvdoRow> evdo_stage1_rows() { return kStage1; }
std::span<const EvdoRow> evdo_stage2_rows() { return kStage2; }
std::span<const EvdoRow> evdo_stage3_rows() { return kStage3; }

const EvdoRow* find_evdo_row(std::span<const EvdoRow> stage, std::uint32_t code) {
  const auto it = std::ranges::lower_bound(stage, code, {}, &EvdoRow::code);
  return it != stage.end() && it->code == code ? &*it : nullptr;
}

bool evdo_routes(std::uint32_t code) {
  if (const EvdoRow* row = find_evdo_row(kStage1, code)) {
    return row->kind == K::kMember || row->kind == K::kGuarded;
  }
  return find_evdo_row(kStage2, code) != nullptr || find_evdo_row(kStage3, code) != nullptr;
}

constexpr std::span<const EvdoRow> kStages[] = {kStage1, kStage2, kStage3};

DecoderRow decoder_row(DecoderEvdo d, std::uint32_t code) {
  for (const std::span<const EvdoRow> stage : kStages) {
    if (const EvdoRow* row = find_evdo_row(stage, code); row != nullptr && row->member == d) {
      return {row->title, &row->policy};
    }
  }
  for (const std::span<const EvdoRow> stage : kStages) {
    for (const EvdoRow& row : stage) {
      if (row.member == d) return {row.title, &row.policy};
    }
  }
  return {nullptr, &kNoPolicy};
}

DecoderRow decoder_row(DecoderFree d) {
  for (const std::span<const EvdoRow> stage : kStages) {
    for (const EvdoRow& row : stage) {
      if (row.free == d) return {row.title, &row.policy};
    }
  }
  return {nullptr, &kNoPolicy};
}

const Policy* code_policy(std::uint32_t code) {
  if (evdo_routes(code)) {
    for (const std::span<const EvdoRow> stage : kStages) {
      if (const EvdoRow* row = find_evdo_row(stage, code)) return &row->policy;
    }
  }
  const LogRow* row = find_log_row(code);
  return row != nullptr && row->kind != LogKind::kTitle && row->kind != LogKind::kReserved &&
                 row->kind != LogKind::kReservedWord
             ? &row->policy
             : nullptr;
}

Decoding begin(COrbExpandedMessage& msg, DecoderFree self) {
  const DecoderRow row = decoder_row(self);
  return Decoding(msg, row.title, *row.policy);
}

}  // namespace cdmadiag

using namespace cdmadiag;

Decoding COrbDecodeMsgCDMA1xEVDOQualcommFrame::Begin(COrbExpandedMessage& msg, Member self) const {
  const DecoderRow row = decoder_row(self, GetMessageCode());
  return Decoding(msg, row.title, *row.policy);
}

void COrbDecodeMsgCDMA1xEVDOQualcommFrame::ExpandEVDOQualcommMessage(IOrbDataState* ds, COrbExpandedMessage& msg,
                                                                     IDekCellRefs_Search* cells) {
  if (ds == nullptr) return;
  const std::uint32_t code = GetMessageCode();
  ds->SetDWord(ATTR_ID_QUALCOMM_MDM_MSG_TYPE, code, 0, IOrbDataState::kNoBound, 0);

  if (const EvdoRow* row = find_evdo_row(kStage1, code)) {
    switch (row->kind) {
      case K::kMember:
      case K::kFree: call(*this, *row, ds, msg, cells); return;
      case K::kReserved:
        if (msg.detailsWanted || msg.titleWanted) msg.title = formatf(kReservedFormat, code);
        msg.category = kReservedCategory;
        return;
      case K::kIgnore: return;
      case K::kGuarded: guarded(msg, code, kUnexpectedFailure, [&] { call(*this, *row, ds, msg, cells); }); return;
    }
    return;
  }

  if (const EvdoRow* row = find_evdo_row(kStage2, code)) {
    guarded(msg, code, kCannotDecode, [&] { call(*this, *row, ds, msg, cells); });
    return;
  }

  if (const EvdoRow* row = find_evdo_row(kStage3, code)) call(*this, *row, ds, msg, cells);
}
