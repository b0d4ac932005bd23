#pragma once
// A real mag-server process on a loopback port over its own database file,
// stopped when the object goes.
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "lib/sql/session.h"

inline std::string DefaultServerBinary() {
#ifdef MAG_SERVER_PATH
  return MAG_SERVER_PATH;
#else
  return "mag-server";
#endif
}

class ServerProcess {
 public:
  // Starts the server with these extra arguments and waits until it listens.
  // With a `log_path`, the server's standard error goes to that file.
  ServerProcess(const std::string& database_url, std::vector<std::string> extra = {},
                const std::string& binary = DefaultServerBinary(), const std::string& log_path = "") {
    std::vector<std::string> args = {binary, "--database", database_url, "--port", "0"};
    args.insert(args.end(), extra.begin(), extra.end());
    int out[2];
    if (pipe(out) != 0) throw std::runtime_error("pipe failed");
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      // The server goes with the test, even when the test crashes.
      prctl(PR_SET_PDEATHSIG, SIGTERM);
      dup2(out[1], STDOUT_FILENO);
      if (!log_path.empty()) {
        const int log = open(log_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (log >= 0) dup2(log, STDERR_FILENO);
      }
      close(out[0]);
      close(out[1]);
      std::vector<char*> argv;
      for (auto& a : args) argv.push_back(a.data());
      argv.push_back(nullptr);
      execv(argv[0], argv.data());
      _exit(127);
    }
    close(out[1]);
    // The server says where it listens on its first line.
    std::string line;
    char c;
    while (read(out[0], &c, 1) == 1 && c != '\n') line += c;
    close(out[0]);
    const auto colon = line.rfind(':');
    if (line.find("listening") == std::string::npos || colon == std::string::npos) {
      Stop();
      throw std::runtime_error("mag-server did not start: '" + line + "'");
    }
    port_ = std::stoi(line.substr(colon + 1));
  }
  ~ServerProcess() { Stop(); }
  ServerProcess(const ServerProcess&) = delete;
  ServerProcess& operator=(const ServerProcess&) = delete;

  int port() const { return port_; }
  pid_t pid() const { return pid_; }
  // Ends the process at once, as a crash would.
  void Kill() { Signal(SIGKILL); }
  // Asks it to stop and waits; returns its exit status.
  int Stop() { return Signal(SIGTERM); }

 private:
  int Signal(int signal) {
    if (pid_ <= 0) return status_;
    kill(pid_, signal);
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return status_;
  }
  pid_t pid_ = -1;
  int port_ = 0;
  int status_ = -1;
};

// Runs mag-server once to set a database up (migrations, demo data, volume).
inline void PrepareDatabase(const std::string& url, const std::vector<std::string>& extra,
                            const std::string& binary = DefaultServerBinary()) {
  std::string command = binary + " --migrate-only --database '" + url + "'";
  for (const auto& e : extra) command += " " + e;
  command += " 2>/dev/null";
  if (std::system(command.c_str()) != 0) throw std::runtime_error("cannot prepare " + url);
}

// The PostgreSQL cluster the tests run on ("postgresql://user@host:port",
// from MAG_TEST_POSTGRESQL), or empty for SQLite files.
inline std::string TestCluster() {
  const char* cluster = std::getenv("MAG_TEST_POSTGRESQL");
  return cluster ? cluster : "";
}

// A fresh, empty database for one test, as a URL: a SQLite file in the
// temporary directory, or a new database on the test cluster.
inline std::string TestDatabase(const std::string& name) {
  const std::string unique = "mag_" + name + "_" + std::to_string(getpid());
  if (const std::string cluster = TestCluster(); !cluster.empty()) {
    auto admin = sql::OpenSession(cluster + "/postgres");
    admin->Execute("DROP DATABASE IF EXISTS " + unique + " WITH (FORCE)");
    admin->Execute("CREATE DATABASE " + unique);
    return cluster + "/" + unique;
  }
  const auto path = std::filesystem::temp_directory_path() / (unique + ".db");
  for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(path.string() + suffix);
  return "sqlite:" + path.string();
}

// A file in the temporary directory for a server's log.
inline std::string TestLog(const std::string& name) {
  return (std::filesystem::temp_directory_path() / ("mag_" + name + "_" + std::to_string(getpid()) + ".log"))
      .string();
}

inline void DropTestDatabase(const std::string& url) {
  if (url.rfind("sqlite:", 0) == 0) {
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(url.substr(7) + suffix);
    return;
  }
  const std::string cluster = TestCluster();
  sql::OpenSession(cluster + "/postgres")
      ->Execute("DROP DATABASE IF EXISTS " + url.substr(cluster.size() + 1) + " WITH (FORCE)");
}
