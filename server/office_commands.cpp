#include "server/office_commands.h"

#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <iostream>

#include "lib/console/read_secret.h"
#include "lib/sql/session.h"
#include "server/auth/users.h"
#include "server/db/schema.h"
#include "server/store/audit_log.h"

namespace server {
namespace {

std::vector<auth::User> UsersOrNone(const std::string& path) {
  if (!std::filesystem::exists(path)) return {};
  return auth::ReadUsers(path);
}

bool ValidName(const std::string& name) {
  return !name.empty() && name.size() <= 64 && std::all_of(name.begin(), name.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-';
  });
}

}  // namespace

int AddUser(const UserOptions& o) {
  try {
    const auto role = auth::RoleNamed(o.role);
    if (!role) {
      std::cerr << "mag-server user add: o papel '" << o.role
                << "' não é consulta, importacao nem administracao\n";
      return 2;
    }
    if (!ValidName(o.name)) {
      std::cerr << "mag-server user add: o nome '" << o.name
                << "' tem de 1 a 64 letras, dígitos, '.', '_' ou '-'\n";
      return 2;
    }
    auto users = UsersOrNone(o.users_file);
    const std::string password = console::ReadSecret("Senha: ");
    if (isatty(STDIN_FILENO) && console::ReadSecret("Repita a senha: ") != password) {
      std::cerr << "mag-server user add: as senhas não conferem\n";
      return 1;
    }
    if (password.size() < 8) {
      std::cerr << "mag-server user add: a senha precisa de ao menos 8 caracteres\n";
      return 1;
    }
    auth::User user{o.name, *role, auth::HashPassword(password)};
    const auto known =
        std::find_if(users.begin(), users.end(), [&](const auth::User& u) { return u.name == o.name; });
    const bool changed = known != users.end();
    if (changed) {
      *known = user;
    } else {
      users.push_back(user);
    }
    auth::WriteUsers(o.users_file, users);
    std::cout << (changed ? "alterado: " : "incluído: ") << o.name << " (" << o.role << ")\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "mag-server user add: " << e.what() << "\n";
    return 2;
  }
}

int DeleteUser(const UserOptions& o) {
  try {
    auto users = UsersOrNone(o.users_file);
    const auto before = users.size();
    std::erase_if(users, [&](const auth::User& u) { return u.name == o.name; });
    if (users.size() == before) {
      std::cerr << "mag-server user del: não há o usuário " << o.name << " em " << o.users_file << "\n";
      return 1;
    }
    auth::WriteUsers(o.users_file, users);
    std::cout << "excluído: " << o.name << "\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "mag-server user del: " << e.what() << "\n";
    return 2;
  }
}

int ListUsers(const UserOptions& o) {
  try {
    for (const auth::User& u : UsersOrNone(o.users_file))
      std::cout << u.name << " " << auth::RoleName(u.role) << "\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "mag-server user list: " << e.what() << "\n";
    return 2;
  }
}

int PrintAudit(const std::string& database, const std::string& since) {
  try {
    auto session = sql::OpenSession(database);
    Migrate(*session);
    for (const AuditEntry& e : ReadAudit(*session, since)) {
      std::cout << e.when << "  " << (e.user.empty() ? "-" : e.user) << "  " << e.address << "  " << e.action
                << "  " << e.detail << "\n";
    }
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "mag-server audit: " << e.what() << "\n";
    return 2;
  }
}

}  // namespace server
