#include "host/toolkit/application.h"

#include <algorithm>

#include "host/toolkit/headless_dialogs.h"

namespace tk {

void Abort() { throw EAbort(); }

void TScreen::SetCursor(int cursor) {
  if (cursor_ == cursor) return;
  cursor_ = cursor;
  CursorChanged.Emit(cursor);
}

TApplication::TApplication()
    : default_dialogs_(std::make_unique<HeadlessDialogs>()), dialogs_(default_dialogs_.get()) {}

TApplication::~TApplication() { DestroyAllForms(); }

void TApplication::SetDialogs(IDialogs* dialogs) { dialogs_ = dialogs ? dialogs : default_dialogs_.get(); }

std::vector<TForm*> TApplication::Forms() const {
  std::vector<TForm*> forms;
  for (const auto& f : forms_) forms.push_back(f.get());
  return forms;
}

void TApplication::Activate(TForm* form) {
  if (active_form_ == form) return;
  active_form_ = form;
  if (!form) return;
  form->FocusFirst();
  if (form->OnActivate) form->OnActivate(*form);
}

void TApplication::Release(TForm* form) {
  if (std::find(released_.begin(), released_.end(), form) == released_.end()) released_.push_back(form);
}

void TApplication::ProcessMessages() {
  while (!released_.empty()) {
    TForm* form = released_.front();
    released_.erase(released_.begin());
    Destroy(form);
  }
}

void TApplication::Destroy(TForm* form) {
  const auto it = std::find_if(forms_.begin(), forms_.end(), [&](const auto& f) { return f.get() == form; });
  if (it == forms_.end()) return;
  std::erase(released_, form);
  FormDestroying.Emit(*form);
  if (active_form_ == form) active_form_ = nullptr;
  std::unique_ptr<TForm> doomed = std::move(*it);
  forms_.erase(it);
  doomed.reset();
}

void TApplication::DestroyAllForms() {
  while (!forms_.empty()) Destroy(forms_.back().get());
}

bool TApplication::Perform(const std::function<void()>& action) {
  bool completed = false;
  try {
    action();
    completed = true;
  } catch (const EAbort&) {
  } catch (...) {
    HandleException(std::current_exception());
  }
  ProcessMessages();
  return completed;
}

void TApplication::HandleException(std::exception_ptr error) {
  try {
    std::rethrow_exception(error);
  } catch (const EAbort&) {
  } catch (const std::exception& e) {
    ExceptionShown.Emit(e.what());
    Dialogs().ShowMessage(MessageKind::Error, e.what());
  } catch (...) {
    ExceptionShown.Emit("Erro desconhecido.");
    Dialogs().ShowMessage(MessageKind::Error, "Erro desconhecido.");
  }
}

TApplication& Application() {
  static TApplication application;
  return application;
}

int MessageDlg(const std::string& text, TMsgDlgType type, int) {
  const MessageKind kind = type == TMsgDlgType::mtError         ? MessageKind::Error
                           : type == TMsgDlgType::mtInformation ? MessageKind::Information
                                                                : MessageKind::Plain;
  Application().Dialogs().ShowMessage(kind, text);
  return mrOk;
}

void ShowMessage(const std::string& text) { Application().Dialogs().ShowMessage(MessageKind::Plain, text); }

}  // namespace tk
