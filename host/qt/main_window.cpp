#include "host/qt/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QStatusBar>
#include <QTextDocumentFragment>
#include <QThread>
#include <QToolButton>

#include "host/components/host_settings.h"
#include "host/net/credentials.h"
#include "host/net/http_transport.h"
#include "host/qt/check_words.h"
#include "host/qt/glyphs.h"
#include "host/qt/settings_dialog.h"
#include "host/toolkit/application.h"

namespace qtfront {
namespace {

QString Count(long n, const char* one, const char* many) {
  return Thousands(n) + " " + (n == 1 ? one : many);
}

}  // namespace

MainWindow::MainWindow(std::string package_path, std::string settings_path, comp::TransportFactory transport)
    : package_path_(std::move(package_path)), settings_path_(std::move(settings_path)), dialogs_(this) {
  setObjectName("principal");
  setWindowTitle(QtDialogs::ApplicationTitle());
  setWindowIcon(ExportGlyph());
  resize(1100, 780);
  host_ = std::make_unique<host::PackageHost>(dialogs_,
                                              transport ? std::move(transport) : net::HttpTransportFactory());
  // The password of server.user, asked once per session, before the first
  // call that needs it; the calls run off this thread, the dialog on it.
  net::SetPasswordSource([this](const std::string& user, bool again) -> std::optional<std::string> {
    std::optional<std::string> password;
    const auto ask = [&] {
      bool given = false;
      const QString text = QInputDialog::getText(
          this, "Entrar no servidor de aplicação",
          QString::fromStdString((again ? "Usuário ou senha inválidos.\n\n" : std::string()) + "Senha de " +
                                 user + ":"),
          QLineEdit::Password, QString(), &given);
      if (given) password = text.toStdString();
    };
    if (QThread::currentThread() == thread()) {
      ask();
    } else {
      QMetaObject::invokeMethod(this, ask, Qt::BlockingQueuedConnection);
    }
    return password;
  });

  area_ = new QMdiArea(this);
  area_->setObjectName("areaMdi");
  area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  area_->setBackground(QColor(58, 110, 165));
  setCentralWidget(area_);
  connect(area_, &QMdiArea::subWindowActivated, this, [this](QMdiSubWindow* w) { Activated(w); });

  QMenu* file = menuBar()->addMenu("&Arquivo");
  settings_action_ = file->addAction("&Configurações...", this, [this] { EditSettings(); });
  file->addSeparator();
  file->addAction("Sai&r", this, [this] { close(); });
  QMenu* fiscal = menuBar()->addMenu("&Fiscal");
  screen_action_ = fiscal->addAction(kScreenEntry, this, [this] { OpenScreen(); });
  fiscal->addSeparator();
  import_action_ = fiscal->addAction("&Importar documentos fiscais…", this,
                                     [this] { OpenImport(ImportWindow::Mode::Documents); });
  merge_action_ =
      fiscal->addAction("&Mesclar arquivo do PDV…", this, [this] { OpenImport(ImportWindow::Mode::Merge); });
  check_action_ = fiscal->addAction("&Verificar arquivo magnético…", this, [this] { OpenCheck()->Choose(); });
  QMenu* windows = menuBar()->addMenu("&Janela");
  windows->addAction("&Cascata", area_, &QMdiArea::cascadeSubWindows);
  windows->addAction("&Lado a lado", area_, &QMdiArea::tileSubWindows);

  status_ = new QLabel(this);
  statusBar()->addWidget(status_);
  verdict_ = new QLabel(this);
  verdict_->setObjectName("veredito");
  statusBar()->addPermanentWidget(verdict_);
  ShowSettingsInStatus();

  // The note on the file the screen just wrote: where the user looks next,
  // without a dialog of its own in the screen's way.
  note_ = new QFrame(area_);
  note_->setObjectName("notaVerificacao");
  note_->setFrameShape(QFrame::StyledPanel);
  note_->setAutoFillBackground(true);
  note_->setStyleSheet("#notaVerificacao { background: #fffbe6; border: 1px solid #b8a200; }");
  auto* note_layout = new QHBoxLayout(note_);
  note_text_ = new QLabel(note_);
  note_text_->setTextFormat(Qt::RichText);
  connect(note_text_, &QLabel::linkActivated, this, [this] { OpenCheck(verdict_path_); });
  connect(verdict_, &QLabel::linkActivated, this, [this] { OpenCheck(verdict_path_); });
  auto* close_note = new QToolButton(note_);
  close_note->setText("×");
  close_note->setAutoRaise(true);
  connect(close_note, &QToolButton::clicked, note_, &QWidget::hide);
  note_layout->addWidget(note_text_);
  note_layout->addWidget(close_note);
  note_->hide();
  written_connection_ = tk::Application().FileWritten.Connect([this](const std::string& path) {
    // Written on the export's thread.
    QMetaObject::invokeMethod(
        this, [this, written = QString::fromStdString(path)] { CheckWrittenFile(written); },
        Qt::QueuedConnection);
  });

  created_connection_ = tk::Application().FormCreated.Connect([this](tk::TForm& form) {
    auto* view = new FormView(form);
    QMdiSubWindow* frame = view->AttachTo(*area_);
    // Where the screen was designed to open, as far as the area allows.
    const QSize size = frame->sizeHint();
    const auto& designed = form.Bounds();
    frame->move(std::clamp(designed.left, 0, std::max(0, area_->width() - size.width())),
                std::clamp(designed.top, 0, std::max(0, area_->height() - size.height())));
  });
  cursor_connection_ = tk::Application().Screen().CursorChanged.Connect([this](int cursor) {
    if (cursor != tk::crDefault && !cursor_overridden_) {
      QApplication::setOverrideCursor(Qt::WaitCursor);
      cursor_overridden_ = true;
    } else if (cursor == tk::crDefault && cursor_overridden_) {
      QApplication::restoreOverrideCursor();
      cursor_overridden_ = false;
    }
  });
}

MainWindow::~MainWindow() {
  // Sub-windows going away with the area report activations that must not
  // reach the forms.
  area_->disconnect(this);
  host_.reset();
  tk::Application().FileWritten.Disconnect(written_connection_);
  verdict_job_.reset();
  // The password dialog belongs to this window.
  net::SetPasswordSource({});
  tk::Application().FormCreated.Disconnect(created_connection_);
  tk::Application().Screen().CursorChanged.Disconnect(cursor_connection_);
  if (cursor_overridden_) QApplication::restoreOverrideCursor();
}

FormView* MainWindow::View(const std::string& form_name) const {
  for (FormView* view : FormView::Views()) {
    if (view->form()->Name() == form_name) return view;
  }
  return nullptr;
}

void MainWindow::OpenScreen() {
  if (!host_->Loaded()) {
    try {
      host_->Load(package_path_);
    } catch (const std::exception& e) {
      dialogs_.ShowMessage(tk::MessageKind::Error,
                           std::string("Não foi possível carregar o módulo da tela: ") + e.what());
      return;
    }
  }
  host_->IniProc();
}

QMdiSubWindow* MainWindow::Show(QWidget* window) {
  window->setAttribute(Qt::WA_DeleteOnClose);
  QMdiSubWindow* frame = area_->addSubWindow(window);
  frame->setAttribute(Qt::WA_DeleteOnClose);
  frame->show();
  area_->setActiveSubWindow(frame);
  return frame;
}

ImportWindow* MainWindow::OpenImport(ImportWindow::Mode mode) {
  const QString name = mode == ImportWindow::Mode::Documents ? "importacao" : "mesclagem";
  for (QMdiSubWindow* frame : area_->subWindowList()) {
    if (auto* open = dynamic_cast<ImportWindow*>(frame->widget()); open && open->objectName() == name) {
      frame->showNormal();
      area_->setActiveSubWindow(frame);
      return open;
    }
  }
  auto* window = new ImportWindow(mode);
  Show(window);
  return window;
}

CheckWindow* MainWindow::OpenCheck(const QString& path) {
  auto* window = new CheckWindow;
  Show(window);
  if (!path.isEmpty()) window->Open(path);
  return window;
}

void MainWindow::CheckWrittenFile(const QString& path) {
  verdict_path_ = path;
  verdict_pending_ = true;
  verdict_->setText("verificando " + QFileInfo(path).fileName() + "…");
  // The same name written again replaces the check under way: only the
  // latest check's end counts.
  const unsigned generation = ++verdict_generation_;
  verdict_job_ = std::make_unique<CheckJob>(path.toStdString(),
                                            [this, generation](std::shared_ptr<const CheckOutcome> outcome) {
                                              QMetaObject::invokeMethod(
                                                  this,
                                                  [this, outcome, generation] {
                                                    if (generation != verdict_generation_)
                                                      return;  // a later file took over
                                                    verdict_pending_ = false;
                                                    ShowVerdict(*outcome);
                                                  },
                                                  Qt::QueuedConnection);
                                            });
}

void MainWindow::ShowVerdict(const CheckOutcome& outcome) {
  const QString name = QFileInfo(verdict_path_).fileName();
  QString said;
  bool clean = false;
  if (outcome.kind == CheckOutcome::Kind::Unreadable) {
    said = "não foi possível verificar: " + QString::fromStdString(outcome.error);
  } else if (outcome.kind == CheckOutcome::Kind::Stopped) {
    return;
  } else {
    const long errors = outcome.report.Errors();
    const long warnings = outcome.report.Warnings();
    clean = errors == 0;
    said = clean ? QString("arquivo verificado: sem erros") : Count(errors, "erro", "erros");
    if (warnings > 0) said += (clean ? ", " : ", ") + Count(warnings, "aviso", "avisos");
  }
  const QString link = clean ? QString() : QString(" — <a href=\"ver\">ver</a>");
  verdict_->setText(name + ": " + said.toHtmlEscaped() + link);
  note_text_->setText("<b>" + name.toHtmlEscaped() + "</b>: " + said.toHtmlEscaped() +
                      (clean ? QString(" — <a href=\"ver\">detalhes</a>") : link));
  note_->adjustSize();
  note_->move(std::max(0, area_->width() - note_->width() - 12),
              std::max(0, area_->height() - note_->height() - 12));
  note_->raise();
  note_->show();
}

QString MainWindow::Verdict() const {
  return QTextDocumentFragment::fromHtml(verdict_->text()).toPlainText();
}

void MainWindow::EditSettings() {
  SettingsDialog dialog(settings_path_, this);
  if (dialog.exec() != QDialog::Accepted) return;
  host::PackageHost::ApplyDatabaseSettings();
  ShowSettingsInStatus();
}

void MainWindow::ShowSettingsInStatus() {
  const comp::HostSettings& settings = comp::Settings();
  QString port;
  try {
    port = QString::number(settings.ServerPort());
  } catch (const std::exception&) {
    port = "?";
  }
  status_->setText(QString("Servidor %1:%2   ·   Banco %3")
                       .arg(QString::fromStdString(settings.ServerHost()), port,
                            QString::fromStdString(settings.DatabaseUrl())));
}

void MainWindow::Activated(QMdiSubWindow* window) {
  // A window of another program taking over is no activation of a screen.
  if (!window) return;
  auto* view = dynamic_cast<FormView*>(window->widget());
  tk::TForm* form = view && view->Attached() ? view->form() : nullptr;
  tk::Application().Perform([form] { tk::Application().Activate(form); });
  if (view && view->Attached()) view->RestoreFocus();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  // An import under way asks before it is stopped.
  for (QMdiSubWindow* frame : area_->subWindowList()) {
    if (dynamic_cast<ImportWindow*>(frame->widget()) && !frame->close()) {
      event->ignore();
      return;
    }
  }
  // The screens run code of the package: they go before it is unloaded.
  host_->Unload();
  event->accept();
}

}  // namespace qtfront
