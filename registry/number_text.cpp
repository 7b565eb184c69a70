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
  for (uint32_t i = 0; i < count; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  out[2 * count] = 0;
  return 2 * count;
}
