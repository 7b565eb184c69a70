#include "hostsim/pe_loader.h"

#ifdef HOSTSIM_PE_LOADER

#include <strings.h>
#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <vxplatform/testing.h>

#include "hostsim/thread_block.h"

namespace hostsim {

namespace {

constexpr uint32_t kPage = 4096;
constexpr uint16_t kMachineX86 = 0x14C;
constexpr uint16_t kRelocsStripped = 0x0001;
enum Directory { kExports = 0, kImports = 1, kResources = 2, kRelocations = 5, kTls = 9 };
enum Reason : uint32_t { kProcessDetach = 0, kProcessAttach = 1 };
constexpr uint16_t kResourceString = 6;

// A section's protection, by its characteristics' top three bits (write,
// read, execute), as Windows' PAGE_* value; and those values as mmap's.
constexpr uint32_t kSectionProtection[8] = {0x01, 0x10, 0x02, 0x20, 0x04, 0x40, 0x04, 0x40};
struct Protection {
  uint32_t windows;
  int posix;
};
constexpr Protection kProtections[] = {
    {0x01, PROT_NONE},
    {0x02, PROT_READ},
    {0x04, PROT_READ | PROT_WRITE},
    {0x08, PROT_READ | PROT_WRITE},
    {0x10, PROT_EXEC},
    {0x20, PROT_READ | PROT_EXEC},
    {0x40, PROT_READ | PROT_WRITE | PROT_EXEC},
    {0x80, PROT_READ | PROT_WRITE | PROT_EXEC},
};

const Protection *FindProtection(uint32_t windows) {
  for (const Protection &p : kProtections) {
    if (p.windows == windows) return &p;
  }
  return nullptr;
}

using Initializer = void(__attribute__((stdcall)) *)(void *module, uint32_t reason, void *reserved);
using EntryPoint = int(__attribute__((stdcall)) *)(void *module, uint32_t reason, void *reserved);

struct ImportDescriptor {
  uint32_t names, timeStamp, forwarders, dll, addresses;
};
struct ExportDirectory {
  uint32_t flags, timeStamp, version, name, ordinalBase, functionCount, nameCount, functions, names, ordinals;
};
struct TlsDirectory {
  uint32_t start, end, index, callbacks, zeroFill, characteristics;
};

std::vector<PeModule *> &Loaded() {
  static std::vector<PeModule *> modules;
  return modules;
}

// The module slots of the thread blocks' TLS arrays in use.
std::vector<bool> &TlsIndexes() {
  static std::vector<bool> used(ThreadBlock::kModuleTlsSlots, false);
  return used;
}

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%X", value);
  return text;
}

// Windows-1252 for the UTF-16 code units 0x80 to 0x9F; the rest of Latin-1
// is the same in both.
constexpr char16_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// A string as LoadStringA gives it: in the ANSI code page (Windows-1252),
// '?' for what it lacks.
std::string Ansi(const std::u16string &text) {
  std::string out;
  for (char16_t unit : text) {
    char byte = '?';
    if (unit < 0x80 || (unit >= 0xA0 && unit < 0x100)) byte = static_cast<char>(unit);
    for (int i = 0; i < 32 && byte == '?' && unit >= 0x100; ++i) {
      if (kCp1252High[i] == unit) byte = static_cast<char>(0x80 + i);
    }
    out += byte;
  }
  return out;
}

}  // namespace

template <typename T>
T *PeModule::At(uint32_t rva, std::size_t count) const {
  if (rva > size_ || (size_ - rva) / sizeof(T) < count) return nullptr;
  return reinterpret_cast<T *>(base_ + rva);
}

std::unique_ptr<PeModule> PeModule::Load(const std::string &path, std::string *error) {
  std::unique_ptr<PeModule> module(new PeModule());
  module->path_ = path;
  PeImage &image = module->image_;
  const PeImage::Layout &layout = image.ImageLayout();
  std::string why;
  if (!image.Load(path)) {
    why = image.Error();
  } else if (image.Is64Bit() || image.Machine() != kMachineX86) {
    why = path + " is not a 32-bit x86 image (PE32, machine 0x14C): machine " + Hex(image.Machine()) +
          (image.Is64Bit() ? ", PE32+" : "");
  } else if (!image.IsLibrary()) {
    why = path + " is not a DLL";
  } else if (layout.sectionAlignment == 0 || layout.sectionAlignment % kPage != 0 || layout.sizeOfImage == 0 ||
             layout.sizeOfHeaders > layout.sizeOfImage || layout.sizeOfHeaders > image.Bytes().size()) {
    why = path + ": image layout this loader cannot map (section alignment " + Hex(layout.sectionAlignment) +
          ", image size " + Hex(layout.sizeOfImage) + ")";
  }
  if (!why.empty() || !module->Map(&why) || !module->Relocate(&why) || !module->BindImports(&why) ||
      !module->ProtectSections(&why) || !module->Attach(&why)) {
    if (error) *error = why;
    return nullptr;
  }
  return module;
}

