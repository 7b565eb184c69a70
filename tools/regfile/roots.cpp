#include "tools/regfile/roots.h"

#include "charsets/charsets.h"

namespace regfile {

const RootKey kRootKeys[5] = {
    {"HKEY_LOCAL_MACHINE", "HKLM", static_cast<int32_t>(0x80000002u)},
    {"HKEY_CURRENT_USER", "HKCU", static_cast<int32_t>(0x80000001u)},
    {"HKEY_CLASSES_ROOT", "HKCR", static_cast<int32_t>(0x80000000u)},
    {"HKEY_USERS", "HKU", static_cast<int32_t>(0x80000003u)},
    {"HKEY_CURRENT_CONFIG", "HKCC", static_cast<int32_t>(0x80000005u)},
};

const RootKey *FindRoot(const std::string &name) {
  for (const RootKey &root : kRootKeys) {
    if (charsets::EqualNoCase(name, root.name) || charsets::EqualNoCase(name, root.shortName)) return &root;
  }
  return nullptr;
}

bool SplitKeyPath(const std::string &path, const RootKey **root, std::string *subkey) {
  const std::size_t slash = path.find('\\');
  *root = FindRoot(path.substr(0, slash));
  *subkey = slash == std::string::npos ? std::string() : path.substr(slash + 1);
  return *root != nullptr;
}

}  // namespace regfile
