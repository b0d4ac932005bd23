// An office's month in one command: COMPANIES files of about 5 × NOTES lines
// each (the volume companies 10, 11 …), made by `mag-export --lote` with
// --paralelo 1, 2 and 4 against one server, then with the plan split in two
// halves made at once against two servers on the same database; beside the
// same files made one `mag-export` at a time in the same run (the anchor).
// Total time as a ratio to the anchor, and the servers' private memory
// (anonymous pages, sampled). The database is the PostgreSQL cluster of
// MAG_TEST_POSTGRESQL, or a SQLite file without it. Run it with
// scripts/bench-batch (a release build); it is not a test.
//   batch_bench MAG_SERVER MAG_EXPORT WORK [COMPANIES] [NOTES]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/process_memory.h"
#include "tests/support/server_process.h"

namespace {

namespace fs = std::filesystem;

struct Figures {
  double seconds = 0;
  long server_private_kib = 0;  // the most the servers held together
  bool ok = true;
};

// Runs the shell commands at once and waits for all; samples the servers'
// private memory meanwhile.
Figures Timed(const std::vector<std::string>& commands, const std::vector<pid_t>& servers) {
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  std::vector<pid_t> running;
  for (const std::string& command : commands) {
    const pid_t pid = fork();
    if (pid == 0) {
      execl("/bin/sh", "sh", "-c", command.c_str(), nullptr);
      _exit(127);
    }
    running.push_back(pid);
  }
  Figures f;
  while (!running.empty()) {
    long held = 0;
    for (pid_t server : servers) held += PrivateKiB(server);
    f.server_private_kib = std::max(f.server_private_kib, held);
    for (auto it = running.begin(); it != running.end();) {
      int status = 0;
      if (waitpid(*it, &status, WNOHANG) == *it) {
        f.ok = f.ok && WIFEXITED(status) && WEXITSTATUS(status) == 0;
        it = running.erase(it);
      } else {
        ++it;
      }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  f.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return f;
}

void Print(const char* what, const Figures& f, const Figures& anchor) {
  std::printf("%-44s %7.2f s  ratio %.2f  servers' private memory %6.1f MiB%s\n", what, f.seconds,
              f.seconds / anchor.seconds, f.server_private_kib / 1024.0, f.ok ? "" : "  (FAILED)");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: batch_bench MAG_SERVER MAG_EXPORT WORK [COMPANIES] [NOTES]\n");
    return 2;
  }
  const std::string server_binary = argv[1], export_binary = argv[2];
  const fs::path work = argv[3];
  const int companies = argc > 4 ? std::atoi(argv[4]) : 50;
  const long notes = argc > 5 ? std::atol(argv[5]) : 4000;
  const fs::path out = work / "saida";
  fs::create_directories(out);

  const std::string database = TestDatabase("batch_bench");
  std::printf("database: %s\n", TestCluster().empty() ? "SQLite" : "PostgreSQL");
  const auto load_start = std::chrono::steady_clock::now();
  PrepareDatabase(
      database,
      {"--demo-companies", std::to_string(companies), "--demo-company-notes", std::to_string(notes)},
      server_binary);
  std::printf("loaded %d companies of %ld notes in %.1f s\n", companies, notes,
              std::chrono::duration<double>(std::chrono::steady_clock::now() - load_start).count());

  std::vector<std::string> codes;
  for (int c = 0; c < companies; ++c) codes.push_back(std::to_string(10 + c));
  const auto plan = [&](const fs::path& path, std::size_t from, std::size_t to) {
    std::ofstream p(path);
    p << "empresa,inscricao,de,nome\n";
    for (std::size_t c = from; c < to; ++c)
      p << codes[c] << ",900000009008,01/2026,lote_" << codes[c] << ".txt\n";
  };
  plan(work / "plano.csv", 0, codes.size());
  plan(work / "metade-a.csv", 0, codes.size() / 2);
  plan(work / "metade-b.csv", codes.size() / 2, codes.size());

  int status = 0;
  {
    ServerProcess a(database, {"--output-dir", out.string()}, server_binary);
    const auto client = [&](const ServerProcess& s) {
      return export_binary + " --settings /dev/null --server 127.0.0.1:" + std::to_string(s.port()) +
             " --database '" + database + "'";
    };
    // The anchor: the same files, one mag-export after the other.
    std::string serial;
    for (const std::string& code : codes) {
      serial += client(a) + " --empresa " + code + " --inscricao 900000009008 --de 01/2026 --ate 01/2026 " +
                "--versao 3 --finalidade 1 --nome serial_" + code + ".txt >/dev/null 2>&1 && ";
    }
    serial += "true";
    const Figures anchor = Timed({serial}, {a.pid()});
    std::ifstream one(out / ("serial_" + codes[0] + ".txt"));
    const long lines = std::count(std::istreambuf_iterator<char>(one), {}, '\n');
    std::printf("%d files of %ld lines\n", companies, lines);
    Print("one mag-export at a time (anchor)", anchor, anchor);

    for (int parallel : {1, 2, 4}) {
      const Figures f = Timed({client(a) + " --lote " + (work / "plano.csv").string() +
                               " --refazer --paralelo " + std::to_string(parallel) + " >/dev/null 2>&1"},
                              {a.pid()});
      const std::string what = "--lote --paralelo " + std::to_string(parallel) + ", one server";
      Print(what.c_str(), f, anchor);
      if (!f.ok) status = 1;
    }
    ServerProcess b(database, {"--output-dir", out.string()}, server_binary);
    for (int parallel : {1, 2, 4}) {
      const std::string each = " --refazer --paralelo " + std::to_string(parallel) + " >/dev/null 2>&1";
      const Figures f = Timed({client(a) + " --lote " + (work / "metade-a.csv").string() + each,
                               client(b) + " --lote " + (work / "metade-b.csv").string() + each},
                              {a.pid(), b.pid()});
      const std::string what = "half each, --paralelo " + std::to_string(parallel) + ", two servers";
      Print(what.c_str(), f, anchor);
      if (!f.ok) status = 1;
    }
  }
  DropTestDatabase(database);
  return status;
}
