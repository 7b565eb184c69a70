#include "tools/vxhost/interactive.h"

#include <string>

#include "tools/vxhost/calls.h"
#include "tools/vxhost/console.h"
#include "tools/vxhost/exit_status.h"

namespace vxhost {

namespace {

const char kInteractiveHelp[] =
    "One call a line: FUNCTION, blanks, then the parameter (the rest of the line).\n"
    "  Vantorix-GetRegistryKey HKEY_CURRENT_USER|Software\\Demo|Greeting\n"
    "Also: functions (list them), help, quit.  Lines starting with # are skipped.\n";

// Splits a line into its first word and the rest after the blanks that
// follow it; false for an empty line or a comment.
bool SplitLine(const std::string &line, std::string *word, std::string *parameter) {
  const std::size_t start = line.find_first_not_of(" \t");
  if (start == std::string::npos || line[start] == '#') return false;
  const std::size_t end = line.find_first_of(" \t", start);
  *word = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
  parameter->clear();
  if (end != std::string::npos) {
    const std::size_t from = line.find_first_not_of(" \t", end);
    if (from != std::string::npos) *parameter = line.substr(from);
  }
  return true;
}

}  // namespace

int RunInteractive(hostsim::Host &host, const Functions &functions, Shape shape, bool prompt,
                   RegistrySession &registry) {
  int status = kReplied;
  std::string line, word, parameter;
  if (prompt) Write(stdout, "Type help for help, quit to end.\n");
  while (ReadLine(prompt, &line)) {
    if (!SplitLine(line, &word, &parameter)) continue;
    if (word == "quit" || word == "exit") break;
    if (word == "help") {
      Write(stdout, kInteractiveHelp);
      continue;
    }
    if (word == "functions") {
      Write(stdout, functions.List());
      continue;
    }
    Call call;
    std::string error;
    if (!PrepareCall(functions, word, parameter, &call, &error)) {
      Say(error);
      Note(&status, kUsageError);
      continue;
    }
    if (!registry.Begin()) {
      Note(&status, kRegistryFailure);
      continue;
    }
    Note(&status, RunCall(host, functions, call, shape));
    if (!registry.End()) Note(&status, kRegistryFailure);
  }
  if (prompt) Write(stdout, "\n");  // end of input: leave the prompt's line
  return status;
}

}  // namespace vxhost
