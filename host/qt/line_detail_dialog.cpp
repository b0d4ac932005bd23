#include "host/qt/line_detail_dialog.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QVBoxLayout>
#include <algorithm>

#include "host/qt/check_words.h"
#include "host/qt/palette.h"

namespace qtfront {
namespace {

QString FormatWord(layout::Format format) {
  switch (format) {
    case layout::Format::N: return QString::fromUtf8("N (numérico)");
    case layout::Format::X: return "X (texto)";
    case layout::Format::Date: return "data (AAAAMMDD)";
  }
  return {};
}

// "        10        20": each ten's number ends on its position.
QString TensRuler(std::size_t width) {
  QString ruler(static_cast<qsizetype>(width), ' ');
  for (std::size_t p = 10; p <= width; p += 10) {
    const QString number = QString::number(p);
    ruler.replace(static_cast<qsizetype>(p) - number.size(), number.size(), number);
  }
  return ruler;
}

QString UnitsRuler(std::size_t width) {
  QString ruler;
  for (std::size_t p = 1; p <= width; ++p) ruler += QChar('0' + static_cast<char>(p % 10));
  return ruler;
}

// One column per byte, as the layout counts positions; a control character
// is shown by its symbol so that it takes its column and can be seen.
QString Columns(const std::string& line) {
  QString shown;
  for (unsigned char c : line) {
    if (c < 0x20) {
      shown += QChar(0x2400 + c);
    } else if (c == 0x7F) {
      shown += QChar(0x2421);
    } else {
      shown += QChar(c);  // ISO-8859-1: the byte is the code point
    }
  }
  return shown;
}

QTableWidgetItem* Cell(const QString& text, bool number = false) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  if (number) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  return item;
}

}  // namespace

LineDetailDialog::LineDetailDialog(const layout::Problem& problem, LineReader read, QWidget* parent)
    : QDialog(parent), read_(std::move(read)), field_(problem.field) {
  setObjectName("linha_do_achado");
  setWindowTitle("Linha do arquivo");
  setFont(ScreenFont());
  auto* layout = new QVBoxLayout(this);

  QString what = FileText(problem.message);
  if (!problem.document.empty()) what += " [" + FileText(problem.document) + "]";
  title_ = new QLabel(what, this);
  title_->setWordWrap(true);
  title_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(title_);

  auto* choice_row = new QHBoxLayout;
  auto* choice_label = new QLabel("&Linha:", this);
  choice_ = new QComboBox(this);
  choice_->setObjectName("linhas");
  choice_label->setBuddy(choice_);
  for (std::size_t i = 0; i < problem.lines.size() && i < static_cast<std::size_t>(kLinesListed); ++i) {
    if (problem.lines[i] > 0)
      choice_->addItem(Thousands(problem.lines[i]), QVariant::fromValue<qlonglong>(problem.lines[i]));
  }
  choice_row->addWidget(choice_label);
  choice_row->addWidget(choice_);
  if (problem.count > kLinesListed) {
    choice_row->addWidget(new QLabel(QString::fromUtf8("(as primeiras ") + Thousands(kLinesListed) + " de " +
                                         Thousands(problem.count) + ")",
                                     this));
  }
  choice_row->addStretch();
  layout->addLayout(choice_row);

  view_ = new QPlainTextEdit(this);
  view_->setObjectName("linha");
  view_->setReadOnly(true);
  view_->setLineWrapMode(QPlainTextEdit::NoWrap);
  view_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  const QFontMetrics metrics(view_->font());
  view_->setMinimumWidth(metrics.horizontalAdvance(QString(130, 'M')) + 30);
  view_->setFixedHeight(metrics.lineSpacing() * 4 + 30);
  layout->addWidget(view_);

  field_label_ = new QLabel(this);
  field_label_->setObjectName("campo");
  field_label_->setWordWrap(true);
  layout->addWidget(field_label_);

  fields_ = new QTableWidget(0, 5, this);
  fields_->setObjectName("leiaute");
  fields_->setHorizontalHeaderLabels({"Campo", QString::fromUtf8("Início"), "Fim", "Tamanho", "Formato"});
  fields_->verticalHeader()->hide();
  fields_->setSelectionBehavior(QAbstractItemView::SelectRows);
  fields_->setSelectionMode(QAbstractItemView::SingleSelection);
  fields_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fields_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(fields_);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  buttons->button(QDialogButtonBox::Close)->setText("Fechar");
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);

  connect(choice_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0) ShowLine(choice_->itemData(index).toLongLong());
  });
  if (choice_->count() > 0) ShowLine(choice_->itemData(0).toLongLong());
}

