// vxhost: a command-line host for the plug-in.  It loads the library,
// initialises it as the host does, sends it external calls, prints the
// replies and shuts it down; it also imports and exports .reg files.  The
// linux build keeps the stand-in's registry in a .reg file between runs.
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which it needs.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <signal.h>
#include <unistd.h>
#include <vxplatform/testing.h>

#include "tools/vxhost/registry_store.h"
#endif

#ifdef VXHOST_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#include <clocale>
#endif

#include "charsets/charsets.h"
#include "hostsim/hostsim.h"
#include "resources/string_ids.h"
#include "tools/regfile/file_io.h"
#include "tools/regfile/regfile.h"
#include "tools/regfile/registry_io.h"
#include "tools/vxhost/exit_status.h"
#include "tools/vxhost/reply_codec.h"

namespace {

using vxhost::kErrorReply;
using vxhost::kNoReply;
using vxhost::kPluginFailure;
using vxhost::kRegistryFailure;
using vxhost::kReplied;
using vxhost::kUsageError;
using vxhost::Note;

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
  Parameter text is typed in UTF-8 and passed as Windows-1252 bytes, as
  the host passes it; a character that Windows-1252 lacks is refused.

Replies
  Replies are printed in UTF-8, one line break after each.  Functions
  that convert their reply to the host's character set (all but
  Vantorix-Version and Vantorix-SetRegistryKey) are read back from it:
  Mac OS Roman codes become the accented letters they stand for, and
  carriage returns become line breaks.  The others are read as
  Windows-1252.  The host's conversion is not one-to-one: a byte that a
  converted character produced is shown as that character (0x80 as Ä,
  never as the euro sign, which passes unchanged).
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

// --- output ------------------------------------------------------------------

#ifdef _WIN32
bool WriteConsoleText(FILE *stream, const std::string &utf8) {
  HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) return false;
  std::u32string text;
  std::size_t bad = 0;
  if (!charsets::DecodeUtf8(utf8, &text, &bad)) return false;
  std::string units;
  for (char32_t c : text) charsets::AppendUtf16le(c, &units);
  fflush(stream);
  DWORD written = 0;
  return WriteConsoleW(handle, units.data(), static_cast<DWORD>(units.size() / 2), &written, nullptr) != 0;
}
#endif

void Write(FILE *stream, const std::string &text, bool bytes = false) {
#ifdef _WIN32
  if (!bytes && WriteConsoleText(stream, text)) return;
#else
  (void)bytes;
#endif
  fwrite(text.data(), 1, text.size(), stream);
}

void Say(const std::string &text) { Write(stderr, "vxhost: " + text + "\n"); }

// --- the plug-in's functions -----------------------------------------------

class Functions {
 public:
  explicit Functions(const hostsim::Plugin &plugin) {
    for (int i = 0; i < kCount; ++i) names_[i] = plugin.String(IDS_FUNCTION_NAME_BASE + static_cast<unsigned>(i));
  }

  // A name (any case) or an index.
  bool Resolve(const std::string &word, int32_t *index, std::string *error) const {
    if (ParseIndex(word, index)) return true;
    for (int i = 0; i < kCount; ++i) {
      if (!names_[i].empty() && SameNoCase(names_[i], word)) {
        *index = i;
        return true;
      }
    }
    *error = "the plug-in has no function " + word + " (vxhost --functions lists them)";
    return false;
  }

  std::string Name(int32_t index) const {
    if (index >= 0 && index < kCount && !names_[index].empty()) return charsets::Cp1252ToUtf8(names_[index]);
    return "function " + std::to_string(index);
  }

  std::string List() const {
    std::string out;
    for (int i = 0; i < kCount; ++i) {
      if (!names_[i].empty()) out += std::to_string(i) + "  " + charsets::Cp1252ToUtf8(names_[i]) + "\n";
    }
    return out;
  }

 private:
  static constexpr int kCount = 8;

  static bool ParseIndex(const std::string &word, int32_t *index) {
    std::size_t i = word.size() > 1 && word[0] == '-' ? 1 : 0;
    if (i == word.size() || word.size() - i > 10) return false;
    int64_t value = 0;
    for (; i < word.size(); ++i) {
      if (word[i] < '0' || word[i] > '9') return false;
      value = value * 10 + (word[i] - '0');
    }
    if (word[0] == '-') value = -value;
    if (value < INT32_MIN || value > INT32_MAX) return false;
    *index = static_cast<int32_t>(value);
    return true;
  }

