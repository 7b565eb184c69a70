#include "registry/root_keys.h"

#include <cstdint>

namespace {

struct RootKeyName {
  const char *name;
  HKEY key;
  uint32_t bytesCompared;  // the name and its terminating zero byte
};

// HKEY_PERFORMANCE_DATA and the other predefined keys are deliberately absent.
const RootKeyName kRootKeys[] = {
    {"HKEY_CURRENT_USER", HKEY_CURRENT_USER, 18},
    {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, 19},
    {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT, 18},
    {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG, 20},
    {"HKEY_USERS", HKEY_USERS, 11},
};

bool SameBytes(const char *a, const char *b, uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

}  // namespace

bool ResolveRootKey(const char *field, HKEY *key) {
  for (const RootKeyName &row : kRootKeys) {
    if (SameBytes(field, row.name, row.bytesCompared)) {
      *key = row.key;
      return true;
    }
  }
  return false;
}
