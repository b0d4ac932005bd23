#include "host/toolkit/form.h"

#include <algorithm>

#include "host/toolkit/application.h"
#include "host/toolkit/buttons.h"
#include "host/toolkit/edits.h"

namespace tk {

TForm::TForm(TComponent* owner, std::string class_name, std::string name)
    : TWinControl(owner, std::move(class_name), std::move(name)) {
  SetVisible(false);
}

TForm::~TForm() {
  if (OnDestroy) {
    try {
      OnDestroy(*this);
    } catch (...) {
      // A destructor must not throw; the form goes away regardless.
    }
  }
  active_control_ = nullptr;
  // The controls go while the form is still whole.
  DestroyComponents();
}

void TForm::SetWindowState(TWindowState state) {
  if (window_state_ == state) return;
  window_state_ = state;
  Notify(Property::Bounds);
}

void TForm::SetClientSize(int width, int height) {
  client_width_ = width;
  client_height_ = height;
  Notify(Property::Bounds);
}

void TForm::FocusControl(TControl* control) {
  if (!control || control == active_control_ || control->ParentForm() != this || !control->CanFocus()) return;
  TControl* from = active_control_;
  if (from && from != exiting_ && from->OnExit) {
    TControl* const outer = exiting_;
    exiting_ = from;
    try {
      from->OnExit(*from);
    } catch (...) {
      exiting_ = outer;
      throw;
    }
    exiting_ = outer;
    // The handler may have disabled the target or closed the way there.
    if (!control->CanFocus()) return;
  }
  active_control_ = control;
  if (auto* edit = dynamic_cast<TCustomEdit*>(control)) edit->SelectAll();
  FocusChanged.Emit(control);
  if (control->OnEnter) control->OnEnter(*control);
}

std::vector<TControl*> TForm::TabStops() const {
  std::vector<TControl*> stops;
  for (TControl* c : TabSequence()) {
    if (!c->CanFocus()) continue;
    if (auto* radio = dynamic_cast<TRadioButton*>(c)) {
      // A group of radio buttons is one stop: its checked button, or its first
      // button when none is checked.
      bool any_checked = false;
      TRadioButton* first = nullptr;
      for (TControl* sibling : radio->Parent()->Controls()) {
        if (auto* r = dynamic_cast<TRadioButton*>(sibling); r && r->CanFocus()) {
          any_checked = any_checked || r->Checked();
          if (!first || r->TabOrder() < first->TabOrder()) first = r;
        }
      }
      if (any_checked ? !radio->Checked() : radio != first) continue;
    } else if (!c->TabStop()) {
      continue;
    }
    stops.push_back(c);
  }
  return stops;
}

void TForm::SelectNext(bool forward) {
  const auto stops = TabStops();
  if (stops.empty()) return;
  auto it = std::find(stops.begin(), stops.end(), active_control_);
  TControl* next;
  if (it == stops.end()) {
    next = forward ? stops.front() : stops.back();
  } else if (forward) {
    next = std::next(it) == stops.end() ? stops.front() : *std::next(it);
  } else {
    next = it == stops.begin() ? stops.back() : *std::prev(it);
  }
  FocusControl(next);
}

void TForm::FocusFirst() {
  if (active_control_) return;
  const auto stops = TabStops();
  if (stops.empty()) return;
  active_control_ = stops.front();
  if (auto* edit = dynamic_cast<TCustomEdit*>(active_control_)) edit->SelectAll();
  FocusChanged.Emit(active_control_);
}

void TForm::DoCreate() {
  if (OnCreate) OnCreate(*this);
}

void TForm::Show() {
  SetVisible(true);
  ShowRequested.Emit();
  Application().Activate(this);
}

void TForm::Close() {
  TCloseAction action =
      form_style_ == TFormStyle::fsMDIChild ? TCloseAction::caMinimize : TCloseAction::caHide;
  if (OnClose) OnClose(*this, action);
  switch (action) {
    case TCloseAction::caNone: return;
    case TCloseAction::caHide: SetVisible(false); return;
    case TCloseAction::caMinimize: SetWindowState(TWindowState::wsMinimized); return;
    case TCloseAction::caFree: Application().Release(this); return;
  }
}

void TForm::Refresh() {
  ++refresh_count_;
  Notify(Property::Bounds);
}

}  // namespace tk