  static bool SameNoCase(const std::string &a, const std::string &b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      const unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
      if ((x >= 'A' && x <= 'Z' ? x + 32 : x) != (y >= 'A' && y <= 'Z' ? y + 32 : y)) return false;
    }
    return true;
  }

  std::string names_[kCount];
};

// --- calls --------------------------------------------------------------------

enum class Shape { Text, Raw, Hex };

struct Call {
  int32_t index = 0;
  std::string parameter;  // Windows-1252, as the host passes it
};

bool PrepareCall(const Functions &functions, const std::string &word, const std::string &parameter, Call *call,
                 std::string *error) {
  if (!functions.Resolve(word, &call->index, error)) return false;
  if (!vxhost::EncodeParameter(parameter, &call->parameter, error)) {
    *error = "the parameter of " + functions.Name(call->index) + ": " + *error;
    return false;
  }
  return true;
}

int RunCall(hostsim::Host &host, const Functions &functions, const Call &call, Shape shape) {
  const hostsim::ExternalResult result = host.External(call.index, call.parameter);
  for (const std::string &violation : host.Violations()) Say("host check: " + violation);
  host.ClearJournal();
  const std::string name = functions.Name(call.index);
  if (!result.touched) {
    fflush(stdout);
    Say(name + " sent no reply");
    return kNoReply;
  }
  switch (shape) {
    case Shape::Raw: Write(stdout, result.reply, true); break;
    case Shape::Hex: Write(stdout, vxhost::HexDump(result.reply), true); break;
    case Shape::Text: Write(stdout, vxhost::DecodeReply(result.reply, vxhost::ConvertsReply(call.index)) + "\n"); break;
  }
  fflush(stdout);
  if (result.reply == "<<ERROR>>") {
    Say(name + " answered <<ERROR>>: the root key name is not one of the five that the plug-in knows");
    return kErrorReply;
  }
  return kReplied;
}

// --- reading lines --------------------------------------------------------------

bool ReadLine(bool prompt, std::string *line) {
#ifdef VXHOST_HAVE_READLINE
  if (prompt) {
    char *text = readline("vxhost> ");
    if (text == nullptr) return false;
    line->assign(text);
    if (*text != 0) add_history(text);
    std::free(text);
    return true;
  }
#endif
#ifdef _WIN32
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode)) {
    if (prompt) Write(stdout, "vxhost> ");
    std::string units;
    wchar_t buffer[512];
    DWORD read = 0;
    for (;;) {
      if (!ReadConsoleW(input, buffer, 512, &read, nullptr) || read == 0) {
        if (units.empty()) return false;
        break;
      }
      units.append(reinterpret_cast<const char *>(buffer), read * 2);
      if (buffer[read - 1] == L'\n') break;
    }
    std::u32string text;
    std::size_t bad = 0;
    charsets::DecodeUtf16le(units, &text, &bad);
    *line = charsets::EncodeUtf8(text);
    while (!line->empty() && (line->back() == '\n' || line->back() == '\r')) line->pop_back();
    return true;
  }
