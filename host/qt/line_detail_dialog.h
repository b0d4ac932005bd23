#pragma once
// One line of a checked file under a ruler, in a fixed-width font, with the
// positions of the finding's field marked, and the layout of the line's
// register with that field picked out. A finding seen on several lines lets
// the user go through them; each line is read again from the file.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTableWidget>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <utility>

#include "lib/layout/layout_check.h"
#include "lib/layout/register_fields.h"

namespace qtfront {

class LineDetailDialog : public QDialog {
 public:
  // A line of the file by its number, or nothing when it cannot be read.
  using LineReader = std::function<std::optional<std::string>(long)>;
  static constexpr int kLinesListed = 1000;

  LineDetailDialog(const layout::Problem& problem, LineReader read, QWidget* parent = nullptr);

  void ShowLine(long number);

  // The first and last positions (1-based) marked on the line, if any.
  std::optional<std::pair<std::size_t, std::size_t>> Marked() const { return marked_; }
  // Rows: the tens of the ruler, its units, the line, the marker under the field.
  QPlainTextEdit* LineView() const { return view_; }
  QLabel* FieldLabel() const { return field_label_; }
  QTableWidget* Fields() const { return fields_; }
  QComboBox* LineChoice() const { return choice_; }

 private:
  void ShowLayout(const std::string& layout_name, const std::vector<layout::RegisterField>* fields,
                  const layout::RegisterField* field, std::size_t line_width);

  LineReader read_;
  std::string field_;
  QLabel* title_;
  QComboBox* choice_;
  QPlainTextEdit* view_;
  QLabel* field_label_;
  QTableWidget* fields_;
  std::optional<std::pair<std::size_t, std::size_t>> marked_;
};

}  // namespace qtfront
