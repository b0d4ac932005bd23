#include "server/serve_command.h"

#include <malloc.h>
#include <pthread.h>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <thread>

#include "lib/sql/session.h"
#include "server/auth/users.h"
#include "server/db/schema.h"
#include "server/demo/demo_data.h"
#include "server/rpc/http_server.h"

namespace server {

void AddServeOptions(CLI::App& app, ServeOptions& o) {
  app.set_config("--config", "", "read options from a file of 'option = value' lines (TOML or INI)");
  app.add_option("--database", o.config.database, "database URL: sqlite:<path>")->capture_default_str();
  app.add_option("--listen", o.config.listen, "address to listen on")->capture_default_str();
  app.add_option("--port", o.config.port, "port to listen on (0: any free port)")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  app.add_option(
      "--output-dir", o.config.output_dir,
      "directory, on the users' machines, where the screen writes the file (default: this directory)");
  app.add_flag("--keep-latin1", o.keep_latin1, "write accented letters as ISO-8859-1 instead of plain ASCII");
  app.add_option("--request-ttl", o.config.request_ttl, "seconds before an abandoned file request is dropped")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--max-body", o.config.max_body, "largest request body taken, in bytes")
      ->capture_default_str()
      ->check(CLI::Range(1024, 1 << 30));
  app.add_option("--max-import-body", o.config.max_import_body,
                 "largest file sent to /v1/import, in bytes (written to disk as it arrives)")
      ->capture_default_str();
  app.add_option("--threads", o.config.threads, "worker threads")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  app.add_option("--max-builds", o.config.max_builds, "files built at once; more wait their turn")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  app.add_option("--build-threads", o.config.build_threads,
                 "register groups of one file built at once (0: one per processor)")
      ->capture_default_str()
      ->check(CLI::Range(0, 64));
  app.add_option("--request-timeout", o.config.request_timeout,
                 "seconds a request may take to arrive, headers and body")
      ->capture_default_str()
      ->check(CLI::Range(1, 3600));
  app.add_option("--idle-timeout", o.config.idle_timeout,
                 "seconds a kept-alive connection may wait for its next request")
      ->capture_default_str()
      ->check(CLI::Range(1, 86400));
  app.add_option("--max-connections", o.config.max_connections, "connections open at once")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  app.add_option("--max-connections-per-address", o.config.max_connections_per_address,
                 "connections open at once from one client address")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  app.add_option("--max-stored-lines", o.config.max_stored_lines,
                 "lines of unfinished exports kept in the database, beyond which no new file is started")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_flag("--init-demo", o.init_demo, "load the demo data into an empty database, then serve");
  app.add_option("--demo-volume", o.volume,
                 "also load a volume company (\"90\") with this many notes of 5 lines")
      ->check(CLI::NonNegativeNumber);
  app.add_option(
         "--demo-companies", o.companies,
         "also load this many volume companies (\"10\", \"11\" …), each with --demo-company-notes notes")
      ->check(CLI::Range(0, 50));
  app.add_option("--demo-company-notes", o.company_notes, "notes of 5 lines of each of --demo-companies")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_flag("--migrate-only", o.migrate_only,
               "bring the schema up to date (and load data as asked) and exit");
  app.add_flag("-v,--verbose", o.verbose, "log every call on standard error");
  app.add_option("--users", o.config.users_file,
                 "the users file (mag-server user add): every call but the handshake names its user");
  app.add_flag("--insecure-open", o.config.insecure_open,
               "serve a non-loopback address without users: anyone who reaches it reads every company");
}

namespace {

// Whether the server would listen on this machine only.
bool Loopback(const std::string& listen) {
  return listen == "127.0.0.1" || listen == "::1" || listen == "localhost" || listen.rfind("127.", 0) == 0;
}

}  // namespace

int Serve(ServeOptions o) {
  // Every worker thread would otherwise keep its own heap sized for the
  // largest page it ever served; one shared heap keeps the server's memory
  // the size of a page, whatever the size of the file.
  mallopt(M_ARENA_MAX, 1);
  o.config.encoding = o.keep_latin1 ? TextEncoding::Latin1 : TextEncoding::Ascii;
  if (o.config.build_threads == 0)
    o.config.build_threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  if (o.config.output_dir.empty()) o.config.output_dir = std::filesystem::current_path().string();
  if (o.config.output_dir.back() != '/') o.config.output_dir += '/';

  // Fiscal data of an office's clients is not to be open on a network: a
  // server reachable from other machines asks who is calling.
  if (!Loopback(o.config.listen) && o.config.users_file.empty()) {
    if (!o.config.insecure_open) {
      std::cerr << "mag-server: escutar em " << o.config.listen
                << " abre os dados fiscais a quem alcançar a porta: crie um arquivo de usuários\n"
                   "  mag-server user add --users /etc/mag/usuarios NOME administracao\n"
                   "e inicie com --users /etc/mag/usuarios (ou --insecure-open, se quiser mesmo um servidor "
                   "aberto)\n";
      return 2;
    }
    std::cerr
        << "mag-server: AVISO: servidor aberto em " << o.config.listen
        << " sem usuários (--insecure-open): qualquer um que alcance a porta lê e grava os dados fiscais\n";
  }
  if (!o.config.users_file.empty()) {
    try {
      const auto users = auth::ReadUsers(o.config.users_file);
      if (users.empty()) {
        std::cerr << "mag-server: o arquivo de usuários " << o.config.users_file << " não tem usuários\n";
        return 2;
      }
    } catch (const auth::UsersFileError& e) {
      std::cerr << "mag-server: " << e.what() << "\n";
      return 2;
    }
  }

  try {
    {
      auto session = sql::OpenSession(o.config.database);
      Migrate(*session);
      if (o.init_demo && LoadDemoData(*session)) std::cerr << "mag-server: demo data loaded\n";
      if (o.volume > 0) {
        LoadVolumeData(*session, o.volume);
        std::cerr << "mag-server: volume company 90 loaded with " << o.volume << " notes\n";
      }
      if (o.companies > 0) {
        LoadVolumeCompanies(*session, o.companies, o.company_notes);
        std::cerr << "mag-server: " << o.companies << " volume companies loaded with " << o.company_notes
                  << " notes each\n";
      }
      // The planner's statistics after a bulk load: without them the first
      // exports of a large volume run on plans made for empty tables.
      if ((o.init_demo || o.volume > 0 || o.companies > 0) && session->backend() == sql::Backend::PostgreSql)
        session->Execute("ANALYZE");
    }
    if (o.migrate_only) return 0;

    // Signals are taken by one thread so that the workers never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that goes away mid-answer is an error of that write, not a
    // reason to end the process.
    std::signal(SIGPIPE, SIG_IGN);

    SessionPool sessions(o.config.database);
    Mag04200 methods(o.config, sessions);
    // A logged text may quote a client's values: no control character of
    // theirs can start a line of its own.
    methods.log = [](std::string line) {
      for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
      }
      std::cerr << "mag-server: " << line << std::endl;
    };
    HttpServer http(o.config, methods);
    if (o.verbose) http.log = [](const std::string& line) { std::cerr << "mag-server: " << line << "\n"; };
    const int port = http.Bind();
    std::cout << "mag-server: listening on http://" << o.config.listen << ":" << port << std::endl;

    std::thread waiter([&] {
      int signal = 0;
      sigwait(&signals, &signal);
      http.Stop();
    });
    http.Serve();
    pthread_kill(waiter.native_handle(), SIGTERM);
    waiter.join();
    std::cerr << "mag-server: stopped\n";
    return 0;
  } catch (const std::exception& e) {
    std::cerr << "mag-server: " << e.what() << "\n";
    return 1;
  }
}

}  // namespace server
