#pragma once
// The command line of a mag-export run of a January 2026 file against a
// test server: the volume company "90", or company 01 of the demo data.
#include <string>
#include <vector>

// The national January file of the volume company with 20001 notes: 10 and
// 11; a 50 and four 54 per note; 400 reductions Z of 35 lines each (60M, two
// 60A, sixteen 60D and sixteen 60I) and a 60R per product (50); a 61 per day
// (31) and a 61R per product (50); 20 GNRE (55); 200 freight bills (70); 50
// products (75); one 90.
inline constexpr std::size_t kVolumeLines = 2 + 5 * 20001 + 20 + 400 * 35 + 50 + 31 + 50 + 200 + 50 + 1;

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
