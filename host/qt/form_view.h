#pragma once
// The window of one form of the model: a widget for every control, at the
// positions and sizes of the form definition, mirroring the model both ways.
// A form of the multiple-document style lives in a sub-window of the main
// window's MDI area; closing that window closes the form in the model, and
// the window goes when the model destroys the form.
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QWidget>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/toolkit/form.h"

namespace qtfront {

class Mirror;
class BusyOverlay;

class FormView : public QWidget {
 public:
  explicit FormView(tk::TForm& form, QWidget* parent = nullptr);
  ~FormView() override;

  // Puts the view into a sub-window of the area (hidden until the form shows).
  QMdiSubWindow* AttachTo(QMdiArea& area);
  QMdiSubWindow* Frame() const { return frame_; }

  // False once the model's form is gone; the view then only waits to be deleted.
  bool Attached() const { return form_ != nullptr; }
  tk::TForm* form() const { return form_; }
  // The widget of the control with that name, or nullptr.
  QWidget* WidgetOf(const std::string& name) const;
  QWidget* WidgetOf(const tk::TControl* control) const;

  BusyOverlay& Busy();
  // Gives Qt's focus back to the control that holds the model's focus (the
  // window that becomes active would otherwise keep it itself).
  void RestoreFocus();

  // Every view whose form is still there, oldest first.
  static std::vector<FormView*> Views();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The model decides where the focus goes; Qt must not move it on its own.
  bool focusNextPrevChild(bool) override { return true; }

 private:
  QWidget* Build(tk::TControl& control, QWidget* parent);
  void Apply(tk::TControl& control, tk::Property what);
  void ApplyForm(tk::Property what);
  void BringToFront();
  void FocusModelControl(tk::TControl* control);
  // The model's form is going: stop mirroring it and let the window go.
  void Detach();
  void StopMirroring();

  tk::TForm* form_;
  QMdiSubWindow* frame_ = nullptr;
  BusyOverlay* busy_ = nullptr;
  struct Entry {
    QWidget* widget;
    Mirror* mirror;
  };
  std::map<const tk::TControl*, Entry> entries_;
  std::vector<std::pair<tk::TControl*, std::size_t>> changed_;
  std::size_t focus_connection_ = 0;
  std::size_t show_connection_ = 0;
  std::size_t destroying_connection_ = 0;
  bool applying_state_ = false;
};

}  // namespace qtfront
