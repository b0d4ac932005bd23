#include "host/qt/pick_list_dialog.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "host/qt/palette.h"

namespace qtfront {

PickListDialog::PickListDialog(const tk::PickList& list, Mode mode, QWidget* parent)
    : QDialog(parent), mode_(mode) {
  setObjectName(mode == Mode::One ? "pesquisa" : "selecao");
  setWindowTitle(QString::fromStdString(list.title));
  setFont(ScreenFont());
  auto* layout = new QVBoxLayout(this);

  auto* filter_row = new QHBoxLayout;
  auto* filter_label = new QLabel("&Filtrar:", this);
  filter_label->setFont(ScreenFont(true));
  filter_ = new QLineEdit(this);
  filter_->setObjectName("filtro");
  filter_->setClearButtonEnabled(true);
  filter_->setPlaceholderText("parte de qualquer coluna");
  filter_label->setBuddy(filter_);
  filter_row->addWidget(filter_label);
  filter_row->addWidget(filter_);
  layout->addLayout(filter_row);

  table_ = new QTreeWidget(this);
  table_->setObjectName("linhas");
  table_->setRootIsDecorated(false);
  table_->setAllColumnsShowFocus(true);
  table_->setUniformRowHeights(true);
  table_->setAlternatingRowColors(true);
  table_->setSelectionMode(QAbstractItemView::SingleSelection);
  QStringList labels;
  for (const auto& column : list.columns) labels << QString::fromStdString(column.label);
  table_->setHeaderLabels(labels);
  table_->header()->setFont(ScreenFont(true));
  for (std::size_t r = 0; r < list.rows.size(); ++r) {
    auto* item = new QTreeWidgetItem(table_);
    for (std::size_t c = 0; c < list.rows[r].size() && c < list.columns.size(); ++c) {
      item->setText(static_cast<int>(c), QString::fromStdString(list.rows[r][c]));
    }
    item->setData(0, Qt::UserRole, QVariant::fromValue<qulonglong>(r));
    if (mode == Mode::Many) {
      item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
      item->setCheckState(0, Qt::Unchecked);
    }
  }
  for (std::size_t r : list.preselected) {
    if (r >= list.rows.size()) continue;
    QTreeWidgetItem* item = table_->topLevelItem(static_cast<int>(r));
    if (mode == Mode::Many) {
      item->setCheckState(0, Qt::Checked);
    } else {
      table_->setCurrentItem(item);
    }
  }
  if (!table_->currentItem() && table_->topLevelItemCount() > 0)
    table_->setCurrentItem(table_->topLevelItem(0));

  const QFontMetrics metrics(font());
  int total = 0;
  for (int c = 0; c < static_cast<int>(list.columns.size()); ++c) {
    table_->resizeColumnToContents(c);
    const int chars = list.columns[static_cast<std::size_t>(c)].display_width;
    int width = std::max(table_->columnWidth(c), table_->header()->sectionSizeHint(c));
    if (chars > 0) width = std::max(width, chars * metrics.averageCharWidth() + 12);
    width = std::min(width + (c == 0 && mode == Mode::Many ? 24 : 8), 420);
    table_->setColumnWidth(c, width);
    total += width;
  }
  table_->setMinimumWidth(std::max(300, total + 30));
  table_->setMinimumHeight(std::min(420, 40 + 20 * std::max(4, table_->topLevelItemCount())));
  layout->addWidget(table_);

  auto* buttons = new QDialogButtonBox(this);
  if (mode == Mode::Many) {
    auto* all = buttons->addButton("Marcar todos", QDialogButtonBox::ActionRole);
    auto* none = buttons->addButton("Desmarcar todos", QDialogButtonBox::ActionRole);
    all->setAutoDefault(false);
    none->setAutoDefault(false);
    connect(all, &QPushButton::clicked, this, [this] { SetAllVisible(Qt::Checked); });
    connect(none, &QPushButton::clicked, this, [this] { SetAllVisible(Qt::Unchecked); });
  }
  ok_ = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
  ok_->setDefault(true);
  buttons->addButton("Cancelar", QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(filter_, &QLineEdit::textChanged, this, [this](const QString& text) { ApplyFilter(text); });
  connect(table_, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) {
    if (mode_ == Mode::One) {
      table_->setCurrentItem(item);
      accept();
    } else {
      item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    }
  });
  filter_->installEventFilter(this);
  table_->installEventFilter(this);
  filter_->setFocus();
  if (table_->currentItem()) table_->scrollToItem(table_->currentItem());
  UpdateOk();
}

int PickListDialog::VisibleRows() const {
  int visible = 0;
  for (int i = 0; i < table_->topLevelItemCount(); ++i)
    visible += table_->topLevelItem(i)->isHidden() ? 0 : 1;
  return visible;
}

std::vector<std::size_t> PickListDialog::ChosenRows() const {
  std::vector<std::size_t> rows;
  if (mode_ == Mode::One) {
    const QTreeWidgetItem* item = table_->currentItem();
    if (item && !item->isHidden()) rows.push_back(item->data(0, Qt::UserRole).toULongLong());
    return rows;
  }
  for (int i = 0; i < table_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = table_->topLevelItem(i);
    if (item->checkState(0) == Qt::Checked) rows.push_back(item->data(0, Qt::UserRole).toULongLong());
  }
  return rows;
}

void PickListDialog::ApplyFilter(const QString& text) {
  const QString wanted = text.trimmed();
  QTreeWidgetItem* first_visible = nullptr;
  for (int i = 0; i < table_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = table_->topLevelItem(i);
    bool match = wanted.isEmpty();
    for (int c = 0; !match && c < table_->columnCount(); ++c) {
      match = item->text(c).contains(wanted, Qt::CaseInsensitive);
    }
    item->setHidden(!match);
    if (match && !first_visible) first_visible = item;
  }
  if (!table_->currentItem() || table_->currentItem()->isHidden()) table_->setCurrentItem(first_visible);
  UpdateOk();
}

void PickListDialog::SetAllVisible(Qt::CheckState state) {
  for (int i = 0; i < table_->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = table_->topLevelItem(i);
    if (!item->isHidden()) item->setCheckState(0, state);
  }
}

void PickListDialog::UpdateOk() { ok_->setEnabled(mode_ == Mode::Many || VisibleRows() > 0); }

bool PickListDialog::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QDialog::eventFilter(watched, event);
  auto* key = static_cast<QKeyEvent*>(event);
  if (watched == filter_) {
    // The arrows and page keys move through the rows while the filter is typed.
    switch (key->key()) {
      case Qt::Key_Up:
      case Qt::Key_Down:
      case Qt::Key_PageUp:
      case Qt::Key_PageDown: QCoreApplication::sendEvent(table_, event); return true;
      case Qt::Key_Space:
        if (mode_ == Mode::Many && filter_->text().isEmpty() && table_->currentItem()) {
          QTreeWidgetItem* item = table_->currentItem();
          item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
          return true;
        }
        break;
      default: break;
    }
  }
  if (watched == table_ && key->key() == Qt::Key_Space && mode_ == Mode::Many && table_->currentItem()) {
    QTreeWidgetItem* item = table_->currentItem();
    item->setCheckState(0, item->checkState(0) == Qt::Checked ? Qt::Unchecked : Qt::Checked);
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace qtfront
