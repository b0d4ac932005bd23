#pragma once
// The stored lines of file requests. The first call of a request builds every
// line and stores it under a new sequence number; each call reads the lines of
// one range of line numbers. Everything lives in the database, so any server
// process sharing it can serve any page.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "lib/sql/session.h"
#include "server/build/line_sink.h"

namespace server {

struct StoredRequest {
  std::int64_t sequence = 0;
  std::string key;  // continuation key: "<sequence>-<secret>"
  std::int64_t lines = 0;
};

class RequestStore {
 public:
  explicit RequestStore(sql::Session& session) : session_(session) {}

  // Stores the lines that `build` hands on (numbered from 1) under a new request,
  // in blocks written in short transactions as the build goes, so that no
  // build holds the database's write lock for its length; `build` reads
  // through another session. The request is visible (Find) only when its
  // last block is in; a failed build leaves nothing behind.
  // `user`: who asked for it (empty on a server without users).
  StoredRequest Create(const std::function<void(LineSink&)>& build, std::int64_t now,
                       const std::string& user = {});
  // Who asked for the request of a key: nullopt when the key names none,
  // an empty text when nobody logged in.
  std::optional<std::string> Owner(const std::string& key);
  // The request a continuation key names, or nullopt for an unknown or
  // expired key.
  std::optional<StoredRequest> Find(const std::string& key, std::int64_t now);
  // The lines numbered first..last, in order, as the bytes stored.
  void Page(const StoredRequest& request, std::int64_t first, std::int64_t last,
            const std::function<void(std::int64_t number, const std::string& line)>& line);
  // Forgets a request whose last page was served.
  void Finish(const StoredRequest& request);
  // Forgets requests not touched for `ttl` seconds (abandoned exports).
  long Expire(std::int64_t now, std::int64_t ttl);
  // The lines stored for every unfinished request.
  std::int64_t StoredLines();

 private:
  sql::Session& session_;
};

}  // namespace server
