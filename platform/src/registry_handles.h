// The stand-in registry's handles and paths: the predefined root keys at
// their fixed handle values, the handles that opening a key gives out
// (counted, each with its rights), and the resolution of a key path below a
// handle, in one place for every call that takes one.
#ifndef VX_PLATFORM_SRC_REGISTRY_HANDLES_H
#define VX_PLATFORM_SRC_REGISTRY_HANDLES_H

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "registry_tree.h"

namespace vxplatform::detail {

struct Handle {
  std::shared_ptr<Key> key;
  REGSAM access = 0;
};

class Registry {
 public:
  static Registry &Instance();

  // The key and the rights behind a handle: a predefined root (with every
  // right) or an open handle, valid until the handle is closed.
  // ERROR_INVALID_HANDLE for anything else, and ERROR_KEY_DELETED for a key
  // that was deleted since.
  LONG Resolve(HKEY hkey, const Handle **out) const;
  HKEY Open(std::shared_ptr<Key> key, REGSAM access);
  // Closing a root key succeeds and changes nothing.
  LONG Close(HKEY hkey);
  std::size_t OpenHandles() const { return handles_.size(); }
  // Empties every root key and closes every handle.
  void Reset();

 private:
  Registry();

  // A predefined root key, at its fixed handle value.
  struct Root {
    HKEY handle;
    Handle entry;
  };
  Root roots_[6] = {
      {HKEY_CLASSES_ROOT, {}}, {HKEY_CURRENT_USER, {}},     {HKEY_LOCAL_MACHINE, {}},
      {HKEY_USERS, {}},        {HKEY_PERFORMANCE_DATA, {}}, {HKEY_CURRENT_CONFIG, {}},
  };
  std::unordered_map<uintptr_t, Handle> handles_;
  uintptr_t next_ = 0x1000;
};

// Where a key path below a handle leads: the handle's key and rights, the
// path's names, and how far the existing keys reach along them.
struct PathWalk {
  Handle base;
  std::vector<std::string> parts;
  std::shared_ptr<Key> key;  // the deepest existing key on the path
  std::size_t found = 0;     // how many of the parts exist
};

// Resolves the handle, splits the path at '\' and walks it as far as its
// keys exist.  Empty names in the path are skipped; a leading '\' is
// ERROR_BAD_PATHNAME and a name longer than 255 characters
// ERROR_INVALID_PARAMETER; a handle that is no good answers as Resolve.
LONG WalkPath(HKEY hkey, LPCSTR path, PathWalk *walk);
// The same, for a key that must exist: ERROR_FILE_NOT_FOUND if it does not.
LONG FindKey(HKEY hkey, LPCSTR path, PathWalk *walk);

}  // namespace vxplatform::detail

#endif
