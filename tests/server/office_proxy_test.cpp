// The office set-up of docs/office/nginx.conf, run as it stands but for its
// addresses and paths: two servers of one database behind nginx, eight
// exports through it at once, and a server that stops while the calls go on.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>

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
  Nginx(int first, int second) : port_(FreePort()), tls_port_(FreePort()) {
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
    // The TLS address, with a throwaway certificate for 127.0.0.1.
    conf =
        Replaced(conf, "listen 0.0.0.0:8443 ssl", "listen 127.0.0.1:" + std::to_string(tls_port_) + " ssl");
    conf = Replaced(conf, "/etc/mag/tls/servidor.crt", d + "/servidor.crt");
    conf = Replaced(conf, "/etc/mag/tls/servidor.key", d + "/servidor.key");
    Certificate(d + "/servidor");
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
  int tls_port() const { return tls_port_; }
  std::string certificate() const { return (dir_ / "servidor.crt").string(); }

  // A self-signed certificate for 127.0.0.1, as `openssl req` makes one.
  static void Certificate(const std::string& path) {
    const std::string command =
        "openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=127.0.0.1"
        " -addext subjectAltName=IP:127.0.0.1 -keyout " +
        path + ".key -out " + path + ".crt >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) throw std::runtime_error("openssl could not make a certificate");
  }

 private:
  int port_;
  int tls_port_;
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

// The office reached over TLS: mag-export through nginx's TLS address, its
// certificate checked against the office's authority, the user named in the
// settings and the password in MAG_PASSWORD, makes the bytes it makes over
// loopback; another authority, or a wrong password, is refused plainly.
TEST(OfficeProxy, OverTlsWithAUserTheFileIsTheSameAndAWrongAuthorityIsRefused) {
  const std::string database = TestDatabase("office_tls");
  PrepareDatabase(database, {"--init-demo"});
  const auto dir = std::filesystem::temp_directory_path() / ("mag_tls_" + std::to_string(getpid()));
  std::filesystem::create_directories(dir);
  const std::string users = (dir / "usuarios").string();
  ASSERT_EQ(std::system(("echo ana-senha-123 | " + std::string(MAG_SERVER_PATH) + " user add --users " +
                         users + " ana consulta >/dev/null")
                            .c_str()),
            0);
  ServerProcess server(database, {"--users", users, "--output-dir", dir.string()});
  Nginx proxy(server.port(), server.port());
  const auto settings = [&](const std::string& name, const std::string& ca) {
    const std::string path = (dir / name).string();
    std::ofstream(path) << "server.user = ana\nserver.tls = sim\nserver.ca = " << ca << "\n";
    return path;
  };
  const auto run = [&](const std::string& settings_file, int port, const std::string& file,
                       const std::string& password) {
    const std::string command =
        "MAG_PASSWORD=" + password + " " + MAG_EXPORT_PATH + " --settings " + settings_file +
        " --server 127.0.0.1:" + std::to_string(port) + " --database '" + database +
        "' --empresa 01 --imposto 01 --inscricao 110042490114 --de 01/2026 --ate 01/2026"
        " --versao 3 --finalidade 1 --nome " +
        file + " </dev/null 2>&1";
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    char buffer[4096];
    for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) output.append(buffer, n);
    const int status = pclose(pipe);
    return std::make_pair(WEXITSTATUS(status), output);
  };
  const auto read = [&](const std::string& name) {
    std::ifstream in(dir / name, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), {});
  };
  // Straight to the server on loopback (no TLS), then through nginx over TLS.
  const std::string plain = (dir / "plain.conf").string();
  std::ofstream(plain) << "server.user = ana\n";
  const auto [plain_status, plain_output] = run(plain, server.port(), "plain.txt", "ana-senha-123");
  ASSERT_EQ(plain_status, 0) << plain_output;
  const auto [tls_status, tls_output] =
      run(settings("tls.conf", proxy.certificate()), proxy.tls_port(), "tls.txt", "ana-senha-123");
  ASSERT_EQ(tls_status, 0) << tls_output;
  EXPECT_FALSE(read("tls.txt").empty());
  EXPECT_EQ(read("tls.txt"), read("plain.txt"));

  // A certificate of another authority.
  Nginx::Certificate((dir / "outra").string());
  const auto [other_status, other_output] = run(settings("outra.conf", (dir / "outra.crt").string()),
                                                proxy.tls_port(), "outra.txt", "ana-senha-123");
  EXPECT_NE(other_status, 0);
  EXPECT_NE(other_output.find("o certificado do servidor não foi confirmado pela autoridade de server.ca"),
            std::string::npos)
      << other_output;
  // A wrong password.
  const auto [wrong_status, wrong_output] =
      run(settings("tls.conf", proxy.certificate()), proxy.tls_port(), "errada.txt", "errada");
  EXPECT_NE(wrong_status, 0);
  EXPECT_NE(wrong_output.find("Usuário ou senha inválidos."), std::string::npos) << wrong_output;
  std::filesystem::remove_all(dir);
  DropTestDatabase(database);
}

}  // namespace
