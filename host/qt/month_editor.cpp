#include "host/qt/month_editor.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QVBoxLayout>

#include "host/qt/palette.h"

namespace qtfront {

MonthYearEditor::MonthYearEditor(int month, int year, QWidget* parent) : QDialog(parent), month_(month) {
  setWindowTitle("Mês de referência");
  setFont(ScreenFont());
  auto* layout = new QVBoxLayout(this);
  year_ = new QSpinBox(this);
  year_->setObjectName("ano");
  year_->setRange(1900, 2999);
  year_->setValue(year);
  year_->setAlignment(Qt::AlignCenter);
  year_->setFont(ScreenFont(true));
  layout->addWidget(year_);

  static const char* const kNames[] = {"Jan", "Fev", "Mar", "Abr", "Mai", "Jun",
                                       "Jul", "Ago", "Set", "Out", "Nov", "Dez"};
  auto* grid = new QGridLayout;
  for (int m = 1; m <= 12; ++m) {
    auto* button = new QPushButton(kNames[m - 1], this);
    button->setObjectName(QString("mes%1").arg(m));
    button->setCheckable(true);
    button->setChecked(m == month);
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, m] {
      month_ = m;
      accept();
    });
    months_[static_cast<std::size_t>(m - 1)] = button;
    grid->addWidget(button, (m - 1) / 4, (m - 1) % 4);
  }
  layout->addLayout(grid);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText("OK");
  buttons->button(QDialogButtonBox::Cancel)->setText("Cancelar");
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
  year_->setFocus();
}

int MonthYearEditor::Year() const { return year_->value(); }

}  // namespace qtfront
