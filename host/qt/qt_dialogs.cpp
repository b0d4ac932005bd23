#include "host/qt/qt_dialogs.h"

#include <QApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>
#include <QWindow>
#include <exception>
#include <thread>

#include "host/qt/busy_overlay.h"
#include "host/qt/form_view.h"
#include "host/qt/pick_list_dialog.h"

namespace qtfront {

// Not set as Qt's display name, which Qt would append to every dialog title.
QString QtDialogs::ApplicationTitle() { return "Gestão Fiscal"; }

QWidget* QtDialogs::Parent() const {
  if (QWidget* modal = QApplication::activeModalWidget()) return modal;
  if (QWidget* active = QApplication::activeWindow()) return active;
  return fallback_parent_;
}

void QtDialogs::ShowMessage(tk::MessageKind kind, const std::string& text) {
  QMessageBox::Icon icon = QMessageBox::NoIcon;
  QString title = ApplicationTitle();
  if (kind == tk::MessageKind::Error) {
    icon = QMessageBox::Critical;
    title = "Erro";
  } else if (kind == tk::MessageKind::Information) {
    icon = QMessageBox::Information;
    title = "Informação";
  }
  QMessageBox box(icon, title, QString::fromStdString(text), QMessageBox::Ok, Parent());
  box.setObjectName("mensagem");
  box.setTextFormat(Qt::PlainText);
  box.button(QMessageBox::Ok)->setText("OK");
  box.exec();
}

std::optional<std::size_t> QtDialogs::PickOne(const tk::PickList& list) {
  PickListDialog dialog(list, PickListDialog::Mode::One, Parent());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  const auto rows = dialog.ChosenRows();
  if (rows.empty()) return std::nullopt;
  return rows.front();
}

std::optional<std::vector<std::size_t>> QtDialogs::PickMany(const tk::PickList& list) {
  PickListDialog dialog(list, PickListDialog::Mode::Many, Parent());
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.ChosenRows();
}

void QtDialogs::BusyShow(const std::string& form_caption, int, const std::string& text) {
  FormView* target = nullptr;
  for (FormView* view : FormView::Views()) {
    if (view->form()->Caption() == form_caption) target = view;
  }
  if (!target && !FormView::Views().empty()) target = FormView::Views().back();
  busy_forms_.push_back(target);
  if (target) {
    target->Busy().Start(QString::fromStdString(text));
    target->repaint();
  }
}

void QtDialogs::BusyHide() {
  if (busy_forms_.empty()) return;
  QWidget* form = busy_forms_.back();
  busy_forms_.pop_back();
  for (FormView* view : FormView::Views()) {
    if (view == form) view->Busy().Stop();
  }
}

void QtDialogs::RunBlocking(const std::function<void()>& work) {
  if (!qApp || QThread::currentThread() != qApp->thread()) {
    work();
    return;
  }
  InputBlocker blocker;
  QEventLoop loop;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    QMetaObject::invokeMethod(
        &loop, [&loop] { loop.quit(); }, Qt::QueuedConnection);
  });
  loop.exec();
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

InputBlocker::InputBlocker() {
  qApp->installEventFilter(this);
  QApplication::setOverrideCursor(Qt::BusyCursor);
}

InputBlocker::~InputBlocker() {
  QApplication::restoreOverrideCursor();
  qApp->removeEventFilter(this);
}

bool InputBlocker::eventFilter(QObject* watched, QEvent* event) {
  // A dialog the call itself opens (the login to the server) takes the
  // user's keys and clicks; only the form waits.
  if (auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window()->isModal()) return false;
  if (auto* window = qobject_cast<QWindow*>(watched); window && window->modality() != Qt::NonModal)
    return false;
  switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::InputMethod:
    case QEvent::Close: event->ignore(); return true;
    default: return false;
  }
}

}  // namespace qtfront
