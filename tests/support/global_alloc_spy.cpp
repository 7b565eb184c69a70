#include "tests/support/global_alloc_spy.h"

#include <windows.h>

#ifdef _WIN32
#include <set>

#include "tests/support/import_hook.h"
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

}  // namespace

struct GlobalAllocSpy::Hooks {
  ImportHook alloc{GetModuleHandleA(nullptr), "kernel32.dll", "GlobalAlloc", reinterpret_cast<void *>(&SpyAlloc)};
  ImportHook free{GetModuleHandleA(nullptr), "kernel32.dll", "GlobalFree", reinterpret_cast<void *>(&SpyFree)};
};

GlobalAllocSpy::GlobalAllocSpy() {
  failures = 0;
  live.clear();
  hooks_ = std::make_unique<Hooks>();
  if (!hooks_->alloc.installed() || !hooks_->free.installed()) {
    error_ = "the test program does not import GlobalAlloc and GlobalFree from kernel32";
    hooks_.reset();
    return;
  }
  realAlloc = reinterpret_cast<GlobalAllocProc>(hooks_->alloc.original());
  realFree = reinterpret_cast<GlobalFreeProc>(hooks_->free.original());
}

GlobalAllocSpy::~GlobalAllocSpy() { failures = 0; }

void GlobalAllocSpy::FailNext(int count) { failures = count; }

std::ptrdiff_t GlobalAllocSpy::LiveBlocks() const { return static_cast<std::ptrdiff_t>(live.size()); }

#else

struct GlobalAllocSpy::Hooks {};

GlobalAllocSpy::GlobalAllocSpy() : baseline_(vxplatform::LiveGlobalAllocations()) {}

GlobalAllocSpy::~GlobalAllocSpy() { vxplatform::FailGlobalAlloc(0); }

void GlobalAllocSpy::FailNext(int count) { vxplatform::FailGlobalAlloc(count); }

std::ptrdiff_t GlobalAllocSpy::LiveBlocks() const {
  return static_cast<std::ptrdiff_t>(vxplatform::LiveGlobalAllocations()) - static_cast<std::ptrdiff_t>(baseline_);
}

#endif

}  // namespace vxtest
