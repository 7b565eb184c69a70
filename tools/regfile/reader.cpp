// Reading .reg files.
#include <cctype>
#include <cstddef>
#include <string>
#include <vector>

#include "charsets/charsets.h"
#include "tools/regfile/regfile.h"

namespace regfile {

namespace {

const char kHeader5[] = "Windows Registry Editor Version 5.00";
const char kHeader4[] = "REGEDIT4";

constexpr uint32_t kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7;

struct Root {
  const char *full;
  const char *abbreviation;
};
const Root kRoots[] = {
    {"HKEY_CLASSES_ROOT", "HKCR"}, {"HKEY_CURRENT_USER", "HKCU"},   {"HKEY_LOCAL_MACHINE", "HKLM"},
    {"HKEY_USERS", "HKU"},         {"HKEY_CURRENT_CONFIG", "HKCC"},
};

bool EqualNoCase(const std::string &a, const char *b) {
  std::size_t i = 0;
  for (; i < a.size() && b[i] != 0; ++i) {
    if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i]))) return false;
  }
  return i == a.size() && b[i] == 0;
}

bool IsBlank(char32_t c) { return c == U' ' || c == U'\t'; }

std::u32string TrimRight(std::u32string text) {
  while (!text.empty() && IsBlank(text.back())) text.pop_back();
  return text;
}

