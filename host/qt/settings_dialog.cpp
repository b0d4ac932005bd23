#include "host/qt/settings_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "host/components/host_settings.h"
#include "host/qt/palette.h"

namespace qtfront {

SettingsDialog::SettingsDialog(std::string path, QWidget* parent) : QDialog(parent), path_(std::move(path)) {
  setObjectName("configuracoes");
  setWindowTitle("Configurações");
  setFont(ScreenFont());
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  const comp::HostSettings& settings = comp::Settings();

  host_ = new QLineEdit(QString::fromStdString(settings.ServerHost()), this);
  host_->setObjectName("servidor");
  port_ = new QSpinBox(this);
  port_->setObjectName("porta");
  port_->setRange(1, 65535);
  try {
    port_->setValue(settings.ServerPort());
  } catch (const std::exception&) {
    port_->setValue(8420);
  }
  database_ = new QLineEdit(QString::fromStdString(settings.DatabaseUrl()), this);
  database_->setObjectName("banco");
  database_->setMinimumWidth(320);
  dialect_ = new QComboBox(this);
  dialect_->setObjectName("dialeto");
  dialect_->addItems({"sql", "oracle", "mssql", "ib"});
  dialect_->setCurrentText(QString::fromStdString(settings.Dialect()));

  // An office's server: who calls (the password is asked at the first
  // call), over TLS, its certificate signed by the office's own authority.
  user_ = new QLineEdit(QString::fromStdString(settings.Get("server.user", "")), this);
  user_->setObjectName("usuario");
  tls_ = new QCheckBox("Conexão segura (TLS)", this);
  tls_->setObjectName("tls");
  tls_->setChecked(settings.Get("server.tls", "nao") == "sim");
  authority_ = new QLineEdit(QString::fromStdString(settings.Get("server.ca", "")), this);
  authority_->setObjectName("autoridade");
  authority_->setPlaceholderText("a do sistema");

  form->addRow("Servidor de aplicação:", host_);
  form->addRow("Porta:", port_);
  form->addRow("Usuário:", user_);
  form->addRow("", tls_);
  form->addRow("Autoridade do certificado:", authority_);
  form->addRow("Banco de dados:", database_);
  form->addRow("Dialeto SQL:", dialect_);
  layout->addLayout(form);
  auto* where = new QLabel("Arquivo: " + QString::fromStdString(path_), this);
  where->setEnabled(false);
  layout->addWidget(where);
  auto* note = new QLabel("O servidor é lido ao abrir cada tela.", this);
  note->setEnabled(false);
  layout->addWidget(note);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText("OK");
  buttons->button(QDialogButtonBox::Cancel)->setText("Cancelar");
  connect(buttons, &QDialogButtonBox::accepted, this, &SettingsDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

void SettingsDialog::accept() {
  const std::string host = host_->text().trimmed().toStdString();
  const std::string database = database_->text().trimmed().toStdString();
  if (host.empty()) {
    QMessageBox::critical(this, "Erro", "Informe o servidor de aplicação.");
    host_->setFocus();
    return;
  }
  if (database.empty()) {
    QMessageBox::critical(this, "Erro", "Informe o banco de dados.");
    database_->setFocus();
    return;
  }
  try {
    comp::Settings().Store(path_, {{"server.host", host},
                                   {"server.port", std::to_string(port_->value())},
                                   {"database.url", database},
                                   {"database.dialect", dialect_->currentText().toStdString()},
                                   {"server.user", user_->text().trimmed().toStdString()},
                                   {"server.tls", tls_->isChecked() ? "sim" : "nao"},
                                   {"server.ca", authority_->text().trimmed().toStdString()}});
  } catch (const std::exception& e) {
    QMessageBox::critical(this, "Erro", QString::fromStdString(e.what()));
    return;
  }
  QDialog::accept();
}

}  // namespace qtfront
