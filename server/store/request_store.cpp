#include "server/store/request_store.h"

#include <random>

#include "lib/wire/block_codec.h"

namespace server {
namespace {

std::string Secret() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(generator()));
  return buffer;
}

// Writes the blocks of a request as the build hands them on, each in a
// statement (a transaction) of its own.
class BlockWriter : public BlockSink {
 public:
  BlockWriter(sql::Session& session, std::string sequence)
      : session_(session), sequence_(std::move(sequence)) {}
  // Every line taken so far is stored; returns how many there are.
  std::int64_t Finish() {
    FlushLines();
    return lines_;
  }

 private:
  void Store(std::int64_t lines, const std::string& packed) override {
    session_.Execute(
        "INSERT INTO ARQMAGBLOCO (NRSEQARQMAG, NRPRIMEIRA, NRULTIMA, DSBLOCO) VALUES (:S, :A, :B, :L)",
        {{"S", sequence_},
         {"A", std::to_string(lines_ + 1)},
         {"B", std::to_string(lines_ + lines)},
         {"L", packed}});
    lines_ += lines;
  }
  sql::Session& session_;
  const std::string sequence_;
  std::int64_t lines_ = 0;
};

}  // namespace

StoredRequest RequestStore::Create(const std::function<void(LineSink&)>& build, std::int64_t now,
                                   const std::string& user) {
  StoredRequest request;
  // The next number in one statement: safe however many servers take one at
  // the same moment.
  request.sequence =
      std::stoll(*session_.Query("UPDATE ARQMAGSEQ SET NRULTIMO = NRULTIMO + 1 RETURNING NRULTIMO", {})
                      .rows.at(0)
                      .at(0));
  request.key = std::to_string(request.sequence) + "-" + Secret();
  const std::string sequence = std::to_string(request.sequence);
  try {
    BlockWriter writer(session_, sequence);
    build(writer);
    request.lines = writer.Finish();
    // The request exists for the pages only once every block is in.
    session_.Execute(
        "INSERT INTO ARQMAGPEDIDO (NRSEQARQMAG, DSCHAVE, NRLINHAS, NRACESSO, NMUSUARIO) VALUES (:S, :K, :N, "
        ":T, :U)",
        {{"S", sequence},
         {"K", request.key},
         {"N", std::to_string(request.lines)},
         {"T", std::to_string(now)},
         {"U", user}});
  } catch (...) {
    // A failed build leaves nothing behind.
    try {
      session_.Execute("DELETE FROM ARQMAGBLOCO WHERE NRSEQARQMAG = :S", {{"S", sequence}});
    } catch (...) {
    }
    throw;
  }
  return request;
}

std::optional<std::string> RequestStore::Owner(const std::string& key) {
  const auto rows = session_.Query("SELECT NMUSUARIO FROM ARQMAGPEDIDO WHERE DSCHAVE = :K", {{"K", key}});
  if (rows.rows.empty()) return std::nullopt;
  return rows.rows[0][0].value_or("");
}

std::optional<StoredRequest> RequestStore::Find(const std::string& key, std::int64_t now) {
  const auto dash = key.find('-');
  if (dash == std::string::npos || dash == 0) return std::nullopt;
  std::int64_t sequence = 0;
  try {
    std::size_t used = 0;
    sequence = std::stoll(key.substr(0, dash), &used);
    if (used != dash) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  const auto rows =
      session_.Query("SELECT NRLINHAS FROM ARQMAGPEDIDO WHERE NRSEQARQMAG = :S AND DSCHAVE = :K",
                     {{"S", std::to_string(sequence)}, {"K", key}});
  if (rows.rows.empty()) return std::nullopt;
  session_.Execute("UPDATE ARQMAGPEDIDO SET NRACESSO = :T WHERE NRSEQARQMAG = :S",
                   {{"T", std::to_string(now)}, {"S", std::to_string(sequence)}});
  return StoredRequest{sequence, key, std::stoll(rows.rows[0][0].value_or("0"))};
}

void RequestStore::Page(const StoredRequest& request, std::int64_t first, std::int64_t last,
                        const std::function<void(std::int64_t, const std::string&)>& line) {
  session_.QueryEach(
      // From the block that holds the first line asked for: found through
      // the key, so that a page reads only its own blocks however far into
      // the file it is (a filter on NRULTIMA alone read every block before).
      "SELECT NRPRIMEIRA, DSBLOCO FROM ARQMAGBLOCO WHERE NRSEQARQMAG = :S"
      " AND NRPRIMEIRA >= COALESCE((SELECT MAX(NRPRIMEIRA) FROM ARQMAGBLOCO"
      " WHERE NRSEQARQMAG = :S AND NRPRIMEIRA <= CAST(:A AS BIGINT)), 0)"
      " AND NRULTIMA >= CAST(:A AS BIGINT) AND NRPRIMEIRA <= CAST(:B AS BIGINT) ORDER BY NRPRIMEIRA",
      {{"S", std::to_string(request.sequence)}, {"A", std::to_string(first)}, {"B", std::to_string(last)}},
      [&](const sql::Row& row) {
        std::int64_t number = std::stoll(row[0].value_or("0"));
        for (const std::string& text : wire::UnpackLines(row[1].value_or(""))) {
          if (number >= first && number <= last) line(number, text);
          ++number;
        }
      });
}

void RequestStore::Finish(const StoredRequest& request) {
  sql::Transaction transaction(session_);
  session_.Execute("DELETE FROM ARQMAGBLOCO WHERE NRSEQARQMAG = :S",
                   {{"S", std::to_string(request.sequence)}});
  session_.Execute("DELETE FROM ARQMAGPEDIDO WHERE NRSEQARQMAG = :S",
                   {{"S", std::to_string(request.sequence)}});
  transaction.Commit();
}

long RequestStore::Expire(std::int64_t now, std::int64_t ttl) {
  const auto old = session_.Query("SELECT NRSEQARQMAG FROM ARQMAGPEDIDO WHERE NRACESSO <= CAST(:T AS BIGINT)",
                                  {{"T", std::to_string(now - ttl)}});
  for (const auto& row : old.rows) Finish(StoredRequest{std::stoll(row[0].value_or("0")), {}, 0});
  return static_cast<long>(old.rows.size());
}

std::int64_t RequestStore::StoredLines() {
  const auto rows = session_.Query("SELECT COALESCE(SUM(NRLINHAS), 0) FROM ARQMAGPEDIDO", {});
  return std::stoll(rows.rows.at(0).at(0).value_or("0"));
}

}  // namespace server
