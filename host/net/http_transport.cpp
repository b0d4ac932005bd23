#include "host/net/http_transport.h"

#include <mutex>

#include "host/components/host_settings.h"
#include "host/net/credentials.h"
#include "host/net/http_client.h"
#include "lib/wire/rpc.h"

namespace net {

struct HttpTransport::Impl {
  HttpTransportOptions options;
  std::mutex client_mutex;  // guards the pointer against Interrupt
  std::unique_ptr<httplib::Client> client;
  std::string host;
  int port = 0;
  std::string server;
  std::string user;  // server.user: the calls name it, with the session's password

  std::string Where() const { return host + ":" + std::to_string(port); }
};

HttpTransport::HttpTransport(HttpTransportOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = options;
}

HttpTransport::~HttpTransport() = default;

void HttpTransport::Connect(const std::string& host, int port, const std::string& server_name) {
  if (host.empty()) throw comp::EServerError("o endereço do servidor de aplicação não foi configurado");
  if (port < 1 || port > 65535) throw comp::EServerError("porta inválida: " + std::to_string(port));
  auto client =
      OpenClient(host, port,
                 {impl_->options.connect_timeout, impl_->options.read_timeout, impl_->options.write_timeout});
  impl_->user = comp::Settings().Get("server.user", "");
  impl_->host = host;
  impl_->port = port;
  // The handshake proves that a server answers there and that it offers the
  // named server object.
  const auto started = std::chrono::steady_clock::now();
  const auto result = client->Get("/v1/servers/" + server_name);
  if (!result) {
    throw comp::EServerError(
        Describe(result.error(), std::chrono::steady_clock::now() - started, impl_->options.read_timeout));
  }
  if (result->status != 200) throw comp::EServerError("o servidor não oferece o objeto " + server_name);
  try {
    if (wire::DecodeServerInfo(result->body) != server_name)
      throw wire::ProtocolError("another server object");
  } catch (const wire::ProtocolError& e) {
    throw comp::EServerError(std::string("resposta inválida do servidor: ") + e.what());
  }
  std::lock_guard lock(impl_->client_mutex);
  impl_->client = std::move(client);
  impl_->server = server_name;
}

void HttpTransport::Disconnect() {
  std::lock_guard lock(impl_->client_mutex);
  if (impl_->client) impl_->client->stop();
  impl_->client.reset();
}

void HttpTransport::Interrupt() {
  std::lock_guard lock(impl_->client_mutex);
  if (impl_->client) impl_->client->stop();
}

wire::Variant HttpTransport::Call(const std::string& method, std::vector<comp::CallArgument>& arguments) {
  if (!impl_->client) throw comp::EServerError("sem conexão com o servidor de aplicação");
  const std::string body = wire::EncodeRequest({impl_->server, method, arguments});
  httplib::Headers headers;
  if (impl_->options.packed_rows) headers.emplace(wire::kRowEncodingHeader, wire::kPackedRows);
  if (!impl_->user.empty()) {
    const auto password = SessionPassword(impl_->user);
    if (!password) throw comp::EServerError("Usuário ou senha inválidos.");
    impl_->client->set_basic_auth(impl_->user, *password);
  }
  const auto started = std::chrono::steady_clock::now();
  const auto result = impl_->client->Post("/v1/call", headers, body, "application/json");
  if (!result) {
    throw comp::EServerError(
        "Falha de comunicação com o servidor de aplicação " + impl_->Where() + " (" + method + "): " +
        Describe(result.error(), std::chrono::steady_clock::now() - started, impl_->options.read_timeout));
  }
  std::variant<wire::CallReply, wire::CallError> reply;
  try {
    reply = wire::DecodeReply(result->body);
  } catch (const wire::ProtocolError& e) {
    throw comp::EServerError("Resposta inválida do servidor de aplicação " + impl_->Where() + " (" + method +
                             ", HTTP " + std::to_string(result->status) + "): " + e.what());
  }
  if (const auto* error = std::get_if<wire::CallError>(&reply)) {
    // The password is asked again at the next call.
    if (error->kind == wire::ErrorKind::Unauthenticated) {
      ForgetPassword();
      throw comp::EServerError("Usuário ou senha inválidos.");
    }
    throw comp::EServerError("Erro no servidor de aplicação (" + method + "): " + error->message);
  }
  auto& ok = std::get<wire::CallReply>(reply);
  for (auto& [index, value] : ok.by_reference) {
    if (index >= arguments.size() || !arguments[index].by_reference) {
      throw comp::EServerError("Resposta inválida do servidor de aplicação: o argumento " +
                               std::to_string(index + 1) + " de " + method + " não é por referência");
    }
    arguments[index].value = std::move(value);
  }
  return std::move(ok.result);
}

comp::TransportFactory HttpTransportFactory(HttpTransportOptions options) {
  return [options] { return std::make_unique<HttpTransport>(options); };
}

}  // namespace net
