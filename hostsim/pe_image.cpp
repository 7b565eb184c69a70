#include "hostsim/pe_image.h"

#include <fstream>
#include <iterator>

namespace hostsim {

namespace {

uint16_t Word(const unsigned char *p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }

uint32_t Dword(const unsigned char *p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[3]) << 24;
}

void AppendUtf8(uint32_t c, std::string *out) {
  if (c < 0x80) {
    *out += static_cast<char>(c);
  } else if (c < 0x800) {
    *out += static_cast<char>(0xC0 | c >> 6);
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    *out += static_cast<char>(0xE0 | c >> 12);
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | c >> 18);
    *out += static_cast<char>(0x80 | (c >> 12 & 0x3F));
    *out += static_cast<char>(0x80 | (c >> 6 & 0x3F));
    *out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16 code units as UTF-8.
std::string Utf8(const std::u16string &units) {
  std::string out;
  for (std::size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c < 0xDC00 && i + 1 < units.size()) {
      const uint32_t low = units[i + 1];
      if (low >= 0xDC00 && low < 0xE000) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    AppendUtf8(c, &out);
  }
  return out;
}

// `count` UTF-16 code units at p.
std::u16string Units(const unsigned char *p, std::size_t count) {
  std::u16string units;
  for (std::size_t i = 0; i < count; ++i) units += static_cast<char16_t>(Word(p + 2 * i));
  return units;
}

std::string Utf8(const unsigned char *p, std::size_t count) { return Utf8(Units(p, count)); }

constexpr uint32_t kHighBit = 0x80000000u;

}  // namespace

// ---------------------------------------------------------------------------
// PeImage

bool PeImage::Load(const std::string &path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    error_ = "cannot open " + path;
    return false;
  }
  bytes_.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
  const auto *data = reinterpret_cast<const unsigned char *>(bytes_.data());
  const std::size_t size = bytes_.size();
  if (size < 0x40 || data[0] != 'M' || data[1] != 'Z') {
    error_ = path + " is not an executable image (no MZ header)";
    return false;
  }
  const uint32_t pe = Dword(data + 0x3C);
  if (pe > size || size - pe < 24 || bytes_.compare(pe, 4, std::string("PE\0\0", 4)) != 0) {
    error_ = path + " has no PE header";
    return false;
  }
  machine_ = Word(data + pe + 4);
  const uint16_t sectionCount = Word(data + pe + 6);
  const uint16_t optionalSize = Word(data + pe + 20);
  characteristics_ = Word(data + pe + 22);
  const uint32_t optional = pe + 24;
  if (size - optional < optionalSize || optionalSize < 2) {
    error_ = path + ": optional header cut short";
    return false;
  }
  const uint16_t magic = Word(data + optional);
  if (magic != 0x10B && magic != 0x20B) {
    error_ = path + ": unknown optional header magic";
    return false;
  }
  is64_ = magic == 0x20B;
  const uint32_t countOffset = is64_ ? 108 : 92;
  if (optionalSize < countOffset + 4) {
    error_ = path + ": optional header too short";
    return false;
  }
  const unsigned char *o = data + optional;
  const uint64_t imageBase = is64_ ? uint64_t{Dword(o + 28)} << 32 | Dword(o + 24) : Dword(o + 28);
  layout_ = Layout{imageBase, Dword(o + 56), Dword(o + 60), Dword(o + 16), Dword(o + 32)};
  const uint32_t directoryCount = Dword(data + optional + countOffset);
  for (uint32_t i = 0; i < directoryCount && countOffset + 4 + 8 * (i + 1) <= optionalSize; ++i) {
    const unsigned char *entry = data + optional + countOffset + 4 + 8 * i;
    directories_.emplace_back(Dword(entry), Dword(entry + 4));
  }
  const uint32_t table = optional + optionalSize;
  if (size - table < 40u * sectionCount) {
    error_ = path + ": section table cut short";
    return false;
  }
  for (uint16_t i = 0; i < sectionCount; ++i) {
    const unsigned char *s = data + table + 40 * i;
    Section section{Dword(s + 12), Dword(s + 8), Dword(s + 20), Dword(s + 16), Dword(s + 36)};
    if (section.fileOffset > size || size - section.fileOffset < section.fileSize) {
      error_ = path + ": a section lies beyond the end of the file";
      return false;
    }
    sections_.push_back(section);
  }
  return true;
}

const unsigned char *PeImage::At(uint32_t rva, uint32_t size) const {
  for (const Section &s : sections_) {
    if (rva < s.address) continue;
    const uint32_t offset = rva - s.address;
    if (offset >= s.fileSize || s.fileSize - offset < size) continue;
    return reinterpret_cast<const unsigned char *>(bytes_.data()) + s.fileOffset + offset;
  }
  return nullptr;
}

