#pragma once
// The import commands of mag-server, as the command line gives them.
#include <string>
#include <vector>

namespace server::import {

struct ImportOptions {
  std::string database, company, registration, book;
  // Where the details of a database failure go (its statement and values):
  // never to what the user reads. Empty: they are left out, but for
  // standard error under `verbose`.
  std::string log;
  bool verbose = false;
  std::vector<std::string> paths;
  bool with_notes = false;  // import-file: also the notes of 50, 51, 53 and 54
};

// Imports the electronic documents of `options.paths`, printing a line per
// file refused or ignored and the summary. Returns the exit status: 0 when
// nothing was refused, 1 otherwise, 2 when the run could not start.
int RunImport(const ImportOptions& options);

// Merges another system's magnetic file (its 60, 61, 61R and 75 registers,
// and its 50, 51, 53 and 54 when `with_notes`)
// into the tables of `options.paths`' only file, after the layout checker
// passed it. Returns 0 when merged, 1 when refused, 2 when the run could
// not start.
int RunImportFile(const ImportOptions& options);

}  // namespace server::import
