#pragma once
// A suite's server: the demo data in a fresh database of its own and a
// mag-server that writes its files into a directory of its own, all removed
// with it.
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>

#include "tests/support/server_process.h"

struct DemoServer {
  explicit DemoServer(const std::string& name)
      : database(TestDatabase(name)),
        out(std::filesystem::temp_directory_path() / ("mag_" + name + "_out_" + std::to_string(getpid()))) {
    std::filesystem::create_directories(out);
    PrepareDatabase(database, {"--init-demo"});
    server =
        std::make_unique<ServerProcess>(database, std::vector<std::string>{"--output-dir", out.string()});
  }
  ~DemoServer() {
    server.reset();
    DropTestDatabase(database);
    std::filesystem::remove_all(out);
  }
  DemoServer(const DemoServer&) = delete;
  DemoServer& operator=(const DemoServer&) = delete;

  std::string database;
  std::filesystem::path out;
  std::unique_ptr<ServerProcess> server;
};
