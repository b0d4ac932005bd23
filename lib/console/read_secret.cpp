#include "lib/console/read_secret.h"

#include <termios.h>
#include <unistd.h>

#include <iostream>

namespace console {

std::string ReadSecret(const char* prompt) {
  const bool terminal = isatty(STDIN_FILENO) != 0;
  termios old{};
  if (terminal) {
    std::cerr << prompt << std::flush;
    tcgetattr(STDIN_FILENO, &old);
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
  }
  std::string line;
  std::getline(std::cin, line);
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSANOW, &old);
    std::cerr << "\n";
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace console
