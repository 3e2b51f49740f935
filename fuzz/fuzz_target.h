#pragma once
// Shared by the fuzz targets: the libFuzzer entry point each defines, and the run
// setup with every "wanted" flag set.
#include <cstddef>
#include <cstdint>

#include "host/cell_refs.h"
#include "host/expanded_message.h"
#include "host/memory_data_state.h"
#include "host/object_properties.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace cdmadiag::fuzz {

inline COrbExpandedMessage wanted_message() {
  COrbExpandedMessage msg;
  msg.titleWanted = true;
  msg.detailsWanted = true;
  msg.cellIdWanted = true;
  return msg;
}

// A 12-byte log header for a payload of n bytes.
inline void make_header(std::uint8_t* h, std::uint16_t code, std::size_t n) {
  const std::size_t len = n + 12 > 0xFFFF ? 0xFFFF : n + 12;
  h[0] = static_cast<std::uint8_t>(len);
  h[1] = static_cast<std::uint8_t>(len >> 8);
  h[2] = static_cast<std::uint8_t>(code);
  h[3] = static_cast<std::uint8_t>(code >> 8);
  for (int i = 4; i < 12; ++i) h[i] = static_cast<std::uint8_t>(0x11 * i);
}

// A dispatcher input: the first two bytes are the message code (little-endian), the
// rest the payload; the header is a log header for that payload.
struct PacketInput {
  std::uint16_t code;
  const std::uint8_t* payload;
  std::uint32_t size;
  std::uint8_t header[12];
};

inline bool split_input(const std::uint8_t* data, std::size_t size, PacketInput& in) {
  if (size < 2) return false;
  in.code = static_cast<std::uint16_t>(data[0] | (data[1] << 8));
  in.payload = data + 2;
  in.size = static_cast<std::uint32_t>(size - 2);
  make_header(in.header, in.code, in.size);
  return true;
}

}  // namespace cdmadiag::fuzz
