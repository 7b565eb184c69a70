#include "tools/regfile/lines.h"

#include <cstdint>
#include <cstring>

namespace regfile {

std::size_t FindEither(std::string_view text, std::size_t from, char a, char b) {
  constexpr uint64_t kOnes = 0x0101010101010101u, kHighs = 0x8080808080808080u;
  const uint64_t as = kOnes * static_cast<unsigned char>(a), bs = kOnes * static_cast<unsigned char>(b);
  std::size_t at = from;
  for (; at + 8 <= text.size(); at += 8) {
    uint64_t word;
    std::memcpy(&word, text.data() + at, 8);
    // Whether a byte of word ^ as or of word ^ bs is zero.
    const uint64_t x = word ^ as, y = word ^ bs;
    if ((((x - kOnes) & ~x) | ((y - kOnes) & ~y)) & kHighs) break;
  }
  while (at < text.size() && text[at] != a && text[at] != b) ++at;
  return at;
}

Lines::Lines(std::string_view text) : text_(text) {}

// The text comes with the first line's End.
Lines::Lines(Utf16Pieces *pieces) : pieces_(pieces) {}

bool Lines::Next(std::string_view *line) {
  if (!Peek(line)) return false;
  const std::size_t end = at_ + line->size();
  const bool pair = end + 1 < text_.size() && text_[end] == '\r' && text_[end + 1] == '\n';
  if (end < text_.size()) ++breaks_;
  at_ = end + (pair ? 2 : 1);  // past the end after the last line
  return true;
}

bool Lines::Peek(std::string_view *line) {
  if (at_ > text_.size()) return false;
  const std::size_t end = End();
  if (failed_) return false;
  *line = text_.substr(at_, end - at_);
  return true;
}

bool Lines::AllText(std::string *error) {
  if (!failed_ && pieces_ != nullptr && !pieces_->Done()) {
    // The text that the lines did not reach, for a fault further on.
    std::string rest(at_ < text_.size() ? text_.substr(at_) : std::string_view());
    while (!failed_ && !pieces_->Done()) {
      const Utf16Pieces::Outcome outcome = pieces_->Next(&rest, &fault_);
      if (outcome != Utf16Pieces::Outcome::kText) Fail(outcome, rest);
    }
  }
  if (!failed_) return true;
  // A file that cannot be read is told so, whatever its text.
  if (!unreadable_ && !pieces_->ReadRest(error)) return false;
  *error = fault_;
  return false;
}

void Lines::Fail(Utf16Pieces::Outcome outcome, const std::string &text) {
  failed_ = true;
  unreadable_ = outcome == Utf16Pieces::Outcome::kUnreadable;
  if (!unreadable_) {
    // The line is counted in all the text before the fault.
    fault_ = "line " + std::to_string(breaks_ + static_cast<std::size_t>(LineAt(text, text.size()))) + ": " +
             kNotUtf16leText;
  }
}

// Where the line at at_ ends.  A line that reaches the end of the text so
// far, or ends at a CR there that may be the first of a CR LF, waits for the
// next piece.
std::size_t Lines::End() {
  std::size_t end = FindEither(text_, at_, '\r', '\n');
  while (end + 1 >= text_.size() && More()) end = FindEither(text_, at_, '\r', '\n');
  return failed_ ? text_.size() : end;
}

// Decodes the next piece after what is left of the text from the current
// line on.  False when there is none, or at a fault in the bytes.
bool Lines::More() {
  if (pieces_ == nullptr || pieces_->Done() || failed_) return false;
  decoded_.erase(0, at_);
  at_ = 0;
  const Utf16Pieces::Outcome outcome = pieces_->Next(&decoded_, &fault_);
  text_ = decoded_;
  if (outcome != Utf16Pieces::Outcome::kText) Fail(outcome, decoded_);
  return !failed_;
}

}  // namespace regfile
