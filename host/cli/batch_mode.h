#pragma once
// mag-export --lote PLANO and --todas MM/AAAA: the office's month in one
// command. The plan is read or made from the lookups, each line named and
// judged as the screen would before anything runs, the files made several at
// once and checked, and the report written. Exit status: 0 every file made
// (or kept) and clean, 1 some refused, failed or with findings, 2 the plan
// itself is wrong, 128 + a signal's number when one stopped the batch.
#include <atomic>
#include <string>
#include <vector>

#include "host/cli/export_options.h"

namespace cli {

struct BatchOptions {
  std::string plan;    // --lote: the plan's CSV file
  std::string month;   // --todas: MM/AAAA
  int parallel = 0;    // --paralelo; 0: the server's free share
  std::string report;  // --relatorio: the directory of relatorio.csv and relatorio.html
  bool redo = false;   // --refazer
  // Given to every line that leaves it out: tipo, finalidade, nome (the pattern).
  ExportOptions defaults;
  std::string program;                 // this program, run once per file
  std::vector<std::string> arguments;  // --settings, --server, --database, --package as given
  std::string package;
};

// Runs the batch with the host's settings already loaded. Throws UsageError
// for an error of the options.
int RunBatchMode(const BatchOptions& options, const std::atomic<int>& stop);

}  // namespace cli
