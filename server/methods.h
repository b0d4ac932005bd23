#pragma once
// The remote object "Mag04200.rdmArqMag": its methods, with every argument
// checked before anything is read.
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/wire/rpc.h"
#include "server/config.h"
#include "server/session_pool.h"

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

class Mag04200 {
 public:
  Mag04200(const ServerConfig& config, SessionPool& sessions) : config_(config), sessions_(sessions) {}

  static const std::vector<std::string>& MethodNames();
  // Runs a method. Throws MethodError.
  wire::CallReply Call(const std::string& method, const std::vector<wire::Argument>& arguments);

 private:
  wire::CallReply GetEmpresa(const std::vector<wire::Argument>& args);
  wire::CallReply GetImpostonfe(const std::vector<wire::Argument>& args);
  wire::CallReply GetInscST(const std::vector<wire::Argument>& args);
  wire::CallReply GetLivroMag(const std::vector<wire::Argument>& args);
  wire::CallReply GetRegistro(const std::vector<wire::Argument>& args);

  const ServerConfig& config_;
  SessionPool& sessions_;
};

}  // namespace server
