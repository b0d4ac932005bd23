#pragma once
// Calls that take long (building a whole file) run on threads of their own,
// at most `slots` at a time; the rest wait their turn. The workers stay free
// for the short calls, and a small file asked for behind several large ones
// is built beside them instead of after them.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace server {

class LongCallLane {
 public:
  explicit LongCallLane(int slots) : slots_(slots) {}
  // Drops the calls still waiting and waits for the running ones.
  ~LongCallLane();
  LongCallLane(const LongCallLane&) = delete;
  LongCallLane& operator=(const LongCallLane&) = delete;

  // Starts the call on a thread of its own when a slot is free; otherwise
  // queues it for the first slot that frees. Returns at once.
  void Run(std::function<void()> call);
  // The slots no call holds or waits for.
  int Free();
  // The calls running or waiting.
  int Busy();

 private:
  void Serve(std::function<void()> call);
  int slots_;
  std::mutex mutex_;
  std::condition_variable idle_;
  int running_ = 0;
  std::deque<std::function<void()>> waiting_;
};

}  // namespace server
