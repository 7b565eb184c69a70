#include "tools/vxhost/console.h"

#include <cstdlib>
#include <iostream>

#ifdef _WIN32
#include <windows.h>
// After windows.h, which they need.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>
#else
#include <unistd.h>
#endif

#ifdef VXHOST_HAVE_READLINE
#include <readline/history.h>
#include <readline/readline.h>
#include <clocale>
#endif

#include "charsets/charsets.h"

namespace vxhost {

namespace {

#ifdef _WIN32
bool WriteConsoleText(FILE *stream, const std::string &utf8) {
  HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (!GetConsoleMode(handle, &mode)) return false;
  std::string units;
  if (!charsets::Utf8ToUtf16le(utf8, &units)) return false;
  fflush(stream);
  DWORD written = 0;
  return WriteConsoleW(handle, units.data(), static_cast<DWORD>(units.size() / 2), &written, nullptr) != 0;
}

// A line of a Windows console, read in UTF-16; false at the end of input,
// and also when standard input is not a console (*console then false).
bool ReadConsoleLine(bool prompt, std::string *line, bool *console) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  *console = GetConsoleMode(input, &mode) != 0;
  if (!*console) return false;
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

}  // namespace

void StartConsole() {
#ifdef _WIN32
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stdin), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
#endif
#ifdef VXHOST_HAVE_READLINE
  std::setlocale(LC_CTYPE, "");
#endif
}

void EndConsole() {
#ifdef VXHOST_HAVE_READLINE
  rl_clear_history();
#endif
}

void Write(FILE *stream, const std::string &text, bool bytes) {
#ifdef _WIN32
  if (!bytes && WriteConsoleText(stream, text)) return;
#else
  (void)bytes;
#endif
  fwrite(text.data(), 1, text.size(), stream);
}

void Say(const std::string &text) { Write(stderr, "vxhost: " + text + "\n"); }

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
  bool console = false;
  const bool read = ReadConsoleLine(prompt, line, &console);
  if (console) return read;
#endif
  if (prompt) {
    Write(stdout, "vxhost> ");
    fflush(stdout);
  }
  if (!std::getline(std::cin, *line)) return false;
  if (!line->empty() && line->back() == '\r') line->pop_back();
  return true;
}

bool StdinIsTerminal() {
#ifdef _WIN32
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
#else
  return isatty(0) != 0;
#endif
}

std::vector<std::string> CommandLine(int argc, char **argv) {
  std::vector<std::string> args;
#ifdef _WIN32
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

}  // namespace vxhost
