// Reading .reg files: the grammar of the text that text_decoding.cpp gives
// (sections, value lines, "\" continuations), into the model.
#include <cstddef>
#include <string>
#include <string_view>

#include "charsets/charsets.h"
#include "tools/regfile/lines.h"
#include "tools/regfile/regfile.h"
#include "tools/regfile/roots.h"
#include "tools/regfile/text_decoding.h"

namespace regfile {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimRight(std::string_view text) {
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string_view TrimLeft(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  return text;
}

std::string_view Trim(std::string_view text) { return TrimRight(TrimLeft(text)); }

// Each byte's value as a hex digit, or -1.
struct HexDigits {
  signed char value[256];
  constexpr HexDigits() : value() {
    for (int c = 0; c < 256; ++c) {
      value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                                 : -1);
    }
  }
};
constexpr HexDigits kHexDigits;

int HexDigit(char c) { return kHexDigits.value[static_cast<unsigned char>(c)]; }

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && charsets::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// The UTF-8 sequence of the character that starts at text[at].
std::string_view CharacterAt(std::string_view text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return text.substr(at, length);
}

class Grammar {
 public:
  Grammar(Lines *lines, Receiver *receiver) : lines_(*lines), receiver_(receiver) {}

  bool Run(std::string *error) {
    const bool read = ReadAll();
    // A fault in the file's bytes comes first, wherever it is.
    if (!lines_.AllText(error)) return false;
    if (!read) *error = "line " + std::to_string(errorLine_ + 1) + ": " + message_;
    return read;
  }

 private:
  bool ReadAll() {
    std::string_view line;
    lines_.Next(&line);
    const std::string_view header = TrimRight(line);
    if (header == kHeaderUnicode) {
      unicode_ = true;
    } else if (header == kHeaderRegedit4) {
      unicode_ = false;
    } else {
      return Error(std::string("not a registry file: the first line must be \"") + kHeaderUnicode + "\" or \"" +
                   kHeaderRegedit4 + "\"");
    }
    for (line_ = 1; lines_.Next(&line); ++line_) {
      const std::string_view text = Trim(line);
      if (text.empty() || text[0] == ';') continue;
      if (!(text[0] == '[' ? KeyLine(text) : ValueLine(text))) return false;
    }
    return true;
  }

  bool Error(const std::string &message) {
    errorLine_ = line_;
    message_ = message;
    return false;
  }

  bool KeyLine(std::string_view text) {
    if (text.back() != ']') return Error("a key line must end with ']'");
    std::string_view inner = text.substr(1, text.size() - 2);
    Key &key = section_;
    key.remove = !inner.empty() && inner[0] == '-';
    if (key.remove) inner.remove_prefix(1);
    // The registry functions take names as strings that end at a NUL: one
    // inside a name would cut it short.
    if (inner.find('\0') != std::string_view::npos) return Error("a key path cannot hold a NUL character");
    const RootKey *root = nullptr;
    std::string subkey;
    if (!SplitKeyPath(std::string(inner), &root, &subkey)) {
      return Error(
          "the key path must start with one of HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
          "HKEY_LOCAL_MACHINE, HKEY_USERS or HKEY_CURRENT_CONFIG");
    }
    if (!subkey.empty() &&
        (subkey.front() == '\\' || subkey.back() == '\\' || subkey.find("\\\\") != std::string::npos)) {
      return Error("the key path has an empty key name");
    }
    if (key.remove && subkey.empty()) return Error("a root key cannot be deleted");
    key.path = subkey.empty() ? std::string(root->name) : root->name + ("\\" + subkey);
    inSection_ = true;
    receiver_->AddSection(key);
    return true;
  }

  // A quoted string starting at text[*at] (the opening quote); leaves *at
  // after the closing quote.
  bool Quoted(std::string_view text, std::size_t *at, std::string *out) {
    out->clear();
    std::size_t i = *at + 1;
    for (;;) {
      const std::size_t stop = FindEither(text, i, '"', '\\');
      if (stop == text.size() || (text[stop] == '\\' && stop + 1 >= text.size())) break;
      out->append(text, i, stop - i);
      if (text[stop] == '"') {
        *at = stop + 1;
        return true;
      }
      const char next = text[stop + 1];
      if (next != '\\' && next != '"') {
        return Error("unknown escape \\" + std::string(CharacterAt(text, stop + 1)) +
                     " in a quoted string (only \\\\ and \\\" are known)");
      }
      out->push_back(next);
      i = stop + 2;
    }
    return Error("a quoted string has no closing '\"'");
  }

