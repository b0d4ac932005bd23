#include "host/toolkit/user_input.h"

#include "host/toolkit/application.h"
#include "lib/text/utf8.h"

namespace tk {

bool UserInput::Focus(TControl& control) {
  return Application().Perform([&] { form_.FocusControl(&control); });
}

bool UserInput::Tab(bool forward) {
  return Application().Perform([&] { form_.SelectNext(forward); });
}

bool UserInput::Key(char32_t key) {
  return Application().Perform([&] {
    if (auto* edit = dynamic_cast<TCustomEdit*>(form_.ActiveControl())) edit->KeyPress(key);
  });
}

bool UserInput::Type(const std::string& text) {
  bool all = true;
  for (const std::string& c : ::text::utf8::Split(text)) all = Key(::text::utf8::Decode(c)) && all;
  return all;
}

bool UserInput::Paste(const std::string& text) {
  return Application().Perform([&] {
    if (auto* edit = dynamic_cast<TCustomEdit*>(form_.ActiveControl())) edit->Paste(text);
  });
}

bool UserInput::Fill(TCustomEdit& edit, const std::string& text) {
  if (!Focus(edit) || form_.ActiveControl() != &edit) return false;
  Application().Perform([&] { edit.SelectAll(); });
  return text.empty() ? Key(kBackspace) : Type(text);
}

bool UserInput::Click(TControl& control) {
  if (auto* button = dynamic_cast<TButtonControl*>(&control)) {
    return Application().Perform([&] { button->Click(); });
  }
  if (!control.CanFocus()) return false;
  if (!Focus(control) || form_.ActiveControl() != &control) return false;
  return Application().Perform([&] {
    if (auto* check = dynamic_cast<TCheckBox*>(&control)) check->Click();
    if (auto* radio = dynamic_cast<TRadioButton*>(&control)) radio->Click();
  });
}

bool UserInput::Choose(TComboBox& combo, int index) {
  if (!Focus(combo) || form_.ActiveControl() != &combo) return false;
  return Application().Perform([&] { combo.SelectItem(index); });
}

bool UserInput::Toggle(TCheckListBox& list, std::size_t index) {
  if (!Focus(list) || form_.ActiveControl() != &list) return false;
  return Application().Perform([&] { list.ToggleByUser(index); });
}

}  // namespace tk
