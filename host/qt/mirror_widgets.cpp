#include "host/qt/mirror_widgets.h"

#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QStyle>
#include <QStyleOptionViewItem>
#include <utility>

#include "host/qt/form_view.h"
#include "host/qt/palette.h"
#include "host/toolkit/application.h"
#include "host/toolkit/form.h"
#include "lib/text/utf8.h"

namespace qtfront {

bool UserAction(FormView& view, const std::function<void()>& action) {
  if (!view.Attached()) return false;
  const bool completed = tk::Application().Perform(action);
  return completed && view.Attached();
}

bool Attached(const FormView& view) { return view.Attached(); }

bool FocusByUser(FormView& view, tk::TControl& control) {
  if (!view.Attached()) return false;
  tk::TForm& form = *view.form();
  if (form.ActiveControl() == &control) return true;
  UserAction(view, [&] { form.FocusControl(&control); });
  return view.Attached() && form.ActiveControl() == &control;
}

// ---------------------------------------------------------------------------

MirrorLineEdit::MirrorLineEdit(tk::TCustomEdit& edit, FormView& view, QWidget* parent)
    : QLineEdit(parent), edit_(edit), view_(view) {
  setFocusPolicy(Qt::NoFocus);
  setContextMenuPolicy(Qt::NoContextMenu);
  setDragEnabled(false);
  setAcceptDrops(false);
  setTextMargins(0, 0, 0, 0);
  Sync(tk::Property::Text);
  Sync(tk::Property::Color);
}

void MirrorLineEdit::Sync(tk::Property what) {
  switch (what) {
    case tk::Property::Text:
    case tk::Property::Selection: {
      const QString shown = QString::fromStdString(edit_.DisplayText());
      if (text() != shown) setText(shown);
      if (edit_.SelLength() > 0) {
        setSelection(edit_.SelStart(), edit_.SelLength());
      } else {
        setCursorPosition(edit_.SelStart());
      }
      anchor_ = edit_.SelStart();
      caret_ = edit_.SelStart() + edit_.SelLength();
      break;
    }
    case tk::Property::Color: SetFieldColor(*this, edit_.Color()); break;
    default: break;
  }
}

bool MirrorLineEdit::EnsureFocus() { return FocusByUser(view_, edit_); }

void MirrorLineEdit::TypeText(const QString& text) {
  for (char32_t c : text.toUcs4()) {
    if (c < 0x20 || c == 0x7f) continue;
    if (!EnsureFocus()) return;
    if (!UserAction(view_, [&] { edit_.KeyPress(c); })) return;
  }
}

void MirrorLineEdit::MoveCaret(int position, bool extend) {
  const int length = static_cast<int>(QString::fromStdString(edit_.DisplayText()).size());
  position = std::clamp(position, 0, length);
  if (!extend) {
    edit_.SetSelection(position, 0);
    return;
  }
  const int anchor = anchor_;
  edit_.SetSelection(std::min(anchor, position), std::abs(position - anchor));
  anchor_ = anchor;
  caret_ = position;
}

void MirrorLineEdit::PushSelection() {
  if (!view_.Attached() || view_.form()->ActiveControl() != &edit_) return;
  if (hasSelectedText()) {
    edit_.SetSelection(selectionStart(), static_cast<int>(selectedText().size()));
    return;
  }
  int caret = cursorPosition();
  // A click behind the filled part of a masked field puts the caret on its
  // first empty position, where typing goes on.
  if (auto* masked = dynamic_cast<tk::TMaskEdit*>(&edit_); masked && !masked->Mask().Empty()) {
    const auto cells = ::text::utf8::Split(masked->DisplayText());
    const tk::EditMask& mask = masked->Mask();
    for (std::size_t i = 0; i < cells.size() && i < mask.Size(); ++i) {
      if (!mask.IsLiteral(i) && cells[i] == mask.Blank()) {
        caret = std::min(caret, static_cast<int>(i));
        break;
      }
    }
  }
  edit_.SetSelection(caret, 0);
}

void MirrorLineEdit::keyPressEvent(QKeyEvent* event) {
  if (OwnKeys && OwnKeys(*event)) return;
  const bool shift = event->modifiers() & Qt::ShiftModifier;
  const int caret = caret_;
  if (event->matches(QKeySequence::SelectAll)) {
    edit_.SelectAll();
  } else if (event->matches(QKeySequence::Copy)) {
    if (hasSelectedText()) QGuiApplication::clipboard()->setText(selectedText());
  } else if (event->matches(QKeySequence::Paste)) {
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    if (EnsureFocus()) UserAction(view_, [&] { edit_.Paste(text); });
  } else if (event->matches(QKeySequence::Cut)) {
    if (hasSelectedText() && edit_.SelLength() > 0) {
      QGuiApplication::clipboard()->setText(selectedText());
      if (EnsureFocus()) UserAction(view_, [&] { edit_.KeyPress(tk::kBackspace); });
    }
  } else {
    switch (event->key()) {
      case Qt::Key_Left: MoveCaret(caret - 1, shift); break;
      case Qt::Key_Right: MoveCaret(caret + 1, shift); break;
      case Qt::Key_Home: MoveCaret(0, shift); break;
      case Qt::Key_End: MoveCaret(static_cast<int>(text().size()), shift); break;
      case Qt::Key_Backspace:
        if (EnsureFocus()) UserAction(view_, [&] { edit_.KeyPress(tk::kBackspace); });
        break;
      case Qt::Key_Delete:
        // Delete goes through the key filter like every other edit, so that a
        // field whose filter refuses typing cannot be emptied around it.
        if (!EnsureFocus()) break;
        if (edit_.SelLength() == 0) edit_.SetSelection(edit_.SelStart(), 1);
        if (edit_.SelLength() > 0) UserAction(view_, [&] { edit_.KeyPress(tk::kBackspace); });
        break;
      default:
        if (event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier) ||
            event->text().isEmpty()) {
          event->ignore();
          return;
        }
        TypeText(event->text());
    }
  }
  event->accept();
}

