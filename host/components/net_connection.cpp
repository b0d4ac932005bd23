#include "host/components/net_connection.h"

#include "host/toolkit/application.h"

namespace comp {
namespace {
TransportFactory& Factory() {
  static TransportFactory factory;
  return factory;
}
}  // namespace

void SetTransportFactory(TransportFactory factory) { Factory() = std::move(factory); }

wire::Variant TServerDispatch::Call(const std::string& method, std::vector<CallArgument>& arguments) {
  return connection_.Invoke(method, arguments);
}

wire::Variant TServerDispatch::Call(const std::string& method, const std::vector<std::string>& arguments) {
  std::vector<CallArgument> args;
  for (const auto& a : arguments) args.push_back({wire::Variant(a), false});
  return connection_.Invoke(method, args);
}

TNetConnection::TNetConnection(tk::TComponent* owner, std::string name)
    : tk::TComponent(owner, "TNetConnection", std::move(name)) {}

TNetConnection::~TNetConnection() {
  if (transport_) {
    try {
      transport_->Disconnect();
    } catch (...) {
      // Closing on destruction is best effort.
    }
  }
}

void TNetConnection::SetConnected(bool value) {
  if (value == Connected()) return;
  if (!value) {
    auto transport = std::move(transport_);
    transport->Disconnect();
    return;
  }
  if (BeforeConnect) BeforeConnect(*this);
  last_failure_.clear();
  try {
    if (!Factory()) throw EServerError("nenhum transporte de rede foi instalado pelo aplicativo");
    auto transport = Factory()();
    // Network waits go through the dialogs, so that a desktop host keeps its
    // window painted while the handler still sees a synchronous call.
    tk::Application().Dialogs().RunBlocking([&] { transport->Connect(host_, port_, server_name_); });
    transport_ = std::move(transport);
  } catch (const std::exception& e) {
    last_failure_ = e.what();
    if (throw_exception_) {
      throw EServerError("Não foi possível conectar ao servidor de aplicação " + host_ + ":" +
                         std::to_string(port_) + ": " + last_failure_);
    }
  }
}

wire::Variant TNetConnection::Invoke(const std::string& method, std::vector<CallArgument>& arguments) {
  if (!transport_) {
    std::string message = "Sem conexão com o servidor de aplicação " + host_ + ":" + std::to_string(port_);
    if (!last_failure_.empty()) message += " (" + last_failure_ + ")";
    throw EServerError(message + ".");
  }
  wire::Variant reply;
  tk::Application().Dialogs().RunBlocking([&] { reply = transport_->Call(method, arguments); });
  return reply;
}

}  // namespace comp
