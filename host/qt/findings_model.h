#pragma once
// The findings of a check for a tree view: one row per rule that found
// something (severity, rule, findings, lines, what the rule says), its
// findings below it (line, register, field, document, message). A rule with
// very many findings shows them a batch at a time, with a last row that
// brings the next batch, so that a view never holds more rows than a user
// can read.
#include <QAbstractItemModel>
#include <memory>
#include <vector>

#include "host/qt/check_job.h"

namespace qtfront {

class FindingsModel : public QAbstractItemModel {
 public:
  static constexpr int kBatch = 1000;
  enum Column { kWhat, kRule, kFindings, kLines, kRegister, kField, kDocument, kText, kColumns };

  explicit FindingsModel(QObject* parent = nullptr);

  void SetOutcome(std::shared_ptr<const CheckOutcome> outcome);
  void Clear() { SetOutcome(nullptr); }

  // The finding of a row, or nullptr for a rule's row and the "more" row.
  const layout::Problem* ProblemAt(const QModelIndex& index) const;
  // Whether the row is the last one of a rule, which brings the next batch.
  bool IsMoreRow(const QModelIndex& index) const;
  // Shows the next batch of a rule's findings (the rule's row or its "more" row).
  void ShowMore(const QModelIndex& index);
  // The findings of a rule shown as rows.
  int Shown(int group) const { return shown_.at(static_cast<std::size_t>(group)); }

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

 private:
  int GroupSize(int group) const;
  QVariant GroupData(int group, int column, int role) const;
  QVariant FindingData(const layout::Problem& problem, int column, int role) const;

  std::shared_ptr<const CheckOutcome> outcome_;
  std::vector<int> shown_;      // per rule, the findings shown as rows
  std::vector<bool> has_more_;  // per rule, whether a last row brings the next batch
};

}  // namespace qtfront
