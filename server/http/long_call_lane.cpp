#include "server/http/long_call_lane.h"

#include <algorithm>
#include <thread>

namespace server {

LongCallLane::~LongCallLane() {
  std::unique_lock lock(mutex_);
  waiting_.clear();
  idle_.wait(lock, [this] { return running_ == 0; });
}

void LongCallLane::Run(std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    if (running_ >= slots_) {
      waiting_.push_back(std::move(call));
      return;
    }
    ++running_;
  }
  std::thread([this, call = std::move(call)]() mutable { Serve(std::move(call)); }).detach();
}

int LongCallLane::Free() {
  std::lock_guard lock(mutex_);
  return std::max(0, slots_ - running_ - static_cast<int>(waiting_.size()));
}

int LongCallLane::Busy() {
  std::lock_guard lock(mutex_);
  return running_ + static_cast<int>(waiting_.size());
}

void LongCallLane::Serve(std::function<void()> call) {
  for (;;) {
    try {
      call();
    } catch (...) {
    }
    std::lock_guard lock(mutex_);
    if (waiting_.empty()) {
      --running_;
      // The last thing this thread does with the lane: the destructor may
      // go on as soon as the lock is released.
      idle_.notify_all();
      return;
    }
    // The slot passes to the next waiting call, on this thread.
    call = std::move(waiting_.front());
    waiting_.pop_front();
  }
}

}  // namespace server
