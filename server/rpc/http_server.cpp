#include "server/rpc/http_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "server/auth/users.h"
#include "server/http/http_front.h"
#include "server/http/long_call_lane.h"
#include "server/rpc/error_response.h"
#include "server/rpc/import_endpoint.h"
#include "server/rpc/request_target.h"

namespace server {
namespace {

bool EqualsIgnoringCase(const std::string& a, const std::string& b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

// The answers the front gives by itself, in the protocol's error body.
http::Response FrontError(int status, const std::string& message) {
  switch (status) {
    case 408: return ErrorResponse(wire::ErrorKind::Timeout, message);
    case 413:
    case 431: return ErrorResponse(wire::ErrorKind::TooLarge, message, status);
    case 503: return ErrorResponse(wire::ErrorKind::Unavailable, message);
    case 500: return ErrorResponse(wire::ErrorKind::ServerFailure, message);
    case 507: return ErrorResponse(wire::ErrorKind::ServerFailure, message, 507);
    default: return ErrorResponse(wire::ErrorKind::BadRequest, message, 400);
  }
}

// The client's address: the connection's, or, from a proxy on this machine
// (the office's nginx), the one it says it forwards for. A proxy elsewhere
// is not believed: anyone could say anything there.
std::string ClientAddress(const http::Request& request) {
  const bool local = request.peer == "127.0.0.1" || request.peer == "::1";
  const std::string* forwarded = request.Header("x-forwarded-for");
  if (!local || !forwarded || forwarded->empty()) return request.peer;
  const auto comma = forwarded->find_last_of(',');
  std::string last = forwarded->substr(comma == std::string::npos ? 0 : comma + 1);
  last.erase(0, last.find_first_not_of(' '));
  last.erase(last.find_last_not_of(' ') + 1);
  return last.empty() || last.size() > 64 ? request.peer : last;
}

// Answers held back until their time, on a thread of their own: a refused
// login waits without holding a worker.
class DelayedAnswers {
 public:
  DelayedAnswers() : thread_([this] { Run(); }) {}
  ~DelayedAnswers() {
    {
      std::lock_guard lock(mutex_);
      stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
  }
  void Answer(const http::Respond& respond, http::Response response, std::chrono::milliseconds wait) {
    if (wait.count() <= 0) return respond(std::move(response));
    {
      std::lock_guard lock(mutex_);
      waiting_.push_back({std::chrono::steady_clock::now() + wait, respond, std::move(response)});
    }
    wake_.notify_all();
  }

 private:
  struct Waiting {
    std::chrono::steady_clock::time_point due;
    http::Respond respond;
    http::Response response;
  };
  void Run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
      if (waiting_.empty()) {
        wake_.wait(lock);
        continue;
      }
      auto first = std::min_element(waiting_.begin(), waiting_.end(),
                                    [](const Waiting& a, const Waiting& b) { return a.due < b.due; });
      if (std::chrono::steady_clock::now() < first->due) {
        wake_.wait_until(lock, first->due);
        continue;
      }
      Waiting due = std::move(*first);
      waiting_.erase(first);
      lock.unlock();
      due.respond(std::move(due.response));
      lock.lock();
    }
  }
  std::mutex mutex_;
  std::condition_variable wake_;
  std::vector<Waiting> waiting_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace

struct HttpServer::Impl {
  const ServerConfig& config;
  Mag04200& methods;
  std::unique_ptr<http::Front> front;
  std::unique_ptr<LongCallLane> lane;
  // With a users file: who may call, and the refusals held back a while.
  std::unique_ptr<auth::Gate> gate;
  DelayedAnswers delayed;
  Impl(const ServerConfig& c, Mag04200& m) : config(c), methods(m) {}
};

HttpServer::HttpServer(const ServerConfig& config, Mag04200& methods)
    : impl_(std::make_unique<Impl>(config, methods)) {
  if (!config.users_file.empty())
    impl_->gate = std::make_unique<auth::Gate>(auth::ReadUsers(config.users_file));
  http::FrontOptions options;
  options.listen = config.listen;
  options.port = config.port;
  options.threads = config.threads;
  options.limits.max_body = config.max_body;
  options.limits.max_spooled_body = config.max_import_body;
  // The documents brought in go to disk as they arrive, whatever their size.
  options.spool_body = IsImportRequest;
  options.request_timeout = std::chrono::seconds(config.request_timeout);
  options.idle_timeout = std::chrono::seconds(config.idle_timeout);
  options.max_connections = config.max_connections;
  options.max_connections_per_address = config.max_connections_per_address;
  impl_->front = std::make_unique<http::Front>(
      options, [this](http::Request request, http::Respond respond) { Handle(std::move(request), respond); },
      FrontError);
  // Building a whole file can take long: it runs beside the workers, which
  // keep answering the lookups and the pages of other exports meanwhile.
  impl_->lane = std::make_unique<LongCallLane>(config.max_builds);
}

HttpServer::~HttpServer() { Stop(); }

int HttpServer::Bind() { return impl_->front->Bind(); }

void HttpServer::Serve() { impl_->front->Serve(); }

void HttpServer::Stop() { impl_->front->Stop(); }

void HttpServer::Handle(http::Request request, const std::function<void(http::Response)>& respond) {
  const auto decoded = TargetPath(request.target);
  if (!decoded) {
    return respond(ErrorResponse(wire::ErrorKind::BadRequest, "the request path holds a broken %-escape"));
  }
  const std::string& path = *decoded;
  static const std::string kServers = "/v1/servers/";
  if (path.rfind(kServers, 0) == 0 && path.size() > kServers.size() &&
      path.find('/', kServers.size()) == std::string::npos) {
    if (request.method != "GET") {
      return respond(
          ErrorResponse(wire::ErrorKind::MethodNotAllowed, path + " takes GET, not " + request.method));
    }
    const std::string name = path.substr(kServers.size());
    if (name != kServerName) {
      return respond(ErrorResponse(wire::ErrorKind::UnknownServer, "no server object '" + name + "'"));
    }
    http::Response r;
    // A file's build keeps a core busy: a client that makes several at once
    // is told how many the server's cores would take beside what it builds.
    const int cores = std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
    const int free = std::max(0, std::min(impl_->lane->Free(), cores - impl_->lane->Busy()));
    r.body = wire::EncodeServerInfo(kServerName, Mag04200::MethodNames(), free);
    return respond(std::move(r));
  }
  // Every call but the handshake names its user, when the server has users.
  const std::string address = ClientAddress(request);
  CallerInfo who{{}, address, true};
  if (impl_->gate) {
    const std::string* header = request.Header("authorization");
    const auto credentials = header ? auth::BasicCredentials(*header) : std::nullopt;
    std::chrono::milliseconds wait{0};
    const auto caller = credentials
                            ? impl_->gate->Check(credentials->first, credentials->second, address, wait)
                            : std::nullopt;
    if (!caller) {
      if (credentials) {
        if (log) log("failed login of '" + credentials->first + "' from " + address);
        impl_->methods.Audit({credentials->first, address, false}, "login-falho",
                             "usuário ou senha inválidos");
      }
      http::Response r = ErrorResponse(wire::ErrorKind::Unauthenticated, "Usuário ou senha inválidos.");
      r.headers = {{"WWW-Authenticate", "Basic realm=\"mag-server\", charset=\"UTF-8\""}};
      return impl_->delayed.Answer(respond, std::move(r), wait);
    }
    who = {caller->user, address, caller->role == auth::Role::Administracao};
    if (path == "/v1/import" && caller->role == auth::Role::Consulta) {
      return respond(
          ErrorResponse(wire::ErrorKind::Forbidden,
                        "O usuário " + caller->user +
                            " (papel consulta) não pode importar documentos: peça o papel importacao."));
    }
  }
  if (path == "/v1/import") {
    if (request.method != "POST") {
      return respond(
          ErrorResponse(wire::ErrorKind::MethodNotAllowed, "/v1/import takes POST, not " + request.method));
    }
    // An import runs as long as its documents take, beside the workers.
    return impl_->lane->Run([this, request = std::move(request), respond, who] {
      ServeImport(impl_->config, request, respond, who, log);
    });
  }
  if (path != "/v1/call") {
    return respond(ErrorResponse(wire::ErrorKind::NotFound, "no endpoint " + request.method + " " + path));
  }
  if (request.method != "POST") {
    return respond(
        ErrorResponse(wire::ErrorKind::MethodNotAllowed, "/v1/call takes POST, not " + request.method));
  }

  wire::CallRequest call;
  try {
    call = wire::DecodeRequest(request.body);
  } catch (const wire::ProtocolError& e) {
    return respond(ErrorResponse(wire::ErrorKind::BadRequest, e.what()));
  }
  const bool long_call = Mag04200::IsLongCall(call);
  // A client that asks for it gets the rows of its packets packed.
  wire::RowEncoding rows = wire::RowEncoding::Plain;
  for (const auto& [name, value] : request.headers) {
    if (EqualsIgnoringCase(name, wire::kRowEncodingHeader) && value == wire::kPackedRows)
      rows = wire::RowEncoding::Packed;
  }
  auto run = [this, call = std::move(call), respond, rows, who] {
    const auto started = std::chrono::steady_clock::now();
    http::Response r;
    try {
      if (call.server != kServerName) {
        r = ErrorResponse(wire::ErrorKind::UnknownServer, "no server object '" + call.server + "'");
      } else {
        const wire::CallReply reply = impl_->methods.Call(call.method, call.arguments, who);
        r.body = wire::EncodeReply(reply, rows);
        // Lines stored for a client that is gone would wait for the expiry.
        if (const std::string key = Mag04200::PendingKey(call, reply); !key.empty()) {
          r.undelivered = [this, key] {
            try {
              impl_->methods.Abandon(key);
            } catch (const std::exception& e) {
              if (log) log("dropping the lines of an undelivered page failed: " + std::string(e.what()));
            }
          };
        }
      }
    } catch (const MethodError& e) {
      r = ErrorResponse(e.kind(), e.what());
    } catch (const std::exception& e) {
      r = ErrorResponse(wire::ErrorKind::ServerFailure, e.what());
    }
    if (log) {
      const auto ms =
          std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
      log(call.method + " " + std::to_string(r.status) + " " + std::to_string(ms.count()) + " ms");
    }
    respond(std::move(r));
  };
  if (long_call) return impl_->lane->Run(std::move(run));
  run();
}

}  // namespace server
