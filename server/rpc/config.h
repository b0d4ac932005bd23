#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

#include "server/build/field_format.h"

namespace server {

struct ServerConfig {
  std::string listen = "127.0.0.1";
  int port = 8420;
  std::string database = "sqlite:mag04200.db";
  // The directory, on the users' machines, where the module writes the file.
  std::string output_dir;
  TextEncoding encoding = TextEncoding::Ascii;
  std::int64_t request_ttl = 600;  // seconds before an abandoned request is dropped
  // Lines stored for unfinished requests, all servers of the database
  // together, beyond which no new file is started.
  std::int64_t max_stored_lines = 20000000;
  std::size_t max_body = 1 << 20;  // largest request body taken, in bytes
  // Largest file sent to /v1/import, written to disk as it arrives.
  std::size_t max_import_body = std::size_t{2} << 30;
  std::int64_t max_page = 100000;  // most lines one call may ask for
  int threads = 8;
  // Files built at once, each on a thread of its own beside the workers.
  int max_builds = 16;
  // Register groups of one file built at once (0: one per processor).
  int build_threads = 0;
  int request_timeout = 30;  // seconds from the first byte of a request to its last
  int idle_timeout = 60;     // seconds a kept-alive connection may wait for a request
  std::size_t max_connections = 512;
  std::size_t max_connections_per_address = 128;
  // The users file of an office's server: with one, every call but the
  // handshake names its user. Empty: an open server (loopback only, unless
  // insecure_open).
  std::string users_file;
  bool insecure_open = false;
};

}  // namespace server