bool PeModule::Map(std::string *error) {
  const PeImage::Layout &layout = image_.ImageLayout();
  size_ = (layout.sizeOfImage + kPage - 1) / kPage * kPage;
  preferred_ = static_cast<uint32_t>(layout.imageBase);  // a 32-bit image
  // At the preferred base when it is free, else wherever the system puts it.
  void *mapped = mmap(reinterpret_cast<void *>(static_cast<uintptr_t>(preferred_)), size_, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (mapped != MAP_FAILED && reinterpret_cast<uintptr_t>(mapped) != preferred_) munmap(mapped, size_);
  if (mapped == MAP_FAILED || reinterpret_cast<uintptr_t>(mapped) != preferred_)
    mapped = mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) {
    *error = path_ + ": cannot map " + std::to_string(size_) + " bytes: " + std::strerror(errno);
    return false;
  }
  base_ = static_cast<unsigned char *>(mapped);
  const std::string &file = image_.Bytes();
  std::memcpy(base_, file.data(), layout.sizeOfHeaders);
  pages_.assign(size_ / kPage, 0x02);
  for (const PeImage::Section &section : image_.Sections()) {
    const uint32_t extent = std::max(section.size, section.fileSize);
    if (section.address > size_ || size_ - section.address < extent) {
      *error = path_ + ": a section lies outside the image";
      return false;
    }
    // Bytes past the section's size in memory are zero, as is what the file
    // does not hold.
    std::memcpy(base_ + section.address, file.data() + section.fileOffset,
                section.size ? std::min(section.size, section.fileSize) : section.fileSize);
  }
  return true;
}

bool PeModule::Relocate(std::string *error) {
  const uint32_t delta = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base_)) - preferred_;
  if (delta == 0) return true;
  uint32_t size = 0;
  const uint32_t rva = image_.Directory(kRelocations, &size);
  if (rva == 0 || (image_.Characteristics() & kRelocsStripped)) {
    *error = path_ + " has no base relocations and its preferred base " + Hex(preferred_) + " is taken";
    return false;
  }
  // Blocks of one page each: its address, the block's size, then 16-bit
  // entries of a type (high 4 bits) and an offset in the page.
  for (uint32_t at = rva; at + 8 <= rva + size;) {
    const uint32_t *block = At<uint32_t>(at, 2);
    if (block == nullptr || block[1] < 8 || block[1] > rva + size - at) {
      *error = path_ + ": malformed base relocation block at " + Hex(at);
      return false;
    }
    const uint16_t *entries = At<uint16_t>(at + 8, (block[1] - 8) / 2);
    for (uint32_t i = 0; entries != nullptr && i < (block[1] - 8) / 2; ++i) {
      const unsigned type = entries[i] >> 12;
      if (type == 0) continue;  // padding
      // A 32-bit address, aligned or not (most lie inside instructions).
      unsigned char *target = At<unsigned char>(block[0] + (entries[i] & 0xFFF), 4);
      if (type != 3 || target == nullptr) {
        *error = path_ + ": base relocation of type " + std::to_string(type) + " at " +
                 Hex(block[0] + (entries[i] & 0xFFF)) + " not supported";
        return false;
      }
      uint32_t address = 0;
      std::memcpy(&address, target, 4);
      address += delta;
      std::memcpy(target, &address, 4);
    }
    at += block[1];
  }
  return true;
}

