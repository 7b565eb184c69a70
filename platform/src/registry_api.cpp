// The registry calls of advapi32 and shlwapi over the stand-in's key tree.
//
// Behaviour follows Windows: predefined root keys at their fixed handle
// values; key paths with '\' (a leading '\' is a bad path name, empty
// components are skipped); names without regard to case; a key's class set
// only when the key is created; open handles counted; a key deleted while a
// handle refers to it answers ERROR_KEY_DELETED through that handle.
#include <cstring>
#include <string_view>

#include <shlwapi.h>
#include <vxplatform/testing.h>

#include "injection.h"
#include "registry_handles.h"
#include "registry_tree.h"

namespace vxplatform::detail {
namespace {

constexpr std::size_t kMaxValueNameLength = 16383;
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | KEY_CREATE_LINK | DELETE |
                                0x00040000L /* WRITE_DAC */ | 0x00080000L /* WRITE_OWNER */;

// Generic rights become the key rights they stand for.
REGSAM MapAccess(REGSAM requested) {
  REGSAM access = requested & 0x00FFFFFF;
  if (requested & 0x80000000u) access |= KEY_READ;        // GENERIC_READ
  if (requested & 0x40000000u) access |= KEY_WRITE;       // GENERIC_WRITE
  if (requested & 0x20000000u) access |= KEY_READ;        // GENERIC_EXECUTE
  if (requested & 0x10000000u) access |= KEY_ALL_ACCESS;  // GENERIC_ALL
  if (requested & 0x02000000u) access |= KEY_ALL_ACCESS;  // MAXIMUM_ALLOWED
  return access;
}

bool SubtreeWriteDenied(const Key &key) {
  if (key.writeDenied()) return true;
  for (std::size_t i = 0; i < key.ChildCount(); ++i) {
    if (SubtreeWriteDenied(*key.ChildAt(i))) return true;
  }
  return false;
}

std::string NameOf(LPCSTR name) { return name ? std::string(name) : std::string(); }
std::string_view ValueNameOf(LPCSTR name) { return name ? std::string_view(name) : std::string_view(); }

}  // namespace
}  // namespace vxplatform::detail

using namespace vxplatform::detail;  // NOLINT: the calls below are this file's whole purpose

#define VX_INJECTED(function)                                        \
  do {                                                               \
    LONG injected_;                                                  \
    if (TakeInjectedFailure(function, &injected_)) return injected_; \
  } while (0)

extern "C" {

LONG WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR lpClass, DWORD, REGSAM samDesired,
                            const LPSECURITY_ATTRIBUTES, PHKEY phkResult, LPDWORD lpdwDisposition) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  VX_INJECTED("RegCreateKeyExA");
  PathWalk walk;
  if (LONG status = WalkPath(hKey, lpSubKey, &walk)) return status;
  const REGSAM access = MapAccess(samDesired);
  std::shared_ptr<Key> key = walk.key;
  if (walk.found == walk.parts.size()) {
    if (key->writeDenied() && (access & kWriteRights)) return ERROR_ACCESS_DENIED;
    *phkResult = Registry::Instance().Open(key, access);
    if (lpdwDisposition) *lpdwDisposition = REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
  }
  // Creating below `key`: it must let us add a subkey, and so must the
  // handle when the new key goes directly below the handle's own key.
  if (key->writeDenied()) return ERROR_ACCESS_DENIED;
  if (walk.found == 0 && !(walk.base.access & KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
  const std::string className = NameOf(lpClass);
  for (std::size_t i = walk.found; i < walk.parts.size(); ++i) key = key->AddChild(walk.parts[i], className);
  *phkResult = Registry::Instance().Open(key, access);
  if (lpdwDisposition) *lpdwDisposition = REG_CREATED_NEW_KEY;
  return ERROR_SUCCESS;
}

LONG WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult) {
  if (phkResult == nullptr) return ERROR_INVALID_PARAMETER;
  *phkResult = nullptr;
  VX_INJECTED("RegOpenKeyExA");
  PathWalk walk;
  if (LONG status = FindKey(hKey, lpSubKey, &walk)) return status;
  const REGSAM access = MapAccess(samDesired);
  if (walk.key->writeDenied() && (access & kWriteRights)) return ERROR_ACCESS_DENIED;
  *phkResult = Registry::Instance().Open(walk.key, access);
  return ERROR_SUCCESS;
}

