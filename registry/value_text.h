// A registry value's data as reply text, by the value's type.
#ifndef VANTORIX_REGISTRY_VALUE_TEXT_H
#define VANTORIX_REGISTRY_VALUE_TEXT_H

#include <windows.h>

#include <cstdint>

#include "registry/param_frame.h"

// Room for the longest value text: kQueryByteLimit data bytes in
// hexadecimal and a terminator.
constexpr uint32_t kValueTextSize = 2 * kQueryByteLimit + 1;

// Writes the text for count data bytes of a value of the given type into
// out (kValueTextSize bytes), zero-terminated, and returns its length.
// Reads no byte of data past count; count must be at most kQueryByteLimit.
//   - REG_SZ, REG_EXPAND_SZ: the text up to the first zero byte, or all the
//     data if there is none; converted to the host's character set.
//   - REG_MULTI_SZ: the strings separated by single carriage returns, none
//     after the last (the list ends at an empty string or with the data);
//     converted.
//   - REG_DWORD, REG_DWORD_BIG_ENDIAN (4 bytes), REG_QWORD (8 bytes): the
//     number in unsigned decimal.
//   - anything else, and numbers of another size: upper-case hexadecimal,
//     two digits a byte.
//   - no data bytes at all: the empty text, whatever the type.
uint32_t ValueText(DWORD type, const unsigned char *data, uint32_t count, char *out);

#endif
