// The whole export of a large file: mag-export against mag-server on loopback,
// timed beside its lower bound, one sqlite3 statement that builds the same 50
// and 54 lines from the same tables (bench/anchor.sql), as paired medians of
// several runs; the lines are compared byte for byte; the client's and the
// server's peak memory; and how the time grows from the smallest file to the
// largest. Run it with
// scripts/bench-export (a release build); it is not a test.
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "host/net/http_transport.h"
#include "lib/layout/layout_check.h"
#include "lib/wire/host_date.h"
#include "tests/support/export_command.h"
#include "tests/support/process_memory.h"
#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

struct Run {
  double seconds = 0;
  long peak_kib = 0;             // resident
  long private_kib = 0;          // the program's own, sampled
  long watched_private_kib = 0;  // of another process watched meanwhile (the server)
};

// Runs a program, waits, and gives its wall time and peak memory, sampling
// its private memory and that of `watch` (when given) as it runs.
pid_t Spawn(std::vector<std::string> args, const std::string& stdout_path) {
  // What this process printed must not be printed again by the child.
  std::fflush(stdout);
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
  return pid;
}

// Waits for a spawned program; false when it failed.
bool Succeeded(pid_t pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

Run Measure(std::vector<std::string> args, const std::string& stdout_path, pid_t watch = -1) {
  const auto started = std::chrono::steady_clock::now();
  const pid_t pid = Spawn(args, stdout_path);
  Run run;
  int status = 0;
  rusage usage{};
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    run.private_kib = std::max(run.private_kib, PrivateKiB(pid));
    if (watch > 0) run.watched_private_kib = std::max(run.watched_private_kib, PrivateKiB(watch));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error(args[0] + " failed");
  run.seconds = Seconds(started);
  run.peak_kib = usage.ru_maxrss;
  return run;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// The 50 and 54 lines of a magnetic file, without their CR LF.
std::string Lines5054(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string out, line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.rfind("50", 0) == 0 || line.rfind("54", 0) == 0) out += line + "\n";
  }
  return out;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Eight exports of the volume company started together on one server, and a
// small export of the demo company started just behind them: every large
// file must equal the serial one, the eight together should take no longer
// than one after the other, and the small one should get its first (and
// only) page within a second.
void Concurrent(const std::string& server_binary, const std::string& export_binary, const std::string& dir,
                const std::string& notes) {
  const std::string db = dir + "/concurrent.db";
  const std::string out = dir + "/concurrent";
  std::filesystem::create_directories(out);
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
  const std::string url = TestCluster().empty() ? "sqlite:" + db : TestDatabase("bench_concurrent");
  PrepareDatabase(url, {"--init-demo", "--demo-volume", notes}, server_binary);
  ServerProcess server(url, {"--output-dir", out}, server_binary);
  constexpr int kExports = 8;
  double serial = 0;
  for (int i = 0; i < kExports; ++i) {
    serial +=
        Measure(ExportCommand(export_binary, server.port(), url, true, "serial.txt"), "/dev/null").seconds;
  }
  const auto started = std::chrono::steady_clock::now();
  std::vector<pid_t> large;
  for (int i = 0; i < kExports; ++i) {
    large.push_back(
        Spawn(ExportCommand(export_binary, server.port(), url, true, "together" + std::to_string(i) + ".txt"),
              "/dev/null"));
  }
  // Behind them: the eight are building their first pages by now.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  const Run small =
      Measure(ExportCommand(export_binary, server.port(), url, false, "small.txt"), "/dev/null");
  bool all_succeeded = true;
  for (const pid_t pid : large) all_succeeded = Succeeded(pid) && all_succeeded;
  const double together = Seconds(started);
  bool identical = all_succeeded;
  const std::string expected = Read(out + "/serial.txt");
  for (int i = 0; i < kExports; ++i)
    identical = identical && Read(out + "/together" + std::to_string(i) + ".txt") == expected;
  std::printf(
      "concurrent: %d exports of %zu lines: one after the other %.2f s, together %.2f s (ratio %.2f), "
      "all succeeded and identical: %s; a %zu-line export started behind them: %.2f s\n",
      kExports, static_cast<std::size_t>(std::filesystem::file_size(out + "/serial.txt") / 128), serial,
      together, together / serial, identical ? "yes" : "NO",
      static_cast<std::size_t>(std::filesystem::file_size(out + "/small.txt") / 128), small.seconds);
  server.Stop();
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
  if (!TestCluster().empty()) DropTestDatabase(url);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::cerr << "usage: export_bench MAG_SERVER MAG_EXPORT ANCHOR_SQL WORK_DIR RUNS NOTES...\n";
    return 2;
  }
  const std::string server_binary = argv[1], export_binary = argv[2], anchor = argv[3], dir = argv[4];
  const int runs = std::max(1, std::atoi(argv[5]));
  // The export beside the anchor is the file of the anchor's groups (50 and
  // 54, with their 75); "all groups" is the national file of the same
  // company, with its printers, consumer notes, freight bills and inventory.
  std::printf("%10s %12s %10s %8s %10s %12s %12s %22s %22s\n", "lines", "mag-export s", "anchor s", "ratio",
              "identical", "all lines", "all groups s", "client MiB res/priv", "server MiB res/priv");
  std::vector<std::pair<double, double>> sizes;  // lines, export seconds
  for (int i = 6; i < argc; ++i) {
    const std::string notes = argv[i];
    const std::string db = dir + "/export_" + notes + ".db";
    const std::string out = dir + "/out";
    std::filesystem::create_directories(out);
    // On the PostgreSQL cluster MAG_TEST_POSTGRESQL names, when it is set;
    // the anchor is a SQLite statement, run only on SQLite.
    const bool postgresql = !TestCluster().empty();
    const std::string url = postgresql ? TestDatabase("bench_" + notes) : "sqlite:" + db;
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
    PrepareDatabase(url, {"--demo-volume", notes}, server_binary);
    ServerProcess server(url, {"--output-dir", out}, server_binary);
    std::vector<double> exports, anchors, ratios, all_groups;
    long client_kib = 0, client_private = 0, server_private = 0;
    bool identical = true;
    for (int run = 0; run < runs; ++run) {
      // Paired: each export beside one anchor run, in the same conditions.
      const Run e = Measure(ExportCommand(export_binary, server.port(), url, true, "volume.txt",
                                          {"--tipo", "SINTEGRA - RJ", "--registros", "50,54"}),
                            "/dev/null", server.pid());
      const Run a = postgresql
                        ? Run{}
                        : Measure({"/usr/bin/sqlite3", "-init", anchor, db, ".quit"}, out + "/anchor.txt");
      const Run g = Measure(
          ExportCommand(export_binary, server.port(), url, true, "all.txt", {"--inventario", "12/2025"}),
          "/dev/null", server.pid());
      all_groups.push_back(g.seconds);
      client_kib = std::max(client_kib, g.peak_kib);
      client_private = std::max(client_private, g.private_kib);
      server_private = std::max(server_private, g.watched_private_kib);
      exports.push_back(e.seconds);
      anchors.push_back(a.seconds);
      ratios.push_back(postgresql ? 0 : e.seconds / a.seconds);
      client_kib = std::max(client_kib, e.peak_kib);
      client_private = std::max(client_private, e.private_kib);
      server_private = std::max(server_private, e.watched_private_kib);
      identical = identical && (postgresql || Lines5054(out + "/volume.txt") == Read(out + "/anchor.txt"));
    }
    const auto lines = std::filesystem::file_size(out + "/volume.txt") / 128;
    const auto all_lines = std::filesystem::file_size(out + "/all.txt") / 128;
    const auto mib = [](long kib) { return static_cast<double>(kib) / 1024.0; };
    std::printf("%10ju %12.2f %10.2f %8.2f %10s %12ju %12.2f %11.1f/%-10.1f %11.1f/%-10.1f\n",
                static_cast<std::uintmax_t>(lines), Median(exports), Median(anchors), Median(ratios),
                postgresql  ? "no anchor"
                : identical ? "yes"
                            : "NO",
                static_cast<std::uintmax_t>(all_lines), Median(all_groups), mib(client_kib),
                mib(client_private), mib(PeakKiB(server.pid())), mib(server_private));
    // The volume files pass the rule book like any other.
    for (const char* name : {"volume.txt", "all.txt"}) {
      const layout::Report report = layout::CheckFile(out + "/" + name);
      std::printf("%10s checked %s: %ld errors, %ld warnings\n", "", name, report.Errors(),
                  report.Warnings());
    }
    sizes.emplace_back(static_cast<double>(lines), Median(exports));
    server.Stop();
    if (postgresql) {
      // The same file from the same data on SQLite, in the same run.
      const std::string sqlite = "sqlite:" + db;
      PrepareDatabase(sqlite, {"--demo-volume", notes}, server_binary);
      ServerProcess beside(sqlite, {"--output-dir", out}, server_binary);
      std::vector<double> on_sqlite;
      for (int run = 0; run < runs; ++run) {
        on_sqlite.push_back(Measure(ExportCommand(export_binary, beside.port(), sqlite, true, "volume.txt",
                                                  {"--tipo", "SINTEGRA - RJ", "--registros", "50,54"}),
                                    "/dev/null", beside.pid())
                                .seconds);
      }
      std::printf("%10s the same file on SQLite: %.2f s; PostgreSQL/SQLite %.2f\n", "", Median(on_sqlite),
                  Median(exports) / Median(on_sqlite));
    }
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(db + suffix);
    if (postgresql) DropTestDatabase(url);
  }
  if (sizes.size() >= 2) {
    const auto& [small_lines, small_s] = sizes.front();
    const auto& [large_lines, large_s] = sizes.back();
    std::printf("time %.0f lines / %.0f lines: %.2f for %.1f times the lines\n", large_lines, small_lines,
                large_s / small_s, large_lines / small_lines);
  }
  // 125,000 lines each.
  Concurrent(server_binary, export_binary, dir, "25000");
  return 0;
}
