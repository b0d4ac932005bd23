// How long a call takes while hostile clients press on mag-server, beside the
// same call on the quiet server measured in the same run: slow clients
// sending a byte of their request every 2 s, hundreds of idle connections,
// and calls on one kept-alive connection. Run it with scripts/bench-hostile
// (a release build); it is not a test.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <thread>
#include <vector>

#include "host/net/http_transport.h"
#include "tests/support/raw_http.h"
#include "tests/support/server_process.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

struct Figures {
  double median = 0, worst = 0;
};

Figures Summary(std::vector<double> ms) {
  std::sort(ms.begin(), ms.end());
  return {ms[ms.size() / 2], ms.back()};
}

// Each call on a connection of its own, handshake included, as a screen
// opening makes it.
Figures FreshCalls(int port, int calls) {
  std::vector<double> ms;
  for (int i = 0; i < calls; ++i) {
    const auto start = Clock::now();
    net::HttpTransportOptions options;
    options.read_timeout = 300s;
    net::HttpTransport transport(options);
    transport.Connect("127.0.0.1", port, "Mag04200.rdmArqMag");
    std::vector<comp::CallArgument> args = {{wire::Variant("01"), false}};
    transport.Call("GetEmpresa", args);
    ms.push_back(Ms(Clock::now() - start));
  }
  return Summary(ms);
}

// Calls one after another on one kept-alive connection.
Figures KeptAliveCalls(int port, int calls) {
  net::HttpTransport transport;
  transport.Connect("127.0.0.1", port, "Mag04200.rdmArqMag");
  std::vector<double> ms;
  for (int i = 0; i < calls; ++i) {
    std::vector<comp::CallArgument> args = {{wire::Variant("01"), false}};
    const auto start = Clock::now();
    transport.Call("GetEmpresa", args);
    ms.push_back(Ms(Clock::now() - start));
  }
  return Summary(ms);
}

void Print(const char* what, const Figures& f, const Figures& anchor) {
  std::printf("%-44s median %8.2f ms  worst %8.2f ms  median/anchor %7.2f\n", what, f.median, f.worst,
              f.median / anchor.median);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: hostile_bench MAG-SERVER WORKDIR\n";
    return 2;
  }
  const std::string binary = argv[1];
  const std::string database = std::string(argv[2]) + "/hostile.db";
  PrepareDatabase("sqlite:" + database, {"--init-demo"}, binary);
  ServerProcess server("sqlite:" + database, {}, binary);
  const int port = server.port();

  const Figures anchor = FreshCalls(port, 50);
  Print("anchor: a call on a quiet server", anchor, anchor);
  Print("calls on one kept-alive connection", KeptAliveCalls(port, 200), anchor);

  {
    // Eight clients, each sending one byte of a request every 2 s.
    std::vector<std::unique_ptr<RawConnection>> slow;
    for (int i = 0; i < 8; ++i) slow.push_back(std::make_unique<RawConnection>(port));
    std::atomic<bool> done{false};
    std::thread dripping([&] {
      const std::string request = "POST /v1/call HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\n";
      for (std::size_t at = 0; !done; at = (at + 1) % request.size()) {
        for (auto& s : slow) s->Send(request.substr(at, 1));
        for (int i = 0; i < 20 && !done; ++i) std::this_thread::sleep_for(100ms);
      }
    });
    std::this_thread::sleep_for(1s);
    Print("calls while 8 clients send a byte every 2 s", FreshCalls(port, 20), anchor);
    done = true;
    dripping.join();
  }
  {
    std::vector<std::unique_ptr<RawConnection>> idle;
    for (int i = 0; i < 200; ++i) idle.push_back(std::make_unique<RawConnection>(port));
    Print("calls while 200 connections stay idle", FreshCalls(port, 20), anchor);
  }
  return server.Stop() == 0 ? 0 : 1;
}
