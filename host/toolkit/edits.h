#pragma once
// Text controls. The contract the module relies on:
//  - SetText (a program write) stores a text that differs from the current one
//    and runs OnChange before returning; the same text runs nothing.
//  - KeyPress (a typed key) runs OnKeyPress first; the handler may replace the
//    key by U'\0' (discarded) or throw (nothing inserted, the error passes on).
//  - Paste inserts text without the key filter, as the host's clipboard does.
//  - MaxLength counts characters (0: no limit).
#include <string>
#include <vector>

#include "host/toolkit/control.h"
#include "host/toolkit/edit_mask.h"

namespace tk {

inline constexpr char32_t kBackspace = U'\b';

class TCustomEdit : public TWinControl {
 public:
  TCustomEdit(TComponent* owner, std::string class_name, std::string name);

  bool AcceptsFocus() const override { return true; }

  // The text as the program reads it.
  virtual std::string Text() const { return display_; }
  // The text as the field shows it (differs from Text in masked edits).
  const std::string& DisplayText() const { return display_; }
  void SetText(const std::string& text);
  void Clear() { SetText(""); }

  int MaxLength() const { return max_length_; }
  void SetMaxLength(int n) { max_length_ = n; }
  bool ReadOnly() const { return read_only_; }
  void SetReadOnly(bool value) { read_only_ = value; }

  // Selection in characters of the display text; the caret is SelStart.
  int SelStart() const { return sel_start_; }
  int SelLength() const { return sel_length_; }
  void SetSelection(int start, int length);
  void SelectAll();

  void KeyPress(char32_t key);
  void Paste(const std::string& text);

  TNotifyEvent OnChange;
  TKeyPressEvent OnKeyPress;

 protected:
  // The display text that a program write of `text` leads to.
  virtual std::string NormalizedDisplay(const std::string& text) const;
  // Applies an accepted key (or pasted character) to the display text.
  virtual void EditKey(char32_t key);
  // Replaces the display text; runs OnChange when Text() changed.
  void ReplaceDisplay(std::string display, int caret);

 private:
  std::string display_;
  int max_length_ = 0;
  bool read_only_ = false;
  int sel_start_ = 0;
  int sel_length_ = 0;
};

class TEdit : public TCustomEdit {
 public:
  TEdit(TComponent* owner, std::string name) : TCustomEdit(owner, "TEdit", std::move(name)) {
    SetColor(TColor::clWindow);
  }
};

class TMaskEdit : public TCustomEdit {
 public:
  TMaskEdit(TComponent* owner, std::string name, std::string class_name = "TMaskEdit");

  // Throws std::invalid_argument for a malformed mask. Resets the field.
  void SetEditMask(const std::string& mask);
  const EditMask& Mask() const { return mask_; }
  std::string Text() const override;

 protected:
  std::string NormalizedDisplay(const std::string& text) const override;
  void EditKey(char32_t key) override;

 private:
  EditMask mask_;
};

// A combo box in the host's default style: an edit with a drop-down list.
class TComboBox : public TCustomEdit {
 public:
  TComboBox(TComponent* owner, std::string name) : TCustomEdit(owner, "TComboBox", std::move(name)) {
    SetColor(TColor::clWindow);
  }

  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  // Index of the item equal to the text, or -1.
  int ItemIndex() const;
  // The user chooses an item from the list: the text becomes the item.
  // Throws std::out_of_range for an index outside the list.
  void SelectItem(int index);

 private:
  std::vector<std::string> items_;
};

}  // namespace tk