std::string PeImage::StringAt(uint32_t rva) const {
  std::string text;
  for (const unsigned char *p; (p = At(rva, 1)) != nullptr && *p != 0; ++rva) text += static_cast<char>(*p);
  return text;
}

uint32_t PeImage::Directory(int index, uint32_t *size) const {
  if (static_cast<std::size_t>(index) >= directories_.size()) {
    *size = 0;
    return 0;
  }
  *size = directories_[static_cast<std::size_t>(index)].second;
  return directories_[static_cast<std::size_t>(index)].first;
}

std::vector<std::string> PeImage::ExportNames() const {
  std::vector<std::string> names;
  uint32_t size = 0;
  const uint32_t rva = Directory(0, &size);
  const unsigned char *directory = rva ? At(rva, 40) : nullptr;
  if (directory == nullptr) return names;
  const uint32_t count = Dword(directory + 24);
  const uint32_t table = Dword(directory + 32);
  for (uint32_t i = 0; i < count; ++i) {
    const unsigned char *entry = At(table + 4 * i, 4);
    if (entry == nullptr) break;
    names.push_back(StringAt(Dword(entry)));
  }
  return names;
}

std::vector<std::string> PeImage::ImportedLibraries() const {
  std::vector<std::string> libraries;
  uint32_t size = 0;
  const uint32_t rva = Directory(1, &size);
  if (rva == 0) return libraries;
  for (uint32_t at = rva;; at += 20) {
    const unsigned char *descriptor = At(at, 20);
    if (descriptor == nullptr || Dword(descriptor + 12) == 0) break;
    libraries.push_back(StringAt(Dword(descriptor + 12)));
  }
  return libraries;
}

std::vector<std::pair<uint32_t, uint32_t>> PeImage::ResourceEntries(uint32_t directoryOffset) const {
  std::vector<std::pair<uint32_t, uint32_t>> entries;
  uint32_t size = 0;
  const uint32_t base = Directory(2, &size);
  const unsigned char *directory = base ? At(base + directoryOffset, 16) : nullptr;
  if (directory == nullptr) return entries;
  const uint32_t count = static_cast<uint32_t>(Word(directory + 12)) + Word(directory + 14);
  for (uint32_t i = 0; i < count; ++i) {
    const unsigned char *entry = At(base + directoryOffset + 16 + 8 * i, 8);
    if (entry == nullptr) break;
    entries.emplace_back(Dword(entry), Dword(entry + 4));
  }
  return entries;
}

std::vector<uint16_t> PeImage::ResourceIds(uint16_t type) const {
  std::vector<uint16_t> ids;
  for (const auto &typeEntry : ResourceEntries(0)) {
    if (typeEntry.first != type || !(typeEntry.second & kHighBit)) continue;
    for (const auto &idEntry : ResourceEntries(typeEntry.second & ~kHighBit)) {
      if (!(idEntry.first & kHighBit)) ids.push_back(static_cast<uint16_t>(idEntry.first));
    }
  }
  return ids;
}

std::vector<PeResource> PeImage::Resources(uint16_t type, uint16_t id) const {
  std::vector<PeResource> found;
  for (const auto &typeEntry : ResourceEntries(0)) {
    if (typeEntry.first != type || !(typeEntry.second & kHighBit)) continue;
    for (const auto &idEntry : ResourceEntries(typeEntry.second & ~kHighBit)) {
      if (idEntry.first != id || !(idEntry.second & kHighBit)) continue;
      for (const auto &languageEntry : ResourceEntries(idEntry.second & ~kHighBit)) {
        if (languageEntry.second & kHighBit) continue;
        uint32_t size = 0;
        const uint32_t base = Directory(2, &size);
        const unsigned char *leaf = At(base + languageEntry.second, 16);
        if (leaf == nullptr) continue;
        const unsigned char *data = At(Dword(leaf), Dword(leaf + 4));
        if (data == nullptr) continue;
        PeResource resource;
        resource.language = static_cast<uint16_t>(languageEntry.first);
        resource.data.assign(reinterpret_cast<const char *>(data), Dword(leaf + 4));
        found.push_back(resource);
      }
    }
  }
  return found;
}

// ---------------------------------------------------------------------------
// String table blocks

bool StringBlockUnits(const std::string &block, std::vector<std::u16string> *strings) {
  strings->clear();
  const auto *data = reinterpret_cast<const unsigned char *>(block.data());
  std::size_t at = 0;
  for (int i = 0; i < 16; ++i) {
    if (block.size() - at < 2) return false;
    const std::size_t count = Word(data + at);
    at += 2;
    if ((block.size() - at) / 2 < count) return false;
    strings->push_back(Units(data + at, count));
    at += 2 * count;
  }
  return true;
}

bool StringBlockEntries(const std::string &block, std::vector<std::string> *strings) {
  std::vector<std::u16string> units;
  strings->clear();
  if (!StringBlockUnits(block, &units)) return false;
  for (const std::u16string &text : units) strings->push_back(Utf8(text));
  return true;
}

