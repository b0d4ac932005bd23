#include "server/build/side_by_side.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "server/build/line_spool.h"

namespace server {
namespace {

// Thrown inside a part that no longer matters: an earlier one failed.
struct Abandoned {};

struct Output {
  std::unique_ptr<LineSpool> spool;
  std::exception_ptr error;
  bool done = false;
};

class Run {
 public:
  explicit Run(const std::vector<FilePart>& parts) : parts_(parts), outputs_(parts.size()) {}

  // Takes parts in order until none is left; called by every thread.
  void Work(sql::Session& session) {
    for (std::size_t i; (i = next_++) < parts_.size();) {
      Output& output = outputs_[i];
      try {
        if (i > failed_at_) throw Abandoned{};
        output.spool = std::make_unique<LineSpool>();
        Guarded sink(*this, i, *output.spool);
        parts_[i](session, sink);
      } catch (const Abandoned&) {
      } catch (...) {
        output.error = std::current_exception();
        Fail(i);
      }
      {
        const std::lock_guard lock(mutex_);
        output.done = true;
      }
      changed_.notify_all();
    }
  }

  // Hands the parts on in order, each once it is done.
  void Deliver(LineSink& out) {
    for (std::size_t i = 0; i < parts_.size(); ++i) {
      Output& output = outputs_[i];
      {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return output.done; });
      }
      if (output.error) std::rethrow_exception(output.error);
      output.spool->Replay(out);
      output.spool.reset();
    }
  }

  // No part after `i` is wanted any more.
  void Fail(std::size_t i) {
    std::size_t current = failed_at_.load();
    while (i < current && !failed_at_.compare_exchange_weak(current, i)) {
    }
  }

 private:
  // The lines of part `index`, which stops as soon as an earlier part fails.
  class Guarded : public LineSink {
   public:
    Guarded(Run& run, std::size_t index, LineSink& out) : run_(run), index_(index), out_(out) {}
    void Line(const std::string& line) override {
      Check();
      out_.Line(line);
    }
    void Block(std::int64_t lines, const std::string& packed) override {
      Check();
      out_.Block(lines, packed);
    }

   private:
    void Check() const {
      if (index_ > run_.failed_at_.load(std::memory_order_relaxed)) throw Abandoned{};
    }
    Run& run_;
    const std::size_t index_;
    LineSink& out_;
  };

  const std::vector<FilePart>& parts_;
  std::vector<Output> outputs_;
  std::atomic<std::size_t> next_{0};
  std::atomic<std::size_t> failed_at_{static_cast<std::size_t>(-1)};
  std::mutex mutex_;
  std::condition_variable changed_;
};

}  // namespace

void RunSideBySide(const std::vector<FilePart>& parts, sql::Session& session,
                   const SessionSource& more_sessions, int threads, LineSink& out) {
  Run run(parts);
  const std::size_t count =
      std::min(parts.size(), static_cast<std::size_t>(std::max(1, more_sessions ? threads : 1)));
  std::vector<std::jthread> workers;
  try {
    workers.emplace_back([&] { run.Work(session); });
    for (std::size_t t = 1; t < count; ++t) {
      workers.emplace_back([&] {
        try {
          more_sessions([&](sql::Session& own) { run.Work(own); });
        } catch (...) {
          // No session to lend: the other threads take the parts.
        }
      });
    }
    run.Deliver(out);
  } catch (...) {
    // Whatever stopped the delivery, nothing built after it is wanted.
    run.Fail(0);
    throw;
  }
}

}  // namespace server
