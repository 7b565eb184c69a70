// Global and local memory blocks: fixed blocks from the C heap, counted so
// tests can see that every block is freed.
#include <cstdlib>
#include <cstring>
#include <unordered_set>

#include <vxplatform/testing.h>

namespace {

struct Heap {
  std::unordered_set<void *> live;
};

Heap &GlobalHeap() {
  static Heap heap;
  return heap;
}

Heap &LocalHeap() {
  static Heap heap;
  return heap;
}

int failGlobalAllocs = 0;

void *Allocate(Heap &heap, UINT flags, SIZE_T bytes) {
  void *block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (flags & GMEM_ZEROINIT) std::memset(block, 0, bytes == 0 ? 1 : bytes);
  heap.live.insert(block);
  return block;
}

// Returns null on success and the block itself when it is not a live block
// of this heap, as Windows does.
void *Free(Heap &heap, void *block) {
  if (block == nullptr) return nullptr;
  if (heap.live.erase(block) == 0) {
    SetLastError(ERROR_INVALID_HANDLE);
    return block;
  }
  std::free(block);
  return nullptr;
}

}  // namespace

extern "C" {

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
  if (failGlobalAllocs > 0) {
    --failGlobalAllocs;
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  return Allocate(GlobalHeap(), uFlags, dwBytes);
}

HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) { return Free(GlobalHeap(), hMem); }

HLOCAL WINAPI LocalAlloc(UINT uFlags, SIZE_T uBytes) { return Allocate(LocalHeap(), uFlags, uBytes); }

HLOCAL WINAPI LocalFree(HLOCAL hMem) { return Free(LocalHeap(), hMem); }

}  // extern "C"

namespace vxplatform {

void FailGlobalAlloc(int count) { failGlobalAllocs = count; }
std::size_t LiveGlobalAllocations() { return GlobalHeap().live.size(); }
std::size_t LiveLocalAllocations() { return LocalHeap().live.size(); }

}  // namespace vxplatform
