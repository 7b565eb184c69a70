#include "tools/vxhost/options.h"

#include "tools/regfile/roots.h"
#include "tools/vxhost/exit_status.h"

namespace vxhost {

namespace {

const char kHelp[] =
    R"(usage: vxhost [OPTIONS] [FUNCTION PARAMETER]...
       vxhost [OPTIONS] --interactive
       vxhost [OPTIONS] --import FILE.reg
       vxhost [OPTIONS] --export FILE.reg [KEY]

vxhost loads the plug-in, initialises it as the host does (offering
interface version 4), sends it one external call for each FUNCTION
PARAMETER pair, prints each reply on its own line, and shuts it down.

  vxhost Vantorix-SetRegistryKey 'HKEY_CURRENT_USER|Software\Demo|Greeting||Grüezi'
  vxhost Vantorix-GetRegistryKey 'HKEY_CURRENT_USER|Software\Demo|Greeting'
  vxhost Vantorix-Version '' Vantorix-ListRegistryValues 'HKEY_CURRENT_USER|Software\Demo'

Calls
  FUNCTION is a function's name as the plug-in's string table gives it
  (case does not matter; vxhost --functions lists them) or its index.
  Every FUNCTION takes the next argument as its PARAMETER, taken literally,
  fields separated by '|'; give '' for an empty one.  The PARAMETER of the
  last call may be left out.  All calls are checked before the first runs.
  Parameter text is typed in UTF-8 and passed in Mac OS Roman, FileMaker's
  own character set, as FileMaker passes it: typed ü goes as 0x9F, which
  Windows reads as Ÿ.  A character that Mac OS Roman lacks (the euro sign,
  Š, Ž among them) is refused, naming it, before any call runs.

Replies
  Replies are printed in UTF-8, one line break after each.  Every reply is
  read as FileMaker shows it, in Mac OS Roman, whichever function sent
  it: 0x9F is ü, 0xA7 is ß; a carriage return, a line feed or the pair
  becomes a line break.  --raw and --hex give the bytes themselves.
  "<<ERROR>>" is printed like any reply and also reported on standard
  error.  A call that sends no reply prints nothing and says so on
  standard error.

Options (before the first FUNCTION; -- ends them)
  --plugin FILE      the plug-in library (default: the one beside vxhost)
  --raw              write the exact reply bytes, with nothing added
  --hex              write each reply as a hex dump with its byte count
  -i, --interactive  read calls from standard input, one a line:
                     FUNCTION, blanks, then the parameter (the rest of the
                     line); also help, functions, quit.  With no calls and
                     no --import/--export vxhost reads standard input too.
  --functions        list the plug-in's functions with their indexes
  --import FILE.reg  apply a registry editor file before any call
  --export FILE.reg [KEY]
                     after the calls, write KEY (like
                     HKEY_CURRENT_USER\Software\Demo) and all below it, or
                     all five roots, to FILE.reg ('-': standard output,
                     in UTF-8)
  --regedit4         write --export files as REGEDIT4 (Windows-1252)
                     instead of the editor's Unicode format
  --registry FILE    (linux) the registry file to use (not empty)
  -h, --help         this text

.reg files
  Read: "Windows Registry Editor Version 5.00" in UTF-16LE with its byte
  order mark (as the editor writes it) or in UTF-8, and "REGEDIT4" in
  Windows-1252 (a REGEDIT4 file that reads as UTF-8 is warned about);
  every value form ("text", dword:, hex:, hex(N):, with line
  continuations), @ for default values, [-KEY] and "name"=- for
  deletions.  Written: the editor's Unicode format, so that Windows
  imports it the same on every code page; in UTF-8 on standard output
  (--export -); REGEDIT4 with --regedit4.  Key paths are written as the
  registry stores them.  On Windows the registry's wide functions carry
  every character whole; the linux stand-in holds Windows-1252 only, and
  refuses a file with any other character before importing any of it.

The registry
  On Windows (and wine) vxhost works on the system's registry.  The linux
  build works on the platform stand-in, whose registry is kept in a .reg
  file: --registry FILE, else $VANTORIX_REGISTRY (when not empty), else
  $XDG_DATA_HOME/vantorix/registry.reg (~/.local/share when unset).
  A run that calls the plug-in or imports holds an exclusive lock on
  FILE.lock from loading the file to saving it, atomically, when the run
  changed it; with calls read from standard input, for each call, loading
  the file again first when another process changed it.  So runs at the
  same time never lose each other's writes.  A symbolic link is followed
  and the file it leads to is replaced (the link stays); the file keeps
  its mode.  A file that cannot be parsed is refused with its line number,
  a file that vxhost may not write (or whose mode lets nobody write it) is
  refused with the reason, both before any call, and left as they are.
)";

// An option that takes no value; false for any other argument.
bool TakeFlag(const std::string &arg, Options *options) {
  if (arg == "-h" || arg == "--help") {
    options->help = true;
  } else if (arg == "--regedit4") {
    options->regedit4 = true;
  } else if (arg == "--raw") {
    options->shape = Shape::Raw;
  } else if (arg == "--hex") {
    options->shape = Shape::Hex;
  } else if (arg == "-i" || arg == "--interactive") {
    options->interactive = true;
  } else if (arg == "--functions") {
    options->functions = true;
  } else {
    return false;
  }
  return true;
}

// An option that takes a value, args[*i + 1] (--export also a KEY after
// it); *i is left at the last argument taken.  *known is false for an
// argument that is no such option.
bool TakeValueOption(const std::vector<std::string> &args, std::size_t *i, Options *options, bool *known,
                     std::string *error) {
  const std::string &arg = args[*i];
  std::string *out = arg == "--plugin"     ? &options->plugin
                     : arg == "--registry" ? &options->registry
                     : arg == "--import"   ? &options->importFile
                     : arg == "--export"   ? &options->exportFile
                                           : nullptr;
  *known = out != nullptr;
  if (out == nullptr) return false;
  if (*i + 1 >= args.size()) {
    *error = arg + " needs a value";
    return false;
  }
  *out = args[++*i];
  if (arg == "--registry") {
    if (options->registry.empty()) {
      *error = "--registry needs a file name, not an empty one";
      return false;
    }
    options->registryGiven = true;
  } else if (arg == "--export") {
    options->exportWanted = true;
    const std::string &next = *i + 1 < args.size() ? args[*i + 1] : std::string();
    if (regfile::FindRoot(next.substr(0, next.find('\\'))) != nullptr) options->exportKey = args[++*i];
  }
  return true;
}

}  // namespace

bool ParseArguments(const std::vector<std::string> &args, Options *options, std::string *error) {
  std::size_t i = 1;
  for (; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9')) break;  // a function (or -1)
    if (TakeFlag(arg, options)) continue;
    bool known = false;
    if (TakeValueOption(args, &i, options, &known, error)) continue;
    if (!known) *error = "unknown option " + arg + " (vxhost --help lists them)";
    return false;
  }
  options->calls.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
  if (options->interactive && !options->calls.empty()) {
    *error = "--interactive reads its calls from standard input; give none on the command line";
    return false;
  }
#ifdef _WIN32
  if (options->registryGiven) {
    *error = "--registry is for the linux build; on Windows vxhost works on the system's registry";
    return false;
  }
#endif
  return true;
}

std::string HelpText() { return kHelp + ExitStatusHelp(); }

}  // namespace vxhost
