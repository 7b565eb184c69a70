// FormatMessageA over the system's own message table: the English texts
// that Windows gives for the status codes that registry and memory calls
// return, each ending in a carriage return and a line feed.  A status with
// no text gives no message (result 0), as on Windows.
#include <cstring>
#include <map>
#include <string>

#include <vxplatform/testing.h>

#include "injection.h"

namespace {

constexpr DWORD kMessageNotFound = 317;     // ERROR_MR_MID_NOT_FOUND
constexpr DWORD kLanguageNotFound = 15100;  // ERROR_RESOURCE_LANG_NOT_FOUND

const std::map<DWORD, std::string> &SystemTexts() {
  static const std::map<DWORD, std::string> texts = {
      {0, "The operation completed successfully."},
      {1, "Incorrect function."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {4, "The system cannot open the file."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {8, "Not enough memory resources are available to process this command."},
      {13, "The data is invalid."},
      {14, "Not enough memory resources are available to complete this operation."},
      {87, "The parameter is incorrect."},
      {122, "The data area passed to a system call is too small."},
      {123, "The filename, directory name, or volume label syntax is incorrect."},
      {161, "The specified path is invalid."},
      {206, "The filename or extension is too long."},
      {234, "More data is available."},
      {259, "No more data is available."},
      {998, "Invalid access to memory location."},
      {1009, "The configuration registry database is corrupt."},
      {1010, "The configuration registry key is invalid."},
      {1011, "The configuration registry key could not be opened."},
      {1012, "The configuration registry key could not be read."},
      {1013, "The configuration registry key could not be written."},
      {1014,
       "One of the files in the registry database had to be recovered by use of a log or alternate copy. "
       "The recovery was successful."},
      {1015,
       "The registry is corrupted. The structure of one of the files containing registry data is corrupted, "
       "or the system's memory image of the file is corrupted, or the file could not be recovered because the "
       "alternate copy or log was absent or corrupted."},
      {1016,
       "An I/O operation initiated by the registry failed unrecoverably. The registry could not read in, or "
       "write out, or flush, one of the files that contain the system's image of the registry."},
      {1017,
       "The system has attempted to load or restore a file into the registry, but the specified file is not "
       "in a registry file format."},
      {1018, "Illegal operation attempted on a registry key that has been marked for deletion."},
      {1019, "System could not allocate the required space in a registry log."},
      {1020, "Cannot create a symbolic link in a registry key that already has subkeys or values."},
      {1021, "Cannot create a stable subkey under a volatile parent key."},
      {1450, "Insufficient system resources exist to complete the requested service."},
      {1814, "The specified resource name cannot be found in the image file."},
  };
  return texts;
}

// Texts that tests put in place of the built-in ones, given without the
// closing line end.
std::map<DWORD, std::string> &Overrides() {
  static std::map<DWORD, std::string> overrides;
  return overrides;
}

bool LanguageAvailable(DWORD language) {
  // Neutral (0), the user's or system's default, and English.
  const DWORD primary = language & 0x3FF;
  return language == 0 || primary == 0 /* LANG_NEUTRAL, any sublanguage */ || primary == 0x09 /* English */;
}

}  // namespace

extern "C" {

DWORD WINAPI FormatMessageA(DWORD dwFlags, LPCVOID, DWORD dwMessageId, DWORD dwLanguageId, LPSTR lpBuffer, DWORD nSize,
                            va_list *) {
  LONG injected;
  if (vxplatform::detail::TakeInjectedFailure("FormatMessageA", &injected)) {
    SetLastError(static_cast<DWORD>(injected));
    return 0;
  }
  if (!(dwFlags & FORMAT_MESSAGE_FROM_SYSTEM) ||
      (dwFlags & (FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_FROM_HMODULE)) || lpBuffer == nullptr) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  if (!LanguageAvailable(dwLanguageId)) {
    SetLastError(kLanguageNotFound);
    return 0;
  }
  std::string text;
  auto overridden = Overrides().find(dwMessageId);
  if (overridden != Overrides().end()) {
    text = overridden->second;
  } else {
    auto found = SystemTexts().find(dwMessageId);
    if (found == SystemTexts().end()) {
      SetLastError(kMessageNotFound);
      return 0;
    }
    text = found->second;
  }
  text += "\r\n";

  const DWORD length = static_cast<DWORD>(text.size());
  if (dwFlags & FORMAT_MESSAGE_ALLOCATE_BUFFER) {
    const DWORD size = (length + 1 > nSize ? length + 1 : nSize);
    char *copy = static_cast<char *>(LocalAlloc(LMEM_FIXED, size));
    if (copy == nullptr) {
      SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return 0;
    }
    std::memcpy(copy, text.c_str(), length + 1);
    *reinterpret_cast<char **>(lpBuffer) = copy;
    return length;
  }
  if (length + 1 > nSize) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  std::memcpy(lpBuffer, text.c_str(), length + 1);
  return length;
}

}  // extern "C"

namespace vxplatform {

void SetMessageText(DWORD status, const char *text) {
  if (text == nullptr) {
    Overrides().erase(status);
  } else {
    Overrides()[status] = text;
  }
}

}  // namespace vxplatform
