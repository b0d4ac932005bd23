#pragma once
// Datasets: a table of rows with named fields and a cursor on the current row.
// Fields are defined by the form (name, type, size, label, visibility); the
// rows come from a data packet (client datasets) or a database query.
#include <memory>
#include <string>
#include <vector>

#include "host/toolkit/component.h"

namespace comp {

enum class TFieldType { ftString, ftFloat, ftInteger, ftDate };

class TDataSet;

// A field of a dataset. Reading it on a dataset without rows gives the empty text.
class TField : public tk::TComponent {
 public:
  TField(tk::TComponent* owner, std::string component_name, TDataSet& dataset, std::string field_name,
         TFieldType type, int size);

  const std::string& FieldName() const { return field_name_; }
  TFieldType DataType() const { return type_; }
  int Size() const { return size_; }
  const std::string& DisplayLabel() const { return display_label_.empty() ? field_name_ : display_label_; }
  void SetDisplayLabel(std::string label) { display_label_ = std::move(label); }
  int DisplayWidth() const { return display_width_ > 0 ? display_width_ : size_; }
  void SetDisplayWidth(int width) { display_width_ = width; }
  bool Visible() const { return visible_; }
  void SetVisible(bool value) { visible_ = value; }
  bool Required() const { return required_; }
  void SetRequired(bool value) { required_ = value; }
  bool FixedChar() const { return fixed_char_; }
  void SetFixedChar(bool value) { fixed_char_ = value; }
  // The field's value in the current row.
  std::string AsString() const;

 private:
  TDataSet& dataset_;
  std::string field_name_;
  TFieldType type_;
  int size_;
  std::string display_label_;
  int display_width_ = 0;
  bool visible_ = true;
  bool required_ = false;
  bool fixed_char_ = false;
};

class TDataSet : public tk::TComponent {
 public:
  TDataSet(tk::TComponent* owner, std::string class_name, std::string name);

  // Defines a field; the component is named after the dataset and the field
  // ("cdsEmpresaCDSITUCRT"). Throws std::invalid_argument for a repeated name.
  TField& AddField(const std::string& field_name, TFieldType type, int size = 0);
  const std::vector<TField*>& Fields() const { return fields_; }
  // Throws std::runtime_error naming the dataset and the field when missing.
  TField& FieldByName(const std::string& field_name) const;
  TField* FindField(const std::string& field_name) const;

  bool Active() const { return active_; }
  bool IsEmpty() const { return rows_.empty(); }
  std::size_t RecordCount() const { return rows_.size(); }
  // Zero-based index of the current row (0 on an empty dataset).
  std::size_t RecNo() const { return current_; }
  void First() {
    current_ = 0;
    eof_ = rows_.empty();
  }
  void Next();
  bool Eof() const { return eof_ || rows_.empty(); }
  // Positions the cursor; throws std::out_of_range beyond the last row.
  void MoveTo(std::size_t row);

  // The text of a field in any row, for lists that show every row.
  const std::string& Value(std::size_t row, const TField& field) const;

 protected:
  friend class TField;
  // Replaces the rows (one text per defined field, in field order) and opens
  // the dataset on the first row.
  void LoadRows(std::vector<std::vector<std::string>> rows);
  void SetActive(bool value) { active_ = value; }
  std::size_t FieldPosition(const TField& field) const;

 private:
  std::vector<TField*> fields_;
  std::vector<std::vector<std::string>> rows_;
  std::size_t current_ = 0;
  bool eof_ = true;
  bool active_ = false;
};

class TDataSource : public tk::TComponent {
 public:
  TDataSource(tk::TComponent* owner, std::string name)
      : tk::TComponent(owner, "TDataSource", std::move(name)) {}
  TDataSet* DataSet() const { return dataset_; }
  void SetDataSet(TDataSet* dataset) { dataset_ = dataset; }

 private:
  TDataSet* dataset_ = nullptr;
};

}  // namespace comp
