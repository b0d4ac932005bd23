#pragma once
// The record of who did what on an office's server (table AUDITORIA): every
// export, import, merge, cancellation and failed login, with the user, the
// client's address and the time. A record never holds fiscal values or
// passwords: what was done and to which company, registration, period and
// file.
#include <string>
#include <vector>

#include "lib/sql/session.h"

namespace server {

struct AuditEntry {
  std::string when;     // "AAAA-MM-DD HH:MM:SS.mmm", local time
  std::string user;     // empty when nobody logged in (an open server)
  std::string address;  // the client's
  std::string action;   // "exportacao", "importacao", "mesclagem", "cancelamento", "login-falho"
  std::string detail;
};

// Adds an entry, its time now. Throws sql::DatabaseError.
void RecordAudit(sql::Session& session, AuditEntry entry);
// The entries from `since` ("AAAA-MM-DD", or empty for all), oldest first.
std::vector<AuditEntry> ReadAudit(sql::Session& session, const std::string& since);

}  // namespace server
