#pragma once
// Internal: the text of a single-line edit control and the editing on it, apart from any
// window: GBK characters (one or two bytes) are never split, the selection runs from the
// anchor to the caret, and the limit is kept.

#include <string>

namespace platform::ui {

class EditText {
 public:
  const std::string& text() const { return text_; }
  size_t caret() const { return caret_; }
  size_t anchor() const { return anchor_; }
  size_t sel_start() const { return caret_ < anchor_ ? caret_ : anchor_; }
  size_t sel_end() const { return caret_ < anchor_ ? anchor_ : caret_; }
  bool has_selection() const { return caret_ != anchor_; }
  std::string selected() const { return text_.substr(sel_start(), sel_end() - sel_start()); }
  size_t limit() const { return limit_; }

  // Replaces the text; the caret goes to the end, nothing selected. Cut to the limit.
  void Set(const std::string& text);
  void set_limit(size_t limit);
  // Selection by byte offsets, moved to character starts; -1 as `end`: to the end; -1 as
  // `start`: nothing selected (the caret stays).
  void Select(long start, long end);
  // Moves the caret to the next or previous character, the start or the end; `extend` keeps
  // the anchor (Shift held).
  void Left(bool extend);
  void Right(bool extend);
  void Home(bool extend);
  void End(bool extend);
  void MoveTo(size_t offset, bool extend);
  // Replaces the selection with `insert` as far as the limit allows; false when nothing of
  // it fit (the limit was reached) and nothing was selected to remove.
  bool Replace(const std::string& insert);
  // Backspace and Delete: the selection, else the character before or after the caret.
  bool Backspace();
  bool Delete();

  // The character start at or before `offset`.
  size_t Boundary(size_t offset) const;
  size_t Next(size_t offset) const;
  size_t Prev(size_t offset) const;

 private:
  std::string text_;
  size_t caret_ = 0;
  size_t anchor_ = 0;
  size_t limit_ = 30000;
};

// Whether `c` starts a two-byte GBK character.
inline bool IsLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

}  // namespace platform::ui
