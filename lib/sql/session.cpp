#include "lib/sql/session.h"

namespace sql {

std::unique_ptr<Session> OpenSqliteSession(const std::string& path);
std::unique_ptr<Session> OpenPostgreSqlSession(const std::string& url);

std::unique_ptr<Session> OpenSession(const std::string& url) {
  const std::string sqlite = "sqlite:";
  if (url.rfind(sqlite, 0) == 0) {
    const std::string path = url.substr(sqlite.size());
    if (path.empty()) throw DatabaseError("database URL '" + url + "' names no file");
    return OpenSqliteSession(path);
  }
  if (url.rfind("postgresql://", 0) == 0 || url.rfind("postgres://", 0) == 0)
    return OpenPostgreSqlSession(url);
  throw DatabaseError("unsupported database URL '" + url +
                      "' (expected sqlite:<path> or postgresql://user@host:port/database)");
}

}  // namespace sql
