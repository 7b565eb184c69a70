// External calls: checked from what was typed, sent to the plug-in, and
// their replies written.
#ifndef VANTORIX_TOOLS_VXHOST_CALLS_H
#define VANTORIX_TOOLS_VXHOST_CALLS_H

#include <cstdint>
#include <string>
#include <vector>

#include "hostsim/hostsim.h"
#include "tools/vxhost/functions.h"
#include "tools/vxhost/options.h"

namespace vxhost {

struct Call {
  int32_t index = 0;
  std::string parameter;  // Windows-1252, as the host passes it
};

// A call from a FUNCTION word and its parameter typed in UTF-8; false, with
// *error set, for an unknown function or a parameter that the host could
// not pass.
bool PrepareCall(const Functions &functions, const std::string &word, const std::string &parameter, Call *call,
                 std::string *error);

// Every FUNCTION PARAMETER pair of the command line (the last PARAMETER may
// be left out), all checked before any runs; false after saying what is
// wrong with the first that cannot run.
bool PrepareCalls(const Functions &functions, const std::vector<std::string> &words, std::vector<Call> *calls);

// Sends the call, says what the host stand-in found wrong, writes the reply
// in the shape asked for, and gives the call's exit status.
int RunCall(hostsim::Host &host, const Functions &functions, const Call &call, Shape shape);

}  // namespace vxhost

#endif
