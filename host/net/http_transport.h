#pragma once
// The transport of the application server's calls: HTTP/1.1 with JSON bodies
// (docs/protocol.md), keep-alive, time-outs. The HTTP library stays inside.
#include <chrono>
#include <memory>
#include <string>

#include "host/components/net_connection.h"

namespace net {

struct HttpTransportOptions {
  std::chrono::seconds connect_timeout{5};
  // Long enough for the first page of a large file, which the server builds whole.
  std::chrono::seconds read_timeout{600};
  std::chrono::seconds write_timeout{60};
  // Ask for the rows of packets packed into one deflated block: a page of
  // register lines is an eighth of its plain size and is read without
  // parsing a JSON array per line. False asks for plain rows.
  bool packed_rows = true;
};

class HttpTransport : public comp::IServerTransport {
 public:
  explicit HttpTransport(HttpTransportOptions options = {});
  ~HttpTransport() override;

  void Connect(const std::string& host, int port, const std::string& server_name) override;
  void Disconnect() override;
  wire::Variant Call(const std::string& method, std::vector<comp::CallArgument>& arguments) override;
  // From another thread: makes the call in progress, if any, fail at once.
  // Later calls connect anew.
  void Interrupt();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

comp::TransportFactory HttpTransportFactory(HttpTransportOptions options = {});

}  // namespace net