void MirrorLineEdit::inputMethodEvent(QInputMethodEvent* event) {
  TypeText(event->commitString());
  event->accept();
}

void MirrorLineEdit::mousePressEvent(QMouseEvent* event) {
  const bool entering = view_.Attached() && view_.form()->ActiveControl() != &edit_;
  if (!EnsureFocus()) return;
  if (entering && SelectAllOnEntry) {
    // Entering selected the whole text; the click does not move the caret.
    entered_by_click_ = true;
    Sync(tk::Property::Selection);
    return;
  }
  QLineEdit::mousePressEvent(event);
}

void MirrorLineEdit::mouseMoveEvent(QMouseEvent* event) {
  if (!entered_by_click_) QLineEdit::mouseMoveEvent(event);
}

void MirrorLineEdit::mouseReleaseEvent(QMouseEvent* event) {
  if (std::exchange(entered_by_click_, false)) return;
  QLineEdit::mouseReleaseEvent(event);
  PushSelection();
}

void MirrorLineEdit::mouseDoubleClickEvent(QMouseEvent* event) {
  if (!EnsureFocus()) return;
  QLineEdit::mouseDoubleClickEvent(event);
  PushSelection();
}

// ---------------------------------------------------------------------------

MirrorComboBox::MirrorComboBox(tk::TComboBox& combo, FormView& view, QWidget* parent)
    : QComboBox(parent), combo_(combo), view_(view) {
  setFocusPolicy(Qt::NoFocus);
  setEditable(true);
  setInsertPolicy(QComboBox::NoInsert);
  line_ = new MirrorLineEdit(combo, view, this);
  setLineEdit(line_);
  setCompleter(nullptr);
  line_->OwnKeys = [this](QKeyEvent& event) {
    const int index = combo_.ItemIndex();
    if (event.key() == Qt::Key_F4 || (event.key() == Qt::Key_Down && (event.modifiers() & Qt::AltModifier))) {
      showPopup();
    } else if (event.key() == Qt::Key_Down) {
      if (index + 1 < count()) Choose(index + 1);
    } else if (event.key() == Qt::Key_Up) {
      if (index > 0) Choose(index - 1);
    } else {
      return false;
    }
    return true;
  };
  connect(this, &QComboBox::activated, this, [this](int index) { Choose(index); });
  Sync(tk::Property::Items);
}

