#pragma once
// Database sessions for the server's worker threads: a session serves one
// request at a time and goes back to the pool afterwards.
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "lib/sql/session.h"

namespace server {

class SessionPool {
 public:
  explicit SessionPool(std::string url) : url_(std::move(url)) {}

  class Lease {
   public:
    Lease(SessionPool& pool, std::unique_ptr<sql::Session> session)
        : pool_(pool), session_(std::move(session)) {}
    ~Lease() { pool_.Return(std::move(session_)); }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;
    sql::Session& operator*() { return *session_; }
    sql::Session* operator->() { return session_.get(); }

   private:
    SessionPool& pool_;
    std::unique_ptr<sql::Session> session_;
  };

  // A session from the pool, or a new one. Throws sql::DatabaseError.
  Lease Acquire();

 private:
  void Return(std::unique_ptr<sql::Session> session);
  std::string url_;
  std::mutex mutex_;
  std::vector<std::unique_ptr<sql::Session>> idle_;
};

}  // namespace server
