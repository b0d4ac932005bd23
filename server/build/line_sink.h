#pragma once
// Where the lines of a file go, in file order: one at a time, or as a block
// of lines already packed by wire::PackLines together with how many it holds,
// so that a block made once is never unpacked to be packed again.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace server {

// Lines are kept in blocks: one row per block instead of one per line makes
// storing and deleting a large file cheap, and a page reads a few rows.
constexpr std::size_t kLinesPerBlock = 1000;

class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void Line(const std::string& line) = 0;
  virtual void Block(std::int64_t lines, const std::string& packed) = 0;
};

// A sink that stores whole blocks: the lines it takes one at a time are
// gathered and packed kLinesPerBlock to a block.
class BlockSink : public LineSink {
 public:
  BlockSink() { pending_.reserve(kLinesPerBlock); }
  void Line(const std::string& line) final;
  void Block(std::int64_t lines, const std::string& packed) final;

 protected:
  // Packs and stores the lines taken one at a time and not yet stored.
  void FlushLines();
  virtual void Store(std::int64_t lines, const std::string& packed) = 0;

 private:
  std::vector<std::string> pending_;
};

}  // namespace server
