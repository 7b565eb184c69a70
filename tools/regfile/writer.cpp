// Writing .reg files the way the registry editor exports them.
#include <cstdio>
#include <string>

#include "charsets/charsets.h"
#include "tools/regfile/regfile.h"

namespace regfile {

namespace {

constexpr std::size_t kMaxLine = 80;

// Text is collected as code points and encoded at the end.
class Writer {
 public:
  explicit Writer(Format format) : format_(format) {}

  void Line(const std::u32string &text) {
    out_ += text;
    out_ += U"\r\n";
  }

  // Names are checked to be UTF-8 before anything is written.
  static std::u32string FromUtf8(const std::string &text) {
    std::u32string out;
    std::size_t bad = 0;
    charsets::DecodeUtf8(text, &out, &bad);
    return out;
  }

  static std::u32string Ascii(const std::string &text) { return std::u32string(text.begin(), text.end()); }

  static std::u32string Quote(const std::u32string &text) {
    std::u32string out = U"\"";
    for (char32_t c : text) {
      if (c == U'\\' || c == U'"') out.push_back(U'\\');
      out.push_back(c);
    }
    return out + U"\"";
  }

  // A string value is written in quotes when it reads back the same: UTF-16
  // text with one terminating zero, no other, and no line break.  *text is
  // then the text without its zero.
  static bool Quotable(const Value &value, std::u32string *text) {
    std::size_t bad = 0;
    if (value.type != kRegSz || !charsets::DecodeUtf16le(value.data, text, &bad)) return false;
    if (text->empty() || text->back() != 0) return false;
    text->pop_back();
    for (char32_t c : *text) {
      if (c == 0 || c == U'\r' || c == U'\n') return false;
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

  // False, with *error set, for string data that REGEDIT4 cannot hold.
  bool WriteValue(const std::string &path, const Value &value, std::string *error) {
    const std::u32string name = value.name.empty() ? U"@" : Quote(FromUtf8(value.name));
    std::u32string quoted;
    if (value.remove) {
      Line(name + U"=-");
    } else if (Quotable(value, &quoted)) {
      Line(name + U"=" + Quote(quoted));
    } else if (value.type == kRegDword && value.data.size() == 4) {
      uint32_t number = 0;
      for (int i = 3; i >= 0; --i)
        number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
      char text[16];
      std::snprintf(text, sizeof text, "%08x", static_cast<unsigned>(number));
      Line(name + U"=dword:" + Ascii(text));
    } else {
      // The model holds the string types as UTF-16LE, as the Unicode format
      // does; REGEDIT4 holds them in Windows-1252.
      std::string bytes = value.data;
      std::u32string decoded;
      std::size_t bad = 0;
      if (format_ == Format::Regedit4 && IsStringType(value.type)) {
        const bool isText = charsets::DecodeUtf16le(value.data, &decoded, &bad);
        if (!isText || !charsets::UnicodeToCp1252(decoded, &bytes, &bad)) {
          *error = "the data of " + (value.name.empty() ? std::string("@") : "\"" + value.name + "\"") + " in " + path +
                   (isText ? " holds " + charsets::Describe(decoded[bad]) + ", which Windows-1252 lacks"
                           : std::string(" is not UTF-16 text")) +
                   ": REGEDIT4 cannot hold it (leave out --regedit4)";
          return false;
        }
      }
      char type[16];
      std::snprintf(type, sizeof type, "%x", static_cast<unsigned>(value.type));
      HexValue(name + (value.type == kRegBinary ? U"=hex:" : U"=hex(" + Ascii(type) + U"):"), bytes);
    }
    return true;
  }

  // False, with *error set, for a name that REGEDIT4 cannot hold.
  bool Encode(std::string *bytes, std::string *error) const {
    bytes->clear();
    switch (format_) {
      case Format::Unicode:
        *bytes = "\xFF\xFE";
        for (char32_t c : out_) charsets::AppendUtf16le(c, bytes);
        return true;
      case Format::UnicodeUtf8: *bytes = charsets::EncodeUtf8(out_); return true;
      case Format::Regedit4: break;
    }
    for (std::size_t i = 0; i < out_.size(); ++i) {
      unsigned char byte = 0;
      if (!charsets::ToCp1252(out_[i], &byte)) {
        const std::size_t start = out_.rfind(U'\n', i) == std::u32string::npos ? 0 : out_.rfind(U'\n', i) + 1;
        const std::u32string line = out_.substr(start, out_.find(U'\r', i) - start);
        *error = "the line " + charsets::EncodeUtf8(line) + " holds " + charsets::Describe(out_[i]) +
                 ", which Windows-1252 lacks: REGEDIT4 cannot hold it (leave out --regedit4)";
        return false;
      }
      bytes->push_back(static_cast<char>(byte));
    }
    return true;
  }

 private:
  Format format_;
  std::u32string out_;
};

bool HasLineBreak(const std::string &text) { return text.find_first_of("\r\n") != std::string::npos; }

bool IsUtf8(const std::string &text) {
  std::u32string decoded;
  std::size_t bad = 0;
  return charsets::DecodeUtf8(text, &decoded, &bad);
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

  Writer writer(format);
  writer.Line(format == Format::Regedit4 ? U"REGEDIT4" : U"Windows Registry Editor Version 5.00");
  writer.Line(U"");
  for (const Key &key : document.keys) {
    writer.Line(U"[" + std::u32string(key.remove ? U"-" : U"") + Writer::FromUtf8(key.path) + U"]");
    for (const Value &value : key.values) {
      if (!writer.WriteValue(key.path, value, error)) return false;
    }
    writer.Line(U"");
  }
  return writer.Encode(bytes, error);
}

}  // namespace regfile
