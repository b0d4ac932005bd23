#include "host/toolkit/edits.h"

#include <algorithm>
#include <stdexcept>

#include "lib/text/utf8.h"

namespace tk {

TCustomEdit::TCustomEdit(TComponent* owner, std::string class_name, std::string name)
    : TWinControl(owner, std::move(class_name), std::move(name)) {
  SetTabStop(true);
}

void TCustomEdit::SetText(const std::string& text) {
  std::string display = NormalizedDisplay(text);
  const int caret = static_cast<int>(::text::utf8::Length(display));
  ReplaceDisplay(std::move(display), caret);
}

// MaxLength limits what the user types or pastes; a program write is kept
// whole, as the host toolkit does, so that no looked-up value is cut.
std::string TCustomEdit::NormalizedDisplay(const std::string& text) const { return text; }

void TCustomEdit::ReplaceDisplay(std::string display, int caret) {
  const std::string before = Text();
  const bool shown_changed = display != display_;
  display_ = std::move(display);
  const int length = static_cast<int>(::text::utf8::Length(display_));
  sel_start_ = std::clamp(caret, 0, length);
  sel_length_ = 0;
  if (shown_changed) Notify(Property::Text);
  if (Text() != before && OnChange) OnChange(*this);
}

void TCustomEdit::SetSelection(int start, int length) {
  const int n = static_cast<int>(::text::utf8::Length(display_));
  sel_start_ = std::clamp(start, 0, n);
  sel_length_ = std::clamp(length, 0, n - sel_start_);
  Notify(Property::Selection);
}

void TCustomEdit::SelectAll() { SetSelection(0, static_cast<int>(::text::utf8::Length(display_))); }

void TCustomEdit::KeyPress(char32_t key) {
  if (OnKeyPress) OnKeyPress(*this, key);
  if (key == U'\0' || read_only_) return;
  EditKey(key);
}

void TCustomEdit::Paste(const std::string& text) {
  if (read_only_) return;
  for (const std::string& c : ::text::utf8::Split(text)) EditKey(::text::utf8::Decode(c));
}

void TCustomEdit::EditKey(char32_t key) {
  auto chars = ::text::utf8::Split(display_);
  auto start = static_cast<std::size_t>(sel_start_);
  auto length = static_cast<std::size_t>(sel_length_);
  if (key == kBackspace) {
    if (length == 0 && start > 0) {
      --start;
      length = 1;
    }
    chars.erase(chars.begin() + static_cast<long>(start), chars.begin() + static_cast<long>(start + length));
    ReplaceDisplay(::text::utf8::Join(chars), static_cast<int>(start));
    return;
  }
  if (key < 0x20) return;  // other control keys edit nothing
  if (max_length_ > 0 && chars.size() - length >= static_cast<std::size_t>(max_length_)) return;
  chars.erase(chars.begin() + static_cast<long>(start), chars.begin() + static_cast<long>(start + length));
  chars.insert(chars.begin() + static_cast<long>(start), ::text::utf8::Encode(key));
  ReplaceDisplay(::text::utf8::Join(chars), static_cast<int>(start + 1));
}

TMaskEdit::TMaskEdit(TComponent* owner, std::string name, std::string class_name)
    : TCustomEdit(owner, std::move(class_name), std::move(name)) {
  SetColor(TColor::clWindow);
}

void TMaskEdit::SetEditMask(const std::string& mask) {
  mask_ = EditMask(mask);
  SetMaxLength(static_cast<int>(mask_.Size()));
  SetText("");
}

std::string TMaskEdit::Text() const {
  if (mask_.Empty()) return TCustomEdit::Text();
  return mask_.TextFromCells(::text::utf8::Split(DisplayText()));
}

std::string TMaskEdit::NormalizedDisplay(const std::string& text) const {
  if (mask_.Empty()) return TCustomEdit::NormalizedDisplay(text);
  return ::text::utf8::Join(mask_.CellsFromText(text));
}

void TMaskEdit::EditKey(char32_t key) {
  if (mask_.Empty()) {
    TCustomEdit::EditKey(key);
    return;
  }
  auto cells = ::text::utf8::Split(DisplayText());
  if (cells.size() != mask_.Size()) cells = mask_.EmptyCells();
  std::size_t pos = static_cast<std::size_t>(SelStart());
  const std::size_t length = static_cast<std::size_t>(SelLength());
  const auto clear_selection = [&] {
    for (std::size_t i = pos; i < pos + length && i < cells.size(); ++i) {
      if (!mask_.IsLiteral(i)) cells[i] = mask_.Blank();
    }
  };
  if (key == kBackspace) {
    if (length > 0) {
      clear_selection();
    } else {
      while (pos > 0 && mask_.IsLiteral(pos - 1)) --pos;
      if (pos == 0) return;
      cells[--pos] = mask_.Blank();
    }
    ReplaceDisplay(::text::utf8::Join(cells), static_cast<int>(pos));
    return;
  }
  if (key < 0x20) return;
  // A typed literal steps over the literal at the caret, as the user expects
  // when typing "12/2026" into "99/9999".
  std::size_t at = pos;
  while (at < cells.size() && mask_.IsLiteral(at)) {
    if (::text::utf8::Encode(key) == mask_.Literal(at)) {
      clear_selection();
      ReplaceDisplay(::text::utf8::Join(cells), static_cast<int>(at + 1));
      return;
    }
    ++at;
  }
  if (at >= cells.size() || !mask_.Accepts(at, key)) return;  // refused: nothing changes
  clear_selection();
  cells[at] = mask_.Stored(at, key);
  std::size_t caret = at + 1;
  while (caret < cells.size() && mask_.IsLiteral(caret)) ++caret;
  ReplaceDisplay(::text::utf8::Join(cells), static_cast<int>(caret));
}

void TComboBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  Notify(Property::Items);
}

int TComboBox::ItemIndex() const {
  const auto it = std::find(items_.begin(), items_.end(), Text());
  return it == items_.end() ? -1 : static_cast<int>(it - items_.begin());
}

void TComboBox::SelectItem(int index) {
  if (index < 0 || static_cast<std::size_t>(index) >= items_.size()) {
    throw std::out_of_range(Name() + ": no item " + std::to_string(index));
  }
  SetText(items_[static_cast<std::size_t>(index)]);
}

}  // namespace tk
