#include "host/qt/form_view.h"

#include <QApplication>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <algorithm>

#include "host/components/date_edit_plus.h"
#include "host/qt/busy_overlay.h"
#include "host/qt/glyphs.h"
#include "host/qt/mirror_widgets.h"
#include "host/qt/month_field.h"
#include "host/qt/palette.h"
#include "host/toolkit/application.h"
#include "host/toolkit/static_controls.h"

namespace qtfront {
namespace {

std::vector<FormView*>& Registry() {
  static std::vector<FormView*> views;
  return views;
}

// Labels, check boxes and radio buttons size themselves to their caption in
// the host toolkit; here they keep at least the width of the definition.
bool SizesToCaption(const QWidget* widget) {
  return qobject_cast<const QLabel*>(widget) || qobject_cast<const QCheckBox*>(widget) ||
         qobject_cast<const QRadioButton*>(widget);
}

}  // namespace

FormView::FormView(tk::TForm& form, QWidget* parent) : QWidget(parent), form_(&form) {
  setObjectName(QString::fromStdString(form.Name()));
  setFont(ScreenFont());
  setAutoFillBackground(true);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, ColorOf(tk::TColor::clBtnFace));
  setPalette(palette);
  setFixedSize(form.ClientWidth(), form.ClientHeight());
  setWindowTitle(QString::fromStdString(form.Caption()));

  for (tk::TControl* child : form.Controls()) Build(*child, this);

  focus_connection_ = form.FocusChanged.Connect([this](tk::TControl* c) { FocusModelControl(c); });
  show_connection_ = form.ShowRequested.Connect([this] { BringToFront(); });
  changed_.emplace_back(&form, form.Changed.Connect([this](tk::TControl&, tk::Property p) { ApplyForm(p); }));
  destroying_connection_ = tk::Application().FormDestroying.Connect([this](tk::TForm& f) {
    if (&f == form_) Detach();
  });
  qApp->installEventFilter(this);
  Registry().push_back(this);
}

FormView::~FormView() {
  std::erase(Registry(), this);
  qApp->removeEventFilter(this);
  tk::Application().FormDestroying.Disconnect(destroying_connection_);
  StopMirroring();
}

std::vector<FormView*> FormView::Views() {
  std::vector<FormView*> views;
  for (FormView* v : Registry()) {
    if (v->Attached()) views.push_back(v);
  }
  return views;
}

