#pragma once
// The documents of a register group in file order, each with its item rows
// in item order. Across a network (PostgreSQL) the items are read a block
// of documents per statement, one round trip per block rather than one per
// document; in process (SQLite) a statement per document costs no trip and
// reads the items by key without holding a block.
#include <cstddef>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "lib/sql/session.h"

namespace server {

class DocumentsWithItems {
 public:
  using Each = std::function<void(const sql::Row& head, std::span<const sql::Row> items)>;

  // `item_columns`: the columns of NOTAFISCALITEM each item row holds, in
  // order (the document's key is not among them).
  DocumentsWithItems(sql::Session& session, const std::string& item_columns);

  // Runs `heads` (the document's key, NRSEQNOTA, in its first column) and
  // calls `each` for every head in the statement's order with the
  // document's items by number.
  void Read(const std::string& heads, const std::vector<sql::Param>& params, const Each& each);

 private:
  void Flush(const Each& each);
  // Keeps an item row (without its key) at `at` of rows_.
  void Keep(const sql::Row& row, std::size_t at);

  sql::Session& session_;
  std::size_t block_;
  std::unique_ptr<sql::PreparedQuery> items_;
  std::vector<sql::Param> keys_;
  std::vector<sql::Row> heads_;
  // The items read, kept from one document (or block) to the next so that
  // their strings keep their storage.
  std::vector<sql::Row> rows_;
};

}  // namespace server
