// The five root key names that the registry functions accept.
#ifndef VANTORIX_REGISTRY_ROOT_KEYS_H
#define VANTORIX_REGISTRY_ROOT_KEYS_H

#include <windows.h>

// Looks the root field up in the table of root key names, in table order.
// A name matches only byte for byte, terminator included: same case, nothing
// before or after it.  The field must be a zero-terminated buffer of at
// least 21 bytes (the field buffers hold 252).  Returns false if no name
// matches; *key is then left alone.
bool ResolveRootKey(const char *field, HKEY *key);

#endif
