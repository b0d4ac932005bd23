#pragma once
// Fiscal > Verificar arquivo magnético: checks a magnetic file as the state
// validators would, on a thread of its own with a progress bar and a way to
// cancel, and shows the findings grouped by rule. A double click on a
// finding shows its line under a ruler with the field marked; the findings
// can be saved as CSV.
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTreeView>
#include <QWidget>
#include <functional>
#include <memory>

#include "host/qt/check_job.h"
#include "host/qt/findings_model.h"
#include "host/qt/line_detail_dialog.h"

namespace qtfront {

class CheckWindow : public QWidget {
 public:
  enum class State { Idle, Checking, Checked, Cancelled, Unreadable };

  explicit CheckWindow(QWidget* parent = nullptr);
  // Cancels a check under way and waits for its thread.
  ~CheckWindow() override;

  // Starts checking a file (a check under way is cancelled first).
  void Open(const QString& path);
  // Asks for a file and checks it.
  void Choose();
  // Stops the check under way; the thread has ended when this returns.
  void Cancel();
  // Saves the findings as CSV; false (and a message to the user) when the
  // file cannot be written.
  bool ExportCsv(const QString& path);

  State CurrentState() const { return state_; }
  QString Path() const { return path_; }
  // The last check's outcome: its report, the findings by rule; nullptr
  // before any check has finished.
  std::shared_ptr<const CheckOutcome> Outcome() const { return outcome_; }
  // Called on the GUI thread when a check ends (checked, cancelled or unreadable).
  void OnFinished(std::function<void(State)> finished) { on_finished_ = std::move(finished); }

  // Shows the line of a finding; nullptr for a rule's row or a finding of
  // the file as a whole.
  LineDetailDialog* ShowFinding(const QModelIndex& index);

  QTreeView* Findings() const { return tree_; }
  FindingsModel* Model() const { return model_; }
  QProgressBar* Progress() const { return progress_; }
  QLabel* Summary() const { return summary_; }
  QPushButton* CancelButton() const { return cancel_; }
  QPushButton* ExportButton() const { return export_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void Finished(std::shared_ptr<const CheckOutcome> outcome, unsigned generation);
  void ShowProgress();
  void SetState(State state);
  void AskExport();

  QLineEdit* file_;
  QPushButton* choose_;
  QPushButton* cancel_;
  QPushButton* export_;
  QProgressBar* progress_;
  QLabel* summary_;
  QTreeView* tree_;
  FindingsModel* model_;
  QTimer poll_;
  QString path_;
  State state_ = State::Idle;
  unsigned generation_ = 0;  // of the check under way: an older check's end is ignored
  std::unique_ptr<CheckJob> job_;
  std::shared_ptr<const CheckOutcome> outcome_;
  std::function<void(State)> on_finished_;
};

}  // namespace qtfront
