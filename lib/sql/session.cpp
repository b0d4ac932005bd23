#include "lib/sql/session.h"

namespace sql {

std::unique_ptr<Session> OpenSqliteSession(const std::string& path);

std::unique_ptr<Session> OpenSession(const std::string& url) {
  const std::string sqlite = "sqlite:";
  if (url.rfind(sqlite, 0) == 0) {
    const std::string path = url.substr(sqlite.size());
    if (path.empty()) throw DatabaseError("database URL '" + url + "' names no file");
    return OpenSqliteSession(path);
  }
  throw DatabaseError("unsupported database URL '" + url + "' (expected sqlite:<path>)");
}

}  // namespace sql
