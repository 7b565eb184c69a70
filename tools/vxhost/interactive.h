// Calls read from standard input, one a line, each run on the registry as
// other processes left it.
#ifndef VANTORIX_TOOLS_VXHOST_INTERACTIVE_H
#define VANTORIX_TOOLS_VXHOST_INTERACTIVE_H

#include "hostsim/hostsim.h"
#include "tools/vxhost/functions.h"
#include "tools/vxhost/options.h"
#include "tools/vxhost/registry_session.h"

namespace vxhost {

// Runs a line at a time until the end of the input or "quit": a call
// between the registry's Begin and End, or help, functions, a comment or
// an empty line.  With prompt, prompts and greets.  Gives the exit status
// of the lines run; the registry is not held when it returns.
int RunInteractive(hostsim::Host &host, const Functions &functions, Shape shape, bool prompt,
                   RegistrySession &registry);

}  // namespace vxhost

#endif
