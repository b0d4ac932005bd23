// The SOCI implementation of sql::Session. SOCI's headers stop here.
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>
// SOCI wraps the SQLite API in its own namespace.
using namespace sqlite_api;

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>

#include "lib/sql/session.h"

namespace sql {
namespace {

// SOCI's own message adds the statement and its values to the database's
// reason: they go to the detail, for the log.
[[noreturn]] void Rethrow(const std::exception& e) {
  if (const auto* soci_failure = dynamic_cast<const soci::soci_error*>(&e)) {
    // "sqlite3_statement_backend::loadOne: database is locked": the reason
    // is after the name of SOCI's own function.
    std::string reason = soci_failure->get_error_message();
    const auto name_end = reason.find(": ");
    if (name_end != std::string::npos && reason.find("::") < name_end) reason.erase(0, name_end + 2);
    throw DatabaseError(reason, e.what());
  }
  throw DatabaseError(e.what());
}

// NVL(a, b): a unless it is NULL. The statement texts written for Oracle-like
// databases use it; SQLite has INSTR already.
void NvlFunction(sqlite3_context* context, int, sqlite3_value** args) {
  sqlite3_result_value(context, sqlite3_value_type(args[0]) == SQLITE_NULL ? args[1] : args[0]);
}

// Rows are read with SQLite's own calls: SOCI reads a column declared
// INTEGER as a 32-bit number, and amounts in cents pass 2^31. SQLite's text
// of a stored value is exact. A statement is prepared once and may run many
// times; the row handed on is one buffer, refilled for every row.
class SqliteQuery final : public PreparedQuery {
 public:
  SqliteQuery(sqlite3* db, const std::string& text) : db_(db), names_(ParameterNames(text)) {
    sqlite3_stmt* raw = nullptr;
    if (sqlite3_prepare_v2(db, text.c_str(), static_cast<int>(text.size()), &raw, nullptr) != SQLITE_OK) {
      sqlite3_finalize(raw);
      throw DatabaseError(sqlite3_errmsg(db));
    }
    statement_.reset(raw);
    for (const std::string& name : names_)
      indexes_.push_back(sqlite3_bind_parameter_index(raw, (":" + name).c_str()));
    values_.resize(static_cast<std::size_t>(sqlite3_column_count(raw)));
  }

  void Each(const std::vector<Param>& params, const std::function<void(const Row&)>& row) override {
    Run(params, nullptr, row);
  }

  template <typename F>
  void Run(const std::vector<Param>& params, std::vector<std::string>* columns, F&& on_row) {
    sqlite3_stmt* raw = statement_.get();
    sqlite3_reset(raw);
    sqlite3_clear_bindings(raw);
    Bind(params);
    if (columns) {
      for (std::size_t i = 0; i < values_.size(); ++i)
        columns->push_back(sqlite3_column_name(raw, static_cast<int>(i)));
    }
    for (;;) {
      const int step = sqlite3_step(raw);
      if (step == SQLITE_DONE) break;
      if (step != SQLITE_ROW) {
        const std::string message = sqlite3_errmsg(db_);
        sqlite3_reset(raw);
        throw DatabaseError(message);
      }
      for (std::size_t i = 0; i < values_.size(); ++i) ReadColumn(static_cast<int>(i), values_[i]);
      on_row(values_);
    }
    sqlite3_reset(raw);
  }

 private:
  void Bind(const std::vector<Param>& params) {
    const auto values = OrderedValues(names_, params);
    for (std::size_t n = 0; n < names_.size(); ++n) {
      if (indexes_[n] == 0) continue;
      const int bound = values[n] ? sqlite3_bind_text(statement_.get(), indexes_[n], values[n]->data(),
                                                      static_cast<int>(values[n]->size()), SQLITE_TRANSIENT)
                                  : sqlite3_bind_null(statement_.get(), indexes_[n]);
      if (bound != SQLITE_OK) throw DatabaseError(sqlite3_errmsg(db_));
    }
  }

  void ReadColumn(int i, std::optional<std::string>& value) {
    switch (sqlite3_column_type(statement_.get(), i)) {
      case SQLITE_NULL: value.reset(); return;
      case SQLITE_FLOAT: {
        // Short, as the values of the other databases read as text.
        std::string text = std::to_string(sqlite3_column_double(statement_.get(), i));
        if (text.find('.') != std::string::npos) {
          text.erase(text.find_last_not_of('0') + 1);
          if (text.back() == '.') text.pop_back();
        }
        value = std::move(text);
        return;
      }
      default: {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(statement_.get(), i));
        const auto size = static_cast<std::size_t>(sqlite3_column_bytes(statement_.get(), i));
        if (value)
          value->assign(bytes, size);
        else
          value.emplace(bytes, size);
      }
    }
  }

