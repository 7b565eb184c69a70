// vxhost: a command-line host for the plug-in.  It loads the library,
// initialises it as the host does, sends it external calls, prints the
// replies and shuts it down; it also imports and exports .reg files.  The
// linux build keeps the stand-in's registry in a .reg file between runs.
#include <cstdio>
#include <cstdlib>

#ifndef _WIN32
#include <signal.h>
#endif

#include "tools/vxhost/console.h"
#include "tools/vxhost/run.h"

int main(int argc, char **argv) {
#ifndef _WIN32
  // A file size limit makes a save fail with an error instead of ending
  // the program half-way.
  signal(SIGXFSZ, SIG_IGN);
#endif
  vxhost::StartConsole();
  const int status = vxhost::Run(vxhost::CommandLine(argc, argv));
  vxhost::EndConsole();
#ifdef VXHOST_QUICK_EXIT
  // Everything is saved and the plug-in unloaded.  The stand-in's registry,
  // as large as its file, is not taken apart value by value at exit: the
  // system takes the process's memory back at once.
  std::fflush(nullptr);
  std::_Exit(status);
#else
  return status;
#endif
}
