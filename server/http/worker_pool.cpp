#include "server/http/worker_pool.h"

namespace server {

WorkerPool::WorkerPool(int threads) {
  for (int i = 0; i < (threads > 0 ? threads : 1); ++i) threads_.emplace_back([this] { Run(); });
}

WorkerPool::~WorkerPool() { Shutdown(); }

void WorkerPool::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    if (stopping_) return;
    tasks_.push_back(std::move(task));
  }
  wake_.notify_one();
}

void WorkerPool::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (stopping_ && threads_.empty()) return;
    stopping_ = true;
    tasks_.clear();
  }
  wake_.notify_all();
  for (auto& t : threads_) {
    if (t.joinable()) t.join();
  }
  threads_.clear();
}

void WorkerPool::Run() {
  for (;;) {
    std::function<void()> task;
    {
      std::unique_lock lock(mutex_);
      wake_.wait(lock, [&] { return stopping_ || !tasks_.empty(); });
      if (stopping_) return;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    try {
      task();
    } catch (...) {
    }
  }
}

}  // namespace server