std::u32string TrimLeft(const std::u32string &text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

int HexDigit(char32_t c) {
  if (c >= U'0' && c <= U'9') return static_cast<int>(c - U'0');
  if (c >= U'a' && c <= U'f') return static_cast<int>(c - U'a' + 10);
  if (c >= U'A' && c <= U'F') return static_cast<int>(c - U'A' + 10);
  return -1;
}

bool StartsWithNoCase(const std::u32string &text, std::size_t at, const char *prefix) {
  for (std::size_t i = 0; prefix[i] != 0; ++i) {
    if (at + i >= text.size()) return false;
    const char32_t c = text[at + i];
    if (c > 0x7F || std::tolower(static_cast<int>(c)) != std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

// Line number (from 1) of the code point at index `at` of text.
int LineAt(const std::u32string &text, std::size_t at) {
  int line = 1;
  for (std::size_t i = 0; i < at && i < text.size(); ++i) {
    if (text[i] == U'\n' || (text[i] == U'\r' && (i + 1 >= text.size() || text[i + 1] != U'\n'))) ++line;
  }
  return line;
}

class Reader {
 public:
  Reader(std::vector<std::u32string> lines, Document *document) : lines_(std::move(lines)), document_(document) {}

  bool Run(std::string *error) {
    const std::u32string header = TrimRight(lines_.empty() ? std::u32string() : lines_[0]);
    if (charsets::EncodeUtf8(header) == kHeader5) {
      unicode_ = true;
    } else if (charsets::EncodeUtf8(header) == kHeader4) {
      unicode_ = false;
    } else {
      return Fail(
          0, std::string("not a registry file: the first line must be \"") + kHeader5 + "\" or \"" + kHeader4 + "\"",
          error);
    }
    for (line_ = 1; line_ < lines_.size(); ++line_) {
      const std::u32string text = TrimRight(TrimLeft(lines_[line_]));
      if (text.empty() || text[0] == U';') continue;
      const bool ok = text[0] == U'[' ? KeyLine(text) : ValueLine(text);
      if (!ok) return Fail(errorLine_, message_, error);
    }
    return true;
  }

 private:
  bool Fail(std::size_t lineIndex, const std::string &message, std::string *error) {
    *error = "line " + std::to_string(lineIndex + 1) + ": " + message;
    return false;
  }
  bool Error(const std::string &message) {
    errorLine_ = line_;
    message_ = message;
    return false;
  }

  static std::string Utf16(const std::u32string &text) {
    std::string out;
    for (char32_t c : text) charsets::AppendUtf16le(c, &out);
    return out;
  }

  bool KeyLine(const std::u32string &text) {
    if (text.back() != U']') return Error("a key line must end with ']'");
    std::u32string inner = text.substr(1, text.size() - 2);
    Key key;
    if (!inner.empty() && inner[0] == U'-') {
      key.remove = true;
      inner.erase(0, 1);
    }
    const std::string path = charsets::EncodeUtf8(inner);
    std::string root, subkey;
    if (!SplitKeyPath(path, &root, &subkey)) {
      return Error(
          "the key path must start with one of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
          "HKEY_LOCAL_MACHINE, HKEY_USERS or HKEY_CURRENT_CONFIG");
    }
    std::size_t start = 0;
    while (!subkey.empty()) {
      const std::size_t slash = subkey.find('\\', start);
      const std::size_t end = slash == std::string::npos ? subkey.size() : slash;
      if (end == start) return Error("the key path has an empty key name");
      if (slash == std::string::npos) break;
      start = slash + 1;
    }
    if (key.remove && subkey.empty()) return Error("a root key cannot be deleted");
    key.path = subkey.empty() ? root : root + "\\" + subkey;
    document_->keys.push_back(key);
    return true;
  }

  // A quoted string starting at text[*at] (the opening quote); leaves *at
  // after the closing quote.
  bool Quoted(const std::u32string &text, std::size_t *at, std::u32string *out) {
    out->clear();
    std::size_t i = *at + 1;
    for (; i < text.size(); ++i) {
      const char32_t c = text[i];
      if (c == U'"') {
        *at = i + 1;
        return true;
      }
      if (c == U'\\') {
        if (i + 1 >= text.size()) break;
        const char32_t next = text[i + 1];
        if (next != U'\\' && next != U'"') {
          return Error("unknown escape \\" + charsets::EncodeUtf8(std::u32string(1, next)) +
                       " in a quoted string (only \\\\ and \\\" are known)");
        }
        out->push_back(next);
        ++i;
        continue;
      }
      out->push_back(c);
    }
    return Error("a quoted string has no closing '\"'");
  }

  // The comma-separated hex bytes from text[at] on, pulling in the
  // following lines while a line ends with "\".
  bool HexList(std::u32string text, std::size_t at, std::string *out) {
    std::u32string list = TrimRight(text.substr(at));
    while (!list.empty() && list.back() == U'\\') {
      list.pop_back();
      if (line_ + 1 >= lines_.size() || TrimRight(TrimLeft(lines_[line_ + 1])).empty()) {
        return Error("a value continued with '\\' has no next line");
      }
      ++line_;
      list += TrimRight(TrimLeft(lines_[line_]));
    }
    out->clear();
    if (TrimLeft(list).empty()) return true;
    std::size_t i = 0;
    while (true) {
      while (i < list.size() && IsBlank(list[i])) ++i;
      int value = 0, digits = 0;
      while (i < list.size() && HexDigit(list[i]) >= 0) {
        value = value * 16 + HexDigit(list[i]);
        ++digits;
        ++i;
      }
      if (digits == 0 || digits > 2) return Error("hex data must be bytes of two hex digits separated by commas");
      out->push_back(static_cast<char>(value));
      while (i < list.size() && IsBlank(list[i])) ++i;
      if (i == list.size()) return true;
      if (list[i] != U',') return Error("hex data must be bytes of two hex digits separated by commas");
      ++i;
    }
  }

  bool ValueLine(const std::u32string &text) {
    if (document_->keys.empty()) return Error("a value comes before any [KEY] line");
    Key &key = document_->keys.back();
    if (key.remove) return Error("a value under a key that is being deleted ([-KEY])");

    Value value;
    std::size_t at = 0;
    std::u32string name;
    if (text[0] == U'@') {
      at = 1;
    } else if (text[0] == U'"') {
      if (!Quoted(text, &at, &name)) return false;
    } else {
      return Error("expected [KEY], \"name\"=... or @=...");
    }
    value.name = charsets::EncodeUtf8(name);
    while (at < text.size() && IsBlank(text[at])) ++at;
    if (at >= text.size() || text[at] != U'=') return Error("expected '=' after the value name");
    ++at;
    while (at < text.size() && IsBlank(text[at])) ++at;
    const std::u32string rest = text.substr(at);

    if (rest == U"-") {
      value.remove = true;
    } else if (!rest.empty() && rest[0] == U'"') {
      std::size_t end = 0;
      std::u32string data;
      if (!Quoted(rest, &end, &data)) return false;
      if (!TrimLeft(rest.substr(end)).empty()) return Error("unexpected text after the quoted string");
      value.data = Utf16(data + U'\0');
      value.type = kRegSz;
    } else if (StartsWithNoCase(rest, 0, "dword:")) {
      const std::u32string digits = rest.substr(6);
      if (digits.empty() || digits.size() > 8) return Error("dword: takes one to eight hex digits");
      uint32_t number = 0;
      for (char32_t c : digits) {
        if (HexDigit(c) < 0) return Error("dword: takes one to eight hex digits");
        number = number * 16 + static_cast<uint32_t>(HexDigit(c));
      }
      for (int i = 0; i < 4; ++i) value.data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
      value.type = kRegDword;
    } else if (StartsWithNoCase(rest, 0, "hex:")) {
      value.type = kRegBinary;
      if (!HexList(rest, 4, &value.data)) return false;
    } else if (StartsWithNoCase(rest, 0, "hex(")) {
      std::size_t i = 4;
      uint32_t type = 0;
      int digits = 0;
      while (i < rest.size() && HexDigit(rest[i]) >= 0) {
        type = type * 16 + static_cast<uint32_t>(HexDigit(rest[i]));
        ++digits;
        ++i;
      }
      if (digits == 0 || digits > 8 || i + 1 >= rest.size() || rest[i] != U')' || rest[i + 1] != U':') {
        return Error("expected hex(N): with N the value type in hex");
      }
      value.type = type;
      if (!HexList(rest, i + 2, &value.data)) return false;
      if (!unicode_ && (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz)) {
        // REGEDIT4 holds the string types in Windows-1252; the model, as
        // the Unicode format does, in UTF-16LE.
        std::u32string text;
        for (unsigned char c : value.data) text.push_back(charsets::FromCp1252(c));
        value.data = Utf16(text);
      }
    } else {
      return Error("unknown value: expected \"text\", dword:, hex:, hex(N): or -");
    }
    key.values.push_back(value);
    return true;
  }

  std::vector<std::u32string> lines_;
  Document *document_;
  bool unicode_ = true;
  std::size_t line_ = 0;
  std::size_t errorLine_ = 0;
  std::string message_;
};

std::vector<std::u32string> SplitLines(const std::u32string &text) {
  std::vector<std::u32string> lines(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char32_t c = text[i];
    if (c == U'\r' || c == U'\n') {
      if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n') ++i;
      lines.emplace_back();
    } else {
      lines.back().push_back(c);
    }
  }
  return lines;
}

bool StartsWith(const std::string &bytes, const char *prefix) {
  return bytes.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

}  // namespace

std::string CanonicalRoot(const std::string &name) {
  for (const Root &root : kRoots) {
    if (EqualNoCase(name, root.full) || EqualNoCase(name, root.abbreviation)) return root.full;
  }
  return std::string();
}

bool SplitKeyPath(const std::string &path, std::string *root, std::string *subkey) {
  const std::size_t slash = path.find('\\');
  *root = CanonicalRoot(path.substr(0, slash));
  *subkey = slash == std::string::npos ? std::string() : path.substr(slash + 1);
  return !root->empty();
}

bool Parse(const std::string &bytes, Document *document, std::string *error, std::string *warning) {
  document->keys.clear();
  if (warning != nullptr) warning->clear();
  if (bytes.empty()) return true;

  std::u32string text;
  std::size_t bad = 0;
  auto badText = [&](const std::string &prefixBytes, bool utf16, const char *what) {
    std::u32string before;
    std::size_t ignored = 0;
    if (utf16) {
      charsets::DecodeUtf16le(prefixBytes, &before, &ignored);
    } else {
      charsets::DecodeUtf8(prefixBytes, &before, &ignored);
    }
    *error = "line " + std::to_string(LineAt(before, before.size())) + ": " + what;
    return false;
  };
  if (StartsWith(bytes, "\xFF\xFE")) {
    const std::string body = bytes.substr(2);
    if (!charsets::DecodeUtf16le(body, &text, &bad)) {
      return badText(body.substr(0, bad), true, "the file is not valid UTF-16LE text");
    }
  } else if (StartsWith(bytes, "\xFE\xFF")) {
    *error = "line 1: UTF-16 big-endian files are not read; save the file as UTF-16LE (the editor's \"Unicode\")";
    return false;
  } else if (StartsWith(bytes, "\xEF\xBB\xBF") || !StartsWith(bytes, kHeader4)) {
    const std::string body = StartsWith(bytes, "\xEF\xBB\xBF") ? bytes.substr(3) : bytes;
    if (!charsets::DecodeUtf8(body, &text, &bad)) {
      // Not UTF-8: the header line check below says what the file lacks.
      if (StartsWith(body, kHeader5)) return badText(body.substr(0, bad), false, "the file is not valid UTF-8 text");
      text.clear();
      for (unsigned char c : body) text.push_back(charsets::FromCp1252(c));
    }
  } else {
    // REGEDIT4 files are in the 8-bit code page, also when they were typed
    // in UTF-8 (which is worth a word).
    std::u32string asUtf8;
    std::size_t firstHigh = bytes.size();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(bytes[i]);
      if (c >= 0x80 && firstHigh == bytes.size()) firstHigh = i;
      text.push_back(charsets::FromCp1252(c));
    }
    if (warning != nullptr && firstHigh < bytes.size() && charsets::DecodeUtf8(bytes, &asUtf8, &bad)) {
      *warning = "line " + std::to_string(LineAt(text, firstHigh)) +
                 ": a REGEDIT4 file is Windows-1252 and is read so, but this one reads as UTF-8; for UTF-8 make its "
                 "first line \"" +
                 kHeader5 + "\"";
    }
  }
  Reader reader(SplitLines(text), document);
  return reader.Run(error);
}

}  // namespace regfile
