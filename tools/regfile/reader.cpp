// Reading .reg files: the grammar of the text that text_decoding.cpp gives
// (sections, value lines, "\" continuations), into the model.
#include <cstddef>
#include <string>
#include <string_view>

#include "charsets/charsets.h"
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

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && charsets::EqualNoCase(text.substr(0, prefix.size()), prefix);
}

// The UTF-8 sequence of the character that starts at text[at].
std::string_view CharacterAt(std::string_view text, std::size_t at) {
  const unsigned char lead = static_cast<unsigned char>(text[at]);
  const std::size_t length = lead < 0xC0 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  return text.substr(at, length);
}

// The text's lines, split at CR LF, CR or LF, taken one at a time.  A text
// of n line breaks has n + 1 lines; the empty text is one empty line.
class Lines {
 public:
  explicit Lines(std::string_view text) : text_(text) {}

  // The next line; false past the last.
  bool Next(std::string_view *line) {
    if (at_ > text_.size()) return false;
    std::size_t end = at_;
    while (end < text_.size() && text_[end] != '\r' && text_[end] != '\n') ++end;
    *line = text_.substr(at_, end - at_);
    const bool pair = end + 1 < text_.size() && text_[end] == '\r' && text_[end + 1] == '\n';
    at_ = end + (pair ? 2 : 1);  // past the end after the last line
    return true;
  }

  // The line that Next would give, which stays to be taken.
  bool Peek(std::string_view *line) const {
    Lines copy = *this;
    return copy.Next(line);
  }

 private:
  std::string_view text_;
  std::size_t at_ = 0;
};

class Grammar {
 public:
  Grammar(std::string_view text, Document *document) : lines_(text), document_(document) {}

  bool Run(std::string *error) {
    std::string_view line;
    lines_.Next(&line);
    const std::string_view header = TrimRight(line);
    if (header == kHeaderUnicode) {
      unicode_ = true;
    } else if (header == kHeaderRegedit4) {
      unicode_ = false;
    } else {
      *error = std::string("line 1: not a registry file: the first line must be \"") + kHeaderUnicode + "\" or \"" +
               kHeaderRegedit4 + "\"";
      return false;
    }
    for (line_ = 1; lines_.Next(&line); ++line_) {
      const std::string_view text = Trim(line);
      if (text.empty() || text[0] == ';') continue;
      if (!(text[0] == '[' ? KeyLine(text) : ValueLine(text))) {
        *error = "line " + std::to_string(errorLine_ + 1) + ": " + message_;
        return false;
      }
    }
    return true;
  }

 private:
  bool Error(const std::string &message) {
    errorLine_ = line_;
    message_ = message;
    return false;
  }

  bool KeyLine(std::string_view text) {
    if (text.back() != ']') return Error("a key line must end with ']'");
    std::string_view inner = text.substr(1, text.size() - 2);
    Key key;
    if (!inner.empty() && inner[0] == '-') {
      key.remove = true;
      inner.remove_prefix(1);
    }
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
    document_->keys.push_back(std::move(key));
    return true;
  }

  // A quoted string starting at text[*at] (the opening quote); leaves *at
  // after the closing quote.
  bool Quoted(std::string_view text, std::size_t *at, std::string *out) {
    out->clear();
    std::size_t i = *at + 1;
    for (;;) {
      std::size_t stop = i;
      while (stop < text.size() && text[stop] != '"' && text[stop] != '\\') ++stop;
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
    std::string joined;  // the lines of a value continued with a backslash
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
      std::string utf16;
      for (unsigned char c : value->data) charsets::AppendUtf16le(charsets::FromCp1252(c), &utf16);
      value->data = std::move(utf16);
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
      charsets::Utf8ToUtf16le(text_, &value->data);  // the text is UTF-8
      value->data.append(2, '\0');
      value->type = kRegSz;
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
    if (document_->keys.empty()) return Error("a value comes before any [KEY] line");
    Key &key = document_->keys.back();
    if (key.remove) return Error("a value under a key that is being deleted ([-KEY])");
    Value value;
    std::size_t at = 0;
    if (!ValueName(text, &at, &value) || !ValueData(TrimLeft(text.substr(at)), &value)) return false;
    key.values.push_back(std::move(value));
    return true;
  }

  Lines lines_;
  Document *document_;
  std::string text_;  // a quoted string's text, kept for the next
  bool unicode_ = true;
  std::size_t line_ = 0;
  std::size_t errorLine_ = 0;
  std::string message_;
};

}  // namespace

bool Parse(const std::string &bytes, Document *document, std::string *error, std::string *warning) {
  document->keys.clear();
  if (warning != nullptr) warning->clear();
  if (bytes.empty()) return true;
  std::string text;
  if (!DecodeText(bytes, &text, error, warning)) return false;
  return Grammar(text, document).Run(error);
}

}  // namespace regfile
