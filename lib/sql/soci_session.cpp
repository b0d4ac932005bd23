// The SOCI implementation of sql::Session. SOCI's headers stop here.
#include <soci/soci.h>
#include <soci/sqlite3/soci-sqlite3.h>
// SOCI wraps the SQLite API in its own namespace.
using namespace sqlite_api;

#include <algorithm>
#include <cstring>

#include "lib/sql/session.h"

namespace sql {
namespace {

// NVL(a, b): a unless it is NULL. The statement texts written for Oracle-like
// databases use it; SQLite has INSTR already.
void NvlFunction(sqlite3_context* context, int, sqlite3_value** args) {
  sqlite3_result_value(context, sqlite3_value_type(args[0]) == SQLITE_NULL ? args[1] : args[0]);
}

std::optional<std::string> ColumnText(const soci::row& row, std::size_t i) {
  if (row.get_indicator(i) == soci::i_null) return std::nullopt;
  switch (row.get_properties(i).get_data_type()) {
    case soci::dt_string:
      return row.get<std::string>(i);
    case soci::dt_double: {
      std::string text = std::to_string(row.get<double>(i));
      // to_string writes six decimals; the rows are read as text, so keep it short.
      if (text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') text.pop_back();
      }
      return text;
    }
    case soci::dt_integer:
      return std::to_string(row.get<int>(i));
    case soci::dt_long_long:
      return std::to_string(row.get<long long>(i));
    case soci::dt_unsigned_long_long:
      return std::to_string(row.get<unsigned long long>(i));
    case soci::dt_date: {
      std::tm tm = row.get<std::tm>(i);
      char buffer[32];
      std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &tm);
      return std::string(buffer);
    }
    default:
      return row.get<std::string>(i);
  }
}

class SociSession final : public Session {
 public:
  explicit SociSession(const std::string& path) {
    try {
      session_.open(soci::sqlite3, "db=\"" + path + "\" timeout=30");
    } catch (const std::exception& e) {
      throw DatabaseError("cannot open database '" + path + "': " + e.what());
    }
    auto* backend = static_cast<soci::sqlite3_session_backend*>(session_.get_backend());
    sqlite3_create_function(backend->conn_, "NVL", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, nullptr,
                            NvlFunction, nullptr, nullptr);
  }

  Backend backend() const override { return Backend::Sqlite; }

  ResultSet Query(const std::string& text, const std::vector<Param>& params) override {
    try {
      Bindings bindings(text, params);
      soci::details::prepare_temp_type prepared = (session_.prepare << text);
      bindings.Attach(prepared);
      soci::rowset<soci::row> rows(prepared);
      ResultSet result;
      bool first = true;
      for (const soci::row& row : rows) {
        if (first) {
          for (std::size_t i = 0; i < row.size(); ++i)
            result.columns.push_back(row.get_properties(i).get_name());
          first = false;
        }
        std::vector<std::optional<std::string>> values;
        values.reserve(row.size());
        for (std::size_t i = 0; i < row.size(); ++i) values.push_back(ColumnText(row, i));
        result.rows.push_back(std::move(values));
      }
      return result;
    } catch (const DatabaseError&) {
      throw;
    } catch (const std::exception& e) {
      throw DatabaseError(e.what());
    }
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
      throw DatabaseError(e.what());
    }
  }

 private:
  // Keeps the bound values alive for as long as SOCI reads them.
  class Bindings {
   public:
    Bindings(const std::string& text, const std::vector<Param>& params) {
      names_ = ParameterNames(text);
      for (const Param& p : params) {
        if (std::find(names_.begin(), names_.end(), p.name) == names_.end()) {
          throw DatabaseError("parameter '" + p.name + "' is not used by the statement");
        }
      }
      values_.resize(names_.size());
      indicators_.resize(names_.size(), soci::i_null);
      for (std::size_t i = 0; i < names_.size(); ++i) {
        auto it =
            std::find_if(params.begin(), params.end(), [&](const Param& p) { return p.name == names_[i]; });
        if (it == params.end()) throw DatabaseError("parameter '" + names_[i] + "' has no value");
        if (it->value) {
          values_[i] = *it->value;
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

  soci::session session_;
};

}  // namespace

std::unique_ptr<Session> OpenSqliteSession(const std::string& path) {
  return std::make_unique<SociSession>(path);
}

}  // namespace sql
