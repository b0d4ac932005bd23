#pragma once
// Acting on the desktop host as a user does, with real key and mouse events:
// keys go to the widget that holds the focus, clicks to a widget's centre,
// and a dialog that opens modally is answered from a timer while it runs.
// The tests and the screenshot tour share it.
#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <functional>
#include <stdexcept>
#include <string>

namespace qtfront::drive {

template <typename T = QWidget>
T* Find(const QWidget* root, const std::string& name) {
  T* widget = root->findChild<T*>(QString::fromStdString(name));
  if (!widget) throw std::runtime_error("no widget named " + name);
  return widget;
}

// The widget that holds the keyboard. Without a window manager nothing gives
// a window the keyboard when it opens, or back when a dialog over it closes:
// the keys go where they would with one, to the focus of the modal dialog
// when one is open, else to the focus of the main window.
inline QWidget* Focused() {
  QWidget* modal = QApplication::activeModalWidget();
  QWidget* widget = QApplication::focusWidget();
  if (modal && (!widget || !modal->isAncestorOf(widget))) {
    widget = modal->focusWidget() ? modal->focusWidget() : modal;
  }
  if (!widget) {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      if (top->isVisible() && top->inherits("QMainWindow")) {
        top->activateWindow();
        (void)QTest::qWaitForWindowActive(top, 2000);
      }
    }
    widget = QApplication::focusWidget();
  }
  if (!widget) throw std::runtime_error("no widget holds the focus");
  return widget;
}

// Types into whatever holds the focus, one key event per character.
inline void Type(const QString& text) { QTest::keyClicks(Focused(), text); }
inline void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
  QTest::keyClick(Focused(), key, modifiers);
}
inline void Tab() { Key(Qt::Key_Tab); }
inline void Click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }
inline void ClickAt(QWidget* widget, QPoint point) { QTest::mouseClick(widget, Qt::LeftButton, {}, point); }

// Runs the action on the next modal dialog once it is open (or gives up
// after ten seconds). Use it before the click that opens the dialog.
class ModalWatcher : public QObject {
 public:
  explicit ModalWatcher(std::function<void(QWidget*)> action, QWidget* after = nullptr)
      : action_(std::move(action)),
        after_(after),
        deadline_(std::chrono::steady_clock::now() + std::chrono::seconds(10)) {
    connect(&timer_, &QTimer::timeout, this, [this] { Poll(); });
    timer_.start(15);
  }

 private:
  void Poll() {
    QWidget* modal = QApplication::activeModalWidget();
    if (modal && modal != after_ && modal->isVisible()) {
      timer_.stop();
      // Without a window manager nothing hands the new window the keyboard.
      modal->activateWindow();
      (void)QTest::qWaitForWindowActive(modal, 2000);
      QPointer<QWidget> answered(modal);
      action_(modal);
      // A dialog the action failed to close would stop the run: it is
      // closed a little later, and whoever waits on it sees a cancel.
      QTimer::singleShot(5000, [answered] {
        if (answered && answered->isVisible()) answered->close();
      });
      deleteLater();
    } else if (std::chrono::steady_clock::now() > deadline_) {
      timer_.stop();
      deleteLater();
    }
  }
  QTimer timer_;
  std::function<void(QWidget*)> action_;
  QWidget* after_;
  std::chrono::steady_clock::time_point deadline_;
};

inline void WhenModal(std::function<void(QWidget*)> action, QWidget* after = nullptr) {
  new ModalWatcher(std::move(action), after);
}

// Waits, with the event loop running, until the condition holds.
inline bool WaitFor(const std::function<bool()>& condition, int milliseconds = 10000) {
  return QTest::qWaitFor(condition, milliseconds);
}

}  // namespace qtfront::drive
