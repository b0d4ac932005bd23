#include "server/auth/users.h"

#include <fcntl.h>
#include <sodium.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace server::auth {
namespace {

constexpr auto kRemembered = std::chrono::minutes(10);
constexpr std::size_t kMostAddresses = 4096;
constexpr std::size_t kMostRemembered = 4096;

void RequireSodium() {
  if (sodium_init() < 0) throw std::runtime_error("the password library could not start");
}

std::string Octal(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

std::optional<Role> RoleNamed(const std::string& name) {
  if (name == "consulta") return Role::Consulta;
  if (name == "importacao") return Role::Importacao;
  if (name == "administracao") return Role::Administracao;
  return std::nullopt;
}

const char* RoleName(Role role) {
  switch (role) {
    case Role::Consulta: return "consulta";
    case Role::Importacao: return "importacao";
    case Role::Administracao: return "administracao";
  }
  return "consulta";
}

std::vector<User> ReadUsers(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0)
    throw UsersFileError("o arquivo de usuários " + path + " não pode ser lido: " + std::strerror(errno));
  if ((info.st_mode & 077) != 0) {
    throw UsersFileError("o arquivo de usuários " + path +
                         " pode ser lido ou alterado por outros além do dono (modo " + Octal(info.st_mode) +
                         "): deixe-o só para o dono com chmod 600 " + path);
  }
  std::ifstream in(path);
  if (!in) throw UsersFileError("o arquivo de usuários " + path + " não pode ser lido");
  std::vector<User> users;
  long number = 0;
  for (std::string line; std::getline(in, line);) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    const auto first = line.find(':'), second = line.find(':', first == std::string::npos ? 0 : first + 1);
    const auto where = "o arquivo de usuários " + path + ", linha " + std::to_string(number);
    if (first == std::string::npos || second == std::string::npos)
      throw UsersFileError(where + ": não é nome:papel:hash");
    User user{line.substr(0, first), Role::Consulta, line.substr(second + 1)};
    const auto role = RoleNamed(line.substr(first + 1, second - first - 1));
    if (user.name.empty() || !role)
      throw UsersFileError(where + ": o papel não é consulta, importacao nem administracao");
    if (user.hash.rfind("$argon2", 0) != 0) throw UsersFileError(where + ": o hash não é de crypto_pwhash");
    user.role = *role;
    users.push_back(std::move(user));
  }
  return users;
}

void WriteUsers(const std::string& path, const std::vector<User>& users) {
  std::ostringstream text;
  for (const User& user : users) text << user.name << ':' << RoleName(user.role) << ':' << user.hash << '\n';
  const std::string temporary = path + ".novo";
  const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0)
    throw UsersFileError("o arquivo de usuários " + path + " não pode ser escrito: " + std::strerror(errno));
  fchmod(fd, 0600);
  const std::string bytes = text.str();
  const bool written =
      write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size()) && fsync(fd) == 0;
  close(fd);
  if (!written || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    throw UsersFileError("o arquivo de usuários " + path + " não pode ser escrito");
  }
}

std::string HashPassword(const std::string& password) {
  RequireSodium();
  char hash[crypto_pwhash_STRBYTES];
  if (crypto_pwhash_str(hash, password.data(), password.size(), crypto_pwhash_OPSLIMIT_INTERACTIVE,
                        crypto_pwhash_MEMLIMIT_INTERACTIVE) != 0)
    throw std::runtime_error("the password could not be hashed (not enough memory)");
  return hash;
}

Gate::Gate(std::vector<User> users) : users_(std::move(users)) {
  RequireSodium();
  randombytes_buf(key_, sizeof key_);
  dummy_hash_ = HashPassword("-");
}

std::optional<Caller> Gate::Check(const std::string& name, const std::string& password,
                                  const std::string& address, std::chrono::milliseconds& wait) {
  const auto now = std::chrono::steady_clock::now();
  wait = std::chrono::milliseconds(0);
  const User* user = nullptr;
  for (const User& u : users_) {
    if (u.name == name) user = &u;
  }
  // A keyed digest of the credential: what is remembered of a good one.
  unsigned char digest[32];
  crypto_generichash_state state;
  crypto_generichash_init(&state, key_, sizeof key_, sizeof digest);
  crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(name.data()), name.size());
  const unsigned char separator = 0;
  crypto_generichash_update(&state, &separator, 1);
  crypto_generichash_update(&state, reinterpret_cast<const unsigned char*>(password.data()), password.size());
  crypto_generichash_final(&state, digest, sizeof digest);
  const std::string remembered(reinterpret_cast<const char*>(digest), sizeof digest);
  {
    std::lock_guard lock(mutex_);
    if (const auto it = remembered_.find(remembered);
        it != remembered_.end() && user && now - it->second < kRemembered)
      return Caller{user->name, user->role};
  }
  // The slow check, the same for an unknown user.
  const std::string& hash = user ? user->hash : dummy_hash_;
  bool good = false;
  {
    std::lock_guard slow(slow_mutex_);
    good = crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0 && user;
  }
  std::lock_guard lock(mutex_);
  if (good) {
    if (remembered_.size() >= kMostRemembered) remembered_.clear();
    remembered_[remembered] = now;
    failures_.erase(address);
    return Caller{user->name, user->role};
  }
  if (failures_.size() >= kMostAddresses && !failures_.count(address)) {
    // The oldest address goes: memory stays bounded.
    auto oldest = failures_.begin();
    for (auto it = failures_.begin(); it != failures_.end(); ++it) {
      if (it->second.last < oldest->second.last) oldest = it;
    }
    failures_.erase(oldest);
  }
  Failures& f = failures_[address];
  // A quarter of a second more for each failure in a row, up to 8 s; an
  // address quiet for ten minutes starts over.
  if (now - f.last > std::chrono::minutes(10)) f.count = 0;
  ++f.count;
  f.last = now;
  wait = std::chrono::milliseconds(std::min(8000, 250 * f.count));
  return std::nullopt;
}

std::optional<std::pair<std::string, std::string>> BasicCredentials(const std::string& header) {
  if (header.size() < 7 || strncasecmp(header.c_str(), "Basic ", 6) != 0) return std::nullopt;
  const std::string encoded = header.substr(6);
  std::string decoded(encoded.size(), '\0');
  std::size_t length = 0;
  if (sodium_base642bin(reinterpret_cast<unsigned char*>(decoded.data()), decoded.size(), encoded.data(),
                        encoded.size(), " ", &length, nullptr, sodium_base64_VARIANT_ORIGINAL) != 0)
    return std::nullopt;
  decoded.resize(length);
  const auto colon = decoded.find(':');
  if (colon == std::string::npos) return std::nullopt;
  return std::make_pair(decoded.substr(0, colon), decoded.substr(colon + 1));
}

}  // namespace server::auth
