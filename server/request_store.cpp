#include "server/request_store.h"

#include <random>

#include "lib/wire/latin1.h"

namespace server {
namespace {
std::string Secret() {
  static thread_local std::mt19937_64 generator{std::random_device{}()};
  char buffer[17];
  std::snprintf(buffer, sizeof buffer, "%016llx", static_cast<unsigned long long>(generator()));
  return buffer;
}
}  // namespace

StoredRequest RequestStore::Create(
    const std::function<void(const std::function<void(const std::string&)>&)>& build, std::int64_t now) {
  sql::Transaction transaction(session_);
  // Taking the next number is the transaction's first write, so concurrent
  // servers queue here instead of failing.
  session_.Execute("UPDATE ARQMAGSEQ SET NRULTIMO = NRULTIMO + 1");
  StoredRequest request;
  request.sequence = std::stoll(*session_.Query("SELECT NRULTIMO FROM ARQMAGSEQ", {}).rows.at(0).at(0));
  request.key = std::to_string(request.sequence) + "-" + Secret();
  {
    auto batch = session_.PrepareBatch(
        "INSERT INTO ARQMAGLINHA (NRSEQARQMAG, NRORDREGARQ, DSREGARQMAG) VALUES (:S, :N, :L)", 2000);
    const std::string sequence = std::to_string(request.sequence);
    build([&](const std::string& line) {
      ++request.lines;
      // Stored as text: the bytes of the line, each as the character of the same code.
      batch->Add({sequence, std::to_string(request.lines), wire::Latin1ToUtf8(line)});
    });
    batch->Flush();
  }
  session_.Execute(
      "INSERT INTO ARQMAGPEDIDO (NRSEQARQMAG, DSCHAVE, NRLINHAS, NRACESSO) VALUES (:S, :K, :N, :T)",
      {{"S", std::to_string(request.sequence)},
       {"K", request.key},
       {"N", std::to_string(request.lines)},
       {"T", std::to_string(now)}});
  transaction.Commit();
  return request;
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
      "SELECT NRORDREGARQ, DSREGARQMAG FROM ARQMAGLINHA WHERE NRSEQARQMAG = :S"
      " AND NRORDREGARQ BETWEEN CAST(:A AS INTEGER) AND CAST(:B AS INTEGER) ORDER BY NRORDREGARQ",
      {{"S", std::to_string(request.sequence)}, {"A", std::to_string(first)}, {"B", std::to_string(last)}},
      [&](const sql::Row& row) {
        line(std::stoll(row[0].value_or("0")), wire::Utf8ToLatin1(row[1].value_or("")));
      });
}

void RequestStore::Finish(const StoredRequest& request) {
  sql::Transaction transaction(session_);
  session_.Execute("DELETE FROM ARQMAGLINHA WHERE NRSEQARQMAG = :S",
                   {{"S", std::to_string(request.sequence)}});
  session_.Execute("DELETE FROM ARQMAGPEDIDO WHERE NRSEQARQMAG = :S",
                   {{"S", std::to_string(request.sequence)}});
  transaction.Commit();
}

long RequestStore::Expire(std::int64_t now, std::int64_t ttl) {
  const auto old =
      session_.Query("SELECT NRSEQARQMAG FROM ARQMAGPEDIDO WHERE NRACESSO <= CAST(:T AS INTEGER)",
                     {{"T", std::to_string(now - ttl)}});
  for (const auto& row : old.rows) Finish(StoredRequest{std::stoll(row[0].value_or("0")), {}, 0});
  return static_cast<long>(old.rows.size());
}

std::int64_t RequestStore::StoredLines() {
  const auto rows = session_.Query("SELECT COALESCE(SUM(NRLINHAS), 0) FROM ARQMAGPEDIDO", {});
  return std::stoll(rows.rows.at(0).at(0).value_or("0"));
}

}  // namespace server
