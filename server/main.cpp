// mag-server: the application server of the magnetic-file screen.
#include <malloc.h>
#include <pthread.h>
#include <CLI/CLI.hpp>

#include <csignal>
#include <filesystem>
#include <iostream>
#include <thread>

#include "lib/sql/session.h"
#include "server/demo_data.h"
#include "server/http_server.h"
#include "server/import/import_command.h"
#include "server/schema.h"

int main(int argc, char** argv) {
  server::ServerConfig config;
  bool init_demo = false;
  bool migrate_only = false;
  bool keep_latin1 = false;
  bool verbose = false;
  long volume = 0;

  CLI::App app{"mag-server: the application server of the magnetic-file screen (Mag04200.rdmArqMag)"};
  app.set_config("--config", "", "read options from a file of 'option = value' lines (TOML or INI)");
  app.add_option("--database", config.database, "database URL: sqlite:<path>")->capture_default_str();
  app.add_option("--listen", config.listen, "address to listen on")->capture_default_str();
  app.add_option("--port", config.port, "port to listen on (0: any free port)")
      ->capture_default_str()
      ->check(CLI::Range(0, 65535));
  app.add_option(
      "--output-dir", config.output_dir,
      "directory, on the users' machines, where the screen writes the file (default: this directory)");
  app.add_flag("--keep-latin1", keep_latin1, "write accented letters as ISO-8859-1 instead of plain ASCII");
  app.add_option("--request-ttl", config.request_ttl, "seconds before an abandoned file request is dropped")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_option("--max-body", config.max_body, "largest request body taken, in bytes")
      ->capture_default_str()
      ->check(CLI::Range(1024, 1 << 30));
  app.add_option("--threads", config.threads, "worker threads")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  app.add_option("--max-builds", config.max_builds, "files built at once; more wait their turn")
      ->capture_default_str()
      ->check(CLI::Range(1, 256));
  app.add_option("--build-threads", config.build_threads,
                 "register groups of one file built at once (0: one per processor)")
      ->capture_default_str()
      ->check(CLI::Range(0, 64));
  app.add_option("--request-timeout", config.request_timeout,
                 "seconds a request may take to arrive, headers and body")
      ->capture_default_str()
      ->check(CLI::Range(1, 3600));
  app.add_option("--idle-timeout", config.idle_timeout,
                 "seconds a kept-alive connection may wait for its next request")
      ->capture_default_str()
      ->check(CLI::Range(1, 86400));
  app.add_option("--max-connections", config.max_connections, "connections open at once")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  app.add_option("--max-connections-per-address", config.max_connections_per_address,
                 "connections open at once from one client address")
      ->capture_default_str()
      ->check(CLI::Range(1, 100000));
  app.add_option("--max-stored-lines", config.max_stored_lines,
                 "lines of unfinished exports kept in the database, beyond which no new file is started")
      ->capture_default_str()
      ->check(CLI::PositiveNumber);
  app.add_flag("--init-demo", init_demo, "load the demo data into an empty database, then serve");
  app.add_option("--demo-volume", volume,
                 "also load a volume company (\"90\") with this many notes of 5 lines")
      ->check(CLI::NonNegativeNumber);
  app.add_flag("--migrate-only", migrate_only,
               "bring the schema up to date (and load data as asked) and exit");
  app.add_flag("-v,--verbose", verbose, "log every call on standard error");
  // Bringing a company's documents in: authorised XML files, directories
  // and zip archives of them.
  server::import::ImportOptions import_options;
  CLI::App* import = app.add_subcommand(
      "import", "import authorised NF-e, NFC-e and CT-e XML files (and their cancellations) for a company");
  import->add_option("--database", import_options.database, "database URL: sqlite:<path> or postgresql://...")
      ->required();
  import->add_option("--company", import_options.company, "company code (CDEMPRESA)")->required();
  import->add_option("--registration", import_options.registration, "state registration (CDINSCESTA)")
      ->required();
  import->add_option("--book", import_options.book, "magnetic book (CDLIVROMAG) given to the documents");
  import
      ->add_option("paths", import_options.paths, "XML files, directories (searched recursively), zip files")
      ->required();
  // Merging another system's magnetic file: its printers' days, consumer
  // documents and products.
  server::import::ImportOptions merge_options;
  CLI::App* merge = app.add_subcommand(
      "import-file", "merge another system's magnetic file (registers 60, 61, 61R and 75) for a company");
  merge->add_option("--database", merge_options.database, "database URL: sqlite:<path> or postgresql://...")
      ->required();
  merge->add_option("--company", merge_options.company, "company code (CDEMPRESA)")->required();
  merge->add_option("--registration", merge_options.registration, "state registration (CDINSCESTA)")
      ->required();
  merge->add_flag("--notes", merge_options.with_notes, "also merge the notes of registers 50, 51, 53 and 54");
  merge->add_option("--book", merge_options.book, "magnetic book (CDLIVROMAG) given to the notes");
  merge->add_option("file", merge_options.paths, "the magnetic file")->required()->expected(1);
  CLI11_PARSE(app, argc, argv);
  if (import->parsed()) return server::import::RunImport(import_options);
  if (merge->parsed()) return server::import::RunImportFile(merge_options);
  // Every worker thread would otherwise keep its own heap sized for the
  // largest page it ever served; one shared heap keeps the server's memory
  // the size of a page, whatever the size of the file.
  mallopt(M_ARENA_MAX, 1);
  config.encoding = keep_latin1 ? server::TextEncoding::Latin1 : server::TextEncoding::Ascii;
  if (config.build_threads == 0)
    config.build_threads = static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
  if (config.output_dir.empty()) config.output_dir = std::filesystem::current_path().string();
  if (config.output_dir.back() != '/') config.output_dir += '/';

  try {
    {
      auto session = sql::OpenSession(config.database);
      server::Migrate(*session);
      if (init_demo && server::LoadDemoData(*session)) std::cerr << "mag-server: demo data loaded\n";
      if (volume > 0) {
        server::LoadVolumeData(*session, volume);
        std::cerr << "mag-server: volume company 90 loaded with " << volume << " notes\n";
      }
    }
    if (migrate_only) return 0;

    // Signals are taken by one thread so that the workers never see them.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that goes away mid-answer is an error of that write, not a
    // reason to end the process.
    std::signal(SIGPIPE, SIG_IGN);

    server::SessionPool sessions(config.database);
    server::Mag04200 methods(config, sessions);
    // A logged text may quote a client's values: no control character of
    // theirs can start a line of its own.
    methods.log = [](std::string line) {
      for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
      }
      std::cerr << "mag-server: " << line << std::endl;
    };
    server::HttpServer http(config, methods);
    if (verbose) http.log = [](const std::string& line) { std::cerr << "mag-server: " << line << "\n"; };
    const int port = http.Bind();
    std::cout << "mag-server: listening on http://" << config.listen << ":" << port << std::endl;

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