  // The comma-separated hex bytes from text[at] on, pulling in the
  // following lines while a line ends with "\".
  bool HexList(std::string_view text, std::size_t at, std::string *out) {
    std::string_view list = TrimRight(text.substr(at));
    std::string &joined = joined_;  // the lines of a value continued with a backslash
    joined.clear();
    while (!list.empty() && list.back() == '\\') {
      joined.append(list.substr(0, list.size() - 1));
      std::string_view next;
      if (!lines_.Peek(&next) || Trim(next).empty()) return Error("a value continued with '\\' has no next line");
      lines_.Next(&next);
      ++line_;
      list = Trim(next);
      if (list.empty() || list.back() != '\\') {
        joined.append(list);
        list = joined;
      }
    }
    out->clear();
    if (TrimLeft(list).empty()) return true;
    out->reserve(list.size() / 3 + 1);
    const char *const kMalformed = "hex data must be bytes of two hex digits separated by commas";
    std::size_t i = 0;
    while (true) {
      // "hh," as the editor writes it, else the general form.
      if (i + 2 < list.size() && list[i + 2] == ',' && HexDigit(list[i]) >= 0 && HexDigit(list[i + 1]) >= 0) {
        out->push_back(static_cast<char>(HexDigit(list[i]) * 16 + HexDigit(list[i + 1])));
        i += 3;
        continue;
      }
      while (i < list.size() && IsBlank(list[i])) ++i;
      int value = 0, digits = 0;
      for (; i < list.size() && HexDigit(list[i]) >= 0; ++i, ++digits) value = value * 16 + HexDigit(list[i]);
      if (digits == 0 || digits > 2) return Error(kMalformed);
      out->push_back(static_cast<char>(value));
      while (i < list.size() && IsBlank(list[i])) ++i;
      if (i == list.size()) return true;
      if (list[i] != ',') return Error(kMalformed);
      ++i;
    }
  }

  // "name"= or @=: the name, and *at after the '='.
  bool ValueName(std::string_view text, std::size_t *at, Value *value) {
    if (text[0] == '@') {
      *at = 1;
    } else if (text[0] == '"') {
      if (!Quoted(text, at, &value->name)) return false;
      if (value->name.find('\0') != std::string::npos) return Error("a value name cannot hold a NUL character");
    } else {
      return Error("expected [KEY], \"name\"=... or @=...");
    }
    while (*at < text.size() && IsBlank(text[*at])) ++*at;
    if (*at >= text.size() || text[*at] != '=') return Error("expected '=' after the value name");
    ++*at;
    return true;
  }

  bool Dword(std::string_view digits, Value *value) {
    if (digits.empty() || digits.size() > 8) return Error("dword: takes one to eight hex digits");
    uint32_t number = 0;
    for (char c : digits) {
      if (HexDigit(c) < 0) return Error("dword: takes one to eight hex digits");
      number = number * 16 + static_cast<uint32_t>(HexDigit(c));
    }
    for (int i = 0; i < 4; ++i) value->data.push_back(static_cast<char>((number >> (8 * i)) & 0xFF));
    value->type = kRegDword;
    return true;
  }

  // hex(N):..., a value of type N given by its bytes.
  bool TypedHex(std::string_view rest, Value *value) {
    std::size_t i = 4;
    uint32_t type = 0;
    int digits = 0;
    for (; i < rest.size() && HexDigit(rest[i]) >= 0; ++i, ++digits)
      type = type * 16 + static_cast<uint32_t>(HexDigit(rest[i]));
    if (digits == 0 || digits > 8 || i + 1 >= rest.size() || rest[i] != ')' || rest[i + 1] != ':') {
      return Error("expected hex(N): with N the value type in hex");
    }
    value->type = type;
    if (!HexList(rest, i + 2, &value->data)) return false;
    if (!unicode_ && IsStringType(type)) {
      // REGEDIT4 holds the string types in Windows-1252; the model, as the
      // Unicode format does, in UTF-16LE.
      std::string &utf16 = joined_;
      utf16.clear();
      for (unsigned char c : value->data) charsets::AppendUtf16le(charsets::FromCp1252(c), &utf16);
      value->data.swap(utf16);
    }
    return true;
  }

