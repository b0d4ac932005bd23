#pragma once
// Serving, what mag-server does when no subcommand is named: its options and
// its run (the schema brought up to date, demo data loaded as asked, then
// the HTTP endpoint until a signal stops it).
#include <CLI/CLI.hpp>

#include "server/rpc/config.h"

namespace server {

struct ServeOptions {
  ServerConfig config;
  bool init_demo = false;
  bool migrate_only = false;
  bool keep_latin1 = false;
  bool verbose = false;
  long volume = 0;
  int companies = 0;  // volume companies of the same shape, for batch runs
  long company_notes = 4000;
};

// The options of serving, on the application itself.
void AddServeOptions(CLI::App& app, ServeOptions& o);
// Serves until SIGINT or SIGTERM; the process's exit status.
int Serve(ServeOptions o);

}  // namespace server
