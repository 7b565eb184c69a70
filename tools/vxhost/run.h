// One run of vxhost, from its arguments to its exit status.
#ifndef VANTORIX_TOOLS_VXHOST_RUN_H
#define VANTORIX_TOOLS_VXHOST_RUN_H

#include <string>
#include <vector>

namespace vxhost {

// args[0] is the program.  Loads the plug-in when calls need it, checks
// every call, takes the registry, imports, runs the calls (and those of
// standard input), exports and gives the registry back; see --help.
int Run(const std::vector<std::string> &args);

}  // namespace vxhost

#endif
