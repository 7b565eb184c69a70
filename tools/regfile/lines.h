// The lines of a .reg file's text, for the grammar (reader.cpp): of a whole
// text, or of a UTF-16LE file's text as Utf16Pieces decodes it, a piece at
// a time as the lines reach it.
#ifndef VANTORIX_TOOLS_REGFILE_LINES_H
#define VANTORIX_TOOLS_REGFILE_LINES_H

#include <cstddef>
#include <string>
#include <string_view>

#include "tools/regfile/text_decoding.h"

namespace regfile {

// Where the first a or b is in text at or after from, or text.size():
// eight bytes at a time while neither is among them.
std::size_t FindEither(std::string_view text, std::size_t from, char a, char b);

// The lines, split at CR LF, CR or LF, taken one at a time.  A text of n
// line breaks has n + 1 lines; the empty text is one empty line.  A line
// given out stays valid until the next call of Next or Peek.
class Lines {
 public:
  explicit Lines(std::string_view text);
  explicit Lines(Utf16Pieces *pieces);

  // The next line; false past the last, or at a fault in the file's bytes.
  bool Next(std::string_view *line);
  // The line that Next would give, which stays to be taken.
  bool Peek(std::string_view *line);
  // Whether the whole file could be read and is text, including what the
  // lines did not reach; if not, false with *error: the read error, else
  // "line N: ..." of the first fault in the text.
  bool AllText(std::string *error);

 private:
  std::size_t End();
  bool More();
  // Stops at what the pieces told of; *text is the text from the end of
  // the lines taken up to the fault.
  void Fail(Utf16Pieces::Outcome outcome, const std::string &text);

  Utf16Pieces *pieces_ = nullptr;  // null for a whole text
  std::string decoded_;            // the pieces' text from the current line on
  bool failed_ = false;
  bool unreadable_ = false;
  std::string fault_;  // why the pieces stopped
  std::string_view text_;
  std::size_t at_ = 0;      // where the next line starts
  std::size_t breaks_ = 0;  // the line breaks before at_
};

}  // namespace regfile

#endif
