// The resource tree of an image: types, then ids, then languages, whose
// leaves are the resources' data.
#include "pe/image.h"

namespace pe {

namespace {

bool IsSubdirectory(const ResourceDirectoryEntry &entry) { return (entry.offset & kResourceNameOrSubdirectory) != 0; }
bool IsNamed(const ResourceDirectoryEntry &entry) { return (entry.id & kResourceNameOrSubdirectory) != 0; }
uint32_t Subdirectory(const ResourceDirectoryEntry &entry) { return entry.offset & ~kResourceNameOrSubdirectory; }

}  // namespace

std::vector<ResourceDirectoryEntry> Image::ResourceEntries(uint32_t directoryOffset) const {
  std::vector<ResourceDirectoryEntry> entries;
  const uint32_t base = Directory(kResourceDirectory).address;
  ResourceDirectoryHeader header{};
  if (base == 0 || !Read(base + directoryOffset, &header)) return entries;
  const uint32_t count = static_cast<uint32_t>(header.namedEntryCount) + header.idEntryCount;
  const uint32_t first = base + directoryOffset + sizeof header;
  for (uint32_t i = 0; i < count; ++i) {
    ResourceDirectoryEntry entry{};
    if (!Read(first + i * sizeof entry, &entry)) break;
    entries.push_back(entry);
  }
  return entries;
}

std::vector<uint16_t> Image::ResourceIds(uint16_t type) const {
  std::vector<uint16_t> ids;
  for (const ResourceDirectoryEntry &typeEntry : ResourceEntries(0)) {
    if (typeEntry.id != type || !IsSubdirectory(typeEntry)) continue;
    for (const ResourceDirectoryEntry &idEntry : ResourceEntries(Subdirectory(typeEntry))) {
      if (!IsNamed(idEntry)) ids.push_back(static_cast<uint16_t>(idEntry.id));
    }
  }
  return ids;
}

std::vector<Resource> Image::Resources(uint16_t type, uint16_t id) const {
  std::vector<Resource> found;
  const uint32_t base = Directory(kResourceDirectory).address;
  for (const ResourceDirectoryEntry &typeEntry : ResourceEntries(0)) {
    if (typeEntry.id != type || !IsSubdirectory(typeEntry)) continue;
    for (const ResourceDirectoryEntry &idEntry : ResourceEntries(Subdirectory(typeEntry))) {
      if (idEntry.id != id || !IsSubdirectory(idEntry)) continue;
      for (const ResourceDirectoryEntry &languageEntry : ResourceEntries(Subdirectory(idEntry))) {
        ResourceDataEntry leaf{};
        if (IsSubdirectory(languageEntry) || !Read(base + languageEntry.offset, &leaf)) continue;
        const unsigned char *data = At(leaf.address, leaf.size);
        if (data == nullptr) continue;
        Resource resource;
        resource.language = static_cast<uint16_t>(languageEntry.id);
        resource.data.assign(reinterpret_cast<const char *>(data), leaf.size);
        found.push_back(resource);
      }
    }
  }
  return found;
}

bool StringBlockEntries(const std::string &block, std::vector<std::string> *utf16le) {
  utf16le->clear();
  std::size_t at = 0;
  for (unsigned i = 0; i < kStringsPerBlock; ++i) {
    uint16_t count = 0;
    if (block.size() - at < sizeof count) return false;
    std::memcpy(&count, block.data() + at, sizeof count);
    at += sizeof count;
    if ((block.size() - at) / sizeof(char16_t) < count) return false;
    utf16le->push_back(block.substr(at, count * sizeof(char16_t)));
    at += count * sizeof(char16_t);
  }
  return true;
}

}  // namespace pe
