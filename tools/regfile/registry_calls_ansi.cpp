// The registry calls through the 8-bit functions, as the linux stand-in
// offers them: names and string data converted between the model's
// Unicode and Windows-1252.
#include <shlwapi.h>

#include <string_view>
#include <vector>

#include "charsets/charsets.h"
#include "tools/regfile/registry_calls.h"

namespace regfile {
namespace calls {

namespace {

// Names in UTF-8, or string data in UTF-16LE, -> Windows-1252, as the
// 8-bit functions take them (ansi null: only checks that they can be);
// *bad is the character that the code page lacks, or 0 for bytes that are
// not text in the first place.
bool ToAnsi(std::string_view bytes, bool utf16, std::string *ansi, char32_t *bad) {
  // At most a byte for each character: written in place, cut to size at
  // the end.
  char *out = nullptr;
  if (ansi != nullptr) {
    ansi->resize(utf16 ? bytes.size() / 2 : bytes.size());
    out = &(*ansi)[0];
  }
  std::size_t length = 0;
  *bad = 0;
  bool lacking = false;
  const std::size_t step = utf16 ? 2 : 1;
  std::size_t at = 0;
  char32_t code = 0;
  unsigned char byte = 0;
  while (at < bytes.size()) {
    // ASCII, most of what there is, as it is.
    const std::string_view rest = bytes.substr(at);
    char *to = out == nullptr ? nullptr : out + length;
    const std::size_t run =
        utf16 ? charsets::AsciiRunUtf16le(rest, rest.size(), to) : charsets::AsciiRunUtf8(rest, rest.size(), to);
    length += run;
    at += run * step;
    if (at == bytes.size()) break;
    if (!(utf16 ? charsets::NextUtf16le(bytes, &at, &code) : charsets::NextUtf8(bytes, &at, &code))) {
      *bad = 0;
      return false;
    }
    if (!lacking && !charsets::ToCp1252(code, &byte)) {
      lacking = true;
      *bad = code;
    }
    if (out != nullptr) out[length] = static_cast<char>(byte);
    ++length;
  }
  if (ansi != nullptr) ansi->resize(length);
  return !lacking;
}

bool ToAnsi(const std::string &utf8, std::string *ansi, char32_t *bad) { return ToAnsi(utf8, false, ansi, bad); }

bool DataToAnsi(const std::string &utf16, std::string *ansi, char32_t *bad) { return ToAnsi(utf16, true, ansi, bad); }

std::string DataFromAnsi(const std::string &ansi) {
  std::string utf16;
  utf16.reserve(ansi.size() * 2);
  for (unsigned char c : ansi) charsets::AppendUtf16le(charsets::FromCp1252(c), &utf16);
  return utf16;
}

std::string Lacks(const std::string &what, char32_t bad) {
  return what + (bad == 0 ? std::string(" is not Unicode text") : " holds " + charsets::Describe(bad)) +
         ", which this registry cannot store: it is reached through the 8-bit functions, in Windows-1252";
}

}  // namespace

bool CanStoreSection(const Key &section, std::string *error) {
  char32_t bad = 0;
  if (ToAnsi(section.path, false, nullptr, &bad)) return true;
  *error = Lacks("the key path " + section.path, bad);
  return false;
}

bool CanStoreValue(const Key &section, const Value &value, std::string *error) {
  char32_t bad = 0;
  const bool nameFits = ToAnsi(value.name, false, nullptr, &bad);
  if (nameFits && (value.remove || !IsStringType(value.type) || ToAnsi(value.data, true, nullptr, &bad))) return true;
  const std::string name = value.name.empty() ? std::string("@") : "\"" + value.name + "\"";
  *error = Lacks((nameFits ? "the data of " : "the value name ") + name + " in " + section.path, bad);
  return false;
}

LONG Open(HKEY parent, const std::string &subkey, REGSAM access, HKEY *key) {
  std::string ansi;
  char32_t bad = 0;
  if (!ToAnsi(subkey, &ansi, &bad)) return kNotConvertible;
  return RegOpenKeyExA(parent, ansi.c_str(), 0, access, key);
}

LONG Create(HKEY parent, const std::string &subkey, HKEY *key) {
  std::string ansi;
  char32_t bad = 0;
  if (!ToAnsi(subkey, &ansi, &bad)) return kNotConvertible;
  DWORD disposition = 0;
  return RegCreateKeyExA(parent, ansi.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                         &disposition);
}

LONG DeleteTree(HKEY parent, const std::string &subkey) {
  std::string ansi;
  char32_t bad = 0;
  if (!ToAnsi(subkey, &ansi, &bad)) return kNotConvertible;
  return static_cast<LONG>(SHDeleteKeyA(parent, ansi.c_str()));
}

LONG EnumKey(HKEY key, DWORD index, std::string *name) {
  std::vector<char> buffer(256);
  for (;;) {
    const LONG status = RegEnumKeyA(key, index, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (status == ERROR_MORE_DATA) {
      buffer.resize(buffer.size() * 2);
      continue;
    }
    if (status == ERROR_SUCCESS) *name = charsets::Cp1252ToUtf8(buffer.data());
    return status;
  }
}

LONG EnumValue(HKEY key, DWORD index, Value *value) {
  std::vector<char> name;
  DWORD nameLength = 0, type = 0;
  const LONG status = EnumValueWith(RegEnumValueA, key, index, &name, &nameLength, &type, &value->data);
  if (status != ERROR_SUCCESS) return status;
  value->name = charsets::Cp1252ToUtf8(std::string(name.data(), nameLength));
  value->remove = false;
  value->type = type;
  if (IsStringType(type)) value->data = DataFromAnsi(value->data);
  return status;
}

namespace {

// Sets the value named name (UTF-8) to data as it is.
LONG SetConverted(HKEY key, const std::string &name, DWORD type, const std::string &data) {
  thread_local std::string ansiName;  // kept from call to call: a whole file's values come through here
  char32_t bad = 0;
  if (!ToAnsi(name, &ansiName, &bad)) return kNotConvertible;
  return RegSetValueExA(key, ansiName.c_str(), 0, type, reinterpret_cast<const BYTE *>(data.data()),
                        static_cast<DWORD>(data.size()));
}

}  // namespace

LONG SetValue(HKEY key, const Value &value) {
  if (!IsStringType(value.type)) return SetConverted(key, value.name, value.type, value.data);
  thread_local std::string text;  // as SetConverted's name
  char32_t bad = 0;
  if (!DataToAnsi(value.data, &text, &bad)) return kNotConvertible;
  return SetConverted(key, value.name, value.type, text);
}

LONG SetText(HKEY key, const std::string &name, std::string_view text) {
  thread_local std::string ansiText;  // as SetConverted's name
  char32_t bad = 0;
  if (!ToAnsi(text, false, &ansiText, &bad)) return kNotConvertible;
  ansiText.push_back('\0');
  return SetConverted(key, name, REG_SZ, ansiText);
}

LONG DeleteValue(HKEY key, const std::string &name) {
  std::string ansi;
  char32_t bad = 0;
  if (!ToAnsi(name, &ansi, &bad)) return kNotConvertible;
  return RegDeleteValueA(key, ansi.c_str());
}

bool SameKeyName(const std::string &a, const std::string &b) {
  // As the stand-in compares them: through charsets::UpperCase.
  return charsets::EqualNoCase(a, b);
}

}  // namespace calls
}  // namespace regfile
