// Failures that tests inject into the stand-in's calls.
#ifndef VX_PLATFORM_SRC_INJECTION_H
#define VX_PLATFORM_SRC_INJECTION_H

#include <windows.h>

namespace vxplatform::detail {

// True if this call of `function` is to fail; then *status holds the status
// to return.  Counts the call either way.
bool TakeInjectedFailure(const char *function, LONG *status);

}  // namespace vxplatform::detail

#endif
