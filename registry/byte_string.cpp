#include "registry/byte_string.h"

#include <windows.h>

#include <cstring>

#include "host/reply.h"

namespace {

constexpr uint32_t kFirstCapacity = 256;
constexpr uint32_t kMostCapacity = 0x7FFFFFFFu;

}  // namespace

bool ByteString::Reserve(uint64_t needed) {
  if (needed <= capacity_) return true;
  if (needed > kMostCapacity) return false;
  uint64_t size = capacity_ == 0 ? kFirstCapacity : capacity_;
  while (size < needed) size *= 2;  // needed < 2^31: no overflow
  if (size > kMostCapacity) size = kMostCapacity;
  char *grown = static_cast<char *>(GlobalAlloc(GMEM_FIXED, static_cast<SIZE_T>(size)));
  if (grown == nullptr) return false;
  if (length_ > 0) CopyBytes(data_, grown, length_);
  if (data_ != nullptr) GlobalFree(data_);
  data_ = grown;
  capacity_ = static_cast<uint32_t>(size);
  return true;
}

bool ByteString::Append(const char *bytes, uint32_t count) {
  if (count == 0) return true;
  if (!Reserve(static_cast<uint64_t>(length_) + count)) return false;
  CopyBytes(bytes, data_ + length_, count);
  length_ += count;
  return true;
}

bool ByteString::AppendText(const char *text) { return AppendTexts({text}); }

bool ByteString::AppendTexts(std::initializer_list<const char *> texts) {
  uint64_t total = length_;
  for (const char *text : texts) total += std::strlen(text);
  if (!Reserve(total)) return false;
  for (const char *text : texts) {
    const uint32_t count = static_cast<uint32_t>(std::strlen(text));
    CopyBytes(text, data_ + length_, count);
    length_ += count;
  }
  return true;
}

void ByteString::Release() {
  if (data_ != nullptr) GlobalFree(data_);
  data_ = nullptr;
  length_ = 0;
  capacity_ = 0;
}
