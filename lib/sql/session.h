#pragma once
// Database access without any database library in sight: a session runs one
// statement with named parameters (":P_NAME") and hands back the rows as text.
// Values are never spliced into statement texts.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace sql {

enum class Backend { Sqlite, PostgreSql };

struct Param {
  std::string name;                  // without the colon
  std::optional<std::string> value;  // nullopt binds NULL
};

struct ResultSet {
  std::vector<std::string> columns;
  std::vector<std::vector<std::optional<std::string>>> rows;
};

// Raised for every failure of the database or of a statement. The message
// is the database's reason ("database is locked"), fit for a user to read;
// detail() adds what only a log may carry: the statement and its values.
class DatabaseError : public std::runtime_error {
 public:
  explicit DatabaseError(const std::string& message, std::string detail = {})
      : std::runtime_error(message), detail_(detail.empty() ? message : std::move(detail)) {}
  const std::string& detail() const { return detail_; }

 private:
  std::string detail_;
};

using Row = std::vector<std::optional<std::string>>;

// Many executions of one prepared statement (inserts), sent in blocks.
class Batch {
 public:
  virtual ~Batch() = default;
  // One execution: values for the statement's parameters in order of first
  // appearance. Throws DatabaseError for a wrong number of values.
  virtual void Add(const Row& values) = 0;
  // Executes what was added and not yet sent.
  virtual void Flush() = 0;
};

// A statement prepared once and run many times with other values, such as
// the items of one document, read for each document in turn.
class PreparedQuery {
 public:
  virtual ~PreparedQuery() = default;
  // As Session::QueryEach.
  virtual void Each(const std::vector<Param>& params, const std::function<void(const Row&)>& row) = 0;
};

class Session {
 public:
  virtual ~Session() = default;
  virtual Backend backend() const = 0;
  // Runs a statement that returns rows. Every parameter named in the text must
  // be given; parameters given but not named are an error.
  virtual ResultSet Query(const std::string& text, const std::vector<Param>& params) = 0;
  // Runs a statement and hands each row to `row` as it is read; rows are not
  // kept, so a result of any size runs in constant memory.
  virtual void QueryEach(const std::string& text, const std::vector<Param>& params,
                         const std::function<void(const Row&)>& row) = 0;
  // Prepares a statement that returns rows. Throws DatabaseError.
  virtual std::unique_ptr<PreparedQuery> Prepare(const std::string& text) = 0;
  // Runs a statement (or, without parameters, several separated by ";").
  virtual void Execute(const std::string& text, const std::vector<Param>& params = {}) = 0;
  virtual std::unique_ptr<Batch> PrepareBatch(const std::string& text, std::size_t block_size = 1000) = 0;

  // Folds what other sessions wrote meanwhile into the database's main file
  // when that costs no wait (SQLite's write-ahead log); nothing on databases
  // without one. A long read that starts after it finds every page in the
  // main file instead of searching the log for each one.
  virtual void Checkpoint() = 0;

  virtual void Begin() = 0;
  // A transaction that will write: on SQLite it takes the write lock at
  // once (BEGIN IMMEDIATE), so that two writers wait for each other at the
  // start rather than one failing half-way; elsewhere a plain Begin.
  virtual void BeginWriting() { Begin(); }
  virtual void Commit() = 0;
  virtual void Rollback() = 0;

  // When another user holds the database (SQLite's lock), waits for its
  // turn however long it takes, calling `waiting` with the time waited
  // about every second, instead of failing after the usual timeout.
  // PostgreSQL waits for its row locks by itself: nothing to do there.
  virtual void WaitForTurn(std::function<void(std::chrono::milliseconds waited)> waiting) { (void)waiting; }
};

// A transaction that rolls back unless committed.
class Transaction {
 public:
  enum class Intent { Read, Write };
  explicit Transaction(Session& session, Intent intent = Intent::Read) : session_(session) {
    intent == Intent::Write ? session_.BeginWriting() : session_.Begin();
  }
  ~Transaction() {
    if (!done_) {
      try {
        session_.Rollback();
      } catch (...) {
        // The error that ended the transaction is the one worth reporting.
      }
    }
  }
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;
  void Commit() {
    session_.Commit();
    done_ = true;
  }

 private:
  Session& session_;
  bool done_ = false;
};

// Opens a database named by a URL: "sqlite:<path>" (the file is created when
// missing) or "postgresql://user@host:port/database" (any libpq connection
// URI). Throws DatabaseError for an unknown scheme or a failed connect.
std::unique_ptr<Session> OpenSession(const std::string& url);

// The distinct parameter names of a statement, in order of first appearance,
// ignoring text inside quotes and "::" casts.
std::vector<std::string> ParameterNames(const std::string& text);
// The statement with each ":NAME" replaced by "$n", n its place in
// ParameterNames.
std::string PositionalText(const std::string& text);
// The values of `params` in the order of `names`. Throws DatabaseError for a
// parameter given but not used, or used but not given.
std::vector<std::optional<std::string>> OrderedValues(const std::vector<std::string>& names,
                                                      const std::vector<Param>& params);

}  // namespace sql
