// The whole export of a large file: mag-export against mag-server on loopback,
// timed side by side with sqlite3 writing the same stored lines to a file, and
// the client's peak memory, for files of growing size. Run it with
// scripts/bench-export (a release build); it is not a test.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "host/net/http_transport.h"
#include "lib/wire/host_date.h"
#include "tests/support/export_command.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// Runs a program, waits, and gives its wall time and peak memory (KiB).
std::pair<double, long> Measure(std::vector<std::string> args, const std::string& stdout_path) {
  const auto started = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    std::FILE* out = std::freopen(stdout_path.c_str(), "w", stdout);
    (void)out;
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(args[0] + " failed");
  return {Seconds(started), usage.ru_maxrss};
}

// Leaves the lines of one request stored (a first call with a one-line page)
// and returns its sequence number.
std::string StoreRequest(int port) {
  net::HttpTransport transport;
  transport.Connect("127.0.0.1", port, "Mag04200.rdmArqMag");
  RegistroArgs request;
  request.tax.clear();
  request.company = "90";
  request.registration = "900000009008";
  request.end = 1;
  auto args = request.Arguments();
  const auto key = transport.Call("GetRegistro", args).AsArray().at(4).AsString();
  return key.substr(0, key.find('-'));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    std::cerr << "usage: export_bench MAG_SERVER MAG_EXPORT WORK_DIR NOTES...\n";
    return 2;
  }
  const std::string server_binary = argv[1], export_binary = argv[2], dir = argv[3];
  std::printf("%10s %12s %12s %10s %10s %16s\n", "lines", "mag-export s", "lines/s", "sqlite3 s", "ratio",
              "client peak MiB");
  for (int i = 4; i < argc; ++i) {
    const std::string notes = argv[i];
    const std::string db = dir + "/export_" + notes + ".db";
    const std::string out = dir + "/out";
    std::filesystem::create_directories(out);
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
    PrepareDatabase("sqlite:" + db, {"--demo-volume", notes}, server_binary);
    ServerProcess server("sqlite:" + db, {"--output-dir", out}, server_binary);
    const auto [export_seconds, peak_kib] =
        Measure(ExportCommand(export_binary, server.port(), "sqlite:" + db, true, "volume.txt"), "/dev/null");
    const auto lines = std::filesystem::file_size(out + "/volume.txt") / 128;
    const std::string sequence = StoreRequest(server.port());
    const auto [sqlite_seconds, sqlite_kib] = Measure(
        {"/usr/bin/sqlite3", db,
         "SELECT DSREGARQMAG FROM ARQMAGLINHA WHERE NRSEQARQMAG = " + sequence + " ORDER BY NRORDREGARQ"},
        out + "/sqlite3.txt");
    (void)sqlite_kib;
    std::printf("%10ju %12.2f %12.0f %10.2f %10.1f %16.1f\n", static_cast<std::uintmax_t>(lines),
                export_seconds, static_cast<double>(lines) / export_seconds, sqlite_seconds,
                export_seconds / sqlite_seconds, static_cast<double>(peak_kib) / 1024.0);
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
  }
  return 0;
}
