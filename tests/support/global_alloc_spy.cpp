#include "tests/support/global_alloc_spy.h"

#include <windows.h>

#ifdef _WIN32
#include <cstring>
#include <set>
#else
#include <vxplatform/testing.h>
#endif

namespace vxtest {

#ifdef _WIN32

namespace {

using GlobalAllocProc = HGLOBAL(WINAPI *)(UINT, SIZE_T);
using GlobalFreeProc = HGLOBAL(WINAPI *)(HGLOBAL);

GlobalAllocProc realAlloc = nullptr;
GlobalFreeProc realFree = nullptr;
int failures = 0;
std::set<void *> live;

HGLOBAL WINAPI SpyAlloc(UINT flags, SIZE_T bytes) {
  if (failures > 0) {
    --failures;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  HGLOBAL block = realAlloc(flags, bytes);
  if (block != nullptr) live.insert(block);
  return block;
}

HGLOBAL WINAPI SpyFree(HGLOBAL block) {
  live.erase(block);
  return realFree(block);
}

// The import address table slot through which this program calls
// kernel32's `name`, or null.
void **ImportSlot(const char *name) {
  auto *base = reinterpret_cast<unsigned char *>(GetModuleHandleA(nullptr));
  auto *dos = reinterpret_cast<IMAGE_DOS_HEADER *>(base);
  auto *nt = reinterpret_cast<IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY &directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return nullptr;
  for (auto *import = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR *>(base + directory.VirtualAddress); import->Name != 0;
       ++import) {
    if (_stricmp(reinterpret_cast<const char *>(base + import->Name), "kernel32.dll") != 0) continue;
    if (import->OriginalFirstThunk == 0) continue;
    auto *names = reinterpret_cast<IMAGE_THUNK_DATA *>(base + import->OriginalFirstThunk);
    auto *slots = reinterpret_cast<IMAGE_THUNK_DATA *>(base + import->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto *byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME *>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<const char *>(byName->Name), name) == 0)
        return reinterpret_cast<void **>(&slots->u1.Function);
    }
  }
  return nullptr;
}

void *Swap(void **slot, void *replacement) {
  DWORD old = 0;
  VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &old);
  void *previous = *slot;
  *slot = replacement;
  VirtualProtect(slot, sizeof *slot, old, &old);
  return previous;
}

}  // namespace

GlobalAllocSpy::GlobalAllocSpy() {
  void **allocSlot = ImportSlot("GlobalAlloc");
  void **freeSlot = ImportSlot("GlobalFree");
  if (allocSlot == nullptr || freeSlot == nullptr) {
    error_ = "the test program does not import GlobalAlloc and GlobalFree from kernel32";
    return;
  }
  failures = 0;
  live.clear();
  realAlloc = reinterpret_cast<GlobalAllocProc>(Swap(allocSlot, reinterpret_cast<void *>(&SpyAlloc)));
  realFree = reinterpret_cast<GlobalFreeProc>(Swap(freeSlot, reinterpret_cast<void *>(&SpyFree)));
}

GlobalAllocSpy::~GlobalAllocSpy() {
  if (!error_.empty()) return;
  Swap(ImportSlot("GlobalAlloc"), reinterpret_cast<void *>(realAlloc));
  Swap(ImportSlot("GlobalFree"), reinterpret_cast<void *>(realFree));
  failures = 0;
}

void GlobalAllocSpy::FailNext(int count) { failures = count; }

std::ptrdiff_t GlobalAllocSpy::LiveBlocks() const { return static_cast<std::ptrdiff_t>(live.size()); }

#else

GlobalAllocSpy::GlobalAllocSpy() : baseline_(vxplatform::LiveGlobalAllocations()) {}

GlobalAllocSpy::~GlobalAllocSpy() { vxplatform::FailGlobalAlloc(0); }

void GlobalAllocSpy::FailNext(int count) { vxplatform::FailGlobalAlloc(count); }

std::ptrdiff_t GlobalAllocSpy::LiveBlocks() const {
  return static_cast<std::ptrdiff_t>(vxplatform::LiveGlobalAllocations()) - static_cast<std::ptrdiff_t>(baseline_);
}

#endif

}  // namespace vxtest
