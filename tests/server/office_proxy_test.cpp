// The office set-up of docs/office/nginx.conf, run as it stands but for its
// addresses and paths: two servers of one database behind nginx, eight
// exports through it at once, and a server that stops while the calls go on.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <fstream>
#include <thread>

#include "tests/support/server_client.h"
#include "tests/support/server_process.h"

namespace {

const char* const kNginx = "/usr/sbin/nginx";

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("docs/office/nginx.conf has no '" + from + "'");
  return text.replace(at, from.size(), to);
}

int FreePort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t size = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  close(fd);
  return ntohs(address.sin_port);
}

// nginx in the foreground on the example's configuration, its two servers and
// its own address replaced, its files in a directory of the test.
class Nginx {
 public:
  Nginx(int first, int second) : port_(FreePort()) {
    dir_ = std::filesystem::temp_directory_path() / ("mag_nginx_" + std::to_string(getpid()));
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    // Workers of an nginx started as root run as another user.
    std::filesystem::permissions(dir_, std::filesystem::perms::all);
    std::ifstream in(std::string(MAG_SOURCE_DIR) + "/docs/office/nginx.conf");
    std::string conf((std::istreambuf_iterator<char>(in)), {});
    const std::string d = dir_.string();
    conf = Replaced(conf, "/var/log/nginx/mag-error.log", d + "/error.log");
    conf = Replaced(conf, "/run/mag-nginx.pid", d + "/nginx.pid");
    conf = Replaced(conf, "/var/lib/nginx/mag-body", d + "/body");
    conf = Replaced(conf, "/var/lib/nginx/mag-proxy", d + "/proxy");
    conf = Replaced(conf, "127.0.0.1:8421", "127.0.0.1:" + std::to_string(first));
    conf = Replaced(conf, "127.0.0.1:8422", "127.0.0.1:" + std::to_string(second));
    conf = Replaced(conf, "listen 127.0.0.1:8420", "listen 127.0.0.1:" + std::to_string(port_));
    std::ofstream(dir_ / "nginx.conf") << conf;
    pid_ = fork();
    if (pid_ == 0) {
      execl(kNginx, kNginx, "-p", d.c_str(), "-c", (d + "/nginx.conf").c_str(), "-g", "daemon off;",
            static_cast<char*>(nullptr));
      _exit(127);
    }
    for (int i = 0; i < 100; ++i) {
      const int fd = socket(AF_INET, SOCK_STREAM, 0);
      sockaddr_in address{};
      address.sin_family = AF_INET;
      address.sin_port = htons(static_cast<std::uint16_t>(port_));
      address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
      const bool up = connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
      close(fd);
      if (up) return;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    throw std::runtime_error("nginx did not start");
  }
  ~Nginx() {
    kill(pid_, SIGQUIT);
    waitpid(pid_, nullptr, 0);
    std::filesystem::remove_all(dir_);
  }
  int port() const { return port_; }

 private:
  int port_;
  pid_t pid_ = -1;
  std::filesystem::path dir_;
};

TEST(OfficeProxy, TwoServersBehindNginxShareTheExportsAndOneMayStop) {
  ASSERT_TRUE(std::filesystem::exists(kNginx)) << "nginx is not installed (scripts/setup installs it)";
  const std::string database = TestDatabase("office");
  PrepareDatabase(database, {"--init-demo", "--demo-volume", "4001"});
  auto first = std::make_unique<ServerProcess>(database);
  ServerProcess second(database);
  Nginx proxy(first->port(), second.port());
  RegistroArgs a;
  a.company = "90";
  a.registration = "900000009008";
  a.tax = "";
  const auto serial = ServerClient(second.port()).Fetch(a);
  ASSERT_EQ(serial.status, "OK");

  const auto [files, failures] = FetchTogether({proxy.port()}, a, 8);
  for (std::size_t i = 0; i < files.size(); ++i) {
    EXPECT_EQ(failures[i], "") << "export " << i;
    EXPECT_TRUE(files[i].lines == serial.lines) << "export " << i;
  }

  // One server stops: the calls through the proxy go on on the other.
  first->Kill();
  first.reset();
  for (int i = 0; i < 3; ++i) {
    const auto after = ServerClient(proxy.port()).Fetch(a);
    EXPECT_EQ(after.status, "OK");
    EXPECT_TRUE(after.lines == serial.lines) << "export " << i << " after the stop";
  }
  DropTestDatabase(database);
}

}  // namespace
