// Builds and serves a large magnetic file through mag-server on loopback and
// prints the lines per second and the server's peak memory. Run it with
// scripts/bench-server (a release build); it is not a test.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "host/net/http_transport.h"
#include "lib/wire/host_date.h"
#include "tests/support/process_memory.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

// The file of the volume company for January 2026.
RegistroArgs VolumeRequest() {
  RegistroArgs a;
  a.tax.clear();
  a.company = "90";
  a.registration = "900000009008";
  a.file_name = "volume.txt";
  a.book.clear();
  return a;
}

struct Result {
  long lines = 0;
  double seconds = 0;
  double first_page_seconds = 0;
  long peak_kib = 0;
};

Result Run(const std::string& binary, const std::string& db) {
  ServerProcess server(db, {}, binary);
  net::HttpTransport transport;
  transport.Connect("127.0.0.1", server.port(), "Mag04200.rdmArqMag");
  RegistroArgs a = VolumeRequest();
  Result r;
  const auto began = std::chrono::steady_clock::now();
  for (;;) {
    auto args = a.Arguments();
    const auto reply = transport.Call("GetRegistro", args).AsArray();
    if (a.first_page == "S") {
      r.first_page_seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
      if (reply.at(0).AsString() != "OK") throw std::runtime_error("status " + reply.at(0).AsString());
      a.key = reply.at(4).AsString();
    }
    r.lines += static_cast<long>(reply.at(1).AsPacket().rows.size());
    if (reply.at(3).AsString() != "S") break;
    a.first_page = "N";
    a.start = a.end + 1;
    a.end += 50000;
  }
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
  r.peak_kib = PeakKiB(server.pid());
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::cerr << "usage: server_bench MAG_SERVER_BINARY WORK_DIR [NOTES...]\n"
                 "Each NOTES value makes a volume company of that many notes (five lines each).\n";
    return 2;
  }
  const std::string binary = argv[1];
  const std::string dir = argv[2];
  std::vector<long> sizes;
  for (int i = 3; i < argc; ++i) sizes.push_back(std::stol(argv[i]));
  if (sizes.empty()) sizes = {20000, 200000};
  std::printf("%12s %10s %12s %14s %14s\n", "lines", "seconds", "lines/s", "first page s", "server peak MiB");
  for (long notes : sizes) {
    const std::string db = dir + "/bench_" + std::to_string(notes) + ".db";
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
    const std::string prepare = binary + " --migrate-only --database sqlite:" + db + " --demo-volume " +
                                std::to_string(notes) + " 2>/dev/null";
    if (std::system(prepare.c_str()) != 0) {
      std::cerr << "cannot prepare " << db << "\n";
      return 1;
    }
    const Result r = Run(binary, "sqlite:" + db);
    std::printf("%12ld %10.2f %12.0f %14.2f %14.1f\n", r.lines, r.seconds, r.lines / r.seconds,
                r.first_page_seconds, r.peak_kib / 1024.0);
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
  }
  return 0;
}
