#include "framework/payload_cursor.h"

#include "framework/packet_header.h"

namespace cdmadiag {

double Cursor::diag_time() {
  Cursor stamp = record(kTimeStampSize);
  stamp.skip(kTimeStampCount);
  const std::uint64_t count = stamp.u48le();
  return stamp.ok() ? diag_count_seconds(count) : 0.0;
}

}  // namespace cdmadiag
