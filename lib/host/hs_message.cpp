#include "host/hs_message.h"

COrbGenericHsMessage::COrbGenericHsMessage(const std::uint8_t* bytes, std::uint32_t count, int direction)
    : direction_(direction) {
  SetContent(bytes, count);
}

void COrbGenericHsMessage::SetContent(const std::uint8_t* bytes, std::uint32_t count) {
  if (bytes == nullptr) count = 0;
  bytes_.assign(bytes, bytes + count);
}
