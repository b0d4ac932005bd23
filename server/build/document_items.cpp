#include "server/build/document_items.h"

#include <unordered_map>

namespace server {
namespace {

// Documents whose items one statement reads across a network.
constexpr std::size_t kBlock = 256;

}  // namespace

DocumentsWithItems::DocumentsWithItems(sql::Session& session, const std::string& item_columns)
    : session_(session), block_(session.backend() == sql::Backend::Sqlite ? 1 : kBlock) {
  std::string keys;
  for (std::size_t i = 0; i < block_; ++i) {
    const std::string name = "D" + std::to_string(i);
    keys += (i ? ", :" : ":") + name;
    keys_.push_back({name, std::nullopt});
  }
  items_ =
      session_.Prepare("SELECT NRSEQNOTA, " + item_columns + " FROM NOTAFISCALITEM WHERE NRSEQNOTA IN (" +
                       keys + ") ORDER BY NRSEQNOTA, NRITEM");
  heads_.reserve(block_);
}

void DocumentsWithItems::Read(const std::string& heads, const std::vector<sql::Param>& params,
                              const Each& each) {
  heads_.clear();
  session_.QueryEach(heads, params, [&](const sql::Row& head) {
    heads_.push_back(head);
    if (heads_.size() == block_) Flush(each);
  });
  Flush(each);
}

void DocumentsWithItems::Keep(const sql::Row& row, std::size_t at) {
  if (at == rows_.size()) rows_.emplace_back();
  sql::Row& kept = rows_[at];
  kept.resize(row.size() - 1);
  for (std::size_t c = 1; c < row.size(); ++c) kept[c - 1] = row[c];
}

void DocumentsWithItems::Flush(const Each& each) {
  if (heads_.empty()) return;
  // The keys of the block; the places left over take no document.
  for (std::size_t i = 0; i < block_; ++i) keys_[i].value = i < heads_.size() ? heads_[i][0] : std::nullopt;
  // Each document's items lie together, in key and item order: where they
  // start and how many.
  std::unordered_map<std::string, std::pair<std::size_t, std::size_t>> where;
  std::size_t count = 0;
  items_->Each(keys_, [&](const sql::Row& row) {
    ++where.try_emplace(row[0].value_or(""), count, 0).first->second.second;
    Keep(row, count++);
  });
  const std::span<const sql::Row> read(rows_.data(), count);
  for (const sql::Row& head : heads_) {
    const auto found = where.find(head[0].value_or(""));
    each(head, found == where.end() ? std::span<const sql::Row>()
                                    : read.subspan(found->second.first, found->second.second));
  }
  heads_.clear();
}

}  // namespace server
