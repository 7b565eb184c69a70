// The plug-in library's own module handle.
#ifndef VANTORIX_HOST_OWN_MODULE_H
#define VANTORIX_HOST_OWN_MODULE_H

#include <windows.h>

// The linker places __ImageBase at the start of the module's image, so its
// address is the module handle whatever the host passed in the call block.
extern "C" IMAGE_DOS_HEADER __ImageBase;

inline HINSTANCE OwnModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

#endif
