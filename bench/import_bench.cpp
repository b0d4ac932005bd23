// Bringing a large archive of authorised NF-e files in: `mag-server import`
// over generated documents (two items each, in directories of 1,000 files),
// timed beside its lower bound measured in the same run, sqlite3 executing
// the same rows as plain INSERT statements with one transaction per
// document; documents per second and the importer's peak memory, for each
// count, to show it stays flat as the count grows. Run it with
// scripts/bench-import (a release build); it is not a test.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <zip.h>

#include "tests/support/export_command.h"
#include "tests/support/process_memory.h"
#include "tests/support/server_process.h"

namespace {

namespace fs = std::filesystem;

struct Run {
  double seconds = 0;
  long peak_kib = 0;     // resident, which counts the database's mapped pages
  long private_kib = 0;  // the process's own memory, sampled
  int status = -1;
  std::string output;
};

// Runs a command line through the shell, with its output in a file; wall
// time and the peak resident memory of the command's own process tree.
Run Timed(const std::string& command, const std::string& output_path) {
  std::fflush(stdout);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    // exec: the process timed and sampled is the command itself.
    execl("/bin/sh", "sh", "-c", ("exec " + command + " >" + output_path + " 2>&1").c_str(), nullptr);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  Run run;
  while (wait4(pid, &status, WNOHANG, &usage) == 0) {
    run.private_kib = std::max(run.private_kib, PrivateKiB(pid));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  run.peak_kib = usage.ru_maxrss;
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream in(output_path);
  run.output.assign(std::istreambuf_iterator<char>(in), {});
  return run;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
  for (std::size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
    text.replace(at, from.size(), to);
}

// The 44-digit access key of the informant's exit number `n`, with its
// check digit.
std::string Key(long n) {
  char digits[64];
  std::snprintf(digits, sizeof digits, "3526041122233300026255001%09ld1%08ld", n % 1000000000,
                10000000 + n % 90000000);
  int sum = 0, weight = 2;
  for (int k = 42; k >= 0; --k) {
    sum += (digits[k] - '0') * weight;
    weight = weight == 9 ? 2 : weight + 1;
  }
  const int rest = sum % 11;
  return std::string(digits) + std::to_string(rest < 2 ? 0 : 11 - rest);
}

const std::string kTemplateKey = "35260411222333000262550010000001011102030407";

// Document n: the fixture exit with its own number, key, day and products
// (200 codes shared by all documents, so that most items match a product).
std::string Document(const std::string& exit, long n) {
  std::string text = exit;
  ReplaceAll(text, kTemplateKey, Key(n));
  ReplaceAll(text, "<nNF>101</nNF>", "<nNF>" + std::to_string(n) + "</nNF>");
  char day[8];
  std::snprintf(day, sizeof day, "-04-%02ld", 1 + n % 28);
  ReplaceAll(text, "-04-06T", day + std::string("T"));
  char product[16];
  std::snprintf(product, sizeof product, "PROD%04ld", n % 200);
  ReplaceAll(text, "<cProd>ARROZ5KG</cProd>", std::string("<cProd>") + product + "</cProd>");
  std::snprintf(product, sizeof product, "PROD%04ld", (n + 77) % 200);
  ReplaceAll(text, "<cProd>CAFE1KG-ESP</cProd>", std::string("<cProd>") + product + "</cProd>");
  return text;
}

// The same rows as plain statements: what the import cannot do with less.
void AnchorStatements(std::ofstream& sql, long n) {
  const std::string key = Key(n), seq = std::to_string(1000000 + n), number = std::to_string(n);
  char date[16];
  std::snprintf(date, sizeof date, "2026-04-%02ld", 1 + n % 28);
  char p1[16], p2[16];
  std::snprintf(p1, sizeof p1, "PROD%04ld", n % 200);
  std::snprintf(p2, sizeof p2, "PROD%04ld", (n + 77) % 200);
  sql << "BEGIN;\n"
      << "INSERT INTO NOTAFISCAL (NRSEQNOTA, CDEMPRESA, CDINSCESTA, CDLIVROMAG, IDENTSAI, NRCNPJPART, "
         "CDINSCPART,"
         " SGESTADOPART, DTDOCUMENTO, CDMODELO, CDSERIE, NRNOTA, IDEMITENTE, IDSITUACAO, VRFRETE, VRSEGURO,"
         " VRDESPESAS, DSCHAVEACESSO) VALUES ("
      << seq << ", '01', '244005621111', NULL, 'S', '55666777000181', '115566770891', 'SP', '" << date
      << "', '55', '1', '" << number << "', 'P', 'N', 1500, 0, 0, '" << key << "');\n"
      << "INSERT INTO NOTAFISCALITEM (NRSEQNOTA, NRITEM, CDPRODUTO, CDCFOP, CDCST, QTITEM, VRPRODUTO, "
         "VRDESCONTO,"
         " VRBASEICMS, VRALIQICMS, VRICMS, VRISENTAS, VROUTRAS, VRBASEST, VRICMSST, VRIPI) VALUES ("
      << seq << ", 1, '" << p1 << "', '5102', '000', 10000, 25000, 0, 26000, 1800, 4680, 0, 0, 0, 0, 0), ("
      << seq << ", 2, '" << p2 << "', '5102', '000', 2500, 10000, 500, 10000, 1800, 1800, 0, 0, 0, 0, 0);\n"
      << "INSERT INTO DFEDOCUMENTO VALUES ('01', '244005621111', '" << key << "', '55', '" << date
      << "', '0123456789abcdef');\nCOMMIT;\n";
}

// Each directory of 1,000 documents as a zip archive: the shape an office
// gets its documents in.
std::vector<fs::path> Archives(const fs::path& xml, const fs::path& out) {
  fs::create_directories(out);
  std::vector<fs::path> dirs, archives;
  for (const auto& entry : fs::directory_iterator(xml)) dirs.push_back(entry.path());
  std::sort(dirs.begin(), dirs.end());
  for (const fs::path& dir : dirs) {
    const fs::path archive = out / (dir.filename().string() + ".zip");
    int error = 0;
    zip_t* zip = zip_open(archive.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    for (const auto& file : fs::directory_iterator(dir))
      zip_file_add(zip, file.path().filename().c_str(), zip_source_file(zip, file.path().c_str(), 0, -1), 0);
    zip_close(zip);
    archives.push_back(archive);
  }
  return archives;
}

// The archives sent one after the other to POST /v1/import of a server on
// loopback: wall time, documents the server said it imported, and the
// server's private memory (sampled) before and at its peak.
struct EndpointRun {
  double seconds = 0;
  long imported = 0;
  long private_before_kib = 0, private_peak_kib = 0;
  std::string failure;
};

EndpointRun ThroughTheServer(const std::string& server_binary, const std::string& database,
                             const std::vector<fs::path>& archives) {
  ServerProcess server(database, {}, server_binary);
  EndpointRun run;
  run.private_before_kib = PrivateKiB(server.pid());
  std::atomic<bool> done{false};
  std::thread sampler([&] {
    while (!done) {
      run.private_peak_kib = std::max(run.private_peak_kib, PrivateKiB(server.pid()));
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  });
  httplib::Client http("127.0.0.1", server.port());
  http.set_read_timeout(600);
  const auto start = std::chrono::steady_clock::now();
  for (const fs::path& archive : archives) {
    const auto reply =
        http.Post("/v1/import?company=01&registration=244005621111&file=" + archive.filename().string(),
                  Read(archive.string()), "application/zip");
    if (!reply || reply->status != 200) {
      run.failure = reply ? reply->body : "no answer";
      break;
    }
    const auto at = reply->body.find("\"imported\":");
    if (at != std::string::npos) run.imported += std::stol(reply->body.substr(at + 11));
  }
  run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  done = true;
  sampler.join();
  return run;
}

// The import through the server beside eight exports of the volume company
// (20,001 notes, about 115,000 lines each) on the same SQLite database:
// each alone, then all together. Nothing may be lost, and together they
// should take no longer than one after the other (ratio at most 1: each
// slowed only by its share of the machine).
std::string BesideExports(const std::string& server_binary, const std::string& exporter, const fs::path& root,
                          const std::vector<fs::path>& archives, long count) {
  const fs::path db = root / "beside.db";
  if (std::system((server_binary + " --migrate-only --init-demo --demo-volume 20001 --database sqlite:" +
                   db.string() + " >/dev/null 2>&1")
                      .c_str()) != 0)
    return "beside eight exports: the database could not be prepared\n";
  const fs::path out = root / "exports";
  fs::create_directories(out);
  ServerProcess server("sqlite:" + db.string(), {"--output-dir", out.string()}, server_binary);
  const auto exports = [&](const std::string& tag) {
    std::vector<std::thread> threads;
    std::vector<int> status(8, -1);
    for (int k = 0; k < 8; ++k) {
      threads.emplace_back([&, k] {
        std::string command;
        for (const std::string& arg : ExportCommand(exporter, server.port(), "sqlite:" + db.string(), true,
                                                    tag + std::to_string(k) + ".txt"))
          command += "'" + arg + "' ";
        status[static_cast<std::size_t>(k)] = std::system((command + ">/dev/null 2>&1").c_str());
      });
    }
    for (auto& t : threads) t.join();
    return std::count(status.begin(), status.end(), 0) == 8;
  };
  // Each import goes to documents of its own: the same archive twice would
  // find them already in.
  httplib::Client http("127.0.0.1", server.port());
  http.set_read_timeout(600);
  const auto import = [&](const std::string& book) {
    long imported = 0;
    for (const fs::path& archive : archives) {
      const auto reply = http.Post("/v1/import?company=01&registration=244005621111&book=" + book +
                                       "&file=" + archive.filename().string(),
                                   Read(archive.string()), "application/zip");
      const auto at = reply ? reply->body.find("\"imported\":") : std::string::npos;
      if (at != std::string::npos) imported += std::stol(reply->body.substr(at + 11));
      if (at != std::string::npos && reply->body.find("\"updated\":") != std::string::npos)
        imported += std::stol(reply->body.substr(reply->body.find("\"updated\":") + 10));
    }
    return imported;
  };
  const auto seconds = [](auto&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  };
  long alone_imported = 0, beside_imported = 0;
  bool exports_alone = false, exports_beside = false;
  // The documents first brought in, unmeasured: each run after it replaces
  // their rows (another book), the same work alone and beside the exports.
  import("A");
  const double import_alone = seconds([&] { alone_imported = import("B"); });
  const double exports_time = seconds([&] { exports_alone = exports("alone"); });
  double import_beside = 0;
  const double together = seconds([&] {
    std::thread importer([&] { import_beside = seconds([&] { beside_imported = import("A"); }); });
    exports_beside = exports("beside");
    importer.join();
  });
  char text[512];
  std::snprintf(text, sizeof text,
                "beside eight exports (%ld documents through POST /v1/import, SQLite): import alone %.2f s, "
                "eight exports alone %.2f s, together %.2f s (the import %.2f s); ratio %.2f; documents "
                "written %ld and %ld of %ld, exports %s\n",
                count, import_alone, exports_time, together, import_beside,
                together / (import_alone + exports_time), alone_imported, beside_imported, count,
                exports_alone && exports_beside ? "all complete" : "NOT ALL COMPLETE");
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 6) {
    std::cerr << "usage: import_bench MAG_SERVER MAG_EXPORT FIXTURE_EXIT_XML WORK_DIR COUNT...\n";
    return 2;
  }
  const std::string server = argv[1], exporter = argv[2], exit = Read(argv[3]), work = argv[4];
  std::string beside;             // the import beside eight exports, measured on the first count
  std::vector<std::string> rows;  // the endpoint's, printed after the command's table
  std::printf("%10s %10s %10s %10s %8s %12s %12s  %s\n", "documents", "import s", "docs/s", "anchor s",
              "ratio", "private MiB", "resident MiB", "summary");
  for (int a = 5; a < argc; ++a) {
    const long count = std::stol(argv[a]);
    const fs::path root = fs::path(work) / ("n" + std::to_string(count));
    fs::remove_all(root);
    fs::create_directories(root / "xml");
    rows.emplace_back();
    std::ofstream anchor_sql(root / "anchor.sql");
    anchor_sql << "PRAGMA journal_mode=WAL;\nPRAGMA synchronous=NORMAL;\nBEGIN;\n";
    for (int p = 0; p < 200; ++p) {
      char product[16];
      std::snprintf(product, sizeof product, "PROD%04d", p);
      anchor_sql << "INSERT INTO PRODUTO (CDPRODUTO, CDNCM, NMPRODUTO, SGUNIDADE) VALUES ('" << product
                 << "', '10063021', 'Produto', 'pc');\n";
    }
    anchor_sql << "COMMIT;\n";
    for (long n = 1; n <= count; ++n) {
      const fs::path dir = root / "xml" / std::to_string((n - 1) / 1000);
      if ((n - 1) % 1000 == 0) fs::create_directories(dir);
      std::ofstream(dir / ("nfe-" + std::to_string(n) + ".xml"), std::ios::binary) << Document(exit, n);
      AnchorStatements(anchor_sql, n);
    }
    anchor_sql.close();
    for (const char* db : {"import.db", "anchor.db", "zips.db", "endpoint.db"}) {
      const std::string prepare =
          server + " --migrate-only --init-demo --database sqlite:" + (root / db).string();
      if (std::system((prepare + " 2>/dev/null").c_str()) != 0) return 1;
    }
    // The page cache holds the files for both, as it would after a copy.
    if (std::system(("cat " + (root / "anchor.sql").string() + " >/dev/null").c_str()) != 0) return 1;
    const Run imported = Timed(server + " import --database sqlite:" + (root / "import.db").string() +
                                   " --company 01 --registration 244005621111 " + (root / "xml").string(),
                               (root / "import.out").string());
    const Run anchor =
        Timed("sqlite3 " + (root / "anchor.db").string() + " < " + (root / "anchor.sql").string(),
              (root / "anchor.out").string());
    std::string summary = imported.output;
    const auto at = summary.find("importados: ");
    summary =
        at == std::string::npos ? "(no summary) " + summary : summary.substr(at, summary.find('\n', at) - at);
    std::printf("%10ld %10.2f %10.0f %10.2f %8.2f %12.1f %12.1f  %s, exit %d%s\n", count, imported.seconds,
                count / imported.seconds, anchor.seconds, imported.seconds / anchor.seconds,
                imported.private_kib / 1024.0, imported.peak_kib / 1024.0, summary.c_str(), imported.status,
                anchor.status == 0 ? "" : ", anchor failed");
    // The same documents in zip archives: the command over them, then the
    // server's endpoint, each into a database of its own.
    const std::vector<fs::path> archives = Archives(root / "xml", root / "zips");
    const Run zips = Timed(server + " import --database sqlite:" + (root / "zips.db").string() +
                               " --company 01 --registration 244005621111 " + (root / "zips").string(),
                           (root / "zips.out").string());
    const EndpointRun endpoint =
        ThroughTheServer(server, "sqlite:" + (root / "endpoint.db").string(), archives);
    char row[512];
    std::snprintf(row, sizeof row, "%10ld %10zu %12.2f %10.0f %12.2f %10.0f %8.2f %12.1f %12.1f%s%s", count,
                  archives.size(), zips.seconds, count / zips.seconds, endpoint.seconds,
                  endpoint.imported / endpoint.seconds, endpoint.seconds / zips.seconds,
                  endpoint.private_before_kib / 1024.0, endpoint.private_peak_kib / 1024.0,
                  endpoint.imported == count ? "" : ", not all imported: ", endpoint.failure.c_str());
    rows.back() = row;
    if (a == 5) beside = BesideExports(server, exporter, root, archives, count);
    // What was refused, if anything, says why.
    std::istringstream notes(imported.output);
    int shown = 0;
    for (std::string line; std::getline(notes, line) && shown < 3;) {
      if (line.rfind("recusado: ", 0) == 0 || line.rfind("a importação parou", 0) == 0) {
        std::printf("    %s\n", line.c_str());
        ++shown;
      }
    }
    fs::remove_all(root);
  }
  std::printf(
      "\nthrough the server (POST /v1/import, zips of 1,000 documents, one after the other, loopback)\n");
  std::printf("%10s %10s %12s %10s %12s %10s %8s %12s %12s\n", "documents", "archives", "command s", "docs/s",
              "endpoint s", "docs/s", "ratio", "server MiB", "peak MiB");
  for (const std::string& row : rows) std::printf("%s\n", row.c_str());
  std::printf("\n%s", beside.c_str());
  return 0;
}
