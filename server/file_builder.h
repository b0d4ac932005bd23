#pragma once
// Builds every line of a magnetic file from the fiscal tables, in file order.
// The register groups are built side by side, each through a session of its
// own; a group whose turn has not come waits in a temporary file, so the file
// is never held whole in memory.
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "lib/sql/session.h"
#include "server/line_sink.h"
#include "server/register_lines.h"

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

class FileBuilder {
 public:
  // `threads` groups are built at once: one through `session`, the others
  // through sessions that `more_sessions` lends (none when it is empty).
  FileBuilder(sql::Session& session, TextEncoding encoding, SessionSource more_sessions = {}, int threads = 1)
      : session_(session), lines_(encoding), more_sessions_(std::move(more_sessions)), threads_(threads) {}
  // Hands the lines on to `out` in file order; returns how many there were.
  // Throws std::invalid_argument when the informant's registration is
  // unknown, and FileRefused when a value of the data cannot be written
  // correctly (the first such value in file order).
  long Build(const FileRequest& request, LineSink& out);
  // Every document of the request that refuses the file (its party, a CFOP,
  // an item number, no items), one text each: the log of a refused file
  // lists them all, where the answer names the first.
  std::vector<std::string> Problems(const FileRequest& request);

 private:
  struct Prepared;
  Prepared Prepare(const FileRequest& request);
  sql::Session& session_;
  RegisterLines lines_;
  SessionSource more_sessions_;
  int threads_;
};

}  // namespace server
