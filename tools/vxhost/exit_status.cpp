#include "tools/vxhost/exit_status.h"

namespace vxhost {

namespace {

const struct {
  ExitStatus status;
  const char *meaning;
} kMeanings[] = {
    {kReplied, "every call replied, and every --import, --export and save of the registry file succeeded"},
    {kErrorReply,
     "a call answered exactly \"<<ERROR>>\" (the plug-in's answer when the root key name is not one of "
     "the five; a value whose data is \"<<ERROR>>\" reads the same)"},
    {kUsageError,
     "usage error: an unknown option or function, a parameter that cannot be passed, an empty --registry; "
     "with calls read from standard input, a line that cannot be run"},
    {kNoReply, "a call sent no reply"},
    {kPluginFailure, "the plug-in could not be loaded, or refused interface version 4"},
    {kRegistryFailure,
     "the registry failed: the registry file could not be read, parsed, locked, written or saved; "
     "--import failed; --export failed or left out something (named on standard error)"},
};

// Wraps text at 72 columns; the caller writes the first line's first
// `indent` columns, the later lines are indented by as many blanks.
std::string Wrapped(const std::string &text, std::size_t indent) {
  std::string out;
  std::size_t column = indent;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    const std::size_t length = end - at;
    if (at > 0) {
      if (column + 1 + length > 72) {
        out += "\n" + std::string(indent, ' ');
        column = indent;
      } else {
        out += " ";
        ++column;
      }
    }
    out.append(text, at, length);
    column += length;
    at = end + 1;
  }
  return out;
}

}  // namespace

void Note(int *status, int outcome) {
  if (outcome == kRegistryFailure || *status == kReplied) *status = outcome;
}

std::string ExitStatusHelp() {
  std::string out = "Exit status\n";
  for (const auto &entry : kMeanings) {
    const std::string number = "  " + std::to_string(entry.status) + "  ";
    out += number + Wrapped(entry.meaning, number.size()) + "\n";
  }
  out += "  " +
         Wrapped(
             "Every call runs, also after one failed. The status is that of the first call (or line read) whose "
             "status is not 0, except that 5 outranks all others: a registry that was not saved, imported or exported "
             "in full always ends the run with 5.",
             2) +
         "\n";
  return "\n" + out;
}

}  // namespace vxhost