QMdiSubWindow* FormView::AttachTo(QMdiArea& area) {
  frame_ = area.addSubWindow(this, Qt::SubWindow | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                                       Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  frame_->setObjectName(objectName() + "Window");
  frame_->setWindowIcon(ExportGlyph());
  frame_->setWindowTitle(windowTitle());
  frame_->setAttribute(Qt::WA_DeleteOnClose, false);
  frame_->installEventFilter(this);
  frame_->hide();
  connect(frame_, &QMdiSubWindow::windowStateChanged, this, [this](Qt::WindowStates, Qt::WindowStates now) {
    if (!form_ || applying_state_) return;
    applying_state_ = true;
    form_->SetWindowState(now & Qt::WindowMinimized   ? tk::TWindowState::wsMinimized
                          : now & Qt::WindowMaximized ? tk::TWindowState::wsMaximized
                                                      : tk::TWindowState::wsNormal);
    applying_state_ = false;
  });
  return frame_;
}

QWidget* FormView::WidgetOf(const std::string& name) const {
  for (const auto& [control, entry] : entries_) {
    if (control->Name() == name) return entry.widget;
  }
  return nullptr;
}

QWidget* FormView::WidgetOf(const tk::TControl* control) const {
  const auto it = entries_.find(control);
  return it == entries_.end() ? nullptr : it->second.widget;
}

BusyOverlay& FormView::Busy() {
  if (!busy_) busy_ = new BusyOverlay(this);
  return *busy_;
}

QWidget* FormView::Build(tk::TControl& control, QWidget* parent) {
  QWidget* widget = nullptr;
  Mirror* mirror = nullptr;
  const auto mirrored = [&](auto* w) {
    widget = w;
    mirror = w;
  };
  if (auto* month = dynamic_cast<comp::TDateEditPlus*>(&control)) {
    mirrored(new MonthField(*month, *this, parent));
  } else if (auto* combo = dynamic_cast<tk::TComboBox*>(&control)) {
    mirrored(new MirrorComboBox(*combo, *this, parent));
  } else if (auto* edit = dynamic_cast<tk::TCustomEdit*>(&control)) {
    mirrored(new MirrorLineEdit(*edit, *this, parent));
  } else if (auto* check = dynamic_cast<tk::TCheckBox*>(&control)) {
    mirrored(new MirrorCheckBox(*check, *this, parent));
  } else if (auto* radio = dynamic_cast<tk::TRadioButton*>(&control)) {
    mirrored(new MirrorRadioButton(*radio, *this, parent));
  } else if (auto* list = dynamic_cast<tk::TCheckListBox*>(&control)) {
    mirrored(new MirrorCheckList(*list, *this, parent));
  } else if (auto* button = dynamic_cast<tk::TButtonControl*>(&control)) {
    auto* b = new MirrorButton(*button, *this, parent);
    const bool flat = control.ClassName() == "TButtonFlat";
    b->setIcon(flat ? ExportGlyph() : SearchGlyph());
    b->setIconSize(flat ? QSize(28, 28) : QSize(16, 16));
    b->setAutoRaise(flat);
    mirrored(b);
  } else if (dynamic_cast<tk::TGroupBox*>(&control)) {
    widget = new QGroupBox(parent);
  } else if (auto* panel = dynamic_cast<tk::TPanel*>(&control)) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(panel->Bevel() ? QFrame::Panel | QFrame::Raised : QFrame::NoFrame);
    widget = frame;
  } else if (dynamic_cast<tk::TLabel*>(&control) || dynamic_cast<tk::TImage*>(&control)) {
    widget = new QLabel(parent);
  } else if (dynamic_cast<tk::TProgressBar*>(&control)) {
    widget = new QProgressBar(parent);
  } else {
    widget = new QWidget(parent);
  }
  widget->setObjectName(QString::fromStdString(control.Name()));
  widget->setFont(ScreenFont(control.Bold()));
  if (!control.Hint().empty()) widget->setToolTip(QString::fromStdString(control.Hint()));
  entries_[&control] = {widget, mirror};

  if (auto* container = dynamic_cast<tk::TWinControl*>(&control)) {
    for (tk::TControl* child : container->Controls()) Build(*child, widget);
  }
  for (auto what :
       {tk::Property::Caption, tk::Property::Bounds, tk::Property::Enabled, tk::Property::Visible}) {
    Apply(control, what);
  }
  changed_.emplace_back(&control,
                        control.Changed.Connect([this](tk::TControl& c, tk::Property p) { Apply(c, p); }));
  return widget;
}

void FormView::Apply(tk::TControl& control, tk::Property what) {
  const auto it = entries_.find(&control);
  if (it == entries_.end()) return;
  QWidget* widget = it->second.widget;
  switch (what) {
    case tk::Property::Enabled: widget->setEnabled(control.Enabled()); return;
    case tk::Property::Visible: widget->setVisible(control.Visible()); return;
    case tk::Property::Caption: {
      const QString caption = QString::fromStdString(control.Caption());
      if (auto* label = qobject_cast<QLabel*>(widget)) label->setText(caption);
      if (auto* button = qobject_cast<QAbstractButton*>(widget);
          button && !qobject_cast<QToolButton*>(widget)) {
        button->setText(caption);
      }
      if (auto* group = qobject_cast<QGroupBox*>(widget)) group->setTitle(caption);
      Apply(control, tk::Property::Bounds);
      return;
    }
    case tk::Property::Bounds: {
      const tk::TRect& r = control.Bounds();
      int width = r.width;
      if (SizesToCaption(widget)) {
        // A caption grows its control, as far as its container's edge; one
        // that would pass it is set a pixel smaller at a time (the screen's
        // font is wider than the one it was laid out for), never cut.
        const int room = control.Parent() ? control.Parent()->Bounds().width - r.left : 0;
        QFont font = widget->font();
        while (room > 0 && widget->sizeHint().width() > room && font.pixelSize() > 8) {
          font.setPixelSize(font.pixelSize() - 1);
          widget->setFont(font);
        }
        width = std::max(r.width, widget->sizeHint().width());
      }
      widget->setGeometry(r.left, r.top, width, r.height);
      return;
    }
    default:
      if (it->second.mirror) it->second.mirror->Sync(what);
      return;
  }
}

