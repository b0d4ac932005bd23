#pragma once
// Brings the electronic documents of files, directories (recursively) and
// zip archives into the fiscal tables, one transaction per document file.
#include <functional>
#include <string>
#include <vector>

#include "lib/sql/session.h"
#include "server/import/dfe_store.h"

namespace server::import {

struct ImportSummary {
  std::size_t files = 0;
  std::size_t imported = 0, updated = 0, unchanged = 0, cancelled = 0, ignored = 0, refused = 0;
  // Service items (ISSQN) of the notes, which the file does not carry.
  std::size_t service_items = 0;
  // Directories reached again through a link, and not walked again.
  std::vector<std::string> skipped_links;
  // Set when a database failure stopped the run before its end (or, with
  // `interrupted`, when whoever asked for it went away).
  std::string stopped;
  bool interrupted = false;
};

struct ImportOutput {
  // One line per file refused or ignored, with its name and the reason.
  std::function<void(const std::string&)> note = [](const std::string&) {};
  // The details a user does not read (a database failure's statement), for the log.
  std::function<void(const std::string&)> log = [](const std::string&) {};
  // Each file as it is done: its name, what became of it (imported,
  // updated, unchanged, cancelled, ignored, refused, failed) and why.
  std::function<void(const std::string& file, const char* outcome, const std::string& reason)> result =
      [](const std::string&, const char*, const std::string&) {};
  // Asked before each file: false stops the run there (the client that
  // asked for it is gone).
  std::function<bool()> go_on = [] { return true; };
  // Called after each file, for a progress line.
  std::function<void(const ImportSummary&)> progress = [](const ImportSummary&) {};
};

// Cancellations are applied after every document of the run, so that a
// cancellation met before its document still finds it.
ImportSummary ImportDocuments(sql::Session& session, DfeStore& store, const std::vector<std::string>& paths,
                              const ImportOutput& output);

// The summary's closing lines.
std::string DescribeSummary(const ImportSummary& summary);

}  // namespace server::import
