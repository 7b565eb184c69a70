// vxhost's exit statuses: their numbers, what each means (the text that
// --help prints), and how the outcomes of one run add up to one status.
#ifndef VANTORIX_TOOLS_VXHOST_EXIT_STATUS_H
#define VANTORIX_TOOLS_VXHOST_EXIT_STATUS_H

#include <string>

namespace vxhost {

enum ExitStatus {
  kReplied = 0,
  kErrorReply = 1,
  kUsageError = 2,
  kNoReply = 3,
  kPluginFailure = 4,
  kRegistryFailure = 5,
};

// Adds one outcome to the run's status: the first outcome other than 0
// sets it, except that a registry failure always does, so that a file
// that was not saved is never hidden behind a call's status.
void Note(int *status, int outcome);

// The "Exit status" section of --help.
std::string ExitStatusHelp();

}  // namespace vxhost

#endif