void MirrorComboBox::Choose(int index) {
  if (FocusByUser(view_, combo_)) UserAction(view_, [&] { combo_.SelectItem(index); });
  if (view_.Attached()) Sync(tk::Property::Text);
}

void MirrorComboBox::Sync(tk::Property what) {
  if (what == tk::Property::Items) {
    const QSignalBlocker block(this);
    clear();
    for (const auto& item : combo_.Items()) addItem(QString::fromStdString(item));
    what = tk::Property::Text;
  }
  if (what == tk::Property::Text) {
    const QSignalBlocker block(this);
    setCurrentIndex(combo_.ItemIndex());
  }
  line_->Sync(what);
}

void MirrorComboBox::mousePressEvent(QMouseEvent* event) {
  if (!FocusByUser(view_, combo_)) return;
  QComboBox::mousePressEvent(event);
}

// The wheel would change the item without the user meaning to.
void MirrorComboBox::wheelEvent(QWheelEvent* event) { event->ignore(); }

// ---------------------------------------------------------------------------

// ---------------------------------------------------------------------------

MirrorCheckList::MirrorCheckList(tk::TCheckListBox& list, FormView& view, QWidget* parent)
    : QListWidget(parent), list_(list), view_(view) {
  setFocusPolicy(Qt::NoFocus);
  setUniformItemSizes(true);
  setSelectionMode(QAbstractItemView::SingleSelection);
  Sync(tk::Property::Items);
}

void MirrorCheckList::Sync(tk::Property what) {
  if (what == tk::Property::Items) {
    clear();
    for (const auto& text : list_.Items()) {
      auto* item = new QListWidgetItem(QString::fromStdString(text), this);
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
      item->setSizeHint(QSize(0, list_.ItemHeight()));
    }
    what = tk::Property::ItemChecked;
  }
  if (what == tk::Property::ItemChecked) {
    for (int row = 0; row < count(); ++row) {
      item(row)->setCheckState(list_.Checked(static_cast<std::size_t>(row)) ? Qt::Checked : Qt::Unchecked);
    }
  }
}

void MirrorCheckList::Toggle(int row) {
  if (row < 0 || row >= count()) return;
  if (FocusByUser(view_, list_)) {
    UserAction(view_, [&] { list_.ToggleByUser(static_cast<std::size_t>(row)); });
  }
  if (view_.Attached()) Sync(tk::Property::ItemChecked);
}

void MirrorCheckList::mousePressEvent(QMouseEvent* event) {
  if (!FocusByUser(view_, list_)) return;
  const QModelIndex index = indexAt(event->position().toPoint());
  if (!index.isValid()) return;
  setCurrentRow(index.row());
  // Only a click on the item's box ticks it, as in the host's check lists.
  QStyleOptionViewItem option;
  option.initFrom(this);
  option.rect = visualRect(index);
  option.features |= QStyleOptionViewItem::HasCheckIndicator;
  const QRect box = style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &option, this);
  if (event->position().x() <= box.right() + 2) Toggle(index.row());
}

void MirrorCheckList::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Space) {
    Toggle(currentRow() < 0 ? 0 : currentRow());
    return;
  }
  QListWidget::keyPressEvent(event);
}

// ---------------------------------------------------------------------------

MirrorButton::MirrorButton(tk::TButtonControl& button, FormView& view, QWidget* parent)
    : QToolButton(parent) {
  setFocusPolicy(Qt::NoFocus);
  setToolTip(QString::fromStdString(button.Hint()));
  connect(this, &QToolButton::clicked, this, [&button, &view] { UserAction(view, [&] { button.Click(); }); });
}

}  // namespace qtfront
