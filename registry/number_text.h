// Numbers as reply text.
#ifndef VANTORIX_REGISTRY_NUMBER_TEXT_H
#define VANTORIX_REGISTRY_NUMBER_TEXT_H

#include <cstdint>

// Writes value in decimal, zero-terminated, into out (at least 21 bytes)
// and returns the number of digits.
uint32_t DecimalText(uint64_t value, char *out);

// Writes count bytes as upper-case hexadecimal, two digits a byte and no
// separators, zero-terminated, into out (at least 2 * count + 1 bytes) and
// returns 2 * count.
uint32_t HexText(const unsigned char *bytes, uint32_t count, char *out);

#endif
