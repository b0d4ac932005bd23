#include "host/qt/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QInputDialog>
#include <QLineEdit>
#include <QMenuBar>
#include <QStatusBar>
#include <QThread>

#include "host/components/host_settings.h"
#include "host/net/credentials.h"
#include "host/net/http_transport.h"
#include "host/qt/glyphs.h"
#include "host/qt/settings_dialog.h"
#include "host/toolkit/application.h"

namespace qtfront {

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
  QMenu* windows = menuBar()->addMenu("&Janela");
  windows->addAction("&Cascata", area_, &QMdiArea::cascadeSubWindows);
  windows->addAction("&Lado a lado", area_, &QMdiArea::tileSubWindows);

  status_ = new QLabel(this);
  statusBar()->addWidget(status_);
  ShowSettingsInStatus();

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
  // The screens run code of the package: they go before it is unloaded.
  host_->Unload();
  event->accept();
}

}  // namespace qtfront
