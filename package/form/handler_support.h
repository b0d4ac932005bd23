#pragma once
// Shapes that the screen's handlers share.
#include "host/components/consiste.h"
#include "host/toolkit/control.h"
#include "package/form/frm_arqu_mag.h"
#include "package/module/globals.h"

// Runs a validator's checks; whatever fails moves the focus back to the
// validator's own field (after the message) and passes on.
template <typename F>
void FocusBackOnFailure(tk::TControl& field, F&& checks) {
  try {
    checks();
  } catch (...) {
    field.SetFocus();
    throw;
  }
}

// The busy animation over the form around a server call, closed on every way
// out, failures included.
template <typename F>
void WithBusyAnimation(const std::string& text, F&& call) {
  comp::ActiveShowAvi(Cli_mag04200::frmArquMag, 6, text);
  try {
    call();
  } catch (...) {
    comp::DeactiveShowAvi();
    throw;
  }
  comp::DeactiveShowAvi();
}
