#include "tests/support/registry_state.h"

#include <shlwapi.h>

#include <utility>

#include "tests/support/plugin.h"

namespace vxtest {

namespace {

// A key reached one path component at a time, so that paths longer than
// the platform takes in one call work too (wine refuses full paths of a few
// hundred characters).  With create, missing keys are created with the
// class; keys that exist are only opened, never created again (wine would
// replace their class: docs/windows-behaviour.md, Class of an existing
// key).  Closed when it goes.
class PathKey {
 public:
  PathKey(HKEY root, const std::string &path, REGSAM access, bool create = false, const char *keyClass = nullptr) {
    HKEY key = root;
    std::size_t start = 0;
    for (;;) {
      std::size_t end = path.find('\\', start);
      if (end == std::string::npos) end = path.size();
      const std::string component = path.substr(start, end - start);
      HKEY next = nullptr;
      status_ = RegOpenKeyExA(key, component.c_str(), 0, access, &next);
      if (status_ == ERROR_FILE_NOT_FOUND && create)
        status_ = RegCreateKeyExA(key, component.c_str(), 0, const_cast<char *>(keyClass), REG_OPTION_NON_VOLATILE,
                                  access, nullptr, &next, nullptr);
      if (key != root) RegCloseKey(key);
      if (status_ != ERROR_SUCCESS) return;
      key = next;
      if (end == path.size()) break;
      start = end + 1;
    }
    key_ = key;
  }
  ~PathKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  PathKey(const PathKey &) = delete;
  PathKey &operator=(const PathKey &) = delete;

  HKEY get() const { return key_; }
  LONG status() const { return status_; }

