#pragma once
// A zip archive of files stored as they are, produced as a stream while the
// files are read: a folder's documents go to the server's import as one
// run (a cancellation finds its document wherever the two lie) without a
// copy on disk. Its length is known before the first byte.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace net {

struct ZipMember {
  std::string path;  // read from
  std::string name;  // in the archive, UTF-8
};

class StoredZip {
 public:
  // The archive format without its 64-bit extension holds this many.
  static constexpr std::size_t kMostMembers = 65535;
  // Throws std::runtime_error when a file cannot be read, or the archive
  // would pass kMostMembers or 4 GiB.
  explicit StoredZip(std::vector<ZipMember> members);

  std::uint64_t Size() const { return size_; }
  // The next bytes, up to `room`; 0 at the end. Throws std::runtime_error
  // when a file cannot be read or changed its length meanwhile.
  std::size_t Next(char* out, std::size_t room);

 private:
  struct Member {
    ZipMember file;
    std::uint32_t size = 0;
    std::uint32_t crc = 0;
    std::uint32_t offset = 0;
  };
  // Puts the headers that come next into pending_.
  void Advance();

  std::vector<Member> members_;
  std::uint64_t size_ = 0;
  std::size_t current_ = 0;  // the member being sent
  enum class Stage { Header, Data, Descriptor, Directory, Done } stage_ = Stage::Header;
  std::string pending_;  // header bytes not yet handed out
  std::size_t pending_at_ = 0;
  std::ifstream in_;
  std::uint32_t left_ = 0;  // of the member's data
  std::uint32_t crc_ = 0;
};

}  // namespace net
