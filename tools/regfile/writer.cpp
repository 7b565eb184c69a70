// Writing .reg files the way the registry editor exports them.
#include <cstdio>
#include <string>

#include "tools/regfile/charsets.h"
#include "tools/regfile/regfile.h"

namespace regfile {

namespace {

constexpr uint32_t kRegSz = 1, kRegExpandSz = 2, kRegBinary = 3, kRegDword = 4, kRegMultiSz = 7;
constexpr std::size_t kMaxLine = 80;

bool IsStringType(uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

// Text is collected as code points and encoded at the end.
class Writer {
 public:
  explicit Writer(Format format) : format_(format) {}

  void Line(const std::u32string &text) {
    out_ += text;
    out_ += U"\r\n";
  }

  static std::u32string FromAnsi(const std::string &bytes) {
    std::u32string out;
    for (unsigned char c : bytes) out.push_back(charsets::FromCp1252(c));
    return out;
  }

  static std::u32string Ascii(const std::string &text) { return std::u32string(text.begin(), text.end()); }

  static std::u32string Quote(const std::string &bytes) {
    std::u32string out = U"\"";
    for (unsigned char c : bytes) {
      if (c == '\\' || c == '"') out.push_back(U'\\');
      out.push_back(charsets::FromCp1252(c));
    }
    return out + U"\"";
  }

  // A string value is written in quotes when it reads back the same: one
  // terminating zero byte, no other, and no line break.
  static bool Quotable(const Value &value) {
    if (value.type != kRegSz || value.data.empty() || value.data.back() != '\0') return false;
    for (std::size_t i = 0; i + 1 < value.data.size(); ++i) {
      const char c = value.data[i];
      if (c == '\0' || c == '\r' || c == '\n') return false;
    }
    return true;
  }

  void HexValue(const std::u32string &prefix, const std::string &bytes) {
    std::u32string line = prefix;
    char digits[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      const bool last = i + 1 == bytes.size();
      // Room for "xx", its comma and a continuation mark.
      if (i > 0 && line.size() + 4 > kMaxLine) {
        line += U"\\";
        Line(line);
        line = U"  ";
      }
      std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(bytes[i]));
      line += Ascii(digits);
      if (!last) line += U",";
    }
    Line(line);
  }

  void WriteValue(const Value &value) {
    const std::u32string name = value.name.empty() ? U"@" : Quote(value.name);
    if (value.remove) {
      Line(name + U"=-");
    } else if (Quotable(value)) {
      Line(name + U"=" + Quote(value.data.substr(0, value.data.size() - 1)));
    } else if (value.type == kRegDword && value.data.size() == 4) {
      uint32_t number = 0;
      for (int i = 3; i >= 0; --i)
        number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
      char text[16];
      std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(number));
      Line(name + U"=dword:" + Ascii(text));
    } else {
      std::string bytes = value.data;
      if (format_ == Format::Unicode && IsStringType(value.type)) {
        // The Unicode format holds the string types as UTF-16LE.
        bytes.clear();
        for (unsigned char c : value.data) charsets::AppendUtf16le(charsets::FromCp1252(c), &bytes);
      }
      char type[16];
      std::snprintf(type, sizeof type, "%x", static_cast<unsigned>(value.type));
      HexValue(name + (value.type == kRegBinary ? U"=hex:" : U"=hex(" + Ascii(type) + U"):"), bytes);
    }
  }

  std::string Encode() const {
    std::string bytes;
    if (format_ == Format::Unicode) {
      bytes = "\xFF\xFE";
      for (char32_t c : out_) charsets::AppendUtf16le(c, &bytes);
    } else {
      for (char32_t c : out_) {
        unsigned char byte = '?';
        charsets::ToCp1252(c, &byte);  // every character came from Windows-1252
        bytes.push_back(static_cast<char>(byte));
      }
    }
    return bytes;
  }

 private:
  Format format_;
  std::u32string out_;
};

bool HasLineBreak(const std::string &text) { return text.find_first_of("\r\n") != std::string::npos; }

}  // namespace

bool Write(const Document &document, Format format, std::string *bytes, std::string *error) {
  for (const Key &key : document.keys) {
    if (HasLineBreak(key.path)) {
      *error = "the key " + charsets::Cp1252ToUtf8(key.path) +
               " has a line break in its name, which a .reg file cannot hold";
      return false;
    }
    for (const Value &value : key.values) {
      if (HasLineBreak(value.name)) {
        *error = "a value of " + charsets::Cp1252ToUtf8(key.path) +
                 " has a line break in its name, which a .reg file cannot hold";
        return false;
      }
    }
  }

  Writer writer(format);
  writer.Line(format == Format::Unicode ? U"Windows Registry Editor Version 5.00" : U"REGEDIT4");
  writer.Line(U"");
  for (const Key &key : document.keys) {
    writer.Line(U"[" + std::u32string(key.remove ? U"-" : U"") + Writer::FromAnsi(key.path) + U"]");
    for (const Value &value : key.values) writer.WriteValue(value);
    writer.Line(U"");
  }
  *bytes = writer.Encode();
  return true;
}

}  // namespace regfile
