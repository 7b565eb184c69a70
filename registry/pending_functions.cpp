// Scaffolding until the registry functions are built: they send no reply.
#include "host/external_functions.h"

void GetRegistryKey(HostHandle, HostHandle) {}
void ListRegistryKeys(HostHandle, HostHandle) {}
void ListRegistryValues(HostHandle, HostHandle) {}
void SetRegistryKey(HostHandle, HostHandle) {}
void DeleteRegistryKey(HostHandle, HostHandle) {}
void DeleteRegistryValue(HostHandle, HostHandle) {}
