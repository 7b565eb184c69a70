// Handing reply text to the host.
#ifndef VANTORIX_HOST_REPLY_H
#define VANTORIX_HOST_REPLY_H

#include <cstdint>

#include "host/call_block.h"

// Copies count bytes front to back; the ranges never overlap.
void CopyBytes(const void *source, void *destination, uint32_t count);

// Makes the host's reply exactly the n bytes of text, without a terminator:
// resizes the reply handle, asks the host whether that worked, and only then
// copies.  After a failed resize nothing is copied and nothing is reported.
void PutResult(HostHandle reply, const void *text, uint32_t n);

#endif
