// Shims for what the runtime that a 32-bit Windows DLL carries calls at its
// start-up and end: critical sections, module lookups, page protection, the
// initialiser tables, the runtime's locks and its standard streams.  The
// runtime's contract is small, and what it asks about modules concerns only
// those this loader mapped.
#include "pe/module.h"

#ifdef VX_PE_LOADER

#include <windows.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <mutex>

#include "pe/loader_internal.h"
#include "pe/thread_block.h"

namespace pe {

namespace {

constexpr DWORD kModuleNotFound = 126;     // ERROR_MOD_NOT_FOUND
constexpr DWORD kProcedureNotFound = 127;  // ERROR_PROC_NOT_FOUND
constexpr DWORD kInvalidAddress = 487;     // ERROR_INVALID_ADDRESS

// --- kernel32 ---------------------------------------------------------------

// A critical section's first field holds the lock that stands in for it.
struct CriticalSection {
  std::recursive_mutex *lock;
  uint32_t rest[5];
};
static_assert(sizeof(CriticalSection) == 24, "a 32-bit CRITICAL_SECTION");
std::size_t liveCriticalSections = 0;

void WINAPI InitializeCriticalSection(CriticalSection *section) {
  section->lock = new std::recursive_mutex();
  ++liveCriticalSections;
}
void WINAPI DeleteCriticalSection(CriticalSection *section) {
  delete section->lock;
  section->lock = nullptr;
  --liveCriticalSections;
}
void WINAPI EnterCriticalSection(CriticalSection *section) { section->lock->lock(); }
void WINAPI LeaveCriticalSection(CriticalSection *section) { section->lock->unlock(); }

void WINAPI Sleep(DWORD milliseconds) {
  const timespec pause{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
  nanosleep(&pause, nullptr);
}

// The modules known here are those this loader mapped: the programs that
// load them are no Windows images, and they load no other DLLs.
HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
  Module *module = name ? Module::Named(name) : nullptr;
  if (module == nullptr) SetLastError(kModuleNotFound);
  return module ? static_cast<HMODULE>(module->Base()) : nullptr;
}

HMODULE WINAPI LoadLibraryA(LPCSTR name) { return GetModuleHandleA(name); }

// Unloading belongs to the loader's owner: FreeLibrary only answers for a
// handle that it knows.
BOOL WINAPI FreeLibrary(HMODULE module) {
  Module *known = Module::Containing(module);
  if (known == nullptr || known->Base() != module) SetLastError(ERROR_INVALID_HANDLE);
  return known != nullptr && known->Base() == module;
}

void *WINAPI GetProcAddress(HMODULE module, LPCSTR name) {
  Module *known = Module::Containing(module);
  // An ordinal comes as a "name" below 0x10000.
  const bool byName = reinterpret_cast<uintptr_t>(name) > kOrdinalMask;
  void *found = known && known->Base() == module && byName ? known->Export(name) : nullptr;
  if (found == nullptr) SetLastError(kProcedureNotFound);
  return found;
}

LPVOID WINAPI TlsGetValue(DWORD index) {
  std::string ignored;
  ThreadBlock *thread = CurrentThreadBlock(&ignored);
  if (thread == nullptr || index >= ThreadBlock::kTlsSlots) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<LPVOID>(static_cast<uintptr_t>(thread->tlsSlots[index]));
}

struct MemoryInfo {
  void *base, *allocationBase;
  DWORD allocationProtect;
  SIZE_T regionSize;
  DWORD state, protect, type;
};
static_assert(sizeof(MemoryInfo) == 28, "a 32-bit MEMORY_BASIC_INFORMATION");

// Answers for the pages of the modules' images, which is what a module's
// runtime asks about (before it makes a page writable for a relocation).
SIZE_T WINAPI VirtualQuery(LPCVOID address, MemoryInfo *info, SIZE_T length) {
  Module *module = Module::Containing(address);
  MemoryInfo found{};
  if (module == nullptr || length < sizeof found ||
      !module->Region(address, &found.base, &found.regionSize, &found.protect)) {
    SetLastError(module ? ERROR_INSUFFICIENT_BUFFER : ERROR_INVALID_PARAMETER);
    return 0;
  }
  found.allocationBase = module->Base();
  found.allocationProtect = kExecuteWriteCopy;  // as for every image
  found.state = kMemoryCommitted;
  found.type = kMemoryImage;
  *info = found;
  return sizeof found;
}

BOOL WINAPI VirtualProtect(LPVOID address, SIZE_T size, DWORD protection, PDWORD previous) {
  Module *module = Module::Containing(address);
  uint32_t old = 0;
  if (module == nullptr || previous == nullptr || !module->Protect(address, size, protection, &old)) {
    SetLastError(module ? ERROR_INVALID_PARAMETER : kInvalidAddress);
    return FALSE;
  }
  *previous = old;
  return TRUE;
}

// --- msvcrt -----------------------------------------------------------------

using Initialiser = void (*)();

void InitTerm(Initialiser *begin, Initialiser *end) {
  for (Initialiser *at = begin; at < end; ++at) {
    if (*at != nullptr) (*at)();
  }
}

[[noreturn]] void RuntimeError(int code) {
  std::fprintf(stderr, "runtime error R60%02d in a loaded module\n", code);
  std::abort();
}

std::recursive_mutex runtimeLocks[64];

void Lock(int number) {
  if (number < 0 || number >= 64) RuntimeError(17);  // R6017: unexpected lock error
  runtimeLocks[number].lock();
}
void Unlock(int number) {
  if (number < 0 || number >= 64) RuntimeError(17);
  runtimeLocks[number].unlock();
}

// The runtime's standard streams, 32 bytes each; a module writes to the
// second and third, which are this program's standard output and error.
unsigned char standardStreams[3][32];

FILE *Stream(void *stream) {
  if (stream == standardStreams[1]) return stdout;
  if (stream == standardStreams[2]) return stderr;
  return nullptr;
}

size_t WriteStream(const void *data, size_t size, size_t count, void *stream) {
  FILE *file = Stream(stream);
  if (file == nullptr) errno = EBADF;
  return file ? std::fwrite(data, size, count, file) : 0;
}

int PrintStream(void *stream, const char *format, va_list arguments) {
  FILE *file = Stream(stream);
  if (file == nullptr) errno = EBADF;
  return file ? std::vfprintf(file, format, arguments) : -1;
}

}  // namespace

const std::vector<detail::Binding> &detail::RuntimeShims() {
  static const std::vector<Binding> shims = {
      {"KERNEL32.dll", "InitializeCriticalSection", Address(&InitializeCriticalSection)},
      {"KERNEL32.dll", "DeleteCriticalSection", Address(&DeleteCriticalSection)},
      {"KERNEL32.dll", "EnterCriticalSection", Address(&EnterCriticalSection)},
      {"KERNEL32.dll", "LeaveCriticalSection", Address(&LeaveCriticalSection)},
      {"KERNEL32.dll", "Sleep", Address(&Sleep)},
      {"KERNEL32.dll", "GetModuleHandleA", Address(&GetModuleHandleA)},
      {"KERNEL32.dll", "LoadLibraryA", Address(&LoadLibraryA)},
      {"KERNEL32.dll", "FreeLibrary", Address(&FreeLibrary)},
      {"KERNEL32.dll", "GetProcAddress", Address(&GetProcAddress)},
      {"KERNEL32.dll", "TlsGetValue", Address(&TlsGetValue)},
      {"KERNEL32.dll", "VirtualQuery", Address(&VirtualQuery)},
      {"KERNEL32.dll", "VirtualProtect", Address(&VirtualProtect)},
      {"msvcrt.dll", "_initterm", Address(&InitTerm)},
      {"msvcrt.dll", "_amsg_exit", Address(&RuntimeError)},
      {"msvcrt.dll", "_lock", Address(&Lock)},
      {"msvcrt.dll", "_unlock", Address(&Unlock)},
      {"msvcrt.dll", "_iob", standardStreams},
      {"msvcrt.dll", "fwrite", Address(&WriteStream)},
      {"msvcrt.dll", "vfprintf", Address(&PrintStream)},
  };
  return shims;
}

std::size_t LiveCriticalSections() { return liveCriticalSections; }

}  // namespace pe

#endif
