#include "host/qt/line_index.h"

#include <cstring>
#include <fstream>

namespace qtfront {

void LineIndex::Read(const char* block, std::size_t size, std::uint64_t offset) {
  const char* end = block + size;
  for (const char* at = block; (at = static_cast<const char*>(std::memchr(at, '\n', end - at))); ++at) {
    // The line after this LF starts on the next byte.
    if (lines_started_++ % kStep == 0) starts_.push_back(offset + static_cast<std::uint64_t>(at - block) + 1);
  }
}

std::optional<std::string> LineIndex::Line(const std::string& path, long number) const {
  if (number < 1) return std::nullopt;
  const auto step = static_cast<std::size_t>((number - 1) / kStep);
  const std::size_t known = std::min(step, starts_.size() - 1);
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  in.seekg(static_cast<std::streamoff>(starts_[known]));
  std::string line;
  for (long skip = number - 1 - static_cast<long>(known) * kStep; skip > 0; --skip) {
    if (!std::getline(in, line)) return std::nullopt;
  }
  if (!std::getline(in, line)) return std::nullopt;
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

}  // namespace qtfront
