#pragma once
// Inside host/net only: the HTTP client of the host's settings (server.tls,
// server.ca) and the words for what went wrong on the wire.
#include <httplib.h>

#include <chrono>
#include <memory>
#include <string>

namespace net {

struct ClientTimeouts {
  std::chrono::seconds connect{5};
  std::chrono::seconds read{600};
  std::chrono::seconds write{60};
};

// A keep-alive client of host:port, over TLS with the certificate checked
// when the settings say server.tls = sim.
std::unique_ptr<httplib::Client> OpenClient(const std::string& host, int port,
                                            const ClientTimeouts& timeouts);

// What went wrong, in the user's words; the caller names the server once.
std::string Describe(httplib::Error error, std::chrono::steady_clock::duration waited,
                     std::chrono::seconds read_timeout);

}  // namespace net
