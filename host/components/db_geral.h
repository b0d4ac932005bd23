#pragma once
// The shared database module of the host: one connection that every lookup
// query of every screen uses. The database is named by the host's settings
// ("database.url"); the connection opens on first use.
#include <memory>
#include <string>

#include "host/toolkit/component.h"

namespace sql {
class Session;
}

namespace comp {

// Which statement text a query runs: each query may carry one text per
// database family and falls back to the generic one.
enum class TDialect { Generic, Oracle, MsSql, InterBase };
const char* DialectName(TDialect dialect);
// "sql", "oracle", "mssql", "ib"; throws std::invalid_argument otherwise.
TDialect DialectFromName(const std::string& name);

class TADOConnection : public tk::TComponent {
 public:
  TADOConnection(tk::TComponent* owner, std::string name);
  ~TADOConnection() override;

  const std::string& ConnectionString() const { return url_; }
  // Closes any open session; the next use opens the new database.
  void SetConnectionString(const std::string& url);
  TDialect Dialect() const { return dialect_; }
  void SetDialect(TDialect dialect) { dialect_ = dialect; }
  bool Connected() const { return session_ != nullptr; }
  // The open session; opens it first. Throws sql::DatabaseError.
  sql::Session& Session();
  void Close();

 private:
  std::string url_;
  TDialect dialect_ = TDialect::Generic;
  std::unique_ptr<sql::Session> session_;
};

class TdtmDBGeral : public tk::TComponent {
 public:
  explicit TdtmDBGeral(tk::TComponent* owner, std::string name = "dtmDBGeral");
  TADOConnection* adcGeral;
  tk::TComponent* dtbGeral;
  tk::TComponent* ibtGeral;
};

// The host's data module; the host creates it at start-up (nullptr before).
extern TdtmDBGeral* dtmDBGeral;

}  // namespace comp
