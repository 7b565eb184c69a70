#include "tools/regfile/lines.h"

#include <cstring>

namespace regfile {

Lines::Lines(std::string_view text) : text_(text), cr_(Find('\r')), lf_(Find('\n')) {}

// The text comes with the first line's End.
Lines::Lines(Utf16Pieces *pieces) : pieces_(pieces), cr_(0), lf_(0) {}

bool Lines::Next(std::string_view *line) {
  if (at_ > text_.size()) return false;
  const std::size_t end = End();
  if (failed_) return false;
  *line = text_.substr(at_, end - at_);
  const bool pair = end + 1 < text_.size() && text_[end] == '\r' && text_[end + 1] == '\n';
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

bool Lines::AllText(std::string *error) const {
  if (failed_) {
    *error = fault_;
    return false;
  }
  return pieces_ == nullptr || pieces_->RestIsText(error);
}

// Where the line at at_ ends.  The next CR and the next LF are each looked
// for again only once the lines have passed them, so that every byte is
// looked at once however the lines end.  A line that reaches the end of the
// text so far, or ends at a CR there that may be the first of a CR LF,
// waits for the next piece.
std::size_t Lines::End() {
  if (cr_ < at_) cr_ = Find('\r');
  if (lf_ < at_) lf_ = Find('\n');
  while ((cr_ < lf_ ? cr_ : lf_) + 1 >= text_.size() && More()) {
    cr_ = Find('\r');
    lf_ = Find('\n');
  }
  return cr_ < lf_ ? cr_ : lf_;
}

// Decodes the next piece after what is left of the text from the current
// line on.  False when there is none, or at a fault in the bytes.
bool Lines::More() {
  if (pieces_ == nullptr || pieces_->Done() || failed_) return false;
  decoded_.erase(0, at_);
  at_ = 0;
  failed_ = !pieces_->Next(&decoded_, &fault_);
  text_ = decoded_;
  return !failed_;
}

// The first c at or after at_, or the end of the text.
std::size_t Lines::Find(char c) const {
  if (at_ >= text_.size()) return text_.size();
  const void *found = std::memchr(text_.data() + at_, c, text_.size() - at_);
  return found == nullptr ? text_.size() : static_cast<std::size_t>(static_cast<const char *>(found) - text_.data());
}

}  // namespace regfile
