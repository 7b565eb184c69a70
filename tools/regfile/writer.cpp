// Writing .reg files the way the registry editor exports them.
#include <cstdio>
#include <string>
#include <string_view>

#include "charsets/charsets.h"
#include "tools/regfile/regfile.h"

namespace regfile {

namespace {

constexpr std::size_t kMaxLine = 80;

// Appends the byte in two lower-case hex digits.
void AppendHex(unsigned char byte, std::string *out) {
  const char *const kDigits = "0123456789abcdef";
  out->push_back(kDigits[byte >> 4]);
  out->push_back(kDigits[byte & 0xF]);
}

// The number of characters in UTF-8 text.
std::size_t Characters(std::string_view utf8) {
  std::size_t count = 0;
  for (char c : utf8) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
  return count;
}

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out.push_back('\\');
    out.push_back(c);
  }
  return out + "\"";
}

// A string value is written in quotes when it reads back the same: UTF-16
// text with one terminating zero, no other, and no line break.  *text is
// then the text without its zero, in UTF-8.
bool Quotable(const Value &value, std::string *text) {
  std::size_t bad = 0;
  if (value.type != kRegSz || !charsets::Utf16leToUtf8(value.data, text, &bad)) return false;
  if (text->empty() || text->back() != 0) return false;
  text->pop_back();
  return text->find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos;
}

// Writes each line in the file's encoding as it comes.
class Writer {
 public:
  Writer(Format format, std::string *bytes) : format_(format), out_(bytes) {
    out_->clear();
    if (format == Format::Unicode) *out_ = "\xFF\xFE";
  }

  // A line of UTF-8 text.  In REGEDIT4 a line with a character that
  // Windows-1252 lacks is left out, and the first such line is the error
  // that Finish reports.
  void Line(std::string_view text) {
    switch (format_) {
      case Format::Unicode: charsets::AppendUtf8AsUtf16le(text, out_); break;  // the names are checked to be UTF-8
      case Format::UnicodeUtf8: out_->append(text); break;
      case Format::Regedit4: AppendCp1252(text); return;
    }
    out_->append(format_ == Format::Unicode ? std::string_view("\r\0\n\0", 4) : std::string_view("\r\n"));
  }

  void HexValue(const std::string &prefix, const std::string &bytes) {
    std::string line = prefix;
    std::size_t columns = Characters(prefix);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      // Room for "xx", its comma and a continuation mark.
      if (i > 0 && columns + 4 > kMaxLine) {
        line += "\\";
        Line(line);
        line = "  ";
        columns = 2;
      }
      AppendHex(static_cast<unsigned char>(bytes[i]), &line);
      columns += 2;
      if (i + 1 < bytes.size()) {
        line += ",";
        ++columns;
      }
    }
    Line(line);
  }

  // False, with *error set, for string data that REGEDIT4 cannot hold.
  bool WriteValue(const std::string &path, const Value &value, std::string *error) {
    const std::string name = value.name.empty() ? std::string("@") : Quote(value.name);
    std::string quoted;
    if (value.remove) {
      Line(name + "=-");
    } else if (Quotable(value, &quoted)) {
      Line(name + "=" + Quote(quoted));
    } else if (value.type == kRegDword && value.data.size() == 4) {
      uint32_t number = 0;
      for (int i = 3; i >= 0; --i)
        number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
      char text[16];
      std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(number));
      Line(name + "=dword:" + text);
    } else {
      std::string bytes;
      if (!HexData(path, value, &bytes, error)) return false;
      char type[16];
      std::snprintf(type, sizeof type, "%x", static_cast<unsigned>(value.type));
      HexValue(name + (value.type == kRegBinary ? std::string("=hex:") : "=hex(" + std::string(type) + "):"), bytes);
    }
    return true;
  }

  // False, with *error set, for a line that REGEDIT4 cannot hold.
  bool Finish(std::string *error) const {
    if (lineError_.empty()) return true;
    *error = lineError_;
    return false;
  }

 private:
  // The bytes of a value written in hex.  The model holds the string types
  // as UTF-16LE, as the Unicode format does; REGEDIT4 holds them in
  // Windows-1252.
  bool HexData(const std::string &path, const Value &value, std::string *bytes, std::string *error) const {
    if (format_ != Format::Regedit4 || !IsStringType(value.type)) {
      *bytes = value.data;
      return true;
    }
    std::u32string decoded;
    std::size_t bad = 0;
    const bool isText = charsets::DecodeUtf16le(value.data, &decoded, &bad);
    if (isText && charsets::UnicodeToCp1252(decoded, bytes, &bad)) return true;
    *error = "the data of " + (value.name.empty() ? std::string("@") : "\"" + value.name + "\"") + " in " + path +
             (isText ? " holds " + charsets::Describe(decoded[bad]) + ", which Windows-1252 lacks"
                     : std::string(" is not UTF-16 text")) +
             ": REGEDIT4 cannot hold it (leave out --regedit4)";
    return false;
  }

  void AppendCp1252(std::string_view line) {
    std::string bytes;
    std::size_t at = 0;
    char32_t code = 0;
    while (at < line.size()) {
      unsigned char byte = 0;
      charsets::NextUtf8(line, &at, &code);
      if (!charsets::ToCp1252(code, &byte)) {
        if (lineError_.empty()) {
          lineError_ = "the line " + std::string(line) + " holds " + charsets::Describe(code) +
                       ", which Windows-1252 lacks: REGEDIT4 cannot hold it (leave out --regedit4)";
        }
        return;
      }
      bytes.push_back(static_cast<char>(byte));
    }
    *out_ += bytes;
    *out_ += "\r\n";
  }

  Format format_;
  std::string *out_;
  std::string lineError_;
};

// Room for the whole file: more than it takes, so that it never grows.
// What is reserved but not written costs no memory.
std::size_t Estimate(const Document &document) {
  std::size_t characters = 64;
  for (const Key &key : document.keys) {
    characters += key.path.size() + 8;
    for (const Value &value : key.values) characters += 2 * value.name.size() + 4 * value.data.size() + 32;
  }
  return 2 * characters;
}

bool HasLineBreak(const std::string &text) { return text.find_first_of("\r\n") != std::string::npos; }

bool IsUtf8(const std::string &text) {
  std::size_t bad = 0;
  return charsets::IsUtf8(text, &bad);
}

}  // namespace

bool Write(const Document &document, Format format, std::string *bytes, std::string *error) {
  for (const Key &key : document.keys) {
    if (!IsUtf8(key.path) || HasLineBreak(key.path)) {
      *error = "the key " + key.path + " has a line break in its name, or is not UTF-8, which a .reg file cannot hold";
      return false;
    }
    for (const Value &value : key.values) {
      if (!IsUtf8(value.name) || HasLineBreak(value.name)) {
        *error =
            "a value of " + key.path + " has a line break in its name, or is not UTF-8, which a .reg file cannot hold";
        return false;
      }
    }
  }

  bytes->reserve(Estimate(document));
  Writer writer(format, bytes);
  writer.Line(format == Format::Regedit4 ? "REGEDIT4" : "Windows Registry Editor Version 5.00");
  writer.Line("");
  for (const Key &key : document.keys) {
    writer.Line("[" + std::string(key.remove ? "-" : "") + key.path + "]");
    for (const Value &value : key.values) {
      if (!writer.WriteValue(key.path, value, error)) return false;
    }
    writer.Line("");
  }
  return writer.Finish(error);
}

}  // namespace regfile
