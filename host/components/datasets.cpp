#include "host/components/datasets.h"

#include <strings.h>
#include <stdexcept>

namespace comp {

TField::TField(tk::TComponent* owner, std::string component_name, TDataSet& dataset, std::string field_name,
               TFieldType type, int size)
    : tk::TComponent(owner, "TField", std::move(component_name)),
      dataset_(dataset),
      field_name_(std::move(field_name)),
      type_(type),
      size_(size) {}

std::string TField::AsString() const {
  if (dataset_.IsEmpty()) return {};
  return dataset_.Value(dataset_.RecNo(), *this);
}

TDataSet::TDataSet(tk::TComponent* owner, std::string class_name, std::string name)
    : tk::TComponent(owner, std::move(class_name), std::move(name)) {}

TField& TDataSet::AddField(const std::string& field_name, TFieldType type, int size) {
  if (FindField(field_name))
    throw std::invalid_argument(Name() + ": field '" + field_name + "' defined twice");
  if (type == TFieldType::ftString && size == 0) size = 20;  // the toolkit's default string size
  // Fields belong to the dataset's owner (the form) under the combined name,
  // as the form definition names them.
  tk::TComponent* owner = Owner() ? Owner() : this;
  TField& field = owner->Create<TField>(Name() + field_name, *this, field_name, type, size);
  fields_.push_back(&field);
  for (auto& row : rows_) row.emplace_back();
  return field;
}

TField* TDataSet::FindField(const std::string& field_name) const {
  for (TField* f : fields_) {
    if (strcasecmp(f->FieldName().c_str(), field_name.c_str()) == 0) return f;
  }
  return nullptr;
}

TField& TDataSet::FieldByName(const std::string& field_name) const {
  if (TField* f = FindField(field_name)) return *f;
  throw std::runtime_error(Name() + ": Campo '" + field_name + "' não encontrado");
}

void TDataSet::Next() {
  if (current_ + 1 < rows_.size()) {
    ++current_;
  } else {
    eof_ = true;
  }
}

void TDataSet::MoveTo(std::size_t row) {
  if (row >= rows_.size()) throw std::out_of_range(Name() + ": no row " + std::to_string(row));
  current_ = row;
  eof_ = false;
}

std::size_t TDataSet::FieldPosition(const TField& field) const {
  for (std::size_t i = 0; i < fields_.size(); ++i) {
    if (fields_[i] == &field) return i;
  }
  throw std::logic_error(Name() + ": field '" + field.FieldName() + "' belongs to another dataset");
}

const std::string& TDataSet::Value(std::size_t row, const TField& field) const {
  return rows_.at(row).at(FieldPosition(field));
}

void TDataSet::LoadRows(std::vector<std::vector<std::string>> rows) {
  rows_ = std::move(rows);
  active_ = true;
  First();
}

}  // namespace comp
