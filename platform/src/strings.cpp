// String services: lstrcpynA, lstrlenA, wsprintfA, LoadStringA.
#include <dlfcn.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <utility>

#include <vxplatform/string_resources.h>
#include <vxplatform/testing.h>

namespace {

thread_local DWORD lastError = 0;

// String tables of the modules that the dynamic linker does not know.
std::map<HINSTANCE, std::map<unsigned, std::string>> &MappedModuleStrings() {
  static std::map<HINSTANCE, std::map<unsigned, std::string>> modules;
  return modules;
}

// The string with this id of a module registered with SetModuleStrings;
// false if the module is not registered.  An absent string is empty.
bool FindMappedString(HINSTANCE instance, UINT id, std::string *text) {
  const auto module = MappedModuleStrings().find(instance);
  if (module == MappedModuleStrings().end()) return false;
  const auto found = module->second.find(id);
  text->assign(found == module->second.end() ? std::string() : found->second);
  return true;
}

// The string table of the module that holds the address `instance`: linux
// modules export it under a fixed name (see vxplatform/string_resources.h).
const VxStringResource *FindStringTable(HINSTANCE instance) {
  Dl_info info{};
  if (instance != nullptr && (dladdr(reinterpret_cast<void *>(instance), &info) == 0 || info.dli_fname == nullptr))
    return nullptr;
  // A shared library by its name; the main program (null instance, or a
  // name that dlopen does not know) through the global scope.
  void *module = instance ? dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD) : nullptr;
  if (module == nullptr) module = dlopen(nullptr, RTLD_LAZY);
  if (module == nullptr) return nullptr;
  const auto *table = static_cast<const VxStringResource *>(dlsym(module, VX_STRING_RESOURCES_SYMBOL));
  dlclose(module);  // the module stays loaded: NOLOAD took a reference to it
  // The table must be the module's own, not one found elsewhere.
  Dl_info found{};
  if (table != nullptr && instance != nullptr && (dladdr(table, &found) == 0 || found.dli_fbase != info.dli_fbase))
    return nullptr;
  return table;
}

void Append(std::string &out, const std::string &piece, int width, bool left, char pad) {
  const int fill = width - static_cast<int>(piece.size());
  if (fill > 0 && !left) out.append(static_cast<std::size_t>(fill), pad);
  out += piece;
  if (fill > 0 && left) out.append(static_cast<std::size_t>(fill), ' ');
}

}  // namespace

extern "C" {

DWORD WINAPI GetLastError(void) { return lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

LPSTR WINAPI lstrcpynA(LPSTR lpString1, LPCSTR lpString2, int iMaxLength) {
  // At most iMaxLength - 1 characters, then a terminator (none for 0).
  char *d = lpString1;
  const char *s = lpString2;
  int count = iMaxLength;
  while (count > 1 && *s) {
    --count;
    *d++ = *s++;
  }
  if (count > 0) *d = 0;
  return lpString1;
}

int WINAPI lstrlenA(LPCSTR lpString) { return lpString ? static_cast<int>(std::strlen(lpString)) : 0; }

int WINAPI LoadStringA(HINSTANCE hInstance, UINT uID, LPSTR lpBuffer, int cchBufferMax) {
  if (lpBuffer == nullptr || cchBufferMax <= 0) return 0;
  std::string mapped;
  const char *text = nullptr;
  if (FindMappedString(hInstance, uID, &mapped)) {
    if (!mapped.empty()) text = mapped.c_str();
  } else {
    const VxStringResource *table = FindStringTable(hInstance);
    for (const VxStringResource *entry = table; entry && entry->text && !text; ++entry) {
      if (entry->id == uID) text = entry->text;
    }
  }
  if (text == nullptr) {
    lpBuffer[0] = 0;
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return 0;
  }
  const std::size_t length = std::strlen(text);
  const std::size_t copied = length < static_cast<std::size_t>(cchBufferMax - 1) ? length : cchBufferMax - 1;
  std::memcpy(lpBuffer, text, copied);
  lpBuffer[copied] = 0;
  return static_cast<int>(copied);
}

// The subset of wsprintfA's format: %% and %c %s %d %i %u %x %X, an optional
// 'l' (a 32-bit LONG/DWORD, as on Windows), the flag '-' and '0', and a
// width.  Like wsprintfA the output stops at 1024 bytes with the terminator.
int wsprintfA(LPSTR lpOut, LPCSTR lpFmt, ...) {
  std::string out;
  va_list args;
  va_start(args, lpFmt);
  for (const char *p = lpFmt; *p; ++p) {
    if (*p != '%') {
      out += *p;
      continue;
    }
    ++p;
    if (*p == '%') {
      out += '%';
      continue;
    }
    bool left = false;
    char pad = ' ';
    for (; *p == '-' || *p == '0'; ++p) {
      if (*p == '-')
        left = true;
      else
        pad = '0';
    }
    int width = 0;
    for (; *p >= '0' && *p <= '9'; ++p) width = width * 10 + (*p - '0');
    if (*p == 'l' || *p == 'h') ++p;
    char piece[32];
    switch (*p) {
      case 'c': Append(out, std::string(1, static_cast<char>(va_arg(args, int))), width, left, ' '); break;
      case 's': {
        const char *s = va_arg(args, const char *);
        Append(out, s ? s : "(null)", width, left, ' ');
        break;
      }
      case 'd':
      case 'i':
        std::snprintf(piece, sizeof piece, "%d", va_arg(args, int32_t));
        Append(out, piece, width, left, pad);
        break;
      case 'u':
      case 'x':
      case 'X': {
        const char conversion[] = {'%', *p, 0};
        std::snprintf(piece, sizeof piece, conversion, va_arg(args, uint32_t));
        Append(out, piece, width, left, pad);
        break;
      }
      case 0: --p; break;  // a lone '%' at the end
      default: out += *p; break;
    }
  }
  va_end(args);
  if (out.size() > 1023) out.resize(1023);
  std::memcpy(lpOut, out.c_str(), out.size() + 1);
  return static_cast<int>(out.size());
}

}  // extern "C"

namespace vxplatform {

void SetModuleStrings(HINSTANCE module, std::map<unsigned, std::string> strings) {
  if (strings.empty()) {
    MappedModuleStrings().erase(module);
  } else {
    MappedModuleStrings()[module] = std::move(strings);
  }
}

}  // namespace vxplatform
