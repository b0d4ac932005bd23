// The PostgreSQL implementation of sql::Session, on libpq. libpq's header
// stops here.
#include <libpq-fe.h>

#include <algorithm>
#include <cctype>
#include <memory>

#include "lib/sql/session.h"

namespace sql {
namespace {

struct ClearResult {
  void operator()(PGresult* r) const { PQclear(r); }
};
using Result = std::unique_ptr<PGresult, ClearResult>;

// Values as libpq takes them: text, or a null pointer for NULL. The
// parameters go untyped, so that the server gives each the type its place in
// the statement asks for.
struct Values {
  explicit Values(std::vector<std::optional<std::string>> values) : owned(std::move(values)) {
    for (const auto& v : owned) pointers.push_back(v ? v->c_str() : nullptr);
  }
  int count() const { return static_cast<int>(pointers.size()); }
  const char* const* data() const { return pointers.empty() ? nullptr : pointers.data(); }
  std::vector<std::optional<std::string>> owned;
  std::vector<const char*> pointers;
};

// The statements name their tables and columns unquoted, in capitals, which
// PostgreSQL folds to lower case: the columns are given back as written.
std::string Upper(std::string name) {
  for (char& c : name) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return name;
}

void Rows(PGresult* result, const std::function<void(const Row&)>& row) {
  const int columns = PQnfields(result);
  Row values(static_cast<std::size_t>(columns));
  for (int r = 0, rows = PQntuples(result); r < rows; ++r) {
    for (int c = 0; c < columns; ++c) {
      auto& value = values[static_cast<std::size_t>(c)];
      if (PQgetisnull(result, r, c)) {
        value.reset();
      } else {
        value.emplace(PQgetvalue(result, r, c), static_cast<std::size_t>(PQgetlength(result, r, c)));
      }
    }
    row(values);
  }
}

class PgSession;

class PgPrepared final : public PreparedQuery {
 public:
  PgPrepared(PgSession& session, const std::string& text);
  void Each(const std::vector<Param>& params, const std::function<void(const Row&)>& row) override;

 private:
  PgSession& session_;
  std::vector<std::string> names_;
  std::string statement_;
};

class PgBatch final : public Batch {
 public:
  PgBatch(PgSession& session, const std::string& text, std::size_t block_size);
  void Add(const Row& values) override;
  void Flush() override;

 private:
  PgSession& session_;
  std::size_t parameters_;
  std::size_t block_size_;
  std::string statement_;
  std::vector<Row> pending_;
};

class PgSession final : public Session {
 public:
  explicit PgSession(const std::string& url) : connection_(PQconnectdb(url.c_str())) {
    if (!connection_ || PQstatus(connection_.get()) != CONNECTION_OK) {
      const std::string message = connection_ ? PQerrorMessage(connection_.get()) : "out of memory";
      throw DatabaseError("cannot connect to the database: " + Trimmed(message));
    }
    // Notices (such as "there is no transaction in progress") are not
    // failures; the statement's own result says whether it worked.
    PQsetNoticeProcessor(
        connection_.get(), [](void*, const char*) {}, nullptr);
    Check(PQexec(connection_.get(), "SET client_encoding TO 'UTF8'"));
  }

  Backend backend() const override { return Backend::PostgreSql; }

  ResultSet Query(const std::string& text, const std::vector<Param>& params) override {
    ResultSet result;
    Result r = Run(text, params);
    for (int c = 0; c < PQnfields(r.get()); ++c) result.columns.push_back(Upper(PQfname(r.get(), c)));
    Rows(r.get(), [&](const Row& row) { result.rows.push_back(row); });
    return result;
  }

  // A result of any size in constant memory: a cursor read a block at a
  // time, so that the rows' handler may run other statements meanwhile.
  void QueryEach(const std::string& text, const std::vector<Param>& params,
                 const std::function<void(const Row&)>& row) override {
    const bool own_transaction = !in_transaction_;
    if (own_transaction) Begin();
    const std::string cursor = "mag_cursor_" + std::to_string(++names_);
    try {
      Run("DECLARE " + cursor + " NO SCROLL CURSOR FOR " + text, params);
      for (;;) {
        Result block = Exec("FETCH FORWARD 2000 FROM " + cursor);
        Rows(block.get(), row);
        if (PQntuples(block.get()) < 2000) break;
      }
      Exec("CLOSE " + cursor);
    } catch (...) {
      // The transaction is spoilt by a failed statement; a handler's own
      // exception leaves the cursor to close.
      if (own_transaction) {
        Result(PQexec(connection_.get(), "ROLLBACK"));
        in_transaction_ = false;
      } else {
        Result(PQexec(connection_.get(), ("CLOSE " + cursor).c_str()));
      }
      throw;
    }
    if (own_transaction) Commit();
  }

  std::unique_ptr<PreparedQuery> Prepare(const std::string& text) override {
    return std::make_unique<PgPrepared>(*this, text);
  }

  void Execute(const std::string& text, const std::vector<Param>& params) override {
    if (params.empty() && ParameterNames(text).empty()) {
      // Several statements (a migration script) in one go.
      Exec(text);
      return;
    }
    Run(text, params);
  }

