#pragma once
// Widgets that mirror one control of the form model each, both ways: what the
// program changes in the model is shown (Sync), and what the user types, ticks
// or picks is turned into the model's own operations, run as one event of the
// message loop, so that the same handlers run as in the headless host. The
// model decides the focus: these widgets never take it by themselves.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QRadioButton>
#include <QToolButton>
#include <functional>

#include "host/toolkit/buttons.h"
#include "host/toolkit/edits.h"

namespace qtfront {

class FormView;

// The side of a widget that follows the model.
class Mirror {
 public:
  virtual ~Mirror() = default;
  virtual void Sync(tk::Property what) = 0;
};

// Runs a user action on the model as the message loop does. Returns true when
// it completed and the form is still there.
bool UserAction(FormView& view, const std::function<void()>& action);
// Moves the model's focus to the control as a click into it does; true when
// the control holds the focus afterwards.
bool FocusByUser(FormView& view, tk::TControl& control);
// Whether the view still mirrors a form.
bool Attached(const FormView& view);

class MirrorLineEdit : public QLineEdit, public Mirror {
 public:
  MirrorLineEdit(tk::TCustomEdit& edit, FormView& view, QWidget* parent);
  void Sync(tk::Property what) override;
  // Keys that a composite control handles first (arrows of a combo box or a
  // month field); returns true when it took the key.
  std::function<bool(QKeyEvent&)> OwnKeys;
  // A click that brings the focus into the field leaves its whole text
  // selected, as Tab does, so that typing replaces what it shows (a month
  // field always shows a month); a click in the focused field places the
  // caret.
  bool SelectAllOnEntry = false;
  tk::TCustomEdit& edit() { return edit_; }

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void inputMethodEvent(QInputMethodEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  bool EnsureFocus();
  void TypeText(const QString& text);
  void MoveCaret(int position, bool extend);
  void PushSelection();

  tk::TCustomEdit& edit_;
  FormView& view_;
  int anchor_ = 0;  // the fixed end of a selection made with Shift
  int caret_ = 0;   // the moving end
  bool entered_by_click_ = false;
};

class MirrorComboBox : public QComboBox, public Mirror {
 public:
  MirrorComboBox(tk::TComboBox& combo, FormView& view, QWidget* parent);
  void Sync(tk::Property what) override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  void Choose(int index);
  tk::TComboBox& combo_;
  FormView& view_;
  MirrorLineEdit* line_;
};

// Check boxes and radio buttons: a click (or Space) runs the model's Click,
// after the focus moved there as a click gives it; the model unchecks a radio
// button's siblings.
template <typename Widget, typename Control>
class MirrorToggle : public Widget, public Mirror {
 public:
  MirrorToggle(Control& control, FormView& view, QWidget* parent)
      : Widget(parent), control_(control), view_(view) {
    this->setFocusPolicy(Qt::NoFocus);
    this->setAutoExclusive(false);
    Sync(tk::Property::Checked);
  }
  void Sync(tk::Property what) override {
    if (what == tk::Property::Checked) this->setChecked(control_.Checked());
  }

 protected:
  void mousePressEvent(QMouseEvent* event) override {
    if (FocusByUser(view_, control_)) Widget::mousePressEvent(event);
  }
  void nextCheckState() override {
    if (FocusByUser(view_, control_)) UserAction(view_, [this] { control_.Click(); });
    if (Attached(view_)) Sync(tk::Property::Checked);
  }

 private:
  Control& control_;
  FormView& view_;
};

using MirrorCheckBox = MirrorToggle<QCheckBox, tk::TCheckBox>;
using MirrorRadioButton = MirrorToggle<QRadioButton, tk::TRadioButton>;

// The check-list box: a click on an item's box or Space ticks it.
class MirrorCheckList : public QListWidget, public Mirror {
 public:
  MirrorCheckList(tk::TCheckListBox& list, FormView& view, QWidget* parent);
  void Sync(tk::Property what) override;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void Toggle(int row);
  tk::TCheckListBox& list_;
  FormView& view_;
};

// Flat and search buttons: clicked, never focused.
class MirrorButton : public QToolButton, public Mirror {
 public:
  MirrorButton(tk::TButtonControl& button, FormView& view, QWidget* parent);
  void Sync(tk::Property) override {}
};

}  // namespace qtfront