void LineDetailDialog::ShowLine(long number) {
  marked_.reset();
  const std::optional<std::string> line = read_(number);
  if (!line) {
    view_->setPlainText(QString::fromUtf8("A linha ") + Thousands(number) +
                        QString::fromUtf8(" não pôde ser lida do arquivo."));
    field_label_->clear();
    fields_->setRowCount(0);
    return;
  }
  const std::string layout_name = layout::LayoutOf(*line);
  const auto found = layout::RegisterLayouts().find(layout_name);
  const std::vector<layout::RegisterField>* fields =
      found == layout::RegisterLayouts().end() ? nullptr : &found->second;
  const layout::RegisterField* field = nullptr;
  if (fields && !field_.empty()) {
    const auto it = std::find_if(fields->begin(), fields->end(),
                                 [this](const layout::RegisterField& f) { return field_ == f.name; });
    if (it != fields->end()) field = &*it;
  }

  const std::size_t width = std::max<std::size_t>(line->size(), field ? field->start + field->width - 1 : 0);
  QString marker;
  if (field) {
    marker = QString(static_cast<qsizetype>(field->start) - 1, ' ') +
             QString(static_cast<qsizetype>(field->width), '^');
  }
  view_->setPlainText(TensRuler(width) + "\n" + UnitsRuler(width) + "\n" + Columns(*line) + "\n" + marker);
  if (field && field->start <= line->size()) {
    const std::size_t last = std::min(line->size(), field->start + field->width - 1);
    marked_ = std::make_pair(field->start, last);
    const QTextBlock block = view_->document()->findBlockByNumber(2);
    QTextCursor cursor(block);
    cursor.setPosition(block.position() + static_cast<int>(field->start) - 1);
    cursor.setPosition(block.position() + static_cast<int>(last), QTextCursor::KeepAnchor);
    QTextCharFormat format;
    format.setBackground(QColor(0xFF, 0xE0, 0x60));
    format.setFontWeight(QFont::Bold);
    cursor.mergeCharFormat(format);
  }
  ShowLayout(layout_name, fields, field, line->size());
}

void LineDetailDialog::ShowLayout(const std::string& layout_name,
                                  const std::vector<layout::RegisterField>* fields,
                                  const layout::RegisterField* field, std::size_t line_width) {
  const QString name = QString::fromStdString(layout_name);
  fields_->setRowCount(0);
  if (!fields) {
    field_label_->setText(QString::fromUtf8("O registro “") + FileText(layout_name) +
                          QString::fromUtf8("” não tem leiaute conhecido."));
    return;
  }
  for (const layout::RegisterField& f : *fields) {
    const int row = fields_->rowCount();
    fields_->insertRow(row);
    fields_->setItem(row, 0, Cell(QString::fromUtf8(f.name)));
    fields_->setItem(row, 1, Cell(QString::number(f.start), true));
    fields_->setItem(row, 2, Cell(QString::number(f.start + f.width - 1), true));
    fields_->setItem(row, 3, Cell(QString::number(f.width), true));
    fields_->setItem(row, 4, Cell(FormatWord(f.format)));
    if (&f == field) fields_->selectRow(row);
  }
  fields_->resizeColumnsToContents();
  if (field) {
    QString text = "Campo " + QString::fromUtf8(field->name) + QString::fromUtf8(" do registro ") + name +
                   QString::fromUtf8(": posições ") + QString::number(field->start) + QString::fromUtf8("–") +
                   QString::number(field->start + field->width - 1) + ", " + QString::number(field->width) +
                   (field->width == 1 ? QString::fromUtf8(" posição") : QString::fromUtf8(" posições")) +
                   ", formato " + FormatWord(field->format) + ".";
    if (line_width < field->start + field->width - 1)
      text += QString::fromUtf8(" A linha tem só ") + QString::number(line_width) +
              QString::fromUtf8(" posições.");
    field_label_->setText(text);
  } else if (!field_.empty()) {
    field_label_->setText("O campo " + FileText(field_) +
                          QString::fromUtf8(" não tem posição própria no leiaute do registro ") + name + ".");
  } else {
    field_label_->setText(QString::fromUtf8("O achado é da linha toda; o leiaute do registro ") + name + ":");
  }
}

}  // namespace qtfront
