#pragma once
// The command line of a mag-export run of a January 2026 file against a
// test server: the volume company "90", or company 01 of the demo data.
#include <string>
#include <vector>

inline std::vector<std::string> ExportCommand(const std::string& binary, int port,
                                              const std::string& database, bool volume,
                                              const std::string& file_name,
                                              const std::vector<std::string>& extra = {}) {
  std::vector<std::string> args = {binary,
                                   "--settings",
                                   "/dev/null",
                                   "--server",
                                   "127.0.0.1:" + std::to_string(port),
                                   "--database",
                                   database,
                                   "--empresa",
                                   volume ? "90" : "01",
                                   "--inscricao",
                                   volume ? "900000009008" : "110042490114",
                                   "--de",
                                   "01/2026",
                                   "--ate",
                                   "01/2026",
                                   "--versao",
                                   "3",
                                   "--finalidade",
                                   "1",
                                   "--nome",
                                   file_name};
  if (!volume) args.insert(args.end(), {"--imposto", "01"});
  args.insert(args.end(), extra.begin(), extra.end());
  return args;
}
