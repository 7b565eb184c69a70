// A growable string of bytes for the list replies, without the standard
// library's containers (the plug-in runs inside the host without exception
// support).
#ifndef VANTORIX_REGISTRY_BYTE_STRING_H
#define VANTORIX_REGISTRY_BYTE_STRING_H

#include <cstdint>
#include <initializer_list>

class ByteString {
 public:
  ByteString() = default;
  ~ByteString() { Release(); }
  ByteString(const ByteString &) = delete;
  ByteString &operator=(const ByteString &) = delete;

  // Appends count bytes.  The storage doubles when it runs out, so a string
  // built by appends costs amortised constant time per byte.  Returns false,
  // leaving the string as it was, when no storage can be had.
  bool Append(const char *bytes, uint32_t count);
  // Appends a zero-terminated text without its terminator.
  bool AppendText(const char *text);
  // Appends the texts one after the other, all of them or, when no storage
  // can be had, none.
  bool AppendTexts(std::initializer_list<const char *> texts);

  // Frees the storage; the string is empty afterwards.
  void Release();

  const char *data() const { return data_; }
  uint32_t length() const { return length_; }
  uint32_t capacity() const { return capacity_; }

 private:
  bool Reserve(uint64_t needed);

  char *data_ = nullptr;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;
};

#endif
