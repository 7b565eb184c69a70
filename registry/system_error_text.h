// The operating system's own message for a registry status, as reply text.
#ifndef VANTORIX_REGISTRY_SYSTEM_ERROR_TEXT_H
#define VANTORIX_REGISTRY_SYSTEM_ERROR_TEXT_H

#include <windows.h>

#include <cstdint>

#include "host/call_block.h"

// Leaves the system's message for status in work (size bytes, at least 1), converted to
// the host's character set when convert is set, and returns the length of
// the reply: the text without the line-end bytes at its end.
//   - A message longer than size - 1 bytes is cut to that length before it
//     is converted.
//   - A status for which the system has no message gives "System error N."
//     with N the status in decimal.
uint32_t SystemErrorText(LONG status, bool convert, char *work, uint32_t size);

// SystemErrorText, then that reply sent to the host.
void AnswerSystemError(HostHandle reply, LONG status, bool convert, char *work, uint32_t size);

#endif
