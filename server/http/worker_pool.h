#pragma once
// A fixed set of threads running posted tasks in order of arrival.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace server {

class WorkerPool {
 public:
  explicit WorkerPool(int threads);
  ~WorkerPool();
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;

  // Queues a task; tasks posted after Shutdown are dropped. A task that
  // throws is the task's own fault: the exception is swallowed so that the
  // worker lives on.
  void Post(std::function<void()> task);
  // Drops the tasks not started yet and waits for the running ones.
  void Shutdown();

 private:
  void Run();
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> tasks_;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace server
