#include "host/qt/import_window.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDirIterator>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QMimeData>
#include <QSaveFile>
#include <QVBoxLayout>

#include "host/components/ado_query.h"
#include "host/components/client_dataset.h"
#include "host/components/db_geral.h"
#include "host/components/host_settings.h"
#include "host/net/http_transport.h"
#include "lib/text/csv.h"

namespace qtfront {
namespace {

// The outcomes as the user reads them, in the order the filter offers them.
const std::vector<std::pair<const char*, const char*>>& Outcomes() {
  static const std::vector<std::pair<const char*, const char*>> outcomes = {
      {"imported", "importado"},  {"updated", "atualizado"}, {"unchanged", "sem mudança"},
      {"cancelled", "cancelado"}, {"ignored", "ignorado"},   {"refused", "recusado"},
      {"failed", "falhou"},       {"merged", "mesclado"}};
  return outcomes;
}

QString OutcomeWord(const std::string& outcome) {
  for (const auto& [code, word] : Outcomes()) {
    if (outcome == code) return word;
  }
  return QString::fromStdString(outcome);
}

// The summary's counts as the user reads them.
QString CountsText(const std::map<std::string, long>& counts) {
  static const std::vector<std::pair<const char*, const char*>> labels = {
      {"files", "arquivos"},
      {"imported", "importados"},
      {"updated", "atualizados"},
      {"unchanged", "sem mudança"},
      {"cancelled", "cancelados"},
      {"ignored", "ignorados"},
      {"refused", "recusados"},
      {"merged", "mesclados"},
      {"service_items", "itens de serviço deixados de fora"}};
  QStringList parts;
  for (const auto& [code, label] : labels) {
    // Service items are said only when some were left out.
    if (const auto it = counts.find(code);
        it != counts.end() && (it->second > 0 || code != std::string("service_items")))
      parts << QString("%1: %2").arg(label).arg(it->second);
  }
  return parts.join(" · ");
}

bool IsDocumentFile(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  return suffix == "xml" || suffix == "zip";
}

QString Duration(long seconds) {
  return QString("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QChar('0'));
}

}  // namespace

ImportWindow::ImportWindow(Mode mode, QWidget* parent) : QWidget(parent), mode_(mode) {
  setObjectName(mode == Mode::Documents ? "importacao" : "mesclagem");
  setWindowTitle(mode == Mode::Documents ? "Importar documentos fiscais" : "Mesclar arquivo do PDV");
  setAcceptDrops(true);
  auto* layout = new QVBoxLayout(this);

  auto* form = new QFormLayout;
  companies_ = new QComboBox(this);
  companies_->setObjectName("empresa");
  companies_->setEditable(true);
  companies_->setMinimumContentsLength(30);
  registrations_ = new QComboBox(this);
  registrations_->setObjectName("inscricao");
  registrations_->setEditable(true);
  form->addRow("Empresa", companies_);
  form->addRow("Inscrição estadual", registrations_);
  if (mode == Mode::Merge) {
    notes_ = new QCheckBox("Mesclar também as notas (registros 50, 51, 53 e 54)", this);
    notes_->setObjectName("notas");
    form->addRow(QString(), notes_);
  }
  layout->addLayout(form);

  files_ = new QListWidget(this);
  files_->setObjectName("arquivos");
  files_->setMaximumHeight(110);
  files_->setToolTip("Arraste arquivos, pastas ou arquivos zip para a janela");
  layout->addWidget(files_);
  auto* file_buttons = new QHBoxLayout;
  auto* add_files =
      new QPushButton(mode == Mode::Documents ? "Adicionar arquivos…" : "Escolher arquivo…", this);
  connect(add_files, &QPushButton::clicked, this, [this] { ChooseFiles(); });
  file_buttons->addWidget(add_files);
  if (mode == Mode::Documents) {
    auto* add_folder = new QPushButton("Adicionar pasta…", this);
    connect(add_folder, &QPushButton::clicked, this, [this] { ChooseFolder(); });
    file_buttons->addWidget(add_folder);
  }
  auto* clear = new QPushButton("Limpar lista", this);
  connect(clear, &QPushButton::clicked, this, [this] {
    if (!Running()) files_->clear();
  });
  file_buttons->addWidget(clear);
  file_buttons->addStretch();
  start_ = new QPushButton(mode == Mode::Documents ? "Importar" : "Mesclar", this);
  start_->setObjectName("iniciar");
  start_->setDefault(true);
  connect(start_, &QPushButton::clicked, this, [this] { Start(); });
  cancel_ = new QPushButton("Interromper", this);
  cancel_->setObjectName("interromper");
  cancel_->setEnabled(false);
  connect(cancel_, &QPushButton::clicked, this, [this] { Cancel(); });
  file_buttons->addWidget(start_);
  file_buttons->addWidget(cancel_);
  layout->addLayout(file_buttons);

  auto* progress_row = new QHBoxLayout;
  progress_ = new QProgressBar(this);
  progress_->setFormat("%v / %m documentos");
  progress_->setValue(0);
  rate_ = new QLabel(this);
  progress_row->addWidget(progress_, 1);
  progress_row->addWidget(rate_);
  layout->addLayout(progress_row);

  auto* filter_row = new QHBoxLayout;
  filter_ = new QComboBox(this);
  filter_->setObjectName("filtro");
  filter_->addItem("Todos os resultados", QString());
  for (const auto& [code, word] : Outcomes()) filter_->addItem(word, QString(word));
  filter_row->addWidget(new QLabel("Mostrar", this));
  filter_row->addWidget(filter_);
  filter_row->addStretch();
  auto* copy = new QPushButton("Copiar", this);
  connect(copy, &QPushButton::clicked, this, [this] { CopySelection(); });
  auto* csv = new QPushButton("Exportar CSV…", this);
  connect(csv, &QPushButton::clicked, this, [this] { SaveCsv(); });
  filter_row->addWidget(copy);
  filter_row->addWidget(csv);
  layout->addLayout(filter_row);

  rows_ = new QStandardItemModel(0, 3, this);
  rows_->setHorizontalHeaderLabels({"Arquivo", "Resultado", "Motivo"});
  shown_ = new QSortFilterProxyModel(this);
  shown_->setSourceModel(rows_);
  shown_->setFilterKeyColumn(1);
  connect(filter_, &QComboBox::currentIndexChanged, this, [this] {
    const QString word = filter_->currentData().toString();
    shown_->setFilterRegularExpression(word.isEmpty() ? QString()
                                                      : "^" + QRegularExpression::escape(word) + "$");
  });
  results_ = new QTableView(this);
  results_->setObjectName("resultados");
  results_->setModel(shown_);
  results_->setSelectionBehavior(QAbstractItemView::SelectRows);
  results_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  results_->verticalHeader()->hide();
  results_->horizontalHeader()->setStretchLastSection(true);
  results_->setColumnWidth(0, 300);
  results_->setColumnWidth(1, 100);
  layout->addWidget(results_, 1);

  summary_ = new QPlainTextEdit(this);
  summary_->setObjectName("resumo");
  summary_->setReadOnly(true);
  summary_->setMaximumHeight(90);
  layout->addWidget(summary_);
  resize(820, 620);

  LoadCompanies();
  connect(companies_, &QComboBox::currentIndexChanged, this, [this] { LoadRegistrations(); });
  LoadRegistrations();
}

ImportWindow::~ImportWindow() {
  Cancel();
  if (worker_.joinable()) worker_.join();
}

void ImportWindow::LoadCompanies() {
  // The server's list, as the screen's company search shows it.
  try {
    const comp::HostSettings& settings = comp::Settings();
    net::HttpTransport transport;
    transport.Connect(settings.ServerHost(), settings.ServerPort(), "Mag04200.rdmArqMag");
    std::vector<comp::CallArgument> arguments{{wire::Variant(std::string("T")), false}};
    comp::TClientDataSet companies(nullptr, "cdsEmpresas");
    companies.AddField("CDEMPRESA", comp::TFieldType::ftString);
    companies.AddField("NMEMPRESA", comp::TFieldType::ftString);
    companies.SetData(transport.Call("GetEmpresa", arguments));
    for (companies.First(); !companies.Eof(); companies.Next()) {
      const QString code = QString::fromStdString(companies.FieldByName("CDEMPRESA").AsString());
      companies_->addItem(
          code + " - " + QString::fromStdString(companies.FieldByName("NMEMPRESA").AsString()), code);
    }
  } catch (const std::exception& e) {
    summary_->setPlainText(QString("A lista de empresas não pôde ser lida: %1").arg(e.what()));
  }
}

void ImportWindow::LoadRegistrations() {
  registrations_->clear();
  const QString company = companies_->currentData().toString();
  if (company.isEmpty() || !comp::dtmDBGeral) return;
  // The company's state registrations, as the screen's search lists them.
  try {
    comp::TADOIBQuery query(nullptr, "qryInscricoes");
    query.SetConnection(comp::dtmDBGeral->adcGeral);
    query.SetSQL({"SELECT CDINSCESTA, SGESTADO FROM INSCRESTAD", "WHERE CDEMPRESA = :P_EMPRESA",
                  "ORDER BY CDINSCESTA"});
    query.ParamByName("P_EMPRESA").SetAsString(company.toStdString());
    query.Open();
    for (query.First(); !query.Eof(); query.Next()) {
      const QString code = QString::fromStdString(query.FieldByName("CDINSCESTA").AsString());
      registrations_->addItem(code + " - " + QString::fromStdString(query.FieldByName("SGESTADO").AsString()),
                              code);
    }
  } catch (const std::exception& e) {
    summary_->setPlainText(QString("A lista de inscrições não pôde ser lida: %1").arg(e.what()));
  }
}

void ImportWindow::SetEstablishment(const QString& company, const QString& registration) {
  const auto choose = [](QComboBox* box, const QString& code) {
    const int at = box->findData(code);
    if (at >= 0) {
      box->setCurrentIndex(at);
    } else {
      box->setEditText(code);
    }
  };
  choose(companies_, company);
  choose(registrations_, registration);
}

void ImportWindow::AddPaths(const QStringList& paths) {
  if (Running()) return;
  for (const QString& path : paths) {
    if (mode_ == Mode::Merge) files_->clear();
    if (files_->findItems(path, Qt::MatchExactly).isEmpty()) files_->addItem(path);
  }
}

void ImportWindow::ChooseFiles() {
  const QStringList chosen =
      mode_ == Mode::Documents
          ? QFileDialog::getOpenFileNames(this, "Documentos fiscais", QString(),
                                          "Documentos (*.xml *.zip *.XML *.ZIP);;Todos os arquivos (*)")
          : QStringList{
                QFileDialog::getOpenFileName(this, "Arquivo magnético do PDV", QString(),
                                             "Arquivos magnéticos (*.txt *.TXT);;Todos os arquivos (*)")};
  AddPaths(chosen.filter(QRegularExpression(".+")));
}

void ImportWindow::ChooseFolder() {
  const QString folder = QFileDialog::getExistingDirectory(this, "Pasta de documentos fiscais");
  if (!folder.isEmpty()) AddPaths({folder});
}

void ImportWindow::dragEnterEvent(QDragEnterEvent* event) {
  if (event->mimeData()->hasUrls() && !Running()) event->acceptProposedAction();
}

void ImportWindow::dropEvent(QDropEvent* event) {
  QStringList paths;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (url.isLocalFile()) paths << url.toLocalFile();
  }
  AddPaths(paths);
  event->acceptProposedAction();
}

std::vector<ImportWindow::Job> ImportWindow::Jobs() const {
  std::vector<Job> jobs;
  const auto whole = [&](const QString& path, const QString& shown) {
    const bool zip = QFileInfo(path).suffix().compare("zip", Qt::CaseInsensitive) == 0;
    const long entries = zip ? net::ZipEntries(path.toStdString()) : 1;
    jobs.push_back({path, {}, shown, std::max(1L, entries)});
  };
  // The loose documents of a folder (or those chosen from one) go in one
  // run: the server applies a run's cancellations after its documents.
  // By the folder's whole path, each sent under the folder's name.
  std::map<QString, std::pair<QString, std::vector<net::ZipMember>>> loose;
  const auto add = [&](const QString& path, const QString& root, const QString& name) {
    const QString folder = QFileInfo(root).fileName();
    if (mode_ == Mode::Documents && QFileInfo(path).suffix().compare("xml", Qt::CaseInsensitive) == 0) {
      auto& group = loose[root];
      group.first = folder;
      group.second.push_back({path.toStdString(), name.toStdString()});
    } else {
      whole(path, folder.isEmpty() ? name : folder + "/" + name);
    }
  };
  for (int i = 0; i < files_->count(); ++i) {
    const QFileInfo info(files_->item(i)->text());
    const QString path = info.absoluteFilePath();
    if (mode_ == Mode::Documents && info.isDir()) {
      // A folder's documents at any depth, named from the folder down.
      QDirIterator walk(path, QDir::Files, QDirIterator::Subdirectories);
      QStringList found;
      while (walk.hasNext()) {
        const QString file = walk.next();
        if (IsDocumentFile(file)) found << file;
      }
      found.sort();
      for (const QString& file : found) add(file, path, QDir(path).relativeFilePath(file));
    } else {
      add(path, mode_ == Mode::Documents ? info.absolutePath() : QString(), info.fileName());
    }
  }
  for (auto& [root, group] : loose) {
    auto& [folder, members] = group;
    for (std::size_t at = 0; at < members.size(); at += net::StoredZip::kMostMembers) {
      const std::size_t end = std::min(members.size(), at + net::StoredZip::kMostMembers);
      std::vector<net::ZipMember> part(members.begin() + static_cast<long>(at),
                                       members.begin() + static_cast<long>(end));
      jobs.push_back({QString(), std::move(part), folder, static_cast<long>(end - at)});
    }
  }
  return jobs;
}

void ImportWindow::Start() {
  if (Running()) return;
  if (worker_.joinable()) worker_.join();
  net::ImportTarget target;
  const auto code = [](QComboBox* box) {
    const int at = box->findText(box->currentText());
    return (at >= 0 ? box->itemData(at).toString() : box->currentText().section(" - ", 0, 0)).trimmed();
  };
  target.company = code(companies_).toStdString();
  target.registration = code(registrations_).toStdString();
  target.magnetic = mode_ == Mode::Merge;
  target.notes = notes_ && notes_->isChecked();
  std::vector<Job> jobs = Jobs();
  if (target.company.empty() || target.registration.empty()) {
    QMessageBox::information(this, windowTitle(), "Escolha a empresa e a inscrição estadual.");
    return;
  }
  if (jobs.empty()) {
    QMessageBox::information(this, windowTitle(),
                             mode_ == Mode::Documents ? "Escolha os documentos, pastas ou arquivos zip."
                                                      : "Escolha o arquivo magnético do PDV.");
    return;
  }
  rows_->removeRows(0, rows_->rowCount());
  summary_->clear();
  counts_.clear();
  texts_.clear();
  stopped_texts_.clear();
  total_ = 0;
  for (const Job& job : jobs) total_ += job.documents;
  done_ = 0;
  progress_->setRange(0, static_cast<int>(total_));
  progress_->setValue(0);
  rate_->clear();
  cancelled_ = false;
  finished_ = false;
  start_->setEnabled(false);
  cancel_->setEnabled(true);
  started_ = std::chrono::steady_clock::now();
  worker_ = std::thread([this, jobs = std::move(jobs), target] { Run(jobs, target); });
}

void ImportWindow::Run(std::vector<Job> jobs, net::ImportTarget target) {
  QString error;
  std::optional<net::ImportUpload> upload;
  try {
    std::lock_guard lock(upload_mutex_);
    upload.emplace();
    upload_ = &*upload;
  } catch (const std::exception& e) {
    error = QString::fromUtf8(e.what());
  }
  for (const Job& job : jobs) {
    if (!upload || cancelled_) break;
    const auto row = [this](const wire::ImportFileLine& line) {
      QMetaObject::invokeMethod(
          this,
          [this, file = QString::fromStdString(line.file), outcome = OutcomeWord(line.outcome),
           reason = QString::fromStdString(line.reason)] { AddRow(file, outcome, reason); },
          Qt::QueuedConnection);
    };
    try {
      const auto summary = job.path.isEmpty()
                               ? upload->SendTogether(job.loose, job.shown.toStdString(), target, row)
                               : upload->Send(job.path.toStdString(), job.shown.toStdString(), target, row);
      // A run the server stopped (a database failure) says where, in its text.
      const QString said =
          summary.stopped && !summary.stopped->empty() ? QString::fromStdString(summary.text) : QString();
      QMetaObject::invokeMethod(
          this,
          [this, counts = summary.counts, text = QString::fromStdString(summary.text), said] {
            AddSummary(counts, text, said);
          },
          Qt::QueuedConnection);
    } catch (const std::exception& e) {
      if (cancelled_) break;
      // One file or folder that failed leaves the others to go.
      QMetaObject::invokeMethod(
          this,
          [this, file = job.shown, reason = QString::fromUtf8(e.what())] { AddRow(file, "falhou", reason); },
          Qt::QueuedConnection);
    }
  }
  {
    // Cancel reaches the upload only while it lives.
    std::lock_guard lock(upload_mutex_);
    upload_ = nullptr;
    upload.reset();
  }
  QMetaObject::invokeMethod(
      this, [this, error] { End(error); }, Qt::QueuedConnection);
}

void ImportWindow::Cancel() {
  cancelled_ = true;
  std::lock_guard lock(upload_mutex_);
  if (upload_) upload_->Cancel();
}

void ImportWindow::AddRow(const QString& file, const QString& outcome, const QString& reason) {
  QList<QStandardItem*> row{new QStandardItem(file), new QStandardItem(outcome), new QStandardItem(reason)};
  for (QStandardItem* item : row) item->setToolTip(item->text());
  rows_->appendRow(row);
  ++done_;
  ShowProgress();
}

void ImportWindow::AddSummary(const std::map<std::string, long>& counts, const QString& text,
                              const QString& said) {
  for (const auto& [name, count] : counts) counts_[name] += count;
  texts_ << text.trimmed();
  if (!said.isEmpty()) stopped_texts_ << said.trimmed();
}

void ImportWindow::ShowProgress() {
  // A zip's entries are counted ahead; what the server reports may differ.
  if (done_ > total_) {
    total_ = done_;
    progress_->setMaximum(static_cast<int>(total_));
  }
  progress_->setValue(static_cast<int>(done_));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  if (seconds < 0.2 || done_ == 0) return;
  const double rate = done_ / seconds;
  rate_->setText(QString("%1 documentos/s · faltam %2")
                     .arg(rate, 0, 'f', rate < 10 ? 1 : 0)
                     .arg(Duration(static_cast<long>((total_ - done_) / rate))));
}

void ImportWindow::End(const QString& error) {
  if (worker_.joinable()) worker_.join();
  finished_ = true;
  start_->setEnabled(true);
  cancel_->setEnabled(false);
  QStringList said;
  if (mode_ == Mode::Merge) {
    said << texts_;
  } else if (!counts_.empty()) {
    said << CountsText(counts_) << stopped_texts_;
  }
  if (!error.isEmpty()) said << error;
  if (said.isEmpty() && cancelled_) said << "Importação interrompida.";
  summary_->setPlainText(said.join("\n"));
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  rate_->setText(QString("%1 documentos em %2").arg(done_).arg(Duration(static_cast<long>(seconds + 0.5))));
  if (Finished) Finished();
}

std::string ImportWindow::ResultsCsv() const {
  std::vector<std::vector<std::string>> table{{"arquivo", "resultado", "motivo"}};
  for (int r = 0; r < shown_->rowCount(); ++r) {
    table.push_back({shown_->index(r, 0).data().toString().toStdString(),
                     shown_->index(r, 1).data().toString().toStdString(),
                     shown_->index(r, 2).data().toString().toStdString()});
  }
  return text::CsvText(table);
}

void ImportWindow::CopySelection() const {
  QStringList lines;
  for (const QModelIndex& row : results_->selectionModel()->selectedRows()) {
    lines << QStringList{shown_->index(row.row(), 0).data().toString(),
                         shown_->index(row.row(), 1).data().toString(),
                         shown_->index(row.row(), 2).data().toString()}
                 .join('\t');
  }
  QGuiApplication::clipboard()->setText(lines.join('\n'));
}

void ImportWindow::SaveCsv() {
  const QString path =
      QFileDialog::getSaveFileName(this, "Exportar resultados", "resultados.csv", "CSV (*.csv)");
  if (path.isEmpty()) return;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray::fromStdString(ResultsCsv())) < 0 ||
      !file.commit()) {
    QMessageBox::warning(this, windowTitle(), "Não foi possível gravar " + path + ": " + file.errorString());
  }
}

void ImportWindow::closeEvent(QCloseEvent* event) {
  if (Running()) {
    const auto answer = QMessageBox::question(this, windowTitle(), "Interromper a importação em andamento?");
    if (answer != QMessageBox::Yes) {
      event->ignore();
      return;
    }
    Cancel();
    if (worker_.joinable()) worker_.join();
  }
  event->accept();
}

}  // namespace qtfront
