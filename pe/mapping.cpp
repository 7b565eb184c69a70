// Mapping a module: its headers and sections in memory, the base
// relocations when it does not lie at its preferred base, and each page's
// protection, kept as Windows' PAGE_* value for the runtime's questions.
#include "pe/module.h"

#ifdef VX_PE_LOADER

#include <sys/mman.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "pe/loader_internal.h"

namespace pe {

namespace {

using detail::Hex;
using detail::kPageSize;

// A section's protection by its access bits (write, read, execute, from
// the top): a writable section without read access is still readable.
constexpr uint32_t kSectionProtection[8] = {
    kNoAccess, kExecute, kReadOnly, kExecuteRead, kReadWrite, kExecuteReadWrite, kReadWrite, kExecuteReadWrite,
};
static_assert(kSectionWrite >> kSectionAccessShift == 4 && kSectionRead >> kSectionAccessShift == 2 &&
                  kSectionExecute >> kSectionAccessShift == 1,
              "the table's index");

// Those protections as mmap's; copy-on-write is what a private mapping does
// anyway.
struct Protection {
  uint32_t windows;
  int posix;
};
constexpr Protection kProtections[] = {
    {kNoAccess, PROT_NONE},
    {kReadOnly, PROT_READ},
    {kReadWrite, PROT_READ | PROT_WRITE},
    {kWriteCopy, PROT_READ | PROT_WRITE},
    {kExecute, PROT_EXEC},
    {kExecuteRead, PROT_READ | PROT_EXEC},
    {kExecuteReadWrite, PROT_READ | PROT_WRITE | PROT_EXEC},
    {kExecuteWriteCopy, PROT_READ | PROT_WRITE | PROT_EXEC},
};

const Protection *FindProtection(uint32_t windows) {
  for (const Protection &p : kProtections) {
    if (p.windows == windows) return &p;
  }
  return nullptr;
}

// Anonymous read-write memory of this size, at `preferred` when it is free,
// else wherever the system puts it.
void *MapAnywhere(uint32_t preferred, std::size_t size) {
  void *mapped = mmap(reinterpret_cast<void *>(static_cast<uintptr_t>(preferred)), size, PROT_READ | PROT_WRITE,
                      MAP_PRIVATE | MAP_ANONYMOUS | MAP_FIXED_NOREPLACE, -1, 0);
  if (mapped != MAP_FAILED && reinterpret_cast<uintptr_t>(mapped) != preferred) munmap(mapped, size);
  if (mapped == MAP_FAILED || reinterpret_cast<uintptr_t>(mapped) != preferred)
    mapped = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return mapped;
}

}  // namespace

bool Module::Map(std::string *error) {
  const Image::Layout &layout = image_.ImageLayout();
  size_ = (layout.imageSize + kPageSize - 1) / kPageSize * kPageSize;
  preferred_ = static_cast<uint32_t>(layout.imageBase);  // a 32-bit image
  void *mapped = MapAnywhere(preferred_, size_);
  if (mapped == MAP_FAILED) {
    *error = path_ + ": cannot map " + std::to_string(size_) + " bytes: " + std::strerror(errno);
    return false;
  }
  base_ = static_cast<unsigned char *>(mapped);
  const std::string &file = image_.Bytes();
  std::memcpy(base_, file.data(), layout.headersSize);
  pages_.assign(size_ / kPageSize, kReadOnly);
  for (const SectionHeader &section : image_.Sections()) {
    const uint32_t extent = std::max(section.virtualSize, section.fileSize);
    if (section.address > size_ || size_ - section.address < extent) {
      *error = path_ + ": a section lies outside the image";
      return false;
    }
    // Bytes past the section's size in memory are zero, as is what the file
    // does not hold.
    std::memcpy(base_ + section.address, file.data() + section.fileOffset,
                section.virtualSize ? std::min(section.virtualSize, section.fileSize) : section.fileSize);
  }
  return true;
}

bool Module::Relocate(std::string *error) {
  const uint32_t delta = detail::Address32(base_) - preferred_;
  if (delta == 0) return true;
  const DataDirectory directory = image_.Directory(kBaseRelocationDirectory);
  const uint32_t end = directory.address + directory.size;
  if (directory.address == 0 || (image_.Characteristics() & kFileRelocationsStripped)) {
    *error = path_ + " has no base relocations and its preferred base " + Hex(preferred_) + " is taken";
    return false;
  }
  for (uint32_t at = directory.address; at + sizeof(BaseRelocationBlock) <= end;) {
    const BaseRelocationBlock *block = At<const BaseRelocationBlock>(at);
    if (block == nullptr || block->blockSize < sizeof *block || block->blockSize > end - at) {
      *error = path_ + ": malformed base relocation block at " + Hex(at);
      return false;
    }
    const std::size_t count = (block->blockSize - sizeof *block) / sizeof(RelocationEntry);
    const RelocationEntry *entries = At<const RelocationEntry>(at + sizeof *block, count);
    for (std::size_t i = 0; entries != nullptr && i < count; ++i) {
      const unsigned type = entries[i] >> kRelocationTypeShift;
      const uint32_t address = block->page + (entries[i] & kRelocationOffsetMask);
      if (type == kRelocationAbsolute) continue;
      // A 32-bit address, aligned or not (most lie inside instructions).
      unsigned char *target = At<unsigned char>(address, sizeof(uint32_t));
      if (type != kRelocationHighLow || target == nullptr) {
        *error = path_ + ": base relocation of type " + std::to_string(type) + " at " + Hex(address) + " not supported";
        return false;
      }
      uint32_t value = 0;
      std::memcpy(&value, target, sizeof value);
      value += delta;
      std::memcpy(target, &value, sizeof value);
    }
    at += block->blockSize;
  }
  return true;
}

bool Module::ProtectSections(std::string *error) {
  for (const SectionHeader &section : image_.Sections()) {
    const uint32_t first = section.address / kPageSize;
    const uint32_t last =
        (section.address + std::max(section.virtualSize, section.fileSize) + kPageSize - 1) / kPageSize;
    std::fill(pages_.begin() + first, pages_.begin() + last,
              kSectionProtection[section.characteristics >> kSectionAccessShift]);
  }
  for (std::size_t page = 0; page < pages_.size(); ++page) {
    if (mprotect(base_ + page * kPageSize, kPageSize, FindProtection(pages_[page])->posix) != 0) {
      *error = path_ + ": cannot protect its pages: " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

bool Module::Region(const void *address, void **start, std::size_t *size, uint32_t *protection) const {
  if (address < base_ || address >= base_ + size_) return false;
  const std::size_t first = static_cast<std::size_t>(static_cast<const unsigned char *>(address) - base_) / kPageSize;
  std::size_t end = first;
  while (end < pages_.size() && pages_[end] == pages_[first]) ++end;
  *start = base_ + first * kPageSize;
  *size = (end - first) * kPageSize;
  *protection = pages_[first];
  return true;
}

bool Module::Protect(const void *address, std::size_t size, uint32_t protection, uint32_t *previous) {
  const Protection *wanted = FindProtection(protection);
  const auto *at = static_cast<const unsigned char *>(address);
  if (wanted == nullptr || at < base_ || size > static_cast<std::size_t>(base_ + size_ - at)) return false;
  const std::size_t offset = static_cast<std::size_t>(at - base_);
  const std::size_t first = offset / kPageSize;
  const std::size_t end = (offset + std::max<std::size_t>(size, 1) + kPageSize - 1) / kPageSize;
  if (mprotect(base_ + first * kPageSize, (end - first) * kPageSize, wanted->posix) != 0) return false;
  *previous = pages_[first];
  std::fill(pages_.begin() + first, pages_.begin() + end, protection);
  return true;
}

}  // namespace pe

#endif
