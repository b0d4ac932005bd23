#include "host/toolkit/control.h"

#include <algorithm>

#include "host/toolkit/form.h"

namespace tk {

TControl::TControl(TComponent* owner, std::string class_name, std::string name)
    : TComponent(owner, std::move(class_name), std::move(name)) {}

TControl::~TControl() { SetParent(nullptr); }

void TControl::SetParent(TWinControl* parent) {
  if (parent_ == parent) return;
  if (parent_) std::erase(parent_->controls_, this);
  parent_ = parent;
  if (parent_) parent_->controls_.push_back(this);
}

TForm* TControl::ParentForm() const {
  const TControl* c = this;
  while (c) {
    if (auto* form = dynamic_cast<TForm*>(const_cast<TControl*>(c))) return form;
    c = c->parent_;
  }
  return nullptr;
}

void TControl::SetEnabled(bool value) {
  if (enabled_ == value) return;
  enabled_ = value;
  Notify(Property::Enabled);
}

void TControl::SetVisible(bool value) {
  if (visible_ == value) return;
  visible_ = value;
  Notify(Property::Visible);
}

bool TControl::EffectivelyEnabled() const {
  for (const TControl* c = this; c; c = c->parent_) {
    if (!c->enabled_ || !c->visible_) return false;
  }
  return true;
}

bool TControl::Showing() const {
  for (const TControl* c = this; c; c = c->parent_) {
    if (!c->visible_) return false;
  }
  return true;
}

void TControl::SetBounds(int left, int top, int width, int height) {
  bounds_ = TRect{left, top, width, height};
  Notify(Property::Bounds);
}

void TControl::SetCaption(const std::string& caption) {
  if (caption_ == caption) return;
  caption_ = caption;
  Notify(Property::Caption);
}

void TControl::SetColor(TColor color) {
  if (color_ == color) return;
  color_ = color;
  Notify(Property::Color);
}

void TControl::SetFocus() {
  if (TForm* form = ParentForm()) form->FocusControl(this);
}

bool TControl::Focused() const {
  const TForm* form = ParentForm();
  return form && form->ActiveControl() == this;
}

TWinControl::~TWinControl() {
  for (TControl* child : controls_) child->parent_ = nullptr;
}

std::vector<TControl*> TWinControl::TabSequence() const {
  std::vector<TControl*> ordered = controls_;
  std::stable_sort(ordered.begin(), ordered.end(),
                   [](const TControl* a, const TControl* b) { return a->TabOrder() < b->TabOrder(); });
  std::vector<TControl*> sequence;
  for (TControl* c : ordered) {
    if (c->AcceptsFocus()) {
      sequence.push_back(c);
    } else if (auto* container = dynamic_cast<TWinControl*>(c)) {
      auto inner = container->TabSequence();
      sequence.insert(sequence.end(), inner.begin(), inner.end());
    }
  }
  return sequence;
}

}  // namespace tk
