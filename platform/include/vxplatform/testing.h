// Controls and inspection points of the linux platform stand-in, for tests
// and tools.  None of this exists on Windows: code that uses it is built in
// the linux lane only.
#ifndef VX_PLATFORM_TESTING_H
#define VX_PLATFORM_TESTING_H

#include <windows.h>

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace vxplatform {

// --- registry -------------------------------------------------------------

// Empties every root key and closes every open handle.
VX_PLATFORM_API void ResetRegistry();

// How many times the registry's contents changed since the process
// started: a key created or deleted, a value set to other data or deleted.
// Opening, reading and writing a value's same data again change nothing.
// Lets a tool that keeps the registry in a file save it only when it
// changed.
VX_PLATFORM_API unsigned long long RegistryChangeCount();

// Number of key handles currently open (predefined root handles excluded).
VX_PLATFORM_API std::size_t OpenKeyHandleCount();

// Marks a key so that it may be read but not written: opening it with any
// right beyond KEY_READ, or creating a key below it, fails with
// ERROR_ACCESS_DENIED.  Returns false if the key does not exist.
VX_PLATFORM_API bool DenyWriteAccess(HKEY root, const char *path, bool deny = true);

// Makes a later call of the named platform function (for example
// "RegQueryValueExA") fail with status: the call after `skip` further calls
// of that function.  The failing call changes nothing in the registry and
// reports as a real failure would (FormatMessageA returns 0 and sets the
// status as the last error).
VX_PLATFORM_API void InjectFailure(const char *function, LONG status, int skip = 0);
VX_PLATFORM_API void ClearInjectedFailures();

// Replaces the system message text for status, given without its closing
// line end (FormatMessageA adds CR LF); nullptr restores the built-in text,
// if any.  Lets tests see long or non-ASCII messages.
VX_PLATFORM_API void SetMessageText(DWORD status, const char *text);

// --- modules --------------------------------------------------------------

// Gives LoadStringA the string table of a module that was mapped by other
// means than the dynamic linker (the 32-bit Windows images of hostsim's
// loader): its strings by id, in the ANSI code page.  An empty table
// forgets the module.
VX_PLATFORM_API void SetModuleStrings(HINSTANCE module, std::map<unsigned, std::string> strings);

// --- memory ---------------------------------------------------------------

// Makes the next `count` GlobalAlloc calls fail.
VX_PLATFORM_API void FailGlobalAlloc(int count = 1);
VX_PLATFORM_API std::size_t LiveGlobalAllocations();
VX_PLATFORM_API std::size_t LiveLocalAllocations();

// --- user interface -------------------------------------------------------

struct MessageBoxRecord {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};

// Every MessageBoxA since the last clear, in order.
VX_PLATFORM_API std::vector<MessageBoxRecord> MessageBoxes();
VX_PLATFORM_API void ClearMessageBoxes();
// Called for each box as it is shown (after it is recorded); null for none.
VX_PLATFORM_API void SetMessageBoxObserver(std::function<void(const MessageBoxRecord &)> observer);

// The cursor made current by the last SetCursor (null before any), and every
// cursor passed to SetCursor since the last clear.
VX_PLATFORM_API HCURSOR CurrentCursor();
VX_PLATFORM_API std::vector<HCURSOR> CursorHistory();
VX_PLATFORM_API void ClearCursorHistory();

}  // namespace vxplatform

#endif
