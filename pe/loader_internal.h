// What the loader's units share among themselves (not for its users).
#ifndef VANTORIX_PE_LOADER_INTERNAL_H
#define VANTORIX_PE_LOADER_INTERNAL_H

#include <cstdint>
#include <string>
#include <vector>

#include "pe/module.h"

namespace pe {

// Windows' page protections (PAGE_*), which the loader keeps for each page
// of an image and the runtime's questions about memory answer with.
enum PageProtection : uint32_t {
  kNoAccess = 0x01,
  kReadOnly = 0x02,
  kReadWrite = 0x04,
  kWriteCopy = 0x08,
  kExecute = 0x10,
  kExecuteRead = 0x20,
  kExecuteReadWrite = 0x40,
  kExecuteWriteCopy = 0x80,
};

// A region's state and type (MEM_COMMIT, MEM_IMAGE), as VirtualQuery
// answers them.
constexpr uint32_t kMemoryCommitted = 0x1000;
constexpr uint32_t kMemoryImage = 0x1000000;

}  // namespace pe

namespace pe::detail {

constexpr uint32_t kPageSize = 4096;

// The modules loaded and attached, in the order of their loading.
std::vector<Module *> &LoadedModules();

// "0x14C", for messages.
std::string Hex(uint32_t value);

// What one import, dll!name, is bound to.
struct Binding {
  const char *dll;
  const char *name;
  void *address;
};

template <typename F>
void *Address(F *function) {
  return reinterpret_cast<void *>(function);
}

// The shims for what the runtime's start-up calls (runtime_shims.cpp).
const std::vector<Binding> &RuntimeShims();

// An address in a 32-bit image, as its fields hold it.
inline uint32_t Address32(const void *address) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(address)); }

}  // namespace pe::detail

#endif