#endif
  if (prompt) {
    Write(stdout, "vxhost> ");
    fflush(stdout);
  }
  if (!std::getline(std::cin, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

const char kInteractiveHelp[] =
    "One call a line: FUNCTION, blanks, then the parameter (the rest of the line).\n"
    "  Vantorix-GetRegistryKey HKEY_CURRENT_USER|Software\\Demo|Greeting\n"
    "Also: functions (list them), help, quit.  Lines starting with # are skipped.\n";

// Runs one line at a time, each call between `beginCall` (which may refuse
// it) and `endCall`.
template <typename Begin, typename End>
int Interactive(hostsim::Host &host, const Functions &functions, Shape shape, bool prompt, Begin beginCall,
                End endCall) {
  int status = kReplied;
  std::string line;
  if (prompt) Write(stdout, "Type help for help, quit to end.\n");
  while (ReadLine(prompt, &line)) {
    std::size_t start = line.find_first_not_of(" \t");
    if (start == std::string::npos || line[start] == '#') continue;
    const std::size_t end = line.find_first_of(" \t", start);
    const std::string word = line.substr(start, end == std::string::npos ? std::string::npos : end - start);
    std::string parameter;
    if (end != std::string::npos) {
      const std::size_t from = line.find_first_not_of(" \t", end);
      if (from != std::string::npos) parameter = line.substr(from);
    }
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
    if (!beginCall()) {
      Note(&status, kRegistryFailure);
      continue;
    }
    Note(&status, RunCall(host, functions, call, shape));
    if (!endCall()) Note(&status, kRegistryFailure);
  }
  if (prompt) Write(stdout, "\n");  // end of input: leave the prompt's line
  return status;
}

// --- arguments --------------------------------------------------------------------

struct Options {
  std::string plugin;
  std::string registry;
  bool registryGiven = false;
  std::string importFile;
  std::string exportFile;
  std::string exportKey;
  bool exportWanted = false;
  bool regedit4 = false;
  Shape shape = Shape::Text;
  bool interactive = false;
  bool functions = false;
  bool help = false;
  std::vector<std::string> calls;  // FUNCTION PARAMETER ...
};

bool ParseArguments(const std::vector<std::string> &args, Options *options, std::string *error) {
  std::size_t i = 1;
  auto value = [&](const std::string &option, std::string *out) {
    if (i + 1 >= args.size()) {
      *error = option + " needs a value";
      return false;
    }
    *out = args[++i];
    return true;
  };
  for (; i < args.size(); ++i) {
    const std::string &arg = args[i];
    if (arg == "--") {
      ++i;
      break;
    }
    if (arg.size() < 2 || arg[0] != '-' || (arg[1] >= '0' && arg[1] <= '9')) break;  // a function (or -1)
    if (arg == "-h" || arg == "--help") {
      options->help = true;
    } else if (arg == "--plugin") {
      if (!value(arg, &options->plugin)) return false;
    } else if (arg == "--registry") {
      if (!value(arg, &options->registry)) return false;
      if (options->registry.empty()) {
        *error = "--registry needs a file name, not an empty one";
        return false;
      }
      options->registryGiven = true;
    } else if (arg == "--import") {
      if (!value(arg, &options->importFile)) return false;
    } else if (arg == "--export") {
      if (!value(arg, &options->exportFile)) return false;
      options->exportWanted = true;
      if (i + 1 < args.size() && !regfile::CanonicalRoot(args[i + 1].substr(0, args[i + 1].find('\\'))).empty()) {
        options->exportKey = args[++i];
      }
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
      *error = "unknown option " + arg + " (vxhost --help lists them)";
      return false;
    }
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

std::vector<std::string> Arguments(int argc, char **argv) {
  std::vector<std::string> args;
#ifdef _WIN32
  // The command line as typed, in UTF-8, whatever the code page.
  int count = 0;
  wchar_t **wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide != nullptr) {
    for (int i = 0; i < count; ++i) {
      const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
      std::string arg(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
      WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], size, nullptr, nullptr);
      arg.resize(arg.size() - 1);
      args.push_back(arg);
    }
    LocalFree(wide);
    return args;
  }
#endif
  for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
  return args;
}

bool StdinIsTerminal() {
#ifdef _WIN32
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
#else
  return isatty(0) != 0;
#endif
}

// Writes what it could read even when it left something out; that, named
// on standard error, still fails the export.
bool ExportTo(const Options &options, std::string *error) {
  regfile::Document document;
  std::string bytes;
  std::vector<std::string> skipped;
  const bool read = regfile::Export(options.exportKey, &document, &skipped, error);
  for (const std::string &why : skipped) Say("left out: " + why);
  const bool toStdout = options.exportFile == "-";
  const regfile::Format format = options.regedit4 ? regfile::Format::Regedit4
                                 : toStdout       ? regfile::Format::UnicodeUtf8
                                                  : regfile::Format::Unicode;
  if (!read || !regfile::Write(document, format, &bytes, error)) return false;
  if (toStdout) {
    // UTF-8 text goes to a Windows console as text; REGEDIT4 as its bytes.
    Write(stdout, bytes, format == regfile::Format::Regedit4);
    fflush(stdout);
  } else if (!regfile::SaveAtomically(options.exportFile, bytes, error)) {
    return false;
  }
  if (skipped.empty()) return true;
  *error = "the export is incomplete: it holds everything but what is named above as left out";
  return false;
}

bool ImportFrom(const std::string &file, std::string *error) {
  std::string bytes;
  bool exists = false;
  if (!regfile::ReadWholeFile(file, &bytes, &exists, error)) return false;
  if (!exists) {
    *error = "cannot read " + file + ": no such file";
    return false;
  }
  regfile::Document document;
  std::string warning;
  if (!regfile::Parse(bytes, &document, error, &warning)) {
    *error = file + ", " + *error;
    return false;
  }
  if (!warning.empty()) Say(file + ", " + warning);
  if (!regfile::Import(document, error)) {
    *error = file + ": " + *error;
    return false;
  }
  return true;
}

int Run(const std::vector<std::string> &args) {
  Options options;
  std::string error;
  if (!ParseArguments(args, &options, &error)) {
    Say(error);
    return kUsageError;
  }
  if (options.help) {
    Write(stdout, kHelp + vxhost::ExitStatusHelp());
    return kReplied;
  }
  const bool anyAction = !options.calls.empty() || options.interactive || options.functions ||
                         !options.importFile.empty() || options.exportWanted;
  const bool readStdin = options.interactive || !anyAction;
  const bool needPlugin = !options.calls.empty() || readStdin || options.functions;

  // The plug-in, and every call checked before any runs.
  std::unique_ptr<hostsim::Plugin> plugin;
  std::unique_ptr<Functions> functions;
  std::vector<Call> calls;
  if (needPlugin) {
    const std::string path = options.plugin.empty() ? hostsim::DefaultPluginPath() : options.plugin;
    plugin = hostsim::Plugin::Load(path, &error);
    if (!plugin) {
      Say(error);
      return kPluginFailure;
    }
    functions.reset(new Functions(*plugin));
    for (std::size_t i = 0; i < options.calls.size(); i += 2) {
      Call call;
      const std::string parameter = i + 1 < options.calls.size() ? options.calls[i + 1] : std::string();
      if (!PrepareCall(*functions, options.calls[i], parameter, &call, &error)) {
        Say(error);
        int32_t index = 0;
        std::string ignored;
        if (i >= 1 && functions->Resolve(options.calls[i - 1], &index, &ignored)) {
          Say("(each FUNCTION takes the next argument as its parameter; give '' for an empty one)");
        }
        return kUsageError;
      }
      calls.push_back(call);
    }
    if (options.functions) Write(stdout, functions->List());
  }

#ifndef _WIN32
  // The stand-in's registry, from its file; runs that may change it lock it.
  const bool writing = !calls.empty() || readStdin || !options.importFile.empty();
  vxhost::RegistryStore store;
  std::string registryPath = options.registry;
  if (registryPath.empty()) registryPath = vxhost::DefaultRegistryPath(&error);
  std::string warning;
  if (registryPath.empty() || !store.Open(registryPath, writing, &error) || !store.Begin(&error, &warning)) {
    Say(error);
    Say("nothing was run; the registry file is left as it is");
    return kRegistryFailure;
  }
  if (!warning.empty()) Say(warning);
  vxplatform::SetMessageBoxObserver([](const vxplatform::MessageBoxRecord &box) {
    Say("message box \"" + charsets::Cp1252ToUtf8(box.caption) + "\": " + charsets::Cp1252ToUtf8(box.text));
  });
  auto begin = [&store]() {
    std::string why, note;
    const bool begun = store.Begin(&why, &note);
    if (!note.empty()) Say(note);
    if (!begun) Say(why);
    return begun;
  };
  auto end = [&store]() {
    bool saved = false;
    std::string why;
    if (store.End(&saved, &why)) return true;
    Say(why);
    return false;
  };
#else
  auto begin = []() { return true; };
  auto end = []() { return true; };
#endif

  // The registry is ours (begun) from here to the end, except while calls
  // are read from standard input: each of those begins and ends on its own.
  int status = kReplied;
  if (!options.importFile.empty()) {
    if (!ImportFrom(options.importFile, &error)) {
      Say(error);
      return kRegistryFailure;  // nothing of it is saved
    }
  }

  if (!calls.empty() || readStdin) {
    hostsim::Host host(*plugin);
    const int32_t answer = host.Init(4);
    if (answer != 4) {
      Say("the plug-in refused interface version 4 (it answered " + std::to_string(answer) + ")");
      host.Shutdown();
      end();
      return kPluginFailure;
    }
    for (const Call &call : calls) Note(&status, RunCall(host, *functions, call, options.shape));
    if (readStdin) {
      if (!end()) Note(&status, kRegistryFailure);
      const bool prompt = StdinIsTerminal() && options.shape == Shape::Text;
      Note(&status, Interactive(host, *functions, options.shape, prompt, begin, end));
      if (!begin()) {
        host.Shutdown();
        return kRegistryFailure;
      }
    }
    host.Shutdown();
  }

  if (options.exportWanted && !ExportTo(options, &error)) {
    Say(error);
    Note(&status, kRegistryFailure);
  }
  if (!end()) Note(&status, kRegistryFailure);
  return status;
}

}  // namespace

int main(int argc, char **argv) {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#else
  // A file size limit makes a save fail with an error instead of ending
  // the program half-way.
  signal(SIGXFSZ, SIG_IGN);
#endif
#ifdef VXHOST_HAVE_READLINE
  std::setlocale(LC_CTYPE, "");
#endif
  const int status = Run(Arguments(argc, argv));
#ifdef VXHOST_HAVE_READLINE
  rl_clear_history();
#endif
  return status;
}
