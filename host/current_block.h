// The block of the host call in progress.
#ifndef VANTORIX_HOST_CURRENT_BLOCK_H
#define VANTORIX_HOST_CURRENT_BLOCK_H

#include "host/call_block.h"

// Set as the very first step of every call into the plug-in and never
// cleared: every part of the plug-in reaches the host's fields and services
// through it, for the duration of the call.
extern ExternCallBlock *CurrentCallBlock;

#endif
