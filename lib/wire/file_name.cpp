#include "lib/wire/file_name.h"

namespace wire {

bool IsSafeFileName(const std::string& name) {
  if (name == "." || name == "..") return false;
  if (name.find_first_of("*\\/#!?@$%&+,:<>\"|") != std::string::npos) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace wire
