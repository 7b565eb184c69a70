// Binding a module's imports: each entry of its import tables gets the
// address of what stands in for dll!name here, the platform stand-in's
// functions (compiled with the Windows calling conventions on this build),
// the C library's where their contract is the C runtime's, and the runtime
// shims (runtime_shims.cpp).  An import that nothing binds refuses the load.
#include "pe/module.h"

#ifdef VX_PE_LOADER

#include <shlwapi.h>
#include <strings.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "pe/loader_internal.h"

namespace pe {

namespace {

using detail::Address;
using detail::Binding;

const Binding kBindings[] = {
    // The platform stand-in.
    {"ADVAPI32.dll", "RegCloseKey", Address(&::RegCloseKey)},
    {"ADVAPI32.dll", "RegCreateKeyExA", Address(&::RegCreateKeyExA)},
    {"ADVAPI32.dll", "RegDeleteKeyA", Address(&::RegDeleteKeyA)},
    {"ADVAPI32.dll", "RegDeleteValueA", Address(&::RegDeleteValueA)},
    {"ADVAPI32.dll", "RegEnumKeyA", Address(&::RegEnumKeyA)},
    {"ADVAPI32.dll", "RegEnumValueA", Address(&::RegEnumValueA)},
    {"ADVAPI32.dll", "RegOpenKeyExA", Address(&::RegOpenKeyExA)},
    {"ADVAPI32.dll", "RegQueryInfoKeyA", Address(&::RegQueryInfoKeyA)},
    {"ADVAPI32.dll", "RegQueryValueExA", Address(&::RegQueryValueExA)},
    {"ADVAPI32.dll", "RegSetValueExA", Address(&::RegSetValueExA)},
    {"SHLWAPI.dll", "SHDeleteKeyA", Address(&::SHDeleteKeyA)},
    {"KERNEL32.dll", "FormatMessageA", Address(&::FormatMessageA)},
    {"KERNEL32.dll", "GetLastError", Address(&::GetLastError)},
    {"KERNEL32.dll", "SetLastError", Address(&::SetLastError)},
    {"KERNEL32.dll", "GlobalAlloc", Address(&::GlobalAlloc)},
    {"KERNEL32.dll", "GlobalFree", Address(&::GlobalFree)},
    {"KERNEL32.dll", "LocalAlloc", Address(&::LocalAlloc)},
    {"KERNEL32.dll", "LocalFree", Address(&::LocalFree)},
    {"KERNEL32.dll", "lstrcpynA", Address(&::lstrcpynA)},
    {"KERNEL32.dll", "lstrlenA", Address(&::lstrlenA)},
    {"USER32.dll", "LoadStringA", Address(&::LoadStringA)},
    {"USER32.dll", "wsprintfA", Address(&::wsprintfA)},
    {"USER32.dll", "MessageBoxA", Address(&::MessageBoxA)},
    {"USER32.dll", "LoadCursorA", Address(&::LoadCursorA)},
    {"USER32.dll", "SetCursor", Address(&::SetCursor)},
    // The C library, whose contracts are the runtime's.
    {"msvcrt.dll", "abort", Address(&std::abort)},
    {"msvcrt.dll", "calloc", Address(&std::calloc)},
    {"msvcrt.dll", "malloc", Address(&std::malloc)},
    {"msvcrt.dll", "realloc", Address(&std::realloc)},
    {"msvcrt.dll", "free", Address(&std::free)},
    {"msvcrt.dll", "memchr", Address(static_cast<const void *(*)(const void *, int, size_t)>(&std::memchr))},
    {"msvcrt.dll", "memcmp", Address(&std::memcmp)},
    {"msvcrt.dll", "memcpy", Address(&std::memcpy)},
    {"msvcrt.dll", "memmove", Address(&std::memmove)},
    {"msvcrt.dll", "memset", Address(&std::memset)},
    {"msvcrt.dll", "strcmp", Address(&std::strcmp)},
    {"msvcrt.dll", "strlen", Address(&std::strlen)},
    {"msvcrt.dll", "strncmp", Address(&std::strncmp)},
};

const Binding *Find(const Binding *begin, const Binding *end, const std::string &dll, const std::string &name) {
  for (const Binding *binding = begin; binding != end; ++binding) {
    if (strcasecmp(binding->dll, dll.c_str()) == 0 && name == binding->name) return binding;
  }
  return nullptr;
}

// An import's name for messages: dll!name, or dll!#ordinal.
std::string ImportName(const char *dll, const char *name, uint32_t entry) {
  return std::string(dll) + "!" + (name ? std::string(name) : "#" + std::to_string(entry & kOrdinalMask));
}

}  // namespace

void *BoundImport(const std::string &dll, const std::string &name) {
  const Binding *found = Find(std::begin(kBindings), std::end(kBindings), dll, name);
  if (found == nullptr) {
    const std::vector<Binding> &shims = detail::RuntimeShims();
    found = Find(shims.data(), shims.data() + shims.size(), dll, name);
  }
  return found ? found->address : nullptr;
}

bool Module::BindImports(std::string *error) {
  const uint32_t table = image_.Directory(kImportDirectory).address;
  for (uint32_t at = table; table != 0; at += sizeof(ImportDescriptor)) {
    const ImportDescriptor *descriptor = At<const ImportDescriptor>(at);
    if (descriptor == nullptr) {
      *error = path_ + ": import directory runs past the image";
      return false;
    }
    if (descriptor->dll == 0) break;
    const char *dll = At<const char>(descriptor->dll);
    const uint32_t names = descriptor->names ? descriptor->names : descriptor->addresses;
    for (uint32_t i = 0;; ++i) {
      const uint32_t *entry = At<const uint32_t>(names + i * sizeof(uint32_t));
      uint32_t *slot = At<uint32_t>(descriptor->addresses + i * sizeof(uint32_t));
      if (dll == nullptr || entry == nullptr || slot == nullptr) {
        *error = path_ + ": import table runs past the image";
        return false;
      }
      if (*entry == 0) break;
      const char *name = (*entry & kImportByOrdinal32) ? nullptr : At<const char>(*entry + sizeof(ImportHint));
      void *bound = name ? BoundImport(dll, name) : nullptr;
      if (bound == nullptr) {
        *error = path_ + " imports " + ImportName(dll, name, *entry) + ", which nothing binds";
        return false;
      }
      *slot = detail::Address32(bound);
    }
  }
  return true;
}

}  // namespace pe

#endif