bool PeModule::BindImports(std::string *error) {
  uint32_t size = 0;
  const uint32_t rva = image_.Directory(kImports, &size);
  for (uint32_t at = rva; rva != 0; at += sizeof(ImportDescriptor)) {
    const ImportDescriptor *descriptor = At<ImportDescriptor>(at);
    if (descriptor == nullptr) {
      *error = path_ + ": import directory runs past the image";
      return false;
    }
    if (descriptor->dll == 0) break;
    const char *dll = At<const char>(descriptor->dll);
    const uint32_t names = descriptor->names ? descriptor->names : descriptor->addresses;
    for (uint32_t i = 0;; ++i) {
      const uint32_t *entry = At<const uint32_t>(names + 4 * i);
      uint32_t *slot = At<uint32_t>(descriptor->addresses + 4 * i);
      if (dll == nullptr || entry == nullptr || slot == nullptr) {
        *error = path_ + ": import table runs past the image";
        return false;
      }
      if (*entry == 0) break;
      // By name (a hint, then the name) or, with the high bit, by ordinal.
      const char *name = (*entry & 0x80000000u) ? nullptr : At<const char>(*entry + 2);
      void *bound = name ? BoundImport(dll, name) : nullptr;
      if (bound == nullptr) {
        *error = path_ + " imports " + dll + "!" + (name ? std::string(name) : "#" + std::to_string(*entry & 0xFFFF)) +
                 ", which nothing binds";
        return false;
      }
      *slot = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(bound));
    }
  }
  return true;
}

