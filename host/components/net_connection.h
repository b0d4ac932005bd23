#pragma once
// The connection to the application server. The transport that carries the
// calls (HTTP in the product, anything in tests) sits behind IServerTransport;
// the host installs the factory that makes it.
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "host/toolkit/component.h"
#include "lib/wire/rpc.h"
#include "lib/wire/variant.h"

namespace comp {

using CallArgument = wire::Argument;

// A failure of the transport or of the server, with a message for the user.
class EServerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class IServerTransport {
 public:
  virtual ~IServerTransport() = default;
  // Connects and proves that the named server object answers. Throws
  // EServerError with the reason.
  virtual void Connect(const std::string& host, int port, const std::string& server_name) = 0;
  virtual void Disconnect() = 0;
  // Calls a method; by-reference arguments are updated from the reply.
  // Throws EServerError.
  virtual wire::Variant Call(const std::string& method, std::vector<CallArgument>& arguments) = 0;
};

using TransportFactory = std::function<std::unique_ptr<IServerTransport>()>;
// The host installs the transport factory once, before any form connects.
void SetTransportFactory(TransportFactory factory);

class TNetConnection;

// The server's late-bound dispatch interface: methods are called by name.
class TServerDispatch {
 public:
  explicit TServerDispatch(TNetConnection& connection) : connection_(connection) {}
  wire::Variant Call(const std::string& method, std::vector<CallArgument>& arguments);
  // By-value string arguments only, the pattern of every lookup.
  wire::Variant Call(const std::string& method, const std::vector<std::string>& arguments);

 private:
  TNetConnection& connection_;
};

class TNetConnection : public tk::TComponent {
 public:
  TNetConnection(tk::TComponent* owner, std::string name);
  ~TNetConnection() override;

  const std::string& ServerName() const { return server_name_; }
  void SetServerName(std::string name) { server_name_ = std::move(name); }
  const std::string& Host() const { return host_; }
  void SetHost(std::string host) { host_ = std::move(host); }
  int Port() const { return port_; }
  void SetPort(int port) { port_ = port; }
  // When false, a failed connect leaves the connection closed without an
  // error; the first call then fails naming host, port and the reason.
  bool ThrowException() const { return throw_exception_; }
  void SetThrowException(bool value) { throw_exception_ = value; }

  bool Connected() const { return transport_ != nullptr; }
  // Opening runs BeforeConnect first, then connects to Host:Port.
  void SetConnected(bool value);

  TServerDispatch& AppServer() { return dispatch_; }

  tk::TNotifyEvent BeforeConnect;

 private:
  friend class TServerDispatch;
  wire::Variant Invoke(const std::string& method, std::vector<CallArgument>& arguments);

  std::string server_name_;
  std::string host_;
  int port_ = 0;
  bool throw_exception_ = true;
  std::unique_ptr<IServerTransport> transport_;
  std::string last_failure_;
  TServerDispatch dispatch_{*this};
};

}  // namespace comp
