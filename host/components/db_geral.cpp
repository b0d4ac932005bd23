#include "host/components/db_geral.h"

#include <stdexcept>

#include "host/components/host_settings.h"
#include "lib/sql/session.h"

namespace comp {

TdtmDBGeral* dtmDBGeral = nullptr;

const char* DialectName(TDialect dialect) {
  switch (dialect) {
    case TDialect::Generic: return "sql";
    case TDialect::Oracle: return "oracle";
    case TDialect::MsSql: return "mssql";
    case TDialect::InterBase: return "ib";
  }
  return "sql";
}

TDialect DialectFromName(const std::string& name) {
  for (TDialect d : {TDialect::Generic, TDialect::Oracle, TDialect::MsSql, TDialect::InterBase}) {
    if (name == DialectName(d)) return d;
  }
  throw std::invalid_argument("dialeto SQL desconhecido '" + name + "' (esperava sql, oracle, mssql ou ib)");
}

TADOConnection::TADOConnection(tk::TComponent* owner, std::string name)
    : tk::TComponent(owner, "TADOConnection", std::move(name)) {}

TADOConnection::~TADOConnection() = default;

void TADOConnection::SetConnectionString(const std::string& url) {
  Close();
  url_ = url;
}

sql::Session& TADOConnection::Session() {
  if (!session_) {
    const std::string url = url_.empty() ? Settings().DatabaseUrl() : url_;
    session_ = sql::OpenSession(url);
  }
  return *session_;
}

void TADOConnection::Close() { session_.reset(); }

TdtmDBGeral::TdtmDBGeral(tk::TComponent* owner, std::string name)
    : tk::TComponent(owner, "TdtmDBGeral", std::move(name)),
      adcGeral(&Create<TADOConnection>("adcGeral")),
      dtbGeral(&Create<tk::TComponent>("dtbGeral", "TIBDatabase")),
      ibtGeral(&Create<tk::TComponent>("ibtGeral", "TIBTransaction")) {}

}  // namespace comp
