#pragma once
// mag-host's main window: an MDI area for the screens and the menu that opens
// them. The magnetic-file screen comes from its package, loaded on the first
// choice of its menu entry; its IniProc creates the screen or brings the open
// one to the front.
#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QMdiArea>
#include <memory>
#include <string>

#include "host/components/net_connection.h"
#include "host/loader/package_host.h"
#include "host/qt/check_job.h"
#include "host/qt/check_window.h"
#include "host/qt/form_view.h"
#include "host/qt/import_window.h"
#include "host/qt/qt_dialogs.h"

namespace qtfront {

inline constexpr const char* kScreenEntry = "MAG04200 - Arquivo Magnético - Sintegra";

class MainWindow : public QMainWindow {
 public:
  // The transport defaults to HTTP.
  MainWindow(std::string package_path, std::string settings_path, comp::TransportFactory transport = {});
  ~MainWindow() override;

  QAction* ScreenAction() const { return screen_action_; }
  QAction* SettingsAction() const { return settings_action_; }
  QAction* ImportAction() const { return import_action_; }
  QAction* MergeAction() const { return merge_action_; }
  QAction* CheckAction() const { return check_action_; }
  QMdiArea* Area() const { return area_; }
  QtDialogs& Dialogs() { return dialogs_; }
  // The view of the open form of that name, or nullptr.
  FormView* View(const std::string& form_name) const;

  // What the menu entry does.
  void OpenScreen();
  void EditSettings();
  // The import or merge window, opened or brought to the front.
  ImportWindow* OpenImport(ImportWindow::Mode mode);
  // A check window, on the file when one is named.
  CheckWindow* OpenCheck(const QString& path = QString());

  // The verdict on the last file a screen wrote, once its check ended:
  // what the status bar and the note say.
  QString Verdict() const;
  QString VerdictPath() const { return verdict_path_; }
  QWidget* VerdictNote() const { return note_; }
  // Whether the check of a written file is still under way.
  bool CheckingWrittenFile() const { return verdict_job_ != nullptr && verdict_pending_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void ShowSettingsInStatus();
  void Activated(QMdiSubWindow* window);
  QMdiSubWindow* Show(QWidget* window);
  void CheckWrittenFile(const QString& path);
  void ShowVerdict(const CheckOutcome& outcome);

  std::string package_path_;
  std::string settings_path_;
  QtDialogs dialogs_;
  std::unique_ptr<host::PackageHost> host_;
  QMdiArea* area_;
  QAction* screen_action_;
  QAction* settings_action_;
  QAction* import_action_;
  QAction* merge_action_;
  QAction* check_action_;
  QLabel* status_;
  QLabel* verdict_;
  QFrame* note_;
  QLabel* note_text_;
  QString verdict_path_;
  std::unique_ptr<CheckJob> verdict_job_;
  bool verdict_pending_ = false;
  unsigned verdict_generation_ = 0;
  std::size_t written_connection_ = 0;
  std::size_t created_connection_ = 0;
  std::size_t cursor_connection_ = 0;
  bool cursor_overridden_ = false;
};

}  // namespace qtfront
