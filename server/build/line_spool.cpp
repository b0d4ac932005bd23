#include "server/build/line_spool.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <stdexcept>

namespace server {
namespace {

[[noreturn]] void Fail(const std::string& what) {
  throw std::runtime_error("temporary file of the build: " + what + ": " + std::strerror(errno));
}

// A block on file: its line count and byte count, then its bytes.
struct BlockHeader {
  std::int64_t lines;
  std::uint64_t bytes;
};

}  // namespace

LineSpool::LineSpool() {
  std::string path = (std::filesystem::temp_directory_path() / "mag-server-build.XXXXXX").string();
  const int fd = ::mkstemp(path.data());
  if (fd < 0) Fail("cannot create " + path);
  // Unlinked at once: nothing is left behind whatever way the build ends.
  ::unlink(path.c_str());
  file_ = ::fdopen(fd, "w+b");
  if (!file_) {
    ::close(fd);
    Fail("cannot open " + path);
  }
}

LineSpool::~LineSpool() {
  if (file_) std::fclose(file_);
}

void LineSpool::Store(std::int64_t lines, const std::string& packed) {
  const BlockHeader header{lines, packed.size()};
  if (std::fwrite(&header, sizeof header, 1, file_) != 1 ||
      std::fwrite(packed.data(), 1, packed.size(), file_) != packed.size()) {
    Fail("cannot write");
  }
}

void LineSpool::Replay(LineSink& sink) {
  FlushLines();
  if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) Fail("cannot read back");
  BlockHeader header{};
  std::string packed;
  while (std::fread(&header, sizeof header, 1, file_) == 1) {
    packed.resize(header.bytes);
    if (std::fread(packed.data(), 1, packed.size(), file_) != packed.size()) Fail("cut short");
    sink.Block(header.lines, packed);
  }
  if (std::ferror(file_)) Fail("cannot read back");
}

}  // namespace server
