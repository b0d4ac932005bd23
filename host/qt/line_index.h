#pragma once
// Where the lines of a file start, noted every kStep lines while the file is
// read once, so that one line can be read again later without holding the
// file in memory or reading it from the start.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qtfront {

class LineIndex {
 public:
  static constexpr long kStep = 1024;

  // Notes the lines that start in a block of the file: `block` holds `size`
  // bytes read from `offset` on. Blocks are given in order.
  void Read(const char* block, std::size_t size, std::uint64_t offset);

  // The text of line `number` (1-based) of the file, without its CR LF or
  // LF; nothing when the file has no such line or cannot be read.
  std::optional<std::string> Line(const std::string& path, long number) const;

 private:
  std::vector<std::uint64_t> starts_ = {0};  // of lines 1, 1 + kStep, 1 + 2 kStep, …
  long lines_started_ = 1;                   // the lines whose start has been seen
};

}  // namespace qtfront
