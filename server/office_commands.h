#pragma once
// The commands an office keeps its server with: its users (user add, del,
// list) and the record of who did what (audit).
#include <string>

namespace server {

struct UserOptions {
  std::string users_file, name, role;
};

// Adds a user, or gives a known one a new password and role. The password
// is asked twice on a terminal, or read as one line of standard input when
// it is not a terminal; never from the command line.
int AddUser(const UserOptions& o);
int DeleteUser(const UserOptions& o);
// One line per user: name and role (never the hash).
int ListUsers(const UserOptions& o);

// The audit's entries from `since` ("AAAA-MM-DD", empty for all), one per line.
int PrintAudit(const std::string& database, const std::string& since);

}  // namespace server
