#include "registry/number_text.h"

uint32_t DecimalText(uint64_t value, char *out) {
  char reversed[20];
  uint32_t digits = 0;
  do {
    reversed[digits++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  for (uint32_t i = 0; i < digits; ++i) out[i] = reversed[digits - 1 - i];
  out[digits] = 0;
  return digits;
}

uint32_t HexText(const unsigned char *bytes, uint32_t count, char *out) {
  static const char kDigits[] = "0123456789ABCDEF";
  char *digit = out;
  for (uint32_t i = 0; i < count; ++i) {
    *digit++ = kDigits[bytes[i] >> 4];
    *digit++ = kDigits[bytes[i] & 0x0F];
  }
  *digit = 0;
  return static_cast<uint32_t>(digit - out);
}
