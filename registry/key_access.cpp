#include "registry/key_access.h"

DWORD CreateOrOpenKey(HKEY root, const char *path, const char *classText, HKEY *key) {
  *key = nullptr;
  DWORD disposition = 0;
  HKEY reached = nullptr;
  // The class is stored only on keys that this call creates.  The platform
  // takes the class as a writable string but does not write to it.
  const LONG status = RegCreateKeyExA(root, path, 0, const_cast<char *>(classText), REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, &reached, &disposition);
  if (status != ERROR_SUCCESS) return 0;  // nothing reached
  *key = reached;
  return disposition;
}

LONG OpenExistingKey(HKEY root, const char *path, HKEY *key) {
  *key = nullptr;
  HKEY reached = nullptr;
  const LONG status = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &reached);
  if (status == ERROR_SUCCESS) *key = reached;
  return status;
}

void CloseKey(HKEY key) {
  if (key != nullptr) RegCloseKey(key);
}
