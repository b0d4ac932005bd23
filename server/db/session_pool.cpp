#include "server/db/session_pool.h"

namespace server {

SessionPool::Lease SessionPool::Acquire() {
  {
    std::lock_guard lock(mutex_);
    if (!idle_.empty()) {
      auto session = std::move(idle_.back());
      idle_.pop_back();
      return Lease(*this, std::move(session));
    }
  }
  return Lease(*this, sql::OpenSession(url_));
}

void SessionPool::Return(std::unique_ptr<sql::Session> session) {
  if (!session) return;
  std::lock_guard lock(mutex_);
  idle_.push_back(std::move(session));
}

}  // namespace server