  std::unique_ptr<Batch> PrepareBatch(const std::string& text, std::size_t block_size) override {
    return std::make_unique<PgBatch>(*this, text, block_size);
  }

  // PostgreSQL has no log for a reader to search.
  void Checkpoint() override {}

  void Begin() override {
    Exec("BEGIN");
    in_transaction_ = true;
  }
  void Commit() override {
    in_transaction_ = false;
    Exec("COMMIT");
  }
  void Rollback() override {
    in_transaction_ = false;
    Exec("ROLLBACK");
  }

  PGconn* connection() { return connection_.get(); }
  std::string NewName(const char* kind) {
    return std::string("mag_") + kind + "_" + std::to_string(++names_);
  }

  // The server's first line is its reason; the lines after it may quote the
  // statement ("LINE 1: INSERT …"): they go to the detail, for the log.
  static DatabaseError Failure(const std::string& message) {
    const std::string all = Trimmed(message);
    return DatabaseError(all.substr(0, all.find('\n')), all);
  }

  static std::string Trimmed(std::string message) {
    while (!message.empty() && std::isspace(static_cast<unsigned char>(message.back()))) message.pop_back();
    return message;
  }

  // The result, or DatabaseError with the server's message.
  Result Check(PGresult* raw) {
    Result result(raw);
    const auto status = result ? PQresultStatus(result.get()) : PGRES_FATAL_ERROR;
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_PIPELINE_SYNC)
      return result;
    const std::string message =
        result ? PQresultErrorMessage(result.get()) : PQerrorMessage(connection_.get());
    throw Failure(message);
  }

  Result Exec(const std::string& text) { return Check(PQexec(connection_.get(), text.c_str())); }

  Result Run(const std::string& text, const std::vector<Param>& params) {
    const Values values(OrderedValues(ParameterNames(text), params));
    return Check(PQexecParams(connection_.get(), PositionalText(text).c_str(), values.count(), nullptr,
                              values.data(), nullptr, nullptr, 0));
  }

 private:
  struct Finish {
    void operator()(PGconn* c) const { PQfinish(c); }
  };
  std::unique_ptr<PGconn, Finish> connection_;
  bool in_transaction_ = false;
  long names_ = 0;
};

PgPrepared::PgPrepared(PgSession& session, const std::string& text)
    : session_(session), names_(ParameterNames(text)), statement_(session.NewName("statement")) {
  session_.Check(PQprepare(session_.connection(), statement_.c_str(), PositionalText(text).c_str(),
                           static_cast<int>(names_.size()), nullptr));
}

void PgPrepared::Each(const std::vector<Param>& params, const std::function<void(const Row&)>& row) {
  const Values values(OrderedValues(names_, params));
  Result result = session_.Check(PQexecPrepared(session_.connection(), statement_.c_str(), values.count(),
                                                values.data(), nullptr, nullptr, 0));
  Rows(result.get(), row);
}

PgBatch::PgBatch(PgSession& session, const std::string& text, std::size_t block_size)
    : session_(session),
      parameters_(ParameterNames(text).size()),
      block_size_(block_size == 0 ? 1 : block_size),
      statement_(session.NewName("batch")) {
  session_.Check(PQprepare(session_.connection(), statement_.c_str(), PositionalText(text).c_str(),
                           static_cast<int>(parameters_), nullptr));
}

void PgBatch::Add(const Row& values) {
  if (values.size() != parameters_) {
    throw DatabaseError("batch row has " + std::to_string(values.size()) + " values for " +
                        std::to_string(parameters_) + " parameters");
  }
  pending_.push_back(values);
  if (pending_.size() >= block_size_) Flush();
}

// The rows of a block go in one pipeline: one round trip for the block
// instead of one per row.
void PgBatch::Flush() {
  if (pending_.empty()) return;
  PGconn* c = session_.connection();
  if (PQenterPipelineMode(c) != 1)
    throw DatabaseError("cannot send the rows: " + std::string(PQerrorMessage(c)));
  std::string failure;
  for (const Row& row : pending_) {
    const Values values(row);
    if (PQsendQueryPrepared(c, statement_.c_str(), values.count(), values.data(), nullptr, nullptr, 0) != 1) {
      failure = PQerrorMessage(c);
      break;
    }
  }
  PQpipelineSync(c);
  // Every result up to the synchronisation point is read, whatever failed.
  for (;;) {
    PGresult* raw = PQgetResult(c);
    if (!raw) {
      // The end of one statement's results; or a connection gone, which
      // sends nothing more.
      if (PQstatus(c) == CONNECTION_BAD) {
        if (failure.empty()) failure = PQerrorMessage(c);
        break;
      }
      continue;
    }
    Result result(raw);
    const auto status = PQresultStatus(raw);
    if (status == PGRES_PIPELINE_SYNC) break;
    if (status == PGRES_FATAL_ERROR && failure.empty()) failure = PQresultErrorMessage(raw);
  }
  PQexitPipelineMode(c);
  pending_.clear();
  if (!failure.empty()) throw PgSession::Failure(failure);
}

}  // namespace

std::unique_ptr<Session> OpenPostgreSqlSession(const std::string& url) {
  return std::make_unique<PgSession>(url);
}

}  // namespace sql
