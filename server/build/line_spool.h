#pragma once
// The lines of a register group built while an earlier group is still being
// written: packed in blocks into an unnamed temporary file, so that a group
// that waits its turn costs disk, never memory, however large it is.
#include <cstdint>
#include <cstdio>
#include <string>

#include "server/build/line_sink.h"

namespace server {

class LineSpool : public BlockSink {
 public:
  // Throws std::runtime_error when no temporary file can be made.
  LineSpool();
  ~LineSpool() override;
  LineSpool(const LineSpool&) = delete;
  LineSpool& operator=(const LineSpool&) = delete;

  // Hands every line taken, in order, on to `sink` as the blocks it holds.
  // Throws std::runtime_error when the temporary file fails.
  void Replay(LineSink& sink);

 private:
  void Store(std::int64_t lines, const std::string& packed) override;
  std::FILE* file_ = nullptr;
};

}  // namespace server