void FormView::ApplyForm(tk::Property what) {
  switch (what) {
    case tk::Property::Caption:
      setWindowTitle(QString::fromStdString(form_->Caption()));
      if (frame_) frame_->setWindowTitle(windowTitle());
      return;
    case tk::Property::Visible:
      if (!form_->Visible()) (frame_ ? static_cast<QWidget*>(frame_) : this)->hide();
      return;
    case tk::Property::Bounds: {
      // The window state, and the repaint that Refresh asks for.
      QWidget* window = frame_ ? static_cast<QWidget*>(frame_) : this;
      if (!applying_state_) {
        applying_state_ = true;
        const bool minimized = window->isMinimized();
        if (form_->WindowState() == tk::TWindowState::wsMinimized && !minimized) window->showMinimized();
        if (form_->WindowState() == tk::TWindowState::wsNormal && (minimized || window->isMaximized())) {
          window->showNormal();
        }
        applying_state_ = false;
      }
      update();
      return;
    }
    default: return;
  }
}

void FormView::BringToFront() {
  QWidget* window = frame_ ? static_cast<QWidget*>(frame_) : this;
  if (form_->WindowState() == tk::TWindowState::wsNormal &&
      (window->isMinimized() || window->isMaximized())) {
    applying_state_ = true;
    window->showNormal();
    applying_state_ = false;
  }
  window->show();
  window->raise();
  if (frame_ && frame_->mdiArea()) {
    frame_->mdiArea()->setActiveSubWindow(frame_);
  } else {
    activateWindow();
  }
  FocusModelControl(form_->ActiveControl());
}

void FormView::RestoreFocus() {
  if (form_) FocusModelControl(form_->ActiveControl());
}

void FormView::FocusModelControl(tk::TControl* control) {
  if (QWidget* widget = WidgetOf(control)) widget->setFocus(Qt::OtherFocusReason);
}

bool FormView::eventFilter(QObject* watched, QEvent* event) {
  if (watched == frame_ && event->type() == QEvent::Close && form_) {
    // The window's close button closes the form in the model; the window
    // goes when the model destroys the form.
    event->ignore();
    tk::TForm* form = form_;
    tk::Application().Perform([form] { form->Close(); });
    return true;
  }
  if (event->type() == QEvent::KeyPress && form_) {
    auto* key = static_cast<QKeyEvent*>(event);
    auto* target = qobject_cast<QWidget*>(watched);
    const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
    if (tab && target && isAncestorOf(target) &&
        !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
      const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
      tk::TForm* form = form_;
      tk::Application().Perform([form, forward] { form->SelectNext(forward); });
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void FormView::Detach() {
  if (!form_) return;
  StopMirroring();
  if (frame_) {
    frame_->removeEventFilter(this);
    frame_->hide();
    frame_->deleteLater();
  } else {
    hide();
    deleteLater();
  }
}

void FormView::StopMirroring() {
  if (!form_) return;
  for (auto& [control, id] : changed_) control->Changed.Disconnect(id);
  changed_.clear();
  form_->FocusChanged.Disconnect(focus_connection_);
  form_->ShowRequested.Disconnect(show_connection_);
  form_ = nullptr;
  entries_.clear();
  if (busy_) busy_->Stop();
}

}  // namespace qtfront