  // What follows the '=': "text", dword:, hex:, hex(N): or -.
  bool ValueData(std::string_view rest, Value *value) {
    if (rest == "-") {
      value->remove = true;
      return true;
    }
    if (!rest.empty() && rest[0] == '"') {
      std::size_t end = 0;
      if (!Quoted(rest, &end, &text_)) return false;
      if (!TrimLeft(rest.substr(end)).empty()) return Error("unexpected text after the quoted string");
      value->type = kRegSz;
      quoted_ = true;  // the data is text_, in UTF-8
      return true;
    }
    if (StartsWithNoCase(rest, "dword:")) return Dword(rest.substr(6), value);
    if (StartsWithNoCase(rest, "hex:")) {
      value->type = kRegBinary;
      return HexList(rest, 4, &value->data);
    }
    if (StartsWithNoCase(rest, "hex(")) return TypedHex(rest, value);
    return Error("unknown value: expected \"text\", dword:, hex:, hex(N): or -");
  }

  bool ValueLine(std::string_view text) {
    if (!inSection_) return Error("a value comes before any [KEY] line");
    if (section_.remove) return Error("a value under a key that is being deleted ([-KEY])");
    // One value, its buffers kept from line to line.
    Value &value = value_;
    value.name.clear();
    value.remove = false;
    value.type = 0;
    value.data.clear();
    quoted_ = false;
    std::size_t at = 0;
    if (!ValueName(text, &at, &value) || !ValueData(TrimLeft(text.substr(at)), &value)) return false;
    if (quoted_) {
      receiver_->AddText(&value, text_);
    } else {
      receiver_->AddValue(value);
    }
    return true;
  }

  Lines &lines_;
  Receiver *receiver_;
  Key section_;  // the last [KEY] line's
  bool inSection_ = false;
  Value value_;
  bool quoted_ = false;  // the value is text_
  std::string text_;     // a quoted string's text, kept for the next
  std::string joined_;   // continued hex lines, or REGEDIT4 text as UTF-16LE
  bool unicode_ = true;
  std::size_t line_ = 0;
  std::size_t errorLine_ = 0;
  std::string message_;
};

// Builds the document that Parse gives.
class DocumentBuilder : public Receiver {
 public:
  explicit DocumentBuilder(Document *document) : document_(document) {}
  void AddSection(const Key &section) override { document_->keys.push_back(section); }
  void AddValue(const Value &value) override { document_->keys.back().values.push_back(value); }

 private:
  Document *document_;
};

}  // namespace

void TextData(std::string_view text, std::string *data) {
  charsets::Utf8ToUtf16le(text, data);  // the reader's text is UTF-8
  data->append(2, '\0');
}

void Receiver::AddText(Value *value, std::string_view text) {
  TextData(text, &value->data);
  AddValue(*value);
}

bool Read(const std::string &bytes, Receiver *receiver, std::string *error, std::string *warning) {
  if (warning != nullptr) warning->clear();
  if (bytes.empty()) return true;
  if (IsUtf16le(bytes)) {
    Utf16Pieces pieces(bytes);
    Lines lines(&pieces);
    return Grammar(&lines, receiver).Run(error);
  }
  std::string text;
  if (!DecodeText(bytes, &text, error, warning)) return false;
  Lines lines(text);
  return Grammar(&lines, receiver).Run(error);
}

bool ReadFile(FileReader *file, Receiver *receiver, std::string *error, std::string *warning) {
  if (warning != nullptr) warning->clear();
  std::string bytes;
  if (!file->Read(2, &bytes, error)) return false;
  if (IsUtf16le(bytes)) {
    Utf16Pieces pieces(file, &bytes);
    Lines lines(&pieces);
    return Grammar(&lines, receiver).Run(error);
  }
  return file->ReadRest(&bytes, error) && Read(bytes, receiver, error, warning);
}

bool Parse(const std::string &bytes, Document *document, std::string *error, std::string *warning) {
  document->keys.clear();
  DocumentBuilder builder(document);
  return Read(bytes, &builder, error, warning);
}

}  // namespace regfile
