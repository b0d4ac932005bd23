#pragma once
// Memory of a running process, read from /proc, for the benchmarks.
#include <sys/types.h>

#include <fstream>
#include <string>

// Peak resident size (KiB), or -1.
inline long PeakKiB(pid_t pid) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

// Private memory (KiB): the anonymous pages (heap, stacks), without the pages
// of files the process maps. The database's mapped pages count in its
// resident size, and as "private" in the kernel's sense as long as no other
// process maps them, so they are left out here.
inline long PrivateKiB(pid_t pid) {
  std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string line;
  while (std::getline(rollup, line)) {
    if (line.rfind("Anonymous:", 0) == 0) return std::stol(line.substr(line.find(':') + 1));
  }
  return 0;
}
