#include "host/qt/check_window.h"

#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QVBoxLayout>

#include "host/qt/check_words.h"
#include "host/qt/findings_csv.h"
#include "host/qt/palette.h"

namespace qtfront {
namespace {

constexpr int kProgressSteps = 1000;

}  // namespace

CheckWindow::CheckWindow(QWidget* parent) : QWidget(parent) {
  setObjectName("verificacao");
  setWindowTitle(QString::fromUtf8("Verificar arquivo magnético"));
  setFont(ScreenFont());
  auto* layout = new QVBoxLayout(this);

  auto* file_row = new QHBoxLayout;
  auto* file_label = new QLabel("Arquivo:", this);
  file_label->setFont(ScreenFont(true));
  file_ = new QLineEdit(this);
  file_->setObjectName("arquivo");
  file_->setReadOnly(true);
  file_->setPlaceholderText("nenhum arquivo aberto");
  choose_ = new QPushButton(QString::fromUtf8("&Abrir…"), this);
  choose_->setObjectName("abrir");
  cancel_ = new QPushButton("&Cancelar", this);
  cancel_->setObjectName("cancelar");
  export_ = new QPushButton(QString::fromUtf8("&Exportar CSV…"), this);
  export_->setObjectName("exportar");
  file_row->addWidget(file_label);
  file_row->addWidget(file_, 1);
  file_row->addWidget(choose_);
  file_row->addWidget(cancel_);
  file_row->addWidget(export_);
  layout->addLayout(file_row);

  progress_ = new QProgressBar(this);
  progress_->setObjectName("progresso");
  progress_->setRange(0, kProgressSteps);
  progress_->setValue(0);
  progress_->setFormat("%p%");
  layout->addWidget(progress_);

  summary_ = new QLabel(this);
  summary_->setObjectName("resumo");
  summary_->setFont(ScreenFont(true));
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  layout->addWidget(summary_);

  model_ = new FindingsModel(this);
  tree_ = new QTreeView(this);
  tree_->setObjectName("achados");
  tree_->setModel(model_);
  tree_->setUniformRowHeights(true);
  tree_->setAllColumnsShowFocus(true);
  tree_->setAlternatingRowColors(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->header()->setStretchLastSection(true);
  tree_->header()->setFont(ScreenFont(true));
  tree_->setMinimumSize(760, 300);
  layout->addWidget(tree_, 1);

  connect(choose_, &QPushButton::clicked, this, [this] { Choose(); });
  connect(cancel_, &QPushButton::clicked, this, [this] { Cancel(); });
  connect(export_, &QPushButton::clicked, this, [this] { AskExport(); });
  connect(tree_, &QTreeView::doubleClicked, this, [this](const QModelIndex& index) {
    if (model_->IsMoreRow(index)) {
      model_->ShowMore(index);
    } else if (LineDetailDialog* dialog = ShowFinding(index)) {
      dialog->show();
    }
  });
  poll_.setInterval(50);
  connect(&poll_, &QTimer::timeout, this, [this] { ShowProgress(); });
  SetState(State::Idle);
}

CheckWindow::~CheckWindow() {
  // Stops the reading at its next block and waits for the thread; what it
  // posted to this window goes with the window.
  job_.reset();
}

void CheckWindow::Open(const QString& path) {
  if (job_) Cancel();
  path_ = path;
  file_->setText(QDir::toNativeSeparators(path));
  outcome_.reset();
  model_->Clear();
  progress_->setValue(0);
  summary_->setText(QString::fromUtf8("Verificando…"));
  const unsigned generation = ++generation_;
  job_ = std::make_unique<CheckJob>(
      QFile::encodeName(path).toStdString(), [this, generation](std::shared_ptr<const CheckOutcome> outcome) {
        // On the job's thread: the window takes it on its own.
        QMetaObject::invokeMethod(
            this, [this, outcome, generation] { Finished(outcome, generation); }, Qt::QueuedConnection);
      });
  poll_.start();
  SetState(State::Checking);
}

void CheckWindow::Choose() {
  const QString start = path_.isEmpty() ? QDir::homePath() : QFileInfo(path_).absolutePath();
  const QString path = QFileDialog::getOpenFileName(
      this, QString::fromUtf8("Verificar arquivo magnético"), start,
      QString::fromUtf8("Arquivos magnéticos (*.txt *.TXT);;Todos os arquivos (*)"));
  if (!path.isEmpty()) Open(path);
}

void CheckWindow::Cancel() {
  if (!job_) return;
  job_.reset();
  ++generation_;  // the stopped check's end, already posted, is not this window's news any more
  poll_.stop();
  progress_->setValue(0);
  summary_->setText(QString::fromUtf8("Verificação cancelada."));
  SetState(State::Cancelled);
  if (on_finished_) on_finished_(state_);
}

void CheckWindow::Finished(std::shared_ptr<const CheckOutcome> outcome, unsigned generation) {
  if (generation != generation_) return;
  job_.reset();
  poll_.stop();
  switch (outcome->kind) {
    case CheckOutcome::Kind::Checked:
      outcome_ = outcome;
      model_->SetOutcome(outcome);
      for (int c = 0; c < FindingsModel::kText; ++c) tree_->resizeColumnToContents(c);
      progress_->setValue(kProgressSteps);
      summary_->setText(CheckSummary(outcome->report));
      SetState(State::Checked);
      break;
    case CheckOutcome::Kind::Stopped:
      progress_->setValue(0);
      summary_->setText(QString::fromUtf8("Verificação cancelada."));
      SetState(State::Cancelled);
      break;
    case CheckOutcome::Kind::Unreadable:
      progress_->setValue(0);
      summary_->setText(QString::fromUtf8("Não foi possível ler o arquivo: ") +
                        QString::fromStdString(outcome->error) + ".");
      SetState(State::Unreadable);
      break;
  }
  if (on_finished_) on_finished_(state_);
}

void CheckWindow::ShowProgress() {
  if (!job_) return;
  const std::uint64_t size = job_->FileSize();
  if (size == 0) return;
  const std::uint64_t read = std::min(job_->BytesRead(), size);
  progress_->setValue(static_cast<int>(read * kProgressSteps / size));
}

void CheckWindow::SetState(State state) {
  state_ = state;
  cancel_->setEnabled(state == State::Checking);
  export_->setEnabled(state == State::Checked);
}

LineDetailDialog* CheckWindow::ShowFinding(const QModelIndex& index) {
  const layout::Problem* problem = model_->ProblemAt(index);
  if (!problem || problem->line <= 0 || !outcome_) return nullptr;
  const std::shared_ptr<const CheckOutcome> outcome = outcome_;
  auto* dialog = new LineDetailDialog(
      *problem, [outcome](long number) { return outcome->lines.Line(outcome->path, number); }, this);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  return dialog;
}

bool CheckWindow::ExportCsv(const QString& path) {
  if (!outcome_) return false;
  const std::string csv = FindingsCsv(outcome_->report, outcome_->groups);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  const auto size = static_cast<qint64>(csv.size());
  return file.write(csv.data(), size) == size && file.flush();
}

void CheckWindow::AskExport() {
  if (!outcome_) return;
  const QFileInfo checked(path_);
  const QString suggested = checked.absolutePath() + "/" + checked.completeBaseName() + "-achados.csv";
  const QString path = QFileDialog::getSaveFileName(this, "Exportar achados", suggested,
                                                    "CSV separado por ponto e vírgula (*.csv)");
  if (path.isEmpty()) return;
  if (!ExportCsv(path))
    QMessageBox::critical(
        this, "Erro", QString::fromUtf8("Não foi possível gravar ") + QDir::toNativeSeparators(path) + ".");
}

void CheckWindow::closeEvent(QCloseEvent* event) {
  Cancel();
  QWidget::closeEvent(event);
}

}  // namespace qtfront
