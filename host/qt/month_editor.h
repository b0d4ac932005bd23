#pragma once
// The month/year editor of the month fields: a year with arrows and the
// twelve months; a click on a month (or Enter) chooses it.
#include <QDialog>
#include <QPushButton>
#include <QSpinBox>
#include <array>

namespace qtfront {

class MonthYearEditor : public QDialog {
 public:
  MonthYearEditor(int month, int year, QWidget* parent = nullptr);
  int Month() const { return month_; }
  int Year() const;
  QPushButton* MonthButton(int month) const { return months_[static_cast<std::size_t>(month - 1)]; }
  QSpinBox* YearBox() const { return year_; }

 private:
  int month_;
  QSpinBox* year_;
  std::array<QPushButton*, 12> months_{};
};

}  // namespace qtfront
