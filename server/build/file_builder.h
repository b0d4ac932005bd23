#pragma once
// Builds every line of a magnetic file from the fiscal tables, in file order.
// The register groups are built side by side, each through a session of its
// own; a group whose turn has not come waits in a temporary file, so the file
// is never held whole in memory.
#include <string>
#include <vector>

#include "lib/sql/session.h"
#include "server/build/file_request.h"
#include "server/build/line_sink.h"
#include "server/build/register_lines.h"

namespace server {

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
  // What the validators would only question in the file of a request (the
  // warnings of the rule book that the request and the registry decide),
  // one text each, for the server's log: they do not refuse the file.
  std::vector<std::string> Warnings(const FileRequest& request);

 private:
  struct Prepared;
  Prepared Prepare(const FileRequest& request);
  sql::Session& session_;
  RegisterLines lines_;
  SessionSource more_sessions_;
  int threads_;
};

}  // namespace server
