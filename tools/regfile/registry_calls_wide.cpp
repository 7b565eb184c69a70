// The registry calls through the wide functions, as Windows (and wine)
// offer them: names go between the model's UTF-8 and UTF-16, and the string
// types' data is already UTF-16LE, as the registry stores it.  Nothing is
// lost to a code page.
#include <shlwapi.h>

#include <vector>

#include "charsets/charsets.h"
#include "tools/regfile/registry_calls.h"

namespace regfile {
namespace calls {

namespace {

// UTF-8 -> UTF-16; false for text that is not UTF-8 (which the reader
// never makes).
bool Wide(const std::string &utf8, std::wstring *wide) {
  std::string units;
  wide->clear();
  if (!charsets::Utf8ToUtf16le(utf8, &units)) return false;
  for (std::size_t i = 0; i + 1 < units.size(); i += 2) {
    wide->push_back(
        static_cast<wchar_t>(static_cast<unsigned char>(units[i]) | (static_cast<unsigned char>(units[i + 1]) << 8)));
  }
  return true;
}

// UTF-16 -> UTF-8; false for an unpaired surrogate, which *utf8 then shows
// as U+FFFD.
bool Narrow(const wchar_t *wide, std::size_t length, std::string *utf8) {
  utf8->clear();
  bool whole = true;
  for (std::size_t i = 0; i < length; ++i) {
    char32_t c = static_cast<char16_t>(wide[i]);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < length && wide[i + 1] >= 0xDC00 && wide[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<char16_t>(wide[++i]) - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
      whole = false;
    }
    charsets::AppendUtf8(c, utf8);
  }
  return whole;
}

}  // namespace

bool CanStoreSection(const Key &section, std::string *error) {
  std::wstring wide;
  if (Wide(section.path, &wide)) return true;
  *error = "a key path is not UTF-8 text";
  return false;
}

bool CanStoreValue(const Key &section, const Value &value, std::string *error) {
  std::wstring wide;
  if (Wide(value.name, &wide)) return true;
  *error = "a value name in " + section.path + " is not UTF-8 text";
  return false;
}

LONG Open(HKEY parent, const std::string &subkey, REGSAM access, HKEY *key) {
  std::wstring wide;
  if (!Wide(subkey, &wide)) return kNotConvertible;
  return RegOpenKeyExW(parent, wide.c_str(), 0, access, key);
}

LONG Create(HKEY parent, const std::string &subkey, HKEY *key) {
  std::wstring wide;
  if (!Wide(subkey, &wide)) return kNotConvertible;
  DWORD disposition = 0;
  return RegCreateKeyExW(parent, wide.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                         &disposition);
}

LONG DeleteTree(HKEY parent, const std::string &subkey) {
  std::wstring wide;
  if (!Wide(subkey, &wide)) return kNotConvertible;
  return static_cast<LONG>(SHDeleteKeyW(parent, wide.c_str()));
}

LONG EnumKey(HKEY key, DWORD index, std::string *name) {
  std::vector<wchar_t> buffer(256);
  for (;;) {
    DWORD length = static_cast<DWORD>(buffer.size());
    const LONG status = RegEnumKeyExW(key, index, buffer.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_MORE_DATA) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    return Narrow(buffer.data(), length, name) ? ERROR_SUCCESS : kNotConvertible;
  }
}

LONG EnumValue(HKEY key, DWORD index, Value *value) {
  std::vector<wchar_t> name;
  DWORD nameLength = 0, type = 0;
  const LONG status = EnumValueWith(RegEnumValueW, key, index, &name, &nameLength, &type, &value->data);
  if (status != ERROR_SUCCESS) return status;
  value->remove = false;
  value->type = type;
  return Narrow(name.data(), nameLength, &value->name) ? ERROR_SUCCESS : kNotConvertible;
}

LONG SetValue(HKEY key, const Value &value) {
  std::wstring name;
  if (!Wide(value.name, &name)) return kNotConvertible;
  return RegSetValueExW(key, name.c_str(), 0, value.type, reinterpret_cast<const BYTE *>(value.data.data()),
                        static_cast<DWORD>(value.data.size()));
}

LONG SetText(HKEY key, const std::string &name, std::string_view text) {
  std::wstring wide;
  std::string data;
  if (!Wide(name, &wide)) return kNotConvertible;
  TextData(text, &data);
  return RegSetValueExW(key, wide.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.data()),
                        static_cast<DWORD>(data.size()));
}

LONG DeleteValue(HKEY key, const std::string &name) {
  std::wstring wide;
  if (!Wide(name, &wide)) return kNotConvertible;
  return RegDeleteValueW(key, wide.c_str());
}

bool SameKeyName(const std::string &a, const std::string &b) {
  // The registry compares names by their upper case.
  std::wstring x, y;
  if (!Wide(a, &x) || !Wide(b, &y) || x.size() != y.size()) return false;
  if (!x.empty()) {
    CharUpperBuffW(&x[0], static_cast<DWORD>(x.size()));
    CharUpperBuffW(&y[0], static_cast<DWORD>(y.size()));
  }
  return x == y;
}

}  // namespace calls
}  // namespace regfile
