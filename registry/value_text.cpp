#include "registry/value_text.h"

#include <cstring>

#include "host/host_text.h"
#include "registry/number_text.h"

namespace {

// Converts the length bytes of out (terminated at out[length]) in place and
// measures the converted text, which line feeds removed may have shortened.
uint32_t ConvertedLength(char *out, uint32_t length) {
  ToHostText(out, static_cast<int32_t>(length));
  return static_cast<uint32_t>(std::strlen(out));
}

uint32_t StringText(const unsigned char *data, uint32_t count, char *out) {
  uint32_t length = 0;
  while (length < count && data[length] != 0) {
    out[length] = static_cast<char>(data[length]);
    ++length;
  }
  out[length] = 0;
  return ConvertedLength(out, length);
}

uint32_t MultiStringText(const unsigned char *data, uint32_t count, char *out) {
  uint32_t length = 0;
  uint32_t position = 0;
  while (position < count && data[position] != 0) {
    // Each string but the first is preceded by the carriage return that
    // stands for the zero byte ending the previous one, so the text is never
    // longer than the data.
    if (length > 0) out[length++] = '\r';
    while (position < count && data[position] != 0) out[length++] = static_cast<char>(data[position++]);
    ++position;  // past the zero byte that ends this string
  }
  out[length] = 0;
  return ConvertedLength(out, length);
}

uint64_t LittleEndian(const unsigned char *data, uint32_t count) {
  uint64_t value = 0;
  for (uint32_t i = count; i > 0; --i) value = (value << 8) | data[i - 1];
  return value;
}

}  // namespace

uint32_t ValueText(DWORD type, const unsigned char *data, uint32_t count, char *out) {
  if (count > kQueryByteLimit) count = kQueryByteLimit;
  out[0] = 0;
  if (count == 0) return 0;

  switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ: return StringText(data, count, out);
    case REG_MULTI_SZ: return MultiStringText(data, count, out);
    case REG_DWORD:
      if (count != 4) break;
      return DecimalText(LittleEndian(data, 4), out);
    case REG_DWORD_BIG_ENDIAN:
      if (count != 4) break;
      return DecimalText((uint64_t{data[0]} << 24) | (uint64_t{data[1]} << 16) | (uint64_t{data[2]} << 8) | data[3],
                         out);
    case REG_QWORD:
      if (count != 8) break;
      return DecimalText(LittleEndian(data, 8), out);
    default: break;
  }
  return HexText(data, count, out);
}
