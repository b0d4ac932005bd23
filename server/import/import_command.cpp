#include "server/import/import_command.h"

#include <unistd.h>

#include <chrono>
#include <iostream>

#include "server/import/import_run.h"
#include "server/schema.h"

namespace server::import {

int RunImport(const ImportOptions& options) {
  std::unique_ptr<sql::Session> session;
  std::unique_ptr<DfeStore> store;
  try {
    session = sql::OpenSession(options.database);
    Migrate(*session);
    Informant informant = LoadInformant(*session, options.company, options.registration);
    informant.book = options.book;
    store = std::make_unique<DfeStore>(*session, std::move(informant));
  } catch (const std::exception& e) {
    std::cerr << "mag-server import: " << e.what() << "\n";
    return 2;
  }
  // A progress line, rewritten in place, when someone is watching.
  const bool terminal = isatty(STDERR_FILENO) != 0;
  auto last = std::chrono::steady_clock::now();
  ImportOutput output;
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
  const ImportSummary summary = ImportDocuments(*session, *store, options.paths, output);
  if (terminal) std::cerr << "\r\033[K" << std::flush;
  std::cout << DescribeSummary(summary);
  return summary.refused == 0 && summary.stopped.empty() ? 0 : 1;
}

}  // namespace server::import
