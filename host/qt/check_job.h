#pragma once
// One check of a magnetic file on a thread of its own. The checker reads the
// file through a buffer that counts the bytes it hands over (the progress),
// notes where the lines start (to show one again later) and ends the file
// early when the check is stopped, so a stop takes effect within one block.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "host/qt/finding_groups.h"
#include "host/qt/line_index.h"
#include "lib/layout/layout_check.h"

namespace qtfront {

struct CheckOutcome {
  enum class Kind { Checked, Stopped, Unreadable };
  Kind kind = Kind::Checked;
  std::string path;
  layout::Report report;
  std::vector<FindingGroup> groups;
  LineIndex lines;
  std::string error;  // what went wrong, for Unreadable
};

class CheckJob {
 public:
  // `done` is called once, on the job's thread, before the thread ends.
  using Done = std::function<void(std::shared_ptr<const CheckOutcome>)>;
  CheckJob(std::string path, Done done);
  // Stops the check and waits for its thread.
  ~CheckJob();
  CheckJob(const CheckJob&) = delete;
  CheckJob& operator=(const CheckJob&) = delete;

  // Asks the check to end at the next block; returns at once.
  void Stop() { stop_ = true; }
  // Waits for the thread (after Stop, within one block).
  void Wait();

  std::uint64_t BytesRead() const { return bytes_read_; }
  std::uint64_t FileSize() const { return file_size_; }

 private:
  void Run(Done done);

  std::string path_;
  std::atomic<bool> stop_ = false;
  std::atomic<std::uint64_t> bytes_read_ = 0;
  std::atomic<std::uint64_t> file_size_ = 0;
  std::thread thread_;
};

}  // namespace qtfront
