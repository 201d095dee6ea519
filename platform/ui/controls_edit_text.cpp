#include "platform/ui/controls_edit_text.h"

#include <algorithm>

namespace platform::ui {

size_t EditText::Boundary(size_t offset) const {
  offset = std::min(offset, text_.size());
  size_t at = 0;
  while (at < offset) {
    size_t next = Next(at);
    if (next > offset) break;
    at = next;
  }
  return at;
}

size_t EditText::Next(size_t offset) const {
  if (offset >= text_.size()) return text_.size();
  bool pair = IsLeadByte(static_cast<unsigned char>(text_[offset])) && offset + 1 < text_.size();
  return offset + (pair ? 2 : 1);
}

size_t EditText::Prev(size_t offset) const {
  if (offset == 0) return 0;
  return Boundary(offset - 1);
}

void EditText::Set(const std::string& text) {
  text_ = text.substr(0, limit_);
  text_.resize(Boundary(text_.size()));
  caret_ = anchor_ = text_.size();
}

void EditText::set_limit(size_t limit) { limit_ = limit == 0 ? 0x7FFFFFFE : limit; }

void EditText::Select(long start, long end) {
  if (start < 0) {
    anchor_ = caret_;
    return;
  }
  size_t e = end < 0 ? text_.size() : static_cast<size_t>(end);
  anchor_ = Boundary(static_cast<size_t>(start));
  caret_ = Boundary(e);
  if (caret_ < e && caret_ < text_.size()) caret_ = Next(caret_);
}

void EditText::MoveTo(size_t offset, bool extend) {
  caret_ = Boundary(offset);
  if (!extend) anchor_ = caret_;
}

void EditText::Left(bool extend) {
  if (has_selection() && !extend) {
    caret_ = anchor_ = sel_start();
    return;
  }
  MoveTo(Prev(caret_), extend);
}

void EditText::Right(bool extend) {
  if (has_selection() && !extend) {
    caret_ = anchor_ = sel_end();
    return;
  }
  MoveTo(Next(caret_), extend);
}

void EditText::Home(bool extend) { MoveTo(0, extend); }
void EditText::End(bool extend) { MoveTo(text_.size(), extend); }

bool EditText::Replace(const std::string& insert) {
  size_t start = sel_start();
  size_t removed = sel_end() - start;
  size_t room = limit_ - std::min(limit_, text_.size() - removed);
  std::string piece = insert.substr(0, std::min(room, insert.size()));
  // Never keep half of a two-byte character.
  size_t whole = 0;
  while (whole < piece.size()) {
    bool pair = IsLeadByte(static_cast<unsigned char>(piece[whole]));
    if (pair && whole + 1 >= piece.size()) break;
    whole += pair ? 2 : 1;
  }
  piece.resize(whole);
  if (piece.empty() && removed == 0) return insert.empty();
  text_.replace(start, removed, piece);
  caret_ = anchor_ = start + piece.size();
  return piece.size() == insert.size();
}

bool EditText::Backspace() {
  if (!has_selection()) {
    if (caret_ == 0) return false;
    anchor_ = Prev(caret_);
  }
  Replace("");
  return true;
}

bool EditText::Delete() {
  if (!has_selection()) {
    if (caret_ >= text_.size()) return false;
    anchor_ = Next(caret_);
  }
  Replace("");
  return true;
}

}  // namespace platform::ui
