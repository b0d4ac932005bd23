#pragma once
// The users of an office's server and what each may do. The users file
// holds one line per user, "name:role:hash", the hash a salted, slow
// password hash (libsodium's crypto_pwhash, Argon2id); the file must be
// readable by its owner only. The hashing library stays behind this header.
#include <chrono>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace server::auth {

// consulta: lookups and exports; importacao: also imports and merges;
// administracao: everything, cancelling the exports of others too.
enum class Role { Consulta, Importacao, Administracao };

std::optional<Role> RoleNamed(const std::string& name);
const char* RoleName(Role role);

struct User {
  std::string name;
  Role role = Role::Consulta;
  std::string hash;
};

// A users file that cannot be used, with the reason in the user's words.
class UsersFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The users of a file. Throws UsersFileError when it cannot be read, is
// readable or writable by others than its owner, or holds a malformed line.
std::vector<User> ReadUsers(const std::string& path);
// Writes the users (a new file, mode 0600, replacing the old one whole).
void WriteUsers(const std::string& path, const std::vector<User>& users);
// The hash to keep for a password. Throws std::runtime_error when the
// machine has not the memory the hash needs.
std::string HashPassword(const std::string& password);

// Who is calling, once the credential is checked.
struct Caller {
  std::string user;
  Role role = Role::Consulta;
};

// Checks credentials against the users of a file, in constant time. A
// credential checked once is remembered for a while (the slow hash would
// otherwise cost every call its time and memory). Failures from one address
// make its next attempt wait longer, up to a bound; the addresses kept are
// bounded too. Safe to use from many threads.
class Gate {
 public:
  explicit Gate(std::vector<User> users);
  // The caller, or nullopt for a wrong or missing credential; `wait` is how
  // long the caller's address must wait before its answer.
  std::optional<Caller> Check(const std::string& user, const std::string& password,
                              const std::string& address, std::chrono::milliseconds& wait);

 private:
  struct Failures {
    int count = 0;
    std::chrono::steady_clock::time_point last{};
  };
  std::vector<User> users_;
  std::string dummy_hash_;  // checked for an unknown user, so that it costs the same
  std::mutex mutex_;
  // One slow check at a time: each takes its tens of megabytes, and wrong
  // passwords from many addresses at once must not take them all together.
  std::mutex slow_mutex_;
  std::map<std::string, std::chrono::steady_clock::time_point> remembered_;  // keyed digest -> when checked
  std::map<std::string, Failures> failures_;                                 // by address
  unsigned char key_[32];
};

// The user and password of an "Authorization: Basic …" header; nullopt for
// any other header.
std::optional<std::pair<std::string, std::string>> BasicCredentials(const std::string& header);

}  // namespace server::auth
