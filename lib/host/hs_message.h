#pragma once
// Handset message: the captured packet bytes, the message code the host read from
// the log header, and the message number that orders packets in a run.
#include <cstdint>
#include <vector>

class COrbGenericHsMessage {
 public:
  COrbGenericHsMessage() = default;
  COrbGenericHsMessage(const std::uint8_t* bytes, std::uint32_t count, int direction);
  COrbGenericHsMessage(const COrbGenericHsMessage&) = default;
  COrbGenericHsMessage& operator=(const COrbGenericHsMessage&) = default;
  virtual ~COrbGenericHsMessage() = default;

  virtual std::uint32_t GetMessageNumber() const { return message_number_; }
  virtual const std::uint8_t* GetBuf() const { return bytes_.data(); }
  virtual std::uint8_t* GetBuf() { return bytes_.data(); }
  virtual std::uint32_t GetLen() const { return static_cast<std::uint32_t>(bytes_.size()); }
  // Byte at i, 0 past the end.
  virtual std::uint8_t GetBufVal(std::uint32_t i) const { return i < bytes_.size() ? bytes_[i] : 0; }
  virtual std::uint32_t GetOffset() const { return offset_; }
  virtual void SetOffset(std::uint32_t offset) { offset_ = offset; }
  virtual int GetMsgDir() const { return direction_; }
  virtual void SetMsgDir(int direction) { direction_ = direction; }
  virtual void SetContent(const std::uint8_t* bytes, std::uint32_t count);

  std::uint32_t GetMessageCode() const { return message_code_; }
  void SetMessageCode(std::uint32_t code) { message_code_ = code; }
  void SetMessageNumber(std::uint32_t number) { message_number_ = number; }
  // Millisecond offset of the message from the start of the stream.
  std::uint32_t GetMsOffset() const { return ms_offset_; }
  void SetMsOffset(std::uint32_t ms) { ms_offset_ = ms; }

 private:
  std::vector<std::uint8_t> bytes_;
  std::uint32_t message_code_ = 0;
  std::uint32_t message_number_ = 0;
  std::uint32_t offset_ = 0;
  std::uint32_t ms_offset_ = 0;
  int direction_ = 0;
};
