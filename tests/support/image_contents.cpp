#include "tests/support/image_contents.h"

#include <cstring>

#include "charsets/charsets.h"

namespace vxtest {

std::vector<std::string> ExportNames(const pe::Image &image) {
  std::vector<std::string> names;
  const uint32_t address = image.Directory(pe::kExportDirectory).address;
  pe::ExportDirectory exports{};
  if (address == 0 || !image.Read(address, &exports)) return names;
  for (uint32_t i = 0; i < exports.nameCount; ++i) {
    uint32_t name = 0;
    if (!image.Read(exports.names + i * sizeof name, &name)) break;
    names.push_back(image.StringAt(name));
  }
  return names;
}

std::vector<std::string> ImportedLibraries(const pe::Image &image) {
  std::vector<std::string> libraries;
  const uint32_t address = image.Directory(pe::kImportDirectory).address;
  pe::ImportDescriptor descriptor{};
  for (uint32_t at = address; address != 0 && image.Read(at, &descriptor) && descriptor.dll != 0;
       at += sizeof descriptor) {
    libraries.push_back(image.StringAt(descriptor.dll));
  }
  return libraries;
}

namespace {

// UTF-16LE bytes as UTF-8; false if they are not well-formed UTF-16.
bool Utf8(const std::string &utf16le, std::string *utf8) {
  std::u32string text;
  std::size_t bad = 0;
  if (!charsets::DecodeUtf16le(utf16le, &text, &bad)) return false;
  *utf8 = charsets::EncodeUtf8(text);
  return true;
}

}  // namespace

bool StringBlockTexts(const std::string &block, std::vector<std::string> *utf8) {
  std::vector<std::string> entries;
  utf8->clear();
  if (!pe::StringBlockEntries(block, &entries)) return false;
  for (const std::string &entry : entries) {
    utf8->emplace_back();
    if (!Utf8(entry, &utf8->back())) return false;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Version resources

namespace {

// One node of a version resource, as offsets into its bytes.
struct VersionNode {
  std::string key;
  uint16_t type = 0;
  std::size_t value = 0;       // offset of the value
  std::size_t valueBytes = 0;  // as the value length says
  std::size_t children = 0;    // offset of the first child
  std::size_t end = 0;         // offset just past the node
};

std::size_t Align(std::size_t offset) { return (offset + 3) & ~static_cast<std::size_t>(3); }

// The UTF-16 units from `at` on, up to the first zero unit or to `end`.
std::size_t UnitCount(const std::string &bytes, std::size_t at, std::size_t end) {
  std::size_t count = 0;
  for (uint16_t unit = 1; at + 2 * count + 1 < end; ++count) {
    std::memcpy(&unit, bytes.data() + at + 2 * count, sizeof unit);
    if (unit == 0) break;
  }
  return count;
}

bool ReadNode(const std::string &bytes, std::size_t at, std::size_t limit, VersionNode *node, std::string *error) {
  pe::VersionNodeHeader header{};
  if (limit > bytes.size() || at > limit || limit - at < sizeof header) {
    *error = "version node cut short";
    return false;
  }
  std::memcpy(&header, bytes.data() + at, sizeof header);
  if (header.length < sizeof header || header.length > limit - at) {
    *error = "version node length out of bounds";
    return false;
  }
  node->end = at + header.length;
  node->type = header.type;
  const std::size_t key = at + sizeof header;
  const std::size_t count = UnitCount(bytes, key, node->end);
  if (key + 2 * count + 1 >= node->end) {
    *error = "version node key not terminated";
    return false;
  }
  if (!Utf8(bytes.substr(key, 2 * count), &node->key)) {
    *error = "version node key is not UTF-16";
    return false;
  }
  node->value = Align(key + 2 * (count + 1));
  node->valueBytes = node->type == pe::kVersionValueText ? 2 * header.valueLength : header.valueLength;
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

// The string tables of a StringFileInfo block, each a node of text values.
bool ReadStringTables(const std::string &bytes, const std::vector<VersionNode> &tables, VersionInfo *info,
                      std::string *error) {
  for (const VersionNode &table : tables) {
    std::vector<VersionNode> strings;
    if (!Children(bytes, table, &strings, error)) return false;
    info->stringTables.emplace_back(table.key, std::vector<std::pair<std::string, std::string>>());
    for (const VersionNode &string : strings) {
      std::string text;
      if (!Utf8(bytes.substr(string.value, 2 * UnitCount(bytes, string.value, string.end)), &text)) {
        *error = "the value of " + string.key + " is not UTF-16";
        return false;
      }
      info->stringTables.back().second.emplace_back(string.key, text);
    }
  }
  return true;
}

}  // namespace

bool ParseVersionInfo(const std::string &bytes, VersionInfo *info, std::string *error) {
  *info = VersionInfo();
  VersionNode root;
  if (!ReadNode(bytes, 0, bytes.size(), &root, error)) return false;
  if (root.key != "VS_VERSION_INFO" || root.valueBytes != sizeof info->fixed) {
    *error =
        "not a version resource: key " + root.key + ", fixed part of " + std::to_string(root.valueBytes) + " bytes";
    return false;
  }
  std::memcpy(&info->fixed, bytes.data() + root.value, sizeof info->fixed);
  std::vector<VersionNode> blocks;
  if (!Children(bytes, root, &blocks, error)) return false;
  for (const VersionNode &block : blocks) {
    std::vector<VersionNode> children;
    if (!Children(bytes, block, &children, error)) return false;
    if (block.key == "StringFileInfo" && !ReadStringTables(bytes, children, info, error)) return false;
    if (block.key != "VarFileInfo") continue;
    for (const VersionNode &var : children) {
      for (std::size_t i = 0; var.key == "Translation" && i + 1 < var.valueBytes; i += 2) {
        uint16_t word = 0;
        std::memcpy(&word, bytes.data() + var.value + i, sizeof word);
        info->translation.push_back(word);
      }
    }
  }
  return true;
}

}  // namespace vxtest
