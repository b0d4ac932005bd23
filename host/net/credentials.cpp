#include "host/net/credentials.h"

#include <mutex>

namespace net {
namespace {

struct Session {
  std::mutex mutex;
  PasswordSource source;
  std::optional<std::string> password;
  bool refused = false;
};

Session& Current() {
  static Session session;
  return session;
}

}  // namespace

void SetPasswordSource(PasswordSource source) {
  std::lock_guard lock(Current().mutex);
  Current().source = std::move(source);
  Current().password.reset();
}

std::optional<std::string> SessionPassword(const std::string& user) {
  Session& s = Current();
  std::lock_guard lock(s.mutex);
  if (!s.password && s.source) {
    s.password = s.source(user, s.refused);
    s.refused = false;
  }
  return s.password;
}

void ForgetPassword() {
  std::lock_guard lock(Current().mutex);
  Current().password.reset();
  Current().refused = true;
}

}  // namespace net
