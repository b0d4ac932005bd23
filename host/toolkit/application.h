#pragma once
// The application object of the host: it owns the forms, knows which one is
// active, holds the screen cursor and the dialogs, and is the place where an
// error that leaves a user-triggered handler ends up.
#include <exception>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/toolkit/dialogs.h"
#include "host/toolkit/form.h"
#include "host/toolkit/signal.h"

namespace tk {

// The silent exception: it ends a handler after its message has been shown,
// and the application shows nothing more for it.
class EAbort : public std::exception {
 public:
  const char* what() const noexcept override { return "Operation aborted"; }
};
[[noreturn]] void Abort();

inline constexpr int crDefault = 0;
inline constexpr int crHourGlass = -11;

class TScreen {
 public:
  int Cursor() const { return cursor_; }
  void SetCursor(int cursor);
  Signal<int> CursorChanged;

 private:
  int cursor_ = crDefault;
};

class TApplication {
 public:
  TApplication();
  ~TApplication();

  // The dialogs the application shows through. Not owned; the default is a
  // headless backend that only keeps a transcript.
  IDialogs& Dialogs() { return *dialogs_; }
  void SetDialogs(IDialogs* dialogs);
  TScreen& Screen() { return screen_; }

  // Creates a form of class T (constructed as T(nullptr)): the reference is set
  // before the form's OnCreate runs; a visible form is shown afterwards. When
  // anything fails the form is destroyed, the reference is null again and the
  // error passes on.
  template <typename T>
  void CreateForm(T*& reference) {
    auto form = std::make_unique<T>(nullptr);
    reference = form.get();
    TForm* raw = form.get();
    forms_.push_back(std::move(form));
    try {
      FormCreated.Emit(*raw);
      const bool show = raw->Visible();
      raw->DoCreate();
      if (show) raw->Show();
    } catch (...) {
      reference = nullptr;
      Destroy(raw);
      throw;
    }
  }

  std::vector<TForm*> Forms() const;
  TForm* ActiveForm() const { return active_form_; }
  // Makes the form the active window; runs its OnActivate when it was not.
  void Activate(TForm* form);
  // Schedules the form for destruction once the running handler has returned.
  void Release(TForm* form);
  // Destroys released forms (what the host's message loop does between events).
  void ProcessMessages();
  // Destroys every form at once (before a package is unloaded).
  void DestroyAllForms();

  // Runs a user action (a key, a click, a focus move) as the message loop does:
  // EAbort ends it silently, any other error is shown as an error dialog.
  // Returns true when the action completed without an error.
  bool Perform(const std::function<void()>& action);
  void HandleException(std::exception_ptr error);

  // An error that left a user action and was shown (aborts are not).
  Signal<const std::string&> ExceptionShown;
  Signal<TForm&> FormCreated;
  Signal<TForm&> FormDestroying;
  // A file a screen has written for the user, complete, by its path: the
  // host may look at it (the desktop checks it). Emitted on the thread that
  // wrote it.
  Signal<const std::string&> FileWritten;

 private:
  void Destroy(TForm* form);

  std::unique_ptr<IDialogs> default_dialogs_;
  IDialogs* dialogs_;
  TScreen screen_;
  std::vector<std::unique_ptr<TForm>> forms_;
  std::vector<TForm*> released_;
  TForm* active_form_ = nullptr;
};

// The process's application object.
TApplication& Application();

// Dialog routines of the toolkit.
enum class TMsgDlgType { mtWarning, mtError, mtInformation, mtConfirmation, mtCustom };
inline constexpr int mrOk = 1;
int MessageDlg(const std::string& text, TMsgDlgType type, int help_context);
void ShowMessage(const std::string& text);

}  // namespace tk
