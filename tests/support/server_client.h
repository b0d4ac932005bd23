#pragma once
// Calls to a running mag-server through the product's HTTP transport.
#include <string>
#include <vector>

#include "host/net/http_transport.h"
#include "lib/wire/host_date.h"

// The 19 arguments of GetRegistro, with the values a valid screen sends.
struct RegistroArgs {
  std::string mask = "NNNNNNNNNNNN";
  std::string tax = "01";
  std::string company = "01";
  std::string registration = "110042490114";
  std::string substitute;
  double first_day = wire::EncodeDate(2026, 1, 1);
  double last_day = wire::EncodeDate(2026, 1, 31);
  std::string country;
  std::string states;
  std::string version = "3";
  std::string purpose = "1";
  std::string file_name = "janeiro.txt";
  std::string file_type = "SINTEGRA";
  std::string book = "          ";
  double inventory = 1;
  std::string key;
  std::string first_page = "S";
  double start = 0;
  double end = 50000;

  std::vector<comp::CallArgument> Arguments() const {
    using wire::Variant;
    return {{Variant(mask), true},
            {Variant(tax), false},
            {Variant(company), false},
            {Variant(registration), false},
            {Variant(substitute), false},
            {Variant(wire::DateTime{first_day}), false},
            {Variant(wire::DateTime{last_day}), false},
            {Variant(country), false},
            {Variant(states), true},
            {Variant(version), false},
            {Variant(purpose), false},
            {Variant(file_name), false},
            {Variant(file_type), false},
            {Variant(book), false},
            {Variant(wire::DateTime{inventory}), false},
            {Variant(key), true},
            {Variant(first_page), false},
            {Variant(start), true},
            {Variant(end), true}};
  }
};

class ServerClient {
 public:
  explicit ServerClient(int port) { transport_.Connect("127.0.0.1", port, "Mag04200.rdmArqMag"); }
  wire::Variant Call(const std::string& method, std::vector<comp::CallArgument>& args) {
    return transport_.Call(method, args);
  }
  wire::Variant Call(const std::string& method, const std::vector<std::string>& strings) {
    std::vector<comp::CallArgument> args;
    for (const auto& s : strings) args.push_back({wire::Variant(s), false});
    return Call(method, args);
  }

  // The pages of one file, as the screen asks for them.
  struct File {
    std::string status;
    std::vector<std::string> lines;
    std::vector<std::string> flags;  // first-page flag of each call
    std::vector<std::pair<double, double>> ranges;
    std::string directory;
  };
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
      const wire::Variant reply = Call("GetRegistro", args);
      const auto& items = reply.AsArray();
      if (a.first_page == "S") {
        file.status = items.at(0).AsString();
        file.directory = items.at(2).AsString();
        a.key = items.at(4).AsString();
        if (file.status != "OK") return file;
      }
      const auto& packet = items.at(1).AsPacket();
      const std::size_t column = packet.FieldIndex("DSREGARQMAG");
      for (const auto& row : packet.rows) file.lines.push_back(std::get<std::string>(row.at(column)));
      if (items.at(3).AsString() != "S") return file;
      a.first_page = "N";
      a.start = a.end + 1;
      a.end = a.end + 50000;
    }
  }

 private:
  net::HttpTransport transport_;
};
