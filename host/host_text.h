// Reply text in the host's character set.
#ifndef VANTORIX_HOST_HOST_TEXT_H
#define VANTORIX_HOST_HOST_TEXT_H

#include <cstdint>

// Windows-1252 byte -> host byte.  Accented letters take their Mac OS Roman
// codes; the line feed is never looked up, because ToHostText removes it.
extern const unsigned char HostCharTable[256];

// Converts the first length bytes of text in place to the host's character
// set and removes every line feed; the result is zero-terminated, so text
// must hold length + 1 bytes.  Returns the converted text's length up to its
// first zero byte.  A length of 0 or less, or a failed allocation of the
// scratch copy, leaves the text as it was and returns length.
int32_t ToHostText(char *text, int32_t length);

#endif
