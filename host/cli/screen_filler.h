#pragma once
// Fills the magnetic-file screen as a person would — types each value into
// its field in the screen's tab order, leaves the field, ticks and picks —
// and presses Export.
#include "host/cli/export_options.h"
#include "host/cli/export_screen.h"
#include "host/toolkit/headless_dialogs.h"
#include "host/toolkit/user_input.h"

namespace cli {

class ScreenFiller {
 public:
  ScreenFiller(const ExportScreen& screen, tk::HeadlessDialogs& dialogs)
      : f_(screen), user_(screen.form), dialogs_(dialogs) {}

  // Refuses what needs no server first (UsageError), then fills the screen
  // and presses Export; stops at the first check that keeps the focus in
  // its field. Returns whether the Export click completed.
  bool Run(const ExportOptions& options);

 private:
  // A field's check kept the focus in it: typing on would only run the check
  // again from every later field.
  struct FocusKept {};

  bool Fill(const ExportOptions& o);
  // The options that name a control the chosen file type disables, refused
  // before anything is typed.
  void RefuseInapplicable(const ExportOptions& o) const;
  void Enabled(const tk::TControl& control, const char* option, const char* what) const;
  void Field(tk::TCustomEdit& field, const std::string& text, const char* option,
             const char* what = "o campo");
  // What disabled a field: the file type, the company's regime, no company
  // or no tax yet.
  std::string WhyDisabled(const tk::TControl& field, const char* what) const;

  const ExportScreen& f_;
  tk::UserInput user_;
  tk::HeadlessDialogs& dialogs_;
};

}  // namespace cli
