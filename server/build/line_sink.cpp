#include "server/build/line_sink.h"

#include "lib/wire/block_codec.h"

namespace server {

void BlockSink::Line(const std::string& line) {
  pending_.push_back(line);
  if (pending_.size() == kLinesPerBlock) FlushLines();
}

void BlockSink::Block(std::int64_t lines, const std::string& packed) {
  // The lines taken before the block come before it.
  FlushLines();
  if (lines > 0) Store(lines, packed);
}

void BlockSink::FlushLines() {
  if (pending_.empty()) return;
  const auto lines = static_cast<std::int64_t>(pending_.size());
  const std::string packed = wire::PackLines(pending_);
  pending_.clear();
  Store(lines, packed);
}

}  // namespace server
