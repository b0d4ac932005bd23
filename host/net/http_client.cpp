#include "host/net/http_client.h"

#include "host/components/host_settings.h"

namespace net {

std::unique_ptr<httplib::Client> OpenClient(const std::string& host, int port,
                                            const ClientTimeouts& timeouts) {
  // An office's server is reached over TLS, its certificate checked
  // against the office's own authority when server.ca names one.
  const comp::HostSettings& settings = comp::Settings();
  const bool tls = settings.Get("server.tls", "nao") == "sim";
  auto client =
      std::make_unique<httplib::Client>((tls ? "https://" : "http://") + host + ":" + std::to_string(port));
  if (tls) {
    const std::string ca = settings.Get("server.ca", "");
    if (!ca.empty()) client->set_ca_cert_path(ca);
    client->enable_server_certificate_verification(true);
  }
  client->set_keep_alive(true);
  // A request goes out in two writes (headers, body); without this the
  // second waits for the server's delayed acknowledgement.
  client->set_tcp_nodelay(true);
  client->set_connection_timeout(timeouts.connect);
  client->set_read_timeout(timeouts.read);
  client->set_write_timeout(timeouts.write);
  return client;
}

// What went wrong, in the user's words; the caller names the server once.
std::string Describe(httplib::Error error, std::chrono::steady_clock::duration waited,
                     std::chrono::seconds read_timeout) {
  switch (error) {
    case httplib::Error::Connection: return "conexão recusada";
    case httplib::Error::ConnectionTimeout: return "tempo esgotado ao conectar";
    case httplib::Error::Read:
      // The library says the same of a closed connection and of a wait
      // that ran out.
      if (waited * 10 >= read_timeout * 9) {
        return "tempo esgotado: sem resposta em " + std::to_string(read_timeout.count()) + " s";
      }
      return "o servidor encerrou a conexão";
    case httplib::Error::Write: return "o servidor encerrou a conexão";
    case httplib::Error::Canceled: return "a chamada foi interrompida";
    case httplib::Error::BindIPAddress: return "o endereço local não pôde ser usado";
    case httplib::Error::SSLConnection:
      return "a conexão segura (TLS) com o servidor falhou: confira server.tls e o endereço";
    case httplib::Error::SSLLoadingCerts: return "o certificado da autoridade (server.ca) não pôde ser lido";
    case httplib::Error::SSLServerVerification:
      return "o certificado do servidor não foi confirmado pela autoridade de server.ca: a conexão foi "
             "recusada";
    default: return "falha de comunicação";
  }
}

}  // namespace net
