// The registry functions that Import and Export call, on the model's text:
// names in UTF-8, the string types' data in UTF-16LE.  The Windows build
// calls the registry's wide functions, so that every name and text comes
// and goes whole; the linux build calls the stand-in's 8-bit functions and
// converts through Windows-1252.  Each returns a Windows status.
#ifndef VANTORIX_TOOLS_REGFILE_REGISTRY_CALLS_H
#define VANTORIX_TOOLS_REGFILE_REGISTRY_CALLS_H

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "tools/regfile/regfile.h"

namespace regfile {
namespace calls {

// ERROR_NO_UNICODE_TRANSLATION: a name or text that the functions in use
// cannot carry.
constexpr LONG kNotConvertible = 1113;

// Whether the functions in use can store the section's key path, and a
// value read in that section; if not, *error names what they cannot (and
// is otherwise left as it is).  The same thing fails to convert, with
// kNotConvertible, when it is created, set or deleted.
bool CanStoreSection(const Key &section, std::string *error);
bool CanStoreValue(const Key &section, const Value &value, std::string *error);

LONG Open(HKEY parent, const std::string &subkey, REGSAM access, HKEY *key);
LONG Create(HKEY parent, const std::string &subkey, HKEY *key);
// The subkey with everything below it.
LONG DeleteTree(HKEY parent, const std::string &subkey);
// The subkey or value at index; ERROR_NO_MORE_ITEMS past the last.  For a
// name that is not Unicode text, kNotConvertible and the name with U+FFFD
// in place of what is wrong (to be named in a message).
LONG EnumKey(HKEY key, DWORD index, std::string *name);
LONG EnumValue(HKEY key, DWORD index, Value *value);
LONG SetValue(HKEY key, const Value &value);
// Sets a "text" value (REG_SZ) named name to text, given in UTF-8.
LONG SetText(HKEY key, const std::string &name, std::string_view text);
LONG DeleteValue(HKEY key, const std::string &name);
// Whether two names name the same key, as the registry compares them.
bool SameKeyName(const std::string &a, const std::string &b);

// The value at index of key through enumerate, RegEnumValueA or
// RegEnumValueW, with buffers that grow until its name and data fit.  On
// success (*name)[0 .. *nameLength) is the name, *type and *data the
// value's.
template <typename Char, typename Enumerate>
LONG EnumValueWith(Enumerate enumerate, HKEY key, DWORD index, std::vector<Char> *name, DWORD *nameLength, DWORD *type,
                   std::string *data) {
  name->resize(256);
  std::vector<unsigned char> bytes(1024);
  for (;;) {
    *nameLength = static_cast<DWORD>(name->size());
    DWORD dataLength = static_cast<DWORD>(bytes.size());
    const LONG status = enumerate(key, index, name->data(), nameLength, nullptr, type, bytes.data(), &dataLength);
    if (status == ERROR_MORE_DATA) {
      // Either buffer may be short: make room in both and ask again.
      name->resize(name->size() * 2);
      bytes.resize(dataLength > bytes.size() ? dataLength : bytes.size() * 2);
      continue;
    }
    if (status == ERROR_SUCCESS) data->assign(reinterpret_cast<const char *>(bytes.data()), dataLength);
    return status;
  }
}

}  // namespace calls
}  // namespace regfile

#endif