// ---------------------------------------------------------------------------
// Version resources

namespace {

// One node of a version resource: a length, a value length and type, a
// zero-terminated UTF-16 key, the value and the children, each aligned to
// 32 bits from the start of the resource.
struct VersionNode {
  std::string key;
  uint16_t type = 0;
  std::size_t value = 0;       // offset of the value
  std::size_t valueBytes = 0;  // as the value length says
  std::size_t children = 0;    // offset of the first child
  std::size_t end = 0;         // offset just past the node
};

std::size_t Align(std::size_t offset) { return (offset + 3) & ~static_cast<std::size_t>(3); }

bool ReadNode(const std::string &bytes, std::size_t at, std::size_t limit, VersionNode *node, std::string *error) {
  const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
  if (limit > bytes.size() || at > limit || limit - at < 6) {
    *error = "version node cut short";
    return false;
  }
  const std::size_t length = Word(data + at);
  if (length < 6 || length > limit - at) {
    *error = "version node length out of bounds";
    return false;
  }
  node->end = at + length;
  const std::size_t valueLength = Word(data + at + 2);
  node->type = Word(data + at + 4);
  std::size_t p = at + 6;
  std::size_t count = 0;
  while (p + 2 * count + 1 < node->end && Word(data + p + 2 * count) != 0) ++count;
  if (p + 2 * count + 1 >= node->end) {
    *error = "version node key not terminated";
    return false;
  }
  node->key = Utf8(data + p, count);
  node->value = Align(p + 2 * (count + 1));
  node->valueBytes = node->type == 1 ? 2 * valueLength : valueLength;
  if (node->value > node->end || node->end - node->value < node->valueBytes) {
    *error = "value of " + node->key + " out of bounds";
    return false;
  }
  node->children = Align(node->value + node->valueBytes);
  return true;
}

// The children of a node, in order.
bool Children(const std::string &bytes, const VersionNode &node, std::vector<VersionNode> *children,
              std::string *error) {
  children->clear();
  for (std::size_t at = node.children; at < node.end; at = Align(children->back().end)) {
    VersionNode child;
    if (!ReadNode(bytes, at, node.end, &child, error)) return false;
    children->push_back(child);
  }
  return true;
}

// A text value: UTF-16 up to its terminator or the end of its node.
std::string TextValue(const std::string &bytes, const VersionNode &node) {
  const auto *data = reinterpret_cast<const unsigned char *>(bytes.data());
  std::size_t count = 0;
  while (node.value + 2 * count + 1 < node.end && Word(data + node.value + 2 * count) != 0) ++count;
  return Utf8(data + node.value, count);
}

}  // namespace

bool ParseVersionInfo(const std::string &bytes, VersionInfo *info, std::string *error) {
  *info = VersionInfo();
  VersionNode root;
  if (!ReadNode(bytes, 0, bytes.size(), &root, error)) return false;
  if (root.key != "VS_VERSION_INFO" || root.valueBytes != 52) {
    *error =
        "not a version resource: key " + root.key + ", fixed part of " + std::to_string(root.valueBytes) + " bytes";
    return false;
  }
  const auto *fixed = reinterpret_cast<const unsigned char *>(bytes.data()) + root.value;
  info->signature = Dword(fixed);
  info->fileVersionMS = Dword(fixed + 8);
  info->fileVersionLS = Dword(fixed + 12);
  info->productVersionMS = Dword(fixed + 16);
  info->productVersionLS = Dword(fixed + 20);
  info->flagsMask = Dword(fixed + 24);
  info->flags = Dword(fixed + 28);
  info->os = Dword(fixed + 32);
  info->type = Dword(fixed + 36);
  info->subtype = Dword(fixed + 40);
  info->dateMS = Dword(fixed + 44);
  info->dateLS = Dword(fixed + 48);

  std::vector<VersionNode> blocks;
  if (!Children(bytes, root, &blocks, error)) return false;
  for (const VersionNode &block : blocks) {
    std::vector<VersionNode> children;
    if (!Children(bytes, block, &children, error)) return false;
    if (block.key == "StringFileInfo") {
      for (const VersionNode &table : children) {
        std::vector<VersionNode> strings;
        if (!Children(bytes, table, &strings, error)) return false;
        info->stringTables.emplace_back(table.key, std::vector<std::pair<std::string, std::string>>());
        for (const VersionNode &string : strings)
          info->stringTables.back().second.emplace_back(string.key, TextValue(bytes, string));
      }
    } else if (block.key == "VarFileInfo") {
      for (const VersionNode &var : children) {
        if (var.key != "Translation") continue;
        const auto *words = reinterpret_cast<const unsigned char *>(bytes.data()) + var.value;
        for (std::size_t i = 0; i + 1 < var.valueBytes; i += 2) info->translation.push_back(Word(words + i));
      }
    }
  }
  return true;
}

}  // namespace hostsim
