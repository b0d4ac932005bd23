#pragma once
// The month field: the masked edit of a month and year with a button that
// opens the month/year editor; Up and Down step the month.
#include <QToolButton>
#include <QWidget>

#include "host/components/date_edit_plus.h"
#include "host/qt/mirror_widgets.h"

namespace qtfront {

class MonthField : public QWidget, public Mirror {
 public:
  MonthField(comp::TDateEditPlus& field, FormView& view, QWidget* parent);
  void Sync(tk::Property what) override;
  MirrorLineEdit* edit() const { return edit_; }
  QToolButton* button() const { return button_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void OpenEditor();
  void Step(int months);
  // The month and year the text holds, or the current month.
  std::pair<int, int> Current() const;
  void Write(int month, int year);

  comp::TDateEditPlus& field_;
  FormView& view_;
  MirrorLineEdit* edit_;
  QToolButton* button_;
};

}  // namespace qtfront
