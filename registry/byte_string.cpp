#include "registry/byte_string.h"

#include <windows.h>

#include "host/reply.h"

namespace {

constexpr uint32_t kFirstCapacity = 256;
constexpr uint32_t kMostCapacity = 0x7FFFFFFFu;

}  // namespace

bool ByteString::Reserve(uint32_t needed) {
  if (needed <= capacity_) return true;
  if (needed > kMostCapacity) return false;
  uint32_t size = capacity_ == 0 ? kFirstCapacity : capacity_;
  while (size < needed) size = size > kMostCapacity / 2 ? kMostCapacity : size * 2;
  char *grown = static_cast<char *>(GlobalAlloc(GMEM_FIXED, size));
  if (grown == nullptr) return false;
  if (length_ > 0) CopyBytes(data_, grown, length_);
  if (data_ != nullptr) GlobalFree(data_);
  data_ = grown;
  capacity_ = size;
  return true;
}

bool ByteString::Append(const char *bytes, uint32_t count) {
  if (count == 0) return true;
  if (count > kMostCapacity - length_) return false;
  if (!Reserve(length_ + count)) return false;
  CopyBytes(bytes, data_ + length_, count);
  length_ += count;
  return true;
}

bool ByteString::AppendText(const char *text) {
  uint32_t count = 0;
  while (text[count] != 0) ++count;
  return Append(text, count);
}

void ByteString::Release() {
  if (data_ != nullptr) GlobalFree(data_);
  data_ = nullptr;
  length_ = 0;
  capacity_ = 0;
}
