#include "tools/regfile/registry_io.h"

#include <shlwapi.h>
#include <windows.h>

#include <vector>

#include "tools/regfile/charsets.h"

namespace regfile {

namespace {

HKEY RootHandle(const std::string &root) {
  if (root == "HKEY_CLASSES_ROOT") return HKEY_CLASSES_ROOT;
  if (root == "HKEY_CURRENT_USER") return HKEY_CURRENT_USER;
  if (root == "HKEY_LOCAL_MACHINE") return HKEY_LOCAL_MACHINE;
  if (root == "HKEY_USERS") return HKEY_USERS;
  if (root == "HKEY_CURRENT_CONFIG") return HKEY_CURRENT_CONFIG;
  return nullptr;
}

std::string Status(LONG status) { return "status " + std::to_string(status); }

std::string Shown(const std::string &ansi) { return charsets::Cp1252ToUtf8(ansi); }

bool ExportTree(HKEY root, const std::string &rootName, const std::string &subkey, Document *document,
                std::vector<std::string> *skipped, std::string *error) {
  HKEY key = nullptr;
  const std::string fullPath = subkey.empty() ? rootName : rootName + "\\" + subkey;
  LONG status = RegOpenKeyExA(root, subkey.c_str(), 0, KEY_READ, &key);
  if (status != ERROR_SUCCESS) {
    *error = "cannot open " + Shown(fullPath) + ": " + Status(status);
    return false;
  }
  DWORD subkeys = 0, longestSubkey = 0, values = 0, longestName = 0, longestData = 0;
  status = RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr, &values, &longestName,
                            &longestData, nullptr, nullptr);
  if (status != ERROR_SUCCESS) {
    RegCloseKey(key);
    *error = "cannot read " + Shown(fullPath) + ": " + Status(status);
    return false;
  }

  Key section;
  section.path = fullPath;
  std::vector<char> name(longestName + 2);
  std::vector<unsigned char> data(longestData + 1);
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataLength = static_cast<DWORD>(data.size());
    DWORD type = 0;
    status = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &dataLength);
    if (status == ERROR_MORE_DATA) {
      // Grown since the key was measured: make room and ask again.
      name.resize(name.size() * 2 + 256);
      data.resize(dataLength > data.size() ? dataLength + 1 : data.size() * 2);
      --index;
      continue;
    }
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) {
      RegCloseKey(key);
      *error = "cannot read the values of " + Shown(fullPath) + ": " + Status(status);
      return false;
    }
    Value value;
    value.name.assign(name.data(), nameLength);
    value.type = type;
    value.data.assign(reinterpret_cast<const char *>(data.data()), dataLength);
    section.values.push_back(value);
  }
  if (!subkey.empty() || !section.values.empty()) document->keys.push_back(section);

  std::vector<std::string> children;
  std::vector<char> child(longestSubkey + 2 > 256 ? longestSubkey + 2 : 256);
  for (DWORD index = 0;; ++index) {
    status = RegEnumKeyA(key, index, child.data(), static_cast<DWORD>(child.size()));
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == ERROR_MORE_DATA) {
      child.resize(child.size() * 2);
      --index;
      continue;
    }
    if (status != ERROR_SUCCESS) {
      RegCloseKey(key);
      *error = "cannot read the subkeys of " + Shown(fullPath) + ": " + Status(status);
      return false;
    }
    children.emplace_back(child.data());
  }
  RegCloseKey(key);
  for (const std::string &name : children) {
    const std::size_t mark = document->keys.size();
    std::string why;
    if (!ExportTree(root, rootName, subkey.empty() ? name : subkey + "\\" + name, document, skipped, &why)) {
      // Leave out the unreadable key and whatever of it was read.
      document->keys.resize(mark);
      skipped->push_back(why);
    }
  }
  return true;
}

}  // namespace

bool Import(const Document &document, std::string *error) {
  for (const Key &section : document.keys) {
    std::string rootName, subkey;
    if (!SplitKeyPath(section.path, &rootName, &subkey)) {
      *error = "unknown root key in " + Shown(section.path);
      return false;
    }
    const HKEY root = RootHandle(rootName);
    if (section.remove) {
      const LONG status = subkey.empty() ? ERROR_ACCESS_DENIED : static_cast<LONG>(SHDeleteKeyA(root, subkey.c_str()));
      if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) {
        *error = "cannot delete " + Shown(section.path) + ": " + Status(status);
        return false;
      }
      continue;
    }
    HKEY key = nullptr;
    DWORD disposition = 0;
    LONG status = RegCreateKeyExA(root, subkey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                  &key, &disposition);
    if (status != ERROR_SUCCESS) {
      *error = "cannot create " + Shown(section.path) + ": " + Status(status);
      return false;
    }
    for (const Value &value : section.values) {
      const char *what = value.remove ? "delete" : "set";
      status = value.remove ? RegDeleteValueA(key, value.name.c_str())
                            : RegSetValueExA(key, value.name.c_str(), 0, value.type,
                                             reinterpret_cast<const BYTE *>(value.data.data()),
                                             static_cast<DWORD>(value.data.size()));
      if (value.remove && status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
      if (status != ERROR_SUCCESS) {
        RegCloseKey(key);
        *error = std::string("cannot ") + what + " the value " +
                 (value.name.empty() ? std::string("@") : "\"" + Shown(value.name) + "\"") + " of " +
                 Shown(section.path) + ": " + Status(status);
        return false;
      }
    }
    RegCloseKey(key);
  }
  return true;
}

bool Export(const std::string &path, Document *document, std::vector<std::string> *skipped, std::string *error) {
  document->keys.clear();
  skipped->clear();
  if (path.empty()) {
    for (const char *root :
         {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_USERS", "HKEY_CURRENT_CONFIG"}) {
      if (!ExportTree(RootHandle(root), root, std::string(), document, skipped, error)) return false;
    }
    return true;
  }
  std::string rootName, subkey;
  if (!SplitKeyPath(path, &rootName, &subkey)) {
    *error = "the key " + Shown(path) + " does not start with one of the five root keys";
    return false;
  }
  while (!subkey.empty() && subkey.back() == '\\') subkey.pop_back();
  // A key asked for by name gets its section even when it is a root.
  const std::size_t before = document->keys.size();
  if (!ExportTree(RootHandle(rootName), rootName, subkey, document, skipped, error)) return false;
  if (subkey.empty() && (document->keys.size() == before || document->keys[before].path != rootName)) {
    Key rootSection;
    rootSection.path = rootName;
    document->keys.insert(document->keys.begin() + static_cast<std::ptrdiff_t>(before), rootSection);
  }
  return true;
}

}  // namespace regfile
