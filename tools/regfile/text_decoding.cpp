#include "tools/regfile/text_decoding.h"

#include "charsets/charsets.h"

namespace regfile {

const char kHeaderUnicode[] = "Windows Registry Editor Version 5.00";
const char kHeaderRegedit4[] = "REGEDIT4";

namespace {

const char kUtf16leMark[] = "\xFF\xFE";
const char kUtf16beMark[] = "\xFE\xFF";
const char kUtf8Mark[] = "\xEF\xBB\xBF";

bool StartsWith(const std::string &bytes, const char *prefix) {
  return bytes.compare(0, std::char_traits<char>::length(prefix), prefix) == 0;
}

// The error for bytes that are not text in the encoding they claim: the
// line is counted in what decoded before them.
bool BadText(const std::string &before, const char *what, std::string *error) {
  *error = "line " + std::to_string(LineAt(before, before.size())) + ": " + what;
  return false;
}

bool FromUtf16le(const std::string &body, std::string *text, std::string *error) {
  std::u32string decoded;
  std::size_t bad = 0;
  if (!charsets::DecodeUtf16le(body, &decoded, &bad)) {
    std::u32string before;
    std::size_t ignored = 0;
    charsets::DecodeUtf16le(body.substr(0, bad), &before, &ignored);
    return BadText(charsets::EncodeUtf8(before), "the file is not valid UTF-16LE text", error);
  }
  *text = charsets::EncodeUtf8(decoded);
  return true;
}

bool FromUtf8(const std::string &body, std::string *text, std::string *error) {
  std::u32string decoded;
  std::size_t bad = 0;
  if (charsets::DecodeUtf8(body, &decoded, &bad)) {
    *text = body;
    return true;
  }
  if (StartsWith(body, kHeaderUnicode)) return BadText(body.substr(0, bad), "the file is not valid UTF-8 text", error);
  // Not UTF-8: the header line check says what the file lacks.
  *text = charsets::Cp1252ToUtf8(body);
  return true;
}

// REGEDIT4 files are in the 8-bit code page, also when they were typed in
// UTF-8 (which is worth a word).
void FromRegedit4(const std::string &bytes, std::string *text, std::string *warning) {
  *text = charsets::Cp1252ToUtf8(bytes);
  std::size_t firstHigh = 0;
  while (firstHigh < bytes.size() && static_cast<unsigned char>(bytes[firstHigh]) < 0x80) ++firstHigh;
  std::u32string asUtf8;
  std::size_t bad = 0;
  if (warning != nullptr && firstHigh < bytes.size() && charsets::DecodeUtf8(bytes, &asUtf8, &bad)) {
    *warning = "line " + std::to_string(LineAt(bytes, firstHigh)) +
               ": a REGEDIT4 file is Windows-1252 and is read so, but this one reads as UTF-8; for UTF-8 make its "
               "first line \"" +
               kHeaderUnicode + "\"";
  }
}

}  // namespace

int LineAt(const std::string &text, std::size_t at) {
  int line = 1;
  for (std::size_t i = 0; i < at && i < text.size(); ++i) {
    if (text[i] == '\n' || (text[i] == '\r' && (i + 1 >= text.size() || text[i + 1] != '\n'))) ++line;
  }
  return line;
}

bool DecodeText(const std::string &bytes, std::string *text, std::string *error, std::string *warning) {
  text->clear();
  if (StartsWith(bytes, kUtf16leMark)) return FromUtf16le(bytes.substr(2), text, error);
  if (StartsWith(bytes, kUtf16beMark)) {
    *error = "line 1: UTF-16 big-endian files are not read; save the file as UTF-16LE (the editor's \"Unicode\")";
    return false;
  }
  if (StartsWith(bytes, kUtf8Mark)) return FromUtf8(bytes.substr(3), text, error);
  if (!StartsWith(bytes, kHeaderRegedit4)) return FromUtf8(bytes, text, error);
  FromRegedit4(bytes, text, warning);
  return true;
}

}  // namespace regfile
