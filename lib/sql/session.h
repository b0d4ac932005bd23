#pragma once
// Database access without any database library in sight: a session runs one
// statement with named parameters (":P_NAME") and hands back the rows as text.
// Values are never spliced into statement texts.
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

// Raised for every failure of the database or of a statement; the message says
// what failed and why.
class DatabaseError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Session {
 public:
  virtual ~Session() = default;
  virtual Backend backend() const = 0;
  // Runs a statement that returns rows. Every parameter named in the text must
  // be given; parameters given but not named are an error.
  virtual ResultSet Query(const std::string& text, const std::vector<Param>& params) = 0;
  // Runs a statement (or, without parameters, several separated by ";").
  virtual void Execute(const std::string& text, const std::vector<Param>& params = {}) = 0;
};

// Opens a database named by a URL: "sqlite:<path>" (the file is created when
// missing). Throws DatabaseError for an unknown scheme or a failed connect.
std::unique_ptr<Session> OpenSession(const std::string& url);

// The distinct parameter names of a statement, in order of first appearance,
// ignoring text inside quotes and "::" casts.
std::vector<std::string> ParameterNames(const std::string& text);

}  // namespace sql
