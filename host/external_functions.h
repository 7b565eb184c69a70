// The external functions that the host's calculations call, by index.
#ifndef VANTORIX_HOST_EXTERNAL_FUNCTIONS_H
#define VANTORIX_HOST_EXTERNAL_FUNCTIONS_H

#include "host/call_block.h"

// Index 0: answers the plug-in's version text, unconverted.
void VersionFunction(HostHandle reply);

// Indexes 2-7: the registry functions.
void GetRegistryKey(HostHandle parameter, HostHandle reply);       // 2
void ListRegistryKeys(HostHandle parameter, HostHandle reply);     // 3
void ListRegistryValues(HostHandle parameter, HostHandle reply);   // 4
void SetRegistryKey(HostHandle parameter, HostHandle reply);       // 5
void DeleteRegistryKey(HostHandle parameter, HostHandle reply);    // 6
void DeleteRegistryValue(HostHandle parameter, HostHandle reply);  // 7

#endif