 private:
  HKEY key_ = nullptr;
  LONG status_ = ERROR_SUCCESS;
};

// Reads a value's bytes as the 8-bit calls give them.  The buffer is exactly
// the size the platform reports, because a string read into a larger one
// gets a terminator appended and counted; only a string stored without a
// terminator (which 8-bit writes never leave) comes back with one.
LONG ReadExactly(HKEY key, const std::string &name, DWORD *type, std::string *data) {
  DWORD size = 0;
  LONG status = RegQueryValueExA(key, name.c_str(), nullptr, type, nullptr, &size);
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    data->assign(size, '\0');
    DWORD read = size;
    status = RegQueryValueExA(key, name.c_str(), nullptr, type, reinterpret_cast<BYTE *>(data->data()), &read);
    if (status == ERROR_SUCCESS) {
      data->resize(read);
      return status;
    }
    size = read > size ? read : size + 1;
  }
  return status;
}

std::optional<RegistryTree> Capture(HKEY root, const std::string &path, const std::string &name) {
  PathKey key(root, path, KEY_READ);
  if (!key.get()) return std::nullopt;
  RegistryTree tree;
  tree.name = name;

  char keyClass[1024] = "";
  DWORD classLength = sizeof keyClass;
  if (RegQueryInfoKeyA(key.get(), keyClass, &classLength, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) == ERROR_SUCCESS)
    tree.keyClass.assign(keyClass, classLength);

  for (DWORD index = 0;; ++index) {
    char valueName[16384];
    DWORD nameLength = sizeof valueName;
    if (RegEnumValueA(key.get(), index, valueName, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
      break;  // no more values
    RegistryValue value{std::string(valueName, nameLength), REG_NONE, std::string()};
    if (ReadExactly(key.get(), value.name, &value.type, &value.data) == ERROR_SUCCESS)
      tree.values.push_back(std::move(value));
  }

  for (DWORD index = 0;; ++index) {
    char subName[1024];
    if (RegEnumKeyA(key.get(), index, subName, sizeof subName) != ERROR_SUCCESS) break;
    const std::string subPath = path.empty() ? std::string(subName) : path + "\\" + subName;
    if (std::optional<RegistryTree> subtree = Capture(root, subPath, subName))
      tree.subkeys.push_back(std::move(*subtree));
  }
  return tree;
}

LONG Write(HKEY root, const std::string &path, const RegistryTree &tree) {
  std::string keyClass = tree.keyClass;
  HKEY key = nullptr;
  DWORD disposition = 0;
  LONG status = RegCreateKeyExA(root, path.c_str(), 0, keyClass.empty() ? nullptr : keyClass.data(),
                                REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, &disposition);
  if (status != ERROR_SUCCESS) return status;
  for (const RegistryValue &value : tree.values) {
    LONG set = RegSetValueExA(key, value.name.c_str(), 0, value.type, reinterpret_cast<const BYTE *>(value.data.data()),
                              static_cast<DWORD>(value.data.size()));
    if (set != ERROR_SUCCESS) status = set;
  }
  RegCloseKey(key);
  for (const RegistryTree &subkey : tree.subkeys) {
    LONG sub = Write(root, path + "\\" + subkey.name, subkey);
    if (sub != ERROR_SUCCESS) status = sub;
  }
  return status;
}

}  // namespace

bool operator==(const RegistryValue &a, const RegistryValue &b) {
  return a.name == b.name && a.type == b.type && a.data == b.data;
}

bool operator==(const RegistryTree &a, const RegistryTree &b) {
  return a.name == b.name && a.keyClass == b.keyClass && a.values == b.values && a.subkeys == b.subkeys;
}

std::ostream &operator<<(std::ostream &out, const RegistryValue &value) {
  return out << Printable(value.name) << " type " << value.type << " " << Printable(value.data);
}

std::ostream &operator<<(std::ostream &out, const RegistryTree &tree) {
  out << "{key " << Printable(tree.name) << " class " << Printable(tree.keyClass);
  for (const RegistryValue &value : tree.values) out << ", " << value;
  for (const RegistryTree &subkey : tree.subkeys) out << ", " << subkey;
  return out << "}";
}

bool KeyExists(HKEY root, const std::string &path) { return PathKey(root, path, KEY_READ).get() != nullptr; }

LONG CreateKey(HKEY root, const std::string &path, const char *keyClass) {
  return PathKey(root, path, KEY_ALL_ACCESS, true, keyClass).status();
}

std::optional<std::string> KeyClass(HKEY root, const std::string &path) {
  PathKey key(root, path, KEY_READ);
  if (!key.get()) return std::nullopt;
  char keyClass[1024] = "";
  DWORD length = sizeof keyClass;
  if (RegQueryInfoKeyA(key.get(), keyClass, &length, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                       nullptr, nullptr) != ERROR_SUCCESS)
    return std::nullopt;
  return std::string(keyClass, length);
}

std::optional<RegistryValue> ReadValue(HKEY root, const std::string &path, const std::string &name) {
  PathKey key(root, path, KEY_READ);
  if (!key.get()) return std::nullopt;
  RegistryValue value{name, REG_NONE, std::string()};
  if (ReadExactly(key.get(), name, &value.type, &value.data) != ERROR_SUCCESS) return std::nullopt;
  return value;
}

LONG WriteValue(HKEY root, const std::string &path, const std::string &name, DWORD type, const std::string &data) {
  PathKey key(root, path, KEY_ALL_ACCESS, true);
  if (key.get() == nullptr) return key.status();
  return RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE *>(data.data()),
                        static_cast<DWORD>(data.size()));
}

LONG DeleteValue(HKEY root, const std::string &path, const std::string &name) {
  PathKey key(root, path, KEY_ALL_ACCESS);
  if (key.get() == nullptr) return key.status();
  return RegDeleteValueA(key.get(), name.c_str());
}

std::vector<std::string> Subkeys(HKEY root, const std::string &path) {
  std::vector<std::string> names;
  PathKey key(root, path, KEY_READ);
  char name[512];
  for (DWORD index = 0; key.get() && RegEnumKeyA(key.get(), index, name, sizeof name) == ERROR_SUCCESS; ++index)
    names.push_back(name);
  return names;
}

LONG DeleteKeyTree(HKEY root, const std::string &path) { return static_cast<LONG>(SHDeleteKeyA(root, path.c_str())); }

std::optional<RegistryTree> CaptureTree(HKEY root, const std::string &path) { return Capture(root, path, ""); }

SavedRegistryKey::SavedRegistryKey(HKEY root, std::string path) : root_(root), path_(std::move(path)) {
  saved_ = CaptureTree(root_, path_);
  if (saved_) return;
  // Find the highest key on the path that is missing: restoring removes it
  // with everything the test created below it.
  std::size_t end = 0;
  for (;;) {
    end = path_.find('\\', end);
    const std::string prefix = path_.substr(0, end);
    if (!KeyExists(root_, prefix)) {
      firstMissing_ = prefix;
      return;
    }
    if (end == std::string::npos) return;
    ++end;
  }
}

SavedRegistryKey::~SavedRegistryKey() {
  DeleteKeyTree(root_, path_);
  if (saved_) {
    const LONG status = Write(root_, path_, *saved_);
    if (status != ERROR_SUCCESS) ADD_FAILURE() << "cannot restore the registry key " << path_ << ": status " << status;
  } else if (!firstMissing_.empty()) {
    DeleteKeyTree(root_, firstMissing_);
  }
}

}  // namespace vxtest
