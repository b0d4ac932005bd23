#pragma once
// The host's settings: application server host and port, database and its
// SQL dialect. OK writes them into the settings file and makes them current;
// a screen reads the server anew when it opens.
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QSpinBox>
#include <string>

namespace qtfront {

class SettingsDialog : public QDialog {
 public:
  SettingsDialog(std::string path, QWidget* parent = nullptr);
  QLineEdit* HostBox() const { return host_; }
  QSpinBox* PortBox() const { return port_; }
  QLineEdit* DatabaseBox() const { return database_; }
  QComboBox* DialectBox() const { return dialect_; }
  QLineEdit* UserBox() const { return user_; }
  QCheckBox* TlsBox() const { return tls_; }
  QLineEdit* AuthorityBox() const { return authority_; }
  void accept() override;

 private:
  std::string path_;
  QLineEdit* host_;
  QSpinBox* port_;
  QLineEdit* database_;
  QComboBox* dialect_;
  QLineEdit* user_;       // server.user: the user of an office's server
  QCheckBox* tls_;        // server.tls
  QLineEdit* authority_;  // server.ca
};

}  // namespace qtfront
