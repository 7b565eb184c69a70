/* Linux stand-in for the part of <shlwapi.h> that the plug-in uses. */
#ifndef VX_PLATFORM_SHLWAPI_H
#define VX_PLATFORM_SHLWAPI_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Deletes the named subkey with all its subkeys and values.  An empty name
   empties the key itself, as on Windows. */
VX_PLATFORM_API DWORD WINAPI SHDeleteKeyA(HKEY hkey, LPCSTR pszSubKey);

#ifdef __cplusplus
}
#endif

#endif
