#include "server/http_server.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace server {

struct HttpServer::Impl {
  const ServerConfig& config;
  Mag04200& methods;
  httplib::Server http;
  Impl(const ServerConfig& c, Mag04200& m) : config(c), methods(m) {}
};

namespace {
void SendError(httplib::Response& res, wire::ErrorKind kind, const std::string& message) {
  res.status = wire::ErrorStatus(kind);
  res.set_content(wire::EncodeError({kind, message}), "application/json");
}
}  // namespace

HttpServer::HttpServer(const ServerConfig& config, Mag04200& methods)
    : impl_(std::make_unique<Impl>(config, methods)) {
  auto& http = impl_->http;
  http.set_payload_max_length(config.max_body);
  http.new_task_queue = [threads = config.threads] {
    return new httplib::ThreadPool(static_cast<std::size_t>(threads > 0 ? threads : 1));
  };

  http.Get(R"(/v1/servers/([^/]+))", [](const httplib::Request& req, httplib::Response& res) {
    const std::string name = req.matches[1];
    if (name != kServerName) {
      SendError(res, wire::ErrorKind::UnknownServer, "no server object '" + name + "'");
      return;
    }
    res.set_content(wire::EncodeServerInfo(kServerName, Mag04200::MethodNames()), "application/json");
  });

  http.Post("/v1/call", [this](const httplib::Request& req, httplib::Response& res) {
    const auto started = std::chrono::steady_clock::now();
    std::string method = "?";
    try {
      const wire::CallRequest call = wire::DecodeRequest(req.body);
      method = call.method;
      if (call.server != kServerName) {
        SendError(res, wire::ErrorKind::UnknownServer, "no server object '" + call.server + "'");
      } else {
        res.set_content(wire::EncodeReply(impl_->methods.Call(call.method, call.arguments)),
                        "application/json");
      }
    } catch (const wire::ProtocolError& e) {
      SendError(res, wire::ErrorKind::BadRequest, e.what());
    } catch (const MethodError& e) {
      SendError(res, e.kind(), e.what());
    } catch (const std::exception& e) {
      SendError(res, wire::ErrorKind::ServerFailure, e.what());
    }
    if (log) {
      const auto ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
      // The library fills in 200 after the handler when it set no status.
      log(method + " " + std::to_string(res.status < 0 ? 200 : res.status) + " " +
          std::to_string(ms.count()) + " ms");
    }
  });

  // Answers the library gives by itself (a body too large, an unknown path)
  // carry the protocol's error body too.
  http.set_error_handler([](const httplib::Request& req, httplib::Response& res) {
    if (!res.body.empty()) return;
    if (res.status == 413) {
      SendError(res, wire::ErrorKind::TooLarge, "the request body is larger than the server takes");
    } else if (res.status == 404) {
      res.status = 404;
      res.set_content(
          wire::EncodeError({wire::ErrorKind::BadRequest, "no endpoint " + req.method + " " + req.path}),
          "application/json");
    } else {
      res.set_content(wire::EncodeError({wire::ErrorKind::BadRequest, "HTTP " + std::to_string(res.status)}),
                      "application/json");
    }
  });
}

HttpServer::~HttpServer() { Stop(); }

int HttpServer::Bind() {
  const auto& c = impl_->config;
  if (c.port == 0) {
    const int port = impl_->http.bind_to_any_port(c.listen);
    if (port < 0) throw std::runtime_error("cannot listen on " + c.listen);
    return port;
  }
  if (!impl_->http.bind_to_port(c.listen, c.port)) {
    throw std::runtime_error("cannot listen on " + c.listen + ":" + std::to_string(c.port));
  }
  return c.port;
}

void HttpServer::Serve() { impl_->http.listen_after_bind(); }

void HttpServer::Stop() {
  if (impl_->http.is_running()) impl_->http.stop();
}

}  // namespace server
