#include "host/components/ado_query.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "host/components/db_geral.h"
#include "lib/sql/session.h"

namespace comp {
namespace {
std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) {
    if (!text.empty()) text += '\n';
    text += line;
  }
  return text;
}
}  // namespace

void TParam::SetAsVariant(const wire::Variant& value) {
  switch (value.kind()) {
    case wire::Variant::Kind::Null: Clear(); return;
    case wire::Variant::Kind::String: value_ = value.AsString(); return;
    case wire::Variant::Kind::Double:
    case wire::Variant::Kind::Date: value_ = wire::CellText(wire::Cell(value.AsDouble())); return;
    default: throw std::invalid_argument("parameter " + name_ + " takes no " + wire::KindName(value.kind()));
  }
}

TADOIBQuery::TADOIBQuery(tk::TComponent* owner, std::string name)
    : TDataSet(owner, "TADOIBQuery", std::move(name)) {}

void TADOIBQuery::SetText(std::vector<std::string>& target, std::vector<std::string> lines) {
  Close();
  target = std::move(lines);
  std::vector<TParam> params;
  for (const auto* text : {&sql_, &sql_oracle_, &sql_mssql_, &sql_ib_}) {
    for (const std::string& name : sql::ParameterNames(Joined(*text))) {
      if (std::any_of(params.begin(), params.end(), [&](const TParam& p) { return p.Name() == name; }))
        continue;
      TParam param(name);
      const auto old =
          std::find_if(params_.begin(), params_.end(), [&](const TParam& p) { return p.Name() == name; });
      if (old != params_.end()) param = *old;
      params.push_back(param);
    }
  }
  params_ = std::move(params);
}

TParam& TADOIBQuery::ParamByName(const std::string& name) {
  for (TParam& p : params_) {
    if (p.Name() == name) return p;
  }
  throw std::out_of_range(Name() + ": Parâmetro '" + name + "' não encontrado");
}

const std::vector<std::string>& TADOIBQuery::TextFor(bool& generic) const {
  const TDialect dialect = connection_ ? connection_->Dialect() : TDialect::Generic;
  const std::vector<std::string>* text = &sql_;
  if (dialect == TDialect::Oracle) text = &sql_oracle_;
  if (dialect == TDialect::MsSql) text = &sql_mssql_;
  if (dialect == TDialect::InterBase) text = &sql_ib_;
  generic = text->empty() || text == &sql_;
  return generic ? sql_ : *text;
}

std::string TADOIBQuery::StatementText() const {
  bool generic = false;
  return Joined(TextFor(generic));
}

void TADOIBQuery::Open() {
  if (Active()) return;
  if (BeforeOpen) BeforeOpen(*this);
  if (!connection_) throw std::runtime_error(Name() + ": a consulta não tem conexão com o banco de dados");
  const std::string text = StatementText();
  std::vector<sql::Param> bound;
  for (const std::string& name : sql::ParameterNames(text))
    bound.push_back({name, ParamByName(name).Value()});
  const sql::ResultSet result = connection_->Session().Query(text, bound);

  if (Fields().empty()) {
    for (const std::string& column : result.columns) AddField(column, TFieldType::ftString);
  }
  std::vector<std::size_t> columns;
  for (const TField* field : Fields()) {
    const auto it = std::find_if(result.columns.begin(), result.columns.end(), [&](const std::string& c) {
      return std::equal(c.begin(), c.end(), field->FieldName().begin(), field->FieldName().end(),
                        [](char a, char b) { return std::toupper(a) == std::toupper(b); });
    });
    if (it == result.columns.end() && !result.rows.empty()) {
      throw std::runtime_error(Name() + ": Campo '" + field->FieldName() + "' não encontrado");
    }
    columns.push_back(it == result.columns.end() ? static_cast<std::size_t>(-1)
                                                 : static_cast<std::size_t>(it - result.columns.begin()));
  }
  std::vector<std::vector<std::string>> rows;
  rows.reserve(result.rows.size());
  for (const auto& source : result.rows) {
    std::vector<std::string> row;
    for (std::size_t column : columns)
      row.push_back(column < source.size() ? source[column].value_or("") : "");
    rows.push_back(std::move(row));
  }
  LoadRows(std::move(rows));
}

void TADOIBQuery::Close() {
  if (!Active()) return;
  LoadRows({});
  SetActive(false);
}

}  // namespace comp