bool PeModule::ProtectSections(std::string *error) {
  for (const PeImage::Section &section : image_.Sections()) {
    const uint32_t first = section.address / kPage;
    const uint32_t last = (section.address + std::max(section.size, section.fileSize) + kPage - 1) / kPage;
    std::fill(pages_.begin() + first, pages_.begin() + last, kSectionProtection[section.characteristics >> 29]);
  }
  for (std::size_t page = 0; page < pages_.size(); ++page) {
    if (mprotect(base_ + page * kPage, kPage, FindProtection(pages_[page])->posix) != 0) {
      *error = path_ + ": cannot protect its pages: " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

bool PeModule::Attach(std::string *error) {
  ThreadBlock *thread = CurrentThreadBlock(error);
  if (thread == nullptr) return false;
  uint32_t size = 0;
  const uint32_t tlsRva = image_.Directory(kTls, &size);
  const TlsDirectory *tls = tlsRva ? At<const TlsDirectory>(tlsRva) : nullptr;
  if (tls != nullptr) {
    // The module's thread-local data for this thread, from its template.
    const uint32_t base = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(base_));
    auto free = std::find(TlsIndexes().begin(), TlsIndexes().end(), false);
    uint32_t *index = At<uint32_t>(tls->index - base);
    const std::size_t bytes = tls->end - tls->start;
    const unsigned char *initial = At<const unsigned char>(tls->start - base, bytes);
    if (free == TlsIndexes().end() || index == nullptr || tls->end < tls->start || initial == nullptr) {
      *error = path_ + ": cannot give it thread-local storage";
      return false;
    }
    *free = true;
    tlsIndex_ = static_cast<int>(free - TlsIndexes().begin());
    *index = static_cast<uint32_t>(tlsIndex_);
    tlsData_ = std::calloc(1, bytes + tls->zeroFill + 1);
    std::memcpy(tlsData_, initial, bytes);
    thread->moduleTls[tlsIndex_] = static_cast<uint32_t>(reinterpret_cast<uintptr_t>(tlsData_));
  }
  Loaded().push_back(this);
  RegisterStrings();
  attached_ = true;
  RunInitializers(kProcessAttach);
  const uint32_t entry = image_.ImageLayout().entryPoint;
  if (entry != 0 && !reinterpret_cast<EntryPoint>(base_ + entry)(base_, kProcessAttach, nullptr)) {
    *error = path_ + ": its entry point refused process attach";
    return false;
  }
  return true;
}

void PeModule::RunInitializers(uint32_t reason) {
  uint32_t size = 0;
  const uint32_t tlsRva = image_.Directory(kTls, &size);
  const TlsDirectory *tls = tlsRva ? At<const TlsDirectory>(tlsRva) : nullptr;
  if (tls == nullptr || tls->callbacks == 0) return;
  for (const uint32_t *callback = reinterpret_cast<const uint32_t *>(static_cast<uintptr_t>(tls->callbacks));
       *callback != 0; ++callback) {
    reinterpret_cast<Initializer>(static_cast<uintptr_t>(*callback))(base_, reason, nullptr);
  }
}

// LoadStringA reads the module's string table from its resources.
void PeModule::RegisterStrings() const {
  std::map<unsigned, std::string> strings;
  for (uint16_t block : image_.ResourceIds(kResourceString)) {
    const std::vector<PeResource> filed = image_.Resources(kResourceString, block);
    std::vector<std::u16string> entries;
    if (filed.empty() || block == 0 || !StringBlockUnits(filed[0].data, &entries)) continue;
    for (unsigned i = 0; i < 16; ++i) {
      if (!entries[i].empty()) strings[(block - 1u) * 16 + i] = Ansi(entries[i]);
    }
  }
  vxplatform::SetModuleStrings(reinterpret_cast<HINSTANCE>(base_), strings);
}

PeModule::~PeModule() {
  if (attached_) {
    std::string ignored;
    CurrentThreadBlock(&ignored);
    RunInitializers(kProcessDetach);
    const uint32_t entry = image_.ImageLayout().entryPoint;
    if (entry != 0) reinterpret_cast<EntryPoint>(base_ + entry)(base_, kProcessDetach, nullptr);
    vxplatform::SetModuleStrings(reinterpret_cast<HINSTANCE>(base_), {});
  }
  Loaded().erase(std::remove(Loaded().begin(), Loaded().end(), this), Loaded().end());
  if (tlsIndex_ >= 0) TlsIndexes()[static_cast<std::size_t>(tlsIndex_)] = false;
  std::free(tlsData_);
  if (base_ != nullptr) munmap(base_, size_);
}

void *PeModule::Export(const char *name) const {
  uint32_t size = 0;
  const uint32_t rva = image_.Directory(kExports, &size);
  const ExportDirectory *exports = rva ? At<const ExportDirectory>(rva) : nullptr;
  if (exports == nullptr) return nullptr;
  const uint32_t *names = At<const uint32_t>(exports->names, exports->nameCount);
  const uint16_t *ordinals = At<const uint16_t>(exports->ordinals, exports->nameCount);
  const uint32_t *functions = At<const uint32_t>(exports->functions, exports->functionCount);
  for (uint32_t i = 0; names && ordinals && functions && i < exports->nameCount; ++i) {
    const char *exported = At<const char>(names[i]);
    if (exported == nullptr || std::strcmp(exported, name) != 0 || ordinals[i] >= exports->functionCount) continue;
    const uint32_t function = functions[ordinals[i]];
    // An address inside the export directory forwards to another DLL.
    if (function >= rva && function < rva + size) return nullptr;
    return At<unsigned char>(function);
  }
  return nullptr;
}

PeModule *PeModule::Containing(const void *address) {
  for (PeModule *module : Loaded()) {
    if (address >= module->base_ && address < module->base_ + module->size_) return module;
  }
  return nullptr;
}

PeModule *PeModule::Named(const char *name) {
  std::string wanted = name;
  wanted = wanted.substr(wanted.find_last_of("/\\") + 1);
  if (wanted.find('.') == std::string::npos) wanted += ".dll";
  for (PeModule *module : Loaded()) {
    const std::string file = module->path_.substr(module->path_.find_last_of('/') + 1);
    if (strcasecmp(file.c_str(), wanted.c_str()) == 0) return module;
  }
  return nullptr;
}

bool PeModule::Region(const void *address, void **start, std::size_t *size, uint32_t *protection) const {
  if (address < base_ || address >= base_ + size_) return false;
  const std::size_t first = static_cast<std::size_t>(static_cast<const unsigned char *>(address) - base_) / kPage;
  std::size_t end = first;
  while (end < pages_.size() && pages_[end] == pages_[first]) ++end;
  *start = base_ + first * kPage;
  *size = (end - first) * kPage;
  *protection = pages_[first];
  return true;
}

bool PeModule::Protect(const void *address, std::size_t size, uint32_t protection, uint32_t *previous) {
  const Protection *wanted = FindProtection(protection);
  const auto *at = static_cast<const unsigned char *>(address);
  if (wanted == nullptr || at < base_ || size > static_cast<std::size_t>(base_ + size_ - at)) return false;
  const std::size_t first = static_cast<std::size_t>(at - base_) / kPage;
  const std::size_t end = (static_cast<std::size_t>(at - base_) + std::max<std::size_t>(size, 1) + kPage - 1) / kPage;
  if (mprotect(base_ + first * kPage, (end - first) * kPage, wanted->posix) != 0) return false;
  *previous = pages_[first];
  std::fill(pages_.begin() + first, pages_.begin() + end, protection);
  return true;
}

}  // namespace hostsim

#endif
