// Writes fuzz seeds from the sample drive: each log record as a dispatcher input (its
// code, little-endian, then its payload) for the target of the dispatcher that routes
// it, each command response (after a zero code) for the 1x target, and the whole
// captures for the readers. A few packets of each code are enough to start from.
//   fuzz_seeds OUT_DIR CAPTURE...
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "session.h"

namespace {

constexpr int kPerCode = 16;

void write_file(const std::filesystem::path& path, const std::uint8_t* data, std::size_t size) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s OUT_DIR CAPTURE...\n", argv[0]);
    return 2;
  }
  using cdmadiag::RecordKind;
  const std::filesystem::path out(argv[1]);
  for (const char* t : {"fuzz_dispatch_1x", "fuzz_dispatch_evdo", "fuzz_log_reader", "fuzz_hdlc_reader"}) {
    std::filesystem::create_directories(out / t);
  }
  std::map<std::uint32_t, int> per_code;  // responses under 0x10000 + command byte
  int written = 0;
  for (int i = 2; i < argc; ++i) {
    std::string error;
    const auto in = cdmadiag::ByteStream::open(argv[i], error);
    if (!in) {
      std::fprintf(stderr, "%s: %s\n", argv[i], error.c_str());
      return 1;
    }
    const cdmadiag::InputFormat format = cdmadiag::detect_format(*in);
    const bool hdlc = format == cdmadiag::InputFormat::kHdlc;
    std::filesystem::copy_file(argv[i], out / (hdlc ? "fuzz_hdlc_reader" : "fuzz_log_reader") / ("sample-" + std::to_string(i)),
                               std::filesystem::copy_options::overwrite_existing);
    const auto reader = cdmadiag::make_reader(format, *in);
    cdmadiag::Record r;
    cdmadiag::FramingError e;
    for (cdmadiag::ReadStatus s; (s = reader->next(r, e)) != cdmadiag::ReadStatus::kEnd;) {
      if (s != cdmadiag::ReadStatus::kRecord || r.bytes.empty()) continue;
      const bool log = r.kind == RecordKind::kLog;
      const std::uint16_t code = r.log_code();
      const std::uint32_t key = log ? code : 0x10000 + r.bytes[0];
      if (++per_code[key] > kPerCode) continue;
      const auto payload = r.payload();
      std::string input = {static_cast<char>(code & 0xFF), static_cast<char>(code >> 8)};
      input.append(reinterpret_cast<const char*>(payload.data()), payload.size());
      const char* target = log && cdmadiag::route_log_code(code) == cdmadiag::PacketClass::kEvdo ? "fuzz_dispatch_evdo"
                                                                                                 : "fuzz_dispatch_1x";
      char name[32];
      std::snprintf(name, sizeof name, "%s%04X-%02d", log ? "" : "cmd-", log ? code : r.bytes[0], per_code[key]);
      write_file(out / target / name, reinterpret_cast<const std::uint8_t*>(input.data()), input.size());
      ++written;
    }
  }
  std::printf("%d dispatcher seeds\n", written);
  return 0;
}
