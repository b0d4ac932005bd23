#pragma once
// What a person does at the keyboard and the mouse, as operations on the form
// model. Each key and each click is one event of the message loop: an error
// that leaves its handler is shown by the application and the next event still
// comes. Every verb returns true when all of its events completed without error.
#include <string>

#include "host/toolkit/buttons.h"
#include "host/toolkit/edits.h"
#include "host/toolkit/form.h"

namespace tk {

class UserInput {
 public:
  explicit UserInput(TForm& form) : form_(form) {}

  // Clicks into a field: the focus moves there (running the OnExit of the
  // field being left).
  bool Focus(TControl& control);
  bool Tab(bool forward = true);
  // Types each character into the focused control as one key press.
  bool Type(const std::string& text);
  bool Key(char32_t key);
  bool Paste(const std::string& text);
  // Focuses the field, selects its text and types the new one over it
  // (a backspace for the empty text).
  bool Fill(TCustomEdit& edit, const std::string& text);
  // A click: buttons run their click; check boxes and radio buttons take the
  // focus first, as a mouse click gives it to them.
  bool Click(TControl& control);
  // Opens the list of a combo box and chooses the item.
  bool Choose(TComboBox& combo, int index);
  // Ticks or unticks an item of a check-list box.
  bool Toggle(TCheckListBox& list, std::size_t index);

  TForm& form() { return form_; }

 private:
  TForm& form_;
};

}  // namespace tk
