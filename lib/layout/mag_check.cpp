// mag-check: checks magnetic files as the state validators do, before a
// fiscal user delivers them. Exit status: 0 clean, 1 warnings only, 2 errors
// (or a file that cannot be read).
#include <iostream>
#include <string>
#include <vector>

#include "lib/layout/layout_check.h"

int main(int argc, char** argv) {
  bool json = false, all = false;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      std::cout << "usage: mag-check [--json | --all] FILE...\n"
                   "Reports what the state validators would refuse (errors) or question (warnings) in\n"
                   "magnetic files: each line, check digits, ties between registers, order and totals.\n"
                   "The findings are grouped by rule, with the first of each; --all lists every\n"
                   "finding, --json every finding with its lines, for machines.\n"
                   "Exit status: 0 clean, 1 warnings only, 2 errors.\n";
      return 0;
    }
    if (arg == "--json") {
      json = true;
    } else if (arg == "--all") {
      all = true;
    } else {
      files.push_back(arg);
    }
  }
  if (files.empty()) {
    std::cerr << "usage: mag-check [--json | --all] FILE...\n";
    return 2;
  }
  int status = 0;
  if (json) std::cout << "[";
  for (std::size_t i = 0; i < files.size(); ++i) {
    try {
      const layout::Report report = layout::CheckFile(files[i]);
      if (json) {
        std::cout << (i ? "," : "") << layout::DescribeJson(report, files[i]);
      } else {
        std::cout << files[i] << ": " << layout::Describe(report, all);
      }
      if (report.Errors() > 0) {
        status = 2;
      } else if (report.Warnings() > 0 && status == 0) {
        status = 1;
      }
    } catch (const std::exception& e) {
      std::cerr << "mag-check: " << e.what() << "\n";
      status = 2;
    }
  }
  if (json) std::cout << "]\n";
  return status;
}
