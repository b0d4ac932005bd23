#include "host/qt/month_field.h"

#include <QDate>
#include <QKeyEvent>
#include <cstdio>

#include "host/qt/form_view.h"
#include "host/qt/glyphs.h"
#include "host/qt/month_editor.h"

namespace qtfront {
namespace {
constexpr int kButtonWidth = 18;
}

MonthField::MonthField(comp::TDateEditPlus& field, FormView& view, QWidget* parent)
    : QWidget(parent), field_(field), view_(view) {
  edit_ = new MirrorLineEdit(field, view, this);
  edit_->SelectAllOnEntry = true;
  setFocusProxy(edit_);
  button_ = new QToolButton(this);
  button_->setFocusPolicy(Qt::NoFocus);
  button_->setIcon(MonthGlyph());
  button_->setToolTip("Escolher mês e ano");
  connect(button_, &QToolButton::clicked, this, [this] { OpenEditor(); });
  edit_->OwnKeys = [this](QKeyEvent& event) {
    if (event.key() == Qt::Key_F4 || (event.key() == Qt::Key_Down && (event.modifiers() & Qt::AltModifier))) {
      OpenEditor();
    } else if (event.key() == Qt::Key_Up) {
      Step(1);
    } else if (event.key() == Qt::Key_Down) {
      Step(-1);
    } else {
      return false;
    }
    return true;
  };
}

void MonthField::Sync(tk::Property what) { edit_->Sync(what); }

void MonthField::resizeEvent(QResizeEvent*) {
  edit_->setGeometry(0, 0, width() - kButtonWidth, height());
  button_->setGeometry(width() - kButtonWidth, 0, kButtonWidth, height());
}

std::pair<int, int> MonthField::Current() const {
  int month = 0;
  int year = 0;
  if (std::sscanf(field_.Text().c_str(), "%d/%d", &month, &year) == 2 && month >= 1 && month <= 12 &&
      year >= 1900 && year <= 9999) {
    return {month, year};
  }
  const QDate today = QDate::currentDate();
  return {today.month(), today.year()};
}

void MonthField::Write(int month, int year) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d/%04d", month, year);
  // A choice in the editor is written as the program writes it, which runs
  // the field's change handler like any other write.
  if (FocusByUser(view_, field_)) UserAction(view_, [&] { field_.SetText(text); });
}

void MonthField::Step(int months) {
  auto [month, year] = Current();
  const int index = year * 12 + (month - 1) + months;
  Write(index % 12 + 1, index / 12);
}

void MonthField::OpenEditor() {
  if (!FocusByUser(view_, field_)) return;
  const auto [month, year] = Current();
  MonthYearEditor editor(month, year, this);
  if (editor.exec() == QDialog::Accepted && view_.Attached()) Write(editor.Month(), editor.Year());
}

}  // namespace qtfront
