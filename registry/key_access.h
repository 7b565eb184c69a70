// The two ways in which the registry functions reach a key.
#ifndef VANTORIX_REGISTRY_KEY_ACCESS_H
#define VANTORIX_REGISTRY_KEY_ACCESS_H

#include <windows.h>

// Opens root\path with full access, creating it and every missing key above
// it with the given class text if it does not exist.  Returns
// REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY with the key in *key, or 0
// with *key null when the key could not be reached.  The caller closes the
// key with CloseKey whatever the outcome.
DWORD CreateOrOpenKey(HKEY root, const char *path, const char *classText, HKEY *key);

// Opens an existing key root\path with full access.  Returns the status of
// the open; *key is null unless it is 0.
LONG OpenExistingKey(HKEY root, const char *path, HKEY *key);

// Closes a key that one of the two gave; a null key is left alone.
void CloseKey(HKEY key);

#endif