LONG WINAPI RegCloseKey(HKEY hKey) {
  VX_INJECTED("RegCloseKey");
  return Registry::Instance().Close(hKey);
}

LONG WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
  VX_INJECTED("RegQueryValueExA");
  const Handle *handle = nullptr;
  if (LONG status = Registry::Instance().Resolve(hKey, &handle)) return status;
  if (!(handle->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
  const Value *value = handle->key->FindValue(ValueNameOf(lpValueName));
  if (value == nullptr) return ERROR_FILE_NOT_FOUND;
  if (lpType) *lpType = value->type();
  const DWORD size = static_cast<DWORD>(value->size());
  if (lpData != nullptr && *lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (lpData != nullptr && size) std::memcpy(lpData, value->data(), size);
  if (lpcbData) *lpcbData = size;
  return ERROR_SUCCESS;
}

LONG WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE *lpData, DWORD cbData) {
  VX_INJECTED("RegSetValueExA");
  const Handle *handle = nullptr;
  if (LONG status = Registry::Instance().Resolve(hKey, &handle)) return status;
  if (!(handle->access & KEY_SET_VALUE) || handle->key->writeDenied()) return ERROR_ACCESS_DENIED;
  if (lpData == nullptr && cbData != 0) return ERROR_INVALID_PARAMETER;
  const std::string_view name = ValueNameOf(lpValueName);
  if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  handle->key->SetValue(name, dwType, lpData, cbData);
  return ERROR_SUCCESS;
}

LONG WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
  VX_INJECTED("RegDeleteValueA");
  const Handle *handle = nullptr;
  if (LONG status = Registry::Instance().Resolve(hKey, &handle)) return status;
  if (!(handle->access & KEY_SET_VALUE) || handle->key->writeDenied()) return ERROR_ACCESS_DENIED;
  return handle->key->RemoveValue(ValueNameOf(lpValueName)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// Deletes one key, which must have no subkeys.  An empty name deletes the
// key of the handle itself.
LONG WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
  VX_INJECTED("RegDeleteKeyA");
  PathWalk walk;
  if (LONG status = FindKey(hKey, lpSubKey, &walk)) return status;
  const std::shared_ptr<Key> &key = walk.key;
  if (key->parent() == nullptr) return ERROR_ACCESS_DENIED;  // a root key
  if (key->ChildCount() != 0 || key->writeDenied()) return ERROR_ACCESS_DENIED;
  key->parent()->RemoveChild(key->name());
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumKeyA(HKEY hKey, DWORD dwIndex, LPSTR lpName, DWORD cchName) {
  VX_INJECTED("RegEnumKeyA");
  const Handle *handle = nullptr;
  if (LONG status = Registry::Instance().Resolve(hKey, &handle)) return status;
  if (!(handle->access & KEY_ENUMERATE_SUB_KEYS)) return ERROR_ACCESS_DENIED;
  const Key *child = handle->key->ChildAt(dwIndex);
  if (child == nullptr) return ERROR_NO_MORE_ITEMS;
  if (lpName == nullptr) return ERROR_INVALID_PARAMETER;
  const std::string &name = child->name();
  if (name.size() + 1 > cchName) return ERROR_MORE_DATA;
  std::memcpy(lpName, name.c_str(), name.size() + 1);
  return ERROR_SUCCESS;
}

LONG WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD, LPDWORD lpType,
                          LPBYTE lpData, LPDWORD lpcbData) {
  VX_INJECTED("RegEnumValueA");
  const Handle *handle = nullptr;
  if (LONG status = Registry::Instance().Resolve(hKey, &handle)) return status;
  if (!(handle->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  if (lpValueName == nullptr || lpcchValueName == nullptr) return ERROR_INVALID_PARAMETER;
  if (lpData != nullptr && lpcbData == nullptr) return ERROR_INVALID_PARAMETER;
  const Value *value = handle->key->ValueAt(dwIndex);
  if (value == nullptr) return ERROR_NO_MORE_ITEMS;
  const DWORD size = static_cast<DWORD>(value->size());
  const std::string_view name = value->name();
  if (name.size() + 1 > *lpcchValueName) return ERROR_MORE_DATA;  // capacity stays as given
  if (lpData != nullptr && *lpcbData < size) {
    *lpcbData = size;
    return ERROR_MORE_DATA;
  }
  if (!name.empty()) std::memcpy(lpValueName, name.data(), name.size());
  lpValueName[name.size()] = 0;
  *lpcchValueName = static_cast<DWORD>(name.size());
  if (lpType) *lpType = value->type();
  if (lpData != nullptr && size) std::memcpy(lpData, value->data(), size);
  if (lpcbData) *lpcbData = size;
  return ERROR_SUCCESS;
}

LONG WINAPI RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                             LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                             LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                             PFILETIME lpftLastWriteTime) {
  VX_INJECTED("RegQueryInfoKeyA");
  const Handle *handle = nullptr;
  if (LONG status = Registry::Instance().Resolve(hKey, &handle)) return status;
  if (!(handle->access & KEY_QUERY_VALUE)) return ERROR_ACCESS_DENIED;
  const Key &key = *handle->key;
  DWORD maxSubKey = 0, maxClass = 0, maxValueName = 0, maxValue = 0;
  for (std::size_t i = 0; i < key.ChildCount(); ++i) {
    const Key *child = key.ChildAt(i);
    if (child->name().size() > maxSubKey) maxSubKey = static_cast<DWORD>(child->name().size());
    if (child->className().size() > maxClass) maxClass = static_cast<DWORD>(child->className().size());
  }
  for (std::size_t i = 0; i < key.ValueCount(); ++i) {
    const Value *value = key.ValueAt(i);
    if (value->name().size() > maxValueName) maxValueName = static_cast<DWORD>(value->name().size());
    if (value->size() > maxValue) maxValue = static_cast<DWORD>(value->size());
  }
  LONG status = ERROR_SUCCESS;
  if (lpClass != nullptr && lpcchClass != nullptr) {
    const std::string &className = key.className();
    if (className.size() + 1 > *lpcchClass) {
      status = ERROR_MORE_DATA;
    } else {
      std::memcpy(lpClass, className.c_str(), className.size() + 1);
    }
  }
  if (lpcchClass) *lpcchClass = static_cast<DWORD>(key.className().size());
  if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.ChildCount());
  if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = maxSubKey;
  if (lpcbMaxClassLen) *lpcbMaxClassLen = maxClass;
  if (lpcValues) *lpcValues = static_cast<DWORD>(key.ValueCount());
  if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = maxValueName;
  if (lpcbMaxValueLen) *lpcbMaxValueLen = maxValue;
  if (lpcbSecurityDescriptor) *lpcbSecurityDescriptor = 0;
  if (lpftLastWriteTime) *lpftLastWriteTime = FILETIME{0, 0};
  return status;
}

// Deletes the named subkey with everything below it.  An empty name empties
// the key itself (its subkeys and values go, the key stays), as Windows
// does.  Nothing is deleted when any key of the tree may not be written.
DWORD WINAPI SHDeleteKeyA(HKEY hkey, LPCSTR pszSubKey) {
  VX_INJECTED("SHDeleteKeyA");
  PathWalk walk;
  if (LONG status = FindKey(hkey, pszSubKey, &walk)) return static_cast<DWORD>(status);
  if (SubtreeWriteDenied(*walk.key)) return ERROR_ACCESS_DENIED;
  if (walk.parts.empty()) {
    walk.key->Clear();
  } else {
    walk.key->parent()->RemoveChild(walk.key->name());
  }
  return ERROR_SUCCESS;
}

}  // extern "C"

namespace vxplatform {

void ResetRegistry() { detail::Registry::Instance().Reset(); }

std::size_t OpenKeyHandleCount() { return detail::Registry::Instance().OpenHandles(); }

bool DenyWriteAccess(HKEY root, const char *path, bool deny) {
  detail::PathWalk walk;
  if (detail::FindKey(root, path, &walk) != ERROR_SUCCESS) return false;
  walk.key->setWriteDenied(deny);
  return true;
}

}  // namespace vxplatform
