#pragma once
// The window that brings a month's documents into the server (authorised
// NF-e, NFC-e and CT-e, one by one or in folders and zip archives), or
// merges a point-of-sale magnetic file: the establishment from the server's
// lists, the files chosen or dropped, the import on the server with a
// progress bar and a results table that fills as the server answers.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTableView>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>

#include "host/net/import_upload.h"

namespace qtfront {

class ImportWindow : public QWidget {
 public:
  enum class Mode { Documents, Merge };
  explicit ImportWindow(Mode mode, QWidget* parent = nullptr);
  ~ImportWindow() override;

  // Files, folders and zip archives (a folder's XML and zip files, at any
  // depth); a merge takes one file.
  void AddPaths(const QStringList& paths);
  // Chooses the establishment (codes not in the lists are taken as typed).
  void SetEstablishment(const QString& company, const QString& registration);
  void Start();
  // Stops after the file in hand; what the server finished stays done.
  void Cancel();
  bool Running() const { return worker_.joinable() && !finished_; }

  QComboBox* Companies() const { return companies_; }
  QComboBox* Registrations() const { return registrations_; }
  QCheckBox* Notes() const { return notes_; }
  QListWidget* Files() const { return files_; }
  QProgressBar* Progress() const { return progress_; }
  QLabel* Rate() const { return rate_; }
  QTableView* Results() const { return results_; }
  QStandardItemModel* ResultRows() const { return rows_; }
  QComboBox* OutcomeFilter() const { return filter_; }
  QPlainTextEdit* Summary() const { return summary_; }
  QPushButton* StartButton() const { return start_; }
  QPushButton* CancelButton() const { return cancel_; }
  // The rows the filter shows, as CSV (file;outcome;reason), UTF-8.
  std::string ResultsCsv() const;
  // Called on the window's thread when an import ends (done, stopped or failed).
  std::function<void()> Finished;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  // One request: a file as it is, or loose documents sent together.
  struct Job {
    QString path;                       // a file as it is, or empty
    std::vector<net::ZipMember> loose;  // documents sent together
    QString shown;
    long documents;  // what the progress counts on it
  };
  void LoadCompanies();
  void LoadRegistrations();
  void ChooseFiles();
  void ChooseFolder();
  std::vector<Job> Jobs() const;
  void Run(std::vector<Job> jobs, net::ImportTarget target);
  void AddRow(const QString& file, const QString& outcome, const QString& reason);
  void AddSummary(const std::map<std::string, long>& counts, const QString& text, const QString& said);
  void ShowProgress();
  void End(const QString& error);
  void CopySelection() const;
  void SaveCsv();

  Mode mode_;
  QComboBox* companies_;
  QComboBox* registrations_;
  QCheckBox* notes_ = nullptr;
  QListWidget* files_;
  QPushButton* start_;
  QPushButton* cancel_;
  QProgressBar* progress_;
  QLabel* rate_;
  QStandardItemModel* rows_;
  QSortFilterProxyModel* shown_;
  QTableView* results_;
  QComboBox* filter_;
  QPlainTextEdit* summary_;

  std::thread worker_;
  std::atomic<bool> cancelled_{false};
  bool finished_ = true;
  std::mutex upload_mutex_;
  net::ImportUpload* upload_ = nullptr;  // the one sending, for Cancel
  long total_ = 0;
  long done_ = 0;
  std::map<std::string, long> counts_;
  QStringList texts_;
  QStringList stopped_texts_;  // the servers' words on runs they stopped
  std::chrono::steady_clock::time_point started_;
};

}  // namespace qtfront
