#pragma once
#include <thread>
// Calls to a running mag-server through the product's HTTP transport.
#include <string>
#include <vector>

#include "host/net/http_transport.h"
#include "lib/wire/registro_call.h"
#include "tests/support/registro_args.h"

class ServerClient {
 public:
  // `packed_rows`: the rows of the reply's packets packed, as the product
  // asks for them, or plain.
  explicit ServerClient(int port, bool packed_rows = true) : transport_(Options(packed_rows)) {
    transport_.Connect("127.0.0.1", port, "Mag04200.rdmArqMag");
  }
  wire::Variant Call(const std::string& method, std::vector<comp::CallArgument>& args) {
    return transport_.Call(method, args);
  }
  wire::Variant Call(const std::string& method, const std::vector<std::string>& strings) {
    std::vector<comp::CallArgument> args;
    for (const auto& s : strings) args.push_back({wire::Variant(s), false});
    return Call(method, args);
  }

  using File = FetchedFile;
  File Fetch(RegistroArgs a) {
    File file;
    a.key.clear();
    a.first_page = "S";
    a.start = 0;
    a.end = 50000;
    for (;;) {
      auto args = a.Arguments();
      file.flags.push_back(a.first_page);
      file.ranges.emplace_back(a.start, a.end);
      const wire::Variant reply = Call(wire::kGetRegistro, args);
      const auto page = wire::DecodeRegistroReply(reply.AsArray());
      if (!page) throw std::runtime_error("GetRegistro answered a reply of another shape");
      if (a.first_page == "S") {
        file.status = page->status;
        file.directory = page->directory;
        a.key = page->key;
        if (file.status != "OK") return file;
      }
      const wire::DataPacket& packet = *page->lines;
      const std::size_t column = packet.FieldIndex("DSREGARQMAG");
      for (const auto& row : packet.rows) file.lines.push_back(std::get<std::string>(row.at(column)));
      if (!page->more) return file;
      a.first_page = "N";
      a.start = a.end + 1;
      a.end = a.end + 50000;
    }
  }

 private:
  static net::HttpTransportOptions Options(bool packed_rows) {
    net::HttpTransportOptions options;
    options.packed_rows = packed_rows;
    return options;
  }
  net::HttpTransport transport_;
};

// The same file fetched by `count` clients at once, client i through
// ports[i % ports.size()]; each file, or the failure of its fetch.
struct TogetherResult {
  std::vector<ServerClient::File> files;
  std::vector<std::string> failures;  // empty where the fetch succeeded
};
inline TogetherResult FetchTogether(const std::vector<int>& ports, const RegistroArgs& a, std::size_t count) {
  TogetherResult result{std::vector<ServerClient::File>(count), std::vector<std::string>(count)};
  std::vector<std::thread> exports;
  for (std::size_t i = 0; i < count; ++i) {
    exports.emplace_back([&, i] {
      try {
        result.files[i] = ServerClient(ports[i % ports.size()]).Fetch(a);
      } catch (const std::exception& e) {
        result.failures[i] = e.what();
      }
    });
  }
  for (auto& t : exports) t.join();
  return result;
}
