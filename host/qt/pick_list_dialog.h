#pragma once
// The search list: the rows of a dataset under the labels of its visible
// fields, a filter box above them, and the choice of one row (Enter or a
// double click) or of several rows (check boxes) with OK.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <vector>

#include "host/toolkit/dialogs.h"

namespace qtfront {

class PickListDialog : public QDialog {
 public:
  enum class Mode { One, Many };
  PickListDialog(const tk::PickList& list, Mode mode, QWidget* parent = nullptr);

  // One: the current row; Many: the ticked rows, in list order.
  std::vector<std::size_t> ChosenRows() const;
  QLineEdit* FilterBox() const { return filter_; }
  QTreeWidget* Table() const { return table_; }
  // Rows that the filter leaves visible.
  int VisibleRows() const;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void ApplyFilter(const QString& text);
  void SetAllVisible(Qt::CheckState state);
  void UpdateOk();

  Mode mode_;
  QLineEdit* filter_;
  QTreeWidget* table_;
  QPushButton* ok_;
};

}  // namespace qtfront
