#pragma once
// Calls that take long (building a whole file) run at most `slots` at a
// time; the rest wait their turn without holding a worker, so that short
// calls always find one.
#include <deque>
#include <functional>
#include <mutex>

namespace server {

class LongCallLane {
 public:
  // `post` runs a task on a worker.
  LongCallLane(int slots, std::function<void(std::function<void()>)> post)
      : slots_(slots), post_(std::move(post)) {}

  // Runs the call now, on this thread, when a slot is free; otherwise queues
  // it for the first slot that frees.
  void Run(std::function<void()> call);

 private:
  void RunHere(const std::function<void()>& call);
  int slots_;
  std::function<void(std::function<void()>)> post_;
  std::mutex mutex_;
  int running_ = 0;
  std::deque<std::function<void()>> waiting_;
};

}  // namespace server
