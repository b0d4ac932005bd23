#include "server/long_call_lane.h"

namespace server {

void LongCallLane::Run(std::function<void()> call) {
  {
    std::lock_guard lock(mutex_);
    if (running_ >= slots_) {
      waiting_.push_back(std::move(call));
      return;
    }
    ++running_;
  }
  RunHere(call);
}

void LongCallLane::RunHere(const std::function<void()>& call) {
  try {
    call();
  } catch (...) {
  }
  std::function<void()> next;
  {
    std::lock_guard lock(mutex_);
    if (waiting_.empty()) {
      --running_;
      return;
    }
    next = std::move(waiting_.front());
    waiting_.pop_front();
  }
  // The slot passes to the next waiting call, on a worker of its own.
  post_([this, next = std::move(next)] { RunHere(next); });
}

}  // namespace server
