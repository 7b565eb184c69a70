// The plug-in's only entry point and the dispatch of host calls.
#ifndef VANTORIX_HOST_ENTRY_H
#define VANTORIX_HOST_ENTRY_H

#include <cstdint>

#include "host/call_block.h"

#ifdef _WIN32
#define VX_EXPORT  // exported undecorated through the module definition file
#else
#define VX_EXPORT __attribute__((visibility("default")))
#endif

extern "C" VX_EXPORT void VX_CDECL FMExternCallProc(ExternCallBlock *block);

// Idle time: nothing to do.
void HandleIdle(uint8_t idleKind);

// Calls the external function of functionIndex; indexes without a function
// (1, and everything above 7 read as unsigned) do nothing.
void DispatchExternal(int32_t functionIndex, HostHandle parameter, HostHandle reply);

#endif
