#pragma once
// Forms: the window that holds the controls, the keyboard focus with its exit
// events, activation and closing.
//
// Focus contract: moving the focus from A to B (by the user or the program)
// runs A's OnExit first; if OnExit raises, the focus stays where the handler
// left it and the error passes on. While A's OnExit runs, a focus move away
// from A made by the handler runs no second OnExit of A. Focusing a control
// that cannot take the focus (disabled or hidden, itself or a parent) leaves
// the focus where it is. Activation changes between windows run no OnExit.
#include <string>

#include "host/toolkit/control.h"

namespace tk {

enum class TCloseAction { caNone, caHide, caFree, caMinimize };
enum class TFormStyle { fsNormal, fsMDIChild };
enum class TWindowState { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

using TCloseEvent = std::function<void(TComponent& sender, TCloseAction& action)>;

class TForm : public TWinControl {
 public:
  TForm(TComponent* owner, std::string class_name, std::string name);
  ~TForm() override;

  TFormStyle FormStyle() const { return form_style_; }
  void SetFormStyle(TFormStyle style) { form_style_ = style; }
  TWindowState WindowState() const { return window_state_; }
  void SetWindowState(TWindowState state);
  int ClientWidth() const { return client_width_; }
  int ClientHeight() const { return client_height_; }
  void SetClientSize(int width, int height);

  TControl* ActiveControl() const { return active_control_; }
  // Moves the focus as the contract above says.
  void FocusControl(TControl* control);
  // The Tab key (forward) or Shift+Tab: the next control in tab order that can
  // take the focus. Only the checked radio button of a group is a tab stop.
  void SelectNext(bool forward = true);
  // Focusable controls in tab order, as SelectNext walks them.
  std::vector<TControl*> TabStops() const;

  // Runs OnCreate; called once by the application after construction.
  void DoCreate();
  // Makes the form visible and the active window.
  void Show();
  // Runs OnClose; the close action decides what happens to the form.
  void Close();
  // Repaints the form; counted so that tests can see it happen.
  void Refresh();
  int RefreshCount() const { return refresh_count_; }

  TNotifyEvent OnCreate;
  TNotifyEvent OnActivate;
  TCloseEvent OnClose;
  TNotifyEvent OnDestroy;

  Signal<TControl*> FocusChanged;
  // Show was called: a front-end brings the window to the front, even when it
  // was visible and active already.
  Signal<> ShowRequested;

 private:
  friend class TApplication;
  void FocusFirst();

  TFormStyle form_style_ = TFormStyle::fsNormal;
  TWindowState window_state_ = TWindowState::wsNormal;
  int client_width_ = 0;
  int client_height_ = 0;
  TControl* active_control_ = nullptr;
  TControl* exiting_ = nullptr;
  int refresh_count_ = 0;
};

}  // namespace tk
