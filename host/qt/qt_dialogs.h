#pragma once
// The dialogs of the desktop host: message boxes, the search lists, the busy
// animation over the form, and long server calls run off the user-interface
// thread while the windows stay painted and input is blocked.
#include <QObject>
#include <QWidget>

#include "host/toolkit/dialogs.h"

namespace qtfront {

class QtDialogs : public tk::IDialogs {
 public:
  // Dialogs open over the active window, or over `fallback_parent`.
  explicit QtDialogs(QWidget* fallback_parent = nullptr) : fallback_parent_(fallback_parent) {}

  void ShowMessage(tk::MessageKind kind, const std::string& text) override;
  std::optional<std::size_t> PickOne(const tk::PickList& list) override;
  std::optional<std::vector<std::size_t>> PickMany(const tk::PickList& list) override;
  void BusyShow(const std::string& form_caption, int kind, const std::string& text) override;
  void BusyHide() override;
  void RunBlocking(const std::function<void()>& work) override;

  // The title of plain messages.
  static QString ApplicationTitle();

 private:
  QWidget* Parent() const;
  QWidget* fallback_parent_;
  std::vector<QWidget*> busy_forms_;
};

// Swallows what the user does (keys, clicks, closing windows) while it lives,
// letting painting and timers through.
class InputBlocker : public QObject {
 public:
  InputBlocker();
  ~InputBlocker() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace qtfront
