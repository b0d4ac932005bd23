#include "host/qt/findings_model.h"

#include <QBrush>
#include <QColor>
#include <algorithm>

#include "host/qt/check_words.h"

namespace qtfront {

FindingsModel::FindingsModel(QObject* parent) : QAbstractItemModel(parent) {}

void FindingsModel::SetOutcome(std::shared_ptr<const CheckOutcome> outcome) {
  beginResetModel();
  outcome_ = std::move(outcome);
  shown_.clear();
  has_more_.clear();
  if (outcome_) {
    for (const FindingGroup& group : outcome_->groups) {
      const int size = static_cast<int>(group.problems.size());
      shown_.push_back(std::min(kBatch, size));
      has_more_.push_back(size > kBatch);
    }
  }
  endResetModel();
}

int FindingsModel::GroupSize(int group) const {
  return static_cast<int>(outcome_->groups[static_cast<std::size_t>(group)].problems.size());
}

const layout::Problem* FindingsModel::ProblemAt(const QModelIndex& index) const {
  if (!index.isValid() || index.internalId() == 0) return nullptr;
  const int group = static_cast<int>(index.internalId()) - 1;
  if (index.row() >= Shown(group)) return nullptr;
  const std::size_t problem =
      outcome_->groups[static_cast<std::size_t>(group)].problems[static_cast<std::size_t>(index.row())];
  return &outcome_->report.problems[problem];
}

bool FindingsModel::IsMoreRow(const QModelIndex& index) const {
  if (!index.isValid() || index.internalId() == 0) return false;
  const int group = static_cast<int>(index.internalId()) - 1;
  return has_more_[static_cast<std::size_t>(group)] && index.row() == Shown(group);
}

void FindingsModel::ShowMore(const QModelIndex& index) {
  if (!index.isValid()) return;
  const int group = index.internalId() == 0 ? index.row() : static_cast<int>(index.internalId()) - 1;
  const auto g = static_cast<std::size_t>(group);
  const int shown = shown_[g], size = GroupSize(group);
  if (shown >= size) return;
  const int more = std::min(kBatch, size - shown);
  const QModelIndex parent = this->index(group, 0);
  // The batch goes in before the "more" row, which leaves with the last batch.
  if (shown + more == size) {
    beginRemoveRows(parent, shown, shown);
    has_more_[g] = false;
    endRemoveRows();
  }
  beginInsertRows(parent, shown, shown + more - 1);
  shown_[g] += more;
  endInsertRows();
  if (has_more_[g]) {
    const QModelIndex row = this->index(shown_[g], 0, parent);
    emit dataChanged(row, row.siblingAtColumn(kColumns - 1));
  }
}

QModelIndex FindingsModel::index(int row, int column, const QModelIndex& parent) const {
  if (!outcome_ || row < 0 || column < 0 || column >= kColumns) return {};
  if (!parent.isValid()) {
    return row < static_cast<int>(outcome_->groups.size()) ? createIndex(row, column, quintptr{0})
                                                           : QModelIndex();
  }
  if (parent.internalId() != 0 || row >= rowCount(parent)) return {};
  return createIndex(row, column, static_cast<quintptr>(parent.row()) + 1);
}

QModelIndex FindingsModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == 0) return {};
  return createIndex(static_cast<int>(child.internalId()) - 1, 0, quintptr{0});
}

int FindingsModel::rowCount(const QModelIndex& parent) const {
  if (!outcome_) return 0;
  if (!parent.isValid()) return static_cast<int>(outcome_->groups.size());
  if (parent.internalId() != 0 || parent.column() != 0) return 0;
  return Shown(parent.row()) + (has_more_[static_cast<std::size_t>(parent.row())] ? 1 : 0);
}

int FindingsModel::columnCount(const QModelIndex&) const { return kColumns; }

QVariant FindingsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[kColumns] = {"Gravidade / linha", "Regra", "Achados",   "Linhas",
                                                "Registro",          "Campo", "Documento", "Descrição"};
  return QString::fromUtf8(kTitles[section]);
}

QVariant FindingsModel::data(const QModelIndex& index, int role) const {
  if (!outcome_ || !index.isValid()) return {};
  if (index.internalId() == 0) return GroupData(index.row(), index.column(), role);
  if (const layout::Problem* problem = ProblemAt(index)) return FindingData(*problem, index.column(), role);
  // The "more" row.
  if (role != Qt::DisplayRole) return {};
  const int group = static_cast<int>(index.internalId()) - 1;
  const int left = GroupSize(group) - Shown(group);
  if (index.column() == kWhat) return QString::fromUtf8("…");
  if (index.column() == kText) {
    return "mais " + Thousands(left) + (left == 1 ? " achado" : " achados") +
           QString::fromUtf8(": clique duplo para mostrar os próximos ") + Thousands(std::min(kBatch, left));
  }
  return {};
}

QVariant FindingsModel::GroupData(int group, int column, int role) const {
  const FindingGroup& g = outcome_->groups[static_cast<std::size_t>(group)];
  const bool error = g.rule->severity == layout::Severity::Error;
  if (role == Qt::ForegroundRole && column == kWhat)
    return QBrush(error ? QColor(0xB0, 0x00, 0x00) : QColor(0x80, 0x60, 0x00));
  if (role == Qt::TextAlignmentRole && (column == kFindings || column == kLines))
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role == Qt::ToolTipRole && column == kText)
    return QString::fromUtf8(g.rule->says.data(), g.rule->says.size());
  if (role != Qt::DisplayRole) return {};
  switch (column) {
    case kWhat: return SeverityWord(g.rule->severity);
    case kRule: return QString::fromUtf8(g.rule->name.data(), g.rule->name.size());
    case kFindings: return Thousands(static_cast<long long>(g.problems.size()));
    case kLines: return Thousands(g.lines);
    case kText: return QString::fromUtf8(g.rule->says.data(), g.rule->says.size());
    default: return {};
  }
}

QVariant FindingsModel::FindingData(const layout::Problem& p, int column, int role) const {
  if (role == Qt::TextAlignmentRole && (column == kWhat || column == kLines))
    return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
  if (role == Qt::ToolTipRole && (column == kText || column == kDocument))
    return FileText(column == kText ? p.message : p.document);
  if (role != Qt::DisplayRole) return {};
  switch (column) {
    case kWhat: return p.line > 0 ? "linha " + Thousands(p.line) : QString("arquivo");
    case kLines: return p.count > 1 ? Thousands(p.count) : QString();
    case kRegister: return QString::fromStdString(p.register_type);
    case kField: return FileText(p.field);
    case kDocument: return FileText(p.document);
    case kText: return FileText(p.message);
    default: return {};
  }
}

}  // namespace qtfront
