// Parts of a file built side by side come out in their order, whichever
// finishes first; the first part in order that fails decides the error, and
// the parts after it stop.
#include "server/build/side_by_side.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "lib/wire/block_codec.h"
#include "tests/support/server_process.h"

namespace {

struct Collected : server::LineSink {
  void Line(const std::string& line) override { lines.push_back(line); }
  void Block(std::int64_t, const std::string& packed) override {
    for (auto& line : wire::UnpackLines(packed)) lines.push_back(line);
  }
  std::vector<std::string> lines;
};

// A one-way signal between parts, which gives up after a while so that a
// fault shows as a failure instead of a hung test.
class Signal {
 public:
  void Raise() {
    {
      const std::lock_guard lock(mutex_);
      raised_ = true;
    }
    changed_.notify_all();
  }
  bool Wait() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(20), [&] { return raised_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool raised_ = false;
};

class SideBySide : public ::testing::Test {
 protected:
  void SetUp() override {
    database_ = TestDatabase("side_by_side");
    PrepareDatabase(database_, {});
    session_ = sql::OpenSession(database_);
  }
  void TearDown() override { DropTestDatabase(database_); }
  server::SessionSource Sessions() {
    return [this](const std::function<void(sql::Session&)>& body) {
      auto own = sql::OpenSession(database_);
      body(*own);
    };
  }
  static server::FilePart Lines(const std::string& prefix, int count) {
    return [prefix, count](sql::Session&, server::LineSink& out) {
      for (int n = 1; n <= count; ++n) out.Line(prefix + std::to_string(n));
    };
  }
  std::string database_;
  std::unique_ptr<sql::Session> session_;
};

TEST_F(SideBySide, PartsComeOutInTheirOrderWhicheverFinishesFirst) {
  Signal last_done;
  std::vector<server::FilePart> parts = {
      // The first part finishes only after the last one has: they ran at once.
      [&](sql::Session& session, server::LineSink& out) {
        ASSERT_TRUE(last_done.Wait());
        Lines("a", 2500)(session, out);
      },
      Lines("b", 3), Lines("c", 0),
      [&](sql::Session& session, server::LineSink& out) {
        Lines("d", 1001)(session, out);
        last_done.Raise();
      }};
  std::vector<std::string> expected;
  for (const auto& [prefix, count] : {std::pair{"a", 2500}, {"b", 3}, {"d", 1001}})
    for (int n = 1; n <= count; ++n) expected.push_back(prefix + std::to_string(n));

  Collected together;
  server::RunSideBySide(parts, *session_, Sessions(), 4, together);
  EXPECT_EQ(together.lines, expected);

  // One thread: the same lines (the first part must not wait then).
  last_done.Raise();
  Collected alone;
  server::RunSideBySide(parts, *session_, {}, 4, alone);
  EXPECT_EQ(alone.lines, expected);
}

TEST_F(SideBySide, TheFirstFailingPartInOrderDecidesAndLaterPartsStop) {
  Signal later_failed;
  std::vector<server::FilePart> parts = {Lines("a", 1200),
                                         // Fails after the part behind it has failed: its error is the one.
                                         [&](sql::Session&, server::LineSink& out) {
                                           out.Line("b1");
                                           ASSERT_TRUE(later_failed.Wait());
                                           throw std::runtime_error("b failed");
                                         },
                                         [&](sql::Session&, server::LineSink&) {
                                           later_failed.Raise();
                                           throw std::runtime_error("c failed");
                                         },
                                         // Would never end unless told to stop.
                                         [&](sql::Session&, server::LineSink& out) {
                                           for (;;) out.Line("d");
                                         }};
  Collected out;
  try {
    server::RunSideBySide(parts, *session_, Sessions(), 4, out);
    FAIL() << "no error";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "b failed");
  }
  ASSERT_EQ(out.lines.size(), 1200u);  // the part before the failure, whole; nothing after it
  EXPECT_EQ(out.lines.back(), "a1200");
}

TEST_F(SideBySide, AFailureWhileHandingOnStopsThePartsStillRunning) {
  struct Failing : server::LineSink {
    void Line(const std::string&) override { throw std::runtime_error("disk full"); }
    void Block(std::int64_t, const std::string&) override { throw std::runtime_error("disk full"); }
  } out;
  std::vector<server::FilePart> parts = {Lines("a", 5), [](sql::Session&, server::LineSink& o) {
                                           for (;;) o.Line("b");
                                         }};
  EXPECT_THROW(server::RunSideBySide(parts, *session_, Sessions(), 2, out), std::runtime_error);
}

}  // namespace
