// Process attach and detach: the module's thread-local storage for the
// loading thread, its TLS callbacks, and its entry point.
#include "pe/module.h"

#ifdef VX_PE_LOADER

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "pe/loader_internal.h"
#include "pe/thread_block.h"

namespace pe {

namespace {

using TlsCallback = void(__attribute__((stdcall)) *)(void *module, uint32_t reason, void *reserved);
using EntryPoint = int(__attribute__((stdcall)) *)(void *module, uint32_t reason, void *reserved);

// The module slots of the thread blocks' TLS arrays in use.
std::vector<bool> &TlsIndexes() {
  static std::vector<bool> used(ThreadBlock::kModuleTlsSlots, false);
  return used;
}

}  // namespace

bool Module::Attach(std::string *error) {
  ThreadBlock *thread = CurrentThreadBlock(error);
  if (thread == nullptr || !GiveThreadLocalStorage(thread, error)) return false;
  detail::LoadedModules().push_back(this);
  ShareStringTable();
  attached_ = true;
  RunTlsCallbacks(kProcessAttach);
  const uint32_t entry = image_.ImageLayout().entryPoint;
  if (entry != 0 && !reinterpret_cast<EntryPoint>(base_ + entry)(base_, kProcessAttach, nullptr)) {
    *error = path_ + ": its entry point refused process attach";
    return false;
  }
  return true;
}

void Module::Detach() {
  std::string ignored;
  CurrentThreadBlock(&ignored);
  RunTlsCallbacks(kProcessDetach);
  const uint32_t entry = image_.ImageLayout().entryPoint;
  if (entry != 0) reinterpret_cast<EntryPoint>(base_ + entry)(base_, kProcessDetach, nullptr);
  WithdrawStringTable();
}

// The module's thread-local data for this thread, from its template, in a
// free slot of the thread block's array, whose index the module reads from
// where its TLS directory says.
bool Module::GiveThreadLocalStorage(ThreadBlock *thread, std::string *error) {
  const uint32_t address = image_.Directory(kTlsDirectory).address;
  const TlsDirectory32 *tls = address ? At<const TlsDirectory32>(address) : nullptr;
  if (tls == nullptr) return true;
  const uint32_t base = detail::Address32(base_);
  auto free = std::find(TlsIndexes().begin(), TlsIndexes().end(), false);
  uint32_t *index = At<uint32_t>(tls->indexAddress - base);
  const std::size_t bytes = tls->dataEnd - tls->dataStart;
  const unsigned char *initial = At<const unsigned char>(tls->dataStart - base, bytes);
  if (free == TlsIndexes().end() || index == nullptr || tls->dataEnd < tls->dataStart || initial == nullptr) {
    *error = path_ + ": cannot give it thread-local storage";
    return false;
  }
  *free = true;
  tlsIndex_ = static_cast<int>(free - TlsIndexes().begin());
  *index = static_cast<uint32_t>(tlsIndex_);
  tlsData_ = std::calloc(1, bytes + tls->zeroFillSize + 1);
  std::memcpy(tlsData_, initial, bytes);
  thread->moduleTls[tlsIndex_] = detail::Address32(tlsData_);
  return true;
}

void Module::ReleaseThreadLocalStorage() {
  if (tlsIndex_ >= 0) TlsIndexes()[static_cast<std::size_t>(tlsIndex_)] = false;
  tlsIndex_ = -1;
  std::free(tlsData_);
  tlsData_ = nullptr;
}

// The TLS callbacks, in their order, before the entry point: a module's
// runtime starts itself with them.
void Module::RunTlsCallbacks(uint32_t reason) {
  const uint32_t address = image_.Directory(kTlsDirectory).address;
  const TlsDirectory32 *tls = address ? At<const TlsDirectory32>(address) : nullptr;
  if (tls == nullptr || tls->callbacks == 0) return;
  for (const uint32_t *callback = reinterpret_cast<const uint32_t *>(static_cast<uintptr_t>(tls->callbacks));
       *callback != 0; ++callback) {
    reinterpret_cast<TlsCallback>(static_cast<uintptr_t>(*callback))(base_, reason, nullptr);
  }
}

}  // namespace pe

#endif
