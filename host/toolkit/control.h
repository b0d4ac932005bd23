#pragma once
// Visual controls: geometry, enabled and visible states, parent chain, tab
// order and change notifications through which a front-end mirrors the model.
#include <cstdint>
#include <string>
#include <vector>

#include "host/toolkit/component.h"
#include "host/toolkit/signal.h"

namespace tk {

class TForm;
class TWinControl;

// Colours as the host toolkit names them; a front-end maps them to its palette.
enum class TColor { clWindow, clBtnFace, clInfoBk, clBlue, clWindowText };

// What changed, for front-ends that mirror a control.
enum class Property {
  Text,
  Enabled,
  Visible,
  Checked,
  Items,
  ItemChecked,
  Caption,
  Bounds,
  Color,
  Selection
};

struct TRect {
  int left = 0, top = 0, width = 0, height = 0;
};

class TControl : public TComponent {
 public:
  TControl(TComponent* owner, std::string class_name, std::string name);
  ~TControl() override;

  TWinControl* Parent() const { return parent_; }
  void SetParent(TWinControl* parent);
  // The form this control lies on (nullptr when it has no parent chain to one).
  TForm* ParentForm() const;

  bool Enabled() const { return enabled_; }
  void SetEnabled(bool value);
  bool Visible() const { return visible_; }
  void SetVisible(bool value);
  // Enabled and visible here and in every parent: the user can reach it.
  bool EffectivelyEnabled() const;
  bool Showing() const;

  const TRect& Bounds() const { return bounds_; }
  void SetBounds(int left, int top, int width, int height);

  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& caption);
  bool Bold() const { return bold_; }
  void SetBold(bool value) { bold_ = value; }
  TColor Color() const { return color_; }
  void SetColor(TColor color);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& hint) { hint_ = hint; }

  // Controls that can hold the keyboard focus (windowed controls that accept
  // input) say so here; labels, panels and flat buttons cannot.
  virtual bool AcceptsFocus() const { return false; }
  bool CanFocus() const { return AcceptsFocus() && EffectivelyEnabled(); }
  void SetFocus();
  bool Focused() const;

  int TabOrder() const { return tab_order_; }
  void SetTabOrder(int order) { tab_order_ = order; }
  bool TabStop() const { return tab_stop_; }
  void SetTabStop(bool value) { tab_stop_ = value; }

  TNotifyEvent OnExit;
  TNotifyEvent OnEnter;

  Signal<TControl&, Property> Changed;

 protected:
  void Notify(Property what) { Changed.Emit(*this, what); }

 private:
  friend class TWinControl;
  TWinControl* parent_ = nullptr;
  bool enabled_ = true;
  bool visible_ = true;
  TRect bounds_;
  std::string caption_;
  bool bold_ = false;
  TColor color_ = TColor::clBtnFace;
  std::string hint_;
  int tab_order_ = -1;
  bool tab_stop_ = false;
};

// A control that can hold other controls (group boxes, panels, forms).
class TWinControl : public TControl {
 public:
  using TControl::TControl;
  // Children outlive their parent when their owner destroys them later: they
  // are let go here so that none reaches back into a destroyed parent.
  ~TWinControl() override;
  const std::vector<TControl*>& Controls() const { return controls_; }
  // Focusable descendants in tab order (children sorted by TabOrder, containers
  // entered where they stand).
  std::vector<TControl*> TabSequence() const;

 private:
  friend class TControl;
  std::vector<TControl*> controls_;
};

}  // namespace tk
