#pragma once
// A command line run through the shell to its end, with its output.
#include <sys/wait.h>

#include <cstdio>
#include <string>

struct CommandRun {
  int status = -1;
  std::string output;  // standard output and error together
};

inline CommandRun RunCommand(const std::string& command) {
  CommandRun run;
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  char buffer[4096];
  for (std::size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.output.append(buffer, n);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}
