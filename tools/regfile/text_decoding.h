// The first step of reading a .reg file: its bytes to text.  The registry
// editor writes UTF-16LE with a byte order mark ("Windows Registry Editor
// Version 5.00") or Windows-1252 ("REGEDIT4"); files typed by hand are
// often UTF-8.  The grammar (reader.cpp) reads the text that this gives.
#ifndef VANTORIX_TOOLS_REGFILE_TEXT_DECODING_H
#define VANTORIX_TOOLS_REGFILE_TEXT_DECODING_H

#include <cstddef>
#include <string>
#include <string_view>

#include "tools/regfile/file_io.h"

namespace regfile {

// The first line of each format.
extern const char kHeaderUnicode[];
extern const char kHeaderRegedit4[];

// Whether the bytes start with the UTF-16LE byte order mark, as the
// registry editor's files do: their text comes from Utf16Pieces.
bool IsUtf16le(const std::string &bytes);

// The text of any other file in UTF-8: a file that starts with "REGEDIT4",
// Windows-1252; any other, UTF-8 (after its byte order mark, if any), or
// Windows-1252 where it is not UTF-8 and does not claim the Unicode format
// (the header check then says what it lacks).  On failure returns false and
// sets *error to "line N: what is wrong".  *warning (when given) names the
// first line beyond ASCII of a REGEDIT4 file whose bytes read as UTF-8;
// otherwise it is left empty.
bool DecodeText(const std::string &bytes, std::string *text, std::string *error, std::string *warning);

// What a file that is not UTF-16LE text is told (after "line N: ").
extern const char kNotUtf16leText[];

// The text of a UTF-16LE file, decoded a piece at a time as it is read, so
// that a large file's text is never held whole (nor, read from a file, its
// bytes).
class Utf16Pieces {
 public:
  enum class Outcome { kText, kNotText, kUnreadable };

  // The units of a file's bytes, which the caller keeps meanwhile.
  explicit Utf16Pieces(const std::string &bytes);
  // The units of a file read as they are needed; *first holds the bytes
  // read from it already, its byte order mark first.
  Utf16Pieces(FileReader *file, std::string *first);

  bool Done() const { return units_.empty() && (file_ == nullptr || file_->AtEnd()); }
  // Appends the text of the next piece to *text.  kNotText for units that
  // are not UTF-16 text (*text then ends with the text before them, and
  // nothing follows); kUnreadable for a file that cannot be read, as
  // *error says.
  Outcome Next(std::string *text, std::string *error);
  // Reads the rest of a file without decoding it: false, with *error, if
  // it cannot be read.
  bool ReadRest(std::string *error);

 private:
  FileReader *file_ = nullptr;
  std::string read_;        // bytes read from file_
  std::string_view units_;  // the units not yet decoded
};

// The line number (from 1) of the byte at offset `at` of text.
int LineAt(const std::string &text, std::size_t at);

}  // namespace regfile

#endif
