#include "host/qt/check_job.h"

#include <cstdio>
#include <istream>
#include <streambuf>

namespace qtfront {
namespace {

// A file read block by block for the checker; at its end, or once the check
// is stopped, it reports the end of the file.
class WatchedFile : public std::streambuf {
 public:
  WatchedFile(std::FILE* file, const std::atomic<bool>& stop, std::atomic<std::uint64_t>& bytes_read,
              LineIndex& lines)
      : file_(file), stop_(stop), bytes_read_(bytes_read), lines_(lines) {}

  bool Stopped() const { return stopped_; }

 protected:
  int_type underflow() override {
    if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
    if (stop_) {
      stopped_ = true;
      return traits_type::eof();
    }
    const std::size_t got = std::fread(block_, 1, sizeof block_, file_);
    if (got == 0) return traits_type::eof();
    lines_.Read(block_, got, offset_);
    offset_ += got;
    bytes_read_ = offset_;
    setg(block_, block_, block_ + got);
    return traits_type::to_int_type(*gptr());
  }

 private:
  std::FILE* file_;
  const std::atomic<bool>& stop_;
  std::atomic<std::uint64_t>& bytes_read_;
  LineIndex& lines_;
  std::uint64_t offset_ = 0;
  bool stopped_ = false;
  char block_[64 * 1024];
};

}  // namespace

CheckJob::CheckJob(std::string path, Done done) : path_(std::move(path)) {
  thread_ = std::thread([this, done = std::move(done)] { Run(done); });
}

CheckJob::~CheckJob() {
  Stop();
  Wait();
}

void CheckJob::Wait() {
  if (thread_.joinable()) thread_.join();
}

void CheckJob::Run(Done done) {
  auto outcome = std::make_shared<CheckOutcome>();
  outcome->path = path_;
  std::FILE* file = std::fopen(path_.c_str(), "rb");
  if (!file) {
    outcome->kind = CheckOutcome::Kind::Unreadable;
    outcome->error = "cannot open";
    done(std::move(outcome));
    return;
  }
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long size = std::ftell(file);
    file_size_ = size > 0 ? static_cast<std::uint64_t>(size) : 0;
  }
  std::rewind(file);
  try {
    WatchedFile buffer(file, stop_, bytes_read_, outcome->lines);
    std::istream in(&buffer);
    outcome->report = layout::CheckStream(in);
    const bool failed = std::ferror(file) != 0;
    if (buffer.Stopped()) {
      outcome->kind = CheckOutcome::Kind::Stopped;
      outcome->report = {};
    } else if (failed) {
      outcome->kind = CheckOutcome::Kind::Unreadable;
      outcome->error = "read error";
      outcome->report = {};
    } else {
      outcome->groups = GroupFindings(outcome->report);
    }
  } catch (const std::exception& e) {
    outcome->kind = CheckOutcome::Kind::Unreadable;
    outcome->error = e.what();
  }
  std::fclose(file);
  done(std::move(outcome));
}

}  // namespace qtfront
