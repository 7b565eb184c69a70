// vxhost's terminal: text out (UTF-8; through the wide console functions
// on a Windows console), lines in (readline where it is built with it, the
// wide console functions on Windows, else plain standard input) and the
// command line in UTF-8.
#ifndef VANTORIX_TOOLS_VXHOST_CONSOLE_H
#define VANTORIX_TOOLS_VXHOST_CONSOLE_H

#include <cstdio>
#include <string>
#include <vector>

namespace vxhost {

// Sets up the standard streams (binary on Windows, so that replies pass
// byte for byte; the locale for line editing) and, at the end, lets go of
// the line editor's history.
void StartConsole();
void EndConsole();

// Writes UTF-8 text; on a Windows console through its wide function, so
// that every character shows whatever the console's code page.  bytes:
// write them as they are, also to a console.
void Write(FILE *stream, const std::string &text, bool bytes = false);

// "vxhost: TEXT" and a line break on standard error.
void Say(const std::string &text);

// Reads a line of standard input without its line end; false at the end of
// the input.  With prompt, shows "vxhost> " first (and edits the line with
// readline where vxhost has it).
bool ReadLine(bool prompt, std::string *line);

// Whether standard input is a terminal (a console on Windows).
bool StdinIsTerminal();

// The arguments in UTF-8: on Windows as typed, whatever the code page.
std::vector<std::string> CommandLine(int argc, char **argv);

}  // namespace vxhost

#endif
