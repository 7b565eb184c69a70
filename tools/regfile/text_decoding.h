// The first step of reading a .reg file: its bytes to text.  The registry
// editor writes UTF-16LE with a byte order mark ("Windows Registry Editor
// Version 5.00") or Windows-1252 ("REGEDIT4"); files typed by hand are
// often UTF-8.  The grammar (reader.cpp) reads the text that this gives.
#ifndef VANTORIX_TOOLS_REGFILE_TEXT_DECODING_H
#define VANTORIX_TOOLS_REGFILE_TEXT_DECODING_H

#include <string>

namespace regfile {

// The first line of each format.
extern const char kHeaderUnicode[];
extern const char kHeaderRegedit4[];

// The file's text in UTF-8: after a UTF-16LE byte order mark, UTF-16LE;
// a file that starts with "REGEDIT4", Windows-1252; any other, UTF-8 (after
// its byte order mark, if any), or Windows-1252 where it is not UTF-8 and
// does not claim the Unicode format (the header check then says what it
// lacks).  On failure returns false and sets *error to "line N: what is
// wrong".  *warning (when given) names the first line beyond ASCII of a
// REGEDIT4 file whose bytes read as UTF-8; otherwise it is left empty.
bool DecodeText(const std::string &bytes, std::string *text, std::string *error, std::string *warning);

// The line number (from 1) of the byte at offset `at` of text.
int LineAt(const std::string &text, std::size_t at);

}  // namespace regfile

#endif
