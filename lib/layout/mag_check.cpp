// mag-check: checks magnetic files against the register layouts.
#include <iostream>

#include "lib/layout/layout_check.h"

int main(int argc, char** argv) {
  if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
    std::cout
        << "usage: mag-check FILE...\n"
           "Reports every line of a magnetic file that breaks the register layouts; exits 1 when any does.\n";
    return argc < 2 ? 2 : 0;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    try {
      const layout::Report report = layout::CheckFile(argv[i]);
      std::cout << argv[i] << ": " << layout::Describe(report);
      if (!report.ok()) status = 1;
    } catch (const std::exception& e) {
      std::cerr << "mag-check: " << e.what() << "\n";
      status = 2;
    }
  }
  return status;
}
