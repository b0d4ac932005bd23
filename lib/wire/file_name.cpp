#include "lib/wire/file_name.h"

namespace wire {

bool IsForbiddenInFileName(char32_t c) {
  for (const char* f = kFileNameForbidden; *f; ++f) {
    if (c == static_cast<char32_t>(*f)) return true;
  }
  return false;
}

bool IsSafeFileName(const std::string& name) {
  if (name == "." || name == "..") return false;
  if (name.find_first_of(kFileNameForbidden) != std::string::npos) return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

}  // namespace wire
