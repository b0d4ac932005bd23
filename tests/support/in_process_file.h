#pragma once
// A file built in the test's own process, through the same request check and
// builder that GetRegistro runs, over one session: no server, no HTTP.
#include <string>
#include <variant>
#include <vector>

#include "lib/sql/session.h"
#include "lib/wire/block_codec.h"
#include "server/build/file_builder.h"
#include "server/rpc/file_request_check.h"
#include "tests/support/registro_args.h"
#include "tests/support/server_process.h"

// The database of a builder test: SQLite in memory, or a fresh database on
// the PostgreSQL cluster of MAG_TEST_POSTGRESQL.
inline std::string BuilderTestDatabase(const std::string& name) {
  return TestCluster().empty() ? "sqlite::memory:" : TestDatabase(name);
}

// The status and lines GetRegistro would answer for `a`, its pages joined.
inline FetchedFile BuildInProcess(sql::Session& session, const RegistroArgs& a) {
  class Lines final : public server::LineSink {
   public:
    void Line(const std::string& line) override { lines.push_back(line); }
    void Block(std::int64_t, const std::string& packed) override {
      for (std::string& line : wire::UnpackLines(packed)) lines.push_back(std::move(line));
    }
    std::vector<std::string> lines;
  };
  FetchedFile file;
  const auto checked = server::CheckFileRequest(session, a);
  if (const auto* refusal = std::get_if<server::Refusal>(&checked)) {
    file.status = refusal->status;
    return file;
  }
  Lines out;
  try {
    server::FileBuilder(session, server::TextEncoding::Ascii)
        .Build(std::get<server::FileRequest>(checked), out);
  } catch (const server::FileRefused& e) {
    file.status = e.what();
    return file;
  }
  file.status = "OK";
  file.lines = std::move(out.lines);
  return file;
}
