// Reading, writing and saving registry state from tests, through the same
// 8-bit registry calls the plug-in uses, on both lanes.
#ifndef VANTORIX_TESTS_SUPPORT_REGISTRY_STATE_H
#define VANTORIX_TESTS_SUPPORT_REGISTRY_STATE_H

#include <windows.h>

#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace vxtest {

struct RegistryValue {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
};

// A key with everything below it.
struct RegistryTree {
  std::string name;  // empty for the key a capture starts from
  std::string keyClass;
  std::vector<RegistryValue> values;
  std::vector<RegistryTree> subkeys;
};

bool operator==(const RegistryValue &a, const RegistryValue &b);
bool operator==(const RegistryTree &a, const RegistryTree &b);
std::ostream &operator<<(std::ostream &out, const RegistryValue &value);
std::ostream &operator<<(std::ostream &out, const RegistryTree &tree);

// Paths are reached one key at a time, so they may be of any length.
bool KeyExists(HKEY root, const std::string &path);
// Creates the key and those above it that are missing, with the class.
LONG CreateKey(HKEY root, const std::string &path, const char *keyClass = nullptr);
// The key's class text; nothing if the key does not exist.
std::optional<std::string> KeyClass(HKEY root, const std::string &path);
// The value's type and bytes; nothing if the key or the value does not exist.
std::optional<RegistryValue> ReadValue(HKEY root, const std::string &path, const std::string &name);
// Creates the key (and those above it) if needed, then writes the value.
LONG WriteValue(HKEY root, const std::string &path, const std::string &name, DWORD type, const std::string &data);
LONG DeleteValue(HKEY root, const std::string &path, const std::string &name);
// The names of the key's subkeys, in the order the registry gives them.
std::vector<std::string> Subkeys(HKEY root, const std::string &path);
// Deletes the key and everything below it.
LONG DeleteKeyTree(HKEY root, const std::string &path);
// The key and everything below it; nothing if the key does not exist.
std::optional<RegistryTree> CaptureTree(HKEY root, const std::string &path);

// Saves a key as it stands (with everything below it, or its absence and
// which of the keys above it were absent too) and puts it back exactly when
// destroyed, whatever the test did to it in between.
class SavedRegistryKey {
 public:
  SavedRegistryKey(HKEY root, std::string path);
  ~SavedRegistryKey();
  SavedRegistryKey(const SavedRegistryKey &) = delete;
  SavedRegistryKey &operator=(const SavedRegistryKey &) = delete;

 private:
  HKEY root_;
  std::string path_;
  std::optional<RegistryTree> saved_;
  std::string firstMissing_;  // the highest key on the path that did not exist
};

}  // namespace vxtest

#endif
