// The code listing of both dispatchers.
#include "framework/dispatch.h"
#include "framework/dispatch_tables.h"
#include "framework/text.h"

namespace cdmadiag {

namespace {

constexpr const char* kReservedListing = "MessageCode: %04x : Reserved Message";

void add_evdo(std::vector<CodeInfo>& out, std::span<const EvdoRow> rows) {
  for (const EvdoRow& r : rows) {
    switch (r.kind) {
      case EvdoKind::kMember:
      case EvdoKind::kFree:
      case EvdoKind::kGuarded: {
        out.push_back({r.code, CodeClass::kEvdo, r.title, true, r.pending});
        break;
      }
      case EvdoKind::kReserved:
        out.push_back({r.code, CodeClass::kEvdo, formatf(kReservedListing, r.code), false, false});
        break;
      case EvdoKind::kIgnore: break;
    }
  }
}

}  // namespace

std::vector<CodeInfo> known_codes() {
  std::vector<CodeInfo> out;
  for (const LogRow& r : log_rows()) {
    for (std::uint32_t code = r.lo; code <= r.hi; ++code) {
      switch (r.kind) {
        case LogKind::kDecoder:
        case LogKind::kMini:
        case LogKind::kGenTA:
          out.push_back({code, CodeClass::k1x, r.title != nullptr ? r.title : "", true, r.pending});
          break;
        case LogKind::kTitle:
        case LogKind::kReservedWord: out.push_back({code, CodeClass::k1x, r.title, false, false}); break;
        case LogKind::kReserved:
          out.push_back({code, CodeClass::k1x, formatf(kReservedListing, code), false, false});
          break;
      }
    }
  }
  add_evdo(out, evdo_stage1_rows());
  add_evdo(out, evdo_stage2_rows());
  add_evdo(out, evdo_stage3_rows());
  for (const CommandRow& r : command_rows()) {
    out.push_back({r.cmd, CodeClass::kDiagCommand, r.title, true, r.pending});
  }
  return out;
}

}  // namespace cdmadiag
