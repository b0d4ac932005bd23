#pragma once
// Sends a file to the server's import (POST /v1/import) and reads the
// answer's lines as they come: the documents of an establishment brought
// in, or a point-of-sale magnetic file merged. The HTTP library stays inside.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "host/net/stored_zip.h"
#include "lib/wire/import_answer.h"

namespace net {

struct ImportTarget {
  std::string company;       // CDEMPRESA
  std::string registration;  // CDINSCESTA
  std::string book;          // a magnetic book for the documents, or empty
  bool magnetic = false;     // another system's magnetic file, merged
  bool notes = false;        // with magnetic: its notes merged too
};

class ImportUpload {
 public:
  // The server of the host's settings (server.host, server.port,
  // server.tls, server.ca, server.user with the session's password).
  ImportUpload();
  ~ImportUpload();

  // Sends the file at `path`, named `shown` in the answer, and hands each
  // file line to `on_line` as it arrives (on the calling thread); returns
  // the summary. Throws comp::EServerError in the user's words: the
  // server's refusal, a wrong password, the connection lost, the send
  // cancelled.
  wire::ImportSummaryLine Send(const std::string& path, const std::string& shown, const ImportTarget& target,
                               const std::function<void(const wire::ImportFileLine&)>& on_line);
  // Sends several documents as one archive built while it goes, one run on
  // the server; the answer names them "shown:name".
  wire::ImportSummaryLine SendTogether(std::vector<ZipMember> files, const std::string& shown,
                                       const ImportTarget& target,
                                       const std::function<void(const wire::ImportFileLine&)>& on_line);
  // From another thread: the send in progress stops at once; the server
  // keeps what it finished.
  void Cancel();

 private:
  using Body = std::function<std::size_t(std::size_t offset, char* out, std::size_t room)>;
  wire::ImportSummaryLine SendBody(std::uint64_t size, Body body, const std::string& shown,
                                   const ImportTarget& target,
                                   const std::function<void(const wire::ImportFileLine&)>& on_line);
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// How many entries a zip archive lists (its central directory), or 0 when
// the file is no zip archive it can read.
long ZipEntries(const std::string& path);

}  // namespace net