  struct Finalize {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
  };
  sqlite3* db_;
  std::vector<std::string> names_;
  std::vector<int> indexes_;
  std::unique_ptr<sqlite3_stmt, Finalize> statement_;
  Row values_;
};

class SociSession final : public Session {
 public:
  explicit SociSession(const std::string& path) {
    // A session is used by one thread at a time (the server leases each to
    // one worker), so SQLite's locking of every call on a connection, and of
    // every allocation for its memory statistics, only costs time: about a
    // tenth of an export's. It can be chosen only before SQLite starts;
    // later it is refused and the locking stays, still correct.
    static std::once_flag multithread;
    std::call_once(multithread, [] {
      sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
      sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
    });
    try {
      session_.open(soci::sqlite3, "db=\"" + path + "\" timeout=30");
    } catch (const std::exception& e) {
      throw DatabaseError("cannot open database '" + path + "': " + e.what());
    }
    auto* backend = static_cast<soci::sqlite3_session_backend*>(session_.get_backend());
    // Several server processes share one database file: readers must not
    // block the writer of a new request.
    sqlite3_exec(backend->conn_, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", nullptr, nullptr,
                 nullptr);
    // A file's queries read the period's documents and items in a few large
    // scans: memory-mapped reads keep them out of the read() calls, and the
    // mapped pages are the file's, which the kernel drops at need. The page
    // cache (and the sorter, which spills beyond it) is the private memory
    // of each connection: 8 MiB kept the server's flat from one to five
    // million lines, 32 MiB did not (measured with the export benchmark).
    sqlite3_exec(backend->conn_, "PRAGMA cache_size=-8192; PRAGMA mmap_size=2147483648;", nullptr, nullptr,
                 nullptr);
    sqlite3_create_function(backend->conn_, "NVL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            NvlFunction, nullptr, nullptr);
  }

  Backend backend() const override { return Backend::Sqlite; }

  ResultSet Query(const std::string& text, const std::vector<Param>& params) override {
    ResultSet result;
    Each(text, params, &result.columns, [&](const Row& row) { result.rows.push_back(row); });
    return result;
  }

  void QueryEach(const std::string& text, const std::vector<Param>& params,
                 const std::function<void(const Row&)>& callback) override {
    Each(text, params, nullptr, callback);
  }

  std::unique_ptr<Batch> PrepareBatch(const std::string& text, std::size_t block_size) override;

  std::unique_ptr<PreparedQuery> Prepare(const std::string& text) override {
    return std::make_unique<SqliteQuery>(Connection(), text);
  }

  void Checkpoint() override {
    // Busy or locked: the next one folds it in.
    sqlite3_wal_checkpoint_v2(Connection(), nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr, nullptr);
  }

  void Begin() override {
    Guard([&] { session_.begin(); });
  }
  void BeginWriting() override {
    char* error = nullptr;
    if (sqlite3_exec(Connection(), "BEGIN IMMEDIATE", nullptr, nullptr, &error) != SQLITE_OK) {
      const std::string message = error ? error : sqlite3_errmsg(Connection());
      sqlite3_free(error);
      throw DatabaseError(message);
    }
  }

  void WaitForTurn(std::function<void(std::chrono::milliseconds)> waiting) override {
    waiting_ = std::move(waiting);
    sqlite3_busy_handler(
        Connection(),
        [](void* self, int attempt) -> int {
          auto& session = *static_cast<SociSession*>(self);
          // Short sleeps first, then a tenth of a second at a time.
          const auto pause = std::chrono::milliseconds(attempt < 20 ? 5 : 100);
          std::this_thread::sleep_for(pause);
          if (attempt == 0) session.waited_ = session.reported_ = {};
          session.waited_ += pause;
          if (session.waited_ - session.reported_ >= std::chrono::seconds(1)) {
            session.reported_ = session.waited_;
            if (session.waiting_) session.waiting_(session.waited_);
          }
          return 1;
        },
        this);
  }
  void Commit() override {
    Guard([&] { session_.commit(); });
  }
  void Rollback() override {
    Guard([&] { session_.rollback(); });
  }

  void Execute(const std::string& text, const std::vector<Param>& params) override {
    try {
      if (params.empty() && ParameterNames(text).empty()) {
        // Several statements (a migration script) go straight to SQLite.
        auto* backend = static_cast<soci::sqlite3_session_backend*>(session_.get_backend());
        char* error = nullptr;
        if (sqlite3_exec(backend->conn_, text.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
          std::string message = error ? error : "unknown error";
          sqlite3_free(error);
          throw DatabaseError(message);
        }
        return;
      }
      Bindings bindings(text, params);
      soci::details::once_temp_type once = (session_.once << text);
      bindings.Attach(once);
    } catch (const DatabaseError&) {
      throw;
    } catch (const std::exception& e) {
      Rethrow(e);
    }
  }

 private:
  template <typename F>
  static void Guard(F&& f) {
    try {
      f();
    } catch (const DatabaseError&) {
      throw;
    } catch (const std::exception& e) {
      Rethrow(e);
    }
  }

  sqlite3* Connection() { return static_cast<soci::sqlite3_session_backend*>(session_.get_backend())->conn_; }

  template <typename F>
  void Each(const std::string& text, const std::vector<Param>& params, std::vector<std::string>* columns,
            F&& on_row) {
    SqliteQuery(Connection(), text).Run(params, columns, on_row);
  }

  // Keeps the bound values alive for as long as SOCI reads them.
  class Bindings {
   public:
    Bindings(const std::string& text, const std::vector<Param>& params) {
      names_ = ParameterNames(text);
      const auto values = OrderedValues(names_, params);
      values_.resize(names_.size());
      indicators_.resize(names_.size(), soci::i_null);
      for (std::size_t i = 0; i < names_.size(); ++i) {
        if (values[i]) {
          values_[i] = *values[i];
          indicators_[i] = soci::i_ok;
        }
      }
    }
    template <typename Statement>
    void Attach(Statement& statement) {
      for (std::size_t i = 0; i < names_.size(); ++i)
        statement, soci::use(values_[i], indicators_[i], names_[i]);
    }

   private:
    std::vector<std::string> names_;
    std::vector<std::string> values_;
    std::vector<soci::indicator> indicators_;
  };

  friend class SociBatch;
  soci::session session_;
  std::function<void(std::chrono::milliseconds)> waiting_;
  std::chrono::milliseconds waited_{}, reported_{};
};

class SociBatch final : public Batch {
 public:
  SociBatch(soci::session& session, const std::string& text, std::size_t block_size)
      : session_(session), text_(text), block_size_(block_size == 0 ? 1 : block_size) {
    const auto names = ParameterNames(text);
    columns_.resize(names.size());
    indicators_.resize(names.size());
    names_ = names;
  }
  ~SociBatch() override = default;

  void Add(const Row& values) override {
    if (values.size() != columns_.size()) {
      throw DatabaseError("batch row has " + std::to_string(values.size()) + " values for " +
                          std::to_string(columns_.size()) + " parameters");
    }
    for (std::size_t i = 0; i < values.size(); ++i) {
      columns_[i].push_back(values[i].value_or(std::string()));
      indicators_[i].push_back(values[i] ? soci::i_ok : soci::i_null);
    }
    if (columns_.empty() || columns_[0].size() >= block_size_) Flush();
  }

  void Flush() override {
    if (columns_.empty() || columns_[0].empty()) return;
    try {
      if (!statement_) {
        statement_ = std::make_unique<soci::statement>(session_);
        for (std::size_t i = 0; i < columns_.size(); ++i) {
          statement_->exchange(soci::use(columns_[i], indicators_[i], names_[i]));
        }
        statement_->alloc();
        statement_->prepare(text_);
        statement_->define_and_bind();
      }
      statement_->execute(true);
    } catch (const std::exception& e) {
      Rethrow(e);
    }
    for (auto& c : columns_) c.clear();
    for (auto& i : indicators_) i.clear();
  }

 private:
  soci::session& session_;
  std::string text_;
  std::size_t block_size_;
  std::vector<std::string> names_;
  std::vector<std::vector<std::string>> columns_;
  std::vector<std::vector<soci::indicator>> indicators_;
  std::unique_ptr<soci::statement> statement_;
};

std::unique_ptr<Batch> SociSession::PrepareBatch(const std::string& text, std::size_t block_size) {
  return std::make_unique<SociBatch>(session_, text, block_size);
}

}  // namespace

std::unique_ptr<Session> OpenSqliteSession(const std::string& path) {
  return std::make_unique<SociSession>(path);
}

}  // namespace sql
