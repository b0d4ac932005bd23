#include "host/toolkit/buttons.h"

#include <stdexcept>

namespace tk {

TButtonControl::TButtonControl(TComponent* owner, std::string class_name, std::string name)
    : TControl(owner, std::move(class_name), std::move(name)) {}

void TButtonControl::Click() {
  if (!EffectivelyEnabled()) return;
  DoClick();
}

void TButtonControl::DoClick() {
  if (OnClick) OnClick(*this);
}

TCheckBox::TCheckBox(TComponent* owner, std::string name) : TWinControl(owner, "TCheckBox", std::move(name)) {
  SetTabStop(true);
}

void TCheckBox::SetChecked(bool value) {
  if (checked_ == value) return;
  checked_ = value;
  Notify(Property::Checked);
  if (OnClick) OnClick(*this);
}

TRadioButton::TRadioButton(TComponent* owner, std::string name)
    : TWinControl(owner, "TRadioButton", std::move(name)) {}

void TRadioButton::SetChecked(bool value) {
  if (checked_ == value) return;
  checked_ = value;
  Notify(Property::Checked);
  if (!value) return;
  if (Parent()) {
    for (TControl* sibling : Parent()->Controls()) {
      auto* radio = dynamic_cast<TRadioButton*>(sibling);
      if (radio && radio != this) radio->SetChecked(false);
    }
  }
  if (OnClick) OnClick(*this);
}

TCheckListBox::TCheckListBox(TComponent* owner, std::string name)
    : TWinControl(owner, "TCheckListBox", std::move(name)) {
  SetTabStop(true);
  SetColor(TColor::clWindow);
}

void TCheckListBox::SetItems(std::vector<std::string> items) {
  items_ = std::move(items);
  checked_.assign(items_.size(), false);
  Notify(Property::Items);
}

bool TCheckListBox::Checked(std::size_t index) const { return checked_.at(index); }

void TCheckListBox::SetChecked(std::size_t index, bool value) {
  if (checked_.at(index) == value) return;
  checked_[index] = value;
  Notify(Property::ItemChecked);
}

void TCheckListBox::ToggleByUser(std::size_t index) {
  if (!EffectivelyEnabled()) return;
  SetChecked(index, !Checked(index));
  if (OnClickCheck) OnClickCheck(*this);
}

}  // namespace tk
