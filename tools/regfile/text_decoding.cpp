#include "tools/regfile/text_decoding.h"

#include <string_view>

#include "charsets/charsets.h"

namespace regfile {

const char kHeaderUnicode[] = "Windows Registry Editor Version 5.00";
const char kHeaderRegedit4[] = "REGEDIT4";
const char kNotUtf16leText[] = "the file is not valid UTF-16LE text";

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

bool FromUtf8(std::string_view body, std::string *text, std::string *error) {
  std::size_t bad = 0;
  if (charsets::IsUtf8(body, &bad)) {
    text->assign(body);
    return true;
  }
  if (body.substr(0, sizeof kHeaderUnicode - 1) == kHeaderUnicode) {
    return BadText(std::string(body.substr(0, bad)), "the file is not valid UTF-8 text", error);
  }
  // Not UTF-8: the header line check says what the file lacks.
  *text = charsets::Cp1252ToUtf8(std::string(body));
  return true;
}

// REGEDIT4 files are in the 8-bit code page, also when they were typed in
// UTF-8 (which is worth a word).
void FromRegedit4(const std::string &bytes, std::string *text, std::string *warning) {
  *text = charsets::Cp1252ToUtf8(bytes);
  std::size_t firstHigh = 0;
  while (firstHigh < bytes.size() && static_cast<unsigned char>(bytes[firstHigh]) < 0x80) ++firstHigh;
  std::size_t bad = 0;
  if (warning != nullptr && firstHigh < bytes.size() && charsets::IsUtf8(bytes, &bad)) {
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

bool IsUtf16le(const std::string &bytes) { return StartsWith(bytes, kUtf16leMark); }

bool DecodeText(const std::string &bytes, std::string *text, std::string *error, std::string *warning) {
  text->clear();
  const std::string_view all(bytes);
  if (StartsWith(bytes, kUtf16beMark)) {
    *error = "line 1: UTF-16 big-endian files are not read; save the file as UTF-16LE (the editor's \"Unicode\")";
    return false;
  }
  if (StartsWith(bytes, kUtf8Mark)) return FromUtf8(all.substr(3), text, error);
  if (!StartsWith(bytes, kHeaderRegedit4)) return FromUtf8(all, text, error);
  FromRegedit4(bytes, text, warning);
  return true;
}

Utf16Pieces::Utf16Pieces(const std::string &bytes) : units_(std::string_view(bytes).substr(2)) {}

Utf16Pieces::Utf16Pieces(FileReader *file, std::string *first) : file_(file) {
  read_.swap(*first);
  units_ = std::string_view(read_).substr(2);
}

Utf16Pieces::Outcome Utf16Pieces::Next(std::string *text, std::string *error) {
  // A piece of units at a time, and never half of a unit or of a surrogate
  // pair while more follow.
  constexpr std::size_t kPiece = FileReader::kPiece;
  if (file_ != nullptr && units_.size() < kPiece && !file_->AtEnd()) {
    read_.erase(0, read_.size() - units_.size());
    const bool read = file_->Read(kPiece, &read_, error);
    units_ = read_;
    if (!read) return Outcome::kUnreadable;
  }
  std::size_t end = units_.size() < kPiece ? units_.size() : kPiece;
  if (end < units_.size() || (file_ != nullptr && !file_->AtEnd())) {
    end &= ~static_cast<std::size_t>(1);
    const unsigned char last = end >= 2 ? static_cast<unsigned char>(units_[end - 1]) : 0;
    if (last >= 0xD8 && last <= 0xDB) end -= 2;
  }
  std::size_t bad = 0;
  const bool whole = charsets::AppendUtf16leAsUtf8(units_.substr(0, end), text, &bad);
  units_.remove_prefix(whole ? end : units_.size());
  return whole ? Outcome::kText : Outcome::kNotText;
}

bool Utf16Pieces::ReadRest(std::string *error) {
  while (file_ != nullptr && !file_->AtEnd()) {
    read_.clear();
    if (!file_->Read(FileReader::kPiece, &read_, error)) return false;
  }
  units_ = std::string_view();
  return true;
}

}  // namespace regfile
