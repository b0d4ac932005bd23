#pragma once
// The HTTP endpoint of the server object (docs/protocol.md): the paths, the
// error bodies, and which calls may take long.
#include <functional>
#include <memory>
#include <string>

#include "server/rpc/config.h"
#include "server/rpc/methods.h"

namespace server {

namespace http {
struct Request;
struct Response;
}  // namespace http

class HttpServer {
 public:
  HttpServer(const ServerConfig& config, Mag04200& methods);
  ~HttpServer();
  // Binds the address; returns the port (the chosen one when the config says 0).
  // Throws std::runtime_error when the address cannot be bound.
  int Bind();
  // Serves until Stop is called (from any thread).
  void Serve();
  void Stop();

  // One line per call, for the server's log; nullptr for none.
  std::function<void(const std::string&)> log;

 private:
  void Handle(http::Request request, const std::function<void(http::Response)>& respond);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace server
