// The string table of the linux build of the plug-in, from the same list as
// the Windows resource script.  The platform stand-in's LoadStringA finds it
// in the module by name.
#include <vxplatform/string_resources.h>

#include "resources/string_ids.h"
#include "resources/version.h"

extern "C" __attribute__((visibility("default"))) const VxStringResource VxStringResources[] = {
#define VX_STRING(id, text) {id, text},
#include "resources/strings.def"
#undef VX_STRING
    {0, nullptr},
};
