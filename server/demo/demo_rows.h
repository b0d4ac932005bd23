#pragma once
// What the demo loaders share: rows inserted in one batch, and numbers as
// the text a row holds.
#include <cstdint>
#include <string>
#include <vector>

#include "lib/sql/session.h"

namespace server::demo {

inline void InsertAll(sql::Session& s, const std::string& text, const std::vector<sql::Row>& rows) {
  auto batch = s.PrepareBatch(text, 500);
  for (const sql::Row& row : rows) batch->Add(row);
  batch->Flush();
}

inline std::string Num(std::int64_t v) { return std::to_string(v); }

}  // namespace server::demo
