#include "server/import/import_command.h"

#include <unistd.h>

#include <chrono>
#include <ctime>
#include <fstream>
#include <iostream>

#include "server/db/schema.h"
#include "server/import/import_run.h"
#include "server/import/register_merge.h"

namespace server::import {

namespace {

// Appends a line to the log of the options, with the time, when there is one.
void Log(const ImportOptions& options, const std::string& line) {
  if (options.verbose) std::cerr << "mag-server import: " << line << "\n";
  if (options.log.empty()) return;
  std::ofstream out(options.log, std::ios::app);
  const std::time_t now = std::time(nullptr);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", std::localtime(&now));
  out << stamp << " mag-server import: " << line << "\n";
}

// What a user reads of a failure; a database's details go to the log.
std::string Reason(const ImportOptions& options, const std::exception& e) {
  if (const auto* database = dynamic_cast<const sql::DatabaseError*>(&e)) {
    Log(options, "database error: " + database->detail());
    return std::string(e.what()) + (options.log.empty() ? "" : " (detalhes em " + options.log + ")");
  }
  return e.what();
}

// The progress line, on a terminal, while another user holds the database.
void SayWaiting(std::chrono::milliseconds waited) {
  if (isatty(STDERR_FILENO) == 0) return;
  std::cerr << "\r\033[Kaguardando a vez no banco de dados, em uso por outro usuário: "
            << std::chrono::duration_cast<std::chrono::seconds>(waited).count() << " s" << std::flush;
}

// The database brought up to date and the informant of the options; nullptr
// (after saying why) when either fails.
std::unique_ptr<sql::Session> Open(const ImportOptions& options, const char* command, Informant& informant) {
  try {
    auto session = sql::OpenSession(options.database);
    Migrate(*session);
    informant = LoadInformant(*session, options.company, options.registration);
    informant.book = options.book;
    return session;
  } catch (const std::exception& e) {
    std::cerr << "mag-server " << command << ": " << Reason(options, e) << "\n";
    return nullptr;
  }
}

}  // namespace

int RunImport(const ImportOptions& options) {
  Informant informant;
  const std::unique_ptr<sql::Session> session = Open(options, "import", informant);
  if (!session) return 2;
  std::unique_ptr<DfeStore> store;
  try {
    store = std::make_unique<DfeStore>(*session, std::move(informant));
  } catch (const std::exception& e) {
    std::cerr << "mag-server import: " << Reason(options, e) << "\n";
    return 2;
  }
  // A progress line, rewritten in place, when someone is watching.
  const bool terminal = isatty(STDERR_FILENO) != 0;
  auto last = std::chrono::steady_clock::now();
  ImportOutput output;
  output.log = [&](const std::string& line) { Log(options, line); };
  output.note = [&](const std::string& line) {
    if (terminal) std::cerr << "\r\033[K";
    std::cout << line << std::endl;
  };
  output.progress = [&](const ImportSummary& s) {
    const auto now = std::chrono::steady_clock::now();
    if (!terminal || now - last < std::chrono::milliseconds(200)) return;
    last = now;
    std::cerr << "\r\033[Kimportando: " << s.files << " arquivos, " << s.imported + s.updated
              << " documentos gravados, " << s.refused << " recusados" << std::flush;
  };
  // Another user's export or import holds the database: wait for the turn,
  // saying so, however long it takes.
  session->WaitForTurn(SayWaiting);
  const ImportSummary summary = ImportDocuments(*session, *store, options.paths, output);
  if (terminal) std::cerr << "\r\033[K" << std::flush;
  std::cout << DescribeSummary(summary);
  if (!summary.stopped.empty() && !options.log.empty()) std::cout << "detalhes em " << options.log << "\n";
  return summary.refused == 0 && summary.stopped.empty() ? 0 : 1;
}

int RunImportFile(const ImportOptions& options) {
  Informant informant;
  const std::unique_ptr<sql::Session> session = Open(options, "import-file", informant);
  if (!session) return 2;
  const std::string& path = options.paths.front();
  session->WaitForTurn(SayWaiting);
  try {
    const std::string merged = MergeMagneticFile(*session, informant, path, options.with_notes);
    std::cout << "importado: " << path << "\n" << merged;
    return 0;
  } catch (const ImportRefused& e) {
    std::cout << "recusado: " << path << ": " << e.what() << "\n";
  } catch (const std::exception& e) {
    std::cout << "recusado: " << path << ": " << Reason(options, e) << "\n";
  }
  return 1;
}

}  // namespace server::import
