#pragma once
// What a file is asked for, which register groups it has, and how a file the
// data cannot make correctly is refused: the words every part of the build
// shares.
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/sql/session.h"

namespace server {

struct FileRequest {
  std::string company;              // CDEMPRESA
  std::string registration;         // CDINSCESTA of the informant
  std::string substitute;           // CDINSCESTAST, or empty
  std::string first_day, last_day;  // "AAAA-MM-DD"
  std::string book;                 // CDLIVROMAG, or empty for every book
  std::vector<std::string> states;  // UFs of the other parties, or empty for all
  std::string file_type;            // "SINTEGRA", "DIEF - MA", ...
  std::string mask;                 // 12 x S/N
  std::string inventory_day;        // "AAAA-MM-DD", or empty when none was given
  char version = '3';
  char purpose = '1';
};

// Which register groups a request produces. The national file types build
// every group that has data, the inventory (74) only when the inventory
// option marks it; the state variants follow the mask. A file that cites
// products (54, 60, 61, 74) always gets their 75 lines.
struct RegisterSelection {
  bool r50 = false, r51 = false, r53 = false, r54 = false, r55 = false, r60 = false, r61 = false, r70 = false,
       r74 = false, r75 = false, r88_without_movement = false, r88_st = false;
};
RegisterSelection SelectRegisters(const std::string& file_type, const std::string& mask);

// The data cannot give a correct file: the text says why, for the user, and
// names the document at fault. Nothing is stored for such a request.
class FileRefused : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Runs `body` with a session of its own, for as long as `body` runs.
using SessionSource = std::function<void(const std::function<void(sql::Session&)>&)>;

}  // namespace server
