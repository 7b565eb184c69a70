#include "tests/support/import_hook.h"

#ifdef _WIN32

#include <cstring>

namespace vxtest {

namespace {

bool WritePointer(void **slot, void *value) {
  DWORD previous = 0;
  if (!VirtualProtect(slot, sizeof *slot, PAGE_READWRITE, &previous)) return false;
  *slot = value;
  DWORD ignored = 0;
  VirtualProtect(slot, sizeof *slot, previous, &ignored);
  FlushInstructionCache(GetCurrentProcess(), slot, sizeof *slot);
  return true;
}

}  // namespace

ImportHook::ImportHook(HMODULE module, const char *dll, const char *function, void *replacement) {
  auto *base = reinterpret_cast<unsigned char *>(module);
  if (base == nullptr) {
    problem_ = "no module";
    return;
  }
  const auto *dos = reinterpret_cast<const IMAGE_DOS_HEADER *>(base);
  if (dos->e_magic != IMAGE_DOS_SIGNATURE) {
    problem_ = "not an image";
    return;
  }
  const auto *nt = reinterpret_cast<const IMAGE_NT_HEADERS *>(base + dos->e_lfanew);
  if (nt->Signature != IMAGE_NT_SIGNATURE) {
    problem_ = "no NT headers";
    return;
  }
  const IMAGE_DATA_DIRECTORY &imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0 || imports.Size == 0) {
    problem_ = "the module imports nothing";
    return;
  }

  // Where the function lives, for import tables that carry no names.
  HMODULE exporter = GetModuleHandleA(dll);
  void *target = exporter ? reinterpret_cast<void *>(GetProcAddress(exporter, function)) : nullptr;

  bool dllFound = false;
  for (auto *descriptor = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR *>(base + imports.VirtualAddress);
       descriptor->Name != 0; ++descriptor) {
    if (_stricmp(reinterpret_cast<const char *>(base + descriptor->Name), dll) != 0) continue;
    dllFound = true;
    auto *addresses = reinterpret_cast<IMAGE_THUNK_DATA *>(base + descriptor->FirstThunk);
    const auto *names = descriptor->OriginalFirstThunk
                            ? reinterpret_cast<const IMAGE_THUNK_DATA *>(base + descriptor->OriginalFirstThunk)
                            : nullptr;
    for (std::size_t i = 0; addresses[i].u1.Function != 0; ++i) {
      bool match;
      if (names != nullptr) {
        if (IMAGE_SNAP_BY_ORDINAL(names[i].u1.Ordinal)) continue;
        const auto *byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME *>(base + names[i].u1.AddressOfData);
        match = std::strcmp(reinterpret_cast<const char *>(byName->Name), function) == 0;
      } else {
        match = target != nullptr && reinterpret_cast<void *>(addresses[i].u1.Function) == target;
      }
      if (!match) continue;
      void **slot = reinterpret_cast<void **>(&addresses[i].u1.Function);
      void *previous = *slot;
      if (!WritePointer(slot, replacement)) {
        problem_ = "cannot write the import address table";
        continue;
      }
      if (original_ == nullptr) original_ = previous;
      slots_.push_back(Slot{slot, previous});
    }
  }
  if (slots_.empty() && problem_.empty())
    problem_ = dllFound ? std::string("the module does not import ") + function
                        : std::string("the module does not import from ") + dll;
}

ImportHook::~ImportHook() {
  for (const Slot &slot : slots_) WritePointer(slot.address, slot.previous);
}

}  // namespace vxtest

#endif  // _WIN32
