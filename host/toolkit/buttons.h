#pragma once
// Buttons, check boxes, radio buttons and the check-list box.
#include <string>
#include <vector>

#include "host/toolkit/control.h"

namespace tk {

// A flat or speed button: it is clicked but never takes the focus, so clicking
// it runs no OnExit of the focused field.
class TButtonControl : public TControl {
 public:
  TButtonControl(TComponent* owner, std::string class_name, std::string name);
  // The user clicks: does nothing while the button cannot be reached.
  void Click();
  TNotifyEvent OnClick;

 protected:
  virtual void DoClick();
};

class TButtonFlat : public TButtonControl {
 public:
  TButtonFlat(TComponent* owner, std::string name) : TButtonControl(owner, "TButtonFlat", std::move(name)) {}
};

// Changing the state runs OnClick.
class TCheckBox : public TWinControl {
 public:
  TCheckBox(TComponent* owner, std::string name);
  bool AcceptsFocus() const override { return true; }
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  // The user clicks: the state toggles.
  void Click() { SetChecked(!checked_); }
  TNotifyEvent OnClick;

 private:
  bool checked_ = false;
};

// Checking a radio button unchecks the radio buttons with the same parent and
// runs OnClick of the one checked. Unchecking runs nothing.
class TRadioButton : public TWinControl {
 public:
  TRadioButton(TComponent* owner, std::string name);
  bool AcceptsFocus() const override { return true; }
  bool Checked() const { return checked_; }
  void SetChecked(bool value);
  void Click() { SetChecked(true); }
  TNotifyEvent OnClick;

 private:
  bool checked_ = false;
};

class TCheckListBox : public TWinControl {
 public:
  TCheckListBox(TComponent* owner, std::string name);
  bool AcceptsFocus() const override { return true; }
  const std::vector<std::string>& Items() const { return items_; }
  void SetItems(std::vector<std::string> items);
  std::size_t Count() const { return items_.size(); }
  // Throw std::out_of_range for an index outside the list.
  bool Checked(std::size_t index) const;
  void SetChecked(std::size_t index, bool value);
  int ItemHeight() const { return item_height_; }
  void SetItemHeight(int h) { item_height_ = h; }
  // Runs when the user toggles an item.
  TNotifyEvent OnClickCheck;
  void ToggleByUser(std::size_t index);

 private:
  std::vector<std::string> items_;
  std::vector<bool> checked_;
  int item_height_ = 13;
};

}  // namespace tk
