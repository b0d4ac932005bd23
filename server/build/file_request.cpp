#include "server/build/file_request.h"

namespace server {

RegisterSelection SelectRegisters(const std::string& file_type, const std::string& mask) {
  RegisterSelection s;
  const auto on = [&](std::size_t position) { return mask.size() >= position && mask[position - 1] == 'S'; };
  if (file_type == "SINTEGRA" || file_type == "SINTEGRA - RS") {
    // The register list is disabled for these types, and the marks it may
    // still hold are not the user's choice: only the inventory option is.
    s.r50 = s.r51 = s.r53 = s.r54 = s.r55 = s.r60 = s.r61 = s.r70 = true;
    s.r74 = on(9);
    s.r88_st = on(11);
  } else {
    s.r50 = on(1);
    s.r51 = on(2);
    s.r53 = on(3);
    s.r54 = on(4);
    s.r55 = on(5);
    s.r60 = on(6);
    s.r61 = on(7);
    s.r70 = on(8);
    s.r74 = on(9);
    s.r88_st = on(11);
    s.r88_without_movement = on(12);
  }
  // Every product a file cites gets its 75, and 75 lists no other.
  s.r75 = s.r54 || s.r60 || s.r61 || s.r74;
  return s;
}

}  // namespace server
