#pragma once
// The remote object "Mag04200.rdmArqMag": its methods, with every argument
// checked before anything is read.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/wire/rpc.h"
#include "server/db/session_pool.h"
#include "server/rpc/config.h"

namespace server {

inline constexpr const char* kServerName = "Mag04200.rdmArqMag";

// A call the server refuses or cannot carry out, with the kind of error the
// reply names.
class MethodError : public std::runtime_error {
 public:
  MethodError(wire::ErrorKind kind, const std::string& message) : std::runtime_error(message), kind_(kind) {}
  wire::ErrorKind kind() const { return kind_; }

 private:
  wire::ErrorKind kind_;
};

// Who makes a call: the user (empty on a server without users), the
// client's address, and whether the user may act on others' exports.
struct CallerInfo {
  std::string user;
  std::string address;
  bool administrator = true;
};

class Mag04200 {
 public:
  Mag04200(const ServerConfig& config, SessionPool& sessions) : config_(config), sessions_(sessions) {}

  static const std::vector<std::string>& MethodNames();
  // Runs a method. Throws MethodError.
  wire::CallReply Call(const std::string& method, const std::vector<wire::Argument>& arguments,
                       const CallerInfo& who = {});

  // Whether a call may take long: the first page of a file builds it whole.
  static bool IsLongCall(const wire::CallRequest& call);
  // The continuation key of a reply that leaves lines stored for the next
  // page, or "" for any other reply.
  static std::string PendingKey(const wire::CallRequest& call, const wire::CallReply& reply);
  // Drops the stored lines of a request whose client is gone; false when the
  // key names none.
  bool Abandon(const std::string& key);

  // The status word of a first page refused because the stored lines of
  // unfinished exports reached the server's limit.
  static std::string StoreFullStatus(std::int64_t stored, std::int64_t limit);

  // Records what was done, for the office's audit; a failure to record is
  // logged and does not undo the call.
  void Audit(const CallerInfo& who, const std::string& action, const std::string& detail);

  // The server's log of refused files and failures; nullptr for none.
  std::function<void(const std::string&)> log;

 private:
  wire::CallReply GetEmpresa(const std::vector<wire::Argument>& args);
  wire::CallReply GetImpostonfe(const std::vector<wire::Argument>& args);
  wire::CallReply GetInscST(const std::vector<wire::Argument>& args);
  wire::CallReply GetLivroMag(const std::vector<wire::Argument>& args);
  wire::CallReply GetRegistro(const std::vector<wire::Argument>& args, const CallerInfo& who);
  wire::CallReply CancelRegistro(const std::vector<wire::Argument>& args, const CallerInfo& who);

  const ServerConfig& config_;
  SessionPool& sessions_;
};

}  // namespace server
