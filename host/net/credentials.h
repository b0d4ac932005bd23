#pragma once
// The password of the host's user (server.user), asked once per session:
// the desktop asks it in a login dialog, mag-export takes MAG_PASSWORD or
// asks on its terminal. Never read from a command line or a settings file.
#include <functional>
#include <optional>
#include <string>

namespace net {

// Asks for the password of `user`; nullopt when it cannot be had (no
// terminal, the dialog cancelled). `again` says the last one was refused.
using PasswordSource = std::function<std::optional<std::string>(const std::string& user, bool again)>;

// Sets where the session's password comes from (none: no password).
void SetPasswordSource(PasswordSource source);
// The session's password for `user`, asked the first time only.
std::optional<std::string> SessionPassword(const std::string& user);
// Forgets it after the server refused it: the next call asks again.
void ForgetPassword();

}  // namespace net
