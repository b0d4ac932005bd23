#include "server/store/audit_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

namespace server {
namespace {

std::string Now() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[96];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(millis));
  return text;
}

// A field of the record, as the columns hold it.
std::string Bounded(std::string text, std::size_t size) {
  if (text.size() > size) text.resize(size);
  return text;
}

}  // namespace

void RecordAudit(sql::Session& session, AuditEntry entry) {
  session.Execute(
      "INSERT INTO AUDITORIA (DTHORA, NMUSUARIO, DSENDERECO, DSACAO, DSDETALHE) VALUES (:W, :U, :A, :C, :D)",
      {{"W", Now()},
       {"U", Bounded(entry.user, 64)},
       {"A", Bounded(entry.address, 64)},
       {"C", Bounded(entry.action, 20)},
       {"D", Bounded(entry.detail, 1000)}});
}

std::vector<AuditEntry> ReadAudit(sql::Session& session, const std::string& since) {
  std::vector<AuditEntry> entries;
  session.QueryEach(
      "SELECT DTHORA, NMUSUARIO, DSENDERECO, DSACAO, DSDETALHE FROM AUDITORIA WHERE DTHORA >= :S ORDER BY "
      "DTHORA",
      {{"S", since}}, [&](const sql::Row& row) {
        entries.push_back({row[0].value_or(""), row[1].value_or(""), row[2].value_or(""), row[3].value_or(""),
                           row[4].value_or("")});
      });
  return entries;
}

}  // namespace server
