#pragma once
// A read-only query over the shared database connection, holding one statement
// per database family (SQL, SQL_ORACLE, SQL_MSSQL, SQL_IB) and running the one
// for the connection's dialect, or SQL when the query gives none for it.
// Parameters are strings found in the texts (":P_NAME"); a cleared parameter
// is NULL.
#include <optional>
#include <string>
#include <vector>

#include "host/components/datasets.h"
#include "lib/wire/variant.h"

namespace comp {

class TADOConnection;
class TDataSource;

class TParam {
 public:
  explicit TParam(std::string name) : name_(std::move(name)) {}
  const std::string& Name() const { return name_; }
  void SetAsString(const std::string& value) { value_ = value; }
  // A string is taken as is, a number as its text, a null clears.
  void SetAsVariant(const wire::Variant& value);
  void Clear() { value_.reset(); }
  bool IsNull() const { return !value_; }
  const std::optional<std::string>& Value() const { return value_; }

 private:
  std::string name_;
  std::optional<std::string> value_;
};

class TADOIBQuery : public TDataSet {
 public:
  TADOIBQuery(tk::TComponent* owner, std::string name);

  // Statement texts, one line per element. Setting a text closes the query and
  // rebuilds the parameter list; values of parameters that remain are kept.
  void SetSQL(std::vector<std::string> lines) { SetText(sql_, std::move(lines)); }
  void SetSQL_ORACLE(std::vector<std::string> lines) { SetText(sql_oracle_, std::move(lines)); }
  void SetSQL_MSSQL(std::vector<std::string> lines) { SetText(sql_mssql_, std::move(lines)); }
  void SetSQL_IB(std::vector<std::string> lines) { SetText(sql_ib_, std::move(lines)); }
  const std::vector<std::string>& SQL() const { return sql_; }
  const std::vector<std::string>& SQL_ORACLE() const { return sql_oracle_; }
  const std::vector<std::string>& SQL_MSSQL() const { return sql_mssql_; }
  const std::vector<std::string>& SQL_IB() const { return sql_ib_; }
  // The text the query runs on its connection now.
  std::string StatementText() const;

  void SetConnection(TADOConnection* connection) { connection_ = connection; }
  TADOConnection* Connection() const { return connection_; }
  void SetDataSource(TDataSource* source) { data_source_ = source; }
  TDataSource* DataSource() const { return data_source_; }

  // Throws std::out_of_range naming the query and the parameter when missing.
  TParam& ParamByName(const std::string& name);
  const std::vector<TParam>& Params() const { return params_; }

  // Runs BeforeOpen, then the statement; the rows fill the defined fields (by
  // column name), or string fields named after the columns when none are
  // defined. Does nothing on an open query. Throws sql::DatabaseError, or
  // std::runtime_error for a defined field the statement does not return.
  void Open();
  void Close();
  // The dataset that data sources present: the query itself.
  TDataSet& Query() { return *this; }

  tk::TNotifyEvent BeforeOpen;

 private:
  void SetText(std::vector<std::string>& target, std::vector<std::string> lines);
  const std::vector<std::string>& TextFor(bool& generic) const;

  std::vector<std::string> sql_, sql_oracle_, sql_mssql_, sql_ib_;
  std::vector<TParam> params_;
  TADOConnection* connection_ = nullptr;
  TDataSource* data_source_ = nullptr;
};

}  // namespace comp
